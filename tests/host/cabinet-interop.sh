#!/usr/bin/env bash
# Cabinets made by our compressor (run under Wine) are read by two independent
# Linux tools, cabextract and gcab, byte for byte; a cabinet made by gcab is
# read by our extractor. Damaged cabinets and stored names that climb out of
# the target folder give one error text and write nothing outside.
#
#   cabinet-interop.sh PATH/bench_cabinet.exe     (WINEPREFIX from the environment)
set -u
tool=$1
WINE=${WINE:-/usr/lib/wine/wine64}
export WINEDEBUG=${WINEDEBUG:--all}
: "${WINEPREFIX:?run from ./quillmoor test, which sets WINEPREFIX}"

work=$(mktemp -d /tmp/qm-cab-interop.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }
win() { printf 'Z:%s' "${1//\//\\}"; }

# Runs our tool; its message texts land in $work/messages, the exit code is returned.
ours() { # pack|unpack CABINET FOLDER
  "$WINE" "$tool" "$1" "$(win "$2")" "$(win "$3")" >"$work/stdout" 2>/dev/null </dev/null
  local rc=$?
  sed -n 's/^message: //p' "$work/stdout" | tr -d '\r' >"$work/messages"
  return $rc
}

# ---- a folder of assorted files ------------------------------------------------
src=$work/src
mkdir -p "$src"
: >"$src/empty.bin"
printf 'x' >"$src/one.bin"
for i in $(seq 1 3000); do echo "HKEY_LOCAL_MACHINE\\Software\\Example\\Key$i=\"value $i\""; done >"$src/export.reg"
head -c 5242880 /dev/urandom >"$src/random.bin"
echo "a file whose name has blanks" >"$src/name with blanks.txt"

ours pack "$work/ours.cab" "$src" && [ ! -s "$work/messages" ] \
  && ok "packed the folder" || fail "packing: $(cat "$work/messages")"
# The log is written into the folder and packed with it.
expected=$(cd "$src" && ls -1 | sort)
echo "$expected" | grep -qx "ZipLog.txt" || fail "no ZipLog.txt beside the files"

listed=$(cabextract -q -l "$work/ours.cab" 2>&1 | awk -F' \\| ' 'NF==3 && $3 != "Name" {print $3}' | sed 's/ *$//' | sort)
[ "$listed" = "$expected" ] && ok "cabextract -l lists every file" || fail "cabextract -l: $listed"
listed=$(gcab -t "$work/ours.cab" 2>&1 | sort)
[ "$listed" = "$expected" ] && ok "gcab -t lists every file" || fail "gcab -t: $listed"

mkdir -p "$work/by-cabextract" "$work/by-gcab"
cabextract -q -d "$work/by-cabextract" "$work/ours.cab" && diff -r "$src" "$work/by-cabextract" >/dev/null \
  && ok "cabextract extracts identical files" || fail "cabextract extraction differs"
gcab -x -C "$work/by-gcab" "$work/ours.cab" && diff -r "$src" "$work/by-gcab" >/dev/null \
  && ok "gcab extracts identical files" || fail "gcab extraction differs"

# ---- a cabinet made by gcab with MSZIP -------------------------------------------
theirs=$work/theirs
mkdir -p "$theirs/deeper"
cp "$src/random.bin" "$src/export.reg" "$src/one.bin" "$src/empty.bin" "$src/name with blanks.txt" "$theirs/"
echo "in a folder" >"$theirs/deeper/inner.txt"
(cd "$theirs" && gcab -c -z "$work/theirs.cab" random.bin export.reg one.bin empty.bin "name with blanks.txt" deeper/inner.txt)
ours unpack "$work/theirs.cab" "$work/by-ours/new" && [ ! -s "$work/messages" ] && diff -r "$theirs" "$work/by-ours/new" >/dev/null \
  && ok "our extractor reads gcab's MSZIP cabinet" || fail "our extraction of gcab's cabinet: $(cat "$work/messages")"

# ---- stored names that climb out of the target -----------------------------------
mkdir -p "$work/evil/aa/bb"
echo "must not escape" >"$work/evil/aa/bb/escaped.txt"
(cd "$work/evil" && gcab -c -z "$work/evil.cab" aa/bb/escaped.txt)
python3 - "$work/evil.cab" <<'PY'
import sys
path = sys.argv[1]
data = open(path, 'rb').read()
assert data.count(b'aa\\bb\\escaped.txt') == 1
open(path, 'wb').write(data.replace(b'aa\\bb\\escaped.txt', b'..\\..\\escaped.txt'))
PY
mkdir -p "$work/target/one/two"
if ours unpack "$work/evil.cab" "$work/target/one/two"; then fail "a climbing name was extracted"; fi
[ "$(cat "$work/messages")" = "Failure writing to target file" ] && ok "a climbing name stops the extraction" \
  || fail "climbing name message: $(cat "$work/messages")"
found=$(find "$work" -name escaped.txt -not -path "$work/evil/*")
[ -z "$found" ] && ok "nothing written outside the target" || fail "written outside: $found"

# ---- damaged and foreign files -----------------------------------------------------
size=$(stat -c %s "$work/ours.cab")
head -c $((size / 2)) "$work/ours.cab" >"$work/truncated.cab"
: >"$work/zero.cab"
printf 'Windows Registry Editor Version 5.00\r\n\r\n' >"$work/text.cab"
for case in "truncated.cab|Corrupt cabinet" "zero.cab|Not a cabinet" "text.cab|Not a cabinet"; do
  name=${case%%|*} text=${case#*|}
  if ours unpack "$work/$name" "$work/out-$name"; then fail "$name unpacked"; fi
  [ "$(cat "$work/messages")" = "$text" ] && ok "$name: $text" || fail "$name: $(cat "$work/messages")"
done

[ $failures -eq 0 ] && echo "all cabinet checks passed" || echo "$failures cabinet checks failed"
exit $((failures > 0))

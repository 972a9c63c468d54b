#!/usr/bin/env bash
# A folder packed by our compressor (run under Wine) unpacks byte for byte with
# cabextract and with gcab; an MSZIP cabinet made by gcab, with a subfolder,
# unpacks byte for byte with our extractor. A backup set's cabinet lists and
# extracts with cabextract exactly as with our extractor.
#   cabinet-interop.sh PATH/bench_cabinet.exe     (WINEPREFIX from the environment)
set -u
tool=$1
WINE=${WINE:-/usr/lib/wine/wine64}
export WINEDEBUG=${WINEDEBUG:--all}
: "${WINEPREFIX:?run from ./quillmoor test, which sets WINEPREFIX}"
work=$(mktemp -d /tmp/qm-cab-interop.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0 messages=
check() { # WHAT, after the command it judges
  if [ $? -eq 0 ]; then echo "ok: $1"; else echo "FAIL: $1 $messages"; failures=$((failures + 1)); fi
}
ours() { # pack|unpack CABINET FOLDER: succeeds when it answered 1 without a message box
  local out rc=0
  out=$("$WINE" "$tool" "$1" "Z:${2//\//\\}" "Z:${3//\//\\}" 2>/dev/null </dev/null) || rc=$?
  messages=$(sed -n 's/^message: //p' <<<"$out" | tr -d '\r')
  [ $rc -eq 0 ] && [ -z "$messages" ]
}
src=$work/src
mkdir -p "$src" "$work/by-cabextract" "$work/by-gcab"
: >"$src/empty.bin"
printf 'x' >"$src/one.bin"
for i in $(seq 1 3000); do echo "HKEY_LOCAL_MACHINE\\Software\\Example\\Key$i=\"value $i\""; done >"$src/export.reg"
head -c 5242880 /dev/urandom >"$src/random.bin"
echo "a file whose name has blanks" >"$src/name with blanks.txt"
ours pack "$work/ours.cab" "$src"
check "packed the folder"
# From here the folder holds the log as well, which the cabinet must hold too.
cabextract -q -d "$work/by-cabextract" "$work/ours.cab" && diff -r "$src" "$work/by-cabextract" >/dev/null
check "cabextract extracts identical files"
gcab -x -C "$work/by-gcab" "$work/ours.cab" && diff -r "$src" "$work/by-gcab" >/dev/null
check "gcab extracts identical files"
cp -r "$src" "$work/theirs" && mkdir "$work/theirs/deeper" && echo "in a folder" >"$work/theirs/deeper/inner.txt"
(cd "$work/theirs" && find . -type f -printf '%P\0' | xargs -0 gcab -c -z "$work/theirs.cab")
ours unpack "$work/theirs.cab" "$work/by-ours/new" && diff -r "$work/theirs" "$work/by-ours/new" >/dev/null
check "our extractor reads gcab's MSZIP cabinet"
mkdir -p "$work/set-src/a" "$work/set-src/b" "$work/set-work"
echo first >"$work/set-src/a/App.lnk"
echo second >"$work/set-src/b/App.lnk"
out=$("$WINE" "$tool" set "Z:${work//\//\\}\\set-work" "Z:${work//\//\\}\\set-src\\a\\App.lnk" \
  "Z:${work//\//\\}\\set-src\\b\\App.lnk" 2>/dev/null </dev/null)
rc=$?
messages=$(sed -n 's/^message: //p' <<<"$out" | tr -d '\r')
setcab=$(sed -n 's/^set: Z://p' <<<"$out" | tr -d '\r' | tr '\\' /)
[ $rc -eq 0 ] && [ -z "$messages" ] && [ -f "$setcab" ] && [ -z "$(ls -A "$work/set-work")" ]
check "wrote a backup set and emptied its work folder"
ours unpack "$setcab" "$work/set-ours" && cabextract -q -d "$work/set-cabextract" "$setcab" &&
  diff -r "$work/set-ours" "$work/set-cabextract" >/dev/null
check "cabextract extracts the backup set as our extractor does"
[ "$(cabextract -l "$setcab" | sed -n 's/^ *[0-9][0-9]* |.*| //p' | sort)" = "$(ls "$work/set-ours" | sort)" ] &&
  [ "$(ls "$work/set-ours" | tr '\n' ' ')" = "4_App.lnk App.lnk Config.ini ZipLog.txt rkBackUp1.reg rvBackUp2.reg " ]
check "cabextract lists every file of the backup set"
cmp -s "$work/set-src/a/App.lnk" "$work/set-ours/App.lnk" && cmp -s "$work/set-src/b/App.lnk" "$work/set-ours/4_App.lnk"
check "each backed-up file has its own copy in the set"
[ -n "$setcab" ] && rm -f "$setcab"
[ $failures -eq 0 ] && echo "all cabinet checks passed" || echo "$failures cabinet checks failed"
exit $((failures > 0))

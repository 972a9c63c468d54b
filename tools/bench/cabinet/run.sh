#!/usr/bin/env bash
# Packs 2,000 files (100 MB, half text, half random bytes) with our compressor
# and with gcab -c -z, unpacks each result with our extractor and with
# cabextract, unpacks our cabinet with Wine's own extrac32.exe (a peer on the
# same platform), and prints the times and the ratios ours/theirs.
# Env (from ./quillmoor bench): WINE, WINEPREFIX, QM_BIN, QM_BUILD.
set -euo pipefail
WINE=${WINE:-/usr/lib/wine/wine64}
tool=$QM_BIN/bench_cabinet.exe
work=$QM_BUILD/bench-cabinet
rm -rf "$work"
mkdir -p "$work/src"
trap 'rm -rf "$work"' EXIT
win() { printf 'Z:%s' "${1//\//\\}"; }
now() { date +%s.%N; }
since() { awk -v a="$(now)" -v b="$1" 'BEGIN { printf "%.3f", a - b }'; }
say() { printf 'bench: %s %s %s\n' "$1" "$2" "$3"; }

python3 - "$work/src" <<'PY'
import os, random, sys
folder = sys.argv[1]
rng = random.Random(8)
words = ["HKEY_LOCAL_MACHINE", "Software", "Classes", "CLSID", "InprocServer32", "REG_SZ",
         "C:\\Program Files\\Example", "value", "data", "ThreadingModel", "Apartment", "{0000-1111}"]
size = 50 * 1024
for i in range(1000):
    text = []
    length = 0
    while length < size:
        line = "\"%s\"=\"%s\\%s %d\"\r\n" % (rng.choice(words), rng.choice(words), rng.choice(words), rng.randrange(100000))
        text.append(line)
        length += len(line)
    with open(os.path.join(folder, "text%04d.reg" % i), "w", newline="") as f:
        f.write("".join(text)[:size])
    with open(os.path.join(folder, "random%04d.bin" % i), "wb") as f:
        f.write(os.urandom(size))
PY
count=$(ls "$work/src" | wc -l)
total=$(du -sm "$work/src" | cut -f1)
echo "cabinet benchmark: $count files, ${total} MB" >&2

# Wine is started once before timing, so that neither side pays its first start.
"$WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true

start=$(now)
(cd "$work/src" && gcab -c -z "$work/theirs.cab" ./*)
theirs_pack=$(since "$start")

start=$(now)
"$WINE" "$tool" pack "$(win "$work/ours.cab")" "$(win "$work/src")" </dev/null
ours_pack=$(since "$start")

mkdir -p "$work/by-cabextract"
start=$(now)
cabextract -q -d "$work/by-cabextract" "$work/theirs.cab"
theirs_unpack=$(since "$start")

start=$(now)
"$WINE" "$tool" unpack "$(win "$work/ours.cab")" "$(win "$work/by-ours")" </dev/null
ours_unpack=$(since "$start")

mkdir -p "$work/by-extrac32"
start=$(now)
"$WINE" extrac32.exe /e /l "$(win "$work/by-extrac32")" "$(win "$work/ours.cab")" </dev/null
platform_unpack=$(since "$start")

diff -r "$work/src" "$work/by-ours" >/dev/null || { echo "cabinet benchmark: our round trip differs" >&2; exit 1; }
diff -r "$work/src" "$work/by-extrac32" >/dev/null || { echo "cabinet benchmark: extrac32 unpacked our cabinet differently" >&2; exit 1; }
rm "$work/src/ZipLog.txt"
diff -r "$work/src" "$work/by-cabextract" >/dev/null || { echo "cabinet benchmark: gcab round trip differs" >&2; exit 1; }

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
say cab_pack_ours "$(printf '%.2f' "$ours_pack")" s
say cab_pack_gcab "$(printf '%.2f' "$theirs_pack")" s
say cab_unpack_ours "$(printf '%.2f' "$ours_unpack")" s
say cab_unpack_cabextract "$(printf '%.2f' "$theirs_unpack")" s
say cab_unpack_extrac32 "$(printf '%.2f' "$platform_unpack")" s
say cab_pack_ratio "$(ratio "$ours_pack" "$theirs_pack")" x
say cab_unpack_ratio "$(ratio "$ours_unpack" "$theirs_unpack")" x
say cab_unpack_platform_ratio "$(ratio "$ours_unpack" "$platform_unpack")" x
say cab_size_ours "$(( $(stat -c %s "$work/ours.cab") / 1024 ))" KB
say cab_size_gcab "$(( $(stat -c %s "$work/theirs.cab") / 1024 ))" KB

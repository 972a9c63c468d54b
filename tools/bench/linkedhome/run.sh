#!/usr/bin/env bash
# The complete scan (/scan /all) of a prefix whose profile folders are links
# to a home folder, as Wine makes them: once with an empty home and once with
# a home of 3,000 files in 300 folders, alternated three times. The scan never
# enters a folder link, so both take about as long; prints both median times,
# their ratio, and how many report lines mention the full home's files (0).
# Env (from ./quillmoor bench): WINE, WINEPREFIX, QM_BIN, QM_BUILD.
set -euo pipefail
WINE=${WINE:-/usr/lib/wine/wine64}
exe=$QM_BIN/Quillmoor8.exe
work=$QM_BUILD/bench-linkedhome
profile=$(find "$WINEPREFIX/drive_c/users" -mindepth 1 -maxdepth 1 -type d ! -name Public | head -1)
folders="Desktop Documents Downloads Music Pictures Videos Templates"
now() { date +%s.%N; }
since() { awk -v a="$(now)" -v b="$1" 'BEGIN { printf "%.2f", a - b }'; }
say() { printf 'bench: %s %s %s\n' "$1" "$2" "$3"; }
win() { printf 'Z:%s' "${1//\//\\}"; }

restore() {
  local name
  for name in $folders; do
    if [ -L "$profile/$name" ]; then rm "$profile/$name"; fi
    if [ -d "$profile/$name.qm-saved" ]; then mv "$profile/$name.qm-saved" "$profile/$name"; fi
  done
  rm -rf "$work"
}
trap restore EXIT

rm -rf "$work"
mkdir -p "$work/empty" "$work/full"
for d in $(seq 300); do
  mkdir -p "$work/full/qmhome$d"
  for f in $(seq 10); do echo "a user's file" >"$work/full/qmhome$d/file$f.txt"; done
done
for name in $folders; do
  if [ -d "$profile/$name" ] && [ ! -L "$profile/$name" ]; then mv "$profile/$name" "$profile/$name.qm-saved"; fi
done
link_home() {
  local name
  for name in $folders; do ln -sfn "$1" "$profile/$name"; done
}

"$WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true
declare -A times
for round in 1 2 3; do
  for home in empty full; do
    link_home "$work/$home"
    start=$(now)
    "$WINE" "$exe" /scan /all "/report:$(win "$work/report-$home.tsv")" </dev/null >/dev/null 2>&1 || true
    times[$home]="${times[$home]:-} $(since "$start")"
  done
done
median() { printf '%s\n' $1 | sort -n | sed -n 2p; }
empty=$(median "${times[empty]}")
full=$(median "${times[full]}")
say linkedhome_empty_s "$empty" s
say linkedhome_full_s "$full" s
say linkedhome_full_over_empty "$(awk -v a="$full" -v b="$empty" 'BEGIN { printf "%.2f", a / b }')" ratio
say linkedhome_home_lines "$(grep -c qmhome "$work/report-full.tsv" || true)" lines

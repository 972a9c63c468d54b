#!/usr/bin/env bash
# The complete scan (/scan /all) of a prefix whose profile folders are links
# to a home folder, as Wine makes them: once with an empty home and once with
# a home of 3,000 files in 300 folders and two broken shortcuts, alternated
# five times. The scan never enters a folder link, so both take about as
# long. Prints the median and the fastest time of each (other work on the
# machine shows as single slow runs), the ratio of the medians, and how many
# report lines mention the full home's files (0). With QM_COMPARE_EXE
# (another build of the program, e.g. an older one) that one scans the full
# home too, in the same rounds.
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
cat >"$work/shortcut.js" <<'JS'
var shell = new ActiveXObject("WScript.Shell");
for (var i = 0; i < WScript.Arguments.length; i++) {
  var link = shell.CreateShortcut(WScript.Arguments(i));
  link.TargetPath = "C:\\QmGone\\app.exe";
  link.Save();
}
JS
"$WINE" cscript //nologo "$(win "$work/shortcut.js")" "$(win "$work/full/qmhome-broken.lnk")" \
  "$(win "$work/full/qmhome7/qmhome-broken.lnk")" </dev/null >/dev/null 2>&1
[ -f "$work/full/qmhome7/qmhome-broken.lnk" ] || echo "linkedhome: no shortcut made" >&2
for name in $folders; do
  if [ -d "$profile/$name" ] && [ ! -L "$profile/$name" ]; then mv "$profile/$name" "$profile/$name.qm-saved"; fi
done
link_home() {
  local name
  for name in $folders; do ln -sfn "$1" "$profile/$name"; done
}

"$WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true
declare -A times
for round in 1 2 3 4 5; do
  for home in empty full; do
    link_home "$work/$home"
    start=$(now)
    "$WINE" "$exe" /scan /all "/report:$(win "$work/report-$home.tsv")" </dev/null >/dev/null 2>&1 || true
    times[$home]="${times[$home]:-} $(since "$start")"
  done
  if [ -n "${QM_COMPARE_EXE:-}" ]; then
    start=$(now)
    "$WINE" "$QM_COMPARE_EXE" /scan /all "/report:$(win "$work/report-compare.tsv")" </dev/null >/dev/null 2>&1 || true
    times[compare]="${times[compare]:-} $(since "$start")"
  fi
done
median() { printf '%s\n' $1 | sort -n | sed -n 3p; }
fastest() { printf '%s\n' $1 | sort -n | sed -n 1p; }
empty=$(median "${times[empty]}")
full=$(median "${times[full]}")
say linkedhome_empty_s "$empty" s
say linkedhome_full_s "$full" s
say linkedhome_empty_fastest_s "$(fastest "${times[empty]}")" s
say linkedhome_full_fastest_s "$(fastest "${times[full]}")" s
say linkedhome_full_over_empty "$(awk -v a="$full" -v b="$empty" 'BEGIN { printf "%.2f", a / b }')" ratio
say linkedhome_home_lines "$(grep -c qmhome "$work/report-full.tsv" || true)" lines
if [ -n "${QM_COMPARE_EXE:-}" ]; then
  say linkedhome_compare_full_s "$(median "${times[compare]}")" s
  say linkedhome_compare_full_fastest_s "$(fastest "${times[compare]}")" s
  say linkedhome_compare_home_lines "$(grep -c qmhome "$work/report-compare.tsv" || true)" lines
fi

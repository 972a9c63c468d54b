#!/usr/bin/env bash
# The 32-bit Quillmoor8.exe imports only functions that every Windows it is
# for exports: one function missing from a system's DLL and the loader
# refuses to start the program there at all. The allowed functions, each
# with the oldest systems that have it, stand in imports-allowed.txt beside
# this script.
set -u
exe=$1
allowed=${2:-$(dirname "$0")/imports-allowed.txt}
[ -f "$exe" ] || { echo "missing: $exe"; exit 1; }
imports=$(objdump -p "$exe" | awk '
  /^\tDLL Name:/ { dll = tolower($3); next }
  /^\tvma:/ { next }
  /^$/ { next }
  dll != "" && /^\t[0-9a-f]+\t/ { print dll, $NF }')
[ -n "$imports" ] || { echo "no imports read from $exe"; exit 1; }
bad=0
count=0
while read -r dll function; do
  count=$((count + 1))
  if ! grep -Eiq "^$dll[[:space:]]+$function([[:space:]]|$)" "$allowed"; then
    echo "$(basename "$exe") imports $function from $dll, which is not in $(basename "$allowed")."
    echo "  If Windows 95 and NT 4.0 (with Internet Explorer 4.0) export it, add a line"
    echo "  \"$dll $function <oldest systems>\" checked against its documentation. Otherwise"
    echo "  call it through SystemFunction<...>(\"$dll\", \"$function\") from core/Platform.h"
    echo "  and give systems without it a fallback, so that the program still starts there."
    bad=1
  fi
done <<<"$imports"
[ $bad -eq 0 ] && echo "ok: all $count imported functions are in $(basename "$allowed")"
exit $bad

#!/usr/bin/env bash
# A built Quillmoor8.exe is the expected kind of PE file and imports only
# DLLs that every Windows system has: the runtime is linked in statically.
set -u
exe=$1 kind=$2
[ -f "$exe" ] || { echo "missing: $exe"; exit 1; }
desc=$(file -b "$exe")
case "$desc" in
  "$kind"*) echo "ok: $desc" ;;
  *) echo "wrong kind: $desc (expected $kind)"; exit 1 ;;
esac
allowed=" advapi32.dll comctl32.dll comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll oleaut32.dll shell32.dll shlwapi.dll user32.dll version.dll wininet.dll "
bad=0
while read -r dll; do
  lower=$(echo "$dll" | tr 'A-Z' 'a-z')
  case "$allowed" in
    *" $lower "*) echo "import: $dll" ;;
    *) echo "import outside the system set: $dll"; bad=1 ;;
  esac
done < <(objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p')
exit $bad

#!/usr/bin/env bash
# Seeds a fresh Wine prefix with the leftovers of an uninstalled program, so
# that a first scan of it has something to find in the Registry, Windows and
# Tweaks groups. Run once per prefix, by `./quillmoor run` on its demo prefix.
#
#   seed-demo-prefix.sh PREFIX
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
PREFIX=${1:?usage: seed-demo-prefix.sh PREFIX}
WINE=${WINE:-/usr/lib/wine/wine64}
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver64}
export WINEPREFIX=$PREFIX WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="

windows_path() { printf 'Z:%s' "${1//\//\\}"; }

drive_c=$PREFIX/drive_c
user_dir=
for dir in "$drive_c"/users/*/; do
  [ "$(basename "$dir")" = Public ] || user_dir=${dir%/}
done
[ -n "$user_dir" ] || { echo "seed-demo-prefix: no user profile in $PREFIX" >&2; exit 1; }

# Wine links the profile's Desktop, Documents, Templates and the like to the
# Linux home folder, and through it a walk of C:\ reaches every drive again.
# The demo machine keeps folders of its own, so a scan sees only the prefix.
find "$drive_c/users" -type l | while read -r link; do
  rm "$link"
  mkdir -p "$link"
done

# The registry entries, imported as an old-style registry file.
"$WINE" regedit /S "$(windows_path "$HERE/leftovers.reg")" </dev/null >/dev/null 2>&1

# A desktop shortcut to the program that is gone.
mkdir -p "$drive_c/users/Public/Desktop"
python3 "$HERE/make-shortcut.py" "$drive_c/users/Public/Desktop/Harbor Notes.lnk" \
  'C:\Program Files\Harbor Notes\hnotes.exe'

# Temporary files the installer and the program left behind.
mkdir -p "$user_dir/Temp" "$drive_c/windows/temp"
head -c 24576 /dev/zero | tr '\0' 'h' >"$user_dir/Temp/~hn4F21.tmp"
head -c 3100 /dev/zero | tr '\0' 'l' >"$user_dir/Temp/hnotes-setup.log"
head -c 131072 /dev/zero | tr '\0' 's' >"$drive_c/windows/temp/hn_setup.tmp"

# What a disk check saved from lost clusters.
mkdir -p "$drive_c/found.000"
head -c 8192 /dev/zero | tr '\0' 'c' >"$drive_c/found.000/FILE0000.CHK"
head -c 4096 /dev/zero | tr '\0' 'c' >"$drive_c/found.000/FILE0001.CHK"

"$WINESERVER" -w
touch "$PREFIX/.quillmoor-demo-seeded"

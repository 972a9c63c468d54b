#!/usr/bin/env bash
# The full registry backup's restore, which replaces the whole registry and
# restarts the system, in a Wine prefix of its own: never the shared one.
#   fullbackup-own-prefix.sh PATH/test_fullbackup.exe
# 1. With the program's Windows version set to win98: registry files backed
#    up and restored through wininit.ini.
# 2. NT family: back up, change, restore, restart (every process of the
#    prefix ends); then start the prefix again and check the registry.
set -u
tests=$1
WINE=${WINE:-/usr/lib/wine/wine64}
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver64}
work=$(mktemp -d /tmp/qm-fullbackup.XXXXXX)
prefix=$work/prefix
export WINEPREFIX=$prefix WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all HOME=$work
trap '"$WINESERVER" -k >/dev/null 2>&1; rm -rf "$work"' EXIT
failures=0
check() { # WHAT, after the command it judges
  if [ $? -eq 0 ]; then echo "ok: $1"; else echo "FAIL: $1"; failures=$((failures + 1)); fi
}
phase() { # PHASE EXE: runs the phase's test in the prefix
  QM_FULLBACKUP_PHASE=$1 "$WINE" "$2" --gtest_filter='OwnPrefix.*' </dev/null 2>&1 | tr -d '\r'
  return "${PIPESTATUS[0]}"
}

"$WINE" wineboot -i >/dev/null 2>&1
"$WINE" reg add 'HKCU\Software\Wine' /v Version /d vista /f >/dev/null 2>&1
"$WINE" reg add 'HKCU\Software\Wine\AppDefaults\fb98.exe' /v Version /d win98 /f >/dev/null 2>&1
"$WINESERVER" -w
mkdir -p "$prefix/drive_c/qm" "$prefix/drive_c/qm98"
cp "$tests" "$prefix/drive_c/qm/fullbackup.exe"
cp "$tests" "$prefix/drive_c/qm98/fb98.exe"

phase win98 'C:\qm98\fb98.exe'
check "Windows 98: registry files backed up, restored beside the originals, renames queued"

phase restore 'C:\qm\fullbackup.exe' >"$work/restore.log"
rc=$?
cat "$work/restore.log"
! grep -q '\[  FAILED  \]' "$work/restore.log" && ! grep -q 'did not restart' "$work/restore.log" \
  && grep -q '\[ RUN      \] OwnPrefix.RestoreThenRestart' "$work/restore.log" \
  && ! grep -q '\[  PASSED  \]' "$work/restore.log"
check "NT family: restored, then the restart ended the program (exit $rc)"
timeout 120 "$WINESERVER" -w
check "the prefix came to a stop after the restart"

phase after 'C:\qm\fullbackup.exe'
check "NT family, after the restart: the restored registry stayed"
"$WINESERVER" -w
exit $((failures > 0))

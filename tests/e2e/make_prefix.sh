#!/usr/bin/env bash
# Makes the Wine prefix of the end-to-end tests anew: nothing installed in it
# but Wine itself, so every run proves that the stub starts on a bare system.
# Wine's server and services outlive the commands that start them; they get
# no descriptor of this script's output, or CTest would wait for them.
set -euo pipefail
: "${WINEPREFIX:?}"
wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
wineboot -i </dev/null >/dev/null 2>&1
wineserver -w
# No crash dialog: a crash must fail a test, not wait for a click.
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
wineserver -w
wineserver -p </dev/null >/dev/null 2>&1  # keep the server up between tests
test -d "$WINEPREFIX/drive_c/windows"
echo "prefix ready: $WINEPREFIX"

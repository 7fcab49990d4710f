#!/usr/bin/env bash
# Makes the Wine prefix of the end-to-end tests anew: nothing installed in it
# but Wine itself, so every run proves that the stub starts on a bare system.
# Wine's server and services outlive the commands that start them; they get
# no descriptor of this script's output, or CTest would wait for them.
set -euo pipefail
: "${WINEPREFIX:?}"
# The tests share one desktop process, started by the first of them. Wine
# started without a display gives a desktop on which every GUI program ends
# at once without a word, so stop here rather than let the tests mislead.
: "${DISPLAY:?the Wine tests need an X display (run them under xvfb-run)}"
wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
wineboot -i </dev/null >/dev/null 2>&1
wineserver -w
# No crash dialog: a crash must fail a test, not wait for a click.
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
# A Wine virtual desktop of the display's size (scripts/test.sh starts the
# display at 1024x768). With no window manager on the display, Wine waits
# about 2 s for one each time a window is first shown; inside its own desktop
# Wine places the windows itself and does not wait.
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f </dev/null >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f </dev/null >/dev/null 2>&1
wineserver -w
wineserver -p </dev/null >/dev/null 2>&1  # keep the server up between tests
test -d "$WINEPREFIX/drive_c/windows"
echo "prefix ready: $WINEPREFIX"

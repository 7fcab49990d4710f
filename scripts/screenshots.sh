#!/usr/bin/env bash
# Takes the README's pictures of the dialogs from the current build: the main
# dialog, the progress dialog during a run, the overwrite confirmation, the
# password prompt, the folder browser with its "New..." button and the New
# Folder dialog, each as the stub shows it under Wine on a virtual display,
# at 96 DPI and at 144 DPI (150 %). Writes docs/screenshots/NAME.png (96 DPI)
# and docs/screenshots/NAME@144.png for NAME in main, progress, overwrite,
# password, browse and newfolder.
#
#   scripts/screenshots.sh [WIN32_BUILD_DIR] [HOST_TOOLS_DIR]
#
# Defaults: build/win32 and build/host/tools/Debug (or the build's own
# KORVI_HOST_TOOLS, as a worktree's build names it). SHOT_DPIS="96 144" by
# default; any other DPI gives NAME@DPI.png. The pictures come from a Wine
# prefix of their own under the build dir, in which the programs run on a
# Wine virtual desktop of the display's size: Wine draws the window frames
# itself and does not wait for a window manager (there is none on the display).
# Wine takes the DPI from LogPixels in HKCU\Control Panel\Desktop when a
# process starts, so the server is stopped after each change of it.
# Wine draws the title bars' buttons with its own Marlett font, Debian's
# fonts-wine (a recommendation of wine, which an install without
# recommendations leaves out): without it every title bar shows "0 1 r"
# where its buttons should be. This Wine (8.0 of Debian 12) does not find
# the fonts of its own folder, /usr/share/wine/fonts (it looks for
# "Z:\usr\share\wine\../fonts", which does not resolve), but loads every
# font in the prefix's C:\windows\Fonts, so the font is copied there; the
# script stops when it is missing.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
bash "$ROOT/scripts/install-deps.sh"
MARLETT=/usr/share/wine/fonts/marlett.ttf
if [ ! -f "$MARLETT" ]; then
  echo "no $MARLETT: Wine would draw the title bars' buttons as \"0 1 r\"; install fonts-wine" >&2
  exit 1
fi
BUILD=$(cd "${1:-$ROOT/build/win32}" && pwd)
TOOLS=${2:-$ROOT/build/host/tools/Debug}
if [ -z "${2:-}" ] && [ ! -d "$TOOLS" ]; then
  TOOLS=$(sed -n 's/^KORVI_HOST_TOOLS:PATH=//p' "$BUILD/CMakeCache.txt" 2>/dev/null || true)
fi
TOOLS=$(cd "$TOOLS" && pwd)
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$BUILD" "$TOOLS"
fi
export WINEPREFIX="$BUILD/shots-prefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# The dates in the overwrite question are the user's: US English here.
export LC_ALL=C.UTF-8
OUT="$ROOT/docs/screenshots"
mkdir -p "$OUT"

if [ ! -d "$WINEPREFIX/drive_c/windows" ]; then
  wineboot -i </dev/null >/dev/null 2>&1
  wineserver -w
fi
mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
cp "$MARLETT" "$WINEPREFIX/drive_c/windows/Fonts/marlett.ttf"
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f </dev/null >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f </dev/null >/dev/null 2>&1

WORK="$WINEPREFIX/drive_c/shots"
rm -rf "$WORK" && mkdir -p "$WORK/src" && cd "$WORK"
for i in 1 2 3 4 5 6; do head -c 1000000 /dev/urandom > "src/part$i.bin"; done
printf 'Read me first.\r\n' > src/readme.txt
touch -d '2024-05-17 14:20:36' src/readme.txt
(cd src && zip -q -X -0 ../big.zip part1.bin part2.bin part3.bin readme.txt part4.bin part5.bin part6.bin && zip -q -X ../small.zip readme.txt &&
 zip -q -X -P secret ../locked.zip readme.txt)
sfx() { "$TOOLS/mksfx" --stub "$BUILD/sfx.exe" "$@"; }
sfx --zip small.zip --out setup.exe --caption "Sample Tools 1.0" --dest 'C:\Sample Tools' \
  --run '><readme.txt'
sfx --zip big.zip --out big.exe --dest 'C:\shots'
sfx --zip locked.zip --out locked.exe --dest 'C:\shots\locked'
drive() { wine "$BUILD/sfxdrive.exe" "$@" </dev/null >"$WORK/drive.log" 2>&1 || { cat "$WORK/drive.log"; exit 1; }; }

# Every picture at the current DPI, as NAME.bmp in $WORK. The runs write
# into C:\shots, so what an earlier round extracted is removed first.
take_shots() {
  rm -rf part?.bin locked
  printf 'An older copy of the file.\r\n' > readme.txt
  touch -d '2023-11-02 09:15:04' readme.txt
  drive 'C:\shots\setup.exe' window "Korvi EXE - Sample Tools 1.0" shot main.bmp close exit 0
  drive 'C:\shots\setup.exe' window "Korvi EXE - Sample Tools 1.0" settext 101 'C:\shots' click 1 \
    window "Confirm File Overwrite" shot overwrite.bmp click 2 \
    message "The selected file(s) couldn't get extracted." "Error.." click 1 \
    window "Korvi EXE - Sample Tools 1.0" close exit 1
  # The progress dialog halfway, held by the question about readme.txt, which
  # is moved out of the way for the picture (off the screen's left edge: at
  # 144 DPI it is too wide to stand beside the progress dialog).
  drive 'C:\shots\big.exe' window "Korvi EXE" click 1 window "Confirm File Overwrite" move -600 0 \
    window "Korvi EXE Processing..." sleep 300 shot progress.bmp \
    window "Confirm File Overwrite" click 2 \
    message "The selected file(s) couldn't get extracted." "Error.." click 1 \
    window "Korvi EXE" close exit 1
  # The browser on a folder of drive C: as Wine's tree names it, then the New
  # Folder dialog for it with a name typed; cancelled, so nothing is created.
  drive 'C:\shots\setup.exe' window "Korvi EXE - Sample Tools 1.0" click 775 \
    window "Extract to : " treeselect "Desktop|My Computer| (C:)|Program Files" shot browse.bmp click 1277 \
    window "Create New Folder" settext 3002 "Sample Tools" shot newfolder.bmp click 2 gone \
    window "Korvi EXE - Sample Tools 1.0" close exit 0
  drive 'C:\shots\locked.exe' window "Korvi EXE" click 1 window "Input Password" settext 101 secret \
    shot password.bmp click 1 message "All files have been extracted." "Finished." click 1 exit 0
}

for dpi in ${SHOT_DPIS:-96 144}; do
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f </dev/null >/dev/null 2>&1
  # The next program starts the server and the desktop anew, at this DPI.
  wineserver -k 2>/dev/null || true
  wineserver -w
  take_shots
  suffix=$([ "$dpi" = 96 ] || echo "@$dpi")
  for name in main progress overwrite password browse newfolder; do
    convert "$name.bmp" -strip "$OUT/$name$suffix.png"
  done
done
wineserver -k || true
echo "screenshots in $OUT"

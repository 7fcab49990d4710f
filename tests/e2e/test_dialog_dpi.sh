#!/usr/bin/env bash
# Every dialog laid out at 96 and at 144 DPI (LogPixels, which each Wine
# process reads when it starts): no control overlaps another and every text
# fits on one line in the main dialog, the overwrite question, the progress
# dialog, the password prompt, the folder browser and the New Folder dialog;
# the overwrite question shows the file type's icon whole beside each size
# line, with dates of the longest names on one line; the progress bars lie
# clear of the labels, with offsets grown with the DPI.
source "$KORVI_SOURCE/tests/e2e/lib.sh"
# The dates are written in the user's language, as Wine takes it from the
# locale: US English, whatever the machine's.
export LC_ALL=C.UTF-8
# The other tests run at the prefix's own DPI: put it back however this ends.
trap "wine reg delete 'HKCU\\Control Panel\\Desktop' /v LogPixels /f </dev/null >/dev/null 2>&1 || true" EXIT

mkdir -p src
head -c 300000 /dev/urandom > src/first.bin
python3 -c 'import sys; sys.stdout.write("a line of notes\n" * 6250)' > src/notes.txt  # 100,000 bytes
touch -d '2023-09-27 09:05:02' src/notes.txt
(cd src && zip -q -X -0 ../dpi.zip first.bin notes.txt && zip -q -X -P secret ../locked.zip notes.txt)
# A caption and a program to run: the main dialog shows all its controls.
make_sfx dpi.exe "$WORK/dpi.zip" --caption "Sample Tools 1.0" --run '><notes.txt'
make_sfx locked.exe "$WORK/locked.zip" --dest "$WORK_WIN\\locked"
TREE="Desktop|My Computer| (C:)|e2e|$TEST_NAME"

for dpi in 96 144; do
  echo "== $dpi DPI"
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f </dev/null >/dev/null 2>&1
  rm -rf first.bin locked
  printf 'mine' > notes.txt
  touch -d '2023-09-13 12:30:10' notes.txt
  # The question holds the run after first.bin, three quarters of it. At 144
  # DPI it covers the progress dialog: it is moved off the screen's left
  # edge, far enough also where Wine scales a place given by another process
  # to a DPI-aware window (by 96/144).
  drive "$WORK_WIN\\dpi.exe" \
    window "Korvi EXE - Sample Tools 1.0" visible 1007 1 layout fits click 1 \
    window "Confirm File Overwrite" layout fits \
    text 502 "Wednesday, September 13, 2023 12:30:10 PM" text 504 "Wednesday, September 27, 2023 9:05:02 AM" \
    icon notes.txt 501 503 move -600 0 \
    window "Korvi EXE Processing..." layout fits bars 0 75 \
    window "Confirm File Overwrite" click 2 gone \
    message "The selected file(s) couldn't get extracted." "Error.." click 1 \
    window "Korvi EXE - Sample Tools 1.0" click 775 \
    window "Extract to : " treeselect "$TREE" layout click 1277 \
    window "Create New Folder" layout fits click 2 gone \
    window "Korvi EXE - Sample Tools 1.0" close exit 1
  drive "$WORK_WIN\\locked.exe" \
    window "Korvi EXE" click 1 window "Input Password" layout fits settext 101 secret click 1 \
    message "All files have been extracted." "Finished." click 1 exit 0
done
echo "dialogs laid out at 96 and 144 DPI"

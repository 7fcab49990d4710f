#!/usr/bin/env bash
# A destination field holding only "\" extracts into the current folder, and
# the field then shows that folder. The run is made to fail (an existing file
# kept with No) so that the dialog stays open to be read.
source "$KORVI_SOURCE/tests/e2e/lib.sh"
mkdir -p src && printf 'from archive' > src/keep.txt && printf 'second' > src/new.txt
(cd src && zip -q -X ../bs.zip keep.txt new.txt)
make_sfx bs.exe "$WORK/bs.zip"
printf 'existing' > keep.txt
drive "$WORK_WIN\\bs.exe" \
  window "Korvi EXE" settext 101 '\' click 1 \
  window "Confirm File Overwrite" click 2 \
  message "The selected file(s) couldn't get extracted." "Error.." click 1 \
  window "Korvi EXE" text 101 "$WORK_WIN" enabled 1 1 click 2 exit 1
expect_file "$WORK/keep.txt" 'existing'
expect_file "$WORK/new.txt" 'second'
echo "a lone backslash means the current folder"

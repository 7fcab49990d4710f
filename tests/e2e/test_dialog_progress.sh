#!/usr/bin/env bash
# The progress dialog as a user sees it: its caption, texts and Cancel, the
# entry's name, and both bars painted in their colours, the entry bar at 0 %
# and the total bar at 75 % while the second entry's overwrite question is
# open (the first entry, three quarters of the archive, is written). The
# question, now wider than the space left of the progress dialog, is moved
# off the screen's left edge so that the bars can be read from the screen.
source "$KORVI_SOURCE/tests/e2e/lib.sh"
mkdir -p src
head -c 300000 /dev/urandom > src/first.bin
head -c 100000 /dev/urandom > src/second.bin
(cd src && zip -q -X -0 ../bars.zip first.bin second.bin)
make_sfx bars.exe "$WORK/bars.zip"
printf 'in the way' > second.bin
drive "$WORK_WIN\\bars.exe" \
  window "Korvi EXE" click 1 \
  window "Confirm File Overwrite" move -600 0 \
  window "Korvi EXE Processing..." text 901 "second.bin" text 902 "Total Progress" text 2 "Cancel" \
  visible 903 0 bars 0 75 \
  window "Confirm File Overwrite" click 1 \
  message "All files have been extracted." "Finished." click 1 exit 0
cmp -s src/second.bin second.bin || fail "second.bin was not replaced"
echo "progress dialog: name, texts and bars"

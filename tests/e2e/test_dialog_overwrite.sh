#!/usr/bin/env bash
# The overwrite confirmation: its five texts, Yes, No and Escape for one file
# each, and "Apply to &All" with Yes (no further question, Extract pressed
# again after the failed run) and with No (every file kept, failure reported).
source "$KORVI_SOURCE/tests/e2e/lib.sh"
# The dates are written in the user's language, as Wine takes it from the
# locale: US English, whatever the machine's.
export LC_ALL=C.UTF-8
mkdir -p src/deep
printf 'archived a' > src/a.txt
printf 'archived b' > src/b.txt
printf 'archived c' > src/deep/c.txt
touch -d '2001-07-15 09:05:02' src/a.txt
(cd src && zip -q -X ../ow.zip a.txt b.txt deep/c.txt)
make_sfx ow.exe "$WORK/ow.zip"

reset_files() {
  mkdir -p deep
  head -c 512 /dev/zero | tr '\0' x > a.txt
  touch -d '2001-07-15 12:30:10' a.txt
  printf 'mine b' > b.txt
  printf 'mine c' > deep/c.txt
}

# Yes replaces a.txt, No keeps b.txt, Escape keeps deep/c.txt: the run fails.
# Then Extract again, Yes with Apply to All: nothing more is asked.
reset_files
drive "$WORK_WIN\\ow.exe" \
  window "Korvi EXE" click 1 \
  window "Confirm File Overwrite" \
  text 500 "a.txt" text 501 "512BYTE" text 502 "Sunday, July 15, 2001 12:30:10 PM" \
  text 503 "10BYTE" text 504 "Sunday, July 15, 2001 9:05:02 AM" checked 401 0 \
  click 1 gone \
  window "Confirm File Overwrite" text 500 "b.txt" text 501 "6BYTE" click 2 gone \
  window "Confirm File Overwrite" text 500 "c.txt" key 27 gone \
  message "The selected file(s) couldn't get extracted." "Error.." click 1 \
  window "Korvi EXE" click 1 \
  window "Confirm File Overwrite" text 500 "a.txt" check 401 1 click 1 gone \
  absent "Confirm File Overwrite" 500 \
  message "All files have been extracted." "Finished." click 1 exit 0
expect_file "$WORK/a.txt" 'archived a'
expect_file "$WORK/b.txt" 'archived b'
expect_file "$WORK/deep/c.txt" 'archived c'

# The same answers checked on disk at once: Yes to a, No to b, and the
# close box, which answers No, to c.
reset_files
drive "$WORK_WIN\\ow.exe" \
  window "Korvi EXE" click 1 \
  window "Confirm File Overwrite" click 1 gone \
  window "Confirm File Overwrite" click 2 gone \
  window "Confirm File Overwrite" close gone \
  message "The selected file(s) couldn't get extracted." "Error.." click 1 \
  window "Korvi EXE" click 2 exit 1
expect_file "$WORK/a.txt" 'archived a'
expect_file "$WORK/b.txt" 'mine b'
expect_file "$WORK/deep/c.txt" 'mine c'

# No with Apply to All keeps every file without another question.
reset_files
drive "$WORK_WIN\\ow.exe" \
  window "Korvi EXE" click 1 \
  window "Confirm File Overwrite" check 401 1 click 2 gone \
  absent "Confirm File Overwrite" 500 \
  message "The selected file(s) couldn't get extracted." "Error.." click 1 \
  window "Korvi EXE" close exit 1
[ "$(wc -c < a.txt)" = 512 ] || fail "a.txt was replaced"
expect_file "$WORK/b.txt" 'mine b'
expect_file "$WORK/deep/c.txt" 'mine c'
echo "overwrite confirmation: Yes, No, Escape, Apply to All"

#!/usr/bin/env bash
# The main dialog of a file without a configuration block: caption
# "Korvi EXE", the current folder proposed, Execute hidden, Overwrite
# unchecked. Close and the close box end it without extracting; Extract
# (or Enter) writes the files into the proposed folder and ends with
# "Finished.".
source "$KORVI_SOURCE/tests/e2e/lib.sh"
mkdir -p src/sub
printf 'first file' > src/one.txt
printf 'nested' > src/sub/two.txt
(cd src && zip -q -X ../plain.zip one.txt sub/two.txt)
make_sfx plain.exe "$WORK/plain.zip"

# Close keeps everything as it was.
drive "$WORK_WIN\\plain.exe" \
  window "Korvi EXE" caption "Korvi EXE" text 101 "$WORK_WIN" \
  visible 1007 0 checked 1008 0 enabled 1 1 enabled 2 1 enabled 775 1 \
  text 100 "Extract To :" text 1 "Extract" text 2 "&Close" text 1008 "Overwrite" \
  click 2 exit 0
[ ! -e one.txt ] || fail "Close extracted one.txt"

# The close box likewise, also after "..." opened the folder browser and it
# was cancelled.
drive "$WORK_WIN\\plain.exe" \
  window "Korvi EXE" click 775 window "Extract to : " click 2 gone \
  window "Korvi EXE" caption "Korvi EXE" close exit 0
[ ! -e one.txt ] || fail "the close box extracted one.txt"

# Extract into the proposed folder: the success message, then the end.
drive "$WORK_WIN\\plain.exe" \
  window "Korvi EXE" click 1 \
  message "All files have been extracted." "Finished." click 1 exit 0
expect_file "$WORK/one.txt" 'first file'
expect_file "$WORK/sub/two.txt" 'nested'

# Extract into a folder typed into the field, created with its parents;
# Enter gives the Extract command.
drive "$WORK_WIN\\plain.exe" \
  window "Korvi EXE" settext 101 "$WORK_WIN\\typed\\deeper\\" key 13 \
  message "All files have been extracted." "Finished." click 1 exit 0
expect_file "$WORK/typed/deeper/one.txt" 'first file'
expect_file "$WORK/typed/deeper/sub/two.txt" 'nested'
echo "plain main dialog: Close, close box and Extract"

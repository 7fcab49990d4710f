#!/usr/bin/env bash
# The main dialog with a configuration block: the caption gains " - " and the
# caption text (cut to 260 characters when that is longer), the Execute box
# names the configured program and its parameter and is checked, Overwrite
# starts checked and replaces existing files without asking, and the
# proposed folder has its {win} macro expanded.
source "$KORVI_SOURCE/tests/e2e/lib.sh"
printf 'new text' > one.src
cp one.src one.txt && (zip -q -X cfg.zip one.txt) && rm one.txt

make_sfx cfg.exe "$WORK/cfg.zip" --caption "Setup of Things" --overwrite \
  --run 'C:\tools\viewer.exe|><docs\readme.txt' --dest '{win}\korvi-e2e'
drive "$WORK_WIN\\cfg.exe" \
  window "Korvi EXE - Setup of Things" caption "Korvi EXE - Setup of Things" \
  text 101 'C:\windows\korvi-e2e' \
  visible 1007 1 checked 1007 1 text 1007 "After extraction, run : viewer.exe readme.txt" \
  checked 1008 1 close exit 0

# A program without "|": its name and one trailing blank. Overwrite replaces
# the existing file without a question.
make_sfx norun.exe "$WORK/cfg.zip" --run '><setup.exe' --overwrite
printf 'old text' > one.txt
# The archive holds no setup.exe: the shell cannot open it, which is said (4).
drive "$WORK_WIN\\norun.exe" \
  window "Korvi EXE" text 1007 "After extraction, run : setup.exe " checked 1008 1 click 1 \
  message "All files have been extracted." "Finished." click 1 \
  message "$WORK_WIN\\setup.exe" "Cannot open file .." click 1 exit 4
expect_file "$WORK/one.txt" 'new text'

# Unchecking Overwrite sets the dialog back to asking.
printf 'old text' > one.txt
drive "$WORK_WIN\\norun.exe" \
  window "Korvi EXE" check 1008 0 click 1 \
  window "Confirm File Overwrite" click 2 \
  message "The selected file(s) couldn't get extracted." "Error.." click 1 \
  window "Korvi EXE" close exit 1
expect_file "$WORK/one.txt" 'old text'

# A caption text of 249 characters (all the block holds): "Korvi EXE - " and the text, cut to 260.
long=$(printf 'abcdefghij%.0s' $(seq 26) | head -c 249)
want=$(printf 'Korvi EXE - %s' "$long" | head -c 260)
make_sfx long.exe "$WORK/cfg.zip" --caption "$long"
drive "$WORK_WIN\\long.exe" window "$want" caption "$want" click 2 exit 0
echo "configured main dialog: caption, Execute label, Overwrite, macros"

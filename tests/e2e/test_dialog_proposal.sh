#!/usr/bin/env bash
# What the main dialog proposes: the folder browser opens at the proposed
# folder, and OK there at once keeps the proposal (the folder it would be
# made in is selected, and the proposal's last part kept); a folder picked
# above it keeps the last part too. The Execute box shows the program's name
# without the quote that a parameter "><" would leave.
source "$KORVI_SOURCE/tests/e2e/lib.sh"
mkdir -p src picked/deeper
printf 'one' > src/one.txt
cp "$KORVI_WIN32/recorder.exe" src/
(cd src && zip -q -X ../plain.zip one.txt recorder.exe)
make_sfx proposal.exe "$WORK/plain.zip" --dest "$WORK_WIN\\picked\\MyTool" --run '><recorder.exe|/install "><"'
TREE="Desktop|My Computer| (C:)|e2e|$TEST_NAME"

drive "$WORK_WIN\\proposal.exe" \
  window "Korvi EXE" text 101 "$WORK_WIN\\picked\\MyTool" text 1007 "After extraction, run : recorder.exe " \
  click 775 window "Extract to : " click 1 gone \
  window "Korvi EXE" text 101 "$WORK_WIN\\picked\\MyTool" \
  click 775 window "Extract to : " treeselect "$TREE|picked|deeper" click 1 gone \
  window "Korvi EXE" text 101 "$WORK_WIN\\picked\\deeper\\MyTool" check 1007 0 click 1 \
  message "All files have been extracted." "Finished." click 1 exit 0
expect_file "$WORK/picked/deeper/MyTool/one.txt" 'one'
echo "the browser opens at the proposal and keeps its last part; the Execute box shows no stray quote"

#!/usr/bin/env bash
# The folder browser behind "...": caption "Extract to : " and a "New..."
# button enabled exactly when OK is. OK puts the chosen folder into the
# destination field and makes it the current folder; Cancel keeps the
# destination.
# "New..." leads to "Create New Folder": a name creates the folder (with its
# parents) below the chosen one and the field shows it, an empty name creates
# nothing and the field shows the chosen folder with a "\", a name with ":"
# or of "\" only is refused and the dialog stays, and Cancel puts back the
# field's text from before "...".
source "$KORVI_SOURCE/tests/e2e/lib.sh"
mkdir -p src/sub target parent here
printf 'first file' > src/one.txt
printf 'nested' > src/sub/two.txt
(cd src && zip -q -X ../plain.zip one.txt sub/two.txt)
make_sfx plain.exe "$WORK/plain.zip"

# This test's folder as Wine's browser shows the way to it.
TREE="Desktop|My Computer| (C:)|e2e|$TEST_NAME"

# The browser, its buttons following the selection, and OK on a folder:
# the field shows it and Extract writes there.
drive "$WORK_WIN\\plain.exe" \
  window "Korvi EXE" text 101 "$WORK_WIN" click 775 \
  window "Extract to : " caption "Extract to : " text 1277 "New..." text 1 "OK" \
  enabled 1 1 enabled 1277 1 \
  treeselect "Desktop|My Computer" enabled 1 0 enabled 1277 0 \
  treeselect "$TREE|target" enabled 1 1 enabled 1277 1 \
  click 1 gone \
  window "Korvi EXE" text 101 "$WORK_WIN\\target" click 1 \
  message "All files have been extracted." "Finished." click 1 exit 0
expect_file "$WORK/target/one.txt" 'first file'
expect_file "$WORK/target/sub/two.txt" 'nested'
[ ! -e one.txt ] || fail "OK in the browser, yet one.txt was written into the starting folder"

# The chosen folder is the current one: Extract with an empty field writes
# there.
drive "$WORK_WIN\\plain.exe" \
  window "Korvi EXE" click 775 window "Extract to : " treeselect "$TREE|here" click 1 gone \
  window "Korvi EXE" text 101 "$WORK_WIN\\here" settext 101 "" click 1 \
  message "All files have been extracted." "Finished." click 1 exit 0
expect_file "$WORK/here/one.txt" 'first file'
[ ! -e one.txt ] || fail "an empty field after the browser extracted into the starting folder"

# "New..." with a name: the folder exists before Extract, the field shows
# it, and Extract writes into it.
drive "$WORK_WIN\\plain.exe" \
  window "Korvi EXE" click 775 window "Extract to : " treeselect "$TREE|parent" click 1277 gone \
  window "Create New Folder" caption "Create New Folder" text 3001 "$WORK_WIN\\parent\\" text 3002 "" \
  settext 3002 fresh click 1 gone \
  window "Korvi EXE" text 101 "$WORK_WIN\\parent\\fresh" exists "$WORK_WIN\\parent\\fresh" 1 click 1 \
  message "All files have been extracted." "Finished." click 1 exit 0
expect_file "$WORK/parent/fresh/one.txt" 'first file'
expect_file "$WORK/parent/fresh/sub/two.txt" 'nested'

# An empty name creates nothing and the field shows the parent with a "\";
# Cancel in the browser then keeps that destination, whatever was selected;
# a name of two levels creates both. Close then leaves without extracting.
drive "$WORK_WIN\\plain.exe" \
  window "Korvi EXE" click 775 \
  window "Extract to : " treeselect "$TREE|parent" click 1277 gone \
  window "Create New Folder" text 3001 "$WORK_WIN\\parent\\" click 1 gone \
  window "Korvi EXE" text 101 "$WORK_WIN\\parent\\" click 775 \
  window "Extract to : " treeselect "$TREE|target" click 2 gone \
  window "Korvi EXE" text 101 "$WORK_WIN\\parent\\" click 775 \
  window "Extract to : " treeselect "$TREE|parent" click 1277 gone \
  window "Create New Folder" settext 3002 'deep\inner' click 1 gone \
  window "Korvi EXE" text 101 "$WORK_WIN\\parent\\deep\\inner" click 2 exit 0
[ -d parent/deep/inner ] || fail "deep\\inner was not created below parent"
[ "$(ls -A parent)" = "$(printf 'deep\nfresh')" ] || fail "parent holds: $(ls -A parent | tr '\n' ' ')"
[ "$(ls -A parent/deep/inner)" = "" ] || fail "Close extracted into parent\\deep\\inner"

# Names with ":" or of "\" only are refused and the dialog stays with the
# name; its Cancel puts back the field's text from before "...".
drive "$WORK_WIN\\plain.exe" \
  window "Korvi EXE" settext 101 "$WORK_WIN\\typed" click 775 \
  window "Extract to : " treeselect "$TREE|parent" click 1277 gone \
  window "Create New Folder" settext 3002 "x:y" click 1 \
  message "Error in directory .." "Error.." click 1 gone \
  window "Create New Folder" text 3002 "x:y" settext 3002 '\\' click 1 \
  message "Error in directory .." "Error.." click 1 gone \
  window "Create New Folder" text 3002 '\\' click 2 gone \
  window "Korvi EXE" text 101 "$WORK_WIN\\typed" click 2 exit 0
[ "$(ls -A parent)" = "$(printf 'deep\nfresh')" ] || fail "refused names changed parent: $(ls -A parent | tr '\n' ' ')"
[ "$(find "$WORK" -name '*:*')" = "" ] || fail "a folder with \":\" was made: $(find "$WORK" -name '*:*')"
[ ! -e typed ] || fail "the typed folder was created"
echo "folder browser: OK, Cancel, New... with a name, an empty name, two levels and refused names"

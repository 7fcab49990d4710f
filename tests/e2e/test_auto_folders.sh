#!/usr/bin/env bash
# Automatic mode over what Info-ZIP `zip -r` writes: a 28-byte extra field on
# every entry and separate folder entries. Every file lands below the
# configured destination, the empty folder is created, and no message is shown
# (the run succeeds).
source "$KORVI_SOURCE/tests/e2e/lib.sh"
mkdir -p tree/docs/deep tree/empty
printf 'readme' > tree/readme.txt
printf 'notes' > tree/docs/notes.txt
printf 'deep down' > tree/docs/deep/x.txt
touch -d '2020-02-29 08:15:30' tree/docs/notes.txt
zip -q -r -0 folders.zip tree
make_sfx folders.exe "$WORK/folders.zip" --auto --dest "$WORK_WIN\\dest\\"

drive "$WORK_WIN\\folders.exe" absent "Error.." 1500 exit 0

expect_file "$WORK/dest/tree/readme.txt" 'readme'
expect_file "$WORK/dest/tree/docs/notes.txt" 'notes'
expect_file "$WORK/dest/tree/docs/deep/x.txt" 'deep down'
[ -d "$WORK/dest/tree/empty" ] || fail "the empty folder entry was not created"
[ "$(stat -c %Y tree/docs/notes.txt)" = "$(stat -c %Y dest/tree/docs/notes.txt)" ] || fail "notes.txt time"
echo "folders and files extracted"

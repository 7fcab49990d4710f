#!/usr/bin/env bash
# Automatic mode with the overwrite flag (0x08): an existing file is replaced
# without a question, and the run ends without any message.
source "$KORVI_SOURCE/tests/e2e/lib.sh"
printf 'new contents' > a.txt
zip -q -X -0 over.zip a.txt
mkdir -p dest
printf 'old' > dest/a.txt
make_sfx over.exe "$WORK/over.zip" --auto --overwrite --dest "$WORK_WIN\\dest"

drive "$WORK_WIN\\over.exe" absent "Error.." 1000 exit 0

expect_file "$WORK/dest/a.txt" 'new contents'
echo "replaced without asking"

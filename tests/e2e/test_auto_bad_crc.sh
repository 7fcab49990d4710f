#!/usr/bin/env bash
# Automatic mode over an archive whose second entry has a wrong CRC-32 in its
# headers: no file is left under its name, the entries after it are
# extracted, and the run ends with the failure summary that names it (shown
# also in automatic mode).
source "$KORVI_SOURCE/tests/e2e/lib.sh"
make_crc_zip
make_sfx crc.exe "$WORK/crc.zip" --auto --dest "$WORK_WIN\\dest"

drive "$WORK_WIN\\crc.exe" \
  message $'The selected file(s) couldn\'t get extracted.\n\ndamaged.txt' "Error.." click 1 \
  exit 1

expect_file "$WORK/dest/good.txt" 'fine'
[ ! -e "$WORK/dest/damaged.txt" ] || fail "the damaged entry left a file under its name"
expect_file "$WORK/dest/after.txt" 'later entry'
echo "damaged entry removed, failure summary names it"

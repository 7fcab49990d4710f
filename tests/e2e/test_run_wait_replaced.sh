#!/usr/bin/env bash
# Wait-then-delete deletes only the files the run wrote, each only while it
# is the same file: one that the program replaced by another file of its own
# (made beside it, then moved over it) stays; one it changed in place goes, as
# before; nothing is reported for the one that stays.
source "$KORVI_SOURCE/tests/e2e/lib.sh"
mkdir -p src
printf 'archived' > src/replaced.txt
printf 'archived' > src/changed.txt
printf 'archived' > src/plain.txt
(cd src && zip -q -X ../files.zip replaced.txt changed.txt plain.txt)
make_sfx replaced.exe "$WORK/files.zip" --auto --wait-delete --dest "$WORK_WIN\\out" \
  --run '{sys}\cmd.exe|/c echo mine> "><mine.tmp" & move /y "><mine.tmp" "><replaced.txt" & echo more>> "><changed.txt"'
drive "$WORK_WIN\\replaced.exe" exit 0
[ -f out/replaced.txt ] || fail "the file the program made under an extracted name was deleted"
[ "$(tr -d '\r\n ' < out/replaced.txt)" = mine ] || fail "replaced.txt holds $(cat out/replaced.txt)"
[ ! -e out/changed.txt ] || fail "the file changed in place was kept"
[ ! -e out/plain.txt ] || fail "plain.txt was kept"
echo "the file put in the place of an extracted one stays; the others are deleted"

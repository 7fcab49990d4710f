#!/usr/bin/env bash
# An archive whose entries climb out of the destination ("..", an absolute
# name, a drive) or name a device (aux.txt, COM1, nul) writes nothing outside
# it and opens no device: the first such name is shown with the caption
# "Invalid filename." (the others are counted), the other entries are
# extracted, and the run ends with the failure summary and exit code 1.
source "$KORVI_SOURCE/tests/e2e/lib.sh"
python3 - <<'PY'
import zipfile
with zipfile.ZipFile("evil.zip", "w") as z:
    z.writestr("good.txt", "inside")
    z.writestr("../outside.txt", "escaped")
    z.writestr("sub/../../outside2.txt", "escaped")
    z.writestr("C:evil.txt", "drive")
    z.writestr("aux.txt", "to a serial port")
    z.writestr("sub/COM1", "to a serial port")
    z.writestr("NUL .log", "to nowhere")
    z.writestr("what?.txt", "a wildcard")
    z.writestr("after.txt", "still extracted")
PY
make_sfx evil.exe "$WORK/evil.zip" --auto --dest "$WORK_WIN\\dest"

drive "$WORK_WIN\\evil.exe" \
  message "../outside.txt" "Invalid filename." click 1 \
  message "The selected file(s) couldn't get extracted." "Error.." click 1 \
  exit 1

expect_file "$WORK/dest/good.txt" 'inside'
expect_file "$WORK/dest/after.txt" 'still extracted'
for f in "$WORK/outside.txt" "$WORK/outside2.txt" "$WINEPREFIX/drive_c/outside.txt" "$WORK/dest/evil.txt"; do
  [ ! -e "$f" ] || fail "$f was written"
done
[ -z "$(find "$WINEPREFIX/drive_c" -name 'outside*.txt' -o -name 'evil.txt' | head -1)" ] || fail "an escaping entry was written"
[ "$(ls "$WORK/dest" | sort | tr '\n' ' ')" = "after.txt good.txt " ] || fail "dest holds $(ls "$WORK/dest")"
echo "nothing written outside the destination"

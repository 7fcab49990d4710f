#!/usr/bin/env bash
# While the stub waits for the program run with "wait, then delete", its
# windows answer (the wait dispatches their messages) and the main dialog is
# disabled and takes no second Extract; after it, a file that another process
# holds open is not deleted, and the one message about it names it (exit 1,
# the program having ended with 0).
source "$KORVI_SOURCE/tests/e2e/lib.sh"
mkdir -p src/sub
cp "$KORVI_WIN32/recorder.exe" src/
printf 'data' > src/data.txt
printf 'deep\n' > src/sub/deep.txt
entries="recorder.exe data.txt sub/deep.txt"
(cd src && zip -q -X ../wait.zip $entries)

# Main dialog: the recorder holds on while recorder.hold exists. Meanwhile
# the main dialog answers within a second, is disabled, and a click on
# Extract (sent to the button, which stays enabled) starts no second pass.
mkdir -p alive
: > alive/recorder.hold
make_sfx alive.exe wait.zip --wait-delete --dest "$WORK_WIN\\alive" --run '><recorder.exe'
drive "$WORK_WIN\\alive.exe" \
  window "Korvi EXE" click 1 \
  message "All files have been extracted." "Finished." click 1 gone \
  appears "$WORK_WIN\\alive\\recorder.started" \
  window "Korvi EXE" sleep 500 answers 1000 enabled 0 0 \
  click 1 absent "Finished." 1500 answers 1000 running \
  delete "$WORK_WIN\\alive\\recorder.hold" exit 0 || fail "alive: not as expected"
[ -f alive/recorder.log ] || fail "alive: the program did not finish"
for f in $entries; do
  [ ! -e "alive/$f" ] || fail "alive: $f was not deleted"
done
echo "the main dialog answered and was disabled while the program ran; the files went after it"

# Automatic mode: sfxdrive keeps data.txt open (no sharing) from the
# program's start to after the stub's end, so the deletion pass cannot
# delete it: it is named, the other files go, and the run ends with 1.
mkdir -p held
: > held/recorder.hold
make_sfx held.exe wait.zip --auto --overwrite --wait-delete --dest "$WORK_WIN\\held" --run '><recorder.exe'
log=$(drive "$WORK_WIN\\held.exe" \
  appears "$WORK_WIN\\held\\recorder.started" keep "$WORK_WIN\\held\\data.txt" \
  delete "$WORK_WIN\\held\\recorder.hold" answer 1) || { echo "$log"; fail "held: not as expected"; }
log=${log//$'\r'/}
echo "$log"
[ "$(grep -c '^message: ' <<<"$log")" = 1 ] || fail "held: not one message"
grep -qxF "message: Error..: These files could not be deleted: |  | data.txt" <<<"$log" ||
  fail "held: the file kept open is not named"
[ -f held/recorder.log ] || fail "held: the program did not finish"
expect_file held/data.txt data
for f in recorder.exe sub/deep.txt; do
  [ ! -e "held/$f" ] || fail "held: $f was not deleted"
done
echo "a file held open is named after the deletion pass, the others deleted, exit code 1"

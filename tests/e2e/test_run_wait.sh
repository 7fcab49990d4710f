#!/usr/bin/env bash
# The program run after extraction with "wait, then delete": the recorder
# (tests/e2e/recorder.cpp) is started and waited for, then the files this run
# wrote are deleted and the folders stay. Files that were there before and
# that the run did not write survive: one the archive does not hold, and one
# kept by answering No to the overwrite question (that run fails, so nothing
# is started and nothing deleted). With the Execute box unchecked nothing is
# started and nothing deleted.
source "$KORVI_SOURCE/tests/e2e/lib.sh"
mkdir -p src/sub/deep
cp "$KORVI_WIN32/recorder.exe" src/
printf 'data' > src/data.txt
printf 'deep\n' > src/sub/deep/deep.txt
printf 'archived version\n' > src/keep.txt
touch -d '2011-11-11 11:11:12' src/recorder.exe src/data.txt src/sub/deep/deep.txt src/keep.txt
entries="recorder.exe data.txt sub/deep/deep.txt keep.txt"
(cd src && zip -q -X -9 ../wait.zip $entries)
run='><recorder.exe|first ><'

# Automatic mode. The recorder holds on while recorder.hold exists: meanwhile
# the files are there and the self-extracting file still runs.
mkdir -p auto
printf 'mine\n' > auto/mine.txt
printf 'my version\n' > auto/keep.txt
: > auto/recorder.hold
make_sfx auto.exe wait.zip --auto --overwrite --wait-delete --dest "$WORK_WIN\\auto" --run "$run"
drive "$WORK_WIN\\auto.exe" \
  appears "$WORK_WIN\\auto\\recorder.started" \
  exists "$WORK_WIN\\auto\\data.txt" 1 exists "$WORK_WIN\\auto\\sub\\deep\\deep.txt" 1 \
  exists "$WORK_WIN\\auto\\recorder.exe" 1 running \
  delete "$WORK_WIN\\auto\\recorder.hold" exit 0
[ -f auto/recorder.log ] || fail "the program did not finish"
grep -qx "arg1 first" auto/recorder.log && grep -qxF "arg2 $WORK_WIN\\auto\\" auto/recorder.log &&
  grep -qxF "cwd $WORK_WIN\\auto" auto/recorder.log || fail "the program was started with $(cat auto/recorder.log)"
for f in $entries; do
  [ ! -e "auto/$f" ] || fail "$f was not deleted"
done
[ -d auto/sub/deep ] || fail "the folders were deleted"
expect_file auto/mine.txt 'mine'
echo "waited for, the run's files deleted (keep.txt was replaced, so it went too), folders and mine.txt kept"

# Main dialog, keep.txt kept by No: the run fails, nothing is started or deleted.
mkdir -p kept
printf 'my version\n' > kept/keep.txt
make_sfx kept.exe wait.zip --wait-delete --dest "$WORK_WIN\\kept" --run "$run"
drive "$WORK_WIN\\kept.exe" \
  window "Korvi EXE" checked 1007 1 click 1 \
  window "Confirm File Overwrite" text 500 "keep.txt" click 2 gone \
  message "The selected file(s) couldn't get extracted." "Error.." click 1 gone \
  window "Korvi EXE" close exit 1
expect_file kept/keep.txt 'my version'
for f in recorder.exe data.txt sub/deep/deep.txt; do expect_same "src/$f" "kept/$f"; done
[ ! -e kept/recorder.started ] || fail "the program was started after a failed run"

# Main dialog with the Execute box unchecked: extracted, nothing started or deleted.
make_sfx off.exe wait.zip --wait-delete --dest "$WORK_WIN\\off" --run "$run"
drive "$WORK_WIN\\off.exe" \
  window "Korvi EXE" check 1007 0 click 1 \
  message "All files have been extracted." "Finished." click 1 exit 0
for f in $entries; do expect_same "src/$f" "off/$f"; done
[ ! -e off/recorder.started ] || fail "the program was started with the Execute box unchecked"

# The same with the box left checked: started after the message, then the files go.
make_sfx on.exe wait.zip --wait-delete --dest "$WORK_WIN\\on" --run "$run"
drive "$WORK_WIN\\on.exe" \
  window "Korvi EXE" click 1 \
  message "All files have been extracted." "Finished." click 1 exit 0
[ -f on/recorder.log ] || fail "the program did not run"
for f in $entries; do
  [ ! -e "on/$f" ] || fail "on: $f was not deleted"
done
[ -d on/sub/deep ] || fail "on: the folders were deleted"
echo "kept files survive; the Execute box decides"

# A setup program that starts its installer and ends at once (exit code 7):
# the whole tree of processes is waited for, so the installer still finds
# data.txt 1.5 s after its parent ended, and the stub ends with the setup
# program's exit code.
mkdir -p tree
make_sfx tree.exe wait.zip --auto --overwrite --wait-delete --dest "$WORK_WIN\\tree" --run '><recorder.exe|spawn'
drive "$WORK_WIN\\tree.exe" timeout 20000 exit 7 >/dev/null || fail "tree: not the setup program's exit code"
[ -f tree/recorder.child ] || fail "the child of the program did not run"
[ "$(cat tree/recorder.child)" = "data" ] || fail "the files were deleted before the child had ended: $(cat tree/recorder.child)"
for f in $entries; do
  [ ! -e "tree/$f" ] || fail "tree: $f was not deleted"
done
echo "the whole process tree waited for; its exit code is the stub's"

# A program that cannot be started: named, its files deleted all the same,
# exit code 4.
make_sfx nostart.exe wait.zip --auto --overwrite --wait-delete --dest "$WORK_WIN\\nostart" --run '><missing.exe'
drive "$WORK_WIN\\nostart.exe" message "$WORK_WIN\\nostart\\missing.exe" "Cannot open file .." click 1 exit 4 >/dev/null ||
  { cat sfxdrive.log; fail "nostart: not as expected"; }
for f in $entries; do
  [ ! -e "nostart/$f" ] || fail "nostart: $f was not deleted"
done
echo "a program that cannot be started: named, files deleted, exit code 4"

# A destination with a blank and the destination quoted in the parameters:
# the program is found by its quoted path, and "><" before a quote reaches it
# as the folder with its closing "\".
make_sfx spaced.exe wait.zip --auto --overwrite --wait-delete --dest "$WORK_WIN\\with space" \
  --run '><recorder.exe|/install "><"'
drive "$WORK_WIN\\spaced.exe" exit 0
log="with space/recorder.log"
[ -f "$log" ] || fail "the program in a folder with a blank did not run"
grep -qx "argc 3" "$log" && grep -qx "arg1 /install" "$log" && grep -qxF "arg2 $WORK_WIN\\with space\\" "$log" &&
  grep -qxF "cwd $WORK_WIN\\with space" "$log" || fail "the program was started with $(cat "$log")"
echo "a destination with a blank: the program quoted, its folder whole in the parameters"

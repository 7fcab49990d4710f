#!/usr/bin/env bash
# The program run after extraction, opened through the shell: our recorder
# (tests/e2e/recorder.cpp), extracted from the archive, writes down its
# arguments and current folder. Every "><" in the configured command stands
# for the destination with a trailing "\"; the program's path, and a
# parameter that is one path, are passed in their short forms. The program
# starts in the destination, and the extracted files stay. A program that the
# shell cannot open is named ("Cannot open file ..") and the run ends with 4.
source "$KORVI_SOURCE/tests/e2e/lib.sh"
mkdir -p src/docs pkg
cp "$KORVI_WIN32/recorder.exe" src/
printf 'read me\n' > src/docs/readme.txt
touch -d '2015-06-07 08:09:10' src/docs/readme.txt src/recorder.exe
(cd src && zip -q -X -9 ../run.zip recorder.exe docs/readme.txt)

# expect_log FOLDER LINE...: FOLDER/recorder.log holds these lines after its command line.
expect_log() {
  local log="$1/recorder.log" want
  shift
  want=$(printf '%s\n' "$@")
  [ -f "$log" ] || fail "the program did not run: no $log"
  [ "$(tr -d '\r' < "$log" | grep -v '^line ')" = "$want" ] || fail "$log holds
$(cat "$log")
not
$want"
}

# Automatic mode, three parameters with "><" among them.
make_sfx pkg/auto.exe run.zip --auto --dest "$WORK_WIN\\out" --run '><recorder.exe|one "two words" ><'
drive "$WORK_WIN\\pkg\\auto.exe" exit 0 appears "$WORK_WIN\\out\\recorder.log"
expect_log out 'argc 4' 'arg1 one' 'arg2 two words' "arg3 $WORK_WIN\\out\\" "long3 $WORK_WIN\\out\\" \
  "cwd $WORK_WIN\\out" "longcwd $WORK_WIN\\out"
expect_same src/recorder.exe out/recorder.exe
expect_same src/docs/readme.txt out/docs/readme.txt

# With the main dialog and a destination with a blank: the single path
# parameter comes in its short form, without the blank.
make_sfx pkg/dialog.exe run.zip --dest "$WORK_WIN\\out dir" --run '><recorder.exe|><docs\readme.txt'
drive "$WORK_WIN\\pkg\\dialog.exe" \
  window "Korvi EXE" checked 1007 1 click 1 \
  message "All files have been extracted." "Finished." click 1 exit 0 \
  appears "$WORK_WIN\\out dir\\recorder.log"
short=$(sed -n 's/^arg1 //p' "out dir/recorder.log" | tr -d '\r')
case $short in
  *' '* | '') fail "the parameter '$short' is not in its short form" ;;
esac
expect_log "out dir" 'argc 2' "arg1 $short" "long1 $WORK_WIN\\out dir\\docs\\readme.txt" \
  "cwd $WORK_WIN\\out dir" "longcwd $WORK_WIN\\out dir"
expect_same src/docs/readme.txt "out dir/docs/readme.txt"

# A program that is not where the command says (packed one folder deeper).
make_sfx pkg/missing.exe run.zip --auto --dest "$WORK_WIN\\gone" --run '><MyTool\setup.exe'
drive "$WORK_WIN\\pkg\\missing.exe" \
  message "$WORK_WIN\\gone\\MyTool\\setup.exe" "Cannot open file .." click 1 exit 4
expect_same src/docs/readme.txt gone/docs/readme.txt
echo "program opened with its parameters in the destination; an unopenable one named, exit 4"

#!/usr/bin/env bash
# The switches of an unattended run, on the real stub under Wine: /S ends by
# itself with the right exit code and log and shows no window at any point
# (the window list is watched), also where the first design would stop at a
# message box; /D= takes a folder with blanks; an unknown switch shows the
# list (or, with /S, only its exit code); "--" hands its arguments to the
# program run afterwards; the folder macros land where the shell says.
source "$KORVI_SOURCE/tests/e2e/lib.sh"
mkdir -p src
cp "$KORVI_WIN32/recorder.exe" src/
printf 'fine' > src/good.txt
printf 'later entry' > src/after.txt
make_crc_zip
(cd src && zip -q -X ../plain.zip good.txt after.txt recorder.exe)

# A failing entry in silence: the summary goes to the log, exit 1, no window.
# The block asks for the main dialog; /S overrides it.
make_sfx crc.exe "$WORK/crc.zip" --dest "$WORK_WIN\\crc"
drive --args "/S /LOG=$WORK_WIN\\crc.log" "$WORK_WIN\\crc.exe" silent 1
expect_file "$WORK/crc/good.txt" 'fine'
expect_file "$WORK/crc/after.txt" 'later entry'
[ ! -e "$WORK/crc/damaged.txt" ] || fail "the damaged entry left a file"
tr -d '\r' < crc.log > crc.txt
for line in "extracted good.txt" "not extracted damaged.txt" "extracted after.txt" \
            "Error..: The selected file(s) couldn't get extracted." "damaged.txt" "exit code 1"; do
  grep -qxF "$line" crc.txt || fail "the log lacks '$line': $(cat crc.txt)"
done
[ "$(tail -1 crc.txt)" = "exit code 1" ] || fail "the exit code is not the log's last line"

# Automatic mode to a folder that cannot be made: the first design's message
# box would wait forever; silent, the run ends with 1.
make_sfx nowhere.exe "$WORK/plain.zip" --auto --dest 'Q:\nowhere'
drive --args "/s /log=$WORK_WIN\\nowhere.log" "$WORK_WIN\\nowhere.exe" silent 1
grep -q "^Error in directory ..: Q:" nowhere.log || fail "nowhere.log: $(cat nowhere.log)"

# /D= with blanks, existing files replaced without a question, and the
# arguments after "--" behind the block's own parameters.
mkdir -p "with space/x"
printf 'old' > "with space/x/good.txt"
make_sfx run.exe "$WORK/plain.zip" --dest "$WORK_WIN\\unused" --run '><recorder.exe|first'
drive --args "/S /D=$WORK_WIN\\with space\\x -- /quiet \"two words\"" "$WORK_WIN\\run.exe" silent 0
expect_file "with space/x/good.txt" 'fine'
[ ! -e unused ] || fail "the block's folder was used instead of /D="
for i in 1 2 3 4; do [ -f "with space/x/recorder.log" ] && break; sleep 1; done
grep -qx "arg1 first" "with space/x/recorder.log" && grep -qx "arg2 /quiet" "with space/x/recorder.log" &&
  grep -qx "arg3 two words" "with space/x/recorder.log" || fail "the program had $(cat "with space/x/recorder.log")"

# Without /S, /D= is the folder the main dialog proposes.
drive --args "/D=$WORK_WIN\\shown dir" "$WORK_WIN\\run.exe" \
  window "Korvi EXE" text 101 "$WORK_WIN\\shown dir" close exit 0

# An unknown switch: the list, exit 5, nothing written; with /S its code alone.
drive --args "-y -o$WORK_WIN\\x" "$WORK_WIN\\run.exe" \
  message "/S  /D=FOLDER  /P=PASSWORD  /LOG=FILE  -- ARGS" "Switches" click 1 exit 5
drive --args "/S /X /LOG=$WORK_WIN\\x.log" "$WORK_WIN\\run.exe" silent 5
[ ! -e x.log ] && [ ! -e unused ] || fail "an unknown switch wrote something"
drive --args "/?" "$WORK_WIN\\run.exe" message "/S  /D=FOLDER  /P=PASSWORD  /LOG=FILE  -- ARGS" "Switches" click 1 exit 0

# The folder macros as the shell names them: the files land in the folders
# that Wine's own cmd reports.
appdata=$(wine cmd /c 'echo %APPDATA%' 2>/dev/null | tr -d '\r')
pf=$(wine cmd /c 'echo %ProgramW6432%' 2>/dev/null | tr -d '\r')
[ "$pf" != "%ProgramW6432%" ] || pf=$(wine cmd /c 'echo %ProgramFiles%' 2>/dev/null | tr -d '\r')
make_sfx macros.exe "$WORK/plain.zip" --dest '{appdata}\KorviE2E'
drive --args "/S" "$WORK_WIN\\macros.exe" silent 0
expect_file "$(winepath -u "$appdata\\KorviE2E\\good.txt" 2>/dev/null)" 'fine'
rm -rf "$(winepath -u "$appdata\\KorviE2E" 2>/dev/null)"
make_sfx pf.exe "$WORK/plain.zip" --dest '{pf}\KorviE2E'
drive --args "/S" "$WORK_WIN\\pf.exe" silent 0
expect_file "$(winepath -u "$pf\\KorviE2E\\good.txt" 2>/dev/null)" 'fine'
rm -rf "$(winepath -u "$pf\\KorviE2E" 2>/dev/null)"

# {temp} with wait-then-delete: the program runs in a new folder under the
# user's temporary folder, which is gone, whole, afterwards.
make_sfx temp.exe "$WORK/plain.zip" --auto --wait-delete --dest '{temp}\pkg' \
  --run "{sys}\\cmd.exe|/c cd > $WORK_WIN\\where.txt & echo left > left.txt"
drive "$WORK_WIN\\temp.exe" exit 0
where=$(tr -d '\r' < where.txt | sed 's/ *$//')
temp=$(wine cmd /c 'echo %TEMP%' 2>/dev/null | tr -d '\r')
case "$where" in "$temp\\kvx"*"\\pkg") ;; *) fail "the program ran in '$where', not in a new folder of $temp" ;; esac
[ ! -e "$(winepath -u "$where" 2>/dev/null)" ] || fail "$where is still there"
[ ! -e "$(winepath -u "${where%\\pkg}" 2>/dev/null)" ] || fail "${where%\\pkg} is still there"

# An encrypted archive in silence: the password of /P= (quoted, with a
# blank), or none at all and the entry not extracted, never a prompt.
(cd src && zip -q -X -P 'two words' ../enc.zip good.txt)
make_sfx enc.exe "$WORK/enc.zip" --dest "$WORK_WIN\\enc"
drive --args "/S /P=\"two words\"" "$WORK_WIN\\enc.exe" silent 0
expect_file enc/good.txt 'fine'
rm -rf enc
drive --args "/S /LOG=$WORK_WIN\\enc.log" "$WORK_WIN\\enc.exe" silent 1
[ ! -e enc/good.txt ] || fail "extracted without its password"
grep -q "^wrong password good.txt" enc.log || fail "enc.log: $(cat enc.log)"

echo "silent runs end by themselves without a window; /D=, --, the macros and {temp} as documented"

#!/usr/bin/env bash
# The password prompt: three wrong answers end the run without a message and
# without extracting anything; Escape and the close box leave the prompt
# open; after one wrong answer the right one extracts every entry, and the
# accepted password opens the second entry without another prompt. A
# password of 90 characters counts whole.
source "$KORVI_SOURCE/tests/e2e/lib.sh"
mkdir -p src && printf 'secret one' > src/one.txt && printf 'secret two' > src/two.txt
(cd src && zip -q -X -P 'open sesame' ../pw.zip one.txt two.txt)
make_sfx pw.exe "$WORK/pw.zip" --dest "$WORK_WIN\\out"

drive "$WORK_WIN\\pw.exe" \
  window "Korvi EXE" click 1 \
  window "Input Password" caption "Input Password" text 101 "" masked 101 1 text 1 "&OK" \
  key 27 close sleep 300 window "Input Password" \
  settext 101 "wrong 1" click 1 gone \
  window "Input Password" text 101 "" settext 101 "wrong 2" click 1 gone \
  window "Input Password" settext 101 "wrong 3" click 1 gone \
  absent "Input Password" 800 absent "Finished." 10 absent "Error.." 10 \
  window "Korvi EXE" enabled 1 1 click 2 exit 1
[ ! -e out/one.txt ] || fail "one.txt was written without its password"

drive "$WORK_WIN\\pw.exe" \
  window "Korvi EXE" click 1 \
  window "Input Password" settext 101 "wrong again" click 1 gone \
  window "Input Password" settext 101 "open sesame" click 1 gone \
  message "All files have been extracted." "Finished." click 1 exit 0
expect_file "$WORK/out/one.txt" 'secret one'
expect_file "$WORK/out/two.txt" 'secret two'

# A password of 90 characters: its first 79 are refused, the whole opens.
long=$(printf 'k%.0s' $(seq 90))
(cd src && rm -f ../long.zip && zip -q -X -P "$long" ../long.zip one.txt)
make_sfx long.exe "$WORK/long.zip" --dest "$WORK_WIN\\long"
drive "$WORK_WIN\\long.exe" \
  window "Korvi EXE" click 1 \
  window "Input Password" settext 101 "${long:0:79}" click 1 gone \
  window "Input Password" settext 101 "$long" click 1 gone \
  message "All files have been extracted." "Finished." click 1 exit 0
expect_file "$WORK/long/one.txt" 'secret one'
echo "password prompt: retries, Escape, right answer, 90 characters"

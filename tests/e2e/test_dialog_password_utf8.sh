#!/usr/bin/env bash
# Passwords outside ASCII typed into the prompt (in UTF-16, as a keyboard
# gives them): WinZip AES takes the password's UTF-8 bytes, as 7-Zip does,
# so "päss€" opens an archive keyed by its UTF-8 bytes (checked with 7-Zip
# first) and the program mksfx encrypts with it; a character outside the
# ANSI code page counts as well. The traditional encryption still takes the
# ANSI code page's bytes: Info-ZIP's archive of the Windows-1252 bytes opens.
source "$KORVI_SOURCE/tests/e2e/lib.sh"
mkdir -p src && printf 'opened with the right bytes\n' > src/note.txt
hex() { printf '%s' "$1" | od -An -v -tx1 | tr -d ' \n'; }

# open EXE PASSWORD FOLDER: the program asks once, takes PASSWORD and
# extracts note.txt into FOLDER.
open_with() {
  drive "$WORK_WIN\\$1" \
    window "Korvi EXE" click 1 \
    window "Input Password" wsettext 101 "$(hex "$2")" click 1 gone \
    message "All files have been extracted." "Finished." click 1 exit 0 >/dev/null || fail "$1: '$2' does not open it"
  cmp -s src/note.txt "$3/note.txt" || fail "$1: note.txt differs"
}

python3 "$KORVI_SOURCE/tests/support/aes_zip.py" aes.zip note.txt 'päss€' src/note.txt
7z t -p'päss€' aes.zip | grep -q "Everything is Ok" || fail "7-Zip does not open aes.zip with its UTF-8 password"
make_sfx aes.exe "$WORK/aes.zip" --dest "$WORK_WIN\\aes"
open_with aes.exe 'päss€' aes
echo "AES, keyed by UTF-8: opened"

"$MKSFX" create -q --stub "$STUB" -o made.exe --dest "$WORK_WIN\\made" --password 'päss€' -C src .
open_with made.exe 'päss€' made
echo "mksfx's AES program: opened"

# mksfx.exe takes the password from the wide command line: Greek letters,
# which the ANSI code page would turn into "?", still key the archive.
wine "$KORVI_WIN32/mksfx.exe" create -q -o "$WORK_WIN\\winmade.exe" --dest "$WORK_WIN\\winmade" \
  --password 'κλειδί' -C "$WORK_WIN\\src" . </dev/null >wine-mksfx.log 2>&1 || fail "mksfx.exe: $(cat wine-mksfx.log)"
7z t -p'κλειδί' winmade.exe | grep -q "Everything is Ok" || fail "7-Zip does not open mksfx.exe's program with κλειδί"
open_with winmade.exe 'κλειδί' winmade
echo "mksfx.exe's AES program, a password outside the ANSI code page: opened"

python3 "$KORVI_SOURCE/tests/support/aes_zip.py" greek.zip note.txt 'Ωμέγα ключ' src/note.txt
make_sfx greek.exe "$WORK/greek.zip" --dest "$WORK_WIN\\greek"
open_with greek.exe 'Ωμέγα ключ' greek
echo "AES, characters outside the ANSI code page: opened"

(cd src && zip -q -X -P $'p\xe4ss\x80' ../zipcrypto.zip note.txt)
make_sfx zipcrypto.exe "$WORK/zipcrypto.zip" --dest "$WORK_WIN\\zipcrypto"
open_with zipcrypto.exe 'päss€' zipcrypto
echo "traditional, Windows-1252 bytes: opened"

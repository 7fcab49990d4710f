#!/usr/bin/env bash
# Automatic mode never shows the main dialog: the progress dialog alone is
# seen, the files land in the configured folder and no success message is
# given. A failed automatic run shows its error and still ends.
source "$KORVI_SOURCE/tests/e2e/lib.sh"
mkdir -p src && printf 'alpha' > src/a.txt && head -c 300000 /dev/urandom > src/b.bin
(cd src && zip -q -X -0 ../auto.zip a.txt b.bin)
make_sfx auto.exe "$WORK/auto.zip" --auto --dest "$WORK_WIN\\out" --caption "Quiet"
drive "$WORK_WIN\\auto.exe" \
  absent "Korvi EXE - Quiet" 4000 absent "Finished." 10 exit 0
expect_file "$WORK/out/a.txt" 'alpha'
cmp -s src/b.bin out/b.bin || fail "b.bin differs"

# The same with an existing file and no Overwrite: the question comes over
# the progress dialog, No keeps the file, the failure is reported, the end.
printf 'mine' > out/a.txt && rm out/b.bin
drive "$WORK_WIN\\auto.exe" \
  window "Confirm File Overwrite" text 500 a.txt click 2 \
  message "The selected file(s) couldn't get extracted." "Error.." click 1 \
  absent "Korvi EXE - Quiet" 1000 exit 1
expect_file "$WORK/out/a.txt" 'mine'
cmp -s src/b.bin out/b.bin || fail "b.bin was not extracted again"
echo "automatic mode without the main dialog"

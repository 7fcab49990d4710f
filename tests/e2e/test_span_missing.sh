#!/usr/bin/env bash
# A split file missing on a fixed drive: "<its full path> Cannot Find File"
# in a "Multi Volume" box, once for the count when the program opens and once
# in the extraction, which then ends with the failure summary; the entries
# before the gap are extracted. Put back in place, the volume is found by the
# next Extract, which walks again from the first volume.
source "$KORVI_SOURCE/tests/e2e/lib.sh"
mkdir -p src
printf 'first entry\n' > src/a.txt
seq 1 20000 > src/b.txt
printf 'last entry\n' > src/c.txt
touch -d '2012-12-12 12:12:12' src/a.txt src/b.txt src/c.txt
(cd src && zip -q -X -9 ../m.zip a.txt b.txt c.txt)
missing() { echo "$WORK_WIN\\$1 Cannot Find File"; }
summary=("The selected file(s) couldn't get extracted." "Error..")

# Automatic mode, the second of three volumes missing: b.txt's data runs
# into it. The missing volume is reported once per pass.
make_spanned gap2.exe m.zip h2+100,h3 --auto --dest "$WORK_WIN\\gap2"
rm gap2.z02
drive "$WORK_WIN\\gap2.exe" timeout 8000 \
  message "$(missing gap2.z02)" "Multi Volume" click 1 gone \
  message "$(missing gap2.z02)" "Multi Volume" click 1 gone \
  message "${summary[@]}" click 1 exit 1
expect_same src/a.txt gap2/a.txt
[ ! -e gap2/c.txt ] || fail "c.txt was extracted from nowhere"

# With the main dialog, the third volume missing: c.txt's header would open
# it. Then the volume comes back and Extract goes through.
make_spanned gap3.exe m.zip h2+100,h3 --overwrite --dest "$WORK_WIN\\gap3"
mv gap3.z03 gap3.away
drive "$WORK_WIN\\gap3.exe" timeout 8000 \
  message "$(missing gap3.z03)" "Multi Volume" click 1 gone \
  window "Korvi EXE" click 1 \
  message "$(missing gap3.z03)" "Multi Volume" click 1 gone \
  message "${summary[@]}" click 1 gone \
  exists "$WORK_WIN\\gap3\\c.txt" 0 \
  rename "$WORK_WIN\\gap3.away" "$WORK_WIN\\gap3.z03" \
  window "Korvi EXE" click 1 \
  message "All files have been extracted." "Finished." click 1 exit 0
for f in a.txt b.txt c.txt; do expect_same "src/$f" "gap3/$f"; done
echo "missing split file reported, the run failed, the volume found again"

#!/usr/bin/env bash
# Cancel during a large archive: while the run goes on, Extract, "..." and
# Close are disabled and neither a click on Extract nor the close box starts
# a second run or ends the dialog; Cancel ends the run early without a
# message, the dialog is usable again, and Extract pressed once more
# extracts everything.
source "$KORVI_SOURCE/tests/e2e/lib.sh"
mkdir -p src
# Large enough that the run is still going when Cancel arrives: the pass
# looks at its messages every 20 ms and writes many files in between.
for i in $(seq -w 1 500); do head -c 200000 /dev/urandom > "src/f$i.bin"; done
(cd src && zip -q -X -0 ../big.zip f*.bin)
make_sfx big.exe "$WORK/big.zip" --dest "$WORK_WIN\\out"

drive "$WORK_WIN\\big.exe" \
  window "Korvi EXE" click 1 \
  window "Korvi EXE Processing..." \
  window "Korvi EXE" enabled 1 0 enabled 2 0 enabled 775 0 enabled 101 1 click 1 close \
  window "Korvi EXE Processing..." click 2 gone \
  absent "Finished." 800 absent "Error.." 10 \
  exists "$WORK_WIN\\out\\f001.bin" 1 exists "$WORK_WIN\\out\\f500.bin" 0 \
  window "Korvi EXE" enabled 1 1 enabled 2 1 enabled 775 1 \
  text 101 "$WORK_WIN\\out" check 1008 1 click 1 \
  message "All files have been extracted." "Finished." click 1 exit 0 \
  > cancel.log || { cat cancel.log; fail "the run could not be cancelled and repeated"; }
cat cancel.log
n=$(ls out | wc -l)
[ "$n" = 500 ] || fail "$n of 500 files after the second run"
for i in 001 250 500; do cmp -s "src/f$i.bin" "out/f$i.bin" || fail "f$i.bin differs"; done
echo "Cancel ends the run; the dialog stays usable"

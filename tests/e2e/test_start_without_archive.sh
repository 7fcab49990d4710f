#!/usr/bin/env bash
# The bare stub, with nothing behind its 51,712 bytes, starts in the fresh
# prefix; its count pass finds nothing to extract and says so over the
# opening main dialog, which then stays usable; Close ends it with code 2.
source "$KORVI_SOURCE/tests/e2e/lib.sh"
cp "$STUB" "$WORK/bare.exe"
drive "$WORK_WIN\\bare.exe" \
  message "Error reading archive." "Error.." click 1 \
  window "Korvi EXE" enabled 1 1 enabled 2 1 text 101 "$WORK_WIN" click 2 exit 2

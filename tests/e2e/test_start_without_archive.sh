#!/usr/bin/env bash
# The bare stub, with nothing behind its 51,712 bytes, starts in the fresh
# prefix and ends with exit code 0.
source "$KORVI_SOURCE/tests/e2e/lib.sh"
cp "$STUB" "$WORK/bare.exe"
drive "$WORK_WIN\\bare.exe" exit 0

#!/usr/bin/env bash
# Whole or nothing (mksfx create --verify): the stub tests every entry before
# it writes any. A whole program extracts as without the test; one damaged in
# its last entry writes no file at all, shows the failure summary and ends
# with 2, where the same program without the flag writes the entries before
# the damage and ends with 1.
source "$KORVI_SOURCE/tests/e2e/lib.sh"
MKSFX_CREATE=("$MKSFX" create --stub "$STUB" -q)
mkdir -p src/sub
printf 'first file' > src/one.txt
printf 'second file' > src/sub/two.txt
printf 'the last file, which a bad download damages' > src/three.txt
SUMMARY="The selected file(s) couldn't get extracted."

for flag in verify plain; do
  opts=(--auto --dest "$WORK_WIN\\$flag")
  [ $flag = verify ] && opts+=(--verify)
  "${MKSFX_CREATE[@]}" -0 -o "$flag.exe" "${opts[@]}" -C src one.txt sub/two.txt three.txt
  # The same program with one byte of three.txt's stored data changed.
  python3 - "$flag.exe" "$flag-bad.exe" <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
at = data.index(b"which a bad download")
data[at] ^= 0x20
open(sys.argv[2], "wb").write(data)
PY
done

drive "$WORK_WIN\\verify.exe" exit 0 >/dev/null || fail "the whole program"
expect_file "$WORK/verify/one.txt" 'first file'
expect_file "$WORK/verify/sub/two.txt" 'second file'
expect_file "$WORK/verify/three.txt" 'the last file, which a bad download damages'
rm -rf verify

drive "$WORK_WIN\\verify-bad.exe" message "$SUMMARY" "Error.." click 1 exit 2 >/dev/null || fail "the damaged program"
[ ! -e verify ] || [ -z "$(ls -A verify)" ] || fail "the damaged program wrote: $(find verify -type f)"

drive "$WORK_WIN\\plain-bad.exe" message "$SUMMARY" "Error.." click 1 exit 1 >/dev/null || fail "without the flag"
expect_file "$WORK/plain/one.txt" 'first file'
echo "a damaged program with --verify writes nothing; without it, what comes before the damage"

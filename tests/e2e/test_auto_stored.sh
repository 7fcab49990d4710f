#!/usr/bin/env bash
# Automatic mode (flag 0x40) over an archive of stored entries without extra
# fields: the stub extracts into the destination named in its configuration
# block without any window or message and ends with 0. The files, their
# contents and their modification times are checked from the Linux side.
source "$KORVI_SOURCE/tests/e2e/lib.sh"
mkdir -p src/sub/dir
printf 'first file' > src/one.txt
printf 'second\r\nline' > src/two.txt
head -c 70000 /dev/urandom > src/sub/dir/big.bin
touch -d '2001-07-15 12:30:10' src/one.txt
touch -d '1999-12-31 23:59:58' src/two.txt
touch -d '2010-03-04 05:06:08' src/sub/dir/big.bin
(cd src && zip -q -X -0 ../stored.zip one.txt two.txt sub/dir/big.bin)
make_sfx auto.exe "$WORK/stored.zip" --auto --dest "$WORK_WIN\\dest"

drive "$WORK_WIN\\auto.exe" exit 0

expect_file "$WORK/dest/one.txt" 'first file'
cmp -s src/two.txt dest/two.txt || fail "two.txt differs"
cmp -s src/sub/dir/big.bin dest/sub/dir/big.bin || fail "big.bin differs"
for f in one.txt two.txt sub/dir/big.bin; do
  want=$(stat -c %Y "src/$f") got=$(stat -c %Y "dest/$f")
  [ "$want" = "$got" ] || fail "$f modified at $got, not $want"
done
echo "extracted with contents and times"

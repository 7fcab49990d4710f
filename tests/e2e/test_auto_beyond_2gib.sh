#!/usr/bin/env bash
# An entry whose local header lies beyond 2 GiB. The first entry has a
# refused name ("../skip") and a size of 0x88000000 bytes, which the walk
# steps over without reading; the second entry's header lies just after, at
# more than 2 GiB into the file. It must come out: the seek there takes its
# offset as unsigned on Windows. The file is sparse (the first entry's data is
# a hole, never written) and deleted again at the end.
source "$KORVI_SOURCE/tests/e2e/lib.sh"
: >empty.zip
make_sfx big.exe "$WORK/empty.zip" --auto --dest "$WORK_WIN\\dest"
trap 'rm -f "$WORK/big.exe"' EXIT

free_before=$(df -k --output=avail "$WORK" | tail -1)
python3 - big.exe <<'PY'
import struct, sys, zlib
SKIPPED = 0x88000000
DOS_TIME = 0x58B16A4B
data = b"the entry beyond 2 GiB\n"

def local(name, crc, size):
    return struct.pack("<IHHHIIIIHH", 0x04034B50, 20, 0, 0, DOS_TIME, crc, size, size, len(name), 0) + name

def central(name, crc, size, offset):
    return struct.pack("<IHHHHIIIIHHHHHII", 0x02014B50, 20, 20, 0, 0, DOS_TIME, crc, size, size, len(name),
                       0, 0, 0, 0, 0, offset) + name

with open(sys.argv[1], "r+b") as f:
    f.seek(0, 2)
    start = f.tell()
    f.write(local(b"../skip", 0, SKIPPED))
    f.seek(SKIPPED, 1)  # the data: a hole
    second = f.tell()
    assert second > 0x80000000
    f.write(local(b"beyond.txt", zlib.crc32(data), len(data)) + data)
    directory = f.tell()
    f.write(central(b"../skip", 0, SKIPPED, 0) + central(b"beyond.txt", zlib.crc32(data), len(data), second - start))
    end = f.tell()
    f.write(struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 2, 2, end - directory, directory - start, 0))
PY
size=$(stat -c %s big.exe) used=$(du -k big.exe | cut -f1)
echo "big.exe: $size bytes, $used KiB on disk; $free_before KiB free before"
[ "$size" -gt $((0x88000000)) ] || fail "big.exe has only $size bytes"
[ "$used" -lt 1024 ] || fail "big.exe takes $used KiB: the file system does not keep it sparse"

drive "$WORK_WIN\\big.exe" \
  message "../skip" "Invalid filename." click 1 \
  message "The selected file(s) couldn't get extracted." "Error.." click 1 \
  exit 1
expect_file "$WORK/dest/beyond.txt" "the entry beyond 2 GiB"
[ "$(ls dest)" = "beyond.txt" ] || fail "dest holds $(ls dest)"
[ ! -e "$WORK/skip" ] || fail "the refused entry was written"

rm -f big.exe
free_after=$(df -k --output=avail "$WORK" | tail -1)
echo "$free_after KiB free after"
echo "the entry beyond 2 GiB came out"

#!/usr/bin/env bash
# One entry larger than 4 GiB, end to end: a file of 4.5 GiB (zeros, sparse on
# disk, with marks at its start, around the 4 GiB line and at its end) zipped
# by Info-ZIP `zip -1` (which gives the entry Zip64 fields), glued behind the
# stub with a block for automatic mode, extracted under Wine into a prefix of
# its own, then the extracted file's size and SHA-256 checked against the
# source. Not part of scripts/test.sh: it writes 4.5 GiB and takes minutes.
#
#   bash scripts/test-4gib.sh
#
# Builds the host and win32 trees first (as scripts/test.sh does). Needs
# about 6 GiB free where the build tree lies; at the end it removes what it
# wrote, its Wine prefix (build/win32/wineprefix-4gib) with it.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$repo/scripts/test-4gib.sh" "$@"
fi
if [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ] || ! /lib/i386-linux-gnu/ld-linux.so.2 --version >/dev/null 2>&1; then
  echo "test-4gib: NOT RUN: this machine's kernel runs no 32-bit programs (ia32_emulation off)"
  exit 1
fi

bash scripts/install-deps.sh
cmake --preset host >/dev/null && cmake --build --preset host --target mksfx >/dev/null
cmake --preset win32 >/dev/null && cmake --build --preset win32 >/dev/null

win32=$repo/build/win32
# A prefix of its own, made anew on this display, beside the tests' one.
export WINEPREFIX=$win32/wineprefix-4gib WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
export TZ=Asia/Tokyo LC_ALL=C.UTF-8

size=$((4 * 1024 * 1024 * 1024 + 512 * 1024 * 1024))
need=$((size + 1536 * 1024 * 1024))
mkdir -p "$win32"
free=$(($(df --output=avail -B1 "$win32" | tail -n 1)))
if [ "$free" -lt "$need" ]; then
  echo "test-4gib: NOT RUN: $((free >> 20)) MiB free under $win32, $((need >> 20)) MiB needed"
  exit 1
fi

bash tests/e2e/make_prefix.sh
work=$WINEPREFIX/drive_c/e2e/4gib
work_win='C:\e2e\4gib'
rm -rf "$work"
mkdir -p "$work/src"
trap 'wineserver -k </dev/null >/dev/null 2>&1; rm -rf "$WINEPREFIX"' EXIT
cd "$work"

echo "== a sparse file of $size bytes, zipped with zip -1"
python3 - "$size" src/big.bin <<'PY'
import sys
size, path = int(sys.argv[1]), sys.argv[2]
with open(path, "wb") as f:
    f.truncate(size)
    for at, mark in [(0, b"start of the big file\n"), ((1 << 32) - 11, b"across 4 GiB\n"),
                     ((1 << 32) + 65536, b"past 4 GiB\n"), (size - 12, b"end of file\n")]:
        f.seek(at)
        f.write(mark)
PY
(cd src && time zip -q -1 ../big.zip big.bin)
# The entry's local header carries a Zip64 field with escaped sizes.
python3 - big.zip "$size" <<'PY'
import struct, sys, zipfile
path, size = sys.argv[1], int(sys.argv[2])
info = zipfile.ZipFile(path).infolist()[0]
with open(path, "rb") as f:
    header = f.read(30)
    name_length, extra_length = struct.unpack_from("<HH", header, 26)
    f.seek(name_length, 1)
    extra = f.read(extra_length)
ids, at = [], 0
while at + 4 <= len(extra):
    field, length = struct.unpack_from("<HH", extra, at)
    ids.append(field)
    at += 4 + length
sizes = struct.unpack_from("<II", header, 18)
print("big.zip: %d bytes; entry of %d bytes, local sizes %s, extra fields %s" % (
    __import__("os").path.getsize(path), info.file_size, ["%#x" % s for s in sizes], ["%#06x" % i for i in ids]))
if info.file_size != size or 1 not in ids:
    sys.exit("zip -1 wrote no Zip64 field into the local header: the test would prove less than it says")
PY

"$repo/build/host/tools/Debug/mksfx" --stub "$win32/sfx.exe" --zip big.zip --out "$work/big.exe" --auto --dest "$work_win\\out"
rm big.zip

echo "== extracted by the stub under Wine"
set +e
time wine "$win32/sfxdrive.exe" "$work_win\\big.exe" timeout 1800000 answer 0 </dev/null >drive.log 2>&1
rc=$?
set -e
tr -d '\r' <drive.log

echo "== checked against the source"
if [ ! -f out/big.bin ]; then
  echo "test-4gib: FAIL: the stub wrote no out/big.bin (sfxdrive ended with $rc)"
  exit 1
fi
got=$(stat -c %s out/big.bin) want_sum='' got_sum=''
echo "size: $got (source $size)"
if [ "$got" -eq "$size" ]; then
  want_sum=$(sha256sum <src/big.bin | cut -d' ' -f1)
  got_sum=$(sha256sum <out/big.bin | cut -d' ' -f1)
  echo "SHA-256: $got_sum (source $want_sum)"
fi
if [ "$rc" -ne 0 ] || [ "$got" -ne "$size" ] || [ "$got_sum" != "$want_sum" ]; then
  echo "test-4gib: FAIL"
  exit 1
fi
echo "test-4gib: PASS"

#!/usr/bin/env bash
# Zip64 as create writes it, checked by unzip, 7-Zip and Python's zipfile:
# mksfx list and test (the stub's walk) read them too.
# - with MKSFX_TEST_FOUR_GIB=N, N bytes stand for 4 GiB, so that small files
#   take the Zip64 fields (both sizes in the local header and the central
#   record) and reach the refusal of a program of 4 GiB or more; --split
#   then makes volumes below it, with an entry larger than a volume;
# - 65,536 entries (from a .zip that Python writes) end in the Zip64 end
#   record and its locator, also in a split set, and such a program is a
#   .zip input again (its Zip64 end record behind the stub);
# - a real entry of 5 GiB, copied from a .zip made in seconds (zeros
#   deflated once, the block repeated): its Zip64 fields read by every peer;
#   KORVI_LARGE_TESTS=1 has the peers decode its 5 GiB too (a minute or two).
source "$KORVI_SOURCE/tests/tool/lib.sh"
N=1000000
large() { MKSFX_TEST_FOUR_GIB=$N "$MKSFX" "$@"; }
mkdir -p tree/docs
seq 1 300000 > tree/docs/numbers.txt  # 2 MB, about 600 KB deflated
head -c 3000000 /dev/zero > tree/zeros.bin
printf 'small' > tree/small.txt
: > tree/empty.txt

# Entries of "4 GiB" in a program below it: Zip64 fields on those alone.
large create -q --stub "$STUB" -o z.exe -C tree .
python3 "$CHECK" z.exe --tree tree --four-gib $N
zip_readers_pass z.exe
python3 - z.exe <<'PY' || fail "Zip64 fields not where the sizes need them"
import struct, sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
big = {i.filename for i in z.infolist() if i.extract_version == 45}
assert big == {"docs/numbers.txt", "zeros.bin"}, big
assert all(struct.unpack("<H", i.extra[:2])[0] == 1 for i in z.infolist() if i.filename in big)
assert not any(i.extra for i in z.infolist() if i.filename not in big)
PY
mksfx test -q z.exe >/dev/null || fail "mksfx test z.exe: $(mksfx test z.exe)"
[ "$(mksfx list z.exe | grep -c '(sizes in its Zip64 field)$')" = 2 ] || fail "mksfx list z.exe: $(mksfx list z.exe)"
# Below the line nothing changes: a tree of small entries gives the same bytes.
mkdir -p small && cp tree/small.txt tree/empty.txt small/
large create -q --stub "$STUB" -o s1.exe -C small .
mksfx create -q --stub "$STUB" -o s2.exe -C small .
cmp -s s1.exe s2.exe || fail "entries below the line were written otherwise"

# Encrypted: AES after the Zip64 field, the traditional encryption, and an
# entry copied from zip -e, whose bit 3 keeps a descriptor of 64-bit sizes.
large create -q --stub "$STUB" -o aes.exe --password 'pw' -C tree .
python3 "$CHECK" aes.exe --tree tree --four-gib $N --password 'pw'
out=$(7z t -p'pw' aes.exe 2>&1) || fail "7z t aes.exe: $out"
grep -q "Everything is Ok" <<<"$out" || fail "7z t aes.exe: $out"
mksfx test -q --password 'pw' aes.exe >/dev/null || fail "mksfx test aes.exe"
large create -q --stub "$STUB" -o zc.exe --zipcrypto --password 'pw' -C tree . 2>/dev/null
python3 "$CHECK" zc.exe --tree tree --four-gib $N --password 'pw'
zip_readers_pass zc.exe 'pw'
mksfx test -q --password 'pw' zc.exe >/dev/null || fail "mksfx test zc.exe"
(cd tree && zip -q -r -P 'pw' ../enc.zip .)
large create -q --stub "$STUB" -o enc.exe enc.zip
python3 "$CHECK" enc.exe --tree tree --four-gib $N --password 'pw' --descriptors-allowed
zip_readers_pass enc.exe 'pw'
mksfx test -q --password 'pw' enc.exe >/dev/null || fail "mksfx test enc.exe"
echo "Zip64 fields where the sizes need them, plain and encrypted"

# A program of "4 GiB" is refused, before writing when the stored bytes
# alone reach it; --split makes volumes below it, and an entry larger than
# a volume goes on in the next.
mkdir -p big && head -c 1200000 /dev/urandom > big/random.bin && printf 'x' > big/x.txt
MKSFX_TEST_FOUR_GIB=$N fails_cleanly "the program would be 4 GiB or larger, which Windows does not start; give --split SIZE for volumes below 4 GiB" \
  out.exe -- create --stub "$STUB" -o out.exe -C big .
MKSFX_TEST_FOUR_GIB=$N fails_cleanly "give --split SIZE" out.exe -- create --stub "$STUB" -o out.exe --store -C big .
MKSFX_TEST_FOUR_GIB=$N fails_cleanly "write it to a file with --split SIZE" out.exe -- create --stub "$STUB" -o - --store -C big .
(cd big && zip -q -0 ../big.zip random.bin)
MKSFX_TEST_FOUR_GIB=$N fails_cleanly "give --split SIZE" out.exe -- create --stub "$STUB" -o out.exe big.zip
MKSFX_TEST_FOUR_GIB=$N fails_cleanly "make it with mksfx create --split SIZE" raw.exe -- --stub "$STUB" --zip big.zip --out raw.exe
large create -q --stub "$STUB" -o split.exe --split 200k -C big .
for f in split.exe split.z*; do [ "$(stat -c %s "$f")" -le 204800 ] || fail "$f is larger than a volume"; done
python3 "$CHECK" split.exe --tree big --volumes --four-gib $N
mksfx_7z_set() {  # 7-Zip reads a set named x.z01 ... x.zip
  rm -rf seven && mkdir seven
  local i=1 n
  n=$(ls "$1".exe "$1".z* | wc -l)
  for f in "$1".exe $(ls "$1".z* | sort); do
    if [ $i -eq "$n" ]; then cp "$f" seven/x.zip; else cp "$f" "seven/x.z$(printf %02d $i)"; fi
    i=$((i + 1))
  done
  out=$(7z t seven/x.zip 2>&1) || fail "7z t of the $1 set: $out"
  grep -q "Everything is Ok" <<<"$out" || fail "7z t of the $1 set: $out"
  if grep -qi "warning" <<<"$out"; then fail "7z t of the $1 set warns: $out"; fi
}
mksfx_7z_set split
mksfx test -q split.exe >/dev/null || fail "mksfx test split.exe"
echo "a program of 4 GiB refused; split, volumes below it"

# 65,536 entries: the Zip64 end record and locator, as one file and split.
python3 - <<'PY'
import zipfile
with zipfile.ZipFile("many.zip", "w") as z:
    z.writestr("data.txt", "the one entry with data")
    for i in range(65535):
        z.writestr(f"e{i:05d}", b"")
PY
mksfx create -q --stub "$STUB" -o many.exe many.zip
python3 "$CHECK" many.exe
zip_readers_pass many.exe
[ "$(python3 -c "import sys, zipfile; print(len(zipfile.ZipFile(sys.argv[1]).infolist()))" many.exe)" = 65536 ] ||
  fail "many.exe does not hold 65,536 entries"
mksfx list many.exe | tail -1 | grep -q "^65,536 entries" || fail "mksfx list many.exe: $(mksfx list many.exe | tail -1)"
mksfx test -q many.exe >/dev/null || fail "mksfx test many.exe"
mksfx create -q --stub "$STUB" -o manysplit.exe --split 1m many.zip
python3 "$CHECK" manysplit.exe --volumes
mksfx_7z_set manysplit
mksfx test -q manysplit.exe >/dev/null || fail "mksfx test manysplit.exe"
# The program as a .zip input: its Zip64 end record lies behind the stub.
cp many.exe again.zip
mksfx create -q --stub "$STUB" -o again.exe again.zip
cmp -s many.exe again.exe || fail "many.exe copied from itself is not the same bytes"
echo "65,536 entries: Zip64 end record and locator"

# A real entry of 5 GiB, deflated zeros, copied from a .zip.
python3 - <<'PY'
import struct, zlib
size, mib = 5 << 30, 1 << 20
zeros = bytes(mib)
c = zlib.compressobj(9, zlib.DEFLATED, -15)
first = c.compress(zeros) + c.flush(zlib.Z_SYNC_FLUSH)
c = zlib.compressobj(9, zlib.DEFLATED, -15, zdict=bytes(32768))  # the block after 32 KiB of zeros, repeatable
rest = c.compress(zeros) + c.flush(zlib.Z_SYNC_FLUSH)
n, crc = size // mib, 0
for _ in range(n):
    crc = zlib.crc32(zeros, crc)
csize = len(first) + len(rest) * (n - 1) + 2
name, field = b"zeros.bin", struct.pack("<HHQQ", 1, 16, size, csize)
with open("huge.zip", "wb") as f:
    f.write(struct.pack("<IHHHIIIIHH", 0x04034b50, 45, 0, 8, 0x54210000, crc, 0xFFFFFFFF, 0xFFFFFFFF, len(name),
                        len(field)) + name + field + first)
    for _ in range(n - 1):
        f.write(rest)
    f.write(b"\x03\x00")  # an empty last block
    cd = f.tell()
    f.write(struct.pack("<IHHHHIIIIHHHHHII", 0x02014b50, 45, 45, 0, 8, 0x54210000, crc, 0xFFFFFFFF, 0xFFFFFFFF,
                        len(name), len(field), 0, 0, 0, 0, 0) + name + field)
    end = f.tell()
    f.write(struct.pack("<IHHHHIIH", 0x06054b50, 0, 0, 1, 1, end - cd, cd, 0))
PY
mksfx create -q --stub "$STUB" -o huge.exe huge.zip
python3 "$CHECK" huge.exe --layout-only
python3 - huge.exe <<'PY' || fail "Python's zipfile does not read 5 GiB from huge.exe"
import sys, zipfile
[i] = zipfile.ZipFile(sys.argv[1]).infolist()
assert i.file_size == 5 << 30 and i.compress_size < 6 << 20, (i.file_size, i.compress_size)
PY
7z l -slt huge.exe >7z.txt 2>&1 || fail "7z l huge.exe: $(cat 7z.txt)"
grep -qx "Size = 5368709120" 7z.txt || fail "7z l huge.exe: $(cat 7z.txt)"
if grep -qi "warning\|error" 7z.txt; then fail "7z l huge.exe: $(cat 7z.txt)"; fi
unzip -l huge.exe >unzip.txt 2>&1 || fail "unzip -l huge.exe: $(cat unzip.txt)"
grep -q "^5368709120 " unzip.txt || fail "unzip -l huge.exe: $(cat unzip.txt)"
cmp -s <(tail -c +$((KORVI_STUB_SIZE + 1)) huge.exe | head -c 200) <(head -c 200 huge.zip) ||
  fail "huge.exe's entry is not huge.zip's, header and data"
mksfx list huge.exe | grep -q "^5368709120  deflate .* zeros.bin (sizes in its Zip64 field)$" ||
  fail "mksfx list huge.exe: $(mksfx list huge.exe)"
if [ "${KORVI_LARGE_TESTS:-0}" = 1 ]; then
  zip_readers_pass huge.exe
  mksfx test -q huge.exe >/dev/null || fail "mksfx test huge.exe"
  echo "5 GiB decoded by unzip, 7-Zip, Python and mksfx test"
fi
echo "an entry of 5 GiB: Zip64 fields read by unzip, 7-Zip and Python"

#!/usr/bin/env bash
# One .zip as the input: entries copied without recompressing (the same
# compressed bytes), extra fields and data descriptors dropped, sizes and CRC
# from the central directory (Info-ZIP's and Python's to a pipe here, other
# writers' in test_real_writers.sh); traditional and WinZip AES encryption
# kept as they are; entries the stub cannot extract refused with their
# names; --recompress deflates anew what zlib decodes.
source "$KORVI_SOURCE/tests/tool/lib.sh"
mkdir -p tree/docs tree/empty
seq 1 30000 > tree/docs/numbers.txt
printf 'readme' > tree/readme.txt
head -c 40000 /dev/urandom > tree/random.bin
printf 'ü' > "tree/docs/Grüße.txt"
find tree -exec touch -d '2022-05-06 07:08:10' {} +

# The method and compressed bytes of every entry, in order, read raw.
raw_data() {
  python3 - "$1" <<'PY'
import struct, sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
f = open(sys.argv[1], "rb")
for i in z.infolist():
    f.seek(i.header_offset)  # Python counts any prefix in it
    h = f.read(30)
    n, x = struct.unpack("<HH", h[26:30])
    f.seek(i.header_offset + 30 + n + x)
    print(i.compress_type, f.read(i.compress_size).hex())
PY
}

# Info-ZIP: extra fields on every entry, folder entries.
(cd tree && zip -q -r -9 ../infozip.zip .)
mksfx create -q --stub "$STUB" -o infozip.exe infozip.zip
python3 "$CHECK" infozip.exe --tree tree
mksfx test -q infozip.exe >/dev/null || fail "mksfx test infozip.exe"
zip_readers_pass infozip.exe
[ "$(raw_data infozip.zip)" = "$(raw_data infozip.exe)" ] || fail "entries were not copied as they were"

# Data descriptors (Python writing to a stream it cannot seek back in).
python3 - <<'PY'
import io, os, zipfile
class Stream(io.RawIOBase):
    def __init__(self, f): self.f = f
    def writable(self): return True
    def write(self, b): return self.f.write(b)
with open("stream.zip", "wb") as out:
    with zipfile.ZipFile(Stream(out), "w", zipfile.ZIP_DEFLATED) as z:
        for root, dirs, files in os.walk("tree"):
            for name in sorted(files):
                path = os.path.join(root, name)
                z.write(path, os.path.relpath(path, "tree"))
PY
python3 -c "
import zipfile,sys
z=zipfile.ZipFile('stream.zip'); sys.exit(0 if all(i.flag_bits & 8 for i in z.infolist()) else 1)" || fail "no descriptors in stream.zip"
mksfx create -q --stub "$STUB" -o stream.exe stream.zip
python3 "$CHECK" stream.exe
mksfx test -q stream.exe >/dev/null || fail "mksfx test stream.exe"
zip_readers_pass stream.exe

# Other writers' archives (Go, bsdtar, Info-ZIP -fz and from standard
# input, jar, Node's): test_real_writers.sh.

# Info-ZIP's encryption sets bit 3: the check byte is the time's, so bit 3
# and a descriptor stay; a --password encrypts the entries that were not.
(cd tree && zip -q -r -P 'zip pw' ../enc.zip readme.txt docs)
(cd tree && zip -q ../enc.zip random.bin)
mksfx create -q --stub "$STUB" -o enc.exe enc.zip
python3 "$CHECK" enc.exe --descriptors-allowed --password 'zip pw'
# Its check byte is its time's: SOURCE_DATE_EPOCH leaves that time alone.
SOURCE_DATE_EPOCH=1500000000 mksfx create -q --stub "$STUB" -o enc-epoch.exe enc.zip
mksfx test -q --password 'zip pw' enc-epoch.exe >/dev/null || fail "SOURCE_DATE_EPOCH broke zip -e's check byte"
unzip -tq -P 'zip pw' enc-epoch.exe | grep -q "No errors" || fail "unzip enc-epoch.exe"
mksfx list enc.exe >list.txt
grep -q " zip     readme.txt$" list.txt && grep -q " no      random.bin$" list.txt || fail "encryption not as in the source: $(cat list.txt)"
mksfx test -q --password 'zip pw' enc.exe >/dev/null || fail "mksfx test enc.exe"
unzip -tq -P 'zip pw' enc.exe | grep -q "No errors" || fail "unzip enc.exe"
mksfx create -q --stub "$STUB" -o enc2.exe --password 'zip pw' enc.zip
python3 "$CHECK" enc2.exe --descriptors-allowed --password 'zip pw'
mksfx list enc2.exe | grep -q " aes256  random.bin$" || fail "--password left random.bin without AES"
# The copied entries keep their traditional encryption, the new one is AES:
# 7-Zip reads both (Info-ZIP's unzip and Python's zipfile know no AES).
7z t -p'zip pw' enc2.exe | grep -q "Everything is Ok" || fail "7z t enc2.exe"

# A self-extracting file as the source: its offsets count a program in front.
cp infozip.exe old.zip
mksfx create -q --stub "$STUB" -o again.exe old.zip
python3 "$CHECK" again.exe --tree tree

# --recompress: a zip -1 archive deflated anew at the highest level.
(cd tree && zip -q -r -1 ../fast.zip .)
mksfx create -q --stub "$STUB" -o copied.exe fast.zip
mksfx create -q --stub "$STUB" -o recompressed.exe --recompress fast.zip
python3 "$CHECK" recompressed.exe --tree tree
zip_readers_pass recompressed.exe
[ "$(raw_data fast.zip)" = "$(raw_data copied.exe)" ] || fail "copy without --recompress changed the data"
[ "$(raw_data fast.zip)" != "$(raw_data recompressed.exe)" ] || fail "--recompress copied the data"
[ "$(stat -c %s recompressed.exe)" -lt "$(stat -c %s copied.exe)" ] || fail "--recompress did not make it smaller"

# Info-ZIP Unicode Path fields: the UTF-8 name is taken only when the
# field's CRC is that of the header's name (as the stub does); a stale one,
# left from a name changed since, is ignored.
python3 - <<'PY'
import struct, zipfile, zlib
def unicode_path(utf8, crc_of):
    data = struct.pack("<BI", 1, zlib.crc32(crc_of)) + utf8
    return struct.pack("<HH", 0x7075, len(data)) + data
with zipfile.ZipFile("upath.zip", "w") as z:
    for name, field in (("fresh.txt", unicode_path("Grüße.txt".encode(), b"fresh.txt")),
                        ("stale.txt", unicode_path("Évil.txt".encode(), b"renamed.txt"))):
        info = zipfile.ZipInfo(name)
        info.extra = field
        z.writestr(info, name)
PY
mksfx create -q --stub "$STUB" -o upath.exe upath.zip
names=$(python3 -c "import sys, zipfile; print(' '.join(zipfile.ZipFile(sys.argv[1]).namelist()))" upath.exe)
[ "$names" = "Grüße.txt stale.txt" ] || fail "Unicode Path fields: $names"
python3 "$CHECK" upath.exe

# What the stub cannot extract: refused with the entry's name.
(cd tree && zip -q -Z bzip2 ../bzip2.zip docs/numbers.txt)
fails_cleanly "'docs/numbers.txt' is compressed with bzip2, which the stub cannot extract" out.exe -- \
  create --stub "$STUB" -o out.exe bzip2.zip
fails_cleanly "and mksfx cannot decode" out.exe -- create --stub "$STUB" -o out.exe --recompress bzip2.zip
# WinZip AES entries (7-Zip's, AES-256 and AES-128) are copied sealed
# with their field; they open with their own password.
(cd tree && 7z a -tzip -mem=AES256 -psecret ../aes.zip . >/dev/null)
(cd tree && 7z a -tzip -mem=AES128 -psecret ../aes128.zip readme.txt docs >/dev/null)
for z in aes aes128; do
  mksfx create -q --stub "$STUB" -o $z.exe $z.zip
  [ "$(raw_data $z.zip)" = "$(raw_data $z.exe)" ] || fail "$z.zip's entries were not copied as they were"
  out=$(7z t -psecret $z.exe 2>&1) || fail "7z t $z.exe: $out"
  grep -q "Everything is Ok" <<<"$out" || fail "7z t $z.exe: $out"
  mksfx test -q --password secret $z.exe >/dev/null || fail "mksfx test $z.exe"
done
python3 "$CHECK" aes.exe --tree tree --any-aes --password secret
python3 "$CHECK" aes128.exe --any-aes --password secret
mksfx list aes.exe | grep -q " aes256  readme.txt$" || fail "aes.exe: $(mksfx list aes.exe)"
mksfx list aes128.exe | grep -q " aes128  readme.txt$" || fail "aes128.exe: $(mksfx list aes128.exe)"
test_fails "the password does not open it" aes.exe -q --password wrong
python3 - <<'PY'
import zipfile
with zipfile.ZipFile("aesbad.zip", "w") as z:
    info = zipfile.ZipInfo("bad.txt")
    info.flag_bits = 1
    info.extra = b"\x01\x99\x07\x00\x02\x00AE\x04\x08\x00"  # strength 4
    z.writestr(info, b"x" * 40)
PY
python3 - <<'PY'
# method 99 in both headers (Python writes the method it is given only for its own methods)
data = bytearray(open("aesbad.zip", "rb").read())
for sig, at in ((b"PK\x03\x04", 8), (b"PK\x01\x02", 10)):
    p = data.find(sig)
    data[p + at:p + at + 2] = (99).to_bytes(2, "little")
open("aesbad.zip", "wb").write(data)
PY
fails_cleanly "'bad.txt' is marked WinZip AES (method 99) without a well-formed AES field" out.exe -- \
  create --stub "$STUB" -o out.exe aesbad.zip
python3 - <<'PY'
import zipfile
for zipname, name in (("dotdot.zip", "../evil.txt"), ("deep.zip", "a/../../evil.txt"), ("device.zip", "docs/CON.txt"),
                      ("wild.zip", "what?.txt"), ("absolute.zip", "/etc/evil"), ("long.zip", "n" * 256),
                      ("greek.zip", "\u03b1" * 256), ("slash.zip", "a\uff0fb.txt"),
                      ("longpath.zip", ("d" * 200 + "/") * 170 + "x")):
    with zipfile.ZipFile(zipname, "w") as z:
        z.writestr("fine.txt", "fine")
        z.writestr(name, "evil")
PY
fails_cleanly "'../evil.txt' would leave the destination" out.exe -- create --stub "$STUB" -o out.exe dotdot.zip
fails_cleanly "'a/../../evil.txt' would leave the destination" out.exe -- create --stub "$STUB" -o out.exe deep.zip
fails_cleanly "'docs/CON.txt' is a name Windows refuses" out.exe -- create --stub "$STUB" -o out.exe device.zip
fails_cleanly "'what?.txt' is a name Windows refuses" out.exe -- create --stub "$STUB" -o out.exe wild.zip
fails_cleanly "'/etc/evil' is absolute" out.exe -- create --stub "$STUB" -o out.exe absolute.zip
fails_cleanly "has a part longer than Windows takes" out.exe -- create --stub "$STUB" -o out.exe long.zip
fails_cleanly "has a part longer than Windows takes" out.exe -- create --stub "$STUB" -o out.exe greek.zip
fails_cleanly "could stand for a separator or a dot" out.exe -- create --stub "$STUB" -o out.exe slash.zip
fails_cleanly "is longer than a Windows path can be" out.exe -- create --stub "$STUB" -o out.exe longpath.zip
# An entry of 5 GiB declared in its Zip64 fields, without its data.
python3 - <<'PY'
import struct
name = b"huge.bin"
local = struct.pack("<IHHHIIIIHH", 0x04034b50, 45, 0, 0, 0, 0, 0xFFFFFFFF, 0xFFFFFFFF, len(name), 0) + name
extra = struct.pack("<HHQQ", 1, 16, 5 << 30, 5 << 30)
central = struct.pack("<IHHHHIIIIHHHHHII", 0x02014b50, 45, 45, 0, 0, 0, 0, 0xFFFFFFFF, 0xFFFFFFFF, len(name),
                      len(extra), 0, 0, 0, 0, 0) + name + extra
end = struct.pack("<IHHHHIIH", 0x06054b50, 0, 0, 1, 1, len(central), len(local), 0)
open("zip64.zip", "wb").write(local + central + end)
PY
fails_cleanly "'huge.bin' is cut short" out.exe -- create --stub "$STUB" -o out.exe zip64.zip
echo "zip inputs: copied raw, descriptors and extras dropped, encryption kept, refusals named"

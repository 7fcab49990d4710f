# Shared helpers of the end-to-end test scripts. Each test works in its own
# folder C:\e2e\<test> of the prefix, seen from Linux as $WORK.
set -euo pipefail
: "${WINEPREFIX:?}" "${KORVI_WIN32:?}" "${KORVI_HOST_TOOLS:?}" "${KORVI_SOURCE:?}"

TEST_NAME=$(basename "$0" .sh)
TEST_NAME=${TEST_NAME#test_}
WORK="$WINEPREFIX/drive_c/e2e/$TEST_NAME"
WORK_WIN="C:\\e2e\\$TEST_NAME"
rm -rf "$WORK"
mkdir -p "$WORK"
cd "$WORK"

STUB="$KORVI_WIN32/sfx.exe"
MKSFX="$KORVI_HOST_TOOLS/mksfx"
[ -x "$MKSFX" ] || { echo "FAIL: no host mksfx at $MKSFX (build the host preset first)"; exit 1; }

fail() { echo "FAIL: $*"; exit 1; }

# make_sfx OUT.exe ZIP [mksfx options...]: the self-extracting file in $WORK.
make_sfx() {
  local out=$1 zip=$2
  shift 2
  "$MKSFX" --stub "$STUB" --zip "$zip" --out "$WORK/$out" "$@"
}

# drive [--hold PATH] PROGRAM STEP...: runs sfxdrive under Wine from $WORK.
# Its output goes through a file: Wine's services started on the way must
# not hold the test's own output open.
drive() {
  local log="$WORK/sfxdrive.log" rc=0
  wine "$KORVI_WIN32/sfxdrive.exe" "$@" </dev/null >"$log" 2>&1 || rc=$?
  cat "$log"
  return $rc
}

# expect_file PATH CONTENT: the file exists and holds exactly CONTENT.
expect_file() {
  [ -f "$1" ] || fail "missing file $1"
  [ "$(cat "$1")" = "$2" ] || fail "$1 holds '$(cat "$1")', not '$2'"
}

# make_spanned [--disks] OUT.exe ZIP CUTS [mksfx options...]: a spanned
# self-extracting file. The archive part is the spanning marker (PK 07 08)
# and then the bytes of ZIP, cut into volumes at CUTS, a comma-separated list
# of places in ZIP, each a byte offset N, hK (the first byte of the K-th local
# header), sK (the first byte of the K-th entry's data, where an encrypted
# entry's encryption header begins) or dK (the first byte after the K-th
# entry's data), optionally followed by +N or -N. Volume 1 is $WORK/OUT.exe
# (the stub, the configuration block and the first bytes); volume n is a split
# file beside it, OUT.z02 ... OUT.z09, OUT.z10, ... With --disks the volumes
# go to $WORK/disk1, $WORK/disk2, ... instead, each as a file named OUT.exe.
make_spanned() {
  local disks=0
  if [ "$1" = --disks ]; then disks=1; shift; fi
  local out=$1 zip=$2 cuts=$3
  shift 3
  local first="$WORK/.volume1.part"
  python3 - "$zip" "$cuts" "$WORK" "$out" "$disks" "$first" <<'PY' || fail "make_spanned: cannot cut $zip at $cuts"
import os, re, struct, sys, zipfile
zip_path, cuts, work, out, disks, first = sys.argv[1:7]
data = open(zip_path, "rb").read()
entries = sorted(zipfile.ZipFile(zip_path).infolist(), key=lambda i: i.header_offset)
def place(token):
    m = re.fullmatch(r"([hsd]?)(\d+)([+-]\d+)?", token)
    if not m:
        sys.exit(f"bad cut {token}")
    kind, number, shift = m.group(1), int(m.group(2)), int(m.group(3) or 0)
    if kind == "":
        return number + shift
    info = entries[number - 1]
    at = info.header_offset
    if data[at:at + 4] != b"PK\x03\x04":
        sys.exit(f"no local header at {at}")
    if kind == "h":
        return at + shift
    name_length, extra_length = struct.unpack("<HH", data[at + 26:at + 30])
    start = at + 30 + name_length + extra_length
    return start + shift if kind == "s" else start + info.compress_size + shift
archive = b"PK\x07\x08" + data
# Places in ZIP; in the archive part they lie 4 bytes further on.
bounds = [0] + [place(t) + 4 for t in cuts.split(",")] + [len(archive)]
for a, b in zip(bounds, bounds[1:]):
    if not a < b:
        sys.exit(f"cuts {cuts} leave an empty volume")
pieces = [archive[a:b] for a, b in zip(bounds, bounds[1:])]
open(first, "wb").write(pieces[0])
base = os.path.splitext(out)[0]
for n, piece in enumerate(pieces[1:], start=2):
    if disks == "1":
        os.makedirs(f"{work}/disk{n}", exist_ok=True)
        target = f"{work}/disk{n}/{out}"
    else:
        target = f"{work}/{base}.z{n:02d}"
    open(target, "wb").write(piece)
print(f"{out}: volumes of {', '.join(str(len(p)) for p in pieces)} archive bytes")
PY
  if [ $disks = 1 ]; then
    mkdir -p "$WORK/disk1"
    "$MKSFX" --stub "$STUB" --zip "$first" --out "$WORK/disk1/$out" "$@"
  else
    make_sfx "$out" "$first" "$@"
  fi
  rm -f "$first"
}

# expect_same SOURCE COPY: COPY exists and has SOURCE's bytes and modification
# time (ZIP keeps even seconds: SOURCE's time should be even).
expect_same() {
  [ -f "$2" ] || fail "missing file $2"
  cmp -s "$1" "$2" || fail "$2 differs from $1"
  local want got
  want=$(stat -c %Y "$1") got=$(stat -c %Y "$2")
  [ "$want" = "$got" ] || fail "$2 modified at $got, not $want"
}

# make_crc_zip: crc.zip in $WORK, three stored entries (good.txt "fine",
# damaged.txt, after.txt "later entry") whose second one has a wrong CRC-32
# in both its headers.
make_crc_zip() {
  python3 - <<'PY'
import zipfile
with zipfile.ZipFile("crc.zip", "w") as z:
    z.writestr("good.txt", "fine")
    z.writestr("damaged.txt", "these bytes do not match the stored CRC")
    z.writestr("after.txt", "later entry")
data = bytearray(open("crc.zip", "rb").read())
# The second local header and its central directory record: flip the CRC.
local = data.index(b"PK\x03\x04", 1)
central = data.index(b"PK\x01\x02", data.index(b"PK\x01\x02") + 1)
data[local + 14] ^= 0xFF
data[central + 16] ^= 0xFF
open("crc.zip", "wb").write(data)
PY
}

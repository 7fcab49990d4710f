#!/usr/bin/env bash
# Archives as real, common writers make them, glued by hand behind the stub
# and extracted in automatic mode: Go's archive/zip, bsdtar, Info-ZIP zip to a
# pipe and with Zip64 fields, Info-ZIP in the C locale, Python's zipfile to a
# pipe and with Zip64 fields, jar, yazl and archiver of Node, and 7-Zip with an
# entry of a method the stub does not decode (tests/support/real_writers.sh
# writes them and checks that each still shows what makes it worth testing).
#
# Each archive is made into a program twice: by plain concatenation (the stub,
# a configuration block for automatic mode, the archive's bytes unchanged:
# its offsets do not count the program before it), as a user who glues a zip
# by hand does, and that program fixed with `zip -A` (offsets counted from the
# program's start; zip -A also fills in the sizes of the local headers and
# drops the data descriptors). Where zip -A refuses an archive (Info-ZIP's own
# Zip64 end record), the offsets are moved as zip -A would move them.
#
# The stub's tree must be what unzip (or Python's zipfile, where unzip reads
# the names wrong) extracts from the same archive: the same files and
# folders, bytes, names, and modification times to the 2 s of a DOS time. It
# ends with 0 and shows no message; for the archive with the unknown method it
# ends with 1, names the refused entry in a message, extracts the entries
# around it and leaves no file for it. Every program is run and reported
# (PASS or FAIL with the exit code and the messages shown); the test fails at
# the end if any failed.
source "$KORVI_SOURCE/tests/e2e/lib.sh"

# DOS times are local times: the writers, unzip and Wine read them in one
# zone without daylight saving (as test_auto_makers.sh).
export TZ=Asia/Tokyo
export LC_ALL=C.UTF-8

# The Go build cache and the Node packages outlive the run in the build tree.
bash "$KORVI_SOURCE/tests/support/real_writers.sh" "$WORK/zips" "$KORVI_WIN32/real_writers" ||
  fail "the writers' archives could not be made"
zips=$WORK/zips

# reference NAME ORACLE: the tree ref-NAME as unzip or Python's zipfile
# extracts it (Python: times from the DOS fields; none for a DOS date of 0).
reference() {
  if [ "$2" = unzip ]; then
    unzip -q "$zips/$1.zip" -d "ref-$1"
  else
    python3 - "$zips/$1.zip" "ref-$1" <<'PY'
import os, sys, time, zipfile
archive, root = sys.argv[1:3]
for info in zipfile.ZipFile(archive).infolist():
    path = os.path.join(root, os.path.normpath(info.filename))
    if info.is_dir():
        os.makedirs(path, exist_ok=True)
        continue
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(zipfile.ZipFile(archive).read(info))
    year, month, day = info.date_time[:3]
    if month and day:
        t = time.mktime(info.date_time + (0, 0, -1))
        os.utime(path, (t, t))
PY
  fi
}

# adjust EXE: the archive's offsets counted from the start of EXE, as zip -A
# counts them: each central header's local header offset, the directory's
# offset in the end record, and with Zip64 the same in the Zip64 end record and
# the end record's place in its locator.
adjust() {
  python3 - "$1" "$((51712 + 256))" <<'PY'
import struct, sys
path, shift = sys.argv[1], int(sys.argv[2])
d = bytearray(open(path, "rb").read())
end = d.rfind(b"PK\x05\x06")
count, size, offset = struct.unpack_from("<HII", d, end + 10)
zip64 = d[end - 20:end - 16] == b"PK\x06\x07"
if zip64:
    record = struct.unpack_from("<Q", d, end - 12)[0] + shift
    struct.pack_into("<Q", d, end - 12, record)
    count, size, offset = struct.unpack_from("<QQQ", d, record + 32)
    struct.pack_into("<Q", d, record + 48, offset + shift)
if offset != 0xFFFFFFFF:
    struct.pack_into("<I", d, end + 16, offset + shift)
at = offset + shift
for _ in range(count):
    assert d[at:at + 4] == b"PK\x01\x02", "no central header at %d" % at
    csize, usize, nlen, xlen, clen = struct.unpack_from("<IIHHH", d, at + 20)
    local = struct.unpack_from("<I", d, at + 42)[0]
    if local != 0xFFFFFFFF:
        struct.pack_into("<I", d, at + 42, local + shift)
    else:  # in the Zip64 field, after the sizes that are escaped
        x = at + 46 + nlen
        while struct.unpack_from("<H", d, x)[0] != 1:
            x += 4 + struct.unpack_from("<H", d, x + 2)[0]
        field = x + 4 + 8 * ((usize == 0xFFFFFFFF) + (csize == 0xFFFFFFFF))
        struct.pack_into("<Q", d, field, struct.unpack_from("<Q", d, field)[0] + shift)
    at += 46 + nlen + xlen + clen
open(path, "wb").write(d)
PY
}

# The stub's tree against the reference: compare.py STUB REF ZIP [REFUSED...]
# prints what differs, one line each.
cat > compare.py <<'PY'
import os, sys, time, zipfile
ours, ref, archive, refused = sys.argv[1], sys.argv[2], sys.argv[3], set(sys.argv[4:])
def tree(root):
    found = set()
    for folder, dirs, files in os.walk(root):
        for n in dirs + files:
            found.add(os.path.relpath(os.path.join(folder, n), root))
    return found
def name(info):  # the name's bytes read as UTF-8
    raw = info.orig_filename.encode("utf-8" if info.flag_bits & 0x800 else "cp437")
    return os.path.normpath(raw.decode("utf-8", "replace"))
# The stub sets a file's time from the entry's DOS time alone, read as local
# time; unzip takes the extended timestamp field (UTC) where there is one.
# Where a writer puts another time into the DOS field than into that field
# (Go's FileInfoHeader writes the DOS time in UTC), either time will do.
def extra_ids(extra):
    ids, at = set(), 0
    while at + 4 <= len(extra):
        ids.add(int.from_bytes(extra[at:at + 2], "little"))
        at += 4 + int.from_bytes(extra[at + 2:at + 4], "little")
    return ids
dos, stamped = {}, set()
for i in zipfile.ZipFile(archive).infolist():
    # A DOS date of 0 (Go's Create writes it) is no date: not compared.
    dos[name(i)] = time.mktime(i.date_time + (0, 0, -1)) if i.date_time[1] and i.date_time[2] else None
    if 0x5455 in extra_ids(i.extra):
        stamped.add(name(i))
def same_time(ours, theirs, p):
    if dos[p] is None or abs(ours - theirs) < 2:
        return True
    return p in stamped and abs(ours - dos[p]) < 2
want, got = tree(ref), tree(ours) if os.path.isdir(ours) else set()
want -= refused
bad = []
for p in sorted(refused & got):
    bad.append("%s was written (its entry should be refused)" % p)
if want != got - refused:
    bad.append("names: only the stub's %s; only the reference's %s" % (sorted(got - want - refused), sorted(want - got)))
for p in sorted(want & got):
    a, b = os.path.join(ours, p), os.path.join(ref, p)
    if os.path.isdir(b):
        if not os.path.isdir(a):
            bad.append("%s is not a folder" % p)
        continue
    if p not in dos:
        bad.append("%s: no entry of that name in the archive" % p)
    elif not os.path.isfile(a) or open(a, "rb").read() != open(b, "rb").read():
        bad.append("%s differs" % p)
    elif not same_time(os.stat(a).st_mtime, os.stat(b).st_mtime, p):
        bad.append("%s modified at %d, not %d" % (p, os.stat(a).st_mtime, os.stat(b).st_mtime))
print("\n".join(bad[:6] + (["... and %d more" % (len(bad) - 6)] if len(bad) > 6 else [])))
sys.exit(1 if bad else 0)
PY

# The reference must hold the source's names and bytes (a writer's own
# additions, META-INF/MANIFEST.MF and "-", have ASCII names): an extractor that
# mangles a name would make the comparison meaningless.
check_reference() {
  python3 - "ref-$1" "$zips/src" <<'PY'
import os, sys
ref, src = sys.argv[1:3]
bad, files = [], 0
for folder, _, names in os.walk(ref):
    for n in names:
        p = os.path.relpath(os.path.join(folder, n), ref)
        files += 1
        s = os.path.join(src, p)
        if not os.path.isfile(s):
            if not p.isascii():
                bad.append("%s is not a name of the source" % p)
        elif open(s, "rb").read() != open(os.path.join(ref, p), "rb").read():
            bad.append("%s differs from the source" % p)
if not files:
    bad.append("no file")
print("; ".join(bad))
sys.exit(1 if bad else 0)
PY
}

results=()
failed=0
# report LINE: one program's result, shown now and again in the summary.
report() {
  results+=("$1")
  echo "$1"
  case "$1" in FAIL*) failed=$((failed + 1)) ;; esac
}

# run PROGRAM CODE ZIP REFERENCE REFUSED...: the program run in automatic
# mode, every message box answered with OK, its tree compared.
run() {
  local program=$1 code=$2 zip=$3 ref=$4
  shift 4
  local log messages got tree problems=""
  log=$(drive "$WORK_WIN\\$program.exe" timeout 15000 answer "$code" 2>&1) || true
  log=${log//$'\r'/}  # a Windows program's line ends
  messages=$(sed -n 's/^message: //p' <<<"$log")
  got=$(sed -n 's/^exit: //p' <<<"$log")
  [ "$got" = "$code" ] || problems+="; exit ${got:-none}, not $code$(sed -n 's/^FAIL: \(the program did not end\)/ (\1)/p' <<<"$log")"
  [ "$code" != 0 ] || [ -z "$messages" ] || problems+="; messages shown"
  for refused in "$@"; do
    grep -qF -- "$refused" <<<"$messages" || problems+="; no message names the refused $refused"
  done
  tree=$(python3 compare.py "$program" "$ref" "$zip" "$@") || problems+="; ${tree//$'\n'/; }"
  if [ -z "$problems" ]; then
    report "PASS  $program"
  else
    report "FAIL  $program: ${problems#; }${messages:+$'\n'        messages: ${messages//$'\n'/ || }}"
  fi
}

while read -r -u 3 name code oracle refused; do
  # shellcheck disable=SC2086 # the refused entries, one word each
  set -- $refused
  if ! reference "$name" "$oracle" || ! why=$(check_reference "$name"); then
    report "FAIL  $name: the reference ($oracle) is not the source tree: $why"
    continue
  fi
  make_sfx "$name.exe" "$zips/$name.zip" --auto --dest "$WORK_WIN\\$name"
  # The program is the stub, the block and the archive's bytes, nothing else,
  # and unzip sees bytes before the archive that its offsets do not count.
  cmp -s <(tail -c +$((51712 + 256 + 1)) "$name.exe") "$zips/$name.zip" || fail "$name.exe does not end with $name.zip"
  grep -q "extra bytes" <<<"$(unzip -tq "$name.exe" 2>&1 || true)" || fail "$name.exe: unzip counts no bytes before the archive"
  run "$name" "$code" "$zips/$name.zip" "ref-$name" "$@"

  make_sfx "$name-A.exe" "$zips/$name.zip" --auto --dest "$WORK_WIN\\$name-A"
  how="zip -A"
  if ! refusal=$(zip -A -q "$name-A.exe" 2>&1); then
    make_sfx "$name-A.exe" "$zips/$name.zip" --auto --dest "$WORK_WIN\\$name-A"
    adjust "$name-A.exe"
    how="offsets moved here, as zip -A refuses the archive: $(grep -m1 'zip error' <<<"$refusal" || echo "$refusal")"
  fi
  # unzip finds the archive whole, with no bytes before it that its offsets
  # leave out.
  if ! tested=$(unzip -tq "$name-A.exe" 2>&1) || grep -q "extra bytes" <<<"$tested"; then
    report "FAIL  $name-A: the offsets are not counted from the program's start ($how): ${tested//$'\n'/; }"
    continue
  fi
  [ "$how" = "zip -A" ] || echo "      $name-A: $how"
  run "$name-A" "$code" "$WORK/$name-A.exe" "ref-$name" "$@"
done 3< "$zips/writers.txt"

echo
echo "Archives from real writers, each extracted by the stub in automatic mode:"
printf '%s\n' "${results[@]}"
[ "$failed" -eq 0 ] || fail "$failed of ${#results[@]} programs were not extracted as the reference extracts them"

#!/usr/bin/env bash
# Hostile and damaged archives (tests/support/hostile_zips.py) in automatic
# mode with the overwrite flag, one run each: names that leave the
# destination, very long names, sizes that point past the file or wrap round
# to earlier data, archives cut in a header, a name, the data or the central
# directory, wrong CRCs, unknown methods, damaged Deflate streams and a
# Deflate bomb; then configuration blocks whose text lengths overrun the
# block, or which the file's end cuts short. Each run must end with its
# message or the failure summary and its exit code; nothing may be written
# outside the destination; the files the archive does not name, and those it
# names whose entry fails, keep their bytes.
source "$KORVI_SOURCE/tests/e2e/lib.sh"
mkdir -p zips
python3 "$KORVI_SOURCE/tests/support/hostile_zips.py" zips

SUMMARY="The selected file(s) couldn't get extracted."
GOOD=@good AFTER=@after VICTIM=@victim ESCAPED=@escaped  # the archives' texts, as the checks name them
timeout_steps=(timeout 10000)

# The files of a case folder before the run: target.txt beside the
# destination (where "../target.txt" would land), keep.txt and victim.txt in it.
prepare() {
  local case=$1
  mkdir -p "$case/dest"
  printf 'outside %s' "$case" >"$case/target.txt"
  printf 'keep %s' "$case" >"$case/dest/keep.txt"
  printf 'precious %s' "$case" >"$case/dest/victim.txt"
}

# hostile CASE CODE STEP...: the case's archive behind the stub, run with
# the steps that answer its messages, ending with exit code CODE.
hostile() {
  local case=$1 code=$2
  shift 2
  prepare "$case"
  make_sfx "$case.exe" "$WORK/zips/$case.zip" --auto --overwrite --dest "$WORK_WIN\\$case\\dest"
  drive "$WORK_WIN\\$case.exe" "${timeout_steps[@]}" "$@" exit "$code" >/dev/null ||
    { cat sfxdrive.log; fail "$case: not as expected"; }
}

# expect_dest CASE NAME=TEXT...: after the runs, the destination holds
# exactly these files with these contents (TEXT as hex:BYTES for binary
# ones; @good, @after, @victim and @escaped for the archives' own), and the
# case folder nothing but it and target.txt, unchanged. The expectations are
# gathered here and checked together at the end.
: >expected.list
expect_dest() {
  local case=$1 pair
  shift
  for pair in "$@"; do printf '%s\0%s\0%s\0' "$case" "${pair%%=*}" "${pair#*=}" >>expected.list; done
}
# expect_kept CASE NAME=TEXT...: the same, with keep.txt and victim.txt as
# they were before the run.
expect_kept() {
  local case=$1
  shift
  expect_dest "$case" "keep.txt=keep $case" "victim.txt=precious $case" "$@"
}

# --- Names that leave the destination: refused, the walk goes on ------------
while read -r case name; do
  hostile "$case" 1 message "$name" "Invalid filename." click 1 message "$SUMMARY" "Error.." click 1
  expect_kept "$case" "good.txt=$GOOD" "after.txt=$AFTER"
done <<'CASES'
dotdot ../target.txt
dotdot_deep sub/../../target.txt
dotdot_backslash ..\target.txt
absolute /target.txt
absolute_backslash \target.txt
drive_path C:\e2e\auto_hostile\drive_path\target.txt
drive_relative C:target.txt
unc \\?\C:\target.txt
stream keep.txt:stream
CASES

# --- Long names: a part of up to 255 characters is extracted, in a path past
# MAX_PATH too; a longer part is refused, shown by its first 1,000 bytes ------
for n in 200 255; do
  name=$(printf 'L%.0s' $(seq $n))
  hostile "name_$n" 0
  expect_kept "name_$n" "good.txt=$GOOD" "$name=$ESCAPED" "after.txt=$AFTER"
done
hostile name_256 1 message "$(printf 'L%.0s' $(seq 256))" "Invalid filename." click 1 message "$SUMMARY" "Error.." click 1
expect_kept name_256 "good.txt=$GOOD" "after.txt=$AFTER"
hostile name_65535 1 message "$(printf 'N%.0s' $(seq 1000))" "Invalid filename." click 1 message "$SUMMARY" "Error.." click 1
expect_kept name_65535 "good.txt=$GOOD" "after.txt=$AFTER"

# --- Sizes and cuts: the walk cannot reach the central directory ------------
# The count pass says so first, then the extraction pass and its summary.
UNREADABLE=(message "Error reading archive." "Error.." click 1)
for case in size_past_end size_wraps_back cut_header; do
  hostile "$case" 2 "${UNREADABLE[@]}" "${UNREADABLE[@]}" message "$SUMMARY" "Error.." click 1
  expect_kept "$case" "good.txt=$GOOD"
done
# Cut in the data: an archive without the spanning marker never goes on in
# a next volume, so a read that comes up short inside an entry means the
# archive is cut short; then the summary. Cut in the name: the name is
# refused (no file under its first bytes), and the walk finds no further
# header. The existing victim.txt is not touched either way.
hostile cut_data 2 "${UNREADABLE[@]}" "${UNREADABLE[@]}" message "$SUMMARY" "Error.." click 1
expect_kept cut_data "good.txt=$GOOD"
# The same cut with a file beside the program under its second volume's name
# (the rest of the entry, then a DLL of its own): never read.
{ head -c 400 /dev/zero; cat zips/planted.zip; } >cut_data_planted.z02
hostile cut_data_planted 2 "${UNREADABLE[@]}" "${UNREADABLE[@]}" message "$SUMMARY" "Error.." click 1
expect_kept cut_data_planted "good.txt=$GOOD"

# --- Names that are one file on Windows --------------------------------------
# A part ending in a dot or a blank is refused (Windows would drop it); a
# second entry that names a file this run wrote does not replace it unasked,
# even with the overwrite flag: the first stays, then the summary.
hostile trailing_dot 1 message "b.txt." "Invalid filename." click 1 message "$SUMMARY" "Error.." click 1
expect_kept trailing_dot "good.txt=$GOOD" "after.txt=$AFTER"
hostile trailing_blank 1 message "sp /f.txt" "Invalid filename." click 1 message "$SUMMARY" "Error.." click 1
expect_kept trailing_blank "good.txt=$GOOD" "after.txt=$AFTER"
hostile twins_case 1 message "$SUMMARY" "Error.." click 1
expect_kept twins_case "good.txt=$GOOD" "Notes.txt=first twin" "after.txt=$AFTER"
hostile twins_exact 1 message "$SUMMARY" "Error.." click 1
expect_kept twins_exact "good.txt=$GOOD" "twin.txt=first twin" "after.txt=$AFTER"
hostile cut_name 2 "${UNREADABLE[@]}" message "vic" "Invalid filename." click 1 "${UNREADABLE[@]}" \
  message "$SUMMARY" "Error.." click 1
expect_kept cut_name "good.txt=$GOOD"
# Cut in the central directory: every entry arrived whole, victim.txt too.
hostile cut_directory 2 "${UNREADABLE[@]}" "${UNREADABLE[@]}" message "$SUMMARY" "Error.." click 1
expect_dest cut_directory "keep.txt=keep cut_directory" "victim.txt=$VICTIM" "good.txt=$GOOD" "after.txt=$AFTER"

# --- Entries whose data fails: the existing file stays, the walk goes on ----
for case in bad_crc bad_crc_deflate deflate_bad_type deflate_bad_codes bomb_replacing; do
  hostile "$case" 1 message "$SUMMARY" "Error.." click 1
  expect_kept "$case" "good.txt=$GOOD" "after.txt=$AFTER"
done
# A bomb for a fresh file: it is stopped at the 5 bytes declared, and the
# file that is not whole removed.
hostile bomb_fresh 1 message "$SUMMARY" "Error.." click 1
expect_kept bomb_fresh "good.txt=$GOOD" "after.txt=$AFTER"

# --- Unknown methods: refused by name, nothing of the name touched, the walk
# goes on -----------------------------------------------------------------
for case in method_12 method_14; do
  hostile "$case" 1 message "victim.txt" "Unknown compression type" click 1 message "$SUMMARY" "Error.." click 1
  expect_kept "$case" "good.txt=$GOOD" "after.txt=$AFTER"
done

# --- Configuration blocks whose lengths add up to more than its 249 bytes ---
# configured CASE L1 L2 L3 TEXTS: the stub, a block with the automatic flag,
# these three lengths and texts (cut or padded with zeros to 249 bytes), and
# an archive of good.txt and after.txt; "short" instead of the lengths ends
# the file inside the block.
configured() {
  python3 - "$STUB" "$WORK/zips/plain.zip" "$@" <<'PY'
import sys
stub, archive, case = open(sys.argv[1], "rb").read(), open(sys.argv[2], "rb").read(), sys.argv[3]
if sys.argv[4] == "short":
    data = stub + b"VRN\x40\xff\xff"
else:
    lengths = bytes(int(n) for n in sys.argv[4:7])
    data = stub + b"VRN\x40" + lengths + sys.argv[7].encode().ljust(249, b"\0")[:249] + archive
open(case + ".exe", "wb").write(data)
PY
}
# Caption 200 and destination 200: the destination is the 49 bytes left.
prepare cfg_cut
configured cfg_cut 200 200 0 "$(printf 'c%.0s' $(seq 200))$WORK_WIN\\cfg_cut\\dest"
drive "$WORK_WIN\\cfg_cut.exe" "${timeout_steps[@]}" exit 0 >/dev/null || { cat sfxdrive.log; fail "cfg_cut: not as expected"; }
expect_kept cfg_cut "good.txt=$GOOD" "after.txt=$AFTER"
# Three lengths of 250: the caption takes the whole block, the destination
# and the program to run are empty; the files go to the current folder, and
# no program is started.
prepare cfg_over
configured cfg_over 250 250 250 "$(printf 'A%.0s' $(seq 249))"
(cd cfg_over/dest && drive "$WORK_WIN\\cfg_over.exe" "${timeout_steps[@]}" exit 0 >/dev/null) ||
  { cat sfxdrive.log; fail "cfg_over: not as expected"; }
expect_kept cfg_over "good.txt=$GOOD" "after.txt=$AFTER"
# The file ends inside the block: no archive, in either pass.
prepare cfg_short
configured cfg_short short
(cd cfg_short/dest && drive "$WORK_WIN\\cfg_short.exe" "${timeout_steps[@]}" "${UNREADABLE[@]}" "${UNREADABLE[@]}" exit 2 \
  >/dev/null) || { cat sfxdrive.log; fail "cfg_short: not as expected"; }
expect_kept cfg_short

python3 - "$KORVI_SOURCE/tests/support" <<'PY' || fail "not every case left the files as expected"
import os, sys
sys.path.insert(0, sys.argv[1])
import hostile_zips
ARCHIVED = {b"@good": hostile_zips.GOOD[1], b"@after": hostile_zips.AFTER[1], b"@victim": hostile_zips.VICTIM_DATA,
            b"@escaped": hostile_zips.ESCAPED}
fields = open("expected.list", "rb").read().split(b"\0")[:-1]
want = {}
for case, name, text in zip(fields[0::3], fields[1::3], fields[2::3]):
    text = bytes.fromhex(text[4:].decode()) if text.startswith(b"hex:") else ARCHIVED.get(text, text)
    want.setdefault(case.decode(), {})[name.decode()] = text
def found(root):
    return {os.path.relpath(os.path.join(d, n), root) for d, dirs, files in os.walk(root) for n in dirs + files}
bad = []
for case, files in want.items():
    before = len(bad)
    dest = os.path.join(case, "dest")
    if found(dest) != set(files):
        bad.append("%s: the destination holds %s, not %s" % (case, sorted(found(dest)), sorted(files)))
    for name, text in files.items():
        path = os.path.join(dest, name)
        if os.path.isfile(path) and open(path, "rb").read() != text:
            bad.append("%s: %s holds %r" % (case, name[:40], open(path, "rb").read()[:80]))
    if set(os.listdir(case)) != {"dest", "target.txt"}:
        bad.append("%s: written beside the destination: %s" % (case, sorted(os.listdir(case))))
    if open(os.path.join(case, "target.txt"), "rb").read() != b"outside " + case.encode():
        bad.append("%s: target.txt beside the destination changed" % case)
    if len(bad) == before:
        print("%s: as expected" % case)
sys.exit("\n".join(bad) if bad else 0)
PY

# Nothing of any case landed anywhere else in the prefix or on the Linux side.
stray=$(find / /tmp -maxdepth 1 -name 'target.txt'; \
        find "$WINEPREFIX/drive_c" -name 'target.txt' -o -name 'keep.txt:*' | grep -v "^$WORK/[^/]*/target.txt$" || true)
[ -z "$stray" ] || fail "written elsewhere: $stray"
echo "nothing written outside the destinations"

#!/usr/bin/env bash
# Archives as real tools write them, each extracted in automatic mode and
# compared with what Info-ZIP unzip extracts from the same archive: the same
# files and folders, the same bytes, the same modification times (to the 2 s
# of a DOS time) and the same non-ASCII names (flagged as UTF-8 by every
# maker). Makers: Info-ZIP zip (default, -X, -0, -9, -P, -r with folder
# entries), Python's zipfile (stored, Deflate at levels 1 and 9) and 7-Zip
# (-mx1, -mx9). An archive Python wrote to a pipe has no sizes in its local
# headers; the stub takes them from the central directory.
source "$KORVI_SOURCE/tests/e2e/lib.sh"

# DOS times are local times. The makers, unzip and Wine all read them in one
# zone, away from UTC so that a lost conversion shows, and without daylight
# saving, which Windows applies by today's date rather than the file's.
export TZ=Asia/Tokyo
export LC_ALL=C.UTF-8

# zip 3.0 sets the UTF-8 flag only when it can switch to the locale
# en_US.UTF-8; where that is not installed, C.UTF-8 stands in under its name.
ZIP_LOCPATH=
if ! python3 -c 'import locale; locale.setlocale(locale.LC_CTYPE, "en_US.UTF-8")' 2>/dev/null; then
  mkdir -p locale
  if [ -d /usr/lib/locale/C.utf8 ]; then
    ln -s /usr/lib/locale/C.utf8 locale/en_US.UTF-8
  else
    localedef -i en_US -f UTF-8 locale/en_US.UTF-8
  fi
  ZIP_LOCPATH=$WORK/locale
fi
izip() { LOCPATH=${ZIP_LOCPATH:-${LOCPATH:-}} zip "$@"; }

mkdir -p src/data/deep src/empty
python3 - <<'PY'
import os, random, time
random.seed(7)
words = "korvi self extracting archive folder entry header deflate stored".split()
files = {
    "readme.txt": "\r\n".join(" ".join(random.choice(words) for _ in range(12)) for _ in range(300)).encode(),
    "café.txt": "Grüße aus dem Café\n".encode(),
    "data/Übersicht.txt": ("Übersicht " * 500).encode(),
    "data/noise.bin": bytes(random.getrandbits(8) for _ in range(30000)),
    "data/deep/run.bin": b"r" * 50000 + b"s" * 1000,
    "data/deep/empty.txt": b"",
}
# Odd seconds and several decades; read in the zone set above.
stamps = ["2019-05-17 14:33:21", "1998-02-03 04:05:07", "2024-12-31 23:59:59",
          "2009-07-01 00:00:01", "1985-10-26 01:21:00", "2037-01-19 03:14:06"]
for (name, data), stamp in zip(files.items(), stamps):
    with open(os.path.join("src", name), "wb") as f:
        f.write(data)
    t = time.mktime(time.strptime(stamp, "%Y-%m-%d %H:%M:%S"))
    os.utime(os.path.join("src", name), (t, t))
PY
files=(readme.txt café.txt data/Übersicht.txt data/noise.bin data/deep/run.bin data/deep/empty.txt)

(
  cd src
  izip -q ../infozip.zip "${files[@]}"
  izip -q -X ../infozip-X.zip "${files[@]}"
  izip -q -0 ../infozip-0.zip "${files[@]}"
  izip -q -9 ../infozip-9.zip "${files[@]}"
  izip -q -P 'open sesame 7' ../infozip-P.zip "${files[@]}"
  izip -q -r ../infozip-r.zip .
  python3 - "${files[@]}" <<'PY'
import sys, zipfile
for name, method, level in [("python-stored", zipfile.ZIP_STORED, None),
                            ("python-1", zipfile.ZIP_DEFLATED, 1),
                            ("python-9", zipfile.ZIP_DEFLATED, 9)]:
    with zipfile.ZipFile("../%s.zip" % name, "w", method, compresslevel=level) as z:
        for f in sys.argv[1:]:
            z.write(f)
PY
  # Written to a pipe: bit 3 and no sizes in the local headers; the central
  # directory gives them.
  python3 - "${files[@]}" <<'PY' | cat > ../python-pipe.zip
import sys, zipfile
with zipfile.ZipFile(sys.stdout.buffer, "w", zipfile.ZIP_DEFLATED) as z:
    for f in sys.argv[1:]:
        z.write(f)
PY
  7z a -tzip -mx1 ../7zip-1.zip "${files[@]}" >/dev/null
  7z a -tzip -mx9 ../7zip-9.zip "${files[@]}" >/dev/null
)

makers=(infozip infozip-X infozip-0 infozip-9 infozip-P infozip-r python-stored python-1 python-9 python-pipe 7zip-1 7zip-9)
# Every maker flags the non-ASCII names as UTF-8; a maker that stopped doing
# so would leave this test proving less than it says.
python3 - "${makers[@]}" <<'PY' || fail "not every maker flags its non-ASCII names as UTF-8"
import sys, zipfile
for maker in sys.argv[1:]:
    infos = [i for i in zipfile.ZipFile(maker + ".zip").infolist() if not i.filename.isascii()]
    if len(infos) != 2 or not all(i.flag_bits & 0x800 for i in infos):
        sys.exit("%s.zip: %s" % (maker, [(i.filename, hex(i.flag_bits)) for i in infos]))
PY

for zip in "${makers[@]}"; do
  make_sfx "$zip.exe" "$WORK/$zip.zip" --auto --dest "$WORK_WIN\\$zip"
  if [ "$zip" = infozip-P ]; then
    # The password is asked once, in automatic mode too, and opens every entry.
    unzip -q -P 'open sesame 7' "$zip.zip" -d "unzip-$zip"
    drive "$WORK_WIN\\$zip.exe" \
      window "Input Password" settext 101 'open sesame 7' click 1 gone \
      absent "Input Password" 500 exit 0 >/dev/null || { cat sfxdrive.log; fail "$zip: the run failed"; }
  else
    unzip -q "$zip.zip" -d "unzip-$zip"
    drive "$WORK_WIN\\$zip.exe" exit 0 >/dev/null || { cat sfxdrive.log; fail "$zip: the run failed"; }
  fi
done

# The stub's tree in MAKER/ against unzip's in unzip-MAKER/: the same paths,
# bytes and times, and the non-ASCII names as the source has them.
python3 - "${makers[@]}" <<'PY' || fail "the stub's trees differ from unzip's"
import filecmp, os, sys
def tree(root):
    found = set()
    for folder, dirs, files in os.walk(root):
        for n in dirs + files:
            found.add(os.path.relpath(os.path.join(folder, n), root))
    return found
bad = []
for maker in sys.argv[1:]:
    before = len(bad)
    ours, theirs = tree(maker), tree("unzip-" + maker)
    if ours != theirs:
        bad.append("%s: only the stub's %s, only unzip's %s" % (maker, sorted(ours - theirs), sorted(theirs - ours)))
        continue
    files = [p for p in theirs if os.path.isfile(os.path.join("unzip-" + maker, p))]
    for p in files:
        a, b = os.path.join(maker, p), os.path.join("unzip-" + maker, p)
        if not filecmp.cmp(a, b, shallow=False):
            bad.append("%s: %s differs" % (maker, p))
        ta, tb = int(os.stat(a).st_mtime), int(os.stat(b).st_mtime)
        if abs(ta - tb) > 1:
            bad.append("%s: %s modified at %d, unzip's at %d" % (maker, p, ta, tb))
    for p in ["café.txt", "data/Übersicht.txt"]:
        if p not in files:
            bad.append("%s: no %s" % (maker, p))
    if len(files) != 6:
        bad.append("%s: %d files, not 6" % (maker, len(files)))
    if maker.endswith("-r") and not os.path.isdir(os.path.join(maker, "empty")):
        bad.append("%s: the folder entry empty/ was not made" % maker)
    if len(bad) == before:
        print("%s: as unzip extracts it" % maker)
sys.exit("\n".join(bad) if bad else 0)
PY


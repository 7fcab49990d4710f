#!/usr/bin/env bash
# mksfx create from the archives of real writers (tests/support/real_writers.sh:
# Go, bsdtar, Info-ZIP to a pipe, with -fz, from standard input and in the C
# locale, Python's zipfile to a pipe and with Zip64, jar, yazl, archiver):
# each is copied with its data descriptors and Zip64 fields dropped where the
# sizes fit, its names as the stub takes them (no "./", UTF-8 with bit 11),
# every entry's bytes and time as the writer wrote them; the program passes
# check_sfx, unzip, 7-Zip, Python and mksfx test. The archive with a BZip2
# entry is refused by that entry's name.
source "$KORVI_SOURCE/tests/tool/lib.sh"
bash "$KORVI_SOURCE/tests/support/real_writers.sh" zips "$TOOL_WORK/real-writers-cache" >writers.txt ||
  fail "real_writers.sh: $(cat writers.txt)"

# Name -> (bytes, DOS time) of the files, and the folders, as a reader of
# the archive takes them; a source's names as mksfx takes them.
contents() {
  python3 - "$@" <<'PY'
import sys, zipfile
path, source = sys.argv[1], sys.argv[2] == "source"
z = zipfile.ZipFile(path)
for i in z.infolist():
    name = i.filename
    if source:
        if not i.flag_bits & 0x800:
            try:
                name = name.encode("cp437").decode("utf-8")  # UTF-8 without its flag
            except UnicodeDecodeError:
                pass
        name = name.replace("\\", "/")
        while name.startswith("./"):
            name = name[2:]
        if not name:
            continue
    print(name, i.date_time, z.read(i).hex() if not i.is_dir() else "folder")
PY
}

n=0
while read -r name code oracle refused; do
  z=zips/$name.zip
  if [ -n "$refused" ]; then
    fails_cleanly "'$refused' is compressed with bzip2, which the stub cannot extract" out.exe -- \
      create --stub "$STUB" -o out.exe "$z"
    continue
  fi
  mksfx create -q --stub "$STUB" -o "$name.exe" "$z" 2>err.txt || fail "$name: $(cat err.txt)"
  python3 "$CHECK" "$name.exe" >/dev/null || fail "$name: $(python3 "$CHECK" "$name.exe")"
  mksfx test -q "$name.exe" >test.txt || fail "$name: mksfx test: $(cat test.txt)"
  zip_readers_pass "$name.exe"
  [ "$(contents "$z" source)" = "$(contents "$name.exe" output)" ] ||
    fail "$name: the program's entries are not the archive's: $(diff <(contents "$z" source) <(contents "$name.exe" output))"
  n=$((n + 1))
done < <(grep -v '^SKIP' zips/writers.txt)
[ "$n" -ge 14 ] || fail "only $n writers' archives were copied"
grep -q "removing leading './'" <(mksfx create -q --stub "$STUB" -o again.exe zips/bsdtar.zip 2>&1) ||
  fail "bsdtar's ./ names were taken off without a word"
echo "$n real writers' archives copied; the BZip2 one refused by name"

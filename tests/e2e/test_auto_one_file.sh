#!/usr/bin/env bash
# Names that are one file on Windows, beyond ASCII: É.txt then é.txt, Ω/a.txt
# then ω/a.txt, a/b.txt then a//b.txt, with automatic overwrite. The second
# of each pair never silently replaces the first: the first's content stays,
# the run ends with the failure summary naming the second ones (exit 1).
source "$KORVI_SOURCE/tests/e2e/lib.sh"
python3 - <<'PY'
import zipfile
with zipfile.ZipFile("one.zip", "w") as z:
    for name, text in [("É.txt", "upper"), ("é.txt", "lower"), ("Ω/a.txt", "omega"), ("ω/a.txt", "small omega"),
                       ("a/b.txt", "single"), ("a//b.txt", "double"), ("after.txt", "after")]:
        z.writestr(name, text)
PY
make_sfx one.exe "$WORK/one.zip" --auto --overwrite --dest "$WORK_WIN\\dest"

drive "$WORK_WIN\\one.exe" \
  message $'The selected file(s) couldn\'t get extracted.\n\né.txt\nω/a.txt\na//b.txt' "Error.." click 1 \
  exit 1

expect_file "$WORK/dest/É.txt" 'upper'
expect_file "$WORK/dest/Ω/a.txt" 'omega'
expect_file "$WORK/dest/a/b.txt" 'single'
expect_file "$WORK/dest/after.txt" 'after'
n=$(find "$WORK/dest" -type f | wc -l)
[ "$n" -eq 4 ] || fail "expected 4 files, found $n: $(find "$WORK/dest" -type f)"
echo "each second name kept off the first's file and named in the summary"

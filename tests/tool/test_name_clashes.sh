#!/usr/bin/env bash
# Names that are one file on Windows, which ignores case and drops the dots
# and blanks that end a part: from folder inputs and from .zip inputs, such
# sets are refused with both names, as is a part that Windows would change
# (one ending in a dot or blank, one of only dots and blanks). Names that
# Windows keeps apart still pack.
source "$KORVI_SOURCE/tests/tool/lib.sh"

# clash_in_tree EXPECTED PATH...: a tree of these files (a path ending in
# "/" is a folder) is refused, the message holding EXPECTED.
clash_in_tree() {
  local expected=$1
  shift
  rm -rf tree && mkdir tree
  for p in "$@"; do
    if [[ $p == */ ]]; then mkdir -p "tree/$p"; else mkdir -p "tree/$(dirname "$p")" && printf '%s' "$p" > "tree/$p"; fi
  done
  fails_cleanly "$expected" out.exe -- create --stub "$STUB" -o out.exe -C tree .
}

clash_in_tree "'Notes.txt' and 'notes.txt' are one name on Windows" Notes.txt notes.txt
clash_in_tree "'b.txt' and 'b.txt.' are one name on Windows" b.txt b.txt.
clash_in_tree "'b.txt' and 'b.txt ' are one name on Windows" b.txt 'b.txt '
clash_in_tree "'X' is a file and 'x/' a folder of one name on Windows" X x/
clash_in_tree "'X' is a file and 'x/' a folder of one name on Windows" X x/f.txt
clash_in_tree "'Docs/a.txt' and 'docs/A.TXT' are one name on Windows" Docs/a.txt docs/A.TXT
clash_in_tree "'sp /' has a part that ends in a blank ('sp '), which Windows drops" 'sp /f.txt'
clash_in_tree "'dot./' has a part that ends in a dot ('dot.'), which Windows drops" dot./f.txt
clash_in_tree "'   /' has a part of only dots and blanks ('   '), which Windows cannot keep" '   /f.txt'
clash_in_tree "'two blanks  ' has a part that ends in a blank ('two blanks  ')" 'two blanks  '
clash_in_tree "'  ' has a part of only dots and blanks ('  ')" '  '
clash_in_tree "'GRÜßE.TXT' and 'Grüße.txt' are one name on Windows" Grüße.txt GRÜßE.TXT
clash_in_tree "'CAFÉ.txt' and 'café.txt' are one name on Windows" café.txt CAFÉ.txt
clash_in_tree "'Файл.txt' and 'файл.txt' are one name on Windows" Файл.txt файл.txt
# Named on the command line, and one of several clashes.
rm -rf tree && mkdir tree && printf 1 > tree/A.txt && printf 2 > tree/a.txt && printf 3 > tree/B && printf 4 > tree/b
fails_cleanly "'tree/A.txt' and 'tree/a.txt' are one name on Windows" out.exe -- create --stub "$STUB" -o out.exe tree/A.txt tree/a.txt
fails_cleanly "'A.txt' and 'a.txt' are one name on Windows, which ignores case and the dots and blanks that end a part; 1 more entry at fault" out.exe -- create --stub "$STUB" -o out.exe -C tree .
fails_cleanly "'tree/A.txt' is given twice" out.exe -- create --stub "$STUB" -o out.exe tree/A.txt tree/A.txt

# The same from .zip inputs, exact duplicates too.
python3 - <<'PY'
import zipfile
sets = {
    "case.zip": ["Readme.txt", "README.TXT"],
    "dot.zip": ["b.txt", "b.txt."],
    "folder.zip": ["docs", "Docs/x.txt"],
    "implied.zip": ["x/f.txt", "X"],
    "folderentry.zip": ["Docs/", "docs"],
    "blank.zip": ["sp /f.txt"],
    "dots.zip": ["a/./b.txt"],
    "twice.zip": ["a.txt", "a.txt"],
}
for zipname, names in sets.items():
    with zipfile.ZipFile(zipname, "w") as z:
        z.writestr("fine.txt", "fine")
        for i, n in enumerate(names):
            info = zipfile.ZipInfo(n)
            z.writestr(info, "" if n.endswith("/") else str(i))
PY
fails_cleanly "'Readme.txt' and 'README.TXT' are one name on Windows" out.exe -- create --stub "$STUB" -o out.exe case.zip
fails_cleanly "'b.txt' and 'b.txt.' are one name on Windows" out.exe -- create --stub "$STUB" -o out.exe dot.zip
fails_cleanly "'docs' is a file and 'Docs/' a folder of one name on Windows (for 'Docs/x.txt')" out.exe -- \
  create --stub "$STUB" -o out.exe folder.zip
fails_cleanly "'x/' (for 'x/f.txt') is a folder and 'X' a file of one name on Windows" out.exe -- \
  create --stub "$STUB" -o out.exe implied.zip
fails_cleanly "'Docs/' is a folder and 'docs' a file of one name on Windows" out.exe -- create --stub "$STUB" -o out.exe folderentry.zip
fails_cleanly "'sp /f.txt' has a part that ends in a blank ('sp ')" out.exe -- create --stub "$STUB" -o out.exe blank.zip
fails_cleanly "'a/./b.txt' has a part of only dots and blanks ('.')" out.exe -- create --stub "$STUB" -o out.exe dots.zip
fails_cleanly "'a.txt' is given twice" out.exe -- create --stub "$STUB" -o out.exe twice.zip

# A program that holds such names anyway (the old form packs a .zip as it
# is): list and test name the entries the stub would not keep apart.
python3 -c "
import zipfile
with zipfile.ZipFile('twins.zip', 'w') as z:
    z.writestr('Notes.txt', 'first'); z.writestr('notes.txt', 'second'); z.writestr('fine.txt', 'f')"
mksfx --stub "$STUB" --zip twins.zip --out twins.exe
rc=0; mksfx list twins.exe >list.txt 2>err.txt || rc=$?
[ $rc -eq 1 ] || fail "list passed twins the stub would not keep apart"
grep -q "notes.txt  <- 'Notes.txt' and 'notes.txt' are one name on Windows" list.txt || fail "list: $(cat list.txt)"
rc=0; mksfx test twins.exe >test.txt 2>err.txt || rc=$?
[ $rc -eq 1 ] || fail "test passed twins the stub would not keep apart"
grep -q "^FAILED  notes.txt: 'Notes.txt' and 'notes.txt' are one name" test.txt || fail "test: $(cat test.txt)"
grep -q "^OK      fine.txt" test.txt || fail "test: $(cat test.txt)"

# Names that Windows keeps apart: packed, every one of them.
rm -rf tree && mkdir -p tree/Docs tree/docs2
for f in a.txt a.txt.bak ab 'a b' ..a a..b Docs/x.txt docs2/x.txt ' lead blank' é.txt e.txt ß.txt ss.txt; do
  printf '%s' "$f" > "tree/$f"
done
mksfx create -q --stub "$STUB" -o apart.exe -C tree .
python3 "$CHECK" apart.exe --tree tree
# Folders whose names differ in case only are one folder on Windows: their
# files go into it side by side, none lost, so the set is packed.
python3 -c "
import zipfile
with zipfile.ZipFile('merge.zip', 'w') as z:
    z.writestr('Docs/a.txt', 'a'); z.writestr('docs/b.txt', 'b')"
mksfx create -q --stub "$STUB" -o merge.exe merge.zip
mksfx test -q merge.exe >/dev/null || fail "merge.exe"
echo "names that are one file on Windows refused with both names; names apart packed"

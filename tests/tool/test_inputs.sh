#!/usr/bin/env bash
# What mksfx create takes in, as tar and zip take it: absolute and ../
# inputs stored without their leading parts (said once on stderr);
# --exclude by last part or whole name, for trees and .zip inputs; -@ and
# --files-from lists; -v naming each entry in archive order; and inputs
# that cannot be read, named with the system's reason, or left out with a
# warning and exit 1 under --skip-unreadable.
source "$KORVI_SOURCE/tests/tool/lib.sh"

# entries FILE: the entry names in archive order, one a line.
entries() { python3 -c "import sys, zipfile; print('\n'.join(zipfile.ZipFile(sys.argv[1]).namelist()))" "$1"; }

mkdir -p tree/src/build/out tree/docs outside/deep
printf 'c' > tree/src/a.c
printf 'o' > tree/src/a.o
printf 'x' > tree/src/build/out/x.bin
printf 'r' > tree/src/rebuild.txt
printf 'd' > tree/docs/read.txt
printf 't' > tree/docs/note.tmp
printf 'u' > outside/deep/up.txt

# Absolute and climbing inputs: their leading parts taken off, said once.
mksfx create -q --stub "$STUB" -o abs.exe "$WORK/tree/docs" "$WORK/outside" -C tree ../outside/deep/up.txt 2>err.txt \
  || fail "absolute inputs: $(cat err.txt)"
[ "$(cat err.txt)" = "mksfx: removing leading '/' and '../' from entry names" ] || fail "the word on stripping: $(cat err.txt)"
w=${WORK#/}
[ "$(entries abs.exe | tr '\n' ' ')" = "$w/tree/docs/ $w/tree/docs/note.tmp $w/tree/docs/read.txt $w/outside/ $w/outside/deep/ $w/outside/deep/up.txt outside/deep/up.txt " ] \
  || fail "absolute entries: $(entries abs.exe | tr '\n' ' ')"
mksfx test -q abs.exe >/dev/null || fail "mksfx test abs.exe"
mksfx create -q --stub "$STUB" -o up.exe -C tree/src ../docs 2>err.txt
[ "$(cat err.txt)" = "mksfx: removing leading '../' from entry names" ] || fail "the word on ../: $(cat err.txt)"
[ "$(entries up.exe | tr '\n' ' ')" = "docs/ docs/note.tmp docs/read.txt " ] || fail "../ entries: $(entries up.exe | tr '\n' ' ')"
mksfx create -q --stub "$STUB" -o rel.exe -C tree src 2>err.txt
[ ! -s err.txt ] || fail "a word on stripping where nothing was stripped: $(cat err.txt)"
# Stripped names that meet are one name given twice.
mkdir -p clash/a && printf 'a' > clash/a/f.txt && printf 'b' > clash/f.txt
rc=0; mksfx create --stub "$STUB" -o twice.exe -C clash/a f.txt ../f.txt 2>err.txt || rc=$?
[ $rc -eq 1 ] && [ ! -e twice.exe ] && tail -1 err.txt | grep -q "'f.txt' is given twice" || fail "stripped names that meet: exit $rc, $(cat err.txt)"

# --exclude: a pattern without "/" against each name's last part, with "/"
# against the whole name; a folder with everything in it.
mksfx create -q --stub "$STUB" -o ex.exe -x '*.o' -x build --exclude='docs/*.tmp' -C tree .
[ "$(entries ex.exe | tr '\n' ' ')" = "docs/ docs/read.txt src/ src/a.c src/rebuild.txt " ] \
  || fail "excluded: $(entries ex.exe | tr '\n' ' ')"
python3 "$CHECK" ex.exe
mksfx create -q --stub "$STUB" -o ex2.exe -x 'src/*' -C tree .
[ "$(entries ex2.exe | tr '\n' ' ')" = "docs/ docs/note.tmp docs/read.txt " ] || fail "src/*: $(entries ex2.exe | tr '\n' ' ')"
# A named input is left out too; the patterns see the stored name.
mksfx create -q --stub "$STUB" -o ex3.exe -x 'tree/docs' tree/docs tree/src/a.c
[ "$(entries ex3.exe)" = "tree/src/a.c" ] || fail "named and excluded: $(entries ex3.exe | tr '\n' ' ')"
fails_cleanly "nothing to do" none.exe -- create --stub "$STUB" -o none.exe -x '*' -C tree .
# From a .zip: its entries by the same rule.
(cd tree && zip -q -r ../in.zip .)
mksfx create -q --stub "$STUB" -o exzip.exe -x '*.o' -x build in.zip
[ "$(entries exzip.exe | sort | tr '\n' ' ')" = "docs/ docs/note.tmp docs/read.txt src/ src/a.c src/rebuild.txt " ] \
  || fail "excluded from a .zip: $(entries exzip.exe | sort | tr '\n' ' ')"
fails_cleanly "nothing to do: --exclude leaves out every entry of in.zip" none.exe -- create --stub "$STUB" -o none.exe -x '*' in.zip

# -@ and --files-from: one name a line, empty lines and a "\r" ignored,
# after the operands, each list in its order.
printf 'src/a.c\n\ndocs/read.txt\r\n' | mksfx create -q --stub "$STUB" -o list.exe -C tree -@
[ "$(entries list.exe | tr '\n' ' ')" = "src/a.c docs/read.txt " ] || fail "-@: $(entries list.exe | tr '\n' ' ')"
printf 'docs\n' > names.txt
printf 'src/a.o\n' | mksfx create -q --stub "$STUB" -o list2.exe -C tree --files-from names.txt src/a.c --files-from -
[ "$(entries list2.exe | tr '\n' ' ')" = "src/a.c docs/ docs/note.tmp docs/read.txt src/a.o " ] \
  || fail "--files-from: $(entries list2.exe | tr '\n' ' ')"
fails_cleanly "cannot read the list nolist.txt: No such file or directory" l.exe -- \
  create --stub "$STUB" -o l.exe --files-from nolist.txt

# -v: one line for each entry, in archive order, with what was done to it.
seq 1 5000 > tree/docs/numbers.txt
mksfx create -v --stub "$STUB" -o v.exe -C tree docs >out.txt 2>err.txt
[ ! -s err.txt ] || fail "-v wrote to stderr: $(cat err.txt)"
[ "$(grep -c '^  adding: ' out.txt)" -eq 4 ] || fail "-v lines: $(cat out.txt)"
[ "$(grep '^  adding: ' out.txt | sed 's/^  adding: \([^ ]*\) .*/\1/' | tr '\n' ' ')" = "$(entries v.exe | tr '\n' ' ')" ] \
  || fail "-v order: $(cat out.txt)"
grep -qx "  adding: docs/numbers.txt (deflated [0-9]*%)" out.txt || fail "-v deflated: $(cat out.txt)"
grep -qx "  adding: docs/read.txt (stored 0%)" out.txt || fail "-v stored: $(cat out.txt)"
grep -q "^v.exe: 4 entries" out.txt || fail "-v lost the summary: $(cat out.txt)"
mksfx create -v -q --password pw --stub "$STUB" -o vp.exe -C tree docs/read.txt >out.txt
[ "$(cat out.txt)" = "  adding: docs/read.txt (stored 0%), encrypted" ] || fail "-v -q: $(cat out.txt)"

# Inputs that cannot be read: named with the system's reason.
fails_cleanly "cannot read missing.txt: No such file or directory" bad.exe -- create --stub "$STUB" -o bad.exe missing.txt
ln -s nowhere tree/dangling
fails_cleanly "cannot read tree/dangling: No such file or directory (a link to nowhere)" bad.exe -- \
  create --stub "$STUB" -o bad.exe tree
# --skip-unreadable: a warning each, the rest written, exit 1 at the end.
rc=0; mksfx create --stub "$STUB" -o skip.exe --skip-unreadable tree missing.txt >out.txt 2>err.txt || rc=$?
[ $rc -eq 1 ] || fail "--skip-unreadable: exit $rc, $(cat err.txt)"
grep -qx "mksfx: warning: cannot read tree/dangling: No such file or directory (a link to nowhere); left out" err.txt \
  || fail "no warning for the link: $(cat err.txt)"
grep -qx "mksfx: warning: cannot read missing.txt: No such file or directory; left out" err.txt || fail "$(cat err.txt)"
[ "$(tail -1 err.txt)" = "mksfx: 2 inputs could not be read and are left out of skip.exe" ] || fail "last line: $(cat err.txt)"
grep -q "^skip.exe: 12 entries" out.txt || fail "summary: $(cat out.txt)"
! entries skip.exe | grep -q dangling || fail "the link was packed"
mksfx test -q skip.exe >/dev/null || fail "the program written under --skip-unreadable does not pass"
rm tree/dangling

# A file and a folder without read permission (as an unprivileged user
# when the tests run as root, whom permissions do not stop).
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  command -v setpriv >/dev/null || { echo "no setpriv: permission cases left out"; echo "inputs as tar and zip take them"; exit 0; }
  as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fi
mkdir -p perm/locked && chmod 777 perm
printf 'secret' > perm/secret.txt && printf 'open' > perm/open.txt && printf 'in' > perm/locked/in.txt
chmod 000 perm/secret.txt perm/locked
rc=0; "${as_user[@]}" "$MKSFX" create --stub "$STUB" -o perm/p.exe -C perm . >out.txt 2>err.txt || rc=$?
[ $rc -eq 1 ] && grep -qx "mksfx: cannot read perm/locked: Permission denied" err.txt || fail "locked folder: exit $rc, $(cat err.txt)"
[ ! -e perm/p.exe ] || fail "a program was written"
rc=0; "${as_user[@]}" "$MKSFX" create --stub "$STUB" -o perm/p.exe -C perm open.txt secret.txt >out.txt 2>err.txt || rc=$?
[ $rc -eq 1 ] && grep -qx "mksfx: cannot read perm/secret.txt: Permission denied" err.txt || fail "locked file: exit $rc, $(cat err.txt)"
rc=0; "${as_user[@]}" "$MKSFX" create -q --skip-unreadable --stub "$STUB" -o perm/p.exe -C perm . >out.txt 2>err.txt || rc=$?
[ $rc -eq 1 ] || fail "--skip-unreadable with locked inputs: exit $rc, $(cat err.txt)"
grep -qx "mksfx: warning: cannot read perm/locked: Permission denied; left out" err.txt || fail "warnings: $(cat err.txt)"
grep -qx "mksfx: warning: cannot read perm/secret.txt: Permission denied; left out" err.txt || fail "warnings: $(cat err.txt)"
[ "$(entries perm/p.exe | tr '\n' ' ')" = "locked/ open.txt " ] || fail "entries: $(entries perm/p.exe | tr '\n' ' ')"
chmod 755 perm/locked && chmod 644 perm/secret.txt
echo "inputs as tar and zip take them"

#!/usr/bin/env bash
# Files beside the output whose names are like its volumes: only real
# volumes (<stem>.z02, ... as the writer names them) found in a folder input
# are left out, with a word on stderr; a file named on the command line is
# never left out (a volume named so is refused: the run would replace or
# remove it). Volumes of an earlier split run that a run does not write again
# are removed once it has written its own, and not when it fails. A run with
# nothing to pack is refused.
source "$KORVI_SOURCE/tests/tool/lib.sh"

# entries FILE: the entry names, one a line.
entries() { python3 -c "import sys, zipfile; print('\n'.join(zipfile.ZipFile(sys.argv[1]).namelist()))" "$1"; }

# Look-alikes beside app.exe are packed, and so is every file named.
mkdir -p t
for f in app.zip app.zoo app.z1 app.z01 app.z002 app.z02.txt other.z02 app.Z02; do printf '%s' "$f" > "t/$f"; done
mksfx create --stub "$STUB" -o t/app.exe -C t . >out.txt 2>err.txt
[ ! -s err.txt ] || fail "a word on stderr with no volume beside: $(cat err.txt)"
[ "$(entries t/app.exe | sort | tr '\n' ' ')" = "app.Z02 app.z002 app.z01 app.z02.txt app.z1 app.zip app.zoo other.z02 " ] \
  || fail "look-alikes left out: $(entries t/app.exe | tr '\n' ' ')"
rm t/app.exe
mksfx create -q --stub "$STUB" -o t/app.exe t/app.zoo
[ "$(entries t/app.exe)" = "t/app.zoo" ] || fail "a named file was left out: $(entries t/app.exe)"
rm t/app.exe

# Real volumes of the output found in a folder input: left out, and named.
mkdir -p v/sub
printf 'keep' > v/keep.txt
printf 'old volume' > v/app.z02
printf 'old volume' > v/app.z10
printf 'not beside' > v/sub/app.z02
mksfx create --stub "$STUB" -o v/app.exe v >out.txt 2>err.txt
grep -qx "mksfx: left out v/app.z02: a volume of an earlier split run of v/app.exe" err.txt || fail "no word of v/app.z02: $(cat err.txt)"
grep -qx "mksfx: left out v/app.z10: a volume of an earlier split run of v/app.exe" err.txt || fail "no word of v/app.z10: $(cat err.txt)"
[ "$(entries v/app.exe | tr '\n' ' ')" = "v/ v/keep.txt v/sub/ v/sub/app.z02 " ] || fail "entries: $(entries v/app.exe | tr '\n' ' ')"
# ... and, this run being one file, removed once it is written.
grep -qx "mksfx: removed 2 volumes of an earlier split run of v/app.exe: v/app.z02, v/app.z10" err.txt \
  || fail "no word of the removal: $(cat err.txt)"
[ ! -e v/app.z02 ] && [ ! -e v/app.z10 ] || fail "stale volumes left beside v/app.exe: $(ls v)"
[ -e v/sub/app.z02 ] || fail "a file below was removed"

# A volume named on the command line is refused, and keeps its bytes.
printf 'old volume' > v/app.z03
fails_cleanly "v/app.z03 (one of the inputs) is a volume of an earlier split run of the output v/app.exe" v/app.z03 -- \
  create --stub "$STUB" -o v/app.exe v/keep.txt v/app.z03
rm v/app.z03

# Split runs: one of 4 volumes, then one of 2, then one file.
mkdir -p big
head -c 120000 /dev/urandom > big/random.bin
mksfx create -q --stub "$STUB" -o s.exe --split 64k big
[ -e s.z03 ] && [ ! -e s.z04 ] || fail "expected 3 volumes: $(ls s.*)"
printf 'stale' > s.z04
printf 'stale' > s.z05
head -c 70000 big/random.bin > small.bin
mksfx create --stub "$STUB" -o s.exe --split 64k small.bin >out.txt 2>err.txt
grep -qx "mksfx: removed 3 volumes of an earlier split run of s.exe: s.z03, s.z04, s.z05" err.txt || fail "$(cat err.txt)"
[ "$(ls s.*| tr '\n' ' ')" = "s.exe s.z02 " ] || fail "volumes after the second run: $(ls s.*)"
mksfx test -q s.exe >/dev/null || fail "mksfx test of the second run"
# A failing run removes nothing.
printf 'x' > con.txt
fails_cleanly "'con.txt' is a name Windows refuses" s.exe -- create --stub "$STUB" -o s.exe con.txt
[ -e s.z02 ] || fail "a failed run removed a volume"
mksfx create --stub "$STUB" -o s.exe small.bin >out.txt 2>err.txt
grep -qx "mksfx: removed 1 volume of an earlier split run of s.exe: s.z02" err.txt || fail "$(cat err.txt)"
[ "$(ls s.*)" = "s.exe" ] || fail "a one-file run left volumes: $(ls s.*)"
python3 "$CHECK" s.exe
mksfx test -q s.exe >/dev/null || fail "mksfx test of the one-file run"

# Nothing to pack: an empty folder's contents, an empty .zip, a folder
# holding nothing but the output's old volumes.
mkdir -p empty
fails_cleanly "nothing to do: the inputs hold no files or folders" e.exe -- create --stub "$STUB" -o e.exe -C empty .
python3 -c "import zipfile; zipfile.ZipFile('empty.zip', 'w').close()"
fails_cleanly "nothing to do: empty.zip holds no entries" e.exe -- create --stub "$STUB" -o e.exe empty.zip
printf 'old' > empty/e.z02
rc=0; mksfx create --stub "$STUB" -o empty/e.exe -C empty . >out.txt 2>err.txt || rc=$?
[ $rc -eq 1 ] || fail "nothing but old volumes: exit $rc"
grep -qx "mksfx: left out empty/e.z02: a volume of an earlier split run of empty/e.exe" err.txt || fail "$(cat err.txt)"
grep -qx "mksfx: nothing to do: the inputs hold no files or folders" err.txt || fail "$(cat err.txt)"
[ -e empty/e.z02 ] && [ ! -e empty/e.exe ] || fail "an empty run changed the folder: $(ls empty)"
echo "only real volumes left out, named; stale ones removed after a run; nothing to do refused"

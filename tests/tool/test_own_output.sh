#!/usr/bin/env bash
# An output that is one of the files the run reads is refused before
# anything is written, whichever way it is reached: named itself, found in a
# folder input (also through a link), a hard link, the .zip input, the stub,
# the signing or password files, the list of inputs. The input keeps its
# bytes.
source "$KORVI_SOURCE/tests/tool/lib.sh"
mkdir -p tree/sub
echo data > a.txt
printf 'b' > tree/b.txt
printf 'c' > tree/sub/c.txt

# Named itself, with the same spelling and with another one.
fails_cleanly "the output a.txt is one of the inputs (a.txt)" a.txt -- create --stub "$STUB" -o a.txt a.txt
[ "$(cat a.txt)" = data ] || fail "a.txt lost its bytes"
fails_cleanly "the output ./a.txt is one of the inputs" a.txt -- create --stub "$STUB" -o ./a.txt tree a.txt
fails_cleanly "the output $WORK/a.txt is one of the inputs (a.txt)" a.txt -- create --stub "$STUB" -o "$WORK/a.txt" a.txt
[ "$(cat a.txt)" = data ] || fail "a.txt lost its bytes"

# Found in a folder input: a file of the tree, and an earlier program.
fails_cleanly "the output tree/sub/c.txt is one of the inputs (tree/sub/c.txt)" tree/sub/c.txt -- \
  create --stub "$STUB" -o tree/sub/c.txt tree
mksfx create -q --stub "$STUB" -o tree/self.exe -C tree .
! mksfx list tree/self.exe | grep -q "self" || fail "the output was packed into itself"
fails_cleanly "the output tree/self.exe is one of the inputs (tree/self.exe)" tree/self.exe -- \
  create -q --stub "$STUB" -o tree/self.exe -C tree .
rm tree/self.exe
# Through a linked folder and a hard link.
ln -s tree linked
fails_cleanly "the output tree/b.txt is one of the inputs (linked/b.txt)" tree/b.txt -- \
  create --stub "$STUB" -o tree/b.txt linked
ln a.txt hard.txt
fails_cleanly "the output hard.txt is one of the inputs (a.txt)" hard.txt -- create --stub "$STUB" -o hard.txt a.txt
[ "$(cat a.txt)" = data ] || fail "a.txt lost its bytes through its hard link"

# The .zip input.
(cd tree && zip -q -r ../in.zip .)
fails_cleanly "the output in.zip is one of the inputs (in.zip)" in.zip -- create --stub "$STUB" -o in.zip in.zip
unzip -tq in.zip >/dev/null || fail "in.zip was damaged"

# The other files a run reads.
cp "$STUB" mystub.exe
fails_cleanly "the output mystub.exe is the stub (mystub.exe)" mystub.exe -- create --stub mystub.exe -o mystub.exe tree
cmp -s "$STUB" mystub.exe || fail "the stub was changed"
printf 'secret\n' > pw.txt
fails_cleanly "the output pw.txt is the password file (pw.txt)" pw.txt -- create --stub "$STUB" -o pw.txt --password-file pw.txt tree
printf 'key' > key.pem
printf 'cert' > cert.pem
fails_cleanly "the output key.pem is the signing key (key.pem)" key.pem -- \
  create --stub "$STUB" -o key.pem --sign-cert cert.pem --sign-key key.pem tree
# The lists of inputs: --files-from FILE, and standard input (-@ or
# --files-from -) redirected from the output, or from a hard link to it.
# The list was read already; replaced, it would be lost all the same.
printf 'a.txt\ntree\n' > files.lst
fails_cleanly "the output files.lst is the list of inputs (files.lst)" files.lst -- \
  create --stub "$STUB" -o files.lst --files-from files.lst
fails_cleanly "the output ./files.lst is the list of inputs (files.lst)" files.lst -- \
  create --stub "$STUB" -o ./files.lst a.txt --files-from files.lst
fails_cleanly "the output files.lst is the list of inputs (standard input)" files.lst -- \
  create --stub "$STUB" -o files.lst -@ <files.lst
fails_cleanly "the output files.lst is the list of inputs (standard input)" files.lst -- \
  create --stub "$STUB" -o files.lst --files-from - <files.lst
ln files.lst hard.lst
fails_cleanly "the output hard.lst is the list of inputs (files.lst)" hard.lst -- \
  create --stub "$STUB" -o hard.lst --files-from files.lst
fails_cleanly "the output hard.lst is the list of inputs (standard input)" hard.lst -- \
  create --stub "$STUB" -o hard.lst -@ <files.lst
[ "$(cat files.lst)" = "$(printf 'a.txt\ntree')" ] || fail "files.lst lost its bytes: $(cat files.lst)"
# Read from another file, or through a pipe, the list is no trouble.
mksfx create -q --stub "$STUB" -o list.exe -@ <files.lst
python3 "$CHECK" list.exe
printf 'a.txt\n' | mksfx create -q --stub "$STUB" -o list.exe -@
python3 "$CHECK" list.exe
rm list.exe hard.lst

# A folder as the output.
rc=0; mksfx create --stub "$STUB" -o tree/sub a.txt 2>err.txt || rc=$?
[ $rc -eq 1 ] && grep -qx "mksfx: the output tree/sub is a folder; it is left as it is" err.txt || fail "a folder as the output: exit $rc, $(cat err.txt)"
[ "$(ls tree/sub)" = c.txt ] || fail "the folder was changed: $(ls tree/sub)"

# Beside the inputs, not among them: written as ever.
mksfx create -q --stub "$STUB" -o out.exe a.txt tree
python3 "$CHECK" out.exe
echo "an output among the inputs refused, every input intact"

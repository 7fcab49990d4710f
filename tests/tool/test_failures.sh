#!/usr/bin/env bash
# Bad input to mksfx create: each gives one line on stderr naming the
# reason, a non-zero exit, and no file under the output name (an existing
# one keeps its bytes) and no temporary beside it. test_inputs.sh has more
# of the inputs that cannot be read.
source "$KORVI_SOURCE/tests/tool/lib.sh"
mkdir -p tree/sub
printf 'a' > tree/a.txt
printf 'b' > tree/sub/b.txt

fails_cleanly "cannot read missing: " out.exe -- create --stub "$STUB" -o out.exe missing
ln -s nowhere tree/dangling
fails_cleanly "cannot read tree/dangling: No such file or directory" out.exe -- create --stub "$STUB" -o out.exe tree
rm tree/dangling
mkfifo tree/fifo
fails_cleanly "tree/fifo is neither a file nor a folder" out.exe -- create --stub "$STUB" -o out.exe tree
rm tree/fifo
# Names the stub refuses, found in a tree.
for bad in 'con.txt' 'sub/AUX' 'star*.txt' 'ask?.txt' 'pipe|.txt' 'back\slash.txt' 'colon:.txt' $'tab\t.txt'; do
  mkdir -p "bad/$(dirname "$bad")" && printf 'x' > "bad/$bad"
  fails_cleanly "'$bad' " out.exe -- create --stub "$STUB" -o out.exe -C bad .
  rm -rf bad
done
mkdir -p bad && printf 'x' > "bad/$(printf 'latin1-\xe9.txt')"
fails_cleanly "is not UTF-8" out.exe -- create --stub "$STUB" -o out.exe -C bad .
rm -rf bad

# Block texts beyond the block's limits or its 8-bit code page.
long=$(printf 'c%.0s' $(seq 1 250))
usage_error "take 250 bytes; the block holds 249" out.exe -- create --stub "$STUB" -o out.exe --caption "$long" tree
usage_error "take 250 bytes; the block holds 249" out.exe -- \
  create --stub "$STUB" -o out.exe --caption "${long:0:100}" --dest "${long:0:100}" --run "${long:0:50}" tree
usage_error "the caption has a character outside Windows-1252" out.exe -- create --stub "$STUB" -o out.exe --caption "日本" tree
usage_error "the caption holds a control character" out.exe -- create --stub "$STUB" -o out.exe --caption $'a\nb' tree
usage_error "the destination holds {tmp}" out.exe -- create --stub "$STUB" -o out.exe --dest '{tmp}\x' tree
usage_error "--wait-delete needs --run" out.exe -- create --stub "$STUB" -o out.exe --wait-delete tree
usage_error "--verify is for single-file programs, not with --split" out.exe -- \
  create --stub "$STUB" -o out.exe --verify --split 1m tree
usage_error "a version text is KEY=VALUE, not 'ProductName'" out.exe -- \
  create --stub "$STUB" -o out.exe --version-info ProductName tree
# The stand-in stub has no version resource (the real one's are tested under Wine).
fails_cleanly "the stub has no version resource" out.exe -- create --stub "$STUB" -o out.exe --version-info ProductName=x tree
# Options.
usage_error "longer than the 32,767 characters the stub's password field takes" out.exe -- \
  create --stub "$STUB" -o out.exe --password "$(printf 'p%.0s' $(seq 1 32768))" tree
usage_error "the password is empty" out.exe -- create --stub "$STUB" -o out.exe --password '' tree
usage_error "--level takes 1 to 12" out.exe -- create --stub "$STUB" -o out.exe --level 13 tree
usage_error "--split needs at least 65,536 bytes" out.exe -- create --stub "$STUB" -o out.exe --split 60k tree
usage_error "--split takes a size" out.exe -- create --stub "$STUB" -o out.exe --split lots tree
usage_error "a split program cannot be signed" out.exe -- \
  create --stub "$STUB" -o out.exe --split 1m --sign-cert c.pem --sign-key k.pem tree
fails_cleanly "cannot read the stub nostub.exe" out.exe -- create --stub nostub.exe -o out.exe tree
head -c 1000 "$STUB" > short.exe
fails_cleanly "short.exe is no stub" out.exe -- create --stub short.exe -o out.exe tree
usage_error "unknown option --frobnicate" out.exe -- create --stub "$STUB" -o out.exe --frobnicate tree
usage_error "no output file" out.exe -- create --stub "$STUB" tree
usage_error "nothing to pack" out.exe -- create --stub "$STUB" -o out.exe
fails_cleanly "cannot read the password from nopw.txt" out.exe -- create --stub "$STUB" -o out.exe --password-file nopw.txt tree
fails_cleanly "no terminal to ask for the password" out.exe -- create --stub "$STUB" -o out.exe --encrypt tree </dev/null

# An existing output keeps its bytes when a run fails while its temporary
# is open, and is replaced whole on success.
printf 'old program' > out.exe
mkdir -p late/a late/z && printf 'x' > late/a/good.txt && printf 'x' > late/z/nul
fails_cleanly "'z/nul' is a name Windows refuses" out.exe -- create --stub "$STUB" -o out.exe -C late .
mksfx create -q --stub "$STUB" -o out.exe tree
python3 "$CHECK" out.exe
# An output inside the tree it packs is not packed into itself (a second
# run, with the program there, is refused: test_own_output.sh).
mksfx create -q --stub "$STUB" -o tree/self.exe -C tree .
! mksfx list tree/self.exe | grep -q "self" || fail "the output was packed into itself"
rm tree/self.exe
# A failure after the archive was written (signing) leaves nothing either.
printf 'old program' > signed.exe
fails_cleanly "cannot read missing.pem" signed.exe -- create --stub "$STUB" -o signed.exe --sign-cert missing.pem --sign-key missing.pem tree
printf 'no certificate' > bad.pem
fails_cleanly "osslsigncode failed: " signed.exe -- \
  create --stub "$STUB" -o signed.exe --sign-cert bad.pem --sign-key bad.pem tree
# An unwritable output folder.
fails_cleanly "cannot create nofolder/out.exe: No such file or directory" nofolder/out.exe -- \
  create --stub "$STUB" -o nofolder/out.exe tree

# list and test of what is no self-extracting file: list says why on
# stderr, test on stdout, its one stream.
printf 'hello' > hello.txt
test_fails "mksfx: hello.txt is not a self-extracting file" hello.txt
fails_cleanly "cannot read nothing.exe" hello.exe -- list nothing.exe
test_fails "mksfx: cannot read nothing.exe" nothing.exe
usage_error "test takes one self-extracting file" hello.exe -- test
usage_error "unknown option --frobnicate" hello.exe -- test --frobnicate hello.txt
echo "every bad input refused with one line, nothing left behind"

#!/usr/bin/env bash
# Where mksfx create writes: through a link to its target (the link stays),
# never over a device, FIFO or socket (refused, told, left as they are);
# "-o -" to standard output, the same bytes as a file, refused with --split
# and signing and onto a terminal; SOURCE_DATE_EPOCH for outputs that are
# the same bytes run after run; the summary's "1 entry".
source "$KORVI_SOURCE/tests/tool/lib.sh"
mkdir -p tree/sub real
seq 1 400000 > tree/sub/numbers.txt  # several pieces
printf 'a' > tree/a.txt
mksfx create -q --stub "$STUB" -o plain.exe -C tree .

# Through a link, and a chain of two: the target is written, the links stay.
printf 'old program' > real/prog.exe
ln -s real/prog.exe link.exe
ln -s link.exe link2.exe
mksfx create -q --stub "$STUB" -o link2.exe -C tree .
[ -L link.exe ] && [ -L link2.exe ] && [ "$(readlink link.exe)" = real/prog.exe ] || fail "a link was replaced: $(ls -l link*.exe)"
[ -f real/prog.exe ] && [ ! -L real/prog.exe ] || fail "the target is not a file"
cmp -s real/prog.exe plain.exe || fail "the target does not hold the program"
! ls real | grep -q mksfx- || fail "a temporary was left beside the target: $(ls real)"
# A link to nowhere: its target is made, as a shell's ">" makes it.
ln -s real/new.exe dangling.exe
mksfx create -q --stub "$STUB" -o dangling.exe -C tree .
[ -L dangling.exe ] && cmp -s real/new.exe plain.exe || fail "a link to nowhere: $(ls -l dangling.exe real)"
# A loop of links is refused and left.
ln -s loop2.exe loop1.exe && ln -s loop1.exe loop2.exe
fails_cleanly "the output loop1.exe is a loop of links; it is left as it is" loop1.exe -- create --stub "$STUB" -o loop1.exe tree
[ -L loop1.exe ] && [ -L loop2.exe ] || fail "the loop was changed"

# A FIFO, a device and a link to a FIFO: refused, told, left as they are.
mkfifo pipe.exe
fails_cleanly "the output pipe.exe is a FIFO; mksfx replaces only regular files" pipe.exe -- create --stub "$STUB" -o pipe.exe tree
[ -p pipe.exe ] || fail "the FIFO was replaced"
fails_cleanly "the output /dev/null is a device; mksfx replaces only regular files" /dev/null -- \
  create --stub "$STUB" -o /dev/null tree
[ -c /dev/null ] || fail "/dev/null is no device any more"
ln -s pipe.exe topipe.exe
fails_cleanly "the output topipe.exe (pipe.exe) is a FIFO" topipe.exe -- create --stub "$STUB" -o topipe.exe tree
[ -L topipe.exe ] && [ -p pipe.exe ] || fail "the link or the FIFO was changed"

# Standard output: the same bytes as the file, through a pipe too; the
# summary and -v's lines go to stderr then.
mksfx create --stub "$STUB" -o - -C tree . >stdout.exe 2>err.txt
cmp -s stdout.exe plain.exe || fail "-o - wrote other bytes than -o FILE"
grep -q "^standard output: 3 entries, " err.txt || fail "-o - summary: $(cat err.txt)"
mksfx create -v --stub "$STUB" -o - -C tree . 2>err.txt | cat >piped.exe
cmp -s piped.exe plain.exe || fail "-o - through a pipe"
[ "$(grep -c "^  adding: " err.txt)" -eq 3 ] || fail "-v with -o -: $(cat err.txt)"
mksfx test -q stdout.exe >/dev/null || fail "mksfx test of what -o - wrote"
usage_error "-o - cannot be split" x.exe -- create --stub "$STUB" -o - --split 1m tree
usage_error "-o - cannot be signed" x.exe -- create --stub "$STUB" -o - --sign-cert c.pem --sign-key k.pem tree
# Redirected into one of its inputs: refused (the shell has emptied it).
printf 'input' > tree2.txt
rc=0; mksfx create --stub "$STUB" -o - tree2.txt >>tree2.txt 2>err.txt || rc=$?
[ $rc -eq 1 ] && grep -qx "mksfx: standard output is one of the inputs (tree2.txt); name another output" err.txt \
  || fail "stdout into an input: exit $rc, $(cat err.txt)"
[ "$(cat tree2.txt)" = input ] || fail "the input was written to"
if command -v script >/dev/null; then
  script -qec "'$MKSFX' create --stub '$STUB' -o - tree; echo \"rc=\$?\"" /dev/null >tty.txt
  grep -q "a program is not written to a terminal" tty.txt && grep -q "rc=1" tty.txt || fail "onto a terminal: $(cat tty.txt)"
fi

# SOURCE_DATE_EPOCH: no entry later than it, so two runs give one program
# even when the files are touched in between, whatever the threads.
export TZ=UTC
touch -d '2001-02-03 04:05:06' tree/a.txt
SOURCE_DATE_EPOCH=1700000000 mksfx create -q --stub "$STUB" -o r1.exe -C tree .
touch tree/sub/numbers.txt tree/sub tree
SOURCE_DATE_EPOCH=1700000000 mksfx create -q --stub "$STUB" -o r2.exe --threads 1 -C tree .
cmp -s r1.exe r2.exe || fail "two runs with SOURCE_DATE_EPOCH differ"
mksfx list r1.exe >list.txt
grep -q "2023-11-14 22:13:20 .* sub/numbers.txt$" list.txt || fail "a newer file keeps its time: $(cat list.txt)"
grep -q "2023-11-14 22:13:20 .* sub/$" list.txt || fail "a newer folder keeps its time: $(cat list.txt)"
grep -q "2001-02-03 04:05:06 .* a.txt$" list.txt || fail "an older file lost its time: $(cat list.txt)"
# An odd second is taken down, never up past it; a .zip's entries too.
(cd tree && zip -q -r ../in.zip .)
SOURCE_DATE_EPOCH=1700000001 mksfx create -q --stub "$STUB" -o rz.exe in.zip
mksfx list rz.exe | grep -q "2023-11-14 22:13:20 .* sub/numbers.txt$" || fail "a .zip's entries: $(mksfx list rz.exe)"
mksfx list rz.exe | grep -q "2001-02-03 04:05:06 .* a.txt$" || fail "a .zip's older entry: $(mksfx list rz.exe)"
SOURCE_DATE_EPOCH=soon usage_error "SOURCE_DATE_EPOCH is not a number of seconds since 1970: 'soon'" x.exe -- \
  create --stub "$STUB" -o x.exe tree
mksfx create -q --stub "$STUB" -o r3.exe -C tree .
! cmp -s r1.exe r3.exe || fail "without SOURCE_DATE_EPOCH the new times should show"

# One entry is "1 entry", in create, list and test.
mksfx create --stub "$STUB" -o one.exe tree/a.txt >out.txt
grep -q "^one.exe: 1 entry, 1 bytes in" out.txt || fail "create: $(cat out.txt)"
mksfx list one.exe | tail -1 | grep -q "^1 entry, 1 bytes, 1 packed (100.0%), 1 volume$" || fail "list: $(mksfx list one.exe)"
mksfx test one.exe | tail -1 | grep -q "^one.exe: 1 entry, 1 bytes, every CRC matches" || fail "test: $(mksfx test one.exe)"
echo "outputs through links, to standard output, reproducible, in words that count"

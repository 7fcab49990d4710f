#!/usr/bin/env bash
# The command line: --help and --version, GNU-style long options with "=",
# "--" before names that start with "-", usage errors (exit 2, one line),
# the progress bar only on a terminal, the summary line, and the first
# mksfx's form (--stub --zip --out) that the stub's own tests still use.
source "$KORVI_SOURCE/tests/tool/lib.sh"
mkdir -p tree
printf 'x' > tree/x.txt
printf 'dash' > tree/-dash.txt

mksfx --help >help.txt && grep -q "^Usage: mksfx create -o PROGRAM.exe" help.txt || fail "--help"
for option in --caption --dest --run --overwrite --auto --wait-delete --verify --version-info --level --store --password --password-file \
              --encrypt --recompress --split --sign-cert --sign-key --stub --directory --output --threads --exclude \
              --files-from --skip-unreadable --verbose --sign-pkcs12 --sign-pass --sign-pass-file --sign-timestamp; do
  grep -q -- "$option" help.txt || fail "--help does not name $option"
done
mksfx create --help >create-help.txt && grep -q "^Usage:" create-help.txt || fail "create --help"
mksfx --version | grep -q "^mksfx [0-9.]* (Korvi EXE; stub of $KORVI_STUB_SIZE bytes; Deflate by libdeflate)$" || fail "--version"

rc=0; mksfx >out.txt 2>err.txt || rc=$?
[ $rc -eq 2 ] && [ "$(wc -l <err.txt)" -eq 1 ] || fail "no command: exit $rc, $(cat err.txt)"
rc=0; mksfx pack x 2>err.txt || rc=$?
[ $rc -eq 2 ] && grep -q "unknown command pack" err.txt || fail "unknown command: exit $rc"
rc=0; mksfx test 2>err.txt || rc=$?
[ $rc -eq 2 ] && grep -q "test takes one self-extracting file" err.txt || fail "test without a file: exit $rc"
rc=0; mksfx create --output 2>err.txt || rc=$?
[ $rc -eq 2 ] && grep -q "option --output needs a value" err.txt || fail "option without its value: exit $rc"
rc=0; mksfx create --store=yes -o x.exe tree 2>err.txt || rc=$?
[ $rc -eq 2 ] && grep -q "option --store takes no value" err.txt || fail "flag with a value: exit $rc"

# "=" forms, "--", -C, and the summary on stdout with nothing on stderr.
mksfx create --stub="$STUB" --output=eq.exe --level=3 --caption='A b' --directory=tree -- -dash.txt x.txt >out.txt 2>err.txt
[ ! -s err.txt ] || fail "stderr not empty off a terminal: $(cat err.txt)"
grep -Eq "^eq.exe: 2 entries, 5 bytes in, [0-9,]+ bytes out \([0-9.]+% of in\), [0-9,]+ bytes written, [0-9.]+ s$" out.txt \
  || fail "summary: $(cat out.txt)"
mksfx list eq.exe >list.txt
grep -q '^block: caption "A b", destination "", run ""$' list.txt || fail "block: $(cat list.txt)"
grep -q " -dash.txt$" list.txt || fail "-dash.txt: $(cat list.txt)"
# --verify sets the block's flag for a test before the extraction; list says so.
mksfx create --stub "$STUB" -o verify.exe --verify --auto tree >/dev/null
mksfx list verify.exe | grep -q '^block: caption "", destination "", run "", auto, verify$' || fail "verify: $(mksfx list verify.exe)"

# On a terminal a long run shows its bar on stderr; the summary stays.
if command -v script >/dev/null; then
  # About a second and a half at the highest level on one thread.
  python3 -c "import random; random.seed(1); w = 'a run of words that the compressor takes its time with'.split()
print(' '.join(random.choice(w) for _ in range(1200000)))" > tree/big.txt
  script -qec "'$MKSFX' create --stub '$STUB' -o big.exe --level 12 --threads 1 -C tree big.txt" /dev/null >tty.txt
  grep -q '\[#*\.*\] *[0-9]*%  big.txt' tty.txt || fail "no progress bar on a terminal: $(head -c 300 tty.txt)"
  tr '\r' '\n' <tty.txt | grep -q "^big.exe: 1 entry, " || fail "no summary on a terminal"
  mksfx create -q --stub "$STUB" -o big2.exe -C tree big.txt 2>err.txt
  [ ! -s err.txt ] || fail "a bar off a terminal"
  # -v names the entries instead of drawing a bar.
  script -qec "'$MKSFX' create -v --stub '$STUB' -o big3.exe --level 12 --threads 1 -C tree big.txt" /dev/null >tty.txt
  ! grep -q '\[#*\.*\]' tty.txt || fail "a bar with -v: $(head -c 300 tty.txt)"
  grep -q "^  adding: big.txt (deflated [0-9]*%)" tty.txt || fail "no -v line on a terminal: $(head -c 300 tty.txt)"
fi

# The first mksfx's form: the archive's bytes follow the stub unchanged.
(cd tree && zip -q ../raw.zip x.txt)
mksfx --stub "$STUB" --zip raw.zip --out raw.exe --caption C --auto
cmp -s <(tail -c +$((KORVI_STUB_SIZE + 257)) raw.exe) raw.zip || fail "the raw form changed the archive"
[ "$(head -c $((KORVI_STUB_SIZE + 4)) raw.exe | tail -c 4 | od -An -c | tr -d ' ')" = 'VRN@' ] || fail "raw block flags"
echo "command line as documented"

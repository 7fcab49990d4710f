#!/usr/bin/env bash
# `mksfx list` and `mksfx test` on zips glued behind the stub by hand, as the
# stub walks them: sizes from the central directory or a data descriptor are
# named with their source, an entry of an unknown method is refused and the
# walk goes on, and both exit non-zero exactly where the stub would fail.
source "$KORVI_SOURCE/tests/tool/lib.sh"

printf 'alpha alpha alpha\n' > a.txt
printf 'beta\n' > b.txt
seq 1 3000 > c.bin  # compressible, so that 7-Zip does not store it

# glue ZIP OUT: the stub and the zip, nothing else.
glue() { cat "$STUB" "$1" > "$2"; }

# Info-ZIP to a pipe: bit 3, no sizes in the local headers.
zip -q - a.txt b.txt | cat > piped.zip
glue piped.zip piped.exe
out=$(mksfx list piped.exe) || fail "list of a piped zip fails: $out"
grep -q "a.txt (sizes from the central directory)" <<<"$out" || fail "list names no source: $out"
mksfx test -q piped.exe >/dev/null || fail "test of a piped zip fails"

# The same with the end record damaged: no directory; Deflate streams show
# their ends and their descriptors give the sizes.
python3 - piped.exe <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
at = data.rfind(b"PK\x05\x06")
data[at] ^= 0xFF
open(sys.argv[1], "wb").write(data)
PY
out=$(mksfx list piped.exe) || fail "list without a directory fails: $out"
grep -q "b.txt (sizes from its data descriptor)" <<<"$out" || fail "list names no descriptor: $out"
mksfx test -q piped.exe >/dev/null || fail "test without a directory fails"

# An entry of a method the stub does not decode between two good ones.
zip -q mixed.zip a.txt
7z a -tzip -mm=BZip2 mixed.zip c.bin >/dev/null
zip -q mixed.zip b.txt
glue mixed.zip mixed.exe
rc=0
out=$(mksfx list mixed.exe 2>&1) || rc=$?
[ "$rc" -ne 0 ] || fail "list passes an archive the stub would not extract whole"
grep -q "c.bin.*unknown to the stub, which skips it" <<<"$out" || fail "the unknown method is not named: $out"
grep -q "b.txt" <<<"$out" || fail "the walk stopped at the unknown method: $out"
rc=0
out=$(mksfx test mixed.exe 2>&1) || rc=$?
[ "$rc" -ne 0 ] || fail "test passes an unknown method"
grep -q "^OK      b.txt" <<<"$out" || fail "test did not go on after the unknown method: $out"
echo "ok"

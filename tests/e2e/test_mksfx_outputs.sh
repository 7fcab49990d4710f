#!/usr/bin/env bash
# The real stub extracts what mksfx create writes, in automatic mode, to
# trees identical to the source with the source's modification times: a
# plain program, an encrypted one (the password typed into the "Input
# Password" prompt, which automatic mode still shows), a split one (.z02 ...
# beside it) and a signed one (with a certificate made here). The Windows
# build of mksfx (mksfx.exe, beside the stub) makes and tests one too.
source "$KORVI_SOURCE/tests/e2e/lib.sh"
mkdir -p src/docs/deep src/empty "src/Grüße"
printf 'readme' > src/readme.txt
: > src/docs/empty.txt
head -c 65536 /dev/urandom > src/docs/random-64k.bin
head -c 98305 /dev/urandom > src/docs/deep/random-96k-and-1.bin
seq 1 40000 > src/docs/deep/numbers.txt
printf 'café' > "src/Grüße/café.txt"
find src -exec touch -d '2023-04-05 06:07:08' {} +
touch -d '2019-12-31 23:59:58' src/readme.txt

# same_tree DIR: the files, folders, bytes and times of src.
same_tree() {
  local dest=$1
  diff -r src "$dest" >/dev/null || fail "$dest differs from src: $(diff -r src "$dest" 2>&1 | head -5)"
  (cd src && find . -type f) | while read -r f; do
    [ "$(stat -c %Y "src/$f")" = "$(stat -c %Y "$dest/$f")" ] || fail "$dest/$f: time $(stat -c %y "$dest/$f")"
  done
  [ -d "$dest/empty" ] || fail "$dest: the empty folder is missing"
  echo "$dest: identical to src"
}

"$MKSFX" create -q --stub "$STUB" -o plain.exe --auto --dest "$WORK_WIN\\plain" -C src .
drive "$WORK_WIN\\plain.exe" absent "Input Password" 10 exit 0
same_tree plain

"$MKSFX" create -q --stub "$STUB" -o enc.exe --auto --dest "$WORK_WIN\\enc" --password 'open sesame' -C src .
drive "$WORK_WIN\\enc.exe" window "Input Password" settext 101 "open sesame" click 1 gone \
  absent "Input Password" 500 exit 0
same_tree enc

"$MKSFX" create -q --stub "$STUB" -o split.exe --auto --dest "$WORK_WIN\\split" --split 64k -C src .
[ -e split.z03 ] || fail "too few volumes"
drive "$WORK_WIN\\split.exe" exit 0
same_tree split

openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 -subj "/CN=Korvi test signer" \
  >/dev/null 2>&1
"$MKSFX" create -q --stub "$STUB" -o signed.exe --auto --dest "$WORK_WIN\\signed" --sign-cert cert.pem \
  --sign-key key.pem -C src .
osslsigncode verify -CAfile cert.pem signed.exe >/dev/null 2>&1 || fail "signed.exe does not verify"
"$MKSFX" test -q signed.exe >/dev/null || fail "mksfx test signed.exe"
out=$(unzip -t signed.exe 2>&1) && grep -q "^No errors detected" <<<"$out" && ! grep -qi warning <<<"$out" \
  || fail "unzip -t signed.exe: $out"
out=$(7z t signed.exe 2>&1) && grep -q "Everything is Ok" <<<"$out" && ! grep -qi warning <<<"$out" \
  || fail "7z t signed.exe: $out"
drive "$WORK_WIN\\signed.exe" exit 0
same_tree signed

# mksfx.exe under Wine: the stub beside it, a block, create then test.
wine "$KORVI_WIN32/mksfx.exe" create -q -o "$WORK_WIN\\win.exe" --auto --dest "$WORK_WIN\\win" \
  -C "$WORK_WIN\\src" . </dev/null >wine-mksfx.log 2>&1 || fail "mksfx.exe create: $(cat wine-mksfx.log)"
wine "$KORVI_WIN32/mksfx.exe" test -q "$WORK_WIN\\win.exe" </dev/null >wine-mksfx.log 2>&1 \
  || fail "mksfx.exe test: $(cat wine-mksfx.log)"
grep -q "every CRC matches" wine-mksfx.log || fail "mksfx.exe test: $(cat wine-mksfx.log)"
"$MKSFX" test -q win.exe >/dev/null || fail "the host mksfx does not pass win.exe"
drive "$WORK_WIN\\win.exe" exit 0
same_tree win
echo "mksfx outputs extracted by the stub: plain, encrypted, split, signed, and made by mksfx.exe"

#!/usr/bin/env bash
# Signing with a throwaway certificate made here: the signed program passes
# osslsigncode verify, mksfx test, unzip -t, 7z t and Python's zipfile; its
# archive bytes are those of the unsigned program (the signature only
# follows them), and a tampered byte fails verification.
source "$KORVI_SOURCE/tests/tool/lib.sh"
mkdir -p tree/sub
seq 1 5000 > tree/numbers.txt
printf 'x' > tree/sub/x.txt
openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 -subj "/CN=Korvi test signer" \
  >/dev/null 2>&1 || fail "openssl could not make a certificate"

mksfx create -q --stub "$STUB" -o plain.exe --auto -C tree .
mksfx create -q --stub "$STUB" -o signed.exe --auto --sign-cert cert.pem --sign-key key.pem -C tree .
osslsigncode verify -CAfile cert.pem signed.exe >verify.txt 2>&1 || fail "verify: $(cat verify.txt)"
grep -q "Signature verification: ok" verify.txt || fail "verify: $(cat verify.txt)"
mksfx test -q signed.exe >/dev/null || fail "mksfx test signed.exe"
zip_readers_pass signed.exe
python3 "$CHECK" signed.exe --tree tree
# The archive is the unsigned one; the PE header differs only in its
# checksum and certificate table entry.
size=$(stat -c %s plain.exe)
cmp -s <(tail -c +$((KORVI_STUB_SIZE + 1)) plain.exe) <(tail -c +$((KORVI_STUB_SIZE + 1)) signed.exe | head -c $((size - KORVI_STUB_SIZE))) \
  || fail "signing changed the archive"
# A changed byte in the archive breaks the signature.
cp signed.exe tampered.exe
printf 'Z' | dd of=tampered.exe bs=1 seek=$((KORVI_STUB_SIZE + 300)) conv=notrunc 2>/dev/null
! osslsigncode verify -CAfile cert.pem tampered.exe >/dev/null 2>&1 || fail "a tampered program still verifies"
# A key with a password.
openssl rsa -in key.pem -aes256 -passout pass:keypass -out locked.pem 2>/dev/null
printf 'keypass' > keypass.txt
mksfx create -q --stub "$STUB" -o locked.exe --sign-cert cert.pem --sign-key locked.pem --sign-pass-file keypass.txt tree
osslsigncode verify -CAfile cert.pem locked.exe >/dev/null 2>&1 || fail "signed with a locked key: not verified"
echo "signed programs verify and stay whole ZIP archives"

#!/usr/bin/env bash
# Signing with a throwaway certificate made here: the signed program passes
# osslsigncode verify, mksfx test, unzip -t, 7z t and Python's zipfile; its
# archive bytes are those of the unsigned program (the signature only
# follows them), and a tampered byte fails verification. PKCS#12 files with
# their passwords; encrypted keys without one refused before osslsigncode
# runs; the signing options' faults; and what osslsigncode is handed (a
# stand-in on PATH records it): the time-stamp servers, the password in a
# private file that is gone afterwards, never on its command line.
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

# PKCS#12: with a password from the command line or a file, and one made
# without a password, which needs none.
openssl pkcs12 -export -in cert.pem -inkey key.pem -passout pass:pfxpass -out signer.pfx 2>/dev/null
openssl pkcs12 -export -in cert.pem -inkey key.pem -passout pass: -out open.pfx 2>/dev/null
printf 'pfxpass\n' > pfxpass.txt
mksfx create -q --stub "$STUB" -o p1.exe --sign-pkcs12 signer.pfx --sign-pass pfxpass tree
mksfx create -q --stub "$STUB" -o p2.exe --sign-pkcs12 signer.pfx --sign-pass-file pfxpass.txt tree
mksfx create -q --stub "$STUB" -o p3.exe --sign-pkcs12 open.pfx tree
for f in p1.exe p2.exe p3.exe; do
  osslsigncode verify -CAfile cert.pem $f >verify.txt 2>&1 || fail "verify $f: $(cat verify.txt)"
  mksfx test -q $f >/dev/null || fail "mksfx test $f"
done
! ls | grep -q 'mksfx-.*\.pass$' || fail "the password's file was left: $(ls | tr '\n' ' ')"
fails_cleanly "the PKCS#12 file signer.pfx does not open without a password; give it with --sign-pass-file FILE" p4.exe -- \
  create --stub "$STUB" -o p4.exe --sign-pkcs12 signer.pfx tree
fails_cleanly "osslsigncode failed: Failed to parse PKCS#12 file: signer.pfx" p4.exe -- \
  create --stub "$STUB" -o p4.exe --sign-pkcs12 signer.pfx --sign-pass wrong tree

# Encrypted keys without a password: PKCS#8 in PEM and DER, and the older
# PEM form with its Proc-Type header; told before osslsigncode runs.
openssl pkcs8 -topk8 -in key.pem -passout pass:keypass -outform DER -out locked.der
openssl rsa -in key.pem -traditional -aes256 -passout pass:keypass -out traditional.pem 2>/dev/null
openssl rsa -in key.pem -outform DER -out open.der 2>/dev/null
grep -q "Proc-Type: 4,ENCRYPTED" traditional.pem || fail "openssl wrote no traditional encrypted key"
for k in locked.pem locked.der traditional.pem; do
  fails_cleanly "the signing key $k is encrypted; give its password with --sign-pass-file FILE" k.exe -- \
    create --stub "$STUB" -o k.exe --sign-cert cert.pem --sign-key $k tree
done
mksfx create -q --stub "$STUB" -o k.exe --sign-cert cert.pem --sign-key open.der tree
osslsigncode verify -CAfile cert.pem k.exe >/dev/null 2>&1 || fail "signed with a DER key: not verified"
mksfx create -q --stub "$STUB" -o k2.exe --sign-cert cert.pem --sign-key traditional.pem --sign-pass keypass tree
osslsigncode verify -CAfile cert.pem k2.exe >/dev/null 2>&1 || fail "signed with a traditional encrypted key: not verified"

# The options' faults are usage errors.
usage_error "--sign-pkcs12 holds the certificate and the key" u.exe -- \
  create --stub "$STUB" -o u.exe --sign-pkcs12 signer.pfx --sign-cert cert.pem tree
usage_error "signing needs both --sign-cert and --sign-key" u.exe -- create --stub "$STUB" -o u.exe --sign-key key.pem tree
usage_error "give one of --sign-pass and --sign-pass-file" u.exe -- \
  create --stub "$STUB" -o u.exe --sign-pkcs12 signer.pfx --sign-pass a --sign-pass-file pfxpass.txt tree
usage_error "a signing password needs a key to sign with" u.exe -- create --stub "$STUB" -o u.exe --sign-pass a tree
usage_error "--sign-timestamp needs a key to sign with" u.exe -- create --stub "$STUB" -o u.exe --sign-timestamp http://127.0.0.1:9/ tree
usage_error "--sign-timestamp takes an http:// or https:// address, not 'ftp://x'" u.exe -- \
  create --stub "$STUB" -o u.exe --sign-pkcs12 signer.pfx --sign-pass a --sign-timestamp ftp://x tree

# What osslsigncode is handed, recorded by a stand-in that signs nothing:
# it copies -in to -out and keeps its arguments and the -readpass file.
mkdir -p fake
cat > fake/osslsigncode <<'SH'
#!/bin/sh
printf '%s\n' "$@" > "$FAKE_LOG"
in="" out=""
while [ $# -gt 0 ]; do
  case "$1" in
    -in) in=$2; shift ;;
    -out) out=$2; shift ;;
    -readpass) cat "$2" > "$FAKE_LOG.pass"; ls -l "$2" | cut -c1-10 > "$FAKE_LOG.mode" ;;
  esac
  shift
done
cp "$in" "$out"
SH
chmod +x fake/osslsigncode
FAKE_LOG=$WORK/fake.log PATH="$WORK/fake:$PATH" mksfx create -q --stub "$STUB" -o ts.exe --sign-pkcs12 signer.pfx \
  --sign-pass 'secret words' --sign-timestamp http://127.0.0.1:9/tsa --sign-timestamp https://ts2.example/rfc3161 tree
tr '\n' ' ' <fake.log >args.txt
grep -q "^sign -pkcs12 signer.pfx -h sha256 -readpass [^ ]*ts.exe.mksfx-[0-9a-f]*.pass -ts http://127.0.0.1:9/tsa -ts https://ts2.example/rfc3161 -in " args.txt \
  || fail "osslsigncode's arguments: $(cat args.txt)"
! grep -q "secret" args.txt || fail "the password is on osslsigncode's command line"
[ "$(cat fake.log.pass)" = "secret words" ] || fail "the password's file held: $(cat fake.log.pass)"
[ "$(cat fake.log.mode)" = "-rw-------" ] || fail "the password's file could be read by others: $(cat fake.log.mode)"
! ls | grep -q 'mksfx-.*\.pass$' || fail "the password's file was left: $(ls | tr '\n' ' ')"
mksfx test -q ts.exe >/dev/null || fail "mksfx test ts.exe"
echo "signed programs verify and stay whole ZIP archives"

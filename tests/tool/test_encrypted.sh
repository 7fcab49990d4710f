#!/usr/bin/env bash
# Encrypted outputs. By default WinZip AES-256 (AE-2): check_sfx.py derives
# the keys, checks the verifier and the code and decrypts with Python's
# PBKDF2 and HMAC and openssl's AES, and 7-Zip tests them; with --zipcrypto
# the traditional encryption, whose 12-byte header's last byte decrypts to
# the CRC's high byte, read by unzip, 7-Zip and Python too, with a warning
# for stored entries. mksfx test opens both with the right password only,
# naming every entry it cannot open. The password comes from --password,
# --password-file: its UTF-8 bytes key AES, its Windows-1252 ones the
# traditional encryption.
source "$KORVI_SOURCE/tests/tool/lib.sh"
mkdir -p tree/sub
printf 'secret one' > tree/one.txt
head -c 70000 /dev/urandom > tree/sub/random.bin
seq 1 20000 > tree/sub/numbers.txt
: > tree/empty.txt

mksfx create -q --stub "$STUB" -o enc.exe --password 'open sesame' -C tree .
python3 "$CHECK" enc.exe --tree tree --password 'open sesame'
mksfx test -q --password 'open sesame' enc.exe >test.txt || fail "right password: $(cat test.txt)"
out=$(7z t -p'open sesame' enc.exe 2>&1) || fail "7z t enc.exe: $out"
grep -q "Everything is Ok" <<<"$out" || fail "7z t enc.exe: $out"
rc=0; 7z t -p'open sesamE' enc.exe >/dev/null 2>&1 || rc=$?
[ $rc -ne 0 ] || fail "7z took a wrong password"

mksfx list enc.exe | grep -q " deflate .* aes256  sub/numbers.txt$" || fail "list does not show AES: $(mksfx list enc.exe)"

# The traditional encryption, asked for: three readers, and a warning where
# it meets stored data (random.bin does not compress).
mksfx create --stub "$STUB" -o zc.exe --zipcrypto --password 'open sesame' -C tree . >/dev/null 2>warn.txt
grep -q "warning: 'sub/random.bin' is stored" warn.txt || fail "no warning for stored data: $(cat warn.txt)"
python3 "$CHECK" zc.exe --tree tree --password 'open sesame'
mksfx test -q --password 'open sesame' zc.exe >/dev/null || fail "--zipcrypto: mksfx test"
zip_readers_pass zc.exe 'open sesame'
mksfx list zc.exe | grep -q " zip     sub/numbers.txt$" || fail "list does not show the traditional encryption"

# Without a password, and with a wrong one: each file entry named.
test_fails "mksfx: enc.exe: 4 of 5 entries fail" enc.exe </dev/null
for name in one.txt sub/random.bin sub/numbers.txt empty.txt; do
  grep -q "^FAILED  $name: it is encrypted; give --password$" test.txt || fail "no failure line for $name: $(cat test.txt)"
done
grep -q "^OK      sub/$" test.txt || fail "folder entries need no password"
test_fails "mksfx: enc.exe: 4 of 5 entries fail" enc.exe --password 'open sesamE'
[ "$(grep -c '^FAILED' test.txt)" -eq 4 ] || fail "wrong password: $(cat test.txt)"

# A password file and a non-ASCII password (UTF-8 for AES, Windows-1252
# for the traditional encryption).
printf 'pässwort\n' > pw.txt
mksfx create -q --stub "$STUB" -o enc2.exe --password-file pw.txt -C tree .
python3 "$CHECK" enc2.exe --tree tree --password 'pässwort'
mksfx test -q --password-file pw.txt enc2.exe >/dev/null || fail "password file"
mksfx create -q --stub "$STUB" -o zc2.exe --zipcrypto --password-file pw.txt -C tree .
7z t -p"$(printf 'p\xe4sswort')" zc2.exe | grep -q "Everything is Ok" || fail "7z with the Windows-1252 password"
# Two archives of the same tree differ: the headers are random.
mksfx create -q --stub "$STUB" -o enc3.exe --password 'open sesame' -C tree .
! cmp -s enc.exe enc3.exe || fail "two encryptions gave the same bytes"
echo "encrypted archives: check bytes, right and wrong passwords, three readers"

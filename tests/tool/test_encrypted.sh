#!/usr/bin/env bash
# Encrypted outputs: every file entry carries a 12-byte header whose last
# byte decrypts to its CRC's high byte (check_sfx.py decrypts it with its own
# keys); mksfx test opens them with the right password only, naming every
# entry it cannot open; unzip, 7-Zip and Python read them with the password.
# The password comes from --password, --password-file, in Windows-1252.
source "$KORVI_SOURCE/tests/tool/lib.sh"
mkdir -p tree/sub
printf 'secret one' > tree/one.txt
head -c 70000 /dev/urandom > tree/sub/random.bin
seq 1 20000 > tree/sub/numbers.txt
: > tree/empty.txt

mksfx create -q --stub "$STUB" -o enc.exe --password 'open sesame' -C tree .
python3 "$CHECK" enc.exe --tree tree --password 'open sesame'
mksfx test -q --password 'open sesame' enc.exe >test.txt || fail "right password: $(cat test.txt)"
zip_readers_pass enc.exe 'open sesame'
mksfx list enc.exe | grep -q " yes  sub/numbers.txt$" || fail "list does not show the encryption"

# Without a password, and with a wrong one: each file entry named.
test_fails "mksfx: enc.exe: 4 of 5 entries fail" enc.exe </dev/null
for name in one.txt sub/random.bin sub/numbers.txt empty.txt; do
  grep -q "^FAILED  $name: it is encrypted; give --password$" test.txt || fail "no failure line for $name: $(cat test.txt)"
done
grep -q "^OK      sub/$" test.txt || fail "folder entries need no password"
test_fails "mksfx: enc.exe: 4 of 5 entries fail" enc.exe --password 'open sesamE'
[ "$(grep -c '^FAILED' test.txt)" -eq 4 ] || fail "wrong password: $(cat test.txt)"

# A password file and a non-ASCII password (Windows-1252 in the archive).
printf 'pässwort\n' > pw.txt
mksfx create -q --stub "$STUB" -o enc2.exe --password-file pw.txt -C tree .
python3 "$CHECK" enc2.exe --tree tree --password 'pässwort'
mksfx test -q --password-file pw.txt enc2.exe >/dev/null || fail "password file"
7z t -p"$(printf 'p\xe4sswort')" enc2.exe | grep -q "Everything is Ok" || fail "7z with the Windows-1252 password"
# Two archives of the same tree differ: the headers are random.
mksfx create -q --stub "$STUB" -o enc3.exe --password 'open sesame' -C tree .
! cmp -s enc.exe enc3.exe || fail "two encryptions gave the same bytes"
echo "encrypted archives: check bytes, right and wrong passwords, three readers"

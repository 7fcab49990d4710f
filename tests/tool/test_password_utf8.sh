#!/usr/bin/env bash
# Passwords outside ASCII and past 79 characters, as the stub takes them:
# WinZip AES is keyed by the password's UTF-8 bytes, so 7-Zip opens the
# program with the same text ("päss€"), the traditional encryption by its
# Windows-1252 bytes (unzip given those opens it); mksfx test and its
# terminal prompt take the text as --password does. A password of 90
# characters is taken whole; one over 99 bytes of UTF-8 is written with a
# warning (7-Zip refuses such AES passwords); one over the 32,767 characters
# of the stub's password field is refused.
source "$KORVI_SOURCE/tests/tool/lib.sh"
mkdir -p tree && printf 'secret one' > tree/one.txt && seq 1 5000 > tree/numbers.txt

mksfx create -q --stub "$STUB" -o aes.exe --password 'päss€' -C tree .
out=$(7z t -p'päss€' aes.exe 2>&1) || fail "7z t -p'päss€' aes.exe: $out"
grep -q "Everything is Ok" <<<"$out" || fail "7z t aes.exe: $out"
python3 "$CHECK" aes.exe --tree tree --password 'päss€'
mksfx test -q --password 'päss€' aes.exe >test.txt || fail "mksfx test 'päss€': $(cat test.txt)"
# The text given in Windows-1252 is the same password.
mksfx test -q --password "$(printf 'p\xe4ss\x80')" aes.exe >test.txt || fail "mksfx test in Windows-1252: $(cat test.txt)"
test_fails "the password does not open it" aes.exe --password 'pass€'

# The terminal's answer, in UTF-8 and in Windows-1252 bytes.
for typed in 'päss€' "$(printf 'p\xe4ss\x80')"; do
  python3 "$KORVI_SOURCE/tests/tool/typed_answer.py" "$typed" "$MKSFX" test -q aes.exe >prompt.txt 2>&1 ||
    fail "mksfx test with '$typed' typed: $(cat prompt.txt)"
  grep -q "every CRC matches" prompt.txt || fail "typed '$typed': $(cat prompt.txt)"
done

mksfx create -q --stub "$STUB" -o zc.exe --zipcrypto --password 'päss€' -C tree . 2>/dev/null
ansi=$(printf 'p\xe4ss\x80')
out=$(unzip -t -P "$ansi" zc.exe 2>&1) || fail "unzip -t zc.exe with the Windows-1252 bytes: $out"
grep -q "No errors detected" <<<"$out" || fail "unzip -t zc.exe: $out"
7z t -p"$ansi" zc.exe | grep -q "Everything is Ok" || fail "7z t zc.exe with the Windows-1252 bytes"
python3 "$CHECK" zc.exe --tree tree --password 'päss€'
mksfx test -q --password 'päss€' zc.exe >test.txt || fail "mksfx test zc.exe: $(cat test.txt)"
usage_error "a character outside Windows-1252" zc2.exe -- \
  create --stub "$STUB" -o zc2.exe --zipcrypto --password 'Ωmega' tree

# 90 characters, 92 bytes: taken whole by the stub and by 7-Zip.
ninety="$(printf 'k%.0s' $(seq 85))päss€"
mksfx create --stub "$STUB" -o ninety.exe --password "$ninety" -C tree . >/dev/null 2>err.txt
[ ! -s err.txt ] || fail "a warning for 92 bytes: $(cat err.txt)"
7z t -p"$ninety" ninety.exe | grep -q "Everything is Ok" || fail "7z t ninety.exe"
mksfx test -q --password "$ninety" ninety.exe >/dev/null || fail "mksfx test ninety.exe"
test_fails "the password does not open it" ninety.exe --password "${ninety%€}"

# 100 bytes: the stub's, not 7-Zip's.
hundred=$(printf 'h%.0s' $(seq 100))
mksfx create --stub "$STUB" -o hundred.exe --password "$hundred" -C tree . >/dev/null 2>err.txt
grep -q "warning: the password is longer than 99 bytes in UTF-8: the stub opens the program, 7-Zip does not" err.txt ||
  fail "no warning for 100 bytes: $(cat err.txt)"
mksfx test -q --password "$hundred" hundred.exe >/dev/null || fail "mksfx test hundred.exe"

# The stub's field: 32,767 UTF-16 units ("𝄞" counts two), not one more.
python3 -c "print('x' * 32767)" > longest.txt
mksfx create -q --stub "$STUB" -o longest.exe --password-file longest.txt -C tree . 2>/dev/null
mksfx test -q --password-file longest.txt longest.exe >/dev/null || fail "mksfx test longest.exe"
python3 -c "print('x' * 32766 + '\U0001D11E')" > over.txt
usage_error "the password is longer than the 32,767 characters the stub's password field takes" over.exe -- \
  create --stub "$STUB" -o over.exe --password-file over.txt tree
usage_error "the password is longer than the 32,767 characters the stub's password field takes" test.txt -- \
  test --password-file over.txt longest.exe
echo "passwords: UTF-8 for AES, Windows-1252 for the traditional encryption, up to the stub's field"

#!/usr/bin/env bash
# WinZip AES archives made by 7-Zip, AES-128, AES-192 and AES-256, stored and
# Deflate, extracted with the password typed into the prompt: a wrong one is
# asked again, the right one extracts every entry with its bytes; a tampered
# byte in the encrypted data fails its entry (the failure summary, exit 1)
# and leaves the existing file of its name as it was.
source "$KORVI_SOURCE/tests/e2e/lib.sh"
mkdir -p src
head -c 150000 /dev/urandom > src/random.bin
{ yes "a line of text to encrypt" || true; } | head -c 200000 > src/text.txt
printf 'short' > src/short.txt

for bits in 128 192 256; do
  for level in 0 5; do
    name="aes$bits-$level"
    (cd src && 7z a -tzip -mem=AES$bits -mx$level -pSECRET "../$name.zip" random.bin text.txt short.txt >/dev/null)
    make_sfx "$name.exe" "$WORK/$name.zip" --dest "$WORK_WIN\\$name"
    if [ "$name" = aes128-0 ]; then
      drive "$WORK_WIN\\$name.exe" \
        window "Korvi EXE" click 1 \
        window "Input Password" settext 101 "secret" click 1 gone \
        window "Input Password" settext 101 "SECRET" click 1 gone \
        message "All files have been extracted." "Finished." click 1 exit 0 >/dev/null || fail "$name"
    else
      drive "$WORK_WIN\\$name.exe" \
        window "Korvi EXE" click 1 \
        window "Input Password" settext 101 "SECRET" click 1 gone \
        message "All files have been extracted." "Finished." click 1 exit 0 >/dev/null || fail "$name"
    fi
    for f in random.bin text.txt short.txt; do
      cmp -s "src/$f" "$name/$f" || fail "$name: $f differs"
    done
    echo "$name: extracted"
  done
done

# One byte of text.txt's encrypted data changed, replacing an existing file.
python3 - <<'PY'
import zipfile
z = zipfile.ZipFile("aes256-5.zip")
i = z.getinfo("text.txt")
data = bytearray(open("aes256-5.zip", "rb").read())
extra = int.from_bytes(data[i.header_offset + 28:i.header_offset + 30], "little")  # the local header's
at = i.header_offset + 30 + len(i.filename) + extra + 18 + i.compress_size // 3
data[at] ^= 0x20
open("tampered.zip", "wb").write(bytes(data))
PY
mkdir -p tampered && printf 'precious' > tampered/text.txt
make_sfx tampered.exe "$WORK/tampered.zip" --dest "$WORK_WIN\\tampered" --overwrite
drive "$WORK_WIN\\tampered.exe" \
  window "Korvi EXE" click 1 \
  window "Input Password" settext 101 "SECRET" click 1 gone \
  message "The selected file(s) couldn't get extracted." "Error.." click 1 \
  window "Korvi EXE" click 2 exit 1 >/dev/null || fail "tampered"
expect_file "$WORK/tampered/text.txt" "precious"
cmp -s src/random.bin tampered/random.bin || fail "tampered: the other entries are not extracted"
[ "$(ls tampered | wc -l)" = 3 ] || fail "tampered: $(ls tampered)"
echo "AES archives of 7-Zip: every strength, stored and Deflate; a tampered entry fails"

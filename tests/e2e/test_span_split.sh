#!/usr/bin/env bash
# Spanned archives in split files beside the program (name.z02, name.z03):
# every volume is found without a prompt, whether a volume ends inside an
# entry's Deflate data, inside a local header or its name, inside an
# encryption header, exactly at a local header's start, or exactly at the end
# of an entry's data (then the next volume opens with the entry's data
# descriptor). Every file comes out byte for byte with its time.
source "$KORVI_SOURCE/tests/e2e/lib.sh"
mkdir -p src
python3 - <<'PY'
import random
random.seed(7)
words = "alpha beta gamma delta volume disk split span entry header".split()
open("src/text.txt", "w").write(" ".join(random.choice(words) for _ in range(30000)))
open("src/small.txt", "w").write("small entry\n" * 20)
open("src/third.txt", "w").write("".join(f"line {i} of the third entry\n" for i in range(400)))
PY
touch -d '2004-05-06 07:08:10' src/text.txt
touch -d '1998-11-30 23:59:58' src/small.txt
touch -d '2019-01-01 00:00:00' src/third.txt
files="text.txt small.txt third.txt"
(cd src && zip -q -X -9 ../plain.zip $files && zip -q -X -9 -P 'span secret' ../enc.zip $files)
python3 - <<'PY' || fail "the archives are not what the cuts assume"
import zipfile
for name, flags in (("plain.zip", 0), ("enc.zip", 9)):
    for info in zipfile.ZipFile(name).infolist():
        # Deflate; the encrypted entries with a data descriptor (bit 3).
        assert info.compress_type == 8 and info.flag_bits & 9 == flags, (name, info)
PY

check() {
  local dest=$1 f
  for f in $files; do expect_same "src/$f" "$dest/$f"; done
  echo "$dest: extracted byte for byte"
}

# Automatic mode; the encrypted archives ask for the password once.
run_plain() {
  make_spanned "$1.exe" plain.zip "$2" --auto --dest "$WORK_WIN\\$1"
  drive "$WORK_WIN\\$1.exe" exit 0
  check "$1"
}
run_encrypted() {
  make_spanned "$1.exe" enc.zip "$2" --auto --dest "$WORK_WIN\\$1"
  drive "$WORK_WIN\\$1.exe" \
    window "Input Password" settext 101 'span secret' click 1 gone absent "Input Password" 500 exit 0
  check "$1"
}

run_plain mid_data 5000                # two volumes, inside the first entry's data
run_plain at_header 3000,h2            # three volumes, the second from the second header on
run_plain in_header h2+17,h3+33        # a header and a name cut
run_encrypted enc_mid s1+6             # two volumes, inside the encryption header
run_encrypted enc_at_end d1,h2         # the second volume holds just a data descriptor
run_encrypted enc_header h2,d2+7       # at a header, and inside a descriptor
[ -f enc_at_end.z03 ] && [ "$(wc -c < enc_at_end.z02)" = 16 ] || fail "enc_at_end is not cut as meant"

# With the main dialog: the count and the extraction both walk all volumes.
make_spanned dialog.exe plain.zip 3000,h2 --dest "$WORK_WIN\\dialog"
drive "$WORK_WIN\\dialog.exe" \
  window "Korvi EXE" click 1 \
  message "All files have been extracted." "Finished." click 1 exit 0
check dialog
echo "split volumes read at every kind of cut"

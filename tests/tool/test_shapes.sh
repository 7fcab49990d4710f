#!/usr/bin/env bash
# Trees of many shapes packed with mksfx create: empty files, folders only,
# sizes around multiples of 32 KiB (the stub's chunk and window), compressible
# and incompressible data, non-ASCII names. Each result has the layout the
# stub walks with the tree's bytes and times (check_sfx.py), passes mksfx
# test, and passes unzip -t, 7z t and Python's zipfile without a warning.
source "$KORVI_SOURCE/tests/tool/lib.sh"

# Folders only, nested, one empty.
mkdir -p folders/a/b/c folders/empty
touch -d '2021-03-04 05:06:08' folders/a/b/c
# Empty files, sizes at 32 KiB multiples and one byte either side.
mkdir -p sizes/deep/er
: > sizes/empty.txt
: > sizes/deep/er/also-empty
for n in 1 32767 32768 32769 65535 65536 65537 98304 131072; do
  head -c "$n" /dev/urandom > "sizes/random-$n.bin"
  { yes "line of text $n" || true; } | head -c "$n" > "sizes/text-$n.txt"
done
touch -d '1975-06-01 12:00:00' sizes/empty.txt   # before 1980: 1980-01-01
touch -d '2020-02-29 23:59:59' sizes/text-1.txt  # odd second rounds up
# Non-ASCII names in several scripts, and a path of more than 300 characters
# (the stub writes them with the wide calls, past the old MAX_PATH).
mkdir -p "names/Grüße" "names/café" "names/日本語" "names/Київ"
printf 'ü' > "names/Grüße/Ä ö ß.txt"
printf 'e' > "names/café/résumé.txt"
printf '€' > "names/price €.txt"
printf 'x' > "names/plain.txt"
printf 'j' > "names/日本語/ファイル.txt"
printf 'g' > "names/Αθήνα.txt"
printf 'c' > "names/Київ/файл.txt"
printf 's' > "names/😀 smile.txt"
long="names/$(printf 'a%.0s' $(seq 1 120))/$(printf 'b%.0s' $(seq 1 120))/$(printf 'c%.0s' $(seq 1 80)).txt"
mkdir -p "$(dirname "$long")" && printf 'l' > "$long"

for tree in folders sizes names; do
  for mode in "" "--store" "--level=1"; do
    mksfx create --stub "$STUB" -o "$tree.exe" -C "$tree" $mode . >summary.txt
    grep -q "^$tree.exe: .* entries, .* bytes in, .* bytes out" summary.txt || fail "summary: $(cat summary.txt)"
    python3 "$CHECK" "$tree.exe" --tree "$tree"
    if [ "$tree" = folders ]; then
      # Nothing to extract but folders: the stub's first pass, which sums the
      # sizes for its total bar, calls such an archive unreadable; test says so.
      test_fails 'Error reading archive' "$tree.exe" -q
    else
      mksfx test -q "$tree.exe" >test.txt || fail "mksfx test $tree.exe: $(cat test.txt)"
      grep -q "every CRC matches" test.txt || fail "mksfx test $tree.exe: $(cat test.txt)"
    fi
    zip_readers_pass "$tree.exe"
  done
done

# The folder named itself: its name leads every entry.
mksfx create -q --stub "$STUB" -o named.exe names
mksfx list named.exe >list.txt
grep -q " names/Grüße/Ä ö ß.txt$" list.txt || fail "list: $(cat list.txt)"
grep -q "^ *0  stored .* names/café/$" list.txt || fail "list: $(cat list.txt)"
for name in "names/日本語/ファイル.txt" "names/Αθήνα.txt" "names/Київ/файл.txt" "names/😀 smile.txt" "$long"; do
  grep -qF " $name" list.txt || fail "list does not show $name as it is: $(cat list.txt)"
done
mksfx test named.exe >test.txt || fail "mksfx test named.exe: $(cat test.txt)"
! grep -q "FAILED\|refuse" test.txt || fail "mksfx test predicts a refusal: $(cat test.txt)"
# Random data is stored, text is deflated, --store stores everything.
mksfx create -q --stub "$STUB" -o sizes.exe -C sizes .
mksfx list sizes.exe >list.txt
grep -q "stored .*random-65536.bin$" list.txt || fail "random data not stored: $(cat list.txt)"
grep -q "deflate .*text-65536.txt$" list.txt || fail "text not deflated: $(cat list.txt)"
mksfx create -q --stub "$STUB" -o stored.exe --store -C sizes .
! mksfx list stored.exe | grep -q deflate || fail "--store left a deflated entry"
# Times: before 1980 and odd seconds.
mksfx list sizes.exe | grep -q "1980-01-01 00:00:00 .* empty.txt$" || fail "time before 1980"
mksfx list sizes.exe | grep -q "2020-03-01 00:00:00 .* text-1.txt$" || fail "odd second not rounded up"
# A changed byte in an entry's data: mksfx test names that entry and fails.
python3 - <<'PY'
import zipfile
z = zipfile.ZipFile("sizes.exe")
i = z.getinfo("text-65536.txt")
data = bytearray(open("sizes.exe", "rb").read())
at = i.header_offset + 30 + len(i.filename) + i.compress_size // 2
data[at] ^= 0x10
open("damaged.exe", "wb").write(bytes(data))
PY
test_fails "mksfx: damaged.exe: 1 of 22 entries fail" damaged.exe
[ "$(grep -c '^FAILED' test.txt)" -eq 1 ] || fail "not exactly one failure: $(cat test.txt)"
grep -q "^FAILED  text-65536.txt: " test.txt || fail "the damaged entry is not named: $(cat test.txt)"
echo "every shape packed, tested and read by three ZIP readers"

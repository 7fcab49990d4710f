#!/usr/bin/env bash
# --split: the program is the first volume (stub, marker, the archive's first
# bytes), .z02, .z03, ... beside it, none larger than the size asked for.
# Every central record points at its header's volume and offset, the end
# record lies whole in the last volume (check_sfx.py over all volumes);
# mksfx test reads across volume ends and names a missing volume. Other
# tools, as the README says: 7-Zip tests and extracts the set once the
# program is copied to .z01 and the last volume to .zip (the names it
# knows), not as written; unzip reads no set at all.
source "$KORVI_SOURCE/tests/tool/lib.sh"
mkdir -p tree/docs
head -c 200000 /dev/urandom > tree/random.bin
seq 1 60000 > tree/docs/numbers.txt
for i in $(seq 1 40); do printf "file $i" > "tree/docs/f$i.txt"; done

for size in 64k 65537 100000; do
  rm -f split.*
  mksfx create -q --stub "$STUB" -o split.exe --split "$size" --caption "Split" -C tree .
  limit=$(python3 -c "import sys; s='$size'; print(int(s[:-1])*1024 if s.endswith('k') else int(s))")
  n=0
  for f in split.exe split.z*; do
    [ "$(stat -c %s "$f")" -le "$limit" ] || fail "$f is larger than $limit bytes"
    n=$((n + 1))
  done
  [ $n -ge 3 ] || fail "only $n volumes"
  [ "$(head -c $((KORVI_STUB_SIZE + 3)) split.exe | tail -c 3)" = "VRN" ] || fail "no block behind the stub"
  python3 "$CHECK" split.exe --tree tree --volumes
  mksfx test -q split.exe >test.txt || fail "mksfx test: $(cat test.txt)"
  mksfx list split.exe | tail -1 | grep -q "$n volumes" || fail "list does not count $n volumes"
  # 7-Zip opens spanned ZIP archives named x.z01 ... x.zip.
  rm -rf seven && mkdir seven
  i=1
  for f in split.exe $(ls split.z* | sort); do
    if [ $i -eq $n ]; then cp "$f" seven/x.zip; else cp "$f" "seven/x.z$(printf %02d $i)"; fi
    i=$((i + 1))
  done
  out=$(7z t seven/x.zip 2>&1) || fail "7z t: $out"
  grep -q "Everything is Ok" <<<"$out" || fail "7z t: $out"
  if grep -qi "warning" <<<"$out"; then fail "7z t warns: $out"; fi
done

# The README's way for 7-Zip, in place: two copies, then 7z x.
last=$(ls split.z* | sort | tail -1)
cp split.exe split.z01 && cp "$last" split.zip
rm -rf x7 && 7z x -y -ox7 split.zip >7z.txt 2>&1 || fail "7z x split.zip: $(cat 7z.txt)"
diff -r tree x7 >/dev/null || fail "7z x split.zip did not give the tree"
# As written, neither 7-Zip nor unzip reads the set.
rm -rf x7 && ! 7z x -y -ox7 split.exe >7z.txt 2>&1 || fail "7z x read the set as written; the README says it does not"
! unzip -tq split.exe >unzip.txt 2>&1 || fail "unzip read the program of a set; the README says it does not"
! unzip -tq split.zip >unzip.txt 2>&1 || fail "unzip read the set under 7-Zip's names; the README says it does not"
rm -f split.z01 split.zip
# Info-ZIP's zip -s 0 joins some sets for unzip, but not every one: this
# one comes out with an entry cut short.
mkdir -p join && seq 1 30000 > join/n.txt && head -c 200000 /dev/urandom > join/r.bin
mksfx create -q --stub "$STUB" -o j.exe --split 64k -C join .
cp j.exe j.z01 && cp j.z05 j.zip
7z t j.zip >7z.txt 2>&1 || fail "7z t j.zip: $(cat 7z.txt)"
zip -q -s 0 j.zip --out joined.zip >/dev/null 2>&1 || true
! unzip -tq joined.zip >unzip.txt 2>&1 || fail "zip -s 0 joined j.zip whole; the README says it may not"

# A missing volume is named; the archive is not reported whole.
mv split.z03 away.z03
test_fails "split.z03 Cannot Find File" split.exe -q
mv away.z03 split.z03
# Encrypted and split together.
rm -f split.*
mksfx create -q --stub "$STUB" -o split.exe --split 64k --password pw -C tree .
python3 "$CHECK" split.exe --tree tree --volumes --password pw
mksfx test -q --password pw split.exe >/dev/null || fail "encrypted split archive"
echo "split archives: sizes, offsets per volume, read across volumes, 7-Zip"

# An empty volume in the middle: test names the entry it cuts, as the stub
# would fail it, and no entry before it.
rm -rf cut && mkdir -p cut/tree && head -c 300000 /dev/urandom > cut/tree/a.bin
head -c 300000 /dev/urandom > cut/tree/b.bin && printf 'c' > cut/tree/c.txt
mksfx create -q --stub "$STUB" -o cut/s.exe --split 200k --store -C cut/tree .
: > cut/s.z03
rc=0; mksfx test cut/s.exe >test.txt 2>err.txt || rc=$?
[ $rc -eq 1 ] || fail "an empty volume passed mksfx test"
grep -q "^OK      a.bin$" test.txt || fail "empty volume: $(cat test.txt)"
grep -q "^FAILED  b.bin: its data ends with the file" test.txt || fail "empty volume: $(cat test.txt)"
echo "an empty volume: the entry it cuts is named"

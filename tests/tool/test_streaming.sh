#!/usr/bin/env bash
# Files compressed in pieces of 1 MiB on several threads: sizes at and
# around the pieces' ends, text, noise and both in one file, each entry one
# Deflate stream that Python's zlib (check_sfx.py), the stub's decoder
# (mksfx test), unzip and 7-Zip decode whole; the same bytes whatever the
# number of threads; stored files read a second time; encrypted, split,
# --store and --recompress runs over files of many pieces; no temporary
# left beside the output.
source "$KORVI_SOURCE/tests/tool/lib.sh"
piece=1048576
mkdir -p tree/deep
python3 - "$piece" <<'PY'
import random, sys
piece = int(sys.argv[1])
random.seed(7)
words = b"pieces of the archive join into one stream that every reader decodes".split()
def text(n):
    out = bytearray()
    while len(out) < n:
        out += random.choice(words) + (b"\n" if random.random() < 0.1 else b" ")
    return bytes(out[:n])
for name, size in [("under", piece - 1), ("exact", piece), ("over", piece + 1), ("three", 3 * piece + 17)]:
    open(f"tree/{name}.txt", "wb").write(text(size))
open("tree/deep/noise.bin", "wb").write(random.randbytes(2 * piece + 5))
# Noise, text, noise: pieces stored and deflated within one stream.
open("tree/deep/mixed.bin", "wb").write(random.randbytes(piece) + text(piece) + random.randbytes(piece // 2))
PY
: > tree/empty.txt

for threads in 1 2 7; do
  mksfx create -q --stub "$STUB" -o t$threads.exe --threads $threads -C tree .
done
cmp -s t1.exe t2.exe && cmp -s t1.exe t7.exe || fail "the output depends on the number of threads"
python3 "$CHECK" t1.exe --tree tree
mksfx test -q t1.exe >test.txt || fail "mksfx test: $(cat test.txt)"
zip_readers_pass t1.exe
mksfx list t1.exe >list.txt
grep -q " stored .* deep/noise.bin$" list.txt || fail "noise not stored: $(cat list.txt)"
grep -q " deflate .* deep/mixed.bin$" list.txt || fail "mixed not deflated: $(cat list.txt)"
grep -q " deflate .* three.txt$" list.txt || fail "text not deflated: $(cat list.txt)"
# The mixed file's noise goes in stored blocks: it packs to about its noise.
python3 - <<'PY' || fail "mixed.bin packs to more than its noise and a little"
import sys, zipfile
i = zipfile.ZipFile("t1.exe").getinfo("deep/mixed.bin")
noise = 1048576 + 524288
sys.exit(0 if noise < i.compress_size < noise + 1048576 // 3 else 1)
PY

# Encrypted, split, stored: the same pieces, each way.
mksfx create -q --stub "$STUB" -o enc.exe --level 3 --password 'pieces' -C tree .
python3 "$CHECK" enc.exe --tree tree --password pieces
7z t -ppieces enc.exe | grep -q "Everything is Ok" || fail "7z t enc.exe (AES)"
mksfx create -q --stub "$STUB" -o zc.exe --level 3 --zipcrypto --password 'pieces' -C tree . 2>/dev/null
python3 "$CHECK" zc.exe --tree tree --password pieces
zip_readers_pass zc.exe pieces
mksfx create -q --stub "$STUB" -o split.exe --level 3 --split 700k -C tree .
python3 "$CHECK" split.exe --tree tree --volumes
mksfx test -q split.exe >/dev/null || fail "mksfx test of the split run"
mksfx create -q --stub "$STUB" -o store.exe --store -C tree .
python3 "$CHECK" store.exe --tree tree
! mksfx list store.exe | grep -q deflate || fail "--store deflated an entry"

# --recompress of a .zip whose entries are many pieces: decoded and packed
# anew, smaller than zip -1 made them.
(cd tree && zip -q -1 -r ../fast.zip three.txt deep)
mksfx create -q --stub "$STUB" -o re.exe --level 6 --recompress fast.zip
mksfx test -q re.exe >/dev/null || fail "mksfx test of the recompressed program"
python3 - <<'PY' || fail "--recompress did not pack three.txt smaller than zip -1"
import sys, zipfile
old = zipfile.ZipFile("fast.zip").getinfo("three.txt").compress_size
new = zipfile.ZipFile("re.exe").getinfo("three.txt").compress_size
z = zipfile.ZipFile("re.exe")
sys.exit(0 if new < old and z.read("three.txt") == open("tree/three.txt", "rb").read() else 1)
PY

! ls -a | grep -q "mksfx-" || fail "a temporary was left: $(ls -a | grep mksfx-)"
echo "files in pieces: one stream each, the same bytes on any number of threads"

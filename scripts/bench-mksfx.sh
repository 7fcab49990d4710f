#!/usr/bin/env bash
# The maker tool's benchmark, every number from this one run, beside
# Info-ZIP's zip and 7-Zip on the same bytes (Release builds):
#  1. deflate_choice: zlib and libdeflate, on whole inputs and in mksfx's
#     pieces of 1 MiB, on four corpora; zip -9 on the same corpora;
#  2. the level table: mksfx create at every level over the four corpora
#     together (and the default on one thread), against zip -9, zip -6 and
#     7-Zip's Deflate (7z a -tzip);
#  3. 20,000 files of 24 bytes;
#  4. a 1 GiB file (3/4 random bytes, as compressed media and archives are,
#     1/8 machine code, 1/8 English-like text), and mksfx test and unzip -t
#     of the program;
#  5. memory against size: a sparse file of 64 MiB and one of 4 GiB less a
#     byte (the largest without Zip64; at level 1, which is quick on zeros),
#     and one of 4 GiB, refused.
# Each row: wall time, peak memory (/usr/bin/time), output size, and their
# ratios to zip -9's. The work goes to /tmp (BENCH_WORK to change it); the
# run takes about six minutes on two cores.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/install-deps.sh
cmake --preset host >/dev/null
cmake --build --preset host-release -j2 --target mksfx deflate_choice >/dev/null
mksfx="$root/build/host/tools/Release/mksfx"
[ -x /usr/bin/time ] || { echo "no /usr/bin/time (the time package)"; exit 1; }

work=${BENCH_WORK:-/tmp/korvi-bench-mksfx}
rm -rf "$work" && mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
stub="$root/build/win32/sfx.exe"
if [ ! -f "$stub" ]; then
  stub="$work/stub.exe"
  python3 tests/tool/make_stub.py "$stub" "$(grep -o 'StubSize = [0-9]*' Sfx/layout.h | grep -o '[0-9]*')"
fi
echo "mksfx: $("$mksfx" --version); $(nproc) cores; zip $(zip -v | sed -n 2p | grep -o 'Zip [0-9.]*'); $(7z | sed -n 2p | cut -c1-40)"

# run SECTION LABEL OUTPUT COMMAND...: one row of SECTION's table.
run() {
  local section=$1 label=$2 output=$3
  shift 3
  if ! /usr/bin/time -f "%e %M" -o "$work/time.txt" "$@" >/dev/null 2>"$work/err.txt"; then
    echo "FAILED: $label: $(tail -3 "$work/err.txt")"
    exit 1
  fi
  local size=0
  [ -n "$output" ] && size=$(stat -c %s "$output")
  echo "$label|$(cat "$work/time.txt")|$size" >>"$work/$section.rows"
}

# table SECTION IN_BYTES: the rows with their ratios to zip -9's.
table() {
  python3 - "$work/$1.rows" "$2" <<'PY'
import sys
rows = [l.rstrip("\n").split("|") for l in open(sys.argv[1])]
size_in = int(sys.argv[2])
rows = [(label, float(t.split()[0]), int(t.split()[1]), int(out)) for label, t, out in rows]
ref = next((r for r in rows if r[0].startswith("zip -9")), rows[0])
print(f"  {'':38s} {'time':>8s} {'peak':>9s} {'output':>14s} {'of in':>7s}   {'time':>5s} {'memory':>6s} {'size':>6s}  (to zip -9)")
for label, secs, kb, out in rows:
    share = f"{100 * out / size_in:6.2f}%" if out and size_in else "       "
    size_ratio = f"{out / ref[3]:6.3f}" if out and ref[3] else "      "
    print(f"  {label:38s} {secs:7.2f}s {kb / 1024:7.1f}MB {out:14,d} {share}   {secs / max(ref[1], 0.01):5.2f} {kb / ref[2]:6.2f} {size_ratio}")
PY
}

echo
echo "== 1. compressors on one thread, whole and in pieces (deflate_choice)"
"$root/build/host/Release/deflate_choice" --write "$work/corpus" "$root"
for f in text sources machine-code random; do
  run zip9 "zip -9 $f" "$work/zip9-$f.zip" zip -q -j -9 "$work/zip9-$f.zip" "$work/corpus/$f"
done
python3 - "$work/zip9.rows" "$work/corpus" <<'PY'
import os, sys
for line in open(sys.argv[1]):
    label, t, out = line.rstrip("\n").split("|")
    name = label.split()[-1]
    size = os.path.getsize(os.path.join(sys.argv[2], name))
    secs = float(t.split()[0])
    print(f"{name:13s} {size:10d}  {'Info-ZIP zip -9':22s} {int(out):10d} {100 * int(out) / size:7.2f}% {size / max(secs, 0.01) / 1e6:9.1f}  (the .zip file)")
PY
corpus_size=$(du -sb "$work/corpus" | cut -f1)

echo
echo "== 2. levels: the four corpora together ($corpus_size bytes), all cores unless said"
for level in 1 2 3 4 5 6 7 8 9 10 11 12; do
  run levels "mksfx --level $level" "$work/l$level.exe" "$mksfx" create -q --stub "$stub" -o "$work/l$level.exe" \
    --level $level -C "$work/corpus" .
done
run levels "mksfx --level 10 --threads 1" "$work/l10t1.exe" "$mksfx" create -q --stub "$stub" -o "$work/l10t1.exe" \
  --threads 1 -C "$work/corpus" .
run levels "zip -9" "$work/levels9.zip" bash -c "cd '$work/corpus' && zip -q -r -9 '$work/levels9.zip' ."
run levels "zip -6 (its default)" "$work/levels6.zip" bash -c "cd '$work/corpus' && zip -q -r -6 '$work/levels6.zip' ."
run levels "7z a -tzip (Deflate, -mx5)" "$work/levels7.zip" bash -c "cd '$work/corpus' && 7z a -bd -tzip '$work/levels7.zip' . >/dev/null"
table levels "$corpus_size"
echo "  (mksfx's outputs hold the ${stub##*/} of $(stat -c %s "$stub") bytes; the .zip files hold no stub)"

echo
echo "== 3. 20,000 files of 24 bytes"
python3 - "$work/small" <<'PY'
import os, sys
for d in range(20):
    os.makedirs(f"{sys.argv[1]}/d{d:02d}")
    for f in range(1000):
        open(f"{sys.argv[1]}/d{d:02d}/f{f:04d}.txt", "w").write(f"file {d:02d}/{f:04d} of the tree\n"[:24].ljust(24, "."))
PY
small_size=$((20000 * 24))
run small "mksfx create" "$work/small.exe" "$mksfx" create -q --stub "$stub" -o "$work/small.exe" -C "$work/small" .
run small "zip -9" "$work/small.zip" bash -c "cd '$work/small' && zip -q -r -9 '$work/small.zip' ."
run small "7z a -tzip" "$work/small7.zip" bash -c "cd '$work/small' && 7z a -bd -tzip '$work/small7.zip' . >/dev/null"
run small "mksfx test" "" "$mksfx" test -q "$work/small.exe"
run small "unzip -t of mksfx's program" "" unzip -tq "$work/small.exe"
table small "$small_size"

echo
echo "== 4. a 1 GiB file (3/4 random, 1/8 machine code, 1/8 text)"
python3 - "$work/big/big.bin" "$work/corpus" <<'PY'
import os, random, sys
os.makedirs(os.path.dirname(sys.argv[1]), exist_ok=True)
gib, eighth = 1 << 30, 1 << 27
code = open(os.path.join(sys.argv[2], "machine-code"), "rb").read()
text = open(os.path.join(sys.argv[2], "text"), "rb").read()
random.seed(1)
with open(sys.argv[1], "wb") as f:
    # Parts of 32 MiB in turn, so that every piece of the pipeline meets
    # each kind; repeats lie far beyond Deflate's 32 KiB window.
    kinds = ["random"] * 6 + ["code", "text"]
    written, i = 0, 0
    while written < gib:
        kind, n = kinds[i % 8], min(32 << 20, gib - written)
        source = code if kind == "code" else text if kind == "text" else None
        if source is None:
            f.write(random.randbytes(n))
        else:
            chunk = (source * (n // len(source) + 1))[:n]
            f.write(chunk)
        written += n
        i += 1
PY
big_size=$(stat -c %s "$work/big/big.bin")
run big "mksfx create" "$work/big.exe" "$mksfx" create -q --stub "$stub" -o "$work/big.exe" -C "$work/big" big.bin
run big "zip -9" "$work/big.zip" zip -q -j -9 "$work/big.zip" "$work/big/big.bin"
run big "7z a -tzip" "$work/big7.zip" 7z a -bd -tzip "$work/big7.zip" "$work/big/big.bin"
run big "mksfx test" "" "$mksfx" test -q "$work/big.exe"
run big "unzip -t of mksfx's program" "" unzip -tq "$work/big.exe"
table big "$big_size"
rm -f "$work/big7.zip" "$work/big.zip"

echo
echo "== 5. peak memory against the file's size (sparse files, --level 1)"
truncate -s 64M "$work/big/s64m.bin"
truncate -s 4294967295 "$work/big/s4g.bin"
run sparse "zip -9, 64 MiB" "$work/s64m.zip" zip -q -j -9 "$work/s64m.zip" "$work/big/s64m.bin"
run sparse "mksfx, 64 MiB" "$work/s64m.exe" "$mksfx" create -q --level 1 --stub "$stub" -o "$work/s64m.exe" -C "$work/big" s64m.bin
run sparse "mksfx, 4 GiB less a byte" "$work/s4g.exe" "$mksfx" create -q --level 1 --stub "$stub" -o "$work/s4g.exe" -C "$work/big" s4g.bin
table sparse 0
truncate -s 4G "$work/big/s4g.bin"
if "$mksfx" create -q --stub "$stub" -o "$work/too.exe" -C "$work/big" s4g.bin 2>"$work/err.txt"; then
  echo "  a file of 4 GiB was packed: it needs Zip64"
  exit 1
fi
echo "  4 GiB: $(cat "$work/err.txt")"

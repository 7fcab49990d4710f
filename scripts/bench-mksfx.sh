#!/usr/bin/env bash
# The maker tool's benchmark, every number from this one run:
#  1. deflate_choice: zlib against libdeflate at their highest levels (and a
#     middle level each) on four corpora: packed share and MB/s;
#  2. a 200 MB file (text, numbers and random bytes) through mksfx create at
#     its default (libdeflate 12) and at level 6, mksfx test, and for scale
#     Info-ZIP's zip -9 and unzip -t of the same file.
# Release builds; the stub is build/win32/sfx.exe when built, else a stand-in.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/install-deps.sh
cmake --preset host >/dev/null
cmake --build --preset host-release -j2 --target mksfx deflate_choice >/dev/null
mksfx="$root/build/host/tools/Release/mksfx"

echo "== compressors (deflate_choice)"
"$root/build/host/Release/deflate_choice" "$root"

work="$root/build/bench-mksfx"
rm -rf "$work" && mkdir -p "$work/tree"
stub="$root/build/win32/sfx.exe"
if [ ! -f "$stub" ]; then
  stub="$work/stub.exe"
  python3 tests/tool/make_stub.py "$stub" "$(grep -o 'StubSize = [0-9]*' Sfx/layout.h | grep -o '[0-9]*')"
fi
python3 - "$work/tree/big.bin" <<'PY'
import random, sys
random.seed(200)
words = b"the archive of a self extracting file is written below every folder and then read back".split()
with open(sys.argv[1], "wb") as f:
    written = 0
    while written < 200 * 1024 * 1024:
        kind = random.random()
        if kind < 0.6:
            chunk = b" ".join(random.choice(words) for _ in range(20000))
        elif kind < 0.85:
            start = random.randrange(10**6)
            chunk = "".join(f"{n},{n * 7 % 1000}\n" for n in range(start, start + 15000)).encode()
        else:
            chunk = random.randbytes(100000)
        chunk = chunk[: 200 * 1024 * 1024 - written]
        f.write(chunk)
        written += len(chunk)
PY
size=$(stat -c %s "$work/tree/big.bin")

# run LABEL OUTPUT COMMAND...: the command's time, and OUTPUT's share of size.
run() {
  local label=$1 output=$2
  shift 2
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null
  end=$(date +%s.%N)
  python3 - "$label" "$start" "$end" "$size" "${output:+$(stat -c %s "$output")}" <<'PY'
import sys
label, start, end, size, out = sys.argv[1], float(sys.argv[2]), float(sys.argv[3]), int(sys.argv[4]), sys.argv[5]
seconds = end - start
share = f"{100 * int(out) / size:6.2f}% of in" if out else " " * 13
print(f"{label:34s} {seconds:7.2f} s  {size / seconds / 1e6:7.1f} MB/s  {share}")
PY
}

echo "== a 200 MB file ($size bytes)"
run "mksfx create (libdeflate 12)" "$work/big.exe" "$mksfx" create -q --stub "$stub" -o "$work/big.exe" -C "$work/tree" big.bin
run "mksfx create --level 6" "$work/big6.exe" "$mksfx" create -q --stub "$stub" -o "$work/big6.exe" --level 6 -C "$work/tree" big.bin
run "mksfx create --password" "$work/bigpw.exe" "$mksfx" create -q --stub "$stub" -o "$work/bigpw.exe" --password pw -C "$work/tree" big.bin
run "mksfx test" "" "$mksfx" test -q "$work/big.exe"
run "zip -9 (Info-ZIP, for scale)" "$work/big.zip" bash -c "cd '$work/tree' && zip -q -9 '$work/big.zip' big.bin"
run "unzip -t of mksfx's program" "" unzip -tq "$work/big.exe"
rm -rf "$work"

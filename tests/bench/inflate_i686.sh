#!/usr/bin/env bash
# The i686 Inflate benchmark under Wine in one command: brings libdeflate's
# source (tests/bench/fetch_libdeflate.sh), builds inflate_bench.exe with the
# win32 preset, runs it RUNS times in a Wine prefix of its own and prints,
# for each case, the median over the runs of each run's fastest decoding
# (MB/s) and of its ratios (a peer's time over ours: above 1, ours is faster).
#
#   bash tests/bench/inflate_i686.sh [RUNS] [ARGUMENTS...]
#
# ARGUMENTS go to inflate_bench.exe: corpus names, or --zip FILE.
set -euo pipefail
cd "$(dirname "$0")/../.."
runs=${1:-3}
shift || true
bash tests/bench/fetch_libdeflate.sh build/libdeflate >/dev/null
cmake --preset win32 >/dev/null && cmake --build --preset win32 -j2 --target inflate_bench >/dev/null
export WINEPREFIX="$PWD/build/win32/wineprefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
[ -d "$WINEPREFIX/drive_c/windows" ] || wineboot -i </dev/null >/dev/null 2>&1
out=$(mktemp)
trap 'rm -f "$out"' EXIT
for run in $(seq "$runs"); do
  wine build/win32/inflate_bench.exe "$@" </dev/null | tee -a "$out"
done
python3 - "$out" "$runs" <<'EOF'
import collections, statistics, sys
rows = collections.OrderedDict()
for line in open(sys.argv[1]):
    f = line.split()
    if f and f[0].startswith("BM_"):
        rows.setdefault(f[0], []).append(float(f[1].rstrip("M/s")))
    elif f and f[0] == "ratio":
        rows.setdefault(f"ratio {f[1]} {f[2]}", []).append(float(f[3]))
print(f"\nmedians over {sys.argv[2]} runs of each run's fastest decoding")
for name, values in rows.items():
    unit = "" if name.startswith("ratio") else " MB/s"
    print(f"{name:40s} {statistics.median(values):10.3f}{unit}")
EOF

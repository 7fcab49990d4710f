#!/usr/bin/env bash
# The end-to-end benchmark (tests/bench/bench_e2e.py): builds the stub, the
# maker, the write loop and the i686 Inflate benchmark (with libdeflate from
# Debian's source package, tests/bench/fetch_libdeflate.sh), makes a Wine
# prefix with a virtual desktop under build/bench-e2e, and runs the benchmark
# on a virtual display with one Wine server for the whole run. Prints each
# median time and the ratios; takes about ten minutes, about 2 GB of disk
# under build/ and as much memory in /dev/shm while it runs.
#
#   bash scripts/bench-e2e.sh [--runs N] [--cold-desktop]
#     N timed runs of each case, 3 by default; the Wine desktop is kept open
#     by a program on it, as Windows' desktop is, unless --cold-desktop.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi
bash scripts/install-deps.sh
bash tests/bench/fetch_libdeflate.sh build/libdeflate >/dev/null
cmake --preset host >/dev/null && cmake --build --preset host -j2 --target mksfx >/dev/null
cmake --preset win32 >/dev/null && cmake --build --preset win32 -j2 --target stub writeloop inflate_bench >/dev/null

work="$root/build/bench-e2e"
mkdir -p "$work"
export WINEPREFIX="$work/wineprefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -d "$WINEPREFIX/drive_c/windows" ]; then
  wineboot -i </dev/null >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f </dev/null >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f </dev/null >/dev/null 2>&1
  wineserver -w
fi
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT
python3 tests/bench/bench_e2e.py "$root/build/win32" "$root/build/host/tools/Debug" "$work" "$@"

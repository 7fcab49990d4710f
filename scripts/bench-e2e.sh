#!/usr/bin/env bash
# The end-to-end benchmark (tests/bench/bench_e2e.py): builds the stub, the
# maker and the write loop, makes a Wine prefix with a virtual desktop under
# build/bench-e2e, and runs the benchmark on a virtual display. Prints each
# time and the ratios; takes a few minutes and about 2 GB of disk.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi
bash scripts/install-deps.sh
cmake --preset host >/dev/null && cmake --build --preset host -j2 --target mksfx >/dev/null
cmake --preset win32 >/dev/null && cmake --build --preset win32 -j2 --target stub writeloop >/dev/null

work="$root/build/bench-e2e"
mkdir -p "$work"
export WINEPREFIX="$work/wineprefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -d "$WINEPREFIX/drive_c/windows" ]; then
  wineboot -i </dev/null >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f </dev/null >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f </dev/null >/dev/null 2>&1
  wineserver -w
fi
python3 tests/bench/bench_e2e.py "$root/build/win32" "$root/build/host/tools/Debug" "$work"
wineserver -k 2>/dev/null || true

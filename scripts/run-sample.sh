#!/usr/bin/env bash
# The main job: builds the stub and the tools, makes a self-extracting file
# from the bundled sample folder with mksfx create, runs it under Wine in
# automatic mode and shows where the files went.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/install-deps.sh

# mksfx as users build it: Release (the Debug build is the sanitized one for the tests).
cmake --preset host >/dev/null && cmake --build --preset host-release -j2 --target mksfx >/dev/null
cmake --preset win32 >/dev/null && cmake --build --preset win32 -j2 --target stub

out="$root/build/sample"
rm -rf "$out" && mkdir -p "$out"
mksfx="$root/build/host/tools/Release/mksfx"
"$mksfx" create --stub build/win32/sfx.exe -o "$out/sample-setup.exe" \
  --caption "Sample" --dest 'C:\korvi-sample' --auto -C sample .
echo "made $out/sample-setup.exe ($(stat -c %s "$out/sample-setup.exe") bytes); what the stub will find in it:"
"$mksfx" list "$out/sample-setup.exe" | sed 's/^/  /'

# Wine runs the 32-bit stub only where the kernel runs 32-bit code (an
# emulator registered with binfmt_misc does too, at about a minute a start).
if ! /lib/i386-linux-gnu/ld-linux.so.2 --version >/dev/null 2>&1; then
  echo "this machine's kernel runs no 32-bit programs (booted without ia32_emulation): Wine cannot start the stub here"
  exit 1
fi
export WINEPREFIX="$out/wineprefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
echo "making a Wine prefix in $WINEPREFIX ..."
wineboot -i </dev/null >/dev/null 2>&1 && wineserver -w
cp "$out/sample-setup.exe" "$WINEPREFIX/drive_c/sample-setup.exe"
echo "running C:\\sample-setup.exe under Wine (automatic mode: no dialog) ..."
(cd "$WINEPREFIX/drive_c" && timeout 120 xvfb-run -a wine 'C:\sample-setup.exe' </dev/null >"$out/wine.log" 2>&1) \
  && echo "exit code 0" || echo "exit code $?"
wineserver -w || true

dest="$WINEPREFIX/drive_c/korvi-sample"
if [ -d "$dest" ]; then
  echo "extracted to C:\\korvi-sample, which is $dest on this machine:"
  (cd "$dest" && find . -type f -printf '  %p  %s bytes  %TY-%Tm-%Td %TH:%TM\n' | sort)
  diff -r sample "$dest" >/dev/null && echo "the extracted files are identical to sample/" \
    || { echo "the extracted files differ from sample/"; exit 1; }
else
  echo "nothing was extracted to C:\\korvi-sample"
  exit 1
fi

#!/usr/bin/env bash
# Runs every test: installs what is missing, builds the host, fuzz and win32
# trees and runs their tests headless (Wine on a virtual X display).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

echo "== host: build and unit tests"
cmake --preset host >/dev/null
cmake --build --preset host -j2
cmake --build --preset host-release -j2 --target inflate_bench
ctest --preset host -j2

echo "== fuzz: short runs of every target"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2
ctest --preset fuzz

echo "== win32: the stub and its Wine tests"
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j2
xvfb-run -a -s "-screen 0 1024x768x24" ctest --preset win32

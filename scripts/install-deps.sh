#!/usr/bin/env bash
# Installs every Debian package that the two build trees and all tests need.
# Idempotent: when everything is present it prints nothing and changes nothing.
set -euo pipefail

packages=(
  cmake ninja-build g++ make python3
  g++-mingw-w64-i686 mingw-w64-i686-dev binutils-mingw-w64-i686
  wine wine32 wine64 fonts-wine xvfb xauth x11-utils imagemagick
  zip unzip p7zip-full
  golang-go libarchive-tools nodejs
  zlib1g-dev libz-mingw-w64-dev libdeflate-dev
  osslsigncode openssl time
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang-14 libclang-rt-14-dev
)

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

missing=()
for p in "${packages[@]}"; do
  case "$p" in wine32) q="wine32:i386" ;; *) q="$p" ;; esac
  if ! dpkg-query -W -f='${Status}' "$q" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$q")
  fi
done
# Writers of the end-to-end tests that another package may already provide:
# `jar` from any JDK, `npm` from Debian or from the nodejs of NodeSource
# (which ships npm itself and conflicts with Debian's npm package).
command -v jar >/dev/null 2>&1 || missing+=(default-jdk-headless)
command -v npm >/dev/null 2>&1 || missing+=(npm)
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
# A mirror in the middle of a sync fails an index now and then (seen: the
# security suite's i386 list, for days); try again, then go on with the lists
# apt has.
updated=no
for try in 1 2 3; do
  if $SUDO apt-get update -qq; then updated=yes; break; fi
  sleep 10
done
if $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null; then
  exit 0
fi
[ "$updated" = yes ] && exit 1
# Without the i386 list of one suite, wine32's libraries cannot match the
# versions of their amd64 twins. Install from the release and its updates
# alone, in lists of their own, which leaves the system's lists as they are.
echo "Installing from the release's own suites, as the mirror's lists do not agree" >&2
lists=$(mktemp -d)
mkdir -p "$lists/parts" "$lists/lists/partial"
# The system's own sources, less the security suite's.
for f in /etc/apt/sources.list.d/*.sources; do
  if [ -e "$f" ]; then awk -v RS= -v ORS='\n\n' '!/security/' "$f" > "$lists/parts/$(basename "$f")"; fi
done
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
  if [ -e "$f" ]; then grep -v -- '-security' "$f" > "$lists/parts/$(basename "$f")" || true; fi
done
own=(-o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$lists/parts" -o "Dir::State::Lists=$lists/lists")
$SUDO apt-get "${own[@]}" update -qq || true  # the install says whether the lists sufficed
$SUDO apt-get "${own[@]}" install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
rm -rf "$lists"

#!/usr/bin/env bash
# Brings Debian's source package of libdeflate (the version that
# libdeflate-dev is built from) into DEST/src, for the i686 Inflate benchmark:
# Debian packages no libdeflate for mingw, so tests/bench/win32.cmake builds
# its decompressor from this source into the benchmark, never into the stub.
# The machine's apt sources are left as they are: the source index is read
# into DEST/apt with a sources list of its own. Does nothing when DEST/src
# is there already.
#
#   fetch_libdeflate.sh DEST
set -euo pipefail
dest=$(realpath -m "${1:?usage: fetch_libdeflate.sh DEST}")
[ -f "$dest/src/lib/deflate_decompress.c" ] && exit 0

apt="$dest/apt"
mkdir -p "$apt/lists/partial" "$apt/download"
. /etc/os-release
# The archive this machine's apt already uses, for its source packages.
mirror=$(sed -n 's/^URIs: *//p' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -n 1)
[ -n "$mirror" ] || mirror=$(sed -n 's/^deb  *\(\[[^]]*\] *\)\{0,1\}\([^ ]*\).*/\2/p' /etc/apt/sources.list 2>/dev/null | head -n 1)
[ -n "$mirror" ] || { echo "fetch_libdeflate.sh: no apt archive configured" >&2; exit 1; }
echo "deb-src $mirror ${VERSION_CODENAME:-bookworm} main" >"$apt/sources.list"
options=(-o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=$apt/none"
         -o "Dir::State::Lists=$apt/lists" -o "APT::Sandbox::User=root")
apt-get "${options[@]}" update -qq
(cd "$apt/download" && apt-get "${options[@]}" source --download-only -qq libdeflate)

orig=$(ls "$apt/download"/libdeflate_*.orig.tar.* | head -n 1)
rm -rf "$dest/unpack" "$dest/src"
mkdir -p "$dest/unpack"
tar -xf "$orig" -C "$dest/unpack"
mv "$dest/unpack"/libdeflate-* "$dest/src"
rm -rf "$dest/unpack"
echo "libdeflate source: $dest/src ($(basename "$orig"))"

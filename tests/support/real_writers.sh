#!/usr/bin/env bash
# Writes one ZIP archive per real, common writer of a small tree, for the
# end-to-end test of archives from real writers (tests/e2e/test_auto_writers.sh):
#
#   real_writers.sh OUT CACHE
#
# makes the tree OUT/src, then OUT/NAME.zip for each writer and the list
# OUT/writers.txt, one "NAME CODE ORACLE [REFUSED...]" a line: the stub's
# expected exit code, the reference extractor ("unzip", or "python" where
# unzip gets the names wrong) and the entries that the stub must refuse. A
# writer whose tool is missing is named on a "SKIP" line on standard output
# (only jar may be; the others are the test's dependencies). CACHE keeps what
# may outlive a run: the Go build cache, the Go writer and the Node packages.
# Each archive is then checked for the trait that makes it worth testing
# (real_writers_traits.py: bit 3, Zip64 fields, "./" names, ...): a writer that
# stops writing it fails here, rather than leave the test proving less than it
# says.
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: real_writers.sh OUT CACHE" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$1" "$2"
out=$(cd "$1" && pwd) cache=$(cd "$2" && pwd)
cd "$out"
rm -rf src ./*.zip writers.txt
# DOS times are local times: one zone away from UTC and without daylight
# saving (the test runs the stub under Wine in the same zone).
export TZ=${TZ:-Asia/Tokyo}
export LC_ALL=C.UTF-8

# The tree: text, random binary, a long run, an empty file, a non-ASCII
# folder and name, a sub folder; odd seconds, which a DOS time cannot keep.
mkdir -p src
python3 - <<'PY'
import os, random, time
random.seed(11)
words = "korvi writer archive header descriptor zip64 deflate stored".split()
files = {
    "readme.txt": "\r\n".join(" ".join(random.choice(words) for _ in range(10)) for _ in range(400)).encode(),
    "noise.bin": bytes(random.getrandbits(8) for _ in range(40000)),
    "run.bin": b"\0" * 300000 + b"end of the run\n",
    "empty.txt": b"",
    "café/naïve.txt": "naïve café, Grüße\n".encode() * 20,
    "sub/deeper/notes.txt": b"a file two folders down\n",
}
stamps = ["2019-05-17 14:33:21", "2003-02-03 04:05:07", "2024-12-31 23:59:59",
          "2011-07-01 00:00:01", "1999-10-26 01:21:03", "2031-01-19 03:14:05"]
for (name, data), stamp in zip(files.items(), stamps):
    path = os.path.join("src", name)
    os.makedirs(os.path.dirname(path) or ".", exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    t = time.mktime(time.strptime(stamp, "%Y-%m-%d %H:%M:%S"))
    os.utime(path, (t, t))
PY

writers=()
# made NAME [CODE ORACLE REFUSED...]: NAME.zip is written.
made() { if [ $# -eq 1 ]; then writers+=("$1 0 unzip"); else writers+=("$*"); fi; }

# zip 3.0 flags UTF-8 names (bit 11) only where it can switch to the locale
# en_US.UTF-8; where that is not installed, C.UTF-8 stands in under its name.
zip_locpath=
if ! python3 -c 'import locale; locale.setlocale(locale.LC_CTYPE, "en_US.UTF-8")' 2>/dev/null; then
  mkdir -p "$cache/locale"
  if [ ! -e "$cache/locale/en_US.UTF-8" ]; then
    if [ -d /usr/lib/locale/C.utf8 ]; then ln -s /usr/lib/locale/C.utf8 "$cache/locale/en_US.UTF-8"
    else localedef -i en_US -f UTF-8 "$cache/locale/en_US.UTF-8"; fi
  fi
  zip_locpath=$cache/locale
fi
izip() { LOCPATH=${zip_locpath:-${LOCPATH:-}} zip "$@"; }

# Go's archive/zip, standard library only; its caches stay in CACHE.
export GOCACHE=$cache/go/cache GOPATH=$cache/go/path GOENV=off GOFLAGS='' GO111MODULE=''
go build -o "$cache/go/go_writer" "$here/go_writer/main.go"
# UnZip 6.0 takes a name from an MS-DOS host for OEM text even when it is
# flagged as UTF-8: Go's Create and jar write such names.
"$cache/go/go_writer" create go-create.zip src
made go-create 0 python
"$cache/go/go_writer" store go-store.zip src
made go-store

# bsdtar run inside the tree: every name starts with "./".
(cd src && bsdtar --format zip -cf ../bsdtar.zip .)
made bsdtar
(cd src && bsdtar --format zip --options zip:compression=store -cf ../bsdtar-store.zip .)
made bsdtar-store

# Info-ZIP writing to a pipe, and Zip64 fields.
(cd src && izip -q -r - . | cat > ../infozip-pipe.zip)
made infozip-pipe
(cd src && find . -type f | sort | izip -q -@ - | cat > ../infozip-pipe-names.zip)
made infozip-pipe-names
(cd src && izip -q -r -fz ../infozip-fz.zip .)
made infozip-fz
(cd src && printf 'data from standard input\r\n%.0s' $(seq 50) | izip -q ../infozip-stdin.zip - readme.txt)
made infozip-stdin
# Info-ZIP 3.0 in the C locale: UTF-8 names without bit 11 or a Unicode Path field.
(cd src && LC_ALL=C LOCPATH='' zip -q -r ../infozip-c-locale.zip .)
made infozip-c-locale

# Python's zipfile to a pipe (standard output through cat: stored, Deflate,
# Zip64) and with Zip64 fields to a file.
python_zip() {
  (cd src && python3 -c '
import os, sys, zipfile
method, zip64, target = sys.argv[1:4]
method = {"stored": zipfile.ZIP_STORED, "deflated": zipfile.ZIP_DEFLATED}[method]
names = sorted(os.path.join(d, f)[2:] for d, _, fs in os.walk(".") for f in fs)
with zipfile.ZipFile(sys.stdout.buffer if target == "-" else target, "w", method) as z:
    for name in names:
        info = zipfile.ZipInfo.from_file(name)
        info.compress_type = method
        with open(name, "rb") as src, z.open(info, "w", force_zip64=zip64 == "zip64") as dst:
            dst.write(src.read())
' "$@")
}
python_zip stored - - | cat > python-pipe-stored.zip
made python-pipe-stored
python_zip deflated - - | cat > python-pipe-deflated.zip
made python-pipe-deflated
python_zip deflated zip64 - | cat > python-pipe-zip64.zip
made python-pipe-zip64
python_zip deflated zip64 ../python-zip64.zip
made python-zip64

# Java's jar (ZipOutputStream), where a JDK is installed.
if command -v jar >/dev/null 2>&1; then
  jar cf jar.zip -C src .
  made jar 0 python
else
  echo "SKIP jar: no jar command (no JDK installed)"
fi

# Node: yazl's addFile and archiver, pinned in node_writers/package.json.
# They are installed from the npm registry once per lock file (the copy
# installed.lock says which was).
node_dir=$cache/node_writers
if ! cmp -s "$here/node_writers/package-lock.json" "$node_dir/installed.lock"; then
  rm -rf "$node_dir"
  mkdir -p "$node_dir"
  cp "$here/node_writers/package.json" "$here/node_writers/package-lock.json" "$node_dir/"
  (cd "$node_dir" && npm ci --no-audit --no-fund --cache "$cache/npm-cache" --loglevel=error >/dev/null)
  cp "$here/node_writers/package-lock.json" "$node_dir/installed.lock"
fi
NODE_PATH=$node_dir/node_modules node "$here/node_writers/write.js" yazl node-yazl.zip src
made node-yazl
NODE_PATH=$node_dir/node_modules node "$here/node_writers/write.js" archiver node-archiver.zip src
made node-archiver

# 7-Zip: a BZip2 entry, which the stub does not decode, between two Deflate
# ones (7-Zip keeps the entries in the order of their names).
(cd src && 7z a -tzip -mm=Deflate ../7zip-bzip2-between.zip café/naïve.txt >/dev/null &&
  7z a -tzip -mm=BZip2 ../7zip-bzip2-between.zip readme.txt >/dev/null &&
  7z a -tzip -mm=Deflate ../7zip-bzip2-between.zip run.bin >/dev/null)
made 7zip-bzip2-between 1 unzip readme.txt

python3 "$here/real_writers_traits.py" . "${writers[@]%% *}"
printf '%s\n' "${writers[@]}" > writers.txt

#!/usr/bin/env bash
# Automatic mode over Deflate archives made by three different tools: Info-ZIP
# zip -9, Python's zipfile and 7-Zip. Each holds text, incompressible bytes,
# a long run and an empty file; every file must come out byte for byte.
source "$KORVI_SOURCE/tests/e2e/lib.sh"
mkdir -p src/sub
python3 - <<'PY'
import random
random.seed(4)
words = "the archive of a self extracting file is written below every folder".split()
open("src/text.txt", "w").write(" ".join(random.choice(words) for _ in range(40000)))
open("src/sub/noise.bin", "wb").write(bytes(random.getrandbits(8) for _ in range(70000)))
open("src/sub/run.bin", "wb").write(b"x" * 100000 + b"y" * 65536)
open("src/empty.txt", "wb").close()
PY
files="text.txt sub/noise.bin sub/run.bin empty.txt"
(cd src && zip -q -X -9 ../infozip.zip $files)
(cd src && python3 -c "
import zipfile, sys
with zipfile.ZipFile('../python.zip', 'w', zipfile.ZIP_DEFLATED) as z:
    for f in sys.argv[1:]: z.write(f)
" $files)
(cd src && 7z a -tzip -mx=9 -mm=Deflate ../sevenzip.zip $files >/dev/null)

for maker in infozip python sevenzip; do
  unzip -Z1 "$maker.zip" >/dev/null || fail "$maker.zip is not readable"
  make_sfx "$maker.exe" "$WORK/$maker.zip" --auto --dest "$WORK_WIN\\$maker"
  drive "$WORK_WIN\\$maker.exe" exit 0
  for f in $files; do
    cmp -s "src/$f" "$maker/$f" || fail "$maker: $f differs"
  done
  echo "$maker: extracted byte for byte"
done

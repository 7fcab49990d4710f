#!/usr/bin/env bash
# The icon MNICON: four images, 16x16 and 32x32 in 16 and in 256 colours,
# every one of them carried by the stub, which opens its main dialog with
# it (the README's screenshots show the icon in the window frames).
source "$KORVI_SOURCE/tests/e2e/lib.sh"
python3 - "$KORVI_WIN32/generated/mnicon.ico" "$STUB" <<'PY'
import struct, sys
ico = open(sys.argv[1], "rb").read()
stub = open(sys.argv[2], "rb").read()
reserved, kind, count = struct.unpack_from("<HHH", ico, 0)
assert (reserved, kind) == (0, 1), "not an icon file"
found = set()
for i in range(count):
    w, h, colours, _, planes, bits, size, offset = struct.unpack_from("<BBBBHHII", ico, 6 + 16 * i)
    image = ico[offset:offset + size]
    hdr_w, hdr_h, _, hdr_bits = struct.unpack_from("<iiHH", image, 4)
    assert (hdr_w, hdr_h, hdr_bits) == (w, 2 * h, bits), f"image {i}: header disagrees with directory"
    assert image in stub, f"the stub lacks the {w}x{h} {bits}-bit image"
    found.add((w, bits))
want = {(16, 4), (16, 8), (32, 4), (32, 8)}
assert found == want, f"images {sorted(found)}, not {sorted(want)}"
print("four images, all in the stub")
PY
printf 'x' > x.txt && zip -q -X x.zip x.txt && make_sfx icon.exe "$WORK/x.zip"
drive "$WORK_WIN\\icon.exe" window "Korvi EXE" click 2 exit 0

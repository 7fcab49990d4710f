#!/usr/bin/env bash
# The icon MNICON: two images, 16x16 and 32x32, in 8 bits a pixel, each with
# a colour table of only the colours its pixels use, every one of them
# carried by the stub, which opens its main dialog with it (the README's
# screenshots show the icon in the window frames).
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
    assert bits == 8, f"image {i}: {bits} bits a pixel"
    assert image in stub, f"the stub lacks the {w}x{h} {bits}-bit image"
    # The colour table holds the colours the pixels use and no more.
    used, = struct.unpack_from("<I", image, 32)
    stride = (w * bits + 31) // 32 * 4
    pixels = image[40 + 4 * used:40 + 4 * used + stride * h]
    indices = set()
    for y in range(h):
        row = pixels[y * stride:(y + 1) * stride]
        for x in range(w):
            indices.add(row[x])
    assert indices == set(range(used)), f"image {i}: uses {sorted(indices)} of {used} colours"
    found.add(w)
assert found == {16, 32} and count == 2, f"sizes {sorted(found)} in {count} images, not 16 and 32"
print("two images, all in the stub")
PY
printf 'x' > x.txt && zip -q -X x.zip x.txt && make_sfx icon.exe "$WORK/x.zip"
drive "$WORK_WIN\\icon.exe" window "Korvi EXE" click 2 exit 0

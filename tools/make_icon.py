#!/usr/bin/env python3
"""Draws MNICON, the program's icon, into an .ico file: a parcel (the archive)
with a blue arrow coming out of it downward, shaded, in two images, 16x16 and
32x32, each in 8 bits a pixel with only the colours it uses (15 and 18).
There are no 16-colour images: Windows shows those only on displays of 16
colours, which Windows 7 to 11 do not run. The 16x16 image keeps 8 bits,
though 4 would hold its colours: for a size between the two (24x24 at 144
DPI) Wine takes, of two images equally near, the one of more bits, and would
then show the 32x32 picture where it shows the 16x16 one.
The picture is computed, not painted by hand, so the file is the same on
every run:  make_icon.py OUT.ico"""
import struct
import sys

# The 16 colours every display adapter has, in their usual order.
VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
       (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
       (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def shaded_palette():
    """The 16 VGA colours, then ramps of the parcel's brown, the arrow's blue
    and grey, then a 6x6x6 colour cube to fill the rest."""
    pal = list(VGA)
    for i in range(24):
        t = i / 23
        pal.append((int(120 + 130 * t), int(80 + 120 * t), int(30 + 80 * t)))   # parcel
        pal.append((int(10 + 90 * t), int(40 + 140 * t), int(140 + 115 * t)))   # arrow
        pal.append((int(60 + 190 * t),) * 3)                                    # grey
    for r in range(6):
        for g in range(6):
            for b in range(6):
                if len(pal) < 256:
                    pal.append((r * 51, g * 51, b * 51))
    while len(pal) < 256:
        pal.append((0, 0, 0))
    return pal[:256]


def picture(u, v):
    """Colour at (u, v) in a unit square (v downward), or None for transparent."""
    # The arrow: a shaft and a head pointing down, over the parcel's front.
    if 0.42 <= u <= 0.58 and 0.30 <= v <= 0.70:
        return (30, 80, 230)
    if 0.70 <= v <= 0.97 and abs(u - 0.5) <= (0.97 - v) * 0.95:
        return (20 + int(60 * (v - 0.7)), 60, 200)
    # Outline of the parcel.
    left, right, top, bottom = 0.10, 0.90, 0.22, 0.80
    if left <= u <= right and top <= v <= bottom:
        edge = min(u - left, right - u, v - top, bottom - v)
        if edge < 0.06:
            return (70, 40, 10)
        # The string tied around it.
        if abs(v - 0.45) < 0.05:
            return (235, 235, 235)
        t = (u - left) / (right - left)
        return (int(245 - 70 * t), int(190 - 60 * t), int(90 - 40 * t))
    # The lid, seen from above.
    if 0.14 <= v < top and left + (top - v) <= u <= right - (top - v) * 0.2:
        return (200, 150, 70)
    return None


def nearest(pal, rgb):
    return min(range(len(pal)), key=lambda i: sum((a - b) ** 2 for a, b in zip(pal[i], rgb)))


def image(size):
    """(bits a pixel, the image as the .ico file holds it: header, colours,
    pixels, mask) of the picture at size x size."""
    pal = shaded_palette()
    rows, mask = [], []
    for y in range(size):
        idx, m = [], []
        for x in range(size):
            # Sample the middle of each pixel.
            c = picture((x + 0.5) / size, (y + 0.5) / size)
            idx.append(0 if c is None else nearest(pal, c))
            m.append(1 if c is None else 0)
        rows.append(idx)
        mask.append(m)
    # Only the colours the picture uses go into the file (biClrUsed): the
    # stub carries every byte of its icon.
    keep = sorted(set(i for row in rows for i in row))
    where = {old: new for new, old in enumerate(keep)}
    rows = [[where[i] for i in row] for row in rows]
    pal = [pal[i] for i in keep]
    bits = 8
    # DIB rows run bottom-up, each padded to 4 bytes; the AND mask follows.
    xor = b""
    for idx in reversed(rows):
        line = bytes(idx)
        xor += line + b"\0" * (-len(line) % 4)
    andm = b""
    for m in reversed(mask):
        line = bytes(sum(m[i + j] << (7 - j) for j in range(8)) for i in range(0, size, 8))
        andm += line + b"\0" * (-len(line) % 4)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, len(xor) + len(andm), 0, 0, len(pal), 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in pal)
    return bits, header + palette + xor + andm


def main():
    sizes = [16, 32]
    images = [image(size) for size in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, (bits, data) in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, bits, len(data), offset)  # 0: 256 colours
        offset += len(data)
    out += b"".join(data for _, data in images)
    with open(sys.argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()

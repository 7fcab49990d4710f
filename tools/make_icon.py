#!/usr/bin/env python3
"""Draws MNICON, the program's icon, into an .ico file: a parcel (the archive)
with a blue arrow coming out of it downward, in four images: 16x16 and 32x32,
each in 16 colours (the standard VGA palette) and in 256 colours (shaded; only the colours used are stored).
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


def picture(u, v, shaded):
    """Colour at (u, v) in a unit square (v downward), or None for transparent."""
    # The arrow: a shaft and a head pointing down, over the parcel's front.
    if 0.42 <= u <= 0.58 and 0.30 <= v <= 0.70:
        return (30, 80, 230) if shaded else (0, 0, 255)
    if 0.70 <= v <= 0.97 and abs(u - 0.5) <= (0.97 - v) * 0.95:
        return (20 + int(60 * (v - 0.7)), 60, 200) if shaded else (0, 0, 128)
    # Outline of the parcel.
    left, right, top, bottom = 0.10, 0.90, 0.22, 0.80
    if left <= u <= right and top <= v <= bottom:
        edge = min(u - left, right - u, v - top, bottom - v)
        if edge < 0.06:
            return (70, 40, 10) if shaded else (128, 0, 0)
        # The string tied around it.
        if abs(v - 0.45) < 0.05:
            return (235, 235, 235) if shaded else (255, 255, 255)
        if shaded:
            t = (u - left) / (right - left)
            return (int(245 - 70 * t), int(190 - 60 * t), int(90 - 40 * t))
        return (255, 255, 0) if u < 0.5 else (128, 128, 0)
    # The lid, seen from above.
    if 0.14 <= v < top and left + (top - v) <= u <= right - (top - v) * 0.2:
        return (200, 150, 70) if shaded else (128, 128, 0)
    return None


def nearest(pal, rgb):
    return min(range(len(pal)), key=lambda i: sum((a - b) ** 2 for a, b in zip(pal[i], rgb)))


def image(size, bits):
    pal = VGA if bits == 4 else shaded_palette()
    shaded = bits == 8
    rows, mask = [], []
    for y in range(size):
        idx, m = [], []
        for x in range(size):
            # Sample the middle of each pixel.
            c = picture((x + 0.5) / size, (y + 0.5) / size, shaded)
            idx.append(0 if c is None else nearest(pal, c))
            m.append(1 if c is None else 0)
        rows.append(idx)
        mask.append(m)
    used = 16
    if bits == 8:
        # Only the colours the picture uses go into the file (biClrUsed): the
        # stub carries every byte of its icon.
        keep = sorted(set(i for row in rows for i in row))
        where = {old: new for new, old in enumerate(keep)}
        rows = [[where[i] for i in row] for row in rows]
        pal = [pal[i] for i in keep]
        used = len(pal)
    # DIB rows run bottom-up, each padded to 4 bytes; the AND mask follows.
    xor = b""
    for idx in reversed(rows):
        if bits == 4:
            line = bytes((idx[i] << 4) | idx[i + 1] for i in range(0, size, 2))
        else:
            line = bytes(idx)
        xor += line + b"\0" * (-len(line) % 4)
    andm = b""
    for m in reversed(mask):
        line = bytes(sum(m[i + j] << (7 - j) for j in range(8)) for i in range(0, size, 8))
        andm += line + b"\0" * (-len(line) % 4)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, len(xor) + len(andm), 0, 0, used, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in pal)
    return header + palette + xor + andm


def main():
    formats = [(16, 4), (16, 8), (32, 4), (32, 8)]
    images = [image(s, b) for s, b in formats]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for (size, bits), data in zip(formats, images):
        colours = 16 if bits == 4 else 0  # 0 stands for 256 in the directory
        out += struct.pack("<BBBBHHII", size, size, colours, 0, 1, bits, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(sys.argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()

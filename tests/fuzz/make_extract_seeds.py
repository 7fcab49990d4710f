#!/usr/bin/env python3
"""Writes the seeds of the extract fuzz target (tests/fuzz/extract_fuzz.cpp):
a control byte, two 16-bit volume lengths, then the archive's bytes. Plain,
Deflate, folder and spanned archives, each in a few controls."""
import io, os, struct, sys, zipfile

out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "corpus", "extract")
os.makedirs(out, exist_ok=True)

def archive(entries, method=zipfile.ZIP_STORED):
    b = io.BytesIO()
    with zipfile.ZipFile(b, "w", method) as z:
        for name, data in entries:
            z.writestr(zipfile.ZipInfo(name, (2001, 7, 15, 12, 30, 10)), data)
    return b.getvalue()

plain = archive([("a.txt", b"alpha"), ("sub/b", b"beta" * 50), ("x.txt", b"")])
deflated = archive([("a.txt", b"text " * 400), ("b", b"more " * 300)], zipfile.ZIP_DEFLATED)
folders = archive([("d/", b""), ("d/e/f.txt", b"f"), ("../up.txt", b"no")])
spanned = b"PK\x07\x08" + plain
seeds = {
    "plain": (0x00, 0, 0, plain),
    "plain_existing_ask": (0x28, 0, 0, plain),
    "plain_existing_keep": (0x18, 0, 0, plain),
    "deflated": (0x00, 0, 0, deflated),
    "folders": (0x08, 0, 0, folders),
    "spanned_two": (0x01, 60, 0, spanned),
    "spanned_three": (0x03, 50, 40, spanned),
    "spanned_empty_middle": (0x03, 50, 0, spanned),
    "cut_with_volume_beside": (0x01, 70, 0, plain),
}
for name, (control, first, second, body) in seeds.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(struct.pack("<BHH", control, first, second) + body)

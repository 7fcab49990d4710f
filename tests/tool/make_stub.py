#!/usr/bin/env python3
"""Writes a stand-in for the stub: a minimal, valid 32-bit PE image (one
section holding a RET) padded with zeros to the stub's size, for the host
tests of mksfx, which run before the Windows tree is built. It is never run;
ZIP readers and 7-Zip only need to see a well-formed program in front.
With MANIFEST, a second section holds the resources: that file as the
application manifest (RT_MANIFEST 24, id 1, language 1033), as the stub's
own Dialog/sfx.manifest is, for mksfx's --admin, --highest and list.

    make_stub.py OUT STUB_SIZE [MANIFEST]"""
import struct
import sys

TEXT_RVA, RSRC_RVA, FILE_ALIGN = 0x1000, 0x2000, 512


def resources(manifest: bytes) -> bytes:
    """The resource section: three directories of one entry each (type 24,
    id 1, language 1033), the data entry, then the manifest's bytes."""
    def directory(entry_id: int, offset: int) -> bytes:
        return struct.pack("<IIHHHH", 0, 0, 0, 0, 0, 1) + struct.pack("<II", entry_id, offset)
    tree = directory(24, 0x80000000 | 0x18) + directory(1, 0x80000000 | 0x30) + directory(1033, 0x48)
    data_at = 0x58
    entry = struct.pack("<IIII", RSRC_RVA + data_at, len(manifest), 0, 0)
    return (tree + entry).ljust(data_at, b"\0") + manifest


def main() -> int:
    out, size = sys.argv[1], int(sys.argv[2])
    rsrc = resources(open(sys.argv[3], "rb").read()) if len(sys.argv) > 3 else b""
    rsrc_raw = -(-len(rsrc) // FILE_ALIGN) * FILE_ALIGN
    sections = 2 if rsrc else 1
    image_size = RSRC_RVA + (-(-len(rsrc) // 0x1000) * 0x1000)
    dos = bytearray(64)
    dos[0:2] = b"MZ"
    struct.pack_into("<I", dos, 0x3C, 64)
    coff = struct.pack("<HHIIIHH", 0x14C, sections, 0, 0, 0, 224, 0x0102)
    dirs = bytearray(16 * 8)
    if rsrc:
        struct.pack_into("<II", dirs, 2 * 8, RSRC_RVA, len(rsrc))
    optional = struct.pack("<HBBIIIIIIIIIHHHHHHIIIIHHIIIIII", 0x10B, 2, 40, 512, rsrc_raw, 0, TEXT_RVA, TEXT_RVA,
                           RSRC_RVA, 0x400000, 0x1000, FILE_ALIGN, 4, 0, 0, 0, 4, 0, 0, image_size, 512, 0, 2,
                           0x0140, 0x100000, 0x1000, 0x100000, 0x1000, 0, 16) + bytes(dirs)
    table = struct.pack("<8sIIIIIIHHI", b".text", 1, TEXT_RVA, 512, 512, 0, 0, 0, 0, 0x60000020)
    if rsrc:
        table += struct.pack("<8sIIIIIIHHI", b".rsrc", len(rsrc), RSRC_RVA, rsrc_raw, 1024, 0, 0, 0, 0, 0x40000040)
    headers = bytes(dos) + b"PE\0\0" + coff + optional + table
    image = headers.ljust(512, b"\0") + b"\xC3".ljust(512, b"\0") + rsrc.ljust(rsrc_raw, b"\0")
    open(out, "wb").write(image.ljust(size, b"\0"))
    return 0


if __name__ == "__main__":
    sys.exit(main())

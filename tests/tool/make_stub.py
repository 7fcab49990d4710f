#!/usr/bin/env python3
"""Writes a stand-in for the stub: a minimal, valid 32-bit PE image (one
section holding a RET) padded with zeros to the stub's size, for the host
tests of mksfx, which run before the Windows tree is built. It is never run;
ZIP readers and 7-Zip only need to see a well-formed program in front.

    make_stub.py OUT STUB_SIZE"""
import struct
import sys


def main() -> int:
    out, size = sys.argv[1], int(sys.argv[2])
    dos = bytearray(64)
    dos[0:2] = b"MZ"
    struct.pack_into("<I", dos, 0x3C, 64)
    coff = struct.pack("<HHIIIHH", 0x14C, 1, 0, 0, 0, 224, 0x0102)
    dirs = bytes(16 * 8)
    optional = struct.pack("<HBBIIIIIIIIIHHHHHHIIIIHHIIIIII", 0x10B, 2, 40, 512, 0, 0, 0x1000, 0x1000, 0x2000,
                           0x400000, 0x1000, 512, 4, 0, 0, 0, 4, 0, 0, 0x2000, 512, 0, 2, 0x0140,
                           0x100000, 0x1000, 0x100000, 0x1000, 0, 16) + dirs
    section = struct.pack("<8sIIIIIIHHI", b".text", 1, 0x1000, 512, 512, 0, 0, 0, 0, 0x60000020)
    headers = bytes(dos) + b"PE\0\0" + coff + optional + section
    image = headers.ljust(512, b"\0") + b"\xC3".ljust(512, b"\0")
    open(out, "wb").write(image.ljust(size, b"\0"))
    return 0


if __name__ == "__main__":
    sys.exit(main())

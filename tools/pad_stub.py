#!/usr/bin/env python3
"""Pads the linked stub with zeros to exactly the stub size.

    pad_stub.py LINKED OUT STUB_SIZE

Fails when the linked image is larger, and prints how much of the budget the
image uses, so that every build shows the headroom that is left. The build
passes the size from Sfx/layout.h."""
import struct
import sys


def image_end(data: bytes) -> int:
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections = struct.unpack_from("<H", data, pe + 6)[0]
    optional = struct.unpack_from("<H", data, pe + 20)[0]
    first = pe + 24 + optional
    return max(sum(struct.unpack_from("<II", data, first + 40 * i + 16)) for i in range(sections))


def main() -> int:
    source, target, stub_size = sys.argv[1], sys.argv[2], int(sys.argv[3])
    data = open(source, "rb").read()
    used = max(len(data), image_end(data))
    if used > stub_size:
        print(f"error: the stub's linked image is {used} bytes, over the budget of {stub_size}", file=sys.stderr)
        return 1
    with open(target, "wb") as out:
        out.write(data[:used] + bytes(stub_size - used))
    print(f"stub: {used} of {stub_size} bytes used, {stub_size - used} left")
    return 0


if __name__ == "__main__":
    sys.exit(main())

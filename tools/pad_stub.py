#!/usr/bin/env python3
"""Lays out the linked stub's headers and pads it with zeros to exactly the
stub size.

    pad_stub.py LINKED OUT STUB_SIZE

The linker puts a 64-byte DOS program ("This program cannot be run in DOS
mode.") between the DOS header and the PE headers. Here it becomes a shorter
one that says the same in fewer words, so that the PE headers and the table
of the stub's four sections (cmake/stub.ld) fit the first 512 bytes of the
file instead of 1,024; every section's data then lies 512 bytes earlier in
the file. Nothing else moves: addresses in the image are relative to the
image, not to the file.

Fails when the image is larger than the budget, and prints how much of the
budget it uses, so that every build shows the headroom that is left. The
build passes the size from Sfx/layout.h."""
import struct
import sys

# The linker's DOS program with a shorter text: DS := CS, print the text at
# offset 14 (int 21h, function 9, ended by "$"), end with code 1.
DOS_CODE = bytes.fromhex("0e1fba0e00b409cd21b8014ccd21")
DOS_TEXT = b"Needs Windows.\r\n$"
DOS_PROGRAM = DOS_CODE + DOS_TEXT
DOS_HEADER_SIZE = 0x40


def round_up(value: int, unit: int) -> int:
    return (value + unit - 1) // unit * unit


def pe_checksum(data: bytes, checksum_at: int) -> int:
    """The PE checksum: 16-bit one's-complement-style sum of the file's words
    (the checksum field counted as 0), plus the file's length."""
    total = 0
    padded = data + b"\0" * (len(data) % 2)
    for i in range(0, len(padded), 2):
        if checksum_at <= i < checksum_at + 4:
            continue
        total += padded[i] | padded[i + 1] << 8
        total = (total & 0xFFFF) + (total >> 16)
    return (total & 0xFFFF) + len(data)


def compact_headers(data: bytes) -> bytes:
    """The image with the short DOS program, its PE headers right after it,
    and its sections moved up as far as the file alignment lets them."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections = struct.unpack_from("<H", data, pe + 6)[0]
    optional = struct.unpack_from("<H", data, pe + 20)[0]
    opt = pe + 24
    file_alignment, = struct.unpack_from("<I", data, opt + 36)
    old_headers, = struct.unpack_from("<I", data, opt + 60)
    symbols, = struct.unpack_from("<I", data, pe + 8)
    if data[:2] != b"MZ" or data[pe:pe + 4] != b"PE\0\0" or symbols != 0:
        raise ValueError("not a stripped PE image")
    pe_headers = data[pe:opt + optional + 40 * sections]

    new_pe = round_up(DOS_HEADER_SIZE + len(DOS_PROGRAM), 8)
    new_headers = round_up(new_pe + len(pe_headers), file_alignment)
    shift = old_headers - new_headers
    if shift < 0:
        raise ValueError("the headers do not fit where they were")

    out = bytearray(new_headers)
    out[:DOS_HEADER_SIZE] = data[:DOS_HEADER_SIZE]
    struct.pack_into("<I", out, 0x3C, new_pe)
    out[DOS_HEADER_SIZE:DOS_HEADER_SIZE + len(DOS_PROGRAM)] = DOS_PROGRAM
    out[new_pe:new_pe + len(pe_headers)] = pe_headers
    new_opt = new_pe + 24
    struct.pack_into("<I", out, new_opt + 60, new_headers)
    for i in range(sections):
        raw_at = new_opt + optional + 40 * i + 20
        raw, = struct.unpack_from("<I", out, raw_at)
        if raw != 0:
            struct.pack_into("<I", out, raw_at, raw - shift)
    out += data[old_headers:]
    struct.pack_into("<I", out, new_opt + 64, pe_checksum(bytes(out), new_opt + 64))
    return bytes(out)


def image_end(data: bytes) -> int:
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections = struct.unpack_from("<H", data, pe + 6)[0]
    optional = struct.unpack_from("<H", data, pe + 20)[0]
    first = pe + 24 + optional
    return max(sum(struct.unpack_from("<II", data, first + 40 * i + 16)) for i in range(sections))


def main() -> int:
    source, target, stub_size = sys.argv[1], sys.argv[2], int(sys.argv[3])
    data = compact_headers(open(source, "rb").read())
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

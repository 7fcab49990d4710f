#!/usr/bin/env python3
"""Ends each string of the stub's version resource (Sfx/version.rc) at its
text, in place. windres keeps the blanks that reserve a value's room as part
of the value, and Windows would show them; here they become zeros and each
string's length (wValueLength) counts its text and terminator alone. The
room stays, for mksfx --version-info to write a product's own texts.

    version_values.py STUB"""
import struct
import sys

KEY = "VS_VERSION_INFO".encode("utf-16-le") + b"\0\0"


def node(data, base, at):
    """(end, value_at, value_length, type, key, children_at) of the node at."""
    length, value_length, kind = struct.unpack_from("<HHH", data, at)
    k = at + 6
    while data[k:k + 2] != b"\0\0":
        k += 2
    key = data[at + 6:k].decode("utf-16-le")
    align = lambda x: base + (x - base + 3) // 4 * 4
    value_at = align(k + 2)
    value_bytes = value_length * 2 if kind == 1 else value_length
    return at + length, value_at, value_bytes, kind, key, align(value_at + value_bytes)


def children(data, base, parent_end, first):
    at = first
    while at + 6 <= parent_end:
        n = node(data, base, at)
        yield at, n
        at = base + (n[0] - base + 3) // 4 * 4


def main():
    path = sys.argv[1]
    data = bytearray(open(path, "rb").read())
    base = data.find(KEY) - 6
    if base < 0:
        print("error: the stub has no version resource", file=sys.stderr)
        return 1
    root = node(data, base, base)
    count = 0
    for _, info in children(data, base, root[0], root[5]):
        if info[4] != "StringFileInfo":
            continue
        for _, table in children(data, base, info[0], info[5]):
            for at, string in children(data, base, table[0], table[5]):
                end, value_at = string[0], string[1]
                text = bytes(data[value_at:end]).decode("utf-16-le").split("\0")[0].rstrip(" ")
                room = (end - value_at) // 2
                data[value_at:end] = (text + "\0" * (room - len(text))).encode("utf-16-le")
                struct.pack_into("<H", data, at + 2, len(text) + 1)
                count += 1
    if count == 0:
        print("error: the version resource holds no strings", file=sys.stderr)
        return 1
    open(path, "wb").write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Prints the application manifest of a Windows program (PE32 or PE32+), as
Windows' loader finds it: the resource directory of the optional header,
type RT_MANIFEST (24), its first name and first language. An oracle of its
own for mksfx's tests, apart from mksfx's reader (tools/mksfx/manifest.cpp).

    read_manifest.py PROGRAM          the manifest's text
    read_manifest.py --level PROGRAM  its requestedExecutionLevel's level"""
import re
import struct
import sys


def manifest(data: bytes) -> bytes:
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[:2] != b"MZ" or data[pe:pe + 4] != b"PE\0\0":
        sys.exit("not a PE program")
    sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (112 if magic == 0x20B else 96)
    rsrc_rva = struct.unpack_from("<I", data, directories + 16)[0]
    table = []
    for i in range(sections):
        vsize, rva, rawsize, rawat = struct.unpack_from("<IIII", data, optional + optional_size + 40 * i + 8)
        table.append((rva, max(vsize, rawsize), rawat))

    def offset(rva: int) -> int:
        for start, size, rawat in table:
            if start <= rva < start + size:
                return rawat + rva - start
        sys.exit(f"no section holds {rva:#x}")

    root = offset(rsrc_rva)

    def entry(directory: int, wanted):
        named, ids = struct.unpack_from("<HH", data, directory + 12)
        for i in range(named + ids):
            name, to = struct.unpack_from("<II", data, directory + 16 + 8 * i)
            if wanted is None or name == wanted:
                return to
        sys.exit("no manifest resource")

    names = entry(root, 24) & 0x7FFFFFFF
    languages = entry(root + names, None) & 0x7FFFFFFF
    data_entry = entry(root + languages, None)
    rva, size = struct.unpack_from("<II", data, root + data_entry)
    return data[offset(rva):offset(rva) + size]


def main() -> int:
    level = sys.argv[1] == "--level"
    text = manifest(open(sys.argv[-1], "rb").read()).decode("utf-8")
    if level:
        m = re.search(r"<(?:\w+:)?requestedExecutionLevel\s[^>]*?\blevel\s*=\s*[\"']([^\"']*)[\"']", text)
        if not m:
            sys.exit("the manifest names no requestedExecutionLevel")
        print(m.group(1))
    else:
        print(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())

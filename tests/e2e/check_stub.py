#!/usr/bin/env python3
"""Checks the shipped stub: exactly the stub size (the build passes the size
from Sfx/layout.h), a PE32 GUI program for i386, no ZIP signature anywhere in
its bytes, imports only from system DLLs that every Windows has, and a
restricted DLL search of its own.

    check_stub.py SFX_EXE STUB_SIZE"""
import struct
import sys

ALLOWED = {"kernel32.dll", "user32.dll", "gdi32.dll", "shell32.dll", "comctl32.dll", "msvcrt.dll"}
SIGNATURES = [bytes([0x50, 0x4B, a, b]) for a, b in ((3, 4), (5, 6), (1, 2), (7, 8))]


def rva_to_offset(data, sections, rva):
    for virt, size, raw in sections:
        if virt <= rva < virt + max(size, 1):
            return rva - virt + raw
    raise ValueError(f"rva {rva:#x} in no section")


def imported_dlls(data):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    count = struct.unpack_from("<H", data, pe + 6)[0]
    opt_size = struct.unpack_from("<H", data, pe + 20)[0]
    opt = pe + 24
    import_rva = struct.unpack_from("<I", data, opt + 96 + 8)[0]
    sections = []
    for i in range(count):
        s = opt + opt_size + 40 * i
        vsize, virt, rsize, raw = struct.unpack_from("<IIII", data, s + 8)
        sections.append((virt, max(vsize, rsize), raw))
    names = []
    at = rva_to_offset(data, sections, import_rva)
    while True:
        entry = struct.unpack_from("<IIIII", data, at)
        if entry == (0, 0, 0, 0, 0):
            break
        name_at = rva_to_offset(data, sections, entry[3])
        dll = data[name_at:data.index(b"\0", name_at)].decode().lower()
        # The functions by name, from the lookup table or, where there is
        # none (the stub's), from the address table itself.
        thunk = rva_to_offset(data, sections, entry[0] or entry[4])
        functions = []
        while True:
            value, = struct.unpack_from("<I", data, thunk)
            if value == 0:
                break
            if value & 0x80000000:
                raise ValueError(f"{dll} imports by ordinal {value & 0xFFFF}")
            hint_at = rva_to_offset(data, sections, value)
            functions.append(data[hint_at + 2:data.index(b"\0", hint_at + 2)].decode())
            thunk += 4
        if not functions or not all(f.isidentifier() for f in functions):
            raise ValueError(f"{dll}: no functions or unreadable names: {functions}")
        names.append(dll)
        at += 20
    return names


def main():
    data = open(sys.argv[1], "rb").read()
    stub_size = int(sys.argv[2])
    problems = []
    if len(data) != stub_size:
        problems.append(f"size is {len(data)}, not {stub_size}")
    for sig in SIGNATURES:
        if sig in data:
            problems.append(f"holds the ZIP signature {sig.hex()} at offset {data.find(sig)}")
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        problems.append("no PE signature")
    machine = struct.unpack_from("<H", data, pe + 4)[0]
    magic, = struct.unpack_from("<H", data, pe + 24)
    subsystem, = struct.unpack_from("<H", data, pe + 24 + 68)
    if machine != 0x14C:
        problems.append(f"machine {machine:#x}, not i386")
    if magic != 0x10B:
        problems.append("not PE32")
    if subsystem != 2:
        problems.append(f"subsystem {subsystem}, not Windows GUI")
    # DLL search hardening: looked up at run time, so the name is in the image.
    if b"SetDefaultDllDirectories" not in data or b"SetDllDirectoryA" not in data:
        problems.append("does not restrict its DLL search")
    dlls = imported_dlls(data)
    for dll in dlls:
        if dll not in ALLOWED:
            problems.append(f"imports from {dll}")
    print("imports:", ", ".join(dlls))
    for p in problems:
        print("FAIL:", p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Hostile and damaged ZIP archives, written byte by byte.

    hostile_zips.py OUTDIR [CASE...]
    hostile_zips.py --seeds OUTDIR

writes OUTDIR/CASE.zip for each named case (all when none is named). The
Wine test of hostile archives extracts them. --seeds writes the cases of at
most 4,096 bytes as OUTDIR/hostile_CASE.zip, the bomb made smaller to fit:
the seeds of the walk fuzz target in tests/fuzz/corpus/walk/. Every archive holds an entry
"good.txt" before the hostile part, most hold "victim.txt", whose entry fails
(the test puts a file of that name into the destination first), and many end
with "after.txt", which shows whether the walk went on.
"""
import struct
import sys
import zlib

GOOD = ("good.txt", b"inside the destination\n")
AFTER = ("after.txt", b"after the hostile entry\n")
VICTIM_DATA = b"the archive's victim.txt, never to arrive whole\n" * 20
ESCAPED = b"escaped\n"  # the data of the entries with hostile names
DOS_TIME = 0x58B16A4B  # 2024-05-17 13:18:22


class Entry:
    """One entry; every header field can be set to a lie."""

    def __init__(self, name, data=b"", method=0, **lies):
        self.name = name.encode("utf-8") if isinstance(name, str) else name
        self.data = data
        self.method = method
        if method == 8:
            c = zlib.compressobj(9, zlib.DEFLATED, -15)
            self.payload = c.compress(data) + c.flush()
        else:
            self.payload = data
        self.flags = lies.pop("flags", 0x800 if not self.name.isascii() else 0)
        self.crc = lies.pop("crc", zlib.crc32(data))
        self.csize = lies.pop("csize", len(self.payload))
        self.usize = lies.pop("usize", len(data))
        self.extra = lies.pop("extra", b"")
        self.name_length = lies.pop("name_length", len(self.name))
        self.payload = lies.pop("payload", self.payload)
        assert not lies, lies

    def local(self):
        return struct.pack("<IHHHIIIIHH", 0x04034B50, 20, self.flags, self.method, DOS_TIME, self.crc,
                           self.csize, self.usize, self.name_length, len(self.extra)) + self.name + self.extra

    def central(self, offset):
        return struct.pack("<IHHHHIIIIHHHHHII", 0x02014B50, 20, 20, self.flags, self.method, DOS_TIME, self.crc,
                           self.csize, self.usize, len(self.name), 0, 0, 0, 0, 0, offset) + self.name


def archive(*entries):
    """The local entries, then the central directory and its end record."""
    out, offsets = b"", []
    for e in entries:
        offsets.append(len(out))
        out += e.local() + e.payload
    directory = b"".join(e.central(o) for e, o in zip(entries, offsets))
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(entries), len(entries), len(directory), len(out), 0)
    return out + directory + end


def good():
    return Entry(*GOOD)


def after():
    return Entry(*AFTER)


def victim(method=0, **lies):
    return Entry("victim.txt", VICTIM_DATA, method, **lies)


def named(name):
    """An entry of a hostile name between two good ones."""
    return archive(good(), Entry(name, ESCAPED), after())


def cut_at(offset_in_victim):
    """The archive cut inside victim.txt's entry, counted from its header."""
    whole = archive(good(), victim(), after())
    return whole[:len(good().local() + good().payload) + offset_in_victim]


def cut_in_directory():
    """The archive cut 20 bytes into its central directory: too few for a
    header, so the walk cannot tell that it reached the directory."""
    entries = (good(), victim(), after())
    local = sum(len(e.local() + e.payload) for e in entries)
    return archive(*entries)[:local + 20]


def past_the_end():
    return archive(good(), victim(csize=0x7FFFFFF0), after())


def wrapping_back():
    # The victim's header, name and size end at the first header again when
    # counted in 32 bits: a walk that wrapped would go round for ever.
    first = len(good().local() + good().payload)
    return archive(good(), victim(csize=0x100000000 - first - 30 - len("victim.txt")), after())


def damaged_deflate(where):
    e = victim(8)
    stream = bytearray(e.payload)
    if where == "type":
        stream[0] |= 0x06  # the reserved block type 3 in the first block
    else:
        for i in range(len(stream) // 3, len(stream) // 3 + 8):
            stream[i] ^= 0xA5
    e.payload = bytes(stream)
    return archive(good(), e, after())


BOMB_MIB = 8


def bomb(name):
    # 8 MiB of zeros in about 8 KB, declared as 5 bytes whose CRC is that of
    # the first five zeros: only the declared size can stop it.
    e = Entry(name, b"\0" * (BOMB_MIB << 20), 8, usize=5, crc=zlib.crc32(b"\0" * 5))
    return archive(good(), e, after())


def long_name(length):
    return named("L" * length)


def longest_name():
    # Name and extra field both 65,535 bytes long: the walk steps over them.
    return archive(good(), Entry("N" * 65535, ESCAPED, extra=b"\0" * 65535), after())


CASES = {
    "plain": lambda: archive(good(), after()),  # behind hostile configuration blocks
    "dotdot": lambda: named("../target.txt"),
    "dotdot_deep": lambda: named("sub/../../target.txt"),
    "dotdot_backslash": lambda: named("..\\target.txt"),
    "absolute": lambda: named("/target.txt"),
    "absolute_backslash": lambda: named("\\target.txt"),
    "drive_path": lambda: named("C:\\e2e\\auto_hostile\\drive_path\\target.txt"),
    "drive_relative": lambda: named("C:target.txt"),
    "unc": lambda: named("\\\\?\\C:\\target.txt"),
    "stream": lambda: named("keep.txt:stream"),
    "name_200": lambda: long_name(200),
    "name_255": lambda: long_name(255),
    "name_256": lambda: long_name(256),
    "name_65535": longest_name,
    "size_past_end": past_the_end,
    "size_wraps_back": wrapping_back,
    "cut_header": lambda: cut_at(10),
    "cut_name": lambda: cut_at(33),
    "cut_data": lambda: cut_at(30 + 10 + 100),
    "cut_data_planted": lambda: cut_at(30 + 10 + 100),  # the Wine test plants a .z02 beside it
    "planted": lambda: archive(Entry("planted.dll", b"MZ planted")),  # what it plants
    "trailing_dot": lambda: named("b.txt."),
    "trailing_blank": lambda: named("sp /f.txt"),
    "twins_case": lambda: archive(good(), Entry("Notes.txt", b"first twin"), Entry("notes.TXT", b"second twin"), after()),
    "twins_exact": lambda: archive(good(), Entry("twin.txt", b"first twin"), Entry("twin.txt", b"second twin"), after()),
    "cut_directory": cut_in_directory,
    "bad_crc": lambda: archive(good(), victim(crc=zlib.crc32(VICTIM_DATA) ^ 1), after()),
    "bad_crc_deflate": lambda: archive(good(), victim(8, crc=zlib.crc32(VICTIM_DATA) ^ 0x80000000), after()),
    "method_12": lambda: archive(good(), victim(12), after()),
    "method_14": lambda: archive(good(), victim(14), after()),
    "deflate_bad_type": lambda: damaged_deflate("type"),
    "deflate_bad_codes": lambda: damaged_deflate("codes"),
    "bomb_replacing": lambda: bomb("victim.txt"),
    "bomb_fresh": lambda: bomb("bomb.bin"),
}


SEED_ROOM = 4096  # the walk fuzz target's -max_len


def main():
    global BOMB_MIB
    if sys.argv[1] == "--seeds":
        BOMB_MIB = 3
        for name, make in CASES.items():
            data = make()
            if len(data) <= SEED_ROOM and name != "plain":
                with open("%s/hostile_%s.zip" % (sys.argv[2], name), "wb") as f:
                    f.write(data)
        return
    out = sys.argv[1]
    for name in sys.argv[2:] or CASES:
        with open("%s/%s.zip" % (out, name), "wb") as f:
            f.write(CASES[name]())


if __name__ == "__main__":
    main()

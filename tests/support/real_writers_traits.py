#!/usr/bin/env python3
"""What each real writer's archive is like, checked byte by byte.

    real_writers_traits.py FOLDER NAME...

reads FOLDER/NAME.zip for each NAME (a writer of tests/support/real_writers.sh)
and checks that it still shows the trait that the end-to-end test of real
writers relies on: bit 3 with no sizes in the local header, a stored entry
whose sizes only the central directory gives, Zip64 fields, "./" names, UTF-8
names without the flag, an entry of a method the stub does not decode. A
writer that changes its ways fails here, by name, rather than leave the test
proving less than it says. Prints one line per archive; exits 1 on any
mismatch.
"""
import struct
import sys
import zipfile

DESCRIPTOR = b"PK\x07\x08"
ESCAPE = 0xFFFFFFFF


class Entry:
    """One entry as its local header and what follows its data show it."""

    def __init__(self, data, info):
        at = info.header_offset
        (sig, _, self.flags, self.method, self.dos_time, self.crc, self.csize, self.usize, name_length,
         extra_length) = struct.unpack_from("<IHHHIIIIHH", data, at)
        if sig != 0x04034B50:
            raise SystemExit("no local header at %d" % at)
        self.name = data[at + 30:at + 30 + name_length]
        self.extra = extra_ids(data[at + 30 + name_length:at + 30 + name_length + extra_length])
        self.central_extra = extra_ids(info.extra)
        self.central_flags = info.flag_bits
        self.file = not self.name.endswith(b"/")
        end = at + 30 + name_length + extra_length + info.compress_size
        self.descriptor = descriptor(data, end, info, 1 in self.extra)

    @property
    def no_sizes(self):
        """Bit 3 and no sizes (nor CRC) in the local header."""
        return self.flags & 8 and self.crc == 0 and self.csize in (0, ESCAPE) and self.usize in (0, ESCAPE)


def extra_ids(extra):
    ids, at = [], 0
    while at + 4 <= len(extra):
        field, size = struct.unpack_from("<HH", extra, at)
        ids.append(field)
        at += 4 + size
    return ids


def descriptor(data, end, info, zip64):
    """The data descriptor after the data: signed or not, with 64-bit sizes
    after a local header with a Zip64 field, else 32-bit ones."""
    for signed in (True, False):
        at = end + (4 if signed else 0)
        if signed and data[end:end + 4] != DESCRIPTOR:
            continue
        form, kind = ("<IQQ", " zip64") if zip64 else ("<III", "")
        if struct.unpack_from(form, data, at) == (info.CRC, info.compress_size, info.file_size):
            return ("signed" if signed else "unsigned") + kind
    return None


def files(entries):
    return [e for e in entries if e.file]


# Each writer: what its archive must show, as (description, test) pairs.
TRAITS = {
    "go-create": [
        ("every file Deflate, bit 3, no sizes, a signed descriptor",
         lambda es: all(e.method == 8 and e.no_sizes and e.descriptor == "signed" for e in files(es))),
        ("a DOS date and time of 0", lambda es: all(e.dos_time == 0 for e in es)),
    ],
    "go-store": [
        ("every file stored, bit 3, no sizes: only the directory gives them",
         lambda es: all(e.method == 0 and e.no_sizes and e.descriptor == "signed" for e in files(es))),
    ],
    "bsdtar": [
        ('every name starts with "./", the first is "./"',
         lambda es: es[0].name == b"./" and all(e.name.startswith(b"./") for e in es)),
        ("every file Deflate with bit 3 and a signed descriptor",
         lambda es: all(e.method == 8 and e.flags & 8 and e.descriptor == "signed" for e in files(es))),
    ],
    "bsdtar-store": [
        ('every name starts with "./"', lambda es: all(e.name.startswith(b"./") for e in es)),
        ("every file stored with bit 3, sizes but a CRC of 0 in the local header",
         lambda es: all(e.method == 0 and e.flags & 8 and e.crc == 0 and e.csize == e.usize
                        and e.descriptor == "signed" for e in files(es))
         and any(e.csize > 0 for e in es)),
    ],
    "infozip-pipe": [
        ("every file with bit 3 and a signed descriptor",
         lambda es: all(e.flags & 8 and e.descriptor == "signed" for e in files(es))),
    ],
    "infozip-pipe-names": [
        ("every file with bit 3 and a signed descriptor",
         lambda es: all(e.flags & 8 and e.descriptor == "signed" for e in files(es))),
    ],
    "infozip-fz": [
        ("every entry with a Zip64 field and escaped sizes in its local header",
         lambda es: all(1 in e.extra and e.csize == e.usize == ESCAPE for e in es)),
    ],
    "infozip-stdin": [
        ('the entry "-" with a Zip64 field and escaped sizes in its local header',
         lambda es: any(e.name == b"-" and 1 in e.extra and e.csize == e.usize == ESCAPE for e in es)),
    ],
    "infozip-c-locale": [
        ("UTF-8 names without bit 11 and without a Unicode Path field",
         lambda es: any(not e.name.isascii() for e in es)
         and all(not e.flags & 0x800 and not e.central_flags & 0x800 and 0x7075 not in e.extra
                 and 0x7075 not in e.central_extra for e in es)
         and all(e.name.decode("utf-8") for e in es)),
    ],
    "python-pipe-stored": [
        ("every file stored, bit 3, no sizes: only the directory gives them",
         lambda es: all(e.method == 0 and e.no_sizes and e.descriptor == "signed" for e in files(es))),
    ],
    "python-pipe-deflated": [
        ("every file Deflate, bit 3, no sizes, a signed descriptor",
         lambda es: all(e.method == 8 and e.no_sizes and e.descriptor == "signed" for e in files(es))),
    ],
    "python-pipe-zip64": [
        ("every file with bit 3, a Zip64 field in the local header and a signed Zip64 descriptor",
         lambda es: all(e.no_sizes and 1 in e.extra and e.descriptor == "signed zip64" for e in files(es))),
    ],
    "python-zip64": [
        ("every file with a Zip64 field and escaped sizes in its local header, no bit 3",
         lambda es: all(not e.flags & 8 and 1 in e.extra and e.csize == e.usize == ESCAPE for e in files(es))),
    ],
    "jar": [
        ("every Deflate file with bit 3, no sizes and a signed descriptor",
         lambda es: all(e.no_sizes and e.descriptor == "signed" for e in files(es) if e.method == 8)
         and any(e.method == 8 for e in es)),
    ],
    "node-yazl": [
        ("every file with bit 3, no sizes and a signed descriptor",
         lambda es: all(e.no_sizes and e.descriptor == "signed" for e in files(es))),
    ],
    "node-archiver": [
        ("every file with bit 3, no sizes and a signed descriptor",
         lambda es: all(e.no_sizes and e.descriptor == "signed" for e in files(es))),
    ],
    "7zip-bzip2-between": [
        ("three entries: BZip2 (12) between two the stub decodes",
         lambda es: [e.method for e in es][1] == 12 and len(es) == 3
         and all(e.method in (0, 8) for e in (es[0], es[2]))),
    ],
}


def main():
    folder, names = sys.argv[1], sys.argv[2:]
    bad = 0
    for name in names:
        path = "%s/%s.zip" % (folder, name)
        data = open(path, "rb").read()
        infos = sorted(zipfile.ZipFile(path).infolist(), key=lambda i: i.header_offset)
        entries = [Entry(data, i) for i in infos]
        if name not in TRAITS:
            print("%s: no traits known for this writer" % name)
            bad += 1
            continue
        for what, test in TRAITS[name]:
            if not test(entries):
                print("%s: the writer no longer writes what the test relies on: %s" % (name, what))
                for e in entries:
                    print("  %r flags %04x method %d crc %08x sizes %d %d extra %s descriptor %s" % (
                        e.name, e.flags, e.method, e.crc, e.csize, e.usize,
                        ["%04x" % x for x in e.extra], e.descriptor))
                bad += 1
    sys.exit(1 if bad else 0)


if __name__ == "__main__":
    main()

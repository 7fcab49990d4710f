#!/usr/bin/env python3
"""Checks a self-extracting file that mksfx wrote, independently of mksfx and
of the stub's core: the layout the stub walks and the ZIP that other tools
read.

    check_sfx.py FILE [--tree DIR] [--password P] [--stub-size N] [--volumes]
                 [--descriptors-allowed] [--any-aes] [--four-gib N] [--layout-only]

- the archive starts at the stub size, or 256 bytes later behind a "VRN"
  block; with --volumes the file is the first of its volumes (.z02, ...)
  and starts with the spanning marker there;
- walking local headers from there, front to back, every header carries the
  sizes and CRC of its central directory record, no extra field but a WinZip
  AES one (AES-256 as AE-2, or any with --any-aes) and a Zip64 field exactly
  where a size reaches 4 GiB less a byte (--four-gib N: N bytes stand for
  4 GiB) with both sizes, no data descriptor (unless allowed; 64-bit sizes
  after a Zip64 field), "/" separators, bit 11 exactly for non-ASCII names,
  folder entries "dir/" of size 0; the walk ends where the central
  directory starts; each central record points at its local header (volume
  and offset, from its Zip64 field where escaped) and the end record counts
  them, through the Zip64 end record and its locator exactly when a count
  reaches 65,535 or a size or offset 4 GiB less a byte;
- with --tree, the entries are exactly the tree's files and folders, with the
  same bytes (decrypted with --password, in UTF-8 for WinZip AES and in
  Windows-1252 for the traditional encryption, and checked against their
  CRCs) and their modification times in DOS form; encrypted entries' 12th
  header byte decrypts to the CRC's high byte. --layout-only leaves the contents out."""
import hashlib, hmac, subprocess
import argparse
import binascii
import os
import struct
import sys
import time
import zlib


def fail(text):
    print("check_sfx: " + text)
    sys.exit(1)


def volume_names(path):
    base, _ = os.path.splitext(path)
    names = [path]
    n = 2
    while os.path.exists(f"{base}.z{n:02d}"):
        names.append(f"{base}.z{n:02d}")
        n += 1
    return names


class Keys:
    def __init__(self, password):
        self.k = [0x12345678, 0x23456789, 0x34567890]
        for c in password:
            self.update(c)

    def update(self, c):
        crc = lambda r, b: (binascii.crc32(bytes([b]), r ^ 0xFFFFFFFF) ^ 0xFFFFFFFF) & 0xFFFFFFFF
        k0 = crc(self.k[0], c)
        k1 = ((self.k[1] + (k0 & 0xFF)) * 134775813 + 1) & 0xFFFFFFFF
        k2 = crc(self.k[2], k1 >> 24)
        self.k = [k0, k1, k2]

    def decrypt(self, data):
        out = bytearray()
        for b in data:
            t = (self.k[2] & 0xFFFF) | 2
            p = b ^ (((t * (t ^ 1)) >> 8) & 0xFF)
            self.update(p)
            out.append(p)
        return bytes(out)


def dos_time(mtime):
    t = int(mtime)
    t += t & 1
    tm = time.localtime(t)
    if tm.tm_year < 1980:
        return (1 << 21) | (1 << 16)
    return ((tm.tm_year - 1980) << 25) | (tm.tm_mon << 21) | (tm.tm_mday << 16) | (tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec // 2)


def aes_open(name, body, password, strength=3):
    """A WinZip AES entry's data, checked and decrypted by means of its
    own: PBKDF2 and HMAC from Python, the AES keystream from openssl."""
    key, salt_size = 8 + 8 * strength, 4 + 4 * strength
    salt, verifier, cipher, code = body[:salt_size], body[salt_size:salt_size + 2], body[salt_size + 2:-10], body[-10:]
    keys = hashlib.pbkdf2_hmac("sha1", password, salt, 1000, 2 * key + 2)
    if keys[2 * key:] != verifier:
        fail(f"{name!r}: the password verifier does not match")
    if hmac.new(keys[key:2 * key], cipher, hashlib.sha1).digest()[:10] != code:
        fail(f"{name!r}: the authentication code does not match")
    blocks = b"".join((n + 1).to_bytes(16, "little") for n in range((len(cipher) + 15) // 16))
    stream = subprocess.run(["openssl", "enc", f"-aes-{8 * key}-ecb", "-nopad", "-nosalt", "-K", keys[:key].hex()],
                            input=blocks, capture_output=True, check=True).stdout
    return bytes(c ^ s for c, s in zip(cipher, stream))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("file")
    ap.add_argument("--tree")
    ap.add_argument("--password")
    ap.add_argument("--stub-size", type=int, default=51712)
    ap.add_argument("--volumes", action="store_true")
    ap.add_argument("--descriptors-allowed", action="store_true")
    ap.add_argument("--any-aes", action="store_true")
    ap.add_argument("--four-gib", type=int, default=1 << 32)
    ap.add_argument("--layout-only", action="store_true")
    a = ap.parse_args()
    large = a.four_gib - 1  # sizes and offsets from here on take Zip64's fields

    names = volume_names(a.file) if a.volumes else [a.file]
    vols = [open(n, "rb").read() for n in names]
    if a.volumes and len(vols) < 2:
        fail("no second volume")
    data = b"".join(vols)
    starts = [sum(len(v) for v in vols[:i]) for i in range(len(vols))]
    start = a.stub_size + (256 if vols[0][a.stub_size:a.stub_size + 3] == b"VRN" else 0)
    pos = start
    if a.volumes:
        if data[pos:pos + 4] != b"PK\x07\x08":
            fail("no spanning marker at the archive's start")
        pos += 4

    # The end record, whole, in the last volume (or at the file's end).
    last = vols[-1]
    e = last.rfind(b"PK\x05\x06")
    if e < 0 or len(last) - e < 22:
        fail("no end record in the last volume")
    sig, disk, cd_disk, here, total, cd_size, cd_off, comment = struct.unpack("<IHHHHIIH", last[e:e + 22])
    if e + 22 + comment > len(last):
        fail("end record's comment runs past the file")
    # The Zip64 end record and its locator, right before the end record.
    zip64_end = e >= 76 and last[e - 20:e - 16] == b"PK\x06\x07"
    if zip64_end:
        lsig, rec_disk, rec_off, disks = struct.unpack("<IIQI", last[e - 20:e])
        r = last[e - 76:e - 20]
        rsig, rsize, made, need, disk64, cd_disk64, here64, total64, size64, off64 = struct.unpack("<IQHHIIQQQQ", r)
        if rsig != 0x06064b50 or rsize != 44 or need != 45:
            fail("no Zip64 end record right before its locator")
        if rec_disk != disk64 or rec_off != e - 76 or disks != disk64 + 1:
            fail("the Zip64 locator does not point at its record")
        for name, field, value, escape in (("disk", disk, disk64, 0xFFFF), ("directory's disk", cd_disk, cd_disk64, 0xFFFF),
                                           ("count here", here, here64, 0xFFFF), ("count", total, total64, 0xFFFF),
                                           ("size", cd_size, size64, 0xFFFFFFFF), ("offset", cd_off, off64, 0xFFFFFFFF)):
            if field != min(value, escape):
                fail(f"the end record's {name} {field} is neither the Zip64 record's {value} nor the escape")
        disk, cd_disk, here, total, cd_size, cd_off = disk64, cd_disk64, here64, total64, size64, off64
    needs64 = (total >= 0xFFFF or here >= 0xFFFF or cd_size >= large or cd_off >= large or disk >= 0xFFFF or
               cd_disk >= 0xFFFF)
    if needs64 != zip64_end:
        fail(f"Zip64 end record {'missing' if needs64 else 'where no value needs it'}")
    if disk != len(vols) - 1:
        fail(f"end record says disk {disk}, not {len(vols) - 1}")

    # The central directory.
    cd_at = starts[cd_disk] + cd_off
    central = []
    p = cd_at
    for i in range(total):
        if data[p:p + 4] != b"PK\x01\x02":
            fail(f"central record {i} missing")
        f = struct.unpack("<IHHHHIIIIHHHHHII", data[p:p + 46])
        name = data[p + 46:p + 46 + f[9]]
        cextra = data[p + 46 + f[9]:p + 46 + f[9] + f[10]]
        lies_in = max(i for i in range(len(starts)) if starts[i] <= p)
        c = dict(flags=f[3], method=f[4], time=f[5], crc=f[6], csize=f[7], usize=f[8], name=name,
                 disk=f[12], offset=f[15], extra=f[10], lies_in=lies_in, need=f[2])
        # Zip64's values, for the fields that hold the escape, in order.
        escaped = [k for k, esc in (("usize", 0xFFFFFFFF), ("csize", 0xFFFFFFFF), ("offset", 0xFFFFFFFF),
                                    ("disk", 0xFFFF)) if c[k] == esc]
        if escaped:
            if cextra[:2] != b"\x01\x00":
                fail(f"{name!r}: central record with escaped fields but no Zip64 field first")
            n = struct.unpack("<H", cextra[2:4])[0]
            values, at = cextra[4:4 + n], 0
            for k in escaped:
                width = 4 if k == "disk" else 8
                if at + width > len(values):
                    fail(f"{name!r}: the central Zip64 field lacks its {k}")
                c[k] = int.from_bytes(values[at:at + width], "little")
                at += width
            if at != n:
                fail(f"{name!r}: the central Zip64 field holds more than its escaped fields")
            if c["usize"] < large and c["csize"] < large and c["offset"] < large and c["disk"] < 0xFFFF:
                fail(f"{name!r}: a central Zip64 field that no value needs")
            if f[2] < 45:
                fail(f"{name!r}: version needed {f[2]} with a Zip64 field")
        elif cextra[:2] == b"\x01\x00":
            fail(f"{name!r}: a central Zip64 field without escaped fields")
        central.append(c)
        p += 46 + f[9] + f[10] + f[11]
    if p - cd_at != cd_size:
        fail("central directory size differs from the end record's")

    # The walk, as the stub does it.
    entries = []
    while data[pos:pos + 4] == b"PK\x03\x04":
        h = struct.unpack("<IHHHIIIIHH", data[pos:pos + 30])
        flags, method, tm, crc, csize, usize, nlen, xlen = h[2], h[3], h[4], h[5], h[6], h[7], h[8], h[9]
        name = data[pos + 30:pos + 30 + nlen]
        extra = data[pos + 30 + nlen:pos + 30 + nlen + xlen]
        # A Zip64 field first, exactly where a size needs it, with both sizes.
        zip64 = extra[:4] == b"\x01\x00\x10\x00"
        if zip64:
            if (csize, usize) != (0xFFFFFFFF, 0xFFFFFFFF) or h[1] not in (45, 51):
                fail(f"{name!r}: a Zip64 field without escaped sizes and version 4.5")
            usize, csize = struct.unpack("<QQ", extra[4:20])
            extra = extra[20:]
            if usize < large and csize < large:
                fail(f"{name!r}: a Zip64 field that its sizes {usize}, {csize} do not need")
        elif usize >= large or csize >= large:
            fail(f"{name!r}: sizes {usize}, {csize} without a Zip64 field")
        if extra and not (method == 99 and len(extra) == 11 and extra[:4] == b"\x01\x99\x07\x00"):
            fail(f"{name!r} has an extra field other than one WinZip AES field after any Zip64 field")
        if flags & 8 and not a.descriptors_allowed:
            fail(f"{name!r} has a data descriptor")
        if b"\\" in name:
            fail(f"{name!r} has a backslash")
        ascii_only = all(b < 0x80 for b in name)
        if bool(flags & 0x800) == ascii_only:
            fail(f"{name!r}: bit 11 is {'set' if flags & 0x800 else 'clear'}")
        if name.endswith(b"/") and usize != 0:
            fail(f"{name!r}: folder with data")
        body = None if a.layout_only else data[pos + 30 + nlen + xlen:pos + 30 + nlen + xlen + csize]
        entries.append(dict(pos=pos, flags=flags, method=method, time=tm, crc=crc, csize=csize, usize=usize,
                            name=name, body=body, extra=extra, xlen=xlen))
        pos += 30 + nlen + xlen + csize
        if flags & 8:
            signed = data[pos:pos + 4] == b"PK\x07\x08"
            d = data[pos + (4 if signed else 0):pos + (4 if signed else 0) + (20 if zip64 else 12)]
            dcrc, dcsize, dusize = struct.unpack("<IQQ" if zip64 else "<III", d)
            if (dcrc, dcsize, dusize) != (crc, csize, usize):
                fail(f"{name!r}: the data descriptor does not repeat the header's CRC and sizes")
            pos += len(d) + (4 if signed else 0)
    if pos != cd_at:
        fail(f"the walk ends at {pos}, the central directory starts at {cd_at}")
    if len(entries) != len(central):
        fail(f"{len(entries)} local headers, {len(central)} central records")
    for l, c in zip(entries, central):
        for k in ("flags", "method", "time", "crc", "csize", "usize", "name"):
            if l[k] != c[k]:
                fail(f"{l['name']!r}: {k} differs between local header and central directory")
        # The central Zip64 field may hold the offset and the volume as well.
        more = 8 * (c["offset"] >= large) + 4 * (c["disk"] >= 0xFFFF)
        if c["extra"] != l["xlen"] + more + (4 if more and l["xlen"] == len(l["extra"]) else 0):
            fail(f"{c['name']!r}: the central directory's extra field is not the local header's")
        if starts[c["disk"]] + c["offset"] != l["pos"]:
            fail(f"{c['name']!r}: central record points at volume {c['disk']} offset {c['offset']}, not at its header")
    if here != sum(1 for c in central if c["lies_in"] == disk):
        fail("the end record's count of central records on its volume")

    if a.layout_only:
        print(f"check_sfx: {a.file}: {len(entries)} entries, layout as expected")
        return
    # Contents.
    seen = {}
    for l in entries:
        body = l["body"]
        method = l["method"]
        if method == 99:
            if a.password is None:
                fail(f"{l['name']!r} is encrypted")
            version, vendor, strength, method = struct.unpack("<H2sBH", l["extra"][4:11])
            ours = version == 2 and strength == 3 and l["crc"] == 0
            if vendor != b"AE" or not (ours or a.any_aes and version in (1, 2) and strength in (1, 2, 3)):
                fail(f"{l['name']!r}: not AES-256 as AE-2 (version {version}, strength {strength})")
            # WinZip AES keys come from the password's UTF-8 bytes, as 7-Zip's do.
            body = aes_open(l["name"], body, a.password.encode("utf-8"), strength)
        elif l["flags"] & 1:
            if a.password is None:
                fail(f"{l['name']!r} is encrypted")
            k = Keys(a.password.encode("cp1252"))
            head = k.decrypt(body[:12])
            check = (l["time"] >> 8) & 0xFF if l["flags"] & 8 else l["crc"] >> 24
            if head[11] != check:
                fail(f"{l['name']!r}: encryption header's check byte")
            body = k.decrypt(body[12:])
        plain = zlib.decompress(body, -15) if method == 8 else body
        if method not in (0, 8):
            fail(f"{l['name']!r}: method {method}")
        ae2 = l["method"] == 99 and l["extra"][4:6] == b"\x02\x00"
        if len(plain) != l["usize"] or (not ae2 and zlib.crc32(plain) != l["crc"]):
            fail(f"{l['name']!r}: contents do not match size and CRC")
        seen[l["name"].decode("utf-8")] = (plain, l["time"])

    if a.tree:
        want = {}
        for root, dirs, files in os.walk(a.tree):
            rel = os.path.relpath(root, a.tree)
            if rel != ".":
                want[rel.replace(os.sep, "/") + "/"] = (None, os.stat(root).st_mtime)
            for f in files:
                path = os.path.join(root, f)
                name = os.path.relpath(path, a.tree).replace(os.sep, "/")
                want[name] = (open(path, "rb").read(), os.stat(path).st_mtime)
        if set(want) != set(seen):
            fail(f"entries differ from the tree: extra {sorted(set(seen) - set(want))}, missing {sorted(set(want) - set(seen))}")
        for name, (content, mtime) in want.items():
            plain, tm = seen[name]
            if content is not None and plain != content:
                fail(f"{name}: contents differ from the tree")
            if tm != dos_time(mtime):
                fail(f"{name}: DOS time {tm:#x}, the file's is {dos_time(mtime):#x}")
    print(f"check_sfx: {a.file}: {len(entries)} entries, layout and contents as expected")


if __name__ == "__main__":
    main()

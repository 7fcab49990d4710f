#!/usr/bin/env python3
"""Writes the seeds of the extract fuzz target (tests/fuzz/extract_fuzz.cpp):
a control byte, two 16-bit volume lengths, then the archive's bytes. Plain,
Deflate, folder and spanned archives, WinZip AES entries of every strength
(AE-1 and AE-2, the password "pw" remembered or typed, a wrong one, a
damaged one), each in a few controls; tested first (VerifyFirst, 0x40) good
and damaged ones; archives written to a pipe (data descriptors, Zip64, "./"
names) with and without their central directory. The AES keystream comes from openssl, PBKDF2 and HMAC
from Python, so the seeds are the same bytes run after run (fixed salts)."""
import binascii, hashlib, hmac, io, os, struct, subprocess, sys, zipfile, zlib

out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "corpus", "extract")
os.makedirs(out, exist_ok=True)

def archive(entries, method=zipfile.ZIP_STORED):
    b = io.BytesIO()
    with zipfile.ZipFile(b, "w", method) as z:
        for name, data in entries:
            z.writestr(zipfile.ZipInfo(name, (2001, 7, 15, 12, 30, 10)), data)
    return b.getvalue()

plain = archive([("a.txt", b"alpha"), ("sub/b", b"beta" * 50), ("x.txt", b"")])
deflated = archive([("a.txt", b"text " * 400), ("b", b"more " * 300)], zipfile.ZIP_DEFLATED)
folders = archive([("d/", b""), ("d/e/f.txt", b"f"), ("../up.txt", b"no")])
spanned = b"PK\x07\x08" + plain
DOS_TIME, DOS_DATE = (12 << 11) | (30 << 5) | 5, ((2001 - 1980) << 9) | (7 << 5) | 15


def aes_sealed(plain, password, strength, salt_seed):
    """The entry data of WinZip AES: salt, password verifier, the data in AES
    CTR (a little-endian counter from 1), the first 10 bytes of its HMAC."""
    key = 8 * (strength + 1)  # 16, 24, 32 bytes
    salt = hashlib.sha1(salt_seed).digest()[:key // 2]
    keys = hashlib.pbkdf2_hmac("sha1", password, salt, 1000, 2 * key + 2)
    blocks = b"".join((n + 1).to_bytes(16, "little") for n in range((len(plain) + 15) // 16))
    stream = subprocess.run(["openssl", "enc", f"-aes-{8 * key}-ecb", "-nopad", "-nosalt", "-K", keys[:key].hex()],
                            input=blocks, capture_output=True, check=True).stdout if blocks else b""
    cipher = bytes(p ^ k for p, k in zip(plain, stream))
    return salt + keys[2 * key:] + cipher + hmac.new(keys[key:2 * key], cipher, hashlib.sha1).digest()[:10]


def raw_archive(entries):
    """A ZIP of (name, data, password, strength, version, deflate) entries,
    AES where a password is given, with its central directory."""
    local, central = b"", b""
    for name, data, password, strength, version, deflate in entries:
        name = name.encode()
        crc = zlib.crc32(data)
        method = 8 if deflate else 0
        packed = data
        if deflate:
            c = zlib.compressobj(9, zlib.DEFLATED, -15)
            packed = c.compress(data) + c.flush()
        extra, flags = b"", 0
        if password is not None:
            packed = aes_sealed(packed, password, strength, name)
            extra = struct.pack("<HHH2sBH", 0x9901, 7, version, b"AE", strength, method)
            flags, method = 1, 99
            if version == 2:
                crc = 0
        fields = struct.pack("<HHHHHIII", 51 if extra else 20, flags, method, DOS_TIME, DOS_DATE, crc, len(packed), len(data))
        central += (b"PK\x01\x02" + struct.pack("<H", 51 if extra else 20) + fields +
                    struct.pack("<HHHHHII", len(name), len(extra), 0, 0, 0, 0, len(local)) + name + extra)
        local += b"PK\x03\x04" + fields + struct.pack("<HH", len(name), len(extra)) + name + extra + packed
    end = b"PK\x05\x06" + struct.pack("<HHHHIIH", 0, 0, len(entries), len(entries), len(central), len(local), 0)
    return local + central + end


def damaged(archive, entry, offset):
    """The archive with the byte at offset in the data of its entry-th entry
    (from 0) flipped."""
    at = 0
    for _ in range(entry):
        packed, name, extra = struct.unpack_from("<I4xHH", archive, at + 18)
        at += 30 + name + extra + packed
    name, extra = struct.unpack_from("<HH", archive, at + 26)
    at += 30 + name + extra + offset
    return archive[:at] + bytes([archive[at] ^ 0x40]) + archive[at + 1:]


PW = b"pw"
aes256 = raw_archive([("a.txt", b"alpha " * 30, PW, 3, 2, False), ("sub/b", b"beta " * 200, PW, 3, 2, True)])
aes128_ae1 = raw_archive([("a.txt", b"alpha " * 30, PW, 1, 1, True), ("x.txt", b"", PW, 1, 1, False)])
aes192_mixed = raw_archive([("a", b"plain first", None, 0, 0, False), ("b", b"gamma " * 100, PW, 2, 2, True),
                            ("x.txt", b"last", None, 0, 0, False)])
aes_other_password = raw_archive([("a.txt", b"alpha", b"other", 3, 2, False), ("b", b"b", None, 0, 0, False)])
# Past the salt and the password verifier: the authentication code fails.
aes_damaged = damaged(raw_archive([("a.txt", b"first, whole", None, 0, 0, False),
                                   ("b", b"delta " * 100, PW, 3, 2, True), ("x.txt", b"x", None, 0, 0, False)]), 1, 16 + 2 + 3)
plain_bad_crc = raw_archive([("a.txt", b"first, whole", None, 0, 0, False), ("b", b"epsilon", None, 0, 0, False)])
plain_bad_crc = plain_bad_crc.replace(b"epsilon", b"EPSILON")


def piped(entries, method=zipfile.ZIP_DEFLATED, zip64=False):
    """A ZIP written to a stream that cannot seek back: bit 3, no sizes in the
    local headers, a data descriptor after each entry (64-bit with zip64)."""
    class Stream(io.RawIOBase):
        def __init__(self):
            self.data = bytearray()
        def writable(self):
            return True
        def write(self, b):
            self.data += b
            return len(b)
    out = Stream()
    with zipfile.ZipFile(out, "w", method) as z:
        for name, data in entries:
            info = zipfile.ZipInfo(name, (2001, 7, 15, 12, 30, 10))
            info.compress_type = method
            with z.open(info, "w", force_zip64=zip64) as f:
                f.write(data)
    return bytes(out.data)


def without_end_record(archive):
    """No directory to ask: the end record's signature broken."""
    at = archive.rfind(b"PK\x05\x06")
    return archive[:at] + b"QK" + archive[at + 2:]


piped_deflated = piped([("a.txt", b"text " * 300), ("d/", b""), ("./b", b"more " * 200)])
piped_stored = piped([("a.txt", b"alpha"), ("b", b"beta" * 40)], zipfile.ZIP_STORED)
piped_zip64 = piped([("a.txt", b"wide " * 200), ("b", b"b")], zip64=True)

seeds = {
    "plain": (0x00, 0, 0, plain),
    "plain_existing_ask": (0x28, 0, 0, plain),
    "plain_existing_keep": (0x18, 0, 0, plain),
    "deflated": (0x00, 0, 0, deflated),
    "folders": (0x08, 0, 0, folders),
    "spanned_two": (0x01, 60, 0, spanned),
    "spanned_three": (0x03, 50, 40, spanned),
    "spanned_empty_middle": (0x03, 50, 0, spanned),
    "cut_with_volume_beside": (0x01, 70, 0, plain),
    "plain_verify": (0x40, 0, 0, plain),
    "plain_bad_crc_verify": (0x40, 0, 0, plain_bad_crc),
    "plain_bad_crc_verify_existing": (0x48, 0, 0, plain_bad_crc),
    "aes256_remembered": (0x04, 0, 0, aes256),
    "aes256_typed_verify": (0x40, 0, 0, aes256),
    "aes128_ae1_existing_ask": (0x2C, 0, 0, aes128_ae1),
    "aes192_mixed": (0x04, 0, 0, aes192_mixed),
    "aes_other_password_verify": (0x44, 0, 0, aes_other_password),
    "aes_damaged": (0x04, 0, 0, aes_damaged),
    "aes_damaged_verify": (0x44, 0, 0, aes_damaged),
    "aes_damaged_verify_existing_ask": (0x6C, 0, 0, aes_damaged),
    "piped_deflated": (0x00, 0, 0, piped_deflated),
    "piped_deflated_no_directory": (0x00, 0, 0, without_end_record(piped_deflated)),
    "piped_deflated_spanned": (0x01, 200, 0, b"PK\x07\x08" + piped_deflated),
    "piped_stored_verify": (0x40, 0, 0, piped_stored),
    "piped_stored_no_directory": (0x00, 0, 0, without_end_record(piped_stored)),
    "piped_zip64_no_directory": (0x08, 0, 0, without_end_record(piped_zip64)),
}
for name, (control, first, second, body) in seeds.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(struct.pack("<BHH", control, first, second) + body)

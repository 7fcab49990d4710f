#!/usr/bin/env python3
"""Writes a ZIP archive of one stored WinZip AES-256 entry (AE-2), apart
from the program's code: PBKDF2-HMAC-SHA1 by hashlib, the authentication
code by hmac, the keystream by openssl's AES-256-ECB over the little-endian
counter blocks. The key comes from the password's UTF-8 bytes, as 7-Zip and
WinZip take it (7-Zip reads such an archive but refuses to write one with a
password outside ASCII).

    aes_zip.py OUT.zip NAME PASSWORD DATAFILE
"""
import hashlib
import hmac
import os
import struct
import subprocess
import sys


def keystream(key: bytes, length: int) -> bytes:
    blocks = (length + 15) // 16
    counters = b"".join(struct.pack("<QQ", i + 1, 0) for i in range(blocks))
    out = subprocess.run(["openssl", "enc", "-aes-256-ecb", "-nopad", "-K", key.hex()], input=counters,
                         stdout=subprocess.PIPE, check=True).stdout
    return out[:length]


def main() -> int:
    out, name, password, datafile = sys.argv[1:5]
    data = open(datafile, "rb").read()
    secret = password.encode("utf-8", "surrogateescape")
    salt = os.urandom(16)
    derived = hashlib.pbkdf2_hmac("sha1", secret, salt, 1000, 66)
    aes_key, mac_key, verifier = derived[:32], derived[32:64], derived[64:]
    cipher = bytes(a ^ b for a, b in zip(data, keystream(aes_key, len(data))))
    code = hmac.new(mac_key, cipher, hashlib.sha1).digest()[:10]
    body = salt + verifier + cipher + code
    extra = struct.pack("<HHHHBH", 0x9901, 7, 2, 0x4541, 3, 0)  # AE-2, "AE", AES-256, stored
    raw_name = name.encode("utf-8")
    time, date = 0x6000, 0x5A21
    # Version 5.1, encrypted (bit 0), method 99, CRC 0 (AE-2).
    common = struct.pack("<HHHHHIII", 51, 1, 99, time, date, 0, len(body), len(data))
    local = b"PK\x03\x04" + common + struct.pack("<HH", len(raw_name), len(extra)) + raw_name + extra
    central = (b"PK\x01\x02" + struct.pack("<H", 51) + common +
               struct.pack("<HHHHHII", len(raw_name), len(extra), 0, 0, 0, 0, 0) + raw_name + extra)
    end = b"PK\x05\x06" + struct.pack("<HHHHIIH", 0, 0, 1, 1, len(central), len(local) + len(body), 0)
    with open(out, "wb") as f:
        f.write(local + body + central + end)
    return 0


if __name__ == "__main__":
    sys.exit(main())

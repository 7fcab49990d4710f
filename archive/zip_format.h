// The facts of the ZIP format that the walk, the readers, the maker tool and
// the tests share: the local header record, the signatures, the general
// purpose flag bits, the compression methods, the encryption header and the
// parts of a WinZip AES entry.
//
// Signatures stand here increased by one: the stub's own bytes must hold no
// ZIP signature, or a tool that scans for one would take the program for the
// archive. Compare with ZipSignature(), which keeps the subtraction where the
// optimiser cannot fold it back into a constant.
#pragma once
#include <stdint.h>

// The local file header as it lies in the archive, 30 bytes, little-endian.
#pragma pack(push, 1)
struct LocalHeaderRecord {
  uint32_t signature;
  uint16_t versionNeeded;
  uint16_t flags;            // ZipFlag bits
  uint16_t method;           // ZipMethod
  uint32_t dosDateTime;      // time in the low half, date in the high half
  uint32_t crc32;
  uint32_t compressedSize;
  uint32_t uncompressedSize;
  uint16_t nameLength;
  uint16_t extraLength;
};
#pragma pack(pop)
static_assert(sizeof(LocalHeaderRecord) == 30, "local header is 30 bytes");

enum : uint32_t {
  LocalHeaderSize = sizeof(LocalHeaderRecord),
  SignatureSize = 4,
  DescriptorSize = 12,        // CRC-32, compressed size, uncompressed size
  SignedDescriptorSize = 16,  // the same after its signature
  EncryptionHeaderSize = 12,  // traditional encryption, before the data
  EndRecordSize = 22,         // the end of central directory record without its comment
  Zip64DescriptorSize = 20,   // CRC-32 and two 64-bit sizes, after a Zip64 entry's data
  CentralHeaderSize = 46,     // a central directory record before its name, extra field and comment
  Zip64LocatorSize = 20,      // the Zip64 end record locator, right before the end record
  Zip64EndRecordSize = 56,    // the Zip64 end of central directory record without its extension
  MaxEndComment = 0xFFFF,     // the end record's comment length is 16 bits
};

// A 32-bit size or offset of this value (a 16-bit count of 0xFFFF) stands
// for the real one in the Zip64 extra field or the Zip64 end record.
enum : uint32_t { Zip64Escape = 0xFFFFFFFFu, Zip64CountEscape = 0xFFFFu };

// Each signature plus one (see above).
enum ShiftedSignature : uint32_t {
  ShiftedLocalHeader = 0x04034b50u + 1,
  ShiftedMarker = 0x08074b50u + 1,  // spanning marker and data descriptor alike
  ShiftedCentralHeader = 0x02014b50u + 1,
  ShiftedEndRecord = 0x06054b50u + 1,
  ShiftedZip64EndRecord = 0x06064b50u + 1,
  ShiftedZip64Locator = 0x07064b50u + 1,
};

// General purpose bits.
enum ZipFlag : uint16_t {
  FlagEncrypted = 0x0001,   // traditional encryption, or WinZip AES with MethodAes
  FlagDescriptor = 0x0008,  // CRC and sizes follow the data
  FlagUtf8Name = 0x0800,    // the name is UTF-8
  FlagStrongEncryption = 0x0040,  // PKWARE's strong encryption: no reader here takes it
  FlagMaskedHeaders = 0x2000,     // the same with the local headers' values masked
};

// MethodAes marks a WinZip AES entry; its extra field names the real method.
enum ZipMethod : uint16_t { MethodStored = 0, MethodDeflate = 8, MethodAes = 99 };

// WinZip AES (AE-1 and AE-2). The entry's data is the salt, the password
// verifier, the encrypted data and the authentication code; its extra field
// (ExtraIdAes) holds the vendor version, the vendor id, the strength and the
// real method. AE-1 keeps the CRC of the plain data; AE-2 stores 0 there and
// the code alone checks the data.
// Extra fields: a 16-bit id and a 16-bit size before each field's data.
enum : uint32_t {
  ExtraIdZip64 = 0x0001,        // 64-bit sizes (and offset, disk) for fields that hold the escape
  ExtraIdUnicodePath = 0x7075,  // Info-ZIP: version 1, CRC-32 of the header's name, the name in UTF-8
  ExtraFieldHeaderSize = 4,
  Zip64LocalExtraSize = 16,     // its data in a local header: both sizes, always
  VersionNeededZip64 = 45,      // version needed to extract an entry with Zip64's fields
};

enum : uint32_t {
  ExtraIdAes = 0x9901,
  AesExtraSize = 7,        // its data, after the id and the size
  AesVendorId = 0x4541,    // "AE" read as a little-endian word
  AesVersionAe1 = 1,
  AesVersionAe2 = 2,
  AesVerifierSize = 2,
  AesCodeSize = 10,        // the first 10 bytes of HMAC-SHA1 over the encrypted data
  AesKeyIterations = 1000, // of PBKDF2-HMAC-SHA1
  AesMaxSaltSize = 16,
  AesMaxKeySize = 32,
};

// Strength 1, 2 and 3: keys of 16, 24 and 32 bytes, salts of 8, 12 and 16.
inline uint32_t AesKeySize(uint32_t strength) { return 8 + 8 * strength; }
inline uint32_t AesSaltSize(uint32_t strength) { return 4 + 4 * strength; }
// The bytes of the entry's data that are not the encrypted data itself.
inline uint32_t AesOverhead(uint32_t strength) { return AesSaltSize(strength) + AesVerifierSize + AesCodeSize; }

// The most bytes one byte of a Deflate stream can decode to: a 258-byte
// match in two bits.
enum : uint32_t { MaxDeflateRatio = 1032 };

// Little-endian numbers in a record or an extra field, at any alignment: one
// load each on the little-endian processors the stub and its tools run on.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "records are read as the processor's words");
inline uint32_t Le16(const uint8_t* p) {
  uint16_t v;
  __builtin_memcpy(&v, p, sizeof v);
  return v;
}
inline uint32_t Le32(const uint8_t* p) {
  uint32_t v;
  __builtin_memcpy(&v, p, sizeof v);
  return v;
}
inline uint64_t Le64(const uint8_t* p) {
  uint64_t v;
  __builtin_memcpy(&v, p, sizeof v);
  return v;
}

// The signature itself; volatile keeps the constant out of the program's bytes.
inline uint32_t ZipSignature(ShiftedSignature shifted) {
  volatile uint32_t value = shifted;
  return value - 1;
}

// The facts of the ZIP format that the walk, the readers, the maker tool and
// the tests share: the local header record, the signatures, the general
// purpose flag bits, the compression methods and the encryption header.
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
};

// Each signature plus one (see above).
enum ShiftedSignature : uint32_t {
  ShiftedLocalHeader = 0x04034b50u + 1,
  ShiftedMarker = 0x08074b50u + 1,  // spanning marker and data descriptor alike
  ShiftedCentralHeader = 0x02014b50u + 1,
  ShiftedEndRecord = 0x06054b50u + 1,
};

// General purpose bits.
enum ZipFlag : uint16_t {
  FlagEncrypted = 0x0001,   // traditional encryption
  FlagDescriptor = 0x0008,  // CRC and sizes follow the data
  FlagUtf8Name = 0x0800,    // the name is UTF-8
};

enum ZipMethod : uint16_t { MethodStored = 0, MethodDeflate = 8 };

// The signature itself; volatile keeps the constant out of the program's bytes.
inline uint32_t ZipSignature(ShiftedSignature shifted) {
  volatile uint32_t value = shifted;
  return value - 1;
}

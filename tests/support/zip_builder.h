// Test helper: builds ZIP archives byte by byte. Stored, Deflate (zlib) and
// raw entries of any method, the traditional encryption (implemented here on
// its own, apart from archive/crypt.cpp), extra fields, data descriptors with
// or without their signature, sizes left out of the local header, folder
// entries and deliberately wrong CRCs, Zip64 fields and the Zip64 end
// record. The archive ends with its central directory and end record, as
// real tools write them.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct ZipEntry {
  std::string name;
  std::vector<uint8_t> data;         // the uncompressed contents
  uint16_t method = 0;               // 0 stored, 8 Deflate (zlib), else data as given
  uint32_t dosDateTime = 0x2AEF63C5; // 2001-07-15 12:30:10
  std::string password;              // traditional encryption when not empty
  uint8_t aesStrength = 0;           // with a password: WinZip AES of 1, 2, 3 (128, 192, 256 bits)
  uint16_t aesVersion = 2;           // AE-2 (no CRC) or AE-1 (CRC too)
  std::vector<uint8_t> extra;        // extra field of the local header
  bool descriptor = false;           // bit 3 and a data descriptor after the data
  bool descriptorSignature = true;   // the descriptor opens with 50 4B 07 08
  bool sizesInHeader = true;         // false: CRC and sizes 0 in the local header
  std::optional<uint32_t> crc;       // stands in the headers instead of the real CRC
  std::optional<uint64_t> uncompressedSize;  // likewise for the size (4 GiB or more: Zip64)
  uint16_t extraFlags = 0;           // further general purpose bits
  std::optional<std::vector<uint8_t>> payload;  // written instead of the stored or deflated data
  bool zip64 = false;                // both sizes in a Zip64 field of both headers (0xFFFFFFFF in
                                     // theirs), a descriptor's 64-bit; implied by a size past 32 bits
};

class ZipBuilder {
 public:
  ZipBuilder& Add(const ZipEntry& entry);
  ZipBuilder& Stored(const std::string& name, const std::string& text, uint32_t dosDateTime = 0x2AEF63C5);
  ZipBuilder& Folder(const std::string& name);
  // The Zip64 end record and its locator before the end record, whose
  // count, size and offset then hold the escape.
  ZipBuilder& Zip64End();
  // The archive: local entries, then central directory and end record.
  std::vector<uint8_t> Bytes() const;
  // Only the local entries (no central directory).
  std::vector<uint8_t> LocalPart() const;

 private:
  std::vector<ZipEntry> entries_;
  bool zip64End_ = false;
};

// CRC-32 of the ZIP format, computed bit by bit.
uint32_t ZipCrc(const std::vector<uint8_t>& bytes);
// Traditional encryption of payload with password; check is the header's
// last byte (the CRC's high byte, or the time's high byte with bit 3).
std::vector<uint8_t> ZipEncrypt(const std::string& password, uint8_t check, const std::vector<uint8_t>& payload);
// Little-endian helpers.
void PutLe16(std::vector<uint8_t>& out, uint32_t v);
void PutLe32(std::vector<uint8_t>& out, uint32_t v);

// The entry in hand: every fact of it that the readers, the driver and mksfx
// use, in one record filled by the walk (NextEntry, archive/walk.h) from the
// local header, its extra fields and, where the header lacks them, the
// central directory; after a Deflate entry of unknown size, from its data
// descriptor. Callers read this record, never the raw LocalHeader.
#pragma once
#include <stdint.h>

// Where an entry's sizes (and CRC) were found.
enum SizeSource : uint8_t {
  SizesFromLocalHeader,  // the local header's 32-bit fields, as most archivers write them
  SizesFromZip64,        // the Zip64 extra field of the local header
  SizesFromDirectory,    // the entry's central directory record (the header has bit 3 and no sizes)
  SizesFromDescriptor,   // known only after the data: a Deflate stream decoded to its end
};

struct EntryRecord {
  const char* name;  // in UTF-8, "./" parts dropped; in the walk's buffer until the next step
  bool nameWhole;    // the name was read whole and converts
  bool folder;       // a folder entry: ends in a separator, no data ("" for the destination itself)
  int32_t volume;    // the volume its local header began in

  uint64_t compressedSize;    // all of its data: an encryption header, the data, an AES code
  uint64_t uncompressedSize;  // with SizesFromDescriptor, known after the data
  uint32_t crc32;
  uint32_t dosDateTime;       // time in the low half, date in the high half
  uint16_t flags;             // ZipFlag bits
  uint16_t method;            // as the header has it: MethodAes for WinZip AES
  uint16_t dataMethod;        // the method of the data: an AES entry's field names it (MethodAes while unread)
  uint8_t aesStrength;        // 1 to 3 for a WinZip AES entry whose field reads, else 0
  uint8_t aesVersion;         // AesVersionAe1 or AesVersionAe2 with a strength
  uint32_t dataOffset;        // from HeaderStart to the data: the record, the name and the extra field
  SizeSource sizeSource;
  bool crcKnown;      // false: bit 3 and a CRC of 0 in the header, none from the directory: the descriptor's counts
  bool zip64;         // the local header has a Zip64 field: its descriptor holds 64-bit sizes
  bool endKnown;      // where the data ends is known: false for SizesFromDescriptor until decoded
  bool descriptorRead;  // the data descriptor after the data has been read (descriptorLength bytes)
  uint8_t descriptorLength;
};

// The entry in hand (program-wide: the data's two ends and the password step
// read it deep inside a pass).
extern EntryRecord CurrentEntry;

// A program-wide record through a register: a function that reads many of
// its fields reaches them by short offsets rather than by full addresses,
// each of which costs the stub a relocation too.
template <typename Record>
inline Record& ThroughRegister(Record& record) {
  Record* at = &record;
  __asm__("" : "+r"(at));
  return *at;
}
inline EntryRecord& Entry() { return ThroughRegister(CurrentEntry); }

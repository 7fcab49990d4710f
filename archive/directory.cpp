// The central directory, looked up for entries whose local headers lack
// their sizes (directory.h). At the first such entry of a pass the end record
// is found and the whole directory read into memory in one read; each look-up
// then costs no read at all.
#include "archive/directory.h"
#include "Sfx/sfx.h"
#include "Sfx/state.h"
#include "archive/entry.h"
#include "archive/extra.h"
#include "archive/volume.h"
#include "archive/zip_format.h"

namespace {
enum DirectoryState : uint8_t { DirectoryUnread, DirectoryFound, DirectoryMissing };

// What was learnt of the directory in this pass: its records in memory, how
// far their recorded offsets are from the real places, and the record to
// look at first.
struct DirectoryPlace {
  DirectoryState state;
  uint8_t* records;  // the directory's bytes (a block of this file's)
  uint32_t size;
  uint32_t next;     // offset in records of the record after the last one matched
  uint32_t shift;    // real position less recorded offset, modulo 2^32
} Directory;

// count bytes at position into buffer; false when they cannot be had whole.
bool ReadAt(uint32_t position, void* buffer, uint32_t count) {
  return SeekArchive(static_cast<int32_t>(position), SeekFromBegin) == 0 &&
         ReadFromFile(ArchiveHandle, buffer, count) == count;
}

// The end record, searched from the end of the file back over the longest
// comment; the last one whose directory ends right before it (or before its
// Zip64 end record) counts. Data after the archive (a signature) is allowed.
// The directory is then read whole.
void FindDirectory() {
  DirectoryPlace& d = ThroughRegister(Directory);
  d.state = DirectoryMissing;
  uint32_t length = VolumeLength();
  if (length < ArchiveStart + EndRecordSize) return;
  uint32_t tail = length - ArchiveStart;
  if (tail > EndRecordSize + MaxEndComment + 8192) tail = EndRecordSize + MaxEndComment + 8192;
  uint8_t* bytes = static_cast<uint8_t*>(AllocateBlock(tail));
  if (bytes == 0) return;
  uint32_t from = length - tail;
  if (ReadAt(from, bytes, tail)) {
    for (uint32_t at = tail - EndRecordSize + 1; at-- > 0;) {
      const uint8_t* end = bytes + at;
      if (Le32(end) != ZipSignature(ShiftedEndRecord)) continue;
      uint64_t size = Le32(end + 12), offset = Le32(end + 16);
      uint32_t recordsEnd = from + at;
      // Zip64: the locator right before the end record, the Zip64 end
      // record right before the locator.
      if (at >= Zip64LocatorSize + Zip64EndRecordSize &&
          Le32(end - Zip64LocatorSize) == ZipSignature(ShiftedZip64Locator)) {
        const uint8_t* record = end - Zip64LocatorSize - Zip64EndRecordSize;
        if (Le32(record) == ZipSignature(ShiftedZip64EndRecord)) {
          size = Le64(record + 40);
          offset = Le64(record + 48);
          recordsEnd -= Zip64LocatorSize + Zip64EndRecordSize;
        }
      }
      if (size > recordsEnd - ArchiveStart) continue;
      uint32_t start = recordsEnd - static_cast<uint32_t>(size);
      d.records = static_cast<uint8_t*>(AllocateBlock(static_cast<uint32_t>(size) + 1));
      if (d.records == 0 || !ReadAt(start, d.records, static_cast<uint32_t>(size))) break;
      d.size = static_cast<uint32_t>(size);
      d.next = 0;
      d.shift = start - static_cast<uint32_t>(offset);
      d.state = DirectoryFound;
      break;
    }
  }
  ReleaseBlock(bytes);
}

// The record at offset at of the directory; true when it is the record of
// the local header at headerStart, its facts then in facts. *next is where
// the record after it starts (0 when this one is not whole).
bool RecordMatches(uint32_t at, uint32_t headerStart, DirectoryFacts* facts, uint32_t* next) {
  const DirectoryPlace& d = ThroughRegister(Directory);
  *next = 0;
  if (d.size - at < CentralHeaderSize) return false;
  const uint8_t* record = d.records + at;
  if (Le32(record) != ZipSignature(ShiftedCentralHeader)) return false;
  uint32_t nameLength = Le16(record + 28), extraLength = Le16(record + 30);
  uint32_t length = CentralHeaderSize + nameLength + extraLength + Le16(record + 32);
  if (d.size - at < length) return false;
  *next = at + length;
  uint64_t compressed = Le32(record + 20), uncompressed = Le32(record + 24), offset = Le32(record + 42);
  ReadZip64Field(record + CentralHeaderSize + nameLength, extraLength, &uncompressed, &compressed, &offset);
  if (static_cast<uint32_t>(offset) + d.shift != headerStart) return false;
  facts->compressedSize = compressed;
  facts->uncompressedSize = uncompressed;
  facts->crc32 = Le32(record + 16);
  return true;
}
}  // namespace

void ForgetDirectory() {
  ReleaseBlock(Directory.records);
  Directory.records = 0;
  Directory.state = DirectoryUnread;
}

bool DirectoryRecordOf(uint32_t headerStart, DirectoryFacts* facts) {
  DirectoryPlace& d = ThroughRegister(Directory);
  bool found = false;
  if (d.state == DirectoryUnread) {
    bool failed = false;
    uint32_t back = SetFilePosition(ArchiveHandle, 0, SeekFromCurrent, &failed);
    FindDirectory();
    SeekArchive(static_cast<int32_t>(back), SeekFromBegin);
  }
  if (d.state == DirectoryFound) {
    // From the record after the last one found to the end (entries that
    // needed no look-up, folders among them, lie between), then from the
    // start up to there.
    uint32_t at = d.next, next = 0;
    while (!found && at < d.size) {
      found = RecordMatches(at, headerStart, facts, &next);
      if (next == 0) break;  // a record that is not whole: none after it can be read
      at = next;
    }
    for (at = 0; !found && at < d.next; at = next) {
      found = RecordMatches(at, headerStart, facts, &next);
      if (next == 0) break;
    }
    if (found) d.next = next;
  }
  return found;
}

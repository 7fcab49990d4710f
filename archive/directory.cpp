// The central directory, looked up for entries whose local headers lack
// their sizes (directory.h).
#include "archive/directory.h"
#include "Sfx/sfx.h"
#include "Sfx/state.h"
#include "archive/entry.h"
#include "archive/extra.h"
#include "archive/volume.h"
#include "archive/zip_format.h"

namespace {
enum DirectoryState : uint8_t { DirectoryUnread, DirectoryFound, DirectoryMissing };

// What was learnt of the directory in this pass: where it lies in the file,
// how far its recorded offsets are from the real places, and the record to
// look at first.
struct DirectoryPlace {
  DirectoryState state;
  uint32_t start, end, next;
  uint32_t shift;  // real position less recorded offset, modulo 2^32
} Directory;

uint8_t Record[CentralHeaderSize];
uint8_t RecordFields[2 * 65536];  // a record's name and extra field

// count bytes at position into buffer; false when they cannot be had whole.
bool ReadAt(uint32_t position, void* buffer, uint32_t count) {
  return SeekArchive(static_cast<int32_t>(position), SeekFromBegin) == 0 &&
         ReadFromFile(ArchiveHandle, buffer, count) == count;
}

// The end record, searched from the end of the file back over the longest
// comment; the last one whose directory ends right before it (or before its
// Zip64 end record) counts. Data after the archive (a signature) is allowed.
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
      uint32_t endAt = from + at;
      uint64_t size = Le32(end + 12), offset = Le32(end + 16);
      uint32_t recordsEnd = endAt;
      // Zip64: the locator right before the end record, the Zip64 end
      // record right before the locator.
      if (at >= Zip64LocatorSize + Zip64EndRecordSize &&
          Le32(end - Zip64LocatorSize) == ZipSignature(ShiftedZip64Locator)) {
        const uint8_t* record = end - Zip64LocatorSize - Zip64EndRecordSize;
        if (Le32(record) == ZipSignature(ShiftedZip64EndRecord)) {
          size = Le64(record + 40);
          offset = Le64(record + 48);
          recordsEnd = endAt - Zip64LocatorSize - Zip64EndRecordSize;
        }
      }
      if (size > recordsEnd - ArchiveStart) continue;
      d.end = recordsEnd;
      d.start = d.next = recordsEnd - static_cast<uint32_t>(size);
      d.shift = d.start - static_cast<uint32_t>(offset);
      d.state = DirectoryFound;
      break;
    }
  }
  ReleaseBlock(bytes);
}

// Reads the record at position; true when it is the record of the local
// header at headerStart, its facts then in facts. *next is where the record
// after it starts (0 when this one cannot be read).
bool RecordMatches(uint32_t position, uint32_t headerStart, DirectoryFacts* facts, uint32_t* next) {
  const DirectoryPlace& d = ThroughRegister(Directory);
  *next = 0;
  if (position + CentralHeaderSize > d.end || !ReadAt(position, Record, CentralHeaderSize) ||
      Le32(Record) != ZipSignature(ShiftedCentralHeader))
    return false;
  uint32_t nameLength = Le16(Record + 28), extraLength = Le16(Record + 30), commentLength = Le16(Record + 32);
  uint32_t fields = nameLength + extraLength;
  *next = position + CentralHeaderSize + fields + commentLength;
  uint64_t compressed = Le32(Record + 20), uncompressed = Le32(Record + 24), offset = Le32(Record + 42);
  if (compressed == Zip64Escape || uncompressed == Zip64Escape || offset == Zip64Escape) {
    if (ReadFromFile(ArchiveHandle, RecordFields, fields) != fields) return false;
    ReadZip64Field(RecordFields + nameLength, extraLength, &uncompressed, &compressed, &offset);
  }
  if (static_cast<uint32_t>(offset) + d.shift != headerStart) return false;
  facts->compressedSize = compressed;
  facts->uncompressedSize = uncompressed;
  facts->crc32 = Le32(Record + 16);
  return true;
}
}  // namespace

void ForgetDirectory() { Directory.state = DirectoryUnread; }

bool DirectoryRecordOf(uint32_t headerStart, DirectoryFacts* facts) {
  bool failed = false;
  uint32_t back = SetFilePosition(ArchiveHandle, 0, SeekFromCurrent, &failed);
  DirectoryPlace& d = ThroughRegister(Directory);
  if (d.state == DirectoryUnread) FindDirectory();
  bool found = false;
  if (d.state == DirectoryFound) {
    uint32_t next;
    found = RecordMatches(d.next, headerStart, facts, &next);
    // Not the next record: the whole directory, front to back.
    for (uint32_t at = d.start; !found && at != 0 && at < d.end; at = next)
      found = RecordMatches(at, headerStart, facts, &next);
    if (found) d.next = next;
  }
  SeekArchive(static_cast<int32_t>(back), SeekFromBegin);
  return found;
}

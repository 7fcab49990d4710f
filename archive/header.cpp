// The local header reader and the steps of the walk between headers.
//
// Signatures are compared through ZipSignature (archive/zip_format.h), so
// that the stub's own bytes hold no ZIP signature. 0x50000000 is accepted as
// a header too, and compared directly.
//
// Beyond the bare walk (data right after the name, next header right after
// the data) the extra field is stepped over, and so is the data descriptor of
// an entry with general purpose bit 3, as Info-ZIP's zip writes them.
#include "archive/header.h"
#include "Sfx/sfx.h"
#include "Sfx/state.h"
#include "archive/directory.h"
#include "archive/entry.h"
#include "archive/volume.h"
#include <string.h>

LocalHeaderRecord LocalHeader;

namespace {
enum : uint32_t { AcceptedAsHeader = 0x50000000u };

}  // namespace

void ResetLocalHeader() {
  memset(&LocalHeader, 0, sizeof LocalHeader);
  memset(&CurrentEntry, 0, sizeof CurrentEntry);
  ForgetDirectory();
}

bool ReadLocalHeader() {
  for (;;) {
    HeaderStart = ArchivePosition;
    bool atArchiveStart = CurrentVolume <= 1 && HeaderStart == ArchiveStart;
    // A record cut short by the end of the archive is no header (its missing
    // bytes read as 0) and, but for a whole end record without a comment,
    // which is shorter than a header, no proper end of the walk either.
    memset(&LocalHeader, 0, sizeof LocalHeader);
    uint32_t got = ReadAcrossVolumes(&LocalHeader, LocalHeaderSize);
    if (got < LocalHeaderSize && !(got >= EndRecordSize && LocalHeader.signature == ZipSignature(ShiftedEndRecord)))
      LocalHeader.signature = 0;
    uint32_t signature = LocalHeader.signature;
    if (got == LocalHeaderSize && (signature == ZipSignature(ShiftedLocalHeader) || signature == AcceptedAsHeader)) {
      EntryRemaining = LocalHeader.compressedSize;
      return true;
    }
    EntryRemaining = 0;
    if (signature != ZipSignature(ShiftedMarker)) return false;
    // The spanning marker opens a spanned archive; met anywhere else it is
    // stepped over like any run of markers, and the walk only moves forward.
    if (atArchiveStart) {
      CurrentVolume = 1;
      ArchiveSpanned = 1;
    }
    if (!SeekFromHeader(SignatureSize, true)) return false;
  }
}

bool SeekFromHeader(uint64_t offset, bool volumeChanged) {
  if (!ArchiveSpanned) {
    uint64_t position = HeaderStart + offset;
    if (!volumeChanged && position > 0xFFFFFFFFu) return false;
    SeekArchive(static_cast<int32_t>(position), SeekFromBegin);
    return true;
  }
  // HeaderStart is below 0 once the header lay partly in an earlier volume.
  // A place past the volume's end lies in the volumes after it; a place just
  // at the end is left to the next read, which goes on in the next volume.
  for (;;) {
    int64_t position = HeaderStart + static_cast<int64_t>(offset);
    uint32_t length = VolumeLength();
    if (position <= static_cast<int64_t>(length) || position < 0) {
      SeekArchive(static_cast<int32_t>(position), SeekFromBegin);
      return true;
    }
    if (!GoOnInNextVolume()) return false;
  }
}

bool GoOnInNextVolume() {
  uint32_t left = 0;
  if (VolumeChangeFailed || !ChangeVolume(CurrentVolume + 1, &left)) {
    VolumeChangeFailed = 1;
    return false;
  }
  HeaderStart -= left;
  return true;
}

uint32_t ReadAcrossVolumes(void* buffer, uint32_t count) {
  uint8_t* bytes = static_cast<uint8_t*>(buffer);
  uint32_t got = ReadFromFile(ArchiveHandle, bytes, count);
  while (got < count && ArchiveSpanned && GoOnInNextVolume()) {
    uint32_t more = ReadFromFile(ArchiveHandle, bytes + got, count - got);
    if (more == 0) break;  // an empty volume: the archive is damaged
    got += more;
  }
  return got;
}

bool SeekNextHeader(bool volumeChanged) {
  const EntryRecord& e = Entry();
  uint64_t afterData = static_cast<uint64_t>(e.dataOffset) + e.compressedSize;
  if ((e.flags & FlagDescriptor) == 0 || e.descriptorRead) return SeekFromHeader(afterData + e.descriptorLength, volumeChanged);
  if (!SeekFromHeader(afterData, volumeChanged)) return false;
  // The descriptor is read rather than sought over, so that it may run on
  // into the next volume; its first four bytes tell its length, and a Zip64
  // entry's holds 64-bit sizes.
  uint8_t descriptor[SignatureSize + Zip64DescriptorSize];
  uint32_t first = 0;
  ReadAcrossVolumes(&first, SignatureSize);
  uint32_t rest = (first == ZipSignature(ShiftedMarker) ? static_cast<uint32_t>(SignatureSize) : 0u) +
                  (e.zip64 ? Zip64DescriptorSize : DescriptorSize) - SignatureSize;
  ReadAcrossVolumes(descriptor, rest);
  SeekArchive(0, SeekFromCurrent);  // the next header's place, for ReadLocalHeader
  return true;
}

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
#include <string.h>

LocalHeaderRecord LocalHeader;

namespace {
enum : uint32_t { AcceptedAsHeader = 0x50000000u };

// The 4 bytes at position, read as a little-endian number (0 after a short read).
uint32_t DwordAt(uint32_t position) {
  uint32_t value = 0;
  SeekArchive(static_cast<int32_t>(position), SeekFromBegin);
  ReadFromFile(ArchiveHandle, &value, sizeof value);
  return value;
}
}  // namespace

void ResetLocalHeader() { memset(&LocalHeader, 0, sizeof LocalHeader); }

bool ReadLocalHeader() {
  VolumeSwitchAllowed = 1;
  // Any number of spanning markers in a row are stepped over.
  for (;;) {
    HeaderStart = ArchivePosition;
    LocalHeader.signature = 0;
    // A record cut short by the end of the file is no header: its missing
    // bytes would otherwise be the previous header's.
    if (ReadFromFile(ArchiveHandle, &LocalHeader, LocalHeaderSize) < LocalHeaderSize) LocalHeader.signature = 0;
    uint32_t signature = LocalHeader.signature;
    if (signature == ZipSignature(ShiftedLocalHeader) || signature == AcceptedAsHeader) {
      EntryRemaining = static_cast<int32_t>(LocalHeader.compressedSize);
      return true;
    }
    EntryRemaining = 0;
    if (signature != ZipSignature(ShiftedMarker)) return false;
    CurrentVolume = 1;
    SeekArchive(static_cast<int32_t>(ArchivePosition + SignatureSize), SeekFromBegin);
  }
}

uint32_t EntryDataStart() {
  return HeaderStart + LocalHeaderSize + LocalHeader.nameLength + LocalHeader.extraLength;
}

bool EntrySizesKnown() {
  if ((LocalHeader.flags & FlagDescriptor) == 0 || LocalHeader.compressedSize != 0) return true;
  // An empty entry whose descriptor follows at once is still walkable.
  bool known = DwordAt(EntryDataStart()) == ZipSignature(ShiftedMarker);
  SeekArchive(static_cast<int32_t>(EntryDataStart()), SeekFromBegin);
  return known;
}

bool SeekNextHeader(bool volumeChanged) {
  uint64_t next = static_cast<uint64_t>(HeaderStart) + LocalHeaderSize + LocalHeader.nameLength +
                  LocalHeader.extraLength + LocalHeader.compressedSize;
  if (!volumeChanged && next > 0xFFFFFFFFu) return false;
  uint32_t position = static_cast<uint32_t>(next);
  if (LocalHeader.flags & FlagDescriptor)
    position += DwordAt(position) == ZipSignature(ShiftedMarker) ? SignedDescriptorSize : DescriptorSize;
  SeekArchive(static_cast<int32_t>(position), SeekFromBegin);
  return true;
}

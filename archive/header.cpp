// The local header reader and the steps of the walk between headers.
//
// Signature constants stand in the program increased by one, in an array the
// optimiser cannot fold, so that the stub's own bytes hold no ZIP signature;
// one is subtracted before each comparison. 0x50000000 is compared directly.
//
// Beyond the bare walk (data right after the name, next header right after
// the data) the extra field is stepped over, and so is the data descriptor of
// an entry with general purpose bit 3, as Info-ZIP's zip writes them.
#include "archive/header.h"
#include "Sfx/sfx.h"
#include "Sfx/state.h"

namespace {
// Local header, spanning marker / data descriptor, each plus one.
volatile uint32_t ShiftedSignatures[2] = {0x04034b50u + 1, 0x08074b50u + 1};

uint32_t LocalHeaderSignature() { return ShiftedSignatures[0] - 1; }
uint32_t MarkerSignature() { return ShiftedSignatures[1] - 1; }

enum : uint32_t {
  AcceptedAsHeader = 0x50000000u,
  HeaderSize = 30,
  MarkerSize = 4,
  DescriptorSize = 12,       // CRC-32, compressed size, uncompressed size
  SignedDescriptorSize = 16  // the same after its signature
};
enum : uint16_t { FlagDescriptor = 0x0008 };

// The 4 bytes at position, read as a little-endian number (0 after a short read).
uint32_t DwordAt(uint32_t position) {
  uint32_t value = 0;
  SeekArchive(static_cast<int32_t>(position), SeekFromBegin);
  ReadFromFile(ArchiveHandle, &value, sizeof value);
  return value;
}
}  // namespace

bool ReadLocalHeader() {
  VolumeSwitchAllowed = 1;
  // Any number of spanning markers in a row are stepped over.
  for (;;) {
    LocalHeader.signature = 0;
    // A record cut short by the end of the file is no header: its missing
    // bytes would otherwise be the previous header's.
    if (ReadFromFile(ArchiveHandle, &LocalHeader, HeaderSize) < HeaderSize) LocalHeader.signature = 0;
    uint32_t signature = LocalHeader.signature;
    if (signature == LocalHeaderSignature() || signature == AcceptedAsHeader) {
      EntryRemaining = static_cast<int32_t>(LocalHeader.compressedSize);
      return true;
    }
    EntryRemaining = 0;
    if (signature != MarkerSignature()) return false;
    CurrentVolume = 1;
    SeekArchive(static_cast<int32_t>(ArchivePosition + MarkerSize), SeekFromBegin);
  }
}

uint32_t EntryDataStart() {
  return HeaderStart + HeaderSize + LocalHeader.nameLength + LocalHeader.extraLength;
}

bool EntrySizesKnown() {
  if ((LocalHeader.flags & FlagDescriptor) == 0 || LocalHeader.compressedSize != 0) return true;
  // An empty entry whose descriptor follows at once is still walkable.
  bool known = DwordAt(EntryDataStart()) == MarkerSignature();
  SeekArchive(static_cast<int32_t>(EntryDataStart()), SeekFromBegin);
  return known;
}

bool SeekNextHeader(bool volumeChanged) {
  uint64_t next = static_cast<uint64_t>(HeaderStart) + HeaderSize + LocalHeader.nameLength +
                  LocalHeader.extraLength + LocalHeader.compressedSize;
  if (!volumeChanged && next > 0xFFFFFFFFu) return false;
  uint32_t position = static_cast<uint32_t>(next);
  if (LocalHeader.flags & FlagDescriptor)
    position += DwordAt(position) == MarkerSignature() ? SignedDescriptorSize : DescriptorSize;
  SeekArchive(static_cast<int32_t>(position), SeekFromBegin);
  return true;
}

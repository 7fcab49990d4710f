// The walk over the local headers (walk.h): the steps that the extraction
// driver and mksfx's list and test take alike, with no prompt, message or
// policy of their own. What to ask, show or keep is the driver's.
#include "archive/walk.h"
#include "SFXinflt/inflate.h"
#include "Sfx/sfx.h"
#include "Sfx/state.h"
#include "archive/entry_data.h"
#include "archive/header.h"
#include "archive/names.h"
#include "archive/stored.h"
#include "archive/volume.h"
#include "archive/zip_format.h"
#include <string.h>

namespace {
enum : uint32_t {
  NameBufferSize = 258,   // the name bytes read from a header
  ExtraFieldRoom = 1024,  // extra fields looked through for a Unicode name
};

// The walk ended where it should: at the central directory or the end record
// (the signatures compared as the header's are).
bool EndedAtDirectory() {
  return LocalHeader.signature == ZipSignature(ShiftedCentralHeader) ||
         LocalHeader.signature == ZipSignature(ShiftedEndRecord);
}
}  // namespace

bool ReadEntryName(char* name) {
  uint8_t raw[NameBufferSize];
  uint32_t want = LocalHeader.nameLength < NameBufferSize ? LocalHeader.nameLength : static_cast<uint32_t>(NameBufferSize);
  uint32_t got = ReadAcrossVolumes(raw, want);
  TextFromBuffer(raw, got, name, TextBufferSize);
  if (got < want) return false;  // the archive ends inside the name: no file under a shortened one
  const void* nul = memchr(raw, 0, got);
  uint32_t nameBytes = nul != 0 ? static_cast<uint32_t>(static_cast<const uint8_t*>(nul) - raw) : got;
  if (LocalHeader.nameLength > NameBufferSize || nameBytes >= TextBufferSize) return false;

  char utf8[TextBufferSize];
  bool unicode = (LocalHeader.flags & FlagUtf8Name) != 0;
  if (unicode) {
    CopyText(utf8, name, sizeof utf8);
  } else if (LocalHeader.extraLength != 0 && LocalHeader.extraLength <= ExtraFieldRoom) {
    // The extra field follows the name; the data is sought from the header.
    uint8_t extra[ExtraFieldRoom];
    uint32_t extraGot = ReadAcrossVolumes(extra, LocalHeader.extraLength);
    unicode = UnicodePathName(extra, extraGot, raw, got, utf8, sizeof utf8);
  }
  if (!unicode) return true;
  // Plain ASCII reads the same in every code page.
  bool ascii = true;
  for (const char* c = utf8; *c != 0; ++c)
    if (static_cast<unsigned char>(*c) >= 0x80) ascii = false;
  char converted[TextBufferSize];
  if (!ascii && !Utf8ToAnsi(utf8, converted, sizeof converted)) return false;  // the name as stored is shown
  CopyText(name, ascii ? utf8 : converted, TextBufferSize);
  return true;
}

bool BeginWalk() {
  // An earlier pass over a spanned archive may have left a later volume in
  // hand; every pass walks from the first.
  VolumeChangeFailed = 0;
  if (CurrentVolume > 1 && !ChangeVolume(1, 0)) return false;
  CurrentVolume = 1;
  ArchiveSpanned = 0;
  return SeekArchive(static_cast<int32_t>(ArchiveStart), SeekFromBegin) == 0;
}

WalkStep NextEntry(WalkedEntry* entry) {
  if (!ReadLocalHeader()) {
    if (VolumeChangeFailed) return WalkVolumeMissing;
    return EndedAtDirectory() ? WalkEndAtDirectory : WalkCutShort;
  }
  entry->volume = CurrentVolume;
  EntryDone = 0;
  EntryTotal = LocalHeader.uncompressedSize;
  entry->nameWhole = ReadEntryName(entry->name);
  unsigned n = TextLength(entry->name);
  entry->folder = n > 0 && IsPathSeparator(entry->name[n - 1]) && LocalHeader.uncompressedSize == 0;
  if (n == 0) return WalkEmptyName;
  if (!EntrySizesKnown()) return WalkSizesUnknown;
  return WalkEntry;
}

NameVerdict FormOutputPath(const WalkedEntry& entry, char* path) {
  if (!entry.nameWhole) return NameNotWhole;
  if (TextLength(DestinationFolder) + 1 + TextLength(entry.name) >= TextBufferSize) return NameTooLong;
  // A name ending in a separator names a folder; with data it names no file.
  unsigned n = TextLength(entry.name);
  if (!NameIsSafe(entry.name) || (!entry.folder && IsPathSeparator(entry.name[n - 1]))) return NameRefused;
  CopyText(path, DestinationFolder, TextBufferSize);
  AppendText(path, "\\", TextBufferSize);
  AppendText(path, entry.name, TextBufferSize);
  return NameAccepted;
}

void SeekEntryData() {
  // The name has been read; an extra field may have been read with it.
  if (LocalHeader.extraLength != 0)
    SeekFromHeader(LocalHeaderSize + LocalHeader.nameLength + LocalHeader.extraLength, true);
}

void ReadEncryptionHeader(uint8_t* header) {
  memset(header, 0, EncryptionHeaderSize);
  ReadAcrossVolumes(header, EncryptionHeaderSize);
}

bool MethodKnown() { return LocalHeader.method == MethodStored || LocalHeader.method == MethodDeflate; }

EntryResult DecodeEntryInto(FileHandle output) {
  OutputHandle = output;
  CrcRegister = 0xFFFFFFFFu;
  EntryStop = EntryGoesOn;
  // The compressed size counts the encryption header, read already; an entry
  // shorter than that header has no data.
  uint32_t header = (LocalHeader.flags & FlagEncrypted) ? static_cast<uint32_t>(EncryptionHeaderSize) : 0u;
  EntryRemaining = LocalHeader.compressedSize > header ? LocalHeader.compressedSize - header : 0;
  bool buffers = LocalHeader.method == MethodStored ? CopyStoredEntry() : InflateEntry();
  OutputHandle = NoFile;

  if (!buffers) return EntryNoMemory;
  // Output that was refused or ran past the declared size is never whole,
  // even where the CRC of what was written happens to match.
  if (EntryStop == EntryOutputRefused) return EntryWriteFailed;
  if (EntryStop == EntryTooLong) return EntrySizeMismatch;
  // Whole: the CRC matches and the data is as long as the header says (a
  // shorter one is damage the CRC may miss).
  bool crcMatches = (CrcRegister ^ 0xFFFFFFFFu) == LocalHeader.crc32;
  if (crcMatches && static_cast<uint64_t>(EntryDone) == LocalHeader.uncompressedSize) return EntryWhole;
  if (EntryStop == EntryVolumeLost) return EntryVolumeMissing;
  if (EntryStop == EntryInputEnded) return EntryCutShort;
  if (CancelRequested) return EntryCancelled;
  return crcMatches ? EntrySizeMismatch : EntryCrcMismatch;
}

WalkStep StepOverEntry(const WalkedEntry& entry) {
  // A volume that could not be had (reported then) is not asked for again.
  if (VolumeChangeFailed) return WalkVolumeMissing;
  if (SeekNextHeader(CurrentVolume != entry.volume)) return WalkEntry;
  return VolumeChangeFailed ? WalkVolumeMissing : WalkCutShort;
}

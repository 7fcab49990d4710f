// The walk over the local headers (walk.h): the steps that the extraction
// driver and mksfx's list and test take alike, with no prompt, message or
// policy of their own. What to ask, show or keep is the driver's.
#include "archive/walk.h"
#include "SFXinflt/inflate.h"
#include "Sfx/sfx.h"
#include "Sfx/state.h"
#include "archive/crypt.h"
#include "archive/entry_data.h"
#include "archive/header.h"
#include "archive/names.h"
#include "archive/stored.h"
#include "archive/volume.h"
#include "archive/winzip_aes.h"
#include "archive/zip_format.h"
#include "support/utf8.h"
#include <string.h>

namespace {
enum : uint32_t {
  HeaderFieldRoom = 65536,  // a name or the extra fields: 16-bit lengths
};

// The name of the entry in hand as stored, its extra fields, and the name
// in UTF-8 (WalkedEntry::name); and the destination in UTF-8, the start of
// every output path of the pass.
uint8_t RawName[HeaderFieldRoom];
uint8_t ExtraFields[HeaderFieldRoom];
char EntryName[PathRoom];
char Destination[3 * TextBufferSize];

// The WinZip AES field of the entry in hand; AesFieldRead when it was found
// whole and well-formed.
AesEntryInfo AesField;
bool AesFieldRead;

bool IsAesEntry() { return LocalHeader.method == MethodAes; }

// The walk ended where it should: at the central directory or the end record
// (the signatures compared as the header's are).
bool EndedAtDirectory() {
  return LocalHeader.signature == ZipSignature(ShiftedCentralHeader) ||
         LocalHeader.signature == ZipSignature(ShiftedEndRecord);
}
}  // namespace

bool ReadEntryName(char* name) {
  uint32_t want = LocalHeader.nameLength;
  uint32_t got = ReadAcrossVolumes(RawName, want);
  // The name ends at a NUL, if it holds one.
  char* raw = reinterpret_cast<char*>(RawName);
  raw[got] = 0;
  bool whole = got == want;  // the archive ends inside the name: no file under a shortened one

  if ((LocalHeader.flags & FlagUtf8Name) != 0) {
    CopyText(name, raw, PathRoom);
    return whole;
  }
  // The extra fields follow the name; the data is sought from the header.
  if (whole && LocalHeader.extraLength != 0) {
    uint32_t extraGot = ReadAcrossVolumes(ExtraFields, LocalHeader.extraLength);
    if (UnicodePathName(ExtraFields, extraGot, RawName, got, name, PathRoom)) return true;
  }
  if (AnsiToUtf8(raw, name, PathRoom)) return whole;
  CopyText(name, "?", PathRoom);  // shown in place of a name that does not convert
  return false;
}

bool BeginWalk() {
  // An earlier pass over a spanned archive may have left a later volume in
  // hand; every pass walks from the first.
  VolumeChangeFailed = 0;
  if (CurrentVolume > 1 && !ChangeVolume(1, 0)) return false;
  CurrentVolume = 1;
  ArchiveSpanned = 0;
  CopyText(Destination, Utf8OfAnsi(DestinationFolder), sizeof Destination);
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
  entry->name = EntryName;
  entry->nameWhole = ReadEntryName(EntryName);
  unsigned n = TextLength(entry->name);
  entry->folder = n > 0 && IsPathSeparator(entry->name[n - 1]) && LocalHeader.uncompressedSize == 0;
  if (n == 0) return WalkEmptyName;
  if (!EntrySizesKnown()) return WalkSizesUnknown;
  return WalkEntry;
}

NameVerdict FormOutputPath(const WalkedEntry& entry, char* path) {
  if (!entry.nameWhole) return NameNotWhole;
  // A name ending in a separator names a folder; with data it names no file.
  const char* name = entry.name;
  unsigned n = TextLength(name);
  if (!NameIsSafe(name) || (!entry.folder && IsPathSeparator(name[n - 1]))) return NameRefused;
  unsigned d = TextLength(Destination);
  if (Utf16Units(Destination, Destination + d) + 1 + Utf16Units(name, name + n) > MaxPathUnits) return NameTooLong;
  memcpy(path, Destination, d);
  path[d] = '\\';
  memcpy(path + d + 1, name, n + 1);
  return NameAccepted;
}

void SeekEntryData() {
  AesFieldRead = false;
  if (IsAesEntry()) {
    SeekFromHeader(LocalHeaderSize + LocalHeader.nameLength, true);
    AesFieldRead = FindAesExtra(ExtraFields, ReadAcrossVolumes(ExtraFields, LocalHeader.extraLength), &AesField);
  }
  // The name has been read; an extra field may have been read with it.
  if (LocalHeader.extraLength != 0)
    SeekFromHeader(LocalHeaderSize + LocalHeader.nameLength + LocalHeader.extraLength, true);
}

uint32_t EntryAesStrength() { return IsAesEntry() && AesFieldRead ? AesField.strength : 0; }
uint32_t EntryAesVersion() { return EntryAesStrength() != 0 ? AesField.version : 0; }
uint16_t EntryMethod() { return EntryAesStrength() != 0 ? AesField.method : LocalHeader.method; }

// The bytes before the data: the encryption header or the salt and verifier.
static uint32_t EncryptionHeaderLength() {
  if ((LocalHeader.flags & FlagEncrypted) == 0) return 0;
  uint32_t strength = EntryAesStrength();
  if (IsAesEntry()) return strength != 0 ? AesSaltSize(strength) + AesVerifierSize : 0;
  return EncryptionHeaderSize;
}

void ReadEncryptionHeader(uint8_t* header) {
  memset(header, 0, EncryptionHeaderRoom);
  ReadAcrossVolumes(header, EncryptionHeaderLength());
}

bool PasswordFits(const uint8_t* header, const char* password) {
  uint32_t strength = EntryAesStrength();
  if (strength == 0)
    return CheckPassword(header, LocalHeader.flags, password, LocalHeader.dosDateTime, LocalHeader.crc32);
  return password[0] != 0 &&
         BeginAesEntry(strength, header, header + AesSaltSize(strength), password, TextLength(password));
}

bool MethodKnown() {
  // An AES entry: encrypted, its field read, long enough for its salt,
  // verifier and code.
  uint32_t strength = EntryAesStrength();
  if (IsAesEntry() && ((LocalHeader.flags & FlagEncrypted) == 0 || strength == 0 ||
                       LocalHeader.compressedSize < AesOverhead(strength)))
    return false;
  uint16_t method = EntryMethod();
  return method == MethodStored || method == MethodDeflate;
}

// WinZip AES: the encrypted bytes the decoder left (after its last block)
// still go through the code's hash; then the code after the data is compared.
static bool AesCodeMatches() {
  uint8_t rest[512];
  while (EntryStop == EntryGoesOn && TakeEntryInput(rest, sizeof rest) > 0) {
  }
  uint8_t code[AesCodeSize];
  return EntryRemaining == 0 && ReadAcrossVolumes(code, AesCodeSize) == AesCodeSize && AesAuthenticCode(code);
}

EntryResult DecodeEntryInto(FileHandle output) {
  OutputHandle = output;
  CrcRegister = 0xFFFFFFFFu;
  EntryStop = EntryGoesOn;
  uint32_t strength = EntryAesStrength();
  bool encrypted = (LocalHeader.flags & FlagEncrypted) != 0;
  EntryCipher = !encrypted ? CipherNone : strength != 0 ? CipherAes : CipherTraditional;
  // The compressed size counts the encryption header, read already, and an
  // AES entry's code after the data; an entry shorter than these has no data.
  uint32_t around = EncryptionHeaderLength() + (strength != 0 ? static_cast<uint32_t>(AesCodeSize) : 0u);
  EntryRemaining = LocalHeader.compressedSize > around ? LocalHeader.compressedSize - around : 0;
  bool buffers = EntryMethod() == MethodStored ? CopyStoredEntry() : InflateEntry();
  bool authentic = strength == 0 || (buffers && AesCodeMatches());
  OutputHandle = NoFile;

  if (!buffers) return EntryNoMemory;
  // Output that was refused or ran past the declared size is never whole,
  // even where the CRC of what was written happens to match.
  if (EntryStop == EntryOutputRefused) return EntryWriteFailed;
  if (EntryStop == EntryTooLong) return EntrySizeMismatch;
  // Whole: the CRC matches (AE-2 stores none: its code stands for it) and
  // the data is as long as the header says (a shorter one is damage the CRC
  // may miss); an AES entry's code matches too.
  bool crcMatches = (CrcRegister ^ 0xFFFFFFFFu) == LocalHeader.crc32 || EntryAesVersion() == AesVersionAe2;
  bool sizeMatches = static_cast<uint64_t>(EntryDone) == LocalHeader.uncompressedSize;
  if (crcMatches && sizeMatches && authentic) return EntryWhole;
  if (crcMatches && sizeMatches && EntryStop == EntryGoesOn && !CancelRequested) return EntryNotAuthentic;
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

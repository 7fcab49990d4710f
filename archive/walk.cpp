// The walk over the local headers (walk.h): the steps that the extraction
// driver and mksfx's list and test take alike, with no prompt, message or
// policy of their own. What to ask, show or keep is the driver's.
//
// Most archives carry every entry's sizes and CRC in its local header, and
// the walk reads nothing else. Where a header has bit 3 and no sizes (Go,
// Java, Node writers, bsdtar, Info-ZIP writing to a pipe), the central
// directory gives them in a program that is not spanned; without one, a
// Deflate stream is decoded to its end and the data descriptor after it
// checked. Where the header's CRC is 0 with bit 3, the descriptor's counts.
#include "archive/walk.h"
#include "SFXinflt/inflate.h"
#include "Sfx/sfx.h"
#include "Sfx/state.h"
#include "archive/crypt.h"
#include "archive/directory.h"
#include "archive/entry_data.h"
#include "archive/extra.h"
#include "archive/header.h"
#include "archive/names.h"
#include "archive/stored.h"
#include "archive/volume.h"
#include "archive/winzip_aes.h"
#include "archive/zip_format.h"
#include "support/utf8.h"
#include <string.h>

EntryRecord CurrentEntry;

namespace {
enum : uint32_t {
  HeaderFieldRoom = 65536,  // a name or the extra fields: 16-bit lengths
};

// The name and extra field of the entry in hand as stored, the name cut at a
// NUL, and in UTF-8 (EntryRecord::name); and the destination in UTF-8, the
// start of every output path of the pass.
uint8_t RawFields[2 * HeaderFieldRoom];
char StoredName[HeaderFieldRoom + 1];
char EntryName[PathRoom];
char Destination[3 * TextBufferSize];

// The walk ended where it should: at the central directory or the end record
// (the signatures compared as the header's are).
bool EndedAtDirectory() {
  return LocalHeader.signature == ZipSignature(ShiftedCentralHeader) ||
         LocalHeader.signature == ZipSignature(ShiftedEndRecord);
}

// Valid UTF-8 with at least one byte beyond ASCII: such a name, unflagged,
// was written by a tool that writes UTF-8 (Info-ZIP in a C locale); text of
// a single-byte code page is valid UTF-8 only by rare chance.
bool LooksLikeUtf8(const char* name) {
  bool beyondAscii = false;
  for (const char* p = name; *p != 0;) {
    uint32_t c = NextCodePoint(&p);
    if (c == NotUtf8) return false;
    if (c >= 0x80) beyondAscii = true;
  }
  return beyondAscii;
}

// Drops every "./" part ("./a", "a/./b"), as unzip does; a name of such parts
// alone ("./") becomes "", the destination itself.
void DropDotParts(char* name) {
  char* to = name;
  for (const char* from = name; *from != 0;) {
    if (from[0] == '.' && IsPathSeparator(from[1]) && (from == name || IsPathSeparator(from[-1]))) {
      from += 2;
      continue;
    }
    *to++ = *from++;
  }
  *to = 0;
}

// The entry's sizes: the local header's, its Zip64 field's, or, with bit 3
// and none in the header, the central directory's. False when they cannot
// be had before the data: a Deflate stream of its own (not WinZip AES, whose
// code follows the data) is then decoded to its end; any other entry cannot
// be walked over.
bool FindSizes(EntryRecord& e, const uint8_t* extra, uint32_t extraLength) {
  const LocalHeaderRecord& h = ThroughRegister(LocalHeader);
  e.compressedSize = h.compressedSize;
  e.uncompressedSize = h.uncompressedSize;
  e.crc32 = h.crc32;
  e.sizeSource = SizesFromLocalHeader;
  e.endKnown = true;
  e.zip64 = ReadZip64Field(extra, extraLength, &e.uncompressedSize, &e.compressedSize, 0);
  if (e.zip64 && (h.compressedSize == Zip64Escape || h.uncompressedSize == Zip64Escape))
    e.sizeSource = SizesFromZip64;
  bool descriptor = (e.flags & FlagDescriptor) != 0;
  // With bit 3, a CRC of 0 is no CRC: the descriptor's or the directory's counts.
  e.crcKnown = !descriptor || e.crc32 != 0;
  if (!descriptor || e.compressedSize != 0) return true;
  DirectoryFacts facts;
  if (!ArchiveSpanned && DirectoryRecordOf(static_cast<uint32_t>(HeaderStart), &facts)) {
    e.compressedSize = facts.compressedSize;
    e.uncompressedSize = facts.uncompressedSize;
    e.crc32 = facts.crc32;
    e.crcKnown = true;
    e.sizeSource = SizesFromDirectory;
    return true;
  }
  // Without a directory, an empty entry whose descriptor follows at once is
  // walkable as it stands.
  uint32_t first = 0;
  bool empty = ReadFromFile(ArchiveHandle, &first, SignatureSize) == SignatureSize && first == ZipSignature(ShiftedMarker);
  SeekFromHeader(e.dataOffset, true);
  if (empty) return true;
  e.sizeSource = SizesFromDescriptor;
  e.endKnown = false;
  e.uncompressedSize = 0;
  return e.method == MethodDeflate;
}

// The bytes before the data: the encryption header or the salt and verifier.
uint32_t EncryptionHeaderLength() {
  const EntryRecord& e = Entry();
  if ((e.flags & FlagEncrypted) == 0) return 0;
  if (e.method == MethodAes) return e.aesStrength != 0 ? AesSaltSize(e.aesStrength) + AesVerifierSize : 0;
  return EncryptionHeaderSize;
}

// The data descriptor's length for a layout: with or without its signature,
// with 32- or 64-bit sizes.
uint32_t DescriptorLength(bool signature, bool wide) {
  return (signature ? static_cast<uint32_t>(SignatureSize) : 0u) + (wide ? Zip64DescriptorSize : DescriptorSize);
}

// Reads the data descriptor after the entry's data (the archive standing
// there) and takes the layout whose CRC and sizes agree with the data that
// was read: crc, e.compressedSize and the bytes written. True when one
// agrees; its CRC is then the entry's. Where none does, the layout that the
// signature and the Zip64 field point to gives the descriptor's length.
bool DescriptorAgrees(uint32_t crc) {
  EntryRecord& e = Entry();
  uint8_t d[SignatureSize + Zip64DescriptorSize];
  memset(d, 0, sizeof d);
  uint32_t got = ReadAcrossVolumes(d, sizeof d);
  bool hasSignature = Le32(d) == ZipSignature(ShiftedMarker);
  e.descriptorRead = true;
  e.descriptorLength = static_cast<uint8_t>(DescriptorLength(hasSignature, e.zip64));
  for (unsigned layout = 0; layout < 4; ++layout) {
    bool signature = layout < 2, wide = (layout & 1) != e.zip64;
    if (signature && !hasSignature) continue;
    const uint8_t* at = d + (signature ? static_cast<uint32_t>(SignatureSize) : 0u);
    uint32_t length = DescriptorLength(signature, wide);
    uint64_t compressed = wide ? Le64(at + 4) : Le32(at + 4);
    uint64_t uncompressed = wide ? Le64(at + 12) : Le32(at + 8);
    if (got >= length && Le32(at) == crc && compressed == e.compressedSize &&
        uncompressed == static_cast<uint64_t>(EntryDone)) {
      e.descriptorLength = static_cast<uint8_t>(length);
      e.crc32 = crc;
      e.crcKnown = true;
      e.uncompressedSize = uncompressed;
      return true;
    }
  }
  return false;
}

// WinZip AES: the encrypted bytes the decoder left (after its last block)
// still go through the code's hash; then the code after the data is compared.
bool AesCodeMatches() {
  uint8_t rest[512];
  while (EntryStop == EntryGoesOn && TakeEntryInput(rest, sizeof rest) > 0) {
  }
  uint8_t code[AesCodeSize];
  return EntryRemaining == 0 && ReadAcrossVolumes(code, AesCodeSize) == AesCodeSize && AesAuthenticCode(code);
}
}  // namespace

bool DecodeEntryName(const uint8_t* raw, uint32_t length, const uint8_t* extra, uint32_t extraLength, uint16_t flags,
                     char* name) {
  // The name ends at a NUL, if it holds one.
  TextFromBuffer(raw, length, StoredName, sizeof StoredName);
  bool converts = true;
  if ((flags & FlagUtf8Name) != 0) {
    CopyText(name, StoredName, PathRoom);
  } else if (!UnicodePathName(extra, extraLength, raw, length, name, PathRoom)) {
    if (LooksLikeUtf8(StoredName)) {
      CopyText(name, StoredName, PathRoom);
    } else if (!AnsiToUtf8(StoredName, name, PathRoom)) {
      CopyText(name, "?", PathRoom);  // shown in place of a name that does not convert
      converts = false;
    }
  }
  DropDotParts(name);
  return converts;
}

bool BeginWalk() {
  // An earlier pass over a spanned archive may have left a later volume in
  // hand; every pass walks from the first.
  VolumeChangeFailed = 0;
  if (CurrentVolume > 1 && !ChangeVolume(1, 0)) return false;
  CurrentVolume = 1;
  ArchiveSpanned = 0;
  ForgetDirectory();
  CopyText(Destination, Utf8OfAnsi(DestinationFolder), sizeof Destination);
  return SeekArchive(static_cast<int32_t>(ArchiveStart), SeekFromBegin) == 0;
}

WalkStep NextEntry() {
  if (!ReadLocalHeader()) {
    if (VolumeChangeFailed) return WalkVolumeMissing;
    return EndedAtDirectory() ? WalkEndAtDirectory : WalkCutShort;
  }
  EntryRecord& e = Entry();
  const LocalHeaderRecord& h = ThroughRegister(LocalHeader);
  e.volume = CurrentVolume;
  e.flags = h.flags;
  e.method = e.dataMethod = h.method;
  e.dosDateTime = h.dosDateTime;
  e.aesStrength = e.aesVersion = 0;
  e.descriptorRead = false;
  e.descriptorLength = 0;
  // The name and the extra field in one read; the archive then stands at the
  // entry's data.
  uint32_t nameLength = h.nameLength, extraLength = h.extraLength;
  e.dataOffset = LocalHeaderSize + nameLength + extraLength;
  uint32_t got = ReadAcrossVolumes(RawFields, nameLength + extraLength);
  bool nameWhole = got >= nameLength;  // the archive ends inside the name: no file under a shortened one
  uint32_t extraGot = nameWhole ? got - nameLength : 0;
  const uint8_t* extra = RawFields + nameLength;
  e.name = EntryName;
  e.nameWhole = DecodeEntryName(RawFields, nameWhole ? nameLength : got, extra, extraGot, e.flags, EntryName) &&
                nameWhole;
  if (e.method == MethodAes) {
    AesEntryInfo aes;
    if (FindAesExtra(extra, extraGot, &aes)) {
      e.aesStrength = aes.strength;
      e.aesVersion = static_cast<uint8_t>(aes.version);
      e.dataMethod = aes.method;
    }
  }
  bool sizes = FindSizes(e, extra, extraGot);
  EntryDone = 0;
  EntryTotal = static_cast<int64_t>(e.uncompressedSize);
  unsigned n = TextLength(e.name);
  // A name that ends in a separator is a folder when it holds no data, or
  // when only its descriptor could tell (its stream is then stepped over).
  e.folder = (n == 0 || IsPathSeparator(e.name[n - 1])) && (e.uncompressedSize == 0 || !e.endKnown);
  // A name of "./" parts alone names the destination; any other that is
  // empty (or starts with a NUL) ends the run.
  if (n == 0 && (StoredName[0] == 0 || !e.folder)) return WalkEmptyName;
  if (!sizes) return WalkSizesUnknown;
  return WalkEntry;
}

NameVerdict FormOutputPath(const EntryRecord& entry, char* path) {
  if (!entry.nameWhole) return NameNotWhole;
  // A name ending in a separator names a folder; with data it names no file.
  const char* name = entry.name;
  unsigned n = TextLength(name);
  if (!NameIsSafe(name) || (!entry.folder && IsPathSeparator(name[n - 1]))) return NameRefused;
  unsigned d = TextLength(Destination);
  if (Utf16Units(Destination, Destination + d) + 1 + Utf16Units(name, name + n) > MaxPathUnits) return NameTooLong;
  memcpy(path, Destination, d);
  path[d] = '\\';
  // With Windows' own separator throughout: a destination given with the
  // \\?\ prefix is taken as it stands, and there "/" is no separator.
  char* to = path + d + 1;
  for (const char* from = name; (*to = *from == '/' ? '\\' : *from) != 0; ++from) ++to;
  return NameAccepted;
}

bool ReachedThroughLink(char* path) {
  for (unsigned i = TextLength(Destination) + 1;; ++i) {
    char c = path[i];
    if (c != '\\' && c != 0) continue;
    path[i] = 0;
    uint32_t attributes = FileAttributes(path);
    path[i] = c;
    if (attributes != NoAttributes && (attributes & AttributeReparsePoint) != 0) return true;
    if (c == 0) return false;
  }
}

bool ReadEncryptionHeader(uint8_t* header) {
  memset(header, 0, EncryptionHeaderRoom);
  uint32_t length = EncryptionHeaderLength();
  return ReadAcrossVolumes(header, length) == length;
}

bool PasswordFits(const uint8_t* header, const char* password) {
  const EntryRecord& e = Entry();
  uint32_t strength = e.aesStrength;
  // The traditional check byte is the CRC's high byte, or with bit 3 the
  // time's: CheckPassword picks by the flags.
  if (strength == 0) {
    static char ansi[PasswordBufferSize];
    Utf8ToAnsi(password, ansi, sizeof ansi, false);
    return CheckPassword(header, e.flags, ansi, e.dosDateTime, e.crc32);
  }
  return password[0] != 0 &&
         BeginAesEntry(strength, header, header + AesSaltSize(strength), password, TextLength(password));
}

bool MethodKnown() {
  // An AES entry: encrypted, its field read, long enough for its salt,
  // verifier and code.
  const EntryRecord& e = Entry();
  if (e.method == MethodAes && ((e.flags & FlagEncrypted) == 0 || e.aesStrength == 0 ||
                                e.compressedSize < AesOverhead(e.aesStrength)))
    return false;
  return e.dataMethod == MethodStored || e.dataMethod == MethodDeflate;
}

EntryResult DecodeEntryInto(FileHandle output) {
  EntryRecord& e = Entry();
  OutputHandle = output;
  CrcRegister = 0xFFFFFFFFu;
  EntryStop = EntryGoesOn;
  uint32_t strength = e.aesStrength;
  bool encrypted = (e.flags & FlagEncrypted) != 0;
  EntryCipher = !encrypted ? CipherNone : strength != 0 ? CipherAes : CipherTraditional;
  // The compressed size counts the encryption header, read already, and an
  // AES entry's code after the data; an entry shorter than these has no data.
  // A stream of unknown size is read until it ends.
  uint32_t before = EncryptionHeaderLength();
  uint32_t around = before + (strength != 0 ? static_cast<uint32_t>(AesCodeSize) : 0u);
  bool sized = e.sizeSource != SizesFromDescriptor;
  EntryRemaining = !sized ? ~static_cast<uint64_t>(0) : e.compressedSize > around ? e.compressedSize - around : 0;
  EntryTaken = 0;
  bool buffers = true, damaged = false;
  if (e.dataMethod == MethodStored) {
    buffers = CopyStoredEntry();
  } else {
    InflateOutcome outcome = InflateEntry();
    buffers = outcome != InflateNoMemory;
    damaged = outcome == InflateStreamDamaged;
    if (!sized && outcome == InflateStreamEnded) {
      e.compressedSize = before + EntryTaken - InflateUnusedInput;
      e.endKnown = true;
    }
  }
  bool authentic = strength == 0 || (buffers && AesCodeMatches());
  OutputHandle = NoFile;

  if (!buffers) return EntryNoMemory;
  // Output that was refused or ran past the declared size is never whole,
  // even where the CRC of what was written happens to match.
  if (EntryStop == EntryOutputRefused) return EntryWriteFailed;
  if (EntryStop == EntryTooLong) return EntrySizeMismatch;
  uint32_t crc = CrcRegister ^ 0xFFFFFFFFu;
  bool crcMatches, sizeMatches;
  if (!sized || !e.crcKnown) {
    // The descriptor holds what the header lacks: read where the data ended.
    crcMatches = sizeMatches = e.endKnown && EntryStop == EntryGoesOn && !CancelRequested &&
                               SeekFromHeader(e.dataOffset + e.compressedSize, true) && DescriptorAgrees(crc);
  } else {
    // Whole: the CRC matches (AE-2 stores none: its code stands for it) and
    // the data is as long as the header says (a shorter one is damage the
    // CRC may miss); an AES entry's code matches too.
    crcMatches = crc == e.crc32 || e.aesVersion == AesVersionAe2;
    sizeMatches = static_cast<uint64_t>(EntryDone) == e.uncompressedSize;
  }
  if (crcMatches && sizeMatches && authentic) return EntryWhole;
  if (crcMatches && sizeMatches && EntryStop == EntryGoesOn && !CancelRequested) return EntryNotAuthentic;
  if (EntryStop == EntryVolumeLost) return EntryVolumeMissing;
  if (EntryStop == EntryInputEnded) return EntryCutShort;
  if (CancelRequested) return EntryCancelled;
  if (damaged) return EntryStreamDamaged;
  return crcMatches ? EntrySizeMismatch : EntryCrcMismatch;
}

WalkStep StepOverEntry(const EntryRecord& entry) {
  // A volume that could not be had (reported then) is not asked for again.
  if (VolumeChangeFailed) return WalkVolumeMissing;
  // A stream of unknown size shows its end only when decoded; an encrypted
  // one is decoded only with its password, in the extraction pass.
  if (!entry.endKnown && (entry.flags & FlagEncrypted) == 0) {
    FileHandle nothing = CreateForWriting(NullDevice);
    DecodeEntryInto(nothing);
    CloseFile(nothing);
  }
  if (!entry.endKnown) return VolumeChangeFailed ? WalkVolumeMissing : WalkCutShort;
  if (SeekNextHeader(CurrentVolume != entry.volume)) return WalkEntry;
  return VolumeChangeFailed ? WalkVolumeMissing : WalkCutShort;
}

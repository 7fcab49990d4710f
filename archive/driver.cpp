// The extraction driver: one walk over the local headers in one of three
// passes. The count pass sums the uncompressed sizes for the total bar; the
// extraction pass writes every entry below DestinationFolder, asking about
// passwords and existing files, checks each CRC and ends with a summary; the
// deletion pass removes the entries' files again.
//
// Beyond the bare walk it guards what a damaged or hostile archive could do:
// names that would leave the destination or overrun a buffer are refused,
// folder entries become folders, an entry that cannot be stepped over ends
// the walk with an error, and nothing is created or truncated before the
// method is known and a cancel request has been looked at.
#include "archive/driver.h"
#include "SFXinflt/inflate.h"
#include "SFXstrings/strings.h"
#include "Sfx/sfx.h"
#include "Sfx/state.h"
#include "archive/crypt.h"
#include "archive/header.h"
#include "archive/prompts.h"
#include "archive/zip_format.h"
#include "archive/stored.h"
#include "archive/volume.h"
#include "support/format.h"
#include "support/paths.h"
#include <string.h>

namespace {

enum : uint32_t {
  NameBufferSize = 258,      // the name bytes read from a header
  PasswordPrompts = 3,
};

// What the walk does after an entry.
enum EntryOutcome {
  GoOn,          // seek the next header
  EndWalk,       // stop walking, then the summary
  EndCall,       // stop at once, without a summary
  PasswordRefused
};

// The pass in hand and what the walk has found so far.
struct Pass {
  WindowHandle owner;
  bool counting, deleting;
  uint32_t entry;     // the entry in hand, counted from 0 in walk order
  bool incomplete;    // an entry was skipped or failed
  bool unreadable;    // "Error reading archive." has been shown
};

void ShowError(WindowHandle owner, const char* text, unsigned captionId) {
  ShowMessage(owner, text, LoadMessage(captionId).text, BoxIconError);
}

void ShowCatalogueError(WindowHandle owner, unsigned textId) {
  ShowError(owner, LoadMessage(textId).text, MsgErrorCaption);
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// The record of the files this run wrote; entries past its end are never
// marked, so never deleted.
void MarkWritten(uint32_t entry) {
  if (entry < WrittenEntryBits) WrittenEntries[entry / 8] |= static_cast<uint8_t>(1u << (entry % 8));
}

bool WasWritten(uint32_t entry) {
  return entry < WrittenEntryBits && (WrittenEntries[entry / 8] >> (entry % 8) & 1) != 0;
}

// True when the name stays below the destination: not absolute, no drive or
// stream (":"), and no component of dots (with spaces) that climbs out:
// "..", and "..." or ".. " that Windows reads as such.
bool NameStaysInside(const char* name) {
  if (IsSeparator(name[0]) || strchr(name, ':') != 0) return false;
  const char* part = name;
  for (;;) {
    unsigned dots = 0;
    bool dotsOnly = true;
    for (; *part != 0 && !IsSeparator(*part); ++part) {
      if (*part == '.') ++dots;
      else if (*part != ' ') dotsOnly = false;
    }
    if (dotsOnly && dots >= 2) return false;
    if (*part == 0) return true;
    ++part;
  }
}

bool IsFolderEntry(const char* name) {
  unsigned n = TextLength(name);
  return n > 0 && IsSeparator(name[n - 1]) && LocalHeader.uncompressedSize == 0;
}

// "%d" of an unsigned size (2 GiB and more stay positive) and the unit word.
void FormatSize(uint32_t size, char* text) {
  FormatUnsigned(size, text);
  AppendText(text, LoadMessage(MsgByteUnit).text, TextBufferSize);
}

void FormatDate(uint32_t dosDateTime, char* text) {
  FormatDateValue(LoadMessage(MsgDatePattern).text, DosToDateValue(dosDateTime), text, TextBufferSize);
}

// The overwrite confirmation for an existing file; true when it is replaced.
bool ConfirmOverwrite(const char* path, const FoundFile& existing) {
  ExtractNamePart(path, ConflictName);
  FormatSize(existing.sizeLow, ExistingSizeText);
  FormatDate(FileTimeToLocalDos(existing.lastWriteTime), ExistingDateText);
  FormatSize(LocalHeader.uncompressedSize, ArchivedSizeText);
  FormatDate(LocalHeader.dosDateTime, ArchivedDateText);
  AskOverwrite();
  return OverwriteAnswer != 0;
}

// The password step: the remembered password, then at most three prompts.
// Leaves the keys ready for the entry's data when it returns true.
bool PassPasswordStep() {
  if ((LocalHeader.flags & FlagEncrypted) == 0) return true;
  EntryRemaining -= EncryptionHeaderSize;
  uint8_t header[EncryptionHeaderSize];
  memset(header, 0, sizeof header);
  ReadAcrossVolumes(header, EncryptionHeaderSize);
  bool accepted = CurrentPassword[0] != 0 &&
                  CheckPassword(header, LocalHeader.flags, CurrentPassword, LocalHeader.dosDateTime, LocalHeader.crc32);
  for (unsigned prompts = 0; !accepted && prompts < PasswordPrompts; ++prompts) {
    AskPassword();
    int32_t length = PasswordLength < 0 ? 0 : PasswordLength;
    TextFromBuffer(reinterpret_cast<const uint8_t*>(PasswordBuffer), static_cast<unsigned>(length),
                   CurrentPassword, PasswordBufferSize);
    accepted = CheckPassword(header, LocalHeader.flags, CurrentPassword, LocalHeader.dosDateTime, LocalHeader.crc32);
  }
  return accepted;
}

// A folder entry: the folder and those above it. A failure ends the walk.
EntryOutcome MakeFolderEntry(Pass& pass, const char* path) {
  char folder[TextBufferSize];
  CopyText(folder, path, sizeof folder);
  folder[TextLength(folder) - 1] = 0;  // without its trailing separator
  ForceFolders(folder);
  uint32_t attributes = FileAttributes(folder);
  if (attributes != NoAttributes && (attributes & AttributeDirectory) != 0) return GoOn;
  ShowError(pass.owner, folder, MsgErrorInDirectory);
  pass.incomplete = true;
  return EndWalk;
}

// Writes the entry's data into the file at path and checks its CRC.
void WriteEntryData(Pass& pass, const char* path) {
  CrcRegister = 0xFFFFFFFFu;
  EntryRemaining = static_cast<int32_t>(LocalHeader.compressedSize) -
                   ((LocalHeader.flags & FlagEncrypted) ? static_cast<int32_t>(EncryptionHeaderSize) : 0);
  if (LocalHeader.method == MethodStored) CopyStoredEntry();
  else InflateEntry();
  if ((CrcRegister ^ 0xFFFFFFFFu) != LocalHeader.crc32) pass.incomplete = true;
  SetFileTimeFromDos(OutputHandle, LocalHeader.dosDateTime);
  if (!CloseFile(OutputHandle)) ShowError(pass.owner, path, MsgCannotCloseFile);
  OutputHandle = NoFile;
}

// The extraction pass's work on one entry, from the password step on.
EntryOutcome ExtractEntry(Pass& pass, const char* name, const char* path) {
  if (LocalHeader.extraLength != 0)
    SeekFromHeader(LocalHeaderSize + LocalHeader.nameLength + LocalHeader.extraLength, true);
  if (!PassPasswordStep()) return PasswordRefused;
  if (IsFolderEntry(name)) return MakeFolderEntry(pass, path);

  FoundFile existing;
  if (FindPath(path, &existing)) {
    if (OverwriteMode == KeepExisting || (OverwriteMode == AskEachFile && !ConfirmOverwrite(path, existing))) {
      pass.incomplete = true;
      return GoOn;
    }
  } else {
    char folder[TextBufferSize];
    ExtractDirPart(path, folder);
    ForceFolders(folder);
    if (!PathExists(folder)) {
      ShowError(pass.owner, folder, MsgErrorInDirectory);
      pass.incomplete = true;
      return EndWalk;
    }
  }

  // A cancel request and an unknown method are both seen before the file is
  // created, so that an existing file of that name keeps its contents.
  PumpOneMessage();
  if (CancelRequested) return EndCall;
  if (LocalHeader.method != MethodStored && LocalHeader.method != MethodDeflate) {
    ShowCatalogueError(pass.owner, MsgUnknownMethod);
    return EndCall;
  }

  OutputHandle = CreateForWriting(path);
  if (OutputHandle != NoFile) MarkWritten(pass.entry);
  if (OutputHandle == NoFile) {
    pass.incomplete = true;
    uint32_t attributes = FileAttributes(path);
    if (attributes != NoAttributes && (attributes & AttributeDirectory) == 0)
      ShowError(pass.owner, path, MsgCannotOpenFile);
    return GoOn;
  }
  WriteEntryData(pass, path);
  return GoOn;
}

// One entry in any pass, from its name on. The header is in LocalHeader and
// the archive stands right after it.
EntryOutcome HandleEntry(Pass& pass) {
  EntryDone = 0;
  EntryTotal = static_cast<int32_t>(LocalHeader.uncompressedSize);

  // The name: at most the buffer's bytes are read, cut at a NUL.
  uint8_t raw[NameBufferSize];
  uint32_t want = LocalHeader.nameLength;
  if (want > NameBufferSize) want = NameBufferSize;
  uint32_t got = ReadAcrossVolumes(raw, want);
  char name[TextBufferSize];
  TextFromBuffer(raw, got, name, sizeof name);
  const void* nul = memchr(raw, 0, got);
  uint32_t nameBytes = nul != 0 ? static_cast<uint32_t>(static_cast<const uint8_t*>(nul) - raw) : got;
  bool tooLong = LocalHeader.nameLength > NameBufferSize || nameBytes >= TextBufferSize;

  if (pass.counting) {
    ArchiveTotal += static_cast<int32_t>(LocalHeader.uncompressedSize);
  } else {
    EntryPercent = 0;
    ArchivePercent = ProgressPercent(static_cast<uint32_t>(ArchiveDone), static_cast<uint32_t>(ArchiveTotal));
    InvalidateProgressBars();
    PumpOneMessage();
  }
  ShowEntryName(name);
  if (name[0] == 0) {
    ShowCatalogueError(pass.owner, MsgInvalidFilename);
    return EndCall;
  }
  if (!EntrySizesKnown()) {
    ShowCatalogueError(pass.owner, MsgErrorReading);
    pass.incomplete = pass.unreadable = true;
    return EndWalk;
  }
  if (pass.counting) return GoOn;

  char path[TextBufferSize];
  CopyText(path, DestinationFolder, sizeof path);
  bool fits = !tooLong && TextLength(DestinationFolder) + 1 + TextLength(name) < TextBufferSize;
  if (fits) {
    AppendText(path, "\\", sizeof path);
    AppendText(path, name, sizeof path);
  }
  if (!fits || !NameStaysInside(name)) {
    if (pass.deleting) return GoOn;  // never deleted either
    ShowMessage(pass.owner, name, LoadMessage(MsgInvalidFilename).text, BoxIconError);
    pass.incomplete = true;
    return GoOn;
  }

  if (pass.deleting) {
    // Only files this run created or replaced; folders stay.
    if (!IsFolderEntry(name) && WasWritten(pass.entry)) DeleteFileAt(path);
    return GoOn;
  }
  return ExtractEntry(pass, name, path);
}

}  // namespace

void ExtractArchive(WindowHandle owner, PassKind kind) {
  Pass pass = {owner, kind == CountPass, kind == DeletePass, 0, false, false};
  if (kind == ExtractPass) memset(WrittenEntries, 0, sizeof WrittenEntries);
  bool extracting = kind == ExtractPass;

  // An earlier pass over a spanned archive may have left a later volume in
  // hand; every pass walks from the first.
  VolumeChangeFailed = 0;
  if (CurrentVolume > 1 && !ChangeVolume(1)) {
    ShowCatalogueError(owner, MsgErrorReading);
    return;
  }
  CurrentVolume = 1;
  ArchiveSpanned = 0;
  VolumeSwitchAllowed = 0;
  FocusProgressWindow();
  PumpOneMessage();
  if (pass.counting) ArchiveTotal = 0;
  ExtractionSucceeded = 0;
  if (extracting) CancelRequested = 0;  // a request of an earlier run is not this run's
  if (!pass.counting) {
    // The output path is the folder without its trailing "\", then "\" and
    // the name; a drive root is left as its bare prefix (C:).
    AddTrailingBackslash(DestinationFolder);
    StripTrailingBackslash(DestinationFolder);
  }

  if (SeekArchive(static_cast<int32_t>(ArchiveStart), SeekFromBegin) != 0) {
    ShowCatalogueError(owner, MsgErrorReading);
    return;
  }
  ArchiveDone = 0;

  bool examined = false;  // the walk has handled at least one entry
  bool summary = true;    // false after a refused password
  for (; ReadLocalHeader(); ++pass.entry) {
    // Counting does not ask for disks: on a removable drive the count stays
    // with the first volume's entries.
    if (pass.counting && ArchiveSpanned && OwnDriveRemovable()) ArchiveSpanned = 0;
    examined = true;
    int32_t volume = CurrentVolume;
    EntryOutcome outcome = HandleEntry(pass);
    if (outcome == EndCall && !VolumeChangeFailed) return;
    if (outcome == PasswordRefused) {
      summary = false;
      break;
    }
    if (outcome == EndWalk || outcome == EndCall) break;
    // The entry's data ran into a volume that could not be had (reported
    // then); seeking the next header would ask for it once more.
    if (VolumeChangeFailed) break;
    if (!SeekNextHeader(CurrentVolume != volume)) {
      if (!VolumeChangeFailed) ShowCatalogueError(owner, MsgErrorReading);
      pass.incomplete = pass.unreadable = true;
      break;
    }
  }
  // A volume that could not be had (already reported) leaves entries unread.
  if (VolumeChangeFailed) pass.incomplete = true;

  if (extracting && examined && summary) {
    if (!pass.incomplete) {
      if (!AutoExtract)
        ShowMessage(owner, LoadMessage(MsgAllExtracted).text, LoadMessage(MsgFinished).text, BoxOk);
      ExtractionSucceeded = 1;
    } else {
      ShowCatalogueError(owner, MsgNotExtracted);
    }
  }
  if (pass.counting && ArchiveTotal == 0 && !pass.unreadable) ShowCatalogueError(owner, MsgErrorReading);
}

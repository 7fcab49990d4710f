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
#include "archive/names.h"
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
  ExtraFieldRoom = 1024,     // extra fields looked through for a Unicode name
  PasswordPrompts = 3,
};
}  // namespace

// The entry's name as Windows is to be given it (driver.h); outside the
// anonymous namespace so that mksfx reads names back exactly as the walk does.
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

namespace {

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
  uint32_t refusedNames;
  char folderReady[TextBufferSize];  // the folder the last new file went to, known to exist
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
bool ConfirmOverwrite(const char* path) {
  FoundFile existing = {0, 0};
  FindPath(path, &existing);
  ExtractNamePart(path, ConflictName);
  FormatSize(existing.sizeLow, ExistingSizeText);
  FormatDate(FileTimeToLocalDos(existing.lastWriteTime), ExistingDateText);
  FormatSize(LocalHeader.uncompressedSize, ArchivedSizeText);
  FormatDate(LocalHeader.dosDateTime, ArchivedDateText);
  PaintProgressNow();  // the bars show this entry, not the last one, while the user decides
  AskOverwrite();
  return OverwriteAnswer != 0;
}

// The password step: the remembered password, then at most three prompts.
// Leaves the keys ready for the entry's data when it returns true.
bool PassPasswordStep() {
  if ((LocalHeader.flags & FlagEncrypted) == 0) return true;
  uint8_t header[EncryptionHeaderSize];
  memset(header, 0, sizeof header);
  ReadAcrossVolumes(header, EncryptionHeaderSize);
  bool accepted = CurrentPassword[0] != 0 &&
                  CheckPassword(header, LocalHeader.flags, CurrentPassword, LocalHeader.dosDateTime, LocalHeader.crc32);
  if (!accepted) PaintProgressNow();  // as for the overwrite question
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

// Writes the entry's data into the open OutputHandle, sets its time and
// closes it. True when the entry arrived whole: its CRC matched and its
// output took every byte. A write the disk refused is reported with path.
bool WriteEntryData(Pass& pass, const char* path) {
  CrcRegister = 0xFFFFFFFFu;
  EntryFault = NoEntryFault;
  // The compressed size counts the encryption header, read already; an entry
  // shorter than that header has no data.
  uint32_t header = (LocalHeader.flags & FlagEncrypted) ? static_cast<uint32_t>(EncryptionHeaderSize) : 0u;
  EntryRemaining = LocalHeader.compressedSize > header ? LocalHeader.compressedSize - header : 0;
  if (LocalHeader.method == MethodStored) CopyStoredEntry();
  else InflateEntry();
  // Whole: the CRC matches, the output took every byte, and the data is as
  // long as the header says (a shorter one is damage the CRC may miss).
  bool whole = (CrcRegister ^ 0xFFFFFFFFu) == LocalHeader.crc32 && EntryFault == NoEntryFault &&
               static_cast<uint64_t>(EntryDone) == LocalHeader.uncompressedSize;
  if (EntryFault == EntryWriteFault) ShowError(pass.owner, path, MsgCannotWriteFile);
  SetFileTimeFromDos(OutputHandle, LocalHeader.dosDateTime);
  if (!CloseFile(OutputHandle)) {
    ShowError(pass.owner, path, MsgCannotCloseFile);
    whole = false;
  }
  OutputHandle = NoFile;
  if (!whole) pass.incomplete = true;
  return whole;
}

// The extraction pass's work on one entry, from the password step on.
EntryOutcome ExtractEntry(Pass& pass, const char* name, const char* path) {
  if (LocalHeader.extraLength != 0)
    SeekFromHeader(LocalHeaderSize + LocalHeader.nameLength + LocalHeader.extraLength, true);
  if (!PassPasswordStep()) return PasswordRefused;
  if (IsFolderEntry(name)) return MakeFolderEntry(pass, path);

  // One look-up tells whether the name is taken (each costs a folder scan
  // under Wine for a name that is not there); a folder of the entry's name
  // is no file to replace.
  uint32_t attributes = FileAttributes(path);
  bool replacing = attributes != NoAttributes;
  if (replacing && (attributes & AttributeDirectory) != 0) {
    pass.incomplete = true;
    return GoOn;
  }
  if (replacing) {
    if (OverwriteMode == KeepExisting || (OverwriteMode == AskEachFile && !ConfirmOverwrite(path))) {
      pass.incomplete = true;
      return GoOn;
    }
  } else {
    // The folder is made or checked once for a run of entries that share it.
    char folder[TextBufferSize];
    ExtractDirPart(path, folder);
    if (strcmp(folder, pass.folderReady) != 0) {
      if (!ForceFolders(folder)) {
        ShowError(pass.owner, folder, MsgErrorInDirectory);
        pass.incomplete = true;
        return EndWalk;
      }
      CopyText(pass.folderReady, folder, TextBufferSize);
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

  // An existing file is replaced only by an entry that arrived whole: the
  // entry is written beside it under a fresh name first, and moved over it
  // at the end; a failed entry leaves the existing file as it was.
  char temporary[TemporaryPathRoom];
  OutputHandle = replacing ? CreateBeside(path, temporary) : CreateForWriting(path);
  if (OutputHandle == NoFile) {
    pass.incomplete = true;
    ShowError(pass.owner, path, MsgCannotOpenFile);
    return GoOn;
  }
  if (!replacing) MarkWritten(pass.entry);
  bool whole = WriteEntryData(pass, path);
  if (replacing) {
    if (whole && ReplaceWith(temporary, path)) {
      MarkWritten(pass.entry);
    } else {
      DeleteFileAt(temporary);
      if (whole) {
        ShowError(pass.owner, path, MsgCannotWriteFile);
        pass.incomplete = true;
      }
    }
  }
  return CancelRequested ? EndCall : GoOn;
}

// "Invalid filename." for the first refused name of a pass; later ones are
// only counted, so that an archive of many cannot bury the user in messages.
void RefuseName(Pass& pass, const char* name) {
  pass.incomplete = true;
  if (pass.refusedNames++ == 0) ShowMessage(pass.owner, name, LoadMessage(MsgInvalidFilename).text, BoxIconError);
}

// One entry in any pass, from its name on. The header is in LocalHeader and
// the archive stands right after it.
EntryOutcome HandleEntry(Pass& pass) {
  EntryDone = 0;
  EntryTotal = LocalHeader.uncompressedSize;

  char name[TextBufferSize];
  bool nameWhole = ReadEntryName(name);

  // The name and the bars change once per file: the name here, the bars
  // when the entry's data has been written. Counting shows no names; it is
  // over before anyone could read them, and each costs a repaint. The
  // extraction pass dispatches its message when it creates the file.
  if (pass.counting) {
    ArchiveTotal += LocalHeader.uncompressedSize;
  } else {
    EntryPercent = 0;
    ArchivePercent = ProgressPercent(static_cast<uint32_t>(ArchiveDone), static_cast<uint32_t>(ArchiveTotal));
    if (pass.deleting) PumpOneMessage();
    ShowEntryName(name);
  }
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
  bool fits = nameWhole && TextLength(DestinationFolder) + 1 + TextLength(name) < TextBufferSize;
  if (fits) {
    AppendText(path, "\\", sizeof path);
    AppendText(path, name, sizeof path);
  }
  if (!fits || !NameIsSafe(name)) {
    if (!pass.deleting) RefuseName(pass, name);  // and never deleted either
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

// The walk ended where it should: at the central directory or the end record
// (the signatures compared as the header's are).
static bool WalkEndedAtDirectory() {
  return LocalHeader.signature == ZipSignature(ShiftedCentralHeader) ||
         LocalHeader.signature == ZipSignature(ShiftedEndRecord);
}

void ExtractArchive(WindowHandle owner, PassKind kind) {
  Pass pass = {owner, kind == CountPass, kind == DeletePass, 0, false, false, 0, {0}};
  bool extracting = kind == ExtractPass;
  if (extracting) memset(WrittenEntries, 0, sizeof WrittenEntries);

  // An earlier pass over a spanned archive may have left a later volume in
  // hand; every pass walks from the first.
  VolumeChangeFailed = 0;
  if (CurrentVolume > 1 && !ChangeVolume(1)) {
    ShowCatalogueError(owner, MsgErrorReading);
    if (extracting) ExitCode = ExitUnreadable;
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
    // the name; a drive root is left as its bare prefix (C:). An empty
    // destination would put every file under the root of the drive.
    AddTrailingBackslash(DestinationFolder);
    StripTrailingBackslash(DestinationFolder);
    if (DestinationFolder[0] == 0) {
      ShowCatalogueError(owner, MsgErrorInDirectory);
      if (extracting) ExitCode = ExitNotExtracted;
      return;
    }
  }

  if (SeekArchive(static_cast<int32_t>(ArchiveStart), SeekFromBegin) != 0) {
    ShowCatalogueError(owner, MsgErrorReading);
    if (!pass.deleting) ExitCode = ExitUnreadable;
    return;
  }
  ArchiveDone = 0;

  bool examined = false;  // the walk has handled at least one entry
  bool summary = true;    // false after a refused password
  bool walkedToTheEnd = false;
  bool countOfFirstDisk = false;  // counting stopped at the first disk's end
  for (;; ++pass.entry) {
    if (!ReadLocalHeader()) {
      walkedToTheEnd = true;
      break;
    }
    // Counting does not ask for disks: on a removable drive the count stays
    // with the first volume's entries.
    if (pass.counting && ArchiveSpanned && OwnDriveRemovable()) {
      ArchiveSpanned = 0;
      countOfFirstDisk = true;
    }
    examined = true;
    int32_t volume = CurrentVolume;
    EntryOutcome outcome = HandleEntry(pass);
    if (outcome == EndCall && !VolumeChangeFailed) {
      if (extracting) ExitCode = CancelRequested ? ExitCancelled : ExitNotExtracted;
      return;
    }
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
  // A volume that could not be had (already reported) leaves entries unread;
  // an archive that ends before its central directory is cut short or damaged.
  if (VolumeChangeFailed) {
    pass.incomplete = true;
  } else if (walkedToTheEnd && !WalkEndedAtDirectory() && !pass.deleting && !countOfFirstDisk &&
             !(pass.counting && !examined)) {
    ShowCatalogueError(owner, MsgErrorReading);
    pass.incomplete = pass.unreadable = true;
  }

  if (extracting && examined && summary) {
    if (!pass.incomplete) {
      if (!AutoExtract)
        ShowMessage(owner, LoadMessage(MsgAllExtracted).text, LoadMessage(MsgFinished).text, BoxOk);
      ExtractionSucceeded = 1;
    } else {
      ShowCatalogueError(owner, MsgNotExtracted);
    }
  }
  if (extracting) {
    if (pass.unreadable || !examined) ExitCode = ExitUnreadable;
    else if (pass.incomplete || !summary) ExitCode = ExitNotExtracted;
    else ExitCode = ExitExtracted;
  }
  if (pass.counting && ArchiveTotal == 0 && !pass.unreadable) {
    ShowCatalogueError(owner, MsgErrorReading);
    pass.unreadable = true;
  }
  if (pass.counting && pass.unreadable) ExitCode = ExitUnreadable;
}

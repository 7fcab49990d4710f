// The extraction driver: one walk over the local headers (archive/walk.h) in
// one of three passes. The count pass sums the uncompressed sizes for the total bar; the
// extraction pass writes every entry below DestinationFolder, asking about
// passwords and existing files, checks each CRC and ends with a summary; the
// deletion pass removes the entries' files again.
//
// The walk itself is shared with mksfx; the driver holds the policy: the
// questions to the user, the replacement through a temporary, the messages,
// the summary and the exit code. Beyond the bare walk it guards what a
// damaged or hostile archive could do:
// names that would leave the destination or overrun a buffer are refused,
// folder entries become folders, an entry that cannot be stepped over ends
// the walk with an error, and nothing is created or truncated before the
// method is known and a cancel request has been looked at.
#include "archive/driver.h"
#include "SFXstrings/strings.h"
#include "Sfx/report.h"
#include "Sfx/state.h"
#include "archive/header.h"
#include "archive/pacing.h"
#include "archive/progress.h"
#include "archive/prompts.h"
#include "archive/stored.h"
#include "archive/volume.h"
#include "archive/walk.h"
#include "archive/written.h"
#include "archive/zip_format.h"
#include "archive/zone.h"
#include "support/format.h"
#include "support/paths.h"
#include <string.h>

namespace {
enum : uint32_t { PasswordPrompts = 3 };

// What the walk does after an entry.
enum EntryOutcome : uint8_t {
  GoOn,                // seek the next header
  EndWalk,             // stop walking, then the summary
  StopWithoutSummary,  // stop at once: an empty name, an unknown method, a cancel
  PasswordRefused,     // stop, without a summary
};

// The pass in hand and what the walk has found so far.
struct Pass {
  WindowHandle owner;
  PassKind kind;
  uint32_t entry;        // the entry in hand, counted from 0 in walk order
  bool incomplete;       // an entry was skipped or failed
  bool unreadable;       // "Error reading archive." has been shown
  uint32_t refusedNames;
  uint32_t refusedMethods;
  uint32_t failedEntries;  // entries not extracted, the first NamedFailures named in FailedNames
};

// Paths of any length the system takes, in UTF-8: the entry's output path,
// a folder of it, the folder the last new file went to (known to exist), and
// the temporary that an entry is written to before it replaces a file.
char OutputPath[PathRoom];
char Folder[PathRoom];
char FolderReady[PathRoom];
char Temporary[PathRoom + 16];
uint32_t WrittenFile;  // IdentityOf the file of the entry in hand

void ShowError(WindowHandle owner, const char* text, unsigned captionId) {
  ShowMessage(owner, text, LoadMessage(captionId).text, BoxIconError);
}

void ShowCatalogueError(WindowHandle owner, unsigned textId) {
  ShowError(owner, LoadMessage(textId).text, MsgErrorCaption);
}

// A name of thousands of characters is shown by its beginning: at most most
// bytes of it, into shown, cut between two characters.
void CopyShownName(char* shown, const char* name, unsigned most) {
  unsigned n = TextLength(name);
  if (n > most) {
    n = most;
    while (n > 0 && (name[n] & 0xC0) == 0x80) --n;
  }
  memcpy(shown, name, n);
  shown[n] = 0;
}

// The names of the first entries of a pass that were not extracted, a line
// each, for the failure summary; a name is shown by its first bytes.
enum : uint32_t { NamedFailures = 5, FailedNameBytes = 200 };
char FailedNames[NamedFailures * (FailedNameBytes + 1) + 1];

void NoteFailedEntry(Pass& pass, const char* name) {
  if (pass.failedEntries++ >= NamedFailures) return;
  char* end = FailedNames + TextLength(FailedNames);
  *end = '\n';
  CopyShownName(end + 1, name, FailedNameBytes);
}

// "The selected file(s) couldn't get extracted." (after a deletion pass,
// "These files could not be deleted:"), then the entries named and the
// count of the others.
void ShowFailureSummary(Pass& pass) {
  bool deleting = pass.kind == DeletePass;
  char text[sizeof FailedNames + TextBufferSize + 16];
  CopyText(text, LoadMessage(deleting ? MsgNotDeleted : MsgNotExtracted).text, sizeof text);
  if (pass.failedEntries != 0) {
    AppendText(text, "\n", sizeof text);
    AppendText(text, FailedNames, sizeof text);
  }
  if (pass.failedEntries > NamedFailures) {
    AppendText(text, "\n", sizeof text);
    AppendText(text, LoadMessage(deleting ? MsgMoreNotDeleted : MsgMoreNotExtracted).text, sizeof text);
    char count[24];
    FormatUnsigned(pass.failedEntries - NamedFailures, count);
    AppendText(text, count, sizeof text);
  }
  ShowError(pass.owner, text, MsgErrorCaption);
}

// "%d" of an unsigned size (2 GiB and more stay positive) and the unit word.
void FormatSize(uint64_t size, char* text) {
  FormatUnsigned(size, text);
  AppendText(text, LoadMessage(MsgByteUnit).text, TextBufferSize);
}

void FormatDate(uint32_t dosDateTime, char* text) {
  FormatDateValue(LoadMessage(MsgDatePattern).text, DosToDateValue(dosDateTime), text, TextBufferSize);
}

// The overwrite confirmation for an existing file; true when it is replaced.
bool ConfirmOverwrite(const char* path) {
  FoundFile existing = {0, 0, false};
  FindPath(path, &existing);
  ExtractNamePart(path, ConflictName, sizeof ConflictName);
  FormatSize(existing.sizeLow, ExistingSizeText);
  FormatDate(FileTimeToLocalDos(existing.lastWriteTime), ExistingDateText);
  FormatSize(CurrentEntry.uncompressedSize, ArchivedSizeText);
  FormatDate(CurrentEntry.dosDateTime, ArchivedDateText);
  // The name and the bars show this entry, not the last one, while the user decides.
  ShowKeptNameNow();
  PaintProgressNow();
  AskOverwrite();
  return OverwriteAnswer != 0;
}

// An entry refused by its name: "Invalid filename." (captionId) for the
// first of a pass, with the name as the text; later ones are only counted,
// so that an archive of many cannot bury the user in messages.
void RefuseEntry(Pass& pass, uint32_t& refused, const char* name, unsigned captionId) {
  pass.incomplete = true;
  if (refused++ != 0) return;
  char shown[ShownNameBytes + 1];
  CopyShownName(shown, name, ShownNameBytes);
  ShowMessage(pass.owner, shown, LoadMessage(captionId).text, BoxIconError);
}

void RefuseName(Pass& pass, const char* name) { RefuseEntry(pass, pass.refusedNames, name, MsgInvalidFilename); }

// An entry of a method the readers do not know ("Unknown compression
// type"): refused by its name and stepped over, its size being known.
EntryOutcome RefuseMethod(Pass& pass, const EntryRecord& entry) {
  RefuseEntry(pass, pass.refusedMethods, entry.name, MsgUnknownMethod);
  return GoOn;
}

// The password step of an encrypted entry: the remembered password, then at
// most three prompts. GoOn when the entry is not encrypted or a password
// opened it (the keys are then ready for the entry's data), PasswordRefused
// after the prompts. An encryption header (or AES salt) that the archive
// cuts is no matter of the password: the archive is cut short, or its next
// volume missing (reported then).
EntryOutcome PasswordOpensEntry(Pass& pass) {
  if ((CurrentEntry.flags & FlagEncrypted) == 0) return GoOn;
  uint8_t header[EncryptionHeaderRoom];
  if (!ReadEncryptionHeader(header)) {
    pass.incomplete = true;
    if (!VolumeChangeFailed) {
      ShowCatalogueError(pass.owner, MsgErrorReading);
      pass.unreadable = true;
    }
    return EndWalk;
  }
  bool accepted = CurrentPassword[0] != 0 && PasswordFits(header, CurrentPassword);
  if (!accepted) {  // as for the overwrite question
    ShowKeptNameNow();
    PaintProgressNow();
  }
  for (unsigned prompts = 0; !accepted && prompts < PasswordPrompts; ++prompts) {
    AskPassword();
    int32_t length = PasswordLength < 0 ? 0 : PasswordLength;
    TextFromBuffer(reinterpret_cast<const uint8_t*>(PasswordBuffer), static_cast<unsigned>(length),
                   CurrentPassword, PasswordBufferSize);
    accepted = PasswordFits(header, CurrentPassword);
  }
  return accepted ? GoOn : PasswordRefused;
}

// A folder entry: the folder and those above it. A failure ends the walk.
EntryOutcome MakeFolderEntry(Pass& pass, const char* path) {
  CopyText(Folder, path, sizeof Folder);
  Folder[TextLength(Folder) - 1] = 0;  // without its trailing separator
  // Archivers list a folder after the one it is in: one call makes it. Only
  // a folder that is there already, or whose parent is missing, is looked at.
  if (CreateFolder(Folder)) return GoOn;
  ForceFolders(Folder);
  uint32_t attributes = FileAttributes(Folder);
  if (attributes != NoAttributes && (attributes & AttributeDirectory) != 0) return GoOn;
  ShowError(pass.owner, Folder, MsgErrorInDirectory);
  pass.incomplete = true;
  return EndWalk;
}

// Writes the entry's data into output, sets its time and closes it; reports
// a write or an allocation that failed, and a close that failed, with the path.
EntryResult WriteEntry(Pass& pass, FileHandle output, const char* path) {
  EntryResult result = DecodeEntryInto(output);
  if (result == EntryWriteFailed || result == EntryNoMemory) ShowError(pass.owner, path, MsgCannotWriteFile);
  SetFileTimeFromDos(output, CurrentEntry.dosDateTime);
  // Which file was written, from its handle (a rename keeps it), for the
  // deletion pass that only wait-then-delete runs: under Wine the query
  // costs almost half a millisecond a file (12,000 files: 3.1 s became 8.4 s).
  WrittenFile = WaitThenDelete ? IdentityOf(output) : 0;
  if (!CloseFile(output)) {
    ShowError(pass.owner, path, MsgCannotCloseFile);
    if (result == EntryWhole) result = EntryWriteFailed;
  }
  if (result != EntryWhole) pass.incomplete = true;
  return result;
}

// A new, empty file of a fresh name ("kvx", four hex digits, ".tmp") in
// path's folder, open for writing, its path in Temporary; NoFile when none
// can be made there.
FileHandle CreateBeside(const char* path) {
  ExtractDirPart(path, Temporary);
  unsigned n = TextLength(Temporary);
  if (n > 0 && !IsPathSeparator(Temporary[n - 1])) Temporary[n++] = '\\';
  uint32_t seed = TickCount();
  for (uint32_t attempt = 0; attempt < 256; ++attempt) {
    char* at = Temporary + n;
    memcpy(at, "kvx", 3);
    uint32_t tag = seed + attempt * 40503u;
    for (unsigned i = 0; i < 4; ++i) at[3 + i] = "0123456789ABCDEF"[(tag >> (12 - 4 * i)) & 15];
    memcpy(at + 7, ".tmp", 5);
    FileHandle file = CreateNewFile(Temporary);
    // A name that is not taken and still cannot be created: the folder refuses.
    if (file != NoFile || FileAttributes(Temporary) == NoAttributes) return file;
  }
  return NoFile;
}

// The name is taken or its folder missing: the overwrite decision, the
// folders, and the file or the temporary beside the one it replaces.
EntryOutcome OpenTakenName(Pass& pass, const EntryRecord& entry, const char* path, bool* replacingOut,
                           FileHandle* output) {
  // A folder of the entry's name is no file to replace.
  uint32_t attributes = FileAttributes(path);
  bool replacing = attributes != NoAttributes;
  if (replacing && (attributes & AttributeDirectory) != 0) {
    pass.incomplete = true;
    return GoOn;
  }
  if (replacing) {
    // A name shaped like an 8.3 alias (LONGFI~1.TXT) that finds a file of
    // another long name would write over that file: refused.
    FoundFile found = {0, 0, false};
    if (strchr(entry.name, '~') != 0 && FindPath(path, &found) && found.otherName) {
      RefuseName(pass, entry.name);
      return GoOn;
    }
    // A file this run wrote is asked about like any other, but never
    // replaced unasked: two entries of one name would lose one of them.
    bool again = WrittenThisRun(path);
    if (OverwriteMode == KeepExisting || (again && OverwriteMode == ReplaceWithoutAsking) ||
        (OverwriteMode == AskEachFile && !ConfirmOverwrite(path))) {
      pass.incomplete = true;
      return GoOn;
    }
  } else {
    // The folder is made or checked once for a run of entries that share it.
    ExtractDirPart(path, Folder);
    if (strcmp(Folder, FolderReady) != 0) {
      if (!ForceFolders(Folder)) {
        ShowError(pass.owner, Folder, MsgErrorInDirectory);
        pass.incomplete = true;
        return EndWalk;
      }
      CopyText(FolderReady, Folder, sizeof FolderReady);
    }
  }

  PumpWhenDue();
  if (CancelRequested) return StopWithoutSummary;

  // An existing file is replaced only by an entry that arrived whole: the
  // entry is written beside it under a fresh name first, and moved over it
  // at the end; a failed entry leaves the existing file as it was.
  *replacingOut = replacing;
  *output = replacing ? CreateBeside(path) : CreateForWriting(path);
  if (*output == NoFile) {
    pass.incomplete = true;
    ShowError(pass.owner, path, MsgCannotOpenFile);
  }
  return GoOn;
}

// Writes the entry into output and keeps it: a new file as it is, a
// replacement moved over the old file only when it arrived whole.
EntryOutcome WriteAndKeep(Pass& pass, const char* path, FileHandle output, bool replacing) {
  EntryResult result = WriteEntry(pass, output, path);
  bool whole = result == EntryWhole;
  // A new file that is not whole (damaged, cut, cancelled, a full disk, a
  // code that does not match) leaves nothing under its name; an existing
  // one is replaced only by a whole entry.
  if (whole && (!replacing || ReplaceWith(Temporary, path))) {
    // The file as written, by its identity: the deletion pass deletes it
    // only while the same file stands under its name.
    MarkWritten(pass.entry, WrittenFile);
    RememberWrittenPath(path);
    MarkLikeOwnFile(path);
  } else {
    DeleteFileAt(replacing ? Temporary : path);
    if (whole) {
      ShowError(pass.owner, path, MsgCannotWriteFile);
      pass.incomplete = true;
    }
  }

  if (result == EntryCutShort) {
    ShowCatalogueError(pass.owner, MsgErrorReading);
    pass.unreadable = true;
    return EndWalk;
  }
  if (result == EntryVolumeMissing) return EndWalk;  // reported by the volume change
  return CancelRequested ? StopWithoutSummary : GoOn;
}

// The extraction pass's work on one entry, from the password step on.
EntryOutcome ExtractEntry(Pass& pass, const EntryRecord& entry, const char* path) {
  // An unknown method is refused before a password is asked for it, and
  // before any file of its name is created or replaced.
  if (!entry.folder && !MethodKnown()) return RefuseMethod(pass, entry);
  EntryOutcome opened = PasswordOpensEntry(pass);
  if (opened != GoOn) return opened;
  if (entry.folder) return MakeFolderEntry(pass, path);

  // A cancel request is seen before the file is created, so that an
  // existing file of that name keeps its contents.
  PumpWhenDue();
  if (CancelRequested) return StopWithoutSummary;
  // Most names are new: CREATE_NEW makes the file in one call (each look-up
  // of a name that is not there costs a folder scan under Wine). Only a name
  // that is taken, or whose folder is missing, is looked at further.
  bool replacing = false;
  FileHandle output = CreateNewFile(path);
  if (output == NoFile) {
    EntryOutcome outcome = OpenTakenName(pass, entry, path, &replacing, &output);
    if (outcome != GoOn || output == NoFile) return outcome;
  }
  return WriteAndKeep(pass, path, output, replacing);
}

// The test pass's work on one entry: its data decoded into nothing, after
// the same password step and the same look at the method as for extracting.
EntryOutcome TestEntry(Pass& pass, const EntryRecord& entry) {
  if (!entry.folder && !MethodKnown()) return RefuseMethod(pass, entry);
  EntryOutcome opened = PasswordOpensEntry(pass);
  if (opened != GoOn || entry.folder) return opened;
  PumpWhenDue();
  if (CancelRequested) return StopWithoutSummary;
  FileHandle nothing = CreateForWriting(NullDevice);
  EntryResult result = DecodeEntryInto(nothing);
  CloseFile(nothing);
  if (result != EntryWhole) pass.incomplete = true;
  if (result == EntryCutShort) {
    ShowCatalogueError(pass.owner, MsgErrorReading);
    pass.unreadable = true;
    return EndWalk;
  }
  return CancelRequested ? StopWithoutSummary : GoOn;
}

// One entry in any pass, from its name on (read by the walk's step).
EntryOutcome HandleEntry(Pass& pass, const EntryRecord& entry, WalkStep step) {
  // The name and the bars change at most once per file, the name by the
  // clock (archive/pacing.h), the bars when a percentage moves. Counting
  // shows no names; it is over before anyone could read them, and each costs
  // a repaint. The extraction pass looks at the queue when it creates the file.
  if (pass.kind == CountPass) {
    ArchiveTotal += static_cast<int64_t>(entry.uncompressedSize);
  } else {
    EntryPercent = 0;
    ArchivePercent = ProgressPercent(static_cast<uint64_t>(ArchiveDone), static_cast<uint64_t>(ArchiveTotal));
    if (pass.kind == DeletePass) PumpWhenDue();
    ShowNameWhenDue(entry.name);
  }
  if (step == WalkEmptyName) {
    ShowCatalogueError(pass.owner, MsgInvalidFilename);
    return StopWithoutSummary;
  }
  if (step == WalkSizesUnknown) {
    // Neither the header nor a directory gives its sizes, and no stream of
    // its own shows its end: the walk cannot go past it. Named, as it is no
    // damage a user could find otherwise.
    ShowError(pass.owner, entry.name, MsgErrorReading);
    pass.incomplete = pass.unreadable = true;
    return EndWalk;
  }
  if (pass.kind == CountPass) return GoOn;

  // No CRC covers a name: the test judges names as the extraction does, so
  // that a damaged one fails it before anything is written.
  char* path = OutputPath;
  if (FormOutputPath(entry, path) != NameAccepted) {
    if (pass.kind != DeletePass) RefuseName(pass, entry.name);  // and never deleted either
    return GoOn;
  }
  if (pass.kind == TestPass) return TestEntry(pass, entry);
  if (pass.kind == DeletePass) {
    // Only files this run created or replaced, each while it is the same
    // file (not one the program put in its place; by its name alone where
    // no identity could be had), and never through a link that the
    // program put in the place of a folder; folders stay.
    // A file that is still there after a failed deletion (held open by
    // another process, made read-only, a folder now) is one the summary
    // names; one that is gone already is not.
    uint32_t written = WrittenIdentity(pass.entry);
    if (!entry.folder && written != 0 && (written == 1 || written == (FileIdentity(path) | 1)) &&
        !ReachedThroughLink(path))
      pass.incomplete = !DeleteFileAt(path) && FileAttributes(path) != NoAttributes;
    return GoOn;
  }
  return ExtractEntry(pass, entry, path);
}

// The walk of one pass; returns what it came to, as the exit code says it.
ExitCodeKind RunPass(Pass& pass) {
  bool counting = pass.kind == CountPass;
  bool extracting = pass.kind == ExtractPass;
  bool testing = pass.kind == TestPass;
  if (extracting) ClearWrittenRecord();
  FolderReady[0] = 0;
  FailedNames[0] = 0;
  FocusProgressWindow();
  StartPacing();
  if (counting) ArchiveTotal = 0;
  ExtractionSucceeded = 0;
  if (extracting || testing) CancelRequested = 0;  // a request of an earlier run is not this run's
  if (!counting) {
    // The output path is the folder without its trailing "\", then "\" and
    // the name; a drive root is left as its bare prefix (C:). An empty
    // destination would put every file under the root of the drive.
    AddTrailingBackslash(DestinationFolder);
    StripTrailingBackslash(DestinationFolder);
    if (DestinationFolder[0] == 0) {
      ShowCatalogueError(pass.owner, MsgErrorInDirectory);
      return ExitNotExtracted;
    }
  }
  if (!BeginWalk()) {
    ShowCatalogueError(pass.owner, MsgErrorReading);
    return ExitUnreadable;
  }
  ArchiveDone = 0;

  bool examined = false;          // the walk has handled at least one entry
  bool summary = true;            // false after a refused password
  bool countOfFirstDisk = false;  // counting stopped early: at the first disk's end, or an entry of unknown size
  bool sizeUnknownAhead = false;  // counting stopped at an entry of unknown size
  WalkStep end = WalkEndAtDirectory;
  for (;; ++pass.entry) {
    WalkStep step = NextEntry();
    const EntryRecord& entry = CurrentEntry;
    if (step == WalkEndAtDirectory || step == WalkCutShort || step == WalkVolumeMissing) {
      end = step;
      break;
    }
    // A spanned archive is not tested first: its disks would be asked for twice.
    if (testing && ArchiveSpanned) return ExitExtracted;
    // Counting does not ask for disks: on a removable drive the count stays
    // with the first volume's entries. Nor does it decode: it stops at an
    // entry whose size only its data descriptor tells.
    if (counting && ArchiveSpanned && OwnDriveRemovable()) {
      ArchiveSpanned = 0;
      countOfFirstDisk = true;
    }
    if (counting && step == WalkEntry && !entry.endKnown) {
      countOfFirstDisk = sizeUnknownAhead = true;
      break;
    }
    examined = true;
    // An entry that sets incomplete is one the summary names.
    bool before = pass.incomplete;
    pass.incomplete = false;
    EntryOutcome outcome = HandleEntry(pass, entry, step);
    if (pass.incomplete && !counting) NoteFailedEntry(pass, entry.name);
    // The log has a line for every file the extraction came to.
    if (extracting && !entry.folder)
      LogLine(WasWritten(pass.entry) ? "extracted " : outcome == PasswordRefused ? "wrong password " : "not extracted ",
              entry.name);
    pass.incomplete |= before;
    if (outcome == StopWithoutSummary) return CancelRequested ? ExitCancelled : ExitNotExtracted;
    if (outcome == PasswordRefused) summary = false;
    if (outcome != GoOn) break;
    end = StepOverEntry(entry);
    if (end != WalkEntry) break;
  }
  // A volume that could not be had (already reported) leaves entries unread;
  // an archive that ends before its central directory is cut short or damaged.
  if (end == WalkVolumeMissing) {
    pass.incomplete = true;
  } else if (end == WalkCutShort && pass.kind != DeletePass && !countOfFirstDisk && !(counting && !examined)) {
    ShowCatalogueError(pass.owner, MsgErrorReading);
    pass.incomplete = pass.unreadable = true;
  }

  if (extracting && examined && summary) {
    if (!pass.incomplete) {
      if (!AutoExtract)
        ShowMessage(pass.owner, LoadMessage(MsgAllExtracted).text, LoadMessage(MsgFinished).text, BoxOk);
      ExtractionSucceeded = 1;
    } else {
      ShowFailureSummary(pass);
    }
  }
  // A test that found damage writes nothing: "Error reading archive." has
  // been shown, or the failure summary is shown now.
  if (testing) {
    if (!summary) return ExitNotExtracted;
    if (!pass.incomplete) return ExitExtracted;
    if (!pass.unreadable) ShowFailureSummary(pass);
    return ExitUnreadable;
  }
  if (counting && ArchiveTotal == 0 && !pass.unreadable && !sizeUnknownAhead) {
    ShowCatalogueError(pass.owner, MsgErrorReading);
    pass.unreadable = true;
  }
  if (pass.unreadable || (extracting && !examined)) return ExitUnreadable;
  if (pass.incomplete || !summary) return ExitNotExtracted;
  return ExitExtracted;
}

}  // namespace

void ExtractArchive(WindowHandle owner, PassKind kind) {
  if (kind == ExtractPass && VerifyFirst) {
    Pass test = {};
    test.owner = owner;
    test.kind = TestPass;
    ExitCodeKind tested = RunPass(test);
    if (tested != ExitExtracted) {
      ExitCode = tested;
      return;
    }
  }
  Pass pass = {};
  pass.owner = owner;
  pass.kind = kind;
  ExitCodeKind result = RunPass(pass);
  // The files the deletion pass left are named, as the extraction's failures are.
  if (kind == DeletePass && pass.failedEntries != 0) ShowFailureSummary(pass);
  // The exit code is set here alone: by every extraction pass, by a count
  // pass that found the archive unreadable, by a deletion pass that left
  // files behind.
  if (kind == ExtractPass || (kind == CountPass && result == ExitUnreadable) ||
      (kind == DeletePass && result != ExitExtracted))
    ExitCode = result;
}

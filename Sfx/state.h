// Program-wide state: every variable that more than one module shares, with
// the name it has throughout the program. Each lives from start-up to the end
// of the process; the comment names the owner that gives it its meaning.
// Host tests call ResetProgramState() between cases.
#pragma once
#include <stdint.h>
#include "platform/platform.h"
#include "support/paths.h"  // TextBufferSize

enum : uint32_t {
  ConfigTextSize = 261,      // the three configuration texts: 260 characters and a NUL
  // The password field takes 32,767 UTF-16 units, an edit control's own
  // limit; the password is kept in UTF-8, at most 3 bytes a unit, and a NUL.
  PasswordCharacters = 32767,
  PasswordBufferSize = 3 * PasswordCharacters + 1,
  OwnPathRoom = 1024,        // the running executable's path in UTF-8
};

// The process's exit code: what the last extraction pass came to, or that
// the archive could not be opened or read.
enum ExitCodeKind : uint8_t {
  ExitExtracted = 0,    // every entry extracted, or nothing was tried
  ExitNotExtracted = 1, // the failure summary was shown
  ExitUnreadable = 2,   // the archive could not be opened or read
  ExitCancelled = 3,    // the user cancelled
  ExitRunFailed = 4,    // the program to run after extraction could not be started
  ExitBadSwitch = 5,    // the command line has a switch the program does not know
};

// What the program run after extraction with WaitThenDelete came to.
enum RunStateKind : uint8_t {
  RunNotWaitedFor = 0,  // none was waited for: the exit code is ExitCode
  RunEnded,             // it ended with RunExitCode, which the stub ends with too (ExitCode when it is 0)
  RunNotStarted,        // it could not be started: ExitRunFailed
};

// How an entry meets a file of its name that exists already.
enum OverwriteChoice : uint8_t {
  ReplaceWithoutAsking = 0,
  KeepExisting = 1,
  AskEachFile = 2,
};

struct PixelRect { int32_t left, top, right, bottom; };

// --- Archive access (Sfx, archive) ---------------------------------------
extern FileHandle ArchiveHandle;     // own executable, later the current volume
extern uint32_t ArchiveStart;        // first local header: StubSize, or after the block
extern uint32_t ArchivePosition;     // position reported by the last SeekArchive
extern int32_t CurrentVolume;        // volume ArchiveHandle reads, 1 for the first
extern uint8_t ArchiveSpanned;       // the archive opens with the spanning marker
extern uint8_t VolumeChangeFailed;   // a volume the pass needed could not be had
// The local header read last is LocalHeader, defined with its layout by the
// walk (archive/header.h); the entry in hand is CurrentEntry (archive/entry.h).
extern uint64_t EntryRemaining;      // compressed bytes of the entry not yet read
extern int64_t HeaderStart;          // archive position of the current header (below 0 once
                                     // the volumes it began in are left behind)
extern ExitCodeKind ExitCode;
extern RunStateKind RunState;        // Dialogsel/command.cpp
extern uint32_t RunExitCode;
extern FileHandle OutputHandle;      // output file being written
extern char OwnPath[OwnPathRoom];    // full path of the running executable, UTF-8
// The running program's Zone.Identifier text, handed on to the files it
// writes (archive/zone.cpp); ZoneMarkLength is 0 when there is none to hand on.
enum : uint32_t { ZoneMarkRoom = 4096 };
extern char ZoneMark[ZoneMarkRoom];
extern uint32_t ZoneMarkLength;
// Four bytes per entry, in walk order: the identity of the file that the
// extraction pass created or replaced for it, 0 for none (archive/written.h).
// The deletion pass deletes only those. The record is a block that grows
// with the walk (WrittenRecordBytes long), so it covers every entry.
extern uint8_t* WrittenRecord;
extern uint32_t WrittenRecordBytes;
// The paths the extraction pass has written, folded as Windows compares
// names, in the block WrittenNames (WrittenNamesUsed of WrittenNamesBytes
// bytes), found through a growing table of WrittenPathSlots (hash, place)
// pairs, a power of two of them, at most half full (archive/written.cpp).
extern uint32_t* WrittenPaths;
extern uint32_t WrittenPathSlots, WrittenPathCount;
extern char* WrittenNames;
extern uint32_t WrittenNamesBytes, WrittenNamesUsed;

// --- Integrity and decryption (archive/crypt) ----------------------------
extern uint32_t* CrcTable;           // 256 entries in a 1,028-byte block
extern uint32_t CrcRegister;
// The password that opened the last encrypted entry, or the one given before
// the pass: NUL-terminated UTF-8 text, whoever writes it (the prompt, the
// command line), which PasswordFits takes as UTF-8 bytes for WinZip AES and in
// the ANSI code page for the traditional encryption.
extern char CurrentPassword[PasswordBufferSize];

// --- Configuration (Sfx/config) -------------------------------------------
extern char CaptionText[ConfigTextSize];
extern char DefaultDestination[ConfigTextSize];
extern char RunCommand[ConfigTextSize];
extern uint8_t HasCaptionText, HasDefaultDestination, HasRunCommand;
extern uint8_t OverwriteByDefault, AutoExtract, WaitThenDelete, VerifyFirst;

// --- The command line (Sfx/switches) --------------------------------------
extern uint8_t Silent;               // /S: no window, every question its documented answer
extern FileHandle LogHandle;         // /LOG=: the log being written, 0 without one
extern char SwitchDestination[ConfigTextSize];  // /D=, ANSI; empty without it
extern char RunArguments[TextBufferSize];  // after "--", for the run program, ANSI
// The {temp} folder this run made (ANSI), empty when none was made; it goes
// again after a wait-then-delete run, or at the end while it is empty.
extern char PrivateTempFolder[TextBufferSize];

// --- Dialogs and progress (Dialog, archive) --------------------------------
extern char DestinationFolder[TextBufferSize];
extern OverwriteChoice OverwriteMode;
extern uint8_t OverwriteAnswer;      // 1 replace this file, 0 keep it
extern WindowHandle ProgressWindow;
extern PixelRect EntryBarRect, ArchiveBarRect;
extern uint8_t CancelRequested;
extern uint8_t ExtractionSucceeded;
extern char PasswordBuffer[PasswordBufferSize];  // the prompt's text, UTF-8
extern int32_t PasswordLength;                    // its length in bytes
extern char ConflictName[PartRoom];  // UTF-8, as the entry names
extern char ExistingSizeText[TextBufferSize];
extern char ExistingDateText[TextBufferSize];
extern char ArchivedSizeText[TextBufferSize];
extern char ArchivedDateText[TextBufferSize];

// --- Progress accounting (archive/stored) ---------------------------------
extern int64_t ArchiveDone, EntryDone, ArchiveTotal, EntryTotal;
extern int32_t EntryPercent, ArchivePercent;

// Puts every variable above back to its start-up value (host tests), and
// releases the record of written files;
// LocalHeader is reset with the walk, by ResetLocalHeader (archive/header.h).
void ResetProgramState();

// The walk over an archive's local headers, free of any user interface: one
// pass from the first volume's start, entry by entry, each step classified,
// and an entry's data decoded into a given output with one result. The
// extraction driver walks with it, and so does mksfx when it lists or tests a
// self-extracting file, so that the two cannot disagree on what the stub does.
#pragma once
#include <stdint.h>
#include "platform/platform.h"
#include "support/paths.h"

// What the walk found where it looked for the next entry.
enum WalkStep : uint8_t {
  WalkEntry,           // LocalHeader and the entry's name are read
  WalkEmptyName,       // an entry whose name is empty: the stub ends the run
  WalkSizesUnknown,    // an entry whose sizes are not in its local header
  WalkEndAtDirectory,  // the central directory or the end record: the proper end
  WalkCutShort,        // neither an entry nor the directory: cut short or damaged
  WalkVolumeMissing,   // a volume the walk needed could not be had (reported)
};

// The entry in hand.
struct WalkedEntry {
  const char* name;  // in UTF-8 (ReadEntryName), in the walk's buffer until the next step
  bool nameWhole;    // the name was read whole and converts
  bool folder;                // a folder entry: ends in a separator, no data
  int32_t volume;             // the volume its local header began in
};

// How an entry's name may become an output path below the destination.
enum NameVerdict : uint8_t {
  NameAccepted,
  NameNotWhole,   // cut short by the archive's end, or not convertible
  NameTooLong,    // the destination and the name exceed MaxPathUnits
  NameRefused,    // NameIsSafe refuses it (malformed UTF-8 among others)
};

// What became of an entry's data.
enum EntryResult : uint8_t {
  EntryWhole,         // every byte, as long as declared, and the CRC matches
  EntryCrcMismatch,   // damaged, or a wrong password that passed the check byte
  EntrySizeMismatch,  // the data ran past, or stopped short of, its declared size
  EntryWriteFailed,   // the output took fewer bytes than given
  EntryNoMemory,      // the reader's buffers could not be allocated
  EntryCutShort,      // the archive ended inside the data
  EntryVolumeMissing, // the next volume could not be had (reported)
  EntryCancelled,     // the user cancelled inside the data
  EntryNotAuthentic,  // WinZip AES: the authentication code does not match the data
};

// Starts a pass: volume 1 in hand (changing back to it when an earlier pass
// left a later one), the spanning state and the failed-volume mark cleared,
// the archive at ArchiveStart, and DestinationFolder taken as the output
// paths' start. False when the archive cannot be read there.
bool BeginWalk();

// Reads the next local header and the entry's name into entry.
WalkStep NextEntry(WalkedEntry* entry);

// The output path of the entry in UTF-8: DestinationFolder, "\" and the
// name, into path (PathRoom bytes) when the verdict is NameAccepted.
NameVerdict FormOutputPath(const WalkedEntry& entry, char* path);

// After the name: the archive at the entry's encryption header or data; the
// WinZip AES field of an entry of method 99 is read on the way.
void SeekEntryData();
// The encryption header of the entry in hand, before its data: the 12 bytes
// of the traditional encryption, or WinZip AES's salt and password verifier
// (at most EncryptionHeaderRoom bytes; zeros where the archive ends).
enum : uint32_t { EncryptionHeaderRoom = 18 };
void ReadEncryptionHeader(uint8_t* header);
// The password opens the entry, judged by its encryption header as read: the
// check byte of the traditional encryption, or WinZip AES's verifier. The
// keys are then ready for its data. An empty password opens nothing.
bool PasswordFits(const uint8_t* header, const char* password);
// The entry's compression method is one the readers know: stored or
// Deflate, as it stands or inside a well-formed WinZip AES field.
bool MethodKnown();
// The WinZip AES strength of the entry in hand (1, 2, 3 for 128, 192, 256
// bits), 0 when it is no AES entry; and its vendor version (1 or 2).
uint32_t EntryAesStrength();
uint32_t EntryAesVersion();
// The compression method of the entry's data: the header's, or for a WinZip
// AES entry the one its field names (99 while the field is unread or bad).
uint16_t EntryMethod();

// Decodes the data of the entry in hand (after its encryption header, with
// the keys ready) into output, which stays open.
EntryResult DecodeEntryInto(FileHandle output);

// Moves to where the next local header is expected. WalkEntry when there,
// else WalkCutShort or WalkVolumeMissing.
WalkStep StepOverEntry(const WalkedEntry& entry);

// Reads the current entry's name (the archive standing right after its local
// header) into name (PathRoom bytes) in UTF-8, cut at a NUL: a UTF-8 name
// (bit 11, or an Info-ZIP Unicode Path field that matches) as it stands,
// any other converted from the system's ANSI code page as the system's ANSI
// calls would read it. False when the name cannot be had whole (the archive
// ends inside it, or it does not convert).
bool ReadEntryName(char* name);

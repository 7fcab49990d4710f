// The walk over an archive's local headers, free of any user interface: one
// pass from the first volume's start, entry by entry, each step classified,
// and an entry's data decoded into a given output with one result. The
// extraction driver walks with it, and so does mksfx when it lists or tests a
// self-extracting file, so that the two cannot disagree on what the stub does.
#pragma once
#include <stdint.h>
#include "platform/platform.h"
#include "support/paths.h"
#include "archive/entry.h"

// What the walk found where it looked for the next entry.
enum WalkStep : uint8_t {
  WalkEntry,           // LocalHeader and the entry's name are read
  WalkEmptyName,       // an entry whose name is empty: the stub ends the run
  WalkSizesUnknown,    // an entry whose sizes cannot be had: not in its local header, no
                       // directory to give them, and not a Deflate stream that shows its end
  WalkEndAtDirectory,  // the central directory or the end record: the proper end
  WalkCutShort,        // neither an entry nor the directory: cut short or damaged
  WalkVolumeMissing,   // a volume the walk needed could not be had (reported)
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
  EntryStreamDamaged, // the Deflate stream is damaged (an invalid code or block)
};

// Starts a pass: volume 1 in hand (changing back to it when an earlier pass
// left a later one), the spanning state and the failed-volume mark cleared,
// the archive at ArchiveStart, and DestinationFolder taken as the output
// paths' start. False when the archive cannot be read there.
bool BeginWalk();

// Reads the next local header, the entry's name and extra field, and fills
// CurrentEntry, leaving the archive at the entry's encryption header or
// data; where the header has bit 3 and no sizes, in a program that is
// not spanned, the sizes and CRC come from the central directory.
WalkStep NextEntry();

// The output path of the entry in UTF-8: DestinationFolder, "\" and the
// name, into path (PathRoom bytes) when the verdict is NameAccepted.
NameVerdict FormOutputPath(const EntryRecord& entry, char* path);
// An output path (as FormOutputPath formed it) that a folder below the
// destination, or the file itself, reaches through a reparse point (a link
// or a junction put there since): the deletion pass deletes nothing there.
bool ReachedThroughLink(char* path);

// The encryption header of the entry in hand, before its data: the 12 bytes
// of the traditional encryption, or WinZip AES's salt and password verifier
// (at most EncryptionHeaderRoom bytes; zeros where the archive ends). False
// when the archive, or a volume that cannot be had, cuts it.
enum : uint32_t { EncryptionHeaderRoom = 18 };
bool ReadEncryptionHeader(uint8_t* header);
// The password opens the entry, judged by its encryption header as read: the
// check byte of the traditional encryption, or WinZip AES's verifier. The
// keys are then ready for its data. An empty password opens nothing. The
// password is UTF-8 text: WinZip AES takes its bytes as they are, as 7-Zip
// and WinZip do; the traditional encryption takes its bytes in the ANSI code
// page, as the Windows tools of its day read a typed password.
bool PasswordFits(const uint8_t* header, const char* password);
// The entry's compression method is one the readers know: stored or
// Deflate, as it stands or inside a well-formed WinZip AES field.
bool MethodKnown();

// Decodes the data of the entry in hand (after its encryption header, with
// the keys ready) into output, which stays open. Where the header leaves the
// CRC or the sizes to the data descriptor, the descriptor is read after the
// data and checked too; the sizes of a Deflate entry decoded to its end are
// then in CurrentEntry.
EntryResult DecodeEntryInto(FileHandle output);

// Moves to where the next local header is expected: after the data and any
// data descriptor. WalkEntry when there, else WalkCutShort (also for an
// entry whose end is not known: a Deflate stream of unknown size that was
// not decoded to its end) or WalkVolumeMissing.
WalkStep StepOverEntry(const EntryRecord& entry);

// The name as stored (length bytes, with the entry's extra fields after it)
// into name (PathRoom bytes) in UTF-8, cut at a NUL: a UTF-8 name (bit 11, an
// Info-ZIP Unicode Path field that matches, or, without either, a name that
// is valid UTF-8 and not plain ASCII) as it stands, any other converted from
// the system's ANSI code page as the system's ANSI calls would read it; then
// without its "./" parts. False when it does not convert.
bool DecodeEntryName(const uint8_t* raw, uint32_t length, const uint8_t* extra, uint32_t extraLength, uint16_t flags,
                     char* name);

// Program-wide state: every variable that more than one module shares, with
// the name it has throughout the program. Each lives from start-up to the end
// of the process; the comment names the owner that gives it its meaning.
// Host tests call ResetProgramState() between cases.
#pragma once
#include <stdint.h>
#include "platform/platform.h"

enum : uint32_t {
  StubSize = 51712,          // bytes of the stub; the archive or the block follows
  ConfigBlockSize = 256,     // the optional configuration block
  TextBufferSize = 256,      // 255 characters and a NUL
  ConfigTextSize = 261,      // the three configuration texts
  PasswordBufferSize = 80,   // 79 characters and a NUL
  ChunkSize = 32768,         // archive reads and window flushes
};

// The local file header as it lies in the archive, 30 bytes, little-endian.
#pragma pack(push, 1)
struct LocalHeaderRecord {
  uint32_t signature;
  uint16_t versionNeeded;
  uint16_t flags;            // bit 0 encrypted, bit 3 sizes and CRC follow the data
  uint16_t method;           // 0 stored, 8 Deflate
  uint32_t dosDateTime;      // time in the low half, date in the high half
  uint32_t crc32;
  uint32_t compressedSize;
  uint32_t uncompressedSize;
  uint16_t nameLength;
  uint16_t extraLength;
};
#pragma pack(pop)
static_assert(sizeof(LocalHeaderRecord) == 30, "local header is 30 bytes");

struct PixelRect { int32_t left, top, right, bottom; };

// --- Archive access (Sfx, archive) ---------------------------------------
extern FileHandle ArchiveHandle;     // own executable, later the current volume
extern uint32_t ArchiveStart;        // first local header: 51712 or 51968
extern uint32_t ArchivePosition;     // position reported by the last SeekArchive
extern int32_t CurrentVolume;        // volume ArchiveHandle reads, 1 for the first
extern uint8_t VolumeSwitchAllowed;  // a short Deflate read may go to the next volume
extern LocalHeaderRecord LocalHeader;
extern int32_t EntryRemaining;       // compressed bytes of the entry not yet read
extern uint32_t HeaderStart;         // archive position of the current header
extern FileHandle OutputHandle;      // output file being written
extern char OwnPath[ConfigTextSize]; // full path of the running executable

// --- Integrity and decryption (archive/crypt) ----------------------------
extern uint32_t* CrcTable;           // 256 entries in a 1,028-byte block
extern uint32_t CrcRegister;
extern char CurrentPassword[PasswordBufferSize];

// --- Configuration (Sfx/config) -------------------------------------------
extern char CaptionText[ConfigTextSize];
extern char DefaultDestination[ConfigTextSize];
extern char RunCommand[ConfigTextSize];
extern uint8_t HasCaptionText, HasDefaultDestination, HasRunCommand;
extern uint8_t OverwriteByDefault, AutoExtract, WaitThenDelete;

// --- Dialogs and progress (Dialog, archive) --------------------------------
extern char DestinationFolder[TextBufferSize];
extern uint8_t OverwriteMode;        // 0 replace, 1 keep, 2 ask
extern uint8_t OverwriteAnswer;      // 1 replace this file, 0 keep it
extern WindowHandle ProgressWindow;
extern PixelRect EntryBarRect, ArchiveBarRect;
extern uint8_t CancelRequested;
extern uint8_t ExtractionSucceeded;
extern char PasswordBuffer[PasswordBufferSize];
extern int32_t PasswordLength;
extern char ConflictName[TextBufferSize];
extern char ExistingSizeText[TextBufferSize];
extern char ExistingDateText[TextBufferSize];
extern char ArchivedSizeText[TextBufferSize];
extern char ArchivedDateText[TextBufferSize];

// --- Progress accounting (archive/progress) -------------------------------
extern int64_t ArchiveDone, EntryDone, ArchiveTotal, EntryTotal;
extern int32_t EntryPercent, ArchivePercent;

// Puts every variable above back to its start-up value (host tests).
void ResetProgramState();

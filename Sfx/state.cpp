// Definitions of the program-wide state declared in Sfx/state.h, with their
// start-up values, and the reset that host tests use between cases.
#include "Sfx/state.h"
#include "Sfx/layout.h"
#include <string.h>

FileHandle ArchiveHandle;  // start-up values set by RunProgram: no initialised data in the stub
uint32_t ArchiveStart;
uint32_t ArchivePosition;
int32_t CurrentVolume;
uint8_t ArchiveSpanned;
uint8_t VolumeChangeFailed;
uint64_t EntryRemaining;
int64_t HeaderStart;
ExitCodeKind ExitCode;
RunStateKind RunState;
uint32_t RunExitCode;
FileHandle OutputHandle;
char OwnPath[OwnPathRoom];
char ZoneMark[ZoneMarkRoom];
uint32_t ZoneMarkLength;
uint8_t* WrittenRecord;
uint32_t WrittenRecordBytes;
uint32_t* WrittenPaths;
uint32_t WrittenPathSlots, WrittenPathCount;
char* WrittenNames;
uint32_t WrittenNamesBytes, WrittenNamesUsed;

uint32_t* CrcTable;
uint32_t CrcRegister;
char CurrentPassword[PasswordBufferSize];

char CaptionText[ConfigTextSize];
char DefaultDestination[ConfigTextSize];
char RunCommand[ConfigTextSize];
uint8_t HasCaptionText, HasDefaultDestination, HasRunCommand;
uint8_t OverwriteByDefault, AutoExtract, WaitThenDelete, VerifyFirst;

uint8_t Silent;
FileHandle LogHandle;
char SwitchDestination[ConfigTextSize];
char RunArguments[TextBufferSize];
char PrivateTempFolder[TextBufferSize];

char DestinationFolder[TextBufferSize];
OverwriteChoice OverwriteMode;
uint8_t OverwriteAnswer;
WindowHandle ProgressWindow;
PixelRect EntryBarRect, ArchiveBarRect;
uint8_t CancelRequested;
uint8_t ExtractionSucceeded;
char PasswordBuffer[PasswordBufferSize];
int32_t PasswordLength;
char ConflictName[PartRoom];
char ExistingSizeText[TextBufferSize];
char ExistingDateText[TextBufferSize];
char ArchivedSizeText[TextBufferSize];
char ArchivedDateText[TextBufferSize];

int64_t ArchiveDone, EntryDone, ArchiveTotal, EntryTotal;
int32_t EntryPercent, ArchivePercent;

void ResetProgramState() {
  ArchiveHandle = NoFile;
  ArchiveStart = StubSize;
  ArchivePosition = 0;
  CurrentVolume = 0;
  ArchiveSpanned = VolumeChangeFailed = 0;
  ReleaseBlock(WrittenRecord);
  WrittenRecord = 0;
  WrittenRecordBytes = 0;
  ReleaseBlock(WrittenPaths);
  WrittenPaths = 0;
  WrittenPathSlots = WrittenPathCount = 0;
  ReleaseBlock(WrittenNames);
  WrittenNames = 0;
  WrittenNamesBytes = WrittenNamesUsed = 0;
  EntryRemaining = 0;
  HeaderStart = 0;
  ExitCode = ExitExtracted;
  RunState = RunNotWaitedFor;
  RunExitCode = 0;
  OutputHandle = NoFile;
  OwnPath[0] = 0;
  ZoneMarkLength = 0;
  CrcRegister = 0;
  CurrentPassword[0] = 0;
  CaptionText[0] = DefaultDestination[0] = RunCommand[0] = 0;
  HasCaptionText = HasDefaultDestination = HasRunCommand = 0;
  OverwriteByDefault = AutoExtract = WaitThenDelete = VerifyFirst = 0;
  Silent = 0;
  LogHandle = 0;
  SwitchDestination[0] = 0;
  RunArguments[0] = PrivateTempFolder[0] = 0;
  DestinationFolder[0] = 0;
  OverwriteMode = ReplaceWithoutAsking;
  OverwriteAnswer = 0;
  ProgressWindow = 0;
  EntryBarRect = ArchiveBarRect = PixelRect{0, 0, 0, 0};
  CancelRequested = 0;
  ExtractionSucceeded = 0;
  memset(PasswordBuffer, 0, sizeof PasswordBuffer);
  PasswordLength = 0;
  ConflictName[0] = ExistingSizeText[0] = ExistingDateText[0] = 0;
  ArchivedSizeText[0] = ArchivedDateText[0] = 0;
  ArchiveDone = EntryDone = ArchiveTotal = EntryTotal = 0;
  EntryPercent = ArchivePercent = 0;
}

// The platform and the prompts as the benchmark needs them: the archive is a
// block of memory, the output file a sink that discards, nothing is painted
// and no message is shown, so that the time measured is the decoder's own.
#include "tests/bench/bench_platform.h"
#include <stdlib.h>
#include <string.h>
#include "archive/prompts.h"
#include "platform/platform.h"
#include "support/paths.h"
#include "tests/support/fresh_state.h"

namespace bench {
const uint8_t* Input;
uint32_t InputSize;
uint32_t InputAt;
uint64_t Written;
}  // namespace bench

static FileHandle const MemoryFile = reinterpret_cast<FileHandle>(static_cast<intptr_t>(1));
static FileHandle const SinkFile = reinterpret_cast<FileHandle>(static_cast<intptr_t>(2));

void HardenDllSearch() {}
unsigned OwnExecutablePath(char* buffer, unsigned size) { return 0; }
FileHandle OpenForReading(const char*) { return MemoryFile; }
FileHandle CreateForWriting(const char*) { return SinkFile; }
FileHandle CreateNewFile(const char*) { return SinkFile; }
const char NullDevice[] = "NUL";
uint32_t ReadFromFile(FileHandle, void* buffer, uint32_t count) {
  uint32_t left = bench::InputSize - bench::InputAt;
  if (count > left) count = left;
  memcpy(buffer, bench::Input + bench::InputAt, count);
  bench::InputAt += count;
  return count;
}
uint32_t WriteToFile(FileHandle, const void*, uint32_t count) {
  bench::Written += count;
  return count;
}
uint32_t SetFilePosition(FileHandle, int32_t distance, int, bool* failed) {
  *failed = false;
  bench::InputAt = static_cast<uint32_t>(distance);
  return bench::InputAt;
}
bool CloseFile(FileHandle) { return true; }
bool FindPath(const char*, FoundFile*) { return false; }
uint32_t FileAttributes(const char*) { return NoAttributes; }
bool CreateFolder(const char*) { return false; }
bool DeleteFileAt(const char*) { return false; }
uint32_t FileIdentity(const char*) { return 0; }
uint32_t IdentityOf(FileHandle) { return 0; }
unsigned WindowsFolder(char*, unsigned) { return 0; }
unsigned SystemFolder(char*, unsigned) { return 0; }
unsigned CurrentFolder(char*, unsigned) { return 0; }
unsigned MacroFolder(unsigned, char*, unsigned) { return 0; }
bool RemoveFolder(const char*, bool) { return false; }
void CommandLineText(char* buffer, unsigned) { buffer[0] = 0; }
bool SetCurrentFolder(const char*) { return false; }
bool SetLastWriteFromDos(FileHandle, uint16_t, uint16_t) { return false; }
uint32_t FileTimeToLocalDos(uint64_t) { return 0; }
unsigned DriveTypeOf(const char*) { return DriveFixed; }
bool VolumeLabelOf(const char*, char*, unsigned) { return false; }
int ShowMessage(WindowHandle, const char*, const char*, unsigned) { return AnswerCancel; }
unsigned LoadCatalogueText(unsigned, char* buffer, unsigned room) {
  if (room > 0) buffer[0] = 0;
  return 0;
}
bool ReplaceWith(const char*, const char*) { return false; }
bool AnsiToUtf8(const char* ansi, char* utf8, unsigned room) {
  CopyText(utf8, ansi, room);
  return true;
}
bool Utf8ToAnsi(const char* utf8, char* ansi, unsigned room, bool) {
  CopyText(ansi, utf8, room);
  return true;
}
bool OpenWithShell(const char*, const char*, const char*) { return false; }
bool StartAndWait(WindowHandle, const char*, const char*, const char*, uint32_t*) { return false; }
void ShortenPath(char*) {}
uint32_t TickCount() { return 0; }  // never due: the decoder alone is measured
unsigned DateTimeText(double, char* text, unsigned room) { return LoadCatalogueText(0, text, room); }
void* AllocateBlock(uint32_t size) { return malloc(size); }
void ReleaseBlock(void* block) { free(block); }

void PumpOneMessage() {}
void FocusProgressWindow() {}
void PaintProgressNow() {}
void ShowEntryName(const char*) {}
void AskOverwrite() {}
void AskPassword() {}
bool AskForDisk(const char*) { return false; }

void ResetTestDoubles() {
  bench::Input = 0;
  bench::InputSize = bench::InputAt = 0;
  bench::Written = 0;
}

// The posix platform's answers for a Windows system, as a host tool has them:
// its own path from /proc, fixed Windows folders, a fixed drive without a
// label, message boxes kept for the tool to print, memory and writes as they
// come. The host tests link a scripted double of the same calls instead
// (tests/support/posix_scripted.cpp).
#include <stdlib.h>
#include <time.h>
#include <unistd.h>
#include "platform/platform.h"
#include "platform/posix/posix.h"

namespace {
std::vector<std::string> shown;
}

std::vector<std::string> posix::TakeShownMessages() {
  std::vector<std::string> texts;
  texts.swap(shown);
  return texts;
}

unsigned OwnExecutablePath(char* buffer, unsigned size) {
  char path[4096];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return 0;
  return posix::CopyOut(std::string(path, static_cast<size_t>(n)), buffer, size);
}

FileHandle OpenForReading(const char* path) { return posix::OpenNative(path); }
uint32_t WriteToFile(FileHandle file, const void* buffer, uint32_t count) {
  return posix::WriteNative(file, buffer, count);
}

unsigned WindowsFolder(char* buffer, unsigned room) { return posix::CopyOut("C:\\WINDOWS", buffer, room); }
unsigned SystemFolder(char* buffer, unsigned room) { return posix::CopyOut("C:\\WINDOWS\\system32", buffer, room); }
// What the folders usually are, so that a tool checks the lengths of paths
// below them; no folder is made for {temp}.
unsigned MacroFolder(unsigned macro, char* buffer, unsigned room) {
  static const char* const usual[] = {
      "", "", "C:\\Users\\user\\AppData\\Local\\Temp\\kvx00000000", "C:\\Program Files",
      "C:\\Program Files (x86)", "C:\\Users\\user\\AppData\\Roaming", "C:\\Users\\user\\AppData\\Local",
      "C:\\ProgramData", "C:\\Users\\user\\Desktop", "C:\\Users\\user\\Documents", "C:\\Users\\user"};
  if (macro >= sizeof usual / sizeof usual[0]) return posix::CopyOut("", buffer, room);
  return posix::CopyOut(usual[macro], buffer, room);
}
void CommandLineText(char* buffer, unsigned room) { posix::CopyOut("", buffer, room); }
unsigned DriveTypeOf(const char*) { return DriveFixed; }
bool VolumeLabelOf(const char*, char*, unsigned) { return false; }

int ShowMessage(WindowHandle, const char* text, const char* caption, unsigned) {
  shown.push_back(std::string(caption) + ": " + text);
  return AnswerCancel;  // nobody is there to answer: a disk prompt ends
}

void* AllocateBlock(uint32_t size) { return malloc(size); }

uint32_t TickCount() {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint32_t>(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

// A host tool starts no Windows program.
bool OpenWithShell(const char*, const char*, const char*) { return false; }
bool StartAndWait(WindowHandle, const char*, const char*, const char*, uint32_t*) { return false; }

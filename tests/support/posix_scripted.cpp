// The scripted double of the posix platform's answers for a Windows system
// (what platform/posix/system.cpp answers for the tools): the own path, the
// Windows folders, drive type and label, message boxes recorded and answered
// from a queue, allocations and disk room that run out, programs recorded
// instead of started. Host tests and fuzz targets set them through
// tests/support/posix_control.h.
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#include "platform/platform.h"
#include "tests/support/posix_control.h"
#include "Sfx/layout.h"
#include "Sfx/report.h"

namespace posix {
std::string OwnPath;
std::string WindowsFolder;
std::string SystemFolder;
unsigned DriveType;
std::string VolumeLabel;
std::vector<ShownMessage> Messages;
std::deque<int> MessageAnswers;
long AllocationsLeft;
bool FailOwnOpen;
std::vector<std::string> Started;
bool FailStart;
std::function<void()> WhileRunning;
long long DiskBytesLeft;
uint32_t Ticks, TickStep;
uint32_t StartedExitCode;
std::string CommandLine;
std::string MacroFolders[16];
std::string PrivateTemp;

void Reset() {
  OwnPath.clear();
  WindowsFolder = "C:\\WINDOWS";
  SystemFolder = "C:\\WINDOWS\\system32";
  DriveType = DriveFixed;
  VolumeLabel.clear();
  Messages.clear();
  MessageAnswers.clear();
  AllocationsLeft = -1;
  FailOwnOpen = false;
  Started.clear();
  FailStart = false;
  WhileRunning = nullptr;
  DiskBytesLeft = -1;
  StartedExitCode = 0;
  CommandLine = "sfx.exe";
  for (std::string& folder : MacroFolders) folder.clear();
  MacroFolders[MacroProgramFiles] = "C:\\Program Files";
  MacroFolders[MacroAppData] = "C:\\Users\\u\\AppData\\Roaming";
  PrivateTemp.clear();
  Ticks = 0;
  TickStep = 1000;
  // The platform's own settings; not at static start-up, where they may not
  // be constructed yet.
  static bool started = false;
  if (started) {
    AnsiCodePage.clear();
    NameLookups = 0;
    Undeletable.clear();
  }
  started = true;
}

namespace {
struct Defaults {
  Defaults() { Reset(); }
} defaults;
}  // namespace

std::vector<std::string> TakeShownMessages() {
  std::vector<std::string> texts;
  for (const ShownMessage& m : Messages) texts.push_back(m.caption + ": " + m.text);
  Messages.clear();
  return texts;
}
}  // namespace posix

using namespace posix;

unsigned OwnExecutablePath(char* buffer, unsigned size) { return CopyOut(posix::OwnPath, buffer, size); }

FileHandle OpenForReading(const char* path) {
  if (FailOwnOpen && posix::OwnPath == path) {
    ++NameLookups;
    return NoFile;
  }
  return OpenNative(path);
}

uint32_t WriteToFile(FileHandle file, const void* buffer, uint32_t count) {
  if (file == NoFile) return 0;
  if (DiskBytesLeft >= 0 && count > DiskBytesLeft) count = static_cast<uint32_t>(DiskBytesLeft);  // the disk is full
  if (DiskBytesLeft >= 0) DiskBytesLeft -= count;
  return WriteNative(file, buffer, count);
}

uint32_t TickCount() { return Ticks += TickStep; }

unsigned WindowsFolder(char* buffer, unsigned room) { return CopyOut(posix::WindowsFolder, buffer, room); }
unsigned SystemFolder(char* buffer, unsigned room) { return CopyOut(posix::SystemFolder, buffer, room); }

void CommandLineText(char* buffer, unsigned room) {
  if (CopyOut(posix::CommandLine, buffer, room) == 0 && room > 0) buffer[0] = 0;
}

unsigned MacroFolder(unsigned macro, char* buffer, unsigned room) {
  if (macro >= 16) return CopyOut("", buffer, room);
  if (macro == MacroTemp && posix::PrivateTemp.empty() && !posix::MacroFolders[MacroTemp].empty()) {
    std::string pattern = posix::MacroFolders[MacroTemp] + "/kvxXXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) posix::PrivateTemp = pattern;
  }
  return CopyOut(macro == MacroTemp ? posix::PrivateTemp : posix::MacroFolders[macro], buffer, room);
}

unsigned DriveTypeOf(const char*) { return posix::DriveType; }

bool VolumeLabelOf(const char*, char* label, unsigned room) {
  if (posix::VolumeLabel.empty()) return false;
  return CopyOut(posix::VolumeLabel, label, room) > 0;
}

int ShowMessage(WindowHandle owner, const char* text, const char* caption, unsigned style) {
  Messages.push_back({owner, text, caption, style});
  int held;
  if (MessageHeld(text, caption, style, &held)) return held;
  if (MessageAnswers.empty()) return AnswerOk;
  int answer = MessageAnswers.front();
  MessageAnswers.pop_front();
  return answer;
}

void* AllocateBlock(uint32_t size) {
  if (AllocationsLeft == 0) return 0;
  if (AllocationsLeft > 0) --AllocationsLeft;
  // A new block holds what an earlier owner left, never zeros by luck: code
  // that reads before it writes fails here as it would on Windows.
  void* block = malloc(size);
  if (block != nullptr) memset(block, 0xA5, size);
  return block;
}

// --- Programs: recorded, never started ------------------------------------

static std::string HereNow() {
  char here[4096];
  return getcwd(here, sizeof here) != nullptr ? here : "";
}

bool OpenWithShell(const char* program, const char* parameters, const char* folder) {
  posix::Started.push_back(std::string("open:") + program + "|" + parameters + "|" + folder);
  return !posix::FailStart;
}

bool StartAndWait(WindowHandle, const char* program, const char* parameters, const char* folder, uint32_t* exitCode) {
  if (posix::FailStart) return false;
  *exitCode = posix::StartedExitCode;
  posix::Started.push_back(std::string("run:\"") + program + "\" " + parameters + "|" + folder);
  if (posix::WhileRunning) posix::WhileRunning();
  return true;
}

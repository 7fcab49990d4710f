// What host tests set and read on the posix platform: the answers the system
// would give (own path, folders, drive type, volume label, message box
// answers, allocation failures) and the record of every message box shown.
#pragma once
#include <deque>
#include <functional>
#include <string>
#include <vector>
#include "platform/platform.h"

struct ShownMessage {
  WindowHandle owner;
  std::string text;
  std::string caption;
  unsigned style;
};

namespace posix {
extern std::string OwnPath;          // what OwnExecutablePath reports
extern std::string WindowsFolder;    // default C:\WINDOWS
extern std::string SystemFolder;     // default C:\WINDOWS\system32
extern unsigned DriveType;           // default DriveFixed
extern std::string VolumeLabel;      // empty: GetVolumeInformationA fails
extern std::vector<ShownMessage> Messages;
extern std::deque<int> MessageAnswers;  // empty: AnswerOk
extern long AllocationsLeft;         // -1: unlimited; else allocations that succeed
extern bool FailOwnOpen;             // the executable cannot be opened
// Programs started: "open:<program>|<parameters>|<current folder>" for the
// shell, "run:<command line>|<current folder>" for a waited-for process.
extern std::vector<std::string> Started;
extern bool FailStart;               // StartAndWait cannot create the process
extern std::function<void()> WhileRunning;  // run inside StartAndWait
extern long long DiskBytesLeft;      // -1: no limit; else bytes writes may still add
extern std::string AnsiCodePage;     // what Utf8ToAnsi converts to; default CP1252
// Calls that look a name up in the file system (find, attributes, create,
// open, delete, move): what each costs a folder scan under Wine.
extern long NameLookups;

// Back to the defaults above; clears the message record.
void Reset();
// Posix form of a program path: "\" becomes "/".
std::string NativePath(const char* path);
}  // namespace posix

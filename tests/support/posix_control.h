// What host tests set and read on the posix platform's scripted double
// (posix_scripted.cpp): the answers the system would give (own path,
// folders, drive type, volume label, message box answers, allocation
// failures, disk room) and the record of every message box shown.
#pragma once
#include <deque>
#include <functional>
#include <string>
#include <vector>
#include "platform/platform.h"
#include "platform/posix/posix.h"

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
extern uint32_t StartedExitCode;     // what the waited-for process ends with; default 0
extern std::function<void()> WhileRunning;  // run inside StartAndWait
extern long long DiskBytesLeft;      // -1: no limit; else bytes writes may still add
// The clock TickCount reads: Ticks, advanced by TickStep at every reading
// (default 1000: every interval the program waits for has passed).
extern uint32_t Ticks, TickStep;
// The command line CommandLineText reports (the program's name first).
extern std::string CommandLine;
// What MacroFolder answers for each macro from {temp} on (index PathMacro);
// for {temp}, the folder under which it makes a fresh one once per Reset,
// in PrivateTemp (empty: none made yet).
extern std::string MacroFolders[16];
extern std::string PrivateTemp;

// Back to the defaults above (and the platform's AnsiCodePage and
// NameLookups to theirs); clears the message record.
void Reset();
}  // namespace posix

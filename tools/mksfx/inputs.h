// What goes into the archive: files and folders named on the command line
// (folders recursed in sorted order), or the entries of one existing ZIP
// archive. Every name is checked as the stub will check it.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace mksfx {

struct InputItem {
  std::string name;            // entry name, UTF-8, "/" separators, folders end in "/"
  std::filesystem::path path;  // where its bytes are
  bool folder = false;
  bool named = false;          // given on the command line itself, not found in a folder
  uint64_t size = 0;
  uint32_t dosDateTime = 0;
};

// The entries for inputs, relative to base (-C; empty for the current folder).
// Throws Failure for a missing or unreadable input or a name the stub would
// refuse. Names given twice or one on Windows are FindNameClashes' to find.
std::vector<InputItem> GatherInputs(const std::vector<std::string>& inputs, const std::filesystem::path& base);

// Why the stub would refuse this entry name (UTF-8, "/" separators), or ""
// when it takes it: a name that leaves the destination, a device name, a
// wildcard or control character, a backslash, over 255 bytes, not UTF-8.
std::string NameProblem(const std::string& name);

// A moment as the DOS date and time of the local time zone, date in the
// high half; odd seconds round up, and times before 1980 become 1980-01-01.
uint32_t DosDateTime(int64_t unixSeconds);
uint32_t DosDateTimeOf(const std::filesystem::path& path);

// The name bytes with bit 11 (UTF-8) set when they are not plain ASCII.
uint16_t NameFlags(const std::string& name);

}  // namespace mksfx

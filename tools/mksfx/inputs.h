// What goes into the archive: files and folders named on the command line
// (folders recursed in sorted order), or the entries of one existing ZIP
// archive. Every name is checked as the stub will check it.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>
#include "tools/mksfx/same_file.h"

namespace mksfx {

struct InputItem {
  std::string name;            // entry name, UTF-8, "/" separators, folders end in "/"
  std::filesystem::path path;  // where its bytes are
  bool folder = false;
  bool named = false;          // given on the command line itself, not found in a folder
  uint64_t size = 0;
  uint32_t dosDateTime = 0;
  FileId id;                   // the file's identity, as it was looked at
};

struct GatherSettings {
  std::filesystem::path base;            // -C; empty for the current folder
  std::vector<std::string> excludes;     // --exclude patterns (glob.h), matched against entry names
  bool caseless = false;                 // patterns compared without case (Windows)
  bool skipUnreadable = false;           // an input that cannot be read is left out, not a failure
};

struct Gathered {
  std::vector<InputItem> items;
  // The inputs left out under skipUnreadable: what could not be read, and why.
  std::vector<std::string> skipped;
  // The leading parts taken off absolute and "../" inputs ("'/'", "'../'",
  // "'C:\'"), as tar and zip take them off: said once per run.
  std::vector<std::string> stripped;
};

// The entries for inputs. An absolute input is stored without its root
// ("/usr/share/doc" as "usr/share/doc"), one that climbs out of the current
// folder without its leading ".." parts ("../x" as "x"). Throws Failure for
// a missing or unreadable input (with the system's reason) unless
// skipUnreadable, and for a name the stub would refuse. Names given twice
// or one on Windows are FindNameClashes' to find.
Gathered GatherInputs(const std::vector<std::string>& inputs, const GatherSettings& settings);

// The entry name of an input as given: tidied ("./a//b/" is "a/b", "." and
// ".." are ""), without a root and without leading ".." parts; what was
// taken off goes to stripped.
std::string EntryNameOf(const std::filesystem::path& input, std::vector<std::string>& stripped);

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

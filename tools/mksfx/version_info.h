// The stub's version resource, rewritten in place in a copy of the stub:
// a product's own names and versions in the VS_VERSION_INFO block that
// Sfx/version.rc defines, whose strings have fixed room, so the
// stub keeps its size. The block is found by its "VS_VERSION_INFO" key in
// UTF-16 and walked as Windows' VERSIONINFO reference lays it out:
// each node is wLength, wValueLength, wType, a UTF-16 key ended by a zero,
// padding to 32 bits, its value, padding, then its children.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace mksfx {

struct VersionString {
  std::string key;    // "ProductName", ...
  std::string value;  // UTF-8, without the blanks and zeros that fill its room
  size_t room = 0;    // characters the value may take, its terminator included
};

struct VersionInfo {
  bool present = false;
  size_t at = 0;                      // the block's offset in the program
  uint64_t fileVersion = 0, productVersion = 0;  // VS_FIXEDFILEINFO's, 16 bits a part
  std::vector<VersionString> strings; // of every string table, in order
};

// The block in a program's bytes; present is false when there is none.
VersionInfo ReadVersionInfo(const std::string& program);

// Rewrites the values given (UTF-8) in place: each key must be one of the
// block's strings, each value fit its room. FileVersion and ProductVersion
// set the fixed versions too, which Windows compares (installers, updates):
// from one to four dotted numbers 0-65535 (1.2 is 1.2.0.0), or from the
// leading ones of a text that goes on ("2.5 beta": 2.5.0.0), which the notes
// returned say, one a line for the user. Throws Failure when the program has
// no version resource, UsageError when a key is unknown, a value too long,
// or a version starts with no number or holds one above 65,535; the bytes
// are then unchanged.
std::vector<std::string> PatchVersionInfo(std::string& program,
                                          const std::vector<std::pair<std::string, std::string>>& values);

// The same on a file (a copy of the stub), which keeps its size.
std::vector<std::string> PatchVersionInfoFile(const std::filesystem::path& file,
                                              const std::vector<std::pair<std::string, std::string>>& values);

// "KEY=VALUE" as a pair; throws UsageError without "=" or a key.
std::pair<std::string, std::string> VersionAssignment(const std::string& text);

}  // namespace mksfx

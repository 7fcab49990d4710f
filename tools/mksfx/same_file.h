// Whether two paths name one file: by device and inode (on Windows, volume
// serial number and file index), which sees through hard links, symbolic
// links and every other spelling of a path.
#pragma once
#include <cstdint>
#include <filesystem>

namespace mksfx {

struct FileId {
  uint64_t device = 0, index = 0;
  bool exists = false;
};

// Two identities of files that exist and are one file.
inline bool SameFile(const FileId& a, const FileId& b) {
  return a.exists && b.exists && a.device == b.device && a.index == b.index;
}

// The identity of the file or folder at path, links followed; exists is
// false when there is nothing there (or it cannot be looked at).
FileId IdOf(const std::filesystem::path& path);
// The identity of the regular file standard output (standard input) is
// redirected to; exists is false for a terminal, a pipe and the like.
FileId IdOfStandardOutput();
FileId IdOfStandardInput();

}  // namespace mksfx

// The files mksfx reads by position (its inputs, from several threads at
// once) and the spool: a temporary file no one else sees, where the pieces
// of a large entry wait until the entry's sizes and CRC, which its local
// header carries before its data, are known. A spool is gone when it is
// closed, also when a signal or a crash ends the process.
#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace mksfx {

// The system's reason for its last failure (strerror, or Windows' text).
std::string LastSystemError();

class InputFile {
 public:
  InputFile() = default;
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // False, with the system's reason in why, when it cannot be opened.
  bool Open(const std::filesystem::path& path, std::string& why);
  // Up to count bytes at offset; fewer only at the file's end. Throws
  // Failure naming the file when the system fails.
  size_t ReadAt(uint64_t offset, void* buffer, size_t count);
  // One read of up to count bytes at offset (fewer at the end, and maybe
  // fewer anywhere: ReadAt the rest).
  size_t ReadSome(uint64_t offset, void* buffer, size_t count);

 private:
  std::filesystem::path path_;
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  int fd_ = -1;
#endif
};

class Spool {
 public:
  // In folder (beside the output, so that it takes the output's disk).
  explicit Spool(const std::filesystem::path& folder);
  ~Spool();
  Spool(const Spool&) = delete;
  Spool& operator=(const Spool&) = delete;

  void Append(const char* bytes, size_t count);
  // Reading from the start again, after the last Append.
  void Rewind();
  // Up to count bytes; 0 at the end.
  size_t Read(char* bytes, size_t count);
  uint64_t Size() const { return size_; }

 private:
  uint64_t size_ = 0;
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  int fd_ = -1;
#endif
};

}  // namespace mksfx

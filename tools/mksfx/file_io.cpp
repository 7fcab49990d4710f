// Positioned reads and the spool (file_io.h).
#include "tools/mksfx/file_io.h"
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>
#include "tools/mksfx/common.h"
#include "tools/mksfx/interrupt.h"
#include "tools/mksfx/zipcrypto.h"
#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace mksfx {

#ifdef _WIN32
std::string LastSystemError() {
  std::string text = std::system_category().message(static_cast<int>(GetLastError()));
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.')) text.pop_back();
  return text;
}

InputFile::~InputFile() {
  if (handle_ != nullptr) CloseHandle(handle_);
}

bool InputFile::Open(const fs::path& path, std::string& why) {
  path_ = path;
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    why = LastSystemError();
    return false;
  }
  handle_ = h;
  return true;
}

size_t InputFile::ReadAt(uint64_t offset, void* buffer, size_t count) {
  size_t done = 0;
  while (done < count) {
    OVERLAPPED at{};
    uint64_t where = offset + done;
    at.Offset = static_cast<DWORD>(where);
    at.OffsetHigh = static_cast<DWORD>(where >> 32);
    DWORD part = static_cast<DWORD>(std::min<size_t>(count - done, 1u << 30)), got = 0;
    if (!ReadFile(handle_, static_cast<char*>(buffer) + done, part, &got, &at)) {
      if (GetLastError() == ERROR_HANDLE_EOF) break;
      throw Failure("cannot read " + path_.string() + ": " + LastSystemError());
    }
    if (got == 0) break;
    done += got;
  }
  return done;
}

size_t InputFile::ReadSome(uint64_t offset, void* buffer, size_t count) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD got = 0;
  if (!ReadFile(handle_, buffer, static_cast<DWORD>(std::min<size_t>(count, 1u << 30)), &got, &at)) {
    if (GetLastError() == ERROR_HANDLE_EOF) return 0;
    throw Failure("cannot read " + path_.string() + ": " + LastSystemError());
  }
  return got;
}

Spool::Spool(const fs::path& folder) {
  fs::path name = folder / (".mksfx-spool-" + Hex(RandomBytes(6)));
  // Deleted by the system when closed, by whatever end the process comes to.
  HANDLE h = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE) throw Failure("cannot create a temporary file in " + folder.string() + ": " + LastSystemError());
  handle_ = h;
}

Spool::~Spool() { CloseHandle(handle_); }

void Spool::Append(const char* bytes, size_t count) {
  while (count > 0) {
    DWORD part = static_cast<DWORD>(std::min<size_t>(count, 1u << 30)), put = 0;
    if (!WriteFile(handle_, bytes, part, &put, nullptr) || put != part)
      throw Failure("cannot write a temporary file: " + LastSystemError());
    bytes += put;
    count -= put;
    size_ += put;
  }
}

void Spool::Rewind() {
  LARGE_INTEGER zero{};
  if (!SetFilePointerEx(handle_, zero, nullptr, FILE_BEGIN)) throw Failure("cannot read a temporary file: " + LastSystemError());
}

size_t Spool::Read(char* bytes, size_t count) {
  DWORD got = 0;
  if (!ReadFile(handle_, bytes, static_cast<DWORD>(std::min<size_t>(count, 1u << 30)), &got, nullptr))
    throw Failure("cannot read a temporary file: " + LastSystemError());
  return got;
}
#else
std::string LastSystemError() { return std::strerror(errno); }

InputFile::~InputFile() {
  if (fd_ >= 0) close(fd_);
}

bool InputFile::Open(const fs::path& path, std::string& why) {
  path_ = path;
  fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) {
    why = LastSystemError();
    return false;
  }
  return true;
}

size_t InputFile::ReadAt(uint64_t offset, void* buffer, size_t count) {
  size_t done = 0;
  while (done < count) {
    ssize_t got = pread(fd_, static_cast<char*>(buffer) + done, count - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw Failure("cannot read " + path_.string() + ": " + LastSystemError());
    if (got == 0) break;
    done += static_cast<size_t>(got);
  }
  return done;
}

size_t InputFile::ReadSome(uint64_t offset, void* buffer, size_t count) {
  for (;;) {
    ssize_t got = pread(fd_, buffer, count, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw Failure("cannot read " + path_.string() + ": " + LastSystemError());
    return static_cast<size_t>(got);
  }
}

Spool::Spool(const fs::path& folder) {
  fs::path name = folder / (".mksfx-spool-" + Hex(RandomBytes(6)));
  // Named only for the moment between creating and unlinking it; the
  // signal handler knows the name meanwhile.
  SignalSlot* slot = RemoveOnSignal(name);
  fd_ = open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  int err = errno;
  if (fd_ >= 0) unlink(name.c_str());
  ForgetOnSignal(slot);
  if (fd_ < 0) throw Failure("cannot create a temporary file in " + folder.string() + ": " + std::strerror(err));
}

Spool::~Spool() { close(fd_); }

void Spool::Append(const char* bytes, size_t count) {
  while (count > 0) {
    ssize_t put = write(fd_, bytes, count);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) throw Failure("cannot write a temporary file: " + LastSystemError());
    bytes += put;
    count -= static_cast<size_t>(put);
    size_ += static_cast<uint64_t>(put);
  }
}

void Spool::Rewind() {
  if (lseek(fd_, 0, SEEK_SET) != 0) throw Failure("cannot read a temporary file: " + LastSystemError());
}

size_t Spool::Read(char* bytes, size_t count) {
  for (;;) {
    ssize_t got = read(fd_, bytes, count);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw Failure("cannot read a temporary file: " + LastSystemError());
    return static_cast<size_t>(got);
  }
}
#endif

}  // namespace mksfx

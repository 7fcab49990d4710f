// File identities (same_file.h).
#include "tools/mksfx/same_file.h"
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace mksfx {

FileId IdOf(const std::filesystem::path& path) {
  FileId id;
#ifdef _WIN32
  // Opened without access rights, as a folder may be too, to read its identity only.
  HANDLE h = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return id;
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileInformationByHandle(h, &info)) {
    id.device = info.dwVolumeSerialNumber;
    id.index = static_cast<uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
    id.exists = true;
  }
  CloseHandle(h);
#else
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return id;
  id.device = static_cast<uint64_t>(st.st_dev);
  id.index = static_cast<uint64_t>(st.st_ino);
  id.exists = true;
#endif
  return id;
}

namespace {

// The identity of the regular file behind a standard stream: STD_OUTPUT_HANDLE
// or STD_INPUT_HANDLE on Windows, 1 or 0 elsewhere.
FileId IdOfStandardStream(bool output) {
  FileId id;
#ifdef _WIN32
  HANDLE h = GetStdHandle(output ? STD_OUTPUT_HANDLE : STD_INPUT_HANDLE);
  BY_HANDLE_FILE_INFORMATION info;
  if (h == nullptr || h == INVALID_HANDLE_VALUE || GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info))
    return id;
  id.device = info.dwVolumeSerialNumber;
  id.index = static_cast<uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
  id.exists = true;
#else
  struct stat st;
  if (fstat(output ? 1 : 0, &st) != 0 || !S_ISREG(st.st_mode)) return id;
  id.device = static_cast<uint64_t>(st.st_dev);
  id.index = static_cast<uint64_t>(st.st_ino);
  id.exists = true;
#endif
  return id;
}

}  // namespace

FileId IdOfStandardOutput() { return IdOfStandardStream(true); }
FileId IdOfStandardInput() { return IdOfStandardStream(false); }

}  // namespace mksfx

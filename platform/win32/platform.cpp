// The Win32 platform: each service of platform.h is the Win32 call of the
// same purpose with exactly the arguments the program needs. Paths arrive in
// UTF-8 and go to the wide calls in UTF-16 (wide.h).
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <shellapi.h>
#include "platform/platform.h"
#include "platform/win32/wide.h"
#include <string.h>

namespace {
// The longest path the wide calls take, its NUL, and room for a prefix.
enum : unsigned { WideRoom = 32768 + 8, PrefixRoom = 8 };
wchar_t WideTexts[2][WideRoom];
wchar_t FullPath[WideRoom];
}  // namespace

// text into the slot's buffer after its prefix room; the UTF-16 units
// written with the NUL, 0 (an empty text) when text is no UTF-8.
static int IntoSlot(const char* text, int slot) {
  wchar_t* wide = WideTexts[slot] + PrefixRoom;
  int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, wide, WideRoom - PrefixRoom);
  if (n <= 0) wide[0] = 0;
  return n;
}

const wchar_t* Utf16Of(const char* text, int slot) {
  IntoSlot(text, slot);
  return WideTexts[slot] + PrefixRoom;
}

const wchar_t* WidePath(const char* path, int slot) {
  int n = IntoSlot(path, slot);
  wchar_t* wide = WideTexts[slot] + PrefixRoom;
  // Below MAX_PATH less a file name of 8.3 (CreateDirectory's limit) the
  // old calls' rules hold; a longer path is taken literally after the
  // prefix, so it is made absolute and normalised first ("/" to "\").
  if (n <= MAX_PATH - 12 || (wide[0] == '\\' && wide[1] == '\\' && wide[2] == '?')) return wide;
  DWORD length = GetFullPathNameW(wide, WideRoom - PrefixRoom, FullPath, 0);
  wchar_t* out = WideTexts[slot];
  if (length == 0 || length >= WideRoom - PrefixRoom) {
    out[0] = 0;
    return out;
  }
  // \\server\share\x becomes \\?\UNC\server\share\x; C:\x becomes \\?\C:\x.
  static const wchar_t prefix[] = L"\\\\?\\UNC";
  unsigned unc = FullPath[0] == '\\' && FullPath[1] == '\\' ? 1 : 0;
  unsigned k = unc ? 7 : 4;
  memcpy(out, prefix, k * sizeof(wchar_t));
  memcpy(out + k, FullPath + unc, (length + 1 - unc) * sizeof(wchar_t));
  return out;
}

void HardenDllSearch() {
  // SetDefaultDllDirectories exists from Windows 8 (and 7 with KB2533623);
  // look it up so that the stub still starts where it is missing.
  typedef BOOL(WINAPI * SetDefaultDirs)(DWORD);
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  SetDefaultDirs setDirs = reinterpret_cast<SetDefaultDirs>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (setDirs != 0) setDirs(0x00000800 /* LOAD_LIBRARY_SEARCH_SYSTEM32 */);
  SetDllDirectoryA("");  // and never the current folder
}

unsigned OwnExecutablePath(char* buffer, unsigned size) {
  wchar_t* wide = WideTexts[FirstText];
  DWORD n = GetModuleFileNameW(0, wide, WideRoom);
  if (n == 0 || n >= WideRoom) return 0;
  int m = WideCharToMultiByte(CP_UTF8, 0, wide, -1, buffer, static_cast<int>(size), 0, 0);
  return m > 0 ? static_cast<unsigned>(m - 1) : 0;
}

static FileHandle OpenFile(const char* path, DWORD access, DWORD share, DWORD disposition) {
  return CreateFileW(WidePath(path, FirstText), access, share, 0, disposition, FILE_ATTRIBUTE_NORMAL, 0);
}

FileHandle OpenForReading(const char* path) { return OpenFile(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING); }

FileHandle CreateForWriting(const char* path) {
  return OpenFile(path, GENERIC_WRITE, FILE_SHARE_WRITE, CREATE_ALWAYS);
}

FileHandle CreateNewFile(const char* path) { return OpenFile(path, GENERIC_WRITE, FILE_SHARE_WRITE, CREATE_NEW); }

uint32_t ReadFromFile(FileHandle file, void* buffer, uint32_t count) {
  DWORD got = 0;
  if (!ReadFile(file, buffer, count, &got, 0)) return got;
  return got;
}

uint32_t WriteToFile(FileHandle file, const void* buffer, uint32_t count) {
  DWORD put = 0;
  WriteFile(file, buffer, count, &put, 0);
  return put;
}

uint32_t SetFilePosition(FileHandle file, int32_t distance, int method, bool* failed) {
  // From the beginning the distance is unsigned: a high part of 0 lets it
  // reach 4 GiB, where without one 2 GiB and more would fail.
  LONG high = 0;
  DWORD at = SetFilePointer(file, distance, method == FILE_BEGIN ? &high : 0, method);
  *failed = at == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR;
  return at;
}

bool CloseFile(FileHandle file) { return CloseHandle(file) != 0; }

// The two names differ but for the case of ASCII letters.
static bool NamesDiffer(const wchar_t* a, const wchar_t* b) {
  for (;; ++a, ++b) {
    wchar_t x = (*a >= 'a' && *a <= 'z') ? static_cast<wchar_t>(*a - 32) : *a;
    wchar_t y = (*b >= 'a' && *b <= 'z') ? static_cast<wchar_t>(*b - 32) : *b;
    if (x != y) return true;
    if (x == 0) return false;
  }
}

bool FindPath(const char* path, FoundFile* found) {
  WIN32_FIND_DATAW data;
  const wchar_t* wide = WidePath(path, FirstText);
  HANDLE search = FindFirstFileW(wide, &data);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  if (found != 0) {
    found->sizeLow = data.nFileSizeLow;
    found->lastWriteTime = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                           data.ftLastWriteTime.dwLowDateTime;
    const wchar_t* last = wide;
    for (const wchar_t* c = wide; *c != 0; ++c)
      if (*c == '\\' || *c == '/') last = c + 1;
    found->otherName = NamesDiffer(last, data.cFileName);
  }
  return true;
}

uint32_t FileAttributes(const char* path) { return GetFileAttributesW(WidePath(path, FirstText)); }
bool CreateFolder(const char* path) { return CreateDirectoryW(WidePath(path, FirstText), 0) != 0; }
bool DeleteFileAt(const char* path) { return DeleteFileW(WidePath(path, FirstText)) != 0; }

// A bounded copy of a text (room bytes, always terminated) and a length,
// without three more imports for what lstrcpynA and lstrlenA do.
static unsigned Length(const char* text) {
  unsigned n = 0;
  while (text[n] != 0) ++n;
  return n;
}

static void CopyInto(char* target, const char* source, unsigned room) {
  unsigned n = Length(source);
  if (n >= room) n = room - 1;
  memcpy(target, source, n);
  target[n] = 0;
}

bool ReplaceWith(const char* temporary, const char* path) {
  return MoveFileExW(WidePath(temporary, FirstText), WidePath(path, SecondText), MOVEFILE_REPLACE_EXISTING) != 0;
}

const char NullDevice[] = "NUL";

bool AnsiToUtf8(const char* ansi, char* utf8, unsigned room) {
  // Both slots, one after the other: a name of any 16-bit length converts,
  // so that even one too long to write is shown by its own characters.
  wchar_t* wide = WideTexts[FirstText];
  if (MultiByteToWideChar(CP_ACP, 0, ansi, -1, wide, sizeof WideTexts / sizeof(wchar_t)) <= 0) return false;
  return WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, static_cast<int>(room), 0, 0) > 0;
}

bool Utf8ToAnsi(const char* utf8, char* ansi, unsigned room) {
  wchar_t* wide = WideTexts[FirstText];
  bool whole = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, sizeof WideTexts / sizeof(wchar_t)) > 0 &&
               WideCharToMultiByte(CP_ACP, 0, wide, -1, ansi, static_cast<int>(room), 0, 0) > 0;
  if (!whole) ansi[0] = 0;
  return whole;
}

// The Win32 folder queries answer the size they need, without writing, when
// the buffer is too small; that counts as a failure here.
static unsigned Fitted(unsigned n, unsigned room, char* buffer) {
  if (n == 0 || n >= room) {
    if (room > 0) buffer[0] = 0;
    return 0;
  }
  return n;
}
unsigned WindowsFolder(char* buffer, unsigned room) { return Fitted(GetWindowsDirectoryA(buffer, room), room, buffer); }
unsigned SystemFolder(char* buffer, unsigned room) { return Fitted(GetSystemDirectoryA(buffer, room), room, buffer); }
unsigned CurrentFolder(char* buffer, unsigned room) { return Fitted(GetCurrentDirectoryA(room, buffer), room, buffer); }
bool SetCurrentFolder(const char* path) { return SetCurrentDirectoryW(WidePath(path, FirstText)) != 0; }

bool SetLastWriteFromDos(FileHandle file, uint16_t dosDate, uint16_t dosTime) {
  FILETIME local, utc;
  if (!DosDateTimeToFileTime(dosDate, dosTime, &local)) return false;
  LocalFileTimeToFileTime(&local, &utc);
  return SetFileTime(file, 0, 0, &utc) != 0;
}

uint32_t FileTimeToLocalDos(uint64_t fileTime) {
  FILETIME utc, local;
  utc.dwLowDateTime = static_cast<DWORD>(fileTime);
  utc.dwHighDateTime = static_cast<DWORD>(fileTime >> 32);
  FileTimeToLocalFileTime(&utc, &local);
  WORD date = 0, time = 0;
  FileTimeToDosDateTime(&local, &date, &time);
  return (static_cast<uint32_t>(date) << 16) | time;
}

unsigned DriveTypeOf(const char* root) { return GetDriveTypeA(root); }

bool VolumeLabelOf(const char* root, char* label, unsigned room) {
  if (!GetVolumeInformationA(root, label, room, 0, 0, 0, 0, 0)) {
    if (room > 0) label[0] = 0;
    return false;
  }
  return true;
}

void* AllocateBlock(uint32_t size) { return HeapAlloc(GetProcessHeap(), 0, size); }
void ReleaseBlock(void* block) {
  if (block != 0) HeapFree(GetProcessHeap(), 0, block);
}

uint32_t TickCount() { return GetTickCount(); }

bool OpenWithShell(const char* program, const char* parameters, const char* folder) {
  // Above 32: opened; the rest are the shell's error codes.
  return reinterpret_cast<uintptr_t>(ShellExecuteA(0, "open", program, parameters, folder, SW_SHOWNORMAL)) > 32;
}

bool StartAndWait(const char* program, const char* parameters, const char* folder, uint32_t* exitCode) {
  STARTUPINFOA startup;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION process;
  // CreateProcessA may write into the command line; it gets a copy, the
  // program quoted.
  char line[MAX_PATH * 3];
  line[0] = '"';
  CopyInto(line + 1, program, sizeof line - 4);
  unsigned n = lstrlenA(line);
  line[n] = '"';
  line[n + 1] = ' ';
  CopyInto(line + n + 2, parameters, sizeof line - n - 2);
  // The job tells its completion port when its last process has ended, so
  // that a setup program that starts its installer and ends at once does
  // not have its files deleted from under the installer.
  HANDLE job = CreateJobObjectA(0, 0);
  HANDLE port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, 0, 0, 1);
  JOBOBJECT_ASSOCIATE_COMPLETION_PORT link = {job, port};
  bool tracked = job != 0 && port != 0 &&
                 SetInformationJobObject(job, JobObjectAssociateCompletionPortInformation, &link, sizeof link);
  if (!CreateProcessA(program, line, 0, 0, FALSE, CREATE_NEW_CONSOLE | CREATE_SUSPENDED | NORMAL_PRIORITY_CLASS, 0,
                      folder, &startup, &process)) {
    tracked = false;
    process.hProcess = 0;
  } else {
    tracked = tracked && AssignProcessToJobObject(job, process.hProcess);
    ResumeThread(process.hThread);
    CloseHandle(process.hThread);
  }
  DWORD message;
  ULONG_PTR key;
  LPOVERLAPPED overlapped;
  while (tracked && GetQueuedCompletionStatus(port, &message, &key, &overlapped, INFINITE) &&
         message != JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO) {
  }
  if (job != 0) CloseHandle(job);
  if (port != 0) CloseHandle(port);
  if (process.hProcess == 0) return false;
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  *exitCode = code;
  CloseHandle(process.hProcess);
  return true;
}

void ShortenPath(char* path) {
  DWORD room = Length(path) + 1;
  char shorter[MAX_PATH];
  DWORD n = GetShortPathNameA(path, shorter, room < sizeof shorter ? room : sizeof shorter);
  if (n > 0 && n < room) CopyInto(path, shorter, room);
}

unsigned DateTimeText(double value, char* text, unsigned room) {
  if (room == 0) return 0;
  text[0] = 0;
  // A file time: 100 ns steps since 1601-01-01, where day 0 of a date value,
  // 1899-12-30, is day 109,205. Half a millisecond more, so that a time of
  // whole seconds does not come out a step short of its second: llrint
  // rounds as the processor does (to the nearest), one instruction where a
  // conversion that truncates changes the rounding mode and back.
  int64_t ticks = __builtin_llrint((value + 109205) * 864000000000.0 + 5000);
  FILETIME time = {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  SYSTEMTIME parts;
  wchar_t wide[128];
  enum { Half = sizeof wide / sizeof wide[0] / 2 };
  if (!FileTimeToSystemTime(&time, &parts)) return 0;
  int n = GetDateFormatW(LOCALE_USER_DEFAULT, DATE_LONGDATE, &parts, 0, wide, Half);
  if (n <= 0) return 0;
  wide[n - 1] = ' ';
  if (GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &parts, 0, wide + n, Half) <= 0) wide[n - 1] = 0;
  int m = WideCharToMultiByte(CP_UTF8, 0, wide, -1, text, static_cast<int>(room), 0, 0);
  if (m <= 0) {
    text[0] = 0;
    return 0;
  }
  return static_cast<unsigned>(m - 1);
}

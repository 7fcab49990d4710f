// The Win32 platform: each service of platform.h is the Win32 call of the
// same purpose with exactly the arguments the program needs. Paths arrive in
// UTF-8 and go to the wide calls in UTF-16 (wide.h).
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <shellapi.h>
#include "platform/platform.h"
#include "platform/win32/wide.h"
#include "Sfx/layout.h"
#include <shlobj.h>
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

void CommandLineText(char* buffer, unsigned room) {
  if (WideCharToMultiByte(CP_UTF8, 0, GetCommandLineW(), -1, buffer, static_cast<int>(room), 0, 0) <= 0) buffer[0] = 0;
}

// Wide text in the ANSI code page; false, with the empty text, when it does
// not fit or, when exact, a character had to be replaced.
static bool AnsiOfWide(const wchar_t* wide, char* ansi, unsigned room, bool exact) {
  BOOL lossy = FALSE;
  if (WideCharToMultiByte(CP_ACP, 0, wide, -1, ansi, static_cast<int>(room), 0, &lossy) > 0 && !(lossy && exact))
    return true;
  if (room > 0) ansi[0] = 0;
  return false;
}

bool Utf8ToAnsi(const char* utf8, char* ansi, unsigned room, bool exact) {
  return AnsiOfWide(Utf16Of(utf8, FirstText), ansi, room, exact);
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

uint32_t IdentityOf(FileHandle file) {
  BY_HANDLE_FILE_INFORMATION about;
  if (!GetFileInformationByHandle(file, &about)) return 0;
  return (about.dwVolumeSerialNumber * 31 + about.nFileIndexHigh) * 0x9E3779B1u ^ about.nFileIndexLow;
}

uint32_t FileIdentity(const char* path) {
  HANDLE file = CreateFileW(WidePath(path, FirstText), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0,
                            OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, 0);
  if (file == INVALID_HANDLE_VALUE) return 0;
  uint32_t identity = IdentityOf(file);
  CloseHandle(file);
  return identity;
}

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
unsigned MacroFolder(unsigned macro, char* buffer, unsigned room) {
  // The shell's numbers (CSIDL) of the macros from {pf} on.
  static const uint8_t known[] = {0x26, 0x2A, 0x1A, 0x1C, 0x23, 0x10, 0x05, 0x28};
  static wchar_t privateTemp[MAX_PATH];
  wchar_t* wide = FullPath;
  wide[0] = 0;
  if (macro == MacroTemp) {
    // GetTempFileName makes a file of a new name, and a folder of that name
    // takes its place: a folder that exists already, whoever made it, is
    // never taken (CreateDirectory fails then).
    if (privateTemp[0] == 0 &&
        !(GetTempPathW(MAX_PATH, wide) - 1 < MAX_PATH - 14 && GetTempFileNameW(wide, L"kvx", 0, privateTemp) != 0 &&
          DeleteFileW(privateTemp) && CreateDirectoryW(privateTemp, 0)))
      privateTemp[0] = 0;
    wide = privateTemp;
  } else if (macro >= MacroProgramFiles && macro < PathMacroCount) {
    // A 32-bit program is told the 32-bit Program Files; the native one is
    // named by ProgramW6432 on 64-bit Windows.
    DWORD n = macro == MacroProgramFiles ? GetEnvironmentVariableW(L"ProgramW6432", wide, MAX_PATH) : 0;
    if ((n == 0 || n >= MAX_PATH) && SHGetFolderPathW(0, known[macro - MacroProgramFiles], 0, 0, wide) != S_OK)
      wide[0] = 0;
  }
  if (!AnsiOfWide(wide, buffer, room, true)) return 0;
  return Length(buffer);
}

bool RemoveFolder(const char* path, bool onlyEmpty) {
  int n = IntoSlot(path, FirstText);
  wchar_t* wide = WideTexts[FirstText] + PrefixRoom;
  if (n <= 1) return false;
  if (onlyEmpty) return RemoveDirectoryW(wide) != 0;
  wide[n] = 0;  // the list of one path ends with a second NUL
  SHFILEOPSTRUCTW remove;
  ZeroMemory(&remove, sizeof remove);
  remove.wFunc = FO_DELETE;
  remove.pFrom = wide;
  remove.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_NOCONFIRMMKDIR;
  return SHFileOperationW(&remove) == 0;
}

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

// Takes the job's messages waiting at its port: false once the last process
// of the job has ended (or the port fails), true while one still runs.
static bool JobRunning(HANDLE port) {
  DWORD message;
  ULONG_PTR key;
  LPOVERLAPPED overlapped;
  while (GetQueuedCompletionStatus(port, &message, &key, &overlapped, 0))
    if (message == JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO) return false;
  return GetLastError() == WAIT_TIMEOUT;
}

bool StartAndWait(WindowHandle owner, const char* program, const char* parameters, const char* folder,
                  uint32_t* exitCode) {
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
  bool started = CreateProcessA(program, line, 0, 0, FALSE, CREATE_NEW_CONSOLE | CREATE_SUSPENDED | NORMAL_PRIORITY_CLASS,
                                0, folder, &startup, &process);
  if (started) {
    tracked = tracked && AssignProcessToJobObject(job, process.hProcess);
    ResumeThread(process.hThread);
    CloseHandle(process.hThread);
    // The wait dispatches the thread's messages, so that its windows
    // repaint and answer: a window that answers nothing for seconds is
    // shown as not responding, and a user who ends the program then keeps
    // its files. The owner is disabled meanwhile, so that nothing starts
    // a second pass or closes it under the wait. The program's handle is
    // waited on until it ends, then the job's port is looked at ten times
    // a second until its last process has ended.
    HWND shut = static_cast<HWND>(owner);
    EnableWindow(shut, FALSE);
    HANDLE running = process.hProcess;
    while (running != 0 || (tracked && JobRunning(port))) {
      // Woken by the program's end (with its handle in the list) or by a message.
      DWORD woke = MsgWaitForMultipleObjects(running != 0, &running, FALSE, running != 0 ? INFINITE : 100, QS_ALLINPUT);
      if (running != 0 && woke == WAIT_OBJECT_0) running = 0;
      MSG m;
      while (PeekMessageA(&m, 0, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
      }
    }
    EnableWindow(shut, TRUE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    *exitCode = code;
    CloseHandle(process.hProcess);
  }
  if (job != 0) CloseHandle(job);
  if (port != 0) CloseHandle(port);
  return started;
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

// The posix platform: the system services of platform.h on Linux that need
// no Windows of their own: files, folders, file times, code pages, texts,
// dates in US English. Paths are the program's own with "\" turned
// into "/". The services that answer for a Windows system (the own path,
// the Windows folders, drives and labels, message boxes, memory, writes,
// programs) are system.cpp's for the tools, and the host tests' scripted
// double's (tests/support/posix_scripted.cpp) for the tests.
#include "platform/platform.h"
#include "platform/posix/posix.h"
#include "SFXstrings/catalogue_table.h"
#include <dirent.h>
#include <errno.h>
#include <iconv.h>
#include <math.h>
#include <stdio.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <ftw.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace posix {
std::string AnsiCodePage;  // empty: CP1252
long NameLookups;
std::set<std::string> Undeletable;

std::string NativePath(const char* path) {
  std::string p(path);
  for (char& c : p)
    if (c == '\\') c = '/';
  return p;
}

unsigned CopyOut(const std::string& text, char* buffer, unsigned room) {
  if (room == 0 || text.size() + 1 > room) return 0;
  memcpy(buffer, text.c_str(), text.size() + 1);
  return static_cast<unsigned>(text.size());
}

namespace {
int FdOf(FileHandle file) { return static_cast<int>(reinterpret_cast<intptr_t>(file)); }
FileHandle HandleOf(int fd) { return fd < 0 ? NoFile : reinterpret_cast<FileHandle>(static_cast<intptr_t>(fd)); }

const int64_t EpochDifference = 11644473600LL;  // seconds from 1601 to 1970
}  // namespace

FileHandle OpenNative(const char* path) {
  ++NameLookups;
  // CreateFileA opens no folder without backup semantics; neither does this.
  struct stat st;
  if (stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return NoFile;
  return HandleOf(open(NativePath(path).c_str(), O_RDONLY));
}

uint32_t WriteNative(FileHandle file, const void* buffer, uint32_t count) {
  if (file == NoFile) return 0;
  uint32_t done = 0;
  while (done < count) {
    ssize_t n = write(FdOf(file), static_cast<const char*>(buffer) + done, count - done);
    if (n <= 0) break;
    done += static_cast<uint32_t>(n);
  }
  return done;
}
}  // namespace posix

using namespace posix;

void HardenDllSearch() {}

FileHandle CreateForWriting(const char* path) {
  ++NameLookups;
  std::string p = NativePath(path);
  struct stat st;
  if (stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return NoFile;
  return HandleOf(open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
}

FileHandle CreateNewFile(const char* path) {
  ++NameLookups;
  return HandleOf(open(NativePath(path).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644));
}

uint32_t ReadFromFile(FileHandle file, void* buffer, uint32_t count) {
  if (file == NoFile) return 0;
  uint32_t done = 0;
  while (done < count) {
    ssize_t n = read(FdOf(file), static_cast<char*>(buffer) + done, count - done);
    if (n <= 0) break;
    done += static_cast<uint32_t>(n);
  }
  return done;
}

uint32_t SetFilePosition(FileHandle file, int32_t distance, int method, bool* failed) {
  *failed = false;
  int whence = method == SeekFromBegin ? SEEK_SET : method == SeekFromCurrent ? SEEK_CUR : SEEK_END;
  // SetFilePointer without a high part takes the distance as unsigned from
  // the beginning, signed from elsewhere.
  off_t offset = method == SeekFromBegin ? static_cast<off_t>(static_cast<uint32_t>(distance)) : distance;
  off_t at = file == NoFile ? -1 : lseek(FdOf(file), offset, whence);
  if (at < 0) {
    *failed = true;
    return 0xFFFFFFFFu;
  }
  return static_cast<uint32_t>(at);
}

bool CloseFile(FileHandle file) { return file != NoFile && close(FdOf(file)) == 0; }

bool FindPath(const char* path, FoundFile* found) {
  ++NameLookups;
  std::string p = NativePath(path);
  struct stat st;
  std::string::size_type slash = p.rfind('/');
  std::string dir = slash == std::string::npos ? "." : p.substr(0, slash == 0 ? 1 : slash);
  std::string name = slash == std::string::npos ? p : p.substr(slash + 1);
  if (name.find_first_of("*?") == std::string::npos) {
    if (stat(p.c_str(), &st) != 0) return false;
  } else {
    // "*.*" matches every name, as on Windows, "." and ".." included.
    DIR* d = opendir(dir.c_str());
    if (d == 0) return false;
    bool any = false;
    while (dirent* e = readdir(d)) {
      if (name == "*.*" || name == "*" || fnmatch(name.c_str(), e->d_name, 0) == 0) {
        any = stat((dir + "/" + e->d_name).c_str(), &st) == 0;
        if (any) break;
      }
    }
    closedir(d);
    if (!any) return false;
  }
  if (found != 0) {
    // A symbolic link stands in for an 8.3 alias: a second name of a file
    // whose own name is another.
    struct stat link;
    found->otherName = false;
    if (lstat(p.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
      char target[4096];
      ssize_t n = readlink(p.c_str(), target, sizeof target - 1);
      std::string t = n > 0 ? std::string(target, static_cast<size_t>(n)) : std::string();
      std::string::size_type cut = t.rfind('/');
      found->otherName = strcasecmp((cut == std::string::npos ? t : t.substr(cut + 1)).c_str(), name.c_str()) != 0;
    }
    found->sizeLow = static_cast<uint32_t>(st.st_size);
    found->lastWriteTime = static_cast<uint64_t>(st.st_mtim.tv_sec + EpochDifference) * 10000000ULL +
                           static_cast<uint64_t>(st.st_mtim.tv_nsec / 100);
  }
  return true;
}

uint32_t FileAttributes(const char* path) {
  ++NameLookups;
  // A symbolic link is a reparse point, as on Windows, with the kind of
  // what it leads to.
  struct stat st;
  std::string native = NativePath(path);
  if (lstat(native.c_str(), &st) != 0) return NoAttributes;
  uint32_t link = S_ISLNK(st.st_mode) ? static_cast<uint32_t>(AttributeReparsePoint) : 0u;
  if (link != 0 && stat(native.c_str(), &st) != 0) return link | 0x80u;
  return link | (S_ISDIR(st.st_mode) ? static_cast<uint32_t>(AttributeDirectory) : 0x80u);  // FILE_ATTRIBUTE_NORMAL
}

bool CreateFolder(const char* path) {
  ++NameLookups;
  return mkdir(NativePath(path).c_str(), 0755) == 0;
}

bool ReplaceWith(const char* temporary, const char* path) {
  ++NameLookups;
  return rename(NativePath(temporary).c_str(), NativePath(path).c_str()) == 0;
}

const char NullDevice[] = "/dev/null";

static const char* AnsiName() { return AnsiCodePage.empty() ? "CP1252" : AnsiCodePage.c_str(); }

// What does not convert whole is cut where it failed: shown as far as it could.
bool AnsiToUtf8(const char* ansi, char* utf8, unsigned room) {
  iconv_t cd = iconv_open("UTF-8", AnsiName());
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  char* in = const_cast<char*>(ansi);
  size_t inLeft = strlen(ansi);
  char* out = utf8;
  size_t outLeft = room > 0 ? room - 1 : 0;
  bool whole = iconv(cd, &in, &inLeft, &out, &outLeft) != static_cast<size_t>(-1) && inLeft == 0;
  iconv_close(cd);
  if (room > 0) *out = 0;
  return whole && room > 0;
}

// Each name below the folder, the folder last; a link is removed as the
// link, never followed.
static int RemoveOne(const char* path, const struct stat*, int, struct FTW*) { return remove(path); }

bool RemoveFolder(const char* path, bool onlyEmpty) {
  ++NameLookups;
  std::string native = NativePath(path);
  if (onlyEmpty) return rmdir(native.c_str()) == 0;
  return nftw(native.c_str(), RemoveOne, 16, FTW_DEPTH | FTW_PHYS) == 0;
}

static uint32_t Identity(const struct stat& st) {
  return static_cast<uint32_t>((st.st_dev * 31 + (st.st_ino >> 32)) * 0x9E3779B1u ^ st.st_ino);
}

uint32_t IdentityOf(FileHandle file) {
  struct stat st;
  return fstat(FdOf(file), &st) == 0 ? Identity(st) : 0;
}

uint32_t FileIdentity(const char* path) {
  ++NameLookups;
  struct stat st;
  return lstat(NativePath(path).c_str(), &st) == 0 ? Identity(st) : 0;
}

// Length of the UTF-8 sequence at text, 0 when there is none there.
static size_t Utf8SequenceAt(const unsigned char* text, size_t left) {
  unsigned c = text[0];
  size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
  if (n == 0 || n > left) return 0;
  for (size_t k = 1; k < n; ++k)
    if ((text[k] & 0xC0) != 0x80) return 0;
  return n;
}

bool Utf8ToAnsi(const char* utf8, char* ansi, unsigned room, bool exact) {
  if (room == 0) return false;
  iconv_t cd = iconv_open(AnsiName(), "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    ansi[0] = 0;
    return false;
  }
  char* in = const_cast<char*>(utf8);
  size_t inLeft = strlen(utf8);
  char* out = ansi;
  size_t outLeft = room - 1;
  bool whole = true;
  while (inLeft > 0 && whole) {
    if (iconv(cd, &in, &inLeft, &out, &outLeft) != static_cast<size_t>(-1)) break;
    if (errno == E2BIG || outLeft == 0 || exact) {
      whole = false;
      break;
    }
    // A character outside the code page becomes "?", as Windows writes it
    // where it has no best fit; a byte that begins no UTF-8 sequence stays.
    size_t n = Utf8SequenceAt(reinterpret_cast<unsigned char*>(in), inLeft);
    *out++ = n == 0 ? *in : '?';
    --outLeft;
    in += n == 0 ? 1 : n;
    inLeft -= n == 0 ? 1 : n;
  }
  iconv_close(cd);
  *out = 0;
  if (!whole) ansi[0] = 0;
  return whole;
}

bool DeleteFileAt(const char* path) {
  ++NameLookups;
  std::string native = NativePath(path);
  if (Undeletable.count(native) != 0) return false;
  return unlink(native.c_str()) == 0;
}

unsigned CurrentFolder(char* buffer, unsigned room) {
  char here[4096];
  if (getcwd(here, sizeof here) == 0) return 0;
  return CopyOut(here, buffer, room);
}
bool SetCurrentFolder(const char* path) { return chdir(NativePath(path).c_str()) == 0; }

static bool DosToLocalTm(uint16_t date, uint16_t time, struct tm* t) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int year = (date >> 9) + 1980, month = (date >> 5) & 15, day = date & 31;
  int hour = time >> 11, minute = (time >> 5) & 63, second = (time & 31) * 2;
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (month < 1 || month > 12 || day < 1) return false;
  if (day > days[month - 1] + (month == 2 && leap ? 1 : 0)) return false;
  if (hour > 23 || minute > 59 || second > 59) return false;
  memset(t, 0, sizeof *t);
  t->tm_year = year - 1900;
  t->tm_mon = month - 1;
  t->tm_mday = day;
  t->tm_hour = hour;
  t->tm_min = minute;
  t->tm_sec = second;
  t->tm_isdst = -1;
  return true;
}

bool SetLastWriteFromDos(FileHandle file, uint16_t dosDate, uint16_t dosTime) {
  struct tm t;
  if (!DosToLocalTm(dosDate, dosTime, &t)) return false;
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = mktime(&t);
  times[1].tv_nsec = 0;
  return futimens(FdOf(file), times) == 0;
}

uint32_t FileTimeToLocalDos(uint64_t fileTime) {
  time_t seconds = static_cast<time_t>(fileTime / 10000000ULL) - static_cast<time_t>(EpochDifference);
  struct tm t;
  localtime_r(&seconds, &t);
  if (t.tm_year < 80) return (0u << 25) | (1u << 21) | (1u << 16);  // before 1980: 1980-01-01
  uint32_t date = static_cast<uint32_t>(((t.tm_year - 80) << 9) | ((t.tm_mon + 1) << 5) | t.tm_mday);
  uint32_t time = static_cast<uint32_t>((t.tm_hour << 11) | (t.tm_min << 5) | (t.tm_sec / 2));
  return (date << 16) | time;
}

unsigned LoadCatalogueText(unsigned id, char* buffer, unsigned room) {
  if (const char* found = CatalogueTextOf(id)) {
    std::string text(found);
    if (text.size() >= room) text.resize(room - 1);
    return CopyOut(text, buffer, room);
  }
  if (room > 0) buffer[0] = 0;
  return 0;
}

void ReleaseBlock(void* block) { free(block); }

// Linux has no short names: every path stays as it is.
void ShortenPath(char*) {}

// --- Dates: the long date and time of US English -------------------------

// Windows' formats for that locale, "dddd, MMMM d, yyyy" and "h:mm:ss tt".
unsigned DateTimeText(double value, char* text, unsigned room) {
  static const char* const weekdays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                         "Thursday", "Friday", "Saturday"};
  static const char* const months[] = {"January", "February", "March",     "April",   "May",      "June",
                                       "July",    "August",   "September", "October", "November", "December"};
  if (room > 0) text[0] = 0;
  // Whole seconds since 1970-01-01 (day 25,569 of a date value), rounded.
  time_t seconds = static_cast<time_t>(llround((value - 25569) * 86400));
  struct tm t;
  if (gmtime_r(&seconds, &t) == 0) return 0;
  int hour = t.tm_hour % 12 == 0 ? 12 : t.tm_hour % 12;
  char line[128];
  snprintf(line, sizeof line, "%s, %s %d, %d %d:%02d:%02d %s", weekdays[t.tm_wday], months[t.tm_mon], t.tm_mday,
           t.tm_year + 1900, hour, t.tm_min, t.tm_sec, t.tm_hour < 12 ? "AM" : "PM");
  return CopyOut(line, text, room);
}

// Gathering files and folders, and the name checks (inputs.h). The checks are
// the stub's own (archive/names.h) plus what a name must be before it gets
// there: UTF-8, "/" separators, at most 255 bytes.
#include "tools/mksfx/inputs.h"
#include <algorithm>
#include <chrono>
#include <ctime>
#include <set>
#include "archive/names.h"
#include "archive/zip_format.h"
#include "support/paths.h"
#include "support/utf8.h"
#include "tools/mksfx/common.h"
#include "tools/mksfx/file_io.h"
#include "tools/mksfx/glob.h"
#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#endif

namespace fs = std::filesystem;

namespace mksfx {

std::string NameProblem(const std::string& name) {
  if (name.empty()) return "is empty";
  if (!IsUtf8(name)) return "is not UTF-8";
  if (name.size() > 65535) return "is longer than a ZIP name can be (65,535 bytes)";
  if (Utf16Units(name.data(), name.data() + name.size()) > MaxPathUnits - 8)
    return "is longer than a Windows path can be below a destination";
  for (size_t at = 0;;) {
    size_t slash = name.find('/', at);
    size_t end = slash == std::string::npos ? name.size() : slash;
    if (Utf16Units(name.data() + at, name.data() + end) > MaxPartUnits)
      return "has a part longer than Windows takes (255 UTF-16 units)";
    if (slash == std::string::npos) break;
    at = slash + 1;
  }
  if (name.find('\\') != std::string::npos) return "holds a backslash, which Windows takes as a separator";
  if (name.find('\0') != std::string::npos) return "holds a NUL byte";
  std::string plain = name;
  if (!NameIsSafe(plain.c_str())) {
    if (name[0] == '/') return "is absolute and would leave the destination";
    for (size_t at = 0;;) {
      size_t slash = name.find('/', at);
      std::string part = name.substr(at, slash == std::string::npos ? std::string::npos : slash - at);
      if (part.find_first_not_of(". ") == std::string::npos && std::count(part.begin(), part.end(), '.') >= 2)
        return "would leave the destination";
      if (slash == std::string::npos) break;
      at = slash + 1;
    }
    // A part that ends in a dot or a blank is the name rule's (collisions.h),
    // which names its twin too where there is one.
    for (size_t at = 0;;) {
      size_t slash = name.find('/', at);
      size_t end = slash == std::string::npos ? name.size() : slash;
      if (end > at && (name[end - 1] == '.' || name[end - 1] == ' ')) return "";
      if (slash == std::string::npos) break;
      at = slash + 1;
    }
    return "is a name Windows refuses (a device name, a wildcard, \":\", a control character, or a character "
           "that could stand for a separator or a dot)";
  }
  // A name that is only a folder's trailing "/" away from empty parts.
  if (name.find("//") != std::string::npos) return "has an empty folder part";
  return "";
}

uint16_t NameFlags(const std::string& name) {
  for (unsigned char c : name)
    if (c >= 0x80) return FlagUtf8Name;
  return 0;
}

uint32_t DosDateTime(int64_t seconds) {
  seconds += seconds & 1;  // DOS keeps even seconds; round up, as Info-ZIP does
  std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
#ifdef _WIN32
  if (localtime_s(&tm, &t) != 0) return (1u << 21) | (1u << 16);
#else
  if (localtime_r(&t, &tm) == nullptr) return (1u << 21) | (1u << 16);
#endif
  if (tm.tm_year < 80) return (1u << 21) | (1u << 16);  // 1980-01-01 00:00:00
  if (tm.tm_year > 207) {  // 2107-12-31 23:59:58, the last DOS moment
    tm.tm_year = 207;
    tm.tm_mon = 11;
    tm.tm_mday = 31;
    tm.tm_hour = 23;
    tm.tm_min = tm.tm_sec = 59;
  }
  uint32_t date = static_cast<uint32_t>(((tm.tm_year - 80) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
  uint32_t time = static_cast<uint32_t>((tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
  return date << 16 | time;
}

uint32_t DosDateTimeOf(const fs::path& path) {
  // "C:\src\" (a folder named with its separator) is asked as "C:\src":
  // Windows' time query takes no trailing separator.
  fs::path named = !path.has_filename() && path.has_parent_path() ? path.parent_path() : path;
  auto when = std::chrono::file_clock::to_sys(fs::last_write_time(named));
  return DosDateTime(std::chrono::duration_cast<std::chrono::seconds>(when.time_since_epoch()).count());
}

namespace {

// The path's UTF-8 bytes, "/" separators when generic.
std::string Utf8(const fs::path& path, bool generic = false) {
  std::u8string s = generic ? path.generic_u8string() : path.u8string();
  return std::string(s.begin(), s.end());
}

// What one look at a path tells (links followed): one stat on Linux,
// where a tree of many small files pays for every call.
struct Facts {
  bool folder = false, file = false;
  uint64_t size = 0;
  uint32_t dosDateTime = 0;
  FileId id;
};

bool Look(const fs::path& path, Facts& f, std::string& why) {
#ifdef _WIN32
  std::error_code ec;
  fs::file_status st = fs::status(path, ec);
  if (ec || !fs::exists(st)) {
    why = ec ? ec.message() : "no such file or folder";
    return false;
  }
  f.folder = fs::is_directory(st);
  f.file = fs::is_regular_file(st);
  if (f.file) {
    f.size = fs::file_size(path, ec);
    if (ec) {
      why = ec.message();
      return false;
    }
  }
  if (f.folder || f.file) f.dosDateTime = DosDateTimeOf(path);
  f.id = IdOf(path);
#else
  struct stat st;
  if (stat(path.c_str(), &st) != 0) {
    why = std::strerror(errno);
    return false;
  }
  f.folder = S_ISDIR(st.st_mode);
  f.file = S_ISREG(st.st_mode);
  f.size = static_cast<uint64_t>(st.st_size);
  f.dosDateTime = DosDateTime(static_cast<int64_t>(st.st_mtime));
  f.id.device = static_cast<uint64_t>(st.st_dev);
  f.id.index = static_cast<uint64_t>(st.st_ino);
  f.id.exists = true;
#endif
  return true;
}

bool Readable(const fs::path& path, std::string& why) {
#ifdef _WIN32
  InputFile probe;
  return probe.Open(path, why);
#else
  // As the effective user opens it.
  if (faccessat(AT_FDCWD, path.c_str(), R_OK, AT_EACCESS) == 0) return true;
  why = std::strerror(errno);
  return false;
#endif
}

struct Gatherer {
  const GatherSettings& settings;
  Gathered out;
  std::set<fs::path> folders;  // canonical paths being recursed, against loops

  void Add(InputItem item) {
    std::string problem = NameProblem(item.name);
    if (!problem.empty()) throw Failure("'" + item.name + "' " + problem);
    out.items.push_back(std::move(item));
  }

  // An input that cannot be read: the end of the run, or a warning.
  void Unreadable(const std::string& what) {
    if (!settings.skipUnreadable) throw Failure(what);
    out.skipped.push_back(what);
  }

  void Folder(const fs::path& path, const std::string& prefix) {
    std::error_code ec;
    fs::path canonical = fs::canonical(path, ec);
    if (ec) return Unreadable("cannot read " + path.string() + ": " + ec.message());
    if (!folders.insert(canonical).second) throw Failure(path.string() + " holds a link back to a folder above it");
    std::vector<std::pair<std::string, fs::path>> children;
    // The current folder's children without "./" in front, in messages too.
    for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec))
      children.emplace_back(Utf8(it->path().filename()), path == "." ? it->path().filename() : it->path());
    if (ec) {
      folders.erase(canonical);
      return Unreadable("cannot read " + path.string() + ": " + ec.message());
    }
    std::sort(children.begin(), children.end());
    for (const auto& [name, child] : children) Item(child, prefix + name);
    folders.erase(canonical);
  }

  // One file or folder; name is its entry name ("" for the base itself),
  // named when it is an input as given.
  void Item(const fs::path& path, const std::string& name, bool named = false) {
    Facts f;
    std::string why;
    if (!Look(path, f, why)) {
      // A link to nowhere says where it points.
      std::error_code lec;
      if (fs::is_symlink(fs::symlink_status(path, lec))) {
        fs::path target = fs::read_symlink(path, lec);
        if (!lec) why += " (a link to " + target.string() + ")";
      }
      return Unreadable("cannot read " + path.string() + ": " + why);
    }
    if (!name.empty() && Excluded(f.folder ? name + "/" : name, settings.excludes, settings.caseless)) return;
    if (f.folder) {
      if (!name.empty()) {
        InputItem entry;
        entry.name = name + "/";
        entry.path = path;
        entry.folder = true;
        entry.named = named;
        entry.dosDateTime = f.dosDateTime;
        entry.id = f.id;
        Add(entry);
      }
      Folder(path, name.empty() ? "" : name + "/");
      return;
    }
    if (!f.file) return Unreadable(path.string() + " is neither a file nor a folder");
    // Read access is looked at here, so that a file that cannot be read is
    // told before anything is written.
    if (!Readable(path, why)) return Unreadable("cannot read " + path.string() + ": " + why);
    InputItem file;
    file.name = name;
    file.path = path;
    file.named = named;
    file.size = f.size;
    file.dosDateTime = f.dosDateTime;
    file.id = f.id;
    Add(file);
  }
};

}  // namespace

std::string EntryNameOf(const fs::path& input, std::vector<std::string>& stripped) {
  fs::path normal = input.lexically_normal();
  auto note = [&](const std::string& part) {
    std::string quoted = "'" + part + "'";
    if (std::find(stripped.begin(), stripped.end(), quoted) == stripped.end()) stripped.push_back(quoted);
  };
  if (normal.has_root_path()) note(normal.root_path().string());
  fs::path rest;
  bool leading = true;
  for (const fs::path& part : normal.relative_path()) {
    if (leading && part == "..") {
      note(std::string("..") + static_cast<char>(fs::path::preferred_separator));
      continue;
    }
    leading = false;
    rest /= part;
  }
  std::string name = Utf8(rest, true);
  while (!name.empty() && name.back() == '/') name.pop_back();
  if (name == ".") name.clear();
  return name;
}

Gathered GatherInputs(const std::vector<std::string>& inputs, const GatherSettings& settings) {
  Gatherer g{settings, {}, {}};
  for (const std::string& input : inputs) {
    fs::path given(input);
    // "." and a climb that ends where it started add a folder's contents
    // without the folder.
    std::string name = EntryNameOf(given, g.out.stripped);
    fs::path where = given.is_absolute() || given.has_root_name() || settings.base.empty() ? given : settings.base / given;
    g.Item(where.lexically_normal(), name, true);
  }
  return std::move(g.out);
}

}  // namespace mksfx

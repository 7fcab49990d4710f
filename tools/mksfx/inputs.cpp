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
#include "tools/mksfx/common.h"

namespace fs = std::filesystem;

namespace mksfx {

std::string NameProblem(const std::string& name) {
  if (name.empty()) return "is empty";
  if (!IsUtf8(name)) return "is not UTF-8";
  if (name.size() >= TextBufferSize) return "is longer than 255 bytes";
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
    return "is a name Windows refuses (a device name, a wildcard, \":\" or a control character)";
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
  auto when = std::chrono::file_clock::to_sys(fs::last_write_time(path));
  return DosDateTime(std::chrono::duration_cast<std::chrono::seconds>(when.time_since_epoch()).count());
}

namespace {

// The path's UTF-8 bytes, "/" separators when generic.
std::string Utf8(const fs::path& path, bool generic = false) {
  std::u8string s = generic ? path.generic_u8string() : path.u8string();
  return std::string(s.begin(), s.end());
}

struct Gatherer {
  std::vector<InputItem> items;
  std::set<fs::path> folders;  // canonical paths being recursed, against loops

  void Add(InputItem item) {
    std::string problem = NameProblem(item.name);
    if (!problem.empty()) throw Failure("'" + item.name + "' " + problem);
    items.push_back(std::move(item));
  }

  void Folder(const fs::path& path, const std::string& prefix) {
    std::error_code ec;
    fs::path canonical = fs::canonical(path, ec);
    if (ec) throw Failure("cannot read " + path.string() + ": " + ec.message());
    if (!folders.insert(canonical).second) throw Failure(path.string() + " holds a link back to a folder above it");
    std::vector<std::pair<std::string, fs::path>> children;
    for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec))
      children.emplace_back(Utf8(it->path().filename()), it->path());
    if (ec) throw Failure("cannot read " + path.string() + ": " + ec.message());
    std::sort(children.begin(), children.end());
    for (const auto& [name, child] : children) Item(child, prefix + name);
    folders.erase(canonical);
  }

  // One file or folder; name is its entry name ("" for the base itself),
  // named when it is an input as given.
  void Item(const fs::path& path, const std::string& name, bool named = false) {
    std::error_code ec;
    fs::file_status st = fs::status(path, ec);
    if (ec || !fs::exists(st)) throw Failure("cannot read " + path.string() + ": " + (ec ? ec.message() : "no such file or folder"));
    if (fs::is_directory(st)) {
      if (!name.empty()) {
        InputItem folder;
        folder.name = name + "/";
        folder.path = path;
        folder.folder = true;
        folder.named = named;
        folder.dosDateTime = DosDateTimeOf(path);
        Add(folder);
      }
      Folder(path, name.empty() ? "" : name + "/");
      return;
    }
    if (!fs::is_regular_file(st)) throw Failure(path.string() + " is neither a file nor a folder");
    InputItem file;
    file.name = name;
    file.path = path;
    file.named = named;
    file.size = fs::file_size(path, ec);
    if (ec) throw Failure("cannot read " + path.string() + ": " + ec.message());
    if (file.size > 0xFFFFFFFFu) throw Failure("'" + name + "' is 4 GiB or larger, which needs Zip64");
    file.dosDateTime = DosDateTimeOf(path);
    Add(file);
  }
};

}  // namespace

std::vector<InputItem> GatherInputs(const std::vector<std::string>& inputs, const fs::path& base) {
  Gatherer g;
  for (const std::string& input : inputs) {
    fs::path given(input);
    // The entry name is the input as given, tidied: "./a//b/" is "a/b"; "."
    // adds a folder's contents without the folder.
    std::string name = Utf8(given.lexically_normal(), true);
    while (!name.empty() && name.back() == '/' && name != "/") name.pop_back();
    if (name == ".") name.clear();
    if (given.has_root_path() || name == ".." || name.rfind("../", 0) == 0)
      throw Failure("'" + input + "' would leave the destination; name it relative to the current folder or -C");
    g.Item(given.is_absolute() || base.empty() ? given : base / given, name, true);
  }
  return g.items;
}

}  // namespace mksfx

// Names that are one file on Windows (collisions.h). Every name is folded
// once into a key; files and folders are kept in two maps of keys, each
// with the first entry that made it, so one pass in archive order finds the
// clashes with earlier entries.
#include "tools/mksfx/collisions.h"
#include <map>
#include "tools/mksfx/common.h"

namespace mksfx {

namespace {

// The lower-case letters of a range and how they become upper case: every
// code point of the range shifted by delta, or (delta 0) pairs of upper and
// lower case from first on, the lower one second.
struct CaseRange {
  uint32_t first, last;
  int32_t delta;
};

const CaseRange LowerRanges[] = {
    {0x0061, 0x007A, -32},  {0x00E0, 0x00F6, -32},  {0x00F8, 0x00FE, -32},  {0x00FF, 0x00FF, 0x0178 - 0x00FF},
    {0x0100, 0x012F, 0},    {0x0132, 0x0137, 0},    {0x0139, 0x0148, 0},    {0x014A, 0x0177, 0},
    {0x0179, 0x017E, 0},    {0x0182, 0x0185, 0},    {0x01CD, 0x01DC, 0},    {0x01DE, 0x01EF, 0},
    {0x01F8, 0x021F, 0},    {0x0222, 0x0233, 0},    {0x0246, 0x024F, 0},    {0x03AC, 0x03AC, 0x0386 - 0x03AC},
    {0x03AD, 0x03AF, -37},  {0x03B1, 0x03C1, -32},  {0x03C2, 0x03C2, 0x03A3 - 0x03C2}, {0x03C3, 0x03CB, -32},
    {0x03CC, 0x03CC, -64},  {0x03CD, 0x03CE, -63},  {0x03D8, 0x03EF, 0},    {0x0430, 0x044F, -32},
    {0x0450, 0x045F, -80},  {0x0460, 0x0481, 0},    {0x048A, 0x04BF, 0},    {0x04C1, 0x04CE, 0},
    {0x04D0, 0x052F, 0},    {0x0561, 0x0586, -48},  {0x1E00, 0x1E95, 0},    {0x1EA0, 0x1EFF, 0},
    {0x2170, 0x217F, -16},  {0x24D0, 0x24E9, -26},  {0xFF41, 0xFF5A, -32},
};

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

std::vector<std::string> Parts(const std::string& name) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : name) {
    if (!IsSeparator(c)) {
      part += c;
    } else if (!part.empty()) {
      parts.push_back(part);
      part.clear();
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

std::string FoldPart(const std::string& part) {
  size_t end = part.find_last_not_of(". ");
  std::string kept = end == std::string::npos ? std::string() : part.substr(0, end + 1), folded;
  for (size_t i = 0; i < kept.size();) {
    uint32_t cp;
    size_t n = DecodeUtf8(kept, i, cp);
    if (n == 0) {
      folded += kept[i++];  // not UTF-8: the byte as it is
      continue;
    }
    uint32_t upper = UpperCase(cp);
    if (upper == cp) folded.append(kept, i, n);
    else AppendUtf8(folded, upper);
    i += n;
  }
  return folded;
}

// What Windows would change in the part, or "".
std::string PartFault(const std::string& part) {
  if (part.find_first_not_of(". ") == std::string::npos) return "of only dots and blanks ('" + part + "'), which Windows cannot keep";
  if (part.back() == '.') return "that ends in a dot ('" + part + "'), which Windows drops";
  if (part.back() == ' ') return "that ends in a blank ('" + part + "'), which Windows drops";
  return "";
}

std::string Quoted(const std::string& name) { return "'" + name + "'"; }

// The first entry whose path made a folder, and whether it is that folder's
// own entry or a path below it.
struct FolderOrigin {
  size_t entry;
  std::string spelled;  // the folder as that entry spells it, with "/"
  bool own;
};

}  // namespace

uint32_t UpperCase(uint32_t cp) {
  for (const CaseRange& r : LowerRanges) {
    if (cp < r.first) break;  // the ranges are in order
    if (cp > r.last) continue;
    if (r.delta != 0) return static_cast<uint32_t>(static_cast<int32_t>(cp) + r.delta);
    return (cp - r.first) % 2 == 1 ? cp - 1 : cp;
  }
  return cp;
}

std::string FoldedName(const std::string& name) {
  std::string key;
  for (const std::string& part : Parts(name)) key += (key.empty() ? "" : "/") + FoldPart(part);
  return key;
}

std::vector<NameClash> FindNameClashes(const std::vector<std::string>& names) {
  std::vector<NameClash> clashes;
  std::map<std::string, size_t> exact, files;
  std::map<std::string, FolderOrigin> folders;
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string& name = names[i];
    auto given = exact.emplace(name, i);
    if (!given.second) {
      clashes.push_back({i, given.first->second, Quoted(name) + " is given twice"});
      continue;
    }
    std::vector<std::string> parts = Parts(name);
    bool folder = !name.empty() && IsSeparator(name.back());
    NameClash clash{i, NoEntry, ""};
    std::string key, spelled;
    for (size_t k = 0; k < parts.size(); ++k) {
      key += (k == 0 ? "" : "/") + FoldPart(parts[k]);
      spelled += parts[k] + "/";
      bool last = k + 1 == parts.size();
      if (!last || folder) {
        // A folder, the entry's own or one its path needs.
        auto file = files.find(key);
        if (file != files.end() && clash.text.empty()) {
          clash.other = file->second;
          clash.text = Quoted(names[file->second]) + " is a file and " + Quoted(last ? name : spelled) +
                       " a folder of one name on Windows" + (last ? "" : " (for " + Quoted(name) + ")");
        }
        folders.emplace(key, FolderOrigin{i, spelled, last});
        continue;
      }
      auto file = files.find(key);
      auto other = folders.find(key);
      if (clash.text.empty() && file != files.end()) {
        clash.other = file->second;
        clash.text = Quoted(names[file->second]) + " and " + Quoted(name) +
                     " are one name on Windows, which ignores case and the dots and blanks that end a part";
      } else if (clash.text.empty() && other != folders.end()) {
        const FolderOrigin& o = other->second;
        clash.other = o.entry;
        clash.text = (o.own ? Quoted(names[o.entry]) : Quoted(o.spelled) + " (for " + Quoted(names[o.entry]) + ")") +
                     " is a folder and " + Quoted(name) + " a file of one name on Windows";
      }
      files.emplace(key, i);
    }
    for (size_t k = 0; k < parts.size() && clash.text.empty(); ++k) {
      std::string fault = PartFault(parts[k]);
      if (!fault.empty()) clash.text = Quoted(name) + " has a part " + fault;
    }
    if (!clash.text.empty()) clashes.push_back(clash);
  }
  return clashes;
}

}  // namespace mksfx

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
// lower case from first on, the lower one second. The ranges are those of
// the up-case table that Microsoft publishes for exFAT (its
// recommended table, Windows' own comparison of names), in order.
struct CaseRange {
  uint32_t first, last;
  int32_t delta;
};

const CaseRange LowerRanges[] = {
    {0x0061, 0x007A, -32}, {0x00E0, 0x00F6, -32}, {0x00F8, 0x00FE, -32}, {0x00FF, 0x00FF, 121},
    {0x0100, 0x012F, 0}, {0x0132, 0x0137, 0}, {0x0139, 0x0148, 0}, {0x014A, 0x0177, 0}, {0x0179, 0x017E, 0},
    {0x0180, 0x0180, 195}, {0x0182, 0x0185, 0}, {0x0187, 0x0188, 0}, {0x018B, 0x018C, 0}, {0x0191, 0x0192, 0},
    {0x0195, 0x0195, 97}, {0x0198, 0x0199, 0}, {0x019A, 0x019A, 163}, {0x019E, 0x019E, 130}, {0x01A0, 0x01A5, 0},
    {0x01A7, 0x01A8, 0}, {0x01AC, 0x01AD, 0}, {0x01AF, 0x01B0, 0}, {0x01B3, 0x01B6, 0}, {0x01B8, 0x01B9, 0},
    {0x01BC, 0x01BD, 0}, {0x01BF, 0x01BF, 56}, {0x01C6, 0x01C6, -2}, {0x01C9, 0x01C9, -2}, {0x01CC, 0x01CC, -2},
    {0x01CD, 0x01DC, 0}, {0x01DD, 0x01DD, -79}, {0x01DE, 0x01EF, 0}, {0x01F3, 0x01F3, -2}, {0x01F4, 0x01F5, 0},
    {0x01F8, 0x021F, 0}, {0x0222, 0x0233, 0}, {0x023A, 0x023A, 10795}, {0x023B, 0x023C, 0},
    {0x023E, 0x023E, 10792}, {0x0241, 0x0242, 0}, {0x0246, 0x024F, 0}, {0x0253, 0x0253, -210},
    {0x0254, 0x0254, -206}, {0x0256, 0x0257, -205}, {0x0259, 0x0259, -202}, {0x025B, 0x025B, -203},
    {0x0260, 0x0260, -205}, {0x0263, 0x0263, -207}, {0x0268, 0x0268, -209}, {0x0269, 0x0269, -211},
    {0x026B, 0x026B, 10743}, {0x026F, 0x026F, -211}, {0x0272, 0x0272, -213}, {0x0275, 0x0275, -214},
    {0x027D, 0x027D, 10727}, {0x0280, 0x0280, -218}, {0x0283, 0x0283, -218}, {0x0288, 0x0288, -218},
    {0x0289, 0x0289, -69}, {0x028A, 0x028B, -217}, {0x028C, 0x028C, -71}, {0x0292, 0x0292, -219},
    {0x037B, 0x037D, 130}, {0x03AC, 0x03AC, -38}, {0x03AD, 0x03AF, -37}, {0x03B1, 0x03C1, -32},
    {0x03C2, 0x03C2, -31}, {0x03C3, 0x03CB, -32}, {0x03CC, 0x03CC, -64}, {0x03CD, 0x03CE, -63},
    {0x03D8, 0x03EF, 0}, {0x03F2, 0x03F2, 7}, {0x03F7, 0x03F8, 0}, {0x03FA, 0x03FB, 0}, {0x0430, 0x044F, -32},
    {0x0450, 0x045F, -80}, {0x0460, 0x0481, 0}, {0x048A, 0x04BF, 0}, {0x04C1, 0x04CE, 0}, {0x04CF, 0x04CF, -15},
    {0x04D0, 0x0513, 0}, {0x0561, 0x0586, -48}, {0x1D7D, 0x1D7D, 3814}, {0x1E00, 0x1E95, 0}, {0x1EA0, 0x1EF9, 0},
    {0x1F00, 0x1F07, 8}, {0x1F10, 0x1F15, 8}, {0x1F20, 0x1F27, 8}, {0x1F30, 0x1F37, 8}, {0x1F40, 0x1F45, 8},
    {0x1F51, 0x1F51, 8}, {0x1F53, 0x1F53, 8}, {0x1F55, 0x1F55, 8}, {0x1F57, 0x1F57, 8}, {0x1F60, 0x1F67, 8},
    {0x1F70, 0x1F71, 74}, {0x1F72, 0x1F75, 86}, {0x1F76, 0x1F77, 100}, {0x1F78, 0x1F79, 128},
    {0x1F7A, 0x1F7B, 112}, {0x1F7C, 0x1F7D, 126}, {0x1F80, 0x1F87, 8}, {0x1F90, 0x1F97, 8}, {0x1FA0, 0x1FA7, 8},
    {0x1FB0, 0x1FB1, 8}, {0x1FB3, 0x1FB3, 9}, {0x1FCC, 0x1FCC, -9}, {0x1FD0, 0x1FD1, 8}, {0x1FE0, 0x1FE1, 8},
    {0x1FE5, 0x1FE5, 7}, {0x1FFC, 0x1FFC, -9}, {0x214E, 0x214E, -28}, {0x2170, 0x217F, -16}, {0x2183, 0x2184, 0},
    {0x24D0, 0x24E9, -26}, {0x2C30, 0x2C5E, -48}, {0x2C60, 0x2C61, 0}, {0x2C67, 0x2C6C, 0}, {0x2C75, 0x2C76, 0},
    {0x2C80, 0x2CE3, 0}, {0x2D00, 0x2D25, -7264}, {0xFF41, 0xFF5A, -32},
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

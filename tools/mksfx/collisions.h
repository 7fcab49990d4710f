// Entry names that are one file on Windows. Windows compares names without
// case and drops the dots and blanks that end each part, so "Notes.txt" and
// "notes.txt", or "b.txt" and "b.txt.", are one file there, and a file "X"
// and a folder "x/" cannot both exist: the stub would keep one of two files.
// The rule is one function over the names in archive order, for create
// (which refuses such sets) and for list and test (which report them).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace mksfx {

inline constexpr size_t NoEntry = static_cast<size_t>(-1);

struct NameClash {
  size_t entry;      // the entry at fault, as an index into the names
  size_t other;      // the earlier entry it is one name with; NoEntry for a part of its own
  std::string text;  // what is wrong, naming both entries
};

// The entries (UTF-8 names in archive order, "/" or "\" separators, folders
// ending in one) that Windows would not keep apart from an earlier entry:
// the same name given twice, names that fold to one, a file and a folder of
// one name (the folder an entry of its own or one that a path needs); and
// the entries with a part that Windows would change: one that ends in a dot
// or blank, or is only dots and blanks. At most one clash per entry, in the
// order of the entries; a clash with an earlier entry is told before a fault
// of the entry's own.
std::vector<NameClash> FindNameClashes(const std::vector<std::string>& names);

// The name as Windows compares it: each part without the dots and blanks
// that end it and upper-cased (UpperCase), empty parts dropped, joined by
// "/"; bytes that are not UTF-8 stay as they are.
std::string FoldedName(const std::string& name);

// A code point upper-cased as Windows compares names: by the up-case table
// that Microsoft publishes for exFAT (Latin, Greek, Cyrillic,
// Armenian, Georgian, Glagolitic, Coptic, circled and fullwidth letters, in
// the Basic Multilingual Plane). No letter beyond ASCII becomes an ASCII one
// (the dotless i, the long s and the micro sign stay), and code points past
// the plane are their own upper case.
uint32_t UpperCase(uint32_t cp);

}  // namespace mksfx

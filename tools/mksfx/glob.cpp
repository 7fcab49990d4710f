// Shell patterns (glob.h), matched over code points with one step back to
// the last "*": it matches "/" too, so one point to return to is enough.
#include "tools/mksfx/glob.h"
#include <algorithm>
#include <cstdint>
#include "tools/mksfx/collisions.h"
#include "tools/mksfx/common.h"

namespace fs = std::filesystem;

namespace mksfx {

namespace {

// The text's characters; a byte that is not UTF-8 stands for itself,
// apart from every code point.
std::vector<uint32_t> CodePoints(const std::string& text) {
  std::vector<uint32_t> out;
  for (size_t i = 0; i < text.size();) {
    uint32_t cp;
    size_t n = DecodeUtf8(text, i, cp);
    if (n == 0) {
      out.push_back(0x110000u + static_cast<unsigned char>(text[i]));
      ++i;
    } else {
      out.push_back(cp);
      i += n;
    }
  }
  return out;
}

struct Matcher {
  const std::vector<uint32_t>& p;
  bool caseless, windows;

  uint32_t Fold(uint32_t c) const { return caseless && c < 0x110000u ? UpperCase(c) : c; }
  bool Same(uint32_t a, uint32_t b) const { return a == b || Fold(a) == Fold(b); }

  // A bracket expression at p[at] ("[" there); true when c is in it. end
  // is set past its "]"; false with end = at when it is not closed (then
  // "[" is an ordinary character).
  bool Bracket(size_t at, uint32_t c, size_t& end) const {
    size_t i = at + 1;
    bool negate = i < p.size() && (p[i] == '!' || p[i] == '^');
    if (negate) ++i;
    bool found = false;
    for (bool first = true; i < p.size() && (first || p[i] != ']'); first = false) {
      uint32_t lo = p[i];
      if (lo == '\\' && i + 1 < p.size()) lo = p[++i];
      uint32_t hi = lo;
      if (i + 2 < p.size() && p[i + 1] == '-' && p[i + 2] != ']') {
        hi = p[i + 2];
        if (hi == '\\' && i + 3 < p.size()) hi = p[i + 3], ++i;
        i += 2;
      }
      ++i;
      if ((c >= lo && c <= hi) || (Fold(c) >= Fold(lo) && Fold(c) <= Fold(hi))) found = true;
    }
    if (i >= p.size()) {
      end = at;
      return false;
    }
    end = i + 1;
    return found != negate;
  }

  bool Match(const std::vector<uint32_t>& t) const {
    size_t pi = 0, ti = 0, starP = SIZE_MAX, starT = 0;
    while (ti < t.size()) {
      if (pi < p.size()) {
        uint32_t c = p[pi];
        if (c == '*') {
          starP = ++pi;
          starT = ti;
          continue;
        }
        if (c == '?') {
          ++pi, ++ti;
          continue;
        }
        if (!windows && c == '[') {
          size_t end;
          bool in = Bracket(pi, t[ti], end);
          if (end != pi) {
            if (in) {
              pi = end, ++ti;
              continue;
            }
          } else if (Same('[', t[ti])) {
            ++pi, ++ti;
            continue;
          }
        } else {
          if (!windows && c == '\\' && pi + 1 < p.size()) c = p[pi + 1], ++pi;
          if (Same(c, t[ti])) {
            ++pi, ++ti;
            continue;
          }
        }
      }
      if (starP == SIZE_MAX) return false;
      pi = starP;
      ti = ++starT;
    }
    while (pi < p.size() && p[pi] == '*') ++pi;
    return pi == p.size();
  }
};

bool MatchOf(const std::string& pattern, const std::string& text, bool caseless, bool windows) {
  std::vector<uint32_t> p = CodePoints(pattern);
  return Matcher{p, caseless, windows}.Match(CodePoints(text));
}

}  // namespace

bool GlobMatch(const std::string& pattern, const std::string& text, bool caseless) {
  return MatchOf(pattern, text, caseless, false);
}

bool Excluded(const std::string& name, const std::vector<std::string>& patterns, bool caseless) {
  if (patterns.empty()) return false;
  std::string plain = name;
  while (!plain.empty() && plain.back() == '/') plain.pop_back();
  // A pattern with a "/" is matched against the whole name, one without
  // against its last part.
  auto hit = [&](const std::string& what) {
    size_t slash = what.find_last_of('/', what.size() >= 2 ? what.size() - 2 : 0);
    std::string last = slash == std::string::npos ? what : what.substr(slash + 1);
    for (const std::string& p : patterns)
      if (GlobMatch(p, p.find('/') == std::string::npos ? last : what, caseless)) return true;
    return false;
  };
  // The name itself (a folder with and without its "/"), then the folders
  // above it, each the same way.
  bool folder = plain.size() != name.size();
  if (hit(plain) || (folder && hit(plain + "/"))) return true;
  for (size_t slash = plain.find('/'); slash != std::string::npos; slash = plain.find('/', slash + 1)) {
    std::string above = plain.substr(0, slash);
    if (hit(above) || hit(above + "/")) return true;
  }
  return false;
}

bool HasWildcards(const std::string& operand) {
  size_t last = operand.find_last_of("/\\");
  std::string part = last == std::string::npos ? operand : operand.substr(last + 1);
  return part.find_first_of("*?") != std::string::npos;
}

std::vector<std::string> ExpandWildcards(const std::string& operand, const fs::path& base) {
  if (!HasWildcards(operand)) return {operand};
  size_t last = operand.find_last_of("/\\");
  std::string folder = last == std::string::npos ? "" : operand.substr(0, last + 1);
  std::string pattern = last == std::string::npos ? operand : operand.substr(last + 1);
  if (pattern == "*.*") pattern = "*";  // as the command interpreter takes it: every name
  // The folder to list, its "\" a separator also where this is built for
  // the tests on Linux.
  std::string listed = folder;
  std::replace(listed.begin(), listed.end(), '\\', '/');
  fs::path where = listed.empty() ? fs::path(".") : fs::path(listed);
  if (!where.is_absolute() && !where.has_root_name() && !base.empty()) where = base / where;
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(where, ec), end; !ec && it != end; it.increment(ec)) {
    std::u8string u = it->path().filename().u8string();
    std::string name(u.begin(), u.end());
    if (MatchOf(pattern, name, true, true)) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  for (std::string& n : names) n = folder + n;
  return names;
}

}  // namespace mksfx

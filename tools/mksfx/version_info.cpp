// The version resource in place (version_info.h). Nodes are read with
// their bounds checked against their parent's; children and values start
// on 32-bit boundaries counted from the block's start (which the resource
// compiler and the linker put on one too).
#include "tools/mksfx/version_info.h"
#include <fstream>
#include <iterator>
#include "tools/mksfx/common.h"

namespace fs = std::filesystem;

namespace mksfx {

namespace {

constexpr uint32_t FixedSignature = 0xFEEF04BDu;
constexpr size_t FixedInfoSize = 52;
const char16_t RootKey[] = u"VS_VERSION_INFO";

struct Node {
  size_t start = 0, end = 0;  // end: start + wLength
  size_t valueLength = 0, type = 0;
  std::u16string key;
  size_t valueAt = 0, childrenAt = 0;
};

size_t Aligned(size_t base, size_t at) { return base + ((at - base + 3) & ~size_t{3}); }

uint16_t Word(const std::string& b, size_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8);
}
void PutWord(std::string& b, size_t at, uint32_t v) {
  b[at] = static_cast<char>(v & 0xFF);
  b[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
uint32_t Dword(const std::string& b, size_t at) { return Word(b, at) | static_cast<uint32_t>(Word(b, at + 2)) << 16; }
void PutDword(std::string& b, size_t at, uint32_t v) {
  PutWord(b, at, v & 0xFFFF);
  PutWord(b, at + 2, v >> 16);
}

// The node at at, within [base, limit); false when it does not fit there.
// valueBytes: the value's size in bytes (for text, valueLength words).
bool ReadNode(const std::string& b, size_t base, size_t at, size_t limit, Node& n) {
  if (at + 6 > limit) return false;
  n.start = at;
  size_t length = Word(b, at);
  n.valueLength = Word(b, at + 2);
  n.type = Word(b, at + 4);
  if (length < 6 || at + length > limit) return false;
  n.end = at + length;
  n.key.clear();
  size_t k = at + 6;
  for (;; k += 2) {
    if (k + 2 > n.end) return false;
    char16_t c = static_cast<char16_t>(Word(b, k));
    if (c == 0) break;
    n.key += c;
  }
  n.valueAt = Aligned(base, k + 2);
  size_t valueBytes = n.type == 1 ? n.valueLength * 2 : n.valueLength;
  if (n.valueAt + valueBytes > n.end && valueBytes > 0) return false;
  n.childrenAt = Aligned(base, n.valueAt + valueBytes);
  return true;
}

// The children of a node, in order.
std::vector<Node> Children(const std::string& b, size_t base, const Node& parent) {
  std::vector<Node> children;
  for (size_t at = parent.childrenAt; at + 6 <= parent.end;) {
    Node n;
    if (!ReadNode(b, base, at, parent.end, n)) break;
    children.push_back(n);
    at = Aligned(base, n.end);
  }
  return children;
}

std::string Utf8Of(const std::u16string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t cp = text[i];
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00);
    if (cp < 0x10000) {
      AppendUtf8(out, cp);
    } else {
      out += static_cast<char>(0xF0 | cp >> 18);
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

std::u16string Utf16Of(const std::string& text) {
  std::u16string out;
  for (size_t i = 0; i < text.size();) {
    uint32_t cp;
    size_t n = DecodeUtf8(text, i, cp);
    if (n == 0) throw UsageError("a version text is not UTF-8: '" + text + "'");
    i += n;
    if (cp < 0x10000) {
      out += static_cast<char16_t>(cp);
    } else {
      out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    }
  }
  return out;
}

// A string node's text: its room, without the zeros and blanks after it.
std::u16string TextOf(const std::string& b, const Node& n) {
  std::u16string text;
  for (size_t at = n.valueAt; at + 2 <= n.end; at += 2) text += static_cast<char16_t>(Word(b, at));
  while (!text.empty() && (text.back() == 0 || text.back() == u' ')) text.pop_back();
  size_t zero = text.find(u'\0');
  if (zero != std::u16string::npos) text.resize(zero);
  return text;
}

// What a version text must be for its fixed form, said in every refusal.
const char VersionForm[] = "a version is one to four numbers 0-65535 joined by dots (1.2.3.4), which text may follow (2.5 beta)";

// The fixed form of a version text (key=text): its leading numbers, one to
// four parts joined by dots, 16 bits a part (1.2 is 1.2.0.0). Returns the
// characters they take. Throws UsageError when the text starts with no
// number or a part is larger than 65,535: a fixed version that Windows
// compares is never made up.
size_t LeadingVersion(const std::string& key, const std::string& text, uint64_t& version) {
  auto digit = [&](size_t at) { return at < text.size() && text[at] >= '0' && text[at] <= '9'; };
  version = 0;
  size_t at = 0, used = 0;
  for (unsigned part = 0; part < 4 && digit(at); ++part) {
    size_t start = at;
    uint32_t n = 0;
    for (; digit(at); ++at) {
      n = n * 10 + static_cast<uint32_t>(text[at] - '0');
      if (n > 0xFFFF) {
        while (digit(at)) ++at;
        throw UsageError("--version-info " + key + "=" + text + ": " + text.substr(start, at - start) +
                         " is more than 65535; " + VersionForm);
      }
    }
    version |= static_cast<uint64_t>(n) << (48 - 16 * part);
    used = at;
    if (at < text.size() && text[at] == '.') ++at;
    else break;
  }
  if (used == 0) throw UsageError("--version-info " + key + "=" + text + " starts with no number; " + VersionForm);
  return used;
}

std::string DottedText(uint64_t version) {
  std::string text;
  for (int shift = 48; shift >= 0; shift -= 16)
    text += std::to_string((version >> shift) & 0xFFFF) + (shift > 0 ? "." : "");
  return text;
}

// The root node of the block at its key's place, checked; false when the
// key there starts no block.
bool RootAt(const std::string& b, size_t keyAt, Node& root) {
  if (keyAt < 6) return false;
  size_t start = keyAt - 6;
  if (!ReadNode(b, start, start, b.size(), root) || root.key != RootKey) return false;
  return root.valueLength == FixedInfoSize && root.type == 0 && root.valueAt + FixedInfoSize <= root.end &&
         Dword(b, root.valueAt) == FixedSignature;
}

// Every string node of the block, with its table's.
std::vector<Node> StringNodes(const std::string& b, const Node& root) {
  std::vector<Node> strings;
  for (const Node& info : Children(b, root.start, root)) {
    if (info.key != u"StringFileInfo") continue;
    for (const Node& table : Children(b, root.start, info))
      for (const Node& s : Children(b, root.start, table)) strings.push_back(s);
  }
  return strings;
}

bool FindRoot(const std::string& b, Node& root) {
  std::string key;
  for (const char16_t* c = RootKey;; ++c) {
    key += static_cast<char>(*c & 0xFF);
    key += static_cast<char>(*c >> 8);
    if (*c == 0) break;
  }
  for (size_t at = b.find(key); at != std::string::npos; at = b.find(key, at + 1))
    if (RootAt(b, at, root)) return true;
  return false;
}

}  // namespace

VersionInfo ReadVersionInfo(const std::string& b) {
  VersionInfo info;
  Node root;
  if (!FindRoot(b, root)) return info;
  info.present = true;
  info.at = root.start;
  info.fileVersion = static_cast<uint64_t>(Dword(b, root.valueAt + 8)) << 32 | Dword(b, root.valueAt + 12);
  info.productVersion = static_cast<uint64_t>(Dword(b, root.valueAt + 16)) << 32 | Dword(b, root.valueAt + 20);
  for (const Node& s : StringNodes(b, root))
    info.strings.push_back({Utf8Of(s.key), Utf8Of(TextOf(b, s)), (s.end - s.valueAt) / 2});
  return info;
}

std::vector<std::string> PatchVersionInfo(std::string& program,
                                          const std::vector<std::pair<std::string, std::string>>& values) {
  std::string b = program;
  std::vector<std::string> notes;
  Node root;
  if (!FindRoot(b, root)) throw Failure("the stub has no version resource (VS_VERSION_INFO)");
  std::vector<Node> strings = StringNodes(b, root);
  for (const auto& [key, value] : values) {
    std::u16string k = Utf16Of(key), text = Utf16Of(value);
    bool found = false;
    for (const Node& s : strings) {
      if (s.key != k) continue;
      found = true;
      size_t room = (s.end - s.valueAt) / 2;
      if (text.size() + 1 > room)
        throw UsageError("the version text " + key + " takes at most " + std::to_string(room - 1) + " characters");
      for (size_t i = 0; i < room; ++i) PutWord(b, s.valueAt + 2 * i, i < text.size() ? text[i] : 0);
      PutWord(b, s.start + 2, static_cast<uint32_t>(text.size() + 1));  // wValueLength, the terminator counted
    }
    if (!found) {
      std::string known;
      for (const Node& s : strings) known += (known.empty() ? "" : ", ") + Utf8Of(s.key);
      throw UsageError("the stub's version resource has no " + key + " (it has " + known + ")");
    }
    size_t field = key == "FileVersion" ? 8 : key == "ProductVersion" ? 16 : 0;
    if (field == 0) continue;
    uint64_t version;
    if (LeadingVersion(key, value, version) < value.size())
      notes.push_back("--version-info " + key + "=" + value + ": the text stays as given; the fixed " +
                      (field == 8 ? "file" : "product") + " version, which Windows compares, is " + DottedText(version) +
                      ", from its leading numbers");
    PutDword(b, root.valueAt + field, static_cast<uint32_t>(version >> 32));
    PutDword(b, root.valueAt + field + 4, static_cast<uint32_t>(version));
  }
  program.swap(b);
  return notes;
}

std::vector<std::string> PatchVersionInfoFile(const fs::path& file,
                                              const std::vector<std::pair<std::string, std::string>>& values) {
  std::string bytes;
  {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw Failure("cannot read " + file.string());
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::string patched = bytes;
  std::vector<std::string> notes = PatchVersionInfo(patched, values);
  // Only the bytes that changed are written, where they are.
  size_t first = 0, last = patched.size();
  while (first < last && patched[first] == bytes[first]) ++first;
  while (last > first && patched[last - 1] == bytes[last - 1]) --last;
  if (first == last) return notes;
  std::fstream out(file, std::ios::binary | std::ios::in | std::ios::out);
  out.seekp(static_cast<std::streamoff>(first));
  out.write(patched.data() + first, static_cast<std::streamsize>(last - first));
  out.close();
  if (!out) throw Failure("cannot write " + file.string());
  return notes;
}

std::pair<std::string, std::string> VersionAssignment(const std::string& text) {
  size_t eq = text.find('=');
  if (eq == std::string::npos || eq == 0) throw UsageError("a version text is KEY=VALUE, not '" + text + "'");
  return {text.substr(0, eq), text.substr(eq + 1)};
}

}  // namespace mksfx

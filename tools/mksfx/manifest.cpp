// The execution level in the manifest (manifest.h). The PE headers are read
// as Microsoft's PE format reference lays them out, every offset checked
// against the program's size: the DOS header's e_lfanew, "PE\0\0", the COFF
// header, the optional header's resource directory (data directory 2), the
// section table that maps its address to a file offset, then the resource
// tree of three levels (type, name, language) down to the data entry.
#include "tools/mksfx/manifest.h"
#include <cstdint>
#include <vector>
#include "tools/mksfx/common.h"

namespace mksfx {

namespace {

constexpr uint32_t ResourceTypeManifest = 24;  // RT_MANIFEST
constexpr uint32_t SubdirectoryBit = 0x80000000u;

// Reads a little-endian number at at; false when it lies past the end.
bool Read16(const std::string& b, size_t at, uint32_t& v) {
  if (at > b.size() || b.size() - at < 2) return false;
  v = Get16(reinterpret_cast<const unsigned char*>(b.data()) + at);
  return true;
}
bool Read32(const std::string& b, size_t at, uint32_t& v) {
  if (at > b.size() || b.size() - at < 4) return false;
  v = Get32(reinterpret_cast<const unsigned char*>(b.data()) + at);
  return true;
}

struct Section {
  uint32_t address, virtualSize, rawSize, rawAt;
};

// The file offset of an address of the image, within one section's bytes
// in the file; false when no section holds it.
bool FileOffset(const std::vector<Section>& sections, uint32_t address, uint32_t size, size_t& at) {
  for (const Section& s : sections) {
    uint32_t length = s.virtualSize != 0 && s.virtualSize < s.rawSize ? s.virtualSize : s.rawSize;
    if (address >= s.address && address - s.address <= length && length - (address - s.address) >= size) {
      at = static_cast<size_t>(s.rawAt) + (address - s.address);
      return true;
    }
  }
  return false;
}

// The first entry of the resource directory at dir whose id is id, or its
// first entry at all when id is 0: its OffsetToData.
bool DirectoryEntry(const std::string& b, size_t dir, uint32_t id, uint32_t& offset) {
  uint32_t named, ids;
  if (!Read16(b, dir + 12, named) || !Read16(b, dir + 14, ids)) return false;
  for (uint32_t i = 0; i < named + ids; ++i) {
    uint32_t name, data;
    if (!Read32(b, dir + 16 + 8 * i, name) || !Read32(b, dir + 16 + 8 * i + 4, data)) return false;
    if (id == 0 || name == id) {
      offset = data;
      return true;
    }
  }
  return false;
}

// The level attribute of requestedExecutionLevel in the manifest's bytes:
// where its value starts, its length, and the blanks after the closing
// quote that may take a longer value (less one when another attribute
// follows them, which keeps a blank before it).
struct LevelPlace {
  bool found = false;
  size_t value = 0, length = 0, room = 0;
};

LevelPlace FindLevel(const std::string& b, const ManifestPlace& m) {
  LevelPlace p;
  std::string text = b.substr(m.at, m.size);
  size_t element = text.find("requestedExecutionLevel");
  if (element == std::string::npos) return p;
  size_t end = text.find('>', element);
  if (end == std::string::npos) return p;
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  for (size_t at = text.find("level", element + 23); at != std::string::npos && at < end;
       at = text.find("level", at + 1)) {
    if (!blank(text[at - 1])) continue;
    size_t q = at + 5;
    while (q < end && blank(text[q])) ++q;
    if (q >= end || text[q] != '=') continue;
    ++q;
    while (q < end && blank(text[q])) ++q;
    if (q >= end || (text[q] != '"' && text[q] != '\'')) return p;
    size_t close = text.find(text[q], q + 1);
    if (close == std::string::npos || close > end) return p;
    size_t after = close + 1;
    while (after < end && blank(text[after])) ++after;
    size_t blanks = after - (close + 1);
    bool attributeFollows = text[after] != '/' && text[after] != '>' && text[after] != '?';
    p.found = true;
    p.value = m.at + q + 1;
    p.length = close - (q + 1);
    p.room = p.length + blanks - (attributeFollows && blanks > 0 ? 1 : 0);
    return p;
  }
  return p;
}

}  // namespace

ManifestPlace FindManifest(const std::string& b) {
  ManifestPlace m;
  uint32_t pe, magic, sectionCount, optionalSize;
  if (b.compare(0, 2, "MZ") != 0 || !Read32(b, 0x3C, pe) || pe > b.size() ||
      b.compare(pe, 4, std::string("PE\0\0", 4)) != 0)
    return m;
  size_t coff = static_cast<size_t>(pe) + 4, optional = coff + 20;
  if (!Read16(b, coff + 2, sectionCount) || !Read16(b, coff + 16, optionalSize) || !Read16(b, optional, magic)) return m;
  // The data directories: after 96 bytes of PE32's optional header, 112 of PE32+'s.
  size_t directories = optional + (magic == 0x20B ? 112 : 96);
  uint32_t directoryCount, resourceAddress, resourceSize;
  if ((magic != 0x10B && magic != 0x20B) || !Read32(b, directories - 4, directoryCount) || directoryCount < 3 ||
      directories + 3 * 8 > optional + optionalSize || !Read32(b, directories + 16, resourceAddress) ||
      !Read32(b, directories + 20, resourceSize) || resourceAddress == 0)
    return m;
  std::vector<Section> sections;
  for (uint32_t i = 0; i < sectionCount; ++i) {
    size_t at = optional + optionalSize + 40 * static_cast<size_t>(i);
    Section s;
    if (!Read32(b, at + 8, s.virtualSize) || !Read32(b, at + 12, s.address) || !Read32(b, at + 16, s.rawSize) ||
        !Read32(b, at + 20, s.rawAt))
      return m;
    sections.push_back(s);
  }
  size_t root;
  if (!FileOffset(sections, resourceAddress, 16, root)) return m;
  // Type, name, language: each level's entry points to the next directory
  // (its high bit set), the last one to the data entry.
  uint32_t offset;
  if (!DirectoryEntry(b, root, ResourceTypeManifest, offset) || !(offset & SubdirectoryBit)) return m;
  if (!DirectoryEntry(b, root + (offset & ~SubdirectoryBit), 0, offset) || !(offset & SubdirectoryBit)) return m;
  if (!DirectoryEntry(b, root + (offset & ~SubdirectoryBit), 0, offset) || (offset & SubdirectoryBit)) return m;
  uint32_t dataAddress, dataSize;
  size_t dataAt;
  if (!Read32(b, root + offset, dataAddress) || !Read32(b, root + offset + 4, dataSize) ||
      !FileOffset(sections, dataAddress, dataSize, dataAt) || dataAt + dataSize > b.size())
    return m;
  m.present = true;
  m.at = dataAt;
  m.size = dataSize;
  return m;
}

std::string ReadExecutionLevel(const std::string& program) {
  ManifestPlace m = FindManifest(program);
  if (!m.present) return "";
  LevelPlace p = FindLevel(program, m);
  return p.found ? program.substr(p.value, p.length) : "";
}

void SetExecutionLevel(std::string& program, const std::string& level) {
  ManifestPlace m = FindManifest(program);
  if (!m.present) throw Failure("the stub has no application manifest (RT_MANIFEST) to set its execution level in");
  LevelPlace p = FindLevel(program, m);
  if (!p.found) throw Failure("the stub's manifest has no requestedExecutionLevel to set");
  if (level.size() > p.room)
    throw Failure("the stub's manifest has room for " + std::to_string(p.room) + " characters of execution level, not " +
                  level + "'s " + std::to_string(level.size()));
  // The value, its closing quote, then blanks up to the old end of the room.
  char quote = program[p.value + p.length];
  std::string room = level + quote + std::string(p.room - level.size(), ' ');
  program.replace(p.value, room.size(), room);
}

}  // namespace mksfx

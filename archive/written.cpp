// The record of written entries and paths (written.h). The paths live folded
// in one growing block of text; a table of (hash, place) pairs, a power of
// two long and at most half full, finds them.
#include "archive/written.h"
#include "Sfx/state.h"
#include "support/paths.h"
#include "support/utf8.h"
#include <string.h>

namespace {
// The upper case of a letter whose two forms both take two bytes in UTF-8;
// others are left as they are.
uint32_t UpperCase(uint32_t c) {
  if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7) || (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) || (c >= 0x430 && c <= 0x44F))
    return c - 0x20;
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;
  // Latin Extended-A pairs its letters: upper at the even code, but for the
  // run from U+0139 to U+0148 and from U+0179 to U+017E, upper at the odd.
  bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
  if (c >= 0x100 && c <= 0x17F && c != 0x131 && c != 0x138 && c != 0x149 && ((c & 1) != 0) != oddUpper) return c - 1;
  return c;
}

uint32_t Hash(const char* folded) {
  uint32_t hash = 2166136261u;
  for (; *folded != 0; ++folded) hash = (hash ^ static_cast<uint8_t>(*folded)) * 16777619u;
  return hash | 1u;  // never 0, which marks a free slot
}

// The slot of the folded path: where it stands, or the free one it would take.
uint32_t* Slot(uint32_t* table, uint32_t slots, const char* folded, uint32_t hash) {
  uint32_t i = hash & (slots - 1);
  while (table[2 * i] != 0 && (table[2 * i] != hash || strcmp(WrittenNames + table[2 * i + 1], folded) != 0))
    i = (i + 1) & (slots - 1);
  return table + 2 * i;
}

char Folded[PathRoom];
}  // namespace

void FoldPath(const char* path, char* folded) {
  char* out = folded;
  while (*path != 0) {
    if (IsPathSeparator(*path)) {
      while (IsPathSeparator(*path)) ++path;
      *out++ = '\\';
      continue;
    }
    const char* start = path;
    uint32_t c = NextCodePoint(&path);
    uint32_t upper = c == NotUtf8 ? c : UpperCase(c);
    if (upper == c) {
      while (start < path) *out++ = *start++;
    } else if (upper < 0x80) {
      *out++ = static_cast<char>(upper);
    } else {
      *out++ = static_cast<char>(0xC0 | upper >> 6);
      *out++ = static_cast<char>(0x80 | (upper & 0x3F));
    }
  }
  *out = 0;
}

void ClearWrittenRecord() {
  if (WrittenRecord != 0) memset(WrittenRecord, 0, WrittenRecordBytes);
  if (WrittenPaths != 0) memset(WrittenPaths, 0, 2 * WrittenPathSlots * sizeof(uint32_t));
  WrittenPathCount = 0;
  WrittenNamesUsed = 1;  // place 0 stands for none
}

// A block grown to hold at least need bytes, its old bytes kept; false
// (and the block as it was) when memory runs out.
static bool Grow(void** block, uint32_t* bytes, uint32_t need) {
  if (need <= *bytes) return true;
  uint32_t size = *bytes != 0 ? *bytes : 1024u;
  while (size < need) size *= 2;
  void* grown = AllocateBlock(size);
  if (grown == 0) return false;
  memset(grown, 0, size);
  if (*block != 0) memcpy(grown, *block, *bytes);
  ReleaseBlock(*block);
  *block = grown;
  *bytes = size;
  return true;
}

void RememberWrittenPath(const char* path) {
  FoldPath(path, Folded);
  uint32_t length = TextLength(Folded) + 1;
  if (WrittenNamesUsed == 0) WrittenNamesUsed = 1;
  // Unremembered when memory runs out: a second entry of its name then
  // replaces it as any existing file.
  if (!Grow(reinterpret_cast<void**>(&WrittenNames), &WrittenNamesBytes, WrittenNamesUsed + length)) return;
  if (2 * (WrittenPathCount + 1) > WrittenPathSlots) {
    uint32_t slots = WrittenPathSlots != 0 ? WrittenPathSlots * 2 : 1024u;
    uint32_t* grown = static_cast<uint32_t*>(AllocateBlock(2 * slots * sizeof(uint32_t)));
    if (grown == 0) return;
    memset(grown, 0, 2 * slots * sizeof(uint32_t));
    for (uint32_t i = 0; i < WrittenPathSlots; ++i) {
      uint32_t hash = WrittenPaths[2 * i];
      if (hash == 0) continue;
      uint32_t* slot = grown + 2 * (hash & (slots - 1));
      while (slot[0] != 0) slot = grown + 2 * (((slot - grown) / 2 + 1) & (slots - 1));
      slot[0] = hash;
      slot[1] = WrittenPaths[2 * i + 1];
    }
    ReleaseBlock(WrittenPaths);
    WrittenPaths = grown;
    WrittenPathSlots = slots;
  }
  uint32_t hash = Hash(Folded);
  uint32_t* slot = Slot(WrittenPaths, WrittenPathSlots, Folded, hash);
  if (slot[0] != 0) return;  // remembered already
  memcpy(WrittenNames + WrittenNamesUsed, Folded, length);
  slot[0] = hash;
  slot[1] = WrittenNamesUsed;
  WrittenNamesUsed += length;
  ++WrittenPathCount;
}

bool WrittenThisRun(const char* path) {
  if (WrittenPathSlots == 0) return false;
  FoldPath(path, Folded);
  return Slot(WrittenPaths, WrittenPathSlots, Folded, Hash(Folded))[0] != 0;
}

void MarkWritten(uint32_t entry, uint32_t identity) {
  // Unrecorded when memory runs out: the deletion pass leaves this file.
  if (!Grow(reinterpret_cast<void**>(&WrittenRecord), &WrittenRecordBytes, 4 * (entry + 1))) return;
  reinterpret_cast<uint32_t*>(WrittenRecord)[entry] = identity | 1;
}

uint32_t WrittenIdentity(uint32_t entry) {
  return entry < WrittenRecordBytes / 4 ? reinterpret_cast<uint32_t*>(WrittenRecord)[entry] : 0;
}

bool WasWritten(uint32_t entry) { return WrittenIdentity(entry) != 0; }

// Entry names made safe for Windows (see names.h).
#include "archive/names.h"
#include "archive/crc32.h"
#include "archive/extra.h"
#include "archive/zip_format.h"
#include "support/paths.h"
#include "support/utf8.h"
#include <string.h>

namespace {

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

// The part from begin to end, without its extension, trailing dots and
// blanks, is a device name of Windows.
bool IsDeviceName(const char* begin, const char* end) {
  const char* stop = begin;
  while (stop < end && *stop != '.') ++stop;
  while (stop > begin && stop[-1] == ' ') --stop;
  unsigned n = static_cast<unsigned>(stop - begin);
  char base[8];
  if (n < 3 || n > 7) return false;
  for (unsigned i = 0; i < n; ++i) base[i] = Upper(begin[i]);
  base[n] = 0;
  // One text of NUL-ended names, ended by an empty one: no table of pointers.
  static const char fixed[] = "CON\0PRN\0AUX\0NUL\0CONIN$\0CONOUT$\0";
  for (const char* device = fixed; *device != 0; device += TextLength(device) + 1)
    if (strcmp(base, device) == 0) return true;
  if (n < 4 || (memcmp(base, "COM", 3) != 0 && memcmp(base, "LPT", 3) != 0)) return false;
  // COM0 to COM9, LPT0 to LPT9, and with the superscripts 1, 2 and 3 (UTF-8
  // C2 B9, C2 B2, C2 B3), which Windows reserves as well.
  uint8_t d = static_cast<uint8_t>(base[3]);
  if (n == 4) return d >= '0' && d <= '9';
  uint8_t e = static_cast<uint8_t>(base[4]);
  return n == 5 && d == 0xC2 && (e == 0xB9 || e == 0xB2 || e == 0xB3);
}

// Characters that stand for a separator or a dot where a best-fit
// conversion or a file system folds them: never part of a name.
const uint16_t Lookalikes[] = {
    0x2024, 0x2025,          // one and two dot leaders
    0x2044,                  // fraction slash
    0x2215, 0x2216,          // division slash, set minus
    0x29F8, 0x29F9,          // big solidus and reverse solidus
    0xFE52, 0xFE68,          // small full stop, small reverse solidus
    0xFF0E, 0xFF0F, 0xFF3C,  // fullwidth full stop, solidus, reverse solidus
};

bool IsForbiddenCharacter(uint32_t c) {
  if (c < 0x80) return c < 0x20 || strchr("*?<>\"|:", static_cast<int>(c)) != 0;
  for (uint16_t l : Lookalikes)
    if (c == l) return true;
  return false;
}

}  // namespace

bool NameIsSafe(const char* name) {
  if (IsPathSeparator(name[0])) return false;
  const char* part = name;
  for (;;) {
    const char* begin = part;
    unsigned dots = 0;
    bool dotsOnly = true;
    uint32_t last = 0;
    while (*part != 0 && !IsPathSeparator(*part)) {
      last = NextCodePoint(&part);
      if (last == NotUtf8 || IsForbiddenCharacter(last)) return false;
      if (last == '.') ++dots;
      else if (last != ' ') dotsOnly = false;
    }
    if (dotsOnly && dots >= 2) return false;  // "..", and "..." or ".. " as Windows reads them
    if (IsDeviceName(begin, part)) return false;
    // Windows drops a part's trailing dots and blanks: "b.txt." would be
    // "b.txt", "sp " "sp", and "a/./b" "a/b", each one file with another.
    if (last == '.' || last == ' ') return false;
    if (Utf16Units(begin, part) > MaxPartUnits) return false;
    if (*part == 0) return true;
    ++part;
  }
}

enum : uint32_t { UnicodePathHeader = 5 };  // version, then the CRC-32 of the header's name

bool UnicodePathName(const uint8_t* extra, uint32_t extraLength, const uint8_t* rawName, uint32_t rawLength,
                     char* utf8, unsigned room) {
  const uint8_t* data;
  uint32_t size;
  if (!FindExtraField(extra, extraLength, ExtraIdUnicodePath, &data, &size) || size < UnicodePathHeader ||
      data[0] != 1)
    return false;
  uint32_t crc = 0xFFFFFFFFu;
  CrcOverBuffer(rawName, static_cast<int32_t>(rawLength), &crc);
  if ((crc ^ 0xFFFFFFFFu) != Le32(data + 1)) return false;  // the name was changed after the field was made
  TextFromBuffer(data + UnicodePathHeader, size - UnicodePathHeader, utf8, room);
  return size - UnicodePathHeader < room;
}

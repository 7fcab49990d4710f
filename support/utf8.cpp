// UTF-8 decoding and UTF-16 lengths (utf8.h).
#include "support/utf8.h"

uint32_t NextCodePoint(const char** text) {
  const uint8_t* p = reinterpret_cast<const uint8_t*>(*text);
  uint32_t c = p[0];
  ++*text;
  if (c < 0x80) return c;
  // The sequence's length and the least value it may encode.
  unsigned more;
  uint32_t least;
  if (c >= 0xC2 && c <= 0xDF) more = 1, least = 0x80, c &= 0x1F;
  else if (c >= 0xE0 && c <= 0xEF) more = 2, least = 0x800, c &= 0x0F;
  else if (c >= 0xF0 && c <= 0xF4) more = 3, least = 0x10000, c &= 0x07;
  else return NotUtf8;
  for (unsigned i = 1; i <= more; ++i) {
    if ((p[i] & 0xC0) != 0x80) return NotUtf8;  // a NUL ends it too
    c = c << 6 | (p[i] & 0x3F);
  }
  if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return NotUtf8;
  *text += more;
  return c;
}

uint32_t Utf16Units(const char* begin, const char* end) {
  uint32_t units = 0;
  for (const uint8_t* p = reinterpret_cast<const uint8_t*>(begin); p < reinterpret_cast<const uint8_t*>(end); ++p) {
    if ((*p & 0xC0) != 0x80) ++units;  // a character starts here
    if (*p >= 0xF0) ++units;           // beyond U+FFFF: a surrogate pair
  }
  return units;
}

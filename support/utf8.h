// UTF-8, the program's text for entry names and the paths made of them:
// decoding one character at a time, and the length a text has in UTF-16, the
// units in which Windows counts a name's and a path's limits.
#pragma once
#include <stdint.h>

enum : uint32_t { NotUtf8 = 0xFFFFFFFFu };

// The code point that starts at *text, with *text moved past it. NotUtf8,
// with *text moved by one byte, where no well-formed sequence starts: a lone
// continuation byte, an overlong form, a surrogate, a value beyond U+10FFFF,
// or a sequence cut short.
uint32_t NextCodePoint(const char** text);

// The UTF-16 units of the well-formed UTF-8 from begin to end: one for each
// character, two for those beyond U+FFFF.
uint32_t Utf16Units(const char* begin, const char* end);

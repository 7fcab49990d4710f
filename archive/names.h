// Entry names as the archive holds them, turned into names Windows may be
// given: the checks that keep every file below the destination and away from
// devices, and names stored in UTF-8.
#pragma once
#include <stdint.h>

// The limits Windows sets to a name in UTF-16 units: a part of a path, and
// the path in all (the system's 32,767 less the room of its long-path prefix).
enum : uint32_t { MaxPartUnits = 255, MaxPathUnits = 32760 };

// True when name, in UTF-8, may be written below the destination: well-formed
// UTF-8, not absolute, no drive or stream (":"), no part of dots (and blanks)
// that climbs out (".." and what Windows reads as such), no device name (CON,
// PRN, AUX, NUL, COM0 to COM9, LPT0 to LPT9, COM and LPT with a superscript
// digit, CONIN$, CONOUT$, with any extension, trailing dots or blanks, in
// any case), no wildcard (* ? < > " |) or control character, no character
// that a best-fit conversion or a file system could take for a separator or
// a dot (the fullwidth and mathematical slashes, the fullwidth full stop,
// ...), no part that ends in a dot or a blank (Windows would drop them, so
// that "b.txt." and "b.txt" were one file), and no part longer than
// MaxPartUnits.
bool NameIsSafe(const char* name);

// The UTF-8 name of an Info-ZIP Unicode Path extra field (0x7075) among the
// extra fields, when its CRC-32 matches the name the header holds (rawName,
// rawLength bytes); written to utf8 (room bytes). False when there is none.
bool UnicodePathName(const uint8_t* extra, uint32_t extraLength, const uint8_t* rawName, uint32_t rawLength,
                     char* utf8, unsigned room);

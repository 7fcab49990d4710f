// Entry names as the archive holds them, turned into names Windows may be
// given: the checks that keep every file below the destination and away from
// devices, and names stored in UTF-8.
#pragma once
#include <stdint.h>

// True when name may be written below the destination: not absolute, no
// drive or stream (":"), no part of dots (and blanks) that climbs out (".."
// and what Windows reads as such), no device name (CON, PRN, AUX, NUL, COM0
// to COM9, LPT0 to LPT9, CONIN$, CONOUT$, with any extension, trailing dots
// or blanks, in any case), and no wildcard (* ? < > " |) or control
// character, and no part that ends in a dot or a blank (Windows would drop
// them, so that "b.txt." and "b.txt" were one file).
bool NameIsSafe(const char* name);

// The UTF-8 name of an Info-ZIP Unicode Path extra field (0x7075) among the
// extra fields, when its CRC-32 matches the name the header holds (rawName,
// rawLength bytes); written to utf8 (room bytes). False when there is none.
bool UnicodePathName(const uint8_t* extra, uint32_t extraLength, const uint8_t* rawName, uint32_t rawLength,
                     char* utf8, unsigned room);

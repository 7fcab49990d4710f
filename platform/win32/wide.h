// UTF-8 to UTF-16 for the wide calls of the Win32 platform and the dialogs:
// the program's texts and paths are UTF-8, the system's wide calls take UTF-16.
#pragma once
#include <wchar.h>

// Slots, so that a call that takes two texts has both at once.
enum { FirstText = 0, SecondText = 1 };

// text in UTF-16, in a buffer of the slot's that the next conversion into
// the same slot reuses; empty when text is not UTF-8.
const wchar_t* Utf16Of(const char* text, int slot);

// A path in UTF-16 as the wide file calls take it: as it stands while it
// is shorter than the old MAX_PATH limit, else absolute, normalised and
// with the "\\?\" (or "\\?\UNC\") prefix. Empty when it cannot be had.
const wchar_t* WidePath(const char* path, int slot);

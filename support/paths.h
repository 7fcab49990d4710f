// Path and file-system helpers. Their behaviour at drive roots, trailing
// backslashes, forward slashes and empty names decides where files land.
// Text buffers are NUL-terminated and changed in place; results that are new
// strings are written to a caller's buffer of TextBufferSize (256) bytes.
#pragma once
#include <stdint.h>
#include "platform/platform.h"

enum : uint32_t {
  TextBufferSize = 256,  // a text buffer: 255 characters and a NUL
  // Paths and names below the destination are UTF-8 of any length Windows
  // takes: 32,767 UTF-16 units, each at most three bytes, and a NUL; a part
  // of such a path holds at most 255 units.
  PathRoom = 3 * 32767 + 1,
  PartRoom = 3 * 255 + 1,
};

unsigned TextLength(const char* text);
// "\" and "/" both separate the parts of a path (names use either).
inline bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }
// True when every character is a decimal digit; true for the empty text.
bool AllDigits(const char* text);
// path with its extension (the text after its last ".", if that comes after
// the last "\" and ":") replaced by extension, which starts with "."; the
// extension is appended when there is none. result holds room bytes.
void ReplaceExtension(const char* path, const char* extension, char* result, unsigned room);
// The extension of volume n (2 and up) of a spanned archive split into files:
// ".z02" to ".z09", then ".z10", ".z11", ...; result holds at least 16 bytes.
void VolumeExtension(int32_t n, char* result);
void SlashesToBackslashes(char* text);
// Adds a "\" unless text ends with one; false, leaving text alone, when a
// buffer of TextBufferSize has no room for it.
bool AddTrailingBackslash(char* text);
void StripTrailingBackslash(char* text);
// The folder part of path; result has room for path.
void ExtractDirPart(const char* path, char* result);
// The name part of path, cut to fit result (room bytes).
void ExtractNamePart(const char* path, char* result, unsigned room = TextBufferSize);
bool PathExists(const char* path);
// Creates path with every missing folder on its way, outermost first; true
// when path exists afterwards. Paths of any length: the folders are made in
// a loop, not by recursion, so that a deep path cannot exhaust the stack.
bool ForceFolders(const char* path);
// A copy of text in the system's ANSI code page (the destination field, the
// configuration's texts) as UTF-8, the text of paths, in a buffer of the
// helper's own that the next call reuses; empty when it cannot be converted.
const char* Utf8OfAnsi(const char* text);
// The first count bytes of buffer, cut before the first NUL, into result
// (room bytes, always terminated).
void TextFromBuffer(const uint8_t* buffer, unsigned count, char* result, unsigned room);
// Bounded copy and append: never write more than room bytes, always end with a NUL.
void CopyText(char* target, const char* source, unsigned room);
void AppendText(char* target, const char* source, unsigned room);

// Path and file-system helpers. Their behaviour at drive roots, trailing
// backslashes, forward slashes and empty names decides where files land.
// Text buffers are NUL-terminated and changed in place; results that are new
// strings are written to a caller's buffer of TextBufferSize (256) bytes.
#pragma once
#include <stdint.h>
#include "platform/platform.h"

enum : uint32_t { TextBufferSize = 256 };  // a text buffer: 255 characters and a NUL

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
void ExtractDirPart(const char* path, char* result);
void ExtractNamePart(const char* path, char* result);  // at most 255 characters
bool PathExists(const char* path);
// Creates path with every missing folder on its way, outermost first; true
// when path exists afterwards.
bool ForceFolders(const char* path);
// The first count bytes of buffer, cut before the first NUL, into result
// (room bytes, always terminated).
void TextFromBuffer(const uint8_t* buffer, unsigned count, char* result, unsigned room);
// Bounded copy and append: never write more than room bytes, always end with a NUL.
void CopyText(char* target, const char* source, unsigned room);
void AppendText(char* target, const char* source, unsigned room);

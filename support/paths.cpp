// Path and file-system helpers. "\" is the separator; the two extractors also
// split at "/" and ":"; "/" becomes "\" before a path reaches the file system.
// Paths stay within 255 characters, the program's path limit.
#include "support/paths.h"
#include "support/format.h"
#include <string.h>

unsigned TextLength(const char* text) {
  uint16_t n = 0;
  while (text[n] != 0) ++n;
  return n;
}

void SlashesToBackslashes(char* text) {
  for (; *text != 0; ++text)
    if (*text == '/') *text = '\\';
}

bool AddTrailingBackslash(char* text) {
  unsigned n = TextLength(text);
  if (n > 0 && text[n - 1] == '\\') return true;
  if (n + 1 >= TextBufferSize) return false;  // no room for it in the buffer
  text[n] = '\\';
  text[n + 1] = 0;
  return true;
}

void StripTrailingBackslash(char* text) {
  unsigned n = TextLength(text);
  if (n > 0 && text[n - 1] == '\\') text[n - 1] = 0;
}

bool AllDigits(const char* text) {
  for (; *text != 0; ++text)
    if (*text < '0' || *text > '9') return false;
  return true;
}

void ReplaceExtension(const char* path, const char* extension, char* result, unsigned room) {
  unsigned cut = TextLength(path);
  for (unsigned i = cut; i > 0; --i) {
    char c = path[i - 1];
    if (c == '.' || c == '\\' || c == ':') {
      if (c == '.') cut = i - 1;
      break;
    }
  }
  if (cut >= room) cut = room - 1;
  memcpy(result, path, cut);
  result[cut] = 0;
  AppendText(result, extension, room);
}

void VolumeExtension(int32_t n, char* result) {
  char number[16];
  FormatSigned(n, number);
  CopyText(result, n < 10 ? ".z0" : ".z", 16);
  AppendText(result, number, 16);
}

void CopyText(char* target, const char* source, unsigned room) {
  if (room == 0) return;
  unsigned n = 0;
  while (n + 1 < room && source[n] != 0) {
    target[n] = source[n];
    ++n;
  }
  target[n] = 0;
}

void AppendText(char* target, const char* source, unsigned room) {
  unsigned n = TextLength(target);
  if (n < room) CopyText(target + n, source, room - n);
}

static bool IsSplitter(char c) { return IsPathSeparator(c) || c == ':'; }

// Position, counted from 1, of the last "\", "/" or ":"; 0 when there is none.
static unsigned LastSplitter(const char* path) {
  unsigned last = 0;
  for (unsigned i = 0; path[i] != 0; ++i)
    if (IsSplitter(path[i])) last = i + 1;
  return last;
}

// The length of path's folder part: all of a three-character path with a
// ":" (a drive's root), else up to its last separator, which is dropped
// unless it is a root's ("C:\") or a ":".
static unsigned DirPartLength(const char* path) {
  if (TextLength(path) == 3 && memchr(path, ':', 3) != 0) return 3;
  unsigned i = LastSplitter(path);
  if (i > 0 && path[i - 1] != ':' && !(i == 3 && path[1] == ':')) --i;
  return i;
}

void ExtractDirPart(const char* path, char* result) {
  unsigned i = DirPartLength(path);
  memcpy(result, path, i);
  result[i] = 0;
}

void ExtractNamePart(const char* path, char* result, unsigned room) {
  CopyText(result, path + LastSplitter(path), room);
}

bool PathExists(const char* path) {
  static char searched[PathRoom + 3];
  unsigned n = TextLength(path);
  CopyText(searched, path, PathRoom);
  if (n > 0 && path[n - 1] == '\\') {
    if (n >= PathRoom) return false;  // no room for the pattern
    memcpy(searched + n, "*.*", 4);
  }
  SlashesToBackslashes(searched);
  return FindPath(searched, 0);
}

// A folder by its attributes: one call, where a search opens and closes one.
static bool FolderExists(const char* path) {
  uint32_t attributes = FileAttributes(path);
  return attributes != NoAttributes && (attributes & AttributeDirectory) != 0;
}

bool ForceFolders(const char* path) {
  // The folders from path outward to the first that exists, by their
  // lengths, innermost first; then made outermost first. full keeps the
  // path, folder one of its beginnings (a NUL where the folder ends).
  static char full[PathRoom], folder[PathRoom];
  static uint32_t missing[PathRoom / 2 + 1];
  CopyText(full, path, sizeof full);
  StripTrailingBackslash(full);
  CopyText(folder, full, sizeof folder);
  unsigned n = TextLength(full), count = 0;
  if (n < 3) return PathExists(folder);
  for (;;) {
    if (FolderExists(folder)) {
      if (count == 0) return true;
      break;
    }
    missing[count++] = n;
    // The folder part, without one trailing "\": a drive's root ends the
    // walk as its bare prefix; a part that ends in ":" is its own folder
    // part ("x:y:"), which ends it too.
    unsigned parent = DirPartLength(folder);
    if (parent == n) break;
    folder[parent] = 0;
    if (parent > 0 && folder[parent - 1] == '\\') folder[--parent] = 0;
    n = parent;
    if (n < 3) break;
  }
  bool made = false;
  while (count > 0) {
    unsigned length = missing[--count];
    memcpy(folder, full, length);
    folder[length] = 0;
    made = CreateFolder(folder) || PathExists(folder);
  }
  return made;
}

const char* Utf8OfAnsi(const char* text) {
  static char utf8[3 * TextBufferSize];
  if (!AnsiToUtf8(text, utf8, sizeof utf8)) utf8[0] = 0;
  return utf8;
}

void TextFromBuffer(const uint8_t* buffer, unsigned count, char* result, unsigned room) {
  unsigned n = 0;
  while (n < count && n + 1 < room && buffer[n] != 0) {
    result[n] = static_cast<char>(buffer[n]);
    ++n;
  }
  result[n] = 0;
}

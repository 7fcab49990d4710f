// What the posix platform offers beyond platform.h to the host tools and
// tests built on it: the native form of a path, the code page it models, a
// count of its name look-ups, the messages it was asked to show, and the
// native calls that the pieces answering for a Windows system share.
#pragma once
#include <set>
#include <string>
#include <vector>
#include "platform/platform.h"

namespace posix {
// Posix form of a program path: "\" becomes "/".
std::string NativePath(const char* path);
extern std::string AnsiCodePage;  // what AnsiToUtf8 converts from and Utf8ToAnsi to; CP1252 when empty
// Calls that look a name up in the file system (find, attributes, create,
// open, delete, move): what each costs a folder scan under Wine.
extern long NameLookups;
// Files that DeleteFileAt refuses, by native path, as Windows refuses one
// that another process holds open (tests; empty otherwise).
extern std::set<std::string> Undeletable;

// The message boxes shown since the last call, each as "caption: text".
std::vector<std::string> TakeShownMessages();

// Opens a file for reading as CreateFileA would; writes count bytes whole,
// or as many as the file takes.
FileHandle OpenNative(const char* path);
uint32_t WriteNative(FileHandle file, const void* buffer, uint32_t count);
// text into buffer (room bytes) when it fits whole; its length, else 0.
unsigned CopyOut(const std::string& text, char* buffer, unsigned room);
}  // namespace posix

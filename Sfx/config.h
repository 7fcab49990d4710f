// The configuration block behind the stub and the path macros of its texts.
#pragma once

// Reads the block at offset 51712, if there is one: sets ArchiveStart, the
// option flags, the three texts and their presence flags, and expands the
// macros of RunCommand.
void ReadConfigBlock();

// Replaces "{ext}", "{win}" and "{sys}" in a NUL-terminated buffer of at least
// 256 bytes, in place. Other tokens are dropped; the result is cut at 255
// characters; a "{" without a later "}" keeps the rest as it stands.
void ExpandPathMacros(char* text);

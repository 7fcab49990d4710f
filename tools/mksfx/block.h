// The configuration block behind the stub (its layout is in Sfx/layout.h):
// the texts and flags a user gives, checked against what the block holds.
#pragma once
#include <cstdint>
#include <string>

namespace mksfx {

struct BlockSettings {
  std::string caption, dest, run;  // as given on the command line
  bool overwrite = false, autoExtract = false, waitDelete = false, verify = false;
  bool given = false;              // any block option was given
};

// The ConfigBlockSize bytes of the block; throws UsageError naming the text
// or option at fault. Texts are 8-bit: UTF-8 is turned into Windows-1252, and a
// character outside it, a control character, texts longer together than the
// block's room, and in the destination and the run command a {token} that
// is not one of the stub's folder macros (PathMacroNames in Sfx/layout.h)
// or an environment variable (%NAME%) are refused.
std::string MakeConfigBlock(const BlockSettings& settings);
// True when token ("{win}") is one of the stub's folder macros.
bool IsPathMacro(const std::string& token);
// The first %NAME% in text (a letter or "_" first, then letters, digits,
// "_", "(" and ")", as in %ProgramFiles(x86)%), "" when there is none; a
// lone "%" ("50% off") is none.
std::string EnvironmentVariableIn(const std::string& text);

// The flag byte of the settings' options.
uint8_t BlockFlags(const BlockSettings& settings);
// The block's bytes from a flag byte and three texts as they are to stand in
// it; throws Failure when the texts together exceed the block's room.
std::string AssembleConfigBlock(uint8_t flags, const std::string& caption, const std::string& dest,
                                const std::string& run);

// The block's fields as read back from a file (for mksfx list).
struct BlockContents {
  bool present = false;
  uint8_t flags = 0;
  std::string caption, dest, run;
};
BlockContents ParseConfigBlock(const std::string& bytes);

}  // namespace mksfx

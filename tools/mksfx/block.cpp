// The configuration block (block.h). The stub reads three length bytes and
// the texts back to back, expands the folder macros (Sfx/layout.h) in the
// destination and the run command, and puts the destination where the run
// command says "><".
#include "tools/mksfx/block.h"
#include "Sfx/layout.h"
#include "tools/mksfx/common.h"

namespace mksfx {

namespace {

// The macros the stub knows, as a list for messages: "{win}, {sys}, ...".
std::string KnownMacros() {
  std::string list;
  for (const char* name : PathMacroNames) list += (list.empty() ? "" : ", ") + std::string(name);
  return list;
}

// The text in the block's code page, checked; what names it in messages.
std::string BlockText(const std::string& given, const char* what) {
  std::string text;
  if (!ToWindows1252(given, text)) throw UsageError(std::string("the ") + what + " has a character outside Windows-1252");
  for (unsigned char c : text)
    if (c < 0x20 || c == 0x7F) throw UsageError(std::string("the ") + what + " holds a control character");
  return text;
}

// A path text of the block (the destination, the run command): the stub
// expands the macros of Sfx/layout.h in it, drops any other {token} without
// a word, and expands no environment variable, so both are refused here.
std::string PathText(const std::string& given, const char* what) {
  std::string text = BlockText(given, what);
  for (size_t open = text.find('{'); open != std::string::npos; open = text.find('{', open + 1)) {
    size_t close = text.find('}', open);
    if (close == std::string::npos) break;  // kept as it stands
    std::string token = text.substr(open, close - open + 1);
    if (token == "{ext}")  // the stub's, but empty where it expands it (Sfx/config.cpp)
      throw UsageError(std::string("the ") + what + " holds {ext}, the destination itself, which the stub has not " +
                       "chosen yet where it expands it; the run command reaches it through \"><\"; the stub's " +
                       "macros are " + KnownMacros());
    if (!IsPathMacro(token))
      throw UsageError(std::string("the ") + what + " holds " + token + ", which the stub does not know; its macros are " +
                       KnownMacros());
  }
  std::string variable = EnvironmentVariableIn(text);
  if (!variable.empty())
    throw UsageError(std::string("the ") + what + " holds " + variable +
                     ", but the stub expands no environment variables; its macros are " + KnownMacros());
  return text;
}

}  // namespace

bool IsPathMacro(const std::string& token) {
  for (const char* name : PathMacroNames)
    if (token == name) return true;
  return false;
}

std::string EnvironmentVariableIn(const std::string& text) {
  auto nameChar = [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '(' ||
           c == ')';
  };
  for (size_t open = text.find('%'); open != std::string::npos; open = text.find('%', open + 1)) {
    size_t end = open + 1;
    while (end < text.size() && nameChar(text[end])) ++end;
    bool starts = end > open + 1 && !(text[open + 1] >= '0' && text[open + 1] <= '9');
    if (starts && end < text.size() && text[end] == '%') return text.substr(open, end - open + 1);
  }
  return "";
}

std::string MakeConfigBlock(const BlockSettings& s) {
  std::string caption = BlockText(s.caption, "caption");
  std::string dest = PathText(s.dest, "destination");
  std::string run = PathText(s.run, "run command");
  if (s.waitDelete && run.empty()) throw UsageError("--wait-delete needs --run");
  if (!run.empty() && run[0] == '|') throw UsageError("the run command names no program before \"|\"");
  return AssembleConfigBlock(BlockFlags(s), caption, dest, run);
}

uint8_t BlockFlags(const BlockSettings& s) {
  return static_cast<uint8_t>((s.overwrite ? ConfigOverwrite : 0) | (s.autoExtract ? ConfigAutoExtract : 0) |
                              (s.waitDelete ? ConfigWaitThenDelete : 0) | (s.verify ? ConfigVerifyFirst : 0));
}

std::string AssembleConfigBlock(uint8_t flags, const std::string& caption, const std::string& dest,
                                const std::string& run) {
  size_t total = caption.size() + dest.size() + run.size();
  if (total > ConfigTextRoom)
    throw UsageError("caption, destination and run command take " + std::to_string(total) + " bytes; the block holds " +
                  std::to_string(ConfigTextRoom));
  std::string b(ConfigBlockSize, '\0');
  b.replace(ConfigMagicAt, ConfigMagicSize, ConfigMagic);
  b[ConfigFlagsAt] = static_cast<char>(flags);
  b[ConfigLengthsAt] = static_cast<char>(caption.size());
  b[ConfigLengthsAt + 1] = static_cast<char>(dest.size());
  b[ConfigLengthsAt + 2] = static_cast<char>(run.size());
  b.replace(ConfigTextsAt, total, caption + dest + run);
  return b;
}

BlockContents ParseConfigBlock(const std::string& bytes) {
  BlockContents c;
  if (bytes.size() < ConfigBlockSize || bytes.compare(ConfigMagicAt, ConfigMagicSize, ConfigMagic) != 0) return c;
  c.present = true;
  c.flags = static_cast<uint8_t>(bytes[ConfigFlagsAt]);
  size_t at = ConfigTextsAt;
  std::string* texts[] = {&c.caption, &c.dest, &c.run};
  for (int i = 0; i < 3; ++i) {
    size_t n = static_cast<uint8_t>(bytes[ConfigLengthsAt + i]);
    if (at + n > ConfigBlockSize) n = ConfigBlockSize - at;  // cut at the block's end, as the stub does
    *texts[i] = bytes.substr(at, n);
    at += n;
  }
  return c;
}

}  // namespace mksfx

// Command-line parsing (options.h).
#include "tools/mksfx/options.h"
#include <cmath>
#include <cstdlib>
#include "tools/mksfx/common.h"
#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

namespace mksfx {

Arguments::Arguments(int argc, char** argv, int first) {
  for (int i = first; i < argc; ++i) words_.push_back(argv[i]);
#ifdef _WIN32
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  for (int i = first; wide != nullptr && count == argc && i < count; ++i) {
    int n = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
    std::string text(n > 0 ? n - 1 : 0, '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, text.data(), n, nullptr, nullptr);
    texts_.push_back(text);
  }
  if (wide != nullptr) LocalFree(wide);
#endif
  // Elsewhere the words are the system's text already.
  if (texts_.size() != words_.size()) texts_ = words_;
}

bool Arguments::Next() {
  if (hasInline_) throw UsageError("option " + word_ + " takes no value");
  if (at_ >= words_.size()) return false;
  word_ = words_[at_++];
  hasInline_ = false;
  operand_ = onlyOperands_ || word_.size() < 2 || word_[0] != '-';
  if (!operand_ && word_ == "--") {
    onlyOperands_ = true;
    return Next();
  }
  if (!operand_ && word_.rfind("--", 0) == 0) {
    size_t eq = word_.find('=');
    if (eq != std::string::npos) {
      inlineValue_ = word_.substr(eq + 1);
      word_.resize(eq);
      hasInline_ = true;
    }
  }
  return true;
}

bool Arguments::Is(std::initializer_list<const char*> names) {
  if (operand_) return false;
  for (const char* n : names)
    if (word_ == n) return true;
  return false;
}

std::string Arguments::Value() {
  if (hasInline_) {
    hasInline_ = false;
    return inlineValue_;
  }
  if (at_ >= words_.size()) throw UsageError("option " + word_ + " needs a value");
  return words_[at_++];
}

std::string Arguments::Text() {
  if (hasInline_) {
    hasInline_ = false;
    const std::string& whole = texts_[at_ - 1];
    return whole.substr(whole.find('=') + 1);
  }
  if (at_ >= words_.size()) throw UsageError("option " + word_ + " needs a value");
  return texts_[at_++];
}

uint64_t ParseSize(const std::string& text, const std::string& option) {
  char* end = nullptr;
  double n = std::strtod(text.c_str(), &end);
  std::string unit = end ? std::string(end) : "";
  for (char& c : unit) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  double scale = unit.empty() || unit == "b" ? 1 : unit == "k" || unit == "kb" || unit == "kib" ? 1024.0
                 : unit == "m" || unit == "mb" || unit == "mib" ? 1048576.0
                 : unit == "g" || unit == "gb" || unit == "gib" ? 1073741824.0 : -1;
  if (end == text.c_str() || scale < 0 || !(n > 0) || n * scale > 4294967295.0)
    throw UsageError(option + " takes a size such as 1440k, 100m or 65536 (below 4g), not '" + text + "'");
  return static_cast<uint64_t>(std::floor(n * scale));
}

int ParseNumber(const std::string& text, const std::string& option) {
  char* end = nullptr;
  long n = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != 0 || n < 0 || n > 1000) throw UsageError(option + " takes a number, not '" + text + "'");
  return static_cast<int>(n);
}

}  // namespace mksfx

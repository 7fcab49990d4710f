// The command line: GNU-style long options ("--name value", "--name=value"),
// a few short ones, "--" before operands that start with "-".
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace mksfx {

class Arguments {
 public:
  Arguments(int argc, char** argv, int first);
  // The next word, false at the end.
  bool Next();
  // The word in hand is the option (one of the names, e.g. "-o", "--output").
  bool Is(std::initializer_list<const char*> names);
  // The option's value: after "=" or the next word; throws Failure if none.
  std::string Value();
  // The same, for a value that is text, not a path (a password, a caption):
  // in UTF-8 as the system has it. On Windows the arguments arrive in the
  // ANSI code page, which may lack its characters; this reads them from the
  // wide command line instead.
  std::string Text();
  bool IsOperand() const { return operand_; }
  const std::string& Word() const { return word_; }

 private:
  std::vector<std::string> words_;
  std::vector<std::string> texts_;  // the words in UTF-8
  size_t at_ = 0;
  std::string word_, inlineValue_;
  bool hasInline_ = false, operand_ = false, onlyOperands_ = false;
};

// "700k", "1.5m" (KiB, MiB, GiB), or plain bytes.
uint64_t ParseSize(const std::string& text, const std::string& option);
int ParseNumber(const std::string& text, const std::string& option);

}  // namespace mksfx

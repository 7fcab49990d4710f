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
  bool IsOperand() const { return operand_; }
  const std::string& Word() const { return word_; }

 private:
  std::vector<std::string> words_;
  size_t at_ = 0;
  std::string word_, inlineValue_;
  bool hasInline_ = false, operand_ = false, onlyOperands_ = false;
};

// "700k", "1.5m" (KiB, MiB, GiB), or plain bytes.
uint64_t ParseSize(const std::string& text, const std::string& option);
int ParseNumber(const std::string& text, const std::string& option);

}  // namespace mksfx

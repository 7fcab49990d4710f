// The terminal: a progress bar on stderr (only when stderr is a terminal),
// and a password typed without echo.
#pragma once
#include <chrono>
#include <cstdint>
#include <string>

namespace mksfx {

bool StderrIsTerminal();
bool StdinIsTerminal();

// Reads one line from the terminal without showing it; throws Failure when
// there is no terminal to ask.
std::string ReadSecret(const std::string& prompt);

class Progress {
 public:
  explicit Progress(uint64_t total);
  ~Progress();
  // done bytes of the total, and what is being worked on.
  void Show(uint64_t done, const std::string& what);
  // Clears the bar (before a summary or a failure line).
  void Clear();
  double Seconds() const;

 private:
  uint64_t total_;
  bool shown_ = false, enabled_;
  std::chrono::steady_clock::time_point start_, last_;
};

}  // namespace mksfx

// The terminal: a progress bar on stderr (only when stderr is a terminal),
// and a password typed without echo.
#pragma once
#include <chrono>
#include <cstdint>
#include <string>

namespace mksfx {

bool StderrIsTerminal();
bool StdoutIsTerminal();
bool StdinIsTerminal();

// Reads one line from the terminal without showing it; throws Failure when
// there is no terminal to ask.
std::string ReadSecret(const std::string& prompt);

// A bar with the share done, what is in hand and the time so far, redrawn
// by a thread of its own a few times a second, so that it keeps moving
// while one large entry is compressed in a single call. Runs shorter than a
// third of a second show nothing.
class Progress {
 public:
  // shown false: no bar even on a terminal (mksfx create -v names the
  // entries instead).
  explicit Progress(uint64_t total, bool shown = true);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;
  // done bytes of the total, and what is being worked on.
  void Show(uint64_t done, const std::string& what);
  // Stops the bar and clears its line (before a summary or a failure line).
  void Clear();
  double Seconds() const;

 private:
  struct Ticker;
  void Draw();
  uint64_t total_, done_ = 0;
  std::string what_;
  bool shown_ = false;
  std::chrono::steady_clock::time_point start_;
  Ticker* ticker_ = nullptr;  // null when stderr is no terminal
};

}  // namespace mksfx

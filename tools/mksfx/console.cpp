// Terminal helpers (console.h).
#include "tools/mksfx/console.h"
#include <cstdio>
#include <iostream>
#include "tools/mksfx/common.h"
#include "tools/mksfx/threads.h"
#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <termios.h>
#include <unistd.h>
#endif

namespace mksfx {

#ifdef _WIN32
bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }
bool StdoutIsTerminal() { return _isatty(_fileno(stdout)) != 0; }
bool StdinIsTerminal() { return _isatty(_fileno(stdin)) != 0; }

std::string ReadSecret(const std::string& prompt) {
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (!StdinIsTerminal() || !GetConsoleMode(in, &mode)) throw Failure("no terminal to ask for the password; give --password or --password-file");
  std::cerr << prompt << std::flush;
  SetConsoleMode(in, mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
  std::string line;
  std::getline(std::cin, line);
  SetConsoleMode(in, mode);
  std::cerr << "\n";
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}
#else
bool StderrIsTerminal() { return isatty(2) != 0; }
bool StdoutIsTerminal() { return isatty(1) != 0; }
bool StdinIsTerminal() { return isatty(0) != 0; }

std::string ReadSecret(const std::string& prompt) {
  FILE* tty = std::fopen("/dev/tty", "r+");
  if (tty == nullptr) throw Failure("no terminal to ask for the password; give --password or --password-file");
  int fd = fileno(tty);
  termios saved{}, quiet{};
  tcgetattr(fd, &saved);
  quiet = saved;
  quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
  std::fputs(prompt.c_str(), tty);
  std::fflush(tty);
  tcsetattr(fd, TCSAFLUSH, &quiet);
  std::string line;
  for (int c; (c = std::fgetc(tty)) != EOF && c != '\n';) line += static_cast<char>(c);
  tcsetattr(fd, TCSAFLUSH, &saved);
  std::fputs("\n", tty);
  std::fclose(tty);
  return line;
}
#endif

// The redrawing thread and the lock around the bar's state.
struct Progress::Ticker {
  Progress* bar;
  bool stop = false;
  Mutex lock;
  Wakeup stopped;
  Thread thread;
  void Lock() { lock.Lock(); }
  void Unlock() { lock.Unlock(); }
  explicit Ticker(Progress* p) : bar(p), thread([this] { Loop(); }) {}
  void Join() { thread.Join(); }
  void Loop() {
    Locked held(lock);
    while (!stop) {
      stopped.WaitFor(lock, 100);
      if (!stop) bar->Draw();
    }
  }
};

Progress::Progress(uint64_t total, bool shown) : total_(total), start_(std::chrono::steady_clock::now()) {
  if (shown && StderrIsTerminal()) ticker_ = new Ticker(this);
}

Progress::~Progress() { Clear(); }

double Progress::Seconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void Progress::Show(uint64_t done, const std::string& what) {
  if (ticker_ == nullptr) return;
  ticker_->Lock();
  done_ = done;
  what_ = what;
  ticker_->Unlock();
}

// Called with the lock held.
void Progress::Draw() {
  double seconds = Seconds();
  if (seconds < 0.3) return;
  const int width = 30;
  int percent = total_ == 0 ? 100 : static_cast<int>(done_ * 100 / total_);
  if (percent > 100) percent = 100;
  int filled = percent * width / 100;
  std::string name = what_.size() > 32 ? "..." + what_.substr(what_.size() - 29) : what_;
  std::fprintf(stderr, "\r[%s%s] %3d%%  %-32s %6.1f s", std::string(filled, '#').c_str(),
               std::string(width - filled, '.').c_str(), percent, name.c_str(), seconds);
  std::fflush(stderr);
  shown_ = true;
}

void Progress::Clear() {
  if (ticker_ == nullptr) return;
  ticker_->Lock();
  ticker_->stop = true;
  ticker_->stopped.All();
  ticker_->Unlock();
  ticker_->Join();
  delete ticker_;
  ticker_ = nullptr;
  if (shown_) std::fprintf(stderr, "\r%*s\r", 79, "");
  std::fflush(stderr);
}

}  // namespace mksfx

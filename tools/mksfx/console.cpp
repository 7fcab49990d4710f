// Terminal helpers (console.h).
#include "tools/mksfx/console.h"
#include <cstdio>
#include <iostream>
#include "tools/mksfx/common.h"
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

Progress::Progress(uint64_t total)
    : total_(total), enabled_(StderrIsTerminal()), start_(std::chrono::steady_clock::now()), last_(start_) {}

Progress::~Progress() { Clear(); }

double Progress::Seconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void Progress::Show(uint64_t done, const std::string& what) {
  if (!enabled_) return;
  auto now = std::chrono::steady_clock::now();
  // A few times a second at most, and only for runs that take a while.
  if (now - start_ < std::chrono::milliseconds(300) || (shown_ && now - last_ < std::chrono::milliseconds(100))) return;
  last_ = now;
  const int width = 30;
  int percent = total_ == 0 ? 100 : static_cast<int>(done * 100 / total_);
  if (percent > 100) percent = 100;
  int filled = percent * width / 100;
  std::string name = what.size() > 40 ? "..." + what.substr(what.size() - 37) : what;
  std::fprintf(stderr, "\r[%s%s] %3d%%  %-40s", std::string(filled, '#').c_str(), std::string(width - filled, '.').c_str(),
               percent, name.c_str());
  std::fflush(stderr);
  shown_ = true;
}

void Progress::Clear() {
  if (!shown_) return;
  std::fprintf(stderr, "\r%*s\r", 79, "");
  std::fflush(stderr);
  shown_ = false;
}

}  // namespace mksfx

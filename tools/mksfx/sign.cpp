// Signing (sign.h): osslsigncode is run as a separate program.
#include "tools/mksfx/sign.h"
#include <fstream>
#include <vector>
#include "tools/mksfx/common.h"
#include "tools/mksfx/interrupt.h"
#ifdef _WIN32
#include <process.h>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace mksfx {

namespace {

// Runs the program; its output goes to log. The exit code, or -1 when it
// could not be started.
int Run(const std::vector<std::string>& args, const fs::path& log) {
#ifdef _WIN32
  (void)log;
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  argv.push_back(nullptr);
  intptr_t rc = _spawnvp(_P_WAIT, argv[0], argv.data());
  return static_cast<int>(rc);
#else
  pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    RestoreSignals();
    int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd >= 0) {
      dup2(fd, 1);
      dup2(fd, 2);
    }
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  EndOnSignal(pid);
  int status = 0;
  waitpid(pid, &status, 0);
  EndOnSignal(0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

// osslsigncode says what failed in its first line, then OpenSSL's details.
std::string FirstLine(const fs::path& log) {
  std::ifstream in(log);
  std::string line;
  while (std::getline(in, line))
    if (!line.empty()) return line;
  return "no reason given";
}

void MustExist(const fs::path& p) {
  std::error_code ec;
  if (!fs::is_regular_file(p, ec)) throw Failure("cannot read " + p.string());
}

}  // namespace

void SignFile(const fs::path& file, const SignSettings& s) {
  if (s.cert.empty() || s.key.empty()) throw Failure("signing needs both --sign-cert and --sign-key");
  fs::path signedFile = file;
  signedFile += ".signed";
  fs::path log = file;
  log += ".log";
  struct Cleanup {
    fs::path a, b;
    SignalSlot *slotA, *slotB;
    ~Cleanup() {
      std::error_code ec;
      fs::remove(a, ec);
      fs::remove(b, ec);
      ForgetOnSignal(slotA);
      ForgetOnSignal(slotB);
    }
  } cleanup{signedFile, log, RemoveOnSignal(signedFile), RemoveOnSignal(log)};

  std::vector<std::string> args = {s.tool, "sign", "-certs", s.cert, "-key", s.key, "-h", "sha256"};
  if (!s.passFile.empty()) {
    args.push_back("-readpass");
    args.push_back(s.passFile);
  }
  args.insert(args.end(), {"-in", file.string(), "-out", signedFile.string()});
  int rc = Run(args, log);
  if (rc == -1 || rc == 127) throw Failure("cannot run " + s.tool + " (install osslsigncode)");
  if (rc != 0) throw Failure(s.tool + " failed: " + FirstLine(log));
  MustExist(signedFile);
  std::error_code ec;
  fs::rename(signedFile, file, ec);
  if (ec) throw Failure("cannot rename " + signedFile.string() + ": " + ec.message());
}

}  // namespace mksfx

// recorder: a stand-in for the program a self-extracting file runs after
// extraction. It writes what it was started with into recorder.log in its own
// folder, one item a line:
//   line <the command line>
//   argc <count>
//   arg<i> <argument i>         for i >= 1, as the C runtime splits them
//   long<i> <its long form>     where argument i names an existing path
//   cwd <current folder>        and its long form as "longcwd <...>"
// At its start it makes recorder.started there; then, while recorder.hold
// exists there, it waits (at most a minute). The log is written last, under
// another name first, so that once it is there it is complete.
//
// Started as "recorder spawn", it starts a copy of itself as "recorder child"
// and ends at once with exit code 7, as a setup program that hands over to
// its installer does; the child waits 1.5 s, then writes recorder.child with
// what data.txt beside it holds then ("missing" when it is gone).
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string OwnFolder() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string s(path, n);
  return s.substr(0, s.find_last_of('\\') + 1);
}

std::string LongForm(const std::string& path) {
  char longer[MAX_PATH];
  DWORD n = GetLongPathNameA(path.c_str(), longer, sizeof longer);
  return n > 0 && n < sizeof longer ? std::string(longer, n) : std::string();
}

}  // namespace

int main(int argc, char** argv) {
  std::string folder = OwnFolder();
  if (argc == 2 && std::string(argv[1]) == "spawn") {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string line = "\"" + std::string(self) + "\" child";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
      return 9;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 7;
  }
  if (argc == 2 && std::string(argv[1]) == "child") {
    Sleep(1500);
    std::string seen = "missing";
    if (FILE* d = std::fopen((folder + "data.txt").c_str(), "rb")) {
      char buffer[64];
      size_t n = std::fread(buffer, 1, sizeof buffer, d);
      seen.assign(buffer, n);
      std::fclose(d);
    }
    FILE* c = std::fopen((folder + "recorder.child").c_str(), "wb");
    if (c == nullptr) return 3;
    std::fwrite(seen.data(), 1, seen.size(), c);
    std::fclose(c);
    return 0;
  }
  std::string log = "line " + std::string(GetCommandLineA()) + "\n";
  log += "argc " + std::to_string(argc) + "\n";
  for (int i = 1; i < argc; ++i) {
    log += "arg" + std::to_string(i) + " " + argv[i] + "\n";
    std::string longer = LongForm(argv[i]);
    if (!longer.empty()) log += "long" + std::to_string(i) + " " + longer + "\n";
  }
  char cwd[MAX_PATH];
  DWORD n = GetCurrentDirectoryA(sizeof cwd, cwd);
  log += "cwd " + std::string(cwd, n) + "\n";
  log += "longcwd " + LongForm(std::string(cwd, n)) + "\n";

  std::string started = folder + "recorder.started";
  FILE* f = std::fopen(started.c_str(), "wb");
  if (f == nullptr) return 2;
  std::fclose(f);

  std::string hold = folder + "recorder.hold";
  for (int waited = 0; waited < 60000 && GetFileAttributesA(hold.c_str()) != INVALID_FILE_ATTRIBUTES; waited += 50)
    Sleep(50);

  std::string temporary = folder + "recorder.tmp", final = folder + "recorder.log";
  f = std::fopen(temporary.c_str(), "wb");
  if (f == nullptr) return 3;
  std::fwrite(log.data(), 1, log.size(), f);
  std::fclose(f);
  if (!MoveFileExA(temporary.c_str(), final.c_str(), MOVEFILE_REPLACE_EXISTING)) return 4;
  return 0;
}

// The program of --run against the archive's entries (run_program.h).
#include "tools/mksfx/run_program.h"
#include <cstdio>
#include "tools/mksfx/collisions.h"
#include "tools/mksfx/common.h"

namespace mksfx {

std::string RunProgramEntry(const std::string& run) {
  // The command's text as the block holds it, then as UTF-8 again, as
  // the entries' names are.
  std::string text;
  if (!ToWindows1252(run, text)) return "";
  text = FromWindows1252(text);
  std::string program = text.substr(0, text.find('|'));
  size_t mark = program.rfind("><");
  if (mark == std::string::npos) return "";
  std::string name = program.substr(mark + 2);
  while (!name.empty() && (name.back() == '"' || name.back() == ' ')) name.pop_back();
  for (char& c : name)
    if (c == '\\') c = '/';
  size_t first = name.find_first_not_of("/\" ");
  return first == std::string::npos ? "" : name.substr(first);
}

bool ArchiveHolds(const std::vector<std::string>& names, const std::string& entry) {
  std::string want = FoldedName(entry);
  if (want.empty()) return true;  // the destination itself
  for (const std::string& n : names) {
    std::string have = FoldedName(n);
    if (have == want || have.compare(0, want.size() + 1, want + "/") == 0) return true;
  }
  return false;
}

void WarnIfRunProgramMissing(const std::string& run, const std::vector<std::string>& names) {
  std::string entry = RunProgramEntry(run);
  if (entry.empty() || ArchiveHolds(names, entry)) return;
  std::fprintf(stderr,
               "mksfx: warning: --run names %s in the destination, but the archive holds no %s; "
               "the stub will find no program to run there\n",
               entry.c_str(), entry.c_str());
}

}  // namespace mksfx

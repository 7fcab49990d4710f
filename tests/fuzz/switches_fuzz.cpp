// The command line of an unattended run on arbitrary text: the switches are
// read without a sanitizer report, and what they leave holds together: a
// taken line ends nothing and sets no exit code, a refused one opens no log,
// and every text they fill is terminated inside its buffer. Lines that name
// a log are skipped: the target must make no file anywhere.
#include <string.h>
#include <strings.h>
#include <cstdlib>
#include <string>
#include "Sfx/state.h"
#include "Sfx/switches.h"
#include "tests/support/fresh_state.h"
#include "tests/support/posix_control.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string line(reinterpret_cast<const char*>(data), size);
  line.resize(strlen(line.c_str()));  // the system's text ends at its first NUL
  for (size_t at = 0; at + 4 <= line.size(); ++at)
    if (strncasecmp(line.c_str() + at, "log=", 4) == 0) return 0;
  FreshProgramState();
  posix::CommandLine = line;
  bool taken = TakeCommandLine();
  if (taken && ExitCode != ExitExtracted) std::abort();
  if (!taken && ExitCode != ExitExtracted && ExitCode != ExitBadSwitch) std::abort();
  if (LogHandle != 0) std::abort();
  if (memchr(SwitchDestination, 0, sizeof SwitchDestination) == nullptr) std::abort();
  if (memchr(RunArguments, 0, sizeof RunArguments) == nullptr) std::abort();
  if (memchr(CurrentPassword, 0, sizeof CurrentPassword) == nullptr) std::abort();
  // With /S nothing is ever shown.
  if (Silent && !posix::Messages.empty()) std::abort();
  return 0;
}

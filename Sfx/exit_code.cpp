// The process's exit code, from what the run came to.
#include "Sfx/sfx.h"
#include "Sfx/state.h"

// code  meaning
//  0    every entry extracted, or nothing tried (the dialog closed, /?)
//  1    an entry was not extracted: the failure summary was shown; or,
//       after a waited-for program that ended with 0, files that the
//       deletion pass could not delete
//  2    the archive could not be opened or read
//  3    the user cancelled
//  4    the program to run after extraction could not be started
//  5    the command line has an unknown switch, or the log cannot be made
//  N    with wait-then-delete, the waited-for program's own exit code,
//       when it is not 0
int ProcessExitCode() {
  if (RunState == RunEnded && RunExitCode != 0) return static_cast<int>(RunExitCode);
  if (RunState == RunNotStarted) return ExitRunFailed;
  return ExitCode;
}

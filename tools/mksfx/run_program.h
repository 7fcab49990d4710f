// The program that --run names, held against the archive's entries. The
// stub forms the program from the run command's part before "|", with "><"
// standing for the destination and a trailing "\" (Dialogsel/command.cpp):
// "><setup.exe" is the file setup.exe that the archive has just written.
// When the archive holds no such entry, the stub's run fails on the target
// ("Cannot open file .."), so mksfx says so when it makes the program.
#pragma once
#include <string>
#include <vector>

namespace mksfx {

// The entry name ("bin/setup.exe") that the run command's program names in
// the destination, from the text after its last "><" (blanks and quotes
// around it dropped, "\" as "/"); "" when the program is not of that form
// or names the destination folder itself ("><").
std::string RunProgramEntry(const std::string& run);

// True when the names (UTF-8, "/" separators, folders ending in "/") hold
// the entry as Windows would find it: without case, dots and blanks that
// end a part dropped (collisions.h), as a file or a folder that an entry
// is in.
bool ArchiveHolds(const std::vector<std::string>& names, const std::string& entry);

// Says on stderr, as a warning, when the run command names a program in the
// destination that is none of the names; run as given on the command line.
void WarnIfRunProgramMissing(const std::string& run, const std::vector<std::string>& names);

}  // namespace mksfx

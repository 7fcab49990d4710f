// The program run after extraction: the two parts of RunCommand, and the run
// itself, through the shell or as a process waited for and followed by the
// deletion pass.
#pragma once
#include <stdint.h>
#include "platform/platform.h"

// The two parts of RunCommand, split at its first "|".
enum CommandPartKind : uint8_t { ProgramPart, ParametersPart };

// One part of RunCommand into part (TextBufferSize bytes), every "><" standing
// for DestinationFolder with a trailing "\" (added to DestinationFolder in
// place), then in its short form where the system has a shorter one. False,
// with part empty, when DestinationFolder has no room for its "\".
bool RunCommandPart(CommandPartKind kind, char* part);

// After an extraction that succeeded: nothing unless checked is 1 and a
// command is configured. Without WaitThenDelete the shell opens the program;
// with it the program is started and waited for, then the deletion pass
// removes the files this run wrote. A destination too long to form the
// command is refused with "Error in directory .." (owned by owner).
void RunAfterExtraction(WindowHandle owner, uint8_t checked);

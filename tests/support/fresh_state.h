// The start-up state of the program for one test case, fuzz input or
// benchmark: every rig begins each case from here.
#pragma once

// Program-wide state and the local header back to their start-up values, the
// test doubles back to their defaults, and the CRC tables built as start-up
// builds them.
void FreshProgramState();

// Resets the doubles that stand in for the system and the user: defined once
// per rig (the posix platform with the scripted prompts, or the benchmark's
// memory archive).
void ResetTestDoubles();

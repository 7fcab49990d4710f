// The program block and the archive seek that every module moves with.
#pragma once
#include <stdint.h>

// Moves ArchiveHandle (SetFilePointer, low 32 bits only) and records the
// platform's answer in ArchivePosition. 0 on success, -1 on a platform failure;
// a seek beyond the end succeeds and the next read comes up short.
int SeekArchive(int32_t distance, int method);

// The whole life of the process: open the own executable, build the CRC table,
// read the configuration, run the main dialog, close the archive. Returns the
// exit code (ExitCodeKind): what the last extraction came to.
int RunProgram();

// The exit code the process ends with (the table is in Sfx/exit_code.cpp).
int ProcessExitCode();

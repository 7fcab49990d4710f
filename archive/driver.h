// The extraction driver: the count, extraction and deletion passes over the
// archive, with the password and overwrite decisions and the summary.
#pragma once
#include <stdint.h>
#include "platform/platform.h"

enum PassKind : uint8_t {
  CountPass,    // sums the uncompressed sizes for the total bar
  ExtractPass,  // writes every entry below DestinationFolder
  DeletePass,   // deletes the entries' files again
};

void ExtractArchive(WindowHandle owner, PassKind kind);

// Reads the current entry's name (the archive standing right after its local
// header) into name (TextBufferSize bytes) as Windows is to be given it: cut
// at a NUL, and a UTF-8 name (bit 11, or an Info-ZIP Unicode Path field that
// matches) converted to the system's code page. False when the name cannot
// be had whole (too long, or not in the code page). The walk uses it, and so
// does mksfx when it reads a self-extracting file back.
bool ReadEntryName(char* name);

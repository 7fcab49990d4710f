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

// A refused name is shown by at most its first ShownNameBytes bytes.
enum : uint32_t { ShownNameBytes = 1000 };

// One pass. The extraction pass sets ExitCode from what it came to; the count
// pass sets it only when the archive cannot be read.
void ExtractArchive(WindowHandle owner, PassKind kind);

// The extraction driver: the count, extraction and deletion passes over the
// archive, with the password and overwrite decisions and the summary.
#pragma once
#include <stdint.h>
#include "platform/platform.h"

enum PassKind : uint8_t {
  CountPass,    // sums the uncompressed sizes for the total bar
  ExtractPass,  // writes every entry below DestinationFolder
  DeletePass,   // deletes the entries' files again
  TestPass,     // decodes every entry into nothing: the check before a whole-or-nothing extraction
};

// A refused name is shown by at most its first ShownNameBytes bytes.
enum : uint32_t { ShownNameBytes = 1000 };

// One pass. The extraction pass sets ExitCode from what it came to; the count
// pass sets it only when the archive cannot be read; the deletion pass only
// when it did not delete every file the extraction wrote (ExitNotExtracted,
// after a message that names the files still there). With VerifyFirst, the
// extraction pass of a program that is not spanned is preceded by the test
// pass, and runs only when every entry's data arrived whole: otherwise
// nothing is written and the exit code is ExitUnreadable (ExitNotExtracted
// after a refused password, ExitCancelled after a cancel).
void ExtractArchive(WindowHandle owner, PassKind kind);

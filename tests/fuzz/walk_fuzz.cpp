// The header walk with the driver's count pass on an arbitrary archive: the
// input is the archive behind the stub. The pass must end without a
// sanitizer report or leak, whatever the headers and names claim.
#include "Sfx/state.h"
#include "archive/driver.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/support/fresh_state.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FreshProgramState();
  ArchiveHandle = MemoryArchive(data, size);
  ArchiveStart = 0;
  ExtractArchive(0, CountPass);
  CloseFile(ArchiveHandle);
  ArchiveHandle = NoFile;
  return 0;
}

// The header walk with the driver's count pass on an arbitrary archive: the
// input is the archive behind the stub. The pass must end without a
// sanitizer report or leak, whatever the headers and names claim.
#include "Sfx/state.h"
#include "archive/crypt.h"
#include "archive/driver.h"
#include "platform/posix/control.h"
#include "tests/fuzz/fuzz_input.h"

static uint32_t TableStorage[257];

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ResetProgramState();
  posix::Reset();
  CrcTable = TableStorage;
  BuildCrcTable();
  ArchiveHandle = MemoryArchive(data, size);
  ArchiveStart = 0;
  ExtractArchive(0, 1, 0);
  CloseFile(ArchiveHandle);
  ArchiveHandle = NoFile;
  return 0;
}

// The start-up state of the program (see fresh_state.h).
#include "tests/support/fresh_state.h"
#include "Sfx/state.h"
#include "archive/crc32.h"
#include "archive/entry_data.h"
#include "archive/header.h"

void FreshProgramState() {
  static uint32_t tableStorage[257];  // start-up allocates a 1,028-byte block
  ResetProgramState();
  ResetLocalHeader();
  EntryStop = EntryGoesOn;
  EntryCipher = CipherNone;
  ResetTestDoubles();
  CrcTable = tableStorage;
  BuildCrcTable();
}

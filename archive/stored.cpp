// The copy of stored (method 0) entries, and the file time of each written
// file.
//
// A stored entry streams through the two ends of entry_data.cpp in chunks of
// 32,768 bytes: read, decrypted and followed onto the next volume there,
// written, counted, run through the CRC and painted there.
#include "archive/stored.h"
#include "SFXinflt/entry_ends.h"
#include "Sfx/state.h"

bool CopyStoredEntry() {
  if (EntryRemaining == 0) return true;
  uint32_t room = EntryRemaining < EntryChunkSize ? static_cast<uint32_t>(EntryRemaining) : static_cast<uint32_t>(EntryChunkSize);
  uint8_t* buffer = static_cast<uint8_t*>(AllocateBlock(room));
  if (buffer == 0) return false;
  for (uint32_t got; (got = TakeEntryInput(buffer, room)) > 0;)
    if (!GiveEntryOutput(buffer, got)) break;
  ReleaseBlock(buffer);
  return true;
}

// The local header's date-time field: the DOS date in the high half, the DOS
// time in the low half. A value that names no moment leaves the times alone.
void SetFileTimeFromDos(FileHandle file, uint32_t dosDateTime) {
  SetLastWriteFromDos(file, static_cast<uint16_t>(dosDateTime >> 16), static_cast<uint16_t>(dosDateTime));
}

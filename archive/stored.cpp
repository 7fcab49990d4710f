// The copy of stored (method 0) entries, the progress accounting that this
// copy and the Inflate output share, and the file time of each written file.
//
// A stored entry streams through the two ends of entry_data.cpp in chunks of
// 32,768 bytes: read, decrypted and followed onto the next volume there,
// written, counted and run through the CRC there. The bars are painted after
// every chunk.
#include "archive/stored.h"
#include "SFXinflt/inflate.h"
#include "Sfx/state.h"
#include "archive/prompts.h"

void CopyStoredEntry() {
  if (EntryRemaining == 0) return;
  uint32_t room = EntryRemaining < ChunkSize ? EntryRemaining : ChunkSize;
  uint8_t* buffer = static_cast<uint8_t*>(AllocateBlock(room));
  if (buffer == 0) {
    CancelRequested = 1;  // nothing can be copied; end the run at the next check
    return;
  }
  for (uint32_t got; (got = TakeEntryInput(buffer, room)) > 0;) GiveEntryOutput(buffer, got);
  ReleaseBlock(buffer);
}

void AddProgress(int32_t count) {
  ArchiveDone += count;
  EntryDone += count;
  EntryPercent = ProgressPercent(static_cast<uint32_t>(EntryDone), static_cast<uint32_t>(EntryTotal));
  ArchivePercent = ProgressPercent(static_cast<uint32_t>(ArchiveDone), static_cast<uint32_t>(ArchiveTotal));
  PaintProgressNow();
}

// done x 100 / total rounded to the nearest integer, a tie going to the even
// neighbour, and at most 100. In doubles every step is exact (done x 100 is
// below 2^39; a quotient is never within 2^-32 of an integer without being
// one), and the stub needs no 64-bit division routine for it.
int32_t ProgressPercent(uint32_t done, uint32_t total) {
  if (total == 0) return 0;
  double scaled = static_cast<double>(done) * 100.0;
  double divisor = static_cast<double>(total);
  double quotient = static_cast<double>(static_cast<uint32_t>(scaled / divisor));
  if (quotient >= 100.0) return 100;
  double twiceRest = (scaled - quotient * divisor) * 2.0;
  if (twiceRest > divisor || (twiceRest == divisor && (static_cast<uint32_t>(quotient) & 1) != 0)) quotient += 1.0;
  return quotient > 100.0 ? 100 : static_cast<int32_t>(quotient);
}

// The local header's date-time field: the DOS date in the high half, the DOS
// time in the low half. A value that names no moment leaves the times alone.
void SetFileTimeFromDos(FileHandle file, uint32_t dosDateTime) {
  SetLastWriteFromDos(file, static_cast<uint16_t>(dosDateTime >> 16), static_cast<uint16_t>(dosDateTime));
}

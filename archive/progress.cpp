// Progress accounting (progress.h): both counters, both percentages, and the
// paint after every chunk of output.
#include "archive/progress.h"
#include "Sfx/state.h"
#include "archive/prompts.h"

void AddProgress(int32_t count) {
  ArchiveDone += count;
  EntryDone += count;
  EntryPercent = ProgressPercent(static_cast<uint64_t>(EntryDone), static_cast<uint64_t>(EntryTotal));
  ArchivePercent = ProgressPercent(static_cast<uint64_t>(ArchiveDone), static_cast<uint64_t>(ArchiveTotal));
  PaintProgressNow();
}

// done x 100 / total rounded to the nearest integer, a tie going to the even
// neighbour, and at most 100. In doubles every step is exact (done x 100 is
// below 2^39; a quotient is never within 2^-32 of an integer without being
// one), and the stub needs no 64-bit division routine for it. Totals of
// 4 GiB and more are halved with the count until they fit 32 bits.
int32_t ProgressPercent(uint64_t wideDone, uint64_t wideTotal) {
  if (wideTotal == 0) return 0;
  if (wideDone >= wideTotal) return 100;
  while ((wideTotal >> 32) != 0) {
    wideTotal >>= 1;
    wideDone >>= 1;
  }
  uint32_t done = static_cast<uint32_t>(wideDone), total = static_cast<uint32_t>(wideTotal);
  double scaled = static_cast<double>(done) * 100.0;
  double divisor = static_cast<double>(total);
  double quotient = static_cast<double>(static_cast<uint32_t>(scaled / divisor));
  if (quotient >= 100.0) return 100;
  double twiceRest = (scaled - quotient * divisor) * 2.0;
  if (twiceRest > divisor || (twiceRest == divisor && (static_cast<uint32_t>(quotient) & 1) != 0)) quotient += 1.0;
  return quotient > 100.0 ? 100 : static_cast<int32_t>(quotient);
}

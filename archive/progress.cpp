// Progress accounting (progress.h): both counters, both percentages, and the
// paint after every chunk of output.
#include "archive/progress.h"
#include "Sfx/state.h"
#include "archive/prompts.h"

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

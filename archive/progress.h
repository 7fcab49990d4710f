// Progress accounting: the counters of the entry and of the whole archive,
// their percentages, and the paint that shows them.
#pragma once
#include <stdint.h>

// Advances EntryDone and ArchiveDone by count, works out both percentages
// and has the bars painted.
void AddProgress(int32_t count);
// done x 100 / total, rounded to the nearest integer, at most 100; 0 for a
// total of 0.
int32_t ProgressPercent(uint64_t done, uint64_t total);

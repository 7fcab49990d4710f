// The central directory of a program that is not spanned, read only when an
// entry needs it: a local header with bit 3 and no sizes. The end record (and
// the Zip64 locator and end record) say where the directory lies; a zip glued
// behind the stub counts its offsets from its own start, one fixed with
// `zip -A` from the program's start, and the difference between where the
// directory is and where the end record says it is covers both. A local
// header is matched with its record by position, from the record after the
// last one matched, so that a walk front to back reads each record once.
#pragma once
#include <stdint.h>

struct DirectoryFacts {
  uint64_t compressedSize, uncompressedSize;
  uint32_t crc32;
};

// The directory's record of the local header at headerStart (a position in
// the program file). False when there is no readable directory or no record
// of that header. The archive position is left where it was.
bool DirectoryRecordOf(uint32_t headerStart, DirectoryFacts* facts);

// Forgets what was learnt of the directory (a new pass, a new archive).
void ForgetDirectory();

// The local header reader. The walk visits local headers front to back and
// ends at the first position that holds none (normally the central directory).
#pragma once
#include <stdint.h>
#include "archive/zip_format.h"

extern LocalHeaderRecord LocalHeader;  // the local header read last

// Back to all zeros, with the entry record and what was learnt of the
// directory (host tests, between cases).
void ResetLocalHeader();

// Reads the 30-byte record at the current archive position into LocalHeader
// and records that position as HeaderStart. True for a local header; steps
// over spanning markers (the one at the archive's start marks it spanned). In
// a spanned archive a record cut by the volume's end goes on in the next.
bool ReadLocalHeader();

// Seeks to where the next local header is expected: after the entry's data
// and, with general purpose bit 3, its data descriptor (CurrentEntry). False
// when that position lies beyond 4 GiB of the same volume (volumeChanged
// false), so that the walk would wrap around, or when the volume it lies in
// cannot be had.
bool SeekNextHeader(bool volumeChanged);
// Makes the next volume of a spanned archive the one in hand, in the middle
// of an entry: HeaderStart is lowered by the length of the volume left, so
// that positions reckoned from it go on in the new one. A volume that cannot
// be had is asked for once in a pass: false then, and VolumeChangeFailed set.
bool GoOnInNextVolume();
// Reads count bytes at the current position; in a spanned archive the bytes
// that the volume lacks come from the start of the next one. Returns the
// bytes read; fewer when no further volume can be had (VolumeChangeFailed is
// then set), a volume is empty, or the archive ends.
uint32_t ReadAcrossVolumes(void* buffer, uint32_t count);
// Seeks to offset bytes after HeaderStart, in a spanned archive in whichever
// later volume that place lies. False as for SeekNextHeader.
bool SeekFromHeader(uint64_t offset, bool volumeChanged);

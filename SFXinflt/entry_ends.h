// The two ends of an entry's data, which the archive layer implements once
// (archive/entry_data.cpp) for every reader of entry data: the Inflate
// decoder and the stored copy take compressed input and hand on output only
// through them, as zlib's inflateBack does with its callbacks. A second
// decoder includes this header, not the Inflate decoder's.
#pragma once
#include <stdint.h>

// The most bytes the ends exchange at a time: archive reads and the stored
// copy's writes alike.
enum : uint32_t { EntryChunkSize = 32768 };

// Puts up to room bytes of the entry's next compressed input, decrypted, into
// buffer and returns how many: 0 when the entry has no more (its compressed
// size is used up, the user cancelled, the archive ended, or the next volume
// could not be had).
uint32_t TakeEntryInput(uint8_t* buffer, uint32_t room);
// Takes count decoded bytes of the entry: writes them to the output file,
// counts them for progress and runs the CRC over what was written. True when
// the entry goes on; false when it is to end here (the output took no more,
// the data ran past its declared size, or the user cancelled).
bool GiveEntryOutput(const uint8_t* bytes, uint32_t count);

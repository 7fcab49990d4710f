// The Inflate decoder (RFC 1951) and its three ends. The decoder decodes the
// current Deflate entry through a 32 KiB window; it takes compressed input,
// hands on decoded output and learns whether to go on only through the two
// functions below, which the archive layer implements once for both of its
// readers (the stored copy uses the same two), as zlib's inflateBack does
// with its callbacks: an output callback that says no ends the entry.
#pragma once
#include <stdint.h>

// The most bytes the ends exchange at a time: archive reads and window
// flushes alike.
enum : uint32_t { EntryChunkSize = 32768 };

// Decodes one entry: from TakeEntryInput to GiveEntryOutput until its last
// block, damage, the end of its input or an output that takes no more.
// False when the decoder's buffers could not be allocated (nothing decoded).
bool InflateEntry();

// --- Implemented by archive/entry_data.cpp --------------------------------
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

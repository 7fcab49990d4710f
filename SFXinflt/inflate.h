// The Inflate decoder (RFC 1951) and its two ends. The decoder decodes the
// current Deflate entry through a 32 KiB window; it takes compressed input
// and hands on decoded output only through the two functions below, which
// the archive layer implements once for both of its readers (the stored copy
// uses the same two), as zlib's inflateBack does with its callbacks.
#pragma once
#include <stdint.h>

// Decodes one entry: from TakeEntryInput to GiveEntryOutput until its last
// block, damage, the end of its input or a cancel request.
void InflateEntry();

// --- Implemented by archive/entry_data.cpp --------------------------------
// Puts up to room bytes of the entry's next compressed input, decrypted, into
// buffer and returns how many: 0 when the entry has no more (its compressed
// size is used up, the user cancelled, or the next volume could not be had).
uint32_t TakeEntryInput(uint8_t* buffer, uint32_t room);
// Takes count decoded bytes of the entry: writes them to the output file,
// counts them for progress and runs the CRC over what was written.
void GiveEntryOutput(const uint8_t* bytes, uint32_t count);

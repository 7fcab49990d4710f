// The Inflate decoder (RFC 1951). It decodes the current Deflate entry
// through a 256 KiB window (distances reach the 32 KiB before it), taking
// compressed input and handing on decoded output through the entry's two
// ends (SFXinflt/entry_ends.h), and says how the stream ended and how much
// of its last input it did not use, as zlib's inflateBack and libdeflate's
// actual_in_nbytes do: a container reads what follows the stream (a ZIP
// data descriptor) from there.
#pragma once
#include <stdint.h>
#include "SFXinflt/entry_ends.h"

// How a stream ended.
enum InflateOutcome : uint8_t {
  InflateNoMemory,      // the decoder's buffers could not be allocated: nothing decoded
  InflateStreamEnded,   // its last block ended cleanly
  InflateStreamDamaged, // an invalid code or block, or its input ended inside it
  InflateOutputStopped, // the output end said the entry ends (cancel, refused write, too long)
};

// Decodes one entry from TakeEntryInput to GiveEntryOutput until its last
// block, damage, the end of its input or an output that takes no more.
InflateOutcome InflateEntry();

// After InflateEntry: the bytes of the input taken last that lie after the
// stream's last bit (0 when it did not end cleanly).
extern uint32_t InflateUnusedInput;

// The decoder's input: the entry's compressed bytes come in chunks of up to
// 32 KiB from TakeEntryInput (already decrypted, and followed onto the next
// volume where one ends inside the entry) and are served to the bit cursor
// a byte at a time at the end of each chunk.
#include "SFXinflt/decoder.h"
#include "Sfx/state.h"

INFLATE_ZEROED uint8_t* InputBuffer;
INFLATE_ZEROED uint16_t InputPos;
INFLATE_ZEROED uint32_t InputCount;
INFLATE_ZEROED BitWord BitBuffer;
INFLATE_ZEROED uint16_t BitCount;
INFLATE_ZEROED uint8_t* SlideWindow;
INFLATE_ZEROED uint16_t SlidePos;

int ReadInputByte() {
  if (EntryStopped()) {
    InputPos = 0;
    InputCount = 0;
    return -1;
  }
  if (InputPos >= InputCount) {
    InputCount = TakeEntryInput(InputBuffer, InputChunk);
    InputPos = 0;
    if (InputCount == 0) return -1;
  }
  return InputBuffer[InputPos++];
}

BitCursor RefillSlowly(BitCursor c, unsigned n) {
  GiveBackInput(c);
  while (c.count < n) {
    int byte = ReadInputByte();
    if (byte < 0) break;
    c.bits |= static_cast<BitWord>(byte) << c.count;
    c.count += 8;
  }
  c.next = InputBuffer + InputPos;
  c.end = InputBuffer + InputCount;
  return c;
}

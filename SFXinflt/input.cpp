// The decoder's input: the entry's compressed bytes come in chunks of up to
// 32 KiB from TakeEntryInput (already decrypted, and followed onto the next
// volume where one ends inside the entry) and are served to the bit cursor
// a word at a time while the chunk holds one, a byte at a time at its end;
// and the bit cursor's requests of the parts that are compiled for size.
#include "SFXinflt/decoder.h"

INFLATE_ZEROED uint8_t* InputBuffer;
INFLATE_ZEROED uint16_t InputPos;
INFLATE_ZEROED uint32_t InputCount;
INFLATE_ZEROED BitWord BitBuffer;
INFLATE_ZEROED uint16_t BitCount;
INFLATE_ZEROED uint8_t* SlideWindow;
INFLATE_ZEROED uint32_t SlidePos;
INFLATE_ZEROED uint8_t OutputRefused;

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

void NeedBits(BitCursor& c, unsigned n) {
  if (c.count >= n) return;
  if (ChunkHoldsWord(c)) {
    FillWord(c);
    return;
  }
  GiveBackInput(c);
  while (c.count < n) {
    int byte = ReadInputByte();
    if (byte < 0) break;
    c.bits |= static_cast<BitWord>(byte) << c.count;
    c.count += 8;
  }
  c.next = InputBuffer + InputPos;
  c.end = InputBuffer + InputCount;
}

unsigned TakeBits(BitCursor& c, unsigned n) {
  NeedBits(c, n);
  unsigned value = PeekBits(c, n);
  DropBits(c, n);
  return value;
}

// The entry and its blocks: InflateEntry sets up the buffers of one entry and
// runs the block loop; InflateBlock reads a block header and hands the block
// to its decoder; CopyStoredBlock copies a stored block into the window.
//
// A damaged stream always ends: the loop stops at the first block that does
// not end cleanly (an invalid code, a code that does not build, a stored
// length without its complement, a reserved block type, or bits taken beyond
// the entry's compressed bytes), then flushes what was decoded as usual, and
// the driver's CRC comparison reports the entry.
#include "SFXinflt/inflate.h"
#include "SFXinflt/decoder.h"
#include "Sfx/state.h"
#include "platform/platform.h"

CodeCell* FixedLiteralTable;
CodeCell* FixedDistanceTable;
CodeCell* FixedLiteralChain;
CodeCell* FixedDistanceChain;

void InflateEntry() {
  InputPos = 0;
  InputCount = 0;
  SlidePos = 0;
  BitCount = 0;
  BitBuffer = 0;
  InputBuffer = static_cast<uint8_t*>(AllocateBlock(BufferBlock));
  SlideWindow = static_cast<uint8_t*>(AllocateBlock(BufferBlock));
  FixedLiteralTable = FixedDistanceTable = 0;
  FixedLiteralChain = FixedDistanceChain = 0;

  // Without its buffers the entry stays empty, and the CRC comparison
  // reports it unless it was empty indeed.
  if (InputBuffer != 0 && SlideWindow != 0) {
    // A distance reaching before the entry's first byte reads zeros, not
    // whatever an earlier owner of the memory left there.
    memset(SlideWindow, 0, BufferBlock);
    uint8_t final = 0;
    while (!final && !EntryStopped())
      if (InflateBlock(&final) != InflateOk) break;
    if (SlidePos > 0) {
      FlushWindow(SlidePos);
      SlidePos = 0;
    }
  }

  ReleaseDecodeTables(FixedLiteralChain);
  ReleaseDecodeTables(FixedDistanceChain);
  FixedLiteralTable = FixedDistanceTable = 0;
  FixedLiteralChain = FixedDistanceChain = 0;
  ReleaseBlock(InputBuffer);
  ReleaseBlock(SlideWindow);
  InputBuffer = SlideWindow = 0;
}

InflateStatus InflateBlock(uint8_t* final) {
  BitCursor c = TakeBitState();
  NeedBits(c, 1);
  *final = static_cast<uint8_t>(c.bits & 1);
  DropBits(c, 1);
  NeedBits(c, BlockTypeBits);
  unsigned type = PeekBits(c, BlockTypeBits);
  DropBits(c, BlockTypeBits);
  PutBitState(c);
  if (EntryStopped()) return InflateStopped;
  if (c.usedUp) return InflateDamaged;
  switch (type) {
    case StoredBlock: return CopyStoredBlock();
    case FixedBlock: return DecodeFixedBlock();
    case DynamicBlock: return DecodeDynamicBlock();
    default: return InflateDamaged;  // the reserved type 3
  }
}

InflateStatus CopyStoredBlock() {
  BitCursor c = TakeBitState();
  unsigned pos = SlidePos;
  uint8_t* window = SlideWindow;

  DropBits(c, c.count & 7);  // to the next byte boundary
  NeedBits(c, StoredLengthBits);
  unsigned length = PeekBits(c, StoredLengthBits);
  DropBits(c, StoredLengthBits);
  NeedBits(c, StoredLengthBits);
  unsigned complement = PeekBits(c, StoredLengthBits);
  DropBits(c, StoredLengthBits);
  if (c.usedUp || complement != (~length & 0xFFFF)) {
    PutBitState(c);
    return InflateDamaged;
  }

  while (length > 0) {
    if (c.count >= 8) {
      // Bytes already in the bit buffer come first.
      window[pos++] = static_cast<uint8_t>(c.bits);
      DropBits(c, 8);
      --length;
    } else if (c.next < c.end) {
      // The bit buffer is empty; what it still holds are copies of the bytes
      // about to be copied straight from the chunk.
      c.bits = 0;
      unsigned piece = static_cast<unsigned>(c.end - c.next);
      if (piece > length) piece = length;
      if (piece > WindowSize - pos) piece = WindowSize - pos;
      memcpy(window + pos, c.next, piece);
      c.next += piece;
      pos += piece;
      length -= piece;
    } else {
      NeedBits(c, 8);  // the next chunk, or the next volume
      if (EntryStopped()) {
        GiveBackInput(c);
        return InflateStopped;
      }
      if (c.count < 8) {
        c.usedUp = 1;
        break;
      }
      continue;
    }
    if (pos == WindowSize) {
      FlushWindow(WindowSize);
      pos = 0;
    }
  }
  SlidePos = static_cast<uint16_t>(pos);
  PutBitState(c);
  return c.usedUp ? InflateDamaged : InflateOk;
}

// The entry and its blocks: InflateEntry sets up the buffers of one entry and
// runs the block loop; PassWindowOn flushes a full window and keeps its last
// 32 KiB before it as the history that distances reach, so that the source
// of every match lies whole before its destination (a window that wrapped
// around would need its copies split at its end, and the bytes after a
// match kept); InflateBlock reads a block header and hands the block to its
// decoder; CopyStoredBlock copies a stored block into the window;
// DecodeFixedBlock and DecodeDynamicBlock build the block's tables (the
// dynamic one from its code-length header) and hand over to DecodeCodes.
//
// A damaged stream always ends: the loop stops at the first block that does
// not end cleanly (an invalid code, a code that does not build, a stored
// length without its complement, a reserved block type, or bits taken beyond
// the entry's compressed bytes), then flushes what was decoded as usual, and
// says that the stream was damaged.
#include "SFXinflt/inflate.h"
#include "SFXinflt/decoder.h"
#include "platform/platform.h"

INFLATE_ZEROED uint32_t InflateUnusedInput;

InflateOutcome InflateEntry() {
  OutputRefused = 0;
  InputPos = 0;
  InputCount = 0;
  SlidePos = 0;
  BitCount = 0;
  BitBuffer = 0;
  InflateUnusedInput = 0;
  InputBuffer = static_cast<uint8_t*>(AllocateBlock(InputChunk));
  uint8_t* block = static_cast<uint8_t*>(AllocateBlock(WindowBlock));

  // Without its buffers nothing is decoded; the caller reports the entry.
  InflateOutcome outcome = InflateNoMemory;
  if (InputBuffer != 0 && block != 0) {
    // A distance reaching before the entry's first byte reads zeros, not
    // whatever an earlier owner of the memory left there. The window needs
    // none: a match reads only bytes behind its destination, and what a
    // move writes past the match's end is overwritten before it goes out.
    memset(block, 0, HistorySize);
    SlideWindow = block + HistorySize;
    uint8_t final = 0;
    InflateStatus status = InflateOk;
    while (!final && !EntryStopped() && status == InflateOk) status = InflateBlock(&final);
    if (SlidePos > 0) {
      FlushWindow(SlidePos);
      SlidePos = 0;
    }
    outcome = EntryStopped() ? InflateOutputStopped : status != InflateOk ? InflateStreamDamaged : InflateStreamEnded;
    // What the stream did not use: the rest of the chunk, and the whole
    // bytes still in the bit buffer (the last byte's spare bits are the
    // stream's own).
    if (outcome == InflateStreamEnded) InflateUnusedInput = InputCount - InputPos + BitCount / 8;
  }

  ReleaseBlock(InputBuffer);
  ReleaseBlock(block);
  InputBuffer = SlideWindow = 0;
  return outcome;
}

void PassWindowOn(unsigned over) {
  FlushWindow(WindowSize);
  memcpy(SlideWindow - HistorySize, SlideWindow + WindowSize - HistorySize, HistorySize);
  memcpy(SlideWindow, SlideWindow + WindowSize, over);
}

InflateStatus InflateBlock(uint8_t* final) {
  BitCursor c = TakeBitState();
  unsigned header = TakeBits(c, 1 + BlockTypeBits);
  *final = static_cast<uint8_t>(header & 1);
  unsigned type = header >> 1;
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
  unsigned length = TakeBits(c, StoredLengthBits);
  unsigned complement = TakeBits(c, StoredLengthBits);
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
      PassWindowOn(0);
      pos = 0;
    }
  }
  SlidePos = pos;
  PutBitState(c);
  return c.usedUp ? InflateDamaged : InflateOk;
}

InflateStatus DecodeFixedBlock() {
  if (!TablesHoldFixed) {
    uint16_t lengths[FixedLiteralSymbols];
    unsigned i = 0;
    for (; i < FixedNineBitsFrom; ++i) lengths[i] = 8;
    for (; i < FixedSevenBitsFrom; ++i) lengths[i] = 9;
    for (; i < FixedEightBitsAgainFrom; ++i) lengths[i] = 7;
    for (; i < FixedLiteralSymbols; ++i) lengths[i] = 8;
    BuildDecodeTable(lengths, FixedLiteralSymbols, LiteralCode, LiteralTable, LiteralRootBits);
    for (i = 0; i < FixedDistanceSymbols; ++i) lengths[i] = FixedDistanceBits;
    BuildDecodeTable(lengths, FixedDistanceSymbols, DistanceCode, DistanceTable, DistanceRootBits);
    TablesHoldFixed = 1;
  }
  return DecodeCodes();
}

// Reads the code lengths of a dynamic block with the code-length code in
// DistanceTable; a repeat beyond the lengths expected, an invalid code, or
// the end of the entry inside them is damage.
static InflateStatus ReadCodeLengths(BitCursor& c, uint16_t* lengths, unsigned total) {
  unsigned last = 0;
  unsigned i = 0;
  while (i < total) {
    uint32_t cell = LookUpCarefully(c, DistanceTable, CodeLengthRootBits);
    if (cell == 0) return EntryStopped() ? InflateStopped : InflateDamaged;
    if (cell & CellSpecial) return InflateDamaged;  // the free half of a code of one 1-bit code
    DropBits(c, CellBits(cell));
    unsigned symbol = CellValue(cell);
    if (symbol < RepeatPrevious) {
      lengths[i++] = static_cast<uint16_t>(symbol);
      last = symbol;
      continue;
    }
    unsigned repeat, value = 0;
    if (symbol == RepeatPrevious) {
      repeat = RepeatPreviousLeast + TakeBits(c, RepeatPreviousBits);
      value = last;
    } else if (symbol == RepeatZeroShort) {
      repeat = RepeatZeroShortLeast + TakeBits(c, RepeatZeroShortBits);
    } else {
      repeat = RepeatZeroLongLeast + TakeBits(c, RepeatZeroLongBits);
    }
    if (repeat > total - i || c.usedUp) return InflateDamaged;
    while (repeat-- > 0) lengths[i++] = static_cast<uint16_t>(value);
    last = value;
  }
  return InflateOk;
}

// The block status of a table build: an empty code is damage where one is
// needed, an incomplete one where a complete one is needed.
static InflateStatus StatusOfBuild(BuildResult result, bool incompleteUsable) {
  switch (result) {
    case CodeComplete: return InflateOk;
    case CodeIncomplete: return incompleteUsable ? InflateOk : InflateIncompleteCode;
    case CodeEmpty: return incompleteUsable ? InflateOk : InflateDamaged;
    default: return InflateOverSubscribed;
  }
}

InflateStatus DecodeDynamicBlock() {
  TablesHoldFixed = 0;
  BitCursor c = TakeBitState();
  unsigned nl = LiteralCountBase + TakeBits(c, LiteralCountBits);
  unsigned nd = DistanceCountBase + TakeBits(c, DistanceCountBits);
  unsigned nb = CodeLengthCountBase + TakeBits(c, CodeLengthCountBits);

  uint16_t lengths[LengthSlots];
  for (unsigned j = 0; j < CodeLengthSymbols; ++j) lengths[j] = 0;
  for (unsigned j = 0; j < nb; ++j) lengths[CodeLengthOrder[j]] = static_cast<uint16_t>(TakeBits(c, CodeLengthBits));
  if (c.usedUp) {
    PutBitState(c);
    return InflateDamaged;
  }

  // The code-length code must be complete and hold at least one code; it
  // lives in the distance table until the lengths are read.
  InflateStatus status = StatusOfBuild(
      BuildDecodeTable(lengths, CodeLengthSymbols, CodeLengthCode, DistanceTable, CodeLengthRootBits), false);
  if (status == InflateOk) status = ReadCodeLengths(c, lengths, nl + nd);
  if (status == InflateStopped) {
    GiveBackInput(c);
    return status;
  }
  PutBitState(c);
  if (status != InflateOk) return status;

  // The literal/length code must be complete; an incomplete distance code is
  // used as built, and a block without distance codes holds literals only.
  status = StatusOfBuild(BuildDecodeTable(lengths, nl, LiteralCode, LiteralTable, LiteralRootBits), false);
  if (status == InflateOk)
    status = StatusOfBuild(BuildDecodeTable(lengths + nl, nd, DistanceCode, DistanceTable, DistanceRootBits), true);
  if (status != InflateOk) return status;
  return DecodeCodes();
}

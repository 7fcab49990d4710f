// Decoding of Huffman-coded blocks: the fixed codes (type 1), the dynamic
// codes (type 2) with their code-length header, and the hot loop that turns
// literal/length and distance codes into bytes of the window.
//
// The loop keeps the bit state, the input and the window position in locals
// and writes them back only when the block ends. Literals go straight into
// the window; a match is copied in pieces that never cross the window's end
// at source or destination, each piece with the fastest move that gives the
// same bytes as a forward byte-by-byte copy (RFC 1951 repetition included).
//
// The build compiles this file for speed even where the rest of the program
// is compiled for size; it costs a few hundred bytes of the stub.
#include "SFXinflt/decoder.h"
#include "Sfx/state.h"

// Walks from a root table through its links to the cell of the next code and
// drops the code's bits; 0 for an invalid code.
static INFLATE_INLINE const CodeCell* DecodeSymbol(BitCursor& c, const CodeCell* table, unsigned width) {
  NeedBits(c, width);
  const CodeCell* cell = table + PeekBits(c, width);
  while (cell->Op > OpLinkBase) {
    if (cell->Op == OpInvalid) return 0;
    DropBits(c, cell->Bits);
    unsigned bits = static_cast<unsigned>(cell->Op - OpLinkBase);
    NeedBits(c, bits);
    cell = cell->Next + PeekBits(c, bits);
  }
  DropBits(c, cell->Bits);
  return cell;
}

// Copies a short stretch (at most 16 bytes) that does not overlap its
// source, with two word moves that may overlap each other but write nothing
// outside the stretch.
static INFLATE_INLINE void CopyShort(uint8_t* dst, const uint8_t* src, unsigned n) {
  if (n >= 8) {
    uint64_t head, tail;
    memcpy(&head, src, 8);
    memcpy(&tail, src + n - 8, 8);
    memcpy(dst, &head, 8);
    memcpy(dst + n - 8, &tail, 8);
  } else if (n >= 4) {
    uint32_t head, tail;
    memcpy(&head, src, 4);
    memcpy(&tail, src + n - 4, 4);
    memcpy(dst, &head, 4);
    memcpy(dst + n - 4, &tail, 4);
  } else {
    while (n-- > 0) *dst++ = *src++;
  }
}

// Copies n bytes from src to dst, both inside one window piece, with the
// result of a forward copy one byte at a time.
static INFLATE_INLINE void CopyMatch(uint8_t* dst, const uint8_t* src, unsigned n) {
  if (src >= dst) {
    memmove(dst, src, n);  // a forward copy reads every source byte before it is overwritten
    return;
  }
  size_t gap = static_cast<size_t>(dst - src);
  if (gap == 1) {
    memset(dst, *src, n);
    return;
  }
  // A short period: the bytes between src and dst repeat; copying from src
  // doubles the copied stretch until it is a word wide.
  while (gap < 8) {
    unsigned piece = gap < n ? static_cast<unsigned>(gap) : n;
    for (unsigned i = 0; i < piece; ++i) dst[i] = src[i];
    dst += piece;
    n -= piece;
    if (n == 0) return;
    gap = static_cast<size_t>(dst - src);
  }
  src = dst - gap;
  while (n >= 8) {
    uint64_t word;
    memcpy(&word, src, 8);
    memcpy(dst, &word, 8);
    src += 8;
    dst += 8;
    n -= 8;
  }
  while (n-- > 0) *dst++ = *src++;
}

InflateStatus DecodeCodes(const CodeCell* tl, const CodeCell* td, unsigned bl, unsigned bd) {
  BitCursor c = TakeBitState();
  unsigned w = SlidePos;
  uint8_t* window = SlideWindow;
  InflateStatus status = InflateInvalidCode;

  for (;;) {
    if (EntryStopped()) {
      GiveBackInput(c);
      return InflateStopped;
    }
    if (ChunkHoldsWord(c)) FillWord(c);  // most codes then need no further fill
    const CodeCell* cell = DecodeSymbol(c, tl, bl);
    if (cell == 0) break;
    if (c.usedUp) {
      status = InflateDamaged;
      break;
    }
    if (cell->Op == OpLiteral) {
      window[w++] = static_cast<uint8_t>(cell->Value);
      if (w == WindowSize) {
        FlushWindow(WindowSize);
        w = 0;
      }
      continue;
    }
    if (cell->Op == OpEndOfBlock) {
      status = InflateOk;
      break;
    }

    unsigned extra = static_cast<unsigned>(cell->Op);
    NeedBits(c, extra);
    unsigned length = cell->Value + PeekBits(c, extra);
    DropBits(c, extra);

    if (td == 0) break;  // a length in a block without distance codes
    cell = DecodeSymbol(c, td, bd);
    if (cell == 0) break;
    extra = static_cast<unsigned>(cell->Op);
    NeedBits(c, extra);
    unsigned d = (w - cell->Value - PeekBits(c, extra)) & 0xFFFF;
    DropBits(c, extra);
    if (c.usedUp) {
      status = InflateDamaged;
      break;
    }

    do {
      d &= WindowMask;
      unsigned piece = WindowSize - (d > w ? d : w);
      if (piece > length) piece = length;
      length -= piece;
      if (static_cast<int>(w - d) < static_cast<int>(piece))
        CopyMatch(window + w, window + d, piece);
      else if (piece <= 16)
        CopyShort(window + w, window + d, piece);
      else
        memcpy(window + w, window + d, piece);
      w += piece;
      d += piece;
      if (w == WindowSize) {
        FlushWindow(WindowSize);
        w = 0;
      }
      if (EntryStopped()) {
        GiveBackInput(c);
        return InflateStopped;
      }
    } while (length != 0);
  }

  // The end of the block, or a damaged one: what was decoded stays in the
  // window for the last flush.
  SlidePos = static_cast<uint16_t>(w);
  PutBitState(c);
  return status;
}

InflateStatus DecodeFixedBlock() {
  if (FixedLiteralTable == 0) {
    uint16_t lengths[FixedLiteralSymbols];
    unsigned i = 0;
    for (; i < FixedNineBitsFrom; ++i) lengths[i] = 8;
    for (; i < FixedSevenBitsFrom; ++i) lengths[i] = 9;
    for (; i < FixedEightBitsAgainFrom; ++i) lengths[i] = 7;
    for (; i < FixedLiteralSymbols; ++i) lengths[i] = 8;
    unsigned width = FixedLiteralWidth;
    BuildResult built = BuildDecodeTables(lengths, FixedLiteralSymbols, SimpleLiteralSymbols, LengthBase,
                                          LengthExtra, &FixedLiteralTable, &FixedLiteralChain, &width);
    if (built == CodeComplete) {
      for (i = 0; i < FixedDistanceSymbols; ++i) lengths[i] = FixedDistanceBits;
      width = FixedDistanceWidth;
      built = BuildDecodeTables(lengths, FixedDistanceSymbols, 0, DistanceBase, DistanceExtra,
                                &FixedDistanceTable, &FixedDistanceChain, &width);
      if (built == CodeIncomplete) built = CodeComplete;  // 30 of 32 five-bit codes
    }
    if (built != CodeComplete) {
      ReleaseDecodeTables(FixedLiteralChain);
      ReleaseDecodeTables(FixedDistanceChain);
      FixedLiteralChain = FixedDistanceChain = 0;
      FixedLiteralTable = FixedDistanceTable = 0;
      return StatusOfBuild(built);
    }
  }
  return DecodeCodes(FixedLiteralTable, FixedDistanceTable, FixedLiteralWidth, FixedDistanceWidth);
}

// Reads extra bits of a code-length repeat: least + the bits' value.
static INFLATE_INLINE unsigned RepeatCount(BitCursor& c, unsigned bits, unsigned least) {
  NeedBits(c, bits);
  unsigned repeat = least + PeekBits(c, bits);
  DropBits(c, bits);
  return repeat;
}

// Reads the nl + nd code lengths of a dynamic block with the code-length
// code; a repeat beyond the lengths expected, or an invalid code, is damage.
static InflateStatus ReadCodeLengths(BitCursor& c, const CodeCell* table, unsigned width, uint16_t* lengths,
                                     unsigned total) {
  unsigned last = 0;
  unsigned i = 0;
  while (i < total) {
    if (EntryStopped()) return InflateStopped;
    const CodeCell* cell = DecodeSymbol(c, table, width);
    if (cell == 0 || c.usedUp) return InflateDamaged;
    unsigned symbol = cell->Value;
    if (symbol < RepeatPrevious) {
      lengths[i++] = static_cast<uint16_t>(symbol);
      last = symbol;
      continue;
    }
    unsigned repeat, value = 0;
    if (symbol == RepeatPrevious) {
      repeat = RepeatCount(c, RepeatPreviousBits, RepeatPreviousLeast);
      value = last;
    } else if (symbol == RepeatZeroShort) {
      repeat = RepeatCount(c, RepeatZeroShortBits, RepeatZeroShortLeast);
    } else {
      repeat = RepeatCount(c, RepeatZeroLongBits, RepeatZeroLongLeast);
    }
    if (repeat > total - i || c.usedUp) return InflateDamaged;
    while (repeat-- > 0) lengths[i++] = static_cast<uint16_t>(value);
    last = value;
  }
  return InflateOk;
}

// Reads one count field of the dynamic block header.
static INFLATE_INLINE unsigned CountField(BitCursor& c, unsigned bits, unsigned base) {
  NeedBits(c, bits);
  unsigned count = base + PeekBits(c, bits);
  DropBits(c, bits);
  return count;
}

InflateStatus DecodeDynamicBlock() {
  BitCursor c = TakeBitState();
  unsigned nl = CountField(c, LiteralCountBits, LiteralCountBase);
  unsigned nd = CountField(c, DistanceCountBits, DistanceCountBase);
  unsigned nb = CountField(c, CodeLengthCountBits, CodeLengthCountBase);

  uint16_t lengths[LengthSlots];
  for (unsigned j = 0; j < CodeLengthSymbols; ++j) lengths[j] = 0;
  for (unsigned j = 0; j < nb; ++j) {
    NeedBits(c, CodeLengthBits);
    lengths[CodeLengthOrder[j]] = static_cast<uint16_t>(PeekBits(c, CodeLengthBits));
    DropBits(c, CodeLengthBits);
  }
  if (c.usedUp) {
    PutBitState(c);
    return InflateDamaged;
  }

  // The code-length code must be complete, and must hold at least one code.
  CodeCell* lengthChain = 0;
  CodeCell* lengthRoot = 0;
  unsigned width = CodeLengthWidth;
  BuildResult built = BuildDecodeTables(lengths, CodeLengthSymbols, CodeLengthSymbols, 0, 0, &lengthRoot,
                                        &lengthChain, &width);
  InflateStatus status = StatusOfBuild(built);
  if (status == InflateOk && lengthRoot == 0) status = InflateDamaged;
  if (status == InflateOk) status = ReadCodeLengths(c, lengthRoot, width, lengths, nl + nd);
  ReleaseDecodeTables(lengthChain);
  if (status == InflateStopped) {
    GiveBackInput(c);
    return status;
  }
  PutBitState(c);
  if (status != InflateOk) return status;

  // The literal/length code must be complete; an incomplete distance code is
  // used as built.
  CodeCell* literalChain = 0;
  CodeCell* distanceChain = 0;
  CodeCell* tl = 0;
  CodeCell* td = 0;
  unsigned bl = DynamicLiteralWidth;
  unsigned bd = DynamicDistanceWidth;
  status = StatusOfBuild(BuildDecodeTables(lengths, nl, SimpleLiteralSymbols, LengthBase, LengthExtra, &tl,
                                           &literalChain, &bl));
  if (status == InflateOk && tl == 0) status = InflateDamaged;  // not even an end of block
  if (status == InflateOk) {
    built = BuildDecodeTables(lengths + nl, nd, 0, DistanceBase, DistanceExtra, &td, &distanceChain, &bd);
    if (built == CodeIncomplete) built = CodeComplete;
    status = StatusOfBuild(built);
    if (status == InflateOk) status = DecodeCodes(tl, td, bl, bd);
  }
  ReleaseDecodeTables(literalChain);
  ReleaseDecodeTables(distanceChain);
  return status;
}

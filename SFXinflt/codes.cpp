// The fast code loop: literal/length and distance codes turned into bytes of
// the window while the input chunk holds FastInputRoom more bytes, so that
// nothing inside a pass (a match, or one literal with a 32-bit bit buffer
// and up to three with 64 bits) checks a bound or fetches input. A pass that starts before the window's end may go on past
// it into the slack after the window; the window is then flushed and moved
// into the history, and the bytes beyond it moved to its start. The careful
// loop (careful.cpp) decodes at the end of each input chunk, and the two
// hand over to each other through the decoder's state until the block ends.
//
// The bit buffer is filled a word at a time, and the cell of the next code
// is looked up before each fill, from the bits already there: after a fill
// every bit of the buffer is the stream's own, counted or not, and a code's
// bits leave zeros only at the top, so that as long as the bits dropped
// since the fill leave a root's width, the lookup needs nothing of the fill
// and the two overlap. A cell's code and extra bits are dropped together,
// and a length or distance is read from the bits as they were before.
// With a 32-bit buffer a fill is good for a literal and the next lookup, or
// a length and the lookup of its distance; a distance and the next lookup
// take another (a distance with a sub-table one more); 64 bits hold three
// literals, or a distance whole. (A second literal per fill of 32 bits,
// which the bits would allow, measured slower on i686: its test costs more
// than the fill it saves.) A longer code takes one more lookup in its
// sub-table.
//
// A match is copied with moves of 8 bytes, two to a step where its source
// lies 8 bytes or more back and one to a step of the distance for shorter
// periods, and for distance 1 with stores of a repeated byte. Its source
// lies whole before it, in the window or in the history before the window
// (blocks.cpp), and the moves may pass its end by up to 16 bytes, into
// bytes not yet written.
//
// The build compiles this file for speed even where the rest of the program
// is compiled for size.
#include "SFXinflt/decoder.h"

static INFLATE_INLINE BitWord LoadWord(const uint8_t* p) {
  BitWord word;
  memcpy(&word, p, sizeof word);
  return word;
}

static INFLATE_INLINE void StoreWord(uint8_t* p, BitWord word) { memcpy(p, &word, sizeof word); }

// Drops n bits that the fast loop knows are there.
static INFLATE_INLINE void Consume(BitCursor& c, unsigned n) {
  c.bits >>= n;
  c.count -= n;
}

// Matches are copied in moves of 8 bytes (two words of the i686). Measured
// on i686: 16-byte SSE2 moves (chosen at run time) and steps of more than
// two moves were no faster, moves of one word slower.
enum : unsigned { CopyBytes = 8 };
static INFLATE_INLINE uint64_t LoadCopy(const uint8_t* p) {
  uint64_t bytes;
  memcpy(&bytes, p, sizeof bytes);
  return bytes;
}

static INFLATE_INLINE void StoreCopy(uint8_t* p, uint64_t bytes) { memcpy(p, &bytes, sizeof bytes); }

// Copies length bytes from back bytes before dst to dst, with the result of
// a forward copy one byte at a time; up to 16 bytes after dst + length may
// change.
static INFLATE_INLINE void CopyMatch(uint8_t* dst, size_t back, unsigned length) {
  uint8_t* const end = dst + length;
  const uint8_t* src = dst - back;
  if (back >= CopyBytes) {
    // Every byte read is final before it is read: it lies a move or more back.
    do {
      StoreCopy(dst, LoadCopy(src));
      StoreCopy(dst + CopyBytes, LoadCopy(src + CopyBytes));
      src += 2 * CopyBytes;
      dst += 2 * CopyBytes;
    } while (dst < end);
  } else if (back == 1) {
    BitWord repeated = static_cast<BitWord>(*src) * (~static_cast<BitWord>(0) / 0xFF);
    do {
      StoreWord(dst, repeated);
      StoreWord(dst + WordBytes, repeated);
      dst += 2 * WordBytes;
    } while (dst < end);
  } else {
    // A period shorter than a move: each move puts one whole period in place.
    do {
      StoreCopy(dst, LoadCopy(src));
      dst += back;
      src += back;
    } while (dst < end);
  }
}

// A pass that starts before the window's end writes at most FastWindowRoom
// bytes, and a match's moves may pass its end by up to 16 more.
static_assert(WindowSlack >= FastWindowRoom + 2 * CopyBytes, "a pass may write past the window's end");

// Hands a literal cell's byte on.
static INFLATE_INLINE void PutLiteral(uint8_t*& out, uint32_t cell) { *out++ = static_cast<uint8_t>(CellValue(cell)); }

InflateStatus DecodeQuickly() {
  BitCursor c = TakeBitState();
  uint8_t* const window = SlideWindow;
  uint8_t* const windowEnd = window + WindowSize;
  uint8_t* out = window + SlidePos;
  if (c.end - c.next < static_cast<ptrdiff_t>(FastInputRoom)) return InflateSwitch;
  const uint8_t* const inLimit = c.end - FastInputRoom;
  InflateStatus status = InflateSwitch;

  // The cell of the next code is looked up before each fill, from the bits
  // the buffer holds already (see the top of the file), so that the lookup
  // and the fill overlap.
  FillWord(c);
  uint32_t cell = LiteralTable[PeekBits(c, LiteralRootBits)];
  for (;;) {
    do {
      // The cell's code and extra bits go at once; the extra bits of a
      // length are read from the bits as they were.
      BitWord before = c.bits;
      Consume(c, CellBits(cell));
      if (cell & CellLiteral) {
        uint32_t literal = cell;
        cell = LiteralTable[PeekBits(c, LiteralRootBits)];
        if (BitWordBits >= 64) {
          // Two more literals from the same fill; whatever comes after
          // them, a length too, is still within the bits there.
          if (cell & CellLiteral) {
            PutLiteral(out, literal);
            literal = cell;
            Consume(c, CellBits(cell));
            cell = LiteralTable[PeekBits(c, LiteralRootBits)];
            if (cell & CellLiteral) {
              PutLiteral(out, literal);
              literal = cell;
              Consume(c, CellBits(cell));
              cell = LiteralTable[PeekBits(c, LiteralRootBits)];
            }
          }
        }
        FillWord(c);
        PutLiteral(out, literal);
        continue;
      }
      if (cell & CellSpecial) {
        if (!(cell & CellLink)) {
          status = cell & CellEnd ? InflateOk : InflateInvalidCode;
          break;
        }
        // A longer code: its root bits are gone; the rest of it and its
        // extra bits are within the bits there.
        cell = LiteralTable[CellValue(cell) + PeekBits(c, CellCodeBits(cell))];
        before = c.bits;
        Consume(c, CellBits(cell));
        if (cell & CellLiteral) {
          uint32_t literal = cell;
          cell = LiteralTable[PeekBits(c, LiteralRootBits)];
          FillWord(c);
          PutLiteral(out, literal);
          continue;
        }
        if (cell & CellSpecial) {
          status = cell & CellEnd ? InflateOk : InflateInvalidCode;
          break;
        }
      }

      // A length, then its distance.
      unsigned length = CellAmount(cell, before);
      cell = DistanceTable[PeekBits(c, DistanceRootBits)];
      FillWord(c);
      if (cell & CellSpecial) {
        if (!(cell & CellLink)) {
          status = InflateInvalidCode;
          break;
        }
        Consume(c, DistanceRootBits);
        cell = DistanceTable[CellValue(cell) + PeekBits(c, CellCodeBits(cell))];
        if (BitWordBits < 64) FillWord(c);
        if (cell & CellSpecial) {
          status = InflateInvalidCode;
          break;
        }
      }
      before = c.bits;
      Consume(c, CellBits(cell));
      unsigned d = CellAmount(cell, before);
      cell = LiteralTable[PeekBits(c, LiteralRootBits)];
      FillWord(c);

      CopyMatch(out, d, length);
      out += length;
    } while (c.next <= inLimit && out < windowEnd);

    // A pass that reached the window's end has gone on into the slack after
    // it: the full window goes out and becomes history, and what lies
    // beyond it becomes the start of the next window.
    if (out >= windowEnd) {
      size_t over = static_cast<size_t>(out - windowEnd);
      PassWindowOn(static_cast<unsigned>(over));
      out = window + over;
      if (EntryStopped()) status = InflateStopped;
      if (status == InflateSwitch && c.next <= inLimit) continue;
    }
    break;
  }

  SlidePos = static_cast<uint32_t>(out - window);
  PutBitState(c);
  return status;
}

InflateStatus DecodeCodes() {
  for (;;) {
    InflateStatus status = DecodeQuickly();
    if (status == InflateSwitch) status = DecodeCarefully();
    if (status != InflateSwitch) return status;
  }
}

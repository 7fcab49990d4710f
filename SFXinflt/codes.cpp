// The fast code loop: literal/length and distance codes turned into bytes of
// the window while the input chunk holds FastInputRoom more bytes, so that
// nothing inside a pass (up to three literals, or up to two and a match)
// checks a bound or fetches input. A pass that starts before the window's
// end may go on past it into the slack after the window; the window is then
// flushed and the bytes beyond it moved to its start. The careful loop
// (careful.cpp) decodes at the end of each input chunk, and the two hand
// over to each other through the decoder's state until the block ends.
//
// Each pass fills the bit buffer a word at a time, so that one lookup of the
// root table, whose cells carry the literal, or the length or distance base
// with the extra bits to add, decodes most codes; a longer code takes one
// more lookup in its sub-table. Up to two literals go out per fill of a
// 32-bit buffer, three of a 64-bit one. A match is copied with word moves:
// forward, a word at a time where its source lies a word or more back (or
// ahead, in the previous window's bytes), a repeated byte for distance 1,
// and steps of the distance for the short periods in between. The moves may
// pass the match's end by up to two words; those bytes are history still to
// be read at distances near 32 KiB, so they are kept before the moves and
// put back after.
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

// Copies length bytes from src to dst, with the result of a forward copy one
// byte at a time; the two words after dst + length are as they were.
static INFLATE_INLINE void CopyMatch(uint8_t* dst, const uint8_t* src, unsigned length) {
  uint8_t* const end = dst + length;
  const BitWord kept0 = LoadWord(end);
  const BitWord kept1 = LoadWord(end + WordBytes);
  size_t back = static_cast<size_t>(dst - src);
  if (src >= dst || back >= WordBytes) {
    // Every word read is final before it is read: it lies a word or more
    // back, or at or ahead of everything written (the previous window's
    // bytes, distance 32,768 reading each byte just before it is rewritten).
    do {
      StoreWord(dst, LoadWord(src));
      StoreWord(dst + WordBytes, LoadWord(src + WordBytes));
      src += 2 * WordBytes;
      dst += 2 * WordBytes;
    } while (dst < end);
  } else if (back == 1) {
    BitWord repeated = static_cast<BitWord>(*src) * (~static_cast<BitWord>(0) / 0xFF);
    do {
      StoreWord(dst, repeated);
      StoreWord(dst + WordBytes, repeated);
      dst += 2 * WordBytes;
    } while (dst < end);
  } else {
    // A period shorter than a word: each move puts one whole period in place.
    do {
      StoreWord(dst, LoadWord(src));
      dst += back;
      src += back;
    } while (dst < end);
  }
  StoreWord(end, kept0);
  StoreWord(end + WordBytes, kept1);
}

InflateStatus DecodeQuickly() {
  BitCursor c = TakeBitState();
  uint8_t* const window = SlideWindow;
  uint8_t* const windowEnd = window + WindowSize;
  uint8_t* out = window + SlidePos;
  if (c.end - c.next < static_cast<ptrdiff_t>(FastInputRoom)) return InflateSwitch;
  const uint8_t* const inLimit = c.end - FastInputRoom;
  InflateStatus status = InflateSwitch;

  for (;;) {
    do {
      FillWord(c);
      uint32_t cell = LiteralTable[PeekBits(c, LiteralRootBits)];
      if (cell & CellLiteral) {
        // A literal of the root takes LiteralRootBits at most: with 32 bits
        // at least 14 are left for another literal, with 64 at least 36 for
        // two more; whatever else comes gets a fill first.
        Consume(c, CellBits(cell));
        *out++ = static_cast<uint8_t>(CellValue(cell));
        cell = LiteralTable[PeekBits(c, LiteralRootBits)];
        if (cell & CellLiteral) {
          Consume(c, CellBits(cell));
          *out++ = static_cast<uint8_t>(CellValue(cell));
          if (BitWordBits < 64) continue;
          cell = LiteralTable[PeekBits(c, LiteralRootBits)];
          if (cell & CellLiteral) {
            Consume(c, CellBits(cell));
            *out++ = static_cast<uint8_t>(CellValue(cell));
            continue;
          }
        }
        FillWord(c);
      }
      if (cell & CellSpecial) {
        if (cell & CellLink) {
          Consume(c, LiteralRootBits);
          cell = LiteralTable[CellValue(cell) + PeekBits(c, CellCodeBits(cell))];
          if (cell & CellLiteral) {
            Consume(c, CellBits(cell));
            *out++ = static_cast<uint8_t>(CellValue(cell));
            continue;
          }
        }
        if (cell & CellSpecial) {
          status = InflateInvalidCode;
          if (cell & CellEnd) {
            Consume(c, CellBits(cell));
            status = InflateOk;
          }
          break;
        }
      }

      // A length, then its distance.
      unsigned length = CellAmount(cell, c.bits);
      Consume(c, CellBits(cell));
      if (BitWordBits < 64) FillWord(c);
      cell = DistanceTable[PeekBits(c, DistanceRootBits)];
      if (cell & CellSpecial) {
        if (cell & CellLink) {
          Consume(c, DistanceRootBits);
          if (BitWordBits < 64) FillWord(c);
          cell = DistanceTable[CellValue(cell) + PeekBits(c, CellCodeBits(cell))];
        }
        if (cell & CellSpecial) {
          status = InflateInvalidCode;
          break;
        }
      }
      unsigned d = CellAmount(cell, c.bits);
      Consume(c, CellBits(cell));

      size_t at = static_cast<size_t>(out - window);
      const uint8_t* src;
      if (d <= at) {
        src = out - d;
      } else {
        // Before this window's start: the previous window's bytes, still in
        // place after the write position.
        size_t from = at + WindowSize - d;
        if (from + length > WindowSize) {
          CopyAroundTheEnd(window, at, from, length);
          out += length;
          continue;
        }
        src = window + from;
      }
      CopyMatch(out, src, length);
      out += length;
    } while (c.next <= inLimit && out < windowEnd);

    // A pass that reached the window's end has gone on into the slack after
    // it: the full window goes out, and what lies beyond it becomes the
    // start of the next window, where the oldest history was.
    if (out >= windowEnd) {
      FlushWindow(WindowSize);
      size_t over = static_cast<size_t>(out - windowEnd);
      memcpy(window, windowEnd, over);
      out = window + over;
      if (EntryStopped()) status = InflateStopped;
      if (status == InflateSwitch && c.next <= inLimit) continue;
    }
    break;
  }

  SlidePos = static_cast<uint16_t>(out - window);
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

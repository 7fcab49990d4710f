// The careful code loop: one code at a time with every check, where the fast
// loop of codes.cpp may not run, at the end of an input chunk (and of the
// entry's input). It brings in input only as far as the next code needs, so
// the look-ahead after the last code of an entry reaches no further than
// that code; it passes the window's end with a flush; it marks bits taken
// beyond the entry's compressed bytes as damage. Its lookup also reads the
// code-length symbols of a dynamic block's header.
#include "SFXinflt/decoder.h"

uint32_t LookUpCarefully(BitCursor& c, const uint32_t* table, unsigned rootBits) {
  for (;;) {
    // Bits not yet in the buffer read as zeros or as the stream's own next
    // bits; a cell whose code lies within the bits there is the right one
    // either way, as the cell repeats for every value of the bits after it.
    uint32_t cell = table[PeekBits(c, rootBits)];
    unsigned need = CellCodeBits(cell);
    if (cell & CellLink) {
      unsigned width = need;  // of the sub-table
      need = rootBits;
      if (c.count >= rootBits) {
        uint32_t inner = table[CellValue(cell) + (static_cast<unsigned>(c.bits >> rootBits) & LowBits(width))];
        need += CellCodeBits(inner);
        if (need <= c.count) {
          DropBits(c, rootBits);
          return inner;
        }
      }
    } else if (need <= c.count) {
      return cell;
    }
    unsigned had = c.count;
    NeedBits(c, had + 1);  // a byte more, or a word from the chunk
    if (c.count == had) return 0;
  }
}

// Reads the extra bits of a length or distance cell and drops its bits; the
// amount it stands for.
static unsigned TakeAmount(BitCursor& c, uint32_t cell) {
  NeedBits(c, CellBits(cell));
  unsigned amount = CellAmount(cell, c.bits);
  DropBits(c, CellBits(cell));
  return amount;
}

InflateStatus DecodeCarefully() {
  BitCursor c = TakeBitState();
  unsigned w = SlidePos;
  uint8_t* window = SlideWindow;
  InflateStatus status;
  unsigned length = 0;
  const uint8_t* from = 0;

  for (;;) {
    // Output first: the rest of a match, a byte at a time, and the flush of
    // a full window.
    if (w == WindowSize) {
      PassWindowOn(0);
      if (length != 0) from -= WindowSize;  // its source moved with the history
      w = 0;
      if (EntryStopped()) {
        status = InflateStopped;
        break;
      }
    }
    if (length != 0) {
      window[w++] = *from++;
      --length;
      continue;
    }
    if (c.end - c.next >= static_cast<ptrdiff_t>(FastInputRoom)) {
      status = InflateSwitch;
      break;
    }

    uint32_t cell = LookUpCarefully(c, LiteralTable, LiteralRootBits);
    if (cell == 0) {
      status = EntryStopped() ? InflateStopped : InflateDamaged;
      break;
    }
    if (cell & CellLiteral) {
      DropBits(c, CellBits(cell));
      window[w++] = static_cast<uint8_t>(CellValue(cell));
      continue;
    }
    if (cell & CellSpecial) {
      status = InflateInvalidCode;
      if (cell & CellEnd) {
        DropBits(c, CellBits(cell));
        status = InflateOk;
      }
      break;
    }
    length = TakeAmount(c, cell);
    if (c.usedUp) {
      status = InflateDamaged;
      break;
    }
    cell = LookUpCarefully(c, DistanceTable, DistanceRootBits);
    if (cell == 0) {
      status = EntryStopped() ? InflateStopped : InflateDamaged;
      break;
    }
    if (cell & CellSpecial) {
      status = InflateInvalidCode;  // a distance code 30 or 31, free code space, or no distance code at all
      break;
    }
    from = window + w - TakeAmount(c, cell);
    if (c.usedUp) {
      status = InflateDamaged;
      break;
    }
  }

  // The end of the block, a damaged one, or the fast loop's turn: what was
  // decoded stays in the window for the next flush.
  SlidePos = w;
  PutBitState(c);
  return status;
}

// The decoder's own state and the helpers its files share: the CodeCell of
// the decoding tables, the input and window of one entry, and the bit cursor
// through which every block decoder reads the stream.
//
// A block decoder takes a local copy of the bit state (a BitCursor) when it
// starts and writes it back when the block ends normally. The cursor also
// holds the unread part of the current input chunk, so that the common case,
// enough bytes in the chunk, fills the bit buffer a whole word at a time
// without a call; only at the end of a chunk does NeedBits fall back to the
// byte-by-byte ReadInputByte, which takes the next chunk from TakeEntryInput.
//
// The word-at-a-time fill ORs a whole little-endian word in above the valid
// bits. The bits above BitCount are then the stream's own next bits, so a
// later fill at the same place ORs the same values again and nothing is
// disturbed; ReadInputByte's byte lands exactly on its own copy.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string.h>
#include "SFXinflt/constants.h"
#include "SFXinflt/inflate.h"
#include "Sfx/state.h"

#define INFLATE_INLINE inline __attribute__((always_inline))

// One cell of a decoding table; Next links a sub-table, and in the extra cell
// in front of each table, the table allocated before it for the same code.
struct CodeCell {
  int8_t Op;
  uint8_t Bits;
  uint16_t Value;
  CodeCell* Next;
};

// The bit buffer is as wide as a machine word: 32 bits on the stub's i686,
// 64 on the host. Requests never exceed 16 bits either way.
typedef uintptr_t BitWord;
enum : unsigned { BitWordBits = sizeof(BitWord) * 8 };

// --- Decoder state of the entry being decoded --------------------------------
extern uint8_t* InputBuffer;
extern uint16_t InputPos;
extern uint32_t InputCount;
extern BitWord BitBuffer;
extern uint16_t BitCount;
extern uint8_t* SlideWindow;
extern uint16_t SlidePos;
extern CodeCell* FixedLiteralTable;
extern CodeCell* FixedDistanceTable;
extern CodeCell* FixedLiteralChain;   // chain heads, released at the entry's end
extern CodeCell* FixedDistanceChain;

// A block decoder's local copy of the bit state and of the unread input.
struct BitCursor {
  BitWord bits;
  unsigned count;
  uint8_t usedUp;        // a drop went past the entry's last bit
  const uint8_t* next;   // next unread byte of InputBuffer
  const uint8_t* end;    // end of its valid bytes
};

// --- input.cpp ----------------------------------------------------------------
// The next input byte, or -1 when the entry has no more or the user cancelled.
int ReadInputByte();
// Brings in bytes one at a time through ReadInputByte until n bits are there
// or none can be had; the slow half of NeedBits.
BitCursor RefillSlowly(BitCursor cursor, unsigned n);

// --- blocks.cpp, tables.cpp, codes.cpp -----------------------------------------
InflateStatus InflateBlock(uint8_t* final);
InflateStatus CopyStoredBlock();
BuildResult BuildDecodeTables(const uint16_t* lengths, unsigned n, unsigned s, const uint16_t* base,
                              const uint8_t* extra, CodeCell** root, CodeCell** chain, unsigned* width);
void ReleaseDecodeTables(CodeCell* chain);
InflateStatus DecodeCodes(const CodeCell* tl, const CodeCell* td, unsigned bl, unsigned bd);
InflateStatus DecodeFixedBlock();
InflateStatus DecodeDynamicBlock();

// Hands count bytes at the window's start on as output.
static inline void FlushWindow(unsigned count) { GiveEntryOutput(SlideWindow, count); }

// The user cancelled, or the entry's output took no more (a failed write,
// data beyond the declared size): decoding ends at the next check.
static INFLATE_INLINE bool EntryStopped() { return (CancelRequested | EntryFault) != 0; }

// --- The bit cursor -------------------------------------------------------------
static INFLATE_INLINE BitCursor TakeBitState() {
  BitCursor c;
  c.bits = BitBuffer;
  c.count = BitCount;
  c.usedUp = 0;
  c.next = InputBuffer + InputPos;
  c.end = InputBuffer + InputCount;
  return c;
}

// Records how far the cursor has read into the chunk.
static INFLATE_INLINE void GiveBackInput(const BitCursor& c) {
  InputPos = static_cast<uint16_t>(c.next - InputBuffer);
}

static INFLATE_INLINE void PutBitState(const BitCursor& c) {
  GiveBackInput(c);
  BitBuffer = c.bits;
  BitCount = static_cast<uint16_t>(c.count);
}

// Fills the bit buffer to at least BitWordBits - 8 bits from the chunk, a
// word at a time; the chunk must hold a whole word more.
static INFLATE_INLINE void FillWord(BitCursor& c) {
  BitWord word;
  memcpy(&word, c.next, sizeof word);  // little-endian, as x86 is
  c.bits |= word << c.count;
  c.next += (BitWordBits - 1 - c.count) >> 3;
  c.count |= BitWordBits - 8;
}

static INFLATE_INLINE bool ChunkHoldsWord(const BitCursor& c) {
  return c.end - c.next >= static_cast<ptrdiff_t>(sizeof(BitWord));
}

// Makes at least n bits available (fewer only when the entry has no more).
static INFLATE_INLINE void NeedBits(BitCursor& c, unsigned n) {
  if (c.count >= n) return;
  if (ChunkHoldsWord(c))
    FillWord(c);
  else
    c = RefillSlowly(c, n);
}

// Discards n bits; taking more than there are marks the input as used up.
static INFLATE_INLINE void DropBits(BitCursor& c, unsigned n) {
  c.bits >>= n;
  if (n > c.count) {
    c.usedUp = 1;
    c.count = 0;
  } else {
    c.count -= n;
  }
}

static INFLATE_INLINE unsigned PeekBits(const BitCursor& c, unsigned n) {
  return static_cast<unsigned>(c.bits) & BitMask[n];
}

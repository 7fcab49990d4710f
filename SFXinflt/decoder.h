// The decoder's own state and the helpers its files share: the input and
// window of one entry, and the bit cursor through which every part of the
// decoder reads the stream.
//
// A part of the decoder takes a local copy of the bit state (a BitCursor)
// when it starts and writes it back when it ends. The cursor also holds the
// unread part of the current input chunk, so that the common case, enough
// bytes in the chunk, fills the bit buffer a whole word at a time; only at
// the end of a chunk does NeedBits fall back to the byte-by-byte
// ReadInputByte, which takes the next chunk from TakeEntryInput.
//
// The word-at-a-time fill ORs a whole little-endian word in above the valid
// bits. The bits above BitCount are then the stream's own next bits, so a
// later fill at the same place ORs the same values again and nothing is
// disturbed; ReadInputByte's byte lands exactly on its own copy.
//
// Blocks of codes are decoded by two loops that hand over to each other
// (codes.cpp, careful.cpp): a fast one without bound checks while the chunk
// holds FastInputRoom more bytes, and a careful one, a code at a time, at the
// end of each chunk.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string.h>
#include "SFXinflt/constants.h"
#include "SFXinflt/inflate.h"
#include "platform/platform.h"

#define INFLATE_INLINE inline __attribute__((always_inline))

// The decoder's zero-initialised variables and tables, placed in .bss by
// name: with data sections the stub's compiler would give them bytes in the
// file.
#ifdef _WIN32
#define INFLATE_ZEROED __attribute__((section(".bss")))
#else
#define INFLATE_ZEROED
#endif

// The bit buffer is as wide as a machine word: 32 bits on the stub's i686,
// 64 on the host (where the tests also build the decoder a second time with
// the stub's 32 bits). A fill leaves at least BitWordBits - 8 bits in it.
#ifdef INFLATE_BIT_WORD
typedef INFLATE_BIT_WORD BitWord;
#else
typedef uintptr_t BitWord;
#endif
enum : unsigned { BitWordBits = sizeof(BitWord) * 8, WordBytes = sizeof(BitWord) };

// The fast loop fills the bit buffer at most three times in a pass (a
// length, a distance in two steps); each fill reads a word and moves on by
// less than one.
enum : unsigned { FastInputRoom = 4 * WordBytes };

// --- Decoder state of the entry being decoded --------------------------------
extern uint8_t* InputBuffer;
extern uint16_t InputPos;
extern uint32_t InputCount;
extern BitWord BitBuffer;
extern uint16_t BitCount;
extern uint8_t* SlideWindow;     // the window; HistorySize bytes of history before it
extern uint32_t SlidePos;
extern uint8_t OutputRefused;     // GiveEntryOutput said the entry ends
extern uint8_t TablesHoldFixed;   // LiteralTable and DistanceTable hold the fixed codes

// A part's local copy of the bit state and of the unread input.
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
// Makes at least n bits available (fewer only when the entry has no more): a
// word from the chunk while it holds one, else bytes one at a time through
// ReadInputByte, no more of them than n bits need.
void NeedBits(BitCursor& c, unsigned n);
// Takes the next n bits (n at most 16) and drops them.
unsigned TakeBits(BitCursor& c, unsigned n);

// --- blocks.cpp, tables.cpp, codes.cpp, careful.cpp ------------------------------
InflateStatus InflateBlock(uint8_t* final);
InflateStatus CopyStoredBlock();
InflateStatus DecodeFixedBlock();
InflateStatus DecodeDynamicBlock();
// Builds the table of a code of n lengths in table, with a root of rootBits.
BuildResult BuildDecodeTable(const uint16_t* lengths, unsigned n, CodeKind kind, uint32_t* table,
                             unsigned rootBits);
// Decodes the codes of a block with the tables in LiteralTable and
// DistanceTable, up to its end of block.
InflateStatus DecodeCodes();
// The fast loop and the careful one; each returns InflateSwitch where the
// other is to go on.
InflateStatus DecodeQuickly();
InflateStatus DecodeCarefully();
// The cell of the next code with all of the code's bits in the buffer (a
// link's root bits dropped), bringing in input only as far as the code
// needs; 0 when the entry ends inside the code.
uint32_t LookUpCarefully(BitCursor& c, const uint32_t* table, unsigned rootBits);

// Hands count bytes at the window's start on as output.
static inline void FlushWindow(unsigned count) {
  if (!GiveEntryOutput(SlideWindow, count)) OutputRefused = 1;
}
// Hands the full window on as output, moves it into the history before it,
// and the over bytes written past its end to its start.
void PassWindowOn(unsigned over);

// The output end said the entry ends (the user cancelled, a write failed,
// the data ran past its declared size): decoding ends at the next check.
static INFLATE_INLINE bool EntryStopped() { return OutputRefused != 0; }

// The parts of a cell.
static INFLATE_INLINE unsigned CellBits(uint32_t cell) { return cell & 0xFF; }
static INFLATE_INLINE unsigned CellCodeBits(uint32_t cell) { return (cell >> CellCodeShift) & 15; }
static INFLATE_INLINE unsigned CellValue(uint32_t cell) { return cell >> CellValueShift; }

static INFLATE_INLINE unsigned LowBits(unsigned n) { return (1u << n) - 1; }

// The value a length or distance cell stands for, from the bits the cell
// was reached with: its base and the extra bits after its code.
static INFLATE_INLINE unsigned CellAmount(uint32_t cell, BitWord bits) {
  return CellValue(cell) + ((static_cast<unsigned>(bits) & LowBits(CellBits(cell))) >> CellCodeBits(cell));
}

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
  return static_cast<unsigned>(c.bits) & LowBits(n);
}

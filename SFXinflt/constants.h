// Every number the Inflate decoder works with, named once: block types and
// statuses, the sizes of the window and the input chunk, the lookup widths,
// the cell operations, and the read-only tables of RFC 1951 (defined in
// tables.cpp).
#pragma once
#include <stdint.h>

enum : unsigned {
  WindowSize = 32768,       // the sliding window, also the output buffer
  WindowMask = 32767,
  InputChunk = 32768,       // archive bytes read at a time
  BufferBlock = 32770,      // bytes allocated for the window and the input
  MaxCodeBits = 16,         // no request ever asks for more bits
  LengthSlots = 321,        // 288 literal/length and 32 distance lengths
  CodeLengthSymbols = 19,
  FixedLiteralSymbols = 288,
  FixedDistanceSymbols = 30,
  SimpleLiteralSymbols = 257,  // 0..255 literals, 256 end of block
  EndOfBlockSymbol = 256,
};

// The counts at the start of a dynamic block: each field's width and the
// number its zero stands for.
enum : unsigned {
  LiteralCountBits = 5, LiteralCountBase = 257,   // HLIT
  DistanceCountBits = 5, DistanceCountBase = 1,   // HDIST
  CodeLengthCountBits = 4, CodeLengthCountBase = 4,  // HCLEN
  CodeLengthBits = 3,                             // each code-length code length
};

// The fixed literal/length code (RFC 1951 section 3.2.6): the first symbol of
// each run of one code length, and the lengths.
enum : unsigned {
  FixedNineBitsFrom = 144,     // 144..255: 9 bits
  FixedSevenBitsFrom = 256,    // 256..279: 7 bits
  FixedEightBitsAgainFrom = 280,  // 280..287: 8 bits, as 0..143
  FixedDistanceBits = 5,
};

// Symbols of the code-length code above the lengths 0..15 (RFC 1951
// section 3.2.7), each with its extra bits and the least repeat.
enum : unsigned {
  RepeatPrevious = 16,         // 3..6 times the previous length
  RepeatPreviousBits = 2,
  RepeatPreviousLeast = 3,
  RepeatZeroShort = 17,        // 3..10 zeros
  RepeatZeroShortBits = 3,
  RepeatZeroShortLeast = 3,
  RepeatZeroLong = 18,         // 11..138 zeros
  RepeatZeroLongBits = 7,
  RepeatZeroLongLeast = 11,
};

// Lookup widths asked of the table builder.
enum : unsigned {
  FixedLiteralWidth = 7,
  FixedDistanceWidth = 5,
  CodeLengthWidth = 7,
  DynamicLiteralWidth = 9,
  DynamicDistanceWidth = 6,
};

// The three-bit block header: the final-block bit, then the type.
enum : unsigned { StoredBlock = 0, FixedBlock = 1, DynamicBlock = 2, BlockTypeBits = 2 };
// The header of a stored block: LEN and NLEN, 16 bits each.
enum : unsigned { StoredLengthBits = 16 };

// CodeCell operations (the values 0..13 are extra-bit counts of a base).
enum : int8_t {
  OpEndOfBlock = 15,
  OpLiteral = 16,
  OpLinkBase = 16,   // 17..32: link to a sub-table of Op - 16 index bits
  OpInvalid = 99,
};

// Results of BuildDecodeTables.
enum BuildResult : int {
  CodeComplete,
  CodeIncomplete,      // tables built and usable; dummy codes are invalid
  CodeOverSubscribed,  // nothing built
  CodeNoMemory,
};

// How a block, or a step inside one, ended. Damaged covers what the stream
// itself gets wrong: a stored length without its complement, a code-length
// repeat beyond the lengths expected, a reserved block type, a block without
// any literal/length code, and bits taken beyond the entry's compressed bytes.
enum InflateStatus : int {
  InflateOk,              // at the end-of-block code
  InflateInvalidCode,     // a code the block's tables leave undefined
  InflateIncompleteCode,  // code lengths that leave code space free where none may be
  InflateOverSubscribed,  // code lengths that ask for more codes than there are
  InflateNoMemory,        // a table could not be allocated
  InflateDamaged,
  InflateStopped,         // cancelled, or the output took no more; nothing is written back
};

// The block status of a table build that did not give a usable code.
inline InflateStatus StatusOfBuild(BuildResult result) {
  switch (result) {
    case CodeComplete: return InflateOk;
    case CodeIncomplete: return InflateIncompleteCode;
    case CodeOverSubscribed: return InflateOverSubscribed;
    default: return InflateNoMemory;
  }
}

extern const uint16_t LengthBase[31];
extern const uint8_t LengthExtra[31];
extern const uint16_t DistanceBase[32];
extern const uint8_t DistanceExtra[32];
extern const uint8_t CodeLengthOrder[CodeLengthSymbols];
extern const uint16_t BitMask[MaxCodeBits + 1];

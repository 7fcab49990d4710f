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

// Lookup widths asked of the table builder.
enum : unsigned {
  FixedLiteralWidth = 7,
  FixedDistanceWidth = 5,
  CodeLengthWidth = 7,
  DynamicLiteralWidth = 9,
  DynamicDistanceWidth = 6,
};

// Block types of the three-bit block header.
enum : unsigned { StoredBlock = 0, FixedBlock = 1, DynamicBlock = 2 };

// CodeCell operations (the values 0..13 are extra-bit counts of a base).
enum : int8_t {
  OpEndOfBlock = 15,
  OpLiteral = 16,
  OpLinkBase = 16,   // 17..32: link to a sub-table of Op - 16 index bits
  OpInvalid = 99,
};

// Results of BuildDecodeTables.
enum : int {
  CodeComplete = 0,
  CodeIncomplete = 1,      // tables built and usable; dummy codes are invalid
  CodeOverSubscribed = 2,  // nothing built
  CodeNoMemory = 3,
};

// Block statuses. 1..3 are the builder's and the decoder's own; Damaged covers
// what the stream itself gets wrong: a stored length without its complement,
// a code-length repeat beyond the lengths expected, a reserved block type, a
// literal/length code without any code, and bits taken beyond the entry's
// compressed bytes.
enum : int {
  BlockDone = 0,
  BlockInvalidCode = 1,
  BlockOverSubscribed = 2,
  BlockNoMemory = 3,
  BlockDamaged = 4,
};

extern const uint16_t LengthBase[31];
extern const uint8_t LengthExtra[31];
extern const uint16_t DistanceBase[32];
extern const uint8_t DistanceExtra[32];
extern const uint8_t CodeLengthOrder[CodeLengthSymbols];
extern const uint16_t BitMask[MaxCodeBits + 1];

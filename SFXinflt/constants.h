// Every number the Inflate decoder works with, named once: block types and
// statuses, the sizes of the window and the input chunk, the root widths and
// sizes of the decoding tables, and the layout of a table cell. The tables
// themselves are defined in tables.cpp.
#pragma once
#include <stdint.h>
#include "SFXinflt/inflate.h"

enum : unsigned {
  WindowSize = 262144,      // the output window, flushed whole: output goes out in 256 KiB writes
  HistorySize = 32768,      // the bytes before the window that distances reach
  WindowSlack = 288,        // bytes after the window that a pass of the fast loop may write
  WindowBlock = HistorySize + WindowSize + WindowSlack,
  InputChunk = EntryChunkSize,  // archive bytes read at a time, the size of the input block
  MaxCodeBits = 15,
  LengthSlots = 320,        // 288 literal/length and 32 distance lengths
  CodeLengthSymbols = 19,
  FixedLiteralSymbols = 288,
  FixedDistanceSymbols = 32,   // 30 and 31 take part in the code and decode as invalid
  LiteralSymbols = 256,
  EndOfBlockSymbol = 256,
  LengthSymbols = 29,          // 257..285; 286 and 287 decode as invalid
  DistanceSymbols = 30,        // 0..29; 30 and 31 decode as invalid
  LongestMatch = 258,
  FastWindowRoom = LongestMatch,  // the most a pass of the fast loop writes: a match (or up to three literals)
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

// The decoding tables: a root indexed by the next RootBits bits of the
// stream, and after it one level of sub-tables for longer codes. The cells
// of the largest table any accepted code can need (see tables.cpp for the
// count) are fixed arrays, so that building a table never allocates.
enum : unsigned {
  LiteralRootBits = 10,
  DistanceRootBits = 8,
  CodeLengthRootBits = 7,      // the code-length code has codes of 7 bits at most
  LiteralTableCells = 1334,    // complete codes of up to 288 symbols
  DistanceTableCells = 534,    // any code of up to 32 symbols, incomplete ones too
};

// A table cell, 32 bits:
//   bits 0..7    CellBits: the bits the cell takes once it is reached: its
//                code's bits at this level and the extra bits after them; a
//                link's root width; an invalid cell's table width
//   bits 8..11   the code's bits at this level, where the extra bits start;
//                for a link, the index width of its sub-table; for an
//                invalid cell, the bits that make it certain
//   bits 12..15  the kind: a literal, or special (a link, the end of block,
//                or neither: invalid); none of them is a length, a distance
//                or a code-length symbol
//   bits 16..31  the literal byte, the length or distance base, the
//                code-length symbol, or a link's first cell
enum : uint32_t {
  CellLiteral = 0x8000,
  CellSpecial = 0x4000,
  CellLink = 0x2000,
  CellEnd = 0x1000,
  CellCodeShift = 8,
  CellValueShift = 16,
  CellOneBit = 0x101,  // one more bit of code, in both bit fields
};

// The three-bit block header: the final-block bit, then the type.
enum : unsigned { StoredBlock = 0, FixedBlock = 1, DynamicBlock = 2, BlockTypeBits = 2 };
// The header of a stored block: LEN and NLEN, 16 bits each.
enum : unsigned { StoredLengthBits = 16 };

// The kinds of code a table is built for.
enum CodeKind : int { LiteralCode, DistanceCode, CodeLengthCode };

// Results of BuildDecodeTable.
enum BuildResult : int {
  CodeComplete,
  CodeIncomplete,      // built and usable; free code space decodes as invalid
  CodeEmpty,           // no code at all; every cell is invalid
  CodeOverSubscribed,  // nothing built
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
  InflateDamaged,
  InflateStopped,         // cancelled, or the output took no more
  InflateSwitch,          // inside a block: the other of the two code loops goes on
};

extern const uint8_t CodeLengthOrder[CodeLengthSymbols];
extern uint32_t LiteralTable[LiteralTableCells];
extern uint32_t DistanceTable[DistanceTableCells];

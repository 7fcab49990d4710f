// The Huffman decoding tables: two-level lookup tables built from code
// lengths into fixed arrays, and the order of the code-length code lengths
// (RFC 1951 section 3.2.7).
//
// Codes are read least significant bit first, so a table index is the code's
// bits in stream order. The root, indexed by the next rootBits bits, decodes
// every code of up to rootBits bits in one lookup, each cell repeated for
// every value of the bits after its code. The codes that share a longer
// code's first rootBits bits go into one sub-table after the root, indexed by
// the bits after those, as wide as the longest of them needs; the root cell
// links to it. Code space that an incomplete code leaves free holds invalid
// cells, so that every index of every table is defined.
//
// The bound on the cells. Canonical codes take the code space from its start
// in order of length, so the codes of one root index (a prefix) are
// consecutive, and a later prefix holds no code shorter than the longest of
// an earlier one. A prefix whose sub-table is w bits wide is either filled by
// its codes, which takes at least 2^a + w - a codes when its shortest code is
// a bits longer than the root (and a is at least the width of the sub-table
// before it), or it is the last prefix of an incomplete code, which takes one
// code. The largest sum of 2^w over all such chains of prefixes, within the
// symbols a code may have, bounds the sub-tables: with complete codes of up
// to 288 symbols and a root of 10 bits, 1334 cells in all; with any code of
// up to 32 symbols, incomplete ones included, and a root of 8 bits, 534. The
// literal/length code must be complete, or all of its codes one bit long; the
// distance code may be incomplete. tests/unit/inflate_table_test.cpp finds
// the same numbers by searching the chains and builds the codes that need
// them.
#include "SFXinflt/decoder.h"

const uint8_t CodeLengthOrder[CodeLengthSymbols] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5,
                                                    11, 4,  12, 3, 13, 2, 14, 1, 15};

INFLATE_ZEROED uint32_t LiteralTable[LiteralTableCells];
INFLATE_ZEROED uint32_t DistanceTable[DistanceTableCells];
INFLATE_ZEROED uint8_t TablesHoldFixed;

// The cell of a symbol with a code of no bits: a literal, the end of block,
// a length or distance with its base and extra bits (RFC 1951 section
// 3.2.5), a code-length symbol, or an invalid symbol (lengths 286 and 287,
// distances 30 and 31).
static uint32_t CellOfSymbol(CodeKind kind, unsigned s) {
  if (kind == CodeLengthCode) return s << CellValueShift;
  unsigned extra, base;
  if (kind == LiteralCode) {
    if (s < LiteralSymbols) return CellLiteral | s << CellValueShift;
    if (s == EndOfBlockSymbol) return CellSpecial | CellEnd;
    s -= EndOfBlockSymbol + 1;
    if (s >= LengthSymbols) return CellSpecial;
    // Lengths 3..10, then four codes to each number of extra bits, then 258.
    if (s < 8) {
      extra = 0;
      base = 3 + s;
    } else if (s == LengthSymbols - 1) {
      extra = 0;
      base = LongestMatch;
    } else {
      extra = (s >> 2) - 1;
      base = ((4 | (s & 3)) << extra) + 3;
    }
  } else {
    if (s >= DistanceSymbols) return CellSpecial;
    // Distances 1..4, then two codes to each number of extra bits.
    if (s < 4) {
      extra = 0;
      base = 1 + s;
    } else {
      extra = (s >> 1) - 1;
      base = ((2 | (s & 1)) << extra) + 1;
    }
  }
  return base << CellValueShift | extra;
}

BuildResult BuildDecodeTable(const uint16_t* lengths, unsigned n, CodeKind kind, uint32_t* table,
                             unsigned rootBits) {
  unsigned count[MaxCodeBits + 1];
  for (unsigned k = 0; k <= MaxCodeBits; ++k) count[k] = 0;
  for (unsigned i = 0; i < n; ++i) ++count[lengths[i]];

  const unsigned rootSize = 1u << rootBits;
  if (count[0] == n) {
    // Every cell invalid, and certain without a bit.
    for (unsigned i = 0; i < rootSize; ++i) table[i] = CellSpecial;
    return CodeEmpty;
  }

  // Code space left free after each length; over-subscribed codes are refused.
  int left = 1;
  unsigned longest = 0;
  for (unsigned k = 1; k <= MaxCodeBits; ++k) {
    left = 2 * left - static_cast<int>(count[k]);
    if (left < 0) return CodeOverSubscribed;
    if (count[k] != 0) longest = k;
  }

  // The symbols in canonical order: by length, then by symbol number.
  uint16_t sorted[FixedLiteralSymbols];
  unsigned start[MaxCodeBits + 1];
  unsigned symbols = 0;
  for (unsigned k = 1; k <= MaxCodeBits; ++k) {
    start[k] = symbols;
    symbols += count[k];
  }
  for (unsigned i = 0; i < n; ++i)
    if (lengths[i] != 0) sorted[start[lengths[i]]++] = static_cast<uint16_t>(i);

  // An invalid cell of the root needs the root's bits to be certain.
  for (unsigned i = 0; i < rootSize; ++i) table[i] = CellSpecial | rootBits * CellOneBit;

  unsigned code = 0;          // the current code, bit-reversed
  unsigned next = rootSize;   // the first free cell after the tables so far
  unsigned prefix = rootSize; // root index of the current sub-table; none yet
  unsigned subBits = 0;
  uint32_t* sub = 0;
  const uint16_t* symbol = sorted;
  for (unsigned k = 1; k <= longest; ++k) {
    for (; count[k] > 0; --count[k]) {
      uint32_t cell = CellOfSymbol(kind, *symbol++);
      if (k <= rootBits) {
        cell += k * CellOneBit;
        for (unsigned i = code; i < rootSize; i += 1u << k) table[i] = cell;
      } else {
        if ((code & (rootSize - 1)) != prefix) {
          // A new sub-table: as wide as the codes from here on need to fill
          // it, or up to the longest code when they cannot.
          prefix = code & (rootSize - 1);
          subBits = k - rootBits;
          int room = 1 << subBits;
          for (unsigned m = k; (room -= static_cast<int>(count[m])) > 0 && m < longest; ++m) {
            room <<= 1;
            ++subBits;
          }
          table[prefix] = CellSpecial | CellLink | next << CellValueShift | subBits << CellCodeShift | rootBits;
          sub = table + next;
          next += 1u << subBits;
          for (unsigned i = 0; i < 1u << subBits; ++i) sub[i] = CellSpecial | subBits * CellOneBit;
        }
        cell += (k - rootBits) * CellOneBit;
        for (unsigned i = code >> rootBits; i < 1u << subBits; i += 1u << (k - rootBits)) sub[i] = cell;
      }

      // The next code of this length, counted in bit-reversed order.
      unsigned bit = 1u << (k - 1);
      while (code & bit) {
        code ^= bit;
        bit >>= 1;
      }
      code ^= bit;
    }
  }
  return left != 0 && longest != 1 ? CodeIncomplete : CodeComplete;
}

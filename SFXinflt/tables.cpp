// The Huffman decoding tables: multi-level lookup tables built from code
// lengths, and the read-only tables of RFC 1951 section 3.2.5 and 3.2.7.
//
// Codes are read least significant bit first, so a table index is the code's
// bits in stream order. A root table of (at most) the width asked decodes
// most codes in one lookup; a longer code leads through a link cell into a
// sub-table for its remaining bits. Code space that an incomplete code leaves
// free is filled with invalid cells, so that every index of every table is
// defined. The root of a literal/length code is cut to end exactly at the
// last bit of the end-of-block code, so that the look-ahead after the last
// code of an entry reaches no further than that code.
//
// Each table has one extra cell in front of it whose Next links the table
// allocated before it; the head of that chain is the table allocated last.
#include "SFXinflt/decoder.h"
#include "platform/platform.h"

// Lengths of codes 257..285, and two codes (286, 287) that decode as invalid.
const uint16_t LengthBase[31] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27, 31,
                                 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258, 0,  0};
const uint8_t LengthExtra[31] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2,
                                 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0, OpInvalid, OpInvalid};
// Distances of codes 0..29, and two codes (30, 31) that decode as invalid.
const uint16_t DistanceBase[32] = {1,    2,    3,    4,    5,    7,     9,     13,    17,  25, 33,
                                   49,   65,   97,   129,  193,  257,   385,   513,   769, 1025,
                                   1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577, 0, 0};
const uint8_t DistanceExtra[32] = {0, 0, 0,  0,  1,  1,  2,  2,  3,  3,  4,  4,  5,  5,  6,         6,
                                   7, 7, 8,  8,  9,  9,  10, 10, 11, 11, 12, 12, 13, 13, OpInvalid, OpInvalid};
const uint8_t CodeLengthOrder[CodeLengthSymbols] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5,
                                                    11, 4,  12, 3, 13, 2, 14, 1, 15};
const uint16_t BitMask[MaxCodeBits + 1] = {0x0000, 0x0001, 0x0003, 0x0007, 0x000F, 0x001F,
                                           0x003F, 0x007F, 0x00FF, 0x01FF, 0x03FF, 0x07FF,
                                           0x0FFF, 0x1FFF, 0x3FFF, 0x7FFF, 0xFFFF};

// The cell of the next code in canonical order: a symbol, or a dummy code
// (no symbol left) that fills free code space and decodes as invalid.
static CodeCell CellFor(const uint16_t* sorted, unsigned placed, unsigned symbols, unsigned s,
                        const uint16_t* base, const uint8_t* extra, unsigned bits) {
  CodeCell cell;
  cell.Bits = static_cast<uint8_t>(bits);
  cell.Next = 0;
  cell.Value = 0;
  if (placed >= symbols) {
    cell.Op = OpInvalid;
    return cell;
  }
  unsigned symbol = sorted[placed];
  if (symbol < s) {
    cell.Op = symbol < EndOfBlockSymbol ? OpLiteral : OpEndOfBlock;
    cell.Value = static_cast<uint16_t>(symbol);
  } else {
    cell.Op = static_cast<int8_t>(extra[symbol - s]);
    cell.Value = base[symbol - s];
  }
  return cell;
}

BuildResult BuildDecodeTables(const uint16_t* lengths, unsigned n, unsigned s, const uint16_t* base,
                              const uint8_t* extra, CodeCell** root, CodeCell** chain, unsigned* width) {
  unsigned endOfBlockBits = n > EndOfBlockSymbol ? static_cast<unsigned>(lengths[EndOfBlockSymbol]) : static_cast<unsigned>(MaxCodeBits);

  unsigned count[MaxCodeBits + 1];
  for (unsigned k = 0; k <= MaxCodeBits; ++k) count[k] = 0;
  for (unsigned i = 0; i < n; ++i) {
    if (lengths[i] > MaxCodeBits) return CodeOverSubscribed;
    ++count[lengths[i]];
  }
  *root = 0;
  if (count[0] == n) {
    *width = 0;
    return CodeComplete;
  }

  unsigned shortest = 1, longest = MaxCodeBits;
  while (count[shortest] == 0) ++shortest;
  while (count[longest] == 0) --longest;
  unsigned limit = *width;
  if (limit < shortest) limit = shortest;
  if (limit > longest) limit = longest;

  // Over-subscribed codes are refused; code space left free becomes dummy
  // codes of the longest length.
  int freeCodes = 1 << shortest;
  for (unsigned k = shortest; k < longest; ++k, freeCodes <<= 1)
    if ((freeCodes -= static_cast<int>(count[k])) < 0) return CodeOverSubscribed;
  if ((freeCodes -= static_cast<int>(count[longest])) < 0) return CodeOverSubscribed;
  count[longest] += static_cast<unsigned>(freeCodes);

  // The symbols in canonical order: by length, then by symbol number.
  uint16_t sorted[FixedLiteralSymbols];
  unsigned start[MaxCodeBits + 1];
  unsigned symbols = 0;
  for (unsigned k = 1; k <= MaxCodeBits; ++k) {
    start[k] = symbols;
    symbols += k == longest ? count[k] - static_cast<unsigned>(freeCodes) : count[k];
  }
  for (unsigned i = 0; i < n; ++i)
    if (lengths[i] != 0) sorted[start[lengths[i]]++] = static_cast<uint16_t>(i);

  // Levels: 0 is the root; levelBits[h + 1] is the index width of level h and
  // levelBits[0] = 0 stands for "above the root".
  CodeCell* table[MaxCodeBits + 1];
  unsigned levelBits[MaxCodeBits + 2];
  unsigned prefix[MaxCodeBits + 1];
  int h = -1;
  unsigned decoded = 0;   // code bits decoded by the levels above the current one
  unsigned code = 0;      // the current code, bit-reversed
  unsigned placed = 0;
  unsigned size = 0;      // cells of the current table
  CodeCell* current = 0;
  levelBits[0] = 0;
  prefix[0] = 0;

  for (unsigned k = shortest; k <= longest; ++k) {
    for (unsigned left = count[k]; left > 0; --left) {
      // Open tables until this code ends within the current one.
      while (k > decoded + levelBits[h + 1]) {
        decoded += levelBits[h + 1];
        ++h;
        unsigned most = longest - decoded < limit ? longest - decoded : limit;
        unsigned j = k - decoded;
        unsigned patterns = 1u << j;
        if (patterns > left) {
          // Too few codes of this length to fill a j-bit table: widen it
          // while the longer codes still leave patterns unused.
          patterns -= left;
          unsigned length = k;
          while (j < most) {
            if (++j == most) break;
            patterns <<= 1;
            if (patterns <= count[++length]) break;
            patterns -= count[length];
          }
        }
        if (decoded + j > endOfBlockBits && decoded < endOfBlockBits) j = endOfBlockBits - decoded;
        size = 1u << j;
        levelBits[h + 1] = j;
        CodeCell* block = static_cast<CodeCell*>(AllocateBlock((size + 1) * sizeof(CodeCell)));
        if (block == 0) return CodeNoMemory;
        block->Next = *chain;
        *chain = block;
        current = block + 1;
        table[h] = current;
        if (h == 0) {
          *root = current;
        } else {
          prefix[h] = code;
          CodeCell link;
          link.Op = static_cast<int8_t>(OpLinkBase + j);
          link.Bits = static_cast<uint8_t>(levelBits[h]);
          link.Value = 0;
          link.Next = current;
          table[h - 1][(code & ((1u << decoded) - 1)) >> (decoded - levelBits[h])] = link;
        }
      }

      CodeCell cell = CellFor(sorted, placed++, symbols, s, base, extra, k - decoded);
      for (unsigned i = code >> decoded; i < size; i += 1u << (k - decoded)) current[i] = cell;

      // Next code of this length, counted in bit-reversed order.
      unsigned bit = 1u << (k - 1);
      while (code & bit) {
        code ^= bit;
        bit >>= 1;
      }
      code ^= bit;

      // Go back up over the tables this code has left.
      while ((code & ((1u << decoded) - 1)) != prefix[h]) {
        --h;
        decoded -= levelBits[h + 1];
      }
      current = table[h];
      size = 1u << levelBits[h + 1];
    }
  }
  *width = levelBits[1];
  return freeCodes != 0 && longest != 1 ? CodeIncomplete : CodeComplete;
}

void ReleaseDecodeTables(CodeCell* chain) {
  while (chain != 0) {
    CodeCell* before = chain->Next;
    ReleaseBlock(chain);
    chain = before;
  }
}

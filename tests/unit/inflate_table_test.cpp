// The bound on the decoding tables' cells (SFXinflt/tables.cpp): a search
// over the chains of sub-tables that canonical codes can make finds the most
// cells any accepted code can need, which must be the size of the fixed
// arrays; the code that needs them is built and takes exactly that many, and
// random codes of every kind stay within it.
#include <algorithm>
#include <vector>
#include "SFXinflt/decoder.h"
#include "tests/unit/inflate_harness.h"

namespace {

// A prefix (a root index) whose codes are between a and b bits longer than
// the root; b is its sub-table's width.
struct Prefix {
  unsigned a, b;
};

// The chain of filled prefixes with the most sub-table cells, and what it
// takes: filled prefixes, each of at least 2^a + b - a codes, widths not
// decreasing (a prefix's shortest code is no shorter than the longest code
// before it), within `symbols` codes in all. For a complete code, the root
// indexes without sub-tables must be filled by shorter codes, at least one
// code for each one bit of their number; an incomplete code needs none of
// those and may end with one more prefix that holds a single code of the
// longest length.
struct Chain {
  unsigned cells = 0;  // root and sub-tables
  std::vector<Prefix> filled;
  bool partial = false;
};

Chain MostCells(unsigned symbols, unsigned rootBits, bool complete) {
  const unsigned top = MaxCodeBits - rootBits;
  const unsigned rootSize = 1u << rootBits;
  const unsigned most = std::min(symbols / 2, rootSize);  // a filled prefix takes two codes or more
  // best[m][b][s]: the most sub-table cells of m filled prefixes, the last
  // b wide, taking s codes; from[...] the state before it.
  struct State {
    int cells = -1;
    unsigned b = 0, s = 0;
  };
  std::vector<std::vector<std::vector<State>>> best(
      most + 1, std::vector<std::vector<State>>(top + 1, std::vector<State>(symbols + 1)));
  best[0][0][0].cells = 0;
  for (unsigned m = 0; m < most; ++m)
    for (unsigned b = 0; b <= top; ++b)
      for (unsigned s = 0; s <= symbols; ++s) {
        if (best[m][b][s].cells < 0) continue;
        unsigned a = std::max(b, 1u);
        for (unsigned b2 = a; b2 <= top; ++b2) {
          unsigned s2 = s + (1u << a) + b2 - a;
          if (s2 > symbols) continue;
          State& next = best[m + 1][b2][s2];
          int cells = best[m][b][s].cells + (1 << b2);
          if (cells > next.cells) next = State{cells, b, s};
        }
      }

  Chain chain;
  unsigned bestM = 0, bestB = 0, bestS = 0;
  int bestCells = -1;
  bool bestPartial = false;
  for (unsigned m = 0; m <= most; ++m)
    for (unsigned b = 0; b <= top; ++b)
      for (unsigned s = 0; s <= symbols; ++s) {
        if (best[m][b][s].cells < 0) continue;
        for (bool partial : {false, true}) {
          unsigned taken = s;
          int cells = best[m][b][s].cells;
          if (complete) {
            if (partial) continue;
            if (m < rootSize) taken += static_cast<unsigned>(__builtin_popcount(rootSize - m));
          } else if (partial) {
            if (m + 1 > rootSize) continue;
            taken += 1;
            cells += 1 << top;
          }
          if (taken <= symbols && cells > bestCells) {
            bestCells = cells;
            bestM = m, bestB = b, bestS = s, bestPartial = partial;
          }
        }
      }
  chain.cells = rootSize + static_cast<unsigned>(bestCells);
  chain.partial = bestPartial;
  for (unsigned m = bestM, b = bestB, s = bestS; m > 0; --m) {
    const State& at = best[m][b][s];
    chain.filled.insert(chain.filled.begin(), Prefix{std::max(at.b, 1u), b});
    b = at.b;
    s = at.s;
  }
  return chain;
}

// Code lengths that make the chain: shorter codes filling the root indexes
// before it (complete codes only), then each prefix's codes, then the
// partial prefix's single code.
std::vector<uint16_t> LengthsOf(const Chain& chain, unsigned rootBits, unsigned n, bool complete) {
  std::vector<unsigned> lengths;
  unsigned rest = (1u << rootBits) - static_cast<unsigned>(chain.filled.size());
  if (complete)
    for (unsigned j = rootBits; j-- > 0;)
      if (rest >> j & 1) lengths.push_back(rootBits - j);
  for (const Prefix& p : chain.filled) {
    for (unsigned i = 0; i + 1 < (1u << p.a); ++i) lengths.push_back(rootBits + p.a);
    if (p.a == p.b) {
      lengths.push_back(rootBits + p.a);
    } else {
      for (unsigned d = p.a + 1; d < p.b; ++d) lengths.push_back(rootBits + d);
      lengths.push_back(rootBits + p.b);
      lengths.push_back(rootBits + p.b);
    }
  }
  if (chain.partial) lengths.push_back(MaxCodeBits);
  std::sort(lengths.begin(), lengths.end());
  std::vector<uint16_t> out(n, 0);
  for (size_t i = 0; i < lengths.size() && i < n; ++i) out[i] = static_cast<uint16_t>(lengths[i]);
  EXPECT_LE(lengths.size(), n);
  return out;
}

// The cells a built table takes: the root and every sub-table a root cell
// links to.
unsigned CellsUsed(const uint32_t* table, unsigned rootBits) {
  unsigned used = 1u << rootBits;
  for (unsigned i = 0; i < 1u << rootBits; ++i)
    if (table[i] & CellLink) used = std::max(used, CellValue(table[i]) + (1u << CellCodeBits(table[i])));
  return used;
}

TEST(InflateTableTest, TheSearchFindsTheKnownBoundsOfCompleteCodes) {
  // The numbers zlib's tables are sized by: 286 literal/length symbols with a
  // 9-bit root, 30 distance symbols with a 6-bit root.
  EXPECT_EQ(MostCells(286, 9, true).cells, 852u);
  EXPECT_EQ(MostCells(30, 6, true).cells, 592u);
}

TEST(InflateTableTest, TheArraysHoldTheLargestTables) {
  TablesHoldFixed = 0;  // the tables below take the fixed codes' place
  Chain literal = MostCells(FixedLiteralSymbols, LiteralRootBits, true);
  EXPECT_EQ(literal.cells, static_cast<unsigned>(LiteralTableCells));
  Chain distance = MostCells(FixedDistanceSymbols, DistanceRootBits, false);
  EXPECT_EQ(distance.cells, static_cast<unsigned>(DistanceTableCells));
  EXPECT_TRUE(distance.partial);

  std::vector<uint16_t> lengths = LengthsOf(literal, LiteralRootBits, FixedLiteralSymbols, true);
  EXPECT_EQ(BuildDecodeTable(lengths.data(), FixedLiteralSymbols, LiteralCode, LiteralTable, LiteralRootBits),
            CodeComplete);
  EXPECT_EQ(CellsUsed(LiteralTable, LiteralRootBits), static_cast<unsigned>(LiteralTableCells));

  lengths = LengthsOf(distance, DistanceRootBits, FixedDistanceSymbols, false);
  EXPECT_EQ(BuildDecodeTable(lengths.data(), FixedDistanceSymbols, DistanceCode, DistanceTable, DistanceRootBits),
            CodeIncomplete);
  EXPECT_EQ(CellsUsed(DistanceTable, DistanceRootBits), static_cast<unsigned>(DistanceTableCells));
}

TEST(InflateTableTest, RandomCodesStayWithinTheArrays) {
  // Lengths drawn at random, kept while the code is not over-subscribed:
  // complete literal/length codes (the last code made to fill the space)
  // and distance codes stopped anywhere.
  TablesHoldFixed = 0;
  uint32_t seed = 12345;
  unsigned largestLiteral = 0, largestDistance = 0;
  for (int round = 0; round < 20000; ++round) {
    bool literal = round % 2 == 0;
    unsigned n = literal ? FixedLiteralSymbols : FixedDistanceSymbols;
    unsigned deepest = 1 + NextRandom(&seed) % MaxCodeBits;
    std::vector<uint16_t> lengths(n, 0);
    uint32_t space = 1u << MaxCodeBits;  // free code space in 15-bit units
    for (unsigned i = 0; i < n && space > 0; ++i) {
      unsigned s = NextRandom(&seed) % n;
      if (lengths[s]) continue;
      unsigned l = 1 + NextRandom(&seed) % deepest;
      if (l < MaxCodeBits && NextRandom(&seed) % 3 == 0) l = MaxCodeBits - NextRandom(&seed) % 3;
      while (l <= MaxCodeBits && (1u << (MaxCodeBits - l)) > space) ++l;
      if (l > MaxCodeBits) break;
      lengths[s] = static_cast<uint16_t>(l);
      space -= 1u << (MaxCodeBits - l);
    }
    uint32_t* table = literal ? LiteralTable : DistanceTable;
    unsigned rootBits = literal ? LiteralRootBits : DistanceRootBits;
    BuildResult built = BuildDecodeTable(lengths.data(), n, literal ? LiteralCode : DistanceCode, table, rootBits);
    ASSERT_NE(built, CodeOverSubscribed);
    if (literal && built != CodeComplete) continue;  // refused before use; built all the same
    unsigned used = CellsUsed(table, rootBits);
    (literal ? largestLiteral : largestDistance) = std::max(used, literal ? largestLiteral : largestDistance);
    ASSERT_LE(used, literal ? static_cast<unsigned>(LiteralTableCells) : static_cast<unsigned>(DistanceTableCells));
  }
  EXPECT_GT(largestLiteral, 1u << LiteralRootBits);    // some codes did need sub-tables
  EXPECT_GT(largestDistance, 1u << DistanceRootBits);
}

}  // namespace

// The decoder at the edges of its input chunks and of its window, built for
// this machine and with the stub's 32-bit bit buffer. Input chunks that end
// anywhere in the stream (a second volume that starts at every offset of a
// stretch), and an entry whose last code ends its volume while its declared
// size reaches further: no look for a next volume. Streams written symbol by
// symbol beside a model of their output put literals and matches at every
// place in the window: distances of up to 32,768 right after other matches
// (the moves of one match must leave the bytes later ones read as they
// were), matches that pass the window's end and sources before it, in the
// fast loop and in the last codes of an entry, which the careful loop
// decodes, distances before the entry's first byte (zeros), codes of 15
// bits that go through sub-tables, end-of-block codes in sub-tables, and
// incomplete distance codes.
#include <string.h>
#include <algorithm>
#include "archive/header.h"
#include "tests/support/posix_control.h"
#include "tests/unit/inflate_harness.h"

namespace {

const unsigned WindowEndNear = WindowSize;
const unsigned LengthBases[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                  31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const unsigned LengthExtras[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const unsigned DistanceBases[30] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                    33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                    1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const unsigned DistanceExtras[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// A stream written symbol by symbol, and the output it decodes to: a match
// that reaches before the first byte copies zeros, as the decoder's window
// starts out zeroed.
struct Composer {
  BitWriter out;
  std::string expect;
  std::vector<unsigned> literal, distance;
  std::vector<uint32_t> literalCode, distanceCode;

  void FixedBlock(bool final) {
    out.Put(final, 1);
    out.Put(1, 2);
    literal.assign(288, 8);
    for (unsigned s = 144; s < 256; ++s) literal[s] = 9;
    for (unsigned s = 256; s < 280; ++s) literal[s] = 7;
    distance.assign(30, 5);
    literalCode = CanonicalCodes(literal);
    distanceCode = CanonicalCodes(distance);
  }
  void DynamicBlock(bool final, const std::vector<unsigned>& literals, const std::vector<unsigned>& distances) {
    DynamicCodes codes = PutDynamicHeader(out, final, literals, distances);
    literal = codes.literal;
    distance = codes.distance;
    literalCode = codes.literalCode;
    distanceCode = codes.distanceCode;
  }
  // A stored block of these bytes, which a stored block of zlib's would hold.
  void StoredBlock(bool final, const std::string& bytes) {
    out.Put(final, 1);
    out.Put(0, 2);
    out.used = 0;
    out.Put(static_cast<uint32_t>(bytes.size()), 16);
    out.Put(static_cast<uint32_t>(~bytes.size() & 0xFFFF), 16);
    out.bytes.insert(out.bytes.end(), bytes.begin(), bytes.end());
    expect += bytes;
  }
  void Literal(unsigned byte) {
    PutSymbol(out, literal, literalCode, byte);
    expect += static_cast<char>(byte);
  }
  // A match through the length symbol and distance symbol given, with the
  // extra bits that make up length and distance.
  void Match(unsigned lengthSymbol, unsigned lengthExtra, unsigned distanceSymbol, unsigned distanceExtra) {
    PutSymbol(out, literal, literalCode, lengthSymbol);
    out.Put(lengthExtra, LengthExtras[lengthSymbol - 257]);
    PutSymbol(out, distance, distanceCode, distanceSymbol);
    out.Put(distanceExtra, DistanceExtras[distanceSymbol]);
    size_t length = LengthBases[lengthSymbol - 257] + lengthExtra;
    size_t d = DistanceBases[distanceSymbol] + distanceExtra;
    for (size_t i = 0; i < length; ++i) expect += expect.size() >= d ? expect[expect.size() - d] : '\0';
  }
  void Match(unsigned length, unsigned d) {
    unsigned ls = 28;
    if (length < 258)
      while (LengthBases[ls] > length) --ls;
    unsigned ds = 29;
    while (DistanceBases[ds] > d) --ds;
    Match(257 + ls, length - LengthBases[ls], ds, d - DistanceBases[ds]);
  }
  void EndBlock() { PutSymbol(out, literal, literalCode, 256); }
};

// Each test runs with the decoder's own build for this machine and with the
// stub's 32-bit bit buffer.
class BoundsTest : public InflateTest, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    InflateTest::SetUp();
    if (GetParam()) entry_ = narrow::InflateEntry;
  }
};

std::string WidthName(const ::testing::TestParamInfo<bool>& info) { return info.param ? "Narrow" : "Wide"; }

void ExpectDecodes(const InflateResult& got, const std::string& expect, const std::string& what) {
  ASSERT_EQ(got.output.size(), expect.size()) << what;
  EXPECT_TRUE(got.output == expect) << what;
  EXPECT_EQ(got.crc, ZlibCrc(expect)) << what;
}

TEST_P(BoundsTest, MatchesLeaveTheHistoryAheadUntouched) {
  // After each match, one whose distance reaches to the bytes just ahead of
  // the write position: zeros in the first window, then the previous
  // window's bytes.
  for (bool windowFirst : {false, true}) {
    Composer c;
    if (windowFirst)
      for (unsigned i = 0; i < WindowSize / 32768; ++i) c.StoredBlock(false, SampleRandom(32768, 21 + i));
    c.FixedBlock(true);
    for (unsigned b : {'K', 'o', 'r', 'v', 'i', ' ', 'E', 'X', 'E', '.'}) c.Literal(b);
    for (unsigned length : {3u, 4u, 5u, 7u, 8u, 9u, 15u, 16u, 17u, 31u, 33u, 258u})
      for (unsigned d : {1u, 2u, 3u, 4u, 5u, 7u, 8u, 9u, 16u, 100u})
        for (unsigned ahead = 0; ahead <= 9; ++ahead) {
          c.Match(length, d);
          c.Match(5 + ahead, 32768 - ahead);
        }
    c.EndBlock();
    ExpectDecodes(Inflate(c.out.bytes), c.expect, windowFirst ? "after a window" : "first window");
  }
}

TEST_P(BoundsTest, LongestMatchesRightBeforeTheWindowEnd) {
  // One or two literals and a match of 258 (what one pass of the fast loop
  // may write) that end at the window's last byte, or just before or after
  // it, from every start near the end.
  for (unsigned literals = 1; literals <= 2; ++literals)
    for (unsigned end = WindowEndNear - 6; end <= WindowEndNear + 6; ++end) {
      Composer c;
      c.FixedBlock(true);
      c.Literal('a');
      const size_t start = end - 258 - literals;
      while (c.expect.size() + 258 + 3 <= start) c.Match(258, 1);
      size_t left = start - c.expect.size();
      if (left > 258) c.Match(3, 1), left -= 3;
      if (left >= 3) c.Match(static_cast<unsigned>(left), 1), left = 0;
      while (left-- > 0) c.Literal('a');
      for (unsigned i = 0; i < literals; ++i) c.Literal('b' + i);
      c.Match(258, 2);
      c.Literal('c');
      c.Match(258, 32768);
      for (unsigned i = 0; i < 100; ++i) c.Literal('d' + i % 20);  // the fast loop's input room, and more
      c.EndBlock();
      ExpectDecodes(Inflate(c.out.bytes), c.expect,
                    std::to_string(literals) + " literals, ends at " + std::to_string(end));
    }
}

TEST_P(BoundsTest, LastCodesAcrossTheWindowEnd) {
  // The entry's last codes are two matches of 258, the first from every
  // place near the window's end, the second from 32,768 back, so that one
  // of them passes the end. The fast loop stops with 16 bytes of input left
  // (32 in the wide build) and a pass takes at most 6 bytes of bits, so the
  // last 10 bytes are the careful loop's: it goes on with a match after the
  // window has moved into the history.
  for (unsigned d : {1u, 3u, 40u, 32768u})
    for (unsigned end = WindowEndNear - 6; end <= WindowEndNear + 6; ++end) {
      Composer c;
      c.FixedBlock(true);
      for (unsigned i = 0; i < 300; ++i) c.Literal('e' + i % 17);
      while (c.expect.size() + 258 + 258 + 3 <= end) c.Match(258, 299);
      size_t left = end - 258 - c.expect.size();
      if (left > 258) c.Match(3, 7), left -= 3;
      if (left >= 3) c.Match(static_cast<unsigned>(left), 11), left = 0;
      while (left-- > 0) c.Literal('x');
      size_t last = c.out.bytes.size();
      c.Match(258, d);
      c.Match(258, 32768);
      c.EndBlock();
      ASSERT_LE(c.out.bytes.size() - last, 10u) << "within the careful loop's reach";
      ExpectDecodes(Inflate(c.out.bytes), c.expect, "distance " + std::to_string(d) + ", window ends at " +
                                                        std::to_string(end));
    }
}

// Lengths of a complete code whose deepest codes have 15 bits: one code
// each of 1..depth bits, the rest of the code space in 15-bit codes, given
// to the symbols in a shuffled order; `always` gets one of the codes.
std::vector<unsigned> DeepCode(unsigned symbols, unsigned usable, unsigned depth, unsigned always, uint32_t seed) {
  std::vector<unsigned> order;
  for (unsigned s = 0; s < usable; ++s) order.push_back(s);
  for (unsigned i = usable; i > 1; --i) std::swap(order[i - 1], order[NextRandom(&seed) % i]);
  unsigned used = depth + (1u << (15 - depth));
  if (std::find(order.begin(), order.begin() + used, always) == order.begin() + used)
    *std::find(order.begin(), order.end(), always) = order[0], order[0] = always;
  std::vector<unsigned> lengths(symbols, 0);
  for (unsigned i = 0; i < used; ++i) lengths[order[i]] = i < depth ? i + 1 : 15;
  return lengths;
}

TEST_P(BoundsTest, RandomSymbolsAtEveryPlaceInTheWindow) {
  struct Shape {
    const char* name;
    std::vector<unsigned> literal, distance;
  };
  std::vector<Shape> shapes;
  std::vector<unsigned> deepLiteral = DeepCode(286, 286, 7, 256, 5);    // 7 + 256 codes
  std::vector<unsigned> shallowLiteral = DeepCode(286, 286, 8, 256, 9);  // 8 + 128 codes
  shapes.push_back({"deep, deep distances", deepLiteral, DeepCode(30, 30, 11, 29, 3)});
  shapes.push_back({"shallow, deep distances", shallowLiteral, DeepCode(32, 30, 12, 0, 4)});
  std::vector<unsigned> single(30, 0);
  single[29] = 15;  // one distance code of 15 bits: incomplete, and legal here
  shapes.push_back({"deep, one 15-bit distance code", deepLiteral, single});
  std::vector<unsigned> sparse(30, 0);
  sparse[0] = 2;
  sparse[5] = 5;
  sparse[16] = 9;
  sparse[27] = 15;
  sparse[29] = 15;
  shapes.push_back({"shallow, incomplete distances", shallowLiteral, sparse});

  for (const Shape& shape : shapes) {
    Composer c;
    uint32_t seed = 77;
    std::vector<unsigned> literals, lengths, distances;
    for (unsigned s = 0; s < 256; ++s)
      if (shape.literal[s]) literals.push_back(s);
    for (unsigned s = 257; s < 286; ++s)
      if (shape.literal[s]) lengths.push_back(s);
    for (unsigned s = 0; s < 30; ++s)
      if (shape.distance[s]) distances.push_back(s);
    ASSERT_FALSE(literals.empty());
    ASSERT_FALSE(lengths.empty());
    for (int block = 0; block < 4; ++block) {
      c.DynamicBlock(block == 3, shape.literal, shape.distance);
      for (size_t end = c.expect.size() + 60000; c.expect.size() < end;) {
        if (NextRandom(&seed) % 10 < 6) {
          c.Literal(literals[NextRandom(&seed) % literals.size()]);
          continue;
        }
        unsigned ls = lengths[NextRandom(&seed) % lengths.size()];
        unsigned ds = distances[NextRandom(&seed) % distances.size()];
        c.Match(ls, NextRandom(&seed) & ((1u << LengthExtras[ls - 257]) - 1), ds,
                NextRandom(&seed) & ((1u << DistanceExtras[ds]) - 1));
      }
      c.EndBlock();
    }
    ExpectDecodes(Inflate(c.out.bytes), c.expect, shape.name);
  }
}

// The stream in two volumes, the second starting at `split`; an entry of
// `declared` compressed bytes (the stream's size unless given).
class SplitInflateTest : public BoundsTest {
 protected:
  InflateResult InflateSplit(const std::vector<uint8_t>& stream, size_t split, size_t declared = 0) {
    posix::OwnPath = scratch_ + "/setup.exe";
    strcpy(OwnPath, posix::OwnPath.c_str());
    if (split < stream.size())
      WriteFile("setup.z02", std::vector<uint8_t>(stream.begin() + static_cast<long>(split), stream.end()));
    ArchiveSpanned = 1;
    CurrentVolume = 1;
    std::vector<uint8_t> first(stream.begin(), stream.begin() + static_cast<long>(split));
    return Inflate(first, static_cast<int32_t>(declared != 0 ? declared : stream.size()));
  }
};

TEST_P(SplitInflateTest, InputChunksThatEndAnywhere) {
  std::string data = SampleText(60000, 5) + SampleRepeats(30000) + SampleRandom(3000, 8) + SampleText(50000, 6);
  for (const int strategy : {Z_DEFAULT_STRATEGY, Z_FIXED, Z_HUFFMAN_ONLY}) {
    std::vector<uint8_t> stream = ZlibDeflate(data, 6, strategy);
    std::vector<size_t> splits;
    for (size_t s = 1; s <= 40; ++s) splits.push_back(s);
    for (size_t s = stream.size() / 2 - 20; s <= stream.size() / 2 + 20; ++s) splits.push_back(s);
    for (size_t s = stream.size() - 20; s < stream.size(); ++s) splits.push_back(s);
    for (size_t split : splits) {
      InflateResult got = InflateSplit(stream, split);
      std::string what = "strategy " + std::to_string(strategy) + " split " + std::to_string(split);
      EXPECT_EQ(CurrentVolume, 2) << what;
      EXPECT_TRUE(posix::Messages.empty()) << what;
      ExpectDecodes(got, data, what);
    }
  }
}

TEST_P(SplitInflateTest, TheLastCodeEndingAVolumeAsksForNoNextOne) {
  // The entry's size reaches 16 bytes into a second volume that is not
  // there; the stream ends with the first volume, and the decoder must not
  // look beyond its last code for more input.
  std::vector<std::vector<uint8_t>> streams;
  for (size_t size : {size_t{1}, size_t{300}, size_t{5000}, size_t{70000}, size_t{200000}})
    for (int level : {1, 6, 9})
      for (const int strategy : {Z_DEFAULT_STRATEGY, Z_FIXED})
        streams.push_back(ZlibDeflate(SampleText(size, static_cast<uint32_t>(size)), level, strategy));
  for (unsigned eobBits : {1u, 2u, 3u, 4u, 9u, 15u}) {
    // Literals only, with codes of 1..14 bits and two of 15; the end of
    // block, last in the stream, takes the code of eobBits bits.
    std::vector<unsigned> literal(257, 0);
    std::vector<unsigned> used;
    for (unsigned l = 1, s = 'a'; l <= 15; ++l, ++s) {
      literal[l == eobBits ? 256 : s] = l;
      if (l != eobBits) used.push_back(s);
    }
    unsigned second = eobBits == 15 ? 'a' + 14 : 'z' + 1;  // the other 15-bit code
    literal[second] = 15;
    used.push_back(second);
    Composer c;
    c.DynamicBlock(true, literal, std::vector<unsigned>(1, 0));
    uint32_t seed = eobBits;
    for (int i = 0; i < 20000; ++i) c.Literal(used[NextRandom(&seed) % used.size()]);
    c.EndBlock();
    streams.push_back(c.out.bytes);
  }
  for (const std::vector<uint8_t>& stream : streams) {
    std::string expect;
    ASSERT_TRUE(ZlibInflate(stream, &expect));
    posix::Messages.clear();
    CancelRequested = 0;
    EntryDone = 0;
    InflateResult got = InflateSplit(stream, stream.size(), stream.size() + 16);
    std::string what = "stream " + std::to_string(&stream - streams.data()) + " size " + std::to_string(stream.size());
    EXPECT_EQ(CurrentVolume, 1) << what;
    EXPECT_FALSE(CancelRequested) << what;
    EXPECT_TRUE(posix::Messages.empty()) << what;
    ExpectDecodes(got, expect, what);
  }
}

INSTANTIATE_TEST_SUITE_P(Widths, BoundsTest, ::testing::Bool(), WidthName);
INSTANTIATE_TEST_SUITE_P(Widths, SplitInflateTest, ::testing::Bool(), WidthName);

}  // namespace

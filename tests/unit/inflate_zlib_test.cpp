// Differential tests of the Inflate decoder against zlib: streams that zlib
// makes at every level and strategy, with flushes that put stored blocks in
// the middle, around the window's size, must decode to zlib's input byte for
// byte, with zlib's CRC-32, in flushes of a whole window and one shorter last
// piece.
#include "tests/unit/inflate_harness.h"

namespace {

void ExpectSame(const InflateResult& got, const std::string& data, const std::string& what) {
  ASSERT_EQ(got.output.size(), data.size()) << what;
  EXPECT_TRUE(got.output == data) << what;
  EXPECT_EQ(got.crc, ZlibCrc(data)) << what;
  EXPECT_EQ(got.flushes, static_cast<int>((data.size() + WindowSize - 1) / WindowSize)) << what;
}

struct Strategy {
  int value;
  const char* name;
};
const Strategy Strategies[] = {{Z_DEFAULT_STRATEGY, "default"}, {Z_FILTERED, "filtered"},
                               {Z_HUFFMAN_ONLY, "huffman"},      {Z_RLE, "rle"},
                               {Z_FIXED, "fixed"}};

TEST_F(InflateTest, EveryLevelAndStrategyMatchesZlib) {
  const std::string samples[] = {SampleText(90000), SampleRandom(40000), SampleRepeats(120000)};
  for (const std::string& data : samples)
    for (int level = 0; level <= 9; ++level)
      for (const Strategy& s : Strategies) {
        std::string what = std::string(s.name) + " level " + std::to_string(level) + " size " +
                           std::to_string(data.size());
        ExpectSame(Inflate(ZlibDeflate(data, level, s.value)), data, what);
      }
}

TEST_F(InflateTest, SizesAroundTheWindowMatchZlib) {
  const size_t sizes[] = {0, 1, 2, 258, 32767, 32768, 32769, WindowSize - 1, WindowSize, WindowSize + 1,
                         2 * WindowSize + 1};
  for (size_t size : sizes)
    for (int level : {0, 1, 6, 9}) {
      std::string text = SampleText(size, static_cast<uint32_t>(size));
      ExpectSame(Inflate(ZlibDeflate(text, level, Z_DEFAULT_STRATEGY)), text,
                 "text " + std::to_string(size) + " level " + std::to_string(level));
      std::string noise = SampleRandom(size, static_cast<uint32_t>(size));
      ExpectSame(Inflate(ZlibDeflate(noise, level, Z_DEFAULT_STRATEGY)), noise,
                 "noise " + std::to_string(size) + " level " + std::to_string(level));
    }
}

TEST_F(InflateTest, SyncAndFullFlushesPutStoredBlocksInTheMiddle) {
  std::string data = SampleText(50000) + SampleRandom(30000) + SampleRepeats(40000) + SampleText(200000);
  std::vector<size_t> cuts = {1, 7, 1000, 32768, 40001, 40002, 80000, 100000, WindowSize - 3, WindowSize + 2, 300000};
  for (int flush : {Z_SYNC_FLUSH, Z_FULL_FLUSH, Z_PARTIAL_FLUSH})
    for (int level : {1, 6, 9})
      for (const Strategy& s : Strategies)
        ExpectSame(Inflate(ZlibDeflate(data, level, s.value, cuts, flush)), data,
                   std::string(s.name) + " flush " + std::to_string(flush) + " level " + std::to_string(level));
}

TEST_F(InflateTest, DistanceOneLength258AcrossTheWindowEnd) {
  // A run of one byte is coded as distance 1, length 258 matches; with 1 and
  // 5 bytes in front their pieces straddle the window's end twice.
  for (size_t lead : {1u, 5u, 200u}) {
    std::string data = SampleText(lead) + std::string(2 * WindowSize + 1000, 'q') + "end";
    for (int level : {1, 9}) {
      for (const Strategy& s : Strategies)
        ExpectSame(Inflate(ZlibDeflate(data, level, s.value)), data, "run after " + std::to_string(lead));
    }
  }
}

TEST_F(InflateTest, FarDistancesAndPeriodsAcrossTheWindow) {
  // A block repeated at distances close to 32,768 across the window's end,
  // and short periods 2..9.
  std::string block = SampleRandom(32760, 11);
  std::string data = SampleText(WindowSize - 40000) + block + block + block.substr(0, 20000) + block;
  for (int period = 2; period <= 9; ++period) {
    std::string unit = SampleRandom(static_cast<size_t>(period), static_cast<uint32_t>(period));
    for (int i = 0; i < 3000; ++i) data += unit;
  }
  for (int level : {1, 6, 9}) ExpectSame(Inflate(ZlibDeflate(data, level, Z_DEFAULT_STRATEGY)), data, "far");
}

TEST_F(InflateTest, EmptyStreamsOfEveryKind) {
  for (int level : {0, 1, 9})
    for (const Strategy& s : Strategies) {
      InflateResult got = Inflate(ZlibDeflate("", level, s.value));
      EXPECT_EQ(got.output, "");
      EXPECT_EQ(got.crc, 0u);  // the register stays 0xFFFFFFFF
      EXPECT_EQ(got.flushes, 0);
    }
}

}  // namespace

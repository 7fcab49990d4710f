// The decoder with the stub's 32-bit bit buffer against zlib on the host:
// streams of every level and strategy, sizes around the window, flushes that
// put stored blocks in the middle, and streams cut short, as the wide build
// is tested in inflate_zlib_test.cpp and inflate_edge_test.cpp.
#include "tests/unit/inflate_harness.h"

namespace {

class NarrowInflateTest : public InflateTest {
 protected:
  void SetUp() override {
    InflateTest::SetUp();
    entry_ = narrow::InflateEntry;
  }
};

void ExpectSame(const InflateResult& got, const std::string& data, const std::string& what) {
  ASSERT_EQ(got.output.size(), data.size()) << what;
  EXPECT_TRUE(got.output == data) << what;
  EXPECT_EQ(got.crc, ZlibCrc(data)) << what;
  EXPECT_EQ(got.flushes, static_cast<int>((data.size() + WindowSize - 1) / WindowSize)) << what;
}

const int Strategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED};

TEST_F(NarrowInflateTest, EveryLevelAndStrategyMatchesZlib) {
  const std::string samples[] = {SampleText(90000), SampleRandom(40000), SampleRepeats(120000)};
  for (const std::string& data : samples)
    for (int level = 0; level <= 9; ++level)
      for (int strategy : Strategies)
        ExpectSame(Inflate(ZlibDeflate(data, level, strategy)), data,
                   "strategy " + std::to_string(strategy) + " level " + std::to_string(level) + " size " +
                       std::to_string(data.size()));
}

TEST_F(NarrowInflateTest, SizesAroundTheWindowMatchZlib) {
  for (size_t size : {size_t{0}, size_t{1}, size_t{258}, size_t{32767}, size_t{32768}, size_t{32769},
                      size_t{WindowSize - 1}, size_t{WindowSize}, size_t{WindowSize + 1}, size_t{2 * WindowSize + 1}})
    for (int level : {1, 9}) {
      std::string text = SampleText(size, static_cast<uint32_t>(size));
      ExpectSame(Inflate(ZlibDeflate(text, level, Z_DEFAULT_STRATEGY)), text, "text " + std::to_string(size));
      std::string runs = SampleRepeats(size);
      ExpectSame(Inflate(ZlibDeflate(runs, level, Z_RLE)), runs, "runs " + std::to_string(size));
    }
}

TEST_F(NarrowInflateTest, FlushesAndFarDistancesMatchZlib) {
  std::string block = SampleRandom(32760, 11);
  std::string data = SampleText(WindowSize - 60000) + block + block + SampleRepeats(40000) + block;
  for (int period = 2; period <= 9; ++period) {
    std::string unit = SampleRandom(static_cast<size_t>(period), static_cast<uint32_t>(period));
    for (int i = 0; i < 2000; ++i) data += unit;
  }
  std::vector<size_t> cuts = {1, 7, 1000, 32768, 40001, 80000, 100000, WindowSize - 3, WindowSize + 2};
  for (int flush : {Z_SYNC_FLUSH, Z_FULL_FLUSH})
    for (int level : {1, 6, 9})
      ExpectSame(Inflate(ZlibDeflate(data, level, Z_DEFAULT_STRATEGY, cuts, flush)), data,
                 "flush " + std::to_string(flush) + " level " + std::to_string(level));
}

TEST_F(NarrowInflateTest, TruncatedStreamsEndWithAPrefixOfTheData) {
  std::string data = SampleText(70000) + SampleRandom(5000);
  for (int strategy : {Z_DEFAULT_STRATEGY, Z_FIXED}) {
    std::vector<uint8_t> full = ZlibDeflate(data, 6, strategy);
    for (size_t cut : {size_t{1}, size_t{100}, full.size() / 3, full.size() / 2, full.size() - 2}) {
      InflateResult got = Inflate(std::vector<uint8_t>(full.begin(), full.begin() + static_cast<long>(cut)));
      EXPECT_TRUE(IsPrefix(got.output, data)) << "cut " << cut;
      EXPECT_LT(got.output.size(), data.size()) << "cut " << cut;
    }
  }
}

}  // namespace

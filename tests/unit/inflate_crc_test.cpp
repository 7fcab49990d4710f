// The CRC-32 the decoder's output runs through, against zlib's crc32: every
// length up to a few hundred bytes at every alignment, long buffers, and
// registers carried from one piece to the next, once with the folding of
// 64-byte blocks (where the processor has it) and once with the table
// methods alone.
#include <algorithm>
#include <string>
#include <vector>
#include "archive/crc32.h"
#include "tests/support/zlib_reference.h"
#include "tests/unit/fixture.h"

extern uint8_t CrcFolds;  // archive/crc32.cpp: the processor folds, and the CRC does

namespace {

class CrcTest : public SfxTest {
 protected:
  void TearDown() override {
    CrcFolds = folds_;
    SfxTest::TearDown();
  }
  uint8_t folds_ = CrcFolds;
};

uint32_t Ours(const uint8_t* bytes, size_t count, uint32_t reg = 0xFFFFFFFFu) {
  CrcOverBuffer(bytes, static_cast<int32_t>(count), &reg);
  return reg;
}

std::vector<uint8_t> Noise(size_t size, uint32_t seed) {
  std::vector<uint8_t> bytes(size);
  for (uint8_t& b : bytes) {
    seed = seed * 1664525u + 1013904223u;
    b = static_cast<uint8_t>(seed >> 24);
  }
  return bytes;
}

#if defined(__i386__) || defined(__x86_64__)
TEST_F(CrcTest, FoldsWhereTheProcessorCan) {
  __builtin_cpu_init();
  EXPECT_EQ(CrcFolds != 0, __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse2"));
}
#endif

TEST_F(CrcTest, EveryLengthAndAlignmentMatchesZlib) {
  std::vector<uint8_t> bytes = Noise(400, 1);
  for (uint8_t folds : {folds_, uint8_t{0}}) {
    CrcFolds = folds;
    for (size_t at = 0; at < 16; ++at)
      for (size_t n = 0; at + n <= 400; ++n)
        ASSERT_EQ(Ours(bytes.data() + at, n) ^ 0xFFFFFFFFu, ZlibCrc(bytes.data() + at, n))
            << "at " << at << " length " << n << " folds " << int(folds);
  }
}

TEST_F(CrcTest, LongBuffersAndCarriedRegistersMatchZlib) {
  std::vector<uint8_t> bytes = Noise(300007, 2);
  for (uint8_t folds : {folds_, uint8_t{0}}) {
    CrcFolds = folds;
    for (size_t n : {size_t{32768}, size_t{65536}, size_t{100003}, bytes.size()})
      EXPECT_EQ(Ours(bytes.data(), n) ^ 0xFFFFFFFFu, ZlibCrc(bytes.data(), n)) << n << " folds " << int(folds);
    // The same bytes in pieces of uneven sizes, the register carried on.
    uint32_t reg = 0xFFFFFFFFu;
    size_t at = 0, piece = 1;
    while (at < bytes.size()) {
      size_t n = std::min(piece, bytes.size() - at);
      reg = Ours(bytes.data() + at, n, reg);
      at += n;
      piece = piece * 3 + 5;
      if (piece > 40000) piece = 63;
    }
    EXPECT_EQ(reg ^ 0xFFFFFFFFu, ZlibCrc(bytes.data(), bytes.size())) << "pieces, folds " << int(folds);
  }
  // Runs of one byte value, where a wrong constant shows at once.
  for (uint8_t value : {0x00, 0xFF, 0x80, 0x01}) {
    std::vector<uint8_t> run(4096, value);
    for (uint8_t folds : {folds_, uint8_t{0}}) {
      CrcFolds = folds;
      EXPECT_EQ(Ours(run.data(), run.size()) ^ 0xFFFFFFFFu, ZlibCrc(run.data(), run.size())) << int(value);
    }
  }
}

}  // namespace

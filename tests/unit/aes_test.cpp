// AES encryption: the FIPS-197 known answers (the key expansions of
// appendix A, the example vectors of appendix C) and many random keys and
// blocks against openssl's AES-ECB, one block and four at a time, by the
// table method and, where the processor has them, by its AES instructions.
#include <gtest/gtest.h>
#include <unistd.h>
#include <cstdio>
#include <random>
#include <string>
#include <vector>
#include "archive/aes.h"
#include "tests/support/peer_tools.h"

namespace {

enum Method { Instructions, Tables };

class AesTest : public ::testing::TestWithParam<Method> {
 protected:
  void SetUp() override {
    BuildAesTables();
    if (GetParam() == Tables) {
      AesHardware = 0;
    } else if (!AesHardware) {
      GTEST_SKIP() << "this processor has no AES instructions";
    }
  }
  // The processor's own choice again for the tests after this one.
  void TearDown() override { BuildAesTables(); }

  static std::vector<uint8_t> Encrypt(const std::vector<uint8_t>& key, const std::vector<uint8_t>& block) {
    std::vector<uint8_t> out(AesBlockSize);
    SetAesKey(key.data(), static_cast<uint32_t>(key.size()));
    EncryptAesBlock(block.data(), out.data());
    return out;
  }
};

// Round key word i as FIPS-197 prints it (the first byte the most
// significant).
uint32_t PrintedWord(uint32_t i) { return __builtin_bswap32(AesRoundKeys[i]); }

TEST_P(AesTest, Fips197AppendixCVectors) {
  std::vector<uint8_t> plain = FromHex("00112233445566778899aabbccddeeff");
  EXPECT_EQ(Hex(Encrypt(FromHex("000102030405060708090a0b0c0d0e0f"), plain)), "69c4e0d86a7b0430d8cdb78070b4c55a");
  EXPECT_EQ(Hex(Encrypt(FromHex("000102030405060708090a0b0c0d0e0f1011121314151617"), plain)),
            "dda97ca4864cdfe06eaf70a0ec0d7191");
  EXPECT_EQ(Hex(Encrypt(FromHex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f"), plain)),
            "8ea2b7ca516745bfeafc49904b496089");
}

TEST_P(AesTest, Fips197AppendixAKeyExpansion) {
  // The key, the word after it and the last round key of each example.
  SetAesKey(FromHex("2b7e151628aed2a6abf7158809cf4f3c").data(), 16);
  EXPECT_EQ(AesRounds, 10u);
  EXPECT_EQ(PrintedWord(0), 0x2b7e1516u);
  EXPECT_EQ(PrintedWord(4), 0xa0fafe17u);
  EXPECT_EQ(PrintedWord(5), 0x88542cb1u);
  EXPECT_EQ(PrintedWord(40), 0xd014f9a8u);
  EXPECT_EQ(PrintedWord(41), 0xc9ee2589u);
  EXPECT_EQ(PrintedWord(42), 0xe13f0cc8u);
  EXPECT_EQ(PrintedWord(43), 0xb6630ca6u);

  SetAesKey(FromHex("8e73b0f7da0e6452c810f32b809079e562f8ead2522c6b7b").data(), 24);
  EXPECT_EQ(AesRounds, 12u);
  EXPECT_EQ(PrintedWord(5), 0x522c6b7bu);
  EXPECT_EQ(PrintedWord(6), 0xfe0c91f7u);
  EXPECT_EQ(PrintedWord(7), 0x2402f5a5u);
  EXPECT_EQ(PrintedWord(48), 0xe98ba06fu);
  EXPECT_EQ(PrintedWord(49), 0x448c773cu);
  EXPECT_EQ(PrintedWord(50), 0x8ecc7204u);
  EXPECT_EQ(PrintedWord(51), 0x01002202u);

  SetAesKey(FromHex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4").data(), 32);
  EXPECT_EQ(AesRounds, 14u);
  EXPECT_EQ(PrintedWord(7), 0x0914dff4u);
  EXPECT_EQ(PrintedWord(8), 0x9ba35411u);
  EXPECT_EQ(PrintedWord(9), 0x8e6925afu);
  EXPECT_EQ(PrintedWord(56), 0xfe4890d1u);
  EXPECT_EQ(PrintedWord(57), 0xe6188d0bu);
  EXPECT_EQ(PrintedWord(58), 0x046df344u);
  EXPECT_EQ(PrintedWord(59), 0x706c631eu);
}

TEST_P(AesTest, EncryptsInPlace) {
  std::vector<uint8_t> block = FromHex("00112233445566778899aabbccddeeff");
  SetAesKey(FromHex("000102030405060708090a0b0c0d0e0f").data(), 16);
  EncryptAesBlock(block.data(), block.data());
  EXPECT_EQ(Hex(block), "69c4e0d86a7b0430d8cdb78070b4c55a");
}

TEST_P(AesTest, AgreesWithOpensslOnRandomKeysAndBlocks) {
  if (!ToolPresent("openssl")) GTEST_SKIP() << "openssl is not installed";
  std::mt19937 random(197);
  char path[] = "/tmp/korvi-aes-XXXXXX";
  int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  for (uint32_t keyBytes : {16u, 24u, 32u}) {
    for (int trial = 0; trial < 8; ++trial) {
      std::vector<uint8_t> key(keyBytes), blocks(AesBlockSize * 64);
      for (uint8_t& b : key) b = static_cast<uint8_t>(random());
      for (uint8_t& b : blocks) b = static_cast<uint8_t>(random());
      FILE* f = fopen(path, "wb");
      ASSERT_NE(f, nullptr);
      fwrite(blocks.data(), 1, blocks.size(), f);
      fclose(f);
      std::string theirs;
      ASSERT_TRUE(RunTool("openssl enc -aes-" + std::to_string(keyBytes * 8) + "-ecb -nopad -K " + Hex(key) + " -in " +
                              path + " | od -An -v -tx1",
                          &theirs));
      SetAesKey(key.data(), keyBytes);
      // The first half a block at a time, the second four at a time.
      std::vector<uint8_t> ours(blocks.size());
      size_t half = blocks.size() / 2;
      for (size_t at = 0; at < half; at += AesBlockSize) EncryptAesBlock(&blocks[at], &ours[at]);
      for (size_t at = half; at < blocks.size(); at += 4 * AesBlockSize) EncryptFourAesBlocks(&blocks[at], &ours[at]);
      EXPECT_EQ(Hex(ours), Hex(FromHex(theirs))) << "key " << Hex(key);
    }
  }
  remove(path);
}

INSTANTIATE_TEST_SUITE_P(Methods, AesTest, ::testing::Values(Instructions, Tables),
                         [](const ::testing::TestParamInfo<Method>& info) {
                           return info.param == Instructions ? "Instructions" : "Tables";
                         });

TEST(AesMethods, TheTableMethodAgreesWithTheProcessor) {
  // The processor's AES is a second implementation, apart from ours.
  BuildAesTables();
  if (!AesHardware) GTEST_SKIP() << "this processor has no AES instructions";
  std::mt19937 random(1);
  for (int trial = 0; trial < 300; ++trial) {
    uint32_t keyBytes = 16 + 8 * (trial % 3);
    std::vector<uint8_t> key(keyBytes), block(AesBlockSize), a(AesBlockSize), b(AesBlockSize);
    for (uint8_t& x : key) x = static_cast<uint8_t>(random());
    for (uint8_t& x : block) x = static_cast<uint8_t>(random());
    SetAesKey(key.data(), keyBytes);
    AesHardware = 1;
    EncryptAesBlock(block.data(), a.data());
    AesHardware = 0;
    EncryptAesBlock(block.data(), b.data());
    ASSERT_EQ(Hex(a), Hex(b)) << "key " << Hex(key) << " block " << Hex(block);
    std::vector<uint8_t> four(4 * AesBlockSize), c(four.size()), d(four.size());
    for (uint8_t& x : four) x = static_cast<uint8_t>(random());
    AesHardware = 1;
    EncryptFourAesBlocks(four.data(), c.data());
    AesHardware = 0;
    EncryptFourAesBlocks(four.data(), d.data());
    ASSERT_EQ(Hex(c), Hex(d)) << "key " << Hex(key) << " blocks " << Hex(four);
  }
  BuildAesTables();
}

}  // namespace

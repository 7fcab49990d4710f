// CRC-32 and the traditional ZIP encryption, checked against an independent
// implementation (the test helper's) and the standard check value.
#include <cstring>
#include <string>
#include <vector>
#include "Sfx/state.h"
#include "archive/crypt.h"
#include "archive/zip_format.h"
#include "tests/unit/fixture.h"
#include "tests/support/zip_builder.h"

namespace {

using CryptTest = SfxTest;

uint32_t CrcOf(const std::string& text) {
  uint32_t reg = 0xFFFFFFFFu;
  CrcOverBuffer(reinterpret_cast<const uint8_t*>(text.data()), static_cast<int32_t>(text.size()), &reg);
  return reg ^ 0xFFFFFFFFu;
}

TEST_F(CryptTest, TableAndCheckValue) {
  EXPECT_EQ(CrcTable[0], 0u);
  EXPECT_EQ(CrcTable[1], 0x77073096u);
  EXPECT_EQ(CrcTable[255], 0x2D02EF8Du);
  EXPECT_EQ(CrcOf("123456789"), 0xCBF43926u);
  EXPECT_EQ(CrcOf("The quick brown fox jumps over the lazy dog"), 0x414FA339u);
}

TEST_F(CryptTest, ByteStepsAgreeWithTheIndependentCrc) {
  // The keys advance by UpdateCrc alone, so it must be right for every byte
  // value on its own, not only inside CrcOverBuffer.
  std::vector<uint8_t> bytes(256);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(255 - i);
  uint32_t reg = 0xFFFFFFFFu;
  for (uint8_t b : bytes) reg = UpdateCrc(b, reg);
  EXPECT_EQ(reg ^ 0xFFFFFFFFu, ZipCrc(bytes));
}

TEST_F(CryptTest, EmptyAndNegativeCountsLeaveTheRegister) {
  uint32_t reg = 0xFFFFFFFFu;
  uint8_t byte = 0x55;
  CrcOverBuffer(&byte, 0, &reg);
  EXPECT_EQ(reg, 0xFFFFFFFFu);
  CrcOverBuffer(&byte, -5, &reg);
  EXPECT_EQ(reg, 0xFFFFFFFFu);
  EXPECT_EQ(reg ^ 0xFFFFFFFFu, 0u) << "an entry of zero bytes has CRC 0";
}

TEST_F(CryptTest, AgreesWithTheIndependentCrc) {
  std::vector<uint8_t> bytes(70000);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7 + (i >> 9));
  uint32_t reg = 0xFFFFFFFFu;
  CrcOverBuffer(bytes.data(), static_cast<int32_t>(bytes.size()), &reg);
  EXPECT_EQ(reg ^ 0xFFFFFFFFu, ZipCrc(bytes));
}

TEST_F(CryptTest, KeysStartFromTheFixedConstants) {
  InitKeys("");
  EXPECT_EQ(Key0, 0x12345678u);
  EXPECT_EQ(Key1, 0x23456789u);
  EXPECT_EQ(Key2, 0x34567890u);
  uint8_t first = DecryptByte();
  EXPECT_EQ(DecryptByte(), first) << "DecryptByte does not advance the keys";
  UpdateKeys('x');
  EXPECT_NE(Key0, 0x12345678u);
}

TEST_F(CryptTest, RightPasswordPassesAndDecryptsTheData) {
  std::vector<uint8_t> plain = Bytes("secret contents");
  uint32_t crc = ZipCrc(plain);
  std::vector<uint8_t> stream = ZipEncrypt("pass word", static_cast<uint8_t>(crc >> 24), plain);
  ASSERT_TRUE(CheckPassword(stream.data(), 0, "pass word", 0x2AEF63C5u, crc));
  std::vector<uint8_t> data(stream.begin() + 12, stream.end());
  DecryptBuffer(data.data(), static_cast<uint32_t>(data.size()));
  EXPECT_EQ(data, plain);
}

TEST_F(CryptTest, WrongPasswordFailsAndTheRightOneStillPassesAfterIt) {
  std::vector<uint8_t> plain = Bytes("abc");
  uint32_t crc = ZipCrc(plain);
  std::vector<uint8_t> stream = ZipEncrypt("letmein", static_cast<uint8_t>(crc >> 24), plain);
  std::vector<uint8_t> before = stream;
  EXPECT_FALSE(CheckPassword(stream.data(), 0, "letmeim", 0, crc));
  EXPECT_EQ(stream, before) << "the header as read stays intact";
  EXPECT_TRUE(CheckPassword(stream.data(), 0, "letmein", 0, crc));
}

TEST_F(CryptTest, BitThreeComparesWithTheTimeNotTheCrc) {
  std::vector<uint8_t> plain = Bytes("abc");
  uint32_t crc = 0x11223344u;
  uint32_t dosDateTime = 0x2AEF63C5u;  // time's high byte 0x63
  std::vector<uint8_t> byTime = ZipEncrypt("pw", 0x63, plain);
  EXPECT_TRUE(CheckPassword(byTime.data(), FlagEncrypted | FlagDescriptor, "pw", dosDateTime, crc));
  EXPECT_FALSE(CheckPassword(byTime.data(), FlagEncrypted, "pw", dosDateTime, crc)) << "without bit 3 the CRC decides";
  std::vector<uint8_t> byCrc = ZipEncrypt("pw", 0x11, plain);
  EXPECT_TRUE(CheckPassword(byCrc.data(), FlagEncrypted, "pw", dosDateTime, crc));
  EXPECT_FALSE(CheckPassword(byCrc.data(), FlagEncrypted | FlagDescriptor, "pw", dosDateTime, crc));
}

TEST_F(CryptTest, EmptyPasswordFailsWithoutTouchingTheKeys) {
  std::vector<uint8_t> stream = ZipEncrypt("", 0, Bytes("x"));
  Key0 = 1;
  Key1 = 2;
  Key2 = 3;
  EXPECT_FALSE(CheckPassword(stream.data(), 0, "", 0, 0));
  EXPECT_EQ(Key0, 1u);
  EXPECT_EQ(Key1, 2u);
  EXPECT_EQ(Key2, 3u);
}

}  // namespace

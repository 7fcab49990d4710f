// CRC-32 and the traditional ZIP encryption, checked against an independent
// implementation (the test helper's) and the standard check value.
#include <cstring>
#include <string>
#include <vector>
#include "Sfx/state.h"
#include "archive/crypt.h"
#include "tests/unit/fixture.h"
#include "tests/unit/zip_builder.h"

namespace {

using CryptTest = SfxTest;

uint32_t CrcOf(const std::string& text) {
  uint32_t reg = 0xFFFFFFFFu;
  CrcOverBuffer(reinterpret_cast<const uint8_t*>(text.data()), static_cast<int32_t>(text.size()), &reg);
  return reg ^ 0xFFFFFFFFu;
}

// The 24-byte work area as the driver fills it from an encryption header.
struct Area {
  uint8_t bytes[24];
  explicit Area(const std::vector<uint8_t>& encrypted) {
    std::memcpy(bytes, encrypted.data(), 12);
    std::memcpy(bytes + 12, encrypted.data(), 12);
  }
};

TEST_F(CryptTest, TableAndCheckValue) {
  EXPECT_EQ(CrcTable[0], 0u);
  EXPECT_EQ(CrcTable[1], 0x77073096u);
  EXPECT_EQ(CrcTable[255], 0x2D02EF8Du);
  EXPECT_EQ(CrcOf("123456789"), 0xCBF43926u);
  EXPECT_EQ(CrcOf("The quick brown fox jumps over the lazy dog"), 0x414FA339u);
  EXPECT_EQ(UpdateCrc('1', 0xFFFFFFFFu), CrcTable[(0xFFFFFFFFu ^ '1') & 0xFF] ^ 0x00FFFFFFu);
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
  Area area(stream);
  ASSERT_TRUE(CheckPassword(area.bytes, 12, 0, "pass word", 0x2AEF63C5u, crc));
  EXPECT_EQ(area.bytes[11], static_cast<uint8_t>(crc >> 24)) << "bytes 0..11 hold the decrypted header";
  std::vector<uint8_t> data(stream.begin() + 12, stream.end());
  DecryptBuffer(data.data(), static_cast<uint32_t>(data.size()));
  EXPECT_EQ(data, plain);
}

TEST_F(CryptTest, WrongPasswordFailsAndTheRightOneStillPassesAfterIt) {
  std::vector<uint8_t> plain = Bytes("abc");
  uint32_t crc = ZipCrc(plain);
  Area area(ZipEncrypt("letmein", static_cast<uint8_t>(crc >> 24), plain));
  EXPECT_FALSE(CheckPassword(area.bytes, 12, 0, "letmeim", 0, crc));
  EXPECT_TRUE(CheckPassword(area.bytes, 12, 0, "letmein", 0, crc)) << "the encrypted copy stays intact";
}

TEST_F(CryptTest, BitThreeComparesWithTheTimeNotTheCrc) {
  std::vector<uint8_t> plain = Bytes("abc");
  uint32_t crc = 0x11223344u;
  uint32_t dosDateTime = 0x2AEF63C5u;  // time's high byte 0x63
  Area area(ZipEncrypt("pw", 0x63, plain));
  EXPECT_TRUE(CheckPassword(area.bytes, 12, 0x0009, "pw", dosDateTime, crc));
  EXPECT_FALSE(CheckPassword(area.bytes, 12, 0x0001, "pw", dosDateTime, crc)) << "without bit 3 the CRC decides";
  Area byCrc(ZipEncrypt("pw", 0x11, plain));
  EXPECT_TRUE(CheckPassword(byCrc.bytes, 12, 0x0001, "pw", dosDateTime, crc));
  EXPECT_FALSE(CheckPassword(byCrc.bytes, 12, 0x0009, "pw", dosDateTime, crc));
}

TEST_F(CryptTest, EmptyPasswordFailsWithoutTouchingTheKeys) {
  Area area(ZipEncrypt("", 0, Bytes("x")));
  Key0 = 1;
  Key1 = 2;
  Key2 = 3;
  EXPECT_FALSE(CheckPassword(area.bytes, 12, 0, "", 0, 0));
  EXPECT_EQ(Key0, 1u);
  EXPECT_EQ(Key1, 2u);
  EXPECT_EQ(Key2, 3u);
}

}  // namespace

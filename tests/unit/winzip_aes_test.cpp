// WinZip AES entries: a known answer computed apart from our code (Python's
// hashlib and hmac for the keys and the code, openssl's AES-ECB over the
// little-endian counter blocks for the keystream), archives that 7-Zip
// encrypts at test time for every strength, stored and Deflate, decrypted
// here, and an archive of ours that 7-Zip must accept. Wrong passwords,
// damaged data and pieces of odd lengths besides.
#include <gtest/gtest.h>
#include <cstring>
#include <random>
#include <string>
#include <vector>
#include "archive/aes.h"
#include "archive/sha1.h"
#include "archive/winzip_aes.h"
#include "archive/zip_format.h"
#include "tests/support/peer_tools.h"
#include "tests/support/zip_builder.h"
#include "tests/support/zlib_reference.h"
#include "tests/unit/fixture.h"

namespace {

uint32_t Le16(const uint8_t* p) { return p[0] | static_cast<uint32_t>(p[1]) << 8; }
uint32_t Le32(const uint8_t* p) { return Le16(p) | Le16(p + 2) << 16; }

// The known answer: "SECRET", 47 bytes of text, for strength 3 and 1.
const char KnownPlain[] = "Korvi EXE writes WinZip AES entries: 40+ bytes.";
struct KnownAnswer {
  uint32_t strength;
  const char* salt;
  const char* verifier;
  const char* cipher;
  const char* code;
};
const KnownAnswer Known[] = {
    {3, "101112131415161718191a1b1c1d1e1f", "7555",
     "a60ab571e616caa34c27c13094cf242942e60aaa02d3e3b1e969c1b287e4091e1fee5382be340d678f31ffcfe44a5d",
     "fff8b35710fa75d1f2b7"},
    {1, "a0a1a2a3a4a5a6a7", "8edc",
     "09189847fa326864de70367bda0394f6d17603a60acf2aab528d1094fb2265dc25df16b3d6647b325e437a3ea63af0",
     "1d12581516f315ad8469"},
};
// A wrong password whose verifier for the strength-1 salt above is the
// right one (found with Python's hashlib, one password in 65,536 does it).
const char VerifierCollision[] = "wrong23666";

bool Begin(uint32_t strength, const std::vector<uint8_t>& salt, const std::vector<uint8_t>& verifier,
           const std::string& password) {
  return BeginAesEntry(strength, salt.data(), verifier.data(), password.c_str(),
                       static_cast<uint32_t>(password.size()));
}

// Runs bytes through step in pieces whose lengths cycle through pieces.
template <typename Step>
void InPieces(std::vector<uint8_t>& bytes, const std::vector<uint32_t>& pieces, Step step) {
  size_t at = 0;
  for (size_t k = 0; at < bytes.size(); ++k) {
    size_t n = pieces.empty() ? bytes.size() : pieces[k % pieces.size()];
    if (n > bytes.size() - at) n = bytes.size() - at;
    step(bytes.data() + at, static_cast<uint32_t>(n));
    at += n;
  }
}

const std::vector<uint32_t> OddPieces = {1, 15, 16, 17, 3, 31, 32, 33, 4099, 2};

// The first entry of an archive, found through its central directory.
struct ArchivedEntry {
  uint16_t flags = 0, method = 0;
  uint32_t crc = 0, uncompressedSize = 0;
  std::vector<uint8_t> extra, data;
};

bool FirstEntry(const std::vector<uint8_t>& zip, ArchivedEntry* entry) {
  if (zip.size() < EndRecordSize) return false;
  const uint8_t* end = zip.data() + zip.size() - EndRecordSize;
  if (Le32(end) != ZipSignature(ShiftedEndRecord)) return false;
  const uint8_t* central = zip.data() + Le32(end + 16);
  if (Le32(central) != ZipSignature(ShiftedCentralHeader)) return false;
  uint32_t compressed = Le32(central + 20);
  const uint8_t* local = zip.data() + Le32(central + 42);
  if (Le32(local) != ZipSignature(ShiftedLocalHeader)) return false;
  entry->flags = static_cast<uint16_t>(Le16(local + 6));
  entry->method = static_cast<uint16_t>(Le16(local + 8));
  entry->crc = Le32(local + 14);
  entry->uncompressedSize = Le32(local + 22);
  const uint8_t* extra = local + LocalHeaderSize + Le16(local + 26);
  entry->extra.assign(extra, extra + Le16(local + 28));
  const uint8_t* data = extra + entry->extra.size();
  entry->data.assign(data, data + compressed);
  return true;
}

// What the stub will do with an AES entry: the extra field, the verifier,
// the data decrypted in pieces, the code.
struct Opened {
  AesEntryInfo info{};
  bool found = false, verified = false, authentic = false;
  std::vector<uint8_t> plain;  // decrypted, still compressed when the method says so
};

Opened OpenAesEntry(const ArchivedEntry& entry, const std::string& password,
                    const std::vector<uint32_t>& pieces = OddPieces) {
  Opened result;
  result.found = FindAesExtra(entry.extra.data(), static_cast<uint32_t>(entry.extra.size()), &result.info);
  if (!result.found || entry.data.size() < AesOverhead(result.info.strength)) return result;
  const uint8_t* salt = entry.data.data();
  const uint8_t* verifier = salt + AesSaltSize(result.info.strength);
  result.verified =
      BeginAesEntry(result.info.strength, salt, verifier, password.c_str(), static_cast<uint32_t>(password.size()));
  if (!result.verified) return result;
  const uint8_t* data = verifier + AesVerifierSize;
  result.plain.assign(data, entry.data.data() + entry.data.size() - AesCodeSize);
  InPieces(result.plain, pieces, AesDecryptBuffer);
  result.authentic = AesAuthenticCode(entry.data.data() + entry.data.size() - AesCodeSize);
  return result;
}

// A stored or Deflate entry encrypted by our code as AE-2, in an archive
// with its central directory, as the maker tool will write it.
std::vector<uint8_t> OurAesZip(const std::string& name, const std::vector<uint8_t>& plain, const std::string& password,
                               uint32_t strength, uint16_t method, uint32_t seed) {
  std::vector<uint8_t> payload = method == MethodDeflate ? ZlibDeflate(plain, 6) : plain;
  std::vector<uint8_t> salt(AesSaltSize(strength));
  std::mt19937 random(seed);
  for (uint8_t& b : salt) b = static_cast<uint8_t>(random());
  uint32_t verifier = SetAesEntryKeys(strength, salt.data(), password.c_str(), static_cast<uint32_t>(password.size()));
  InPieces(payload, OddPieces, AesEncryptBuffer);
  uint8_t code[AesCodeSize];
  FinishAesCode(code);
  std::vector<uint8_t> data = salt;
  PutLe16(data, verifier);
  data.insert(data.end(), payload.begin(), payload.end());
  data.insert(data.end(), code, code + AesCodeSize);

  std::vector<uint8_t> extra;
  PutLe16(extra, ExtraIdAes);
  PutLe16(extra, AesExtraSize);
  PutLe16(extra, AesVersionAe2);
  PutLe16(extra, AesVendorId);
  extra.push_back(static_cast<uint8_t>(strength));
  PutLe16(extra, method);

  // The fields both headers share, from the version needed on.
  std::vector<uint8_t> common;
  PutLe16(common, 51);  // 5.1, the version of AES encryption
  PutLe16(common, FlagEncrypted);
  PutLe16(common, MethodAes);
  PutLe32(common, 0x5A2163C5);  // 2025-01-01 12:30:10
  PutLe32(common, 0);           // AE-2 stores no CRC
  PutLe32(common, static_cast<uint32_t>(data.size()));
  PutLe32(common, static_cast<uint32_t>(plain.size()));
  PutLe16(common, static_cast<uint32_t>(name.size()));
  PutLe16(common, static_cast<uint32_t>(extra.size()));

  std::vector<uint8_t> zip;
  PutLe32(zip, ZipSignature(ShiftedLocalHeader));
  zip.insert(zip.end(), common.begin(), common.end());
  zip.insert(zip.end(), name.begin(), name.end());
  zip.insert(zip.end(), extra.begin(), extra.end());
  zip.insert(zip.end(), data.begin(), data.end());
  uint32_t directory = static_cast<uint32_t>(zip.size());
  PutLe32(zip, ZipSignature(ShiftedCentralHeader));
  PutLe16(zip, 51);  // made by
  zip.insert(zip.end(), common.begin(), common.end());
  PutLe16(zip, 0);  // comment
  PutLe16(zip, 0);  // disk
  PutLe16(zip, 0);  // internal attributes
  PutLe32(zip, 0);  // external attributes
  PutLe32(zip, 0);  // local header offset
  zip.insert(zip.end(), name.begin(), name.end());
  zip.insert(zip.end(), extra.begin(), extra.end());
  uint32_t directorySize = static_cast<uint32_t>(zip.size()) - directory;
  PutLe32(zip, ZipSignature(ShiftedEndRecord));
  PutLe32(zip, 0);  // disks
  PutLe16(zip, 1);
  PutLe16(zip, 1);
  PutLe32(zip, directorySize);
  PutLe32(zip, directory);
  PutLe16(zip, 0);
  return zip;
}

// Compressible text with a stretch of noise in the middle: 7-Zip deflates
// it at -mx5 and the noise spreads the keystream over many byte values.
std::vector<uint8_t> SampleData(size_t size, uint32_t seed) {
  static const char* const words[] = {"archive ", "window ", "extract ", "the ", "of ", "folder ", "code\n", "int "};
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes;
  while (bytes.size() < size) {
    if (bytes.size() > size / 2 && bytes.size() < size / 2 + 3000) {
      bytes.push_back(static_cast<uint8_t>(random()));
    } else {
      const char* w = words[random() % 8];
      bytes.insert(bytes.end(), w, w + strlen(w));
    }
  }
  bytes.resize(size);
  return bytes;
}

class WinZipAesTest : public SfxTest {
 protected:
  // The first entry of an archive that 7-Zip makes of data with the
  // password SECRET; false (after a skip or a failure) when there is none.
  bool SevenZipEntry(const std::vector<uint8_t>& data, int strengthBits, int level, ArchivedEntry* entry) {
    std::string folder = scratch_ + "/7z-" + std::to_string(strengthBits) + "-" + std::to_string(level);
    WriteFile(folder.substr(scratch_.size() + 1) + "/data.bin", data);
    std::string command = "cd '" + folder + "' && 7z a -tzip -mem=AES" + std::to_string(strengthBits) +
                          " -pSECRET -mx" + std::to_string(level) + " out.zip data.bin >/dev/null";
    EXPECT_TRUE(RunTool(command)) << command;
    std::string zip = ReadFile(folder + "/out.zip");
    bool parsed = FirstEntry(std::vector<uint8_t>(zip.begin(), zip.end()), entry);
    EXPECT_TRUE(parsed) << "7-Zip's archive could not be read: " << folder;
    return parsed;
  }
};

void ExpectKnownAnswers() {
  for (const KnownAnswer& k : Known) {
    SCOPED_TRACE("strength " + std::to_string(k.strength));
    ASSERT_TRUE(Begin(k.strength, FromHex(k.salt), FromHex(k.verifier), "SECRET"));
    std::vector<uint8_t> data = FromHex(k.cipher);
    AesDecryptBuffer(data.data(), static_cast<uint32_t>(data.size()));
    EXPECT_EQ(std::string(data.begin(), data.end()), KnownPlain);
    EXPECT_TRUE(AesAuthenticCode(FromHex(k.code).data()));
  }
}

TEST(WinZipAesKnownAnswer, DecryptsAndAuthenticates) { ExpectKnownAnswers(); }

TEST(WinZipAesKnownAnswer, DecryptsWithOurOwnAesAndSha1) {
  ExpectKnownAnswers();  // the first entry asks the processor; then its answer is set aside
  AesHardware = Sha1Hardware = 0;
  ExpectKnownAnswers();
  BuildAesTables();
  CheckSha1Hardware();
}

TEST(WinZipAesKnownAnswer, EncryptsToTheSameBytes) {
  for (const KnownAnswer& k : Known) {
    SCOPED_TRACE("strength " + std::to_string(k.strength));
    std::vector<uint8_t> salt = FromHex(k.salt), verifier = FromHex(k.verifier);
    EXPECT_EQ(SetAesEntryKeys(k.strength, salt.data(), "SECRET", 6), Le16(verifier.data()));
    std::vector<uint8_t> data(KnownPlain, KnownPlain + strlen(KnownPlain));
    InPieces(data, {5, 16, 1, 30}, AesEncryptBuffer);
    EXPECT_EQ(Hex(data), k.cipher);
    uint8_t code[AesCodeSize];
    FinishAesCode(code);
    EXPECT_EQ(Hex(code, AesCodeSize), k.code);
  }
}

TEST(WinZipAesKnownAnswer, PiecesOfEveryLengthGiveTheSamePlainText) {
  const KnownAnswer& k = Known[0];
  for (uint32_t first = 1; first <= 47; ++first)
    for (uint32_t next : {1u, 7u, 16u, 17u}) {
      ASSERT_TRUE(Begin(k.strength, FromHex(k.salt), FromHex(k.verifier), "SECRET"));
      std::vector<uint8_t> data = FromHex(k.cipher);
      InPieces(data, {first, next}, AesDecryptBuffer);
      ASSERT_EQ(std::string(data.begin(), data.end()), KnownPlain) << first << " then " << next;
      ASSERT_TRUE(AesAuthenticCode(FromHex(k.code).data())) << first << " then " << next;
    }
}

TEST(WinZipAesKnownAnswer, WrongPasswordsFailTheVerifier) {
  const KnownAnswer& k = Known[0];
  for (const char* wrong : {"secret", "SECRET ", "SECRE", "", "SECRET\x01"})
    EXPECT_FALSE(Begin(k.strength, FromHex(k.salt), FromHex(k.verifier), wrong)) << wrong;
  EXPECT_FALSE(BeginAesEntry(0, FromHex(k.salt).data(), FromHex(k.verifier).data(), "SECRET", 6));
  EXPECT_FALSE(BeginAesEntry(4, FromHex(k.salt).data(), FromHex(k.verifier).data(), "SECRET", 6));
}

TEST(WinZipAesKnownAnswer, AWrongPasswordThatPassesTheVerifierFailsTheCode) {
  const KnownAnswer& k = Known[1];
  ASSERT_TRUE(Begin(k.strength, FromHex(k.salt), FromHex(k.verifier), VerifierCollision));
  std::vector<uint8_t> data = FromHex(k.cipher);
  AesDecryptBuffer(data.data(), static_cast<uint32_t>(data.size()));
  EXPECT_NE(std::string(data.begin(), data.end()), KnownPlain);
  EXPECT_FALSE(AesAuthenticCode(FromHex(k.code).data()));
}

TEST(WinZipAesKnownAnswer, AnyFlippedByteFailsTheCode) {
  const KnownAnswer& k = Known[0];
  std::vector<uint8_t> cipher = FromHex(k.cipher), code = FromHex(k.code);
  for (size_t at = 0; at < cipher.size() + code.size(); ++at) {
    ASSERT_TRUE(Begin(k.strength, FromHex(k.salt), FromHex(k.verifier), "SECRET"));
    std::vector<uint8_t> data = cipher, damagedCode = code;
    if (at < data.size())
      data[at] ^= 0x01;
    else
      damagedCode[at - data.size()] ^= 0x80;
    AesDecryptBuffer(data.data(), static_cast<uint32_t>(data.size()));
    EXPECT_FALSE(AesAuthenticCode(damagedCode.data())) << "byte " << at;
  }
}

TEST(WinZipAesExtra, ReadsTheFieldAmongOthers) {
  std::vector<uint8_t> extra = {0x55, 0x54, 0x05, 0x00, 0x03, 0x11, 0x22, 0x33, 0x44,  // a time field
                                0x01, 0x99, 0x07, 0x00, 0x01, 0x00, 'A',  'E',  0x02, 0x08, 0x00};
  AesEntryInfo info{};
  ASSERT_TRUE(FindAesExtra(extra.data(), static_cast<uint32_t>(extra.size()), &info));
  EXPECT_EQ(info.version, AesVersionAe1);
  EXPECT_EQ(info.strength, 2);
  EXPECT_EQ(info.method, MethodDeflate);
}

TEST(WinZipAesExtra, RefusesMalformedFields) {
  const std::vector<uint8_t> good = {0x01, 0x99, 0x07, 0x00, 0x02, 0x00, 'A', 'E', 0x03, 0x00, 0x00};
  AesEntryInfo info{};
  ASSERT_TRUE(FindAesExtra(good.data(), static_cast<uint32_t>(good.size()), &info));
  EXPECT_EQ(info.version, AesVersionAe2);
  EXPECT_EQ(info.strength, 3);
  EXPECT_EQ(info.method, MethodStored);
  struct Damage {
    size_t at;
    uint8_t value;
    const char* what;
  };
  for (const Damage& d :
       {Damage{2, 6, "size 6"}, Damage{2, 8, "size 8"}, Damage{4, 0, "version 0"}, Damage{4, 3, "version 3"},
        Damage{5, 1, "version 0x0102"}, Damage{6, 'a', "vendor aE"}, Damage{7, 'F', "vendor AF"},
        Damage{8, 0, "strength 0"}, Damage{8, 4, "strength 4"}, Damage{0, 0x02, "another id"}}) {
    std::vector<uint8_t> bad = good;
    bad[d.at] = d.value;
    if (d.value == 8 && d.at == 2) bad.push_back(0);  // the field still ends with the buffer
    EXPECT_FALSE(FindAesExtra(bad.data(), static_cast<uint32_t>(bad.size()), &info)) << d.what;
  }
  for (size_t cut = 0; cut < good.size(); ++cut)
    EXPECT_FALSE(FindAesExtra(good.data(), static_cast<uint32_t>(cut), &info)) << "cut to " << cut;
  // A field before it that claims more bytes than there are.
  std::vector<uint8_t> overlong = {0x55, 0x54, 0x40, 0x00};
  overlong.insert(overlong.end(), good.begin(), good.end());
  EXPECT_FALSE(FindAesExtra(overlong.data(), static_cast<uint32_t>(overlong.size()), &info));
}

TEST_F(WinZipAesTest, DecryptsWhatSevenZipEncrypts) {
  if (!ToolPresent("7z")) GTEST_SKIP() << "7z (p7zip-full) is not installed";
  std::vector<uint8_t> original = SampleData(100000, 7);
  for (int bits : {128, 192, 256})
    for (int level : {0, 5}) {
      SCOPED_TRACE("AES" + std::to_string(bits) + " -mx" + std::to_string(level));
      ArchivedEntry entry;
      if (!SevenZipEntry(original, bits, level, &entry)) continue;
      EXPECT_EQ(entry.method, MethodAes);
      EXPECT_TRUE(entry.flags & FlagEncrypted);
      Opened opened = OpenAesEntry(entry, "SECRET");
      ASSERT_TRUE(opened.found);
      EXPECT_EQ(opened.info.strength, bits / 64 - 1);
      ASSERT_TRUE(opened.verified);
      EXPECT_TRUE(opened.authentic);
      EXPECT_EQ(opened.info.method, level == 0 ? MethodStored : MethodDeflate);
      std::string plain;
      if (opened.info.method == MethodDeflate)
        ASSERT_TRUE(ZlibInflate(opened.plain, &plain));
      else
        plain.assign(opened.plain.begin(), opened.plain.end());
      EXPECT_EQ(plain.size(), entry.uncompressedSize);
      EXPECT_TRUE(plain == std::string(original.begin(), original.end()));
      // AE-1 keeps the CRC of the plain data; AE-2 stores 0.
      if (opened.info.version == AesVersionAe1)
        EXPECT_EQ(entry.crc, ZlibCrc(plain));
      else
        EXPECT_EQ(entry.crc, 0u);
    }
}

TEST_F(WinZipAesTest, WrongPasswordOrDamageIsCaught) {
  if (!ToolPresent("7z")) GTEST_SKIP() << "7z (p7zip-full) is not installed";
  ArchivedEntry entry;
  ASSERT_TRUE(SevenZipEntry(SampleData(5000, 11), 128, 5, &entry));
  // The salt is 7-Zip's own random choice, so a wrong password passes the
  // verifier once in 65,536; then the code fails.
  for (const char* wrong : {"secret", "SECRET2", "SECRE", "x"}) {
    Opened opened = OpenAesEntry(entry, wrong);
    EXPECT_FALSE(opened.verified && opened.authentic) << wrong;
  }
  size_t dataStart = AesSaltSize(1) + AesVerifierSize;
  for (size_t at :
       {dataStart, dataStart + 1, entry.data.size() / 2, entry.data.size() - AesCodeSize - 1, entry.data.size() - 1}) {
    ArchivedEntry damaged = entry;
    damaged.data[at] ^= 0x10;
    Opened opened = OpenAesEntry(damaged, "SECRET");
    EXPECT_TRUE(opened.verified) << "byte " << at;
    EXPECT_FALSE(opened.authentic) << "byte " << at;
  }
}

TEST_F(WinZipAesTest, RoundTripsThroughOurEncryption) {
  std::vector<uint8_t> original = SampleData(70001, 5);
  for (uint32_t strength = 1; strength <= 3; ++strength)
    for (uint16_t method : {MethodStored, MethodDeflate}) {
      SCOPED_TRACE("strength " + std::to_string(strength) + " method " + std::to_string(method));
      ArchivedEntry entry;
      ASSERT_TRUE(FirstEntry(OurAesZip("data.bin", original, "pass word", strength, method, strength), &entry));
      Opened opened = OpenAesEntry(entry, "pass word", {9, 16, 1000});
      ASSERT_TRUE(opened.verified);
      EXPECT_TRUE(opened.authentic);
      EXPECT_EQ(opened.info.method, method);
      std::string plain;
      if (method == MethodDeflate)
        ASSERT_TRUE(ZlibInflate(opened.plain, &plain));
      else
        plain.assign(opened.plain.begin(), opened.plain.end());
      EXPECT_TRUE(plain == std::string(original.begin(), original.end()));
    }
}

TEST_F(WinZipAesTest, SevenZipAcceptsWhatWeEncrypt) {
  if (!ToolPresent("7z")) GTEST_SKIP() << "7z (p7zip-full) is not installed";
  std::vector<uint8_t> original = SampleData(30000, 9);
  for (uint32_t strength = 1; strength <= 3; ++strength)
    for (uint16_t method : {MethodStored, MethodDeflate}) {
      SCOPED_TRACE("strength " + std::to_string(strength) + " method " + std::to_string(method));
      std::string name = "ours-" + std::to_string(strength) + "-" + std::to_string(method) + ".zip";
      std::string path = WriteFile(name, OurAesZip("data.bin", original, "SECRET", strength, method, 40 + strength));
      std::string listing;
      EXPECT_TRUE(RunTool("7z t -pSECRET '" + path + "'", &listing)) << listing;
      EXPECT_NE(listing.find("Everything is Ok"), std::string::npos) << listing;
      std::string extracted;
      EXPECT_TRUE(RunTool("7z x -so -pSECRET '" + path + "' 2>/dev/null", &extracted));
      EXPECT_TRUE(extracted == std::string(original.begin(), original.end()));
      // The peer does check: a wrong password is refused.
      EXPECT_FALSE(RunTool("7z t -pWRONG '" + path + "' >/dev/null 2>&1"));
    }
}

}  // namespace

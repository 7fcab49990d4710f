// SHA-1, HMAC-SHA1 and PBKDF2-HMAC-SHA1 against their published vectors
// (FIPS 180 and RFC 3174, RFC 2202, RFC 6070) and against Python's hashlib
// and hmac over every length around the block boundaries, fed whole and in
// pieces of odd lengths; with our compression and with the processor's SHA
// instructions.
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>
#include "archive/sha1.h"
#include "tests/support/peer_tools.h"

namespace {

std::vector<uint8_t> Text(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

// The digest of message fed in pieces whose lengths cycle through pieces
// (the whole message at once when pieces is empty).
std::string Sha1Of(const std::vector<uint8_t>& message, const std::vector<uint32_t>& pieces = {}) {
  Sha1State state;
  StartSha1(&state);
  size_t at = 0;
  for (size_t k = 0; at < message.size(); ++k) {
    size_t n = pieces.empty() ? message.size() : pieces[k % pieces.size()];
    if (n > message.size() - at) n = message.size() - at;
    AddToSha1(&state, message.data() + at, static_cast<uint32_t>(n));
    at += n;
  }
  uint8_t digest[Sha1DigestSize];
  FinishSha1(&state, digest);
  return Hex(digest, sizeof digest);
}

std::string HmacOf(const std::vector<uint8_t>& key, const std::vector<uint8_t>& message,
                   const std::vector<uint32_t>& pieces = {}) {
  HmacSha1State state;
  static const uint8_t none = 0;  // an empty key still has an address
  StartHmacSha1(&state, key.empty() ? &none : key.data(), static_cast<uint32_t>(key.size()));
  size_t at = 0;
  for (size_t k = 0; at < message.size(); ++k) {
    size_t n = pieces.empty() ? message.size() : pieces[k % pieces.size()];
    if (n > message.size() - at) n = message.size() - at;
    AddToHmacSha1(&state, message.data() + at, static_cast<uint32_t>(n));
    at += n;
  }
  uint8_t mac[Sha1DigestSize];
  FinishHmacSha1(&state, mac);
  return Hex(mac, sizeof mac);
}

std::string Pbkdf2Of(const std::string& password, const std::string& salt, uint32_t iterations, uint32_t length) {
  std::vector<uint8_t> out(length);
  DerivePbkdf2Sha1(reinterpret_cast<const uint8_t*>(password.data()), static_cast<uint32_t>(password.size()),
                   reinterpret_cast<const uint8_t*>(salt.data()), static_cast<uint32_t>(salt.size()), iterations,
                   out.data(), length);
  return Hex(out);
}

// The message of the peer comparisons: byte i is (7 i + 3) mod 256.
std::vector<uint8_t> Pattern(size_t length) {
  std::vector<uint8_t> bytes(length);
  for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<uint8_t>(7 * i + 3);
  return bytes;
}

// Lines that a Python program printed.
std::vector<std::string> PythonLines(const std::string& program) {
  std::string output;
  EXPECT_TRUE(RunTool("python3 -c '" + program + "'", &output)) << program;
  std::vector<std::string> lines;
  std::istringstream in(output);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

const std::vector<uint32_t> OddPieces = {1, 2, 3, 5, 7, 11, 13, 63, 64, 65, 127};

// Each test runs with the processor's SHA instructions (where it has them)
// and with our own compression.
enum Method { Instructions, Portable };

class HashTest : public ::testing::TestWithParam<Method> {
 protected:
  void SetUp() override {
    CheckSha1Hardware();
    if (GetParam() == Portable) {
      Sha1Hardware = 0;
    } else if (!Sha1Hardware) {
      GTEST_SKIP() << "this processor has no SHA instructions";
    }
  }
  void TearDown() override { CheckSha1Hardware(); }
};

using Sha1Test = HashTest;
using HmacSha1Test = HashTest;
using Pbkdf2Sha1Test = HashTest;

TEST_P(Sha1Test, PublishedVectors) {
  EXPECT_EQ(Sha1Of({}), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
  EXPECT_EQ(Sha1Of(Text("abc")), "a9993e364706816aba3e25717850c26c9cd0d89d");
  // Two blocks: the padding does not fit after the 56 bytes.
  EXPECT_EQ(Sha1Of(Text("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
            "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
  std::string eightTimesTen;
  for (int i = 0; i < 10; ++i) eightTimesTen += "0123456701234567012345670123456701234567012345670123456701234567";
  EXPECT_EQ(Sha1Of(Text(eightTimesTen)), "dea356a2cddd90c7a7ecedc5ebb563934f460452");
}

TEST_P(Sha1Test, MillionAsWholeAndInOddPieces) {
  std::vector<uint8_t> million(1000000, 'a');
  EXPECT_EQ(Sha1Of(million), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
  EXPECT_EQ(Sha1Of(million, OddPieces), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
  EXPECT_EQ(Sha1Of(million, {1}), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
}

TEST_P(Sha1Test, AgreesWithPythonAtEveryLengthUpTo300) {
  if (!ToolPresent("python3")) GTEST_SKIP() << "python3 is not installed";
  std::vector<std::string> theirs = PythonLines(
      "import hashlib\n"
      "for n in range(301): print(hashlib.sha1(bytes((7*i+3)%256 for i in range(n))).hexdigest())");
  ASSERT_EQ(theirs.size(), 301u);
  for (size_t n = 0; n <= 300; ++n) {
    EXPECT_EQ(Sha1Of(Pattern(n)), theirs[n]) << "length " << n;
    EXPECT_EQ(Sha1Of(Pattern(n), OddPieces), theirs[n]) << "length " << n << " in pieces";
  }
}

TEST_P(HmacSha1Test, Rfc2202Vectors) {
  EXPECT_EQ(HmacOf(std::vector<uint8_t>(20, 0x0b), Text("Hi There")), "b617318655057264e28bc0b6fb378c8ef146be00");
  EXPECT_EQ(HmacOf(Text("Jefe"), Text("what do ya want for nothing?")), "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79");
  EXPECT_EQ(HmacOf(std::vector<uint8_t>(20, 0xaa), std::vector<uint8_t>(50, 0xdd)),
            "125d7342b9ac11cd91a39af48aa17b4f63f175d3");
  std::vector<uint8_t> counting(25);
  for (size_t i = 0; i < counting.size(); ++i) counting[i] = static_cast<uint8_t>(i + 1);
  EXPECT_EQ(HmacOf(counting, std::vector<uint8_t>(50, 0xcd)), "4c9007f4026250c6bc8414f9bf50c86c2d7235da");
  EXPECT_EQ(HmacOf(std::vector<uint8_t>(20, 0x0c), Text("Test With Truncation")),
            "4c1a03424b55e07fe7f27be1d58bb9324a9a5a04");
  // Keys of 80 bytes, longer than a block: hashed first.
  std::vector<uint8_t> longKey(80, 0xaa);
  EXPECT_EQ(HmacOf(longKey, Text("Test Using Larger Than Block-Size Key - Hash Key First")),
            "aa4ae5e15272d00e95705637ce8a3b55ed402112");
  EXPECT_EQ(HmacOf(longKey, Text("Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data")),
            "e8e99d0f45237d786d6bbaa7965c7808bbff1a91");
}

TEST_P(HmacSha1Test, AgreesWithPythonForEveryKeyLengthUpTo130) {
  if (!ToolPresent("python3")) GTEST_SKIP() << "python3 is not installed";
  std::vector<std::string> theirs = PythonLines(
      "import hmac\n"
      "for n in range(131):\n"
      "  key = bytes((7*i+3)%256 for i in range(n))\n"
      "  print(hmac.new(key, bytes((n + i) % 256 for i in range(2*n + 1)), \"sha1\").hexdigest())");
  ASSERT_EQ(theirs.size(), 131u);
  for (size_t n = 0; n <= 130; ++n) {
    std::vector<uint8_t> message(2 * n + 1);
    for (size_t i = 0; i < message.size(); ++i) message[i] = static_cast<uint8_t>(n + i);
    EXPECT_EQ(HmacOf(Pattern(n), message, OddPieces), theirs[n]) << "key length " << n;
  }
}

TEST_P(Pbkdf2Sha1Test, Rfc6070Vectors) {
  EXPECT_EQ(Pbkdf2Of("password", "salt", 1, 20), "0c60c80f961f0e71f3a9b524af6012062fe037a6");
  EXPECT_EQ(Pbkdf2Of("password", "salt", 2, 20), "ea6c014dc72d6f8ccd1ed92ace1d41f0d8de8957");
  EXPECT_EQ(Pbkdf2Of("password", "salt", 4096, 20), "4b007901b765489abead49d926f721d065a429c1");
  // Two blocks of output, the second one cut short.
  EXPECT_EQ(Pbkdf2Of("passwordPASSWORDpassword", "saltSALTsaltSALTsaltSALTsaltSALTsalt", 4096, 25),
            "3d2eec4fe41c849b80c8d83662c0e44a8b291a964cf2f07038");
  EXPECT_EQ(Pbkdf2Of(std::string("pass\0word", 9), std::string("sa\0lt", 5), 4096, 16),
            "56fa6aa75548099dcc37d7f03425e0c3");
}

TEST_P(Pbkdf2Sha1Test, AgreesWithPythonForTheLengthsWinZipAesDerives) {
  if (!ToolPresent("python3")) GTEST_SKIP() << "python3 is not installed";
  // 2 keys and a 2-byte verifier for each strength: 34, 50 and 66 bytes,
  // from salts of 8, 12 and 16 bytes, and a password longer than a block.
  std::vector<std::string> theirs = PythonLines(
      "import hashlib\n"
      "for s in (1, 2, 3):\n"
      "  for p in (b\"SECRET\", b\"p\" * 70):\n"
      "    print(hashlib.pbkdf2_hmac(\"sha1\", p, bytes(range(4 + 4*s)), 1000, 18 + 16*s).hex())");
  ASSERT_EQ(theirs.size(), 6u);
  size_t line = 0;
  for (uint32_t s = 1; s <= 3; ++s)
    for (const std::string& password : {std::string("SECRET"), std::string(70, 'p')}) {
      std::string salt;
      for (uint32_t i = 0; i < 4 + 4 * s; ++i) salt += static_cast<char>(i);
      EXPECT_EQ(Pbkdf2Of(password, salt, 1000, 18 + 16 * s), theirs[line++]) << "strength " << s;
    }
}

std::string MethodName(const ::testing::TestParamInfo<Method>& info) {
  return info.param == Instructions ? "Instructions" : "Portable";
}

INSTANTIATE_TEST_SUITE_P(Methods, Sha1Test, ::testing::Values(Instructions, Portable), MethodName);
INSTANTIATE_TEST_SUITE_P(Methods, HmacSha1Test, ::testing::Values(Instructions, Portable), MethodName);
INSTANTIATE_TEST_SUITE_P(Methods, Pbkdf2Sha1Test, ::testing::Values(Instructions, Portable), MethodName);

TEST(Sha1Methods, OurCompressionAgreesWithTheProcessor) {
  // The processor's SHA-1 is a second implementation, apart from ours.
  CheckSha1Hardware();
  if (!Sha1Hardware) GTEST_SKIP() << "this processor has no SHA instructions";
  for (size_t n : {0u, 1u, 55u, 56u, 63u, 64u, 65u, 1000u, 4096u, 100003u}) {
    std::vector<uint8_t> message = Pattern(n);
    Sha1Hardware = 1;
    std::string theirs = Sha1Of(message, OddPieces);
    Sha1Hardware = 0;
    EXPECT_EQ(Sha1Of(message, OddPieces), theirs) << "length " << n;
  }
  CheckSha1Hardware();
}

}  // namespace

// WinZip AES entries through the extraction driver: every strength, stored
// and Deflate, the password step as for the traditional encryption (the
// remembered password, then up to three prompts, the verifier deciding), and
// the authentication code judging the data: a tampered entry fails and an
// existing file stays, a password that opens the entry is not asked again.
#include <set>
#include <string>
#include <vector>
#include "Sfx/state.h"
#include "archive/zip_format.h"
#include "tests/support/posix_control.h"
#include "tests/support/scripted_ui.h"
#include "tests/unit/driver_fixture.h"

namespace {

ZipEntry Aes(const std::string& name, const std::string& text, uint8_t strength, uint16_t method,
             const std::string& password = "pass word") {
  ZipEntry e;
  e.name = name;
  e.data = Bytes(text);
  e.method = method;
  e.password = password;
  e.aesStrength = strength;
  return e;
}

std::string Text(size_t n) {
  std::string t;
  while (t.size() < n) t += "a line of an encrypted text, " + std::to_string(t.size()) + "\n";
  t.resize(n);
  return t;
}

// The archive's bytes with one byte of the first entry's encrypted data flipped.
std::vector<uint8_t> Tampered(const ZipEntry& e) {
  std::vector<uint8_t> bytes = ZipBuilder().Add(e).Bytes();
  size_t data = 30 + e.name.size() + 11 + AesSaltSize(e.aesStrength) + 2;
  bytes[data + 3] ^= 0x01;
  return bytes;
}

class AesEntriesTest : public DriverTest {};

TEST_F(AesEntriesTest, EveryStrengthStoredAndDeflate) {
  ZipBuilder zip;
  std::vector<std::string> names;
  for (uint8_t strength = 1; strength <= 3; ++strength)
    for (uint16_t method : {uint16_t{MethodStored}, uint16_t{MethodDeflate}}) {
      std::string name = "s" + std::to_string(strength) + "m" + std::to_string(method) + ".txt";
      zip.Add(Aes(name, Text(70000 + strength), strength, method));
      names.push_back(name);
    }
  Open(zip);
  scripted::PasswordReplies = {"pass word"};
  Extract();
  ExpectSuccess();
  EXPECT_EQ(scripted::Asked, std::vector<std::string>{"password"}) << "asked once, remembered after";
  for (size_t i = 0; i < names.size(); ++i) EXPECT_EQ(ReadFile(Out(names[i])), Text(70000 + 1 + i / 2)) << names[i];
}

TEST_F(AesEntriesTest, TheVerifierDecidesWhichTypedPasswordIsRight) {
  Open(ZipBuilder().Add(Aes("a.txt", "secret", 3, MethodDeflate)));
  std::strcpy(CurrentPassword, "remembered");
  scripted::PasswordReplies = {"wrong", "pass word"};
  Extract();
  ExpectSuccess();
  EXPECT_EQ(scripted::Asked, (std::vector<std::string>{"password", "password"}));
  EXPECT_EQ(ReadFile(Out("a.txt")), "secret");
}

TEST_F(AesEntriesTest, ThreeWrongPasswordsEndTheRunAsForTheTraditionalEncryption) {
  Open(ZipBuilder().Add(Aes("a.txt", "secret", 1, MethodStored)).Stored("b.txt", "b"));
  scripted::PasswordReplies = {"x", "y", "z"};
  Extract();
  EXPECT_EQ(scripted::Asked.size(), 3u);
  EXPECT_TRUE(posix::Messages.empty()) << "no summary after a refused password";
  EXPECT_FALSE(Exists(Out("a.txt")));
  EXPECT_EQ(ExitCode, ExitNotExtracted);
}

TEST_F(AesEntriesTest, ATamperedEntryFailsAndTheExistingFileStays) {
  for (uint16_t method : {uint16_t{MethodStored}, uint16_t{MethodDeflate}}) {
    WriteFile("out/a.txt", "precious");
    Open(Tampered(Aes("a.txt", Text(5000), 2, method)));
    std::strcpy(CurrentPassword, "pass word");
    OverwriteMode = ReplaceWithoutAsking;
    posix::Messages.clear();
    scripted::Asked.clear();
    Extract();
    EXPECT_EQ(ReadFile(Out("a.txt")), "precious") << method;
    EXPECT_TRUE(scripted::Asked.empty()) << "the password opened it: damage is not a wrong password";
    ExpectFailureSummaryLast();
    EXPECT_EQ(ExitCode, ExitNotExtracted);
  }
}

TEST_F(AesEntriesTest, AnAe1EntryChecksItsCrcToo) {
  ZipEntry e = Aes("a.txt", "contents", 3, MethodStored);
  e.aesVersion = AesVersionAe1;
  Open(ZipBuilder().Add(e));
  std::strcpy(CurrentPassword, "pass word");
  Extract();
  ExpectSuccess();
  e.crc = 0x12345678u;  // the code matches, the CRC does not
  WriteFile("out/b.txt", "kept");
  e.name = "b.txt";
  Open(ZipBuilder().Add(e));
  OverwriteMode = ReplaceWithoutAsking;
  posix::Messages.clear();
  Extract();
  EXPECT_EQ(ReadFile(Out("b.txt")), "kept");
  ExpectFailureSummaryLast();
}

TEST_F(AesEntriesTest, AMalformedAesFieldIsAnUnknownMethodAndAsksNoPassword) {
  ZipEntry e;
  e.name = "a.txt";
  e.data = Bytes("x");
  e.method = MethodAes;
  e.extraFlags = FlagEncrypted;
  e.extra = {0x01, 0x99, 0x07, 0x00, 0x02, 0x00, 'A', 'E', 0x04, 0x00, 0x00};  // strength 4
  Open(ZipBuilder().Add(e));
  Extract();
  EXPECT_TRUE(scripted::Asked.empty());
  ASSERT_EQ(posix::Messages.size(), 2u);
  EXPECT_EQ(posix::Messages[0].text, "a.txt");
  EXPECT_EQ(posix::Messages[0].caption, "Unknown compression type");
  EXPECT_FALSE(Exists(Out("a.txt")));
}

}  // namespace

namespace {

// A salt or an encryption header that the archive cuts is no matter of the
// password: no prompt, and the archive is reported cut short.
TEST_F(AesEntriesTest, AnEncryptionHeaderCutByTheArchivesEndIsACutArchiveNotAWrongPassword) {
  for (bool aes : {true, false}) {
    SCOPED_TRACE(aes ? "AES salt" : "traditional header");
    ZipEntry e = aes ? Aes("a.txt", "secret text", 3, MethodStored) : Encrypted("a.txt", "secret text", "pass word");
    std::vector<uint8_t> bytes = ZipBuilder().Stored("first.txt", "f").Add(e).LocalPart();
    size_t cut = bytes.size() - e.data.size() - (aes ? AesCodeSize + AesVerifierSize + 4 : 6);  // inside it
    bytes.resize(cut);
    posix::Messages.clear();
    scripted::Asked.clear();
    CurrentPassword[0] = 0;
    std::remove(Out("first.txt").c_str());
    Open(bytes);
    Extract();
    EXPECT_TRUE(scripted::Asked.empty()) << "no password is asked for a header that is not there";
    ASSERT_EQ(posix::Messages.size(), 2u);
    EXPECT_EQ(posix::Messages[0].text, "Error reading archive.");
    ExpectFailureSummaryLast();
    EXPECT_EQ(ExitCode, ExitUnreadable);
    EXPECT_EQ(ReadFile(Out("first.txt")), "f");
    EXPECT_FALSE(Exists(Out("a.txt")));
  }
}

}  // namespace

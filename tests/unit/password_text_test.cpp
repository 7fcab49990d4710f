// Passwords as UTF-8 text through the driver, typed into the prompt or given
// before the pass in CurrentPassword: WinZip AES takes the UTF-8 bytes, as
// 7-Zip does (archives keyed apart from our code by tests/support/aes_zip.py
// and opened by 7-Zip first), the traditional encryption the bytes of the
// ANSI code page (Windows-1252 here; archives of Info-ZIP's zip -P given
// those bytes). A password longer than 79 characters counts whole.
#include <string>
#include <vector>
#include "Sfx/state.h"
#include "tests/support/peer_tools.h"
#include "tests/support/posix_control.h"
#include "tests/support/scripted_ui.h"
#include "tests/unit/driver_fixture.h"

namespace {

const std::string Note = "opened with the right bytes\n";
const std::string Short = "p\xC3\xA4ss\xE2\x82\xAC";  // "päss€"
const std::string ShortAnsi = "p\xE4ss\x80";           // the same in Windows-1252

// 90 characters, 92 bytes of UTF-8: past the 79 that a password once had,
// within the 99 bytes that 7-Zip takes for AES.
const std::string Ninety = std::string(85, 'k') + Short;
const std::string NinetyAnsi = std::string(85, 'k') + ShortAnsi;

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

class PasswordTextTest : public DriverTest {
 protected:
  // One stored AES-256 entry note.txt keyed by password's UTF-8 bytes, which
  // 7-Zip opens with that password.
  std::vector<uint8_t> AesArchive(const std::string& password) {
    WriteFile("note.txt", Note);
    std::string script = std::string(KORVI_SOURCE_DIR) + "/tests/support/aes_zip.py";
    std::vector<uint8_t> zip = MadeBy("python3 '" + script + "' aes.zip note.txt " + Quoted(password) + " '" +
                                          scratch_ + "/note.txt'",
                                      "aes.zip");
    std::string listing;
    EXPECT_TRUE(RunTool("7z t -p" + Quoted(password) + " '" + scratch_ + "/tool/aes.zip'", &listing)) << listing;
    return zip;
  }
  // note.txt of Info-ZIP's traditional encryption, keyed by the bytes given.
  std::vector<uint8_t> ZipCryptoArchive(const std::string& bytes) {
    return MadeBy("printf '%s' " + Quoted(Note) + " > note.txt && rm -f enc.zip && zip -q -X -P " + Quoted(bytes) +
                      " enc.zip note.txt",
                  "enc.zip");
  }
  // password typed once into the prompt opens the archive.
  void ExpectTypedOpens(const std::vector<uint8_t>& archive, const std::string& password) {
    Open(archive);
    scripted::PasswordReplies = {password};
    Extract();
    ExpectSuccess();
    EXPECT_EQ(scripted::Asked, std::vector<std::string>{"password"});
    EXPECT_EQ(ReadFile(Out("note.txt")), Note);
    EXPECT_STREQ(CurrentPassword, password.c_str()) << "remembered as typed";
  }
  static bool AesPeers() { return ToolPresent("7z") && ToolPresent("openssl"); }
};

TEST_F(PasswordTextTest, TypedUtf8OfNinetyCharactersOpensAes) {
  if (!AesPeers()) GTEST_SKIP() << "7z and openssl are needed";
  ExpectTypedOpens(AesArchive(Ninety), Ninety);
}

// The key comes from "päss€"'s UTF-8 bytes: its Windows-1252 bytes are
// another password, refused; the UTF-8 text typed at the third prompt opens.
TEST_F(PasswordTextTest, AesTakesTheUtf8BytesNotTheCodePages) {
  if (!AesPeers()) GTEST_SKIP() << "7z and openssl are needed";
  Open(AesArchive(Short));
  scripted::PasswordReplies = {ShortAnsi, ShortAnsi, Short};
  Extract();
  ExpectSuccess();
  EXPECT_EQ(scripted::Asked.size(), 3u);
  EXPECT_EQ(ReadFile(Out("note.txt")), Note);
}

TEST_F(PasswordTextTest, TypedUtf8OpensTraditionalEncryptionOfItsWindows1252Bytes) {
  if (!ToolPresent("zip")) GTEST_SKIP() << "Info-ZIP's zip is needed";
  ExpectTypedOpens(ZipCryptoArchive(ShortAnsi), Short);
}

TEST_F(PasswordTextTest, TypedUtf8OfNinetyCharactersOpensTraditionalEncryption) {
  if (!ToolPresent("zip")) GTEST_SKIP() << "Info-ZIP's zip is needed";
  ExpectTypedOpens(ZipCryptoArchive(NinetyAnsi), Ninety);
}

// As a password from the command line comes: one text opens an AES entry
// and one of the traditional encryption.
TEST_F(PasswordTextTest, GivenBeforeThePassOpensBothEncryptionsUnasked) {
  ZipEntry aes = Encrypted("aes.txt", "by UTF-8", Short);
  aes.aesStrength = 3;
  Open(ZipBuilder().Add(aes).Add(Encrypted("zip.txt", "by Windows-1252", ShortAnsi)));
  std::strcpy(CurrentPassword, Short.c_str());
  Extract();
  ExpectSuccess();
  EXPECT_TRUE(scripted::Asked.empty()) << "no prompt";
  EXPECT_EQ(ReadFile(Out("aes.txt")), "by UTF-8");
  EXPECT_EQ(ReadFile(Out("zip.txt")), "by Windows-1252");
}

}  // namespace

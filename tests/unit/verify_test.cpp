// Whole or nothing: with VerifyFirst the extraction is preceded by a pass
// that decodes every entry into nothing, and a damaged program writes no
// file at all. A spanned archive is extracted as without the flag.
#include <dirent.h>
#include <gtest/gtest.h>
#include "archive/zip_format.h"
#include "tests/support/scripted_ui.h"
#include "tests/support/spanned.h"
#include "tests/unit/driver_fixture.h"

namespace {

class VerifyTest : public DriverTest {
 protected:
  void SetUp() override {
    DriverTest::SetUp();
    VerifyFirst = 1;
    AutoExtract = 1;
  }
  // The names in the destination folder.
  std::vector<std::string> Written() const {
    std::vector<std::string> names;
    DIR* d = opendir(dest_.c_str());
    while (dirent* e = d ? readdir(d) : nullptr)
      if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
    if (d) closedir(d);
    return names;
  }
};

ZipEntry Deflated(const std::string& name, const std::string& text) {
  ZipEntry e;
  e.name = name;
  e.data = Bytes(text);
  e.method = MethodDeflate;
  return e;
}

// 30,000 characters of words that Deflate cannot shrink to nothing.
std::string Long(char c) {
  std::string t(1, c);
  for (uint32_t seed = static_cast<uint8_t>(c); t.size() < 30000;) {
    seed = seed * 1664525u + 1013904223u;
    t += " w" + std::to_string(seed >> 20);
  }
  return t;
}

TEST_F(VerifyTest, AWholeProgramIsExtractedAsWithoutTheTest) {
  Open(ZipBuilder().Stored("a.txt", "a").Add(Deflated("sub/b.txt", Long('b'))).Folder("empty/"));
  Extract();
  EXPECT_EQ(ReadFile(Out("a.txt")), "a");
  EXPECT_EQ(ReadFile(Out("sub/b.txt")), Long('b'));
  EXPECT_TRUE(IsFolder(Out("empty")));
  EXPECT_TRUE(posix::Messages.empty());
  EXPECT_EQ(ExtractionSucceeded, 1);
  EXPECT_EQ(ExitCode, ExitExtracted);
}

TEST_F(VerifyTest, AWrongCrcInTheLastEntryWritesNoFileAtAll) {
  ZipEntry bad = Deflated("c.txt", Long('c'));
  bad.crc = 0x12345678u;
  Open(ZipBuilder().Stored("a.txt", "a").Add(Deflated("sub/b.txt", Long('b'))).Add(bad));
  Extract();
  EXPECT_TRUE(Written().empty()) << Written()[0];
  ASSERT_EQ(posix::Messages.size(), 1u);
  ExpectFailureSummaryLast();
  EXPECT_EQ(ExitCode, ExitUnreadable);

  // The same program without the test writes the entries before the damage.
  VerifyFirst = 0;
  posix::Messages.clear();
  Extract();
  EXPECT_EQ(ReadFile(Out("a.txt")), "a");
  EXPECT_EQ(ExitCode, ExitNotExtracted);
}

TEST_F(VerifyTest, DamagedDeflateDataLeavesTheExistingFilesAlone) {
  WriteFile("out/a.txt", "the user's own");
  OverwriteMode = ReplaceWithoutAsking;
  std::vector<uint8_t> zip = ZipBuilder().Stored("a.txt", "new").Add(Deflated("b.txt", Long('b'))).Bytes();
  size_t bData = (30 + 5 + 3) + (30 + 5);  // after a.txt's entry and b.txt's header
  zip[bData + 2000] ^= 0x55;
  Open(zip);
  Extract();
  EXPECT_EQ(ReadFile(Out("a.txt")), "the user's own");
  EXPECT_FALSE(Exists(Out("b.txt")));
  EXPECT_EQ(ExitCode, ExitUnreadable);
  EXPECT_EQ(ExtractionSucceeded, 0);
}

TEST_F(VerifyTest, AProgramCutShortIsAnUnreadableArchive) {
  std::vector<uint8_t> zip = ZipBuilder().Stored("a.txt", "a").Add(Deflated("b.txt", Long('b'))).LocalPart();
  zip.resize(zip.size() - 100);
  Open(zip);
  Extract();
  EXPECT_TRUE(Written().empty());
  ASSERT_FALSE(posix::Messages.empty());
  EXPECT_EQ(posix::Messages[0].text, "Error reading archive.");
  EXPECT_EQ(ExitCode, ExitUnreadable);
}

TEST_F(VerifyTest, ANameTheExtractionWouldRefuseFailsTheTest) {
  // No CRC covers a name: one flipped bit makes "sub/b.txt" "sub/b.t:t",
  // which the test judges as the extraction would, before writing anything.
  Open(ZipBuilder().Stored("a.txt", "a").Stored("sub/b.t:t", "b").Stored("c.txt", "c"));
  Extract();
  EXPECT_TRUE(Written().empty()) << "nothing is written";
  ASSERT_EQ(posix::Messages.size(), 2u);
  EXPECT_EQ(posix::Messages[0].text, "sub/b.t:t");
  EXPECT_EQ(posix::Messages[0].caption, "Invalid filename.");
  ExpectFailureSummaryLast();
  EXPECT_EQ(ExitCode, ExitUnreadable);
}

TEST_F(VerifyTest, ThePasswordIsAskedOnceForBothPasses) {
  scripted::PasswordReplies = {"secret"};
  Open(ZipBuilder().Add(Encrypted("1.txt", "one", "secret")).Add(Encrypted("2.txt", "two", "secret")));
  Extract();
  EXPECT_EQ(scripted::Asked, (std::vector<std::string>{"password"}));
  EXPECT_EQ(ReadFile(Out("1.txt")), "one");
  EXPECT_EQ(ReadFile(Out("2.txt")), "two");
  EXPECT_EQ(ExitCode, ExitExtracted);
}

TEST_F(VerifyTest, ARefusedPasswordWritesNothing) {
  scripted::PasswordReplies = {"a", "b", "c"};
  Open(ZipBuilder().Stored("plain.txt", "p").Add(Encrypted("locked.txt", "x", "secret")));
  Extract();
  EXPECT_TRUE(Written().empty());
  EXPECT_TRUE(posix::Messages.empty());
  EXPECT_EQ(ExitCode, ExitNotExtracted);
}

TEST_F(VerifyTest, ACancelDuringTheTestWritesNothing) {
  Open(ZipBuilder().Stored("a.txt", "a").Stored("b.txt", "b"));
  scripted::OnPump = [&] {
    if (scripted::Pumps == 3) CancelRequested = 1;  // start, a.txt, then b.txt comes up
  };
  Extract();
  EXPECT_TRUE(Written().empty());
  EXPECT_EQ(ExitCode, ExitCancelled);
}

TEST_F(VerifyTest, ASpannedArchiveIsNotTestedFirst) {
  ZipEntry bad = Deflated("c.txt", Long('c'));
  bad.crc = 0x12345678u;
  std::vector<uint8_t> zip = ZipBuilder().Stored("a.txt", "a").Add(bad).Bytes();
  std::vector<Volume> volumes = SpanArchive(zip, {zip.size() / 2});
  Open(volumes[0]);
  WriteFile("setup.z02", volumes[1]);
  Extract();
  EXPECT_EQ(ReadFile(Out("a.txt")), "a") << "extracted as without the flag";
  EXPECT_EQ(ExitCode, ExitNotExtracted);
}

}  // namespace

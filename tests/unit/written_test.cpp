// The record of written paths: names that are one file on Windows are found
// (case beyond ASCII, "/" and "\", runs of separators), names that are not
// are never taken for written, however their hashes fall, and the record
// grows with any number of paths.
#include <string>
#include "Sfx/state.h"
#include "archive/written.h"
#include "tests/unit/fixture.h"

namespace {

class WrittenTest : public SfxTest {
 protected:
  void SetUp() override {
    SfxTest::SetUp();
    ClearWrittenRecord();
  }
};

std::string Folded(const std::string& path) {
  std::string out(path.size() + 1, '\0');
  FoldPath(path.c_str(), out.data());
  return out.c_str();
}

TEST_F(WrittenTest, NamesAreFoldedAsWindowsComparesThem) {
  EXPECT_EQ(Folded("C:\\out\\Notes.txt"), "C:\\OUT\\NOTES.TXT");
  EXPECT_EQ(Folded("a//b\\\\/c"), "A\\B\\C");
  EXPECT_EQ(Folded("\xC3\xA9.txt"), "\xC3\x89.TXT");              // é: É
  EXPECT_EQ(Folded("\xCF\x89/a"), "\xCE\xA9\\A");                 // ω: Ω
  EXPECT_EQ(Folded("\xD0\xB6\xD1\x91"), "\xD0\x96\xD0\x81");      // жё: ЖЁ
  EXPECT_EQ(Folded("\xC4\x8D\xC5\x82"), "\xC4\x8C\xC5\x81");      // čł: ČŁ
  EXPECT_EQ(Folded("\xC3\x9F\xC3\xB7\xC4\xB1"), "\xC3\x9F\xC3\xB7\xC4\xB1") << "ß, ÷ and dotless ı stay";
  EXPECT_EQ(Folded("\xE4\xB8\xAD\xFF"), "\xE4\xB8\xAD\xFF") << "other text and bytes that are no UTF-8 stay";
}

TEST_F(WrittenTest, OneFileOnWindowsIsFoundWrittenWhateverItsSpelling) {
  RememberWrittenPath("C:\\out\\\xC3\x89.txt");
  RememberWrittenPath("C:\\out\\\xCE\xA9/a.txt");
  RememberWrittenPath("C:\\out\\a/b.txt");
  EXPECT_TRUE(WrittenThisRun("C:\\out\\\xC3\xA9.TXT"));
  EXPECT_TRUE(WrittenThisRun("C:\\out\\\xCF\x89\\A.txt"));
  EXPECT_TRUE(WrittenThisRun("C:\\out\\a//b.txt"));
  EXPECT_FALSE(WrittenThisRun("C:\\out\\e.txt"));
  EXPECT_FALSE(WrittenThisRun("C:\\out\\a/b.tx"));
  EXPECT_EQ(WrittenPathCount, 3u);
  RememberWrittenPath("C:\\OUT\\A\\B.TXT");
  EXPECT_EQ(WrittenPathCount, 3u) << "the same file is remembered once";
}

TEST_F(WrittenTest, OnlyTheStoredPathDecidesNotItsHash) {
  // Pairs of ordinary names whose folded paths have one 32-bit hash.
  const char* const pairs[][2] = {{"C:\\dest\\file0071209.txt", "C:\\dest\\file0209575.txt"},
                                  {"C:\\dest\\file0184049.txt", "C:\\dest\\file0225828.txt"},
                                  {"C:\\dest\\file0064814.txt", "C:\\dest\\file0256098.txt"}};
  for (const auto& pair : pairs) RememberWrittenPath(pair[0]);
  for (const auto& pair : pairs) {
    EXPECT_TRUE(WrittenThisRun(pair[0]));
    EXPECT_FALSE(WrittenThisRun(pair[1])) << pair[1] << " was never written";
  }
  // And in a table grown through many paths.
  for (int i = 0; i < 60000; ++i) RememberWrittenPath(("C:\\dest\\n" + std::to_string(i)).c_str());
  EXPECT_EQ(WrittenPathCount, 60003u);
  for (const auto& pair : pairs) EXPECT_FALSE(WrittenThisRun(pair[1]));
  for (int i = 0; i < 60000; i += 997) EXPECT_TRUE(WrittenThisRun(("c:/DEST/N" + std::to_string(i)).c_str()));
}

TEST_F(WrittenTest, ANewPassForgetsWhatTheLastOneWrote) {
  RememberWrittenPath("C:\\out\\a.txt");
  MarkWritten(3, 0x1234);
  MarkWritten(70000, 0);
  EXPECT_TRUE(WasWritten(3));
  EXPECT_TRUE(WasWritten(70000));
  EXPECT_FALSE(WasWritten(4));
  EXPECT_EQ(WrittenIdentity(3), 0x1235u) << "the identity, its lowest bit set";
  EXPECT_EQ(WrittenIdentity(70000), 1u) << "written, though its identity could not be had";
  EXPECT_EQ(WrittenIdentity(70001), 0u);
  ClearWrittenRecord();
  EXPECT_FALSE(WrittenThisRun("C:\\out\\a.txt"));
  EXPECT_FALSE(WasWritten(3));
  EXPECT_FALSE(WasWritten(70000));
}

}  // namespace

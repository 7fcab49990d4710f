// The configuration block behind the stub and the path macros.
#include <cstring>
#include <string>
#include "Sfx/config.h"
#include "Sfx/layout.h"
#include "Sfx/state.h"
#include "tests/support/posix_control.h"
#include "tests/unit/fixture.h"

namespace {

std::vector<uint8_t> Block(uint8_t flags, const std::string& caption, const std::string& dest,
                           const std::string& run, size_t size = ConfigBlockSize, const char* magic = ConfigMagic) {
  std::vector<uint8_t> b(magic, magic + ConfigMagicSize);
  b.push_back(flags);
  for (const std::string* t : {&caption, &dest, &run}) b.push_back(static_cast<uint8_t>(t->size()));
  EXPECT_EQ(b.size(), ConfigTextsAt);
  for (const std::string* t : {&caption, &dest, &run}) b.insert(b.end(), t->begin(), t->end());
  b.resize(size, 0xEE);  // whatever an archiving tool leaves in the unused rest
  return b;
}

class ConfigTest : public SfxTest {
 protected:
  void Read(const std::vector<uint8_t>& behindStub) {
    OpenArchive(WriteFile("setup.exe", StubThen(behindStub)));
    ReadConfigBlock();
  }
  void Expand(const char* text, char* out) {
    std::memset(out, 'x', TextBufferSize);
    std::strcpy(out, text);
    ExpandPathMacros(out);
  }
};

TEST_F(ConfigTest, NoBlockLeavesArchiveAtStubEnd) {
  Read({'P', 'K', 3, 4});
  EXPECT_EQ(ArchiveStart, 51712u);
  EXPECT_FALSE(HasCaptionText || HasDefaultDestination || HasRunCommand);
  EXPECT_FALSE(OverwriteByDefault || AutoExtract || WaitThenDelete);
}

TEST_F(ConfigTest, FileEndingAtStubEndHasNoBlock) {
  Read({});
  EXPECT_EQ(ArchiveStart, 51712u);
  EXPECT_FALSE(HasRunCommand);
}

TEST_F(ConfigTest, MagicIsCaseSensitive) {
  Read(Block(0x48, "c", "d", "r", 256, "vrn"));
  EXPECT_EQ(ArchiveStart, 51712u);
  EXPECT_FALSE(AutoExtract);
  EXPECT_FALSE(HasCaptionText);
}

TEST_F(ConfigTest, EmptyBlockMovesArchiveOnly) {
  Read(Block(0, "", "", ""));
  EXPECT_EQ(ArchiveStart, 51968u);
  EXPECT_FALSE(HasCaptionText || HasDefaultDestination || HasRunCommand);
  EXPECT_FALSE(OverwriteByDefault || AutoExtract || WaitThenDelete);
  EXPECT_STREQ(RunCommand, "");
}

TEST_F(ConfigTest, FlagBits) {
  Read(Block(0x48, "", "", ""));
  EXPECT_TRUE(OverwriteByDefault);
  EXPECT_TRUE(AutoExtract);
  EXPECT_FALSE(WaitThenDelete);

  ResetProgramState();
  Read(Block(0x37, "", "", ""));
  EXPECT_FALSE(OverwriteByDefault || AutoExtract || WaitThenDelete);
  EXPECT_TRUE(VerifyFirst) << "bit 0";

  ResetProgramState();
  Read(Block(0x36, "", "", ""));
  EXPECT_FALSE(OverwriteByDefault || AutoExtract || WaitThenDelete || VerifyFirst);

  ResetProgramState();
  Read(Block(0x80, "", "", ""));
  EXPECT_TRUE(WaitThenDelete);
}

TEST_F(ConfigTest, TextsAreReadBackToBack) {
  Read(Block(0, "Setup 1.0", "C:\\Program Files\\App", "{win}\\notepad.exe|readme.txt"));
  EXPECT_STREQ(CaptionText, "Setup 1.0");
  EXPECT_STREQ(DefaultDestination, "C:\\Program Files\\App");
  EXPECT_STREQ(RunCommand, "C:\\WINDOWS\\notepad.exe|readme.txt");
  EXPECT_TRUE(HasCaptionText && HasDefaultDestination && HasRunCommand);
}

TEST_F(ConfigTest, TextsAtTheirLimits) {
  // 7 + 249 bytes fill the block exactly.
  std::string caption(249, 'c');
  Read(Block(0, caption, "", ""));
  EXPECT_EQ(std::string(CaptionText), caption);
  EXPECT_FALSE(HasDefaultDestination);

  ResetProgramState();
  std::string dest(120, 'd'), run(129, 'r');
  Read(Block(0, "", dest, run));
  EXPECT_EQ(std::string(DefaultDestination), dest);
  EXPECT_EQ(std::string(RunCommand), run);
}

TEST_F(ConfigTest, LengthsBeyondTheBlockAreCutAtItsEnd) {
  std::vector<uint8_t> b = Block(0, "", "", "");
  b[4] = 200;
  b[5] = 200;
  b[6] = 200;
  Read(b);
  EXPECT_EQ(std::strlen(CaptionText), 200u);
  EXPECT_EQ(std::strlen(DefaultDestination), 49u);
  EXPECT_EQ(std::strlen(RunCommand), 0u);
  EXPECT_TRUE(HasRunCommand);
}

TEST_F(ConfigTest, BlockCutShortReadsMissingBytesAsZero) {
  // The file ends inside the caption: its missing bytes are NULs, the lengths
  // of the texts after it are 0.
  std::vector<uint8_t> b = Block(0x08, "Caption", "Dest", "Run");
  b.resize(10);  // VRN, flags, three lengths, "Cap"
  std::memset(CaptionText, 'Z', sizeof CaptionText);
  Read(b);
  EXPECT_EQ(ArchiveStart, 51968u);
  EXPECT_TRUE(OverwriteByDefault);
  EXPECT_STREQ(CaptionText, "Cap");
  EXPECT_EQ(std::memcmp(DefaultDestination, "\0\0\0\0", 5), 0);

  // Cut right after the magic: flags and lengths are 0.
  ResetProgramState();
  Read({'V', 'R', 'N'});
  EXPECT_EQ(ArchiveStart, 51968u);
  EXPECT_FALSE(OverwriteByDefault || AutoExtract || HasCaptionText || HasRunCommand);
}

TEST_F(ConfigTest, RunCommandMacrosExpandedAtStartUp) {
  // DestinationFolder is still empty, so {ext} vanishes.
  Read(Block(0, "", "", "{ext}\\setup.exe"));
  EXPECT_STREQ(RunCommand, "\\setup.exe");
  ResetProgramState();
  Read(Block(0, "", "", "{sys}\\cmd.exe|/c ><"));
  EXPECT_STREQ(RunCommand, "C:\\WINDOWS\\system32\\cmd.exe|/c ><");
}

TEST_F(ConfigTest, MacroTokens) {
  char out[TextBufferSize];
  Expand("{win}\\Fonts", out);
  EXPECT_STREQ(out, "C:\\WINDOWS\\Fonts");
  Expand("x{sys}y", out);
  EXPECT_STREQ(out, "xC:\\WINDOWS\\system32y");
  Expand("{temp}\\a", out);
  EXPECT_STREQ(out, "\\a");
  Expand("{WIN}", out);
  EXPECT_STREQ(out, "");
  Expand("{EXT}{Win}{Sys}", out);
  EXPECT_STREQ(out, "");
  Expand("C:\\plain path", out);
  EXPECT_STREQ(out, "C:\\plain path");
  Expand("{win}{sys}", out);
  EXPECT_STREQ(out, "C:\\WINDOWSC:\\WINDOWS\\system32");
}

TEST_F(ConfigTest, ExtExpandsToDestination) {
  char out[TextBufferSize];
  std::strcpy(DestinationFolder, "D:\\target");
  Expand("{ext}\\bin", out);
  EXPECT_STREQ(out, "D:\\target\\bin");
}

TEST_F(ConfigTest, UnclosedBraceKeepsTheRest) {
  char out[TextBufferSize];
  Expand("a{win}b{c", out);
  EXPECT_STREQ(out, "aC:\\WINDOWSb{c");
  Expand("{", out);
  EXPECT_STREQ(out, "{");
  Expand("a}b{win}", out);
  EXPECT_STREQ(out, "a}bC:\\WINDOWS");
}

TEST_F(ConfigTest, OverlongExpansionIsCutAt255) {
  posix::WindowsFolder = "C:\\" + std::string(200, 'w');
  char out[TextBufferSize + 8];
  std::memset(out, 'x', sizeof out);
  std::strcpy(out, "{win}{win}{win}tail");
  out[TextBufferSize + 7] = 0;
  ExpandPathMacros(out);
  EXPECT_EQ(std::strlen(out), 255u);
  EXPECT_EQ(std::string(out).substr(0, 203), posix::WindowsFolder);
  EXPECT_EQ(out[TextBufferSize], 'x') << "wrote past the 256-byte buffer";

  std::strcpy(DestinationFolder, std::string(255, 'd').c_str());
  std::strcpy(out, "{ext}{ext}");
  ExpandPathMacros(out);
  EXPECT_EQ(std::string(out), std::string(255, 'd'));
}

TEST_F(ConfigTest, FailedFolderQueryWritesNothing) {
  posix::WindowsFolder = std::string(300, 'w');  // does not fit: the query fails
  char out[TextBufferSize];
  Expand("a{win}b", out);
  EXPECT_STREQ(out, "ab");
}

}  // namespace

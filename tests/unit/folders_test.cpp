// Choosing and creating the destination: the browser's choice, and the New
// Folder dialog's OK with the names a user may type.
#include <sys/stat.h>
#include <unistd.h>
#include <cstring>
#include <string>
#include "Dialogsel/folders.h"
#include "Sfx/state.h"
#include "tests/support/posix_control.h"
#include "tests/unit/fixture.h"

namespace {

const WindowHandle NewFolderWindow = reinterpret_cast<WindowHandle>(0x31);

class FoldersTest : public SfxTest {
 protected:
  void SetUp() override {
    SfxTest::SetUp();
    // As after the browser: the parent is the destination and the current folder.
    std::strcpy(DestinationFolder, (scratch_ + "/").c_str());
    ASSERT_EQ(chdir(scratch_.c_str()), 0);
  }
  static bool IsFolder(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }
  void ExpectRefused() {
    ASSERT_EQ(posix::Messages.size(), 1u);
    EXPECT_EQ(posix::Messages[0].text, "Error in directory ..");
    EXPECT_EQ(posix::Messages[0].caption, "Error..");
    EXPECT_EQ(posix::Messages[0].style, 0x10u);
    EXPECT_EQ(posix::Messages[0].owner, NewFolderWindow);
    EXPECT_STREQ(DestinationFolder, (scratch_ + "/").c_str()) << "the parent stays the destination";
  }
};

TEST_F(FoldersTest, ATypedNameIsCreatedAndBecomesTheDestination) {
  EXPECT_TRUE(AcceptNewFolder(NewFolderWindow, "Setup"));
  EXPECT_TRUE(IsFolder(scratch_ + "/Setup"));
  EXPECT_STREQ(DestinationFolder, (scratch_ + "/Setup").c_str());
  char here[4096];
  ASSERT_NE(getcwd(here, sizeof here), nullptr);
  EXPECT_EQ(std::string(here), scratch_ + "/Setup") << "the new folder is the current folder";
  EXPECT_TRUE(posix::Messages.empty());
}

TEST_F(FoldersTest, NestedNamesCreateEveryLevel) {
  EXPECT_TRUE(AcceptNewFolder(NewFolderWindow, "a\\b"));
  EXPECT_TRUE(IsFolder(scratch_ + "/a/b"));
  EXPECT_STREQ(DestinationFolder, (scratch_ + "/a\\b").c_str());
}

TEST_F(FoldersTest, AnEmptyNameCreatesNothingAndEnds) {
  EXPECT_TRUE(AcceptNewFolder(NewFolderWindow, ""));
  EXPECT_STREQ(DestinationFolder, (scratch_ + "/").c_str());
  EXPECT_TRUE(posix::Messages.empty());
}

TEST_F(FoldersTest, LeadingBackslashesAreDroppedFromTheFolderButKeptInTheDestination) {
  EXPECT_TRUE(AcceptNewFolder(NewFolderWindow, "\\x"));
  EXPECT_TRUE(IsFolder(scratch_ + "/x"));
  EXPECT_STREQ(DestinationFolder, (scratch_ + "/\\x").c_str());
}

TEST_F(FoldersTest, NamesWithAColonOrOfBackslashesOnlyAreRefused) {
  EXPECT_FALSE(AcceptNewFolder(NewFolderWindow, "c:evil"));
  ExpectRefused();
  posix::Messages.clear();
  EXPECT_FALSE(AcceptNewFolder(NewFolderWindow, "\\\\\\"));
  ExpectRefused();
}

TEST_F(FoldersTest, ADestinationThatWouldNotFitItsBufferIsRefusedBeforeAnythingIsMade) {
  std::string name(TextBufferSize - TextLength(DestinationFolder) - 1, 'n');
  EXPECT_FALSE(AcceptNewFolder(NewFolderWindow, name.c_str()));
  ExpectRefused();
  EXPECT_FALSE(IsFolder(scratch_ + "/" + name));
  name.pop_back();  // one shorter: room is left for the "\" that follows it
  EXPECT_TRUE(AcceptNewFolder(NewFolderWindow, name.c_str()));
  EXPECT_EQ(TextLength(DestinationFolder), TextBufferSize - 2);
}

TEST_F(FoldersTest, TheBrowsersChoiceBecomesDestinationAndCurrentFolder) {
  char destination[TextBufferSize] = "before";
  ASSERT_EQ(mkdir((scratch_ + "/chosen").c_str(), 0755), 0);
  EXPECT_TRUE(TakeChosenFolder(NewFolderWindow, (scratch_ + "/chosen").c_str(), destination));
  EXPECT_STREQ(destination, (scratch_ + "/chosen").c_str());
  char here[4096];
  ASSERT_NE(getcwd(here, sizeof here), nullptr);
  EXPECT_EQ(std::string(here), scratch_ + "/chosen");
}

TEST_F(FoldersTest, AChosenPathTooLongForTheBufferIsRefused) {
  char destination[TextBufferSize] = "before";
  std::string path = "C:\\" + std::string(TextBufferSize, 'p');
  EXPECT_FALSE(TakeChosenFolder(NewFolderWindow, path.c_str(), destination));
  EXPECT_STREQ(destination, "before");
  ASSERT_EQ(posix::Messages.size(), 1u);
  EXPECT_EQ(posix::Messages[0].text, "Error in directory ..");
}

}  // namespace

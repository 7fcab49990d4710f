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
  EXPECT_TRUE(TakeChosenFolder(NewFolderWindow, (scratch_ + "/chosen").c_str(), destination, true));
  EXPECT_STREQ(destination, (scratch_ + "/chosen").c_str());
  char here[4096];
  ASSERT_NE(getcwd(here, sizeof here), nullptr);
  EXPECT_EQ(std::string(here), scratch_ + "/chosen");
}

TEST_F(FoldersTest, AChosenPathTooLongForTheBufferIsRefused) {
  char destination[TextBufferSize] = "before";
  std::string path = "C:\\" + std::string(TextBufferSize, 'p');
  EXPECT_FALSE(TakeChosenFolder(NewFolderWindow, path.c_str(), destination, true));
  EXPECT_STREQ(destination, "before");
  ASSERT_EQ(posix::Messages.size(), 1u);
  EXPECT_EQ(posix::Messages[0].text, "Error in directory ..");
}

}  // namespace

namespace {

// The browser and a proposal of the block: it opens there, or where the
// folder would be made, and a folder picked above keeps the proposal's name.
TEST_F(FoldersTest, APickedFolderKeepsTheProposedLastPart) {
  HasDefaultDestination = 1;
  char destination[TextBufferSize] = "C:\\Program Files\\MyTool";
  EXPECT_TRUE(TakeChosenFolder(NewFolderWindow, "D:\\Apps", destination, true));
  EXPECT_STREQ(destination, "D:\\Apps\\MyTool");
  EXPECT_TRUE(TakeChosenFolder(NewFolderWindow, "E:\\", destination, true));
  EXPECT_STREQ(destination, "E:\\MyTool") << "below a drive's root too";
  EXPECT_TRUE(TakeChosenFolder(NewFolderWindow, "F:\\x\\mytool", destination, true));
  EXPECT_STREQ(destination, "F:\\x\\mytool") << "a folder of that name is the folder itself";
  EXPECT_TRUE(TakeChosenFolder(NewFolderWindow, "G:\\mytools", destination, true));
  EXPECT_STREQ(destination, "G:\\mytools\\mytool") << "a longer name is another folder";
  std::strcpy(destination, "C:\\Program Files\\MyTool");
  EXPECT_TRUE(TakeChosenFolder(NewFolderWindow, "D:\\Apps", destination, false));
  EXPECT_STREQ(destination, "D:\\Apps") << "New... names the folder itself";
  std::strcpy(destination, "C:\\");
  EXPECT_TRUE(TakeChosenFolder(NewFolderWindow, "D:\\Apps", destination, true));
  EXPECT_STREQ(destination, "D:\\Apps") << "a root has no last part";
  // A picked folder and the kept part that no longer fit are refused whole.
  std::strcpy(destination, "C:\\MyTool");
  std::string deep = "D:\\" + std::string(TextBufferSize - 8, 'd');
  EXPECT_FALSE(TakeChosenFolder(NewFolderWindow, deep.c_str(), destination, true));
  EXPECT_STREQ(destination, "C:\\MyTool");
}

TEST_F(FoldersTest, TheCurrentFolderProposedIsNoNameToKeep) {
  char destination[TextBufferSize] = "C:\\Users\\me\\Downloads";
  EXPECT_TRUE(TakeChosenFolder(NewFolderWindow, "D:\\Apps", destination, true));
  EXPECT_STREQ(destination, "D:\\Apps") << "no destination of the block or the command line";
}

TEST_F(FoldersTest, TheBrowserOpensAtTheProposalOrWhereItWouldBeMade) {
  char start[TextBufferSize];
  std::string there = scratch_ + "/there";
  ASSERT_EQ(mkdir(there.c_str(), 0755), 0);
  BrowserStart((there + "\\").c_str(), start);
  EXPECT_EQ(std::string(start), there);
  BrowserStart((there + "\\MyTool").c_str(), start);
  EXPECT_EQ(std::string(start), there) << "not made yet: the folder above";
}

}  // namespace

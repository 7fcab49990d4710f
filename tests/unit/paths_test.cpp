// Path and file-system helpers: splitting at drive roots, trailing
// backslashes and slashes, the search behind PathExists, folder creation
// outermost first, and names taken from raw header bytes.
#include <sys/stat.h>
#include <cstring>
#include <string>
#include "Sfx/state.h"
#include "platform/posix/posix.h"
#include "support/paths.h"
#include "tests/unit/fixture.h"

namespace {

std::string DirPart(const char* path) {
  char out[TextBufferSize];
  std::memset(out, 'x', sizeof out);
  ExtractDirPart(path, out);
  return out;
}

std::string NamePart(const std::string& path) {
  char out[TextBufferSize];
  std::memset(out, 'x', sizeof out);
  ExtractNamePart(path.c_str(), out);
  return out;
}

std::string Added(const char* text) {
  char buffer[TextBufferSize];
  std::strcpy(buffer, text);
  AddTrailingBackslash(buffer);
  return buffer;
}

std::string Stripped(const char* text) {
  char buffer[TextBufferSize];
  std::strcpy(buffer, text);
  StripTrailingBackslash(buffer);
  return buffer;
}

TEST(PathParts, ABackslashIsAddedOnlyWhereTheBufferHasRoom) {
  char buffer[TextBufferSize + 1];
  std::memset(buffer, 'x', sizeof buffer);
  std::string longest(TextBufferSize - 1, 'a');
  std::strcpy(buffer, longest.c_str());
  EXPECT_FALSE(AddTrailingBackslash(buffer));
  EXPECT_EQ(std::string(buffer), longest);
  EXPECT_EQ(buffer[TextBufferSize], 'x') << "nothing written past the buffer";
  longest.back() = '\\';
  std::strcpy(buffer, longest.c_str());
  EXPECT_TRUE(AddTrailingBackslash(buffer)) << "one that is there already needs no room";
  longest.pop_back();
  std::strcpy(buffer, longest.c_str());
  EXPECT_TRUE(AddTrailingBackslash(buffer));
  EXPECT_EQ(TextLength(buffer), TextBufferSize - 1);
}

TEST(PathParts, FolderPartKeepsDriveRootsAndColons) {
  EXPECT_EQ(DirPart("C:\\dir\\file.txt"), "C:\\dir");
  EXPECT_EQ(DirPart("C:\\file.txt"), "C:\\");
  EXPECT_EQ(DirPart("C:\\"), "C:\\");
  EXPECT_EQ(DirPart("C:\\dir\\"), "C:\\dir");
  EXPECT_EQ(DirPart("dir/file"), "dir");
  EXPECT_EQ(DirPart("C:file"), "C:");
  EXPECT_EQ(DirPart("\\file"), "");
  EXPECT_EQ(DirPart("ab\\c"), "ab");
  EXPECT_EQ(DirPart("file"), "");
  EXPECT_EQ(DirPart(""), "");
  EXPECT_EQ(DirPart("a:b"), "a:b") << "three characters with a colon come back whole";
  EXPECT_EQ(DirPart("sub/dir\\x.txt"), "sub/dir");
}

TEST(PathParts, NamePartIsTheTextAfterTheLastSeparator) {
  EXPECT_EQ(NamePart("C:\\dir\\file.txt"), "file.txt");
  EXPECT_EQ(NamePart("C:file"), "file");
  EXPECT_EQ(NamePart("C:\\dir\\"), "");
  EXPECT_EQ(NamePart("dir/"), "");
  EXPECT_EQ(NamePart("plain"), "plain");
  EXPECT_EQ(NamePart("d\\" + std::string(300, 'n')), std::string(255, 'n'));
}

TEST(PathParts, TrailingBackslashAtDriveRoots) {
  EXPECT_EQ(Stripped("C:\\"), "C:");
  EXPECT_EQ(Added("C:"), "C:\\");
  EXPECT_EQ(Added("C:\\"), "C:\\");
  EXPECT_EQ(Added(""), "\\");
  EXPECT_EQ(Stripped(""), "");
  EXPECT_EQ(Stripped("C:\\dir\\\\"), "C:\\dir\\") << "only one backslash goes";
  EXPECT_EQ(Stripped("dir/"), "dir/") << "a slash is not a backslash here";
}

TEST(PathParts, SlashesBecomeBackslashes) {
  char text[] = "a/b\\c//d";
  SlashesToBackslashes(text);
  EXPECT_STREQ(text, "a\\b\\c\\\\d");
  EXPECT_EQ(TextLength(text), 8u);
  EXPECT_EQ(TextLength(""), 0u);
}

TEST(PathParts, TextFromBufferStopsAtNulAndCount) {
  const uint8_t bytes[] = {'a', 'b', 0, 'c', 'd'};
  char out[TextBufferSize];
  TextFromBuffer(bytes, 5, out, sizeof out);
  EXPECT_STREQ(out, "ab");
  TextFromBuffer(bytes, 0, out, sizeof out);
  EXPECT_STREQ(out, "");
  const uint8_t abc[] = {'a', 'b', 'c'};
  TextFromBuffer(abc, 2, out, sizeof out);
  EXPECT_STREQ(out, "ab");
  char small[3];
  TextFromBuffer(abc, 3, small, sizeof small);
  EXPECT_STREQ(small, "ab") << "never more than room - 1 characters";
}

using FolderTest = SfxTest;

bool IsFolder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

TEST_F(FolderTest, PathExistsForFilesFoldersAndFolderContents) {
  WriteFile("present.txt", "x");
  EXPECT_TRUE(PathExists((scratch_ + "/present.txt").c_str()));
  EXPECT_TRUE(PathExists((scratch_ + "\\present.txt").c_str())) << "backslashes reach the system as separators";
  EXPECT_FALSE(PathExists((scratch_ + "/absent.txt").c_str()));
  EXPECT_TRUE(PathExists(scratch_.c_str()));
  // With a trailing backslash the folder's contents are searched; every
  // folder holds "." and "..".
  ASSERT_EQ(mkdir((scratch_ + "/empty").c_str(), 0755), 0);
  EXPECT_TRUE(PathExists((scratch_ + "/empty\\").c_str()));
  EXPECT_FALSE(PathExists((scratch_ + "/missing\\").c_str()));
}

TEST_F(FolderTest, PathsLongerThanTheOldLimitAreFoundAndMade) {
  // Past 255 characters: the search pattern and the folders of a deep path.
  std::string folder = scratch_ + "/" + std::string(200, 'f') + "/" + std::string(200, 'g');
  std::string deep = folder;
  for (int i = 0; i < 1500; ++i) deep += "\\d";  // 1,500 levels: made in a loop, not by recursion
  EXPECT_TRUE(ForceFolders(deep.c_str()));
  EXPECT_TRUE(IsFolder(posix::NativePath(deep.c_str())));
  EXPECT_TRUE(PathExists((folder + "\\").c_str())) << "a folder of 400 characters and its pattern";
  EXPECT_FALSE(PathExists((folder + "x\\").c_str()));
}

TEST_F(FolderTest, ForceFoldersCreatesOutermostFirst) {
  ASSERT_EQ(mkdir((scratch_ + "/a").c_str(), 0755), 0);
  ForceFolders((scratch_ + "\\a\\b\\c\\").c_str());
  EXPECT_TRUE(IsFolder(scratch_ + "/a/b"));
  EXPECT_TRUE(IsFolder(scratch_ + "/a/b/c"));
  ForceFolders((scratch_ + "/x/y").c_str());
  EXPECT_TRUE(IsFolder(scratch_ + "/x/y")) << "slashes work as separators too";
}

TEST_F(FolderTest, ForceFoldersLeavesShortAndEmptyPathsAlone) {
  ASSERT_EQ(chdir(scratch_.c_str()), 0);
  ForceFolders("ab");
  EXPECT_FALSE(Exists(scratch_ + "/ab")) << "one or two characters are never created";
  ForceFolders("");
  ForceFolders("abc");
  EXPECT_TRUE(IsFolder(scratch_ + "/abc")) << "three characters in the current folder";
}

TEST_F(FolderTest, AFileStandsForAnExistingFolder) {
  WriteFile("blocker", "x");
  ForceFolders((scratch_ + "/blocker/inner").c_str());
  EXPECT_FALSE(IsFolder(scratch_ + "/blocker"));
  EXPECT_FALSE(Exists(scratch_ + "/blocker/inner"));
}

}  // namespace

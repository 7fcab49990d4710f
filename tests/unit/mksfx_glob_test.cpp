// mksfx's shell patterns: the matcher's wildcards, brackets, escapes and
// UTF-8 characters; what --exclude leaves out (last part or whole name,
// folders with what is in them); the wildcards mksfx.exe expands itself;
// and the entry names of inputs, without their roots and leading "..".
#include <filesystem>
#include <fstream>
#include "tests/unit/fixture.h"
#include "tools/mksfx/glob.h"
#include "tools/mksfx/inputs.h"

namespace fs = std::filesystem;

namespace {

using mksfx::GlobMatch;

TEST(MksfxGlob, Wildcards) {
  EXPECT_TRUE(GlobMatch("*.txt", "a.txt"));
  EXPECT_TRUE(GlobMatch("*.txt", "dir/sub/a.txt"));  // "*" takes "/" too
  EXPECT_TRUE(GlobMatch("*", ""));
  EXPECT_FALSE(GlobMatch("*.txt", "a.txt.bak"));
  EXPECT_TRUE(GlobMatch("a*b*c", "aXbYbZc"));
  EXPECT_FALSE(GlobMatch("a*b*c", "aXbYbZ"));
  EXPECT_TRUE(GlobMatch("?.c", "x.c"));
  EXPECT_FALSE(GlobMatch("?.c", "xy.c"));
  EXPECT_FALSE(GlobMatch("?.c", ".c"));
  EXPECT_TRUE(GlobMatch("plain", "plain"));
  EXPECT_FALSE(GlobMatch("plain", "plainer"));
  EXPECT_FALSE(GlobMatch("", "x"));
}

TEST(MksfxGlob, BracketsAndEscapes) {
  EXPECT_TRUE(GlobMatch("file[0-9].log", "file7.log"));
  EXPECT_FALSE(GlobMatch("file[0-9].log", "fileX.log"));
  EXPECT_TRUE(GlobMatch("[!a]*", "b"));
  EXPECT_FALSE(GlobMatch("[!a]*", "abc"));
  EXPECT_TRUE(GlobMatch("[^a]", "z"));
  EXPECT_TRUE(GlobMatch("[]x]", "]"));  // "]" first is itself
  EXPECT_TRUE(GlobMatch("[a-", "[a-"));  // not closed: ordinary characters
  EXPECT_TRUE(GlobMatch("\\*", "*"));
  EXPECT_FALSE(GlobMatch("\\*", "x"));
  EXPECT_TRUE(GlobMatch("a\\?b", "a?b"));
  EXPECT_FALSE(GlobMatch("a\\?b", "axb"));
}

TEST(MksfxGlob, CharactersNotBytes) {
  EXPECT_TRUE(GlobMatch("caf?", "caf\xc3\xa9"));         // é is one character
  EXPECT_FALSE(GlobMatch("caf??", "caf\xc3\xa9"));
  EXPECT_TRUE(GlobMatch("[\xc3\xa9\xc3\xa8]t\xc3\xa9", "\xc3\xa8t\xc3\xa9"));  // [éè]té
  EXPECT_TRUE(GlobMatch("?", "\xe9"));                     // a lone byte that is not UTF-8
}

TEST(MksfxGlob, WithoutCaseAsWindowsCompares) {
  EXPECT_FALSE(GlobMatch("*.TXT", "a.txt"));
  EXPECT_TRUE(GlobMatch("*.TXT", "a.txt", true));
  EXPECT_TRUE(GlobMatch("\xc3\x89T\xc3\x89", "\xc3\xa9t\xc3\xa9", true));  // ÉTÉ, été
  EXPECT_TRUE(GlobMatch("[A-C]x", "bx", true));
}

TEST(MksfxExclude, LastPartOrWholeName) {
  std::vector<std::string> p = {"*.o", "build", "docs/*.tmp"};
  EXPECT_TRUE(mksfx::Excluded("a.o", p));
  EXPECT_TRUE(mksfx::Excluded("src/deep/a.o", p));
  EXPECT_FALSE(mksfx::Excluded("src/a.c", p));
  // a folder named build anywhere, with everything in it
  EXPECT_TRUE(mksfx::Excluded("build/", p));
  EXPECT_TRUE(mksfx::Excluded("src/build/", p));
  EXPECT_TRUE(mksfx::Excluded("src/build/out/x.bin", p));
  EXPECT_FALSE(mksfx::Excluded("src/rebuild/x", p));
  EXPECT_FALSE(mksfx::Excluded("src/build.txt", p));
  // with a "/": from the archive's top
  EXPECT_TRUE(mksfx::Excluded("docs/a.tmp", p));
  EXPECT_FALSE(mksfx::Excluded("src/docs/a.tmp", p));
  EXPECT_FALSE(mksfx::Excluded("a.o", {}));
  // "x/*" leaves out the folder x/ too, as zip -x does
  EXPECT_TRUE(mksfx::Excluded("x/", {"x/*"}));
  EXPECT_FALSE(mksfx::Excluded("x", {"x/*"}));
  EXPECT_TRUE(mksfx::Excluded("SRC/A.O", {"*.o"}, true));
  EXPECT_FALSE(mksfx::Excluded("SRC/A.O", {"*.o"}, false));
}

class MksfxWildcards : public SfxTest {};

TEST_F(MksfxWildcards, LastPartExpandedAsWindowsDoes) {
  for (const char* name : {"b.TXT", "a.txt", "c.log", "d/x.txt", "[x].txt"}) {
    fs::path p = fs::path(scratch_) / "w" / name;
    fs::create_directories(p.parent_path());
    std::ofstream(p) << "x";
  }
  fs::path base = fs::path(scratch_) / "w";
  using V = std::vector<std::string>;
  EXPECT_EQ(mksfx::ExpandWildcards("*.txt", base), (V{"[x].txt", "a.txt", "b.TXT"}));  // without case, sorted
  EXPECT_EQ(mksfx::ExpandWildcards("d/*", base), V{"d/x.txt"});       // the folder part kept as given
  EXPECT_EQ(mksfx::ExpandWildcards("d\\*.txt", base), V{"d\\x.txt"}); // a Windows separator
  EXPECT_EQ(mksfx::ExpandWildcards("?.log", base), V{"c.log"});
  EXPECT_EQ(mksfx::ExpandWildcards("*.*", base).size(), 5u);         // every name, as cmd takes it
  EXPECT_EQ(mksfx::ExpandWildcards("[x].txt", base), V{"[x].txt"});   // no wildcard: as it is
  EXPECT_TRUE(mksfx::ExpandWildcards("*.none", base).empty());
  EXPECT_TRUE(mksfx::HasWildcards("dir/*.txt"));
  EXPECT_FALSE(mksfx::HasWildcards("d*r/file.txt"));  // only the last part, as FindFirstFile
}

TEST(MksfxEntryNames, RootsAndLeadingClimbsTakenOff) {
  std::vector<std::string> stripped;
  EXPECT_EQ(mksfx::EntryNameOf("a//b/./c/", stripped), "a/b/c");
  EXPECT_EQ(mksfx::EntryNameOf(".", stripped), "");
  EXPECT_TRUE(stripped.empty());
  EXPECT_EQ(mksfx::EntryNameOf("/usr/share/doc", stripped), "usr/share/doc");
  EXPECT_EQ(mksfx::EntryNameOf("../x/y", stripped), "x/y");
  EXPECT_EQ(mksfx::EntryNameOf("a/../../../x", stripped), "x");
  EXPECT_EQ(mksfx::EntryNameOf("/../etc", stripped), "etc");
  EXPECT_EQ(mksfx::EntryNameOf("..", stripped), "");
  EXPECT_EQ(mksfx::EntryNameOf("x/../a..b", stripped), "a..b");
  EXPECT_EQ(stripped, (std::vector<std::string>{"'/'", "'../'"}));  // each once, in order
}

}  // namespace

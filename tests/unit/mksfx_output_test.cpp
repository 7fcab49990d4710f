// mksfx's guard of its output: file identities through links and other
// spellings, and what a run counts as the output it replaces.
#include <filesystem>
#include <fstream>
#include <string>
#include "tests/unit/fixture.h"
#include "tools/mksfx/common.h"
#include "tools/mksfx/replaced.h"
#include "tools/mksfx/same_file.h"

namespace fs = std::filesystem;

namespace {

class MksfxOutput : public SfxTest {
 protected:
  fs::path Make(const std::string& name, const std::string& text = "x") {
    fs::path p = fs::path(scratch_) / name;
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
    return p;
  }
};

TEST_F(MksfxOutput, OneFileUnderEverySpelling) {
  fs::path a = Make("dir/a.txt"), b = Make("dir/b.txt");
  fs::create_hard_link(a, fs::path(scratch_) / "hard.txt");
  fs::create_directory_symlink(fs::path(scratch_) / "dir", fs::path(scratch_) / "link");
  mksfx::FileId id = mksfx::IdOf(a);
  ASSERT_TRUE(id.exists);
  EXPECT_TRUE(mksfx::SameFile(id, mksfx::IdOf(fs::path(scratch_) / "dir/../dir/./a.txt")));
  EXPECT_TRUE(mksfx::SameFile(id, mksfx::IdOf(fs::path(scratch_) / "hard.txt")));
  EXPECT_TRUE(mksfx::SameFile(id, mksfx::IdOf(fs::path(scratch_) / "link/a.txt")));
  EXPECT_FALSE(mksfx::SameFile(id, mksfx::IdOf(b)));
  mksfx::FileId none = mksfx::IdOf(fs::path(scratch_) / "missing");
  EXPECT_FALSE(none.exists);
  EXPECT_FALSE(mksfx::SameFile(none, none));  // two missing files are no one file
}

TEST_F(MksfxOutput, AnExistingOutputIsKnownByItsIdentity) {
  fs::path out = Make("out.exe");
  fs::create_hard_link(out, fs::path(scratch_) / "alias.exe");
  mksfx::Replaced replaced(out);
  EXPECT_TRUE(replaced.IsOutput(out));
  EXPECT_TRUE(replaced.IsOutput(fs::path(scratch_) / "alias.exe"));
  EXPECT_FALSE(replaced.IsOutput(Make("other.exe")));
  EXPECT_THROW(replaced.MustNotBe(fs::path(scratch_) / "alias.exe", "the stub"), mksfx::Failure);
  EXPECT_NO_THROW(replaced.MustNotBe(fs::path(scratch_) / "other.exe", "the stub"));
}

TEST_F(MksfxOutput, AMissingOutputIsNoInput) {
  mksfx::Replaced replaced(fs::path(scratch_) / "new.exe");
  EXPECT_FALSE(replaced.IsOutput(Make("a.txt")));
  EXPECT_FALSE(replaced.IsOutput(fs::path(scratch_) / "new.exe"));
}

TEST_F(MksfxOutput, AFolderIsNoOutput) {
  fs::create_directories(fs::path(scratch_) / "dir");
  EXPECT_THROW(mksfx::Replaced(fs::path(scratch_) / "dir"), mksfx::Failure);
}

}  // namespace

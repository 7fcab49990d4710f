// mksfx's guard of its output: file identities through links and other
// spellings, what a run counts as the output it replaces and as the volumes
// of an earlier split run, and which of those it removes.
#include <filesystem>
#include <fstream>
#include <string>
#include "tests/unit/fixture.h"
#include "tools/mksfx/common.h"
#include "tools/mksfx/replaced.h"
#include "tools/mksfx/same_file.h"
#include "tools/mksfx/writer.h"

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
  EXPECT_TRUE(replaced.Of(out) == mksfx::Replaced::TheOutput);
  EXPECT_TRUE(replaced.Of(fs::path(scratch_) / "alias.exe") == mksfx::Replaced::TheOutput);
  EXPECT_FALSE(replaced.Of(Make("other.exe")) == mksfx::Replaced::TheOutput);
  EXPECT_THROW(replaced.MustNotBe(fs::path(scratch_) / "alias.exe", "the stub"), mksfx::Failure);
  EXPECT_NO_THROW(replaced.MustNotBe(fs::path(scratch_) / "other.exe", "the stub"));
}

TEST_F(MksfxOutput, AMissingOutputIsNoInput) {
  mksfx::Replaced replaced(fs::path(scratch_) / "new.exe");
  EXPECT_FALSE(replaced.Of(Make("a.txt")) == mksfx::Replaced::TheOutput);
  EXPECT_FALSE(replaced.Of(fs::path(scratch_) / "new.exe") == mksfx::Replaced::TheOutput);
}

TEST_F(MksfxOutput, AFolderIsNoOutput) {
  fs::create_directories(fs::path(scratch_) / "dir");
  EXPECT_THROW(mksfx::Replaced(fs::path(scratch_) / "dir"), mksfx::Failure);
}

TEST(MksfxVolumeNumber, OnlyTheNamesTheWriterGives) {
  EXPECT_EQ(mksfx::VolumeNumber("dir/app.exe", "app.z02"), 2u);
  EXPECT_EQ(mksfx::VolumeNumber("dir/app.exe", "app.z09"), 9u);
  EXPECT_EQ(mksfx::VolumeNumber("dir/app.exe", "app.z10"), 10u);
  EXPECT_EQ(mksfx::VolumeNumber("dir/app.exe", "app.z123"), 123u);
  EXPECT_EQ(mksfx::VolumeNumber("app", "app.z03"), 3u);
  EXPECT_EQ(mksfx::VolumeNumber("app.tar.exe", "app.tar.z02"), 2u);
  for (const char* other : {"app.zip", "app.zoo", "app.z", "app.z1", "app.z2", "app.z01", "app.z00", "app.z002",
                            "app.z010", "app.z02.txt", "app.z02x", "other.z02", "app.tar.z02", "app.exe", "xapp.z02"})
    EXPECT_EQ(mksfx::VolumeNumber("dir/app.exe", other), 0u) << other;
  for (unsigned n : {2u, 9u, 10u, 99u, 100u, 65535u})
    EXPECT_EQ(mksfx::VolumeNumber("setup.exe", mksfx::VolumeName("setup.exe", n)), n) << n;
}

TEST_F(MksfxOutput, OldVolumesBesideTheOutputOnly) {
  fs::path out = fs::path(scratch_) / "app.exe";
  fs::path z02 = Make("app.z02"), z10 = Make("app.z10");
  Make("app.zip");
  Make("app.z1");
  Make("sub/app.z03");
  fs::create_directories(fs::path(scratch_) / "app.z04");  // a folder is no volume
  mksfx::Replaced replaced(out);
  EXPECT_EQ(replaced.OldVolumes(), (std::vector<fs::path>{z02, z10}));
  EXPECT_EQ(replaced.Of(z02), mksfx::Replaced::OldVolume);
  EXPECT_EQ(replaced.Of(fs::path(scratch_) / "sub/../app.z10"), mksfx::Replaced::OldVolume);
  EXPECT_EQ(replaced.Of(fs::path(scratch_) / "app.zip"), mksfx::Replaced::Other);
  EXPECT_EQ(replaced.Of(fs::path(scratch_) / "sub/app.z03"), mksfx::Replaced::Other);
  EXPECT_THROW(replaced.MustNotBe(z02, "one of the inputs"), mksfx::Failure);
}

TEST_F(MksfxOutput, StaleVolumesAreThoseNotWrittenAgain) {
  fs::path out = Make("app.exe");
  Make("app.z02");
  Make("app.z03");
  Make("app.z04");
  mksfx::Replaced replaced(out);
  std::vector<std::string> failures;
  std::vector<fs::path> removed = replaced.RemoveStale({out, mksfx::VolumeName(out, 2)}, failures);
  EXPECT_EQ(removed, (std::vector<fs::path>{fs::path(scratch_) / "app.z03", fs::path(scratch_) / "app.z04"}));
  EXPECT_TRUE(failures.empty());
  EXPECT_TRUE(Exists(scratch_ + "/app.z02"));
  EXPECT_FALSE(Exists(scratch_ + "/app.z03"));
  EXPECT_FALSE(Exists(scratch_ + "/app.z04"));
  EXPECT_TRUE(Exists(scratch_ + "/app.exe"));
}

}  // namespace

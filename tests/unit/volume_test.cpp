// Spanned archives: volume file names, disk labels and the change of volume.
#include <cstring>
#include <string>
#include "Sfx/state.h"
#include "archive/volume.h"
#include "tests/support/posix_control.h"
#include "tests/support/scripted_ui.h"
#include "tests/unit/fixture.h"

namespace {

std::string Replaced(const char* path, const char* extension) {
  char out[VolumePathRoom];
  ReplaceExtension(path, extension, out, sizeof out);
  return out;
}

TEST(VolumeNames, ExtensionIsReplacedOrAppended) {
  EXPECT_EQ(Replaced("C:\\dl\\setup.exe", ".z02"), "C:\\dl\\setup.z02");
  EXPECT_EQ(Replaced("C:\\dl\\setup", ".z02"), "C:\\dl\\setup.z02");
  EXPECT_EQ(Replaced("C:\\d.x\\setup", ".z02"), "C:\\d.x\\setup.z02");
  EXPECT_EQ(Replaced("C:setup", ".z10"), "C:setup.z10");
  EXPECT_EQ(Replaced("a.b.c", ".z100"), "a.b.z100");
}

TEST(VolumeNames, AllDigits) {
  EXPECT_TRUE(AllDigits(""));
  EXPECT_TRUE(AllDigits("0020"));
  EXPECT_FALSE(AllDigits("0A2"));
  EXPECT_FALSE(AllDigits(" 2"));
}

class DiskLabelTest : public SfxTest {};

TEST_F(DiskLabelTest, DiskNumberFromLabel) {
  posix::VolumeLabel = "PKBACK# 002";
  EXPECT_EQ(DiskNumberOfDrive("A:\\"), 2);
  posix::VolumeLabel = "PKBACK# 2";
  EXPECT_EQ(DiskNumberOfDrive("A:\\"), 2);
  posix::VolumeLabel = "PKBACK# ";
  EXPECT_EQ(DiskNumberOfDrive("A:\\"), 0);
  posix::VolumeLabel = "PKBACK# 0A2";
  EXPECT_EQ(DiskNumberOfDrive("A:\\"), 0);
  posix::VolumeLabel = "pkback# 002";
  EXPECT_EQ(DiskNumberOfDrive("A:\\"), 0);
  posix::VolumeLabel.clear();  // no label: the query fails
  EXPECT_EQ(DiskNumberOfDrive("A:\\"), 0);
}

class ChangeVolumeTest : public SfxTest {
 protected:
  void SetUp() override {
    SfxTest::SetUp();
    own_ = WriteFile("setup.exe", std::string(1000, 'a'));
    std::strcpy(OwnPath, own_.c_str());
    OpenArchive(own_);
    ProgressWindow = reinterpret_cast<WindowHandle>(0x77);
  }
  std::string own_;
};

TEST_F(ChangeVolumeTest, SplitFileBesideTheProgramIsOpened) {
  WriteFile("setup.z02", "second");
  CurrentVolume = 1;
  uint32_t left = 0;
  ASSERT_TRUE(ChangeVolume(2, &left));
  EXPECT_EQ(CurrentVolume, 2);
  EXPECT_EQ(left, 1000u) << "the length of the volume left behind";
  char got[7] = {};
  EXPECT_EQ(ReadFromFile(ArchiveHandle, got, 6), 6u);
  EXPECT_STREQ(got, "second");
  EXPECT_TRUE(posix::Messages.empty());
}

TEST_F(ChangeVolumeTest, MissingSplitFileOnFixedDiskIsReported) {
  EXPECT_FALSE(ChangeVolume(2, nullptr));
  ASSERT_EQ(posix::Messages.size(), 1u);
  EXPECT_EQ(posix::Messages[0].text, scratch_ + "/setup.z02 Cannot Find File");
  EXPECT_EQ(posix::Messages[0].caption, "Multi Volume");
  EXPECT_EQ(posix::Messages[0].style, 0x10u);
  EXPECT_EQ(posix::Messages[0].owner, ProgressWindow);
}

TEST_F(ChangeVolumeTest, VolumeTenAndUpHaveNoLeadingZero) {
  WriteFile("setup.z10", "tenth");
  EXPECT_TRUE(ChangeVolume(10, nullptr));
  EXPECT_FALSE(ChangeVolume(100, nullptr));
  EXPECT_EQ(posix::Messages.back().text, scratch_ + "/setup.z100 Cannot Find File");
}

TEST_F(ChangeVolumeTest, RemovableDiskIsAskedForUntilItsLabelFits) {
  posix::DriveType = DriveRemovable;
  posix::VolumeLabel = "PKBACK# 001";
  // The wrong disk stays in: OK asks again, Cancel gives up.
  scripted::DiskReplies = {true, false};
  EXPECT_FALSE(ChangeVolume(2, nullptr));
  EXPECT_EQ(scripted::Asked, (std::vector<std::string>{"disk:Insert Disk Number 2", "disk:Insert Disk Number 2"}));
  EXPECT_TRUE(posix::Messages.empty());

  scripted::Asked.clear();
  posix::VolumeLabel = "PKBACK# 002";
  EXPECT_TRUE(ChangeVolume(2, nullptr));
  EXPECT_TRUE(scripted::Asked.empty());
  EXPECT_EQ(CurrentVolume, 2);
  char got[4] = {};
  EXPECT_EQ(ReadFromFile(ArchiveHandle, got, 3), 3u) << "the program's own path on the new disk";
  EXPECT_STREQ(got, "aaa");
}

TEST_F(ChangeVolumeTest, SplitFileOnRemovableDiskIsTakenBeforeTheLabel) {
  posix::DriveType = DriveRemovable;
  posix::VolumeLabel = "PKBACK# 009";
  WriteFile("setup.z02", "split");
  EXPECT_TRUE(ChangeVolume(2, nullptr));
  EXPECT_TRUE(posix::Messages.empty());
  EXPECT_TRUE(scripted::Asked.empty());
}

}  // namespace

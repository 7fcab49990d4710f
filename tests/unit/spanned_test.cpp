// Spanned archives through the whole driver: split files beside the program
// and removable disks, volumes cut inside entry data, exactly at a header, at
// the end of an entry's data, inside a header, a name or an encryption
// header; missing and unreadable volumes; later passes; markers in the middle.
#include <cstdio>
#include <string>
#include <vector>
#include "archive/zip_format.h"
#include "tests/support/scripted_ui.h"
#include "tests/support/spanned.h"
#include "tests/unit/driver_fixture.h"

namespace {

class SpannedTest : public DriverTest {
 protected:
  // Volume 1 behind the stub as setup.exe, the others as setup.z02, ...
  void OpenVolumes(const std::vector<Volume>& volumes) {
    Open(volumes[0]);
    for (size_t i = 1; i < volumes.size(); ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "setup.z%02zu", i + 1);
      WriteFile(name, volumes[i]);
    }
  }
  // The file of the program's own name replaced, as a disk change does; the
  // handle open on the old one keeps reading the old one.
  void InsertDisk(const Volume& volume, const std::string& label) {
    std::string fresh = WriteFile("next-disk.tmp", volume);
    ASSERT_EQ(std::rename(fresh.c_str(), OwnPath), 0);
    posix::VolumeLabel = label;
  }
  void ExpectThreeEntries();
  // The three entries (password "pw") extract whole from these volumes,
  // the last of them volume lastVolume.
  void ExtractsWholeAcross(const std::vector<Volume>& volumes, int32_t lastVolume) {
    OpenVolumes(volumes);
    std::strcpy(CurrentPassword, "pw");
    Extract();
    ExpectSuccess();
    ExpectThreeEntries();
    EXPECT_EQ(CurrentVolume, lastVolume);
  }
};

std::string Text(size_t size, uint32_t seed) {
  std::string t;
  while (t.size() < size) {
    seed = seed * 1664525u + 1013904223u;
    t += "word" + std::to_string(seed >> 26) + (seed % 7 == 0 ? "\n" : " ");
  }
  t.resize(size);
  return t;
}

ZipEntry Entry(const std::string& name, const std::string& text, uint16_t method, const std::string& password = "") {
  ZipEntry e;
  e.name = name;
  e.data = Bytes(text);
  e.method = method;
  e.password = password;
  return e;
}

// Three entries: stored, Deflate, encrypted Deflate with a data descriptor.
ZipBuilder ThreeEntries() {
  ZipEntry locked = Entry("deep/c.txt", Text(90000, 3), MethodDeflate, "pw");
  locked.descriptor = true;
  return ZipBuilder()
      .Add(Entry("a.txt", Text(70000, 1), MethodStored))
      .Add(Entry("b.txt", Text(200000, 2), MethodDeflate))
      .Add(locked);
}

void SpannedTest::ExpectThreeEntries() {
  EXPECT_EQ(ReadFile(Out("a.txt")), Text(70000, 1));
  EXPECT_EQ(ReadFile(Out("b.txt")), Text(200000, 2));
  EXPECT_EQ(ReadFile(Out("deep/c.txt")), Text(90000, 3));
}

TEST_F(SpannedTest, DataRunsAcrossThreeSplitFiles) {
  std::vector<uint8_t> zip = ThreeEntries().Bytes();
  std::vector<EntryBounds> e = EntriesOf(zip);
  ASSERT_EQ(e.size(), 3u);
  // Inside the stored data, then inside the encrypted Deflate data.
  ExtractsWholeAcross(SpanArchive(zip, {e[0].header + 40000, e[2].dataEnd - 1000}), 3);
  EXPECT_TRUE(scripted::Asked.empty()) << "split files need no prompt";
}

TEST_F(SpannedTest, CutsAtHeadersAndAtTheEndsOfData) {
  std::vector<uint8_t> zip = ThreeEntries().Bytes();
  std::vector<EntryBounds> e = EntriesOf(zip);
  // Exactly at the second header (= the end of the first entry's data), and
  // exactly at the end of the third entry's data, before its descriptor.
  ExtractsWholeAcross(SpanArchive(zip, {e[1].header, e[2].dataEnd}), 3);
}

TEST_F(SpannedTest, CutsInsideAHeaderANameAndAnEncryptionHeader) {
  std::vector<uint8_t> zip = ThreeEntries().Bytes();
  std::vector<EntryBounds> e = EntriesOf(zip);
  size_t cNameAt = e[2].header + LocalHeaderSize;
  size_t cDataAt = cNameAt + std::string("deep/c.txt").size();
  ExtractsWholeAcross(SpanArchive(zip, {e[1].header + 11, cNameAt + 4, cDataAt + 5}), 4);
}

TEST_F(SpannedTest, AMissingSplitFileIsReportedAndTheRunFails) {
  std::vector<uint8_t> zip = ThreeEntries().Bytes();
  std::vector<EntryBounds> e = EntriesOf(zip);
  std::vector<Volume> volumes = SpanArchive(zip, {e[1].header});
  OpenVolumes({volumes[0]});
  Extract();
  ASSERT_EQ(posix::Messages.size(), 2u);
  EXPECT_EQ(posix::Messages[0].text, scratch_ + "/setup.z02 Cannot Find File");
  EXPECT_EQ(posix::Messages[0].caption, "Multi Volume");
  ExpectFailureSummaryLast();
  EXPECT_EQ(ReadFile(Out("a.txt")), Text(70000, 1));
  EXPECT_FALSE(Exists(Out("b.txt")));
}

TEST_F(SpannedTest, AVolumeThatCannotBeOpenedIsReportedLikeAMissingOne) {
  std::vector<uint8_t> zip = ThreeEntries().Bytes();
  std::vector<Volume> volumes = SpanArchive(zip, {1000});
  OpenVolumes({volumes[0]});
  ASSERT_EQ(mkdir((scratch_ + "/setup.z02").c_str(), 0755), 0);  // there, but no file
  Extract();
  ASSERT_EQ(posix::Messages.size(), 2u);
  EXPECT_EQ(posix::Messages[0].text, scratch_ + "/setup.z02 Cannot Find File");
  ExpectFailureSummaryLast();
}

TEST_F(SpannedTest, LaterPassesStartFromTheFirstVolume) {
  std::vector<uint8_t> zip = ThreeEntries().Bytes();
  std::vector<EntryBounds> e = EntriesOf(zip);
  OpenVolumes(SpanArchive(zip, {e[0].header + 500, e[1].dataEnd}));
  std::strcpy(CurrentPassword, "pw");
  Extract();
  ExpectSuccess();
  posix::Messages.clear();
  OverwriteMode = ReplaceWithoutAsking;
  Extract();  // Extract pressed again
  ExpectSuccess();
  ExpectThreeEntries();
  posix::Messages.clear();
  Delete();
  EXPECT_TRUE(posix::Messages.empty());
  EXPECT_FALSE(Exists(Out("a.txt")));
  EXPECT_FALSE(Exists(Out("b.txt")));
  EXPECT_FALSE(Exists(Out("deep/c.txt")));
}

TEST_F(SpannedTest, AMarkerInTheMiddleIsSteppedOverWithoutGoingBack) {
  // A marker where the second header is expected, in the second volume; the
  // second entry's data then runs on into the third volume.
  ZipBuilder first = ZipBuilder().Add(Entry("a.txt", Text(5000, 1), MethodStored));
  ZipBuilder rest = ZipBuilder().Add(Entry("b.txt", Text(9000, 2), MethodStored));
  std::vector<uint8_t> zip = first.LocalPart();
  PutLe32(zip, ZipSignature(ShiftedMarker));
  std::vector<uint8_t> tail = rest.Bytes();
  zip.insert(zip.end(), tail.begin(), tail.end());
  size_t markerAt = first.LocalPart().size() + SignatureSize;
  OpenVolumes(SpanArchive(zip, {markerAt, markerAt + 4 + 30 + 5 + 3000}));
  Extract();
  ExpectSuccess();
  EXPECT_EQ(ReadFile(Out("b.txt")), Text(9000, 2));
  EXPECT_EQ(CurrentVolume, 3);
}

TEST_F(SpannedTest, RemovableDisksAreAskedForInEveryPassAndCountingAsksForNone) {
  std::vector<uint8_t> zip = ThreeEntries().Bytes();
  std::vector<EntryBounds> e = EntriesOf(zip);
  std::vector<Volume> disks = SpanArchive(zip, {e[1].header + 100});
  posix::DriveType = DriveRemovable;
  posix::VolumeLabel = "PKBACK# 001";
  Open(disks[0]);

  Count();
  EXPECT_TRUE(scripted::Asked.empty()) << "counting stays with the first disk";
  EXPECT_EQ(ArchiveTotal, 70000 + 200000) << "the entries whose headers the first disk holds";

  // Each prompt is answered by putting the disk it names into the drive.
  scripted::OnDisk = [&] {
    const std::string& asked = scripted::Asked.back();
    bool second = asked.back() == '2';
    InsertDisk(second ? disks[1] : StubThen(disks[0]), second ? "PKBACK# 2" : "PKBACK# 001");
  };
  scripted::DiskReplies = {true, true, true};
  std::strcpy(CurrentPassword, "pw");
  Extract();
  ExpectSuccess();
  ExpectThreeEntries();
  posix::Messages.clear();
  Delete();
  EXPECT_TRUE(posix::Messages.empty());
  EXPECT_FALSE(Exists(Out("b.txt")));
  EXPECT_FALSE(Exists(Out("deep/c.txt")));
  EXPECT_EQ(scripted::Asked, (std::vector<std::string>{"disk:Insert Disk Number 2", "disk:Insert Disk Number 1",
                                                       "disk:Insert Disk Number 2"}));
}

TEST_F(SpannedTest, CancelAtTheDiskPromptEndsTheRunWithTheSummary) {
  std::vector<uint8_t> zip = ThreeEntries().Bytes();
  std::vector<EntryBounds> e = EntriesOf(zip);
  std::vector<Volume> disks = SpanArchive(zip, {e[1].header + 100});
  posix::DriveType = DriveRemovable;
  posix::VolumeLabel = "PKBACK# 001";
  Open(disks[0]);
  scripted::DiskReplies = {false};
  Extract();
  EXPECT_EQ(scripted::Asked, (std::vector<std::string>{"disk:Insert Disk Number 2"}));
  ExpectFailureSummaryLast();
  EXPECT_FALSE(Exists(Out("deep/c.txt")));
}

}  // namespace

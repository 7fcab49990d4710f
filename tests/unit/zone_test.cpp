// The mark of the web: the program's own Zone.Identifier stream, which the
// posix platform reads and writes as the file "<path>:Zone.Identifier",
// handed on to every file the extraction writes, when its zone is 3 or more.
#include <gtest/gtest.h>
#include "archive/zone.h"
#include "tests/unit/driver_fixture.h"

namespace {

const char Internet[] =
    "[ZoneTransfer]\r\nZoneId=3\r\nReferrerUrl=https://example.org/\r\nHostUrl=https://example.org/setup.exe\r\n";

class ZoneTest : public DriverTest {
 protected:
  // The program with its mark, read as start-up reads it.
  void OpenMarked(const ZipBuilder& zip, const std::string& mark) {
    Open(zip);
    WriteFile("setup.exe:Zone.Identifier", mark);
    TakeZoneMark();
  }
  std::string MarkOf(const std::string& name) const {
    std::string stream = Out(name) + ":Zone.Identifier";
    return Exists(stream) ? ReadFile(stream) : "(none)";
  }
};

TEST_F(ZoneTest, EveryFileWrittenGetsTheMarkOfAProgramFromTheInternet) {
  WriteFile("out/old.txt", "old");
  OverwriteMode = ReplaceWithoutAsking;
  OpenMarked(ZipBuilder().Stored("a.txt", "a").Stored("sub/b.exe", "b").Folder("empty/").Stored("old.txt", "new"),
             Internet);
  Extract();
  ExpectSuccess();
  EXPECT_EQ(MarkOf("a.txt"), Internet);
  EXPECT_EQ(MarkOf("sub/b.exe"), Internet);
  EXPECT_EQ(MarkOf("old.txt"), Internet) << "a replaced file too";
  EXPECT_EQ(MarkOf("empty"), "(none)") << "folders carry no mark";
}

TEST_F(ZoneTest, AZoneBelowTheInternetsOrNoMarkIsNotHandedOn) {
  for (const char* mark : {"[ZoneTransfer]\r\nZoneId=2\r\n", "[ZoneTransfer]\r\nZoneId=0\r\n",
                           "[ZoneTransfer]\r\nHostUrl=x\r\n", ""}) {
    SCOPED_TRACE(mark);
    OpenMarked(ZipBuilder().Stored("a.txt", "a"), mark);
    Extract();
    EXPECT_EQ(MarkOf("a.txt"), "(none)");
    std::remove(Out("a.txt").c_str());
  }
  // And a program without a stream at all.
  ResetProgramState();
  Open(ZipBuilder().Stored("a.txt", "a"));
  TakeZoneMark();
  Extract();
  EXPECT_EQ(MarkOf("a.txt"), "(none)");
}

TEST_F(ZoneTest, AnUntrustedZoneAndZonesOfTwoDigitsAreHandedOn) {
  for (const char* mark : {"[ZoneTransfer]\r\nZoneId=4\r\n", "[ZoneTransfer]\nZoneId=10"}) {
    OpenMarked(ZipBuilder().Stored("a.txt", "a"), mark);
    Extract();
    EXPECT_EQ(MarkOf("a.txt"), mark);
    std::remove(Out("a.txt").c_str());
    std::remove((Out("a.txt") + ":Zone.Identifier").c_str());
  }
}

TEST_F(ZoneTest, AMarkLongerThanItsRoomIsHandedOnUpToItsZone) {
  std::string mark = "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=https://example.org/" + std::string(5000, 'x') + "\r\n";
  OpenMarked(ZipBuilder().Stored("a.txt", "a"), mark);
  Extract();
  EXPECT_EQ(MarkOf("a.txt"), "[ZoneTransfer]\r\nZoneId=3\r\n");
}

TEST_F(ZoneTest, ADamagedEntryLeavesNoFileAndTheOthersAreMarked) {
  // The file of a damaged entry is removed, its mark with it; the whole
  // ones came from the internet all the same.
  ZipEntry bad;
  bad.name = "bad.bin";
  bad.data = Bytes("payload that does not match");
  bad.crc = 0x12345678u;
  OpenMarked(ZipBuilder().Add(bad).Stored("good.txt", "g"), Internet);
  Extract();
  ExpectFailureSummaryLast();
  EXPECT_FALSE(Exists(Out("bad.bin")));
  EXPECT_FALSE(Exists(Out("bad.bin:Zone.Identifier")));
  EXPECT_EQ(MarkOf("good.txt"), Internet);
}

TEST_F(ZoneTest, AMarkThatCannotBeWrittenChangesNothing) {
  // As on a file system without streams: the stream cannot be created.
  ASSERT_EQ(mkdir(Out("a.txt:Zone.Identifier").c_str(), 0755), 0);
  OpenMarked(ZipBuilder().Stored("a.txt", "a").Stored("b.txt", "b"), Internet);
  Extract();
  ExpectSuccess();
  EXPECT_EQ(ReadFile(Out("a.txt")), "a");
  EXPECT_EQ(MarkOf("b.txt"), Internet);
}

}  // namespace

// The mark of the web: the program's own Zone.Identifier stream, which the
// posix platform reads and writes as the file "<path>:Zone.Identifier",
// handed on to every file the extraction writes, when its zone is 3 or more.
// The reading fails closed: a ZoneId line anywhere in the stream, in any case
// and spacing, a number past 32 bits and a stream that cannot be read all
// mark the files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include "archive/zone.h"
#include "tests/unit/driver_fixture.h"

namespace {

const char Internet[] =
    "[ZoneTransfer]\r\nZoneId=3\r\nReferrerUrl=https://example.org/\r\nHostUrl=https://example.org/setup.exe\r\n";

// The mark of our own that stands for a stream that cannot be handed on as
// it is (too long, or its zone read from no plain number).
const char ShortInternet[] = "[ZoneTransfer]\r\nZoneId=3\r\n";

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
  // The mark a.txt gets from a program with this mark (none: "(none)").
  std::string MarkHandedOn(const std::string& mark) {
    OpenMarked(ZipBuilder().Stored("a.txt", "a"), mark);
    return MarkAfterExtraction();
  }
  std::string MarkAfterExtraction() {
    Extract();
    std::string got = MarkOf("a.txt");
    std::remove(Out("a.txt").c_str());
    std::remove((Out("a.txt") + ":Zone.Identifier").c_str());
    return got;
  }
  std::string OwnStream() const { return scratch_ + "/setup.exe:Zone.Identifier"; }
};

// A line of filler text of the given length, its line end included.
std::string Filler(size_t length) { return "HostUrl=https://example.org/" + std::string(length - 30, 'x') + "\r\n"; }

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

TEST_F(ZoneTest, AZoneLineAnywhereInTheStreamCounts) {
  // After the first 4 KiB: the mark of our own, as the stream is too long
  // to hand on.
  EXPECT_EQ(MarkHandedOn("[ZoneTransfer]\r\n" + Filler(6000) + "ZoneId=3\r\n"), ShortInternet);
  EXPECT_EQ(MarkHandedOn("[ZoneTransfer]\r\n" + Filler(70000) + "ZoneId=4"), "[ZoneTransfer]\r\nZoneId=4\r\n");
  // Across bytes 4,095 and 4,096, whichever byte of it lies there.
  for (size_t at = 4088; at <= 4097; ++at) {
    std::string head = "[ZoneTransfer]\r\n";
    std::string mark = head + Filler(at - head.size()) + "ZoneId=3\r\nReferrerUrl=x\r\n";
    ASSERT_EQ(mark.find("ZoneId=3"), at);
    EXPECT_EQ(MarkHandedOn(mark), ShortInternet) << "ZoneId at " << at;
  }
  // Within the room after a long line: handed on as it is.
  std::string fits = "[ZoneTransfer]\r\n" + Filler(4000) + "ZoneId=3\r\n";
  ASSERT_LT(fits.size(), 4096u);
  EXPECT_EQ(MarkHandedOn(fits), fits);
}

TEST_F(ZoneTest, TheKeyInAnyCaseAndWithBlanksAroundItsEqualsSign) {
  for (const char* mark : {"[ZoneTransfer]\r\nzoneid = 3\r\n", "[ZoneTransfer]\r\nZONEID=3\r\n",
                           "[ZoneTransfer]\r\n  ZoneId\t=\t3  \r\nHostUrl=x\r\n", "[zonetransfer]\nzoneId= 4"}) {
    SCOPED_TRACE(mark);
    EXPECT_EQ(MarkHandedOn(mark), mark);  // read plainly: handed on as it is
  }
  // And below the internet's zone, however written, nothing.
  for (const char* mark : {"[ZoneTransfer]\r\nzoneid = 2\r\n", "[ZoneTransfer]\r\nZONEID=0\r\n", "ZoneId=02",
                           "[ZoneTransfer]\r\nZoneIdentifier=3\r\nZoneId=1\r\n"}) {
    SCOPED_TRACE(mark);
    EXPECT_EQ(MarkHandedOn(mark), "(none)");
  }
}

TEST_F(ZoneTest, ANumberPast32BitsOrNoNumberIsTheInternetsZone) {
  // 2^32, 2^32 + 1 and 2^33 + 2 wrap to the trusted zones 0, 1 and 2.
  for (const char* mark : {"[ZoneTransfer]\r\nZoneId=4294967296\r\n", "[ZoneTransfer]\r\nZoneId=4294967297\r\n",
                           "[ZoneTransfer]\r\nZoneId=8589934594\r\n", "[ZoneTransfer]\r\nZoneId=99999999999999999999\r\n",
                           "[ZoneTransfer]\r\nZoneId=-1\r\n", "[ZoneTransfer]\r\nZoneId=\r\n", "[ZoneTransfer]\r\nZoneId=0x3\r\n",
                           "[ZoneTransfer]\r\nZoneId=1 2\r\n", "[ZoneTransfer]\r\nZoneId=two\r\n"}) {
    SCOPED_TRACE(mark);
    EXPECT_EQ(MarkHandedOn(mark), ShortInternet);
  }
  // A number of 32 bits stands; the highest one is handed on.
  EXPECT_EQ(MarkHandedOn("ZoneId=4294967295"), "ZoneId=4294967295");
  EXPECT_EQ(MarkHandedOn("ZoneId=7 beta"), "[ZoneTransfer]\r\nZoneId=7\r\n");
}

TEST_F(ZoneTest, OfSeveralZoneLinesTheHighestCounts) {
  EXPECT_EQ(MarkHandedOn("[ZoneTransfer]\r\nZoneId=0\r\nZoneId=3\r\n"), ShortInternet);
  EXPECT_EQ(MarkHandedOn("[ZoneTransfer]\r\nZoneId=4\r\nZoneId=2\r\n"), "[ZoneTransfer]\r\nZoneId=4\r\n");
  std::string agreeing = "[ZoneTransfer]\r\nZoneId=3\r\n[Other]\r\nzoneid=3\r\n";
  EXPECT_EQ(MarkHandedOn(agreeing), agreeing);
}

TEST_F(ZoneTest, AStreamInUtf16IsReadToo) {
  std::string text = "[ZoneTransfer]\r\nZoneId=3\r\n", mark = "\xFF\xFE";
  for (char c : text) mark += std::string(1, c) + '\0';
  EXPECT_EQ(MarkHandedOn(mark), mark);
}

TEST_F(ZoneTest, AStreamThatIsThereButCannotBeReadMarksTheInternetZone) {
  Open(ZipBuilder().Stored("a.txt", "a"));
  // There, but it cannot be opened (a folder under its name).
  ASSERT_EQ(mkdir(OwnStream().c_str(), 0755), 0);
  TakeZoneMark();
  EXPECT_EQ(MarkAfterExtraction(), ShortInternet);
  ASSERT_EQ(rmdir(OwnStream().c_str()), 0);
  // Opened, but neither its length nor its bytes can be read (the memory of
  // this process).
  ASSERT_EQ(symlink("/proc/self/mem", OwnStream().c_str()), 0);
  TakeZoneMark();
  EXPECT_EQ(MarkAfterExtraction(), ShortInternet);
  ASSERT_EQ(unlink(OwnStream().c_str()), 0);
  // Gone again: nothing.
  TakeZoneMark();
  EXPECT_EQ(MarkAfterExtraction(), "(none)");
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

// The extraction driver over archives built byte by byte and archives made by
// Info-ZIP zip and Python's zipfile: the count pass, extraction with folders,
// times, overwrite decisions and passwords, the failures of its table with
// their texts and captions, the deletion pass, and the guards against names
// that leave the destination and entries that cannot be walked.
#include <fcntl.h>
#include <sys/stat.h>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>
#include "Sfx/state.h"
#include "archive/driver.h"
#include "archive/names.h"
#include "archive/zip_format.h"
#include "tests/support/posix_control.h"
#include "tests/support/scripted_ui.h"
#include "tests/support/zip_builder.h"
#include "tests/unit/driver_fixture.h"
#include "tests/unit/scoped_zone.h"

namespace {

// --- Count pass ----------------------------------------------------------------

TEST_F(DriverTest, CountPassSumsTheSizesWithoutShowingNames) {
  Open(ZipBuilder().Stored("a", "12345").Stored("b", "").Stored("c", std::string(70000, 'c')));
  Count();
  EXPECT_EQ(ArchiveTotal, 70005);
  EXPECT_TRUE(posix::Messages.empty());
  EXPECT_TRUE(scripted::EntryNames.empty()) << "names change too fast to read while counting";
  EXPECT_EQ(scripted::Pumps, 1) << "the count pass pumps only at its start";
  EXPECT_EQ(scripted::Focuses, 1);
  EXPECT_FALSE(Exists(Out("a"))) << "the count pass writes nothing";
}

TEST_F(DriverTest, CountPassReportsAnArchiveWithoutBytes) {
  Open(std::vector<uint8_t>{});
  Count();
  ExpectOnlyMessage("Error reading archive.", "Error..", 0x10);
  EXPECT_EQ(ArchiveTotal, 0);
}

TEST_F(DriverTest, CountPassOverEmptyFilesIsAnArchiveWithoutBytes) {
  Open(ZipBuilder().Stored("empty1", "").Stored("empty2", ""));
  Count();
  ExpectOnlyMessage("Error reading archive.", "Error..", 0x10);
}

// --- Extraction ------------------------------------------------------------------

TEST_F(DriverTest, ThreeStoredEntriesWithTheirTimes) {
  ScopedZone zone;
  Open(ZipBuilder()
           .Stored("one.txt", "first file")
           .Stored("two.txt", "second", 0x2AEF0000u)  // 2001-07-15 00:00:00
           .Stored("three.txt", std::string(40000, '3')));
  Count();
  int pumpsBefore = scripted::Pumps;
  Extract();
  EXPECT_EQ(ReadFile(Out("one.txt")), "first file");
  EXPECT_EQ(ReadFile(Out("two.txt")), "second");
  EXPECT_EQ(ReadFile(Out("three.txt")), std::string(40000, '3'));
  EXPECT_EQ(ModifiedAt(Out("one.txt")), July15Utc + 5 * 3600) << "local 12:30:10 is 17:30:10 UTC";
  EXPECT_EQ(ModifiedAt(Out("two.txt")), July15Utc - (12 * 3600 + 30 * 60 + 10) + 5 * 3600);
  ExpectSuccess();
  EXPECT_EQ(ArchiveDone, 40016);
  EXPECT_EQ(ArchivePercent, 100);
  EXPECT_EQ(scripted::Pumps - pumpsBefore, 1 + 3 + 4)
      << "start, each created file, and each read of an entry's data (one, one and two)";
  EXPECT_EQ(scripted::EntryNames, (std::vector<std::string>{"one.txt", "two.txt", "three.txt"}))
      << "each name once, in the extraction pass only";
}

TEST_F(DriverTest, AutomaticModeGivesNoSuccessMessage) {
  AutoExtract = 1;
  Open(ZipBuilder().Stored("a", "x"));
  Extract();
  EXPECT_TRUE(posix::Messages.empty());
  EXPECT_EQ(ExtractionSucceeded, 1);
  EXPECT_EQ(ReadFile(Out("a")), "x");
}

TEST_F(DriverTest, FoldersOfANameAreCreatedOutermostFirst) {
  Open(ZipBuilder().Stored("sub/dir/file.txt", "deep").Stored("sub\\back.txt", "slash"));
  std::strcat(DestinationFolder, "\\");  // as a user may type it
  Extract();
  EXPECT_TRUE(IsFolder(Out("sub")));
  EXPECT_TRUE(IsFolder(Out("sub/dir")));
  EXPECT_EQ(ReadFile(Out("sub/dir/file.txt")), "deep");
  EXPECT_EQ(ReadFile(Out("sub/back.txt")), "slash");
  EXPECT_EQ(std::string(DestinationFolder), dest_) << "the trailing backslash is taken off";
  ExpectSuccess();
}

TEST_F(DriverTest, ADestinationThatIsADriveRootIsLeftAsItsPrefix) {
  std::strcpy(DestinationFolder, "C:\\");
  Open(ZipBuilder().Stored("x", ""));
  Count();  // the count pass does not touch the folder
  EXPECT_STREQ(DestinationFolder, "C:\\");
  Delete();
  EXPECT_STREQ(DestinationFolder, "C:");
}

TEST_F(DriverTest, FolderThatCannotBeCreatedEndsTheWalkWithTheSummary) {
  WriteFile("out/blocker", "a file where a folder should be");
  Open(ZipBuilder().Stored("blocker/inner/file.txt", "x").Stored("later.txt", "y"));
  Extract();
  ASSERT_EQ(posix::Messages.size(), 2u);
  EXPECT_EQ(posix::Messages[0].text, dest_ + "\\blocker\\inner");
  EXPECT_EQ(posix::Messages[0].caption, "Error in directory ..");
  EXPECT_EQ(posix::Messages[0].style, 0x10u);
  ExpectFailureSummaryLast();
  EXPECT_FALSE(Exists(Out("later.txt"))) << "the walk has ended";
}

TEST_F(DriverTest, OutputPathThatIsAFolderFailsWithoutMessage) {
  ASSERT_EQ(mkdir(Out("taken").c_str(), 0755), 0);
  OverwriteMode = ReplaceWithoutAsking;
  Open(ZipBuilder().Stored("taken", "data").Stored("next", "n"));
  Extract();
  EXPECT_EQ(ReadFile(Out("next")), "n") << "the walk goes on";
  ASSERT_EQ(posix::Messages.size(), 1u);
  ExpectFailureSummaryLast();
}

TEST_F(DriverTest, AWrongCrcLeavesNoFileAndTheSummaryNamesIt) {
  ZipEntry bad;
  bad.name = "bad.bin";
  bad.data = Bytes("payload that does not match");
  bad.crc = 0x12345678u;
  Open(ZipBuilder().Add(bad).Stored("good", "g"));
  Extract();
  EXPECT_FALSE(Exists(Out("bad.bin"))) << "no damaged file under the entry's name";
  EXPECT_EQ(ReadFile(Out("good")), "g");
  ASSERT_EQ(posix::Messages.size(), 1u) << "no message of its own";
  ExpectFailureSummaryLast();
  EXPECT_EQ(posix::Messages[0].text, "The selected file(s) couldn't get extracted.\n\nbad.bin");
}

TEST_F(DriverTest, TheSummaryNamesTheFirstFailuresAndCountsTheOthers) {
  ZipBuilder zip;
  for (int i = 0; i < 8; ++i) {
    ZipEntry bad;
    bad.name = "bad" + std::to_string(i);
    bad.data = Bytes("x");
    bad.crc = 1;
    zip.Add(bad);
  }
  zip.Stored("good", "g");
  Open(zip);
  Extract();
  ExpectFailureSummaryLast();
  EXPECT_EQ(posix::Messages.back().text,
            "The selected file(s) couldn't get extracted.\n\nbad0\nbad1\nbad2\nbad3\nbad4\nOthers not extracted: 3");
  EXPECT_EQ(ReadFile(Out("good")), "g");
}

// --- Existing files ------------------------------------------------------------

class OverwriteTest : public DriverTest {
 protected:
  void SetUp() override {
    DriverTest::SetUp();
    WriteFile("out/a.txt", "old");
    WriteFile("out/b.txt", "old b");
    Open(ZipBuilder().Stored("a.txt", "new a").Stored("b.txt", "new b"));
  }
};

TEST_F(OverwriteTest, ReplacesExistingFilesWithoutAsking) {
  OverwriteMode = ReplaceWithoutAsking;
  Extract();
  EXPECT_EQ(ReadFile(Out("a.txt")), "new a");
  EXPECT_EQ(ReadFile(Out("b.txt")), "new b");
  EXPECT_TRUE(scripted::Asked.empty());
  ExpectSuccess();
}

TEST_F(OverwriteTest, KeepsExistingFilesAndReportsThemNotExtracted) {
  OverwriteMode = KeepExisting;
  Extract();
  EXPECT_EQ(ReadFile(Out("a.txt")), "old");
  EXPECT_EQ(ReadFile(Out("b.txt")), "old b");
  EXPECT_TRUE(scripted::Asked.empty());
  ASSERT_EQ(posix::Messages.size(), 1u);
  ExpectFailureSummaryLast();
}

TEST_F(OverwriteTest, AsksForEachExistingFile) {
  scripted::OverwriteReplies = {{true, false}, {false, false}};
  Extract();
  EXPECT_EQ(scripted::Asked, (std::vector<std::string>{"overwrite:a.txt", "overwrite:b.txt"}));
  EXPECT_EQ(ReadFile(Out("a.txt")), "new a") << "Yes";
  EXPECT_EQ(ReadFile(Out("b.txt")), "old b") << "No";
  ExpectFailureSummaryLast();
  EXPECT_EQ(OverwriteMode, AskEachFile);
}

TEST_F(OverwriteTest, ApplyToAllYesReplacesTheRest) {
  scripted::OverwriteReplies = {{true, true}};
  Extract();
  EXPECT_EQ(scripted::Asked.size(), 1u);
  EXPECT_EQ(ReadFile(Out("b.txt")), "new b");
  EXPECT_EQ(OverwriteMode, ReplaceWithoutAsking) << "kept for later entries and passes";
  ExpectSuccess();
}

TEST_F(OverwriteTest, ApplyToAllNoKeepsTheRest) {
  scripted::OverwriteReplies = {{false, true}};
  Extract();
  EXPECT_EQ(scripted::Asked.size(), 1u);
  EXPECT_EQ(ReadFile(Out("a.txt")), "old");
  EXPECT_EQ(ReadFile(Out("b.txt")), "old b");
  EXPECT_EQ(OverwriteMode, KeepExisting);
  ExpectFailureSummaryLast();
}

TEST_F(DriverTest, OverwriteTextsDescribeBothFiles) {
  ScopedZone zone;
  std::string existing = WriteFile("out/big.iso", "123");
  struct timespec times[2] = {{0, UTIME_OMIT}, {July15Utc + 5 * 3600 - 10 * 60, 0}};  // 12:20:10 local
  ASSERT_EQ(utimensat(AT_FDCWD, existing.c_str(), times, 0), 0);
  ZipEntry big;
  big.name = "big.iso";
  big.data = Bytes("x");
  big.uncompressedSize = 0x90000000u;  // 2.25 GiB, past the signed range
  Open(ZipBuilder().Add(big));
  Extract();
  ASSERT_EQ(scripted::Asked.size(), 1u);
  EXPECT_STREQ(ConflictName, "big.iso");
  EXPECT_STREQ(ExistingSizeText, "3BYTE");
  EXPECT_STREQ(ExistingDateText, "Sunday, July 15, 2001 12:20:10 PM");
  EXPECT_STREQ(ArchivedSizeText, "2415919104BYTE");
  EXPECT_STREQ(ArchivedDateText, "Sunday, July 15, 2001 12:30:10 PM");
}

// --- Passwords ---------------------------------------------------------------------

TEST_F(DriverTest, RememberedPasswordOpensWithoutPrompt) {
  std::strcpy(CurrentPassword, "secret");
  Open(ZipBuilder().Add(Encrypted("e.txt", "hidden text", "secret")));
  Extract();
  EXPECT_TRUE(scripted::Asked.empty());
  EXPECT_EQ(ReadFile(Out("e.txt")), "hidden text");
  ExpectSuccess();
}

TEST_F(DriverTest, APasswordThatOpensOneEntryOpensTheNextWithoutPrompt) {
  scripted::PasswordReplies = {"wrong", "secret"};
  Open(ZipBuilder()
           .Add(Encrypted("1.txt", "one", "secret"))
           .Stored("plain.txt", "p")
           .Add(Encrypted("2.txt", "two", "secret")));
  Extract();
  EXPECT_EQ(scripted::Asked, (std::vector<std::string>{"password", "password"}));
  EXPECT_STREQ(CurrentPassword, "secret");
  EXPECT_EQ(ReadFile(Out("1.txt")), "one");
  EXPECT_EQ(ReadFile(Out("2.txt")), "two");
  ExpectSuccess();
}

TEST_F(DriverTest, ThreeWrongAnswersEndTheRunWithoutSummary) {
  std::strcpy(CurrentPassword, "stale");
  scripted::PasswordReplies = {"a", "b", "c", "secret"};
  Open(ZipBuilder().Stored("before", "b").Add(Encrypted("locked", "x", "secret")).Stored("after", "a"));
  Extract();
  EXPECT_EQ(scripted::Asked.size(), 3u) << "the remembered password, then three prompts";
  EXPECT_EQ(ReadFile(Out("before")), "b");
  EXPECT_FALSE(Exists(Out("locked")));
  EXPECT_FALSE(Exists(Out("after")));
  EXPECT_TRUE(posix::Messages.empty());
  EXPECT_EQ(ExtractionSucceeded, 0);
}

TEST_F(DriverTest, PasswordIsAskedBeforeTheOverwriteDecision) {
  WriteFile("out/e.txt", "existing");
  scripted::PasswordReplies = {"secret"};
  scripted::OverwriteReplies = {{false, false}};
  Open(ZipBuilder().Add(Encrypted("e.txt", "new", "secret")));
  Extract();
  EXPECT_EQ(scripted::Asked, (std::vector<std::string>{"password", "overwrite:e.txt"}));
  EXPECT_EQ(ReadFile(Out("e.txt")), "existing");
  ExpectFailureSummaryLast();
}

TEST_F(DriverTest, EncryptedEntriesWithDescriptorsCheckTheTime) {
  ZipEntry e = Encrypted("d.txt", "descriptor follows", "pw");
  e.descriptor = true;
  scripted::PasswordReplies = {"pw"};
  Open(ZipBuilder().Add(e).Stored("next", "n"));
  Extract();
  EXPECT_EQ(ReadFile(Out("d.txt")), "descriptor follows");
  EXPECT_EQ(ReadFile(Out("next")), "n");
  ExpectSuccess();
}

TEST_F(DriverTest, EncryptedEmptyEntryWritesAnEmptyFile) {
  std::strcpy(CurrentPassword, "pw");
  Open(ZipBuilder().Add(Encrypted("empty", "", "pw")));
  Extract();
  EXPECT_TRUE(Exists(Out("empty")));
  EXPECT_EQ(ReadFile(Out("empty")), "");
  ExpectSuccess();
}

// --- Ends without summary ------------------------------------------------------------

TEST_F(DriverTest, AnUnknownMethodIsRefusedByNameAndTheWalkGoesOn) {
  WriteFile("out/m12.bin", "precious");
  OverwriteMode = ReplaceWithoutAsking;
  ZipEntry bz;
  bz.name = "m12.bin";
  bz.method = 12;
  bz.data = Bytes("BZh91AY&SY");
  ZipEntry fresh = bz;
  fresh.name = "fresh.bin";
  Open(ZipBuilder().Stored("before", "b").Add(fresh).Add(bz).Stored("after", "a"));
  Extract();
  // The first is named; the second only counted; the summary counts both.
  ASSERT_EQ(posix::Messages.size(), 2u);
  EXPECT_EQ(posix::Messages[0].text, "fresh.bin");
  EXPECT_EQ(posix::Messages[0].caption, "Unknown compression type");
  ExpectFailureSummaryLast();
  EXPECT_EQ(ExitCode, ExitNotExtracted);
  EXPECT_FALSE(Exists(Out("fresh.bin"))) << "nothing is created for it";
  EXPECT_EQ(ReadFile(Out("m12.bin")), "precious") << "an existing file keeps its bytes";
  EXPECT_EQ(ReadFile(Out("before")), "b");
  EXPECT_EQ(ReadFile(Out("after")), "a");
}

TEST_F(DriverTest, CancelEndsTheRunBeforeTheFileIsTouched) {
  WriteFile("out/second", "keep me");
  OverwriteMode = ReplaceWithoutAsking;
  Open(ZipBuilder().Stored("first", "1").Stored("second", "2").Stored("third", "3"));
  CancelRequested = 1;  // left from an earlier run: a new pass clears it
  scripted::OnPump = [&] {
    if (scripted::Pumps == 3) CancelRequested = 1;  // start, first file, then the second comes up
  };
  Extract();
  EXPECT_EQ(ReadFile(Out("first")), "1");
  EXPECT_EQ(ReadFile(Out("second")), "keep me");
  EXPECT_FALSE(Exists(Out("third")));
  EXPECT_TRUE(posix::Messages.empty());
  EXPECT_EQ(ExtractionSucceeded, 0);
}

TEST_F(DriverTest, EmptyNameEndsTheRun) {
  Open(ZipBuilder().Stored("", "nameless").Stored("after", "a"));
  Extract();
  ExpectOnlyMessage("Invalid filename.", "Error..", 0x10);
  EXPECT_FALSE(Exists(Out("after")));
}

// --- Names that leave the destination ----------------------------------------------

TEST_F(DriverTest, NamesThatLeaveTheDestinationAreRefused) {
  const std::vector<std::string> hostile = {
      "../evil.txt", "/abs.txt", "\\abs2.txt", "C:evil.txt", "dir/../../evil2.txt",
      "dir\\..\\..\\evil3.txt", "file.txt:stream", "... /evil4.txt", ".. \\evil5.txt"};
  for (const std::string& name : hostile) {
    posix::Messages.clear();
    CloseFile(ArchiveHandle);
    Open(ZipBuilder().Stored(name, "owned").Stored("fine/inside.txt", "ok"));
    Extract();
    EXPECT_EQ(ReadFile(Out("fine/inside.txt")), "ok") << "the walk goes on";
    ASSERT_EQ(posix::Messages.size(), 2u) << name;
    EXPECT_EQ(posix::Messages[0].text, name);
    EXPECT_EQ(posix::Messages[0].caption, "Invalid filename.");
    EXPECT_EQ(posix::Messages[0].style, 0x10u);
    EXPECT_EQ(posix::Messages[0].owner, MainWindow);
    ExpectFailureSummaryLast();
  }
  for (const char* leaked : {"evil.txt", "evil2.txt", "evil3.txt", "abs.txt", "abs2.txt"})
    EXPECT_FALSE(Exists(scratch_ + "/" + leaked)) << leaked;
  EXPECT_FALSE(Exists("/abs.txt"));
}

TEST_F(DriverTest, OnlyTheFirstRefusedNameOfARunIsShown) {
  ZipBuilder zip;
  for (int i = 0; i < 50; ++i) zip.Stored("../evil" + std::to_string(i), "x");
  zip.Stored("kept.txt", "k");
  Open(zip);
  Extract();
  ASSERT_EQ(posix::Messages.size(), 2u) << "the first name, then the summary";
  EXPECT_EQ(posix::Messages[0].text, "../evil0");
  ExpectFailureSummaryLast();
  EXPECT_EQ(ReadFile(Out("kept.txt")), "k");
  posix::Messages.clear();
  Extract();  // a new run shows its first refused name again
  EXPECT_EQ(posix::Messages[0].text, "../evil0");
}

TEST_F(DriverTest, RefusedNamesAreNeverDeleted) {
  WriteFile("victim.txt", "stays");
  Open(ZipBuilder().Stored("../victim.txt", "x").Stored("mine.txt", "m"));
  Extract();
  EXPECT_EQ(ReadFile(Out("mine.txt")), "m");
  posix::Messages.clear();
  Delete();
  EXPECT_EQ(ReadFile(scratch_ + "/victim.txt"), "stays");
  EXPECT_FALSE(Exists(Out("mine.txt")));
  EXPECT_TRUE(posix::Messages.empty());
}

TEST_F(DriverTest, NamesPastTheSystemsLimitsAreRefusedWhole) {
  // A part of 256 UTF-16 units, and a path of more than MaxPathUnits in
  // parts that each fit: both refused, never cut; paths past the old
  // 255 characters are written.
  std::string part256(256, 'h');
  std::string part255 = std::string(254, 'q') + "\xCE\xB1";  // 255 units in 256 bytes
  std::string overall;
  while (overall.size() <= MaxPathUnits) overall += std::string(200, 'p') + "/";
  overall += "x";
  std::string deep = std::string(200, 'a') + "/" + std::string(200, 'b') + "/c.txt";
  Open(ZipBuilder().Stored(part256, "1").Stored(overall, "2").Stored(deep, "3").Stored("last.txt", "4"));
  Extract();
  ASSERT_EQ(posix::Messages.size(), 2u) << "one message for the first refused name, then the summary";
  EXPECT_EQ(posix::Messages[0].caption, "Invalid filename.");
  EXPECT_EQ(posix::Messages[0].text, part256);
  ExpectFailureSummaryLast();
  EXPECT_EQ(ReadFile(Out(deep)), "3") << "a path of more than 400 characters";
  EXPECT_EQ(ReadFile(Out("last.txt")), "4") << "the walk steps over refused names by their lengths";
  struct stat st;
  EXPECT_NE(stat(Out(std::string(200, 'p')).c_str(), &st), 0) << "no folder of a refused path";
  // 255 units in one part are the limit, not 255 bytes (Linux takes 255
  // bytes a name, so this one is judged by the walk alone).
  posix::Messages.clear();
  CloseFile(ArchiveHandle);
  ZipEntry greek;
  greek.name = part255;
  greek.extraFlags = FlagUtf8Name;
  Open(ZipBuilder().Add(greek));
  Extract();
  ASSERT_FALSE(posix::Messages.empty());
  EXPECT_NE(posix::Messages[0].caption, "Invalid filename.");
}

// --- Walking what real tools write --------------------------------------------------

TEST_F(DriverTest, ExtraFieldsAndDataDescriptorsAreSteppedOver) {
  ZipEntry extra;
  extra.name = "extra.txt";
  extra.data = Bytes("after an extra field");
  extra.extra = std::vector<uint8_t>(28, 0x55);
  ZipEntry described;
  described.name = "described.txt";
  described.data = Bytes("before a descriptor");
  described.descriptor = true;
  ZipEntry bare = described;
  bare.name = "bare.txt";
  bare.descriptorSignature = false;
  Open(ZipBuilder().Add(extra).Add(described).Add(bare).Stored("last.txt", "end"));
  Extract();
  EXPECT_EQ(ReadFile(Out("extra.txt")), "after an extra field");
  EXPECT_EQ(ReadFile(Out("described.txt")), "before a descriptor");
  EXPECT_EQ(ReadFile(Out("bare.txt")), "before a descriptor");
  EXPECT_EQ(ReadFile(Out("last.txt")), "end");
  ExpectSuccess();
}

TEST_F(DriverTest, AStoredEntryWithoutSizesAndWithoutADirectoryEndsTheWalkByName) {
  ZipEntry piped;
  piped.name = "piped.txt";
  piped.data = Bytes("written to a pipe");
  piped.sizesInHeader = false;
  Open(ZipBuilder().Stored("first", "f").Add(piped).Stored("after", "a").LocalPart());
  Count();
  ExpectOnlyMessage("piped.txt", "Error reading archive.", 0x10);
  posix::Messages.clear();
  Extract();
  ASSERT_EQ(posix::Messages.size(), 2u);
  EXPECT_EQ(posix::Messages[0].text, "piped.txt");
  EXPECT_EQ(posix::Messages[0].caption, "Error reading archive.");
  ExpectFailureSummaryLast();
  EXPECT_EQ(ExitCode, ExitUnreadable);
  EXPECT_EQ(ReadFile(Out("first")), "f");
  EXPECT_FALSE(Exists(Out("piped.txt")));
  EXPECT_FALSE(Exists(Out("after")));
}

TEST_F(DriverTest, FolderEntriesBecomeFolders) {
  ASSERT_EQ(mkdir(Out("old").c_str(), 0755), 0);
  OverwriteMode = KeepExisting;  // an existing folder is no file to keep
  Open(ZipBuilder().Folder("src/").Folder("old/").Folder("a\\b\\").Stored("src/x.c", "int x;"));
  Extract();
  EXPECT_TRUE(IsFolder(Out("src")));
  EXPECT_TRUE(IsFolder(Out("a/b")));
  EXPECT_EQ(ReadFile(Out("src/x.c")), "int x;");
  ExpectSuccess();
}

TEST_F(DriverTest, InfoZipArchiveWithFoldersAndExtraFields) {
  std::vector<uint8_t> zip = MadeBy(
      "mkdir -p src/deep && printf 'alpha' > src/a.txt && printf 'beta' > src/deep/b.txt && "
      "touch -d '2010-03-04 05:06:08' src/a.txt && zip -q -r -0 made.zip src",
      "made.zip");
  Open(zip);
  Count();
  EXPECT_EQ(ArchiveTotal, 9);
  Extract();
  EXPECT_EQ(ReadFile(Out("src/a.txt")), "alpha");
  EXPECT_EQ(ReadFile(Out("src/deep/b.txt")), "beta");
  EXPECT_EQ(ModifiedAt(Out("src/a.txt")), ModifiedAt(scratch_ + "/tool/src/a.txt"));
  ExpectSuccess();
}

TEST_F(DriverTest, InfoZipEncryptedArchive) {
  std::vector<uint8_t> zip = MadeBy(
      "printf 'one' > 1.txt && printf 'two two' > 2.txt && zip -q -0 -P hush enc.zip 1.txt 2.txt", "enc.zip");
  scripted::PasswordReplies = {"hush"};
  Open(zip);
  Extract();
  EXPECT_EQ(scripted::Asked.size(), 1u);
  EXPECT_EQ(ReadFile(Out("1.txt")), "one");
  EXPECT_EQ(ReadFile(Out("2.txt")), "two two");
  ExpectSuccess();
}

TEST_F(DriverTest, PythonZipfileArchiveWithoutExtraFields) {
  std::vector<uint8_t> zip = MadeBy(
      "python3 -c \"import zipfile; z = zipfile.ZipFile('py.zip', 'w'); "
      "z.writestr(zipfile.ZipInfo('p/q.txt', (2001, 7, 15, 12, 30, 10)), 'from python'); "
      "z.writestr('r.txt', 'second'); z.close()\"",
      "py.zip");
  ScopedZone zone;
  Open(zip);
  Extract();
  EXPECT_EQ(ReadFile(Out("p/q.txt")), "from python");
  EXPECT_EQ(ReadFile(Out("r.txt")), "second");
  EXPECT_EQ(ModifiedAt(Out("p/q.txt")), July15Utc + 5 * 3600);
  ExpectSuccess();
}

TEST_F(DriverTest, PythonZipfileWrittenToAPipeIsExtracted) {
  std::vector<uint8_t> zip = MadeBy(
      "python3 -c \"import sys, zipfile; z = zipfile.ZipFile(sys.stdout.buffer, 'w', zipfile.ZIP_DEFLATED); "
      "z.writestr('s.txt', 'streamed'); z.writestr('t.txt', 'also'); z.close()\" | cat > piped.zip",
      "piped.zip");
  Open(zip);
  Extract();
  ExpectSuccess();
  EXPECT_EQ(ReadFile(Out("s.txt")), "streamed");
  EXPECT_EQ(ReadFile(Out("t.txt")), "also");
}

// --- Spanned archives --------------------------------------------------------------

TEST_F(DriverTest, AnEntryThatCrossesIntoTheNextVolume) {
  std::vector<uint8_t> archive = {0x50, 0x4B, 0x07, 0x08};  // the spanning marker
  std::vector<uint8_t> zip =
      ZipBuilder().Stored("a", "first").Stored("b", std::string(5000, 'b')).Stored("c", "third").Bytes();
  archive.insert(archive.end(), zip.begin(), zip.end());
  size_t cut = 4 + 30 + 1 + 5 + 30 + 1 + 2000;  // inside b's data
  Open(std::vector<uint8_t>(archive.begin(), archive.begin() + static_cast<long>(cut)));
  WriteFile("setup.z02", std::vector<uint8_t>(archive.begin() + static_cast<long>(cut), archive.end()));
  Extract();
  EXPECT_EQ(ReadFile(Out("b")), std::string(5000, 'b'));
  EXPECT_EQ(ReadFile(Out("c")), "third") << "the next header is sought in the new volume";
  EXPECT_EQ(CurrentVolume, 2);
  ExpectSuccess();
}

TEST_F(DriverTest, AMissingVolumeIsReportedOnceAndEndsTheRun) {
  std::vector<uint8_t> archive = {0x50, 0x4B, 0x07, 0x08};  // the spanning marker
  std::vector<uint8_t> local =
      ZipBuilder().Stored("a", "first").Stored("b", std::string(5000, 'b')).Stored("c", "third").LocalPart();
  archive.insert(archive.end(), local.begin(), local.end());
  size_t cut = 4 + 30 + 1 + 5 + 30 + 1 + 2000;  // inside b's data; setup.z02 is missing
  Open(std::vector<uint8_t>(archive.begin(), archive.begin() + static_cast<long>(cut)));
  Extract();
  EXPECT_EQ(ReadFile(Out("a")), "first");
  ASSERT_EQ(posix::Messages.size(), 2u) << posix::Messages.back().text;
  EXPECT_EQ(posix::Messages[0].caption, "Multi Volume");
  EXPECT_NE(posix::Messages[0].text.find("setup.z02 Cannot Find File"), std::string::npos) << posix::Messages[0].text;
  ExpectFailureSummaryLast();
  EXPECT_FALSE(Exists(Out("b"))) << "no fragment under the name of an entry that could not be had";
  EXPECT_EQ(ExitCode, ExitNotExtracted);
}

// A spanned archive's spanning marker, then the local part of zip.
std::vector<uint8_t> Spanned(const ZipBuilder& zip) {
  std::vector<uint8_t> archive = {0x50, 0x4B, 0x07, 0x08};
  std::vector<uint8_t> local = zip.LocalPart();
  archive.insert(archive.end(), local.begin(), local.end());
  return archive;
}

TEST_F(DriverTest, AnEmptyVolumeInTheMiddleIsAFailedVolumeNotACancel) {
  std::vector<uint8_t> archive =
      Spanned(ZipBuilder().Stored("a", "first").Stored("b", std::string(5000, 'b')).Stored("c", "third"));
  size_t cut = 4 + 30 + 1 + 5 + 30 + 1 + 2000;  // inside b's data
  Open(std::vector<uint8_t>(archive.begin(), archive.begin() + static_cast<long>(cut)));
  WriteFile("setup.z02", std::string());
  WriteFile("setup.z03", std::vector<uint8_t>(archive.begin() + static_cast<long>(cut), archive.end()));
  Extract();
  EXPECT_EQ(ReadFile(Out("a")), "first");
  EXPECT_FALSE(Exists(Out("b"))) << "no fragment of the entry the empty volume cut";
  EXPECT_FALSE(Exists(Out("c")));
  EXPECT_FALSE(CancelRequested);
  ASSERT_EQ(posix::Messages.size(), 2u) << posix::Messages.back().text;
  EXPECT_EQ(posix::Messages[0].text, "Error reading archive.");
  ExpectFailureSummaryLast();
  EXPECT_EQ(ExitCode, ExitUnreadable);
}

TEST_F(DriverTest, ASingleFileCutShortNeverReadsOnInAFileBesideIt) {
  std::vector<uint8_t> archive =
      ZipBuilder().Stored("a", "first").Stored("b", std::string(5000, 'b')).Stored("c", "third").Bytes();
  size_t cut = 30 + 1 + 5 + 30 + 1 + 2000;  // inside b's data, no spanning marker
  Open(std::vector<uint8_t>(archive.begin(), archive.begin() + static_cast<long>(cut)));
  // A file planted beside the program under the name of a second volume: the
  // rest of b, then an entry of its own.
  std::vector<uint8_t> planted(3000, 'b');
  std::vector<uint8_t> dll = ZipBuilder().Stored("evil.dll", "MZ planted").Bytes();
  planted.insert(planted.end(), dll.begin(), dll.end());
  WriteFile("setup.z02", planted);
  Extract();
  EXPECT_EQ(ReadFile(Out("a")), "first");
  EXPECT_FALSE(Exists(Out("evil.dll"))) << "the planted file was read as a volume";
  EXPECT_FALSE(Exists(Out("b"))) << "no fragment of the entry the archive's end cut";
  EXPECT_EQ(CurrentVolume, 1);
  ASSERT_EQ(posix::Messages.size(), 2u) << posix::Messages.back().text;
  EXPECT_EQ(posix::Messages[0].text, "Error reading archive.");
  ExpectFailureSummaryLast();
  EXPECT_EQ(ExitCode, ExitUnreadable);
}

// --- Deflate entries -----------------------------------------------------------------

TEST_F(DriverTest, DeflateEntriesReachTheDecoder) {
  std::string text;
  for (int i = 0; i < 5000; ++i) text += "line " + std::to_string(i % 97) + "\n";
  ZipEntry packed;
  packed.name = "packed.txt";
  packed.data = Bytes(text);
  packed.method = 8;
  ZipEntry locked = Encrypted("locked.txt", text, "pw");
  locked.method = 8;
  scripted::PasswordReplies = {"pw"};
  Open(ZipBuilder().Add(packed).Add(locked).Stored("after", "a"));
  Extract();
  EXPECT_EQ(ReadFile(Out("packed.txt")), text);
  EXPECT_EQ(ReadFile(Out("locked.txt")), text);
  EXPECT_EQ(ReadFile(Out("after")), "a");
  ExpectSuccess();
}

// --- Damaged archives ------------------------------------------------------------------

TEST_F(DriverTest, DamagedArchivesEndTheWalkWithoutFaults) {
  // Bytes of a valid archive changed at random: every pass must end, stay
  // inside its buffers (ASan watches) and write nothing outside the
  // destination.
  ZipEntry extra;
  extra.name = "e/x.txt";
  extra.data = Bytes("extra field entry");
  extra.extra = std::vector<uint8_t>(28, 1);
  ZipEntry described = Encrypted("d.bin", "encrypted with descriptor", "pw");
  described.descriptor = true;
  ZipEntry packed;
  packed.name = "p.txt";
  packed.data = Bytes(std::string(3000, 'p'));
  packed.method = 8;
  std::vector<uint8_t> good =
      ZipBuilder().Stored("a.txt", "alpha").Add(extra).Add(described).Add(packed).Folder("f/").Bytes();
  uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return seed >> 8;
  };
  for (int round = 0; round < 300; ++round) {
    std::vector<uint8_t> bad = good;
    for (int flips = 1 + static_cast<int>(next() % 4); flips > 0; --flips)
      bad[next() % bad.size()] = static_cast<uint8_t>(next());
    if (ArchiveHandle != NoFile) CloseFile(ArchiveHandle);
    Open(bad);
    OverwriteMode = ReplaceWithoutAsking;
    Count();
    Extract();
    Delete();
  }
  for (const char* leaked : {"a.txt", "x.txt", "d.bin", "p.txt"}) EXPECT_FALSE(Exists(scratch_ + "/" + leaked));
}

// --- Deletion pass -------------------------------------------------------------------

TEST_F(DriverTest, DeletionPassRemovesFilesAndLeavesFolders) {
  std::strcpy(CurrentPassword, "pw");
  Open(ZipBuilder()
           .Stored("top.txt", "t")
           .Folder("made/")
           .Stored("made/deep/inner.txt", "i")
           .Add(Encrypted("locked.txt", "l", "pw")));
  Extract();
  ExpectSuccess();
  posix::Messages.clear();
  scripted::Asked.clear();
  std::strcpy(CurrentPassword, "");
  Delete();
  EXPECT_FALSE(Exists(Out("top.txt")));
  EXPECT_FALSE(Exists(Out("made/deep/inner.txt")));
  EXPECT_FALSE(Exists(Out("locked.txt")));
  EXPECT_TRUE(IsFolder(Out("made")));
  EXPECT_TRUE(IsFolder(Out("made/deep")));
  EXPECT_TRUE(scripted::Asked.empty()) << "no password is asked";
  EXPECT_TRUE(posix::Messages.empty());
  EXPECT_EQ(scripted::EntryNames.size(), 8u) << "names shown in both passes";
}

}  // namespace

namespace {

TEST_F(DriverTest, DeletionSparesFilesThisRunDidNotWrite) {
  // kept.txt: answered No; fresh.txt: written; other.txt: not in the archive.
  WriteFile("out/kept.txt", "the user's own");
  WriteFile("out/other.txt", "unrelated");
  Open(ZipBuilder().Stored("kept.txt", "archived").Stored("fresh.txt", "new"));
  scripted::OverwriteReplies = {{false, false}};
  Extract();
  ExpectFailureSummaryLast();
  Delete();
  EXPECT_EQ(ReadFile(Out("kept.txt")), "the user's own");
  EXPECT_EQ(ReadFile(Out("other.txt")), "unrelated");
  EXPECT_FALSE(Exists(Out("fresh.txt")));
}

TEST_F(DriverTest, DeletionSparesFilesTheOverwriteSettingKept) {
  WriteFile("out/a.txt", "old");
  Open(ZipBuilder().Stored("a.txt", "new").Stored("b.txt", "b"));
  OverwriteMode = KeepExisting;
  Extract();
  Delete();
  EXPECT_EQ(ReadFile(Out("a.txt")), "old");
  EXPECT_FALSE(Exists(Out("b.txt")));
}

TEST_F(DriverTest, DeletionSparesFilesOfEntriesTheRunNeverReached) {
  // Three wrong passwords end the run at the second entry; the third entry's
  // file, present before, is none of this run's.
  WriteFile("out/later.txt", "before the run");
  Open(ZipBuilder().Stored("first.txt", "1").Add(Encrypted("locked.txt", "l", "pw")).Stored("later.txt", "3"));
  scripted::PasswordReplies = {"x", "y", "z"};
  Extract();
  EXPECT_EQ(ReadFile(Out("first.txt")), "1");
  Delete();
  EXPECT_FALSE(Exists(Out("first.txt")));
  EXPECT_EQ(ReadFile(Out("later.txt")), "before the run");
}

TEST_F(DriverTest, DeletionReachesEveryFileOfAnArchiveOfMoreThan65536Entries) {
  // The record of written files grows with the walk: entries far past any
  // fixed size are deleted like the first.
  const int entries = 70000;
  ZipBuilder zip;
  for (int i = 0; i < entries; ++i) zip.Stored("d" + std::to_string(i / 1000) + "/" + std::to_string(i), "");
  zip.Stored("last.txt", "z");
  Open(zip);
  OverwriteMode = ReplaceWithoutAsking;
  Extract();
  ExpectSuccess();
  ASSERT_TRUE(Exists(Out("d69/69999")));
  Delete();
  EXPECT_FALSE(Exists(Out("d0/0")));
  EXPECT_FALSE(Exists(Out("d65/65536"))) << "the first entry past 65,536";
  EXPECT_FALSE(Exists(Out("d69/69999")));
  EXPECT_FALSE(Exists(Out("last.txt")));
}

// A file the deletion pass cannot delete, as one that another process holds
// open: the platform refuses to delete it.
static void HoldOpen(const std::string& file) { posix::Undeletable.insert(file); }

TEST_F(DriverTest, TheDeletionPassNamesTheFilesItLeftAndEndsWithOne) {
  Open(ZipBuilder().Stored("gone.txt", "g").Folder("sub/").Stored("sub/held.txt", "h").Stored("taken.txt", "t"));
  Extract();
  ExpectSuccess();
  HoldOpen(Out("sub/held.txt"));
  ASSERT_EQ(std::remove(Out("taken.txt").c_str()), 0);  // deleted by the program itself: nothing left
  posix::Messages.clear();
  Delete();
  EXPECT_FALSE(Exists(Out("gone.txt")));
  ExpectOnlyMessage("These files could not be deleted:\n\nsub/held.txt", "Error..", 0x10, Progress);
  EXPECT_EQ(ExitCode, ExitNotExtracted);
}

TEST_F(DriverTest, TheDeletionPassNamesFiveLeftFilesAndCountsTheOthers) {
  ZipBuilder zip;
  for (int i = 1; i <= 7; ++i) zip.Stored("f" + std::to_string(i) + ".txt", "x");
  Open(zip);
  Extract();
  ExpectSuccess();
  for (int i = 1; i <= 7; ++i) HoldOpen(Out("f" + std::to_string(i) + ".txt"));
  posix::Messages.clear();
  Delete();
  ExpectOnlyMessage("These files could not be deleted:\n\nf1.txt\nf2.txt\nf3.txt\nf4.txt\nf5.txt\nOthers not deleted: 2",
                    "Error..", 0x10, Progress);
  EXPECT_EQ(ExitCode, ExitNotExtracted);
}

TEST_F(DriverTest, ADeletionPassThatDeletesEverythingSaysNothingAndKeepsTheExitCode) {
  Open(ZipBuilder().Stored("a.txt", "a"));
  Extract();
  ExpectSuccess();
  posix::Messages.clear();
  Delete();
  EXPECT_FALSE(Exists(Out("a.txt")));
  EXPECT_TRUE(posix::Messages.empty());
  EXPECT_EQ(ExitCode, ExitExtracted);
}

TEST_F(DriverTest, AReplacedFileIsDeletedAgain) {
  WriteFile("out/a.txt", "old");
  Open(ZipBuilder().Stored("a.txt", "new"));
  OverwriteMode = ReplaceWithoutAsking;
  Extract();
  ExpectSuccess();
  Delete();
  EXPECT_FALSE(Exists(Out("a.txt")));
}

}  // namespace

namespace {

TEST_F(DriverTest, EachNewFileCostsOneNameLookup) {
  // Under Wine every name looked up may scan its folder: a new file in a
  // known folder needs its creation alone (CREATE_NEW); the folders are
  // looked at once, for the first file that finds them missing.
  ZipBuilder zip;
  for (int i = 0; i < 40; ++i) zip.Stored("deep/er/file" + std::to_string(i) + ".txt", "x");
  Open(zip);
  posix::NameLookups = 0;
  Extract();
  ExpectSuccess();
  EXPECT_LE(posix::NameLookups, 40 + 8) << "one look-up per new file, and the folders made once";
}

TEST_F(DriverTest, EachNewFolderEntryCostsOneCall) {
  // As zip -r lists a tree: each folder after the one it is in.
  ZipBuilder zip;
  std::string folder;
  for (int i = 0; i < 30; ++i) {
    folder += "d" + std::to_string(i) + "/";
    zip.Folder(folder);
  }
  zip.Stored(folder + "last.txt", "x");
  Open(zip);
  posix::NameLookups = 0;
  Extract();
  ExpectSuccess();
  EXPECT_TRUE(Exists(Out(folder + "last.txt")));
  EXPECT_LE(posix::NameLookups, 30 + 1) << "one call per folder entry, one for the file";
}

TEST_F(DriverTest, AFolderEntryOverAFileOfItsNameEndsTheWalk) {
  WriteFile("out/taken", "a file");
  Open(ZipBuilder().Stored("first.txt", "1").Folder("taken/").Stored("after.txt", "2"));
  Extract();
  EXPECT_EQ(ReadFile(Out("taken")), "a file");
  EXPECT_FALSE(Exists(Out("after.txt")));
  ASSERT_GE(posix::Messages.size(), 1u);
  EXPECT_EQ(posix::Messages[0].text, dest_ + "\\taken");
  EXPECT_EQ(posix::Messages[0].caption, "Error in directory ..");
  ExpectFailureSummaryLast();
}

}  // namespace

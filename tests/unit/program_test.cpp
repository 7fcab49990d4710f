// The program block, SeekArchive and the message catalogue.
#include <set>
#include <cstring>
#include "SFXstrings/strings.h"
#include "Sfx/sfx.h"
#include "Sfx/state.h"
#include "tests/support/posix_control.h"
#include "tests/unit/fixture.h"
#include "tests/support/scripted_ui.h"

namespace {

using ProgramTest = SfxTest;

TEST_F(ProgramTest, OwnFileThatCannotBeOpenedIsReportedWithItsPath) {
  posix::OwnPath = WriteFile("setup.exe", StubThen({}));
  posix::FailOwnOpen = true;
  EXPECT_EQ(RunProgram(), ExitUnreadable);
  ASSERT_EQ(posix::Messages.size(), 1u);
  EXPECT_EQ(posix::Messages[0].owner, nullptr);
  EXPECT_EQ(posix::Messages[0].text, posix::OwnPath);
  EXPECT_EQ(posix::Messages[0].caption, "Error reading archive.");
  EXPECT_EQ(posix::Messages[0].style, 0x10u);
  EXPECT_TRUE(scripted::MainDialogTemplates.empty()) << "no dialog may be shown";
}

TEST_F(ProgramTest, NormalRunReadsConfigRunsMainDialogAndCloses) {
  std::vector<uint8_t> block = {'V', 'R', 'N', 0x40, 0, 0, 0};
  block.resize(256, 0);
  posix::OwnPath = WriteFile("setup.exe", StubThen(block));
  uint32_t startSeen = 0;
  bool tableReady = false;
  scripted::MainDialogBody = [&] {
    startSeen = ArchiveStart;
    tableReady = CrcTable != nullptr && CrcTable[1] == 0x77073096u;
  };
  CrcTable = nullptr;  // start-up allocates its own table
  EXPECT_EQ(RunProgram(), 0);
  ASSERT_EQ(scripted::MainDialogTemplates.size(), 1u);
  EXPECT_EQ(scripted::MainDialogTemplates[0], "MainDialog");
  EXPECT_EQ(startSeen, 51968u);
  EXPECT_TRUE(tableReady);
  EXPECT_TRUE(AutoExtract);
  EXPECT_EQ(ArchiveHandle, NoFile) << "the archive is closed at the end";
  EXPECT_EQ(CrcTable, nullptr);
  EXPECT_TRUE(posix::Messages.empty());
}

TEST_F(ProgramTest, TheExitCodeIsTheWaitedForProgramsOrTellsItCouldNotStart) {
  posix::OwnPath = WriteFile("setup.exe", StubThen({}));
  scripted::MainDialogBody = [] {
    ExitCode = ExitExtracted;
    RunState = RunEnded;
    RunExitCode = 3010;
  };
  EXPECT_EQ(RunProgram(), 3010);
  scripted::MainDialogBody = [] { RunState = RunNotStarted; };
  EXPECT_EQ(RunProgram(), ExitRunFailed);
  scripted::MainDialogBody = [] {
    RunState = RunNotWaitedFor;
    ExitCode = ExitNotExtracted;
  };
  EXPECT_EQ(RunProgram(), ExitNotExtracted) << "without a waited-for program, the extraction's code";
}

TEST_F(ProgramTest, FilesLeftAfterAProgramThatEndedWithZeroMakeTheExitCodeOne) {
  posix::OwnPath = WriteFile("setup.exe", StubThen({}));
  scripted::MainDialogBody = [] {
    RunState = RunEnded;
    RunExitCode = 0;
    ExitCode = ExitNotExtracted;  // the deletion pass left files
  };
  EXPECT_EQ(RunProgram(), ExitNotExtracted);
  scripted::MainDialogBody = [] {
    RunState = RunEnded;
    RunExitCode = 3010;
    ExitCode = ExitNotExtracted;
  };
  EXPECT_EQ(RunProgram(), 3010) << "the program's own code, when not 0, is the stub's";
  scripted::MainDialogBody = [] {
    RunState = RunEnded;
    RunExitCode = 0;
    ExitCode = ExitExtracted;
  };
  EXPECT_EQ(RunProgram(), 0);
}

TEST_F(ProgramTest, ClosesTheHandleOfALaterVolume) {
  posix::OwnPath = WriteFile("setup.exe", StubThen({}));
  std::string volume = WriteFile("setup.z02", "volume two");
  scripted::MainDialogBody = [&] {
    CloseFile(ArchiveHandle);
    ArchiveHandle = OpenForReading(volume.c_str());
  };
  CrcTable = nullptr;
  EXPECT_EQ(RunProgram(), 0);
  EXPECT_TRUE(posix::Messages.empty()) << "closing the volume's handle succeeds";
}

TEST_F(ProgramTest, FailedCloseIsReported) {
  posix::OwnPath = WriteFile("setup.exe", StubThen({}));
  scripted::MainDialogBody = [] {
    CloseFile(ArchiveHandle);  // the program's own close then fails
  };
  CrcTable = nullptr;
  EXPECT_EQ(RunProgram(), 0);
  ASSERT_EQ(posix::Messages.size(), 1u);
  EXPECT_EQ(posix::Messages[0].text, "Cannot close the file");
  EXPECT_EQ(posix::Messages[0].caption, "Error..");
  EXPECT_EQ(posix::Messages[0].style, 0x10u);
}

TEST_F(ProgramTest, SeekArchiveRecordsPosition) {
  OpenArchive(WriteFile("a.bin", "0123456789"));
  EXPECT_EQ(SeekArchive(4, SeekFromBegin), 0);
  EXPECT_EQ(ArchivePosition, 4u);
  // Beyond the end succeeds; the next read comes up short.
  EXPECT_EQ(SeekArchive(100, SeekFromBegin), 0);
  EXPECT_EQ(ArchivePosition, 100u);
  char c;
  EXPECT_EQ(ReadFromFile(ArchiveHandle, &c, 1), 0u);
  // Before the beginning is a platform failure.
  EXPECT_EQ(SeekArchive(-5, SeekFromCurrent), 0);
  EXPECT_EQ(SeekArchive(-500, SeekFromCurrent), -1);
  EXPECT_EQ(ArchivePosition, 0xFFFFFFFFu);
}

TEST(Catalogue, TextsKeepTheirBlanksAndStops) {
  EXPECT_STREQ(LoadMessage(65505).text, "Insert Disk Number ");
  EXPECT_STREQ(LoadMessage(65508).text, " Cannot Find File");
  EXPECT_STREQ(LoadMessage(65523).text, "Cannot open file ..");
  EXPECT_STREQ(LoadMessage(65532).text, "The selected file(s) couldn't get extracted.");
  EXPECT_STREQ(LoadMessage(65534).text, "After extraction, run : ");
  EXPECT_STREQ(LoadMessage(65535).text, "Extract to : ");
  EXPECT_STREQ(LoadMessage(MsgMainTemplate).text, "MainDialog");
}

TEST(Catalogue, EmptyAndUndefinedEntriesAreEmpty) {
  EXPECT_STREQ(LoadMessage(65506).text, "");
  EXPECT_STREQ(LoadMessage(MsgDatePattern).text, "") << "dates are the system's";
  for (unsigned id : {65511u, 65512u}) EXPECT_STREQ(LoadMessage(id).text, "") << id;
  EXPECT_STREQ(LoadMessage(65519).text, "");
  EXPECT_STREQ(LoadMessage(1).text, "");
}

TEST(Catalogue, IdentifiersAreUniqueAndInTheTopBlocks) {
  // A repeated identifier would let one text hide another in the string
  // table; identifiers outside 65504..65535 would not be where the stub
  // looks for them.
  const unsigned ids[] = {
#define MESSAGE(id, name, text) id,
#include "SFXstrings/catalogue.def"
#undef MESSAGE
  };
  std::set<unsigned> seen;
  for (unsigned id : ids) {
    EXPECT_TRUE(seen.insert(id).second) << "identifier " << id << " is used twice";
    EXPECT_GE(id, 65504u);
    EXPECT_LE(id, 65535u);
  }
}

TEST(Catalogue, TextsAreCutToTheRoomGiven) {
  char small[7];
  std::memset(small, 'x', sizeof small);
  EXPECT_EQ(LoadCatalogueText(MsgErrorReading, small, 6), 5u);
  EXPECT_STREQ(small, "Error");
  EXPECT_EQ(small[6], 'x') << "nothing is written past the room";
}

}  // namespace

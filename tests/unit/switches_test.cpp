// The command line of an unattended run: the switches, the log and the
// silent answers, the folder macros, and the exit code that a script reads.
#include <cstring>
#include <string>
#include "Dialogsel/command.h"
#include "Sfx/config.h"
#include "Sfx/report.h"
#include "Sfx/sfx.h"
#include "Sfx/switches.h"
#include "tests/support/fresh_state.h"
#include "tests/unit/driver_fixture.h"

namespace {

class SwitchesTest : public DriverTest {
 protected:
  bool Take(const std::string& line) {
    posix::CommandLine = line;
    return TakeCommandLine();
  }
  void TearDown() override {
    if (LogHandle != 0) CloseFile(LogHandle);
    LogHandle = 0;
    DriverTest::TearDown();
  }
};

TEST_F(SwitchesTest, NoArgumentsChangeNothing) {
  for (const char* line : {"sfx.exe", "\"C:\\Program Files\\my setup.exe\"", "\"C:\\a b\\x.exe\"   ", "x.exe\t"}) {
    EXPECT_TRUE(Take(line)) << line;
    EXPECT_EQ(Silent, 0) << line;
    EXPECT_STREQ(SwitchDestination, "") << line;
    EXPECT_STREQ(RunArguments, "") << line;
    EXPECT_STREQ(CurrentPassword, "") << line;
    EXPECT_EQ(LogHandle, nullptr) << line;
  }
  EXPECT_TRUE(posix::Messages.empty());
}

TEST_F(SwitchesTest, SilentFolderPasswordAndTheProgramsOwnArguments) {
  EXPECT_TRUE(Take("\"C:\\dl\\setup.exe\" /s /P=\"pass word\" /D=C:\\with space\\x"));
  EXPECT_EQ(Silent, 1);
  EXPECT_STREQ(CurrentPassword, "pass word");
  EXPECT_STREQ(SwitchDestination, "C:\\with space\\x") << "/D= takes the rest of the line, blanks and all";

  FreshProgramState();
  EXPECT_TRUE(Take("setup.exe -S /D=\"C:\\q r\"  -- /quiet  /norestart"));
  EXPECT_EQ(Silent, 1);
  EXPECT_STREQ(SwitchDestination, "C:\\q r") << "quotes around the folder and blanks before -- go";
  EXPECT_STREQ(RunArguments, "/quiet  /norestart");

  FreshProgramState();
  EXPECT_TRUE(Take("setup.exe -- /D=C:\\x /S"));
  EXPECT_EQ(Silent, 0) << "after --, nothing is the stub's";
  EXPECT_STREQ(SwitchDestination, "");
  EXPECT_STREQ(RunArguments, "/D=C:\\x /S");

  FreshProgramState();
  EXPECT_TRUE(Take("setup.exe /d=C:\\a--b --x"));
  EXPECT_STREQ(SwitchDestination, "C:\\a--b --x") << "only a -- standing alone ends the folder";
  EXPECT_TRUE(posix::Messages.empty());
}

TEST_F(SwitchesTest, AnUnknownSwitchShowsTheListAndEndsWithItsOwnCode) {
  for (const char* line : {"setup.exe /X", "setup.exe -y -oC:\\x", "setup.exe plain", "setup.exe /Silent",
                           "setup.exe /D=", "setup.exe /S /Q"}) {
    FreshProgramState();
    posix::Messages.clear();
    EXPECT_FALSE(Take(line)) << line;
    EXPECT_EQ(ExitCode, ExitBadSwitch) << line;
    // With /S there is no window at all.
    size_t boxes = std::strstr(line, "/S ") != nullptr ? 0u : 1u;
    ASSERT_EQ(posix::Messages.size(), boxes) << line;
    if (boxes == 0) continue;
    EXPECT_EQ(posix::Messages[0].caption, "Switches");
    EXPECT_NE(posix::Messages[0].text.find("/D=FOLDER"), std::string::npos);
    EXPECT_EQ(posix::Messages[0].style, 0x10u) << "an error";
  }
  FreshProgramState();
  posix::Messages.clear();
  EXPECT_FALSE(Take("setup.exe /?"));
  EXPECT_EQ(ExitCode, ExitExtracted) << "asked for: no failure";
  ASSERT_EQ(posix::Messages.size(), 1u);
  EXPECT_EQ(posix::Messages[0].style, 0x40u) << "information";
}

TEST_F(SwitchesTest, NothingIsCutShortOrChangedOnTheWay) {
  // A long password, in any script, is taken whole (the prompt's field
  // holds as much as a command line can).
  std::string longest;
  for (int i = 0; i < 4000; ++i) longest += "p\xC3\xA4";
  EXPECT_TRUE(Take("setup.exe /P=\"" + longest + " \xE2\x82\xAC\" /S"));
  EXPECT_EQ(std::string(CurrentPassword), longest + " \xE2\x82\xAC");
  EXPECT_EQ(Silent, 1);
  // A folder the destination field's code page cannot hold would be another folder.
  FreshProgramState();
  EXPECT_FALSE(Take("setup.exe /D=C:\\\xCE\xA9mega"));
  EXPECT_STREQ(SwitchDestination, "");
  FreshProgramState();
  EXPECT_TRUE(Take("setup.exe /D=C:\\Caf\xC3\xA9"));
  EXPECT_STREQ(SwitchDestination, "C:\\Caf\xE9") << "in the ANSI code page, as the field holds it";
}

TEST_F(SwitchesTest, TheLogIsMadeOnlyForACommandLineThatIsTaken) {
  std::string log = scratch_ + "/run.log";
  EXPECT_FALSE(Take("setup.exe /S /LOG=" + log + " /bogus"));
  EXPECT_FALSE(Exists(log)) << "nothing written for an unknown switch";
  FreshProgramState();
  EXPECT_FALSE(Take("setup.exe /LOG=" + scratch_ + "/missing/run.log"));
  EXPECT_EQ(ExitCode, ExitBadSwitch);
  ASSERT_EQ(posix::Messages.size(), 1u);
  EXPECT_EQ(posix::Messages[0].caption, "Cannot open file ..");
  FreshProgramState();
  EXPECT_TRUE(Take("setup.exe /LOG=\"" + scratch_ + "/a log.txt\""));
  EXPECT_NE(LogHandle, nullptr);
  EXPECT_TRUE(Exists(scratch_ + "/a log.txt"));
}

// A silent extraction: the questions answered as documented, each entry and
// each message in the log.
TEST_F(SwitchesTest, SilentRunAnswersEveryQuestionAndLogsEveryEntry) {
  ZipEntry bad;
  bad.name = "bad.txt";
  bad.data = Bytes("damaged");
  bad.crc = 0x12345678;
  Open(ZipBuilder().Stored("good.txt", "g").Add(bad).Stored("sub/more.txt", "m"));
  std::string log = scratch_ + "/run.log";
  ASSERT_TRUE(Take("setup.exe /S /LOG=" + log));
  Extract();
  EXPECT_EQ(ExitCode, ExitNotExtracted);
  EXPECT_TRUE(Exists(Out("good.txt")));
  EXPECT_FALSE(Exists(Out("bad.txt")));
  EXPECT_TRUE(Exists(Out("sub/more.txt")));
  int answer = 0;
  EXPECT_TRUE(MessageHeld("Insert Disk Number 2", "Multi Volume", BoxOkCancel | BoxIconInformation, &answer));
  EXPECT_EQ(answer, AnswerCancel) << "a disk asked for in silence is missing";
  EXPECT_TRUE(MessageHeld("x", "y", BoxOk, &answer));
  EXPECT_EQ(answer, AnswerOk);
  CloseFile(LogHandle);
  LogHandle = 0;
  std::string text = ReadFile(log);
  EXPECT_NE(text.find("extracted good.txt\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("not extracted bad.txt\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("extracted sub/more.txt\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Error..: The selected file(s) couldn't get extracted.\n\nbad.txt"), std::string::npos) << text;
  EXPECT_LT(text.find("good.txt"), text.find("bad.txt")) << "in walk order";
}

TEST_F(SwitchesTest, AWindowedRunLogsTooButStillAsks) {
  Open(ZipBuilder().Stored("a.txt", "a"));
  std::string log = scratch_ + "/run.log";
  ASSERT_TRUE(Take("setup.exe /LOG=" + log));
  int answer = 0;
  EXPECT_FALSE(MessageHeld("t", "c", BoxOkCancel, &answer)) << "shown, not held";
  Extract();
  ExpectSuccess();
  CloseFile(LogHandle);
  LogHandle = 0;
  EXPECT_EQ(ReadFile(log), "c: t\r\nextracted a.txt\r\nFinished.: All files have been extracted.\r\n");
}

class MacroTest : public SwitchesTest {
 protected:
  std::string Expanded(const char* text) {
    char out[TextBufferSize];
    std::strcpy(out, text);
    ExpandPathMacros(out);
    return out;
  }
};

TEST_F(MacroTest, EachMacroIsTheFolderTheSystemNames) {
  posix::MacroFolders[MacroProgramFiles32] = "C:\\Program Files (x86)";
  posix::MacroFolders[MacroLocalAppData] = "C:\\Users\\u\\AppData\\Local";
  posix::MacroFolders[MacroCommonAppData] = "C:\\ProgramData";
  posix::MacroFolders[MacroDesktop] = "C:\\Users\\u\\Desktop";
  posix::MacroFolders[MacroDocuments] = "C:\\Users\\u\\Documents";
  posix::MacroFolders[MacroProfile] = "C:\\Users\\u";
  EXPECT_EQ(Expanded("{pf}\\Acme"), "C:\\Program Files\\Acme");
  EXPECT_EQ(Expanded("{pf32}\\Acme"), "C:\\Program Files (x86)\\Acme") << "not taken for {pf}";
  EXPECT_EQ(Expanded("{appdata}\\A;{localappdata}\\B"), "C:\\Users\\u\\AppData\\Roaming\\A;C:\\Users\\u\\AppData\\Local\\B");
  EXPECT_EQ(Expanded("{commonappdata}|{desktop}|{documents}|{profile}"),
            "C:\\ProgramData|C:\\Users\\u\\Desktop|C:\\Users\\u\\Documents|C:\\Users\\u");
  // The first design's macros and rules stand.
  EXPECT_EQ(Expanded("{win}\\x {sys}"), "C:\\WINDOWS\\x C:\\WINDOWS\\system32");
  EXPECT_EQ(Expanded("{PF}\\a{p}{pf3}{profiles}b"), "\\ab") << "unknown tokens, case and prefixes dropped";
  EXPECT_EQ(Expanded("{pf\\a"), "{pf\\a");
  EXPECT_STREQ(PrivateTempFolder, "") << "no temporary folder made unasked";
}

TEST_F(MacroTest, TempIsOneNewFolderOfTheRunsOwn) {
  posix::MacroFolders[MacroTemp] = scratch_;
  std::string first = Expanded("{temp}\\a");
  ASSERT_FALSE(posix::PrivateTemp.empty());
  EXPECT_EQ(first, posix::PrivateTemp + "\\a");
  EXPECT_TRUE(IsFolder(posix::PrivateTemp)) << "made at its first use";
  EXPECT_EQ(posix::PrivateTemp.rfind(scratch_ + "/", 0), 0u) << "under the user's temporary folder";
  EXPECT_EQ(Expanded("{temp}"), posix::PrivateTemp) << "the same folder for the run command";
  EXPECT_EQ(std::string(PrivateTempFolder), posix::PrivateTemp);
  posix::MacroFolders[MacroTemp] = "";
  posix::PrivateTemp.clear();
  PrivateTempFolder[0] = 0;
  EXPECT_EQ(Expanded("{temp}\\a"), "\\a") << "none to be had: the macro is empty";
}

TEST_F(MacroTest, TheFolderOfTheCommandLineComesFirst) {
  std::strcpy(DefaultDestination, "{pf}\\Acme");
  HasDefaultDestination = 1;
  ProposeDestination();
  EXPECT_STREQ(DestinationFolder, "C:\\Program Files\\Acme");
  ASSERT_TRUE(Take("setup.exe /D={appdata}\\Mine"));
  ProposeDestination();
  EXPECT_STREQ(DestinationFolder, "C:\\Users\\u\\AppData\\Roaming\\Mine");
}

TEST_F(MacroTest, WaitThenDeleteRemovesTheTemporaryFolderWhole) {
  posix::MacroFolders[MacroTemp] = scratch_;
  Open(ZipBuilder().Stored("setup.exe", "program").Stored("data/a.txt", "a"));
  ASSERT_TRUE(Take("x.exe /D={temp}\\pkg -- /quiet /log=\"C:\\l.txt\""));
  ProposeDestination();
  std::string temp = posix::PrivateTemp;
  ASSERT_FALSE(temp.empty());
  Extract();
  ExpectSuccess();
  ASSERT_TRUE(Exists(temp + "/pkg/data/a.txt"));
  std::strcpy(RunCommand, "><setup.exe|/S");
  HasRunCommand = 1;
  WaitThenDelete = 1;
  // The program leaves a file of its own in the folder.
  posix::WhileRunning = [&] { WriteFile(temp.substr(scratch_.size() + 1) + "/pkg/setup.log", "l"); };
  RunAfterExtraction(MainWindow, 1);
  ASSERT_EQ(posix::Started.size(), 1u);
  EXPECT_EQ(posix::Started[0], "run:\"" + temp + "\\pkg\\setup.exe\" /S /quiet /log=\"C:\\l.txt\"|" + temp + "\\pkg\\")
      << "the arguments after -- follow the block's";
  EXPECT_FALSE(Exists(temp)) << "removed whole";
}

TEST_F(MacroTest, WithoutWaitingTheFilesStayInTheTemporaryFolder) {
  posix::MacroFolders[MacroTemp] = scratch_;
  Open(ZipBuilder().Stored("setup.exe", "program"));
  ASSERT_TRUE(Take("x.exe /D={temp}"));
  ProposeDestination();
  Extract();
  std::strcpy(RunCommand, "><setup.exe");
  HasRunCommand = 1;
  RunAfterExtraction(MainWindow, 1);
  EXPECT_TRUE(Exists(posix::PrivateTemp + "/setup.exe"));
}

struct ExitCase {
  ExitCodeKind pass;
  RunStateKind run;
  uint32_t programCode;
  int expected;
};

class ExitCodeTest : public ::testing::TestWithParam<ExitCase> {};

TEST_P(ExitCodeTest, OneFunctionDecides) {
  FreshProgramState();
  ExitCode = GetParam().pass;
  RunState = GetParam().run;
  RunExitCode = GetParam().programCode;
  EXPECT_EQ(ProcessExitCode(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ExitCodeTest,
    ::testing::Values(ExitCase{ExitExtracted, RunNotWaitedFor, 7, 0}, ExitCase{ExitNotExtracted, RunNotWaitedFor, 0, 1},
                      ExitCase{ExitUnreadable, RunNotWaitedFor, 0, 2}, ExitCase{ExitCancelled, RunNotWaitedFor, 0, 3},
                      ExitCase{ExitBadSwitch, RunNotWaitedFor, 0, 5}, ExitCase{ExitExtracted, RunNotStarted, 0, 4},
                      ExitCase{ExitExtracted, RunEnded, 3010, 3010}, ExitCase{ExitExtracted, RunEnded, 0, 0},
                      ExitCase{ExitNotExtracted, RunEnded, 0, 1}, ExitCase{ExitNotExtracted, RunEnded, 2, 2}));

}  // namespace

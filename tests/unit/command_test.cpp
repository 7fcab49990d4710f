// The program run after extraction: the command's two parts, the shell's
// open, and the waited-for process followed by the deletion pass.
#include <unistd.h>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include "Dialogsel/command.h"
#include "tests/support/scripted_ui.h"
#include "tests/unit/driver_fixture.h"

namespace {

class CommandTest : public DriverTest {
 protected:
  void Configure(const char* command) {
    std::strcpy(RunCommand, command);
    HasRunCommand = 1;
  }
  std::string Part(CommandPartKind kind) {
    char part[TextBufferSize];
    EXPECT_TRUE(RunCommandPart(kind, part));
    return part;
  }
};

TEST_F(CommandTest, TheDestinationStandsForItsMark) {
  std::strcpy(DestinationFolder, "C:\\Out");
  Configure("><setup.exe");
  EXPECT_EQ(Part(ProgramPart), "C:\\Out\\setup.exe");
  EXPECT_EQ(Part(ParametersPart), "");
  EXPECT_STREQ(DestinationFolder, "C:\\Out\\") << "the destination gets its backslash in place";
}

TEST_F(CommandTest, TheFirstBarSplitsTheParts) {
  std::strcpy(DestinationFolder, "D:\\x\\");
  Configure("{win}\\notepad.exe|><read me.txt|more|><");
  EXPECT_EQ(Part(ProgramPart), "{win}\\notepad.exe");
  EXPECT_EQ(Part(ParametersPart), "D:\\x\\read me.txt|more|D:\\x\\");
  Configure("plain.exe");
  EXPECT_EQ(Part(ProgramPart), "plain.exe");
  EXPECT_EQ(Part(ParametersPart), "");
}

TEST_F(CommandTest, ADestinationWithoutRoomForItsBackslashFormsNoCommand) {
  std::string longest(TextBufferSize - 1, 'd');
  std::strcpy(DestinationFolder, longest.c_str());
  Configure("><setup.exe");
  char part[TextBufferSize];
  EXPECT_FALSE(RunCommandPart(ProgramPart, part));
  EXPECT_STREQ(part, "");
  EXPECT_EQ(std::string(DestinationFolder), longest) << "nothing written past the buffer";
  RunAfterExtraction(MainWindow, 1);
  EXPECT_TRUE(posix::Started.empty());
  ExpectOnlyMessage("Error in directory ..", "Error..", 0x10);
}

TEST_F(CommandTest, TheShellOpensTheProgramAndNothingIsDeleted) {
  Open(ZipBuilder().Stored("setup.exe", "program").Stored("readme.txt", "r"));
  Extract();
  ExpectSuccess();
  Configure("><setup.exe|/quiet");
  RunAfterExtraction(MainWindow, 1);
  ASSERT_EQ(posix::Started.size(), 1u);
  EXPECT_EQ(posix::Started[0], "open:" + dest_ + "\\setup.exe|/quiet|" + dest_ + "\\") << "run in the destination";
  EXPECT_TRUE(Exists(Out("setup.exe")));
  EXPECT_TRUE(Exists(Out("readme.txt")));
}

TEST_F(CommandTest, AnUncheckedBoxOrNoCommandStartsNothing) {
  Open(ZipBuilder().Stored("a.txt", "a"));
  Extract();
  Configure("><a.txt");
  WaitThenDelete = 1;
  RunAfterExtraction(MainWindow, 0);
  HasRunCommand = 0;
  RunAfterExtraction(MainWindow, 1);
  EXPECT_TRUE(posix::Started.empty());
  EXPECT_TRUE(Exists(Out("a.txt")));
}

TEST_F(CommandTest, AWaitedForProgramIsFollowedByTheDeletionPass) {
  Open(ZipBuilder().Folder("made/").Stored("made/tool.exe", "t").Stored("data.txt", "d"));
  Extract();
  ExpectSuccess();
  Configure("><made\\tool.exe|--go");
  WaitThenDelete = 1;
  bool presentWhileRunning = false;
  posix::WhileRunning = [&] { presentWhileRunning = Exists(Out("made/tool.exe")) && Exists(Out("data.txt")); };
  RunAfterExtraction(MainWindow, 1);
  ASSERT_EQ(posix::Started.size(), 1u);
  EXPECT_EQ(posix::Started[0], "run:\"" + dest_ + "\\made\\tool.exe\" --go|" + dest_ + "\\")
      << "the program quoted and named, run in the destination";
  EXPECT_TRUE(presentWhileRunning) << "deleted only after the program ended";
  EXPECT_FALSE(Exists(Out("made/tool.exe")));
  EXPECT_FALSE(Exists(Out("data.txt")));
  EXPECT_TRUE(IsFolder(Out("made"))) << "folders stay";
}

// A file the program put in the place of one the run wrote is not the run's
// to delete; one it changed in place still is.
TEST_F(CommandTest, TheDeletionPassDeletesOnlyTheFilesItWrote) {
  Open(ZipBuilder().Stored("tool.exe", "t").Stored("replaced.txt", "archived").Stored("changed.txt", "archived"));
  WaitThenDelete = 1;  // from the block, before the extraction: each file's identity is kept
  Extract();
  ExpectSuccess();
  Configure("><tool.exe");
  posix::WhileRunning = [&] {
    // Made beside it, then moved over it: another file under its name.
    WriteFile("out/mine.tmp", "the user's own");
    ASSERT_EQ(rename(Out("mine.tmp").c_str(), Out("replaced.txt").c_str()), 0);
    FILE* changed = fopen(Out("changed.txt").c_str(), "a");
    ASSERT_NE(changed, nullptr);
    fputs(" and more", changed);
    fclose(changed);
  };
  posix::Messages.clear();
  RunAfterExtraction(MainWindow, 1);
  EXPECT_FALSE(Exists(Out("tool.exe")));
  EXPECT_FALSE(Exists(Out("changed.txt"))) << "the same file, changed";
  ASSERT_TRUE(Exists(Out("replaced.txt")));
  EXPECT_EQ(ReadFile(Out("replaced.txt")), "the user's own");
  EXPECT_TRUE(posix::Messages.empty()) << "a file that is not the run's is no failure to delete";
  EXPECT_EQ(ExitCode, ExitExtracted);
}

TEST_F(CommandTest, TheDeletionPassFollowsNoLinkOutOfTheDestination) {
  // The program replaces the extracted folder sub by a link to another
  // folder that holds files of the same names, and the file top.txt by a
  // link to a file outside: nothing outside is deleted through them.
  Open(ZipBuilder().Folder("sub/").Stored("sub/secret.txt", "s").Stored("top.txt", "t").Stored("plain.txt", "p"));
  Extract();
  ExpectSuccess();
  std::string victim = scratch_ + "/victim";
  ASSERT_EQ(mkdir(victim.c_str(), 0755), 0);
  WriteFile("victim/secret.txt", "keep me");
  WriteFile("victim/outside.txt", "keep me too");
  Configure("><plain.txt");
  WaitThenDelete = 1;
  posix::WhileRunning = [&] {
    std::remove(Out("sub/secret.txt").c_str());
    rmdir(Out("sub").c_str());
    ASSERT_EQ(symlink(victim.c_str(), Out("sub").c_str()), 0);
    std::remove(Out("top.txt").c_str());
    ASSERT_EQ(symlink((victim + "/outside.txt").c_str(), Out("top.txt").c_str()), 0);
  };
  RunAfterExtraction(MainWindow, 1);
  EXPECT_EQ(ReadFile(victim + "/secret.txt"), "keep me") << "deleted through the folder's link";
  EXPECT_EQ(ReadFile(victim + "/outside.txt"), "keep me too") << "deleted through the file's link";
  EXPECT_FALSE(Exists(Out("plain.txt"))) << "the run's own files still go";
}

TEST_F(CommandTest, AFileTheProgramKeepsIsNamedAfterItAndTheRunFails) {
  // The program ends with 0 but another process holds data.txt open: the
  // deletion pass names it, and the exit code becomes 1 (the program block
  // ends with it: program_test).
  Open(ZipBuilder().Stored("tool.exe", "t").Stored("data.txt", "d"));
  Extract();
  ExpectSuccess();
  Configure("><tool.exe");
  WaitThenDelete = 1;
  posix::WhileRunning = [&] {
    posix::Undeletable.insert(Out("data.txt"));
  };
  posix::Messages.clear();
  RunAfterExtraction(MainWindow, 1);
  EXPECT_FALSE(Exists(Out("tool.exe")));
  ExpectOnlyMessage("These files could not be deleted:\n\ndata.txt", "Error..", 0x10, Progress);
  EXPECT_EQ(RunState, RunEnded);
  EXPECT_EQ(RunExitCode, 0u);
  EXPECT_EQ(ExitCode, ExitNotExtracted);
}

TEST_F(CommandTest, FilesAreDeletedAlsoWhenTheProgramCannotStart) {
  Open(ZipBuilder().Stored("a.txt", "a"));
  Extract();
  Configure("missing.exe");
  WaitThenDelete = 1;
  posix::FailStart = true;
  posix::Messages.clear();
  RunAfterExtraction(MainWindow, 1);
  EXPECT_FALSE(Exists(Out("a.txt")));
  EXPECT_EQ(RunState, RunNotStarted);
  ASSERT_EQ(posix::Messages.size(), 1u) << "a program that cannot be started is named";
  EXPECT_EQ(posix::Messages[0].text, "missing.exe");
  EXPECT_EQ(posix::Messages[0].caption, "Cannot open file ..");
  EXPECT_EQ(posix::Messages[0].style, 0x10u);
}

TEST_F(CommandTest, AWaitedForProgramsExitCodeIsKept) {
  Open(ZipBuilder().Stored("tool.exe", "t"));
  Extract();
  Configure("><tool.exe");
  WaitThenDelete = 1;
  posix::StartedExitCode = 3010;  // "restart required", as installers say
  RunAfterExtraction(MainWindow, 1);
  EXPECT_EQ(RunState, RunEnded);
  EXPECT_EQ(RunExitCode, 3010u);
}

TEST_F(CommandTest, AProgramTheShellCannotOpenIsNamedAndEndsWithFour) {
  Open(ZipBuilder().Stored("a.txt", "a"));
  Extract();
  Configure("><MyTool\\setup.exe");
  posix::FailStart = true;
  posix::Messages.clear();
  RunAfterExtraction(MainWindow, 1);
  EXPECT_EQ(RunState, RunNotStarted);
  ASSERT_EQ(posix::Messages.size(), 1u);
  EXPECT_EQ(posix::Messages[0].text, dest_ + "\\MyTool\\setup.exe");
  EXPECT_EQ(posix::Messages[0].caption, "Cannot open file ..");
  EXPECT_TRUE(Exists(Out("a.txt"))) << "nothing is deleted without wait-then-delete";
}

TEST_F(CommandTest, TheDestinationBeforeAQuoteKeepsItsBackslashForTheProgram) {
  std::strcpy(DestinationFolder, "C:\\dest dir");
  Configure("><setup.exe|/install \"><\" /log \"><log.txt\"");
  EXPECT_EQ(Part(ParametersPart), "/install \"C:\\dest dir\\\\\" /log \"C:\\dest dir\\log.txt\"");
}

TEST_F(CommandTest, ARunTextWithoutAProgramStartsNothingAndSaysNothing) {
  Open(ZipBuilder().Stored("a.txt", "a"));
  Extract();
  Configure("|only parameters");
  posix::Messages.clear();
  RunAfterExtraction(MainWindow, 1);
  EXPECT_TRUE(posix::Started.empty());
  EXPECT_TRUE(posix::Messages.empty());
  EXPECT_EQ(RunState, RunNotWaitedFor);
}

TEST_F(CommandTest, AProgramOpenedThroughTheShellIsNotWaitedFor) {
  Open(ZipBuilder().Stored("tool.exe", "t"));
  Extract();
  Configure("><tool.exe");
  RunAfterExtraction(MainWindow, 1);
  EXPECT_EQ(RunState, RunNotWaitedFor);
}

}  // namespace

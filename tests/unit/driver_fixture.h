// The extraction driver's test fixture: a destination folder in the scratch
// area, the self-extracting file written behind a stub of zeros, the three
// passes, and the checks of the messages a run ends with.
#pragma once
#include <sys/stat.h>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>
#include "Sfx/state.h"
#include "archive/driver.h"
#include "tests/support/posix_control.h"
#include "tests/support/zip_builder.h"
#include "tests/unit/fixture.h"

inline const WindowHandle MainWindow = reinterpret_cast<WindowHandle>(0x55);
inline const WindowHandle Progress = reinterpret_cast<WindowHandle>(0x77);
inline const time_t July15Utc = 995200210;  // 2001-07-15 12:30:10 UTC

class DriverTest : public SfxTest {
 protected:
  void SetUp() override {
    SfxTest::SetUp();
    dest_ = scratch_ + "/out";
    ASSERT_EQ(mkdir(dest_.c_str(), 0755), 0);
    std::strcpy(DestinationFolder, dest_.c_str());
    ProgressWindow = Progress;
    OverwriteMode = AskEachFile;
  }
  // The self-extracting file: the stub's bytes, then the archive.
  void Open(const std::vector<uint8_t>& archive) {
    std::string path = WriteFile("setup.exe", StubThen(archive));
    std::strcpy(OwnPath, path.c_str());
    OpenArchive(path);
    ArchiveStart = StubSize;
  }
  void Open(const ZipBuilder& zip) { Open(zip.Bytes()); }
  void Count() { ExtractArchive(MainWindow, CountPass); }
  void Extract() { ExtractArchive(MainWindow, ExtractPass); }
  void Delete() { ExtractArchive(ProgressWindow, DeletePass); }
  std::string Out(const std::string& name) const { return dest_ + "/" + name; }
  // An archive made by a shell command run in a fresh folder of the scratch
  // area; returns its bytes.
  std::vector<uint8_t> MadeBy(const std::string& command, const std::string& result) {
    std::string folder = scratch_ + "/tool";
    std::string full = "mkdir -p '" + folder + "' && cd '" + folder + "' && " + command;
    EXPECT_EQ(std::system(full.c_str()), 0) << command;
    std::string bytes = ReadFile(folder + "/" + result);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
  }

  void ExpectOnlyMessage(const std::string& text, const std::string& caption, unsigned style,
                         WindowHandle owner = MainWindow) {
    ASSERT_EQ(posix::Messages.size(), 1u) << (posix::Messages.empty() ? "" : posix::Messages[0].text);
    EXPECT_EQ(posix::Messages[0].text, text);
    EXPECT_EQ(posix::Messages[0].caption, caption);
    EXPECT_EQ(posix::Messages[0].style, style);
    EXPECT_EQ(posix::Messages[0].owner, owner);
  }
  void ExpectSuccess() {
    ExpectOnlyMessage("All files have been extracted.", "Finished.", 0);
    EXPECT_EQ(ExtractionSucceeded, 1);
  }
  // The failure summary: its first line, then the entries it names.
  void ExpectFailureSummaryLast() {
    ASSERT_FALSE(posix::Messages.empty());
    EXPECT_EQ(posix::Messages.back().text.substr(0, posix::Messages.back().text.find('\n')),
              "The selected file(s) couldn't get extracted.");
    EXPECT_EQ(posix::Messages.back().caption, "Error..");
    EXPECT_EQ(posix::Messages.back().style, 0x10u);
    EXPECT_EQ(ExtractionSucceeded, 0);
  }

  std::string dest_;
};

inline bool IsFolder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

inline time_t ModifiedAt(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? st.st_mtime : 0;
}

inline ZipEntry Encrypted(const std::string& name, const std::string& text, const std::string& password) {
  ZipEntry e;
  e.name = name;
  e.data = Bytes(text);
  e.password = password;
  return e;
}


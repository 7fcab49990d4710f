// The three passes on an arbitrary archive over a real folder tree: the count
// pass, the extraction pass into a destination that may hold files already,
// and the deletion pass, over up to three volumes, with a remembered and a
// typed password. Whatever the archive claims, nothing outside the
// destination may change, and the exit code must tell the outcome: a run
// that showed the failure summary or could not read the archive never ends
// with 0, nothing here cancels, so never with 3, and 0 means success. A
// program that tests every entry first (VerifyFirst) and ends with 2, its
// test having found damage, changed nothing in the destination either: no
// file written, none replaced, no folder made (a spanned archive is not
// tested first, so it is no such program). After a run that extracted
// everything, the deletion pass deletes every file it wrote (nothing here
// holds one) and the code stays 0.
//
// The input: a control byte, two 16-bit little-endian volume lengths, then
// the bytes of the volumes. Control bit 0: a second volume (setup.z02) takes
// the first length's worth after the first volume; bit 1: a third volume
// (setup.z03) takes the rest; bit 2: the password "pw" is remembered; bit 3:
// the destination holds files of likely names; bits 4-5: the overwrite mode;
// bit 6: every entry is tested before any is written (VerifyFirst).
#include <dirent.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include "SFXstrings/strings.h"
#include "Sfx/state.h"
#include "archive/driver.h"
#include "tests/support/posix_control.h"
#include "tests/support/fresh_state.h"
#include "tests/support/scripted_ui.h"

namespace {

}  // namespace
void RemoveTree(const std::string& path);
namespace {

// The scratch tree of this process, removed again at exit.
std::string Root() {
  static char root[64] = "";
  if (root[0] == 0) {
    std::strcpy(root, "/tmp/korvi-extract-fuzz-XXXXXX");
    if (mkdtemp(root) == nullptr) abort();
    std::atexit([] { RemoveTree(root); });
  }
  return root;
}

void WriteAll(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) abort();
  if (size > 0 && std::fwrite(data, 1, size, f) != size) abort();
  std::fclose(f);
}

int RemoveOne(const char* path, const struct stat*, int, struct FTW*) { return ::remove(path); }

}  // namespace

void RemoveTree(const std::string& path) { nftw(path.c_str(), RemoveOne, 16, FTW_DEPTH | FTW_PHYS); }

namespace {

// Every path below root, with its contents: those in the destination or
// those outside it.
std::map<std::string, std::string> Tree(bool inDestination) {
  std::map<std::string, std::string> seen;
  static std::map<std::string, std::string>* into;
  static bool inside;
  into = &seen;
  inside = inDestination;
  nftw(
      Root().c_str(),
      [](const char* path, const struct stat* st, int, struct FTW*) {
        std::string p(path);
        if ((p.rfind(Root() + "/dest", 0) == 0) != inside) return 0;
        std::string contents = S_ISDIR(st->st_mode) ? "<dir>" : "";
        if (S_ISREG(st->st_mode)) {
          FILE* f = std::fopen(path, "rb");
          char buffer[4096];
          for (size_t n; f != nullptr && (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) contents.append(buffer, n);
          if (f != nullptr) std::fclose(f);
        }
        (*into)[p] = contents;
        return 0;
      },
      16, FTW_PHYS);
  return seen;
}

std::map<std::string, std::string> Outside() { return Tree(false); }
std::map<std::string, std::string> Inside() { return Tree(true); }

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

bool SummaryShown() {
  Message summary = LoadMessage(MsgNotExtracted);
  for (const ShownMessage& m : posix::Messages)
    if (m.text == summary.text) return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  const uint8_t control = data[0];
  size_t firstLength = Le16(data + 1), secondLength = Le16(data + 3);
  data += 5;
  size -= 5;
  const std::string root = Root();
  RemoveTree(root + "/dest");
  for (const char* name : {"/setup.z02", "/setup.z03"}) ::remove((root + name).c_str());
  mkdir((root + "/dest").c_str(), 0755);
  mkdir((root + "/sibling").c_str(), 0755);
  WriteAll(root + "/outside.txt", reinterpret_cast<const uint8_t*>("outside"), 7);
  WriteAll(root + "/sibling/kept.txt", reinterpret_cast<const uint8_t*>("kept"), 4);

  // The volumes.
  size_t first = (control & 1) ? (firstLength < size ? firstLength : size) : size;
  WriteAll(root + "/setup.exe", data, first);
  if (control & 1) {
    size_t rest = size - first;
    size_t second = (control & 2) ? (secondLength < rest ? secondLength : rest) : rest;
    WriteAll(root + "/setup.z02", data + first, second);
    if (control & 2) WriteAll(root + "/setup.z03", data + first + second, rest - second);
  }
  if (control & 8) {
    for (const char* name : {"/dest/a", "/dest/a.txt", "/dest/b", "/dest/x.txt"})
      WriteAll(root + name, reinterpret_cast<const uint8_t*>("old"), 3);
  }
  const std::map<std::string, std::string> before = Outside(), destination = Inside();

  FreshProgramState();
  posix::OwnPath = root + "/setup.exe";
  std::strcpy(OwnPath, posix::OwnPath.c_str());
  ArchiveHandle = OpenForReading(OwnPath);
  ArchiveStart = 0;
  std::strcpy(DestinationFolder, (root + "/dest").c_str());
  if (control & 4) std::strcpy(CurrentPassword, "pw");
  scripted::PasswordReplies = {"x", "pw", "y"};
  scripted::OverwriteReplies = {{true, false}, {false, false}, {true, true}};
  scripted::DiskReplies = {true, false};
  OverwriteMode = static_cast<OverwriteChoice>(((control >> 4) & 3) % 3);  // bits 4-5 alone
  VerifyFirst = (control >> 6) & 1;  // the test pass before the extraction

  ExtractArchive(0, CountPass);
  posix::Messages.clear();
  ExtractArchive(0, ExtractPass);
  const bool summary = SummaryShown();
  const ExitCodeKind code = ExitCode;
  if (code == ExitCancelled) abort();                             // nothing cancelled
  if (summary && code == ExitExtracted) abort();                  // a failure told as success
  if ((code == ExitExtracted) != (ExtractionSucceeded != 0)) abort();
  // A tested program whose test failed wrote nothing.
  if (VerifyFirst && !ArchiveSpanned && code == ExitUnreadable && Inside() != destination) abort();
  ExtractArchive(0, DeletePass);
  // Nothing holds a file here: after a whole extraction the deletion pass
  // deletes every file it wrote and leaves the code at 0.
  if (code == ExitExtracted && ExitCode != ExitExtracted) abort();
  CloseFile(ArchiveHandle);
  ArchiveHandle = NoFile;

  if (Outside() != before) abort();  // something outside the destination changed
  return 0;
}

// Common ground of the host tests (see fixture.h).
#include "tests/unit/fixture.h"
#include <sys/stat.h>
#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include "Sfx/state.h"
#include "tests/support/fresh_state.h"

namespace {
std::string StartFolder;
}  // namespace

void SfxTest::SetUp() {
  FreshProgramState();
  char pattern[] = "/tmp/korvi-test-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  scratch_ = pattern;
  char here[4096];
  ASSERT_NE(getcwd(here, sizeof here), nullptr);
  StartFolder = here;
}

void SfxTest::TearDown() {
  if (ArchiveHandle != NoFile) CloseFile(ArchiveHandle);
  if (OutputHandle != NoFile) CloseFile(OutputHandle);
  ArchiveHandle = OutputHandle = NoFile;
  CrcTable = nullptr;
  if (chdir(StartFolder.c_str()) != 0) ADD_FAILURE() << "cannot return to " << StartFolder;
  std::error_code ignored;
  std::filesystem::remove_all(scratch_, ignored);
}

std::string SfxTest::WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
  std::string path = scratch_ + "/" + name;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path;
}

std::string SfxTest::WriteFile(const std::string& name, const std::string& text) {
  return WriteFile(name, Bytes(text));
}

std::string SfxTest::ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool SfxTest::Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

void SfxTest::OpenArchive(const std::string& path) {
  ArchiveHandle = OpenForReading(path.c_str());
  ASSERT_NE(ArchiveHandle, NoFile) << path;
}

std::vector<uint8_t> StubThen(const std::vector<uint8_t>& rest) {
  std::vector<uint8_t> out(StubSize, 0);
  out.insert(out.end(), rest.begin(), rest.end());
  return out;
}

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

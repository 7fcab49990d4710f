// The walk that the driver and mksfx share (archive/walk.h), through its own
// calls: how each step is classified, which names become output paths, and
// what each kind of damaged, cut or refused data comes to as one result.
#include <cstring>
#include <string>
#include <vector>
#include "Sfx/state.h"
#include "archive/names.h"
#include "archive/walk.h"
#include "archive/zip_format.h"
#include "tests/support/posix_control.h"
#include "tests/support/scripted_ui.h"
#include "tests/support/zip_builder.h"
#include "tests/unit/fixture.h"

namespace {

class WalkTest : public SfxTest {
 protected:
  // The archive behind a stub of zeros; the walk begun.
  void Begin(const std::vector<uint8_t>& archive) {
    std::string path = WriteFile("setup.exe", StubThen(archive));
    std::strcpy(OwnPath, path.c_str());
    posix::OwnPath = path;
    OpenArchive(path);
    ArchiveStart = StubSize;
    std::strcpy(DestinationFolder, "C:\\dest");
    ASSERT_TRUE(BeginWalk());
  }
  // The next entry, its data decoded into a scratch file.
  EntryResult DecodeNext() {
    EXPECT_EQ(NextEntry(), WalkEntry);
    FileHandle out = CreateForWriting((scratch_ + "/out.bin").c_str());
    EntryResult result = DecodeEntryInto(out);
    CloseFile(out);
    return result;
  }
  // An entry whose stored data is bytes, whatever its header claims.
  static ZipEntry Claiming(const std::string& bytes, uint32_t declaredSize, uint32_t crc) {
    ZipEntry e;
    e.name = "e.bin";
    e.data = Bytes(bytes);
    e.uncompressedSize = declaredSize;
    e.crc = crc;
    return e;
  }
  const EntryRecord& entry_ = CurrentEntry;
};

uint32_t CrcOf(const std::string& text) {
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char c : text) {
    crc ^= c;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return crc ^ 0xFFFFFFFFu;
}

TEST_F(WalkTest, StepsAreEntriesThenTheDirectory) {
  Begin(ZipBuilder().Stored("a.txt", "alpha").Folder("d/").Bytes());
  ASSERT_EQ(NextEntry(), WalkEntry);
  EXPECT_STREQ(entry_.name, "a.txt");
  EXPECT_FALSE(entry_.folder);
  EXPECT_EQ(entry_.volume, 1);
  ASSERT_EQ(StepOverEntry(entry_), WalkEntry);
  ASSERT_EQ(NextEntry(), WalkEntry);
  EXPECT_TRUE(entry_.folder);
  ASSERT_EQ(StepOverEntry(entry_), WalkEntry);
  EXPECT_EQ(NextEntry(), WalkEndAtDirectory);
}

TEST_F(WalkTest, AnArchiveWithoutItsDirectoryIsCutShort) {
  Begin(ZipBuilder().Stored("a.txt", "alpha").LocalPart());
  ASSERT_EQ(NextEntry(), WalkEntry);
  ASSERT_EQ(StepOverEntry(entry_), WalkEntry);
  EXPECT_EQ(NextEntry(), WalkCutShort);
}

TEST_F(WalkTest, AnEmptyNameAndUnknownSizesAreStepsOfTheirOwn) {
  Begin(ZipBuilder().Stored("", "x").Bytes());
  EXPECT_EQ(NextEntry(), WalkEmptyName);
  ZipEntry piped;
  piped.name = "p.txt";
  piped.data = Bytes("piped");
  piped.descriptor = true;
  piped.sizesInHeader = false;
  Begin(ZipBuilder().Add(piped).LocalPart());
  EXPECT_EQ(NextEntry(), WalkSizesUnknown) << "stored, and no directory to give its sizes";
  Begin(ZipBuilder().Add(piped).Bytes());
  EXPECT_EQ(NextEntry(), WalkEntry);
  EXPECT_EQ(CurrentEntry.sizeSource, SizesFromDirectory);
  EXPECT_EQ(CurrentEntry.uncompressedSize, 5u);
}

TEST_F(WalkTest, OutputPathsAreFormedOnlyForNamesThatMayBeWritten) {
  Begin(ZipBuilder().Stored("sub/a.txt", "a").Stored("../up", "u").Stored("t/", "data").Bytes());
  static char path[PathRoom];
  ASSERT_EQ(NextEntry(), WalkEntry);
  ASSERT_EQ(FormOutputPath(entry_, path), NameAccepted);
  EXPECT_STREQ(path, "C:\\dest\\sub\\a.txt") << "with Windows' own separators";
  ASSERT_EQ(StepOverEntry(entry_), WalkEntry);
  ASSERT_EQ(NextEntry(), WalkEntry);
  EXPECT_EQ(FormOutputPath(entry_, path), NameRefused);
  ASSERT_EQ(StepOverEntry(entry_), WalkEntry);
  ASSERT_EQ(NextEntry(), WalkEntry);
  EXPECT_EQ(FormOutputPath(entry_, path), NameRefused) << "a separator at the end with data names no file";
}

// A name of exactly units UTF-16 units: parts of character (unitsEach units
// each), at most 250 units a part, "/" between them, padded with "a".
std::string NameOfUnits(size_t units, const std::string& character, size_t unitsEach) {
  std::string name;
  size_t used = 0, inPart = 0;
  while (used + unitsEach <= units) {
    if (inPart + unitsEach > 250) {
      if (used + 1 + unitsEach > units) break;
      name += "/";
      ++used;
      inPart = 0;
    }
    name += character;
    used += unitsEach;
    inPart += unitsEach;
  }
  for (; used < units; ++used) name += "a";
  return name;
}

TEST_F(WalkTest, OutputPathsReachTheSystemsLimitInUtf16Units) {
  // The destination "C:\dest" (7 units), "\" and the name come to MaxPathUnits
  // at most, counted in UTF-16 units: a Greek letter is one (two bytes of
  // UTF-8), an emoji two (four bytes). A 16-bit name length holds them all.
  static char path[PathRoom];
  const size_t room = MaxPathUnits - 8;
  for (auto [character, units] : {std::pair<std::string, size_t>{"a", 1}, {"\xCE\xB1", 1}, {"\xF0\x9F\x98\x80", 2}}) {
    std::string fits = NameOfUnits(room, character, units);
    std::string over = fits + character;
    ZipEntry a, b;
    a.name = fits;
    b.name = over;
    a.extraFlags = b.extraFlags = FlagUtf8Name;
    Begin(ZipBuilder().Add(a).Add(b).Bytes());
    ASSERT_EQ(NextEntry(), WalkEntry);
    ASSERT_EQ(FormOutputPath(entry_, path), NameAccepted) << fits.size() << " bytes of " << character;
    std::string expected = "C:\\dest\\" + fits;
    for (char& c : expected) c = c == '/' ? '\\' : c;
    EXPECT_TRUE(std::string(path) == expected) << "never cut";
    ASSERT_EQ(StepOverEntry(entry_), WalkEntry);
    ASSERT_EQ(NextEntry(), WalkEntry);
    EXPECT_EQ(FormOutputPath(entry_, path), NameTooLong) << over.size() << " bytes of " << character;
  }
}

TEST_F(WalkTest, EachWayDataCanFailIsItsOwnResult) {
  const std::string text = "the entry's bytes";
  Begin(ZipBuilder().Stored("w.txt", text).Bytes());
  EXPECT_EQ(DecodeNext(), EntryWhole);

  Begin(ZipBuilder().Add(Claiming(text, static_cast<uint32_t>(text.size()), CrcOf(text) ^ 1)).Bytes());
  EXPECT_EQ(DecodeNext(), EntryCrcMismatch);

  // More data than declared, with the CRC of the declared part: never whole.
  Begin(ZipBuilder().Add(Claiming(text, 4, CrcOf(text.substr(0, 4)))).Bytes());
  EXPECT_EQ(DecodeNext(), EntrySizeMismatch);

  Begin(ZipBuilder().Stored("w.txt", text).Bytes());
  posix::DiskBytesLeft = 3;
  EXPECT_EQ(DecodeNext(), EntryWriteFailed);
  posix::DiskBytesLeft = -1;

  Begin(ZipBuilder().Stored("w.txt", text).Bytes());
  posix::AllocationsLeft = 0;
  EXPECT_EQ(DecodeNext(), EntryNoMemory);
  posix::AllocationsLeft = -1;
}

TEST_F(WalkTest, DataThatEndsEarlyIsCutShortOrAMissingVolume) {
  std::vector<uint8_t> whole = ZipBuilder().Stored("w.bin", std::string(5000, 'w')).Bytes();
  std::vector<uint8_t> cut(whole.begin(), whole.begin() + 2000);
  Begin(cut);
  EXPECT_EQ(DecodeNext(), EntryCutShort) << "a single file never reads on in another";
  EXPECT_EQ(CurrentVolume, 1);

  std::vector<uint8_t> spanned = {0x50, 0x4B, 0x07, 0x08};
  spanned.insert(spanned.end(), cut.begin(), cut.end());
  Begin(spanned);
  EXPECT_EQ(DecodeNext(), EntryVolumeMissing);
  EXPECT_FALSE(CancelRequested);
  EXPECT_EQ(StepOverEntry(entry_), WalkVolumeMissing) << "a volume that failed is not asked for again";
}

TEST_F(WalkTest, ACancelInsideTheDataIsACancel) {
  Begin(ZipBuilder().Stored("big.bin", std::string(200000, 'b')).Bytes());
  scripted::OnPump = [] { CancelRequested = 1; };
  EXPECT_EQ(DecodeNext(), EntryCancelled);
}

}  // namespace

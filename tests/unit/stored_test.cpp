// The stored-entry copy (chunks, decryption, short reads and the volume
// change), the progress accounting and its rounding, and file times.
#include <sys/stat.h>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>
#include "Sfx/sfx.h"
#include "Sfx/state.h"
#include "archive/crypt.h"
#include "archive/entry_data.h"
#include "archive/entry.h"
#include "archive/header.h"
#include "archive/progress.h"
#include "archive/stored.h"
#include "tests/support/posix_control.h"
#include "tests/unit/fixture.h"
#include "tests/support/scripted_ui.h"
#include "tests/unit/scoped_zone.h"
#include "tests/support/sealed.h"
#include "tests/support/zip_builder.h"

namespace {

class StoredTest : public SfxTest {
 protected:
  // The payload as the archive's bytes right behind the stub; output file
  // open for writing; EntryRemaining the payload's size.
  void Prepare(const std::vector<uint8_t>& payload, uint16_t flags = 0) {
    archive_ = WriteFile("setup.exe", StubThen(payload));
    std::strcpy(OwnPath, archive_.c_str());
    OpenArchive(archive_);
    ASSERT_EQ(SeekArchive(StubSize, SeekFromBegin), 0);
    output_ = scratch_ + "/out.bin";
    OutputHandle = CreateForWriting(output_.c_str());
    ASSERT_NE(OutputHandle, NoFile);
    CurrentEntry.flags = flags;
    EntryCipher = (flags & FlagEncrypted) ? CipherTraditional : CipherNone;
    EntryRemaining = static_cast<uint32_t>(payload.size());
    CurrentEntry.uncompressedSize = static_cast<uint32_t>(payload.size());
  CurrentEntry.endKnown = true;
    CurrentVolume = 1;
    ArchiveSpanned = 1;  // a short read goes on in the next volume
    CrcRegister = 0xFFFFFFFFu;
  }
  std::string Output() {
    CloseFile(OutputHandle);
    OutputHandle = NoFile;
    return ReadFile(output_);
  }
  std::string archive_, output_;
};

std::vector<uint8_t> Pattern(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 31 + (i >> 8));
  return v;
}

TEST_F(StoredTest, CopiesInChunksAndPaintsOncePerChunk) {
  std::vector<uint8_t> data = Pattern(70000);
  Prepare(data);
  EntryTotal = ArchiveTotal = 70000;
  CopyStoredEntry();
  EXPECT_EQ(scripted::Paints, 3) << "32768 + 32768 + 4464";
  EXPECT_EQ(EntryRemaining, 0u);
  EXPECT_EQ(EntryDone, 70000);
  EXPECT_EQ(ArchiveDone, 70000);
  EXPECT_EQ(EntryPercent, 100);
  EXPECT_EQ(CrcRegister ^ 0xFFFFFFFFu, ZipCrc(data));
  EXPECT_EQ(Output(), std::string(data.begin(), data.end()));
}

TEST_F(StoredTest, EmptyEntriesWriteNothing) {
  Prepare({});
  CopyStoredEntry();
  EXPECT_EQ(scripted::Paints, 0);
  EXPECT_EQ(CrcRegister, 0xFFFFFFFFu);
  EXPECT_EQ(Output(), "");
}

TEST_F(StoredTest, EncryptedDataIsDecryptedInPlace) {
  std::vector<uint8_t> plain = Pattern(40000);
  uint32_t crc = ZipCrc(plain);
  std::vector<uint8_t> data = SealedWithKeysReady("pw", plain);
  Prepare(data, FlagEncrypted);
  CopyStoredEntry();
  EXPECT_EQ(CrcRegister ^ 0xFFFFFFFFu, crc);
  EXPECT_EQ(Output(), std::string(plain.begin(), plain.end()));
}

TEST_F(StoredTest, ShortReadGoesOnInTheNextVolume) {
  // 50,000 bytes of entry: 30,000 at the end of the first volume, the rest at
  // the start of setup.z02. The keys run on across the change.
  std::vector<uint8_t> plain = Pattern(50000);
  uint32_t crc = ZipCrc(plain);
  std::vector<uint8_t> data = SealedWithKeysReady("pw", plain);
  std::vector<uint8_t> first(data.begin(), data.begin() + 30000);
  std::vector<uint8_t> second(data.begin() + 30000, data.end());
  Prepare(first, FlagEncrypted);
  WriteFile("setup.z02", second);
  EntryRemaining = 50000;
  CurrentEntry.uncompressedSize = 50000;
  CurrentEntry.endKnown = true;
  EntryTotal = ArchiveTotal = 50000;
  CopyStoredEntry();
  EXPECT_EQ(CurrentVolume, 2);
  EXPECT_TRUE(posix::Messages.empty());
  EXPECT_FALSE(CancelRequested);
  EXPECT_EQ(scripted::Paints, 2) << "30,000 before the change, then 20,000 from the new volume";
  EXPECT_EQ(CrcRegister ^ 0xFFFFFFFFu, crc);
  EXPECT_EQ(Output(), std::string(plain.begin(), plain.end()));
}

TEST_F(StoredTest, FailedVolumeChangeEndsTheEntryAfterWritingWhatWasRead) {
  Prepare(Bytes("only part"));
  EntryRemaining = 1000;
  CurrentEntry.uncompressedSize = 1000;
  CurrentEntry.endKnown = true;
  EXPECT_TRUE(CopyStoredEntry());
  EXPECT_FALSE(CancelRequested) << "a missing volume is no cancel";
  EXPECT_EQ(EntryStop, EntryVolumeLost);
  ASSERT_EQ(posix::Messages.size(), 1u) << "the missing volume is reported by the volume change";
  EXPECT_EQ(posix::Messages[0].caption, "Multi Volume");
  EXPECT_EQ(EntryRemaining, 1000u - 9);
  EXPECT_EQ(Output(), "only part");
}

TEST_F(StoredTest, ShortWriteCountsOnlyTheBytesWritten) {
  Prepare(Bytes("data"));
  CloseFile(OutputHandle);
  OutputHandle = OpenForReading(archive_.c_str());  // writing to it fails
  CopyStoredEntry();
  EXPECT_EQ(EntryDone, 0);
  EXPECT_EQ(CrcRegister, 0xFFFFFFFFu) << "nothing written, nothing checksummed";
}

TEST(ProgressPercent, RoundsTiesToEvenAndStopsAtHundred) {
  EXPECT_EQ(ProgressPercent(0, 0), 0);
  EXPECT_EQ(ProgressPercent(5, 0), 0);
  EXPECT_EQ(ProgressPercent(1, 200), 0);
  EXPECT_EQ(ProgressPercent(3, 200), 2);
  EXPECT_EQ(ProgressPercent(5, 200), 2);
  EXPECT_EQ(ProgressPercent(7, 200), 4);
  EXPECT_EQ(ProgressPercent(199, 200), 100);
  EXPECT_EQ(ProgressPercent(300, 200), 100);
  EXPECT_EQ(ProgressPercent(1, 3), 33);
  EXPECT_EQ(ProgressPercent(2, 3), 67);
  EXPECT_EQ(ProgressPercent(0xFFFFFFFFu, 0xFFFFFFFFu), 100);
  EXPECT_EQ(ProgressPercent(0x7FFFFFFFu, 0xFFFFFFFFu), 50);
  EXPECT_EQ(ProgressPercent(0xFFFFFFFFu, 1), 100);
}

TEST_F(StoredTest, AddProgressAdvancesBothCountersAndPaints) {
  EntryTotal = 200;
  ArchiveTotal = 400;
  ArchiveDone = 100;
  AddProgress(50);
  EXPECT_EQ(EntryDone, 50);
  EXPECT_EQ(ArchiveDone, 150);
  EXPECT_EQ(EntryPercent, 25);
  EXPECT_EQ(ArchivePercent, 38) << "37.5 goes to the even 38";
  EXPECT_EQ(scripted::Paints, 1);
  AddProgress(-10);
  EXPECT_EQ(EntryDone, 40);
}

TEST_F(StoredTest, FileTimeFromDosIsLocalTimeTurnedIntoUtc) {
  ScopedZone zone;
  std::string path = scratch_ + "/timed.txt";
  FileHandle file = CreateForWriting(path.c_str());
  ASSERT_NE(file, NoFile);
  SetFileTimeFromDos(file, 0x2AEF63C5u);  // 2001-07-15 12:30:10 local
  CloseFile(file);
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, 995200210 + 5 * 3600);  // 2001-07-15 17:30:10 UTC
}

TEST_F(StoredTest, ImpossibleDosTimeLeavesTheFileTimeAlone) {
  std::string path = scratch_ + "/untouched.txt";
  FileHandle file = CreateForWriting(path.c_str());
  ASSERT_NE(file, NoFile);
  struct stat before;
  ASSERT_EQ(stat(path.c_str(), &before), 0);
  SetFileTimeFromDos(file, 0x2AE063C5u);  // day 0 of July
  CloseFile(file);
  struct stat after;
  ASSERT_EQ(stat(path.c_str(), &after), 0);
  EXPECT_EQ(after.st_mtime, before.st_mtime);
  EXPECT_GT(after.st_mtime, 995200210 + 86400 * 365);
}

}  // namespace

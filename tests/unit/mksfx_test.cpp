// The parts of mksfx: its encryption against the stub's decryption, DOS
// times, the configuration block's bytes and limits, text conversions, the
// volumes a split archive is cut into, sizes on the command line, and the
// name checks.
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include "Sfx/layout.h"
#include "archive/crypt.h"
#include "archive/zip_format.h"
#include "tests/unit/fixture.h"
#include "tools/mksfx/block.h"
#include "tools/mksfx/codec.h"
#include "tools/mksfx/common.h"
#include "tools/mksfx/inputs.h"
#include "tools/mksfx/options.h"
#include "tools/mksfx/writer.h"
#include "tools/mksfx/zipcrypto.h"

namespace fs = std::filesystem;

namespace {

using MksfxTest = SfxTest;

TEST_F(MksfxTest, EncryptionHeaderPassesTheStubsCheckAndDataDecrypts) {
  std::string plain = "the entry's compressed bytes, any bytes at all \x01\x02\xff";
  uint32_t crc = mksfx::Crc32(plain);
  for (int round = 0; round < 20; ++round) {
    mksfx::ZipCrypto crypto("open sesame");
    std::string header = crypto.Header(static_cast<uint8_t>(crc >> 24));
    std::string data = plain;
    crypto.Encrypt(data);
    ASSERT_EQ(header.size(), EncryptionHeaderSize);
    ASSERT_TRUE(CheckPassword(reinterpret_cast<const uint8_t*>(header.data()), 0, "open sesame", 0, crc));
    std::string back = data;
    DecryptBuffer(reinterpret_cast<uint8_t*>(back.data()), static_cast<uint32_t>(back.size()));
    EXPECT_EQ(back, plain);
    EXPECT_NE(data, plain);
  }
}

TEST_F(MksfxTest, WrongPasswordDecryptsToOtherBytes) {
  std::string plain(64, 'a');
  mksfx::ZipCrypto crypto("right");
  std::string header = crypto.Header(0x5A);
  std::string data = plain;
  crypto.Encrypt(data);
  // Whether or not the one check byte happens to pass, the data comes out wrong.
  CheckPassword(reinterpret_cast<const uint8_t*>(header.data()), 0, "wrong", 0, 0x5A000000u);
  DecryptBuffer(reinterpret_cast<uint8_t*>(data.data()), static_cast<uint32_t>(data.size()));
  EXPECT_NE(data, plain);
}

TEST_F(MksfxTest, EncryptionHeadersAreRandom) {
  mksfx::ZipCrypto a("pw"), b("pw");
  EXPECT_NE(a.Header(1), b.Header(1));
}

class DosTimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tz = std::getenv("TZ");
    saved_ = tz ? tz : "";
    had_ = tz != nullptr;
    setenv("TZ", "UTC", 1);
    tzset();
  }
  void TearDown() override {
    if (had_) setenv("TZ", saved_.c_str(), 1);
    else unsetenv("TZ");
    tzset();
  }
  static uint32_t Dos(int y, int mo, int d, int h, int mi, int s) {
    return static_cast<uint32_t>((y - 1980) << 25 | mo << 21 | d << 16 | h << 11 | mi << 5 | s / 2);
  }
  std::string saved_;
  bool had_ = false;
};

TEST_F(DosTimeTest, EvenSecondsAsTheyAre) {
  EXPECT_EQ(mksfx::DosDateTime(1582964130), Dos(2020, 2, 29, 8, 15, 30));  // 2020-02-29 08:15:30 UTC
}

TEST_F(DosTimeTest, OddSecondsRoundUpAcrossTheDay) {
  EXPECT_EQ(mksfx::DosDateTime(1583020799), Dos(2020, 3, 1, 0, 0, 0));  // 2020-02-29 23:59:59
}

TEST_F(DosTimeTest, BeforeNineteenEightyIsItsFirstMoment) {
  EXPECT_EQ(mksfx::DosDateTime(0), Dos(1980, 1, 1, 0, 0, 0));
  EXPECT_EQ(mksfx::DosDateTime(315532800), Dos(1980, 1, 1, 0, 0, 0));  // 1980-01-01 00:00:00
  EXPECT_EQ(mksfx::DosDateTime(315532802), Dos(1980, 1, 1, 0, 0, 2));
}

TEST(MksfxBlock, BytesAsTheStubReadsThem) {
  mksfx::BlockSettings s;
  s.caption = "Setup";
  s.dest = "{win}\\Dir";
  s.run = "><app.exe|-x";
  s.overwrite = s.autoExtract = s.waitDelete = s.verify = true;
  std::string b = mksfx::MakeConfigBlock(s);
  ASSERT_EQ(b.size(), ConfigBlockSize);
  EXPECT_EQ(b.substr(0, 3), "VRN");
  EXPECT_EQ(static_cast<uint8_t>(b[ConfigFlagsAt]),
            ConfigOverwrite | ConfigAutoExtract | ConfigWaitThenDelete | ConfigVerifyFirst);
  EXPECT_EQ(b[ConfigLengthsAt], 5);
  EXPECT_EQ(b[ConfigLengthsAt + 1], 9);
  EXPECT_EQ(b[ConfigLengthsAt + 2], 12);
  EXPECT_EQ(b.substr(ConfigTextsAt, 26), "Setup{win}\\Dir><app.exe|-x");
  EXPECT_EQ(b.find_first_not_of('\0', ConfigTextsAt + 26), std::string::npos);
  mksfx::BlockContents c = mksfx::ParseConfigBlock(b);
  EXPECT_TRUE(c.present);
  EXPECT_EQ(c.caption, "Setup");
  EXPECT_EQ(c.dest, "{win}\\Dir");
  EXPECT_EQ(c.run, "><app.exe|-x");
}

TEST(MksfxBlock, TheBlocksRoomExactly) {
  mksfx::BlockSettings s;
  s.caption = std::string(200, 'c');
  s.dest = std::string(49, 'd');
  EXPECT_EQ(mksfx::MakeConfigBlock(s).substr(ConfigTextsAt), std::string(200, 'c') + std::string(49, 'd'));
  s.dest += 'd';
  EXPECT_THROW(mksfx::MakeConfigBlock(s), mksfx::Failure);
}

TEST(MksfxBlock, EightBitTextOnly) {
  mksfx::BlockSettings s;
  s.caption = "Caf\xc3\xa9 \xe2\x82\xac";  // "Café €" in UTF-8
  EXPECT_EQ(mksfx::MakeConfigBlock(s).substr(ConfigTextsAt, 6), "Caf\xe9 \x80");
  s.caption = "\xe6\x97\xa5";  // a CJK character: not in Windows-1252
  EXPECT_THROW(mksfx::MakeConfigBlock(s), mksfx::Failure);
  s.caption = "a\tb";
  EXPECT_THROW(mksfx::MakeConfigBlock(s), mksfx::Failure);
  s.caption = "";
  s.run = "{sys}\\x.exe|{ext}";
  EXPECT_THROW(mksfx::MakeConfigBlock(s), mksfx::Failure);
  s.run = "{sys}\\x.exe|{ no token";
  EXPECT_NO_THROW(mksfx::MakeConfigBlock(s));
}

TEST(MksfxText, CodePages) {
  std::string out;
  EXPECT_TRUE(mksfx::ToWindows1252("\xc5\xa0\xe2\x80\x9c", out));  // Š “
  EXPECT_EQ(out, "\x8a\x93");
  EXPECT_EQ(mksfx::FromWindows1252("\x8a\x93\xe9"), "\xc5\xa0\xe2\x80\x9c\xc3\xa9");
  EXPECT_EQ(mksfx::FromCp437("Gr\x81\xe1" "e"), "Gr\xc3\xbc\xc3\x9f" "e");  // Grüße
  EXPECT_TRUE(mksfx::IsUtf8("plain \xc3\xa9"));
  EXPECT_FALSE(mksfx::IsUtf8("\xc0\xaf"));       // overlong "/"
  EXPECT_FALSE(mksfx::IsUtf8("\xed\xa0\x80"));   // a surrogate
  EXPECT_FALSE(mksfx::IsUtf8("caf\xe9"));
}

TEST(MksfxNames, WhatTheStubRefuses) {
  for (const char* bad : {"../x", "a/../../x", "a/..", "/abs", "CON", "dir/aux.txt", "com1", "LPT9.log", "a*b",
                          "a?b", "a:b", "a|b", "a<b", "a\"b", "a\\b", "tab\there", "", "caf\xe9"})
    EXPECT_NE(mksfx::NameProblem(bad), "") << bad;
  EXPECT_NE(mksfx::NameProblem(std::string(256, 'n')), "");
  for (const char* good : {"a.txt", "dir/", "dir/sub/file", "..a", "a..b/c", "con2.txt", "caf\xc3\xa9"})
    EXPECT_EQ(mksfx::NameProblem(good), "") << good;
  EXPECT_EQ(mksfx::NameProblem(std::string(255, 'n')), "");
  EXPECT_EQ(mksfx::NameFlags("plain"), 0);
  EXPECT_EQ(mksfx::NameFlags("caf\xc3\xa9"), FlagUtf8Name);
}

TEST(MksfxOptions, Sizes) {
  EXPECT_EQ(mksfx::ParseSize("65536", "--split"), 65536u);
  EXPECT_EQ(mksfx::ParseSize("64k", "--split"), 65536u);
  EXPECT_EQ(mksfx::ParseSize("1.5m", "--split"), 1572864u);
  EXPECT_EQ(mksfx::ParseSize("1440KiB", "--split"), 1474560u);
  EXPECT_EQ(mksfx::ParseSize("4095m", "--split"), 4095ull << 20);
  for (const char* bad : {"", "0", "-5", "5x", "k", "4g"}) EXPECT_THROW(mksfx::ParseSize(bad, "--split"), mksfx::Failure) << bad;
}

TEST(MksfxVolumes, NamesAsTheStubLooksForThem) {
  EXPECT_EQ(mksfx::VolumeName("dir/setup.exe", 1), fs::path("dir/setup.exe"));
  EXPECT_EQ(mksfx::VolumeName("dir/setup.exe", 2), fs::path("dir/setup.z02"));
  EXPECT_EQ(mksfx::VolumeName("dir/setup.exe", 10), fs::path("dir/setup.z10"));
  EXPECT_EQ(mksfx::VolumeName("setup", 3), fs::path("setup.z03"));
}

class MksfxWriter : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("mksfx_writer_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  fs::path dir_;
};

TEST_F(MksfxWriter, DataIsCutAtTheSizeRecordsAreNot) {
  {
    mksfx::VolumeWriter out(dir_ / "a.exe", 10);
    out.Write("0123456");       // 7 bytes
    out.WriteRecord("abcd");    // no room for 4 in the 3 left: a new volume
    out.Write("xxxxxxxxxxyy");  // 6 fill it, 6 go on
    EXPECT_EQ(out.Count(), 3u);
    EXPECT_EQ(out.Disk(), 2u);
    EXPECT_EQ(out.DiskOffset(), 6u);
    EXPECT_FALSE(out.Fits(5));
    EXPECT_TRUE(out.Fits(4));
    out.Commit();
  }
  EXPECT_EQ(Read(dir_ / "a.exe"), "0123456");
  EXPECT_EQ(Read(dir_ / "a.z02"), "abcdxxxxxx");
  EXPECT_EQ(Read(dir_ / "a.z03"), "xxxxyy");
}

TEST_F(MksfxWriter, NothingIsLeftWithoutACommit) {
  {
    mksfx::VolumeWriter out(dir_ / "b.exe", 4);
    out.Write("0123456789");
  }
  EXPECT_TRUE(fs::is_empty(dir_));
}

TEST_F(MksfxWriter, EndRecordCountsItsVolumesCentralRecords) {
  {
    mksfx::VolumeWriter out(dir_ / "c.exe", 100);
    mksfx::ArchiveWriter zip(out, true);
    zip.Begin(std::string(10, 'S'), "");
    mksfx::EntryRecord e;
    e.name = "n";
    zip.Add(e, "");
    zip.Finish();
    out.Commit();
  }
  std::string last = Read(dir_ / "c.exe");
  // the stub, the marker, the 31-byte header and the 47-byte central
  // record: 92 bytes, no room left for the 22 of the end record
  ASSERT_EQ(last.size(), 92u);
  std::string end = Read(dir_ / "c.z02");
  ASSERT_EQ(end.size(), 22u);
  const unsigned char* r = reinterpret_cast<const unsigned char*>(end.data());
  EXPECT_EQ(mksfx::Get32(r), 0x06054b50u);
  EXPECT_EQ(mksfx::Get16(r + 4), 1u);   // this disk
  EXPECT_EQ(mksfx::Get16(r + 6), 0u);   // the directory's disk
  EXPECT_EQ(mksfx::Get16(r + 8), 0u);   // none of its records here
  EXPECT_EQ(mksfx::Get16(r + 10), 1u);  // one in all
  EXPECT_EQ(mksfx::Get32(r + 16), 45u); // after stub, marker and the header
}

}  // namespace

// Nothing lost, nothing misreported: a full disk, entries that fail while
// replacing a good file, archives that end early, Deflate bombs, a cancel in
// the middle of a large entry, device names, offsets past 2 GiB, an empty
// destination, UTF-8 names, and the exit code each run ends with.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>
#include "SFXinflt/constants.h"
#include "archive/crypt.h"
#include "archive/names.h"
#include "archive/zip_format.h"
#include "tests/support/scripted_ui.h"
#include "tests/support/zlib_reference.h"
#include "tests/unit/driver_fixture.h"
#include "tests/unit/scoped_zone.h"

namespace {

class SafetyTest : public DriverTest {
 protected:
  // The names in the destination folder, to see that no temporary is left.
  std::set<std::string> Listed() {
    std::set<std::string> names;
    if (DIR* d = opendir(dest_.c_str())) {
      while (dirent* e = readdir(d))
        if (e->d_name[0] != '.') names.insert(e->d_name);
      closedir(d);
    }
    return names;
  }
  void ExpectOnlyTheOldFile(const std::string& name, const std::string& text) {
    EXPECT_EQ(ReadFile(Out(name)), text) << "the existing file is as it was";
    EXPECT_EQ(Listed(), std::set<std::string>{name}) << "no temporary file is left behind";
  }
};

ZipEntry Raw(const std::string& name, uint16_t method, const std::vector<uint8_t>& payload, uint32_t crc,
             uint32_t size) {
  ZipEntry e;
  e.name = name;
  e.method = method;
  e.payload = payload;
  e.crc = crc;
  e.uncompressedSize = size;
  return e;
}

// --- A full disk ---------------------------------------------------------------

TEST_F(SafetyTest, AFullDiskFailsTheEntryAndNamesTheFile) {
  Open(ZipBuilder().Stored("big.txt", std::string(5000, 'b')).Stored("next.txt", "n"));
  posix::DiskBytesLeft = 1000;
  Extract();
  ASSERT_EQ(posix::Messages.size(), 3u);
  EXPECT_EQ(posix::Messages[0].text, dest_ + "\\big.txt");
  EXPECT_EQ(posix::Messages[0].caption, "Cannot write file ..");
  EXPECT_EQ(posix::Messages[1].text, dest_ + "\\next.txt") << "the disk is full still";
  ExpectFailureSummaryLast();
  EXPECT_EQ(ExitCode, ExitNotExtracted);
}

TEST_F(SafetyTest, AFullDiskDuringDeflateIsNoSuccessEither) {
  std::string text(300000, 'x');
  for (size_t i = 0; i < text.size(); i += 7) text[i] = static_cast<char>('a' + i % 26);
  ZipEntry e;
  e.name = "packed.txt";
  e.data = Bytes(text);
  e.method = MethodDeflate;
  Open(ZipBuilder().Add(e));
  posix::DiskBytesLeft = 70000;
  Extract();
  ASSERT_FALSE(posix::Messages.empty());
  EXPECT_EQ(posix::Messages[0].caption, "Cannot write file ..");
  ExpectFailureSummaryLast();
}

TEST_F(SafetyTest, AFullDiskLeavesTheFileItWouldReplace) {
  WriteFile("out/a.txt", "precious");
  Open(ZipBuilder().Stored("a.txt", std::string(5000, 'n')));
  OverwriteMode = ReplaceWithoutAsking;
  posix::DiskBytesLeft = 100;
  Extract();
  ExpectOnlyTheOldFile("a.txt", "precious");
  ExpectFailureSummaryLast();
}

// --- Entries that fail while replacing a good file -------------------------------

TEST_F(SafetyTest, AWrongCrcLeavesTheFileItWouldReplace) {
  WriteFile("out/a.txt", "precious");
  ZipEntry e;
  e.name = "a.txt";
  e.data = Bytes("damaged in transit");
  e.crc = 0x12345678u;
  Open(ZipBuilder().Add(e));
  OverwriteMode = ReplaceWithoutAsking;
  Extract();
  ExpectOnlyTheOldFile("a.txt", "precious");
  ExpectFailureSummaryLast();
}

TEST_F(SafetyTest, ADamagedStreamLeavesTheFileItWouldReplace) {
  WriteFile("out/a.txt", "precious");
  std::vector<uint8_t> stream = ZlibDeflate(std::string(20000, 'q') + "tail", 9);
  stream.resize(stream.size() / 2);
  Open(ZipBuilder().Add(Raw("a.txt", MethodDeflate, stream, 0xDEADBEEFu, 20004)));
  OverwriteMode = ReplaceWithoutAsking;
  Extract();
  ExpectOnlyTheOldFile("a.txt", "precious");
}

TEST_F(SafetyTest, AWrongPasswordThatPassesTheCheckByteLeavesTheFile) {
  std::vector<uint8_t> plain(3000, 'p');
  ZipEntry e;
  e.name = "a.txt";
  e.data = plain;
  e.password = "right";
  std::vector<uint8_t> zip = ZipBuilder().Add(e).Bytes();
  // A wrong password whose one-byte check passes by chance (1 in 256).
  std::vector<uint8_t> header(zip.begin() + 30 + 5, zip.begin() + 30 + 5 + EncryptionHeaderSize);
  std::string wrong;
  for (int i = 0; wrong.empty(); ++i) {
    std::string candidate = "guess" + std::to_string(i);
    if (CheckPassword(header.data(), FlagEncrypted, candidate.c_str(), e.dosDateTime, ZipCrc(plain))) wrong = candidate;
  }
  WriteFile("out/a.txt", "precious");
  Open(zip);
  OverwriteMode = ReplaceWithoutAsking;
  std::strcpy(CurrentPassword, wrong.c_str());
  Extract();
  ExpectOnlyTheOldFile("a.txt", "precious");
  ExpectFailureSummaryLast();
}

TEST_F(SafetyTest, ATruncatedDownloadLeavesTheFileItWouldReplace) {
  WriteFile("out/a.txt", "precious");
  std::vector<uint8_t> zip = ZipBuilder().Stored("a.txt", std::string(50000, 'n')).Bytes();
  zip.resize(20000);
  Open(zip);
  OverwriteMode = ReplaceWithoutAsking;
  Extract();
  ExpectOnlyTheOldFile("a.txt", "precious");
  EXPECT_EQ(ExtractionSucceeded, 0);
}

TEST_F(SafetyTest, AnAllocationFailureLeavesTheFileItWouldReplace) {
  WriteFile("out/a.txt", "precious");
  Open(ZipBuilder().Stored("a.txt", std::string(5000, 'n')));
  OverwriteMode = ReplaceWithoutAsking;
  posix::AllocationsLeft = 0;
  Extract();
  posix::AllocationsLeft = -1;
  ExpectOnlyTheOldFile("a.txt", "precious");
  EXPECT_EQ(ExtractionSucceeded, 0);
}

TEST_F(SafetyTest, AWholeEntryReplacesTheFileWithItsTime) {
  ScopedZone zone;
  WriteFile("out/a.txt", "old");
  Open(ZipBuilder().Stored("a.txt", "new contents"));
  OverwriteMode = ReplaceWithoutAsking;
  Extract();
  ExpectSuccess();
  EXPECT_EQ(ReadFile(Out("a.txt")), "new contents");
  EXPECT_EQ(ModifiedAt(Out("a.txt")), July15Utc + 5 * 3600);
  EXPECT_EQ(Listed(), std::set<std::string>{"a.txt"});
  EXPECT_EQ(ExitCode, ExitExtracted);
}

TEST_F(SafetyTest, TheTemporaryOfAReplacementTakesAFreeNameAndLeavesOthersAlone) {
  // The clock stands still: the temporary's names are "kvx", four hex
  // digits of the clock and the attempt, ".tmp". The first two are taken by
  // files of the user's, which must stay as they are.
  posix::TickStep = 0;
  posix::Ticks = 0x1234;
  auto nameOf = [](uint32_t attempt) {
    char name[16];
    std::snprintf(name, sizeof name, "kvx%04X.tmp", (0x1234 + attempt * 40503u) & 0xFFFF);
    return std::string(name);
  };
  WriteFile("out/sub/a.txt", "old");
  WriteFile("out/sub/" + nameOf(0), "mine 0");
  WriteFile("out/sub/" + nameOf(1), "mine 1");
  Open(ZipBuilder().Stored("sub/a.txt", "new contents"));
  OverwriteMode = ReplaceWithoutAsking;
  Extract();
  ExpectSuccess();
  EXPECT_EQ(ReadFile(Out("sub/a.txt")), "new contents");
  EXPECT_EQ(ReadFile(Out("sub/" + nameOf(0))), "mine 0");
  EXPECT_EQ(ReadFile(Out("sub/" + nameOf(1))), "mine 1");
  std::set<std::string> left;
  for (const auto& e : std::filesystem::directory_iterator(Out("sub"))) left.insert(e.path().filename().string());
  EXPECT_EQ(left, (std::set<std::string>{"a.txt", nameOf(0), nameOf(1)})) << "no temporary of ours is left";
}

TEST_F(SafetyTest, ANewFileThatFailsItsCrcIsRemovedAndReported) {
  ZipEntry e;
  e.name = "new.txt";
  e.data = Bytes("content");
  e.crc = 1;
  Open(ZipBuilder().Add(e));
  Extract();
  EXPECT_FALSE(Exists(Out("new.txt")));
  ExpectFailureSummaryLast();
}

// --- Archives that end early ---------------------------------------------------------

TEST_F(SafetyTest, AnArchiveWithoutItsCentralDirectoryIsNotComplete) {
  Open(ZipBuilder().Stored("a.txt", "a").Stored("b.txt", "b").LocalPart());
  Extract();
  ASSERT_EQ(posix::Messages.size(), 2u);
  EXPECT_EQ(posix::Messages[0].text, "Error reading archive.");
  ExpectFailureSummaryLast();
  EXPECT_EQ(ExitCode, ExitUnreadable);
  EXPECT_EQ(ReadFile(Out("b.txt")), "b") << "what was there is extracted";
}

TEST_F(SafetyTest, AHeaderCutShortOrStrayBytesAreNotTheEnd) {
  std::vector<uint8_t> local = ZipBuilder().Stored("a.txt", "a").Stored("b.txt", "b").LocalPart();
  for (size_t cut : {local.size() - 5, local.size() - 20, local.size() - 34}) {
    posix::Messages.clear();
    CloseFile(ArchiveHandle);
    Open(std::vector<uint8_t>(local.begin(), local.begin() + static_cast<long>(cut)));
    Extract();
    ASSERT_FALSE(posix::Messages.empty()) << cut;
    EXPECT_EQ(ExtractionSucceeded, 0) << cut;
    EXPECT_NE(ExitCode, ExitExtracted) << cut;
  }
  std::vector<uint8_t> stray = ZipBuilder().Stored("a.txt", "a").LocalPart();
  stray.insert(stray.end(), {'j', 'u', 'n', 'k', 0, 0, 0, 0});
  posix::Messages.clear();
  CloseFile(ArchiveHandle);
  Open(stray);
  Extract();
  EXPECT_EQ(posix::Messages[0].text, "Error reading archive.");
  ExpectFailureSummaryLast();
}

TEST_F(SafetyTest, TheEndRecordAloneEndsAWalkNormally) {
  // A central directory header or an end record: the two normal ends.
  std::vector<uint8_t> zip = ZipBuilder().Stored("a.txt", "a").LocalPart();
  PutLe32(zip, ZipSignature(ShiftedEndRecord));
  zip.resize(zip.size() + 18, 0);
  Open(zip);
  Extract();
  ExpectSuccess();
}

// --- Output bounded by the declared size -----------------------------------------------

TEST_F(SafetyTest, ADeflateBombStopsAtItsDeclaredSize) {
  std::string flood(64u << 20, 'A');
  std::vector<uint8_t> stream = ZlibDeflate(flood, 9);
  ASSERT_LT(stream.size(), 100000u);
  uint32_t crcOfFive = ZlibCrc(reinterpret_cast<const uint8_t*>(flood.data()), 5);
  WriteFile("out/bomb.txt", "precious");
  Open(ZipBuilder().Add(Raw("bomb.txt", MethodDeflate, stream, crcOfFive, 5)));
  OverwriteMode = ReplaceWithoutAsking;
  Extract();
  EXPECT_LE(ArchiveDone, 5) << "decoding stops at the declared size";
  ExpectOnlyTheOldFile("bomb.txt", "precious");
  ExpectFailureSummaryLast();
}

TEST_F(SafetyTest, StoredDataLongerThanDeclaredFails) {
  Open(ZipBuilder().Add(Raw("s.txt", MethodStored, Bytes("0123456789"), ZipCrc(Bytes("01234")), 5)));
  Extract();
  EXPECT_FALSE(Exists(Out("s.txt"))) << "the first 5 bytes, though their CRC matches, are no whole entry";
  ExpectFailureSummaryLast();
}

// --- Cancel in the middle of a large entry -------------------------------------------

TEST_F(SafetyTest, CancelEndsALargeEntryPromptlyAndKeepsTheOldFile) {
  WriteFile("out/large.bin", "precious");
  Open(ZipBuilder().Stored("large.bin", std::string(4u << 20, 'L')).Stored("after.txt", "a"));
  OverwriteMode = ReplaceWithoutAsking;
  int pumps = 0;
  scripted::OnPump = [&] {
    if (++pumps == 4) CancelRequested = 1;  // start, entry, file created, then a chunk: pressed while writing
  };
  Extract();
  EXPECT_LE(EntryDone, 3 * 32768) << "the entry ends within a chunk of the request";
  ExpectOnlyTheOldFile("large.bin", "precious");
  EXPECT_TRUE(posix::Messages.empty()) << "a cancel shows no summary";
  EXPECT_EQ(ExitCode, ExitCancelled);
}

TEST_F(SafetyTest, CancelInsideADeflateEntry) {
  std::string text(2u << 20, 't');
  for (size_t i = 0; i < text.size(); i += 13) text[i] = static_cast<char>('a' + i % 23);
  ZipEntry e;
  e.name = "packed.txt";
  e.data = Bytes(text);
  e.method = MethodDeflate;
  WriteFile("out/packed.txt", "precious");
  Open(ZipBuilder().Add(e));
  OverwriteMode = ReplaceWithoutAsking;
  int pumps = 0;
  int64_t doneAtCancel = -1;
  scripted::OnPump = [&] {
    if (++pumps == 4) {
      CancelRequested = 1;
      doneAtCancel = EntryDone;
    }
  };
  Extract();
  ASSERT_GE(doneAtCancel, 0) << "pressed while the entry was written";
  // The window that the chunk read at the request fills, and the few bytes
  // its last pass carried past the window's end.
  EXPECT_LE(EntryDone, doneAtCancel + WindowSize + FastWindowRoom) << "within a window of the request";
  ExpectOnlyTheOldFile("packed.txt", "precious");
  EXPECT_EQ(ExitCode, ExitCancelled);
}

// --- Names -----------------------------------------------------------------------------

TEST(EntryNames, DevicesWildcardsAndControlCharactersAreRefused) {
  for (const char* bad : {"CON", "con.txt", "Nul", "nul.txt", "aux.txt", "AUX .txt", "prn.", "COM1", "com9.log",
                          "LPT0", "lpt5.dat", "CONIN$", "conout$.x", "dir/CON/file.txt", "a\\nul\\b", "NUL  ",
                          "what?.txt", "star*.txt", "a<b", "a>b", "quote\".txt", "pipe|.txt", "tab\t.txt",
                          "bell\a", "stream.txt:x", "../up", "a/../../up", "...", ".. /x", "/abs", "\\abs"})
    EXPECT_FALSE(NameIsSafe(bad)) << bad;
  for (const char* good : {"CONFIG.SYS", "console.txt", "nully", "aux1.txt", "COM10", "LPT", "COMA", "prn2",
                           "dir/contents/file", "a.b.c", "..hidden", "café.txt", "sub/dir/"})
    EXPECT_TRUE(NameIsSafe(good)) << good;
}

TEST(EntryNames, PartsThatWindowsWouldShortenAreRefused) {
  // Windows drops trailing dots and blanks: each of these would be another
  // name, and so one file with a second entry.
  for (const char* bad : {"b.txt.", "x..", "notes.txt ", "sp /f.txt", "   /x", " ", "w/.", "a/. /b", "dir./f",
                          "./a.txt", "a/./b"})
    EXPECT_FALSE(NameIsSafe(bad)) << "'" << bad << "'";
  for (const char* good : {".hidden", "a b.txt", "x.y", " lead"})
    EXPECT_TRUE(NameIsSafe(good)) << "'" << good << "'";
}

TEST_F(SafetyTest, ANameEndingInASeparatorWithDataIsRefusedAndMakesNoFolder) {
  ZipEntry e;
  e.name = "t/";
  e.data = Bytes("data under a folder's name");
  Open(ZipBuilder().Add(e).Stored("w/.", "dot").Stored("fine.txt", "f"));
  Extract();
  EXPECT_EQ(Listed(), std::set<std::string>{"fine.txt"}) << "no folder is left behind by a refused name";
  ASSERT_EQ(posix::Messages.size(), 2u);
  EXPECT_EQ(posix::Messages[0].text, "t/");
  EXPECT_EQ(posix::Messages[0].caption, "Invalid filename.");
  ExpectFailureSummaryLast();
  EXPECT_EQ(ExitCode, ExitNotExtracted);
}

// --- Two entries, one file -------------------------------------------------------------

TEST_F(SafetyTest, ASecondEntryOfAWrittenNameIsNotASilentReplacement) {
  Open(ZipBuilder().Stored("Notes.txt", "first").Stored("notes.TXT", "second").Stored("after.txt", "a"));
  OverwriteMode = ReplaceWithoutAsking;
  // The posix platform tells case apart; a link made as the first file is
  // created lets the second entry find that file, as it would on Windows.
  scripted::OnPump = [this] {
    if (!scripted::EntryNames.empty() && scripted::EntryNames.back() == "Notes.txt")
      symlink(Out("Notes.txt").c_str(), Out("notes.TXT").c_str());
  };
  Extract();
  EXPECT_EQ(ReadFile(Out("Notes.txt")), "first") << "the first entry's file is kept";
  EXPECT_EQ(ReadFile(Out("after.txt")), "a");
  ExpectFailureSummaryLast();
  EXPECT_EQ(ExitCode, ExitNotExtracted);
}

TEST_F(SafetyTest, ASecondEntryOfAWrittenNameIsAskedAbout) {
  Open(ZipBuilder().Stored("same.txt", "first").Stored("same.txt", "second"));
  OverwriteMode = AskEachFile;
  scripted::OverwriteReplies = {{true, false}};
  Extract();
  EXPECT_EQ(scripted::Asked, std::vector<std::string>{"overwrite:same.txt"});
  EXPECT_EQ(ReadFile(Out("same.txt")), "second") << "answered Yes";
  ExpectSuccess();
}

TEST_F(SafetyTest, AnAliasOfAnotherFilesLongNameIsRefused) {
  // On the posix platform a symbolic link stands in for an 8.3 alias.
  WriteFile("out/longfilename.txt", "the user's");
  ASSERT_EQ(symlink(Out("longfilename.txt").c_str(), Out("LONGFI~1.TXT").c_str()), 0);
  Open(ZipBuilder().Stored("LONGFI~1.TXT", "planted").Stored("fine.txt", "f"));
  OverwriteMode = ReplaceWithoutAsking;
  Extract();
  EXPECT_EQ(ReadFile(Out("longfilename.txt")), "the user's");
  EXPECT_EQ(ReadFile(Out("fine.txt")), "f");
  ASSERT_EQ(posix::Messages.size(), 2u);
  EXPECT_EQ(posix::Messages[0].text, "LONGFI~1.TXT");
  EXPECT_EQ(posix::Messages[0].caption, "Invalid filename.");
  ExpectFailureSummaryLast();
}

TEST_F(SafetyTest, ADeviceNameIsNeverOpened) {
  Open(ZipBuilder().Stored("aux.txt", "to a serial port").Stored("fine.txt", "f"));
  Extract();
  EXPECT_EQ(posix::Messages[0].text, "aux.txt");
  EXPECT_EQ(posix::Messages[0].caption, "Invalid filename.");
  EXPECT_FALSE(Exists(Out("aux.txt")));
  EXPECT_EQ(ReadFile(Out("fine.txt")), "f");
}

// UTF-8 of a name given in UTF-16, as Windows is handed it.
std::string Utf8Of(const std::u16string& name) {
  std::string out;
  for (size_t i = 0; i < name.size(); ++i) {
    uint32_t c = name[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < name.size()) c = 0x10000 + ((c - 0xD800) << 10) + (name[++i] - 0xDC00);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | c >> 6);
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | c >> 12);
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | c >> 18);
      out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

TEST(EntryNames, TheUtf16FormIsJudged) {
  struct Case {
    std::u16string name;
    bool safe;
  };
  const Case cases[] = {
      // Scripts beyond any one code page are names like any other.
      {u"日本語/ファイル.txt", true}, {u"Αθήνα.txt", true}, {u"Київ/файл.txt", true}, {u"\U0001F600.txt", true},
      {u"x\u00A0y.txt", true},
      // Fullwidth forms that are common in East Asian names and that no
      // file call folds: kept.
      {u"題名：副題？.txt", true}, {u"（注）.txt", true},
      // What a best-fit conversion or a file system could take for a
      // separator or a dot: refused wherever it stands.
      {u"a\uFF0Fb.txt", false}, {u"a\uFF3Cb.txt", false}, {u"a\u2215b", false}, {u"a\u2216b", false},
      {u"a\u2044b", false}, {u"a\u29F8b", false}, {u"a\u29F9b", false}, {u"a\uFE68b", false},
      {u"\uFF0E\uFF0E/up", false}, {u"x\uFF0E", false}, {u"a\u2024b", false}, {u"\u2025/up", false},
      {u"a\uFE52b", false},
      // Device names with a superscript digit are devices too.
      {u"COM\u00B9", false}, {u"lpt\u00B2.txt", false}, {u"dir/Com\u00B3.log", false}, {u"COM\u00B9x", true},
      {u"COM\u2074", true},
      // Control characters, the ASCII refusals, and parts past 255 units.
      {u"a\u0001b", false}, {u"a\u001Fb", false}, {u"\u00E9t\u00E9.", false}, {u"\u043F\u0440\u0438 ", false},
      {std::u16string(255, u'\u00E9'), true}, {std::u16string(256, u'\u00E9'), false},
  };
  for (const Case& c : cases) {
    std::string utf8 = Utf8Of(c.name);
    EXPECT_EQ(NameIsSafe(utf8.c_str()), c.safe) << utf8;
  }
  // 127 emoji are 254 units and fit; 128 are 256 and do not.
  std::u16string emoji;
  for (int i = 0; i < 127; ++i) emoji += u"\U0001F600";
  EXPECT_TRUE(NameIsSafe(Utf8Of(emoji).c_str()));
  emoji += u"\U0001F600";
  EXPECT_FALSE(NameIsSafe(Utf8Of(emoji).c_str()));
}

TEST(EntryNames, MalformedUtf8IsRefused) {
  // An overlong "/" (the old trick to smuggle a separator), a lone
  // continuation byte, a surrogate, a value past U+10FFFF, a cut sequence,
  // bytes no UTF-8 holds.
  for (const char* bad : {"a\xC0\xAF..\xC0\xAFx", "\xE0\x80\xAF", "x\x80y", "\xED\xA0\x80.txt", "\xF4\x90\x80\x80",
                          "cut\xE6\x97", "\xFF\xFE", "\xC3"})
    EXPECT_FALSE(NameIsSafe(bad)) << bad;
}

TEST_F(SafetyTest, NamesInAnyScriptAreWrittenAsTheyStand) {
  std::vector<std::string> names = {"日本語/ファイル.txt", "Αθήνα.txt", "Київ/файл.txt", "\xF0\x9F\x98\x80.txt"};
  ZipBuilder zip;
  for (const std::string& name : names) {
    ZipEntry e;
    e.name = name;
    e.data = Bytes(name);
    e.extraFlags = FlagUtf8Name;
    zip.Add(e);
  }
  ZipEntry plain;
  plain.name = "caf\xE9.txt";  // without the flag: the system's ANSI code page (1252 here)
  plain.data = Bytes("ansi");
  zip.Add(plain);
  Open(zip);
  Extract();
  ExpectSuccess();
  for (const std::string& name : names) EXPECT_EQ(ReadFile(Out(name)), name);
  EXPECT_EQ(ReadFile(Out("caf\xC3\xA9.txt")), "ansi") << "read as the ANSI calls read it";
}

TEST_F(SafetyTest, TheDeletionPassFollowsNamesInAnyScriptAndLongPaths) {
  std::string deep = std::string(150, 'd') + "/" + std::string(150, 'e') + "/\xE6\x97\xA5.txt";
  std::vector<std::string> names = {"\xCE\x91\xCE\xB8\xCE\xAE\xCE\xBD\xCE\xB1.txt", deep, "plain.txt"};
  ZipBuilder zip;
  for (const std::string& name : names) {
    ZipEntry e;
    e.name = name;
    e.data = Bytes("x");
    e.extraFlags = FlagUtf8Name;
    zip.Add(e);
  }
  Open(zip);
  Extract();
  ExpectSuccess();
  for (const std::string& name : names) ASSERT_EQ(ReadFile(Out(name)), "x");
  Delete();
  for (const std::string& name : names) EXPECT_FALSE(std::filesystem::exists(Out(name))) << name;
  EXPECT_TRUE(std::filesystem::is_directory(Out(std::string(150, 'd') + "/" + std::string(150, 'e'))))
      << "folders stay";
}

TEST_F(SafetyTest, NamesWithoutTheFlagFollowTheSystemsCodePage) {
  posix::AnsiCodePage = "CP1251";  // a Cyrillic Windows
  ZipEntry plain;
  plain.name = "\xC4\xE0.txt";  // "Да" in code page 1251
  plain.data = Bytes("1251");
  Open(ZipBuilder().Add(plain));
  Extract();
  ExpectSuccess();
  EXPECT_EQ(ReadFile(Out("\xD0\x94\xD0\xB0.txt")), "1251");
}

TEST_F(SafetyTest, ADoubleByteNameIsConvertedWholeBeforeItIsSplit) {
  // Code page 932: the second byte of "表" (95 5C) is the byte of "\\". The
  // name is converted before it is looked at, so that no separator is made
  // of half a character.
  posix::AnsiCodePage = "CP932";
  ZipEntry plain;
  plain.name = "\x95\x5C.txt";
  plain.data = Bytes("932");
  Open(ZipBuilder().Add(plain));
  Extract();
  ExpectSuccess();
  EXPECT_EQ(ReadFile(Out("\xE8\xA1\xA8.txt")), "932");
  EXPECT_EQ(Listed(), std::set<std::string>{"\xE8\xA1\xA8.txt"});
}

TEST_F(SafetyTest, AMalformedUtf8NameIsRefusedAndNothingIsWritten) {
  ZipEntry e;
  e.name = "a\xC0\xAF..\xC0\xAFx.txt";
  e.data = Bytes("x");
  e.extraFlags = FlagUtf8Name;
  Open(ZipBuilder().Add(e).Stored("next.txt", "n"));
  Extract();
  ASSERT_EQ(posix::Messages.size(), 2u);
  EXPECT_EQ(posix::Messages[0].caption, "Invalid filename.");
  ExpectFailureSummaryLast();
  EXPECT_EQ(Listed(), std::set<std::string>{"next.txt"}) << "nothing written under such a name";
}

std::vector<uint8_t> UnicodePathField(const std::string& utf8, uint32_t nameCrc) {
  std::vector<uint8_t> field;
  PutLe16(field, 0x7075);
  PutLe16(field, static_cast<uint32_t>(5 + utf8.size()));
  field.push_back(1);
  PutLe32(field, nameCrc);
  field.insert(field.end(), utf8.begin(), utf8.end());
  return field;
}

TEST_F(SafetyTest, AnInfoZipUnicodePathFieldThatMatchesTheNameIsUsed) {
  std::vector<uint8_t> extra = {0x55, 0x54, 0x05, 0x00, 0x03, 1, 2, 3, 4};  // a time field first
  ZipEntry matching;
  matching.name = "cafe.txt";
  matching.data = Bytes("m");
  std::vector<uint8_t> field = UnicodePathField("caf\xC3\xA9.txt", ZipCrc(Bytes("cafe.txt")));
  matching.extra = extra;
  matching.extra.insert(matching.extra.end(), field.begin(), field.end());
  ZipEntry stale;
  stale.name = "renamed.txt";
  stale.data = Bytes("s");
  stale.extra = UnicodePathField("old\xC3\xA9.txt", ZipCrc(Bytes("old.txt")));
  Open(ZipBuilder().Add(matching).Add(stale));
  Extract();
  ExpectSuccess();
  EXPECT_EQ(ReadFile(Out("caf\xC3\xA9.txt")), "m");
  EXPECT_EQ(ReadFile(Out("renamed.txt")), "s") << "a field made for another name is not used";
}

// --- Offsets from 2 GiB on -----------------------------------------------------------

TEST_F(SafetyTest, AnEntryBeyondTwoGibibytesIsFound) {
  // A refused first entry that claims 0x88000000 bytes; the walk steps over
  // them without reading and finds the next header past 2 GiB. The archive
  // file is sparse.
  ZipEntry skipped = Raw("../skip", MethodStored, {}, 0, 0x88000000u);
  std::vector<uint8_t> head = ZipBuilder().Add(skipped).LocalPart();
  uint32_t compressedAt = 18;
  for (int i = 0; i < 4; ++i) head[compressedAt + i] = static_cast<uint8_t>(0x88000000u >> (8 * i));
  std::vector<uint8_t> tail = ZipBuilder().Stored("far.txt", "beyond 2 GiB").Bytes();
  std::string path = scratch_ + "/setup.exe";
  int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  std::vector<uint8_t> first = StubThen(head);
  ASSERT_EQ(write(fd, first.data(), first.size()), static_cast<ssize_t>(first.size()));
  off_t farAt = static_cast<off_t>(first.size()) + 0x88000000LL;
  ASSERT_EQ(pwrite(fd, tail.data(), tail.size(), farAt), static_cast<ssize_t>(tail.size()));
  close(fd);
  std::strcpy(OwnPath, path.c_str());
  OpenArchive(path);
  ArchiveStart = StubSize;
  Extract();
  EXPECT_EQ(ReadFile(Out("far.txt")), "beyond 2 GiB");
  ASSERT_EQ(posix::Messages.size(), 2u);
  EXPECT_EQ(posix::Messages[0].text, "../skip");
  unlink(path.c_str());
}

// --- The destination -----------------------------------------------------------------

TEST_F(SafetyTest, AnEmptyDestinationIsNotTheDriveRoot) {
  Open(ZipBuilder().Stored("a.txt", "a"));
  DestinationFolder[0] = 0;
  Extract();
  ExpectOnlyMessage("Error in directory ..", "Error..", 0x10);
  EXPECT_FALSE(Exists("/a.txt"));
  EXPECT_EQ(ExitCode, ExitNotExtracted);
}

// --- Exit codes ------------------------------------------------------------------------

TEST_F(SafetyTest, TheExitCodeFollowsTheLastExtraction) {
  WriteFile("out/a.txt", "old");
  Open(ZipBuilder().Stored("a.txt", "new"));
  scripted::OverwriteReplies = {{false, false}, {true, false}};
  Extract();
  EXPECT_EQ(ExitCode, ExitNotExtracted);
  Extract();
  EXPECT_EQ(ExitCode, ExitExtracted);
  Delete();
  EXPECT_EQ(ExitCode, ExitExtracted) << "the deletion pass does not change it";
}

}  // namespace

namespace {

TEST_F(SafetyTest, DataShorterThanDeclaredFailsEvenWithAMatchingCrc) {
  std::vector<uint8_t> data = Bytes(std::string(960, 'd'));
  Open(ZipBuilder().Add(Raw("short.txt", MethodStored, data, ZipCrc(data), 1060)));
  Extract();
  ExpectFailureSummaryLast();
  EXPECT_EQ(ExitCode, ExitNotExtracted);
}

TEST_F(SafetyTest, AnArchiveEndingInsideANameWritesNoFileUnderAShortenedName) {
  std::vector<uint8_t> zip = ZipBuilder().Stored("victim.txt", "v").LocalPart();
  zip.resize(30 + 3);  // the header and "vic"
  Open(zip);
  Extract();
  EXPECT_EQ(Listed(), std::set<std::string>{});
  EXPECT_EQ(ExtractionSucceeded, 0);
  EXPECT_NE(ExitCode, ExitExtracted);
}

}  // namespace

// --- An entry whose buffers cannot be allocated --------------------------------------
// It fails like a failed write: the path with "Cannot write file ..", no file
// under its name, the walk goes on, the summary, exit code 1.

class NoMemoryTest : public SafetyTest, public ::testing::WithParamInterface<uint16_t> {
 protected:
  ZipEntry Big(const std::string& name) {
    ZipEntry e;
    e.name = name;
    e.data = Bytes(std::string(5000, 'n'));
    e.method = GetParam();
    return e;
  }
};

TEST_P(NoMemoryTest, ANewFileIsReportedAndLeftOutAndTheWalkGoesOn) {
  Open(ZipBuilder().Add(Big("a.txt")).Stored("b.txt", "after"));
  posix::AllocationsLeft = 0;
  // Memory is back once the walk has come to b.
  scripted::OnPump = [] {
    if (!scripted::EntryNames.empty() && scripted::EntryNames.back() == "b.txt") posix::AllocationsLeft = -1;
  };
  Extract();
  posix::AllocationsLeft = -1;
  EXPECT_FALSE(Exists(Out("a.txt"))) << "no file under the name of an entry that was not written";
  EXPECT_EQ(ReadFile(Out("b.txt")), "after") << "the entries after it are still extracted";
  ASSERT_EQ(posix::Messages.size(), 2u) << posix::Messages.back().text;
  EXPECT_EQ(posix::Messages[0].text, dest_ + "\\a.txt");
  EXPECT_EQ(posix::Messages[0].caption, "Cannot write file ..");
  ExpectFailureSummaryLast();
  EXPECT_EQ(ExitCode, ExitNotExtracted) << "a failure, not a cancel";
  EXPECT_FALSE(CancelRequested);
}

TEST_P(NoMemoryTest, AnExistingFileIsKeptAndTheFailureReported) {
  WriteFile("out/a.txt", "precious");
  Open(ZipBuilder().Add(Big("a.txt")));
  OverwriteMode = ReplaceWithoutAsking;
  posix::AllocationsLeft = 0;
  Extract();
  posix::AllocationsLeft = -1;
  ExpectOnlyTheOldFile("a.txt", "precious");
  ASSERT_EQ(posix::Messages.size(), 2u);
  EXPECT_EQ(posix::Messages[0].caption, "Cannot write file ..");
  ExpectFailureSummaryLast();
  EXPECT_EQ(ExitCode, ExitNotExtracted);
}

INSTANTIATE_TEST_SUITE_P(Methods, NoMemoryTest, ::testing::Values(uint16_t{MethodStored}, uint16_t{MethodDeflate}),
                         [](const ::testing::TestParamInfo<uint16_t>& info) {
                           return std::string(info.param == MethodStored ? "Stored" : "Deflate");
                         });

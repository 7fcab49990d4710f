// The stub's version resource as Sfx/version.rc defines it
// (compiled by windres for this test) inside a stand-in stub: its strings
// and rooms read back, rewritten in place without the stub changing size
// or any byte outside the strings' room changing, the fixed versions
// following version texts (from their leading numbers, said, when text
// follows them), and the refusals (too long, unknown key, no resource, a
// version part above 65,535 or none), which leave the bytes as they were.
#include <filesystem>
#include <fstream>
#include <iterator>
#include "tests/unit/fixture.h"
#include "tools/mksfx/common.h"
#include "tools/mksfx/version_info.h"

namespace fs = std::filesystem;

namespace {

#ifdef KORVI_VERSION_RES
std::string Compiled() {
  std::ifstream in(KORVI_VERSION_RES, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
#endif

std::string Utf16(const std::u16string& text) {
  std::string b;
  for (char16_t c : text) {
    b += static_cast<char>(c & 0xFF);
    b += static_cast<char>(c >> 8);
  }
  return b;
}

class MksfxVersion : public SfxTest {
 protected:
  void SetUp() override {
    SfxTest::SetUp();
#ifndef KORVI_VERSION_RES
    GTEST_SKIP() << "no windres to compile Sfx/version.rc (install binutils-mingw-w64-i686)";
#else
    std::string res = Compiled();
    ASSERT_GT(res.size(), 1000u) << KORVI_VERSION_RES;
    // A stand-in stub: a decoy key in its text, the resource further on.
    stub_.assign(StubSize, '\x90');
    stub_.replace(100, 32, Utf16(u"VS_VERSION_INFO") + std::string(2, '\0'));
    stub_.replace(30000, res.size(), res);
#endif
  }
  // The value's room as it lies in the bytes after the key: the text, then
  // zeros only; and the node's wValueLength.
  static void ExpectStored(const std::string& b, const std::u16string& key, const std::u16string& text, size_t room) {
    size_t k = b.find(Utf16(key) + std::string(2, '\0'));
    ASSERT_NE(k, std::string::npos);
    size_t start = k - 6, value = start + ((6 + 2 * (key.size() + 1) + 3) & ~size_t{3});
    EXPECT_EQ(b.substr(value, 2 * text.size()), Utf16(text));
    EXPECT_EQ(b.substr(value + 2 * text.size(), 2 * (room - text.size())), std::string(2 * (room - text.size()), '\0'));
    EXPECT_EQ(mksfx::Get16(reinterpret_cast<const unsigned char*>(b.data()) + start + 2), text.size() + 1);
  }
  std::string stub_;
};

TEST_F(MksfxVersion, TheStringsAndTheirRoom) {
  mksfx::VersionInfo info = mksfx::ReadVersionInfo(stub_);
  ASSERT_TRUE(info.present);
  EXPECT_GT(info.at, 30000u);  // the block, not the decoy
  EXPECT_EQ(info.fileVersion, 0x0001000000000000u);
  EXPECT_EQ(info.productVersion, 0x0001000000000000u);
  std::vector<std::tuple<std::string, std::string, size_t>> want = {
      {"CompanyName", "Korvi EXE", 32},    {"FileDescription", "Korvi EXE self-extracting archive", 48},
      {"FileVersion", "1.0.0.0", 24},      {"InternalName", "sfx", 16},
      {"LegalCopyright", "Korvi EXE developers", 48}, {"OriginalFilename", "sfx.exe", 32},
      {"ProductName", "Korvi EXE", 32},    {"ProductVersion", "1.0", 24}};
  ASSERT_EQ(info.strings.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(info.strings[i].key, std::get<0>(want[i]));
    EXPECT_EQ(info.strings[i].value, std::get<1>(want[i]));
    EXPECT_EQ(info.strings[i].room, std::get<2>(want[i])) << info.strings[i].key;
  }
}

TEST_F(MksfxVersion, RewrittenInPlace) {
  std::string before = stub_;
  mksfx::VersionInfo old = mksfx::ReadVersionInfo(stub_);
  mksfx::PatchVersionInfo(stub_, {{"ProductName", "Acme Widgets"},
                                  {"FileDescription", "Installateur f\xc3\xbcr Acme \xe2\x82\xac"},  // für, €
                                  {"FileVersion", "2.5.1.7"},
                                  {"ProductVersion", "2.5"},
                                  {"LegalCopyright", "\xf0\x9f\x98\x80 Acme"}});  // past the plane: a surrogate pair
  ASSERT_EQ(stub_.size(), before.size());
  mksfx::VersionInfo info = mksfx::ReadVersionInfo(stub_);
  EXPECT_EQ(info.at, old.at);
  EXPECT_EQ(info.fileVersion, 0x0002000500010007u);
  EXPECT_EQ(info.productVersion, 0x0002000500000000u);
  EXPECT_EQ(info.strings[6].value, "Acme Widgets");
  EXPECT_EQ(info.strings[1].value, "Installateur f\xc3\xbcr Acme \xe2\x82\xac");
  EXPECT_EQ(info.strings[4].value, "\xf0\x9f\x98\x80 Acme");
  EXPECT_EQ(info.strings[0].value, "Korvi EXE");  // not given: as it was
  for (size_t i = 0; i < info.strings.size(); ++i) EXPECT_EQ(info.strings[i].room, old.strings[i].room);
  ExpectStored(stub_, u"ProductName", u"Acme Widgets", 32);
  ExpectStored(stub_, u"LegalCopyright", u"\xD83D\xDE00 Acme", 48);
  // Nothing before the block and nothing after it changed.
  EXPECT_EQ(stub_.substr(0, old.at), before.substr(0, old.at));
  size_t end = old.at + mksfx::Get16(reinterpret_cast<const unsigned char*>(before.data()) + old.at);
  EXPECT_EQ(stub_.substr(end), before.substr(end));
  // A second rewrite, shorter, and one that fills the room exactly.
  const std::string full = "2.5.1.7 build 123456789";
  ASSERT_EQ(full.size(), 23u);
  mksfx::PatchVersionInfo(stub_, {{"ProductName", "A"}, {"FileVersion", full}});
  ExpectStored(stub_, u"ProductName", u"A", 32);
  EXPECT_EQ(mksfx::ReadVersionInfo(stub_).strings[2].value, full);
  EXPECT_EQ(mksfx::ReadVersionInfo(stub_).fileVersion, 0x0002000500010007u);  // its leading numbers
}

TEST_F(MksfxVersion, AVersionWithTextAfterItsNumbersIsFixedFromThem) {
  mksfx::PatchVersionInfo(stub_, {{"FileVersion", "2.5 beta"}, {"ProductVersion", "3.1-rc2"}});
  mksfx::VersionInfo info = mksfx::ReadVersionInfo(stub_);
  EXPECT_EQ(info.strings[2].value, "2.5 beta");  // the text as given
  EXPECT_EQ(info.strings[7].value, "3.1-rc2");
  EXPECT_EQ(info.fileVersion, 0x0002000500000000u);
  EXPECT_EQ(info.productVersion, 0x0003000100000000u);
  for (const auto& [text, fixed] : std::vector<std::pair<std::string, uint64_t>>{
           {"1.2.3.4.5", 0x0001000200030004u}, {"7.", 0x0007000000000000u}, {"4.0 (build 1234)", 0x0004000000000000u},
           {"10.0.19041.1", 0x000A00004A610001u}, {"65535.65535.65535.65535", 0xFFFFFFFFFFFFFFFFu}, {"1.2", 0x0001000200000000u}}) {
    mksfx::PatchVersionInfo(stub_, {{"FileVersion", text}});
    EXPECT_EQ(mksfx::ReadVersionInfo(stub_).fileVersion, fixed) << text;
    EXPECT_EQ(mksfx::ReadVersionInfo(stub_).strings[2].value, text);
  }
}

TEST_F(MksfxVersion, AFixedVersionTakenFromTheLeadingNumbersIsSaid) {
  std::vector<std::string> notes =
      mksfx::PatchVersionInfo(stub_, {{"FileVersion", "2.5 beta"}, {"ProductVersion", "3.1"}, {"CompanyName", "7 Ltd."}});
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0], "--version-info FileVersion=2.5 beta: the text stays as given; the fixed file version, which "
                      "Windows compares, is 2.5.0.0, from its leading numbers");
  notes = mksfx::PatchVersionInfo(stub_, {{"ProductVersion", "4.0.1.2.3"}});
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_NE(notes[0].find("the fixed product version, which Windows compares, is 4.0.1.2,"), std::string::npos) << notes[0];
  EXPECT_TRUE(mksfx::PatchVersionInfo(stub_, {{"FileVersion", "1.2.3.4"}, {"ProductVersion", "1.2"}}).empty());
  try {
    mksfx::PatchVersionInfo(stub_, {{"FileVersion", "65536.0.0.0"}});
    ADD_FAILURE() << "65536 taken";
  } catch (const mksfx::UsageError& e) {
    EXPECT_STREQ(e.what(), "--version-info FileVersion=65536.0.0.0: 65536 is more than 65535; a version is one to four "
                           "numbers 0-65535 joined by dots (1.2.3.4), which text may follow (2.5 beta)");
  }
  try {
    mksfx::PatchVersionInfo(stub_, {{"ProductVersion", "beta 2"}});
    ADD_FAILURE() << "no number taken";
  } catch (const mksfx::UsageError& e) {
    EXPECT_STREQ(e.what(), "--version-info ProductVersion=beta 2 starts with no number; a version is one to four "
                           "numbers 0-65535 joined by dots (1.2.3.4), which text may follow (2.5 beta)");
  }
}

TEST_F(MksfxVersion, AVersionPartAbove65535OrNoNumberIsRefused) {
  // Left as they were, the fixed versions would say 1.0.0.0 without a word.
  std::string before = stub_;
  for (const char* key : {"FileVersion", "ProductVersion"})
    for (const char* text : {"65536.0.0.0", "1.2.3.70000", "99999999999999999999", "1.65536 beta", "beta", "v2.5", "", " 2.5"}) {
      EXPECT_THROW(mksfx::PatchVersionInfo(stub_, {{"ProductName", "ok"}, {key, text}}), mksfx::UsageError)
          << key << "=" << text;
      EXPECT_EQ(stub_, before);
    }
}

TEST_F(MksfxVersion, RefusalsChangeNothing) {
  std::string before = stub_;
  EXPECT_THROW(mksfx::PatchVersionInfo(stub_, {{"ProductName", "ok"}, {"FileVersion", std::string(24, '1')}}),
               mksfx::UsageError);
  EXPECT_EQ(stub_, before);
  EXPECT_THROW(mksfx::PatchVersionInfo(stub_, {{"Trademarks", "x"}}), mksfx::UsageError);
  EXPECT_THROW(mksfx::PatchVersionInfo(stub_, {{"ProductName", "caf\xe9"}}), mksfx::UsageError);  // not UTF-8
  EXPECT_EQ(stub_, before);
  std::string bare(StubSize, '\0');
  EXPECT_FALSE(mksfx::ReadVersionInfo(bare).present);
  EXPECT_THROW(mksfx::PatchVersionInfo(bare, {{"ProductName", "x"}}), mksfx::Failure);
  // A key whose sizes run past the bytes is no block.
  std::string cut = stub_.substr(0, mksfx::ReadVersionInfo(stub_).at + 200);
  EXPECT_FALSE(mksfx::ReadVersionInfo(cut).present);
}

TEST_F(MksfxVersion, AStubFileKeepsItsSize) {
  fs::path file = fs::path(scratch_) / "sfx.exe";
  std::ofstream(file, std::ios::binary) << stub_;
  mksfx::PatchVersionInfoFile(file, {{"OriginalFilename", "setup.exe"}, {"ProductVersion", "3.1"}});
  EXPECT_EQ(fs::file_size(file), StubSize);
  std::string expected = stub_;
  mksfx::PatchVersionInfo(expected, {{"OriginalFilename", "setup.exe"}, {"ProductVersion", "3.1"}});
  EXPECT_TRUE(ReadFile(file.string()) == expected);
  EXPECT_EQ(mksfx::VersionAssignment("ProductName=Acme = Co"), (std::pair<std::string, std::string>{"ProductName", "Acme = Co"}));
  EXPECT_THROW(mksfx::VersionAssignment("ProductName"), mksfx::UsageError);
  EXPECT_THROW(mksfx::VersionAssignment("=x"), mksfx::UsageError);
}

}  // namespace

// Entries whose local headers lack their sizes or CRC, as Go, Java, Node,
// bsdtar and Info-ZIP or Python writing to a pipe make them: sizes from the
// central directory (its offsets counted from the zip's own start or, after
// `zip -A`, from the program's), Deflate streams decoded to their end with
// the data descriptor read after them (with and without its signature,
// 32- and 64-bit, across a volume's end), a bit-3 header's CRC of 0, Zip64
// local headers, and what is refused when nothing gives the sizes.
#include <string>
#include <vector>
#include "Sfx/layout.h"
#include "archive/entry.h"
#include "archive/zip_format.h"
#include "tests/unit/driver_fixture.h"

namespace {

ZipEntry Piped(const std::string& name, const std::string& text, uint16_t method = MethodDeflate) {
  ZipEntry e;
  e.name = name;
  e.data = Bytes(text);
  e.method = method;
  e.sizesInHeader = false;
  return e;
}

// The position of the end record in a whole archive.
size_t EndRecordAt(const std::vector<uint8_t>& zip) {
  for (size_t at = zip.size() - EndRecordSize + 1; at-- > 0;)
    if (Le32(&zip[at]) == ZipSignature(ShiftedEndRecord)) return at;
  return 0;
}

// The archive as `zip -A` leaves it behind the stub: every offset of the
// directory counted from the program's start.
std::vector<uint8_t> CountedFromTheProgram(std::vector<uint8_t> zip) {
  size_t end = EndRecordAt(zip);
  uint32_t directory = Le32(&zip[end + 16]);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) zip[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  for (size_t at = directory; at < end;) {
    put32(at + 42, Le32(&zip[at + 42]) + StubSize);
    at += CentralHeaderSize + Le16(&zip[at + 28]) + Le16(&zip[at + 30]) + Le16(&zip[at + 32]);
  }
  put32(end + 16, directory + StubSize);
  return zip;
}

// The end record made unreadable: no directory to ask.
std::vector<uint8_t> WithoutEndRecord(std::vector<uint8_t> zip) {
  zip[EndRecordAt(zip)] ^= 0xFF;
  return zip;
}

class DescriptorTest : public DriverTest {
 protected:
  void ExpectFiles(const std::vector<std::pair<std::string, std::string>>& files) {
    for (const auto& [name, text] : files) EXPECT_EQ(ReadFile(Out(name)), text) << name;
  }
};

TEST_F(DescriptorTest, SizesComeFromTheDirectoryWhateverItsOffsetsCountFrom) {
  ZipBuilder zip;
  zip.Add(Piped("deflated.txt", "go writes every file so")).Add(Piped("stored.bin", "stored too", MethodStored));
  zip.Stored("plain.txt", "sizes in the header");
  for (const std::vector<uint8_t>& bytes : {zip.Bytes(), CountedFromTheProgram(zip.Bytes())}) {
    posix::Messages.clear();
    Open(bytes);
    Count();
    EXPECT_TRUE(posix::Messages.empty());
    EXPECT_EQ(ArchiveTotal, 23 + 10 + 19);
    Extract();
    ExpectSuccess();
    ExpectFiles({{"deflated.txt", "go writes every file so"}, {"stored.bin", "stored too"},
                 {"plain.txt", "sizes in the header"}});
    std::system(("rm -rf '" + dest_ + "'/*").c_str());
  }
}

TEST_F(DescriptorTest, WithoutADirectoryADeflateStreamIsDecodedToItsEndAndItsDescriptorRead) {
  ZipEntry bare = Piped("bare.txt", std::string(70000, 'b') + "end");
  bare.descriptorSignature = false;
  ZipBuilder zip;
  zip.Add(Piped("signed.txt", "with its signature")).Add(bare).Add(Piped("empty.txt", "")).Stored("last", "z");
  Open(WithoutEndRecord(zip.Bytes()));
  Count();
  EXPECT_TRUE(posix::Messages.empty()) << "counting stops at the first entry of unknown size, without an error";
  Extract();
  ExpectSuccess();
  ExpectFiles({{"signed.txt", "with its signature"}, {"bare.txt", std::string(70000, 'b') + "end"},
               {"empty.txt", ""}, {"last", "z"}});
  EXPECT_EQ(CurrentEntry.sizeSource, SizesFromLocalHeader) << "the last entry";
}

TEST_F(DescriptorTest, ADescriptorThatDisagreesFailsItsEntryAndTheWalkGoesOn) {
  ZipBuilder zip;
  zip.Add(Piped("a.txt", "alpha alpha alpha")).Stored("b.txt", "beta");
  std::vector<uint8_t> bytes = WithoutEndRecord(zip.Bytes());
  // The descriptor's CRC stands right after its signature, before b's header.
  size_t b = 0;
  for (size_t at = 4; at + 4 <= bytes.size(); ++at)
    if (Le32(&bytes[at]) == ZipSignature(ShiftedLocalHeader)) {
      b = at;
      break;
    }
  ASSERT_GT(b, 16u);
  bytes[b - 12] ^= 1;
  Open(bytes);
  Extract();
  ExpectFailureSummaryLast();
  EXPECT_EQ(ExitCode, ExitNotExtracted);
  EXPECT_EQ(ReadFile(Out("b.txt")), "beta");
}

TEST_F(DescriptorTest, ABitThreeHeaderWithACrcOfZeroIsCheckedAgainstItsDescriptor) {
  // bsdtar's stored entries: sizes in the header, CRC 0, the CRC in the descriptor.
  ZipEntry e;
  e.name = "s.txt";
  e.data = Bytes("stored by bsdtar");
  e.descriptor = true;
  std::vector<uint8_t> bytes = ZipBuilder().Add(e).Stored("t.txt", "t").Bytes();
  for (int i = 14; i < 18; ++i) bytes[i] = 0;
  Open(bytes);
  Extract();
  ExpectSuccess();
  EXPECT_EQ(ReadFile(Out("s.txt")), "stored by bsdtar");
  // The same with a changed byte of data: the descriptor's CRC finds it.
  bytes[30 + 5] ^= 0x20;
  posix::Messages.clear();
  std::system(("rm -rf '" + dest_ + "'/*").c_str());
  Open(bytes);
  Extract();
  ExpectFailureSummaryLast();
  EXPECT_EQ(ReadFile(Out("t.txt")), "t");
}

TEST_F(DescriptorTest, Zip64LocalHeadersAndDescriptorsFromPython) {
  // Written to a pipe with force_zip64: bit 3, a Zip64 field of zeros in the
  // local header, a descriptor with 64-bit sizes.
  std::vector<uint8_t> zip = MadeBy(
      "python3 -c \"import sys, zipfile\n"
      "z = zipfile.ZipFile(sys.stdout.buffer, 'w', zipfile.ZIP_DEFLATED)\n"
      "for name, text in (('one.txt', 'first ' * 5000), ('two.txt', 'second')):\n"
      "    with z.open(name, 'w', force_zip64=True) as f: f.write(text.encode())\n"
      "z.close()\" | cat > z64.zip",
      "z64.zip");
  ASSERT_GT(zip.size(), 30u);
  ASSERT_EQ(Le16(&zip[6]) & FlagDescriptor, FlagDescriptor) << "python no longer writes what this test needs";
  for (const std::vector<uint8_t>& bytes : {zip, WithoutEndRecord(zip)}) {
    posix::Messages.clear();
    std::system(("rm -rf '" + dest_ + "'/*").c_str());
    Open(bytes);
    Extract();
    ExpectSuccess();
    ExpectFiles({{"one.txt", [] {
                    std::string s;
                    for (int i = 0; i < 5000; ++i) s += "first ";
                    return s;
                  }()},
                 {"two.txt", "second"}});
  }
}

TEST_F(DescriptorTest, Zip64SizesInTheLocalHeaderAsInfoZipWritesThem) {
  std::vector<uint8_t> zip = MadeBy("printf 'from stdin\\n' | zip -q -fz z.zip - && printf 'x' > x && zip -q -fz z.zip x",
                                    "z.zip");
  Open(zip);
  Extract();
  ExpectSuccess();
  ExpectFiles({{"-", "from stdin\n"}, {"x", "x"}});
}

TEST_F(DescriptorTest, ADescriptorCutByAVolumesEndGoesOnInTheNext) {
  std::vector<uint8_t> archive = {0x50, 0x4B, 0x07, 0x08};  // the spanning marker
  std::vector<uint8_t> zip = ZipBuilder().Add(Piped("a.txt", "spanned and piped")).Stored("b", "after").Bytes();
  archive.insert(archive.end(), zip.begin(), zip.end());
  size_t b = 8;
  while (Le32(&archive[b]) != ZipSignature(ShiftedLocalHeader)) ++b;
  for (size_t cut : {b - 10, b - 16, b - 1}) {  // inside the descriptor, at its start, before its last byte
    posix::Messages.clear();
    std::system(("rm -rf '" + dest_ + "'/*").c_str());
    Open(std::vector<uint8_t>(archive.begin(), archive.begin() + static_cast<long>(cut)));
    WriteFile("setup.z02", std::vector<uint8_t>(archive.begin() + static_cast<long>(cut), archive.end()));
    Extract();
    ExpectSuccess();
    ExpectFiles({{"a.txt", "spanned and piped"}, {"b", "after"}});
  }
}

TEST_F(DescriptorTest, TheDeflateCeilingHoldsForStreamsOfUnknownSize) {
  // 2 MiB of zeros from 2 KB: within what a stream can give, extracted whole.
  std::string zeros(2u << 20, '\0');
  Open(WithoutEndRecord(ZipBuilder().Add(Piped("zeros.bin", zeros)).Bytes()));
  Extract();
  ExpectSuccess();
  EXPECT_EQ(ReadFile(Out("zeros.bin")).size(), zeros.size());
  // Where the directory gives the size, a stream that runs past it is stopped there.
  ZipEntry bomb = Piped("bomb.bin", std::string(100000, '\0'));
  bomb.uncompressedSize = 1000;
  posix::Messages.clear();
  Open(ZipBuilder().Add(bomb).Stored("after", "a"));
  Extract();
  ExpectFailureSummaryLast();
  EXPECT_FALSE(Exists(Out("bomb.bin")));
  EXPECT_EQ(ReadFile(Out("after")), "a");
}

TEST_F(DescriptorTest, NamesLoseTheirDotPartsAndUnflaggedUtf8IsReadAsUtf8) {
  ZipBuilder zip;
  zip.Folder("./").Stored("./top.txt", "t").Stored("./sub/./inner.txt", "i").Stored("caf\xC3\xA9.txt", "c");
  Open(zip);
  Extract();
  ExpectSuccess();
  ExpectFiles({{"top.txt", "t"}, {"sub/inner.txt", "i"}, {"caf\xC3\xA9.txt", "c"}});
  // "a/./b" and "a/b" are one file: the second is not written over the first unasked.
  posix::Messages.clear();
  std::system(("rm -rf '" + dest_ + "'/*").c_str());
  OverwriteMode = ReplaceWithoutAsking;
  Open(ZipBuilder().Stored("a/b", "first").Stored("a/./b", "second"));
  Extract();
  EXPECT_EQ(ReadFile(Out("a/b")), "first");
  ExpectFailureSummaryLast();
}

TEST_F(DescriptorTest, ANameInTheCodePageStaysInTheCodePage) {
  // 0xE9 alone is no UTF-8: the system's code page (1252 on the host) reads it.
  Open(ZipBuilder().Stored("caf\xE9.txt", "ansi"));
  Extract();
  ExpectSuccess();
  EXPECT_EQ(ReadFile(Out("caf\xC3\xA9.txt")), "ansi");
}

}  // namespace

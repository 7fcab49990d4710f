// mksfx's ZIP records where values reach Zip64's lines: below them the
// records of before, byte for byte; at and past them the Zip64 fields, the
// Zip64 end record and its locator, values that no small test file could
// carry. Then the writer and the .zip reader end to end: a one-file program
// that stops below its limit, 65,536 entries, sources with Zip64 fields and
// end records behind a program of their own, WinZip AES entries, bsdtar's
// "./" names.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>
#include "archive/zip_format.h"
#include "tests/support/zip_builder.h"
#include "tests/unit/fixture.h"
#include "tools/mksfx/common.h"
#include "tools/mksfx/source_zip.h"
#include "tools/mksfx/writer.h"

namespace fs = std::filesystem;

namespace {

constexpr uint64_t GiB = uint64_t{1} << 30;

// Little-endian bytes spelled out, apart from the writer's own helpers.
struct Le {
  std::string s;
  Le& u8(uint32_t v) { s += static_cast<char>(v & 0xFF); return *this; }
  Le& u16(uint32_t v) { return u8(v).u8(v >> 8); }
  Le& u32(uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
  Le& u64(uint64_t v) { return u32(static_cast<uint32_t>(v)).u32(static_cast<uint32_t>(v >> 32)); }
  Le& text(const std::string& t) { s += t; return *this; }
};

const unsigned char* At(const std::string& s, size_t at) { return reinterpret_cast<const unsigned char*>(s.data()) + at; }

mksfx::EntryRecord Deflated(uint64_t packed, uint64_t size) {
  mksfx::EntryRecord e;
  e.name = "a.txt";
  e.method = MethodDeflate;
  e.dosDateTime = 0x2AEF63C5;
  e.crc = 0x11223344;
  e.compressedSize = packed;
  e.uncompressedSize = size;
  return e;
}

TEST(MksfxRecords, BelowTheLinesTheRecordsOfBefore) {
  mksfx::EntryRecord e = Deflated(50, 100);
  e.offset = 1234;
  e.disk = 3;
  EXPECT_EQ(mksfx::LocalHeaderOf(e), Le()
                                         .u32(0x04034b50).u16(20).u16(0).u16(8).u32(0x2AEF63C5).u32(0x11223344)
                                         .u32(50).u32(100).u16(5).u16(0).text("a.txt").s);
  EXPECT_EQ(mksfx::CentralRecordOf(e), Le()
                                           .u32(0x02014b50).u16(0x0B14).u16(20).u16(0).u16(8).u32(0x2AEF63C5)
                                           .u32(0x11223344).u32(50).u32(100).u16(5).u16(0).u16(0).u16(3).u16(0)
                                           .u32(0x20).u32(1234).text("a.txt").s);
  mksfx::DirectoryEnd end;
  end.entries = 7;
  end.entriesHere = 2;
  end.size = 400;
  end.offset = 5000;
  end.firstDisk = 2;
  end.endDisk = 3;
  end.endOffset = 90;
  EXPECT_EQ(mksfx::EndRecordsOf(end), Le().u32(0x06054b50).u16(3).u16(2).u16(2).u16(7).u32(400).u32(5000).u16(0).s);

  // The last values that fit stay in their fields.
  e = Deflated(0xFFFFFFFEu, 0xFFFFFFFEu);
  e.offset = 0xFFFFFFFEu;
  e.disk = 0xFFFE;
  std::string local = mksfx::LocalHeaderOf(e), central = mksfx::CentralRecordOf(e);
  EXPECT_EQ(local.size(), LocalHeaderSize + 5u);
  EXPECT_EQ(mksfx::Get32(At(local, 18)), 0xFFFFFFFEu);
  EXPECT_EQ(central.size(), CentralHeaderSize + 5u);
  EXPECT_EQ(mksfx::Get16(At(central, 6)), 20u);
  EXPECT_EQ(mksfx::Get16(At(central, 34)), 0xFFFEu);
  EXPECT_EQ(mksfx::Get32(At(central, 42)), 0xFFFFFFFEu);
  end.entries = end.entriesHere = 0xFFFE;
  end.size = end.offset = 0xFFFFFFFEu;
  end.firstDisk = end.endDisk = 0xFFFE;
  EXPECT_EQ(mksfx::EndRecordsOf(end).size(), EndRecordSize + 0u);
  EXPECT_FALSE(mksfx::EndNeedsZip64(end));
}

TEST(MksfxRecords, AnEntryOf4GiBCarriesBothSizesInItsLocalZip64Field) {
  mksfx::EntryRecord e = Deflated(3 * GiB, 5 * GiB);
  EXPECT_EQ(mksfx::LocalHeaderOf(e), Le()
                                         .u32(0x04034b50).u16(45).u16(0).u16(8).u32(0x2AEF63C5).u32(0x11223344)
                                         .u32(0xFFFFFFFF).u32(0xFFFFFFFF).u16(5).u16(20).text("a.txt")
                                         .u16(1).u16(16).u64(5 * GiB).u64(3 * GiB).s);
  // The size that is the escape itself takes the field too; so does a
  // packed size alone (stored data and encryption's bytes).
  for (auto [packed, size] : {std::pair<uint64_t, uint64_t>{10, 0xFFFFFFFFu}, {0xFFFFFFFFu, 0xFFFFFF00u}, {4 * GiB, 10}}) {
    std::string local = mksfx::LocalHeaderOf(Deflated(packed, size));
    ASSERT_EQ(local.size(), LocalHeaderSize + 5u + 20u) << packed << " " << size;
    EXPECT_EQ(mksfx::Get64(At(local, 39)), size);
    EXPECT_EQ(mksfx::Get64(At(local, 47)), packed);
  }
  // A WinZip AES field follows the Zip64 field; the version is AES's.
  e.method = MethodAes;
  e.extra = Le().u16(0x9901).u16(7).u16(2).u16(0x4541).u8(3).u16(8).s;
  std::string local = mksfx::LocalHeaderOf(e);
  EXPECT_EQ(mksfx::Get16(At(local, 4)), 51u);
  EXPECT_EQ(mksfx::Get16(At(local, 28)), 31u);
  EXPECT_EQ(local.substr(LocalHeaderSize + 5 + 20), e.extra);
}

TEST(MksfxRecords, TheCentralZip64FieldHoldsWhatItsFieldsCannot) {
  // Sizes: both, as in the local header; the offset and disk stay.
  mksfx::EntryRecord e = Deflated(100, 5 * GiB);
  e.offset = 77;
  e.disk = 2;
  std::string c = mksfx::CentralRecordOf(e);
  EXPECT_EQ(c, Le()
                   .u32(0x02014b50).u16(0x0B14).u16(45).u16(0).u16(8).u32(0x2AEF63C5).u32(0x11223344)
                   .u32(0xFFFFFFFF).u32(0xFFFFFFFF).u16(5).u16(20).u16(0).u16(2).u16(0).u32(0x20).u32(77)
                   .text("a.txt").u16(1).u16(16).u64(5 * GiB).u64(100).s);
  // An offset past 4 GiB alone.
  e = Deflated(100, 200);
  e.offset = 6 * GiB;
  c = mksfx::CentralRecordOf(e);
  EXPECT_EQ(mksfx::Get16(At(c, 6)), 45u);
  EXPECT_EQ(mksfx::Get32(At(c, 20)), 100u);
  EXPECT_EQ(mksfx::Get32(At(c, 24)), 200u);
  EXPECT_EQ(mksfx::Get32(At(c, 42)), 0xFFFFFFFFu);
  EXPECT_EQ(c.substr(CentralHeaderSize + 5), Le().u16(1).u16(8).u64(6 * GiB).s);
  // Everything at once, in the format's order: sizes, offset, disk.
  e = Deflated(4 * GiB, 5 * GiB);
  e.offset = 0xFFFFFFFFu;
  e.disk = 70000;
  c = mksfx::CentralRecordOf(e);
  EXPECT_EQ(mksfx::Get16(At(c, 34)), 0xFFFFu);
  EXPECT_EQ(c.substr(CentralHeaderSize + 5), Le().u16(1).u16(28).u64(5 * GiB).u64(4 * GiB).u64(0xFFFFFFFFu).u32(70000).s);
}

TEST(MksfxRecords, TheZip64EndRecordAndLocatorBeforeTheEndRecord) {
  mksfx::DirectoryEnd end;
  end.entries = 70000;
  end.entriesHere = 30000;
  end.size = 3000000;
  end.offset = 123456;
  end.firstDisk = 4;
  end.endDisk = 6;
  end.endOffset = 999;
  EXPECT_TRUE(mksfx::EndNeedsZip64(end));
  EXPECT_EQ(mksfx::EndRecordsOf(end), Le()
                                          .u32(0x06064b50).u64(44).u16(0x0B2D).u16(45).u32(6).u32(4).u64(30000)
                                          .u64(70000).u64(3000000).u64(123456)
                                          .u32(0x07064b50).u32(6).u64(999).u32(7)
                                          .u32(0x06054b50).u16(6).u16(4).u16(30000).u16(0xFFFF).u32(3000000)
                                          .u32(123456).u16(0).s);
  // The count of 65,535 itself is the escape; a size or an offset of 4 GiB
  // and more, the volumes' numbers, each bring the records in.
  mksfx::DirectoryEnd small;
  small.entries = small.entriesHere = 0xFFFF;
  std::string records = mksfx::EndRecordsOf(small);
  ASSERT_EQ(records.size(), Zip64EndRecordSize + Zip64LocatorSize + EndRecordSize + 0u);
  EXPECT_EQ(mksfx::Get64(At(records, 32)), 0xFFFFu);
  EXPECT_EQ(mksfx::Get16(At(records, 76 + 10)), 0xFFFFu);
  for (int which = 0; which < 4; ++which) {
    mksfx::DirectoryEnd d;
    if (which == 0) d.size = 0xFFFFFFFFu;
    if (which == 1) d.offset = 5 * GiB;
    if (which == 2) d.endDisk = 0xFFFF;
    if (which == 3) d.firstDisk = 0x10000;
    EXPECT_TRUE(mksfx::EndNeedsZip64(d)) << which;
    EXPECT_EQ(mksfx::EndRecordsOf(d).size(), 98u) << which;
  }
  // Asked for, they come with values that fit.
  EXPECT_EQ(mksfx::EndRecordsOf(mksfx::DirectoryEnd{}, Zip64Escape, true).size(), 98u);
}

class MksfxZip64 : public SfxTest {
 protected:
  std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  fs::path Path(const std::string& name) { return fs::path(scratch_) / name; }
};

TEST_F(MksfxZip64, AZip64EntrysDescriptorHasSixtyFourBitSizes) {
  {
    mksfx::VolumeWriter out(Path("d.exe"), 0);
    mksfx::ArchiveWriter zip(out, false, 16);  // 16 bytes stand for 4 GiB here
    zip.Begin("STUB", "");
    mksfx::EntryRecord e;
    e.name = "big.bin";
    e.flags = FlagDescriptor;
    e.crc = 0xCAFEF00Du;
    e.compressedSize = e.uncompressedSize = 20;
    zip.Add(e, std::string(20, 'x'));
    e.name = "small.bin";
    e.flags = 0;
    e.compressedSize = e.uncompressedSize = 3;
    zip.Add(e, "abc");
    zip.Finish();
    out.Commit();
  }
  std::string file = Read(Path("d.exe"));
  size_t data = 4 + LocalHeaderSize + 7 + 20;
  EXPECT_EQ(file.substr(data + 20, 24), Le().u32(0x08074b50).u32(0xCAFEF00Du).u64(20).u64(20).s);
  EXPECT_EQ(mksfx::Get32(At(file, data + 20 + 24)), 0x04034b50u);
  EXPECT_EQ(mksfx::Get16(At(file, data + 20 + 24 + 28)), 0u);  // small.bin: no extra field

  // mksfx's own reader takes the sizes from the Zip64 fields back.
  mksfx::SourceZip source(Path("d.exe"), false);
  ASSERT_EQ(source.Entries().size(), 2u);
  EXPECT_EQ(source.Entries()[0].uncompressedSize, 20u);
  EXPECT_EQ(source.Entries()[0].dataOffset, data);
  EXPECT_EQ(source.Entries()[1].compressedSize, 3u);
}

TEST_F(MksfxZip64, MoreThan65535EntriesEndInZip64Records) {
  const uint32_t count = 65536;
  {
    mksfx::VolumeWriter out(Path("many.exe"), 0);
    mksfx::ArchiveWriter zip(out, false);
    zip.Begin("STUB", "");
    for (uint32_t i = 0; i < count; ++i) {
      mksfx::EntryRecord e;
      e.name = std::to_string(i);
      zip.Add(e, "");
    }
    zip.Finish();
    out.Commit();
  }
  std::string file = Read(Path("many.exe"));
  ASSERT_GT(file.size(), 98u);
  std::string end = file.substr(file.size() - 98);
  EXPECT_EQ(mksfx::Get32(At(end, 0)), 0x06064b50u);
  EXPECT_EQ(mksfx::Get64(At(end, 32)), count);
  EXPECT_EQ(mksfx::Get32(At(end, 56)), 0x07064b50u);
  EXPECT_EQ(mksfx::Get64(At(end, 64)), file.size() - 98);  // the locator points at the record
  EXPECT_EQ(mksfx::Get16(At(end, 76 + 10)), 0xFFFFu);
  mksfx::SourceZip source(Path("many.exe"), false);
  ASSERT_EQ(source.Entries().size(), count);
  EXPECT_EQ(source.Entries().back().name, std::to_string(count - 1));
}

TEST_F(MksfxZip64, OneFileStopsBelowItsLargestSize) {
  {
    mksfx::VolumeWriter out(Path("one.exe"), 0, 100);
    out.Write(std::string(100, 'a'));
    try {
      out.Write("b");
      ADD_FAILURE() << "a 101st byte was written";
    } catch (const mksfx::Failure& f) {
      EXPECT_NE(std::string(f.what()).find("4 GiB or larger, which Windows does not start; give --split SIZE"),
                std::string::npos)
          << f.what();
    }
  }
  EXPECT_TRUE(fs::is_empty(scratch_));
  // Split, the same bytes go on in the next volume.
  {
    mksfx::VolumeWriter out(Path("two.exe"), 60, 100);
    out.Write(std::string(101, 'a'));
    EXPECT_EQ(out.Count(), 2u);
    out.Commit();
  }
  EXPECT_EQ(fs::file_size(Path("two.exe")), 60u);
  EXPECT_EQ(fs::file_size(Path("two.z02")), 41u);
}

TEST_F(MksfxZip64, ASourceWithZip64FieldsAndEndBehindAProgram) {
  ZipBuilder zip;
  ZipEntry big;
  big.name = "big.txt";
  big.data = Bytes(std::string(3000, 'z'));
  big.method = MethodDeflate;
  big.zip64 = true;
  big.descriptor = true;  // with its 64-bit sizes: the directory's are taken
  zip.Add(big).Stored("small.txt", "small").Zip64End();
  std::vector<uint8_t> bytes(5000, 'M');  // a program of its own in front
  std::vector<uint8_t> archive = zip.Bytes();
  bytes.insert(bytes.end(), archive.begin(), archive.end());
  mksfx::SourceZip source(WriteFile("prefixed.zip", bytes), false);
  ASSERT_EQ(source.Entries().size(), 2u);
  const mksfx::SourceEntry& e = source.Entries()[0];
  EXPECT_EQ(e.uncompressedSize, 3000u);
  EXPECT_LT(e.compressedSize, 100u);
  std::string read(2, '\0');
  source.ReadData(source.Entries()[1], 0, read.data(), 2);
  EXPECT_EQ(read, "sm");
}

TEST_F(MksfxZip64, ASourceEntryPast4GiBIsTakenWithItsSizes) {
  ZipEntry huge;
  huge.name = "huge.bin";
  huge.method = MethodDeflate;
  huge.payload = std::vector<uint8_t>{0x03, 0x00};  // the sizes are declared, not checked here
  huge.uncompressedSize = 5 * GiB;
  mksfx::SourceZip source(WriteFile("huge.zip", ZipBuilder().Add(huge).Bytes()), false);
  ASSERT_EQ(source.Entries().size(), 1u);
  EXPECT_EQ(source.Entries()[0].uncompressedSize, 5 * GiB);
  EXPECT_EQ(source.Entries()[0].compressedSize, 2u);
}

TEST_F(MksfxZip64, WinZipAesEntriesAreTakenWithTheirField) {
  ZipEntry aes;
  aes.name = "secret.txt";
  aes.data = Bytes("the secret");
  aes.method = MethodDeflate;
  aes.password = "pw";
  aes.aesStrength = 1;
  aes.aesVersion = AesVersionAe1;
  mksfx::SourceZip source(WriteFile("aes.zip", ZipBuilder().Add(aes).Bytes()), false);
  ASSERT_EQ(source.Entries().size(), 1u);
  const mksfx::SourceEntry& e = source.Entries()[0];
  EXPECT_EQ(e.method, MethodAes);
  EXPECT_EQ(e.aesField, Le().u16(0x9901).u16(7).u16(1).u16(0x4541).u8(1).u16(8).s);
  EXPECT_EQ(e.crc, ZipCrc(aes.data));  // AE-1 keeps it

  // A method inside that the stub cannot decode, a malformed field, and data
  // too short for the salt, verifier and code are refused by name.
  ZipEntry bzip = aes;
  bzip.method = 12;
  bzip.payload = Bytes("bz");
  try {
    mksfx::SourceZip(WriteFile("bzip.zip", ZipBuilder().Add(bzip).Bytes()), true);
    ADD_FAILURE() << "bzip2 inside AES was taken";
  } catch (const mksfx::Failure& f) {
    EXPECT_STREQ(f.what(), "'secret.txt' is compressed with bzip2 inside its AES encryption, which the stub cannot extract");
  }
  ZipEntry bad = aes;
  bad.password.clear();
  bad.aesStrength = 0;
  bad.method = MethodAes;
  bad.extraFlags = FlagEncrypted;
  bad.extra = Bytes(std::string("\x01\x99\x07\x00\x02\x00" "AE" "\x04\x08\x00", 11));  // strength 4
  EXPECT_THROW(mksfx::SourceZip(WriteFile("bad.zip", ZipBuilder().Add(bad).Bytes()), false), mksfx::Failure);
  ZipEntry shortAes = aes;
  shortAes.password.clear();
  shortAes.aesStrength = 0;
  shortAes.method = MethodAes;
  shortAes.extraFlags = FlagEncrypted;
  shortAes.extra = Bytes(std::string("\x01\x99\x07\x00\x02\x00" "AE" "\x01\x08\x00", 11));
  shortAes.payload = std::vector<uint8_t>(AesOverhead(1) - 1, 0);
  EXPECT_THROW(mksfx::SourceZip(WriteFile("short.zip", ZipBuilder().Add(shortAes).Bytes()), false), mksfx::Failure);
}

TEST_F(MksfxZip64, BsdtarsLeadingDotFolderIsTakenOff) {
  ZipBuilder zip;
  zip.Folder("./").Folder("./docs/").Stored("./docs/a.txt", "a").Stored("././b.txt", "b");
  mksfx::SourceZip source(WriteFile("dots.zip", zip.Bytes()), false);
  EXPECT_TRUE(source.DotsStripped());
  std::vector<std::string> names;
  for (const mksfx::SourceEntry& e : source.Entries()) names.push_back(e.name);
  EXPECT_EQ(names, (std::vector<std::string>{"docs/", "docs/a.txt", "b.txt"}));
  // Only a leading one: "docs/./a.txt" stays, for create to refuse.
  EXPECT_EQ(mksfx::SourceZip(WriteFile("inner.zip", ZipBuilder().Stored("docs/./a.txt", "a").Bytes()), false)
                .Entries()[0].name, "docs/./a.txt");
  EXPECT_FALSE(mksfx::SourceZip(WriteFile("plain.zip", ZipBuilder().Stored("a.txt", "a").Bytes()), false).DotsStripped());
}

}  // namespace

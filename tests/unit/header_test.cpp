// The local header reader and the steps of the walk: accepted signatures,
// spanning markers, the end at the central directory, extra fields, data
// descriptors and entries whose sizes are not in their local header.
#include <string>
#include <vector>
#include "Sfx/sfx.h"
#include "Sfx/state.h"
#include "archive/header.h"
#include "archive/walk.h"
#include "tests/unit/fixture.h"
#include "tests/support/zip_builder.h"

namespace {

class HeaderTest : public SfxTest {
 protected:
  // The archive behind the stub, positioned at its start.
  void Open(const std::vector<uint8_t>& archive) {
    ResetLocalHeader();
    OpenArchive(WriteFile("setup.exe", StubThen(archive)));
    ASSERT_EQ(SeekArchive(StubSize, SeekFromBegin), 0);
  }
  // Walks as the count pass does; returns the names of the headers read.
  std::vector<std::string> Walk() {
    std::vector<std::string> names;
    for (;;) {
      WalkStep step = NextEntry();
      if (step == WalkEndAtDirectory || step == WalkCutShort) break;
      names.push_back(CurrentEntry.name);
      if (step == WalkSizesUnknown) {
        names.push_back("<unknown sizes>");
        break;
      }
      if (StepOverEntry(CurrentEntry) != WalkEntry) {
        names.push_back("<cannot step over>");
        break;
      }
    }
    return names;
  }
};

using Names = std::vector<std::string>;

TEST_F(HeaderTest, ThreeEntriesThenTheCentralDirectoryEndsTheWalk) {
  Open(ZipBuilder().Stored("a.txt", "alpha").Stored("b.txt", "").Stored("c.txt", "gamma!").Bytes());
  ASSERT_TRUE(ReadLocalHeader());
  EXPECT_EQ(ArchivePosition, StubSize);
  EXPECT_EQ(EntryRemaining, 5u);
  ASSERT_EQ(SeekArchive(StubSize, SeekFromBegin), 0);
  EXPECT_EQ(Walk(), (Names{"a.txt", "b.txt", "c.txt"}));
  EXPECT_EQ(LocalHeader.signature, ZipSignature(ShiftedCentralHeader)) << "the fourth read meets the central directory";
  EXPECT_EQ(EntryRemaining, 0u);
}

TEST_F(HeaderTest, SpanningMarkersAreSteppedOver) {
  std::vector<uint8_t> archive;
  PutLe32(archive, ZipSignature(ShiftedMarker));
  PutLe32(archive, ZipSignature(ShiftedMarker));
  std::vector<uint8_t> rest = ZipBuilder().Stored("x", "1").Bytes();
  archive.insert(archive.end(), rest.begin(), rest.end());
  Open(archive);
  CurrentVolume = 0;
  ASSERT_TRUE(ReadLocalHeader());
  EXPECT_EQ(CurrentVolume, 1);
  EXPECT_EQ(ArchivePosition, StubSize + 8) << "the header stands after both markers";
  EXPECT_EQ(HeaderStart, StubSize + 8) << "and is recorded there, not at the first marker";
  EXPECT_EQ(LocalHeader.nameLength, 1);
}

TEST_F(HeaderTest, ZeroFiftyIsTakenAsALocalHeader) {
  std::vector<uint8_t> archive = ZipBuilder().Stored("odd", "data").Bytes();
  archive[0] = 0x00;
  archive[1] = 0x00;
  archive[2] = 0x00;
  archive[3] = 0x50;
  Open(archive);
  ASSERT_TRUE(ReadLocalHeader());
  EXPECT_EQ(EntryRemaining, 4u);
}

TEST_F(HeaderTest, NothingBehindTheStubIsNoHeader) {
  Open({});
  EntryRemaining = 99;
  EXPECT_FALSE(ReadLocalHeader());
  EXPECT_EQ(LocalHeader.signature, 0u);
  EXPECT_EQ(EntryRemaining, 0u);
}

TEST_F(HeaderTest, ARecordCutShortIsNoHeader) {
  // A file that ends two bytes into the next record: those bytes and the
  // previous header's rest would otherwise read as a signature.
  std::vector<uint8_t> archive = ZipBuilder().Stored("a", "1").LocalPart();
  archive.push_back(0x50);
  archive.push_back(0x4B);
  Open(archive);
  EXPECT_EQ(Walk(), (Names{"a"}));
}

TEST_F(HeaderTest, ExtraFieldsAreSteppedOver) {
  ZipEntry first;
  first.name = "first";
  first.data = Bytes("11");
  first.extra = std::vector<uint8_t>(28, 0xAB);
  Open(ZipBuilder().Add(first).Stored("second", "22").Bytes());
  ASSERT_EQ(NextEntry(), WalkEntry);
  EXPECT_EQ(CurrentEntry.dataOffset, 30u + 5 + 28);
  ASSERT_EQ(SeekArchive(StubSize, SeekFromBegin), 0);
  EXPECT_EQ(Walk(), (Names{"first", "second"}));
}

TEST_F(HeaderTest, DataDescriptorsWithAndWithoutSignature) {
  ZipEntry signed_;
  signed_.name = "signed";
  signed_.data = Bytes("abc");
  signed_.descriptor = true;
  ZipEntry bare = signed_;
  bare.name = "bare";
  bare.descriptorSignature = false;
  Open(ZipBuilder().Add(signed_).Add(bare).Stored("last", "z").Bytes());
  EXPECT_EQ(Walk(), (Names{"signed", "bare", "last"}));
}

TEST_F(HeaderTest, SizesMissingFromTheLocalHeaderComeFromTheDirectoryOrTheStream) {
  ZipEntry piped;
  piped.name = "piped";
  piped.data = Bytes("streamed without sizes");
  piped.method = 8;
  piped.sizesInHeader = false;
  Open(ZipBuilder().Add(piped).Stored("after", "x").Bytes());
  EXPECT_EQ(Walk(), (Names{"piped", "after"}));
  EXPECT_EQ(CurrentEntry.sizeSource, SizesFromLocalHeader);
  // Without a directory the Deflate stream shows its own end.
  Open(ZipBuilder().Add(piped).Stored("after", "x").LocalPart());
  EXPECT_EQ(Walk(), (Names{"piped", "after"}));
  // A stored entry has no end of its own to find.
  piped.method = 0;
  Open(ZipBuilder().Add(piped).Stored("after", "x").LocalPart());
  EXPECT_EQ(Walk(), (Names{"piped", "<unknown sizes>"}));
}

TEST_F(HeaderTest, AnEmptyEntryWithItsDescriptorRightBehindIsWalkable) {
  ZipEntry empty;
  empty.name = "empty";
  empty.sizesInHeader = false;  // sizes 0 in the header, and truly 0
  Open(ZipBuilder().Add(empty).Stored("after", "x").Bytes());
  EXPECT_EQ(Walk(), (Names{"empty", "after"}));
}

TEST_F(HeaderTest, ASizeThatWouldWrapAroundEndsTheWalk) {
  // compressed size chosen so that the next position would be this header
  // again after 32-bit wrap-around: the walk must not loop.
  std::vector<uint8_t> archive = ZipBuilder().Stored("loop", "").LocalPart();
  uint32_t size = 0u - (30 + 4);
  for (int i = 0; i < 4; ++i) archive[18 + i] = static_cast<uint8_t>(size >> (8 * i));
  Open(archive);
  EXPECT_EQ(Walk(), (Names{"loop", "<cannot step over>"}));
}

}  // namespace

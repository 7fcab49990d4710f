// Inflate decoder on streams made bit by bit: damaged streams that must end
// (stored lengths without their complement, reserved block types, repeats
// beyond the lengths expected, distance codes 30 and 31, truncation), codes
// zlib does not make (an end-of-block code shorter than the root, incomplete
// distance codes), and the entry's surroundings: decryption, a second
// volume, allocation failures and a cancel request.
#include <string.h>
#include <algorithm>
#include "archive/header.h"
#include "tests/support/sealed.h"
#include "tests/support/posix_control.h"
#include "archive/entry_data.h"
#include "tests/unit/inflate_harness.h"

namespace {

TEST_F(InflateTest, StoredBlockWithoutItsComplementIsDamaged) {
  BitWriter out;
  out.Put(1, 1);
  out.Put(0, 2);
  out.used = 0;
  for (int b : {5, 0, 0xFA, 0xFE, 0x68, 0x65, 0x6C, 0x6C, 0x6F}) out.bytes.push_back(static_cast<uint8_t>(b));  // "hello", NLEN off by 256
  InflateResult got = Inflate(out.bytes);
  EXPECT_EQ(got.output, "");

  out.bytes[4] = 0xFF;  // the true complement: the same block copies its five bytes
  got = Inflate(out.bytes);
  EXPECT_EQ(got.output, "hello");
  EXPECT_EQ(got.crc, ZlibCrc("hello"));
}

TEST_F(InflateTest, ReservedBlockTypeEndsTheEntry) {
  // A stream that stops at a sync flush, then a final block of type 3.
  BitWriter tail;
  tail.Put(1, 1);
  tail.Put(3, 2);
  tail.Put(0xFFFF, 16);
  z_stream z{};
  deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  std::vector<uint8_t> head(256);
  std::string text = "first part ";
  z.next_in = reinterpret_cast<Bytef*>(text.data());
  z.avail_in = static_cast<uInt>(text.size());
  z.next_out = head.data();
  z.avail_out = static_cast<uInt>(head.size());
  ASSERT_EQ(deflate(&z, Z_SYNC_FLUSH), Z_OK);
  head.resize(z.total_out);
  deflateEnd(&z);
  head.insert(head.end(), tail.bytes.begin(), tail.bytes.end());
  InflateResult got = Inflate(head);
  EXPECT_EQ(got.output, text);  // what came before the damage is written
  EXPECT_EQ(got.flushes, 1);
}

TEST_F(InflateTest, TruncatedStreamsEndWithAPrefixOfTheData) {
  std::string data = SampleText(70000) + SampleRandom(5000);
  for (const int strategy : {Z_DEFAULT_STRATEGY, Z_FIXED}) {
    std::vector<uint8_t> full = ZlibDeflate(data, 6, strategy);
    for (size_t cut : {size_t{0}, size_t{1}, size_t{2}, size_t{100}, full.size() / 2, full.size() - 1}) {
      std::vector<uint8_t> part(full.begin(), full.begin() + static_cast<long>(cut));
      InflateResult got = Inflate(part);
      EXPECT_TRUE(IsPrefix(got.output, data)) << "cut " << cut;
      // The last byte may hold nothing but zero bits of the end-of-block
      // code, which the missing bits reproduce.
      if (cut + 1 == full.size()) continue;
      EXPECT_LT(got.output.size(), data.size()) << "cut " << cut;
      EXPECT_NE(got.crc, ZlibCrc(data));
    }
  }
  // A stream that stops after a sync flush without a final block: everything
  // is there, and the entry still ends.
  std::vector<uint8_t> open;
  {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    open.resize(deflateBound(&z, data.size()) + 64);
    z.next_in = reinterpret_cast<Bytef*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = open.data();
    z.avail_out = static_cast<uInt>(open.size());
    ASSERT_EQ(deflate(&z, Z_SYNC_FLUSH), Z_OK);
    open.resize(z.total_out);
    deflateEnd(&z);
  }
  InflateResult got = Inflate(open);
  EXPECT_TRUE(got.output == data);
  EXPECT_EQ(got.crc, ZlibCrc(data));
}

TEST_F(InflateTest, RepeatsBeyondTheLengthsAreDamageNotOverruns) {
  BitWriter out;
  out.Put(1, 1);
  out.Put(2, 2);
  out.Put(0, 5);   // 257 literal/length codes
  out.Put(0, 5);   // 1 distance code
  out.Put(15, 4);  // all 19 code-length lengths follow
  const unsigned order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
  for (unsigned symbol : order) out.Put(symbol == 18 || symbol == 0 ? 1 : 0, 3);  // 0 -> "0", 18 -> "1"
  for (int i = 0; i < 4; ++i) {  // four repeats of 138 zeros: far past 258 and past the array
    out.PutCode(1, 1);
    out.Put(127, 7);
  }
  for (int i = 0; i < 8; ++i) out.Put(0, 8);
  InflateResult got = Inflate(out.bytes);
  EXPECT_EQ(got.output, "");
  EXPECT_EQ(got.flushes, 0);
}

TEST_F(InflateTest, DistanceCodes30And31AreInvalid) {
  std::vector<unsigned> literal(258, 0), distance(32, 0);
  literal['A'] = 1;
  literal[256] = 2;
  literal[257] = 2;  // length 3
  distance[30] = 1;
  distance[31] = 1;
  BitWriter out;
  DynamicCodes codes = PutDynamicHeader(out, true, literal, distance);
  PutSymbol(out, codes.literal, codes.literalCode, 'A');
  PutSymbol(out, codes.literal, codes.literalCode, 'A');
  PutSymbol(out, codes.literal, codes.literalCode, 257);
  PutSymbol(out, codes.distance, codes.distanceCode, 30);
  PutSymbol(out, codes.literal, codes.literalCode, 256);
  InflateResult got = Inflate(out.bytes);
  EXPECT_EQ(got.output, "AA");  // the match is refused; what came before it stays
  std::string theirs;
  EXPECT_FALSE(ZlibInflate(out.bytes, &theirs));
}

TEST_F(InflateTest, EndOfBlockShorterThanTheRootDecodesAsZlibDoes) {
  // End of block 4 bits: the root table is cut to 4 bits and the 8- and
  // 12-bit codes go through sub-tables.
  std::vector<unsigned> literal(260, 0), distance(2, 0);
  literal['a'] = 1;
  literal[256] = 4;
  literal[258] = 4;  // length 4
  literal['b'] = 3;
  for (unsigned c = 0xA0; c < 0xA0 + 63; ++c) literal[c] = 8;
  for (unsigned c = 0x80; c < 0x80 + 15; ++c) literal[c] = 12;
  literal[259] = 12;  // length 5; with the rest the code is complete
  distance[0] = 1;
  distance[1] = 1;
  BitWriter out;
  DynamicCodes codes = PutDynamicHeader(out, false, literal, distance);
  std::string expect;
  uint32_t seed = 1;
  for (int i = 0; i < 3000; ++i) {
    unsigned r = NextRandom(&seed) % 8;
    unsigned symbol = r < 3 ? 'a' : r == 3 ? 'b' : r == 4 ? 0xA0 + NextRandom(&seed) % 63 : r == 5 ? 0x80 + NextRandom(&seed) % 15 : 0;
    if (symbol != 0) {
      PutSymbol(out, codes.literal, codes.literalCode, symbol);
      expect += static_cast<char>(symbol);
    } else if (expect.size() >= 2) {
      unsigned length = r == 6 ? 4 : 5;
      unsigned d = NextRandom(&seed) % 2;
      PutSymbol(out, codes.literal, codes.literalCode, length == 4 ? 258 : 259);
      PutSymbol(out, codes.distance, codes.distanceCode, d);
      for (unsigned k = 0; k < length; ++k) expect += expect[expect.size() - 1 - d];
    }
  }
  PutSymbol(out, codes.literal, codes.literalCode, 256);
  // A final fixed block with only its end of block.
  out.Put(1, 1);
  out.Put(1, 2);
  out.Put(0, 7);
  std::string theirs;
  ASSERT_TRUE(ZlibInflate(out.bytes, &theirs));
  ASSERT_EQ(theirs, expect);
  InflateResult got = Inflate(out.bytes);
  EXPECT_TRUE(got.output == expect);
  EXPECT_EQ(got.crc, ZlibCrc(expect));
}

TEST_F(InflateTest, IncompleteDistanceCodesAreUsedAndTheirGapsAreInvalid) {
  std::vector<unsigned> literal(258, 0);
  literal['x'] = 1;
  literal[256] = 2;
  literal[257] = 2;
  for (unsigned single : {1u, 3u}) {  // one code of 1 bit (complete), one of 3 bits (incomplete)
    std::vector<unsigned> distance(1, single);
    BitWriter out;
    DynamicCodes codes = PutDynamicHeader(out, true, literal, distance);
    PutSymbol(out, codes.literal, codes.literalCode, 'x');
    PutSymbol(out, codes.literal, codes.literalCode, 257);
    PutSymbol(out, codes.distance, codes.distanceCode, 0);
    PutSymbol(out, codes.literal, codes.literalCode, 256);
    EXPECT_EQ(Inflate(out.bytes).output, "xxxx") << single;

    // The same block with an unused pattern of the distance code instead.
    BitWriter bad;
    codes = PutDynamicHeader(bad, true, literal, distance);
    PutSymbol(bad, codes.literal, codes.literalCode, 'x');
    PutSymbol(bad, codes.literal, codes.literalCode, 257);
    bad.PutCode(1, single);  // code 0 is the only one; 1.. are free
    PutSymbol(bad, codes.literal, codes.literalCode, 256);
    EXPECT_EQ(Inflate(bad.bytes).output, "x") << single;
  }
}

TEST_F(InflateTest, TheFreeHalfOfAOneCodeLengthCodeIsDamage) {
  // A code-length code of a single 1-bit code (accepted as it stands): "0"
  // gives length 8, "1" is no code at all. Each "1" comes with six more bits,
  // so that a decoder taking the 7-bit index of the free half as a length of
  // zero would find 256 literal/length codes of 8 bits, a complete code.
  BitWriter out;
  out.Put(1, 1);
  out.Put(2, 2);
  out.Put(31, 5);  // 288 literal/length lengths
  out.Put(0, 5);   // 1 distance length
  out.Put(1, 4);   // 5 code-length code lengths: 16, 17, 18, 0 none, 8 one bit
  for (unsigned l : {0u, 0u, 0u, 0u, 1u}) out.Put(l, 3);
  for (unsigned s = 0; s < 289; ++s) out.Put(s < 255 || s == 256 ? 0 : 1, s < 255 || s == 256 ? 1 : 7);
  out.PutCode('A', 8);
  out.PutCode('B', 8);
  out.PutCode(255, 8);  // the end of block, as 8-bit codes would number it
  for (int i = 0; i < 4; ++i) out.Put(0, 8);
  InflateResult got = Inflate(out.bytes);
  EXPECT_EQ(got.output, "");
  EXPECT_EQ(got.flushes, 0);
}

TEST_F(InflateTest, BlockWithoutDistanceCodesHoldsLiteralsOnly) {
  std::vector<unsigned> literal(258, 0), distance(1, 0);
  literal['k'] = 1;
  literal[256] = 2;
  literal[257] = 2;
  BitWriter out;
  DynamicCodes codes = PutDynamicHeader(out, true, literal, distance);
  for (int i = 0; i < 5; ++i) PutSymbol(out, codes.literal, codes.literalCode, 'k');
  PutSymbol(out, codes.literal, codes.literalCode, 256);
  EXPECT_EQ(Inflate(out.bytes).output, "kkkkk");

  BitWriter match;  // a length with no distance code to follow it
  codes = PutDynamicHeader(match, true, literal, distance);
  PutSymbol(match, codes.literal, codes.literalCode, 'k');
  PutSymbol(match, codes.literal, codes.literalCode, 257);
  PutSymbol(match, codes.literal, codes.literalCode, 256);
  EXPECT_EQ(Inflate(match.bytes).output, "k");
}

TEST_F(InflateTest, EncryptedEntryDecryptsEachChunk) {
  std::string data = SampleText(100000);
  std::vector<uint8_t> stream = SealedWithKeysReady("secret", ZlibDeflate(data, 9, Z_DEFAULT_STRATEGY));
  CurrentEntry.flags = FlagEncrypted;
  EntryCipher = CipherTraditional;
  InflateResult got = Inflate(stream);
  EXPECT_TRUE(got.output == data);
  EXPECT_EQ(got.crc, ZlibCrc(data));
}

TEST_F(InflateTest, EntryGoesOnToTheNextVolume) {
  std::string data = SampleText(80000) + SampleRandom(20000);
  std::vector<uint8_t> stream = SealedWithKeysReady("pw", ZlibDeflate(data, 6, Z_DEFAULT_STRATEGY));
  size_t split = stream.size() / 3;
  posix::OwnPath = scratch_ + "/setup.exe";
  strcpy(OwnPath, posix::OwnPath.c_str());
  WriteFile("setup.z02", std::vector<uint8_t>(stream.begin() + static_cast<long>(split), stream.end()));
  std::vector<uint8_t> first(stream.begin(), stream.begin() + static_cast<long>(split));
  ArchiveSpanned = 1;
  CurrentVolume = 1;
  CurrentEntry.flags = FlagEncrypted;
  EntryCipher = CipherTraditional;
  InflateResult got = Inflate(first, static_cast<int32_t>(stream.size()));
  EXPECT_EQ(CurrentVolume, 2);
  EXPECT_FALSE(CancelRequested);
  EXPECT_TRUE(got.output == data);
  EXPECT_EQ(got.crc, ZlibCrc(data));
}

TEST_F(InflateTest, MissingVolumeEndsTheEntryWithoutACancel) {
  std::string data = SampleText(60000);
  std::vector<uint8_t> stream = ZlibDeflate(data, 6, Z_DEFAULT_STRATEGY);
  posix::OwnPath = scratch_ + "/setup.exe";
  strcpy(OwnPath, posix::OwnPath.c_str());
  ArchiveSpanned = 1;
  CurrentVolume = 1;
  std::vector<uint8_t> first(stream.begin(), stream.begin() + static_cast<long>(stream.size() / 2));
  InflateResult got = Inflate(first, static_cast<int32_t>(stream.size()));
  EXPECT_FALSE(CancelRequested) << "the user did not cancel";
  EXPECT_EQ(EntryStop, EntryVolumeLost);
  ASSERT_EQ(posix::Messages.size(), 1u);
  EXPECT_EQ(posix::Messages[0].caption, "Multi Volume");
  EXPECT_TRUE(IsPrefix(got.output, data));
  EXPECT_LT(got.output.size(), data.size());
}

TEST_F(InflateTest, WithoutVolumeChangesAShortEntryEndsQuietly) {
  std::string data = SampleText(60000);
  std::vector<uint8_t> stream = ZlibDeflate(data, 6, Z_DEFAULT_STRATEGY);
  std::vector<uint8_t> first(stream.begin(), stream.begin() + static_cast<long>(stream.size() / 2));
  InflateResult got = Inflate(first, static_cast<int32_t>(stream.size()));  // not spanned
  EXPECT_FALSE(CancelRequested);
  EXPECT_EQ(EntryStop, EntryInputEnded) << "a single file cut short is not read on in another";
  EXPECT_TRUE(posix::Messages.empty());
  EXPECT_TRUE(IsPrefix(got.output, data));
}

TEST_F(InflateTest, CancelRequestStopsBeforeTheFirstBlock) {
  std::vector<uint8_t> stream = ZlibDeflate(SampleText(50000), 6, Z_DEFAULT_STRATEGY);
  CancelRequested = 1;
  InflateResult got = Inflate(stream);
  EXPECT_EQ(got.output, "");
  EXPECT_EQ(EntryRemaining, static_cast<uint32_t>(stream.size()));  // nothing was read
}

TEST_F(InflateTest, AllocationFailuresEndTheEntryWithoutHarm) {
  std::string data = SampleText(40000);
  for (int strategy : {Z_DEFAULT_STRATEGY, Z_FIXED}) {
    std::vector<uint8_t> stream = ZlibDeflate(data, 6, strategy);
    for (long allowed = 0; allowed < 12; ++allowed) {
      posix::AllocationsLeft = allowed;
      InflateResult got = Inflate(stream);
      posix::AllocationsLeft = -1;
      EXPECT_TRUE(IsPrefix(got.output, data)) << allowed;
      // The input block and the window are all the decoder allocates; its
      // tables are fixed arrays.
      if (allowed < 2) {
        EXPECT_EQ(got.output, "") << allowed;
      } else {
        EXPECT_TRUE(got.output == data) << allowed;
      }
    }
    posix::AllocationsLeft = -1;
    EXPECT_TRUE(Inflate(stream).output == data);
  }
}

TEST_F(InflateTest, OutputLeavesInWholeWindowsAndOneShorterPiece) {
  for (size_t size : {size_t{WindowSize}, size_t{2 * WindowSize}, size_t{2 * WindowSize + 1}}) {
    std::string data = SampleRepeats(size);
    EntryDone = 0;
    InflateResult got = Inflate(ZlibDeflate(data, 9, Z_DEFAULT_STRATEGY));
    EXPECT_EQ(got.flushes, static_cast<int>((size + WindowSize - 1) / WindowSize)) << size;
    EXPECT_EQ(EntryDone, static_cast<int64_t>(size));
  }
}

}  // namespace

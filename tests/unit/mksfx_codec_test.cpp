// mksfx's compression in pieces: pieces compressed on their own join into
// one Deflate stream that zlib decodes to the whole input, with either
// library, at every level, for data that compresses and data that does not
// (written as stored blocks), with pieces ending at every bit position; the
// CRC of pieces combined; tiny pieces stored; and the streaming Inflate of
// --recompress.
#include <gtest/gtest.h>
#include <zlib.h>
#include <cstdint>
#include <random>
#include <string>
#include <vector>
#include "tools/mksfx/codec.h"
#include "tools/mksfx/common.h"

namespace {

std::string Words(size_t size, uint32_t seed) {
  static const char* const words[] = {"alpha", "beta", "gamma", "delta", "pieces", "of", "the", "archive", "join"};
  std::mt19937 rng(seed);
  std::string text;
  while (text.size() < size) {
    text += words[rng() % 9];
    text += rng() % 11 == 0 ? ".\n" : " ";
  }
  text.resize(size);
  return text;
}

std::string Noise(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(rng());
  return bytes;
}

// The whole input through PieceCompressor in pieces of the given sizes,
// joined; the last piece ends the stream.
std::string Joined(const std::string& input, const std::vector<size_t>& sizes, int level, mksfx::Deflater library) {
  mksfx::PieceCompressor c(level, library);
  std::string stream, piece;
  size_t at = 0;
  for (size_t i = 0; i < sizes.size(); ++i) {
    const unsigned char* data = reinterpret_cast<const unsigned char*>(input.data()) + at;
    size_t before = std::min(at, mksfx::DictionarySize);
    c.Compress(data - before, before, data, sizes[i], i + 1 == sizes.size(), piece);
    stream += piece;
    at += sizes[i];
  }
  EXPECT_EQ(at, input.size());
  return stream;
}

// zlib's decoding of one raw stream that must end exactly at its end.
std::string Decoded(const std::string& stream, size_t expected) {
  std::string out(expected + 1, '\0');
  z_stream z{};
  inflateInit2(&z, -15);
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.data()));
  z.avail_in = static_cast<uInt>(stream.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  int rc = inflate(&z, Z_FINISH);
  EXPECT_EQ(rc, Z_STREAM_END) << (z.msg ? z.msg : "");
  EXPECT_EQ(z.avail_in, 0u) << "bytes after the stream's end";
  out.resize(z.total_out);
  inflateEnd(&z);
  return out;
}

// Large byte strings compared without printing them.
::testing::AssertionResult Same(const std::string& got, const std::string& want) {
  if (got == want) return ::testing::AssertionSuccess();
  size_t at = 0;
  while (at < got.size() && at < want.size() && got[at] == want[at]) ++at;
  return ::testing::AssertionFailure() << got.size() << " bytes instead of " << want.size() << ", first difference at " << at;
}

std::vector<mksfx::Deflater> Libraries() {
  std::vector<mksfx::Deflater> all;
  for (mksfx::Deflater d : {mksfx::Deflater::Libdeflate, mksfx::Deflater::Zlib})
    if (mksfx::HasDeflater(d)) all.push_back(d);
  return all;
}

int Highest(mksfx::Deflater d) { return d == mksfx::Deflater::Libdeflate ? 12 : 9; }

TEST(MksfxPieces, JoinIntoOneStreamAtEveryLevel) {
  std::string input = Words(300000, 1) + Noise(70000, 2) + Words(200000, 3);
  for (mksfx::Deflater d : Libraries())
    for (int level = 1; level <= Highest(d); ++level) {
      std::string stream = Joined(input, {100000, 131072, 7, 338921}, level, d);
      EXPECT_TRUE(Same(Decoded(stream, input.size()), input)) << "level " << level;
      EXPECT_LT(stream.size(), input.size());
    }
}

TEST(MksfxPieces, EndAtEveryBitPosition) {
  // Pieces of many small sizes end their last Deflate block at every bit
  // of a byte, which decides where the joining empty block's header goes.
  for (mksfx::Deflater d : Libraries()) {
    std::string input = Words(40000, 4);
    std::vector<size_t> sizes;
    size_t total = 0;
    for (size_t n = 1; total + n <= input.size(); n += 37) {
      sizes.push_back(n);
      total += n;
    }
    sizes.push_back(input.size() - total);
    EXPECT_TRUE(Same(Decoded(Joined(input, sizes, 6, d), input.size()), input));
    EXPECT_TRUE(Same(Decoded(Joined(input, sizes, Highest(d), d), input.size()), input));
  }
}

TEST(MksfxPieces, IncompressiblePiecesAreStoredBlocks) {
  std::string input = Noise(200000, 5) + Words(100000, 6) + Noise(150000, 7);
  for (mksfx::Deflater d : Libraries()) {
    std::string stream = Joined(input, {200000, 100000, 150000}, Highest(d), d);
    EXPECT_TRUE(Same(Decoded(stream, input.size()), input));
    // Stored blocks cost 5 bytes per 64 KiB; the text in between shrinks.
    EXPECT_LT(stream.size(), input.size());
  }
  if (mksfx::HasDeflater(mksfx::Deflater::Libdeflate)) {
    // Noise alone: stored blocks exactly, 5 bytes a block of at most 65,535.
    mksfx::PieceCompressor c(10, mksfx::Deflater::Libdeflate);
    std::string noise = Noise(200000, 8), piece;
    c.Compress(nullptr, 0, reinterpret_cast<const unsigned char*>(noise.data()), noise.size(), false, piece);
    EXPECT_EQ(piece.size(), noise.size() + 4 * 5);
    EXPECT_EQ(piece[0], 0);  // not final
    c.Compress(nullptr, 0, reinterpret_cast<const unsigned char*>(noise.data()), noise.size(), true, piece);
    EXPECT_TRUE(Same(Decoded(piece, noise.size()), noise));
  }
}

TEST(MksfxPieces, TinyPiecesPassThroughStored) {
  // Up to 55 bytes are stored without a try, however well they would
  // shrink; from 56 on the library compresses them.
  for (mksfx::Deflater d : Libraries()) {
    mksfx::PieceCompressor c(Highest(d), d);
    std::string piece, tiny(55, 'a'), small(56, 'a');
    c.Compress(nullptr, 0, reinterpret_cast<const unsigned char*>(tiny.data()), tiny.size(), true, piece);
    EXPECT_EQ(piece.size(), tiny.size() + 5);
    EXPECT_EQ(piece[0], 1);  // a final stored block
    EXPECT_TRUE(Same(Decoded(piece, tiny.size()), tiny));
    c.Compress(nullptr, 0, reinterpret_cast<const unsigned char*>(small.data()), small.size(), true, piece);
    EXPECT_LT(piece.size(), 10u);
    EXPECT_TRUE(Same(Decoded(piece, small.size()), small));
  }
}

TEST(MksfxPieces, ZlibTakesTheBytesBeforeAsItsDictionary) {
  // The second half repeats the first: with the dictionary its piece is tiny.
  std::string half = Noise(20000, 9), input = half + half;
  mksfx::PieceCompressor c(9, mksfx::Deflater::Zlib);
  std::string first, second;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(input.data());
  c.Compress(nullptr, 0, p, half.size(), false, first);
  c.Compress(p, half.size(), p + half.size(), half.size(), true, second);
  EXPECT_LT(second.size(), 200u);
  EXPECT_TRUE(Same(Decoded(first + second, input.size()), input));
}

TEST(MksfxCrc, PiecesCombine) {
  std::string a = Words(100000, 10), b = Noise(65537, 11);
  uint32_t whole = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>((a + b).data()), static_cast<uInt>(a.size() + b.size())));
  EXPECT_EQ(mksfx::Crc32(a + b), whole);
  EXPECT_EQ(mksfx::Crc32(b.data(), b.size(), mksfx::Crc32(a)), whole);
  EXPECT_EQ(mksfx::Crc32Combine(mksfx::Crc32(a), mksfx::Crc32(b), b.size()), whole);
  EXPECT_EQ(mksfx::Crc32(""), 0u);
}

TEST(MksfxInflater, DecodesAStreamFedInParts) {
  std::string input = Words(150000, 12);
  std::string stream = Joined(input, {input.size()}, 6, mksfx::BuildDeflater());
  mksfx::Inflater inflater;
  std::string out;
  unsigned char buffer[1000];
  for (size_t at = 0; at < stream.size() || !inflater.Ended();) {
    size_t part = std::min<size_t>(777, stream.size() - at);
    const unsigned char* in = reinterpret_cast<const unsigned char*>(stream.data()) + at;
    size_t left = part;
    size_t got = inflater.Run(in, left, buffer, sizeof buffer);
    out.append(reinterpret_cast<char*>(buffer), got);
    at += part - left;
    ASSERT_TRUE(got > 0 || part > left || inflater.Ended()) << "no progress at " << at;
  }
  EXPECT_TRUE(Same(out, input));
  std::string damaged = stream;
  damaged[0] = static_cast<char>(0xFF);  // block type 3: there is none
  mksfx::Inflater again;
  const unsigned char* in = reinterpret_cast<const unsigned char*>(damaged.data());
  size_t left = damaged.size();
  EXPECT_THROW(again.Run(in, left, buffer, sizeof buffer), mksfx::Failure);
}

}  // namespace

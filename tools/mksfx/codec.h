// Deflate compression, Inflate for re-compressing, and CRC-32.
//
// An entry's data is compressed in pieces of PieceSize bytes, each on its
// own (so that the pieces of one large file keep every core busy and memory
// stays flat in the file's size), and the pieces join into one Deflate
// stream: each but the last ends on a byte boundary with an empty stored
// block, as zlib's Z_SYNC_FLUSH ends one. Two libraries can compress a
// piece: libdeflate where it is packaged (the Linux build), which has no
// streaming interface, so its final block is found by decoding the piece
// and turned into an ordinary one; and zlib (the Windows build: Debian
// packages no libdeflate for mingw), which takes the 32 KiB before the
// piece as its dictionary and flushes. tests/bench/deflate_choice.cpp and
// scripts/bench-mksfx.sh measured the choice and the default level.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace mksfx {

inline constexpr size_t PieceSize = size_t{1} << 20;
inline constexpr size_t DictionarySize = 32768;  // the Deflate window

enum class Deflater { Libdeflate, Zlib };

// The library this build compresses with, its name, its highest level and
// the default level (the measured one, README.md).
Deflater BuildDeflater();
const char* CompressorName();
int HighestLevel();
int DefaultLevel();
// Whether this build links the library.
bool HasDeflater(Deflater library);

class PieceCompressor {
 public:
  PieceCompressor(int level, Deflater library = BuildDeflater());
  ~PieceCompressor();
  PieceCompressor(const PieceCompressor&) = delete;
  PieceCompressor& operator=(const PieceCompressor&) = delete;

  // Raw Deflate of size bytes (at least 1) into out. With last, the stream
  // ends here; without, it ends on a byte boundary and goes on with the next
  // piece's bytes. Pieces of up to 55 bytes, and those that libdeflate's
  // fastest level cannot shrink, become stored blocks. before holds the beforeSize bytes of the entry right in
  // front of data (at most DictionarySize; zlib primes its window with
  // them). Throws Failure when the library fails.
  void Compress(const unsigned char* before, size_t beforeSize, const unsigned char* data, size_t size, bool last,
                std::string& out);
  // Whether Compress uses the bytes before the piece (zlib does).
  bool WantsDictionary() const;

 private:
  struct State;
  State* state_;
};

uint32_t Crc32(const void* data, size_t size, uint32_t crc = 0);
inline uint32_t Crc32(const std::string& bytes) { return Crc32(bytes.data(), bytes.size()); }
// The CRC of A then B, from A's and B's CRCs and B's size (below 2 GiB:
// zlib counts it in a long, 32 bits in the mingw build; a piece's size).
uint32_t Crc32Combine(uint32_t first, uint32_t second, size_t secondSize);

// Raw Inflate of one stream, fed in parts.
class Inflater {
 public:
  Inflater();
  ~Inflater();
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;
  // Decodes from in (advanced past what was taken, inSize lowered) into at
  // most room bytes of out; returns the bytes written. Throws Failure when
  // the data is damaged.
  size_t Run(const unsigned char*& in, size_t& inSize, unsigned char* out, size_t room);
  bool Ended() const { return ended_; }

 private:
  void* z_;
  bool ended_ = false;
};

}  // namespace mksfx

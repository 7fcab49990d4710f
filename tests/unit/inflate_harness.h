// Shared ground of the Inflate tests: runs InflateEntry over a raw Deflate
// stream held in a scratch file, makes deterministic sample data and zlib
// streams to compare with, and writes streams bit by bit.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "SFXinflt/constants.h"
#include "SFXinflt/inflate.h"
#include "Sfx/state.h"
#include "archive/entry.h"
#include "archive/header.h"
#include "tests/support/zlib_reference.h"
#include "tests/unit/fixture.h"
#include "tests/support/scripted_ui.h"

struct InflateResult {
  std::string output;
  uint32_t crc;  // CrcRegister XOR 0xFFFFFFFF
  int flushes;   // AddProgress calls, seen as paints
};

// The decoder built with the stub's 32-bit bit buffer (inflate_narrow_decoder.cpp).
namespace narrow {
InflateOutcome InflateEntry();
}

class InflateTest : public SfxTest {
 protected:
  InflateOutcome (*entry_)() = InflateEntry;  // the decoder under test

  InflateResult Inflate(const std::vector<uint8_t>& stream, int32_t remaining = -1) {
    std::string in = WriteFile("entry.bin", stream);
    OpenArchive(in);
    std::string out = scratch_ + "/out.bin";
    OutputHandle = CreateForWriting(out.c_str());
    EXPECT_NE(OutputHandle, NoFile);
    EntryRemaining = remaining < 0 ? static_cast<uint32_t>(stream.size()) : static_cast<uint32_t>(remaining);
    if (CurrentEntry.uncompressedSize == 0) CurrentEntry.uncompressedSize = 0xFFFFFFFFu;  // no bound unless a test sets one
    CurrentEntry.endKnown = true;
    CrcRegister = 0xFFFFFFFFu;
    scripted::Paints = 0;
    entry_();
    CloseFile(OutputHandle);
    OutputHandle = NoFile;
    CloseFile(ArchiveHandle);
    ArchiveHandle = NoFile;
    return InflateResult{ReadFile(out), CrcRegister ^ 0xFFFFFFFFu, scripted::Paints};
  }
};

// Deterministic samples: English-like words, random bytes, long repeats.
inline uint32_t NextRandom(uint32_t* state) {
  *state = *state * 1664525u + 1013904223u;
  return *state >> 8;
}

inline std::string SampleText(size_t size, uint32_t seed = 1) {
  static const char* const words[] = {"the", "archive", "of", "a", "self", "extracting", "file",
                                      "is", "written", "below", "folder", "and", "every", "entry",
                                      "with", "its", "time", "window", "code", "length", "distance"};
  std::string text;
  while (text.size() < size) {
    text += words[NextRandom(&seed) % (sizeof words / sizeof words[0])];
    text += NextRandom(&seed) % 11 == 0 ? ".\n" : " ";
  }
  text.resize(size);
  return text;
}

inline std::string SampleRandom(size_t size, uint32_t seed = 7) {
  std::string bytes(size, '\0');
  for (char& b : bytes) b = static_cast<char>(NextRandom(&seed));
  return bytes;
}

inline std::string SampleRepeats(size_t size) {
  std::string bytes;
  uint32_t seed = 3;
  while (bytes.size() < size) {
    char c = static_cast<char>(NextRandom(&seed));
    size_t run = 1 + NextRandom(&seed) % 2000;
    bytes.append(run, c);
    bytes += "abcabcabcab";
  }
  bytes.resize(size);
  return bytes;
}

// Writes a Deflate stream least significant bit first.
struct BitWriter {
  std::vector<uint8_t> bytes;
  unsigned used = 0;  // bits used in the last byte
  void Put(uint32_t value, unsigned n) {
    for (unsigned i = 0; i < n; ++i) {
      if (used == 0) bytes.push_back(0);
      if (value >> i & 1) bytes.back() |= static_cast<uint8_t>(1u << used);
      used = (used + 1) & 7;
    }
  }
  // A Huffman code goes out most significant bit first.
  void PutCode(uint32_t code, unsigned length) {
    for (unsigned i = length; i-- > 0;) Put(code >> i & 1, 1);
  }
};

// Canonical codes (RFC 1951 section 3.2.2) of a list of lengths.
inline std::vector<uint32_t> CanonicalCodes(const std::vector<unsigned>& lengths) {
  unsigned count[17] = {}, next[17] = {};
  for (unsigned l : lengths) count[l]++;
  count[0] = 0;
  unsigned code = 0;
  for (int bits = 1; bits <= 16; ++bits) next[bits] = code = (code + count[bits - 1]) << 1;
  std::vector<uint32_t> codes(lengths.size());
  for (size_t i = 0; i < lengths.size(); ++i)
    if (lengths[i]) codes[i] = next[lengths[i]]++;
  return codes;
}

// A dynamic block header whose code-length code gives symbols 0..15 four
// bits each, so every length is written as it is.
struct DynamicCodes {
  std::vector<unsigned> literal, distance;
  std::vector<uint32_t> literalCode, distanceCode;
};

inline DynamicCodes PutDynamicHeader(BitWriter& out, bool final, std::vector<unsigned> literal,
                                     std::vector<unsigned> distance) {
  out.Put(final, 1);
  out.Put(2, 2);
  out.Put(static_cast<uint32_t>(literal.size() - 257), 5);
  out.Put(static_cast<uint32_t>(distance.size() - 1), 5);
  out.Put(19 - 4, 4);
  const unsigned order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
  for (unsigned symbol : order) out.Put(symbol < 16 ? 4 : 0, 3);
  std::vector<unsigned> all = literal;
  all.insert(all.end(), distance.begin(), distance.end());
  for (unsigned l : all) out.PutCode(l, 4);  // code of symbol l is l itself (16 codes of 4 bits)
  return DynamicCodes{literal, distance, CanonicalCodes(literal), CanonicalCodes(distance)};
}

inline void PutSymbol(BitWriter& out, const std::vector<unsigned>& lengths, const std::vector<uint32_t>& codes,
                      unsigned symbol) {
  ASSERT_NE(lengths[symbol], 0u) << symbol;
  out.PutCode(codes[symbol], lengths[symbol]);
}

inline bool IsPrefix(const std::string& part, const std::string& whole) {
  return part.size() <= whole.size() && whole.compare(0, part.size(), part) == 0;
}

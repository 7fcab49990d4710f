// Shared ground of the Inflate tests: runs InflateEntry over a raw Deflate
// stream held in a scratch file, and makes deterministic sample data and
// zlib streams to compare with.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "SFXinflt/inflate.h"
#include "Sfx/state.h"
#include "archive/header.h"
#include "tests/support/zlib_reference.h"
#include "tests/unit/fixture.h"
#include "tests/support/scripted_ui.h"

struct InflateResult {
  std::string output;
  uint32_t crc;  // CrcRegister XOR 0xFFFFFFFF
  int flushes;   // AddProgress calls, seen as paints
};

class InflateTest : public SfxTest {
 protected:
  InflateResult Inflate(const std::vector<uint8_t>& stream, int32_t remaining = -1) {
    std::string in = WriteFile("entry.bin", stream);
    OpenArchive(in);
    std::string out = scratch_ + "/out.bin";
    OutputHandle = CreateForWriting(out.c_str());
    EXPECT_NE(OutputHandle, NoFile);
    EntryRemaining = remaining < 0 ? static_cast<uint32_t>(stream.size()) : static_cast<uint32_t>(remaining);
    if (LocalHeader.uncompressedSize == 0) LocalHeader.uncompressedSize = 0xFFFFFFFFu;  // no bound unless a test sets one
    CrcRegister = 0xFFFFFFFFu;
    scripted::Paints = 0;
    InflateEntry();
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

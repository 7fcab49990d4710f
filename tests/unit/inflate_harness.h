// Shared ground of the Inflate tests: runs InflateEntry over a raw Deflate
// stream held in a scratch file, and makes deterministic sample data and
// zlib streams to compare with.
#pragma once
#include <zlib.h>
#include <cstdint>
#include <string>
#include <vector>
#include "SFXinflt/inflate.h"
#include "Sfx/state.h"
#include "tests/unit/fixture.h"
#include "tests/unit/scripted_ui.h"

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
    EntryRemaining = remaining < 0 ? static_cast<int32_t>(stream.size()) : remaining;
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

// Raw Deflate (no zlib header) of data at a level and strategy; flushAt lists
// input offsets where a flush of the given kind is made.
inline std::vector<uint8_t> ZlibDeflate(const std::string& data, int level, int strategy,
                                        const std::vector<size_t>& flushAt = {}, int flush = Z_SYNC_FLUSH) {
  z_stream z{};
  EXPECT_EQ(deflateInit2(&z, level, Z_DEFLATED, -15, 8, strategy), Z_OK);
  std::vector<uint8_t> out(deflateBound(&z, data.size()) + 64 * (flushAt.size() + 1));
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  size_t pos = 0;
  std::vector<size_t> cuts = flushAt;
  cuts.push_back(data.size());
  for (size_t i = 0; i < cuts.size(); ++i) {
    size_t to = cuts[i] < data.size() ? cuts[i] : data.size();
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data() + pos));
    z.avail_in = static_cast<uInt>(to - pos);
    int mode = i + 1 == cuts.size() ? Z_FINISH : flush;
    int rc = deflate(&z, mode);
    EXPECT_TRUE(rc == Z_OK || rc == Z_STREAM_END);
    pos = to;
  }
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

// zlib's own decoding of a raw stream, for streams that zlib did not make.
inline bool ZlibInflate(const std::vector<uint8_t>& stream, std::string* output) {
  z_stream z{};
  if (inflateInit2(&z, -15) != Z_OK) return false;
  z.next_in = const_cast<Bytef*>(stream.data());
  z.avail_in = static_cast<uInt>(stream.size());
  std::vector<uint8_t> buffer(1 << 16);
  int rc;
  do {
    z.next_out = buffer.data();
    z.avail_out = static_cast<uInt>(buffer.size());
    rc = inflate(&z, Z_NO_FLUSH);
    output->append(reinterpret_cast<char*>(buffer.data()), buffer.size() - z.avail_out);
  } while (rc == Z_OK && (z.avail_in > 0 || z.avail_out == 0));
  inflateEnd(&z);
  return rc == Z_STREAM_END;
}

inline uint32_t ZlibCrc(const std::string& data) {
  return static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

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

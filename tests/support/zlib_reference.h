// zlib as the reference that the tests, the fuzz targets and the benchmark
// compare the decoder with: raw Deflate streams (no zlib header) made and
// decoded by zlib, and its CRC-32. Header-only, so that the i686 benchmark
// uses it with the static zlib of mingw.
#pragma once
#include <zlib.h>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Raw Deflate of data at a level and strategy; flushAt lists input offsets
// where a flush of the given kind is made.
inline std::vector<uint8_t> ZlibDeflate(const std::string& data, int level = Z_BEST_COMPRESSION,
                                        int strategy = Z_DEFAULT_STRATEGY,
                                        const std::vector<size_t>& flushAt = {}, int flush = Z_SYNC_FLUSH) {
  z_stream z{};
  if (deflateInit2(&z, level, Z_DEFLATED, -15, 8, strategy) != Z_OK) return {};
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
    deflate(&z, i + 1 == cuts.size() ? Z_FINISH : flush);
    pos = to;
  }
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

inline std::vector<uint8_t> ZlibDeflate(const std::vector<uint8_t>& data, int level = Z_BEST_COMPRESSION) {
  return ZlibDeflate(std::string(data.begin(), data.end()), level);
}

// zlib's decoding of a raw stream with an initialised (or reset) z_stream,
// handing each piece of at most 32 KiB to sink(bytes, count), as the
// decoder's window flushes do. True when the stream ends cleanly.
template <typename Sink>
inline bool ZlibInflateEach(z_stream* z, const uint8_t* stream, size_t size, Sink sink) {
  static uint8_t piece[32768];
  z->next_in = const_cast<Bytef*>(stream);
  z->avail_in = static_cast<uInt>(size);
  int rc;
  do {
    z->next_out = piece;
    z->avail_out = sizeof piece;
    rc = inflate(z, Z_NO_FLUSH);
    sink(piece, static_cast<size_t>(sizeof piece - z->avail_out));
  } while (rc == Z_OK && (z->avail_in > 0 || z->avail_out == 0));
  return rc == Z_STREAM_END;
}

// zlib's whole output of a raw stream; true when the stream ends cleanly.
inline bool ZlibInflate(const std::vector<uint8_t>& stream, std::string* output) {
  z_stream z{};
  if (inflateInit2(&z, -15) != Z_OK) return false;
  bool clean = ZlibInflateEach(&z, stream.data(), stream.size(), [&](const uint8_t* bytes, size_t count) {
    output->append(reinterpret_cast<const char*>(bytes), count);
  });
  inflateEnd(&z);
  return clean;
}

inline uint32_t ZlibCrc(const uint8_t* bytes, size_t count, uint32_t crc = 0) {
  return static_cast<uint32_t>(crc32(crc, bytes, static_cast<uInt>(count)));
}

inline uint32_t ZlibCrc(const std::string& data) {
  return ZlibCrc(reinterpret_cast<const uint8_t*>(data.data()), data.size());
}

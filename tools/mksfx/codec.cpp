// The compression library behind codec.h.
#include "tools/mksfx/codec.h"
#include <zlib.h>
#include <algorithm>
#include "tools/mksfx/common.h"
#ifdef KORVI_WITH_LIBDEFLATE
#include <libdeflate.h>
#endif

namespace mksfx {

#ifdef KORVI_WITH_LIBDEFLATE
const char* CompressorName() { return "libdeflate"; }
int HighestLevel() { return 12; }

std::string Deflate(const std::string& input, int level) {
  if (input.empty()) return std::string();
  libdeflate_compressor* c = libdeflate_alloc_compressor(level);
  if (c == nullptr) throw Failure("out of memory for the compressor");
  // A bound one byte below the input: libdeflate answers 0 when the result
  // would not fit, and the entry is stored.
  std::string out(input.size() - 1, '\0');
  size_t n = out.empty() ? 0 : libdeflate_deflate_compress(c, input.data(), input.size(), out.data(), out.size());
  libdeflate_free_compressor(c);
  out.resize(n);
  return out;
}
#else
const char* CompressorName() { return "zlib"; }
int HighestLevel() { return 9; }

std::string Deflate(const std::string& input, int level) {
  if (input.empty()) return std::string();
  z_stream z{};
  if (deflateInit2(&z, level, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) != Z_OK) throw Failure("zlib would not start");
  std::string out(deflateBound(&z, input.size()), '\0');
  size_t done = 0, total = input.size();
  int rc = Z_OK;
  // zlib counts in 32 bits: large inputs go in parts.
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(std::min<size_t>(out.size(), 0xFFFFFFFFu));
  while (rc != Z_STREAM_END) {
    if (z.avail_in == 0 && done < total) {
      size_t part = std::min<size_t>(total - done, 0x40000000u);
      z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data() + done));
      z.avail_in = static_cast<uInt>(part);
      done += part;
    }
    rc = deflate(&z, done == total ? Z_FINISH : Z_NO_FLUSH);
    if (rc == Z_STREAM_ERROR) break;
  }
  size_t n = z.total_out;
  deflateEnd(&z);
  if (rc != Z_STREAM_END || n >= input.size()) return std::string();
  out.resize(n);
  return out;
}
#endif

bool Inflate(const std::string& input, uint32_t size, std::string& output) {
  output.assign(size, '\0');
  z_stream z{};
  if (inflateInit2(&z, -15) != Z_OK) return false;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
  z.avail_in = static_cast<uInt>(input.size());
  // One byte more than the size, so that a longer stream is seen.
  std::string spare(1, '\0');
  z.next_out = reinterpret_cast<Bytef*>(output.data());
  z.avail_out = size;
  int rc = inflate(&z, Z_FINISH);
  if (rc == Z_BUF_ERROR && z.avail_out == 0) {
    z.next_out = reinterpret_cast<Bytef*>(spare.data());
    z.avail_out = 1;
    rc = inflate(&z, Z_FINISH);
  }
  bool whole = rc == Z_STREAM_END && z.total_out == size;
  inflateEnd(&z);
  return whole;
}

uint32_t Crc32(const std::string& bytes) {
  uLong crc = crc32(0L, Z_NULL, 0);
  size_t at = 0;
  while (at < bytes.size()) {
    size_t part = std::min<size_t>(bytes.size() - at, 0x40000000u);
    crc = crc32(crc, reinterpret_cast<const Bytef*>(bytes.data() + at), static_cast<uInt>(part));
    at += part;
  }
  return static_cast<uint32_t>(crc);
}

}  // namespace mksfx

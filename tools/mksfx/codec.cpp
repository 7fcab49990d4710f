// The compression libraries behind codec.h.
#include "tools/mksfx/codec.h"
#include <zlib.h>
#include <algorithm>
#include <cstring>
#include "tools/mksfx/common.h"
#ifdef KORVI_WITH_LIBDEFLATE
#include <libdeflate.h>
#endif

namespace mksfx {

namespace {

// An empty stored block's length and its complement: what follows the
// 3 header bits (zeros) and the padding to the byte boundary.
const char SyncMarker[4] = {0, 0, '\xff', '\xff'};

// Pieces that libdeflate's fastest level cannot bring below this share
// (in 1/1024) are written as stored blocks: already compressed data is
// not worth the time of a higher level, which would not shrink it either.
constexpr size_t StoredShare = 1019;
constexpr size_t ProbeAtLeast = 65536;

// Pieces this short are stored blocks without a try, as libdeflate's own
// lower levels pass them through: Deflate seldom shrinks them, and the
// higher levels' set-up costs more than a tree of tiny files should pay
// (15 us a call at level 10, against 0.01 us).
constexpr size_t PassThrough = 55;

// Stored blocks of the piece, each at most 65,535 bytes; the last one final
// when the stream ends here. The piece starts on a byte boundary, as every
// piece does, so each block's header is one byte.
void StoredBlocks(const unsigned char* data, size_t size, bool last, std::string& out) {
  out.clear();
  out.reserve(size + 5 * ((size + 65534) / 65535));
  for (size_t at = 0; at < size;) {
    size_t n = std::min<size_t>(size - at, 65535);
    bool final = last && at + n == size;
    out += static_cast<char>(final ? 1 : 0);
    Put16(out, static_cast<uint32_t>(n));
    Put16(out, static_cast<uint32_t>(~n & 0xFFFF));
    out.append(reinterpret_cast<const char*>(data + at), n);
    at += n;
  }
}

#ifdef KORVI_WITH_LIBDEFLATE
// Turns a whole raw Deflate stream of the piece into one that goes on:
// its final block is found by decoding it (inflate stops at each block's
// end with Z_BLOCK and tells how many bits of the last byte it left, and
// whether that block was the last), its BFINAL bit cleared, and an empty
// stored block brings the end to a byte boundary. The decoded bytes must
// be the piece's.
void GoOn(std::string& stream, const unsigned char* plain, size_t size) {
  z_stream z{};
  if (inflateInit2(&z, -15) != Z_OK) throw Failure("zlib would not start");
  const unsigned char* start = reinterpret_cast<const unsigned char*>(stream.data());
  z.next_in = const_cast<unsigned char*>(start);
  z.avail_in = static_cast<uInt>(stream.size());
  unsigned char buffer[16384];
  size_t produced = 0;
  uint64_t finalAt = 0, endAt = 0;
  bool whole = false;
  for (;;) {
    z.next_out = buffer;
    z.avail_out = sizeof buffer;
    int rc = inflate(&z, Z_BLOCK);
    size_t got = sizeof buffer - z.avail_out;
    if (got > size - produced || std::memcmp(buffer, plain + produced, got) != 0) break;
    produced += got;
    if (rc == Z_STREAM_END) {
      whole = produced == size && endAt != 0;
      break;
    }
    if (rc != Z_OK) break;
    // At a block's end: the next header starts here, or, after the last
    // block, its padding (which the next call drops).
    uint64_t bit = static_cast<uint64_t>(z.next_in - start) * 8 - static_cast<unsigned>(z.data_type & 7);
    if ((z.data_type & 128) && !(z.data_type & 64)) finalAt = bit;
    if ((z.data_type & 128) && (z.data_type & 64)) endAt = bit;
  }
  inflateEnd(&z);
  if (!whole) throw Failure("libdeflate's output does not decode to its input");
  stream[finalAt / 8] = static_cast<char>(stream[finalAt / 8] & ~(1 << (finalAt % 8)));
  stream.resize((endAt + 7) / 8);
  unsigned used = static_cast<unsigned>(endAt % 8);
  if (used != 0) stream.back() = static_cast<char>(stream.back() & ((1 << used) - 1));
  // The empty block's 3 header bits go into the last byte's padding when
  // there is room for them, else into a byte of their own.
  if (used == 0 || used > 5) stream += '\0';
  stream.append(SyncMarker, sizeof SyncMarker);
}
#endif

}  // namespace

struct PieceCompressor::State {
  Deflater library;
  int level;
#ifdef KORVI_WITH_LIBDEFLATE
  libdeflate_compressor* chosen = nullptr;
  libdeflate_compressor* probe = nullptr;  // level 1, for the stored test
#endif
  z_stream z{};
  bool zReady = false;
  std::string scratch;  // the library's output, before it is copied out
};

PieceCompressor::PieceCompressor(int level, Deflater library) : state_(new State) {
  state_->library = library;
  state_->level = level;
  if (!HasDeflater(library)) {
    delete state_;
    throw Failure("this build has no " + std::string(library == Deflater::Zlib ? "zlib" : "libdeflate"));
  }
  if (library == Deflater::Zlib) {
    if (deflateInit2(&state_->z, level, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) != Z_OK) {
      delete state_;
      throw Failure("zlib would not start");
    }
    state_->zReady = true;
  }
#ifdef KORVI_WITH_LIBDEFLATE
  if (library == Deflater::Libdeflate) {
    state_->chosen = libdeflate_alloc_compressor(level);
    state_->probe = level > 1 ? libdeflate_alloc_compressor(1) : nullptr;
    if (state_->chosen == nullptr || (level > 1 && state_->probe == nullptr)) {
      libdeflate_free_compressor(state_->chosen);
      libdeflate_free_compressor(state_->probe);
      delete state_;
      throw Failure("out of memory for the compressor");
    }
  }
#endif
}

PieceCompressor::~PieceCompressor() {
  if (state_->zReady) deflateEnd(&state_->z);
#ifdef KORVI_WITH_LIBDEFLATE
  libdeflate_free_compressor(state_->chosen);
  libdeflate_free_compressor(state_->probe);
#endif
  delete state_;
}

void PieceCompressor::Compress(const unsigned char* before, size_t beforeSize, const unsigned char* data, size_t size,
                               bool last, std::string& out) {
  State& s = *state_;
  if (size <= PassThrough) return StoredBlocks(data, size, last, out);
  // The library writes into the compressor's own buffer, sized for the
  // worst case; out gets only the bytes (and only their room), as it may
  // wait a while with the writer.
  std::string& scratch = s.scratch;
#ifdef KORVI_WITH_LIBDEFLATE
  if (s.library == Deflater::Libdeflate) {
    scratch.resize(libdeflate_deflate_compress_bound(s.chosen, size));
    if (s.probe != nullptr && size >= ProbeAtLeast) {
      size_t n = libdeflate_deflate_compress(s.probe, data, size, scratch.data(), scratch.size());
      if (n == 0 || n * 1024 >= size * StoredShare) {
        StoredBlocks(data, size, last, out);
        return;
      }
    }
    size_t n = libdeflate_deflate_compress(s.chosen, data, size, scratch.data(), scratch.size());
    if (n == 0) throw Failure("libdeflate failed");
    scratch.resize(n);
    if (!last) GoOn(scratch, data, size);
    out.assign(scratch.data(), scratch.size());
    out.shrink_to_fit();
    return;
  }
#endif
  if (deflateReset(&s.z) != Z_OK) throw Failure("zlib failed");
  if (beforeSize > 0 && deflateSetDictionary(&s.z, before, static_cast<uInt>(beforeSize)) != Z_OK)
    throw Failure("zlib failed");
  scratch.resize(deflateBound(&s.z, size) + 16);
  s.z.next_in = const_cast<unsigned char*>(data);
  s.z.avail_in = static_cast<uInt>(size);
  size_t done = 0;
  for (;;) {
    s.z.next_out = reinterpret_cast<Bytef*>(scratch.data() + done);
    s.z.avail_out = static_cast<uInt>(scratch.size() - done);
    int rc = deflate(&s.z, last ? Z_FINISH : Z_SYNC_FLUSH);
    done = scratch.size() - s.z.avail_out;
    if (rc == Z_STREAM_END || (!last && rc == Z_OK && s.z.avail_out > 0)) break;
    if (rc != Z_OK && rc != Z_BUF_ERROR) throw Failure("zlib failed");
    scratch.resize(scratch.size() * 2);
  }
  out.assign(scratch.data(), done);
  out.shrink_to_fit();
}

bool PieceCompressor::WantsDictionary() const { return state_->library == Deflater::Zlib; }

Deflater BuildDeflater() {
#ifdef KORVI_WITH_LIBDEFLATE
  return Deflater::Libdeflate;
#else
  return Deflater::Zlib;
#endif
}

bool HasDeflater(Deflater library) {
#ifdef KORVI_WITH_LIBDEFLATE
  return true;
#else
  return library == Deflater::Zlib;
#endif
}

const char* CompressorName() { return BuildDeflater() == Deflater::Libdeflate ? "libdeflate" : "zlib"; }
int HighestLevel() { return BuildDeflater() == Deflater::Libdeflate ? 12 : 9; }
int DefaultLevel() { return BuildDeflater() == Deflater::Libdeflate ? 10 : 9; }

uint32_t Crc32(const void* data, size_t size, uint32_t crc) {
#ifdef KORVI_WITH_LIBDEFLATE
  return libdeflate_crc32(crc, data, size);
#else
  const Bytef* p = static_cast<const Bytef*>(data);
  while (size > 0) {  // zlib counts in 32 bits
    uInt part = static_cast<uInt>(std::min<size_t>(size, 0x40000000u));
    crc = static_cast<uint32_t>(crc32(crc, p, part));
    p += part;
    size -= part;
  }
  return crc;
#endif
}

uint32_t Crc32Combine(uint32_t first, uint32_t second, size_t secondSize) {
  return static_cast<uint32_t>(crc32_combine(first, second, static_cast<z_off_t>(secondSize)));
}

Inflater::Inflater() : z_(new z_stream{}) {
  if (inflateInit2(static_cast<z_stream*>(z_), -15) != Z_OK) {
    delete static_cast<z_stream*>(z_);
    throw Failure("zlib would not start");
  }
}

Inflater::~Inflater() {
  inflateEnd(static_cast<z_stream*>(z_));
  delete static_cast<z_stream*>(z_);
}

size_t Inflater::Run(const unsigned char*& in, size_t& inSize, unsigned char* out, size_t room) {
  z_stream& z = *static_cast<z_stream*>(z_);
  if (ended_) return 0;
  z.next_in = const_cast<unsigned char*>(in);
  z.avail_in = static_cast<uInt>(std::min<size_t>(inSize, 0x40000000u));
  z.next_out = out;
  z.avail_out = static_cast<uInt>(std::min<size_t>(room, 0x40000000u));
  uInt offered = z.avail_in;
  int rc = inflate(&z, Z_NO_FLUSH);
  if (rc == Z_STREAM_END) ended_ = true;
  else if (rc != Z_OK && rc != Z_BUF_ERROR) throw Failure("damaged Deflate data");
  size_t taken = offered - z.avail_in;
  in += taken;
  inSize -= taken;
  return static_cast<size_t>(z.next_out - out);
}

}  // namespace mksfx

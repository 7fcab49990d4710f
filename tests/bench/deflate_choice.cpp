// Which Deflate compressor mksfx uses, and how: zlib and libdeflate on the
// same corpora in the same run, each on the whole input at once and in
// mksfx's pieces of 1 MiB (tools/mksfx/codec.h: libdeflate's pieces
// decoded once to be joined, zlib's primed with the 32 KiB before them and
// flushed), at the levels that matter: zlib 6 and 9, libdeflate 6, 9, 10
// (mksfx's default) and 12. For each case: the compressed size as a share
// of the input, and the input bytes compressed per second on one thread
// (best of three rounds for the small corpus, one for the others).
//
//   deflate_choice [--write DIR] [SOURCE_DIR]
//
// The corpora: English-like text made here, the project's own sources, a
// large program (machine code), and random bytes. --write also writes each
// to a file in DIR, for scripts/bench-mksfx.sh to give other tools the
// same bytes.
#include <libdeflate.h>
#include <zlib.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/bench/english_text.h"
#include "tools/mksfx/codec.h"

namespace {


std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Sources(const std::filesystem::path& root) {
  std::vector<std::filesystem::path> files;
  for (const char* folder : {"archive", "SFXinflt", "Sfx", "Dialog", "Dialogsel", "support", "tools", "tests"}) {
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(root / folder, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
      std::string ext = it->path().extension().string();
      if (it->is_regular_file() && (ext == ".cpp" || ext == ".h" || ext == ".sh" || ext == ".rc")) files.push_back(it->path());
    }
  }
  std::sort(files.begin(), files.end());
  std::string all;
  for (const auto& f : files) all += ReadFile(f);
  return all;
}

// A large program of the system (CMake, which every build here has), else
// this program itself.
std::string MachineCode() {
  std::error_code ec;
  if (std::filesystem::file_size("/usr/bin/cmake", ec) > (1u << 20)) return ReadFile("/usr/bin/cmake");
  return ReadFile("/proc/self/exe");
}

std::string RandomBytes(size_t size) {
  std::string bytes(size, '\0');
  uint32_t seed = 7;
  for (char& c : bytes) c = static_cast<char>(BenchNext(&seed));
  return bytes;
}

size_t WithZlib(const std::string& in, int level, std::vector<uint8_t>& out) {
  z_stream z{};
  deflateInit2(&z, level, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
  out.resize(deflateBound(&z, in.size()));
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  size_t n = z.total_out;
  deflateEnd(&z);
  return n;
}

size_t WithLibdeflate(const std::string& in, int level, std::vector<uint8_t>& out) {
  libdeflate_compressor* c = libdeflate_alloc_compressor(level);
  out.resize(libdeflate_deflate_compress_bound(c, in.size()));
  size_t n = libdeflate_deflate_compress(c, in.data(), in.size(), out.data(), out.size());
  libdeflate_free_compressor(c);
  return n;
}


// The whole input in mksfx's pieces, joined; the joined size.
size_t InPieces(const std::string& in, int level, mksfx::Deflater library, std::string& piece) {
  mksfx::PieceCompressor c(level, library);
  size_t total = 0;
  const unsigned char* data = reinterpret_cast<const unsigned char*>(in.data());
  for (size_t at = 0; at < in.size(); at += mksfx::PieceSize) {
    size_t n = std::min(mksfx::PieceSize, in.size() - at), before = std::min(at, mksfx::DictionarySize);
    c.Compress(data + at - before, before, data + at, n, at + n == in.size(), piece);
    total += piece.size();
  }
  return total;
}

}  // namespace

int main(int argc, char** argv) {
  std::filesystem::path root = ".", write;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--write" && i + 1 < argc) write = argv[++i];
    else root = argv[i];
  }
  struct Corpus { const char* name; std::string bytes; };
  std::vector<Corpus> corpora = {
      {"text", EnglishText(8 << 20)},
      {"sources", Sources(root)},
      {"machine-code", MachineCode()},
      {"random", RandomBytes(4 << 20)},
  };
  if (!write.empty()) {
    std::filesystem::create_directories(write);
    for (const Corpus& c : corpora) std::ofstream(write / c.name, std::ios::binary) << c.bytes;
  }
  struct Case { const char* name; int level; bool zlib; bool pieces; };
  const Case cases[] = {{"zlib", 6, true, false},        {"zlib", 9, true, false},
                        {"zlib pieces", 6, true, true},  {"zlib pieces", 9, true, true},
                        {"libdeflate", 6, false, false}, {"libdeflate", 10, false, false},
                        {"libdeflate", 12, false, false}, {"libdeflate pieces", 6, false, true},
                        {"libdeflate pieces", 9, false, true}, {"libdeflate pieces", 10, false, true},
                        {"libdeflate pieces", 12, false, true}};
  std::printf("%-13s %10s  %-22s %10s %8s %9s\n", "corpus", "bytes", "compressor", "packed", "ratio", "MB/s");
  std::vector<uint8_t> out;
  std::string piece;
  for (const Corpus& corpus : corpora) {
    for (const Case& c : cases) {
      double best = 1e30;
      size_t packed = 0;
      for (int round = 0; round < (corpus.bytes.size() < (2u << 20) ? 3 : 1); ++round) {
        auto start = std::chrono::steady_clock::now();
        if (c.pieces) packed = InPieces(corpus.bytes, c.level, c.zlib ? mksfx::Deflater::Zlib : mksfx::Deflater::Libdeflate, piece);
        else packed = c.zlib ? WithZlib(corpus.bytes, c.level, out) : WithLibdeflate(corpus.bytes, c.level, out);
        double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        best = std::min(best, s);
      }
      char label[40];
      std::snprintf(label, sizeof label, "%s -%d", c.name, c.level);
      std::printf("%-13s %10zu  %-22s %10zu %7.2f%% %9.1f\n", corpus.name, corpus.bytes.size(), label, packed,
                  100.0 * static_cast<double>(packed) / static_cast<double>(corpus.bytes.size()),
                  static_cast<double>(corpus.bytes.size()) / best / 1e6);
    }
  }
  return 0;
}

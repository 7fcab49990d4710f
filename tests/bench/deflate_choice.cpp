// Which Deflate compressor mksfx uses: zlib and libdeflate at their highest
// levels (and one middle level each, for scale) on the same corpora, in the
// same run. For each case: the compressed size as a share of the input, and
// the input bytes compressed per second (best of a few rounds).
//
//   deflate_choice [SOURCE_DIR]
//
// The corpora: English-like text made here, the project's own sources, a
// large program (machine code), and random bytes.
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

}  // namespace

int main(int argc, char** argv) {
  std::filesystem::path root = argc > 1 ? argv[1] : ".";
  struct Corpus { const char* name; std::string bytes; };
  std::vector<Corpus> corpora = {
      {"text", EnglishText(16 << 20)},
      {"sources", Sources(root)},
      {"machine-code", MachineCode()},
      {"random", RandomBytes(4 << 20)},
  };
  struct Case { const char* name; int level; bool zlib; };
  const Case cases[] = {{"zlib", 6, true}, {"zlib", 9, true}, {"libdeflate", 6, false},
                        {"libdeflate", 9, false}, {"libdeflate", 12, false}};
  std::printf("%-13s %10s  %-14s %10s %8s %9s\n", "corpus", "bytes", "compressor", "packed", "ratio", "MB/s");
  std::vector<uint8_t> out;
  for (const Corpus& corpus : corpora) {
    for (const Case& c : cases) {
      double best = 1e30;
      size_t packed = 0;
      for (int round = 0; round < 3; ++round) {
        auto start = std::chrono::steady_clock::now();
        packed = c.zlib ? WithZlib(corpus.bytes, c.level, out) : WithLibdeflate(corpus.bytes, c.level, out);
        double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        best = std::min(best, s);
      }
      char label[32];
      std::snprintf(label, sizeof label, "%s -%d", c.name, c.level);
      std::printf("%-13s %10zu  %-14s %10zu %7.2f%% %9.1f\n", corpus.name, corpus.bytes.size(), label, packed,
                  100.0 * static_cast<double>(packed) / static_cast<double>(corpus.bytes.size()),
                  static_cast<double>(corpus.bytes.size()) / best / 1e6);
    }
  }
  return 0;
}

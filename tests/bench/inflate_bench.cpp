// Throughput of the Inflate decoder against zlib and libdeflate, in bytes of
// output per second. Each corpus is made here, deterministically, and
// compressed once with zlib (level 6, default strategy). BM_Inflate/<corpus>
// runs InflateEntry over it: memory input, window flushes into a sink that
// discards, progress count and CRC-32. BM_ZlibInflate/<corpus> runs zlib's
// inflate into a 32 KiB buffer that is discarded likewise, with crc32 over
// every piece. BM_LibdeflateInflate/<corpus> (where the build has libdeflate)
// decodes the whole stream into a buffer of the whole output, as libdeflate
// only can, then runs libdeflate_crc32 over it.
//
// The corpora: English-like text, machine code (this program, repeated),
// random bytes (stored blocks), long repeats, and "mixed", pieces of 64 KiB
// to 1 MiB of code-like words, random bytes and runs of one byte, made as
// the end-to-end benchmark's 200 MB file is (tests/bench/bench_e2e.py).
// The small runner also takes "--zip FILE" and runs the first entry of that
// archive alone: the end-to-end benchmark times its own archive so, for the
// decoder's share of the stub's time.
//
// With Google Benchmark (the host) the cases are benchmark cases; run without
// arguments, each is repeated five times in random order and the medians are
// reported, then a line per corpus with the ratio of each peer's median CPU
// time to ours. Without it (the i686 build run under Wine) a small runner
// times single decodings, each side's in turn and in a turning order, for
// about two seconds a corpus, and reports the fastest and the median
// decoding of each side and the ratios of both to ours; taking turns keeps
// the machine's other load from favouring one side.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>
#include "SFXinflt/inflate.h"
#include "Sfx/state.h"
#include "archive/entry_data.h"
#include "archive/entry.h"
#include "archive/header.h"
#include "archive/zip_format.h"
#include "tests/bench/bench_platform.h"
#include "tests/support/fresh_state.h"
#include "tests/support/zlib_reference.h"
#ifdef _WIN32
#include <windows.h>
#endif
#include "tests/bench/bench_common.h"
#ifdef KORVI_BENCH_LIBDEFLATE
#include <libdeflate.h>
#endif

#include "tests/bench/english_text.h"

namespace {

struct Corpus {
  const char* name;
  std::string plain;
  std::vector<uint8_t> packed;
  uint32_t crc = 0;  // of plain, set by Prepare
};


std::string OwnExecutable() {
  std::string path;
#ifdef _WIN32
  char buffer[MAX_PATH];
  GetModuleFileNameA(0, buffer, sizeof buffer);
  path = buffer;
#else
  path = "/proc/self/exe";
#endif
  std::string bytes;
  if (FILE* f = fopen(path.c_str(), "rb")) {
    char chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, f)) > 0) bytes.append(chunk, got);
    fclose(f);
  }
  return bytes;
}

std::string Incompressible(size_t size) {
  std::string bytes(size, '\0');
  uint32_t seed = 99;
  for (char& b : bytes) b = static_cast<char>(BenchNext(&seed));
  return bytes;
}

std::string LongRepeats(size_t size) {
  std::string bytes;
  uint32_t seed = 5;
  while (bytes.size() < size) {
    uint32_t kind = BenchNext(&seed) % 3;
    if (kind == 0) {
      bytes.append(1000 + BenchNext(&seed) % 20000, static_cast<char>(BenchNext(&seed)));
    } else {
      std::string unit;
      size_t period = 2 + BenchNext(&seed) % 60;
      for (size_t i = 0; i < period; ++i) unit += static_cast<char>(BenchNext(&seed));
      for (size_t n = 200 + BenchNext(&seed) % 400; n > 0; --n) bytes += unit;
    }
  }
  bytes.resize(size);
  return bytes;
}

// Pieces of 64 KiB to 1 MiB: six in ten code-like words, a quarter random
// bytes, the rest a run of one byte.
std::string Mixed(size_t size) {
  static const char* const tokens[] = {"archive", "window", "folder", "extract", "the", "of", "file",
                                       "code", "int", "return", "struct", "static", "const", "void",
                                       "uint32_t", "#include", "{", "}", ";"};
  std::string bytes;
  uint32_t seed = 200;
  while (bytes.size() < size) {
    uint32_t kind = BenchNext(&seed) % 100;
    size_t n = (size_t{1} << 16) + BenchNext(&seed) % ((size_t{1} << 20) - (size_t{1} << 16));
    n = std::min(n, size - bytes.size());
    size_t end = bytes.size() + n;
    if (kind < 60) {
      while (bytes.size() < end) {
        bytes += tokens[BenchNext(&seed) % (sizeof tokens / sizeof tokens[0])];
        bytes += BenchNext(&seed) % 10 == 0 ? '\n' : ' ';
      }
      bytes.resize(end);
    } else if (kind < 85) {
      while (bytes.size() < end) bytes += static_cast<char>(BenchNext(&seed));
    } else {
      bytes.append(n, static_cast<char>(BenchNext(&seed)));
    }
  }
  return bytes;
}

// The first entry of a ZIP archive as a corpus "zip": its Deflate data as
// the archive holds it (sizes in the local header, as Info-ZIP writes to a
// file), and its bytes as zlib decodes them. Empty when it is not that.
Corpus ZipCorpus(const char* path) {
  Corpus c{"zip", {}, {}, 0};
  std::vector<uint8_t> file;
  if (FILE* f = fopen(path, "rb")) {
    uint8_t chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, f)) > 0) file.insert(file.end(), chunk, chunk + got);
    fclose(f);
  }
  LocalHeaderRecord h;
  if (file.size() < sizeof h) return c;
  memcpy(&h, file.data(), sizeof h);
  size_t start = sizeof h + h.nameLength + h.extraLength;
  if (h.signature != ZipSignature(ShiftedLocalHeader) || h.method != MethodDeflate || (h.flags & FlagEncrypted) ||
      start + h.compressedSize > file.size())
    return c;
  c.packed.assign(file.begin() + static_cast<long>(start), file.begin() + static_cast<long>(start + h.compressedSize));
  if (!ZlibInflate(c.packed, &c.plain) || c.plain.size() != h.uncompressedSize) c.packed.clear();
  return c;
}

// The corpus of --zip FILE, if one was given.
const char* ZipPath;

std::vector<Corpus>& Corpora() {
  static std::vector<Corpus> corpora;
  if (corpora.empty() && ZipPath) {
    corpora.push_back(ZipCorpus(ZipPath));
    if (corpora[0].packed.empty()) {
      fprintf(stderr, "%s: no Deflate entry with its sizes at the archive's start\n", ZipPath);
      exit(2);
    }
  } else if (corpora.empty()) {
    const size_t size = 8u << 20;
    corpora.push_back({"text", EnglishText(size), {}, 0});
    std::string code = OwnExecutable();
    while (!code.empty() && code.size() < size / 4) code += code;  // a small executable, repeated
    corpora.push_back({"code", code, {}, 0});
    corpora.push_back({"incompressible", Incompressible(size), {}, 0});
    corpora.push_back({"repeats", LongRepeats(size), {}, 0});
    corpora.push_back({"mixed", Mixed(2 * size), {}, 0});
    for (Corpus& c : corpora) c.packed = ZlibDeflate(c.plain, 6);
  }
  return corpora;
}

// One decoding with our decoder, as the walk starts an entry; returns the
// CRC-32 it computed.
uint32_t RunOurs(const Corpus& c) {
  EntryDone = 0;
  EntryStop = EntryGoesOn;
  bench::Input = c.packed.data();
  bench::InputSize = static_cast<uint32_t>(c.packed.size());
  bench::InputAt = 0;
  ArchiveHandle = OpenForReading("archive");
  OutputHandle = CreateForWriting("output");
  EntryRemaining = static_cast<uint32_t>(c.packed.size());
  CurrentEntry.uncompressedSize = static_cast<uint32_t>(c.plain.size());
  CurrentEntry.endKnown = true;
  CrcRegister = 0xFFFFFFFFu;
  InflateEntry();
  return CrcRegister ^ 0xFFFFFFFFu;
}

// One decoding with zlib into 32 KiB pieces, with crc32 over each.
uint32_t RunZlib(const Corpus& c, z_stream* z) {
  inflateReset(z);
  uint32_t crc = 0;
  ZlibInflateEach(z, c.packed.data(), c.packed.size(), [&](const uint8_t* bytes, size_t count) {
    crc = ZlibCrc(bytes, count, crc);
    bench::Written += count;
  });
  return crc;
}

#ifdef KORVI_BENCH_LIBDEFLATE
// One decoding with libdeflate into a buffer of the whole output, then its
// CRC-32 over that buffer.
uint32_t RunLibdeflate(const Corpus& c, libdeflate_decompressor* d, std::vector<uint8_t>* out) {
  size_t got = 0;
  if (libdeflate_deflate_decompress(d, c.packed.data(), c.packed.size(), out->data(), out->size(), &got) !=
      LIBDEFLATE_SUCCESS)
    return 0;
  return libdeflate_crc32(0, out->data(), got);
}
#endif

void Prepare() {
  FreshProgramState();
  for (Corpus& c : Corpora()) {
    z_stream z{};
    inflateInit2(&z, -15);
    uint32_t zlib = RunZlib(c, &z);
    inflateEnd(&z);
    uint32_t ours = RunOurs(c);
    uint32_t truth = c.crc = ZlibCrc(c.plain);
    uint32_t libdeflate = truth;
#ifdef KORVI_BENCH_LIBDEFLATE
    libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    std::vector<uint8_t> out(c.plain.size());
    libdeflate = RunLibdeflate(c, d, &out);
    libdeflate_free_decompressor(d);
#endif
    if (ours != truth || zlib != truth || libdeflate != truth) {
      fprintf(stderr, "corpus %s: CRC differs (ours %08x, zlib %08x, libdeflate %08x, data %08x)\n", c.name,
              ours, zlib, libdeflate, truth);
      exit(1);
    }
  }
}

}  // namespace

#ifdef KORVI_GOOGLE_BENCHMARK

static void BM_Inflate(benchmark::State& state, const Corpus* c) {
  for (auto _ : state) benchmark::DoNotOptimize(RunOurs(*c));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(c->plain.size()));
}

static void BM_ZlibInflate(benchmark::State& state, const Corpus* c) {
  z_stream z{};
  inflateInit2(&z, -15);
  for (auto _ : state) benchmark::DoNotOptimize(RunZlib(*c, &z));
  inflateEnd(&z);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(c->plain.size()));
}

#ifdef KORVI_BENCH_LIBDEFLATE
static void BM_LibdeflateInflate(benchmark::State& state, const Corpus* c) {
  libdeflate_decompressor* d = libdeflate_alloc_decompressor();
  std::vector<uint8_t> out(c->plain.size());
  for (auto _ : state) benchmark::DoNotOptimize(RunLibdeflate(*c, d, &out));
  libdeflate_free_decompressor(d);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(c->plain.size()));
}
#endif

// The console report, then the ratios of each corpus: a peer's time over ours,
// from the medians of CPU time (or the single runs, when the cases are not
// repeated).
class RatioReporter : public MedianReporter {
 public:
  void Finalize() override {
    for (const Corpus& c : Corpora()) {
      double ours = TimeOf(std::string("BM_Inflate/") + c.name);
      for (const char* peer : {"Zlib", "Libdeflate"}) {
        double theirs = TimeOf(std::string("BM_") + peer + "Inflate/" + c.name);
        if (ours > 0 && theirs > 0) printf("ratio %-10s %-21s %8.3f\n", peer, c.name, theirs / ours);
      }
    }
    ConsoleReporter::Finalize();
  }
};

int main(int argc, char** argv) {
  Prepare();
  for (Corpus& c : Corpora()) {
    benchmark::RegisterBenchmark((std::string("BM_Inflate/") + c.name).c_str(), BM_Inflate, &c);
    benchmark::RegisterBenchmark((std::string("BM_ZlibInflate/") + c.name).c_str(), BM_ZlibInflate, &c);
#ifdef KORVI_BENCH_LIBDEFLATE
    benchmark::RegisterBenchmark((std::string("BM_LibdeflateInflate/") + c.name).c_str(), BM_LibdeflateInflate, &c);
#endif
  }
  RatioReporter reporter;
  RunRegistered(argc, argv, reporter);
  return 0;
}

#else

// One side of the comparison: its case name and one timed decoding.
struct Side {
  const char* name;
  std::function<void()> run;
  std::vector<double> seconds;
};

// Arguments, if any, name the corpora to run; "--zip FILE" runs the first
// entry of an archive instead (the end-to-end benchmark's file).
int main(int argc, char** argv) {
  if (argc == 3 && strcmp(argv[1], "--zip") == 0) {
    ZipPath = argv[2];
    argc = 1;
  }
  Prepare();
  printf("%-36s %14s %14s\n", "Benchmark", "fastest", "median");
  for (Corpus& c : Corpora()) {
    bool chosen = argc == 1;
    for (int i = 1; i < argc; ++i) chosen |= strcmp(argv[i], c.name) == 0;
    if (!chosen) continue;
    z_stream z{};
    inflateInit2(&z, -15);
    // Every timed decoding must come out whole.
    auto check = [&](uint32_t crc, const char* side) {
      if (crc == c.crc) return;
      fprintf(stderr, "corpus %s: %s's CRC %08x differs from the data's %08x\n", c.name, side, crc, c.crc);
      exit(1);
    };
    std::vector<Side> sides;
    sides.push_back({"BM_Inflate/", [&] { check(RunOurs(c), "ours"); }, {}});
    sides.push_back({"BM_ZlibInflate/", [&] { check(RunZlib(c, &z), "zlib"); }, {}});
#ifdef KORVI_BENCH_LIBDEFLATE
    libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    std::vector<uint8_t> out(c.plain.size());
    sides.push_back({"BM_LibdeflateInflate/", [&] { check(RunLibdeflate(c, d, &out), "libdeflate"); }, {}});
#endif
    for (Side& side : sides) side.run();  // warm-up
    double spent = 0;
    for (size_t round = 0; spent < 2.0 || round < 10; ++round) {
      // Each round starts with the next side, so that none always follows
      // the same other.
      for (size_t k = 0; k < sides.size(); ++k) {
        Side& side = sides[(round + k) % sides.size()];
        side.seconds.push_back(Time(side.run));
        spent += side.seconds.back();
      }
    }
    inflateEnd(&z);
#ifdef KORVI_BENCH_LIBDEFLATE
    libdeflate_free_decompressor(d);
#endif
    double mb = static_cast<double>(c.plain.size()) / 1048576.0;
    for (Side& side : sides) {
      double best = *std::min_element(side.seconds.begin(), side.seconds.end());
      printf("%s%-*s %11.1fM/s %11.1fM/s\n", side.name, static_cast<int>(36 - strlen(side.name)), c.name,
             mb / best, mb / Median(side.seconds));
    }
    for (size_t k = 1; k < sides.size(); ++k) {
      std::string peer(sides[k].name + 3);
      peer.resize(peer.size() - strlen("Inflate/"));
      printf("  ratio %-10s %-14s %11.3f %14.3f\n", peer.c_str(), c.name,
             *std::min_element(sides[k].seconds.begin(), sides[k].seconds.end()) /
                 *std::min_element(sides[0].seconds.begin(), sides[0].seconds.end()),
             Median(sides[k].seconds) / Median(sides[0].seconds));
    }
    fflush(stdout);
  }
  return 0;
}

#endif

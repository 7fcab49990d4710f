// Throughput of the Inflate decoder against zlib, in bytes of output per
// second. Each corpus is made here, deterministically, and compressed once
// with zlib (level 6, default strategy). BM_Inflate/<corpus> runs InflateEntry
// over it: memory input, window flushes into a sink that discards, progress
// count and CRC-32. BM_ZlibInflate/<corpus> runs zlib's inflate into a 32 KiB
// buffer that is discarded likewise, with crc32 over every piece.
//
// With Google Benchmark (the host) the cases are benchmark cases; run without
// arguments, each is repeated five times in random order and the medians are
// reported, then a line per corpus with the ratio of zlib's median CPU time
// to ours. Without it (the i686 build run under Wine) a small runner times
// single decodings, ours and zlib's alternately, for about two seconds a
// corpus, and reports the fastest and the median decoding of each side and
// the ratios of both; alternating keeps the machine's other load from
// favouring one side.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <algorithm>
#include <chrono>
#include <map>
#include <string>
#include <vector>
#include "SFXinflt/inflate.h"
#include "Sfx/state.h"
#include "archive/header.h"
#include "tests/bench/bench_platform.h"
#include "tests/support/fresh_state.h"
#include "tests/support/zlib_reference.h"
#ifdef _WIN32
#include <windows.h>
#endif
#ifdef KORVI_GOOGLE_BENCHMARK
#include <benchmark/benchmark.h>
#endif

#include "tests/bench/english_text.h"

namespace {

struct Corpus {
  const char* name;
  std::string plain;
  std::vector<uint8_t> packed;
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

std::vector<Corpus>& Corpora() {
  static std::vector<Corpus> corpora;
  if (corpora.empty()) {
    const size_t size = 8u << 20;
    corpora.push_back({"text", EnglishText(size), {}});
    std::string code = OwnExecutable();
    while (!code.empty() && code.size() < size / 4) code += code;  // a small executable, repeated
    corpora.push_back({"code", code, {}});
    corpora.push_back({"incompressible", Incompressible(size), {}});
    corpora.push_back({"repeats", LongRepeats(size), {}});
    for (Corpus& c : corpora) c.packed = ZlibDeflate(c.plain, 6);
  }
  return corpora;
}

// One decoding with our decoder; returns the CRC-32 it computed.
uint32_t RunOurs(const Corpus& c) {
  bench::Input = c.packed.data();
  bench::InputSize = static_cast<uint32_t>(c.packed.size());
  bench::InputAt = 0;
  ArchiveHandle = OpenForReading("archive");
  OutputHandle = CreateForWriting("output");
  EntryRemaining = static_cast<uint32_t>(c.packed.size());
  LocalHeader.uncompressedSize = static_cast<uint32_t>(c.plain.size());
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

void Prepare() {
  FreshProgramState();
  for (Corpus& c : Corpora()) {
    z_stream z{};
    inflateInit2(&z, -15);
    uint32_t theirs = RunZlib(c, &z);
    inflateEnd(&z);
    uint32_t ours = RunOurs(c);
    uint32_t truth = ZlibCrc(c.plain);
    if (ours != truth || theirs != truth) {
      fprintf(stderr, "corpus %s: CRC differs (ours %08x, zlib %08x, data %08x)\n", c.name, ours, theirs, truth);
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

// The console report, then the ratio of each corpus: zlib's time over ours,
// from the medians of CPU time (or the single runs, when the cases are not
// repeated).
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  RatioReporter() : ConsoleReporter(OO_None) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
      if (single || run.aggregate_name == "median") times_[run.run_name.function_name] = run.GetAdjustedCPUTime();
    }
  }
  void Finalize() override {
    for (const Corpus& c : Corpora()) {
      double ours = times_[std::string("BM_Inflate/") + c.name];
      double theirs = times_[std::string("BM_ZlibInflate/") + c.name];
      if (ours > 0 && theirs > 0) printf("ratio %-32s %8.3f\n", c.name, theirs / ours);
    }
    ConsoleReporter::Finalize();
  }

 private:
  std::map<std::string, double> times_;
};

int main(int argc, char** argv) {
  Prepare();
  for (Corpus& c : Corpora()) {
    benchmark::RegisterBenchmark((std::string("BM_Inflate/") + c.name).c_str(), BM_Inflate, &c);
    benchmark::RegisterBenchmark((std::string("BM_ZlibInflate/") + c.name).c_str(), BM_ZlibInflate, &c);
  }
  // Without arguments: five repetitions in random order, medians only.
  char repetitions[] = "--benchmark_repetitions=5";
  char interleaving[] = "--benchmark_enable_random_interleaving=true";
  char aggregates[] = "--benchmark_report_aggregates_only=true";
  char* defaults[] = {argv[0], repetitions, interleaving, aggregates, nullptr};
  if (argc == 1) {
    argc = 4;
    argv = defaults;
  }
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

#else

// Seconds that one call of run takes.
template <typename Run>
static double Time(Run run) {
  using Clock = std::chrono::steady_clock;
  auto start = Clock::now();
  run();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

static double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

int main() {
  Prepare();
  printf("%-32s %14s %14s\n", "Benchmark", "fastest", "median");
  for (Corpus& c : Corpora()) {
    z_stream z{};
    inflateInit2(&z, -15);
    RunOurs(c);  // warm-up
    RunZlib(c, &z);
    std::vector<double> ours, theirs;
    double spent = 0;
    for (int round = 0; spent < 2.0 || round < 10; ++round) {
      // Each side first in every other round, so that neither always
      // follows the other.
      if (round & 1) {
        ours.push_back(Time([&] { RunOurs(c); }));
        theirs.push_back(Time([&] { RunZlib(c, &z); }));
      } else {
        theirs.push_back(Time([&] { RunZlib(c, &z); }));
        ours.push_back(Time([&] { RunOurs(c); }));
      }
      spent += ours.back() + theirs.back();
    }
    inflateEnd(&z);
    double mb = static_cast<double>(c.plain.size()) / 1048576.0;
    double oursBest = *std::min_element(ours.begin(), ours.end()), oursMedian = Median(ours);
    double theirsBest = *std::min_element(theirs.begin(), theirs.end()), theirsMedian = Median(theirs);
    printf("BM_Inflate/%-21s %11.1fM/s %11.1fM/s\n", c.name, mb / oursBest, mb / oursMedian);
    printf("BM_ZlibInflate/%-17s %11.1fM/s %11.1fM/s\n", c.name, mb / theirsBest, mb / theirsMedian);
    printf("  ratio %-25s %11.3f %14.3f\n", c.name, theirsBest / oursBest, theirsMedian / oursMedian);
    fflush(stdout);
  }
  return 0;
}

#endif

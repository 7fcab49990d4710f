// What WinZip AES costs an extraction. For each corpus, compressed once with
// zlib (level 6): BM_Extract runs InflateEntry over it (memory input, a sink
// that discards, progress and CRC-32), the work of an unencrypted
// extraction; BM_Decrypt runs an AES-256 entry over the compressed bytes as
// the stub will, the key derivation, then AesDecryptBuffer over 32 KiB
// chunks and the code; BM_Copy copies the same chunks. Decryption is a pass
// of its own over each chunk read, so an encrypted extraction takes
// Extract + Decrypt; the report gives that over Extract, and Decrypt over
// Copy.
//
// With Google Benchmark (the host) the cases are benchmark cases, repeated
// five times in random order, and the ratios come from the medians; the
// long RFC 6070 vector of PBKDF2 (16,777,216 iterations) runs once as a case
// of its own and checks its answer. Without it (the i686 build, run under
// Wine) a small runner alternates the three for about two seconds a corpus
// and reports the fastest and the median of each, and the ratios of both.
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
#include "archive/aes.h"
#include "archive/entry.h"
#include "archive/header.h"
#include "archive/sha1.h"
#include "archive/entry_data.h"
#include "archive/winzip_aes.h"
#include "archive/zip_format.h"
#include "tests/bench/bench_platform.h"
#include "tests/bench/english_text.h"
#include "tests/support/fresh_state.h"
#include "tests/support/zlib_reference.h"
#include "tests/bench/bench_common.h"

namespace {

struct Corpus {
  const char* name;
  std::string plain;
  std::vector<uint8_t> packed;
};

std::string Noise(size_t size, uint32_t seed) {
  std::string bytes(size, '\0');
  for (char& b : bytes) b = static_cast<char>(BenchNext(&seed));
  return bytes;
}

// As the end-to-end benchmark's large file: runs of text, noise and one
// repeated byte, 64 KiB to 1 MiB each.
std::string Mixed(size_t size) {
  std::string text = EnglishText(1 << 20);
  std::string bytes;
  uint32_t seed = 200;
  while (bytes.size() < size) {
    uint32_t kind = BenchNext(&seed) % 100;
    size_t n = (64u << 10) + BenchNext(&seed) % (960u << 10);
    if (kind < 60)
      bytes += text.substr(BenchNext(&seed) % (text.size() - n), n);
    else if (kind < 85)
      bytes += Noise(n, seed);
    else
      bytes.append(n, static_cast<char>(BenchNext(&seed)));
  }
  bytes.resize(size);
  return bytes;
}

std::vector<Corpus>& Corpora() {
  static std::vector<Corpus> corpora;
  if (corpora.empty()) {
    const size_t size = 16u << 20;
    corpora.push_back({"text", EnglishText(size), {}});
    corpora.push_back({"mixed", Mixed(size), {}});
    corpora.push_back({"incompressible", Noise(size, 99), {}});
    for (Corpus& c : corpora) c.packed = ZlibDeflate(c.plain, 6);
  }
  return corpora;
}

uint8_t Chunk[EntryChunkSize];
const uint8_t Salt[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

uint32_t RunExtract(const Corpus& c) {
  bench::Input = c.packed.data();
  bench::InputSize = static_cast<uint32_t>(c.packed.size());
  bench::InputAt = 0;
  ArchiveHandle = OpenForReading("archive");
  OutputHandle = CreateForWriting("output");
  EntryRemaining = static_cast<uint32_t>(c.packed.size());
  CurrentEntry.uncompressedSize = static_cast<uint32_t>(c.plain.size());
  CurrentEntry.endKnown = true;
  EntryDone = 0;  // the size check counts from the entry's start
  EntryStop = EntryGoesOn;
  CrcRegister = 0xFFFFFFFFu;
  InflateEntry();
  return CrcRegister ^ 0xFFFFFFFFu;
}

// An AES-256 entry over the compressed bytes: keys, chunks, code.
uint32_t RunDecrypt(const Corpus& c) {
  uint32_t verifier = SetAesEntryKeys(3, Salt, "password", 8);
  uint32_t sum = verifier;
  for (size_t at = 0; at < c.packed.size(); at += EntryChunkSize) {
    uint32_t n = static_cast<uint32_t>(std::min<size_t>(EntryChunkSize, c.packed.size() - at));
    memcpy(Chunk, c.packed.data() + at, n);
    AesDecryptBuffer(Chunk, n);
    sum += Chunk[0];
  }
  uint8_t code[AesCodeSize] = {};
  return sum + AesAuthenticCode(code);
}

uint32_t RunCopy(const Corpus& c) {
  uint32_t sum = 0;
  for (size_t at = 0; at < c.packed.size(); at += EntryChunkSize) {
    uint32_t n = static_cast<uint32_t>(std::min<size_t>(EntryChunkSize, c.packed.size() - at));
    memcpy(Chunk, c.packed.data() + at, n);
    sum += Chunk[n - 1];
  }
  return sum;
}

// The published answers, with the processor's instructions and without, so
// that the i686 build is checked where it runs (under Wine) before it is
// timed: FIPS-197 C.3 a block and four at a time, SHA-1 of a million a, and
// a WinZip AES-256 entry.
bool PublishedAnswersHold() {
  static const uint8_t cipher[16] = {0x8e, 0xa2, 0xb7, 0xca, 0x51, 0x67, 0x45, 0xbf,
                                     0xea, 0xfc, 0x49, 0x90, 0x4b, 0x49, 0x60, 0x89};
  static const uint8_t million[Sha1DigestSize] = {0x34, 0xaa, 0x97, 0x3c, 0xd4, 0xc4, 0xda, 0xa4, 0xf6, 0x1e,
                                                  0xeb, 0x2b, 0xdb, 0xad, 0x27, 0x31, 0x65, 0x34, 0x01, 0x6f};
  uint8_t key[32], plain[64], out[64], digest[Sha1DigestSize];
  for (int i = 0; i < 32; ++i) key[i] = static_cast<uint8_t>(i);
  for (int i = 0; i < 64; ++i) plain[i] = static_cast<uint8_t>(0x11 * (i % 16));
  std::string a(1000000, 'a');
  bool good = true;
  for (int portable = 0; portable < 2; ++portable) {
    BuildAesTables();
    CheckSha1Hardware();
    if (portable) AesHardware = Sha1Hardware = 0;
    SetAesKey(key, 32);
    EncryptAesBlock(plain, out);
    good = good && memcmp(out, cipher, 16) == 0;
    EncryptFourAesBlocks(plain, out);
    for (int i = 0; i < 4; ++i) good = good && memcmp(out + 16 * i, cipher, 16) == 0;
    Sha1State state;
    StartSha1(&state);
    AddToSha1(&state, reinterpret_cast<const uint8_t*>(a.data()), static_cast<uint32_t>(a.size()));
    FinishSha1(&state, digest);
    good = good && memcmp(digest, million, sizeof digest) == 0;
    // The unit tests' known answer for a WinZip AES-256 entry (Python's
    // hashlib and hmac, openssl's AES), decrypted in two pieces.
    static const uint8_t salt[16] = {0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17,
                                     0x18, 0x19, 0x1a, 0x1b, 0x1c, 0x1d, 0x1e, 0x1f};
    static const uint8_t verifier[2] = {0x75, 0x55};
    static const uint8_t code[10] = {0xff, 0xf8, 0xb3, 0x57, 0x10, 0xfa, 0x75, 0xd1, 0xf2, 0xb7};
    static const uint8_t entry[47] = {0xa6, 0x0a, 0xb5, 0x71, 0xe6, 0x16, 0xca, 0xa3, 0x4c, 0x27, 0xc1, 0x30,
                                      0x94, 0xcf, 0x24, 0x29, 0x42, 0xe6, 0x0a, 0xaa, 0x02, 0xd3, 0xe3, 0xb1,
                                      0xe9, 0x69, 0xc1, 0xb2, 0x87, 0xe4, 0x09, 0x1e, 0x1f, 0xee, 0x53, 0x82,
                                      0xbe, 0x34, 0x0d, 0x67, 0x8f, 0x31, 0xff, 0xcf, 0xe4, 0x4a, 0x5d};
    uint8_t data[sizeof entry];
    memcpy(data, entry, sizeof data);
    good = good && BeginAesEntry(3, salt, verifier, "SECRET", 6);
    if (portable) AesHardware = Sha1Hardware = 0;  // the entry has asked the processor
    good = good && BeginAesEntry(3, salt, verifier, "SECRET", 6);
    AesDecryptBuffer(data, 17);
    AesDecryptBuffer(data + 17, sizeof data - 17);
    good = good && memcmp(data, "Korvi EXE writes WinZip AES entries: 40+ bytes.", sizeof data) == 0;
    good = good && AesAuthenticCode(code);
  }
  BuildAesTables();
  CheckSha1Hardware();
  return good;
}

void Prepare() {
  FreshProgramState();
  if (!PublishedAnswersHold()) {
    fprintf(stderr, "AES or SHA-1 gives a wrong answer to a published vector\n");
    exit(1);
  }
  for (Corpus& c : Corpora()) {
    if (RunExtract(c) != ZlibCrc(c.plain)) {
      fprintf(stderr, "corpus %s: the extraction's CRC differs\n", c.name);
      exit(1);
    }
  }
  // KORVI_AES_PORTABLE=1 measures our own AES and SHA-1 where the processor
  // has instructions for them. The first entry asks the processor; its
  // answer is set aside after that.
  SetAesEntryKeys(3, Salt, "password", 8);
  const char* portable = getenv("KORVI_AES_PORTABLE");
  if (portable != nullptr && portable[0] == '1') AesHardware = Sha1Hardware = 0;
  printf("AES: %s; SHA-1: %s\n", AesHardware ? "the processor's instructions" : "our tables",
         Sha1Hardware ? "the processor's instructions" : "our own");
}

}  // namespace

#ifdef KORVI_GOOGLE_BENCHMARK

static void BM_Extract(benchmark::State& state, const Corpus* c) {
  for (auto _ : state) benchmark::DoNotOptimize(RunExtract(*c));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(c->plain.size()));
}

static void BM_Decrypt(benchmark::State& state, const Corpus* c) {
  for (auto _ : state) benchmark::DoNotOptimize(RunDecrypt(*c));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(c->packed.size()));
}

static void BM_Copy(benchmark::State& state, const Corpus* c) {
  for (auto _ : state) benchmark::DoNotOptimize(RunCopy(*c));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(c->packed.size()));
}

// RFC 6070's vector of 16,777,216 iterations, too long for a unit test.
static void BM_Pbkdf2Rfc6070Long(benchmark::State& state) {
  uint8_t out[Sha1DigestSize];
  for (auto _ : state) {
    DerivePbkdf2Sha1(reinterpret_cast<const uint8_t*>("password"), 8, reinterpret_cast<const uint8_t*>("salt"), 4,
                     16777216, out, sizeof out);
  }
  static const uint8_t expected[Sha1DigestSize] = {0xee, 0xfe, 0x3d, 0x61, 0xcd, 0x4d, 0xa4, 0xe4, 0xe9, 0x94,
                                                   0x5b, 0x3d, 0x6b, 0xa2, 0x15, 0x8c, 0x26, 0x34, 0xe9, 0x84};
  if (memcmp(out, expected, sizeof out) != 0) state.SkipWithError("wrong answer to RFC 6070's long vector");
}

class RatioReporter : public MedianReporter {
 public:
  void Finalize() override {
    for (const Corpus& c : Corpora()) {
      double extract = TimeOf(std::string("BM_Extract/") + c.name);
      double decrypt = TimeOf(std::string("BM_Decrypt/") + c.name);
      double copy = TimeOf(std::string("BM_Copy/") + c.name);
      if (extract > 0 && decrypt > 0 && copy > 0)
        printf("ratio %-16s encrypted/plain extraction %6.3f   decrypt/copy %7.2f\n", c.name,
               (extract + decrypt) / extract, decrypt / copy);
    }
    ConsoleReporter::Finalize();
  }
};

int main(int argc, char** argv) {
  Prepare();
  for (Corpus& c : Corpora()) {
    benchmark::RegisterBenchmark((std::string("BM_Extract/") + c.name).c_str(), BM_Extract, &c);
    benchmark::RegisterBenchmark((std::string("BM_Decrypt/") + c.name).c_str(), BM_Decrypt, &c);
    benchmark::RegisterBenchmark((std::string("BM_Copy/") + c.name).c_str(), BM_Copy, &c);
  }
  benchmark::RegisterBenchmark("BM_Pbkdf2Rfc6070Long", BM_Pbkdf2Rfc6070Long)
      ->Iterations(1)
      ->Repetitions(1)
      ->Unit(benchmark::kSecond);
  RatioReporter reporter;
  RunRegistered(argc, argv, reporter);
  return 0;
}

#else

int main() {
  Prepare();
  for (Corpus& c : Corpora()) {
    RunExtract(c);  // warm-up
    RunDecrypt(c);
    std::vector<double> extract, decrypt, copy;
    double spent = 0;
    for (int round = 0; spent < 2.0 || round < 10; ++round) {
      // A different one first in each round, so that none always follows
      // another.
      for (int k = 0; k < 3; ++k) {
        switch ((round + k) % 3) {
          case 0: extract.push_back(Time([&] { RunExtract(c); })); break;
          case 1: decrypt.push_back(Time([&] { RunDecrypt(c); })); break;
          default: copy.push_back(Time([&] { RunCopy(c); })); break;
        }
      }
      spent += extract.back() + decrypt.back() + copy.back();
    }
    double plainMb = c.plain.size() / 1048576.0, packedMb = c.packed.size() / 1048576.0;
    double eBest = *std::min_element(extract.begin(), extract.end()), eMedian = Median(extract);
    double dBest = *std::min_element(decrypt.begin(), decrypt.end()), dMedian = Median(decrypt);
    double cBest = *std::min_element(copy.begin(), copy.end()), cMedian = Median(copy);
    printf("%s: %.1f MiB, %.1f MiB compressed                  fastest      median\n", c.name, plainMb, packedMb);
    printf("  extract (MiB/s of output)                     %9.1f   %9.1f\n", plainMb / eBest, plainMb / eMedian);
    printf("  decrypt AES-256 + HMAC (MiB/s of input)       %9.1f   %9.1f\n", packedMb / dBest, packedMb / dMedian);
    printf("  copy (MiB/s)                                  %9.1f   %9.1f\n", packedMb / cBest, packedMb / cMedian);
    printf("  ratio encrypted/plain extraction              %9.3f   %9.3f\n", (eBest + dBest) / eBest,
           (eMedian + dMedian) / eMedian);
    printf("  ratio decrypt/copy                            %9.2f   %9.2f\n", dBest / cBest, dMedian / cMedian);
    fflush(stdout);
  }
  return 0;
}

#endif

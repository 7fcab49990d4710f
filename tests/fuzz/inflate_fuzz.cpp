// The Inflate decoder on arbitrary input. The first byte chooses the entry's
// surroundings (bit 0: encrypted with a fixed password, by the test ZIP
// builder's own encryption); the rest is the compressed data. Whatever the
// input, the entry must end without a sanitizer report or leak, and when
// zlib decodes the same bytes as a whole stream, our output (length and
// CRC-32) must equal zlib's.
//
// Built twice: as the host's decoder (a 64-bit bit buffer), and with
// KORVI_FUZZ_NARROW as the stub's (inflate_narrow_fuzz.cpp: the same source
// compiled with a 32-bit buffer, tests/unit/inflate_narrow_decoder.cpp),
// whose fast loop refills more often and copies matches in 4-byte words.
#include <cstdlib>
#include <vector>
#include "SFXinflt/inflate.h"
#include "Sfx/state.h"
#include "archive/entry_data.h"
#include "archive/entry.h"
#include "archive/header.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/support/fresh_state.h"
#include "tests/support/sealed.h"
#include "tests/support/zlib_reference.h"

#ifdef KORVI_FUZZ_NARROW
namespace narrow {
InflateOutcome InflateEntry();
}
static decltype(&InflateEntry) const DecoderUnderTest = narrow::InflateEntry;
#else
static decltype(&InflateEntry) const DecoderUnderTest = InflateEntry;
#endif

// zlib's output of a raw stream: its length and CRC, or false.
static bool ZlibDecodes(const std::vector<uint8_t>& stream, uint64_t* length, uint32_t* crc) {
  z_stream z{};
  if (inflateInit2(&z, -15) != Z_OK) return false;
  uint32_t c = 0;
  bool clean = ZlibInflateEach(&z, stream.data(), stream.size(),
                               [&](const uint8_t* bytes, size_t count) { c = ZlibCrc(bytes, count, c); });
  *length = z.total_out;
  *crc = c;
  inflateEnd(&z);
  return clean;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  FreshProgramState();
  bool encrypted = (data[0] & 1) != 0;
  std::vector<uint8_t> plain(data + 1, data + size);
  std::vector<uint8_t> stored = plain;
  if (encrypted) {
    stored = SealedWithKeysReady("fuzz", plain);
    CurrentEntry.flags = FlagEncrypted;
    EntryCipher = CipherTraditional;
  }
  ArchiveHandle = MemoryArchive(stored.data(), stored.size());
  OutputHandle = CreateForWriting("/dev/null");
  EntryRemaining = static_cast<uint32_t>(stored.size());
  CurrentEntry.uncompressedSize = 0xFFFFFFFFu;
  CurrentEntry.endKnown = true;  // compared with zlib, so unbounded
  CrcRegister = 0xFFFFFFFFu;
  DecoderUnderTest();
  CloseFile(ArchiveHandle);
  CloseFile(OutputHandle);
  ArchiveHandle = OutputHandle = NoFile;

  uint64_t length;
  uint32_t crc;
  if (ZlibDecodes(plain, &length, &crc)) {
    if (static_cast<uint64_t>(EntryDone) != length || (CrcRegister ^ 0xFFFFFFFFu) != crc) abort();
  }
  return 0;
}

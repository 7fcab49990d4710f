// The Inflate decoder on arbitrary input. The first byte chooses the entry's
// surroundings (bit 0: encrypted with a fixed password); the rest is the
// compressed data. Whatever the input, the entry must end without a
// sanitizer report or leak, and when zlib decodes the same bytes as a whole
// stream, our output (length and CRC-32) must equal zlib's.
#include <zlib.h>
#include <cstdlib>
#include <vector>
#include "SFXinflt/inflate.h"
#include "Sfx/state.h"
#include "archive/crypt.h"
#include "platform/posix/control.h"
#include "tests/fuzz/fuzz_input.h"

static uint32_t TableStorage[257];

// zlib's output of a raw stream: its length and CRC, or false.
static bool ZlibDecodes(const std::vector<uint8_t>& stream, uint64_t* length, uint32_t* crc) {
  z_stream z{};
  if (inflateInit2(&z, -15) != Z_OK) return false;
  z.next_in = const_cast<Bytef*>(stream.data());
  z.avail_in = static_cast<uInt>(stream.size());
  static uint8_t out[1 << 16];
  uLong c = crc32(0, 0, 0);
  int rc;
  do {
    z.next_out = out;
    z.avail_out = sizeof out;
    rc = inflate(&z, Z_NO_FLUSH);
    c = crc32(c, out, static_cast<uInt>(sizeof out - z.avail_out));
  } while (rc == Z_OK);
  *length = z.total_out;
  *crc = static_cast<uint32_t>(c);
  inflateEnd(&z);
  return rc == Z_STREAM_END;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  ResetProgramState();
  posix::Reset();
  CrcTable = TableStorage;
  BuildCrcTable();
  bool encrypted = (data[0] & 1) != 0;
  std::vector<uint8_t> plain(data + 1, data + size);
  std::vector<uint8_t> stored = plain;
  if (encrypted) {
    InitKeys("fuzz");
    for (uint8_t& b : stored) {
      uint8_t p = b;
      b = p ^ DecryptByte();
      UpdateKeys(p);
    }
    InitKeys("fuzz");
    LocalHeader.flags = 1;
  }
  ArchiveHandle = MemoryArchive(stored.data(), stored.size());
  OutputHandle = CreateForWriting("/dev/null");
  EntryRemaining = static_cast<int32_t>(stored.size());
  CrcRegister = 0xFFFFFFFFu;
  InflateEntry();
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

// Writing the self-extracting file: the volumes it goes to (temporaries,
// renamed to their names only when everything is written), and the ZIP
// records the stub walks: local headers with sizes and CRC, the entries'
// data, the central directory and the end record, with offsets that count
// the stub and the block so that the file is an ordinary ZIP archive too.
// Zip64's fields are written only where a value needs them: an entry of
// 4 GiB or more (packed or not) carries both sizes in a Zip64 field of its
// local header; a directory of 65,535 entries or more (or volumes, or an
// offset past 4 GiB) gets the Zip64 end record and its locator.
#pragma once
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>
#include "archive/zip_format.h"

namespace mksfx {

struct SignalSlot;

// Where the format and Windows draw their lines. A size or an offset of
// largeSize or more takes Zip64's fields (the 32-bit field then holds
// 0xFFFFFFFF); no volume grows past largestVolume bytes: Windows does not
// start a program file of 4 GiB or more, and the stub reads every volume
// with 32-bit positions.
struct FormatLimits {
  uint64_t largeSize = Zip64Escape;
  uint64_t largestVolume = 0xFFFFFFFFu;
};
// The limits of this run: the format's own, unless the environment holds
// MKSFX_TEST_FOUR_GIB=N, a test's way to reach both lines with small files
// (N bytes then stand for 4 GiB: sizes of N - 1 or more take Zip64, and no
// volume holds N bytes).
FormatLimits LimitsOfRun();
// Why one volume cannot hold the program (standard output or a file).
std::string TooLargeForOneFile(bool toStdout);

// The name of volume n (1 for the program itself): the program's name with
// its extension replaced by ".z02", ".z03", ... ".z10", ... as the stub looks
// for them.
std::filesystem::path VolumeName(const std::filesystem::path& program, unsigned n);
// n when name (a file name, no folder) is VolumeName(program, n) for an n of
// 2 or more, exactly as written (".z02", not ".z2" or ".z002"; on Windows in
// any case); 0 when it is no volume's name.
unsigned VolumeNumber(const std::filesystem::path& program, const std::filesystem::path& name);

class VolumeWriter {
 public:
  // splitSize 0: one file. Otherwise each volume holds at most splitSize
  // bytes. out "-" is standard output (one volume, not split). A write that
  // would make the one file hold more than largest bytes fails.
  VolumeWriter(const std::filesystem::path& out, uint64_t splitSize, uint64_t largest = FormatLimits{}.largestVolume);
  ~VolumeWriter();  // removes every temporary that was not committed

  // Bytes that may be cut by a volume's end (entry data).
  void Write(const char* bytes, size_t count);
  void Write(const std::string& bytes) { Write(bytes.data(), bytes.size()); }
  // A record (header and name, end record) that stays within one volume: a
  // volume without room for it ends early.
  void WriteRecord(const std::string& bytes);

  // Room for a record of n bytes in the volume in hand.
  bool Fits(uint64_t n) const { return split_ == 0 || used_ + n <= split_; }
  unsigned Disk() const { return static_cast<unsigned>(volumes_.size() - 1); }  // from 0
  uint64_t DiskOffset() const { return used_; }
  uint64_t Total() const { return total_; }
  unsigned Count() const { return static_cast<unsigned>(volumes_.size()); }
  // The first volume's temporary, closed (for signing before the commit).
  std::filesystem::path CloseFirst();
  // Closes and renames every temporary to its volume's name; returns them
  // (none for standard output, which is flushed).
  std::vector<std::filesystem::path> Commit();

 private:
  void Open();
  struct Volume {
    std::filesystem::path temp, final;
    SignalSlot* slot;  // the temporary, removed should a signal end the run
  };
  std::filesystem::path out_;
  uint64_t split_, largest_, used_ = 0, total_ = 0;
  std::vector<Volume> volumes_;
  std::ofstream file_;
  bool committed_ = false, stream_ = false;
};

// One entry as the archive holds it.
struct EntryRecord {
  std::string name;        // "/" separators, folders end in "/"
  uint16_t flags = 0;      // ZipFlag bits
  uint16_t method = 0;     // ZipMethod
  uint32_t dosDateTime = 0;
  uint32_t crc = 0;
  uint64_t compressedSize = 0, uncompressedSize = 0;
  std::string extra;       // the extra field, in both headers (after any Zip64 field the writer adds)
  bool folder = false;
  // where its local header went
  unsigned disk = 0;
  uint64_t offset = 0;
  bool zip64 = false;      // its sizes stand in a Zip64 field (set by the writer)
};

// The records as they are written, for an entry whose disk and offset are
// known (the writer's, and the tests' way to see them for any value).
std::string LocalHeaderOf(const EntryRecord& entry, uint64_t largeSize = Zip64Escape);
std::string CentralRecordOf(const EntryRecord& entry, uint64_t largeSize = Zip64Escape);
// What the end of the directory tells.
struct DirectoryEnd {
  uint64_t entries = 0, entriesHere = 0;  // all, and those whose record lies in the end's volume
  uint64_t size = 0, offset = 0;          // the directory's bytes, and where it starts in its volume
  unsigned firstDisk = 0, endDisk = 0;    // the volume the directory starts in, the one the end lies in
  uint64_t endOffset = 0;                 // where these records start in their volume
};
// A value of the end that needs the Zip64 end record: 65,535 entries or
// volumes or more, a size or offset of largeSize or more.
bool EndNeedsZip64(const DirectoryEnd& end, uint64_t largeSize = Zip64Escape);
// The end record, after the Zip64 end record and its locator when a value
// needs them (or zip64 asks for them).
std::string EndRecordsOf(const DirectoryEnd& end, uint64_t largeSize = Zip64Escape, bool zip64 = false);

class ArchiveWriter {
 public:
  ArchiveWriter(VolumeWriter& out, bool spanned, uint64_t largeSize = Zip64Escape)
      : out_(out), spanned_(spanned), largeSize_(largeSize) {}
  // The stub, the block (may be empty) and, spanned, the marker.
  void Begin(const std::string& stub, const std::string& block);
  // The local header, then data (the encryption header included), then with
  // bit 3 a signed data descriptor (of 64-bit sizes after a Zip64 field).
  // Sizes and CRC are in the header always.
  void Add(const EntryRecord& entry, const std::string& data) {
    BeginEntry(entry);
    Data(data.data(), data.size());
    EndEntry();
  }
  // The same in steps: the header, the data in parts, the end.
  void BeginEntry(EntryRecord entry);
  void Data(const char* bytes, size_t count) { out_.Write(bytes, count); }
  void Data(const std::string& bytes) { out_.Write(bytes); }
  void EndEntry();
  // The central directory and the end record (with Zip64's before it when needed).
  void Finish();
  const std::vector<EntryRecord>& Entries() const { return entries_; }

 private:
  VolumeWriter& out_;
  bool spanned_;
  uint64_t largeSize_;
  std::vector<EntryRecord> entries_;
  EntryRecord open_;  // the entry begun
};

}  // namespace mksfx

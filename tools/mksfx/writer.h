// Writing the self-extracting file: the volumes it goes to (temporaries,
// renamed to their names only when everything is written), and the ZIP
// records the stub walks: local headers with sizes and CRC, the entries'
// data, the central directory and the end record, with offsets that count
// the stub and the block so that the file is an ordinary ZIP archive too.
#pragma once
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace mksfx {

struct SignalSlot;

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
  // bytes. out "-" is standard output (one volume, not split).
  VolumeWriter(const std::filesystem::path& out, uint64_t splitSize);
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
  uint64_t split_, used_ = 0, total_ = 0;
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
  uint32_t crc = 0, compressedSize = 0, uncompressedSize = 0;
  std::string extra;       // the extra field, in both headers
  bool folder = false;
  // where its local header went
  unsigned disk = 0;
  uint64_t offset = 0;
};

class ArchiveWriter {
 public:
  ArchiveWriter(VolumeWriter& out, bool spanned) : out_(out), spanned_(spanned) {}
  // The stub, the block (may be empty) and, spanned, the marker.
  void Begin(const std::string& stub, const std::string& block);
  // The local header, then data (the encryption header included), then with
  // bit 3 a signed data descriptor. Sizes and CRC are in the header always.
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
  // The central directory and the end record.
  void Finish();
  const std::vector<EntryRecord>& Entries() const { return entries_; }

 private:
  VolumeWriter& out_;
  bool spanned_;
  std::vector<EntryRecord> entries_;
  EntryRecord open_;  // the entry begun
};

}  // namespace mksfx

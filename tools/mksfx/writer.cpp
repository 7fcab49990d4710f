// Volumes and ZIP records (writer.h).
#include "tools/mksfx/writer.h"
#include "support/paths.h"
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include "archive/zip_format.h"
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif
#include "tools/mksfx/common.h"
#include "tools/mksfx/interrupt.h"
#include "tools/mksfx/zipcrypto.h"

namespace fs = std::filesystem;

namespace mksfx {

namespace {
uint16_t VersionNeeded(const EntryRecord& e, bool zip64) {
  if (e.method == MethodAes) return 51;  // WinZip AES
  if (zip64) return VersionNeededZip64;
  return e.method == MethodDeflate || (e.flags & FlagEncrypted) || e.folder ? 20 : 10;
}

void Put64(std::string& out, uint64_t v) {
  Put32(out, static_cast<uint32_t>(v));
  Put32(out, static_cast<uint32_t>(v >> 32));
}

// A 32-bit field: the value, or the escape when the value stands in a Zip64 field.
uint32_t Field32(uint64_t v, bool escaped) { return escaped ? Zip64Escape : static_cast<uint32_t>(v); }
uint32_t Field16(uint64_t v) { return v >= Zip64CountEscape ? Zip64CountEscape : static_cast<uint32_t>(v); }

// An entry's sizes take Zip64's fields at largeSize, both of them, in both headers.
bool SizesNeedZip64(const EntryRecord& e, uint64_t largeSize) {
  return e.uncompressedSize >= largeSize || e.compressedSize >= largeSize;
}
}  // namespace

FormatLimits LimitsOfRun() {
  FormatLimits limits;
  const char* fourGiB = std::getenv("MKSFX_TEST_FOUR_GIB");
  if (fourGiB == nullptr || *fourGiB == 0) return limits;
  char* end = nullptr;
  unsigned long long n = std::strtoull(fourGiB, &end, 10);
  if (*end != 0 || n < 2 || n > (1ull << 32)) throw Failure("MKSFX_TEST_FOUR_GIB takes a number of bytes up to 4 GiB");
  limits.largeSize = n - 1;
  limits.largestVolume = n - 1;
  return limits;
}

std::string TooLargeForOneFile(bool toStdout) {
  if (toStdout) return "the program would be 4 GiB or larger, which Windows does not start; write it to a file with --split SIZE";
  return "the program would be 4 GiB or larger, which Windows does not start; give --split SIZE for volumes below 4 GiB";
}

std::string LocalHeaderOf(const EntryRecord& e, uint64_t largeSize) {
  bool zip64 = SizesNeedZip64(e, largeSize);
  std::string extra;
  if (zip64) {
    Put16(extra, ExtraIdZip64);
    Put16(extra, Zip64LocalExtraSize);
    Put64(extra, e.uncompressedSize);
    Put64(extra, e.compressedSize);
  }
  extra += e.extra;
  std::string h;
  Put32(h, ZipSignature(ShiftedLocalHeader));
  Put16(h, VersionNeeded(e, zip64));
  Put16(h, e.flags);
  Put16(h, e.method);
  Put32(h, e.dosDateTime);
  Put32(h, e.crc);
  Put32(h, Field32(e.compressedSize, zip64));
  Put32(h, Field32(e.uncompressedSize, zip64));
  Put16(h, static_cast<uint32_t>(e.name.size()));
  Put16(h, static_cast<uint32_t>(extra.size()));
  h += e.name;
  h += extra;
  return h;
}

std::string CentralRecordOf(const EntryRecord& e, uint64_t largeSize) {
  // The Zip64 field holds, in this order, the values whose fields are escaped.
  bool sizes = SizesNeedZip64(e, largeSize), offset = e.offset >= largeSize, disk = e.disk >= Zip64CountEscape;
  std::string values;
  if (sizes) {
    Put64(values, e.uncompressedSize);
    Put64(values, e.compressedSize);
  }
  if (offset) Put64(values, e.offset);
  if (disk) Put32(values, e.disk);
  std::string extra;
  if (!values.empty()) {
    Put16(extra, ExtraIdZip64);
    Put16(extra, static_cast<uint32_t>(values.size()));
    extra += values;
  }
  extra += e.extra;
  std::string c;
  Put32(c, ZipSignature(ShiftedCentralHeader));
  Put16(c, 0x0B14);  // made by: Windows NTFS (MS-DOS attributes below), version 2.0
  Put16(c, VersionNeeded(e, !values.empty()));
  Put16(c, e.flags);
  Put16(c, e.method);
  Put32(c, e.dosDateTime);
  Put32(c, e.crc);
  Put32(c, Field32(e.compressedSize, sizes));
  Put32(c, Field32(e.uncompressedSize, sizes));
  Put16(c, static_cast<uint32_t>(e.name.size()));
  Put16(c, static_cast<uint32_t>(extra.size()));
  Put16(c, 0);  // comment
  Put16(c, disk ? Zip64CountEscape : e.disk);
  Put16(c, 0);  // internal attributes
  Put32(c, e.folder ? 0x10 : 0x20);  // directory, or archive
  Put32(c, Field32(e.offset, offset));
  c += e.name;
  c += extra;
  return c;
}

bool EndNeedsZip64(const DirectoryEnd& d, uint64_t largeSize) {
  return d.entries >= Zip64CountEscape || d.entriesHere >= Zip64CountEscape || d.size >= largeSize ||
         d.offset >= largeSize || d.firstDisk >= Zip64CountEscape || d.endDisk >= Zip64CountEscape;
}

std::string EndRecordsOf(const DirectoryEnd& d, uint64_t largeSize, bool zip64) {
  zip64 = zip64 || EndNeedsZip64(d, largeSize);
  std::string out;
  if (zip64) {
    Put32(out, ZipSignature(ShiftedZip64EndRecord));
    Put64(out, Zip64EndRecordSize - 12);  // the record's size after this field
    Put16(out, 0x0B00 | VersionNeededZip64);  // made by
    Put16(out, VersionNeededZip64);
    Put32(out, d.endDisk);
    Put32(out, d.firstDisk);
    Put64(out, d.entriesHere);
    Put64(out, d.entries);
    Put64(out, d.size);
    Put64(out, d.offset);
    Put32(out, ZipSignature(ShiftedZip64Locator));
    Put32(out, d.endDisk);  // the volume of the Zip64 end record: this one
    Put64(out, d.endOffset);
    Put32(out, d.endDisk + 1);  // volumes in all
  }
  // Each field too small for its value holds the escape.
  Put32(out, ZipSignature(ShiftedEndRecord));
  Put16(out, Field16(d.endDisk));
  Put16(out, Field16(d.firstDisk));
  Put16(out, Field16(d.entriesHere));
  Put16(out, Field16(d.entries));
  Put32(out, Field32(d.size, d.size >= largeSize));
  Put32(out, Field32(d.offset, d.offset >= largeSize));
  Put16(out, 0);  // no comment
  return out;
}

fs::path VolumeName(const fs::path& program, unsigned n) {
  if (n <= 1) return program;
  fs::path p = program;
  char extension[16];
  VolumeExtension(static_cast<int32_t>(n), extension);  // the names the stub looks for
  return p.replace_extension(extension);
}

unsigned VolumeNumber(const fs::path& program, const fs::path& name) {
  std::string text = name.filename().string(), stem = program.filename().replace_extension("").string() + ".z";
#ifdef _WIN32
  // The system compares names without case.
  auto lower = [](std::string s) {
    for (char& c : s)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
  };
  text = lower(text);
  stem = lower(stem);
#endif
  if (text.size() <= stem.size() || text.size() > stem.size() + 5 || text.compare(0, stem.size(), stem) != 0) return 0;
  unsigned n = 0;
  for (size_t i = stem.size(); i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return 0;
    n = n * 10 + static_cast<unsigned>(text[i] - '0');
  }
  fs::path written = VolumeName(program.filename(), n);
  return n >= 2 && written.string().size() == text.size() ? n : 0;
}

VolumeWriter::VolumeWriter(const fs::path& out, uint64_t splitSize, uint64_t largest)
    : out_(out), split_(std::min(splitSize, largest)), largest_(largest) {
  if (out != "-") {
    Open();
    return;
  }
  // Standard output: one volume, no temporary, nothing to rename.
  stream_ = true;
  split_ = 0;
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  std::setvbuf(stdout, nullptr, _IOFBF, 1 << 20);
  volumes_.push_back({"-", "-", nullptr});
}

VolumeWriter::~VolumeWriter() {
  if (committed_ || stream_) return;
  if (file_.is_open()) file_.close();
  std::error_code ec;
  for (const Volume& v : volumes_) {
    fs::remove(v.temp, ec);
    ForgetOnSignal(v.slot);
  }
}

void VolumeWriter::Open() {
  if (file_.is_open()) {
    file_.close();
    if (!file_) throw Failure("cannot write " + volumes_.back().final.string());
  }
  Volume v;
  v.final = VolumeName(out_, static_cast<unsigned>(volumes_.size() + 1));
  v.temp = v.final;
  v.temp += ".mksfx-" + Hex(RandomBytes(4));
  v.slot = RemoveOnSignal(v.temp);
  volumes_.push_back(v);
  file_.open(v.temp, std::ios::binary | std::ios::trunc);
  if (!file_) throw Failure("cannot create " + v.final.string() + ": " + std::strerror(errno));
  used_ = 0;
}

void VolumeWriter::Write(const char* bytes, size_t count) {
  size_t at = 0;
  while (at < count) {
    if (split_ != 0 && used_ == split_) Open();
    size_t part = count - at;
    if (split_ != 0 && part > split_ - used_) part = static_cast<size_t>(split_ - used_);
    if (split_ == 0 && part > largest_ - used_) throw Failure(TooLargeForOneFile(stream_));
    if (stream_) {
      if (std::fwrite(bytes + at, 1, part, stdout) != part)
        throw Failure(std::string("cannot write to standard output: ") + std::strerror(errno));
    } else {
      file_.write(bytes + at, static_cast<std::streamsize>(part));
      if (!file_) throw Failure("cannot write " + volumes_.back().final.string() + ": " + std::strerror(errno));
    }
    at += part;
    used_ += part;
    total_ += part;
  }
}

void VolumeWriter::WriteRecord(const std::string& bytes) {
  if (!Fits(bytes.size())) Open();
  Write(bytes);
}

fs::path VolumeWriter::CloseFirst() {
  file_.close();
  if (!file_) throw Failure("cannot write " + volumes_.back().final.string());
  return volumes_.front().temp;
}

std::vector<fs::path> VolumeWriter::Commit() {
  if (stream_) {
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
      throw Failure(std::string("cannot write to standard output: ") + std::strerror(errno));
    committed_ = true;
    return {};
  }
  if (file_.is_open()) {
    file_.close();
    if (!file_) throw Failure("cannot write " + volumes_.back().final.string());
  }
  std::vector<fs::path> done;
  for (const Volume& v : volumes_) {
    std::error_code ec;
    fs::rename(v.temp, v.final, ec);
    if (ec) throw Failure("cannot rename " + v.temp.string() + " to " + v.final.string() + ": " + ec.message());
    ForgetOnSignal(v.slot);
    done.push_back(v.final);
  }
  committed_ = true;
  return done;
}

void ArchiveWriter::Begin(const std::string& stub, const std::string& block) {
  out_.Write(stub);
  out_.Write(block);
  if (spanned_) {
    std::string marker;
    Put32(marker, ZipSignature(ShiftedMarker));
    out_.WriteRecord(marker);
  }
}

void ArchiveWriter::BeginEntry(EntryRecord e) {
  std::string h = LocalHeaderOf(e, largeSize_);
  out_.WriteRecord(h);
  e.disk = out_.Disk();
  e.offset = out_.DiskOffset() - h.size();
  e.zip64 = SizesNeedZip64(e, largeSize_);
  open_ = e;
}

void ArchiveWriter::EndEntry() {
  const EntryRecord& e = open_;
  if (e.flags & FlagDescriptor) {
    std::string d;
    Put32(d, ZipSignature(ShiftedMarker));
    Put32(d, e.crc);
    if (e.zip64) {
      Put64(d, e.compressedSize);
      Put64(d, e.uncompressedSize);
    } else {
      Put32(d, static_cast<uint32_t>(e.compressedSize));
      Put32(d, static_cast<uint32_t>(e.uncompressedSize));
    }
    out_.WriteRecord(d);
  }
  entries_.push_back(e);
}

void ArchiveWriter::Finish() {
  DirectoryEnd end;
  std::vector<unsigned> disks;  // the volume of each central header
  for (const EntryRecord& e : entries_) {
    std::string c = CentralRecordOf(e, largeSize_);
    out_.WriteRecord(c);
    if (disks.empty()) {
      end.firstDisk = out_.Disk();
      end.offset = out_.DiskOffset() - c.size();
    }
    disks.push_back(out_.Disk());
    end.size += c.size();
  }
  end.entries = entries_.size();
  // The end records go whole to the last volume, which may be a new one.
  // Zip64's records are written when either place needs them, so that
  // their length does not depend on the place.
  auto placed = [&](bool moved) {
    DirectoryEnd d = end;
    d.endDisk = out_.Disk() + (moved ? 1 : 0);
    d.endOffset = moved ? 0 : out_.DiskOffset();
    if (disks.empty()) {
      d.firstDisk = d.endDisk;
      d.offset = d.endOffset;
    }
    for (unsigned disk : disks) d.entriesHere += disk == d.endDisk;
    return d;
  };
  DirectoryEnd here = placed(false), next = placed(true);
  bool zip64 = EndNeedsZip64(here, largeSize_) || EndNeedsZip64(next, largeSize_);
  std::string records = EndRecordsOf(here, largeSize_, zip64);
  if (!out_.Fits(records.size())) records = EndRecordsOf(next, largeSize_, zip64);
  out_.WriteRecord(records);
}

}  // namespace mksfx

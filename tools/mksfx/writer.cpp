// Volumes and ZIP records (writer.h).
#include "tools/mksfx/writer.h"
#include "support/paths.h"
#include <cerrno>
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
enum : uint32_t { EndRecordSize = 22, CentralHeaderSize = 46, MaxOffset = 0xFFFFFFFFu, MaxEntries = 0xFFFF };

uint16_t VersionNeeded(const EntryRecord& e) {
  if (e.method == MethodAes) return 51;  // WinZip AES
  return e.method == MethodDeflate || (e.flags & FlagEncrypted) || e.folder ? 20 : 10;
}
}  // namespace

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

VolumeWriter::VolumeWriter(const fs::path& out, uint64_t splitSize) : out_(out), split_(splitSize) {
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
  if (entries_.size() >= MaxEntries) throw Failure("more than 65,535 entries would need Zip64, which the stub lacks");
  std::string h;
  Put32(h, ZipSignature(ShiftedLocalHeader));
  Put16(h, VersionNeeded(e));
  Put16(h, e.flags);
  Put16(h, e.method);
  Put32(h, e.dosDateTime);
  Put32(h, e.crc);
  Put32(h, e.compressedSize);
  Put32(h, e.uncompressedSize);
  Put16(h, static_cast<uint32_t>(e.name.size()));
  Put16(h, static_cast<uint32_t>(e.extra.size()));
  h += e.name;
  h += e.extra;
  // A header must also be found at its offset, not just be written: one
  // that would start past 4 GiB needs Zip64.
  if (out_.DiskOffset() + h.size() > MaxOffset) throw Failure("the archive grows past 4 GiB, which needs Zip64");
  out_.WriteRecord(h);
  e.disk = out_.Disk();
  e.offset = out_.DiskOffset() - h.size();
  open_ = e;
}

void ArchiveWriter::EndEntry() {
  const EntryRecord& e = open_;
  if (e.flags & FlagDescriptor) {
    std::string d;
    Put32(d, ZipSignature(ShiftedMarker));
    Put32(d, e.crc);
    Put32(d, e.compressedSize);
    Put32(d, e.uncompressedSize);
    out_.WriteRecord(d);
  }
  entries_.push_back(e);
}

void ArchiveWriter::Finish() {
  unsigned firstDisk = 0;
  uint64_t firstOffset = 0, size = 0;
  std::vector<unsigned> disks;  // the volume of each central header
  for (const EntryRecord& e : entries_) {
    std::string c;
    Put32(c, ZipSignature(ShiftedCentralHeader));
    Put16(c, 0x0B14);  // made by: Windows NTFS (MS-DOS attributes below), version 2.0
    Put16(c, VersionNeeded(e));
    Put16(c, e.flags);
    Put16(c, e.method);
    Put32(c, e.dosDateTime);
    Put32(c, e.crc);
    Put32(c, e.compressedSize);
    Put32(c, e.uncompressedSize);
    Put16(c, static_cast<uint32_t>(e.name.size()));
    Put16(c, static_cast<uint32_t>(e.extra.size()));
    Put16(c, 0);  // comment
    Put16(c, e.disk);
    Put16(c, 0);  // internal attributes
    Put32(c, e.folder ? 0x10 : 0x20);  // directory, or archive
    Put32(c, static_cast<uint32_t>(e.offset));
    c += e.name;
    c += e.extra;
    out_.WriteRecord(c);
    if (disks.empty()) {
      firstDisk = out_.Disk();
      firstOffset = out_.DiskOffset() - c.size();
    }
    disks.push_back(out_.Disk());
    size += c.size();
  }
  // The end record goes whole to the last volume, which may be a new one.
  bool moves = !out_.Fits(EndRecordSize);
  unsigned endDisk = out_.Disk() + (moves ? 1 : 0);
  if (disks.empty()) {
    firstDisk = endDisk;
    firstOffset = moves ? 0 : out_.DiskOffset();
  }
  if (firstOffset + size > MaxOffset || out_.DiskOffset() > MaxOffset)
    throw Failure("the archive grows past 4 GiB, which needs Zip64");
  uint32_t here = 0;
  for (unsigned d : disks) here += d == endDisk;
  std::string end;
  Put32(end, ZipSignature(ShiftedEndRecord));
  Put16(end, endDisk);
  Put16(end, firstDisk);
  Put16(end, here);
  Put16(end, static_cast<uint32_t>(entries_.size()));
  Put32(end, static_cast<uint32_t>(size));
  Put32(end, static_cast<uint32_t>(firstOffset));
  Put16(end, 0);  // no comment
  out_.WriteRecord(end);
}

}  // namespace mksfx

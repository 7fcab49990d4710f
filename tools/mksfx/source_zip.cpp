// Reading an existing ZIP archive (source_zip.h). The central directory is
// the authority for sizes and CRCs (data descriptors and Zip64's local
// fields are never needed); local headers are read only to find where each
// entry's data starts.
#include "tools/mksfx/source_zip.h"
#include <algorithm>
#include <type_traits>
#include "archive/winzip_aes.h"
#include "archive/zip_format.h"
#include "tools/mksfx/codec.h"
#include "tools/mksfx/common.h"
#include "tools/mksfx/inputs.h"

namespace fs = std::filesystem;

namespace mksfx {

namespace {

std::string Le16(uint32_t v) {
  std::string s;
  Put16(s, v);
  return s;
}

const char* MethodName(uint16_t method) {
  switch (method) {
    case 1: return "Shrink";
    case 6: return "Implode";
    case 9: return "Deflate64";
    case 12: return "bzip2";
    case 14: return "LZMA";
    case 93: return "Zstandard";
    case 95: return "XZ";
    case 98: return "PPMd";
    default: return nullptr;
  }
}
}  // namespace

bool LooksLikeZip(const fs::path& path) {
  std::string ext = path.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext == ".zip";
}

std::string SourceZip::ReadAt(uint64_t offset, size_t count) {
  std::string bytes(count, '\0');
  if (offset > size_ || count > size_ - offset) throw Failure(path_.string() + " is cut short");
  file_.clear();
  file_.seekg(static_cast<std::streamoff>(offset));
  if (!file_.read(bytes.data(), static_cast<std::streamsize>(count))) throw Failure("cannot read " + path_.string());
  return bytes;
}

SourceZip::SourceZip(const fs::path& path, bool recompress) : path_(path), file_(path, std::ios::binary) {
  std::error_code ec;
  size_ = fs::file_size(path, ec);
  if (!file_ || ec) throw Failure("cannot read " + path.string() + (ec ? ": " + ec.message() : ""));

  // The end record: the last signature within the comment's reach.
  uint64_t tail = std::min<uint64_t>(size_, EndRecordSize + MaxEndComment);
  std::string back = ReadAt(size_ - tail, static_cast<size_t>(tail));
  std::string sig;
  Put32(sig, ZipSignature(ShiftedEndRecord));
  size_t at = back.size() < EndRecordSize ? std::string::npos : back.rfind(sig, back.size() - EndRecordSize);
  if (at == std::string::npos) throw Failure(path.string() + " is not a ZIP archive (no end record)");
  const unsigned char* end = reinterpret_cast<const unsigned char*>(back.data() + at);
  uint64_t endAt = size_ - tail + at;
  uint64_t disk = Get16(end + 4), cdDisk = Get16(end + 6);
  uint64_t count = Get16(end + 10), cdSize = Get32(end + 12), cdOffset = Get32(end + 16);

  // Zip64: the locator right before the end record, the Zip64 end record
  // (without an extension) right before the locator. The locator's offset
  // does not count bytes in front of the archive; the record's place does.
  if (endAt >= Zip64LocatorSize + Zip64EndRecordSize) {
    std::string tail64 = ReadAt(endAt - Zip64LocatorSize - Zip64EndRecordSize, Zip64EndRecordSize + Zip64LocatorSize);
    const unsigned char* r = reinterpret_cast<const unsigned char*>(tail64.data());
    const unsigned char* loc = r + Zip64EndRecordSize;
    if (Get32(loc) == ZipSignature(ShiftedZip64Locator)) {
      uint32_t volumes = Get32(loc + 16);
      uint64_t recAt = Get64(loc + 8);
      if (Get32(r) == ZipSignature(ShiftedZip64EndRecord)) {
        endAt -= Zip64LocatorSize + Zip64EndRecordSize;
      } else {
        // An extension makes the record longer: it stands where the locator says.
        if (recAt + Zip64EndRecordSize > endAt) throw Failure(path.string() + " has a damaged Zip64 end record");
        tail64 = ReadAt(recAt, Zip64EndRecordSize);
        r = reinterpret_cast<const unsigned char*>(tail64.data());
        if (Get32(r) != ZipSignature(ShiftedZip64EndRecord)) throw Failure(path.string() + " has a damaged Zip64 end record");
        endAt = recAt;
      }
      disk = volumes > 1 ? volumes - 1 : Get32(r + 16);
      cdDisk = Get32(r + 20);
      count = Get64(r + 32);
      cdSize = Get64(r + 40);
      cdOffset = Get64(r + 48);
    }
  }
  if (disk != 0 || cdDisk != 0) throw Failure(path.string() + " is a spanned archive; join it first (zip -s 0)");
  // Bytes in front of the archive (a stub of its own) shift every offset.
  if (cdOffset > endAt || cdSize > endAt - cdOffset) throw Failure(path.string() + " has a damaged central directory");
  uint64_t shift = endAt - cdOffset - cdSize;
  std::string cd = ReadAt(cdOffset + shift, static_cast<size_t>(cdSize));

  size_t p = 0;
  for (uint64_t i = 0; i < count; ++i) {
    if (p + CentralHeaderSize > cd.size()) throw Failure(path.string() + " has a damaged central directory");
    const unsigned char* c = reinterpret_cast<const unsigned char*>(cd.data() + p);
    if (Get32(c) != ZipSignature(ShiftedCentralHeader)) throw Failure(path.string() + " has a damaged central directory");
    SourceEntry e;
    e.flags = static_cast<uint16_t>(Get16(c + 8));
    e.method = static_cast<uint16_t>(Get16(c + 10));
    e.dosDateTime = Get32(c + 12);
    e.crc = Get32(c + 16);
    e.compressedSize = Get32(c + 20);
    e.uncompressedSize = Get32(c + 24);
    size_t nameLength = Get16(c + 28), extraLength = Get16(c + 30), commentLength = Get16(c + 32);
    uint32_t entryDisk = Get16(c + 34);
    uint64_t headerOffset = Get32(c + 42);
    if (p + CentralHeaderSize + nameLength + extraLength + commentLength > cd.size())
      throw Failure(path.string() + " has a damaged central directory");
    std::string rawName = cd.substr(p + CentralHeaderSize, nameLength);
    std::string extra = cd.substr(p + CentralHeaderSize + nameLength, extraLength);
    p += CentralHeaderSize + nameLength + extraLength + commentLength;

    // Zip64 values, in the order of the fields that hold the escape
    // (entries whose values fit are written without Zip64); an Info-ZIP
    // Unicode Path, which the stub would look for in the extra field this
    // copy drops: the name becomes UTF-8 with bit 11 instead (only a field
    // made for the name in the header counts, its CRC that name's, as in the
    // stub: a tool that renamed the entry since may have left a stale one).
    std::string name = rawName;
    for (size_t x = 0; x + ExtraFieldHeaderSize <= extra.size();) {
      const unsigned char* f = reinterpret_cast<const unsigned char*>(extra.data() + x);
      uint32_t id = Get16(f), n = Get16(f + 2);
      if (x + ExtraFieldHeaderSize + n > extra.size()) break;
      if (id == ExtraIdZip64) {
        size_t k = ExtraFieldHeaderSize;
        auto take = [&](auto& field, uint64_t escape, size_t width) {
          if (field != escape) return;
          if (k + width <= ExtraFieldHeaderSize + n)
            field = static_cast<std::remove_reference_t<decltype(field)>>(width == 8 ? Get64(f + k) : Get32(f + k));
          k += width;
        };
        take(e.uncompressedSize, Zip64Escape, 8);
        take(e.compressedSize, Zip64Escape, 8);
        take(headerOffset, Zip64Escape, 8);
        take(entryDisk, Zip64CountEscape, 4);
      } else if (id == ExtraIdUnicodePath && n >= 5 && f[4] == 1 && (e.flags & FlagUtf8Name) == 0 &&
                 Get32(f + 5) == Crc32(rawName)) {
        e.flags |= FlagUtf8Name;
        name = extra.substr(x + 9, n - 5);
      }
      x += ExtraFieldHeaderSize + n;
    }
    // A name without bit 11 is in code page 437 by the format; Info-ZIP on
    // Unix writes its UTF-8 names so too, and those are taken as UTF-8.
    if ((e.flags & FlagUtf8Name) == 0 && NameFlags(name) != 0) {
      if (!IsUtf8(name)) name = FromCp437(name);
      e.flags |= FlagUtf8Name;
    }
    std::replace(name.begin(), name.end(), '\\', '/');
    // bsdtar names a folder's contents "./a.txt", and the folder "./",
    // which is left out.
    bool stripped = false;
    while (name.rfind("./", 0) == 0) {
      name.erase(0, 2);
      stripped = dotsStripped_ = true;
    }
    if (stripped && name.empty() && e.uncompressedSize == 0) continue;
    e.name = name;
    e.folder = !name.empty() && name.back() == '/';
    const std::string quoted = "'" + name + "' ";

    if (entryDisk != 0) throw Failure(quoted + "lies on another disk of a spanned archive");
    if (e.flags & (FlagStrongEncryption | FlagMaskedHeaders))
      throw Failure(quoted + "uses strong encryption, which the stub cannot decrypt");
    // The local header tells where the data starts.
    std::string local = ReadAt(headerOffset + shift, LocalHeaderSize);
    const unsigned char* l = reinterpret_cast<const unsigned char*>(local.data());
    if (Get32(l) != ZipSignature(ShiftedLocalHeader)) throw Failure(quoted + "has no local header where the directory says");
    uint32_t localName = Get16(l + 26), localExtra = Get16(l + 28);
    e.dataOffset = headerOffset + shift + LocalHeaderSize + localName + localExtra;

    // A WinZip AES entry is copied sealed, with the AES field of its local
    // header, which the stub reads and the data's salt follows: well-formed,
    // the data at least its salt, verifier and code.
    uint16_t method = e.method;
    e.aesField.clear();
    if (e.method == MethodAes) {
      std::string fields = ReadAt(headerOffset + shift + LocalHeaderSize + localName, localExtra);
      AesEntryInfo aes{};
      if ((e.flags & FlagEncrypted) == 0 ||
          !FindAesExtra(reinterpret_cast<const uint8_t*>(fields.data()), localExtra, &aes))
        throw Failure(quoted + "is marked WinZip AES (method 99) without a well-formed AES field");
      if (e.compressedSize < AesOverhead(aes.strength))
        throw Failure(quoted + "is shorter than its AES salt, verifier and code (damaged)");
      e.aesField = Le16(ExtraIdAes) + Le16(AesExtraSize) + Le16(aes.version) + Le16(AesVendorId) +
                   static_cast<char>(aes.strength) + Le16(aes.method);
      method = aes.method;
    }
    if (method != MethodStored && method != MethodDeflate) {
      const char* known = MethodName(method);
      std::string text = known ? known : "method " + std::to_string(method);
      bool sealed = (e.flags & FlagEncrypted) != 0;
      throw Failure(quoted + "is compressed with " + text + (e.method == MethodAes ? " inside its AES encryption" : "") +
                    ", which the stub cannot extract" + (recompress && !sealed ? " and mksfx cannot decode" : ""));
    }
    std::string problem = NameProblem(name);
    if (!problem.empty() && !(e.folder && problem == "has an empty folder part")) throw Failure(quoted + problem);
    if (e.folder && e.uncompressedSize != 0) throw Failure(quoted + "is a folder entry with data");
    if (e.dataOffset + e.compressedSize > size_) throw Failure(quoted + "is cut short");
    entries_.push_back(e);
  }
}

void SourceZip::ReadData(const SourceEntry& e, uint64_t at, char* bytes, size_t count) {
  if (at > e.compressedSize || count > e.compressedSize - at) throw Failure("'" + e.name + "' is read past its end");
  file_.clear();
  file_.seekg(static_cast<std::streamoff>(e.dataOffset + at));
  if (!file_.read(bytes, static_cast<std::streamsize>(count))) throw Failure("cannot read " + path_.string());
}

}  // namespace mksfx

// Test helper: ZIP archives built byte by byte (see zip_builder.h).
#include "tests/support/zip_builder.h"
#include "archive/winzip_aes.h"
#include "archive/zip_format.h"
#include "tests/support/zlib_reference.h"

namespace {

// One set of keys of the traditional encryption, kept apart from the
// program's own so that the two implementations check each other.
struct Keys {
  uint32_t k0 = 0x12345678u, k1 = 0x23456789u, k2 = 0x34567890u;
  static uint32_t Crc(uint32_t reg, uint8_t b) {
    reg ^= b;
    for (int i = 0; i < 8; ++i) reg = (reg >> 1) ^ (0xEDB88320u & (0u - (reg & 1)));
    return reg;
  }
  void Update(uint8_t plain) {
    k0 = Crc(k0, plain);
    k1 = (k1 + (k0 & 0xFF)) * 134775813u + 1;
    k2 = Crc(k2, static_cast<uint8_t>(k1 >> 24));
  }
  uint8_t Stream() const {
    uint32_t t = (k2 | 2) & 0xFFFF;
    return static_cast<uint8_t>((t * (t ^ 1)) >> 8);
  }
  uint8_t Encrypt(uint8_t plain) {
    uint8_t c = plain ^ Stream();
    Update(plain);
    return c;
  }
};

}  // namespace

void PutLe16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void PutLe32(std::vector<uint8_t>& out, uint32_t v) {
  PutLe16(out, v & 0xFFFF);
  PutLe16(out, v >> 16);
}

uint32_t ZipCrc(const std::vector<uint8_t>& bytes) {
  uint32_t reg = 0xFFFFFFFFu;
  for (uint8_t b : bytes) reg = Keys::Crc(reg, b);
  return reg ^ 0xFFFFFFFFu;
}

std::vector<uint8_t> ZipEncrypt(const std::string& password, uint8_t check, const std::vector<uint8_t>& payload) {
  Keys keys;
  for (char c : password) keys.Update(static_cast<uint8_t>(c));
  std::vector<uint8_t> out;
  for (int i = 0; i < 11; ++i) out.push_back(keys.Encrypt(static_cast<uint8_t>(0x5A + 37 * i)));
  out.push_back(keys.Encrypt(check));
  for (uint8_t b : payload) out.push_back(keys.Encrypt(b));
  return out;
}

ZipBuilder& ZipBuilder::Add(const ZipEntry& entry) {
  entries_.push_back(entry);
  return *this;
}

ZipBuilder& ZipBuilder::Stored(const std::string& name, const std::string& text, uint32_t dosDateTime) {
  ZipEntry e;
  e.name = name;
  e.data.assign(text.begin(), text.end());
  e.dosDateTime = dosDateTime;
  return Add(e);
}

ZipBuilder& ZipBuilder::Folder(const std::string& name) {
  ZipEntry e;
  e.name = name;
  return Add(e);
}

ZipBuilder& ZipBuilder::Zip64End() {
  zip64End_ = true;
  return *this;
}

namespace {

struct Written {
  uint32_t offset, crc;
  uint64_t compressed, uncompressed;
  uint16_t flags, method;
  bool zip64;
};

void PutLe64(std::vector<uint8_t>& out, uint64_t v) {
  PutLe32(out, static_cast<uint32_t>(v));
  PutLe32(out, static_cast<uint32_t>(v >> 32));
}

// The Zip64 field with both sizes, as both headers carry it here.
std::vector<uint8_t> Zip64Field(const Written& w) {
  std::vector<uint8_t> field;
  PutLe16(field, ExtraIdZip64);
  PutLe16(field, 16);
  PutLe64(field, w.uncompressed);
  PutLe64(field, w.compressed);
  return field;
}

// A WinZip AES entry's data: salt, verifier, the payload encrypted by the
// program's own AES (proven against 7-Zip and the published vectors in
// winzip_aes_test.cpp), the code; and its extra field before e.extra.
std::vector<uint8_t> AesSealed(const ZipEntry& e, const std::vector<uint8_t>& payload, std::vector<uint8_t>* extra) {
  std::vector<uint8_t> salt(AesSaltSize(e.aesStrength));
  for (size_t i = 0; i < salt.size(); ++i) salt[i] = static_cast<uint8_t>(e.name.size() * 31 + i * 7 + 1);
  uint32_t verifier = SetAesEntryKeys(e.aesStrength, salt.data(), e.password.c_str(), static_cast<uint32_t>(e.password.size()));
  std::vector<uint8_t> data = salt, body = payload;
  PutLe16(data, verifier);
  if (!body.empty()) AesEncryptBuffer(body.data(), static_cast<uint32_t>(body.size()));
  data.insert(data.end(), body.begin(), body.end());
  uint8_t code[AesCodeSize];
  FinishAesCode(code);
  data.insert(data.end(), code, code + AesCodeSize);
  std::vector<uint8_t> field;
  PutLe16(field, ExtraIdAes);
  PutLe16(field, AesExtraSize);
  PutLe16(field, e.aesVersion);
  PutLe16(field, AesVendorId);
  field.push_back(e.aesStrength);
  PutLe16(field, e.method);
  extra->insert(extra->begin(), field.begin(), field.end());
  return data;
}

Written WriteLocal(const ZipEntry& e, std::vector<uint8_t>& out) {
  Written w{};
  w.offset = static_cast<uint32_t>(out.size());
  uint32_t realCrc = ZipCrc(e.data);
  w.crc = e.crc.value_or(realCrc);
  w.uncompressed = e.uncompressedSize.value_or(e.data.size());
  std::vector<uint8_t> payload = e.payload ? *e.payload : e.method == MethodDeflate ? ZlibDeflate(e.data) : e.data;
  w.flags = e.extraFlags;
  w.method = e.method;
  std::vector<uint8_t> extra = e.extra;
  if (e.descriptor || !e.sizesInHeader) w.flags |= FlagDescriptor;
  if (!e.password.empty() && e.aesStrength != 0) {
    w.flags |= FlagEncrypted;
    w.method = MethodAes;
    if (e.aesVersion == AesVersionAe2 && !e.crc) w.crc = 0;
    payload = AesSealed(e, payload, &extra);
  } else if (!e.password.empty()) {
    w.flags |= FlagEncrypted;
    uint8_t check = (w.flags & FlagDescriptor) ? static_cast<uint8_t>(e.dosDateTime >> 8) : static_cast<uint8_t>(w.crc >> 24);
    payload = ZipEncrypt(e.password, check, payload);
  }
  w.compressed = payload.size();
  w.zip64 = e.zip64 || w.uncompressed > Zip64Escape || w.compressed > Zip64Escape;
  if (w.zip64) {
    std::vector<uint8_t> field = Zip64Field(w);
    extra.insert(extra.begin(), field.begin(), field.end());
  }

  PutLe32(out, ZipSignature(ShiftedLocalHeader));
  PutLe16(out, w.zip64 ? uint32_t{VersionNeededZip64} : 20u);
  PutLe16(out, w.flags);
  PutLe16(out, w.method);
  PutLe32(out, e.dosDateTime);
  PutLe32(out, e.sizesInHeader ? w.crc : 0);
  PutLe32(out, w.zip64 ? Zip64Escape : e.sizesInHeader ? static_cast<uint32_t>(w.compressed) : 0);
  PutLe32(out, w.zip64 ? Zip64Escape : e.sizesInHeader ? static_cast<uint32_t>(w.uncompressed) : 0);
  PutLe16(out, static_cast<uint32_t>(e.name.size()));
  PutLe16(out, static_cast<uint32_t>(extra.size()));
  out.insert(out.end(), e.name.begin(), e.name.end());
  out.insert(out.end(), extra.begin(), extra.end());
  out.insert(out.end(), payload.begin(), payload.end());
  if (w.flags & FlagDescriptor) {
    if (e.descriptorSignature) PutLe32(out, ZipSignature(ShiftedMarker));
    PutLe32(out, w.crc);
    if (w.zip64) {
      PutLe64(out, w.compressed);
      PutLe64(out, w.uncompressed);
    } else {
      PutLe32(out, static_cast<uint32_t>(w.compressed));
      PutLe32(out, static_cast<uint32_t>(w.uncompressed));
    }
  }
  return w;
}

}  // namespace

std::vector<uint8_t> ZipBuilder::LocalPart() const {
  std::vector<uint8_t> out;
  for (const ZipEntry& e : entries_) WriteLocal(e, out);
  return out;
}

std::vector<uint8_t> ZipBuilder::Bytes() const {
  std::vector<uint8_t> out;
  std::vector<Written> written;
  for (const ZipEntry& e : entries_) written.push_back(WriteLocal(e, out));
  uint32_t directory = static_cast<uint32_t>(out.size());
  for (size_t i = 0; i < entries_.size(); ++i) {
    const ZipEntry& e = entries_[i];
    const Written& w = written[i];
    std::vector<uint8_t> field = w.zip64 ? Zip64Field(w) : std::vector<uint8_t>();
    PutLe32(out, ZipSignature(ShiftedCentralHeader));
    PutLe16(out, w.zip64 ? uint32_t{VersionNeededZip64} : 20u);
    PutLe16(out, w.zip64 ? uint32_t{VersionNeededZip64} : 20u);
    PutLe16(out, w.flags);
    PutLe16(out, w.method);
    PutLe32(out, e.dosDateTime);
    PutLe32(out, w.crc);
    PutLe32(out, w.zip64 ? Zip64Escape : static_cast<uint32_t>(w.compressed));
    PutLe32(out, w.zip64 ? Zip64Escape : static_cast<uint32_t>(w.uncompressed));
    PutLe16(out, static_cast<uint32_t>(e.name.size()));
    PutLe16(out, static_cast<uint32_t>(field.size()));  // extra
    PutLe16(out, 0);  // comment
    PutLe16(out, 0);  // disk
    PutLe16(out, 0);  // internal attributes
    PutLe32(out, e.name.empty() || e.name.back() != '/' ? 0u : 0x10u);
    PutLe32(out, w.offset);
    out.insert(out.end(), e.name.begin(), e.name.end());
    out.insert(out.end(), field.begin(), field.end());
  }
  uint32_t size = static_cast<uint32_t>(out.size()) - directory;
  if (zip64End_) {
    uint32_t record = static_cast<uint32_t>(out.size());
    PutLe32(out, ZipSignature(ShiftedZip64EndRecord));
    PutLe64(out, Zip64EndRecordSize - 12);
    PutLe16(out, VersionNeededZip64);
    PutLe16(out, VersionNeededZip64);
    PutLe32(out, 0);  // this disk
    PutLe32(out, 0);  // the directory's
    PutLe64(out, entries_.size());
    PutLe64(out, entries_.size());
    PutLe64(out, size);
    PutLe64(out, directory);
    PutLe32(out, ZipSignature(ShiftedZip64Locator));
    PutLe32(out, 0);
    PutLe64(out, record);
    PutLe32(out, 1);
  }
  PutLe32(out, ZipSignature(ShiftedEndRecord));
  PutLe16(out, 0);
  PutLe16(out, 0);
  PutLe16(out, zip64End_ ? Zip64CountEscape : static_cast<uint32_t>(entries_.size()));
  PutLe16(out, zip64End_ ? Zip64CountEscape : static_cast<uint32_t>(entries_.size()));
  PutLe32(out, zip64End_ ? Zip64Escape : size);
  PutLe32(out, zip64End_ ? Zip64Escape : directory);
  PutLe16(out, 0);
  return out;
}

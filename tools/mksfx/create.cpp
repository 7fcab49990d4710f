// mksfx create (create.h). Every entry is compressed in memory first, so that
// its local header carries the sizes and the CRC: the stub needs them there.
#include "tools/mksfx/create.h"
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include "Sfx/layout.h"
#include "archive/zip_format.h"
#include "tools/mksfx/codec.h"
#include "tools/mksfx/collisions.h"
#include "tools/mksfx/common.h"
#include "tools/mksfx/console.h"
#include "tools/mksfx/inputs.h"
#include "tools/mksfx/replaced.h"
#include "tools/mksfx/source_zip.h"
#include "tools/mksfx/writer.h"
#include "tools/mksfx/seal.h"
#include "tools/mksfx/zipcrypto.h"

namespace fs = std::filesystem;

namespace mksfx {

namespace {

std::string ReadWhole(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Failure("cannot read " + path.string());
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw Failure("cannot read " + path.string());
  return bytes;
}

std::string ReadStub(const fs::path& path) {
  std::string stub = ReadWhole(path);
  if (stub.size() != StubSize || stub.compare(0, 2, "MZ") != 0)
    throw Failure(path.string() + " is no stub (" + std::to_string(StubSize) + " bytes, starting with MZ)");
  return stub;
}

struct Totals {
  uint64_t in = 0, packed = 0;
};

// The packed data encrypted as the options say: AES-256, or the traditional
// encryption, which is warned about where it meets stored data.
std::string Sealed(EntryRecord& e, std::string data, const CreateOptions& o) {
  Cipher cipher = o.zipcrypto ? Cipher::Traditional : Cipher::Aes256;
  if (o.zipcrypto && e.method == MethodStored && !data.empty() && !o.quiet)
    std::fprintf(stderr, "mksfx: warning: '%s' is stored: the traditional encryption of stored data is broken "
                 "from a few known bytes; without --zipcrypto it is AES-256\n", e.name.c_str());
  EntrySeal seal(cipher, o.password, e);
  std::string header = seal.Header();
  seal.Encrypt(data);
  return header + data + seal.Trailer();
}

// Compressed (or stored) data of one entry's plain bytes, encrypted when a
// password is given; fills the record's method, flags, sizes and CRC.
std::string Pack(EntryRecord& e, const std::string& plain, const CreateOptions& o, int level) {
  e.crc = Crc32(plain);
  e.uncompressedSize = static_cast<uint32_t>(plain.size());
  std::string data = o.store ? std::string() : Deflate(plain, level);
  e.method = data.empty() ? MethodStored : MethodDeflate;
  if (data.empty()) data = plain;
  if (!o.password.empty()) data = Sealed(e, data, o);
  if (data.size() > 0xFFFFFFFFu) throw Failure("'" + e.name + "' packs to 4 GiB or more, which needs Zip64");
  e.compressedSize = static_cast<uint32_t>(data.size());
  return data;
}

void AddTree(ArchiveWriter& archive, const std::vector<InputItem>& items, const CreateOptions& o, int level,
             Totals& totals) {
  uint64_t all = 0;
  for (const InputItem& i : items) all += i.size;
  Progress progress(all);
  for (const InputItem& item : items) {
    progress.Show(totals.in, item.name);
    EntryRecord e;
    e.name = item.name;
    e.flags = NameFlags(item.name);
    e.dosDateTime = item.dosDateTime;
    e.folder = item.folder;
    if (item.folder) {
      archive.Add(e, std::string());
      continue;
    }
    std::string plain = ReadWhole(item.path);
    if (plain.size() != item.size) throw Failure(item.path.string() + " changed while it was read");
    std::string data = Pack(e, plain, o, level);
    totals.in += plain.size();
    totals.packed += data.size();
    archive.Add(e, data);
  }
}

fs::path ZipInput(const CreateOptions& o) { return o.directory.empty() ? fs::path(o.inputs[0]) : o.directory / o.inputs[0]; }

void AddZip(ArchiveWriter& archive, SourceZip& source, const CreateOptions& o, int level, Totals& totals) {
  uint64_t all = 0;
  for (const SourceEntry& s : source.Entries()) all += s.uncompressedSize;
  Progress progress(all);
  for (const SourceEntry& s : source.Entries()) {
    progress.Show(totals.in, s.name);
    EntryRecord e;
    e.name = s.name;
    e.folder = s.folder;
    e.dosDateTime = s.dosDateTime;
    e.flags = NameFlags(s.name);
    if (s.folder) {
      archive.Add(e, std::string());
      continue;
    }
    std::string data = source.Data(s);
    bool encrypted = (s.flags & FlagEncrypted) != 0;
    if (o.recompress && !encrypted) {
      // Decoded and checked here, then packed anew.
      std::string plain;
      if (s.method == MethodStored) plain = data;
      else if (!Inflate(data, static_cast<uint32_t>(s.uncompressedSize), plain))
        throw Failure("'" + s.name + "' does not decode (damaged)");
      if (plain.size() != s.uncompressedSize || Crc32(plain) != s.crc) throw Failure("'" + s.name + "' fails its CRC");
      data = Pack(e, plain, o, level);
    } else {
      // Copied as it is: the compressed bytes, sizes and CRC of the directory.
      e.method = s.method;
      e.crc = s.crc;
      e.uncompressedSize = static_cast<uint32_t>(s.uncompressedSize);
      if (encrypted) {
        // Its password check byte is sealed inside its encryption header: the
        // time's high byte when the source set bit 3, which must stay set then
        // (and a descriptor follow the data, as bit 3 tells the stub).
        e.flags |= FlagEncrypted | (s.flags & FlagDescriptor);
      } else if (!o.password.empty()) {
        data = Sealed(e, data, o);
      }
      if (data.size() > 0xFFFFFFFFu) throw Failure("'" + s.name + "' is 4 GiB or larger, which needs Zip64");
      e.compressedSize = static_cast<uint32_t>(data.size());
    }
    totals.in += s.uncompressedSize;
    totals.packed += data.size();
    archive.Add(e, data);
  }
}

// Refuses names that Windows would not keep apart: the first clash, and how
// many more there are.
void MustKeepApart(const std::vector<std::string>& names) {
  std::vector<NameClash> clashes = FindNameClashes(names);
  if (clashes.empty()) return;
  size_t more = clashes.size() - 1;
  throw Failure(clashes[0].text + (more == 0 ? "" : "; " + std::to_string(more) + (more == 1 ? " more entry" : " more entries") + " at fault"));
}

// Removes the old volumes that this run did not write again, and says so.
void ReportStaleVolumes(const Replaced& replaced, const std::vector<fs::path>& written) {
  std::vector<std::string> failures;
  std::vector<fs::path> removed = replaced.RemoveStale(written, failures);
  if (!removed.empty()) {
    std::string names;
    for (size_t i = 0; i < removed.size(); ++i) {
      // A long row of them shown by its ends.
      if (removed.size() > 4 && i > 0 && i + 1 < removed.size()) {
        if (i == 1) names += ", ...";
        continue;
      }
      names += (i == 0 ? "" : ", ") + removed[i].string();
    }
    std::fprintf(stderr, "mksfx: removed %zu volume%s of an earlier split run of %s: %s\n", removed.size(),
                 removed.size() == 1 ? "" : "s", replaced.Output().string().c_str(), names.c_str());
  }
  for (const std::string& f : failures)
    std::fprintf(stderr, "mksfx: cannot remove a volume of an earlier split run (%s); remove it by hand\n", f.c_str());
}

}  // namespace

int CreateArchive(const CreateOptions& o) {
  if (o.output.empty()) throw Failure("no output file; give -o FILE");
  if (o.inputs.empty()) throw Failure("nothing to pack; name files, folders or one .zip");
  if (o.split != 0 && o.split < MinimumSplit) throw Failure("--split needs at least " + Grouped(MinimumSplit) + " bytes");
  if (o.split != 0 && o.sign.given()) throw Failure("a split program cannot be signed: the signature would end its first volume");
  int level = o.level < 0 ? HighestLevel() : o.level;
  if (level < 1 || level > HighestLevel())
    throw Failure("--level takes 1 to " + std::to_string(HighestLevel()) + " (" + CompressorName() + ")");
  bool fromZip = o.inputs.size() == 1 && LooksLikeZip(o.inputs[0]) && fs::is_regular_file(ZipInput(o));
  if (o.recompress && !fromZip) throw Failure("--recompress applies to one .zip input");

  if (o.sign.given()) {
    if (o.sign.cert.empty() || o.sign.key.empty()) throw Failure("signing needs both --sign-cert and --sign-key");
    for (const std::string& f : {o.sign.cert, o.sign.key, o.sign.passFile})
      if (!f.empty() && !fs::is_regular_file(f)) throw Failure("cannot read " + f);
  }
  std::string stub = ReadStub(o.stub);
  std::string block = o.block.given ? MakeConfigBlock(o.block) : std::string();
  auto start = std::chrono::steady_clock::now();

  // The tree is gathered before the output's temporaries exist. No file the
  // run reads may be the output it replaces: that input would be lost.
  Replaced replaced(o.output);
  replaced.MustNotBe(o.stub, "the stub");
  if (!o.passwordFile.empty()) replaced.MustNotBe(o.passwordFile, "the password file");
  if (!o.sign.cert.empty()) replaced.MustNotBe(o.sign.cert, "the signing certificate");
  if (!o.sign.key.empty()) replaced.MustNotBe(o.sign.key, "the signing key");
  if (!o.sign.passFile.empty()) replaced.MustNotBe(o.sign.passFile, "the signing key's password file");
  std::vector<InputItem> items;
  std::optional<SourceZip> source;
  if (fromZip) {
    replaced.MustNotBe(ZipInput(o), "one of the inputs");
    source.emplace(ZipInput(o), o.recompress);
    if (source->Entries().empty()) throw Failure("nothing to do: " + ZipInput(o).string() + " holds no entries");
    std::vector<std::string> names;
    for (const SourceEntry& e : source->Entries()) names.push_back(e.name);
    MustKeepApart(names);
  } else {
    items = GatherInputs(o.inputs, o.directory);
    // An old volume of the output found in a folder is left out, with a
    // word: it is the output's, not the tree's. One named is refused.
    std::erase_if(items, [&](const InputItem& i) {
      if (i.named || i.folder || replaced.Of(i.path) != Replaced::OldVolume) return false;
      std::fprintf(stderr, "mksfx: left out %s: a volume of an earlier split run of %s\n",
                   i.path.lexically_normal().string().c_str(), o.output.string().c_str());
      return true;
    });
    for (const InputItem& i : items) replaced.MustNotBe(i.path, "one of the inputs");
    if (items.empty()) throw Failure("nothing to do: the inputs hold no files or folders");
    std::vector<std::string> names;
    for (const InputItem& i : items) names.push_back(i.name);
    MustKeepApart(names);
  }
  VolumeWriter out(o.output, o.split);
  ArchiveWriter archive(out, o.split != 0);
  archive.Begin(stub, block);
  Totals totals;
  if (fromZip) AddZip(archive, *source, o, level, totals);
  else AddTree(archive, items, o, level, totals);
  archive.Finish();
  uint64_t bytesOut = out.Total();
  if (o.sign.given()) {
    fs::path first = out.CloseFirst();
    SignFile(first, o.sign);
    bytesOut = fs::file_size(first);
  }
  std::vector<fs::path> volumes = out.Commit();
  ReportStaleVolumes(replaced, volumes);

  if (!o.quiet) {
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s: %zu entries, %s bytes in, %s bytes out (%s%.1f%% of in), %s bytes written%s, %.2f s\n",
                o.output.string().c_str(), archive.Entries().size(), Grouped(totals.in).c_str(),
                Grouped(totals.packed).c_str(), "", totals.in == 0 ? 0.0 : 100.0 * static_cast<double>(totals.packed) / static_cast<double>(totals.in),
                Grouped(bytesOut).c_str(),
                volumes.size() > 1 ? (" in " + std::to_string(volumes.size()) + " volumes").c_str() : "", seconds);
  }
  return 0;
}

}  // namespace mksfx

// mksfx create (create.h). A local header carries the entry's sizes and CRC
// (the stub needs them there; an entry of 4 GiB or more in a Zip64 field),
// so an entry's data is complete before its header is written: a file of
// one piece waits in memory, the compressed pieces of a larger one in a
// spool (file_io.h). The pieces come from the packer's workers in archive
// order.
#include "tools/mksfx/create.h"
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include "Sfx/layout.h"
#include "archive/zip_format.h"
#include "tools/mksfx/codec.h"
#include "tools/mksfx/collisions.h"
#include "tools/mksfx/common.h"
#include "tools/mksfx/console.h"
#include "tools/mksfx/file_io.h"
#include "tools/mksfx/glob.h"
#include "tools/mksfx/inputs.h"
#include "tools/mksfx/manifest.h"
#include "tools/mksfx/packer.h"
#include "tools/mksfx/replaced.h"
#include "tools/mksfx/run_program.h"
#include "tools/mksfx/source_zip.h"
#include "tools/mksfx/threads.h"
#include "tools/mksfx/version_info.h"
#include "tools/mksfx/writer.h"
#include "tools/mksfx/seal.h"
#include "tools/mksfx/zipcrypto.h"

namespace fs = std::filesystem;

namespace mksfx {

namespace {

std::string ReadStub(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    throw Failure("cannot read the stub " + path.string() + ": " + std::strerror(errno) +
                  " (without --stub, mksfx takes sfx.exe beside itself; give it with --stub FILE, e.g. "
                  "--stub build/win32/sfx.exe)");
  std::string stub((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw Failure("cannot read " + path.string());
  if (stub.size() != StubSize || stub.compare(0, 2, "MZ") != 0)
    throw Failure(path.string() + " is no stub (" + std::to_string(StubSize) + " bytes, starting with MZ)");
  return stub;
}

struct Totals {
  uint64_t in = 0, packed = 0;
};

// Where the summary and -v's lines go: stdout, unless the program does.
FILE* Said = stdout;

// -v: the entry just written, as zip -v names it.
void Tell(const CreateOptions& o, const EntryRecord& e) {
  if (!o.verbose) return;
  const std::string& name = e.name;
  // The packed data without what the encryption adds; an AES entry's
  // strength and own method stand in its field (extra[8], extra[9]).
  bool aes = e.method == MethodAes && e.extra.size() >= uint32_t{ExtraFieldHeaderSize} + AesExtraSize;
  uint16_t method = aes ? static_cast<uint8_t>(e.extra[9]) : e.method;
  uint64_t added = aes ? uint64_t{AesOverhead(static_cast<uint8_t>(e.extra[8]))}
                       : (e.flags & FlagEncrypted) ? uint64_t{EncryptionHeaderSize} : 0;
  uint64_t data = e.compressedSize - added;
  int saved = e.uncompressedSize == 0 || data >= e.uncompressedSize
                  ? 0 : static_cast<int>(100 - (data * 100 + e.uncompressedSize / 2) / e.uncompressedSize);
  std::fprintf(Said, "  adding: %s (%s %d%%)%s\n", name.c_str(), method == MethodDeflate ? "deflated" : "stored", saved,
               (e.flags & FlagEncrypted) ? ", encrypted" : "");
}

// One entry's data on its way out: encrypted when there is a password (AES-256
// unless --zipcrypto, tools/mksfx/seal.h), what the encryption puts before
// and after the data around it. The record's compressed size counts them.
// Entries are sealed one after another, in archive order: the AES keys are
// program-wide state.
class Sealed {
 public:
  Sealed(ArchiveWriter& archive, const std::string& password, bool zipcrypto, bool quiet)
      : archive_(archive), password_(password), zipcrypto_(zipcrypto), quiet_(quiet) {}
  uint64_t Overhead() const {
    return password_.empty() ? 0 : EntrySeal::Overhead(zipcrypto_ ? Cipher::Traditional : Cipher::Aes256);
  }
  // The local header, once the record is complete (its method that of the
  // packed data), and the encryption header.
  void Begin(EntryRecord& e, uint64_t dataSize) {
    if (!password_.empty()) {
      if (zipcrypto_ && e.method == MethodStored && dataSize > 0 && !quiet_)
        std::fprintf(stderr, "mksfx: warning: '%s' is stored: the traditional encryption of stored data is broken "
                     "from a few known bytes; without --zipcrypto it is AES-256\n", e.name.c_str());
      seal_.emplace(zipcrypto_ ? Cipher::Traditional : Cipher::Aes256, password_, e);
    }
    e.compressedSize = dataSize + Overhead();
    archive_.BeginEntry(e);
    if (seal_) archive_.Data(seal_->Header());
  }
  void Put(const char* bytes, size_t count) {
    if (!seal_) return archive_.Data(bytes, count);
    scratch_.assign(bytes, count);
    seal_->Encrypt(scratch_);
    archive_.Data(scratch_);
  }
  void Put(const std::string& bytes) { Put(bytes.data(), bytes.size()); }
  void End() {
    if (seal_) archive_.Data(seal_->Trailer());
    archive_.EndEntry();
  }

 private:
  ArchiveWriter& archive_;
  std::string password_;
  bool zipcrypto_, quiet_;
  std::optional<EntrySeal> seal_;
  std::string scratch_;
};

// Where spools go: beside the output, on its disk; for standard output,
// the system's temporary folder (set by CreateArchive).
fs::path SpoolPlace = ".";

// The moment every entry's time is at most (SOURCE_DATE_EPOCH), as DOS
// date and time; those compare as numbers do.
uint32_t Clamped(uint32_t dos, const CreateOptions& o) { return o.latestTime != 0 && dos > o.latestTime ? o.latestTime : dos; }

// The plain bytes of a file copied as a stored entry, read again; their
// CRC must be the one the workers found.
void CopyStored(Sealed& out, EntryRecord& e, const InputItem& item, Progress& progress, uint64_t doneBefore) {
  e.method = MethodStored;
  uint32_t found = e.crc;  // AES's seal puts 0 in the record (AE-2)
  out.Begin(e, item.size);
  InputFile in;
  std::string why;
  if (!in.Open(item.path, why)) throw Failure("cannot read " + item.path.string() + ": " + why);
  std::string buffer(PieceSize, '\0');
  uint32_t crc = 0;
  uint64_t at = 0;
  while (at < item.size) {
    size_t want = static_cast<size_t>(std::min<uint64_t>(PieceSize, item.size - at));
    if (in.ReadAt(at, buffer.data(), want) != want) throw Failure(item.path.string() + " changed while it was read");
    crc = Crc32(buffer.data(), want, crc);
    out.Put(buffer.data(), want);
    at += want;
    progress.Show(doneBefore + at, item.name);
  }
  if (crc != found) throw Failure(item.path.string() + " changed while it was read");
  out.End();
}

// What a piece that failed means for the run: a file that could not be
// opened is skipped with --skip-unreadable (true), anything else ends it.
bool Skipped(const PackedPiece& piece, const CreateOptions& o, std::vector<std::string>& skipped) {
  if (piece.failure.empty()) return false;
  if (!piece.unreadable || !o.skipUnreadable) throw Failure(piece.failure);
  std::fprintf(stderr, "mksfx: warning: %s; left out\n", piece.failure.c_str());
  skipped.push_back(piece.failure);
  return true;
}

// An entry's data from its deflated pieces, gathered in the spool.
void PutSpool(Sealed& out, EntryRecord& e, Spool& spool, uint64_t packed) {
  e.method = MethodDeflate;
  out.Begin(e, packed);
  spool.Rewind();
  std::string buffer(PieceSize, '\0');
  for (size_t n; (n = spool.Read(buffer.data(), buffer.size())) > 0;) out.Put(buffer.data(), n);
}

// One file's entry from the packer's pieces; false when it was skipped.
bool AddFile(ArchiveWriter& archive, Packer& packer, const InputItem& item, EntryRecord e, const CreateOptions& o,
             Progress& progress, Totals& totals, std::vector<std::string>& skipped) {
  Sealed out(archive, o.password, o.zipcrypto, o.quiet);
  e.uncompressedSize = item.size;
  uint64_t pieces = PieceCount(item.size);
  if (pieces <= 1) {
    PackedPiece piece;
    if (pieces == 1) {
      piece = packer.Next();
      if (Skipped(piece, o, skipped)) return false;
    } else {
      piece.plain = true;  // an empty file
    }
    e.crc = piece.crc;
    e.method = piece.plain ? MethodStored : MethodDeflate;
    out.Begin(e, piece.data.size());
    out.Put(piece.data);
    out.End();
  } else {
    std::optional<Spool> spool;
    uint64_t packed = 0;
    for (uint64_t k = 0; k < pieces; ++k) {
      PackedPiece piece = packer.Next();
      if (!piece.failure.empty()) {
        for (uint64_t rest = k + 1; rest < pieces; ++rest) packer.Next();  // this file's others, unused
        if (k == 0 && Skipped(piece, o, skipped)) return false;
        throw Failure(piece.failure);
      }
      e.crc = k == 0 ? piece.crc : Crc32Combine(e.crc, piece.crc, piece.plainSize);
      if (!piece.data.empty()) {
        if (!spool) spool.emplace(SpoolPlace);
        spool->Append(piece.data.data(), piece.data.size());
        packed += piece.data.size();
      }
      progress.Show(totals.in + std::min(item.size, (k + 1) * PieceSize), item.name);
    }
    if (!spool || packed >= item.size) {
      CopyStored(out, e, item, progress, totals.in);
    } else {
      PutSpool(out, e, *spool, packed);
      out.End();
    }
  }
  totals.in += item.size;
  totals.packed += archive.Entries().back().compressedSize;
  return true;
}

void AddTree(ArchiveWriter& archive, const std::vector<InputItem>& items, const CreateOptions& o, int level,
             Totals& totals, std::vector<std::string>& skipped) {
  uint64_t all = 0;
  std::vector<PackSource> sources;
  for (const InputItem& i : items) {
    all += i.size;
    if (!i.folder && i.size > 0) sources.push_back({i.path, i.size});
  }
  Progress progress(all, !o.verbose);
  Packer packer(std::move(sources), o.store ? 0 : level, o.threads == 0 ? CoreCount() : o.threads);
  for (const InputItem& item : items) {
    progress.Show(totals.in, item.name);
    EntryRecord e;
    e.name = item.name;
    e.flags = NameFlags(item.name);
    e.dosDateTime = Clamped(item.dosDateTime, o);
    e.folder = item.folder;
    if (item.folder) archive.Add(e, std::string());
    else if (!AddFile(archive, packer, item, e, o, progress, totals, skipped)) continue;
    Tell(o, archive.Entries().back());
  }
}

fs::path ZipInput(const CreateOptions& o) { return o.directory.empty() ? fs::path(o.inputs[0]) : o.directory / o.inputs[0]; }

// An entry of the .zip decoded and compressed anew, piece by piece, here:
// its CRC and size must be those of the directory.
void Recompress(Sealed& out, EntryRecord& e, SourceZip& source, const SourceEntry& s, PieceCompressor* compressor,
                const fs::path& folder) {
  // Reads the entry's plain bytes in pieces, for each calling take.
  auto decode = [&](const std::function<void(const unsigned char*, size_t, bool)>& take) {
    std::string in(PieceSize, '\0'), plain(PieceSize, '\0');
    std::optional<Inflater> inflater;
    if (s.method == MethodDeflate) inflater.emplace();
    uint64_t read = 0, produced = 0;
    size_t filled = 0, inLeft = 0;
    const unsigned char* inAt = nullptr;
    for (;;) {
      if (inflater && inLeft == 0 && read < s.compressedSize) {
        inLeft = static_cast<size_t>(std::min<uint64_t>(PieceSize, s.compressedSize - read));
        source.ReadData(s, read, in.data(), inLeft);
        read += inLeft;
        inAt = reinterpret_cast<const unsigned char*>(in.data());
      }
      size_t got;
      if (inflater) {
        got = inflater->Run(inAt, inLeft, reinterpret_cast<unsigned char*>(plain.data()) + filled, PieceSize - filled);
        if (got == 0 && !inflater->Ended() && inLeft == 0 && read == s.compressedSize)
          throw Failure("'" + s.name + "' does not decode (damaged)");
      } else {
        got = static_cast<size_t>(std::min<uint64_t>(PieceSize - filled, s.compressedSize - read));
        source.ReadData(s, read, plain.data() + filled, got);
        read += got;
      }
      filled += got;
      produced += got;
      if (produced > s.uncompressedSize) throw Failure("'" + s.name + "' fails its CRC");
      // The directory's size tells the last piece; a stream that would go
      // on past it fails above.
      if (filled == PieceSize || (filled > 0 && produced == s.uncompressedSize)) {
        take(reinterpret_cast<const unsigned char*>(plain.data()), filled, produced == s.uncompressedSize);
        filled = 0;
      }
      if (inflater ? inflater->Ended() : read == s.compressedSize) break;
    }
    if (produced != s.uncompressedSize) throw Failure("'" + s.name + "' fails its CRC");
  };
  e.crc = 0;
  e.uncompressedSize = s.uncompressedSize;
  std::optional<Spool> spool;
  uint64_t packed = 0;
  std::string piece, previous;
  decode([&](const unsigned char* data, size_t size, bool last) {
    e.crc = Crc32(data, size, e.crc);
    if (compressor == nullptr) return;
    compressor->Compress(reinterpret_cast<const unsigned char*>(previous.data()), previous.size(), data, size, last, piece);
    if (!spool) spool.emplace(folder);
    spool->Append(piece.data(), piece.size());
    packed += piece.size();
    if (compressor->WantsDictionary()) {
      size_t keep = std::min(size, DictionarySize);
      previous.assign(reinterpret_cast<const char*>(data) + size - keep, keep);
    }
  });
  if (e.crc != s.crc) throw Failure("'" + s.name + "' fails its CRC");
  if (!spool || packed >= s.uncompressedSize) {
    e.method = MethodStored;
    out.Begin(e, s.uncompressedSize);
    decode([&](const unsigned char* data, size_t size, bool) { out.Put(reinterpret_cast<const char*>(data), size); });
  } else {
    PutSpool(out, e, *spool, packed);
  }
  out.End();
}

void AddZip(ArchiveWriter& archive, SourceZip& source, const std::vector<SourceEntry>& entries, const CreateOptions& o,
            int level, Totals& totals) {
  uint64_t all = 0;
  for (const SourceEntry& s : entries) all += s.uncompressedSize;
  Progress progress(all, !o.verbose);
  std::optional<PieceCompressor> compressor;
  if (o.recompress && !o.store) compressor.emplace(level);
  std::string buffer;
  for (const SourceEntry& s : entries) {
    progress.Show(totals.in, s.name);
    EntryRecord e;
    e.name = s.name;
    e.folder = s.folder;
    bool encrypted = (s.flags & FlagEncrypted) != 0;
    // The traditional encryption with bit 3 checks the password against the
    // time's high byte: that time stays as it is.
    bool timeChecks = encrypted && s.method != MethodAes && (s.flags & FlagDescriptor) != 0;
    e.dosDateTime = timeChecks ? s.dosDateTime : Clamped(s.dosDateTime, o);
    e.flags = NameFlags(s.name);
    if (s.folder) {
      archive.Add(e, std::string());
      Tell(o, archive.Entries().back());
      continue;
    }
    // An encrypted entry is copied sealed as it is; the password seals the others.
    Sealed out(archive, encrypted ? std::string() : o.password, o.zipcrypto, o.quiet);
    if (o.recompress && !encrypted) {
      Recompress(out, e, source, s, compressor ? &*compressor : nullptr, SpoolPlace);
    } else {
      // Copied as it is: the compressed bytes, sizes and CRC of the directory
      // (a WinZip AES entry's with its field, which names the real method).
      e.method = s.method;
      e.crc = s.crc;
      e.uncompressedSize = s.uncompressedSize;
      e.extra = s.aesField;
      // A traditional password check byte is sealed inside the encryption
      // header: the time's high byte when the source set bit 3, which must
      // stay set then (and a descriptor follow the data, as bit 3 tells the
      // stub). WinZip AES checks with its verifier alone.
      if (encrypted) e.flags |= FlagEncrypted | (timeChecks ? FlagDescriptor : 0);
      out.Begin(e, s.compressedSize);
      buffer.resize(PieceSize);
      for (uint64_t at = 0; at < s.compressedSize;) {
        size_t n = static_cast<size_t>(std::min<uint64_t>(PieceSize, s.compressedSize - at));
        source.ReadData(s, at, buffer.data(), n);
        out.Put(buffer.data(), n);
        at += n;
      }
      out.End();
    }
    totals.in += s.uncompressedSize;
    totals.packed += archive.Entries().back().compressedSize;
    Tell(o, archive.Entries().back());
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
  // The command line's faults first: usage errors, exit status 2.
  bool toStdout = o.output == "-";
  if (o.output.empty()) throw UsageError("no output file; give -o FILE (or -o - for standard output)");
  if (o.inputs.empty()) throw UsageError("nothing to pack; name files, folders or one .zip");
  if (o.split != 0 && o.split < MinimumSplit) throw UsageError("--split needs at least " + Grouped(MinimumSplit) + " bytes");
  if (o.split != 0 && o.sign.given()) throw UsageError("a split program cannot be signed: the signature would end its first volume");
  if (toStdout && o.split != 0) throw UsageError("-o - cannot be split: volumes are files beside the program");
  if (toStdout && o.sign.given()) throw UsageError("-o - cannot be signed: osslsigncode signs a file");
  int level = o.level < 0 ? DefaultLevel() : o.level;
  if (level < 1 || level > HighestLevel())
    throw UsageError("--level takes 1 to " + std::to_string(HighestLevel()) + " (" + CompressorName() + ")");
  bool fromZip = o.inputs.size() == 1 && LooksLikeZip(o.inputs[0]) && fs::is_regular_file(ZipInput(o));
  if (o.recompress && !fromZip) throw UsageError("--recompress applies to one .zip input");
  CheckSignOptions(o.sign);
  std::string block = o.block.given ? MakeConfigBlock(o.block) : std::string();
  if (toStdout && StdoutIsTerminal())
    throw Failure("a program is not written to a terminal; redirect standard output or give -o FILE");

  if (o.sign.given()) {
    for (const std::string& f : {o.sign.cert, o.sign.key, o.sign.pkcs12, o.sign.passFile}) {
      std::error_code ec;
      if (!f.empty() && !fs::is_regular_file(f, ec))
        throw Failure("cannot read " + f + ": " + (ec ? ec.message() : fs::exists(f) ? "not a file" : "No such file or directory"));
    }
  }
  std::string stub = ReadStub(o.stub);
  if (!o.versionInfo.empty())
    for (const std::string& note : PatchVersionInfo(stub, o.versionInfo))
      std::fprintf(stderr, "mksfx: warning: %s\n", note.c_str());
  if (!o.executionLevel.empty()) SetExecutionLevel(stub, o.executionLevel);
  auto start = std::chrono::steady_clock::now();

  // The file written: through a link, never a device or FIFO.
  fs::path target = toStdout ? fs::path("-") : OutputTarget(o.output);
  std::string shownOutput = toStdout ? "standard output" : o.output.string();
  Said = toStdout ? stderr : stdout;
  if (toStdout) {
    std::error_code ec;
    SpoolPlace = fs::temp_directory_path(ec);
    if (ec) SpoolPlace = ".";
  } else {
    SpoolPlace = target.parent_path().empty() ? fs::path(".") : target.parent_path();
  }

  // The tree is gathered before the output's temporaries exist. No file the
  // run reads may be the output it replaces: that input would be lost.
  Replaced replaced(target);
  replaced.MustNotBe(o.stub, "the stub");
  if (!o.passwordFile.empty()) replaced.MustNotBe(o.passwordFile, "the password file");
  // The lists of inputs were read already; a list that is the output would
  // be lost all the same, standard input too when it is redirected from it.
  for (const std::string& list : o.listFiles) {
    if (list == "-") replaced.MustNotBe("standard input", "the list of inputs", IdOfStandardInput());
    else replaced.MustNotBe(list, "the list of inputs");
  }
  if (!o.sign.cert.empty()) replaced.MustNotBe(o.sign.cert, "the signing certificate");
  if (!o.sign.key.empty()) replaced.MustNotBe(o.sign.key, "the signing key");
  if (!o.sign.pkcs12.empty()) replaced.MustNotBe(o.sign.pkcs12, "the signing PKCS#12 file");
  if (!o.sign.passFile.empty()) replaced.MustNotBe(o.sign.passFile, "the signing key's password file");
  std::vector<InputItem> items;
  std::optional<SourceZip> source;
  std::vector<SourceEntry> zipEntries;
  std::vector<std::string> skipped;
#ifdef _WIN32
  const bool caseless = true;
#else
  const bool caseless = false;
#endif
  if (fromZip) {
    replaced.MustNotBe(ZipInput(o), "one of the inputs");
    source.emplace(ZipInput(o), o.recompress);
    if (source->Entries().empty()) throw Failure("nothing to do: " + ZipInput(o).string() + " holds no entries");
    for (const SourceEntry& e : source->Entries())
      if (!Excluded(e.name, o.excludes, caseless)) zipEntries.push_back(e);
    if (zipEntries.empty()) throw Failure("nothing to do: --exclude leaves out every entry of " + ZipInput(o).string());
    std::vector<std::string> names;
    for (const SourceEntry& e : zipEntries) names.push_back(e.name);
    MustKeepApart(names);
    WarnIfRunProgramMissing(o.block.run, names);
  } else {
    GatherSettings settings;
    settings.base = o.directory;
    settings.excludes = o.excludes;
    settings.caseless = caseless;
    settings.skipUnreadable = o.skipUnreadable;
    Gathered gathered = GatherInputs(o.inputs, settings);
    items = std::move(gathered.items);
    if (!gathered.stripped.empty()) {
      std::string parts;
      for (size_t i = 0; i < gathered.stripped.size(); ++i) parts += (i == 0 ? "" : " and ") + gathered.stripped[i];
      std::fprintf(stderr, "mksfx: removing leading %s from entry names\n", parts.c_str());
    }
    for (const std::string& why : gathered.skipped) std::fprintf(stderr, "mksfx: warning: %s; left out\n", why.c_str());
    skipped = o.unmatched;
    skipped.insert(skipped.end(), gathered.skipped.begin(), gathered.skipped.end());
    // An old volume of the output found in a folder is left out, with a
    // word: it is the output's, not the tree's. One named is refused.
    std::erase_if(items, [&](const InputItem& i) {
      if (i.named || i.folder || replaced.Of(i.id) != Replaced::OldVolume) return false;
      std::fprintf(stderr, "mksfx: left out %s: a volume of an earlier split run of %s\n",
                   i.path.lexically_normal().string().c_str(), target.string().c_str());
      return true;
    });
    for (const InputItem& i : items) replaced.MustNotBe(i.path, "one of the inputs", i.id);
    if (items.empty()) throw Failure("nothing to do: the inputs hold no files or folders");
    std::vector<std::string> names;
    for (const InputItem& i : items) names.push_back(i.name);
    MustKeepApart(names);
    WarnIfRunProgramMissing(o.block.run, names);
  }
  // One file must stay below 4 GiB: a run whose stored bytes alone reach
  // that is refused before it writes.
  FormatLimits limits = LimitsOfRun();
  if (o.split == 0) {
    uint64_t least = stub.size() + block.size();
    for (const SourceEntry& e : zipEntries) least += o.recompress ? (o.store ? e.uncompressedSize : 0) : e.compressedSize;
    for (const InputItem& i : items) least += o.store ? i.size : 0;
    if (least > limits.largestVolume) throw Failure(TooLargeForOneFile(toStdout));
  }
  if (fromZip && source->DotsStripped()) std::fprintf(stderr, "mksfx: removing leading './' from entry names\n");
  VolumeWriter out(target, o.split, limits.largestVolume);
  ArchiveWriter archive(out, o.split != 0, limits.largeSize);
  archive.Begin(stub, block);
  Totals totals;
  if (fromZip) AddZip(archive, *source, zipEntries, o, level, totals);
  else AddTree(archive, items, o, level, totals, skipped);
  archive.Finish();
  uint64_t bytesOut = out.Total();
  if (o.sign.given()) {
    fs::path first = out.CloseFirst();
    SignFile(first, o.sign);
    bytesOut = fs::file_size(first);
    if (bytesOut > limits.largestVolume)
      throw Failure("signed, the program would be 4 GiB or larger, which Windows does not start");
  }
  std::vector<fs::path> volumes = out.Commit();
  ReportStaleVolumes(replaced, volumes);

  if (!o.quiet) {
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::fprintf(Said, "%s: %s, %s bytes in, %s bytes out (%.1f%% of in), %s bytes written%s, %.2f s\n",
                 shownOutput.c_str(), Counted(archive.Entries().size(), "entry", "entries").c_str(),
                 Grouped(totals.in).c_str(), Grouped(totals.packed).c_str(),
                 totals.in == 0 ? 0.0 : 100.0 * static_cast<double>(totals.packed) / static_cast<double>(totals.in),
                 Grouped(bytesOut).c_str(),
                 volumes.size() > 1 ? (" in " + std::to_string(volumes.size()) + " volumes").c_str() : "", seconds);
  }
  // Written, but without some of what was asked for: as zip, a warning's status.
  if (!skipped.empty()) {
    std::fprintf(stderr, "mksfx: %s could not be read and %s left out of %s\n",
                 Counted(skipped.size(), "input", "inputs").c_str(), skipped.size() == 1 ? "is" : "are",
                 shownOutput.c_str());
    return 1;
  }
  return 0;
}

}  // namespace mksfx

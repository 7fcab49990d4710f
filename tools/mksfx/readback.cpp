// list and test (readback.h). The walk is the stub's own (archive/walk.h):
// the same steps, names, path checks, password check and decoding that the
// extraction driver takes, over the posix platform. Where the stub would end
// its run (an empty name, sizes it cannot know, a volume it cannot have, an
// archive cut short) the walk ends too; an entry of an unknown method is
// refused and stepped over, as the stub does.
#include "tools/mksfx/readback.h"
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <vector>
#include "SFXinflt/inflate.h"
#include "Sfx/config.h"
#include "Sfx/layout.h"
#include "Sfx/sfx.h"
#include "Sfx/state.h"
#include "archive/crc32.h"
#include "archive/crypt.h"
#include "archive/entry.h"
#include "archive/header.h"
#include "archive/walk.h"
#include "archive/zip_format.h"
#include "support/paths.h"
#include "tools/mksfx/block.h"
#include "tools/mksfx/collisions.h"
#include "tools/mksfx/common.h"
#include "tools/mksfx/console.h"
#include "tools/mksfx/core_hooks.h"
#include "tools/mksfx/manifest.h"
#include "tools/mksfx/password.h"

namespace fs = std::filesystem;

namespace mksfx {

std::function<void()> OnCorePaint;

namespace {

struct Row {
  std::string name;
  EntryRecord entry{};        // its sizes as the walk found them (after the data where only a descriptor tells)
  uint16_t method = 0;        // of the data: inside the AES field of an AES entry
  uint32_t aesStrength = 0;   // 1, 2, 3 for AES-128, -192, -256; 0 for none
  int volume = 1;
  std::string problem;  // "" when the entry is fine
};

struct Walk {
  std::vector<Row> rows;
  std::string stop;        // why the walk ended early, "" when it reached the directory
  BlockContents block;
  std::string level;       // the stub's requestedExecutionLevel, "" without one
  int volumes = 1;
};

// The core's state for one walk over the file, and its release.
class CoreSession {
 public:
  explicit CoreSession(const fs::path& file) {
    ResetProgramState();
    ResetLocalHeader();
    std::error_code ec;
    fs::path full = fs::absolute(file, ec);
#ifdef _WIN32
    // The core's paths are UTF-8, whatever the system's code page.
    std::u8string wide = full.u8string();
    std::string own(wide.begin(), wide.end());
#else
    std::string own = full.string();
#endif
#ifndef _WIN32
    // The core takes Windows paths; the posix platform turns "\" back into "/".
    for (char& c : own)
      if (c == '/') c = '\\';
#endif
    if (own.size() >= OwnPathRoom) throw Failure(file.string() + ": the path is too long for the stub's buffers");
    std::memcpy(OwnPath, own.c_str(), own.size() + 1);
    CrcTable = static_cast<uint32_t*>(AllocateBlock(CrcTableBlock));
    if (CrcTable == nullptr) throw Failure("out of memory");
    BuildCrcTable();
    ArchiveHandle = OpenForReading(OwnPath);
    if (ArchiveHandle == NoFile) throw Failure("cannot read " + file.string());
  }
  ~CoreSession() {
    if (ArchiveHandle != NoFile) CloseFile(ArchiveHandle);
    if (OutputHandle != NoFile) CloseFile(OutputHandle);
    ArchiveHandle = OutputHandle = NoFile;
    ReleaseBlock(CrcTable);
    CrcTable = nullptr;
    OnCorePaint = nullptr;
    TakeCoreMessages();
  }
};

std::string CoreMessageOr(const std::string& otherwise) {
  std::vector<std::string> m = TakeCoreMessages();
  return m.empty() ? otherwise : m.front();
}

// What the stub would make of an entry's data, as a problem ("" when whole).
std::string ProblemOf(EntryResult result) {
  switch (result) {
    case EntryWhole: return "";
    case EntryCrcMismatch:
      if (CurrentEntry.flags & FlagEncrypted) return "CRC mismatch (or a wrong password that passed the check byte)";
      return "CRC mismatch";
    case EntrySizeMismatch: return "its data is not as long as its header says";
    case EntryWriteFailed: return "its output was not taken whole";
    case EntryNoMemory: return "out of memory";
    case EntryCutShort: return "its data ends with the file, before the central directory (cut short)";
    case EntryVolumeMissing: return CoreMessageOr("a volume is missing");
    case EntryCancelled: return "cancelled";
    case EntryStreamDamaged: return "its Deflate stream is damaged";
    case EntryNotAuthentic: return "its authentication code does not match (damaged, or a wrong password that passed the verifier)";
  }
  return "unknown result";
}

// Decodes the entry in hand into the null device.
EntryResult DecodeEntry() {
  FileHandle output = CreateForWriting(NullDevice);
  if (output == NoFile) throw Failure(std::string("cannot open ") + NullDevice);
  EntryResult result = DecodeEntryInto(output);
  CloseFile(output);
  return result;
}

// The walk of the stub's extraction pass (archive/walk.h); with decode, every
// entry is decrypted and decoded as well.
Walk WalkArchive(const ReadOptions& options, bool decode, std::string& password) {
  CoreSession session(options.file);
  Walk walk;
  {
    std::ifstream raw(options.file, std::ios::binary);
    std::string prefix(static_cast<size_t>(StubSize) + static_cast<size_t>(ConfigBlockSize), '\0');
    raw.read(prefix.data(), static_cast<std::streamsize>(prefix.size()));
    size_t got = static_cast<size_t>(raw.gcount());
    if (got < static_cast<size_t>(StubSize) + SignatureSize || prefix.compare(0, 2, "MZ") != 0)
      throw Failure(options.file.string() + " is not a self-extracting file (no program of " +
                    std::to_string(StubSize) + " bytes in front)");
    walk.block = ParseConfigBlock(prefix.substr(StubSize));
    walk.level = ReadExecutionLevel(prefix.substr(0, StubSize));
  }
  ReadConfigBlock();
  // The destination as the stub would have it, for the length check of names.
  CopyText(DestinationFolder, HasDefaultDestination ? DefaultDestination : "C:\\", TextBufferSize);
  ExpandPathMacros(DestinationFolder);
  // Expanding {temp} makes the stub's private folder (mksfx.exe on Windows):
  // only its length is wanted here, so it goes again at once.
  RemovePrivateTemp(true);
  AddTrailingBackslash(DestinationFolder);
  StripTrailingBackslash(DestinationFolder);

  CancelRequested = 0;
  ArchiveDone = 0;
  if (!BeginWalk()) throw Failure("cannot read " + options.file.string());

  uint64_t total = 0;
  bool counted = false;  // the count pass would have stopped before here
  for (;;) {
    WalkStep step = NextEntry();
    const EntryRecord& entry = CurrentEntry;
    if (step == WalkEndAtDirectory) break;
    if (step == WalkCutShort) {
      walk.stop = "the archive ends before its central directory (cut short or damaged)";
      break;
    }
    if (step == WalkVolumeMissing) {
      walk.stop = CoreMessageOr("a volume is missing");
      break;
    }
    Row row;
    row.entry = entry;
    row.volume = CurrentVolume;
    row.name = entry.name;  // UTF-8, as the core gives Windows its names
    if (step == WalkEmptyName) {
      walk.stop = "an entry has an empty name; the stub stops there";
      break;
    }
    if (step == WalkSizesUnknown) {
      walk.stop = "'" + row.name + "' has no sizes in its local header, and neither a central directory nor a "
                  "Deflate stream of its own gives them; the stub stops there";
      break;
    }
    // The stub's count pass stops, without an error, at the first entry
    // whose size only its data descriptor tells.
    if (!entry.endKnown) counted = true;
    if (!counted) total += entry.uncompressedSize;
    row.method = entry.dataMethod;
    row.aesStrength = entry.aesStrength;
    static char path[PathRoom];
    NameVerdict verdict = FormOutputPath(entry, path);
    if (verdict == NameNotWhole) row.problem = "its name is cut short or does not convert from the system's code page";
    else if (verdict == NameTooLong) row.problem = std::string("its name is too long below ") + DestinationFolder;
    else if (verdict == NameRefused) row.problem = "the stub refuses its name";
    else if (!entry.folder && !MethodKnown()) {
      row.problem = "compression method " + std::to_string(row.method) + " is unknown to the stub, which skips it";
    } else if (decode) {
      bool open = true;
      if (entry.flags & FlagEncrypted) {
        uint8_t check[EncryptionHeaderRoom];
        ReadEncryptionHeader(check);
        if (password.empty() && options.askPassword) password = StubPassword(ReadSecret("Password: "));
        open = !password.empty() && PasswordFits(check, password.c_str());
        if (!open) row.problem = password.empty() ? "it is encrypted; give --password" : "the password does not open it";
      }
      if (open && !entry.folder) {
        EntryResult result = DecodeEntry();
        row.problem = ProblemOf(result);
        if (result == EntryVolumeMissing || result == EntryCutShort) {
          walk.rows.push_back(row);
          walk.stop = result == EntryCutShort
                          ? "the archive ends before its central directory, inside '" + row.name + "' (cut short)"
                          : row.problem;
          break;
        }
      }
    }
    WalkStep moved = StepOverEntry(entry);
    row.entry = entry;  // a stream of unknown size knows its sizes once decoded
    walk.rows.push_back(row);
    if (moved == WalkVolumeMissing) {
      walk.stop = CoreMessageOr("a volume is missing");
      break;
    }
    if (moved == WalkCutShort) {
      walk.stop = "the archive ends before its central directory, after '" + row.name + "' (cut short or damaged)";
      break;
    }
  }
  // Names that are one file on Windows: the stub keeps one of the two.
  std::vector<std::string> names;
  for (const Row& r : walk.rows) names.push_back(r.name);
  for (const NameClash& clash : FindNameClashes(names))
    if (walk.rows[clash.entry].problem.empty()) walk.rows[clash.entry].problem = clash.text;
  // The stub's first pass, which sums the sizes for its total bar, takes an
  // archive without a byte to extract for an unreadable one.
  if (walk.stop.empty() && total == 0 && !counted)
    walk.stop = "no entry holds any data: the stub shows \"Error reading archive.\" when it opens";
  walk.volumes = CurrentVolume;
  return walk;
}

std::string Percent(uint64_t part, uint64_t whole) {
  char text[16];
  std::snprintf(text, sizeof text, "%.1f%%", whole == 0 ? 0.0 : 100.0 * static_cast<double>(part) / static_cast<double>(whole));
  return text;
}

std::string DosText(uint32_t v) {
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", (v >> 25) + 1980, (v >> 21) & 15, (v >> 16) & 31,
                (v >> 11) & 31, (v >> 5) & 63, (v & 31) * 2);
  return text;
}


}  // namespace

int ListArchive(const ReadOptions& options) {
  std::string password = options.password;
  Walk walk = WalkArchive(options, false, password);
  std::printf("execution level: %s\n", walk.level.empty() ? "none (the stub has no manifest that names one)" : walk.level.c_str());
  if (walk.block.present) {
    const BlockContents& b = walk.block;
    std::printf("block: caption \"%s\", destination \"%s\", run \"%s\"%s%s%s%s\n", b.caption.c_str(), b.dest.c_str(),
                b.run.c_str(), b.flags & ConfigAutoExtract ? ", auto" : "", b.flags & ConfigOverwrite ? ", overwrite" : "",
                b.flags & ConfigWaitThenDelete ? ", wait-delete" : "", b.flags & ConfigVerifyFirst ? ", verify" : "");
  }
  std::printf("%10s  %-7s %10s %6s  %-19s  %-8s  %-6s  %s\n", "size", "method", "packed", "ratio", "time", "crc-32", "enc",
              "name");
  uint64_t size = 0, packed = 0;
  int refused = 0;
  for (const Row& r : walk.rows) {
    const EntryRecord& h = r.entry;
    const char* method = r.method == MethodStored ? "stored" : r.method == MethodDeflate ? "deflate" : "other";
    // The encryption: AES and its strength, the traditional one, or none;
    // the ratio counts the packed data without what the encryption adds.
    std::string encryption = r.aesStrength != 0 ? "aes" + std::to_string(64 + 64 * r.aesStrength)
                             : (h.flags & FlagEncrypted) ? "zip" : "no";
    uint32_t added = r.aesStrength != 0 ? AesOverhead(r.aesStrength)
                     : (h.flags & FlagEncrypted) ? static_cast<uint32_t>(EncryptionHeaderSize) : 0u;
    uint64_t data = h.compressedSize >= added ? h.compressedSize - added : 0u;
    // Sizes that the local header does not hold: where they were found.
    static const char* const sources[] = {"", " (sizes in its Zip64 field)", " (sizes from the central directory)",
                                          " (sizes from its data descriptor)"};
    std::printf("%10llu  %-7s %10llu %6s  %-19s  %08x  %-6s  %s%s%s%s\n", static_cast<unsigned long long>(h.uncompressedSize),
                method, static_cast<unsigned long long>(h.compressedSize),
                h.uncompressedSize ? Percent(data, h.uncompressedSize).c_str() : "-", DosText(h.dosDateTime).c_str(),
                h.crc32, encryption.c_str(), r.name.c_str(), sources[h.sizeSource], r.problem.empty() ? "" : "  <- ",
                r.problem.c_str());
    size += h.uncompressedSize;
    packed += h.compressedSize;
    refused += !r.problem.empty();
  }
  std::printf("%s, %s bytes, %s packed (%s), %s\n", Counted(walk.rows.size(), "entry", "entries").c_str(),
              Grouped(size).c_str(), Grouped(packed).c_str(), Percent(packed, size).c_str(),
              Counted(static_cast<uint64_t>(walk.volumes), "volume", "volumes").c_str());
  if (!walk.stop.empty()) {
    std::fprintf(stderr, "mksfx: %s\n", walk.stop.c_str());
    return 1;
  }
  if (refused > 0) {
    std::fprintf(stderr, "mksfx: the stub would refuse %s\n", Counted(static_cast<uint64_t>(refused), "entry", "entries").c_str());
    return 1;
  }
  return 0;
}

// Every line of test goes to stdout, the verdicts as the entries' lines,
// so that one stream tells the whole story (as unzip -t's does); only a
// usage error goes to stderr, from main.
int TestArchive(const ReadOptions& options) {
  std::string password = options.password;
  const std::string file = options.file.string();
  Walk walk;
  double seconds = 0;
  try {
    // A first walk for the total of the progress bar.
    uint64_t total = 0;
    {
      std::string none;
      for (const Row& r : WalkArchive(options, false, none).rows) total += r.entry.uncompressedSize;
    }
    Progress progress(total);
    OnCorePaint = [&] { progress.Show(static_cast<uint64_t>(ArchiveDone), options.file.filename().string()); };
    walk = WalkArchive(options, true, password);
    progress.Clear();
    seconds = progress.Seconds();
  } catch (const UsageError&) {
    throw;
  } catch (const Failure& e) {
    std::printf("mksfx: %s\n", e.what());
    return 1;
  }
  int failed = 0;
  uint64_t size = 0;
  for (const Row& r : walk.rows) {
    size += r.entry.uncompressedSize;
    if (!r.problem.empty()) {
      ++failed;
      std::printf("FAILED  %s: %s\n", r.name.c_str(), r.problem.c_str());
    } else if (!options.quiet) {
      std::printf("OK      %s\n", r.name.c_str());
    }
  }
  if (!walk.stop.empty()) {
    std::printf("mksfx: %s: %s\n", file.c_str(), walk.stop.c_str());
    return 1;
  }
  if (failed > 0) {
    std::printf("mksfx: %s: %d of %s fail\n", file.c_str(), failed, Counted(walk.rows.size(), "entry", "entries").c_str());
    return 1;
  }
  std::printf("%s: %s, %s bytes, every CRC matches (%.2f s)\n", file.c_str(),
              Counted(walk.rows.size(), "entry", "entries").c_str(), Grouped(size).c_str(), seconds);
  return 0;
}

}  // namespace mksfx

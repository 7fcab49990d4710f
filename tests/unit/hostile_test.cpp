// Hostile and damaged archives in wide sweeps: an archive cut at every
// offset of its local entries, one entry's sizes and CRC set to every telling wrong value, names
// of every length around the limits, and every archive of the walk fuzz
// corpus. Each run is the count pass, then the extraction pass replacing
// existing files without asking, as automatic mode with the overwrite flag
// runs them. Whatever an archive claims, the run must end, say so and end
// with a failure exit code, write nothing outside the destination, leave
// every existing file whose entry fails as it was, and never come back to a
// header it has handled.
#include <sys/stat.h>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>
#include "Sfx/state.h"
#include "archive/driver.h"
#include "archive/names.h"
#include "tests/support/posix_control.h"
#include "tests/support/fresh_state.h"
#include "tests/support/scripted_ui.h"
#include "tests/support/zip_builder.h"
#include "tests/unit/driver_fixture.h"

namespace {

namespace fs = std::filesystem;

class HostileTest : public DriverTest {
 protected:
  // One run over archive from a fresh start: the destination holds keep.txt
  // and a file "before NAME" for each of existing; then both passes.
  void Run(const std::vector<uint8_t>& archive, const std::vector<std::string>& existing) {
    if (ArchiveHandle != NoFile) CloseFile(ArchiveHandle);
    ArchiveHandle = NoFile;
    FreshProgramState();
    fs::remove_all(dest_);
    fs::create_directories(dest_);
    std::strcpy(DestinationFolder, dest_.c_str());
    ProgressWindow = Progress;
    OverwriteMode = ReplaceWithoutAsking;
    AutoExtract = 1;
    WriteFile("out/keep.txt", "keep");
    for (const std::string& name : existing) WriteFile("out/" + name, Before(name));
    Open(archive);
    Count();
    countMessages_ = posix::Messages.size();
    countNames_ = scripted::EntryNames.size();
    Extract();
  }
  static std::string Before(const std::string& name) { return "before " + name; }

  // Messages of the extraction pass.
  std::vector<ShownMessage> ExtractionMessages() const {
    return std::vector<ShownMessage>(posix::Messages.begin() + static_cast<long>(countMessages_),
                                            posix::Messages.end());
  }
  // The names each pass showed: at most one per entry, so no header twice.
  void ExpectNoHeaderTwice(size_t entries) const {
    EXPECT_LE(countNames_, entries);
    EXPECT_LE(scripted::EntryNames.size() - countNames_, entries);
  }
  // Everything below the destination, as relative paths.
  std::set<std::string> DestTree() const {
    std::set<std::string> found;
    for (const auto& e : fs::recursive_directory_iterator(dest_)) found.insert(fs::relative(e.path(), dest_).string());
    return found;
  }
  // The scratch folder holds the destination and the archive, nothing else.
  void ExpectNothingBeside() const {
    std::set<std::string> found;
    for (const auto& e : fs::directory_iterator(scratch_)) found.insert(e.path().filename().string());
    EXPECT_EQ(found, (std::set<std::string>{"out", "setup.exe"}));
  }
  // A failed run: its extraction pass said so, and its exit code and state tell it.
  void ExpectFailureShown() const {
    EXPECT_NE(ExitCode, ExitExtracted);
    EXPECT_EQ(ExtractionSucceeded, 0);
    std::vector<ShownMessage> shown = ExtractionMessages();
    ASSERT_FALSE(shown.empty()) << "a failed run says so";
    for (const auto& m : shown) EXPECT_EQ(m.style & 0x10u, 0x10u) << m.text;
  }

  size_t countMessages_ = 0, countNames_ = 0;
};

ZipEntry Entry(const std::string& name, const std::string& text, uint16_t method = 0) {
  ZipEntry e;
  e.name = name;
  e.data = Bytes(text);
  e.method = method;
  return e;
}

std::string Text(const ZipEntry& e) { return std::string(e.data.begin(), e.data.end()); }

std::string Lines(int n) {
  std::string text;
  for (int i = 0; i < n; ++i) text += "line " + std::to_string(i * 7 % 23) + " of the deflated entry\n";
  return text;
}

// --- Cut at every offset ---------------------------------------------------------

TEST_F(HostileTest, ArchiveCutAtEveryOffset) {
  ZipEntry a = Entry("a.txt", "alpha, a stored entry");
  ZipEntry b = Entry("sub/b.txt", Lines(40), 8);
  b.extra = std::vector<uint8_t>(12, 0x33);
  ZipEntry c = Entry("c.txt", "stored, then its data descriptor");
  c.descriptor = true;
  ZipEntry e = Entry("d/e.txt", "after a folder entry");
  ZipEntry folder;
  folder.name = "d/";
  std::vector<ZipEntry> entries = {a, b, c, folder, e};
  const std::vector<std::string> files = {"a.txt", "sub/b.txt", "c.txt", "d/e.txt"};

  // Where each entry's data ends, and where the local entries end.
  ZipBuilder zip;
  std::vector<size_t> dataEnd;
  for (const ZipEntry& entry : entries) {
    zip.Add(entry);
    dataEnd.push_back(zip.LocalPart().size() - (entry.descriptor ? 16 : 0));
  }
  const std::vector<uint8_t> whole = zip.Bytes();
  const size_t local = zip.LocalPart().size();
  const std::set<std::string> full = {"keep.txt", "a.txt", "sub", "sub/b.txt", "c.txt", "d", "d/e.txt"};

  // Every offset of the local entries and the first header's worth of the
  // central directory; past that, where every cut reads the same, a few.
  std::vector<size_t> cuts;
  for (size_t cut = 0; cut <= local + 31; ++cut) cuts.push_back(cut);
  for (size_t cut : {local + 46, (local + whole.size()) / 2, whole.size() - 22, whole.size() - 1, whole.size()})
    cuts.push_back(cut);
  for (size_t cut : cuts) {
    SCOPED_TRACE("cut at " + std::to_string(cut) + " of " + std::to_string(whole.size()));
    Run(std::vector<uint8_t>(whole.begin(), whole.begin() + static_cast<long>(cut)), files);
    // With fewer than a header's 30 bytes of the central directory, the walk
    // cannot tell that it reached it.
    if (cut >= local + 30) {
      EXPECT_EQ(ExitCode, ExitExtracted);
      EXPECT_TRUE(posix::Messages.empty());
    } else {
      ExpectFailureShown();
    }
    // An entry whose data arrived is extracted; one cut short leaves the
    // existing file alone. A Deflate stream cut in its last two bytes may
    // have given all of its output before its end-of-block code: the CRC
    // then accepts the whole file.
    for (size_t i = 0, f = 0; i < entries.size(); ++i) {
      if (entries[i].name == "d/") continue;
      const std::string& name = files[f++];
      std::string now = ReadFile(Out(name));
      if (cut >= dataEnd[i]) {
        EXPECT_EQ(now, Text(entries[i])) << name;
      } else if (entries[i].method == 8 && cut + 2 >= dataEnd[i]) {
        EXPECT_TRUE(now == Before(name) || now == Text(entries[i])) << name;
      } else {
        EXPECT_EQ(now, Before(name)) << name;
      }
    }
    EXPECT_EQ(ReadFile(Out("keep.txt")), "keep");
    // Besides the full names, only a name cut short may have made a file.
    for (const std::string& path : DestTree()) {
      bool known = full.count(path) != 0;
      bool cutName = std::any_of(entries.begin(), entries.end(),
                                 [&](const ZipEntry& entry) { return entry.name.rfind(path, 0) == 0; });
      EXPECT_TRUE(known || cutName) << path;
    }
    ExpectNothingBeside();
    ExpectNoHeaderTwice(entries.size());
    if (HasFailure()) break;  // one cut's report is enough
  }
}

// --- Sizes and CRCs ---------------------------------------------------------------

class SizeTest : public HostileTest {
 protected:
  void SetUp() override {
    HostileTest::SetUp();
    first_ = Entry("first.txt", "the first entry");
    after_ = Entry("after.txt", "the entry after the victim");
  }
  // The archive of first.txt, victim and after.txt.
  std::vector<uint8_t> With(const ZipEntry& victim) const {
    return ZipBuilder().Add(first_).Add(victim).Add(after_).Bytes();
  }
  // Where the victim's header starts in the archive.
  size_t VictimStart() const { return ZipBuilder().Add(first_).LocalPart().size(); }
  // Checks the run over a victim whose headers lie: it failed, first.txt is
  // extracted, victim.txt is as before or, where the stream it names is
  // whole, the whole entry (replaceIfWhole); nothing else is touched.
  void ExpectFailedVictim(const ZipEntry& victim, bool replaceIfWhole) {
    ExpectFailureShown();
    EXPECT_EQ(ReadFile(Out("first.txt")), Text(first_));
    std::string now = ReadFile(Out("victim.txt"));
    if (replaceIfWhole) {
      EXPECT_TRUE(now == Before("victim.txt") || now == Text(victim)) << now.substr(0, 60);
    } else {
      EXPECT_EQ(now, Before("victim.txt"));
    }
    EXPECT_EQ(ReadFile(Out("keep.txt")), "keep");
    std::set<std::string> tree = DestTree();
    tree.erase("after.txt");
    EXPECT_EQ(tree, (std::set<std::string>{"keep.txt", "first.txt", "victim.txt"}));
    if (Exists(Out("after.txt"))) {
      EXPECT_EQ(ReadFile(Out("after.txt")), Text(after_));
    }
    ExpectNothingBeside();
    ExpectNoHeaderTwice(3);
  }
  ZipEntry first_, after_;
};

std::vector<uint32_t> TellingSizes(uint32_t real, uint32_t toEnd, uint32_t headerAndName, uint32_t victimStart) {
  std::vector<uint32_t> sizes = {0, 1, real - 1, real + 1, real + 2, real + 30, toEnd - 1, toEnd, toEnd + 1,
                                 0x7FFFFFFFu, 0x80000000u, 0x80000001u, 0xFFFFFFFEu, 0xFFFFFFFFu,
                                 // counted in 32 bits, back to the victim's own header and to the first
                                 0u - headerAndName, 0u - headerAndName - victimStart,
                                 0u - headerAndName - victimStart + 10};
  sizes.erase(std::remove(sizes.begin(), sizes.end(), real), sizes.end());
  return sizes;
}

TEST_F(SizeTest, EveryWrongCompressedSizeOfAStoredEntryFails) {
  ZipEntry victim = Entry("victim.txt", std::string(3000, 'v') + "end of the stored victim");
  const uint32_t real = static_cast<uint32_t>(victim.data.size());
  const std::vector<uint8_t> good = With(victim);
  const uint32_t start = static_cast<uint32_t>(VictimStart());
  const uint32_t headerAndName = 30 + static_cast<uint32_t>(victim.name.size());
  const uint32_t toEnd = static_cast<uint32_t>(good.size()) - start - headerAndName;
  for (uint32_t size : TellingSizes(real, toEnd, headerAndName, start)) {
    SCOPED_TRACE("compressed size " + std::to_string(size));
    std::vector<uint8_t> bad = good;
    // The local header's compressed size; the central record is not read.
    for (int i = 0; i < 4; ++i) bad[start + 18 + i] = static_cast<uint8_t>(size >> (8 * i));
    Run(bad, {"victim.txt"});
    ExpectFailedVictim(victim, false);
    if (HasFailure()) break;
  }
}

TEST_F(SizeTest, EveryWrongCompressedSizeOfADeflateEntryFails) {
  ZipEntry victim = Entry("victim.txt", Lines(200), 8);
  const std::vector<uint8_t> good = With(victim);
  const uint32_t start = static_cast<uint32_t>(VictimStart());
  const uint32_t headerAndName = 30 + static_cast<uint32_t>(victim.name.size());
  uint32_t real = 0;
  for (int i = 0; i < 4; ++i) real |= static_cast<uint32_t>(good[start + 18 + i]) << (8 * i);
  const uint32_t toEnd = static_cast<uint32_t>(good.size()) - start - headerAndName;
  for (uint32_t size : TellingSizes(real, toEnd, headerAndName, start)) {
    SCOPED_TRACE("compressed size " + std::to_string(size));
    std::vector<uint8_t> bad = good;
    for (int i = 0; i < 4; ++i) bad[start + 18 + i] = static_cast<uint8_t>(size >> (8 * i));
    Run(bad, {"victim.txt"});
    // A larger size still holds the whole stream, and one a byte or two
    // short may hold all of its output: either may replace the file, whole.
    // The walk then misses the next header and fails.
    ExpectFailedVictim(victim, uint64_t{size} + 2 >= real);
    if (HasFailure()) break;
  }
}

TEST_F(SizeTest, EveryUncompressedSizeBelowTheDataFailsTheEntry) {
  for (uint16_t method : {0, 8}) {
    ZipEntry victim = Entry("victim.txt", Lines(100), method);
    const uint32_t real = static_cast<uint32_t>(victim.data.size());
    for (uint32_t size : {0u, 1u, 5u, real / 2, real - 1}) {
      SCOPED_TRACE("method " + std::to_string(method) + ", uncompressed size " + std::to_string(size));
      ZipEntry lying = victim;
      lying.uncompressedSize = size;
      Run(With(lying), {"victim.txt"});
      ExpectFailedVictim(victim, false);
      EXPECT_EQ(ExitCode, ExitNotExtracted);
      EXPECT_EQ(ReadFile(Out("after.txt")), Text(after_)) << "the walk goes on";
      ASSERT_EQ(ExtractionMessages().size(), 1u);
      EXPECT_EQ(ExtractionMessages()[0].text, "The selected file(s) couldn't get extracted.\n\nvictim.txt");
    }
  }
}

TEST_F(SizeTest, EveryBitOfTheCrcMatters) {
  for (uint16_t method : {0, 8}) {
    ZipEntry victim = Entry("victim.txt", Lines(30), method);
    for (int bit = 0; bit < 32; ++bit) {
      SCOPED_TRACE("method " + std::to_string(method) + ", CRC bit " + std::to_string(bit));
      ZipEntry lying = victim;
      lying.crc = ZipCrc(victim.data) ^ (1u << bit);
      Run(With(lying), {"victim.txt"});
      ExpectFailedVictim(victim, false);
      EXPECT_EQ(ExitCode, ExitNotExtracted);
      EXPECT_EQ(ReadFile(Out("after.txt")), Text(after_));
    }
  }
}

TEST_F(SizeTest, ADeflateBombStopsAtItsDeclaredSize) {
  ZipEntry bomb = Entry("victim.txt", std::string(4 << 20, '\0'), 8);
  bomb.uncompressedSize = 5;
  bomb.crc = ZipCrc(std::vector<uint8_t>(5, 0));  // the CRC of what the declared size lets through
  ZipEntry fresh = bomb;
  fresh.name = "fresh.bin";
  Run(ZipBuilder().Add(first_).Add(bomb).Add(fresh).Add(after_).Bytes(), {"victim.txt"});
  EXPECT_EQ(ReadFile(Out("victim.txt")), Before("victim.txt"));
  EXPECT_FALSE(Exists(Out("fresh.bin"))) << "written up to the declared size only, then removed";
  EXPECT_EQ(ReadFile(Out("after.txt")), Text(after_));
  EXPECT_EQ(ExitCode, ExitNotExtracted);
  EXPECT_EQ(ArchiveDone, static_cast<int64_t>(Text(first_).size() + 5 + 5 + Text(after_).size()))
      << "only what the declared sizes let through is written";
}

// --- Names -------------------------------------------------------------------------

TEST_F(HostileTest, NamesOfEveryLengthAroundTheLimits) {
  // A name of one part: at most 255 UTF-16 units, whatever the destination.
  const size_t room = MaxPartUnits;
  std::vector<size_t> lengths;
  for (size_t n = room - 3; n <= room + 3; ++n) lengths.push_back(n);
  for (size_t n : {1, 200, 260, 300, 511, 512, 1024, 4096, 32760, 32761, 65535}) lengths.push_back(n);
  for (size_t n : lengths) {
    SCOPED_TRACE("name of " + std::to_string(n) + " bytes");
    std::string name(n, 'n');
    ZipEntry e = Entry(name, "long");
    if (n == 65535) e.extra = std::vector<uint8_t>(65535, 0);  // the longest extra field too
    Run(ZipBuilder().Add(e).Stored("after.txt", "a").Bytes(), {});
    EXPECT_EQ(ReadFile(Out("after.txt")), "a") << "the walk steps over the name by its length";
    if (n <= room) {
      EXPECT_EQ(ReadFile(Out(name)), "long");
      EXPECT_EQ(ExitCode, ExitExtracted);
      EXPECT_TRUE(posix::Messages.empty());
    } else {
      ExpectFailureShown();
      EXPECT_EQ(ExitCode, ExitNotExtracted);
      std::vector<ShownMessage> shown = ExtractionMessages();
      ASSERT_EQ(shown.size(), 2u);
      EXPECT_EQ(shown[0].caption, "Invalid filename.");
      EXPECT_EQ(shown[0].text, name.substr(0, ShownNameBytes)) << "a long name is shown cut";
      EXPECT_EQ(DestTree(), (std::set<std::string>{"keep.txt", "after.txt"}));
    }
    ExpectNothingBeside();
    if (HasFailure()) break;
  }
}

// --- The walk fuzz corpus ------------------------------------------------------------

TEST_F(HostileTest, EveryArchiveOfTheWalkCorpus) {
  // The seeds hostile_*.zip come from tests/support/hostile_zips.py; each
  // fails in its own way. The others are archives that extract whole.
  std::vector<fs::path> seeds;
  for (const auto& e : fs::directory_iterator(fs::path(KORVI_SOURCE_DIR) / "tests/fuzz/corpus/walk"))
    seeds.push_back(e.path());
  std::sort(seeds.begin(), seeds.end());
  ASSERT_GE(seeds.size(), 20u);
  for (const fs::path& seed : seeds) {
    SCOPED_TRACE(seed.filename().string());
    std::string bytes = ReadFile(seed.string());
    Run(std::vector<uint8_t>(bytes.begin(), bytes.end()), {"victim.txt"});
    std::string name = seed.filename().string();
    bool hostile = name.rfind("hostile_", 0) == 0;
    if (!hostile || name == "hostile_name_200.zip" || name == "hostile_name_255.zip") {
      EXPECT_EQ(ExitCode, ExitExtracted);
    } else {
      ExpectFailureShown();
    }
    EXPECT_EQ(ReadFile(Out("keep.txt")), "keep");
    std::string victim = ReadFile(Out("victim.txt"));
    if (name == "hostile_cut_directory.zip") {
      std::string archived;  // VICTIM_DATA of hostile_zips.py
      for (int i = 0; i < 20; ++i) archived += "the archive's victim.txt, never to arrive whole\n";
      EXPECT_EQ(victim, archived) << "its entry arrived whole";
    } else {
      EXPECT_EQ(victim, Before("victim.txt"));
    }
    ExpectNothingBeside();
  }
}

}  // namespace

// mksfx's side of unattended installs: the execution level rewritten in the
// stub's application manifest (the stub's own Dialog/sfx.manifest, placed as
// the resource compiler places it in a stand-in PE image built here) and
// read back; the folder macros and environment variables of the block's
// path texts; the program that --run names in the destination, held against
// the archive's entries.
#include <gtest/gtest.h>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include "Sfx/layout.h"
#include "tools/mksfx/block.h"
#include "tools/mksfx/common.h"
#include "tools/mksfx/manifest.h"
#include "tools/mksfx/run_program.h"

namespace {

std::string StubManifest() {
  std::ifstream in(std::string(KORVI_SOURCE_DIR) + "/Dialog/sfx.manifest", std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Put16At(std::string& b, size_t at, uint32_t v) {
  b[at] = static_cast<char>(v & 0xFF);
  b[at + 1] = static_cast<char>(v >> 8);
}
void Put32At(std::string& b, size_t at, uint32_t v) {
  Put16At(b, at, v & 0xFFFF);
  Put16At(b, at + 2, v >> 16);
}

// A PE32 image of StubSize bytes: headers, a code section, and a resource
// section at RVA 0x3000, file offset 0x1000, holding the manifest as type
// 24, id 1, language 1033 (what windres and ld make of Dialog/manifest.rc),
// after a decoy resource of another type.
std::string StandInStub(const std::string& manifest) {
  std::string b(StubSize, '\0');
  b.replace(0, 2, "MZ");
  Put32At(b, 0x3C, 0x80);
  b.replace(0x80, 4, std::string("PE\0\0", 4));
  const size_t coff = 0x84, optional = coff + 20;
  Put16At(b, coff, 0x14C);
  Put16At(b, coff + 2, 2);     // sections
  Put16At(b, coff + 16, 224);  // optional header
  Put16At(b, optional, 0x10B);
  Put32At(b, optional + 92, 16);  // NumberOfRvaAndSizes
  const uint32_t rsrcRva = 0x3000, rsrcAt = 0x1000;
  const size_t table = optional + 224;
  b.replace(table, 5, ".text");
  Put32At(b, table + 8, 0x200);
  Put32At(b, table + 12, 0x1000);
  Put32At(b, table + 16, 0x200);
  Put32At(b, table + 20, 0x400);
  b.replace(table + 40, 5, ".rsrc");
  // The resource tree: root with a decoy type 16 and type 24, then a name
  // and a language directory, the data entry, the bytes.
  std::string r(0x90, '\0');
  auto directory = [&](size_t at, std::initializer_list<std::pair<uint32_t, uint32_t>> entries) {
    Put16At(r, at + 14, static_cast<uint32_t>(entries.size()));
    size_t e = at + 16;
    for (auto [id, offset] : entries) {
      Put32At(r, e, id);
      Put32At(r, e + 4, offset);
      e += 8;
    }
  };
  directory(0x00, {{16, 0x80000000u | 0x20}, {24, 0x80000000u | 0x38}});  // 16 + 2 * 8 bytes
  directory(0x20, {{1, 0x68}});  // the decoy's name: straight to its data
  directory(0x38, {{1, 0x80000000u | 0x50}});
  directory(0x50, {{1033, 0x78}});
  Put32At(r, 0x68, rsrcRva + 0x90);  // the decoy's data: "level=" text that is no manifest
  Put32At(r, 0x6C, 16);
  Put32At(r, 0x78, rsrcRva + 0xA0);
  Put32At(r, 0x7C, static_cast<uint32_t>(manifest.size()));
  r += std::string("level=\"decoy\"   ", 16) + manifest;
  Put32At(b, table + 40 + 8, static_cast<uint32_t>(r.size()));
  Put32At(b, table + 40 + 12, rsrcRva);
  Put32At(b, table + 40 + 16, static_cast<uint32_t>((r.size() + 511) & ~size_t{511}));
  Put32At(b, table + 40 + 20, rsrcAt);
  Put32At(b, optional + 96 + 16, rsrcRva);  // data directory 2: the resources
  Put32At(b, optional + 96 + 20, static_cast<uint32_t>(r.size()));
  b.replace(rsrcAt, r.size(), r);
  return b;
}

TEST(MksfxManifest, TheStubsOwnLevelIsAsInvoker) {
  std::string manifest = StubManifest();
  ASSERT_NE(manifest.find("requestedExecutionLevel"), std::string::npos);
  std::string stub = StandInStub(manifest);
  mksfx::ManifestPlace m = mksfx::FindManifest(stub);
  ASSERT_TRUE(m.present);
  EXPECT_EQ(m.at, 0x10A0u);
  EXPECT_EQ(m.size, manifest.size());
  EXPECT_EQ(mksfx::ReadExecutionLevel(stub), "asInvoker");
}

TEST(MksfxManifest, EachLevelInPlaceAndBack) {
  std::string manifest = StubManifest();
  const std::string before = StandInStub(manifest);
  for (const char* level : {mksfx::LevelRequireAdministrator, mksfx::LevelHighestAvailable, mksfx::LevelAsInvoker}) {
    std::string stub = before;
    mksfx::SetExecutionLevel(stub, level);
    ASSERT_EQ(stub.size(), before.size());
    EXPECT_EQ(mksfx::ReadExecutionLevel(stub), level);
    // Only the level's room changed: the value, its quote and the blanks.
    size_t room = before.find("asInvoker\"");
    ASSERT_NE(room, std::string::npos);
    EXPECT_EQ(stub.substr(0, room), before.substr(0, room));
    EXPECT_EQ(stub.substr(room + 21), before.substr(room + 21));
    EXPECT_EQ(stub.substr(room, 23), std::string(level) + "\"" + std::string(20 - std::string(level).size(), ' ') + "/>");
    // Still the manifest's XML: the element closes after blanks.
    std::string text = stub.substr(0x10A0, manifest.size());
    EXPECT_NE(text.find(std::string("level=\"") + level + "\""), std::string::npos);
    // A second rewrite over the first.
    mksfx::SetExecutionLevel(stub, mksfx::LevelAsInvoker);
    EXPECT_EQ(stub, before);
  }
}

TEST(MksfxManifest, TheLevelMayHaveAnotherAttributeAfterIt) {
  std::string stub = StandInStub(
      "<assembly><trustInfo><requestedExecutionLevel level='asInvoker'            uiAccess=\"false\"/></trustInfo></assembly>");
  EXPECT_EQ(mksfx::ReadExecutionLevel(stub), "asInvoker");
  mksfx::SetExecutionLevel(stub, mksfx::LevelRequireAdministrator);
  EXPECT_NE(stub.find("level='requireAdministrator' uiAccess=\"false\"/>"), std::string::npos);
  EXPECT_EQ(mksfx::ReadExecutionLevel(stub), "requireAdministrator");
}

TEST(MksfxManifest, RefusalsChangeNothing) {
  // No room: the manifest as it was before the stub made room for the level.
  std::string tight = StandInStub("<assembly><requestedExecutionLevel level=\"asInvoker\"/></assembly>");
  std::string before = tight;
  EXPECT_THROW(mksfx::SetExecutionLevel(tight, mksfx::LevelRequireAdministrator), mksfx::Failure);
  EXPECT_EQ(tight, before);
  mksfx::SetExecutionLevel(tight, "asInvoker");  // what fits, fits
  EXPECT_EQ(tight, before);
  // A manifest without the element, and a program without resources.
  std::string bare = StandInStub("<assembly><dependency/></assembly>");
  EXPECT_EQ(mksfx::ReadExecutionLevel(bare), "");
  EXPECT_THROW(mksfx::SetExecutionLevel(bare, mksfx::LevelHighestAvailable), mksfx::Failure);
  std::string none(StubSize, '\0');
  none.replace(0, 2, "MZ");
  EXPECT_FALSE(mksfx::FindManifest(none).present);
  EXPECT_THROW(mksfx::SetExecutionLevel(none, mksfx::LevelHighestAvailable), mksfx::Failure);
}

TEST(MksfxManifest, CutHeadersAreNoManifest) {
  std::string stub = StandInStub(StubManifest());
  // Every cut through the headers and the resource tree is read without a
  // fault: nothing, or the manifest where all of it is still there.
  for (size_t size : {0, 1, 2, 0x3C, 0x40, 0x83, 0x84, 0x98, 0x100, 0x1000, 0x1010, 0x1050, 0x1080, 0x10A0, 0x10A0 + 200}) {
    std::string cut = stub.substr(0, size);
    EXPECT_FALSE(mksfx::FindManifest(cut).present) << size;
    EXPECT_EQ(mksfx::ReadExecutionLevel(cut), "") << size;
  }
  // An e_lfanew past the end, a resource directory that no section holds.
  std::string far = stub;
  Put32At(far, 0x3C, 0xFFFFFFF0u);
  EXPECT_FALSE(mksfx::FindManifest(far).present);
  std::string lost = stub;
  Put32At(lost, 0x84 + 20 + 96 + 16, 0x9000);
  EXPECT_FALSE(mksfx::FindManifest(lost).present);
}

TEST(MksfxMacros, TheListThatTheStubWillKnow) {
  for (const char* macro : {"{win}", "{sys}", "{temp}", "{pf}", "{pf32}", "{appdata}", "{localappdata}",
                            "{commonappdata}", "{desktop}", "{documents}", "{profile}"})
    EXPECT_TRUE(mksfx::IsPathMacro(macro)) << macro;
  for (const char* other : {"{ext}", "{WIN}", "{Temp}", "{programfiles}", "{}", "win", "{win"})
    EXPECT_FALSE(mksfx::IsPathMacro(other)) << other;
  EXPECT_EQ(static_cast<int>(PathMacroCount), 11);
  EXPECT_STREQ(PathMacroNames[MacroWindows], "{win}");
  EXPECT_STREQ(PathMacroNames[MacroSystem], "{sys}");
  EXPECT_STREQ(PathMacroNames[MacroProfile], "{profile}");
  // The stub looks the names up in one text: the same names, in the same
  // order, and its own "{ext}" last.
  std::string joined;
  for (const char* name : PathMacroNames) joined += name;
  EXPECT_EQ(joined + "{ext}", PathMacroList);
}

TEST(MksfxMacros, EveryMacroInTheDestinationAndTheRunCommand) {
  mksfx::BlockSettings s;
  for (const char* macro : PathMacroNames) {
    s.dest = std::string(macro) + "\\Acme";
    s.run = std::string(macro) + "\\tool.exe|><";
    EXPECT_NO_THROW(mksfx::MakeConfigBlock(s)) << macro;
  }
  s.dest = "{pf}\\Acme {win}";
  s.run = "{sys}\\cmd.exe|/c copy ><a.txt {appdata}";
  EXPECT_NO_THROW(mksfx::MakeConfigBlock(s));
}

TEST(MksfxMacros, UnknownTokensAndVariablesAreRefusedWithTheList) {
  auto refusal = [](const std::string& dest, const std::string& run) {
    mksfx::BlockSettings s;
    s.dest = dest;
    s.run = run;
    try {
      mksfx::MakeConfigBlock(s);
    } catch (const mksfx::UsageError& e) {
      return std::string(e.what());
    }
    return std::string();
  };
  const std::string list = "{win}, {sys}, {temp}, {pf}, {pf32}, {appdata}, {localappdata}, {commonappdata}, "
                           "{desktop}, {documents}, {profile}";
  EXPECT_EQ(refusal("{programfiles}\\Acme", ""),
            "the destination holds {programfiles}, which the stub does not know; its macros are " + list);
  EXPECT_EQ(refusal("", "{ext}\\setup.exe"),
            "the run command holds {ext}, the destination itself, which the stub has not chosen yet where it "
            "expands it; the run command reaches it through \"><\"; the stub's macros are " + list);
  EXPECT_EQ(refusal("%ProgramFiles%\\Acme", ""),
            "the destination holds %ProgramFiles%, but the stub expands no environment variables; its macros are " + list);
  EXPECT_EQ(refusal("C:\\%ProgramFiles(x86)%", ""),
            "the destination holds %ProgramFiles(x86)%, but the stub expands no environment variables; its macros are " +
                list);
  EXPECT_NE(refusal("", "notepad.exe|%TEMP%\\log.txt"), "");
  EXPECT_NE(refusal("{WIN}", ""), "");
  EXPECT_NE(refusal("{a b}", ""), "");
  // Not macros nor variables: a "{" never closed, a lone "%", "%1".
  EXPECT_EQ(refusal("C:\\{ open", ""), "");
  EXPECT_EQ(refusal("C:\\100% done", ""), "");
  EXPECT_EQ(refusal("C:\\50% and 60%", ""), "");
  EXPECT_EQ(refusal("", "x.exe|%1%"), "");
  // The caption is shown as it is: no macro there is refused.
  mksfx::BlockSettings s;
  s.caption = "Acme {beta} %NAME%";
  EXPECT_NO_THROW(mksfx::MakeConfigBlock(s));
}

TEST(MksfxRunProgram, TheEntryThatTheCommandNames) {
  EXPECT_EQ(mksfx::RunProgramEntry("><setup.exe"), "setup.exe");
  EXPECT_EQ(mksfx::RunProgramEntry("><bin\\setup.exe|/S ><log.txt"), "bin/setup.exe");
  EXPECT_EQ(mksfx::RunProgramEntry("\"><My Tools\\run.exe\"|-q"), "My Tools/run.exe");
  EXPECT_EQ(mksfx::RunProgramEntry("><\\setup.exe"), "setup.exe");
  EXPECT_EQ(mksfx::RunProgramEntry("><"), "");                  // the destination folder itself
  EXPECT_EQ(mksfx::RunProgramEntry("notepad.exe|><readme.txt"), "");  // a program of the system's
  EXPECT_EQ(mksfx::RunProgramEntry("{win}\\notepad.exe"), "");
  EXPECT_EQ(mksfx::RunProgramEntry("><caf\xc3\xa9.exe"), "caf\xc3\xa9.exe");
}

TEST(MksfxRunProgram, FoundAsWindowsFindsIt) {
  std::vector<std::string> names = {"readme.txt", "bin/", "bin/Setup.exe", "docs/guide/intro.txt", "caf\xc3\xa9.exe"};
  EXPECT_TRUE(mksfx::ArchiveHolds(names, "bin/Setup.exe"));
  EXPECT_TRUE(mksfx::ArchiveHolds(names, "BIN/setup.EXE"));   // without case
  EXPECT_TRUE(mksfx::ArchiveHolds(names, "readme.txt."));     // a trailing dot dropped
  EXPECT_TRUE(mksfx::ArchiveHolds(names, "docs/guide"));      // a folder that an entry is in
  EXPECT_TRUE(mksfx::ArchiveHolds(names, "CAF\xc3\x89.exe")); // É folds to é's upper case
  EXPECT_FALSE(mksfx::ArchiveHolds(names, "setup.exe"));
  EXPECT_FALSE(mksfx::ArchiveHolds(names, "bin/Setup"));
  EXPECT_FALSE(mksfx::ArchiveHolds(names, "docs/gui"));
}

}  // namespace

// The layout of a self-extracting file, shared by the stub that reads it, the
// maker tool that writes it and the tests: the stub, then an optional
// configuration block, then the ZIP archive.
//
// Block layout, at file offset StubSize (always ConfigBlockSize bytes):
//   0  "VRN"     magic, case-sensitive, no terminator
//   3  flags     ConfigFlag bits
//   4  L1 L2 L3  lengths of the caption text, the default destination and
//                the run command
//   7  the three texts back to back, without terminators; the rest is zeros
// The build reads StubSize from this file for the padding and the checks of
// the shipped stub.
#pragma once
#include <stdint.h>

enum : uint32_t {
  StubSize = 51712,        // bytes of the stub; the block or the archive follows
  ConfigBlockSize = 256,   // the optional configuration block
};

enum : uint32_t {  // fields of the block, by offset
  ConfigMagicAt = 0,
  ConfigMagicSize = 3,
  ConfigFlagsAt = 3,
  ConfigLengthsAt = 4,     // three one-byte lengths
  ConfigTextsAt = 7,
  ConfigTextRoom = ConfigBlockSize - ConfigTextsAt,  // 249 bytes for all three texts
};

inline constexpr char ConfigMagic[ConfigMagicSize + 1] = "VRN";

enum ConfigFlag : uint8_t {
  ConfigVerifyFirst = 0x01,   // test every entry before writing any (single-file programs)
  ConfigOverwrite = 0x08,     // replace existing files without asking
  ConfigAutoExtract = 0x40,   // extract at once, without the main dialog
  ConfigWaitThenDelete = 0x80,  // wait for the run program, then delete the files
};

// The folder macros that the destination and the run command may hold, each
// replaced on the target system by a folder's path without a trailing
// backslash (the text around it supplies the separators). A stub of the first
// design expanded {win} and {sys} alone; this one expands all (the shell's
// names for them, from {temp} on). mksfx accepts
// exactly this list and refuses any other {token}, which the stub would drop.
// "{ext}" (Sfx/config.cpp) is the destination itself: never written by mksfx,
// as the run command reaches the destination through "><".
enum PathMacro : uint8_t {
  MacroWindows,            // {win}: GetWindowsDirectory
  MacroSystem,             // {sys}: GetSystemDirectory
  MacroTemp,               // {temp}: a new folder of the run's own under GetTempPath
  MacroProgramFiles,       // {pf}: the native Program Files (CSIDL_PROGRAM_FILES)
  MacroProgramFiles32,     // {pf32}: the 32-bit Program Files (CSIDL_PROGRAM_FILESX86)
  MacroAppData,            // {appdata}: the roaming application data (CSIDL_APPDATA)
  MacroLocalAppData,       // {localappdata}: CSIDL_LOCAL_APPDATA
  MacroCommonAppData,      // {commonappdata}: ProgramData (CSIDL_COMMON_APPDATA)
  MacroDesktop,            // {desktop}: the user's desktop folder (CSIDL_DESKTOPDIRECTORY)
  MacroDocuments,          // {documents}: the user's documents (CSIDL_PERSONAL)
  MacroProfile,            // {profile}: the user's profile folder (CSIDL_PROFILE)
  PathMacroCount,
};

// The same names back to back, as the stub looks them up, and "{ext}" last.
inline constexpr char PathMacroList[] =
    "{win}{sys}{temp}{pf}{pf32}{appdata}{localappdata}{commonappdata}{desktop}{documents}{profile}{ext}";
inline constexpr char PathMacroNames[PathMacroCount][16] = {
    "{win}", "{sys}", "{temp}", "{pf}", "{pf32}", "{appdata}", "{localappdata}", "{commonappdata}",
    "{desktop}", "{documents}", "{profile}"};

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

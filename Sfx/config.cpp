// The configuration block that an archiving tool may write between the stub
// and the ZIP archive, and the path macros of its texts.
//
// Block layout, at file offset 51712 (always 256 bytes):
//   0  "VRN"   magic, case-sensitive, no terminator
//   3  flags   0x08 OverwriteByDefault, 0x40 AutoExtract, 0x80 WaitThenDelete
//   4  L1 L2 L3  lengths of CaptionText, DefaultDestination, RunCommand
//   7  the three texts back to back, without terminators
// A block cut short by the end of the file reads its missing bytes as 0.
#include "Sfx/config.h"
#include "Sfx/sfx.h"
#include "Sfx/state.h"
#include "support/paths.h"
#include <string.h>

enum : uint8_t { FlagOverwrite = 0x08, FlagAutoExtract = 0x40, FlagWaitThenDelete = 0x80 };

static const uint8_t* TakeText(const uint8_t* from, uint8_t length, char* text) {
  memcpy(text, from, length);
  text[length] = 0;
  return from + length;
}

void ReadConfigBlock() {
  ArchiveStart = StubSize;
  SeekArchive(StubSize, SeekFromBegin);

  char magic[3];
  if (ReadFromFile(ArchiveHandle, magic, 3) < 3) return;
  if (magic[0] != 'V' || magic[1] != 'R' || magic[2] != 'N') return;
  ArchiveStart += ConfigBlockSize;

  // The rest of the block in one read; what the file lacks stays 0.
  uint8_t block[ConfigBlockSize - 3];
  memset(block, 0, sizeof block);
  ReadFromFile(ArchiveHandle, block, sizeof block);

  uint8_t flags = block[0];
  OverwriteByDefault = (flags & FlagOverwrite) != 0;
  AutoExtract = (flags & FlagAutoExtract) != 0;
  WaitThenDelete = (flags & FlagWaitThenDelete) != 0;

  uint8_t l1 = block[1], l2 = block[2], l3 = block[3];
  HasCaptionText = l1 > 0;
  HasDefaultDestination = l2 > 0;
  HasRunCommand = l3 > 0;

  // The lengths together should stay within the block; where an archiving
  // tool got that wrong, the texts are cut at the block's end.
  const uint8_t* at = block + 4;
  const uint8_t* end = block + sizeof block;
  auto fit = [&](uint8_t length) -> uint8_t {
    return static_cast<uint8_t>(length <= end - at ? length : end - at);
  };
  at = TakeText(at, fit(l1), CaptionText);
  at = TakeText(at, fit(l2), DefaultDestination);
  TakeText(at, fit(l3), RunCommand);
  ExpandPathMacros(RunCommand);
}

// Appends at most the room left in a 255-character result.
static void Put(char* out, unsigned* w, const char* from, unsigned count) {
  unsigned room = (TextBufferSize - 1) - *w;
  if (count > room) count = room;
  memcpy(out + *w, from, count);
  *w += count;
}

static bool TokenIs(const char* token, unsigned length, const char* name) {
  return length == 5 && memcmp(token, name, 5) == 0;
}

void ExpandPathMacros(char* text) {
  char rest[TextBufferSize];
  CopyText(rest, text, sizeof rest);
  char out[TextBufferSize];
  unsigned w = 0;
  const char* r = rest;

  for (;;) {
    const char* open = strchr(r, '{');
    if (open == 0) break;
    const char* close = strchr(open, '}');
    if (close == 0) break;  // no later "}": the rest stays as it stands
    Put(out, &w, r, static_cast<unsigned>(open - r));
    unsigned length = static_cast<unsigned>(close - open + 1);
    r = close + 1;

    char folder[TextBufferSize];
    folder[0] = 0;
    if (TokenIs(open, length, "{ext}"))
      CopyText(folder, DestinationFolder, sizeof folder);
    else if (TokenIs(open, length, "{win}"))
      WindowsFolder(folder, sizeof folder);
    else if (TokenIs(open, length, "{sys}"))
      SystemFolder(folder, sizeof folder);
    Put(out, &w, folder, TextLength(folder));  // any other token is dropped
  }
  Put(out, &w, r, TextLength(r));
  out[w] = 0;
  memcpy(text, out, w + 1);
}

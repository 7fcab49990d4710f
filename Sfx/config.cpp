// The configuration block that an archiving tool may write between the stub
// and the ZIP archive (its layout is in Sfx/layout.h), and the path macros of
// its texts. A block cut short by the end of the file reads its missing bytes
// as 0.
#include "Sfx/config.h"
#include "Sfx/layout.h"
#include "Sfx/sfx.h"
#include "Sfx/state.h"
#include "support/paths.h"
#include <string.h>

static const uint8_t* TakeText(const uint8_t* from, uint8_t length, char* text) {
  memcpy(text, from, length);
  text[length] = 0;
  return from + length;
}

void ReadConfigBlock() {
  ArchiveStart = StubSize;
  SeekArchive(StubSize, SeekFromBegin);

  uint8_t field[ConfigBlockSize];
  memset(field, 0, sizeof field);
  if (ReadFromFile(ArchiveHandle, field, ConfigMagicSize) < ConfigMagicSize) return;
  if (memcmp(field + ConfigMagicAt, ConfigMagic, ConfigMagicSize) != 0) return;
  ArchiveStart += ConfigBlockSize;

  // The rest of the block in one read; what the file lacks stays 0.
  ReadFromFile(ArchiveHandle, field + ConfigMagicSize, static_cast<uint32_t>(ConfigBlockSize) - ConfigMagicSize);

  uint8_t flags = field[ConfigFlagsAt];
  OverwriteByDefault = (flags & ConfigOverwrite) != 0;
  AutoExtract = (flags & ConfigAutoExtract) != 0;
  WaitThenDelete = (flags & ConfigWaitThenDelete) != 0;
  VerifyFirst = (flags & ConfigVerifyFirst) != 0;

  const uint8_t* lengths = field + ConfigLengthsAt;
  uint8_t l1 = lengths[0], l2 = lengths[1], l3 = lengths[2];
  HasCaptionText = l1 > 0;
  HasDefaultDestination = l2 > 0;
  HasRunCommand = l3 > 0;

  // The lengths together should stay within the block; where an archiving
  // tool got that wrong, the texts are cut at the block's end.
  const uint8_t* at = field + ConfigTextsAt;
  const uint8_t* end = field + sizeof field;
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
    // The macros one after the other in one text, "{ext}" last: the first
    // whose every character the token has is the token's.
    unsigned macro = 0;
    for (const char* m = PathMacroList; *m != 0; ++macro) {
      unsigned k = 0;
      while (k < length && m[k] == open[k]) ++k;
      if (k == length) {
        if (macro == PathMacroCount) CopyText(folder, DestinationFolder, sizeof folder);
        else if (macro == MacroWindows) WindowsFolder(folder, sizeof folder);
        else if (macro == MacroSystem) SystemFolder(folder, sizeof folder);
        else MacroFolder(macro, folder, sizeof folder);
        if (macro == MacroTemp) CopyText(PrivateTempFolder, folder, sizeof PrivateTempFolder);
        break;
      }
      do ++m;
      while (*m != 0 && *m != '{');
    }
    Put(out, &w, folder, TextLength(folder));  // any other token is dropped
  }
  Put(out, &w, r, TextLength(r));
  out[w] = 0;
  memcpy(text, out, w + 1);
}

void RemovePrivateTemp(bool onlyEmpty) {
  if (PrivateTempFolder[0] != 0) RemoveFolder(Utf8OfAnsi(PrivateTempFolder), onlyEmpty);
}

void ProposeDestination() {
  if (SwitchDestination[0] != 0) CopyText(DestinationFolder, SwitchDestination, TextBufferSize);
  else if (HasDefaultDestination) CopyText(DestinationFolder, DefaultDestination, TextBufferSize);
  else CurrentFolder(DestinationFolder, TextBufferSize);
  ExpandPathMacros(DestinationFolder);
}

// The command line's switches. "/" or "-" starts one and its name is matched
// without regard to case. /S is silent: no window at all, existing files
// replaced, a password only from /P=, a missing volume a failure. /D= takes
// the rest of the line (blanks and all) up to a " -- ", which hands what
// follows it to the program run after extraction. A value may be quoted.
#include "Sfx/switches.h"
#include "Sfx/state.h"
#include "SFXstrings/strings.h"
#include "support/paths.h"
#include <string.h>

namespace {

char LogPath[TextBufferSize * 3];
char Line[3 * 32768];  // the longest command line Windows has, in UTF-8

// A blank, a tab or another control character, never the NUL.
bool IsBlank(char c) { return static_cast<uint8_t>(c - 1) < ' '; }
bool Ends(const char* at) { return *at == 0 || IsBlank(*at); }

// What follows name at at (letters of either case), 0 when name is not there.
const char* After(const char* at, const char* name) {
  for (; *name != 0; ++at, ++name)
    if (*at == 0 || (*at | 0x20) != (*name | 0x20)) return 0;
  return at;
}

// "--" standing alone.
bool EndOfSwitches(const char* at) {
  const char* next = After(at, "--");
  return next != 0 && Ends(next);
}

// A value up to the next blank outside quotes, without its quotes; 0 when
// it does not fit room (a password is never cut).
const char* TakeValue(const char* at, char* value, unsigned room) {
  unsigned n = 0;
  bool quoted = false;
  for (; *at != 0 && (quoted || !IsBlank(*at)); ++at) {
    if (*at == '"') {
      quoted = !quoted;
    } else {
      if (n + 1 >= room) return 0;
      value[n++] = *at;
    }
  }
  value[n] = 0;
  return at;
}

// /D='s folder: the rest of the line up to a " -- ", without the blanks at
// its end and the quotes around it, in the ANSI code page of the
// destination field.
const char* TakeFolder(const char* at) {
  const char* end = at;
  while (*end != 0 && !(IsBlank(end[-1]) && EndOfSwitches(end))) ++end;
  const char* next = end;
  while (end > at && IsBlank(end[-1])) --end;
  if (end - at >= 2 && *at == '"' && end[-1] == '"') {
    ++at;
    --end;
  }
  // The line is the program's own copy: the folder ends where it is cut.
  bool empty = end == at;
  *const_cast<char*>(end) = 0;
  if (empty || !Utf8ToAnsi(at, SwitchDestination, ConfigTextSize, true)) return 0;
  return next;
}

// The switches as a message box: their list, with the error icon after an
// unknown one.
void ShowSwitches(unsigned icon) {
  if (!Silent) ShowMessage(0, LoadMessage(MsgSwitches).text, LoadMessage(MsgSwitchesCaption).text, icon);
}

}  // namespace

bool TakeCommandLine() {
  CommandLineText(Line, sizeof Line);
  const char* at = Line;
  if (*at == '"') {
    do ++at;
    while (*at != 0 && *at != '"');
    if (*at != 0) ++at;
  } else {
    while (!Ends(at)) ++at;
  }
  bool help = false, unknown = false;
  for (;;) {
    while (IsBlank(*at)) ++at;
    if (*at == 0) break;
    if (EndOfSwitches(at)) {
      at += 2;
      while (IsBlank(*at)) ++at;
      if (!Utf8ToAnsi(at, RunArguments, sizeof RunArguments, true)) unknown = true;
      break;
    }
    const char* next = (*at == '/' || *at == '-') ? at + 1 : 0;
    const char* value;
    if (next == 0) {
      // not a switch
    } else if ((value = After(next, "S")) != 0 && Ends(value)) {
      Silent = 1;
      next = value;
    } else if ((value = After(next, "?")) != 0 && Ends(value)) {
      help = true;
      next = value;
    } else if ((value = After(next, "D=")) != 0) {
      next = TakeFolder(value);
    } else if ((value = After(next, "LOG=")) != 0) {
      next = TakeValue(value, LogPath, sizeof LogPath);
    } else if ((value = After(next, "P=")) != 0) {
      next = TakeValue(value, CurrentPassword, sizeof CurrentPassword);
    } else {
      next = 0;
    }
    if (next == 0) {
      unknown = true;
      while (!Ends(at)) ++at;
    } else {
      at = next;
    }
  }
  if (unknown || help) {
    ShowSwitches(unknown ? BoxIconError : BoxIconInformation);
    ExitCode = unknown ? ExitBadSwitch : ExitExtracted;
    return false;
  }
  if (LogPath[0] != 0) {
    FileHandle log = CreateForWriting(LogPath);
    if (log == NoFile) {
      if (!Silent) ShowMessage(0, LogPath, LoadMessage(MsgCannotOpenFile).text, BoxIconError);
      ExitCode = ExitBadSwitch;
      return false;
    }
    LogHandle = log;
  }
  return true;
}

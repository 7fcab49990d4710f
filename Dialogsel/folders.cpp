// The portable half of choosing the destination (see folders.h).
#include "Dialogsel/folders.h"
#include "SFXstrings/strings.h"
#include "Sfx/state.h"
#include "support/paths.h"
#include <string.h>

void RefuseFolder(WindowHandle owner) {
  ShowMessage(owner, LoadMessage(MsgErrorInDirectory).text, LoadMessage(MsgErrorCaption).text, BoxIconError);
}

bool CreateSubfolder(const char* parent, const char* name) {
  if (strchr(name, ':') != 0) return false;
  while (*name == '\\') ++name;
  if (*name == 0) return false;
  char folder[TextBufferSize];
  CopyText(folder, parent, sizeof folder);
  if (TextLength(parent) + TextLength(name) >= TextBufferSize) return false;
  AppendText(folder, name, sizeof folder);
  ForceFolders(Utf8OfAnsi(folder));
  // The browser has just made the parent the current folder.
  char relative[TextBufferSize];
  CopyText(relative, name, sizeof relative);
  if (!AddTrailingBackslash(relative) || !PathExists(Utf8OfAnsi(relative))) return false;
  SetCurrentFolder(Utf8OfAnsi(name));
  return true;
}

bool TakeChosenFolder(WindowHandle owner, const char* path, char* destination, bool keepLastPart) {
  char taken[2 * TextBufferSize];
  CopyText(taken, path, sizeof taken);
  // A folder picked above a proposal of the block or the command line
  // (C:\Program Files for C:\Program Files\MyTool) keeps its last part,
  // unless the folder picked has that name itself.
  char last[TextBufferSize], picked[TextBufferSize];
  CopyText(picked, destination, sizeof picked);
  StripTrailingBackslash(picked);
  ExtractNamePart(picked, last);
  ExtractNamePart(path, picked);
  unsigned i = 0;
  while (last[i] != 0 && (last[i] | 0x20) == (picked[i] | 0x20)) ++i;
  if (keepLastPart && last[0] != 0 && (HasDefaultDestination || SwitchDestination[0] != 0) && last[i] != picked[i]) {
    AddTrailingBackslash(taken);
    AppendText(taken, last, sizeof taken);
  }
  if (TextLength(taken) >= TextBufferSize) {
    RefuseFolder(owner);
    return false;
  }
  CopyText(destination, taken, TextBufferSize);
  SetCurrentFolder(Utf8OfAnsi(path));
  return true;
}

void BrowserStart(const char* destination, char* start) {
  char proposed[TextBufferSize];
  CopyText(proposed, destination, sizeof proposed);
  StripTrailingBackslash(proposed);
  CopyText(start, proposed, TextBufferSize);
  if (!PathExists(Utf8OfAnsi(proposed))) ExtractDirPart(proposed, start);
}

bool AcceptNewFolder(WindowHandle owner, const char* name) {
  if (name[0] == 0) return true;
  // Parent, name and a "\" to come must fit the destination's buffer.
  if (TextLength(DestinationFolder) + TextLength(name) + 1 >= TextBufferSize ||
      !CreateSubfolder(DestinationFolder, name)) {
    RefuseFolder(owner);
    return false;
  }
  AppendText(DestinationFolder, name, TextBufferSize);
  return true;
}

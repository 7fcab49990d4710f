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

bool TakeChosenFolder(WindowHandle owner, const char* path, char* destination) {
  if (TextLength(path) >= TextBufferSize) {
    RefuseFolder(owner);
    return false;
  }
  CopyText(destination, path, TextBufferSize);
  SetCurrentFolder(Utf8OfAnsi(destination));
  return true;
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

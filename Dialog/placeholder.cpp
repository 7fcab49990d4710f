// Until the dialogs exist: the destination the main dialog would propose is
// prepared, and the program ends.
#include "Dialog/dialog.h"
#include "Sfx/config.h"
#include "Sfx/state.h"
#include "support/paths.h"

void RunMainDialog(const char*) {
  if (HasDefaultDestination) CopyText(DestinationFolder, DefaultDestination, TextBufferSize);
  else CurrentFolder(DestinationFolder, TextBufferSize);
  ExpandPathMacros(DestinationFolder);
  OverwriteMode = OverwriteByDefault ? 0 : 2;
}

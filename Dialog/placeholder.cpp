// Until the main dialog lands: the destination the main dialog would propose
// is prepared and, in automatic mode (flag 0x40), the extraction is carried
// out as the main dialog's opening would: count pass, then extraction pass
// into that destination. There is no progress dialog; the driver's messages
// have no owner.
#include "Dialog/dialog.h"
#include "Sfx/config.h"
#include "Sfx/state.h"
#include "archive/driver.h"
#include "support/paths.h"

void RunMainDialog(const char*) {
  if (HasDefaultDestination) CopyText(DestinationFolder, DefaultDestination, TextBufferSize);
  else CurrentFolder(DestinationFolder, TextBufferSize);
  ExpandPathMacros(DestinationFolder);
  OverwriteMode = OverwriteByDefault ? 0 : 2;
  if (!AutoExtract) return;

  ExtractArchive(0, 1, 0);
  // The Extract command: the folder without one trailing "\", the current
  // directory when that leaves it empty.
  StripTrailingBackslash(DestinationFolder);
  if (DestinationFolder[0] == 0) CurrentFolder(DestinationFolder, TextBufferSize);
  ExtractArchive(0, 0, 0);
}

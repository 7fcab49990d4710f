// The program block: the whole life of the process. It reads the command
// line, opens its own executable (which carries the configuration block and
// the archive behind the 51,712 bytes of the stub), builds the CRC table,
// reads the configuration, runs the main dialog (or, silent, the extraction
// alone) and closes the archive again.
#include "Sfx/sfx.h"
#include "Sfx/config.h"
#include "Sfx/layout.h"
#include "Sfx/report.h"
#include "Sfx/state.h"
#include "Sfx/switches.h"
#include "SFXstrings/strings.h"
#include "archive/crc32.h"
#include "archive/zone.h"
#include "Dialog/dialog.h"
#include "Dialogsel/command.h"
#include "archive/driver.h"
#include "support/format.h"

// A silent run: the destination proposed, every file replaced (OverwriteMode
// keeps its start-up value, ReplaceWithoutAsking), the program run after a
// whole extraction; no window.
static void RunSilently() {
  ProposeDestination();
  ExtractArchive(0, ExtractPass);
  if (ExtractionSucceeded) RunAfterExtraction(0, 1);
}

// The end of the log: the exit code.
static int Ended(int code) {
  char digits[24];
  FormatUnsigned(static_cast<uint32_t>(code), digits);
  LogLine("exit code ", digits);  // written through: the process's end closes the log
  return code;
}

int RunProgram() {
  ArchiveStart = StubSize;
  OutputHandle = NoFile;
  if (!TakeCommandLine()) return ExitCode;
  if (OwnExecutablePath(OwnPath, OwnPathRoom) == 0) OwnPath[0] = 0;
  ArchiveHandle = OpenForReading(OwnPath);
  if (ArchiveHandle == NoFile) {
    ShowMessage(0, OwnPath, LoadMessage(MsgErrorReading).text, BoxIconError);
    return Ended(ExitUnreadable);
  }
  TakeZoneMark();

  CrcTable = static_cast<uint32_t*>(AllocateBlock(CrcTableBlock));
  if (CrcTable != 0) {
    BuildCrcTable();
    ReadConfigBlock();
    if (Silent) RunSilently();
    else RunMainDialog(LoadMessage(MsgMainTemplate).text);
  }

  // ArchiveHandle may by now be a later volume of a spanned archive.
  if (!CloseFile(ArchiveHandle))
    ShowMessage(0, LoadMessage(MsgCannotCloseFile).text, LoadMessage(MsgErrorCaption).text, BoxIconError);
  ArchiveHandle = NoFile;
  ReleaseBlock(CrcTable);
  CrcTable = 0;
  // A {temp} folder that was proposed but not used goes again.
  RemovePrivateTemp(true);
  return Ended(ProcessExitCode());
}

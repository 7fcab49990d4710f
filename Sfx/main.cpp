// The program block: the whole life of the process. It opens its own
// executable (which carries the configuration block and the archive behind the
// 51,712 bytes of the stub), builds the CRC table, reads the configuration,
// runs the main dialog and closes the archive again.
#include "Sfx/sfx.h"
#include "Sfx/config.h"
#include "Sfx/layout.h"
#include "Sfx/state.h"
#include "SFXstrings/strings.h"
#include "archive/crc32.h"
#include "archive/zone.h"
#include "Dialog/dialog.h"

int RunProgram() {
  ArchiveStart = StubSize;
  OutputHandle = NoFile;
  if (OwnExecutablePath(OwnPath, OwnPathRoom) == 0) OwnPath[0] = 0;
  ArchiveHandle = OpenForReading(OwnPath);
  if (ArchiveHandle == NoFile) {
    ShowMessage(0, OwnPath, LoadMessage(MsgErrorReading).text, BoxIconError);
    return ExitUnreadable;
  }
  TakeZoneMark();

  CrcTable = static_cast<uint32_t*>(AllocateBlock(CrcTableBlock));
  if (CrcTable != 0) {
    BuildCrcTable();
    ReadConfigBlock();
    RunMainDialog(LoadMessage(MsgMainTemplate).text);
  }

  // ArchiveHandle may by now be a later volume of a spanned archive.
  if (!CloseFile(ArchiveHandle))
    ShowMessage(0, LoadMessage(MsgCannotCloseFile).text, LoadMessage(MsgErrorCaption).text, BoxIconError);
  ArchiveHandle = NoFile;
  ReleaseBlock(CrcTable);
  CrcTable = 0;
  // A program waited for after the extraction hands on its own exit code;
  // one that ended with 0 leaves the deletion pass's (1 when files stayed).
  if (RunState == RunEnded && RunExitCode != 0) return static_cast<int>(RunExitCode);
  if (RunState == RunNotStarted) return ExitRunFailed;
  return ExitCode;
}

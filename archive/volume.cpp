// Spanned archives. The first volume is the self-extracting file itself;
// each further volume holds the next bytes of the archive from its offset 0,
// either as a split file beside the program (setup.z02, ..., setup.z10, ...)
// or as a removable disk labelled "PKBACK# " and the disk number that holds a
// file of the program's own name. A reader whose read comes up short in the
// middle of an entry asks ChangeVolume for the next one.
#include "archive/volume.h"
#include "SFXstrings/strings.h"
#include "Sfx/state.h"
#include "archive/prompts.h"
#include "support/format.h"
#include "support/paths.h"
#include <string.h>

// The disk number in the volume label of root, or 0 for any other label.
int32_t DiskNumberOfDrive(const char* root) {
  char label[256];
  if (!VolumeLabelOf(root, label, sizeof label)) label[0] = 0;
  label[sizeof label - 1] = 0;
  if (strstr(label, "PKBACK# ") == 0) return 0;
  const char* digits = label + 8;
  if (!AllDigits(digits)) return 0;
  int32_t n = 0;
  for (; *digits != 0; ++digits) n = n * 10 + (*digits - '0');
  return n;
}

// "<path> Cannot Find File", caption "Multi Volume".
static void ReportMissingVolume(const char* path) {
  Message text = LoadMessage(MsgCannotFindFile);
  char shown[static_cast<unsigned>(VolumePathRoom) + static_cast<unsigned>(MessageRoom)];
  CopyText(shown, path, sizeof shown);
  AppendText(shown, text.text, sizeof shown);
  ShowMessage(ProgressWindow, shown, LoadMessage(MsgMultiVolume).text, BoxOk | BoxIconError);
}

bool OwnDriveRemovable() {
  char root[4] = {OwnPath[0], ':', '\\', 0};
  return DriveTypeOf(root) == DriveRemovable;
}

bool ChangeVolume(int32_t n, uint32_t* lengthLeft) {
  if (lengthLeft != 0) *lengthLeft = 0;
  char root[4] = {OwnPath[0], ':', '\\', 0};
  bool removable = OwnDriveRemovable();

  char number[16];
  FormatSigned(n, number);
  char candidate[VolumePathRoom];
  if (n >= 2) {
    char extension[16];
    VolumeExtension(n, extension);
    ReplaceExtension(OwnPath, extension, candidate, sizeof candidate);
  } else {
    CopyText(candidate, OwnPath, sizeof candidate);
  }

  for (;;) {
    // On a removable drive the program's own name is on every disk, so the
    // first volume is told by its label (or by having no disk label).
    bool byLabelOnly = removable && n <= 1;
    if (!byLabelOnly && PathExists(candidate)) break;
    if (!removable) {
      ReportMissingVolume(candidate);
      return false;
    }
    int32_t disk = DiskNumberOfDrive(root);
    if (disk == n || (byLabelOnly && disk == 0)) {
      CopyText(candidate, OwnPath, sizeof candidate);
      break;
    }
    Message prompt = LoadMessage(MsgInsertDisk);
    AppendText(prompt.text, number, MessageRoom);
    AppendText(prompt.text, LoadMessage(MsgInsertDiskTail).text, MessageRoom);
    if (!AskForDisk(prompt.text)) return false;
  }

  // A volume that is there but cannot be opened is as good as missing; the
  // volume in hand stays open then.
  FileHandle next = OpenForReading(candidate);
  if (next == NoFile) {
    ReportMissingVolume(candidate);
    return false;
  }
  if (ArchiveHandle != NoFile) {
    uint32_t left = VolumeLength();
    if (lengthLeft != 0) *lengthLeft = left;
    CloseFile(ArchiveHandle);
  }
  ArchiveHandle = next;
  ArchivePosition = 0;
  CurrentVolume = n;
  return true;
}

uint32_t VolumeLength() {
  bool failed = false;
  return SetFilePosition(ArchiveHandle, 0, SeekFromEnd, &failed);
}

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

// True when every character is a decimal digit; true for the empty text.
bool AllDigits(const char* text) {
  for (; *text != 0; ++text)
    if (*text < '0' || *text > '9') return false;
  return true;
}

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

// path with the text after its last "." replaced by extension (which starts
// with "."); appended when the last ".", "\" or ":" is not a ".".
void ReplaceExtension(const char* path, const char* extension, char* result) {
  unsigned cut = TextLength(path);
  for (unsigned i = cut; i > 0; --i) {
    char c = path[i - 1];
    if (c == '.' || c == '\\' || c == ':') {
      if (c == '.') cut = i - 1;
      break;
    }
  }
  if (cut >= VolumePathRoom) cut = VolumePathRoom - 1;
  memcpy(result, path, cut);
  result[cut] = 0;
  AppendText(result, extension, VolumePathRoom);
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

bool ChangeVolume(int32_t n) {
  char root[4] = {OwnPath[0], ':', '\\', 0};
  bool removable = OwnDriveRemovable();

  char number[16];
  FormatSigned(n, number);
  char candidate[VolumePathRoom];
  if (n >= 2) {
    char extension[20] = ".z";
    if (n < 10) AppendText(extension, "0", sizeof extension);
    AppendText(extension, number, sizeof extension);
    ReplaceExtension(OwnPath, extension, candidate);
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
  // The next header is then sought in the new volume's file: lower the
  // current header's position by the length of the volume left behind.
  if (ArchiveHandle != NoFile) {
    HeaderStart -= VolumeLength();
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

uint32_t ReadAcrossVolumes(void* buffer, uint32_t count) {
  uint8_t* bytes = static_cast<uint8_t*>(buffer);
  uint32_t got = ReadFromFile(ArchiveHandle, bytes, count);
  while (got < count && ArchiveSpanned && !VolumeChangeFailed) {
    if (!ChangeVolume(CurrentVolume + 1)) {
      VolumeChangeFailed = 1;
      break;
    }
    uint32_t more = ReadFromFile(ArchiveHandle, bytes + got, count - got);
    if (more == 0) break;  // an empty volume: the archive is damaged
    got += more;
  }
  return got;
}

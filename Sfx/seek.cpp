// SeekArchive, the one way every module moves in the archive file.
#include "Sfx/sfx.h"
#include "Sfx/state.h"

int SeekArchive(int32_t distance, int method) {
  bool failed = false;
  ArchivePosition = SetFilePosition(ArchiveHandle, distance, method, &failed);
  return (ArchivePosition == 0xFFFFFFFFu && failed) ? -1 : 0;
}

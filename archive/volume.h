// Spanned archives: finding and opening the next volume.
#pragma once
#include <stdint.h>
#include "Sfx/state.h"

enum { VolumePathRoom = OwnPathRoom + 16 };  // a program path and a volume extension

// Makes ArchiveHandle read volume n from its start; false when the user
// cancelled, or the volume's file is missing on a drive that is not removable
// or cannot be opened (reported; the volume in hand stays open). Volume 1 on
// a removable drive is the disk labelled 1 or without a disk label. When a
// volume was left behind, its length goes to lengthLeft (if given; else 0),
// so that a reader can move positions it keeps in the old volume's terms.
bool ChangeVolume(int32_t n, uint32_t* lengthLeft);

// The drive of the program's own path is removable (GetDriveTypeA).
bool OwnDriveRemovable();

// The length of the volume in hand (moves its file position to the end).
uint32_t VolumeLength();

// The disk number in the volume label of a drive root ("PKBACK# " and
// digits), 0 for any other label or none.
int32_t DiskNumberOfDrive(const char* root);

// Spanned archives: finding and opening the next volume.
#pragma once
#include <stdint.h>
#include "Sfx/state.h"

enum { VolumePathRoom = ConfigTextSize + 16 };  // a program path and a volume extension

// Makes ArchiveHandle read volume n from its start; false when the user
// cancelled, or the volume's file is missing on a drive that is not removable
// or cannot be opened (reported; the volume in hand stays open). Volume 1 on
// a removable drive is the disk labelled 1 or without a disk label.
bool ChangeVolume(int32_t n);

// The drive of the program's own path is removable (GetDriveTypeA).
bool OwnDriveRemovable();

// The length of the volume in hand (moves its file position to the end).
uint32_t VolumeLength();

// Reads count bytes at the current position; in a spanned archive the bytes
// that the volume lacks come from the start of the next one. Returns the
// bytes read; fewer when no further volume can be had (VolumeChangeFailed is
// then set) or the archive ends.
uint32_t ReadAcrossVolumes(void* buffer, uint32_t count);

// The disk number in the volume label of a drive root ("PKBACK# " and
// digits), 0 for any other label or none.
int32_t DiskNumberOfDrive(const char* root);
// path with its extension (after the last ".", if that comes after the last
// "\" and ":") replaced by extension; result holds VolumePathRoom bytes.
void ReplaceExtension(const char* path, const char* extension, char* result);
bool AllDigits(const char* text);

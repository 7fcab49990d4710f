// Spanned archives: finding and opening the next volume.
#pragma once
#include <stdint.h>
#include "Sfx/state.h"

enum { VolumePathRoom = ConfigTextSize + 16 };  // a program path and a volume extension

// Makes ArchiveHandle read volume n from its start; false when the user
// cancelled or the volume's file is missing on a drive that is not removable.
bool ChangeVolume(int32_t n);

// The disk number in the volume label of a drive root ("PKBACK# " and
// digits), 0 for any other label or none.
int32_t DiskNumberOfDrive(const char* root);
// path with its extension (after the last ".", if that comes after the last
// "\" and ":") replaced by extension; result holds VolumePathRoom bytes.
void ReplaceExtension(const char* path, const char* extension, char* result);
bool AllDigits(const char* text);

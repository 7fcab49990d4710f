// Spanned archives: finding and opening the next volume.
#pragma once
#include <stdint.h>

// Makes ArchiveHandle read volume n from its start; false when it cannot be had.
bool ChangeVolume(int32_t n);

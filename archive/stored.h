// Copy of stored entries, and file times.
#pragma once
#include <stdint.h>
#include "platform/platform.h"

// Copies the current stored entry's EntryRemaining bytes through the two ends
// of its data (SFXinflt/inflate.h); false when its buffer could not be
// allocated (nothing copied).
bool CopyStoredEntry();
void SetFileTimeFromDos(FileHandle file, uint32_t dosDateTime);

// Copy of stored entries, progress accounting, and file times.
#pragma once
#include <stdint.h>
#include "platform/platform.h"

void CopyStoredEntry();
void AddProgress(int32_t count);
int32_t ProgressPercent(uint32_t done, uint32_t total);
void SetFileTimeFromDos(FileHandle file, uint32_t dosDateTime);

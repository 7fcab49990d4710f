// The extraction driver: the count, extraction and deletion passes over the
// archive, with the password and overwrite decisions and the summary.
#pragma once
#include <stdint.h>
#include "platform/platform.h"

void ExtractArchive(WindowHandle owner, uint8_t countOnly, uint8_t deleteOnly);

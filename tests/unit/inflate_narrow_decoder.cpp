// The decoder built a second time for the host tests, in namespace narrow,
// with the stub's 32-bit bit buffer: its fast loop fills the buffer more
// often, takes fewer literals per fill and copies matches in 4-byte words,
// paths that the host's own 64-bit build never runs. Everything outside the
// decoder (its two ends, the platform, the program state) stays shared.
#include <stddef.h>
#include <stdint.h>
#include <string.h>
#include "SFXinflt/inflate.h"
#include "Sfx/state.h"
#include "platform/platform.h"

#define INFLATE_BIT_WORD uint32_t
namespace narrow {
#include "SFXinflt/decoder.h"
#include "SFXinflt/input.cpp"
#include "SFXinflt/tables.cpp"
#include "SFXinflt/blocks.cpp"
#include "SFXinflt/careful.cpp"
#include "SFXinflt/codes.cpp"
}  // namespace narrow

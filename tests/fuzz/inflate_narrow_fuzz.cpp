// The Inflate fuzz target (inflate_fuzz.cpp) over the decoder as the stub
// builds it, with a 32-bit bit buffer (INFLATE_BIT_WORD uint32_t, the same
// source: tests/unit/inflate_narrow_decoder.cpp), against zlib under the
// address and undefined-behaviour sanitizers. The stub is i686; the host's
// own build never runs these paths.
#define KORVI_FUZZ_NARROW
#include "tests/fuzz/inflate_fuzz.cpp"

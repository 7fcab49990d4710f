// The benchmark's memory archive (see bench_platform.cpp).
#pragma once
#include <stdint.h>

namespace bench {
extern const uint8_t* Input;  // the bytes ReadFromFile delivers
extern uint32_t InputSize;
extern uint32_t InputAt;
extern uint64_t Written;      // bytes the discarding sink took
}  // namespace bench

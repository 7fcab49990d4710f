// CRC-32 (reflected polynomial 0xEDB88320) over bytes and buffers, with the
// table in CrcTable that start-up builds.
#pragma once
#include <stdint.h>
#include "Sfx/state.h"

// The block that start-up allocates for the table: room for 257 entries of
// 4 bytes; 256 are used.
enum : uint32_t { CrcTableBlock = 1028 };

void BuildCrcTable();   // fills CrcTable by the bitwise rule, and the slices

// One byte's step; the encryption keys advance by it too.
inline uint32_t UpdateCrc(uint8_t byte, uint32_t reg) { return CrcTable[(reg ^ byte) & 0xFF] ^ (reg >> 8); }
// Runs the CRC over count bytes into *reg; nothing for a count of 0 or less.
void CrcOverBuffer(const uint8_t* bytes, int32_t count, uint32_t* reg);

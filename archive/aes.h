// AES (FIPS-197) in the encryption direction only, for keys of 128, 192 and
// 256 bits: the one key the program holds at a time, its expansion and the
// encryption of one block or four. Counter mode needs nothing more.
#pragma once
#include <stdint.h>

enum : uint32_t {
  AesBlockSize = 16,
  AesMaxRounds = 14,
  AesMaxKeyWords = 4 * (AesMaxRounds + 1),
};

// The expanded key: word i of the schedule holds its four bytes in memory
// order (the first in the low bits), so the schedule lies in memory as the
// bytes of the round keys, as the processor's AES instructions take them.
extern uint32_t AesRoundKeys[AesMaxKeyWords];
extern uint32_t AesRounds;  // 10, 12 or 14
// Set by BuildAesTables when the processor has AES instructions; tests
// clear it to run the table method.
extern uint8_t AesHardware;

// Builds the S-box and the round table and asks the processor for its AES
// instructions. SetAesKey does it on its first call.
void BuildAesTables();
// Expands a key of 16, 24 or 32 bytes into AesRoundKeys.
void SetAesKey(const uint8_t* key, uint32_t keyBytes);
// Encrypts one block with the key set last; in and out may be the same.
void EncryptAesBlock(const uint8_t* in, uint8_t* out);
// The same for four blocks in a row, faster than four calls of the above
// with the processor's instructions.
void EncryptFourAesBlocks(const uint8_t* in, uint8_t* out);

// SHA-1 (FIPS 180-4) fed in pieces of any length, HMAC-SHA1 (RFC 2104) on
// top of it, and PBKDF2 with HMAC-SHA1 (RFC 2898), which derives the keys of
// the WinZip AES encryption from the password.
#pragma once
#include <stdint.h>

enum : uint32_t {
  Sha1BlockSize = 64,
  Sha1DigestSize = 20,
};

// Set by CheckSha1Hardware when the processor has SHA instructions (and
// SSSE3); until then, or where it has none, the compression is our own.
// Tests clear it to run our own.
extern uint8_t Sha1Hardware;
void CheckSha1Hardware();

struct Sha1State {
  uint32_t hash[5];
  uint64_t length;               // bytes added so far
  uint8_t block[Sha1BlockSize];  // the part of a block not yet compressed
};

void StartSha1(Sha1State* state);
void AddToSha1(Sha1State* state, const uint8_t* bytes, uint32_t count);
// Pads, compresses the last block and writes the digest; the state is then
// spent.
void FinishSha1(Sha1State* state, uint8_t* digest);

// HMAC-SHA1: the inner hash, already fed the key padded with 0x36, and the
// outer one fed the key padded with 0x5C. A copy of a keyed state starts
// another message with the same key.
struct HmacSha1State {
  Sha1State inner, outer;
};

void StartHmacSha1(HmacSha1State* state, const uint8_t* key, uint32_t keyLength);
inline void AddToHmacSha1(HmacSha1State* state, const uint8_t* bytes, uint32_t count) {
  AddToSha1(&state->inner, bytes, count);
}
void FinishHmacSha1(HmacSha1State* state, uint8_t* mac);  // 20 bytes

// PBKDF2-HMAC-SHA1: outLength bytes derived from the password and salt.
void DerivePbkdf2Sha1(const uint8_t* password, uint32_t passwordLength, const uint8_t* salt, uint32_t saltLength,
                      uint32_t iterations, uint8_t* out, uint32_t outLength);

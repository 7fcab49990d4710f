// WinZip AES entries (see winzip_aes.h). PBKDF2-HMAC-SHA1 over the password
// and salt gives the AES key, the key of the authentication code and the
// password verifier, in that order. The data is AES in counter mode: the
// keystream is the encryption of a 16-byte little-endian counter that starts
// at 1, so a piece may end anywhere within a block and the next one goes on
// with the rest of that block's keystream. The code is HMAC-SHA1 over the
// encrypted data.
#include "archive/winzip_aes.h"
#include "archive/aes.h"
#include "archive/extra.h"
#include "archive/sha1.h"
#include "archive/zip_format.h"
#include <string.h>

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the counter is stored as a little-endian word");

// The keystream is made four blocks at a time, which the processor's AES
// instructions encrypt side by side. The counter of the last block made is
// 32 bits: without Zip64 an entry has fewer than 2^32 blocks, and the bytes
// above stay zero, as the 128-bit counter's would.
enum : uint32_t { KeystreamSize = 4 * AesBlockSize };

static HmacSha1State CodeHash;
static uint32_t Counter;
static uint8_t CounterBlocks[KeystreamSize];  // only the first 4 bytes of each are ever set
static uint8_t Keystream[KeystreamSize];
static uint32_t KeystreamUsed;  // bytes of Keystream already applied
static uint8_t ProcessorAsked;  // for its SHA instructions, on the first entry

bool FindAesExtra(const uint8_t* extra, uint32_t length, AesEntryInfo* info) {
  const uint8_t* field;
  uint32_t size;
  if (!FindExtraField(extra, length, ExtraIdAes, &field, &size) || size != AesExtraSize) return false;
  uint32_t version = Le16(field), strength = field[4];
  if (version - 1 > 1 || Le16(field + 2) != AesVendorId || strength - 1 > 2) return false;
  info->version = static_cast<uint16_t>(version);
  info->strength = static_cast<uint8_t>(strength);
  info->method = static_cast<uint16_t>(Le16(field + 5));
  return true;
}

uint32_t SetAesEntryKeys(uint32_t strength, const uint8_t* salt, const char* password, uint32_t passwordLength) {
  uint8_t keys[2 * AesMaxKeySize + AesVerifierSize];
  uint32_t keySize = AesKeySize(strength);
  if (!ProcessorAsked) {
    CheckSha1Hardware();
    ProcessorAsked = 1;
  }
  DerivePbkdf2Sha1(reinterpret_cast<const uint8_t*>(password), passwordLength, salt, AesSaltSize(strength),
                   AesKeyIterations, keys, 2 * keySize + AesVerifierSize);
  SetAesKey(keys, keySize);
  StartHmacSha1(&CodeHash, keys + keySize, keySize);
  Counter = 0;
  KeystreamUsed = KeystreamSize;
  return Le16(keys + 2 * keySize);
}

// The keystream of the next four counter values.
static void NextKeystream() {
  for (uint32_t at = 0; at < KeystreamSize; at += AesBlockSize) {
    ++Counter;
    // The counter is little-endian, as this processor's words are.
    memcpy(CounterBlocks + at, &Counter, 4);
  }
  EncryptFourAesBlocks(CounterBlocks, Keystream);
}

static void ApplyKeystream(uint8_t* bytes, uint32_t count) {
  // The count of keystream bytes used is kept in a register over the loop.
  uint32_t used = KeystreamUsed;
  while (count != 0) {
    if (used == KeystreamSize) {
      NextKeystream();
      used = 0;
    }
    if (used == 0 && count >= KeystreamSize) {
      // A whole keystream at once, a word at a time.
      for (uint32_t i = 0; i < KeystreamSize; i += 4) {
        uint32_t word, key;
        memcpy(&word, bytes + i, 4);
        memcpy(&key, Keystream + i, 4);
        word ^= key;
        memcpy(bytes + i, &word, 4);
      }
      bytes += KeystreamSize;
      count -= KeystreamSize;
      used = KeystreamSize;
    } else {
      *bytes++ ^= Keystream[used++];
      --count;
    }
  }
  KeystreamUsed = used;
}

void AesDecryptBuffer(uint8_t* bytes, uint32_t count) {
  AddToHmacSha1(&CodeHash, bytes, count);
  ApplyKeystream(bytes, count);
}

void AesEncryptBuffer(uint8_t* bytes, uint32_t count) {
  ApplyKeystream(bytes, count);
  AddToHmacSha1(&CodeHash, bytes, count);
}

void FinishAesCode(uint8_t* code) {
  uint8_t mac[Sha1DigestSize];
  FinishHmacSha1(&CodeHash, mac);
  memcpy(code, mac, AesCodeSize);
}

bool AesAuthenticCode(const uint8_t* code) {
  uint8_t mac[Sha1DigestSize];
  FinishHmacSha1(&CodeHash, mac);
  return memcmp(mac, code, AesCodeSize) == 0;
}

// WinZip AES entries (see winzip_aes.h). PBKDF2-HMAC-SHA1 over the password
// and salt gives the AES key, the key of the authentication code and the
// password verifier, in that order. The data is AES in counter mode: the
// keystream is the encryption of a 16-byte little-endian counter that starts
// at 1, so a piece may end anywhere within a block and the next one goes on
// with the rest of that block's keystream. The code is HMAC-SHA1 over the
// encrypted data.
#include "archive/winzip_aes.h"
#include "archive/aes.h"
#include "archive/sha1.h"
#include "archive/zip_format.h"
#include <string.h>

static HmacSha1State CodeHash;
static uint8_t Counter[AesBlockSize];
static uint8_t Keystream[AesBlockSize];
static uint32_t KeystreamUsed;  // bytes of Keystream already applied

static inline uint32_t LoadLittle16(const uint8_t* p) { return p[0] | static_cast<uint32_t>(p[1]) << 8; }

bool FindAesExtra(const uint8_t* extra, uint32_t length, AesEntryInfo* info) {
  while (length >= 4) {
    uint32_t id = LoadLittle16(extra), size = LoadLittle16(extra + 2);
    extra += 4;
    length -= 4;
    if (size > length) return false;
    if (id == ExtraIdAes) {
      uint32_t version = LoadLittle16(extra), strength = extra[4];
      if (size != AesExtraSize || version - 1 > 1 || LoadLittle16(extra + 2) != AesVendorId || strength - 1 > 2)
        return false;
      info->version = static_cast<uint16_t>(version);
      info->strength = static_cast<uint8_t>(strength);
      info->method = static_cast<uint16_t>(LoadLittle16(extra + 5));
      return true;
    }
    extra += size;
    length -= size;
  }
  return false;
}

uint32_t SetAesEntryKeys(uint32_t strength, const uint8_t* salt, const char* password, uint32_t passwordLength) {
  uint8_t keys[2 * AesMaxKeySize + AesVerifierSize];
  uint32_t keySize = AesKeySize(strength);
  DerivePbkdf2Sha1(reinterpret_cast<const uint8_t*>(password), passwordLength, salt, AesSaltSize(strength),
                   AesKeyIterations, keys, 2 * keySize + AesVerifierSize);
  SetAesKey(keys, keySize);
  StartHmacSha1(&CodeHash, keys + keySize, keySize);
  memset(Counter, 0, sizeof Counter);
  KeystreamUsed = AesBlockSize;
  return LoadLittle16(keys + 2 * keySize);
}

static void ApplyKeystream(uint8_t* bytes, uint32_t count) {
  // The count of keystream bytes used is kept in a register over the loop.
  uint32_t used = KeystreamUsed;
  for (uint32_t i = 0; i < count; ++i) {
    if (used == AesBlockSize) {
      for (uint32_t k = 0; k < AesBlockSize && ++Counter[k] == 0; ++k) {
      }
      EncryptAesBlock(Counter, Keystream);
      used = 0;
    }
    bytes[i] ^= Keystream[used++];
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
  uint8_t mac[AesCodeSize];
  FinishAesCode(mac);
  return memcmp(mac, code, AesCodeSize) == 0;
}

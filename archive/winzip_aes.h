// WinZip AES entries (AE-1 and AE-2): the extra field that describes one, the
// keys derived from the password, and the data decrypted (or, for the maker
// tool, encrypted) in pieces with the authentication code running over it.
// One entry at a time: the keys, the counter and the code's hash are
// program-wide state of this file, set anew by each BeginAesEntry.
//
// The caller's order for one entry of method MethodAes:
//   1. FindAesExtra on the local header's extra field: the strength, the
//      version and the real method (stored or Deflate).
//   2. Read the salt (AesSaltSize(strength) bytes) and the verifier
//      (AesVerifierSize) from the start of the entry's data, and call
//      BeginAesEntry with the password; false means a wrong password.
//   3. Hand the encrypted data, compressed size less AesOverhead(strength)
//      bytes, to AesDecryptBuffer in pieces of any length.
//   4. Read the last AesCodeSize bytes of the entry's data and check them
//      with AesAuthenticCode. For AE-1 the CRC is checked as well.
#pragma once
#include <stdint.h>

struct AesEntryInfo {
  uint16_t version;  // AesVersionAe1 or AesVersionAe2
  uint8_t strength;  // 1, 2 or 3
  uint16_t method;   // the real compression method
};

// Looks for the AES field among the extra fields; false when there is none,
// when it is malformed (wrong size, version, vendor or strength) or when a
// field before it runs past the end.
bool FindAesExtra(const uint8_t* extra, uint32_t length, AesEntryInfo* info);

// Derives the entry's keys for a strength of 1 to 3 from the password and
// salt (PBKDF2-HMAC-SHA1) and returns the password verifier that goes with
// them, its first byte in the low bits.
uint32_t SetAesEntryKeys(uint32_t strength, const uint8_t* salt, const char* password, uint32_t passwordLength);

// SetAesEntryKeys, then the check of the verifier read from the entry. On
// false the state is not usable for the entry.
inline bool BeginAesEntry(uint32_t strength, const uint8_t* salt, const uint8_t* verifier, const char* password,
                          uint32_t passwordLength) {
  return strength - 1 <= 2 && SetAesEntryKeys(strength, salt, password, passwordLength) ==
                                  (verifier[0] | static_cast<uint32_t>(verifier[1]) << 8);
}
// Decrypts count bytes in place, the code's hash taking them as they were.
void AesDecryptBuffer(uint8_t* bytes, uint32_t count);
// Finishes the code's hash and compares the code found after the data.
bool AesAuthenticCode(const uint8_t* code);

// The maker's side, after SetAesEntryKeys: AesEncryptBuffer encrypts in place
// and hashes what it wrote; FinishAesCode writes the AesCodeSize-byte code.
void AesEncryptBuffer(uint8_t* bytes, uint32_t count);
void FinishAesCode(uint8_t* code);

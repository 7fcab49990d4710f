// Encrypted input for the readers' tests: the payload sealed by the test ZIP
// builder's own encryption, and the program's keys set as a passed password
// check leaves them, so that the bytes returned (the data after the 12-byte
// encryption header) are what the readers decrypt next.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "archive/crypt.h"
#include "archive/zip_format.h"
#include "tests/support/zip_builder.h"

inline std::vector<uint8_t> SealedWithKeysReady(const std::string& password, const std::vector<uint8_t>& payload) {
  std::vector<uint8_t> sealed = ZipEncrypt(password, 0, payload);
  CheckPassword(sealed.data(), 0, password.c_str(), 0, 0);
  return std::vector<uint8_t>(sealed.begin() + EncryptionHeaderSize, sealed.end());
}

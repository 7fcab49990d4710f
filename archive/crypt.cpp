// The traditional PKWARE encryption of the ZIP format. The keys follow the
// ZIP application note: three 32-bit keys seeded with fixed constants and
// advanced by every plain byte (through the CRC-32 step); the keystream byte
// comes from the low half of Key2.
#include "archive/crypt.h"
#include "archive/crc32.h"
#include "archive/zip_format.h"

uint32_t Key0, Key1, Key2;

void UpdateKeys(uint8_t plain) {
  Key0 = UpdateCrc(plain, Key0);
  Key1 = (Key1 + (Key0 & 0xFF)) * 134775813u + 1;
  Key2 = UpdateCrc(static_cast<uint8_t>(Key1 >> 24), Key2);
}

uint8_t DecryptByte() {
  uint16_t t = static_cast<uint16_t>((Key2 & 0xFFFF) | 2);
  return static_cast<uint8_t>((static_cast<uint32_t>(t) * (t ^ 1)) >> 8);
}

void InitKeys(const char* password) {
  Key0 = 0x12345678u;
  Key1 = 0x23456789u;
  Key2 = 0x34567890u;
  for (; *password != 0; ++password) UpdateKeys(static_cast<uint8_t>(*password));
}

void DecryptBuffer(uint8_t* bytes, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    uint8_t plain = bytes[i] ^ DecryptByte();
    UpdateKeys(plain);
    bytes[i] = plain;
  }
}

bool CheckPassword(const uint8_t* header, uint16_t flags, const char* password, uint32_t dosDateTime,
                   uint32_t crc) {
  if (password[0] == 0) return false;
  InitKeys(password);
  uint8_t plain = 0;
  for (uint32_t i = 0; i < EncryptionHeaderSize; ++i) {
    plain = header[i] ^ DecryptByte();
    UpdateKeys(plain);
  }
  // The last plain byte checks the password: the time's high byte when the
  // CRC follows the data, else the CRC's high byte.
  if (flags & FlagDescriptor) return plain == static_cast<uint8_t>(dosDateTime >> 8);
  return plain == static_cast<uint8_t>(crc >> 24);
}

// Traditional encryption for writing (zipcrypto.h), as the ZIP application
// note describes it: keys seeded with fixed values, advanced by each plain
// byte through the CRC-32 step.
#ifdef _WIN32
#define _CRT_RAND_S  // rand_s, before anything includes <stdlib.h>
#endif
#include "tools/mksfx/zipcrypto.h"
#include <zlib.h>
#include "tools/mksfx/common.h"
#ifdef _WIN32
#include <stdlib.h>
#else
#include <fstream>
#endif

namespace mksfx {

namespace {
uint32_t CrcStep(uint32_t reg, uint8_t byte) {
  static const z_crc_t* table = get_crc_table();
  return table[(reg ^ byte) & 0xFF] ^ (reg >> 8);
}
}  // namespace

ZipCrypto::ZipCrypto(const std::string& password) : password_(password) {}

void ZipCrypto::Update(uint8_t plain) {
  key0_ = CrcStep(key0_, plain);
  key1_ = (key1_ + (key0_ & 0xFF)) * 134775813u + 1;
  key2_ = CrcStep(key2_, static_cast<uint8_t>(key1_ >> 24));
}

uint8_t ZipCrypto::StreamByte() const {
  uint16_t t = static_cast<uint16_t>((key2_ & 0xFFFF) | 2);
  return static_cast<uint8_t>((static_cast<uint32_t>(t) * (t ^ 1)) >> 8);
}

std::string ZipCrypto::Header(uint8_t check) {
  key0_ = 0x12345678u;
  key1_ = 0x23456789u;
  key2_ = 0x34567890u;
  for (unsigned char c : password_) Update(c);
  std::string header = RandomBytes(11);
  header += static_cast<char>(check);
  Encrypt(header);
  return header;
}

void ZipCrypto::Encrypt(char* bytes, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    uint8_t plain = static_cast<uint8_t>(bytes[i]);
    bytes[i] = static_cast<char>(plain ^ StreamByte());
    Update(plain);
  }
}

std::string RandomBytes(size_t count) {
  std::string bytes(count, '\0');
#ifdef _WIN32
  for (char& c : bytes) {
    unsigned int r = 0;
    if (rand_s(&r) != 0) throw Failure("the system gave no random numbers");
    c = static_cast<char>(r);
  }
#else
  std::ifstream in("/dev/urandom", std::ios::binary);
  if (!in.read(bytes.data(), static_cast<std::streamsize>(count))) throw Failure("cannot read /dev/urandom");
#endif
  return bytes;
}

}  // namespace mksfx

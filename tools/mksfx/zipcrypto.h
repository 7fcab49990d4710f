// Traditional PKWARE encryption for writing: the 12-byte header of random
// bytes whose last byte is the high byte of the entry's CRC, then the data.
// Its own implementation, apart from the stub's decryption (archive/crypt),
// so that reading back checks one against the other.
#pragma once
#include <cstdint>
#include <string>

namespace mksfx {

class ZipCrypto {
 public:
  explicit ZipCrypto(const std::string& password);
  // The encrypted 12-byte header for an entry with this check byte; the keys
  // then stand ready for the entry's data.
  std::string Header(uint8_t check);
  void Encrypt(std::string& bytes) { Encrypt(bytes.data(), bytes.size()); }
  // Encrypts in place, going on from the bytes before.
  void Encrypt(char* bytes, size_t count);

 private:
  void Update(uint8_t plain);
  uint8_t StreamByte() const;
  uint32_t key0_, key1_, key2_;
  std::string password_;
};

// count bytes from the system's source of random numbers.
std::string RandomBytes(size_t count);

}  // namespace mksfx

// The encryption of one entry's packed data as mksfx writes it: WinZip AES
// with 256-bit keys (AE-2, the form 7-Zip and WinZip write) unless the
// traditional PKWARE encryption is asked for. One entry at a time: the AES
// keys are program-wide state of the core's archive/winzip_aes.cpp, the very
// code the stub decrypts with.
#pragma once
#include <cstdint>
#include <string>
#include "tools/mksfx/writer.h"
#include "tools/mksfx/zipcrypto.h"

namespace mksfx {

enum class Cipher { Aes256, Traditional };

class EntrySeal {
 public:
  // Marks e as encrypted by cipher: flags, and for AES the method (99, the
  // real one in its extra field), the extra field and a CRC of 0. e's method
  // and CRC must be those of the packed data already. password is UTF-8
  // (StubPassword); the keys come from its bytes as the stub takes them.
  EntrySeal(Cipher cipher, const std::string& password, EntryRecord& e);
  // What goes before the data: the 12-byte header, or the salt and verifier.
  std::string Header();
  // Encrypts the next piece of the packed data in place.
  void Encrypt(std::string& bytes);
  // What goes after the data: AES's authentication code, or nothing.
  std::string Trailer();
  // The bytes the encryption adds to the packed size.
  static uint32_t Overhead(Cipher cipher);

 private:
  Cipher cipher_;
  std::string password_;
  uint8_t check_;
  ZipCrypto crypto_;
};

}  // namespace mksfx

// One entry's encryption as mksfx writes it (seal.h).
#include "tools/mksfx/seal.h"
#include "archive/winzip_aes.h"
#include "archive/zip_format.h"
#include "tools/mksfx/password.h"

namespace mksfx {

namespace {
enum : uint32_t { Strength = 3 };  // 256-bit keys

void Put16(std::string& s, uint32_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>((v >> 8) & 0xFF);
}
}  // namespace

EntrySeal::EntrySeal(Cipher cipher, const std::string& password, EntryRecord& e)
    : cipher_(cipher),
      password_(KeyBytes(password, cipher == Cipher::Traditional)),
      check_(static_cast<uint8_t>(e.crc >> 24)),
      crypto_(password_) {
  e.flags |= FlagEncrypted;
  if (cipher_ != Cipher::Aes256) return;
  std::string field;
  Put16(field, ExtraIdAes);
  Put16(field, AesExtraSize);
  Put16(field, AesVersionAe2);
  Put16(field, AesVendorId);
  field += static_cast<char>(Strength);
  Put16(field, e.method);
  e.extra = field + e.extra;
  e.method = MethodAes;
  e.crc = 0;  // AE-2: the authentication code stands for the CRC
}

std::string EntrySeal::Header() {
  if (cipher_ == Cipher::Traditional) return crypto_.Header(check_);
  // A fresh salt from the system's source for every entry: one salt is
  // never used twice with one password.
  std::string salt = RandomBytes(AesSaltSize(Strength));
  uint32_t verifier = SetAesEntryKeys(Strength, reinterpret_cast<const uint8_t*>(salt.data()), password_.c_str(),
                                      static_cast<uint32_t>(password_.size()));
  Put16(salt, verifier);
  return salt;
}

void EntrySeal::Encrypt(std::string& bytes) {
  if (cipher_ == Cipher::Traditional) crypto_.Encrypt(bytes);
  else if (!bytes.empty()) AesEncryptBuffer(reinterpret_cast<uint8_t*>(bytes.data()), static_cast<uint32_t>(bytes.size()));
}

std::string EntrySeal::Trailer() {
  if (cipher_ == Cipher::Traditional) return std::string();
  std::string code(AesCodeSize, '\0');
  FinishAesCode(reinterpret_cast<uint8_t*>(code.data()));
  return code;
}

uint32_t EntrySeal::Overhead(Cipher cipher) {
  return cipher == Cipher::Traditional ? static_cast<uint32_t>(EncryptionHeaderSize) : AesOverhead(Strength);
}

}  // namespace mksfx

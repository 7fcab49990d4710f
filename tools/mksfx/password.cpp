// The password's way from the user to the keys (password.h).
#include "tools/mksfx/password.h"
#include "Sfx/state.h"
#include "support/utf8.h"
#include "tools/mksfx/common.h"

namespace mksfx {

namespace {
// The longest AES password 7-Zip takes, in bytes.
constexpr size_t SevenZipAesPassword = 99;
}  // namespace

std::string StubPassword(const std::string& given) {
  std::string text = IsUtf8(given) ? given : FromWindows1252(given);
  if (Utf16Units(text.data(), text.data() + text.size()) > PasswordCharacters)
    throw UsageError("the password is longer than the " + Grouped(PasswordCharacters) +
                     " characters the stub's password field takes");
  return text;
}

std::string CheckSealingPassword(const std::string& password, bool traditional) {
  if (password.empty()) throw UsageError("the password is empty");
  for (unsigned char c : password)
    if (c < 0x20) throw UsageError("the password holds a control character");
  std::string bytes;
  if (traditional && !ToWindows1252(password, bytes))
    throw UsageError("the password has a character outside Windows-1252, which the traditional encryption "
                     "takes its bytes from (without --zipcrypto, AES takes any)");
  if (!traditional && password.size() > SevenZipAesPassword)
    return "the password is longer than " + std::to_string(SevenZipAesPassword) +
           " bytes in UTF-8: the stub opens the program, 7-Zip does not";
  return "";
}

std::string KeyBytes(const std::string& password, bool traditional) {
  std::string bytes;
  if (!traditional || !ToWindows1252(password, bytes)) return password;
  return bytes;
}

}  // namespace mksfx

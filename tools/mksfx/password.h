// The password of an encrypted program, from what the user gave (--password,
// --password-file, the terminal) to the bytes its keys come from, by the
// stub's rules: the stub keeps a typed password in UTF-8, WinZip AES takes
// those bytes, the traditional encryption the ANSI code page's (Windows-1252
// here, as for the block's texts).
#pragma once
#include <string>

namespace mksfx {

// The given text as the stub has it: UTF-8 (a text that is no UTF-8 is taken
// as Windows-1252, as --caption's is). Throws UsageError when it has more
// UTF-16 units than the stub's password field takes.
std::string StubPassword(const std::string& given);

// What create refuses besides: an empty password, a control character, and
// with the traditional encryption a character outside Windows-1252. Returns a
// warning ("" for none): 7-Zip opens no AES entry of a password over 99 bytes
// of UTF-8.
std::string CheckSealingPassword(const std::string& password, bool traditional);

// The bytes the keys come from: the UTF-8 bytes for AES, the Windows-1252
// ones for the traditional encryption.
std::string KeyBytes(const std::string& password, bool traditional);

}  // namespace mksfx

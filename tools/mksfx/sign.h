// Authenticode signing of the finished program with osslsigncode.
#pragma once
#include <filesystem>
#include <string>

namespace mksfx {

struct SignSettings {
  std::string cert, key;       // PEM or DER files, as osslsigncode takes them
  std::string passFile;        // the key's password, if it has one
  std::string tool = "osslsigncode";
  bool given() const { return !cert.empty() || !key.empty(); }
};

// Signs file in place (SHA-256). The signature goes at the end of the file,
// after the ZIP end record, where the stub never reads; ZIP readers find the
// end record before it, and 7-Zip takes it as the program's own.
void SignFile(const std::filesystem::path& file, const SignSettings& settings);

}  // namespace mksfx

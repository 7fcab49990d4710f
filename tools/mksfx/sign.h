// Authenticode signing of the finished program with osslsigncode: with a
// certificate and its key (PEM or DER), or with one PKCS#12 file (.pfx),
// the key's password from a file or the command line, and a time-stamp
// server's answer if asked for.
#pragma once
#include <filesystem>
#include <string>
#include <vector>

namespace mksfx {

struct SignSettings {
  std::string cert, key;       // PEM or DER files, as osslsigncode takes them
  std::string pkcs12;          // or a PKCS#12 file holding both
  std::string pass;            // the key's password, given on the command line
  std::string passFile;        // ... or in this file's first line
  bool havePass = false;       // pass was given (it may be empty)
  std::vector<std::string> timestamps;  // RFC 3161 time-stamp servers, tried in turn
  std::string tool = "osslsigncode";
  bool given() const { return !cert.empty() || !key.empty() || !pkcs12.empty(); }
};

// The faults of the signing options among themselves (UsageError): a
// certificate without its key, a PKCS#12 file beside them, two passwords,
// a password or a time-stamp server without anything to sign with.
void CheckSignOptions(const SignSettings& settings);

// Whether the key file (PEM or DER) is encrypted, so that it needs a
// password: a PEM "ENCRYPTED PRIVATE KEY" or a "Proc-Type: 4,ENCRYPTED"
// header, or DER whose outer sequence starts with a sequence (PKCS#8's
// EncryptedPrivateKeyInfo) rather than a version number.
bool KeyIsEncrypted(const std::string& bytes);

// Signs file in place (SHA-256). The signature goes at the end of the file,
// after the ZIP end record, where the stub never reads; ZIP readers find the
// end record before it, and 7-Zip takes it as the program's own. A key
// that is encrypted without a password given is refused before
// osslsigncode runs; osslsigncode never asks on the terminal.
void SignFile(const std::filesystem::path& file, const SignSettings& settings);

}  // namespace mksfx

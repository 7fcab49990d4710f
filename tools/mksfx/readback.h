// mksfx list and mksfx test: a self-extracting file read back by the stub's
// own core (the walk, the name reading and checks, decryption, the stored
// copy and the Inflate decoder, across volumes), so that what they say is
// what the stub will do. test writes nothing: each entry's output goes to the
// system's null device.
#pragma once
#include <filesystem>
#include <string>

namespace mksfx {

struct ReadOptions {
  std::filesystem::path file;
  std::string password;      // UTF-8, as the stub keeps it (StubPassword)
  bool havePassword = false;
  bool askPassword = false;  // ask on the terminal when an entry needs one
  bool quiet = false;        // test: only failures and the last line
};

// Both return the exit code: 0 when every entry is fine.
int ListArchive(const ReadOptions& options);
int TestArchive(const ReadOptions& options);

}  // namespace mksfx

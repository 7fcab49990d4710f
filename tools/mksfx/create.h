// mksfx create: the stub, the configuration block and a ZIP archive written
// for the stub's walk, from files and folders or from one existing archive.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>
#include "tools/mksfx/block.h"
#include "tools/mksfx/sign.h"

namespace mksfx {

struct CreateOptions {
  std::filesystem::path output, stub, directory;  // output "-": standard output
  std::vector<std::string> inputs;
  BlockSettings block;
  int level = -1;            // -1: the default (DefaultLevel)
  unsigned threads = 0;      // 0: every core
  bool store = false, recompress = false, quiet = false;
  bool skipUnreadable = false;  // an input that cannot be read is left out with a warning (exit 1)
  bool verbose = false;         // name each entry as it is written
  std::vector<std::string> excludes;  // --exclude patterns, matched against entry names
  std::vector<std::string> unmatched; // wildcards that matched nothing, left out already (mksfx.exe)
  std::string password;      // empty: no encryption
  bool zipcrypto = false;    // the traditional encryption instead of AES-256
  std::filesystem::path passwordFile;  // where the password was read, if from a file
  std::vector<std::string> listFiles;  // the --files-from lists read ("-": standard input, also for -@)
  uint64_t split = 0;        // 0: one file
  uint32_t latestTime = 0;   // SOURCE_DATE_EPOCH as a DOS time: no entry's time is later; 0: none
  SignSettings sign;
  std::vector<std::pair<std::string, std::string>> versionInfo;  // --version-info KEY=VALUE, in order
  std::string executionLevel;  // --admin, --highest: the manifest's level (manifest.h); "": the stub's own
};

// The smallest volume --split accepts: the stub, a block, the marker and
// room for headers.
inline constexpr uint64_t MinimumSplit = 64 * 1024;

int CreateArchive(const CreateOptions& options);

}  // namespace mksfx

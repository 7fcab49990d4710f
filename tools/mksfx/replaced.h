// What a run of create replaces: the output, looked at before anything is
// written, so that a file the run reads (an input, found in a folder too,
// the .zip, the stub) is never the one it overwrites.
#pragma once
#include <filesystem>
#include <string>
#include "tools/mksfx/same_file.h"

namespace mksfx {

class Replaced {
 public:
  explicit Replaced(const std::filesystem::path& output);
  // The file at path is the output (by identity, not by spelling).
  bool IsOutput(const std::filesystem::path& path) const;
  // Throws Failure when the file at path, read by the run as what (e.g.
  // "the stub"), is the output.
  void MustNotBe(const std::filesystem::path& path, const std::string& what) const;

 private:
  std::filesystem::path output_;
  FileId outputId_;
};

}  // namespace mksfx

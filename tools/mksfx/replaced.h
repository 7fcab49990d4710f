// What a run of create replaces or removes: the output, and the volumes
// (.z02, .z03, ...) that an earlier split run left under its name. They are
// looked at before anything is written, so that a file the run reads (an
// input, found in a folder too, the .zip, the stub) is never one of them,
// and the old volumes that the run does not write again are removed after
// it: left there, they would be taken for the new program's.
#pragma once
#include <filesystem>
#include <string>
#include <vector>
#include "tools/mksfx/same_file.h"

namespace mksfx {

// The file a run writes for output: the target of a symbolic link,
// followed to its end (the link stays a link, as a shell's ">" writes
// through it; a link to nowhere makes its target). Throws Failure naming
// what is there for a device, a FIFO, a socket or a loop of links: mksfx
// only ever replaces a regular file.
std::filesystem::path OutputTarget(const std::filesystem::path& output);

class Replaced {
 public:
  // Throws Failure when the output is a folder. "-" is standard output:
  // no volumes, and the file it is redirected to, if any, is the output.
  explicit Replaced(const std::filesystem::path& output);

  enum Kind { Other, TheOutput, OldVolume };
  // What the file at path is to this run, by identity (not by spelling).
  Kind Of(const std::filesystem::path& path) const { return Of(IdOf(path)); }
  Kind Of(const FileId& id) const;
  // Throws Failure when the file at path, which the run reads as role ("one
  // of the inputs", "the stub", ...), is the output or one of its volumes.
  void MustNotBe(const std::filesystem::path& path, const std::string& role) const { MustNotBe(path, role, IdOf(path)); }
  // The same with the file's identity looked at already.
  void MustNotBe(const std::filesystem::path& path, const std::string& role, const FileId& id) const;

  const std::filesystem::path& Output() const { return output_; }
  // The old volumes found beside the output, in the order of their numbers.
  std::vector<std::filesystem::path> OldVolumes() const;
  // Removes the old volumes that are not among written (the volumes this run
  // wrote); returns those removed. Those that cannot be removed are named
  // in failures, with the reason.
  std::vector<std::filesystem::path> RemoveStale(const std::vector<std::filesystem::path>& written,
                                                 std::vector<std::string>& failures) const;

 private:
  struct Volume {
    unsigned number;
    std::filesystem::path path;
    FileId id;
  };
  std::filesystem::path output_;
  std::string shown_;  // "the output X", or standard output
  FileId outputId_;
  std::vector<Volume> volumes_;
};

}  // namespace mksfx

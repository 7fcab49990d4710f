// The files' data read and compressed on every core, piece by piece
// (codec.h), and handed back in archive order, so that the output is the
// same whatever the number of threads. Workers run ahead of the writer by
// a bounded number of bytes: memory stays flat in the size of the files.
#pragma once
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>
#include "tools/mksfx/threads.h"

namespace mksfx {

struct PackSource {
  std::filesystem::path path;
  uint64_t size = 0;  // at least 1: empty files need no piece
};

struct PackedPiece {
  std::string data;        // the compressed piece, or the plain bytes (plain)
  uint32_t crc = 0;        // of the piece's plain bytes
  size_t plainSize = 0;
  bool plain = false;      // data holds the plain bytes: a one-piece entry that Deflate does not shrink, or --store
  std::string failure;     // why it could not be read or compressed; "" when fine
  bool unreadable = false; // the file could not be opened for its first piece
};

// The pieces a file of size bytes is cut into.
uint64_t PieceCount(uint64_t size);

class Packer {
 public:
  // level 0: no compression, only the CRCs (and the plain bytes of
  // one-piece entries). threads: at least 1.
  Packer(std::vector<PackSource> files, int level, unsigned threads);
  ~Packer();  // stops the workers
  Packer(const Packer&) = delete;
  Packer& operator=(const Packer&) = delete;

  // The next piece in archive order (every piece of the first file, then of
  // the next): waits until it is done.
  PackedPiece Next();

 private:
  struct Task {
    size_t file;
    uint64_t piece;
  };
  void Work();
  PackedPiece Do(const Task& task, class PieceCompressor* compressor, std::string& buffer);
  bool MayStart() const;
  uint64_t PieceBytes(const Task& task) const;

  std::vector<PackSource> files_;
  std::vector<Task> tasks_;
  int level_;
  uint64_t budget_;  // plain bytes that may be taken but not yet handed on

  Mutex lock_;
  Wakeup changed_;
  size_t started_ = 0, handed_ = 0;
  uint64_t ahead_ = 0;  // plain bytes of the tasks started and not yet handed on
  bool stop_ = false;
  std::map<size_t, PackedPiece> done_;
  std::vector<std::unique_ptr<Thread>> threads_;
};

}  // namespace mksfx

// The workers (packer.h). Tasks are the pieces of every file in archive
// order; a worker takes the next one when the writer is not too far behind,
// reads it by position (each piece opens its file: pieces of one file run
// on several threads), takes its CRC and compresses it. The results wait
// in a map until the writer asks for them in order.
#include "tools/mksfx/packer.h"
#include <algorithm>
#include "tools/mksfx/codec.h"
#include "tools/mksfx/common.h"
#include "tools/mksfx/file_io.h"

namespace mksfx {

namespace {
// Pieces taken ahead of the writer, at most; and plain bytes, per thread.
constexpr size_t MostAhead = 256;
constexpr uint64_t BytesAheadPerThread = 4 * PieceSize;
}  // namespace

uint64_t PieceCount(uint64_t size) { return (size + PieceSize - 1) / PieceSize; }

Packer::Packer(std::vector<PackSource> files, int level, unsigned threads)
    : files_(std::move(files)), level_(level), budget_(BytesAheadPerThread * std::max(threads, 2u)) {
  for (size_t f = 0; f < files_.size(); ++f)
    for (uint64_t p = 0, n = PieceCount(files_[f].size); p < n; ++p) tasks_.push_back({f, p});
  for (unsigned i = 0; i < std::max(threads, 1u) && i < tasks_.size(); ++i)
    threads_.push_back(std::make_unique<Thread>([this] { Work(); }));
}

Packer::~Packer() {
  {
    Locked held(lock_);
    stop_ = true;
    changed_.All();
  }
  threads_.clear();  // joins them
}

bool Packer::MayStart() const {
  if (started_ >= tasks_.size()) return false;
  if (started_ == handed_) return true;  // the writer waits for this one
  const Task& t = tasks_[started_];
  uint64_t size = std::min<uint64_t>(PieceSize, files_[t.file].size - t.piece * PieceSize);
  return started_ - handed_ < MostAhead && ahead_ + size <= budget_;
}

PackedPiece Packer::Next() {
  Locked held(lock_);
  for (;;) {
    auto it = done_.find(handed_);
    if (it != done_.end()) {
      PackedPiece piece = std::move(it->second);
      done_.erase(it);
      ++handed_;
      ahead_ -= piece.plainSize;
      changed_.All();
      return piece;
    }
    if (handed_ >= tasks_.size()) throw Failure("no piece is left to pack");
    changed_.Wait(lock_);
  }
}

void Packer::Work() {
  std::unique_ptr<PieceCompressor> compressor;
  std::string buffer;
  for (;;) {
    Task task;
    size_t number;
    {
      Locked held(lock_);
      while (!stop_ && !MayStart()) {
        if (started_ >= tasks_.size()) return;
        changed_.Wait(lock_);
      }
      if (stop_) return;
      number = started_++;
      task = tasks_[number];
      ahead_ += std::min<uint64_t>(PieceSize, files_[task.file].size - task.piece * PieceSize);
    }
    PackedPiece piece;
    try {
      if (level_ > 0 && !compressor) compressor = std::make_unique<PieceCompressor>(level_);
      piece = Do(task, compressor.get(), buffer);
    } catch (const std::exception& e) {
      piece.failure = e.what();
    }
    // What the writer takes off again when it is handed on.
    piece.plainSize = static_cast<size_t>(std::min<uint64_t>(PieceSize, files_[task.file].size - task.piece * PieceSize));
    Locked held(lock_);
    done_.emplace(number, std::move(piece));
    changed_.All();
  }
}

PackedPiece Packer::Do(const Task& task, PieceCompressor* compressor, std::string& buffer) {
  const PackSource& file = files_[task.file];
  PackedPiece piece;
  uint64_t offset = task.piece * PieceSize;
  size_t size = static_cast<size_t>(std::min<uint64_t>(PieceSize, file.size - offset));
  bool last = offset + size == file.size, only = task.piece == 0 && last;
  size_t before = compressor != nullptr && compressor->WantsDictionary()
                      ? static_cast<size_t>(std::min<uint64_t>(DictionarySize, offset)) : 0;
  InputFile in;
  std::string why;
  if (!in.Open(file.path, why)) {
    piece.failure = "cannot read " + file.path.string() + ": " + why;
    piece.unreadable = task.piece == 0;
    return piece;
  }
  // One byte more at the end shows a file that grew since it was looked at.
  buffer.resize(before + size + 1);
  size_t want = before + size + (last ? 1 : 0);
  size_t got = in.ReadAt(offset - before, buffer.data(), want);
  if (got != before + size) {
    piece.failure = file.path.string() + " changed while it was read";
    return piece;
  }
  const unsigned char* data = reinterpret_cast<const unsigned char*>(buffer.data()) + before;
  piece.crc = Crc32(data, size);
  if (compressor == nullptr) {
    if (only) {
      piece.data.assign(reinterpret_cast<const char*>(data), size);
      piece.plain = true;
    }
    return piece;
  }
  compressor->Compress(data - before, before, data, size, last, piece.data);
  if (only && piece.data.size() >= size) {
    piece.data.assign(reinterpret_cast<const char*>(data), size);
    piece.plain = true;
  }
  return piece;
}

}  // namespace mksfx

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
// A worker takes at most MostInARun at once.
constexpr size_t MostAhead = 1024, MostInARun = 64;
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
  return started_ - handed_ < MostAhead && ahead_ + PieceBytes(tasks_[started_]) <= budget_;
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
  std::vector<std::pair<size_t, PackedPiece>> batch;
  for (;;) {
    // A run of tasks at once, up to a piece's worth of bytes, so that a
    // tree of many small files costs a lock and a wake-up per run, not
    // per file.
    size_t first, count = 0;
    uint64_t bytes = 0;
    {
      Locked held(lock_);
      while (!stop_ && !MayStart()) {
        if (started_ >= tasks_.size()) return;
        changed_.Wait(lock_);
      }
      if (stop_) return;
      first = started_;
      do {
        uint64_t size = PieceBytes(tasks_[started_]);
        ++started_;
        ++count;
        ahead_ += size;
        bytes += size;
      } while (count < MostInARun && bytes < PieceSize && MayStart());
    }
    batch.clear();
    for (size_t number = first; number < first + count; ++number) {
      PackedPiece piece;
      try {
        if (level_ > 0 && !compressor) compressor = std::make_unique<PieceCompressor>(level_);
        piece = Do(tasks_[number], compressor.get(), buffer);
      } catch (const std::exception& e) {
        piece.failure = e.what();
      }
      // What the writer takes off again when it is handed on.
      piece.plainSize = static_cast<size_t>(PieceBytes(tasks_[number]));
      batch.emplace_back(number, std::move(piece));
    }
    Locked held(lock_);
    for (auto& [number, piece] : batch) done_.emplace(number, std::move(piece));
    changed_.All();
  }
}

uint64_t Packer::PieceBytes(const Task& t) const {
  return std::min<uint64_t>(PieceSize, files_[t.file].size - t.piece * PieceSize);
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
  size_t got = in.ReadSome(offset - before, buffer.data(), want);
  if (got < before + size) got += in.ReadAt(offset - before + got, buffer.data() + got, want - got);
  if (got != before + size) {
    piece.failure = file.path.string() + " changed while it was read";
    return piece;
  }
  const unsigned char* data = reinterpret_cast<const unsigned char*>(buffer.data()) + before;
  piece.crc = Crc32(data, size);
  if (compressor != nullptr) compressor->Compress(data - before, before, data, size, last, piece.data);
  if (only && (compressor == nullptr || piece.data.size() >= size)) {
    piece.data.assign(reinterpret_cast<const char*>(data), size);
    piece.data.shrink_to_fit();
    piece.plain = true;
  }
  return piece;
}

}  // namespace mksfx

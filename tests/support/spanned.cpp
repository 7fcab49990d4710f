// Spanned archives for the tests (see spanned.h).
#include "tests/support/spanned.h"
#include "archive/zip_format.h"
#include "tests/support/zip_builder.h"

std::vector<Volume> SpanArchive(const std::vector<uint8_t>& archive, const std::vector<size_t>& cuts) {
  std::vector<uint8_t> marked;
  PutLe32(marked, ZipSignature(ShiftedMarker));
  marked.insert(marked.end(), archive.begin(), archive.end());
  std::vector<Volume> volumes;
  size_t from = 0;
  for (size_t cut : cuts) {
    volumes.emplace_back(marked.begin() + static_cast<long>(from), marked.begin() + static_cast<long>(cut));
    from = cut;
  }
  volumes.emplace_back(marked.begin() + static_cast<long>(from), marked.end());
  return volumes;
}

static uint32_t Le(const std::vector<uint8_t>& b, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | b[at + static_cast<size_t>(i)];
  return v;
}

std::vector<EntryBounds> EntriesOf(const std::vector<uint8_t>& archive) {
  std::vector<EntryBounds> entries;
  size_t at = 0;
  while (at + LocalHeaderSize <= archive.size() && Le(archive, at, 4) == ZipSignature(ShiftedLocalHeader)) {
    size_t dataEnd = at + LocalHeaderSize + Le(archive, at + 26, 2) + Le(archive, at + 28, 2) + Le(archive, at + 18, 4);
    entries.push_back({at + SignatureSize, dataEnd + SignatureSize});
    uint32_t flags = Le(archive, at + 6, 2);
    at = dataEnd;
    if (flags & FlagDescriptor)
      at += Le(archive, at, 4) == ZipSignature(ShiftedMarker) ? SignedDescriptorSize : DescriptorSize;
  }
  return entries;
}

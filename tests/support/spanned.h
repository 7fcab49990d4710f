// Spanned archives for the tests: the spanning marker, then an archive's
// bytes cut into volumes at chosen offsets, and the offsets worth cutting at
// (where each local header starts and where each entry's data ends).
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

using Volume = std::vector<uint8_t>;

// The marker 50 4B 07 08 followed by archive, cut before each offset of
// cuts (offsets into that marked stream, ascending): volume 1 is the part
// before the first cut, and so on.
std::vector<Volume> SpanArchive(const std::vector<uint8_t>& archive, const std::vector<size_t>& cuts);

struct EntryBounds {
  size_t header;   // where the local header starts
  size_t dataEnd;  // where its data ends (before any data descriptor)
};
// The local entries of archive, found by walking their headers with the
// sizes they hold; offsets as SpanArchive counts them (the marker included).
std::vector<EntryBounds> EntriesOf(const std::vector<uint8_t>& archive);

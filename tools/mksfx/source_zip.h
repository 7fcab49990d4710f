// An existing ZIP archive as the source of a self-extracting file: its
// central directory read (Zip64's values where it holds them), every entry
// checked for what the stub can extract.
#pragma once
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace mksfx {

struct SourceEntry {
  std::string name;          // as it will be written ("/" separators)
  uint16_t flags = 0;        // of the central directory
  uint16_t method = 0;
  uint32_t dosDateTime = 0, crc = 0;
  uint64_t compressedSize = 0, uncompressedSize = 0;
  uint64_t dataOffset = 0;   // in the source file, after its local header
  bool folder = false;
  std::string aesField;      // a WinZip AES entry's field as its local header holds it (id and size too); "" for others
};

class SourceZip {
 public:
  // Reads the central directory. Throws Failure when the file is no ZIP
  // archive, is spanned, or holds an entry the stub cannot extract (named),
  // unless recompress lets it be decoded here.
  SourceZip(const std::filesystem::path& path, bool recompress);
  const std::vector<SourceEntry>& Entries() const { return entries_; }
  // True when names lost a leading "./" (bsdtar's names of a folder's
  // contents), the "./" entry of the folder itself with them.
  bool DotsStripped() const { return dotsStripped_; }
  // count of the entry's stored bytes (compressed, with any encryption
  // header) from at.
  void ReadData(const SourceEntry& entry, uint64_t at, char* bytes, size_t count);

 private:
  std::string ReadAt(uint64_t offset, size_t count);
  std::filesystem::path path_;
  std::ifstream file_;
  uint64_t size_ = 0;
  std::vector<SourceEntry> entries_;
  bool dotsStripped_ = false;
};

// True when the path names a ZIP archive by its extension.
bool LooksLikeZip(const std::filesystem::path& path);

}  // namespace mksfx

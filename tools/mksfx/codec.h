// Deflate compression, Inflate for re-compressing, and CRC-32, through the
// compression library this build links: libdeflate where it is packaged (the
// Linux build), zlib where it is not (the Windows build; Debian packages no
// libdeflate for mingw). tests/bench/deflate_choice.cpp measured the choice.
#pragma once
#include <cstdint>
#include <string>

namespace mksfx {

// The library's name and its highest level ("libdeflate", 12 or "zlib", 9).
const char* CompressorName();
int HighestLevel();

// Raw Deflate of the whole input at level (1 to HighestLevel()). Empty when
// the result would not be smaller than the input: the entry is then stored.
std::string Deflate(const std::string& input, int level);

// Raw Inflate of exactly one stream that decodes to size bytes; false when
// the data is damaged or decodes to another size.
bool Inflate(const std::string& input, uint32_t size, std::string& output);

uint32_t Crc32(const std::string& bytes);

}  // namespace mksfx

// What every part of mksfx shares: the one-line failure, the version, and
// little-endian byte helpers for the ZIP records it writes and reads.
#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>

namespace mksfx {

inline constexpr const char* Version = "1.0";

// A failure that ends the command: its text is the one line the user sees.
struct Failure : std::runtime_error {
  explicit Failure(const std::string& text) : std::runtime_error(text) {}
};

// A command line that mksfx does not understand (exit status 2).
struct UsageError : Failure {
  using Failure::Failure;
};

inline void Put16(std::string& out, uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
inline void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
inline uint32_t Get16(const unsigned char* p) { return p[0] | static_cast<uint32_t>(p[1]) << 8; }
inline uint32_t Get32(const unsigned char* p) { return Get16(p) | Get16(p + 2) << 16; }
inline uint64_t Get64(const unsigned char* p) { return Get32(p) | static_cast<uint64_t>(Get32(p + 4)) << 32; }

// "1,234,567": byte counts in messages and the summary.
std::string Grouped(uint64_t n);
// "1 entry", "2 entries": a count and its noun, singular or plural.
std::string Counted(uint64_t n, const char* one, const char* many);
// Bytes as lower-case hexadecimal digits (the random part of temporary names).
std::string Hex(const std::string& bytes);

// Text from UTF-8 in Windows-1252, the 8-bit code page the stub's texts and
// passwords are read in: ASCII stays, other characters of the code page
// become their byte. Bytes that are not UTF-8 are taken as they are (text
// already in the code page). False when a character is outside the code page.
bool ToWindows1252(const std::string& text, std::string& out);

// Windows-1252 text in UTF-8 (names as the stub has them, shown on a UTF-8
// terminal).
std::string FromWindows1252(const std::string& text);
// Code page 437 (the ZIP format's own for names without bit 11) in UTF-8.
std::string FromCp437(const std::string& text);

// True when the bytes are well-formed UTF-8.
bool IsUtf8(const std::string& text);

// One UTF-8 sequence at text[at]: its code point and length; 0 when the
// bytes there are no well-formed sequence.
size_t DecodeUtf8(const std::string& text, size_t at, uint32_t& cp);
// A code point of the Basic Multilingual Plane in UTF-8.
void AppendUtf8(std::string& out, uint32_t cp);

}  // namespace mksfx

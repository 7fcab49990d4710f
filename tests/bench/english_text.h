// The benchmarks' English-like text: Zipf-like word choice from a fixed seed,
// so that every run and every benchmark compresses the same bytes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

inline uint32_t BenchNext(uint32_t* state) {
  *state = *state * 1664525u + 1013904223u;
  return *state >> 8;
}

inline std::string EnglishText(size_t size) {
  static const char* const words[] = {
      "the", "of", "and", "to", "in", "a", "is", "that", "for", "it", "as", "was", "with", "be", "by",
      "on", "not", "he", "this", "are", "or", "his", "from", "at", "which", "but", "have", "an", "had",
      "they", "you", "were", "their", "one", "all", "we", "can", "her", "has", "there", "been", "if",
      "more", "when", "will", "would", "who", "so", "no", "archive", "window", "extraction", "folder",
      "message", "program", "between", "through", "whatever", "afterwards", "distance", "literal"};
  std::string text;
  uint32_t seed = 2024;
  while (text.size() < size) {
    // Small indexes are much more common.
    uint32_t r = BenchNext(&seed) % 1000;
    size_t index = (r * r / 1000) * (sizeof words / sizeof words[0]) / 1000;
    text += words[index];
    uint32_t p = BenchNext(&seed) % 16;
    text += p == 0 ? ".\n" : p == 1 ? ", " : " ";
  }
  text.resize(size);
  return text;
}

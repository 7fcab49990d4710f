// Common ground of the host tests: a fresh program state, posix platform and
// scripted interface per test, and a scratch folder that is removed after it.
#pragma once
#include <gtest/gtest.h>
#include <cstdint>
#include <string>
#include <vector>
#include "Sfx/layout.h"

class SfxTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A file in the scratch folder with these bytes; returns its path.
  std::string WriteFile(const std::string& name, const std::vector<uint8_t>& bytes);
  std::string WriteFile(const std::string& name, const std::string& text);
  static std::string ReadFile(const std::string& path);
  static bool Exists(const std::string& path);
  // Opens path as the archive (ArchiveHandle), as start-up does.
  void OpenArchive(const std::string& path);

  std::string scratch_;  // absolute, without trailing "/"
};

// The stub's 51,712 bytes as zeros, then what follows.
std::vector<uint8_t> StubThen(const std::vector<uint8_t>& rest);
std::vector<uint8_t> Bytes(const std::string& text);

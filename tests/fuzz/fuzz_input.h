// The fuzz targets' archive file: the input bytes in an anonymous memory file
// that the posix platform reads like any other.
#pragma once
#include <sys/mman.h>
#include <unistd.h>
#include <cstddef>
#include <cstdint>
#include "platform/platform.h"

// Puts bytes into the memory file and returns it as an open handle at offset 0.
inline FileHandle MemoryArchive(const uint8_t* data, size_t size) {
  static int fd = memfd_create("korvi-fuzz", 0);
  if (ftruncate(fd, 0) != 0 || (size > 0 && pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))) return NoFile;
  lseek(fd, 0, SEEK_SET);
  return reinterpret_cast<FileHandle>(static_cast<intptr_t>(dup(fd)));
}

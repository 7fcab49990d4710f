// writeloop: the floor of the per-file cost under the same Wine as the stub.
// It writes the files of a tree with nothing but CreateDirectoryA (once per
// folder), CreateFileA, WriteFile, SetFileTime and CloseHandle, from a blob
// that holds their contents and an index made beforehand, so that reading
// them costs nothing during the timed part.
//
//   writeloop INDEX BLOB DEST
//
// INDEX has one line per file or folder: "D <relative path>" or
// "F <size> <relative path>" (paths with "\"), in the order to write them;
// BLOB holds the files' contents back to back in the same order.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: writeloop INDEX BLOB DEST\n");
    return 2;
  }
  std::FILE* index = std::fopen(argv[1], "rb");
  std::FILE* blobFile = std::fopen(argv[2], "rb");
  if (index == nullptr || blobFile == nullptr) return 2;
  std::vector<char> blob;
  char chunk[1 << 16];
  for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, blobFile)) > 0;) blob.insert(blob.end(), chunk, chunk + got);
  std::fclose(blobFile);
  struct Item {
    bool folder;
    size_t size;
    std::string path;
  };
  std::vector<Item> items;
  char line[4096];
  while (std::fgets(line, sizeof line, index) != nullptr) {
    line[std::strcspn(line, "\r\n")] = 0;
    if (line[0] == 'D') {
      items.push_back({true, 0, std::string(argv[3]) + "\\" + (line + 2)});
    } else if (line[0] == 'F') {
      char* rest = nullptr;
      size_t size = std::strtoull(line + 2, &rest, 10);
      items.push_back({false, size, std::string(argv[3]) + "\\" + (rest + 1)});
    }
  }
  std::fclose(index);

  FILETIME when;
  SYSTEMTIME noon = {2024, 5, 5, 17, 12, 0, 0, 0};
  SystemTimeToFileTime(&noon, &when);
  DWORD start = GetTickCount();
  CreateDirectoryA(argv[3], nullptr);
  size_t at = 0;
  for (const Item& item : items) {
    if (item.folder) {
      CreateDirectoryA(item.path.c_str(), nullptr);
      continue;
    }
    HANDLE file = CreateFileA(item.path.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    if (item.size > 0) WriteFile(file, blob.data() + at, static_cast<DWORD>(item.size), &written, nullptr);
    SetFileTime(file, nullptr, nullptr, &when);
    CloseHandle(file);
    at += item.size;
  }
  std::printf("%lu ms\n", static_cast<unsigned long>(GetTickCount() - start));
  return 0;
}

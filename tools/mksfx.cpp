// mksfx: makes a self-extracting file from the stub, an optional
// configuration block and a ZIP archive.
//
//   mksfx --stub sfx.exe --zip archive.zip --out setup.exe
//         [--caption TEXT] [--dest FOLDER] [--run COMMAND]
//         [--overwrite] [--auto] [--wait-delete] [--flags N]
//
// A configuration block is written when any of the texts or flags is given.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>
#include "Sfx/layout.h"

namespace {

bool ReadAll(const std::string& path, std::vector<char>& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

int Usage() {
  std::cerr << "usage: mksfx --stub sfx.exe --zip archive.zip --out setup.exe\n"
               "             [--caption TEXT] [--dest FOLDER] [--run COMMAND]\n"
               "             [--overwrite] [--auto] [--wait-delete] [--flags N]\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string stub, zip, out, caption, dest, run;
  unsigned flags = 0;
  bool block = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](std::string& into) {
      if (i + 1 >= argc) return false;
      into = argv[++i];
      return true;
    };
    if (a == "--stub") { if (!value(stub)) return Usage(); }
    else if (a == "--zip") { if (!value(zip)) return Usage(); }
    else if (a == "--out") { if (!value(out)) return Usage(); }
    else if (a == "--caption") { if (!value(caption)) return Usage(); block = true; }
    else if (a == "--dest") { if (!value(dest)) return Usage(); block = true; }
    else if (a == "--run") { if (!value(run)) return Usage(); block = true; }
    else if (a == "--overwrite") { flags |= ConfigOverwrite; block = true; }
    else if (a == "--auto") { flags |= ConfigAutoExtract; block = true; }
    else if (a == "--wait-delete") { flags |= ConfigWaitThenDelete; block = true; }
    else if (a == "--flags") {
      std::string n;
      if (!value(n)) return Usage();
      flags = static_cast<unsigned>(std::strtoul(n.c_str(), nullptr, 0)) & 0xFF;
      block = true;
    } else return Usage();
  }
  if (stub.empty() || zip.empty() || out.empty()) return Usage();

  std::vector<char> stubBytes, zipBytes;
  if (!ReadAll(stub, stubBytes)) { std::cerr << "mksfx: cannot read " << stub << "\n"; return 1; }
  if (!ReadAll(zip, zipBytes)) { std::cerr << "mksfx: cannot read " << zip << "\n"; return 1; }
  if (stubBytes.size() != StubSize) {
    std::cerr << "mksfx: " << stub << " is " << stubBytes.size() << " bytes, not " << StubSize << "\n";
    return 1;
  }
  for (const std::string* t : {&caption, &dest, &run})
    if (t->size() > 255) { std::cerr << "mksfx: a text is longer than 255 bytes\n"; return 1; }
  if (caption.size() + dest.size() + run.size() > ConfigTextRoom) {
    std::cerr << "mksfx: the three texts together are longer than " << ConfigTextRoom << " bytes\n";
    return 1;
  }

  std::ofstream o(out, std::ios::binary);
  o.write(stubBytes.data(), static_cast<std::streamsize>(stubBytes.size()));
  if (block) {
    std::string b(ConfigBlockSize, '\0');
    b.replace(ConfigMagicAt, ConfigMagicSize, ConfigMagic);
    b[ConfigFlagsAt] = static_cast<char>(flags);
    b[ConfigLengthsAt] = static_cast<char>(caption.size());
    b[ConfigLengthsAt + 1] = static_cast<char>(dest.size());
    b[ConfigLengthsAt + 2] = static_cast<char>(run.size());
    b.replace(ConfigTextsAt, caption.size() + dest.size() + run.size(), caption + dest + run);
    o.write(b.data(), static_cast<std::streamsize>(b.size()));
  }
  o.write(zipBytes.data(), static_cast<std::streamsize>(zipBytes.size()));
  if (!o) { std::cerr << "mksfx: cannot write " << out << "\n"; return 1; }
  return 0;
}

// mksfx: makes self-extracting files for the Korvi EXE stub and reads them
// back. The commands: create, list, test; --help and --version.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include "Sfx/layout.h"
#include "Sfx/state.h"
#include "tools/mksfx/codec.h"
#include "tools/mksfx/console.h"
#include "tools/mksfx/common.h"
#include "tools/mksfx/create.h"
#include "tools/mksfx/glob.h"
#include "tools/mksfx/inputs.h"
#include "tools/mksfx/interrupt.h"
#include "tools/mksfx/manifest.h"
#include "tools/mksfx/options.h"
#include "tools/mksfx/password.h"
#include "tools/mksfx/readback.h"
#include "tools/mksfx/version_info.h"
#include "tools/mksfx/writer.h"
#include "tools/mksfx/zipcrypto.h"
#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using namespace mksfx;

#ifdef _WIN32
// The C runtime expands no wildcards of its own: mksfx does (glob.h), by
// Windows' rules, for operands only.
extern "C" {
int _dowildcard = 0;
}
#endif

namespace {

const char* const Help =
    "Usage: mksfx create -o PROGRAM.exe [OPTION]... INPUT...\n"
    "       mksfx list [--password TEXT] PROGRAM.exe\n"
    "       mksfx test [--password TEXT] [-q] PROGRAM.exe\n"
    "Makes self-extracting ZIP archives for Windows from the Korvi EXE stub,\n"
    "and lists or tests them as the stub will read them.\n"
    "\n"
    "create: INPUT is files and folders (folders with everything in them, in\n"
    "sorted order; \".\" is the current folder's contents), or one .zip archive\n"
    "whose entries are copied without recompressing. Absolute and ../ inputs are\n"
    "stored without their leading / and ../ parts, as tar and zip store them.\n"
    "  -o, --output FILE       the program to write (volumes .z02... beside it);\n"
    "                          through a link to its target; - for standard output\n"
    "      --stub FILE         the stub (default: sfx.exe beside mksfx)\n"
    "  -C, --directory DIR     take INPUT names relative to DIR\n"
    "  -x, --exclude PATTERN   leave out entries whose names match (shell pattern;\n"
    "                          * matches / too; a folder with all in it); repeatable\n"
    "  -@                      read more INPUT names from standard input, one a line\n"
    "      --files-from FILE   ... from FILE (- for standard input)\n"
    "      --skip-unreadable   leave out what cannot be read, with a warning (exit 1)\n"
    "      --caption TEXT      text after the main dialog's title\n"
    "      --dest FOLDER       proposed destination; folder macros expand on the\n"
    "                          target: {win} {sys}, and with the coming stub {temp}\n"
    "                          {pf} {pf32} {appdata} {localappdata} {commonappdata}\n"
    "                          {desktop} {documents} {profile}; no %VARIABLES%\n"
    "      --run PROG[|PARAMS] program run after extraction; >< is the destination\n"
    "                          (a warning when the archive holds no ><PROG)\n"
    "      --overwrite         replace existing files without asking\n"
    "      --auto              extract at once, without the main dialog\n"
    "      --wait-delete       wait for the --run program, then delete the files\n"
    "      --verify            test every entry before writing any: a damaged\n"
    "                          program writes no file (not with --split)\n"
    "      --admin             the program asks for an administrator (manifest:\n"
    "                          requireAdministrator; the stub's own is asInvoker)\n"
    "      --highest           ... the most the user may have (highestAvailable)\n"
    "      --version-info K=V  the program's version resource: ProductName,\n"
    "                          ProductVersion, FileVersion, CompanyName, ...\n"
    "  -l, --level N           Deflate level 1-12, default 10 (mksfx.exe: 1-9, 9)\n"
    "  -0, --store             store every entry uncompressed\n"
    "  -T, --threads N         compress on N threads (default: every core)\n"
    "      --password TEXT     encrypt every entry (WinZip AES-256)\n"
    "      --password-file F   the same, with the password in F's first line\n"
    "  -e, --encrypt           the same, with the password asked on the terminal\n"
    "      --zipcrypto         the traditional ZIP encryption instead (weak: for old readers only)\n"
    "      --recompress        a .zip input's entries decoded and deflated anew\n"
    "      --split SIZE        volumes of at most SIZE bytes (k, m, g: KiB, MiB, GiB)\n"
    "                          P.exe, P.z02, ...: the stub and mksfx test read them\n"
    "                          so, 7z x once P.exe is copied to P.z01 and the last\n"
    "                          volume to P.zip; unzip reads no split set\n"
    "      --sign-cert FILE    sign with osslsigncode: the certificate (PEM or DER)\n"
    "      --sign-key FILE     ... and its private key\n"
    "      --sign-pkcs12 FILE  ... or both in one PKCS#12 file (.pfx, .p12)\n"
    "      --sign-pass-file F  ... the key's password in F's first line\n"
    "      --sign-pass TEXT    ... or given here (handed on in a private file)\n"
    "      --sign-timestamp URL  an RFC 3161 time-stamp server (repeatable)\n"
    "  -q, --quiet             no summary line\n"
    "  -v, --verbose           name each entry as it is packed (no progress bar)\n"
    "list and test: --password TEXT, --password-file FILE; test -q: failures only.\n"
    "test says everything on stdout; a program cut short ends before its directory.\n"
    "SOURCE_DATE_EPOCH: no entry's time is later (the same program run after run).\n"
    "  -h, --help, /?          this text\n"
    "  -V, --version           the version\n"
    "Exit status: 0 success, 1 failure (one line says why; with --skip-unreadable,\n"
    "a program made without all that was asked), 2 a usage error.\n";

fs::path ToolFolder(const char* argv0) {
#ifdef _WIN32
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  if (n > 0 && n < sizeof path) return fs::path(path).parent_path();
#else
  std::error_code ec;
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) return self.parent_path();
#endif
  return fs::path(argv0).parent_path();
}

std::string PasswordFromFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string line;
  if (!in || !std::getline(in, line)) throw Failure("cannot read the password from " + path);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

// The names of a --files-from list ("-": standard input), one a line;
// empty lines are none, a line's "\r" before its end is dropped.
std::vector<std::string> NamesFrom(const std::string& list) {
  std::ifstream file;
  std::istream* in = &std::cin;
  if (list != "-") {
    file.open(list, std::ios::binary);
    if (!file) throw Failure("cannot read the list " + list + ": " + std::strerror(errno));
    in = &file;
  }
  std::vector<std::string> names;
  for (std::string line; std::getline(*in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) names.push_back(line);
  }
  if (in->bad()) throw Failure("cannot read the list " + (list == "-" ? std::string("from standard input") : list));
  return names;
}

// An --exclude pattern as it is matched: on Windows "\" is a separator, as
// "/" is in the names.
std::string ExcludePattern(std::string pattern) {
#ifdef _WIN32
  for (char& c : pattern)
    if (c == '\\') c = '/';
#endif
  return pattern;
}

// SOURCE_DATE_EPOCH (reproducible builds): no entry is later than that
// moment, so that two runs over the same files give the same bytes. As a
// DOS time in the local time zone, its odd second rounded down; 0 when
// unset.
uint32_t SourceDateEpoch() {
  const char* text = std::getenv("SOURCE_DATE_EPOCH");
  if (text == nullptr || *text == 0) return 0;
  char* end = nullptr;
  errno = 0;
  long long seconds = std::strtoll(text, &end, 10);
  if (*end != 0 || errno != 0 || seconds < 0)
    throw UsageError(std::string("SOURCE_DATE_EPOCH is not a number of seconds since 1970: '") + text + "'");
  return DosDateTime(seconds - (seconds & 1));
}

int Create(int argc, char** argv) {
  CreateOptions o;
  Arguments a(argc, argv, 2);
  std::vector<std::string> operands, listFiles;
  bool encrypt = false;
  std::string passwordFile;
  bool havePassword = false;
  std::vector<std::string> levels;  // --admin, --highest as given
  while (a.Next()) {
    if (a.IsOperand()) operands.push_back(a.Word());
    else if (a.Is({"-o", "--output"})) o.output = a.Value();
    else if (a.Is({"--stub"})) o.stub = a.Value();
    else if (a.Is({"-C", "--directory"})) o.directory = a.Value();
    else if (a.Is({"--caption"})) { o.block.caption = a.Text(); o.block.given = true; }
    else if (a.Is({"--dest"})) { o.block.dest = a.Text(); o.block.given = true; }
    else if (a.Is({"--run"})) { o.block.run = a.Text(); o.block.given = true; }
    else if (a.Is({"--overwrite"})) { o.block.overwrite = o.block.given = true; }
    else if (a.Is({"--auto"})) { o.block.autoExtract = o.block.given = true; }
    else if (a.Is({"--wait-delete"})) { o.block.waitDelete = o.block.given = true; }
    else if (a.Is({"--verify"})) { o.block.verify = o.block.given = true; }
    else if (a.Is({"--version-info"})) o.versionInfo.push_back(VersionAssignment(a.Value()));
    else if (a.Is({"--admin"})) levels.push_back(LevelRequireAdministrator);
    else if (a.Is({"--highest"})) levels.push_back(LevelHighestAvailable);
    else if (a.Is({"-l", "--level"})) o.level = ParseNumber(a.Value(), "--level");
    else if (a.Is({"-0", "--store"})) o.store = true;
    else if (a.Is({"-T", "--threads"})) {
      int n = ParseNumber(a.Value(), "--threads");
      if (n < 1 || n > 256) throw UsageError("--threads takes 1 to 256, not " + std::to_string(n));
      o.threads = static_cast<unsigned>(n);
    }
    else if (a.Is({"--password"})) { o.password = a.Text(); havePassword = true; }
    else if (a.Is({"--zipcrypto"})) o.zipcrypto = true;
    else if (a.Is({"--password-file"})) passwordFile = a.Value();
    else if (a.Is({"-e", "--encrypt"})) encrypt = true;
    else if (a.Is({"--recompress"})) o.recompress = true;
    else if (a.Is({"--split"})) o.split = ParseSize(a.Value(), "--split");
    else if (a.Is({"--sign-cert"})) o.sign.cert = a.Value();
    else if (a.Is({"--sign-key"})) o.sign.key = a.Value();
    else if (a.Is({"--sign-pass-file"})) o.sign.passFile = a.Value();
    else if (a.Is({"--sign-pkcs12"})) o.sign.pkcs12 = a.Value();
    else if (a.Is({"--sign-pass"})) { o.sign.pass = a.Value(); o.sign.havePass = true; }
    else if (a.Is({"--sign-timestamp"})) o.sign.timestamps.push_back(a.Value());
    else if (a.Is({"-q", "--quiet"})) o.quiet = true;
    else if (a.Is({"-v", "--verbose"})) o.verbose = true;
    else if (a.Is({"-x", "--exclude"})) o.excludes.push_back(ExcludePattern(a.Value()));
    else if (a.Is({"-@"})) listFiles.push_back("-");
    else if (a.Is({"--files-from"})) listFiles.push_back(a.Value());
    else if (a.Is({"--skip-unreadable"})) o.skipUnreadable = true;
    else if (a.Is({"-h", "--help"})) { std::fputs(Help, stdout); return 0; }
    else throw UsageError("unknown option " + a.Word() + " (see mksfx --help)");
  }
  // Operands first, then the lists' names, each in its order.
  for (const std::string& w : operands) {
#ifdef _WIN32
    // The command interpreter passes wildcards on; Windows programs expand
    // them themselves.
    if (HasWildcards(w)) {
      std::vector<std::string> names = ExpandWildcards(w, o.directory);
      if (names.empty()) {
        if (!o.skipUnreadable) throw Failure("cannot read " + w + ": no file matches");
        std::fprintf(stderr, "mksfx: warning: cannot read %s: no file matches; left out\n", w.c_str());
        o.unmatched.push_back(w);
      }
      o.inputs.insert(o.inputs.end(), names.begin(), names.end());
      continue;
    }
#endif
    o.inputs.push_back(w);
  }
  for (const std::string& list : listFiles) {
    std::vector<std::string> names = NamesFrom(list);
    o.inputs.insert(o.inputs.end(), names.begin(), names.end());
  }
  o.listFiles = listFiles;
  for (const std::string& level : levels)
    if (level != levels.front()) throw UsageError("give one of --admin and --highest");
  if (!levels.empty()) o.executionLevel = levels.front();
  // The stub tests a split set no more than it would ask for its disks twice.
  if (o.block.verify && o.split != 0) throw UsageError("--verify is for single-file programs, not with --split");
  if (havePassword + !passwordFile.empty() + encrypt > 1)
    throw UsageError("give one of --password, --password-file and --encrypt");
  if (!passwordFile.empty()) {
    o.password = PasswordFromFile(passwordFile);
    o.passwordFile = passwordFile;
    havePassword = true;
  }
  if (encrypt) {
    o.password = ReadSecret("Password: ");
    if (ReadSecret("Again: ") != o.password) throw Failure("the two passwords differ");
    havePassword = true;
  }
  if (havePassword) {
    o.password = StubPassword(o.password);
    std::string warning = CheckSealingPassword(o.password, o.zipcrypto);
    if (!warning.empty() && !o.quiet) std::fprintf(stderr, "mksfx: warning: %s\n", warning.c_str());
  }
  if (o.stub.empty()) o.stub = ToolFolder(argv[0]) / "sfx.exe";
  o.latestTime = SourceDateEpoch();
  return CreateArchive(o);
}

int Read(int argc, char** argv, bool test) {
  ReadOptions o;
  Arguments a(argc, argv, 2);
  int files = 0;
  while (a.Next()) {
    if (a.IsOperand()) { o.file = a.Word(); ++files; }
    else if (a.Is({"--password"})) { o.password = a.Text(); o.havePassword = true; }
    else if (a.Is({"--password-file"})) { o.password = PasswordFromFile(a.Value()); o.havePassword = true; }
    else if (test && a.Is({"-q", "--quiet"})) o.quiet = true;
    else if (a.Is({"-h", "--help"})) { std::fputs(Help, stdout); return 0; }
    else throw UsageError("unknown option " + a.Word() + " (see mksfx --help)");
  }
  if (files != 1) throw UsageError(std::string(test ? "test" : "list") + " takes one self-extracting file");
  if (o.havePassword) o.password = StubPassword(o.password);
  o.askPassword = !o.havePassword && StdinIsTerminal();
  return test ? TestArchive(o) : ListArchive(o);
}

// The form of the first mksfx: the stub, an optional block and an archive
// made elsewhere, its bytes appended unchanged (its offsets do not count the
// stub). The stub's tests use it for archives made by hand or by Info-ZIP.
int Raw(int argc, char** argv) {
  std::string stub, zip, out;
  BlockSettings block;
  int flags = -1;
  Arguments a(argc, argv, 1);
  while (a.Next()) {
    if (a.Is({"--stub"})) stub = a.Value();
    else if (a.Is({"--zip"})) zip = a.Value();
    else if (a.Is({"--out"})) out = a.Value();
    else if (a.Is({"--caption"})) { block.caption = a.Text(); block.given = true; }
    else if (a.Is({"--dest"})) { block.dest = a.Text(); block.given = true; }
    else if (a.Is({"--run"})) { block.run = a.Text(); block.given = true; }
    else if (a.Is({"--overwrite"})) block.overwrite = block.given = true;
    else if (a.Is({"--auto"})) block.autoExtract = block.given = true;
    else if (a.Is({"--wait-delete"})) block.waitDelete = block.given = true;
    else if (a.Is({"--verify"})) block.verify = block.given = true;
    else if (a.Is({"--flags"})) { flags = static_cast<int>(std::strtoul(a.Value().c_str(), nullptr, 0)) & 0xFF; block.given = true; }
    else throw UsageError("unknown option " + a.Word() + " (see mksfx --help)");
  }
  if (stub.empty() || zip.empty() || out.empty()) throw UsageError("--stub, --zip and --out go together");
  std::ifstream s(stub, std::ios::binary), z(zip, std::ios::binary);
  if (!s) throw Failure("cannot read " + stub);
  if (!z) throw Failure("cannot read " + zip);
  std::string stubBytes((std::istreambuf_iterator<char>(s)), std::istreambuf_iterator<char>());
  if (stubBytes.size() != StubSize) throw Failure(stub + " is " + std::to_string(stubBytes.size()) + " bytes, not " + std::to_string(StubSize));
  // The texts as given (a test may want what create refuses), within the block.
  std::string b;
  if (block.given)
    b = AssembleConfigBlock(flags >= 0 ? static_cast<uint8_t>(flags) : BlockFlags(block), block.caption, block.dest,
                            block.run);
  // Windows does not start a program of 4 GiB or more, and this form cannot split.
  std::error_code ec;
  uint64_t zipSize = std::filesystem::file_size(zip, ec);
  if (!ec && zipSize + stubBytes.size() + b.size() > LimitsOfRun().largestVolume)
    throw Failure("the program would be 4 GiB or larger, which Windows does not start; make it with mksfx create --split SIZE");
  std::string zipBytes((std::istreambuf_iterator<char>(z)), std::istreambuf_iterator<char>());
  std::ofstream o(out, std::ios::binary);
  o << stubBytes << b << zipBytes;
  o.close();
  if (!o) throw Failure("cannot write " + out);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  CleanUpOnSignals();
#ifdef _WIN32
  SetConsoleOutputCP(CP_UTF8);  // names are printed in UTF-8, in every script
#endif
  std::string command = argc > 1 ? argv[1] : "";
  try {
    if (command == "create") return Create(argc, argv);
    if (command == "list") return Read(argc, argv, false);
    if (command == "test") return Read(argc, argv, true);
    // "/?" as Windows programs take it, in both builds.
    if (command == "-h" || command == "--help" || command == "/?" || command == "-?") {
      std::fputs(Help, stdout);
      return 0;
    }
    if (command == "-V" || command == "--version") {
      std::printf("mksfx %s (Korvi EXE; stub of %u bytes; Deflate by %s)\n", Version, static_cast<unsigned>(StubSize),
                  CompressorName());
      return 0;
    }
    if (command.rfind("--", 0) == 0) return Raw(argc, argv);
    throw UsageError(command.empty() ? "no command; try mksfx --help" : "unknown command " + command + " (create, list, test)");
  } catch (const UsageError& e) {
    std::fprintf(stderr, "mksfx: %s\n", e.what());
    return 2;
  } catch (const Failure& e) {
    std::fprintf(stderr, "mksfx: %s\n", e.what());
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "mksfx: %s\n", e.what());
    return 1;
  }
}

// The files a run replaces or removes (replaced.h).
#include "tools/mksfx/replaced.h"
#include <algorithm>
#include "tools/mksfx/common.h"
#include "tools/mksfx/writer.h"

namespace fs = std::filesystem;

namespace mksfx {

fs::path OutputTarget(const fs::path& output) {
  fs::path at = output;
  for (int hops = 0;; ++hops) {
    std::error_code ec;
    fs::file_status st = fs::symlink_status(at, ec);
    if (fs::is_symlink(st)) {
      if (hops == 40) throw Failure("the output " + output.string() + " is a loop of links; it is left as it is");
      fs::path next = fs::read_symlink(at, ec);
      if (ec) throw Failure("cannot read the link " + at.string() + ": " + ec.message());
      at = next.is_absolute() ? next : at.parent_path() / next;
      continue;
    }
    const char* kind = fs::is_character_file(st) || fs::is_block_file(st) ? "a device"
                       : fs::is_fifo(st) ? "a FIFO" : fs::is_socket(st) ? "a socket"
                       : fs::exists(st) && !fs::is_regular_file(st) && !fs::is_directory(st) ? "no regular file" : nullptr;
    if (kind != nullptr)
      throw Failure("the output " + output.string() + (at == output ? "" : " (" + at.string() + ")") + " is " + kind +
                    "; mksfx replaces only regular files and leaves it as it is (-o - writes to standard output)");
    return at;
  }
}

Replaced::Replaced(const fs::path& output)
    : output_(output), shown_(output == "-" ? "standard output" : "the output " + output.string()),
      outputId_(output == "-" ? IdOfStandardOutput() : IdOf(output)) {
  if (output == "-") return;
  std::error_code ec;
  if (fs::is_directory(output, ec)) throw Failure("the output " + output.string() + " is a folder; it is left as it is");
  // The volumes are files of the output's own folder; a folder under such a
  // name is none. An unreadable folder has none that this run could see.
  fs::path folder = output.parent_path();
  for (fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec), end; !ec && it != end; it.increment(ec)) {
    unsigned n = VolumeNumber(output, it->path().filename());
    std::error_code kind;
    if (n == 0 || !it->is_regular_file(kind)) continue;
    fs::path path = folder / it->path().filename();
    volumes_.push_back({n, path, IdOf(path)});
  }
  std::sort(volumes_.begin(), volumes_.end(), [](const Volume& a, const Volume& b) { return a.number < b.number; });
}

Replaced::Kind Replaced::Of(const FileId& id) const {
  if (!outputId_.exists && volumes_.empty()) return Other;
  if (SameFile(id, outputId_)) return TheOutput;
  for (const Volume& v : volumes_)
    if (SameFile(id, v.id)) return OldVolume;
  return Other;
}

void Replaced::MustNotBe(const fs::path& path, const std::string& role, const FileId& id) const {
  Kind kind = Of(id);
  if (kind == Other) return;
  std::string shown = path.lexically_normal().string();
  switch (kind) {
    case TheOutput:
      throw Failure(shown_ + " is " + role + " (" + shown + "); name another output");
    case OldVolume:
      throw Failure(shown + " (" + role + ") is a volume of an earlier split run of the output " + output_.string() +
                    ", which this run replaces or removes; move it or name another output");
    case Other:
      break;
  }
}

std::vector<fs::path> Replaced::OldVolumes() const {
  std::vector<fs::path> paths;
  for (const Volume& v : volumes_) paths.push_back(v.path);
  return paths;
}

std::vector<fs::path> Replaced::RemoveStale(const std::vector<fs::path>& written, std::vector<std::string>& failures) const {
  std::vector<fs::path> removed;
  for (const Volume& v : volumes_) {
    // The run's own volumes carry the names VolumeName gives; one of those
    // replaced the old file already.
    bool rewritten = std::any_of(written.begin(), written.end(), [&](const fs::path& w) {
      return w.filename() == v.path.filename() || VolumeNumber(output_, w.filename()) == v.number;
    });
    if (rewritten) continue;
    std::error_code ec;
    fs::remove(v.path, ec);
    if (ec) failures.push_back(v.path.string() + ": " + ec.message());
    else removed.push_back(v.path);
  }
  return removed;
}

}  // namespace mksfx

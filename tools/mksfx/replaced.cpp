// The files a run replaces (replaced.h).
#include "tools/mksfx/replaced.h"
#include "tools/mksfx/common.h"

namespace fs = std::filesystem;

namespace mksfx {

Replaced::Replaced(const fs::path& output) : output_(output), outputId_(IdOf(output)) {
  std::error_code ec;
  if (fs::is_directory(output, ec)) throw Failure("the output " + output.string() + " is a folder");
}

bool Replaced::IsOutput(const fs::path& path) const { return outputId_.exists && SameFile(IdOf(path), outputId_); }

void Replaced::MustNotBe(const fs::path& path, const std::string& what) const {
  if (IsOutput(path))
    throw Failure("the output " + output_.string() + " is " + what + " (" + path.lexically_normal().string() +
                  "); name another output");
}

}  // namespace mksfx

// The core's messages on the posix platform, which records them.
#include "platform/posix/control.h"
#include "tools/mksfx/core_hooks.h"

namespace mksfx {

std::vector<std::string> TakeCoreMessages() {
  std::vector<std::string> texts;
  for (const ShownMessage& m : posix::Messages) texts.push_back(m.caption + ": " + m.text);
  posix::Messages.clear();
  return texts;
}

}  // namespace mksfx

// The core's messages on the posix platform, which keeps them for the tool.
#include "platform/posix/posix.h"
#include "tools/mksfx/core_hooks.h"

namespace mksfx {

std::vector<std::string> TakeCoreMessages() { return posix::TakeShownMessages(); }

}  // namespace mksfx

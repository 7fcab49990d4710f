// The core's messages in the Windows console program: kept for mksfx to
// print rather than shown in a message box, and the texts from the same
// catalogue the stub's string table is made of.
#include <cstring>
#include "platform/platform.h"
#include "SFXstrings/catalogue_table.h"
#include "tools/mksfx/core_hooks.h"

namespace {
std::vector<std::string> shown;
}

int ShowMessage(WindowHandle, const char* text, const char* caption, unsigned) {
  shown.push_back(std::string(caption) + ": " + text);
  return AnswerCancel;
}

unsigned LoadCatalogueText(unsigned id, char* buffer, unsigned room) {
  if (room == 0) return 0;
  buffer[0] = 0;
  if (const char* text = CatalogueTextOf(id)) {
    std::strncpy(buffer, text, room - 1);
    buffer[room - 1] = 0;
  }
  return static_cast<unsigned>(std::strlen(buffer));
}

namespace mksfx {
std::vector<std::string> TakeCoreMessages() {
  std::vector<std::string> texts;
  texts.swap(shown);
  return texts;
}
}  // namespace mksfx

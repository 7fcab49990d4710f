// The core's messages in the Windows console program: kept for mksfx to
// print rather than shown in a message box, and the texts from the same
// catalogue the stub's string table is made of.
#include <cstring>
#include "platform/platform.h"
#include "tools/mksfx/core_hooks.h"

namespace {
std::vector<std::string> shown;
}

int ShowMessage(WindowHandle, const char* text, const char* caption, unsigned) {
  shown.push_back(std::string(caption) + ": " + text);
  return AnswerCancel;
}

unsigned LoadCatalogueText(unsigned id, char* buffer, unsigned room) {
  static const struct { unsigned id; const char* text; } table[] = {
#define MESSAGE(id, name, text) {id, text},
#include "SFXstrings/catalogue.def"
#undef MESSAGE
  };
  if (room == 0) return 0;
  buffer[0] = 0;
  for (const auto& entry : table)
    if (entry.id == id) {
      std::strncpy(buffer, entry.text, room - 1);
      buffer[room - 1] = 0;
      return static_cast<unsigned>(std::strlen(buffer));
    }
  return 0;
}

namespace mksfx {
std::vector<std::string> TakeCoreMessages() {
  std::vector<std::string> texts;
  texts.swap(shown);
  return texts;
}
}  // namespace mksfx

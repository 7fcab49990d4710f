// LoadMessage: the catalogue text by identifier, through the platform, which
// holds the table (a string-table resource in the stub, a compiled-in table
// on the host).
#include "SFXstrings/strings.h"
#include "platform/platform.h"

Message LoadMessage(unsigned id) {
  Message m;
  m.text[0] = 0;
  LoadCatalogueText(id, m.text, MessageRoom);
  return m;
}

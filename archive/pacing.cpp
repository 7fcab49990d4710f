// The pass's clock for the message pump and the entry name (pacing.h).
#include "archive/pacing.h"
#include "archive/prompts.h"
#include "platform/platform.h"
#include "support/paths.h"

namespace {
uint32_t LastPump, LastName;
bool NameShownInPass;  // false until the pass has shown its first name
bool NameKept;         // KeptName waits to be shown
char KeptName[TextBufferSize];
}  // namespace

void StartPacing() {
  NameShownInPass = NameKept = false;
  PumpOneMessage();
  LastPump = TickCount();
}

void PumpWhenDue() {
  uint32_t now = TickCount();
  if (now - LastPump < PumpInterval) return;
  PumpOneMessage();
  LastPump = now;
}

static void ShowName(const char* name, uint32_t now) {
  ShowEntryName(name);
  LastName = now;
  NameShownInPass = true;
  NameKept = false;
}

void ShowNameWhenDue(const char* name) {
  uint32_t now = TickCount();
  if (!NameShownInPass || now - LastName >= NameInterval) {
    ShowName(name, now);
    return;
  }
  CopyText(KeptName, name, TextBufferSize);
  NameKept = true;
}

void ShowKeptNameNow() {
  if (NameKept) ShowName(KeptName, TickCount());
}

void PaceEntryData() {
  PumpWhenDue();
  if (NameKept && TickCount() - LastName >= NameInterval) ShowName(KeptName, TickCount());
}

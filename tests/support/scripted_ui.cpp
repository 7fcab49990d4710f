// The scripted user interface (see scripted_ui.h).
#include "tests/support/scripted_ui.h"
#include <cstring>
#include "Dialog/dialog.h"
#include "Sfx/state.h"
#include "archive/prompts.h"
#include "support/paths.h"

namespace scripted {
std::deque<OverwriteReply> OverwriteReplies;
std::deque<std::string> PasswordReplies;
std::deque<bool> DiskReplies;
std::vector<std::string> Asked;
std::vector<std::string> EntryNames;
int Pumps, Paints, Focuses;
std::vector<std::string> MainDialogTemplates;
std::function<void()> MainDialogBody;
std::function<void()> OnPump;
std::function<void()> OnDisk;

void Reset() {
  OverwriteReplies.clear();
  PasswordReplies.clear();
  DiskReplies.clear();
  Asked.clear();
  EntryNames.clear();
  Pumps = Paints = Focuses = 0;
  MainDialogTemplates.clear();
  MainDialogBody = nullptr;
  OnPump = nullptr;
  OnDisk = nullptr;
}
}  // namespace scripted

using namespace scripted;

void PumpOneMessage() {
  ++Pumps;
  if (OnPump) OnPump();
}
void FocusProgressWindow() { ++Focuses; }
void PaintProgressNow() { ++Paints; }
void ShowEntryName(const char* name) { EntryNames.push_back(name); }

// The overwrite confirmation's Yes and No, as the dialog sets them.
void AskOverwrite() {
  Asked.push_back(std::string("overwrite:") + ConflictName);
  OverwriteReply r{false, false};
  if (!OverwriteReplies.empty()) {
    r = OverwriteReplies.front();
    OverwriteReplies.pop_front();
  }
  if (r.applyToAll) OverwriteMode = r.yes ? ReplaceWithoutAsking : KeepExisting;
  OverwriteAnswer = r.yes ? 1 : 0;
}

// The password prompt's OK: the typed text reaches PasswordBuffer in UTF-8,
// as the field holds it (the replies are UTF-8 already).
void AskPassword() {
  Asked.push_back("password");
  std::string typed;
  if (!PasswordReplies.empty()) {
    typed = PasswordReplies.front();
    PasswordReplies.pop_front();
  }
  if (typed.size() > PasswordBufferSize - 1) typed.resize(PasswordBufferSize - 1);
  std::memcpy(PasswordBuffer, typed.c_str(), typed.size() + 1);
  PasswordLength = static_cast<int32_t>(typed.size());
}

// The request for the next disk: OK or Cancel.
bool AskForDisk(const char* text) {
  Asked.push_back(std::string("disk:") + text);
  if (OnDisk) OnDisk();
  if (DiskReplies.empty()) return false;
  bool ok = DiskReplies.front();
  DiskReplies.pop_front();
  return ok;
}

void RunMainDialog(const char* templateName) {
  MainDialogTemplates.push_back(templateName);
  if (MainDialogBody) MainDialogBody();
}

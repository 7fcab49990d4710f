// The prompts of archive/prompts.h for a console program: nothing to pump or
// repaint, no file to overwrite, no password typed into a dialog (mksfx asks
// for it itself) and no disk to insert.
#include "archive/prompts.h"
#include "Sfx/state.h"
#include "tools/mksfx/core_hooks.h"

void PumpOneMessage() {}
void FocusProgressWindow() {}
void PaintProgressNow() {
  if (mksfx::OnCorePaint) mksfx::OnCorePaint();
}
void ShowEntryName(const char*) {}
void AskOverwrite() { OverwriteAnswer = 0; }
void AskPassword() { PasswordLength = 0; }
bool AskForDisk(const char*) { return false; }

// What the core asks of the user interface, for the fuzz targets: no window
// exists, nothing is painted, every question is answered with No or nothing.
#include "Dialog/dialog.h"
#include "Sfx/state.h"
#include "archive/prompts.h"

void PumpOneMessage() {}
void FocusProgressWindow() {}
void InvalidateProgressBars() {}
void PaintProgressNow() {}
void ShowEntryName(const char*) {}
void AskOverwrite() { OverwriteAnswer = 0; }
void AskPassword() {
  PasswordBuffer[0] = 0;
  PasswordLength = 0;
}
void RunMainDialog(const char*) {}

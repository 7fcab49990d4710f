// What the driver asks of the user interface (archive/prompts.h), carried out
// on the real dialogs: the single-message pump that keeps the windows alive
// during a pass, the progress dialog's repaints and entry name, and the two
// modal questions and the request for the next disk, all owned by the
// progress dialog.
#include "archive/prompts.h"
#include "Dialog/dialogs.h"
#include "Dialog/resource.h"
#include "SFXstrings/strings.h"
#include "Sfx/state.h"
#include "platform/win32/wide.h"

static HWND Progress() { return static_cast<HWND>(ProgressWindow); }

void PumpOneMessage() {
  MSG m;
  if (PeekMessageA(&m, 0, 0, 0, PM_REMOVE)) {
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
}

// A silent run has no progress dialog: nothing to focus, paint or name.
void FocusProgressWindow() {
  if (Progress() == 0) return;
  SetFocus(Progress());
  InvalidateRect(Progress(), 0, TRUE);
}

void PaintProgressNow() {
  if (!BarsMoved() || Progress() == 0) return;  // a whole percent is 1/100 of an entry: most chunks move neither bar
  HDC surface = GetDC(Progress());
  PaintProgressBars(surface);
  ReleaseDC(Progress(), surface);
}

void ShowEntryName(const char* name) {
  // The control is looked up once per progress dialog, not once per entry.
  static HWND owner, label;
  if (owner != Progress()) {
    owner = Progress();
    label = GetDlgItem(owner, IDC_ENTRY_NAME);
  }
  SetWindowTextW(label, Utf16Of(name, FirstText));
}

// A modal question owned by the progress dialog, its template named by the
// catalogue. A dialog of the wide calls, so that its fields hold what is
// typed in UTF-16: a password in any script, whatever the ANSI code page.
static void Ask(MessageId templateName, DLGPROC procedure) {
  DialogBoxParamW(ModuleInstance(), Utf16Of(LoadMessage(templateName).text, FirstText), Progress(), procedure, 0);
}

void AskOverwrite() { Ask(MsgOverwriteTemplate, OverwriteDialogProc); }

bool AskForDisk(const char* text) {
  return ShowMessage(Progress(), text, LoadMessage(MsgMultiVolume).text, BoxOkCancel | BoxIconInformation) != AnswerCancel;
}

// Silent, the password is the one of /P= alone: no prompt.
void AskPassword() {
  if (!Silent) Ask(MsgPasswordTemplate, PasswordDialogProc);
}

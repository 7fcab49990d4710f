// The main dialog MAINDIALOG: the program's main window. It proposes the
// destination folder and the two options, owns the progress dialog, runs the
// driver's count pass while it opens and its extraction pass on Extract, and
// in automatic mode does all of that without ever being shown.
#include "Dialog/dialog.h"
#include "Dialog/dialogs.h"
#include "Dialog/resource.h"
#include "Dialogsel/command.h"
#include "Dialogsel/dialogsel.h"
#include "SFXstrings/strings.h"
#include "Sfx/config.h"
#include "Sfx/state.h"
#include "archive/driver.h"
#include "support/paths.h"


// True while the driver runs inside one of this dialog's handlers. The
// driver is not re-entrant and its pump dispatches every message of the
// thread, so Extract, "...", Close and the close box are shut off meanwhile.
static uint8_t PassRunning;

static HWND Progress() { return static_cast<HWND>(ProgressWindow); }

// One pass of the driver with the commands that could start a second one or
// end the dialog under it disabled, and enabled again afterwards.
static void RunDriver(HWND dialog, PassKind kind) {
  static const int guarded[] = {IDOK, IDCANCEL, IDC_BROWSE};
  HMENU menu = GetSystemMenu(dialog, FALSE);
  PassRunning = 1;
  for (int id : guarded) EnableWindow(GetDlgItem(dialog, id), FALSE);
  EnableMenuItem(menu, SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
  ExtractArchive(dialog, kind);
  EnableMenuItem(menu, SC_CLOSE, MF_BYCOMMAND | MF_ENABLED);
  for (int id : guarded) EnableWindow(GetDlgItem(dialog, id), TRUE);
  PassRunning = 0;
}

// "After extraction, run : ", the program's file name, a blank and the last
// component of the parameters, without the quotes of either (a parameter
// that ends in a quoted folder would show a lone quote).
static void ShowRunLabel(HWND dialog) {
  char label[MessageRoom], part[TextBufferSize], name[TextBufferSize];
  CopyText(label, LoadMessage(MsgRunLabel).text, sizeof label);
  for (int kind = ProgramPart; kind <= ParametersPart; ++kind) {
    RunCommandPart(static_cast<CommandPartKind>(kind), part);
    ExtractNamePart(part, name);
    char* w = label + TextLength(label);
    if (kind == ParametersPart) *w++ = ' ';
    for (const char* r = name; *r != 0 && w < label + sizeof label - 1; ++r)
      if (*r != '"') *w++ = *r;
    *w = 0;
  }
  SetControlText(dialog, IDC_EXECUTE, label);
}

// The destination field and DestinationFolder, one into the other.
static void ReadDestination(HWND dialog) {
  ControlTextOf(dialog, IDC_DESTINATION, DestinationFolder, TextBufferSize);
}

static void ShowDestination(HWND dialog) { SetControlText(dialog, IDC_DESTINATION, DestinationFolder); }

static void CloseCommand(HWND dialog) {
  ReadDestination(dialog);
  const char* folder = Utf8OfAnsi(DestinationFolder);
  if (PathExists(folder)) SetCurrentFolder(folder);
  EndDialog(dialog, IDCANCEL);
}

static void ExtractCommand(HWND dialog) {
  ReadDestination(dialog);
  StripTrailingBackslash(DestinationFolder);
  if (DestinationFolder[0] == 0) {
    CurrentFolder(DestinationFolder, TextBufferSize);
    ShowDestination(dialog);
  }
  // A Cancel of an earlier run must not stop this one at its first entry.
  CancelRequested = 0;
  ShowWindow(Progress(), SW_SHOW);
  RunDriver(dialog, ExtractPass);
  ShowWindow(Progress(), SW_HIDE);
  if (ExtractionSucceeded) {
    // The wait for the program and the deletion pass dispatch messages too;
    // the dialog takes no command until it ends after them.
    PassRunning = 1;
    RunAfterExtraction(dialog, IsChecked(dialog, IDC_EXECUTE) ? 1 : 0);
    EndDialog(dialog, IDOK);
  }
  if (AutoExtract) CloseCommand(dialog);
}

// "...": the folder browser, and through its "New..." the New Folder dialog;
// a New Folder dialog that is cancelled drops the browser's choice.
static void BrowseCommand(HWND dialog) {
  if (BrowseForDestination(dialog, DestinationFolder) && RunNewFolderDialog(dialog) != IDOK) ReadDestination(dialog);
  ShowDestination(dialog);
}

static void OpenDialog(HWND dialog) {
  SetClassLongA(dialog, GCL_HICON, reinterpret_cast<LONG>(LoadIconA(ModuleInstance(), PROGRAM_ICON)));

  ProposeDestination();
  ShowDestination(dialog);

  if (HasRunCommand) {
    ShowRunLabel(dialog);
    SetChecked(dialog, IDC_EXECUTE, true);
  } else {
    ShowWindow(GetDlgItem(dialog, IDC_EXECUTE), SW_HIDE);
  }

  SetChecked(dialog, IDC_OVERWRITE, OverwriteByDefault != 0);
  OverwriteMode = OverwriteByDefault ? ReplaceWithoutAsking : AskEachFile;

  // The caption and CaptionText are cut to the buffer when they are long.
  char caption[ConfigTextSize];
  TextOf(dialog, caption, ConfigTextSize - 1);
  if (HasCaptionText) {
    AppendText(caption, " - ", ConfigTextSize);
    AppendText(caption, CaptionText, ConfigTextSize);
    SetText(dialog, caption);
  }

  CentreWindow(dialog);

  ProgressWindow = CreateDialogParamA(ModuleInstance(), PROGRESS_TEMPLATE, dialog, ProgressDialogProc, 0);
  ShowWindow(Progress(), SW_SHOW);
  RunDriver(dialog, CountPass);
  ShowWindow(Progress(), SW_HIDE);
  SetFocus(dialog);

  // Automatic mode: Extract at once; it ends the dialog before it is shown.
  if (AutoExtract) ExtractCommand(dialog);
}

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      OpenDialog(dialog);
      return FALSE;  // the focus is placed already
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          if (!PassRunning) ExtractCommand(dialog);
          return TRUE;
        case IDCANCEL:
          if (!PassRunning) CloseCommand(dialog);
          return TRUE;
        case IDC_BROWSE:
          if (!PassRunning) BrowseCommand(dialog);
          return TRUE;
        case IDC_OVERWRITE:
          OverwriteMode = IsChecked(dialog, IDC_OVERWRITE) ? ReplaceWithoutAsking : AskEachFile;
          return TRUE;
      }
      return FALSE;
    case WM_CLOSE:
      // The close box: the progress dialog goes first, then the default
      // handling turns the request into the Close command.
      if (PassRunning) return TRUE;
      DestroyWindow(Progress());
      ProgressWindow = 0;
      return FALSE;
  }
  return FALSE;
}

void RunMainDialog(const char* templateName) {
  DialogBoxParamA(ModuleInstance(), templateName, 0, MainDialogProc, 0);
}

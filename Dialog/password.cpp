// The password prompt PASSWD: one masked field and OK. It only collects the
// text into PasswordBuffer and PasswordLength; the driver tests it and asks
// again. There is no way out but OK: Escape and the close box are ignored.
// The field is read in UTF-16, every character as typed whatever the ANSI
// code page, and kept in UTF-8: the field's whole text fits the buffer.
#include "Dialog/dialogs.h"
#include "Dialog/resource.h"
#include "Sfx/state.h"

static wchar_t Typed[PasswordCharacters + 1];

INT_PTR CALLBACK PasswordDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      CentreWindow(dialog);
      SetFocus(GetDlgItem(dialog, IDC_PASSWORD));
      return FALSE;  // the focus has been placed
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        GetDlgItemTextW(dialog, IDC_PASSWORD, Typed, PasswordCharacters + 1);
        int n = WideCharToMultiByte(CP_UTF8, 0, Typed, -1, PasswordBuffer, PasswordBufferSize, 0, 0);
        PasswordLength = n > 0 ? n - 1 : 0;
        EndDialog(dialog, IDOK);
      }
      return TRUE;  // every other command, Cancel included, changes nothing
  }
  return FALSE;
}

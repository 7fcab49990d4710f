// The password prompt PASSWD: one masked field and OK. It only collects the
// text into PasswordBuffer and PasswordLength; the driver tests it and asks
// again. There is no way out but OK: Escape and the close box are ignored.
#include "Dialog/dialogs.h"
#include "Dialog/resource.h"
#include "Sfx/state.h"

INT_PTR CALLBACK PasswordDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      CentreWindow(dialog);
      SetFocus(GetDlgItem(dialog, IDC_PASSWORD));
      return FALSE;  // the focus has been placed
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        // At most 79 characters fit the buffer with its NUL.
        int n = ControlTextOf(dialog, IDC_PASSWORD, PasswordBuffer, PasswordBufferSize);
        if (n < 0) n = 0;
        PasswordLength = n;
        PasswordBuffer[n] = 0;
        EndDialog(dialog, IDOK);
      }
      return TRUE;  // every other command, Cancel included, changes nothing
  }
  return FALSE;
}

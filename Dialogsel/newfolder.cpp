// The New Folder dialog DLGNEW: shows the folder chosen in the browser and
// creates a folder of the typed name below it, which becomes the destination.
#include "Dialogsel/dialogsel.h"
#include "Dialogsel/resource.h"
#include "Dialogsel/window.h"
#include "Dialogsel/folders.h"
#include "Sfx/state.h"
#include "support/paths.h"

static INT_PTR CALLBACK NewFolderProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      AddTrailingBackslash(DestinationFolder);
      CentreWindow(dialog);
      SetControlText(dialog, IDC_PARENT_FOLDER, DestinationFolder);
      SetFocus(GetDlgItem(dialog, IDC_NEW_NAME));
      return FALSE;  // the focus has been placed
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        char name[MAX_PATH];
        ControlTextOf(dialog, IDC_NEW_NAME, name, sizeof name);
        if (AcceptNewFolder(dialog, name)) EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

INT_PTR RunNewFolderDialog(HWND owner) {
  return DialogBoxParamA(ModuleInstance(), NEW_FOLDER_TEMPLATE, owner, NewFolderProc, 0);
}

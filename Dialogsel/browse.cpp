// The folder browser behind the main dialog's "...": the shell's browser,
// captioned "Extract to : " and given a "New..." button beside its OK. The
// button is enabled exactly when OK is; pressing it ends the browser as OK
// would, with the wish to create a new folder under the chosen one.
#include "Dialogsel/dialogsel.h"
#include <shlobj.h>
#include "Dialogsel/resource.h"
#include "Dialogsel/folders.h"
#include "Dialogsel/window.h"
#include "SFXstrings/strings.h"
#include "support/paths.h"

namespace {

uint8_t NewFolderRequested;
HWND NewButton;
WNDPROC BrowserProcedure;

// The browser's own procedure, with "New..." turned into OK and made to
// follow OK once the browser has handled a change of selection: Wine's
// browser settles OK only after telling the callback of the change.
LRESULT CALLBACK BrowserWithNewButton(HWND browser, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && wParam == IDC_NEW_BUTTON) {
    NewFolderRequested = 1;
    PostMessageA(browser, WM_COMMAND, IDOK, 0);
    return 0;
  }
  LRESULT result = CallWindowProcA(BrowserProcedure, browser, message, wParam, lParam);
  if (message == WM_NOTIFY) EnableWindow(NewButton, IsWindowEnabled(GetDlgItem(browser, IDOK)));
  return result;
}

// "New..." goes left of OK, as wide as OK and as far from it as Cancel is:
// the browser's own buttons give its size at any DPI.
void AddNewButton(HWND browser) {
  SetText(browser, LoadMessage(MsgBrowseCaption).text);
  HWND ok = GetDlgItem(browser, IDOK);
  RECT r, cancel;
  GetWindowRect(ok, &r);
  GetWindowRect(GetDlgItem(browser, IDCANCEL), &cancel);
  POINT corner = {r.left - (cancel.left - r.left), r.top};
  ScreenToClient(browser, &corner);
  NewButton = CreateWindowExA(0, "BUTTON", LoadMessage(MsgNewButton).text,
                              WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP | BS_PUSHBUTTON,
                              corner.x, corner.y, r.right - r.left, r.bottom - r.top, browser,
                              reinterpret_cast<HMENU>(IDC_NEW_BUTTON), ModuleInstance(), 0);
  PostMessageA(NewButton, WM_SETFONT, SendMessageA(ok, WM_GETFONT, 0, 0), TRUE);
  // Like OK: Wine's browser opens with nothing selected and OK enabled.
  EnableWindow(NewButton, IsWindowEnabled(ok));
  BrowserProcedure = reinterpret_cast<WNDPROC>(
      SetWindowLongA(browser, GWL_WNDPROC, reinterpret_cast<LONG>(BrowserWithNewButton)));
}

int CALLBACK BrowserEvent(HWND browser, UINT event, LPARAM lParam, LPARAM destination) {
  if (event == BFFM_INITIALIZED) {
    AddNewButton(browser);
    char start[TextBufferSize];
    BrowserStart(reinterpret_cast<const char*>(destination), start);
    SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(start));
  } else if (event == BFFM_SELCHANGED) {
    char path[MAX_PATH];
    if (!SHGetPathFromIDListA(reinterpret_cast<LPCITEMIDLIST>(lParam), path))
      EnableWindow(GetDlgItem(browser, IDOK), FALSE);
  }
  return 0;
}

}  // namespace

bool BrowseForDestination(HWND owner, char* destination) {
  NewFolderRequested = 0;
  char displayName[MAX_PATH];
  Message title = LoadMessage(MsgBrowseTitle);
  BROWSEINFOA info;
  ZeroMemory(&info, sizeof info);
  info.hwndOwner = owner;
  info.pszDisplayName = displayName;
  info.lpszTitle = title.text;
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  info.lpfn = BrowserEvent;
  info.lParam = reinterpret_cast<LPARAM>(destination);
  LPITEMIDLIST chosen = SHBrowseForFolderA(&info);
  NewButton = 0;
  if (chosen == 0) return false;
  char path[MAX_PATH];
  bool taken = SHGetPathFromIDListA(chosen, path) && TakeChosenFolder(owner, path, destination, !NewFolderRequested);
  // The shell's allocator, so that no further DLL is imported for the free.
  IMalloc* shellMemory = 0;
  if (SUCCEEDED(SHGetMalloc(&shellMemory))) {
    shellMemory->Free(chosen);
    shellMemory->Release();
  }
  return taken && NewFolderRequested;
}

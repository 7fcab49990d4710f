// Window helpers shared by every dialog of the program (window.h).
#include "Dialogsel/window.h"

void CentreWindow(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  // A window larger than the screen gets a negative position; the divisions
  // truncate toward zero.
  int x = (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2;
  int y = (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2;
  SetWindowPos(window, 0, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

// The image's own first byte, where the linker puts its DOS header: the
// instance handle of the program, without asking GetModuleHandleA(0).
extern "C" IMAGE_DOS_HEADER __ImageBase;

HINSTANCE ModuleInstance() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

bool IsChecked(HWND dialog, int id) { return SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

void SetChecked(HWND dialog, int id, bool checked) {
  SendMessageA(GetDlgItem(dialog, id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

int TextOf(HWND window, char* text, int room) {
  return static_cast<int>(SendMessageA(window, WM_GETTEXT, room, reinterpret_cast<LPARAM>(text)));
}

void SetText(HWND window, const char* text) { SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)); }

int ControlTextOf(HWND dialog, int id, char* text, int room) { return TextOf(GetDlgItem(dialog, id), text, room); }

void SetControlText(HWND dialog, int id, const char* text) { SetText(GetDlgItem(dialog, id), text); }

// Window helpers shared by every dialog of the program, those of Dialog/ and
// those of this folder alike (Win32 only).
#pragma once
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

// Moves a window to the middle of the screen, keeping its size and its place
// in the stacking order.
void CentreWindow(HWND window);

// The module instance whose resources hold the templates and the icon.
HINSTANCE ModuleInstance();

// Check box id of dialog: whether it is checked, and checking it (the
// button's own messages: two imports fewer than the dialog's calls).
bool IsChecked(HWND dialog, int id);
void SetChecked(HWND dialog, int id, bool checked);

// What the dialog procedures of this module share among themselves: their
// procedures, the bar painter and the window helper. Win32 only.
#pragma once
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

// Moves a window to the middle of the screen, keeping its size and its place
// in the stacking order.
void CentreWindow(HWND window);

// The module instance whose resources hold the templates and the icon.
HINSTANCE ModuleInstance();

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK OverwriteDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK PasswordDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Draws the entry bar and the total bar on a surface of the progress dialog.
void PaintProgressBars(HDC surface);
// Either bar's percentage differs from what was painted last.
bool BarsMoved();

// What the dialog procedures of this module share among themselves: their
// procedures and the bar painter; the window helpers come from Dialogsel/,
// the folder below. Win32 only.
#pragma once
#include "Dialogsel/window.h"

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK OverwriteDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK PasswordDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Draws the entry bar and the total bar on a surface of the progress dialog.
void PaintProgressBars(HDC surface);
// Either bar's percentage differs from what was painted last.
bool BarsMoved();

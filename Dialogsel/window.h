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

// A window's text, read into text (room bytes; returns its length) and set,
// by the messages that GetWindowTextA and SetWindowTextA send to a window of
// the program's own (WM_GETTEXT, WM_SETTEXT): four imports fewer with the
// dialog's calls. And the same for control id of dialog.
int TextOf(HWND window, char* text, int room);
void SetText(HWND window, const char* text);
int ControlTextOf(HWND dialog, int id, char* text, int room);
void SetControlText(HWND dialog, int id, const char* text);

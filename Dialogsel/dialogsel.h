// The folder browser with its "New..." button and the New Folder dialog, as
// the main dialog uses them (Win32 only).
#pragma once
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

// Runs the shell's folder browser owned by owner. A chosen folder goes into
// destination (TextBufferSize bytes) and becomes the current folder. Returns
// true when the browser was left through "New...".
bool BrowseForDestination(HWND owner, char* destination);

// Runs the New Folder dialog DLGNEW modally, owned by owner; returns IDOK
// when it ended through OK (with or without a new folder), IDCANCEL else.
INT_PTR RunNewFolderDialog(HWND owner);

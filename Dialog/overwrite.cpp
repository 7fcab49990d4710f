// The overwrite confirmation FILEEXIST: shows the name, size and date of the
// existing file and of the archive's entry (texts the driver has prepared)
// and answers through OverwriteAnswer; with "Apply to &All" checked the
// answer also becomes OverwriteMode for the rest of the program's run.
#include "Dialog/dialogs.h"
#include "Dialog/resource.h"
#include <shellapi.h>
#include "Sfx/state.h"
#include "platform/win32/wide.h"

// The large icon that the shell shows for files of this name's type, judged
// from the name alone, at the left of the existing file's and of the
// archive entry's lines: below the start of the name, level with each size
// line. The places come from those controls, so the icons follow the
// template's layout at any DPI and at any size of icon.
static void DrawTypeIcons(HWND dialog, HDC surface) {
  SHFILEINFOW info;
  info.hIcon = 0;
  if (!SHGetFileInfoW(Utf16Of(ConflictName, FirstText), FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                      SHGFI_ICON | SHGFI_LARGEICON | SHGFI_USEFILEATTRIBUTES) ||
      info.hIcon == 0)
    return;
  RECT name, size;
  GetWindowRect(GetDlgItem(dialog, IDC_CONFLICT_NAME), &name);
  for (int id = IDC_EXISTING_SIZE; id <= IDC_ARCHIVED_SIZE; id += IDC_ARCHIVED_SIZE - IDC_EXISTING_SIZE) {
    GetWindowRect(GetDlgItem(dialog, id), &size);
    POINT corner = {name.left, size.top};
    ScreenToClient(dialog, &corner);
    DrawIcon(surface, corner.x, corner.y, info.hIcon);
  }
  DestroyIcon(info.hIcon);  // each paint asks afresh; keep no handle behind
}

INT_PTR CALLBACK OverwriteDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      CentreWindow(dialog);
      // The name and the dates (the system's, in the user's language) are
      // UTF-8, shown in UTF-16 in any script; the sizes are ANSI text, as
      // the catalogue's unit word is loaded.
      static const char* const texts[] = {ConflictName, ExistingSizeText, ExistingDateText, ArchivedSizeText,
                                          ArchivedDateText};
      for (int i = 0; i < 5; ++i) {
        HWND control = GetDlgItem(dialog, IDC_CONFLICT_NAME + i);
        if (i % 2 == 0) SetWindowTextW(control, Utf16Of(texts[i], FirstText));
        else SetText(control, texts[i]);
      }
      return TRUE;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC surface = BeginPaint(dialog, &ps);
      DrawTypeIcons(dialog, surface);
      EndPaint(dialog, &ps);
      return TRUE;
    }
    case WM_COMMAND: {
      int id = LOWORD(wParam);
      if (id != IDOK && id != IDCANCEL) return FALSE;
      uint8_t yes = id == IDOK;
      if (IsChecked(dialog, IDC_APPLY_TO_ALL)) OverwriteMode = yes ? ReplaceWithoutAsking : KeepExisting;
      OverwriteAnswer = yes;
      EndDialog(dialog, id);
      return TRUE;
    }
  }
  return FALSE;
}

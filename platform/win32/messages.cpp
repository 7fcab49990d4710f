// Message boxes and the string table of the Win32 platform, apart from the
// rest so that a console program can link the platform with its own.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include "platform/platform.h"
#include "platform/win32/wide.h"
#include "Sfx/report.h"

int ShowMessage(WindowHandle owner, const char* text, const char* caption, unsigned style) {
  int answer;
  if (MessageHeld(text, caption, style, &answer)) return answer;
  return MessageBoxW(static_cast<HWND>(owner), Utf16Of(text, FirstText), Utf16Of(caption, SecondText), style);
}

// The image's own first byte: the program's instance handle (see
// Dialogsel/window.cpp).
extern "C" IMAGE_DOS_HEADER __ImageBase;

unsigned LoadCatalogueText(unsigned id, char* buffer, unsigned room) {
  int n = LoadStringA(reinterpret_cast<HINSTANCE>(&__ImageBase), id, buffer, room);
  if (n <= 0) {
    buffer[0] = 0;
    return 0;
  }
  return static_cast<unsigned>(n);
}

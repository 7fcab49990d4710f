// The progress dialog DLGPROGRESS: the entry being processed, one bar for the
// entry and one for the whole archive, and Cancel. It is modeless, created
// once by the main dialog, shown while the driver runs and hidden between.
// The bars are painted both on paint requests and directly after each chunk
// of output (PaintProgressNow in prompts.cpp), so painting is one routine.
#include "Dialog/dialogs.h"
#include "Dialog/resource.h"
#include "Sfx/state.h"

// The bars' offsets in pixels at 96 DPI. They grow with the system's DPI as
// the dialog's own layout does, so that at 144 DPI the total bar still lies
// below its label; the two lines under the entry bar stay one pixel apart.
enum { ShadowOffset = 3, TotalBarBelow = 55, LinesBelow = 11 };

// The shadow's offset and the first line's distance below the entry bar at
// the system's DPI, set when the bars are placed (0 until then, when the
// bars are empty and nothing is drawn).
static LONG ShadowPixels, LinesPixels;

static void FillSpan(HDC surface, LONG left, LONG top, LONG right, LONG bottom, HBRUSH brush) {
  // An empty or inverted span draws nothing: at 0 % the done part and at
  // 100 % the remaining part have no width.
  if (right <= left || bottom <= top) return;
  RECT r = {left, top, right, bottom};
  FillRect(surface, &r, brush);
}

// Shadow, done part and remaining part of one bar. The column at x belongs to
// neither part: the shadow or the background shows through there.
static void PaintBar(HDC surface, const PixelRect& bar, int32_t percent, HBRUSH done, HBRUSH remaining,
                     HBRUSH shadow) {
  LONG offset = ShadowPixels;
  FillSpan(surface, bar.left + offset, bar.top + offset, bar.right + offset, bar.bottom + offset, shadow);
  int32_t x = bar.left + (bar.right - bar.left) * percent / 100;
  FillSpan(surface, bar.left, bar.top, x, bar.bottom, done);
  FillSpan(surface, x + 1, bar.top, bar.right, bar.bottom, remaining);
}

// The percentages the bars last showed, once they have been painted at all.
static uint8_t BarsPainted;
static int32_t PaintedEntry, PaintedArchive;

bool BarsMoved() { return !BarsPainted || PaintedEntry != EntryPercent || PaintedArchive != ArchivePercent; }

void PaintProgressBars(HDC surface) {
  // The three brushes live as long as the program: painting runs after every
  // file, and making them anew each time costs more than the painting.
  static HBRUSH done, remaining, shadow;
  if (done == 0) {
    done = CreateSolidBrush(RGB(0, 0, 128));
    remaining = CreateSolidBrush(RGB(240, 251, 255));
    shadow = CreateSolidBrush(RGB(128, 128, 128));
  }
  BarsPainted = 1;
  PaintedEntry = EntryPercent;
  PaintedArchive = ArchivePercent;

  PaintBar(surface, EntryBarRect, EntryPercent, done, remaining, shadow);
  // Two lines under the entry bar, black then white: spans one pixel high,
  // the pixels a pen of one pixel draws from left up to right.
  LONG below = EntryBarRect.bottom + LinesPixels;
  FillSpan(surface, EntryBarRect.left, below, EntryBarRect.right, below + 1,
           static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  FillSpan(surface, EntryBarRect.left, below + 1, EntryBarRect.right, below + 2,
           static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));

  PaintBar(surface, ArchiveBarRect, ArchivePercent, done, remaining, shadow);
}

// The bars take their place from the hidden control 903, converted into the
// client coordinates of the dialog and moved up and left by the shadow's
// offset; the total bar lies a fixed distance below the entry bar.
static void PlaceBars(HWND dialog) {
  HDC screen = GetDC(0);
  LONG dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(0, screen);
  LONG offset = ShadowPixels = ShadowOffset * dpi / 96, below = TotalBarBelow * dpi / 96;
  LinesPixels = LinesBelow * dpi / 96;
  RECT r;
  GetWindowRect(GetDlgItem(dialog, IDC_BAR_PLACE), &r);
  ScreenToClient(dialog, reinterpret_cast<POINT*>(&r.left));
  ScreenToClient(dialog, reinterpret_cast<POINT*>(&r.right));
  EntryBarRect = PixelRect{r.left - offset, r.top - offset, r.right - offset, r.bottom - offset};
  ArchiveBarRect = EntryBarRect;
  ArchiveBarRect.top += below;
  ArchiveBarRect.bottom += below;
}

INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      EntryPercent = 0;
      ArchivePercent = 0;
      CentreWindow(dialog);
      return TRUE;
    case WM_ACTIVATE:
      PlaceBars(dialog);
      return FALSE;  // the default handling still saves and restores the focus
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC surface = BeginPaint(dialog, &ps);
      PaintProgressBars(surface);
      EndPaint(dialog, &ps);
      return TRUE;
    }
    case WM_COMMAND:
      // Cancel (the close box gives the same command) only raises the flag;
      // the driver notices it at its next test and the dialog stays as it is.
      if (LOWORD(wParam) == IDCANCEL) {
        CancelRequested = 1;
        return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

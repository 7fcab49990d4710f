// sfxdrive: the Win32 automation program of the Wine end-to-end tests. It
// starts a program, then carries out steps given on its command line, the way
// a user would act on the program's windows, and checks what they show.
//
//   sfxdrive [--disk LETTER FOLDER]... [--hold PATH] [--args TEXT] PROGRAM STEP...
//
// --args TEXT follows the quoted program on its command line.
// --hold PATH keeps PATH open without read sharing while the program runs:
// the program is started suspended, PATH is opened, then the program goes on.
// --disk LETTER FOLDER does the step "disk" before the program starts.
// Steps, each a word and its arguments:
//   window CAPTION        wait for a visible window of the program with that
//                         caption; it becomes the current window
//   message TEXT CAPTION  wait for a message box with that caption and text
//                         (or a text whose first lines are TEXT)
//   absent CAPTION MS     no visible window with that caption for MS ms
//   gone                  wait until the current window is no longer visible
//   caption TEXT          the current window's caption is TEXT
//   text ID TEXT          control ID of the current window shows TEXT
//   wtext ID HEX          control ID shows the text whose UTF-8 bytes are HEX,
//                         read in UTF-16 (names in any script; the command
//                         line reaches a Windows program in its code page)
//   settext ID TEXT       put TEXT into control ID (WM_SETTEXT)
//   wsettext ID HEX       put the text whose UTF-8 bytes are HEX into control
//                         ID, in UTF-16 (WM_SETTEXT sent as SendMessageW)
//   click ID              click button ID (BM_CLICK, posted)
//   check ID 0|1          set check box ID and tell the dialog, as a click would
//   checked ID 0|1        check box ID is (not) checked
//   visible ID 0|1        control ID is (not) visible
//   enabled ID 0|1        control ID is (not) enabled (each waits for it
//                         up to the time limit); ID 0 is the current window
//   answers MS            the current window answers a message within MS ms
//                         (SendMessageTimeout, SMTO_ABORTIFHUNG): its thread
//                         dispatches messages, it is not "Not Responding"
//   masked ID 0|1         edit control ID does (not) hide what is typed
//   key VK                press and release a virtual key in the current window
//   close                 the close box of the current window (WM_SYSCOMMAND SC_CLOSE)
//   exists PATH 0|1       a file or folder PATH does (not) exist now
//   version PATH KEY TEXT the version resource of PATH holds TEXT under KEY
//                         (ProductName, ...; FIXED for the fixed file version
//                         as a.b.c.d), as Windows' version calls read it
//   move X Y              move the current window to screen position X, Y
//   bars ENTRY TOTAL      the current (progress) window shows its two bars at
//                         ENTRY and TOTAL percent, placed by its control 903,
//                         their offsets grown with the DPI, and the bars, their
//                         shadows and the lines under the entry bar lie clear
//                         of every visible control
//   layout                no two visible controls of the current window
//                         overlap (a group box may hold others), and each lies
//                         inside the client area
//   fits                  the text of every visible static control, push
//                         button and check box of the current window fits on
//                         one line inside it, measured in the font of the
//                         program's templates (Arial 9 pt at the screen's DPI)
//   icon NAME ID...       the shell's large icon for files named NAME is shown
//                         whole in the current window once beside each control
//                         ID (left of it, level with it) and nowhere else, and
//                         overlaps no visible control but a group box
//   treeselect PATH       in the current window's tree view, walk from the
//                         top level through the items whose texts are PATH's
//                         parts, split at "|" and compared without regard to
//                         case, expanding each on the way, and select the
//                         last, focusing the tree view (under Wine:
//                         "Desktop|My Computer| (C:)|e2e")
//   treeshow              print the tree view's items, indented by level
//   rects                 print the current window's controls: id, class,
//                         rectangle in its client area, visibility and text
//   shot FILE             save the current window as a BMP picture
//   sleep MS              wait
//   timeout MS            how long later waits may take (default 20000, or
//                         SFXDRIVE_TIMEOUT from the environment, for slow
//                         machines: Wine under an emulator)
//   exit CODE             wait for the program to end with exit code CODE
//   silent CODE           until the program ends with exit code CODE, no
//                         window of it is visible and it makes no dialog or
//                         message box, shown or not (watched every 5 ms)
//   answer CODE           until the program ends, print each message box it
//                         shows ("message: CAPTION: TEXT", the text in UTF-8,
//                         its lines joined by " | ") and press its OK; then
//                         print "exit: N" and check that N is CODE. For runs
//                         whose messages are not known beforehand; a wait of
//                         more than the timeout between two events fails
// Steps on files and drives, for changing a disk while the program asks for
// one, or for releasing a program that the program waits for:
//   write PATH TEXT       make the file PATH hold exactly TEXT
//   rename FROM TO        rename a file or folder (MoveFileA, nothing replaced)
//   delete PATH           delete the file PATH
//   keep PATH             open the file PATH without sharing and keep it open
//                         until sfxdrive ends: no other process may delete it
//   appears PATH          wait until a file or folder PATH exists
//   running               the program has not ended
//   disk LETTER FOLDER    a disk change under Wine: the drive LETTER becomes a
//                         removable drive on the Linux folder FOLDER, and its
//                         label is read anew from FOLDER/.windows-label
//   label ROOT TEXT       the volume label of drive ROOT (A:\) is TEXT
// Any failed step prints "FAIL: ..." and ends the program (exit code 1).
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <winioctl.h>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

PROCESS_INFORMATION Process;
HWND Current;
DWORD WaitLimit = 20000;

[[noreturn]] void Fail(const std::string& why) {
  std::printf("FAIL: %s\n", why.c_str());
  std::fflush(stdout);
  if (Process.hProcess != nullptr) TerminateProcess(Process.hProcess, 99);
  std::exit(1);
}

// The window's text, read in UTF-16, as UTF-8.
std::string WideText(HWND w) {
  wchar_t wide[2048];
  wide[0] = 0;
  SendMessageW(w, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(wide));
  char utf8[6144];
  int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, sizeof utf8, nullptr, nullptr);
  return std::string(utf8, n > 0 ? n - 1 : 0);
}

// The same as UTF-8 bytes in hexadecimal.
std::string WideTextHex(HWND w) {
  std::string hex;
  for (unsigned char c : WideText(w)) {
    char two[3];
    std::snprintf(two, sizeof two, "%02x", c);
    hex += two;
  }
  return hex;
}

// The bytes of a text of hexadecimal digits, two a byte.
std::vector<uint8_t> BytesOfHex(const std::string& hex) {
  std::vector<uint8_t> bytes;
  for (size_t k = 0; k + 1 < hex.size(); k += 2)
    bytes.push_back(static_cast<uint8_t>(std::strtoul(hex.substr(k, 2).c_str(), nullptr, 16)));
  return bytes;
}

std::string WindowText(HWND w) {
  char buffer[2048];
  buffer[0] = 0;
  // WM_GETTEXT works across processes; GetWindowTextA too for top-level windows.
  SendMessageA(w, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer));
  return buffer;
}

struct Search {
  std::string caption;
  std::string text;  // for message boxes: a static child with this text
  bool wantText;
  HWND found;
};

BOOL CALLBACK StaticHasText(HWND child, LPARAM param) {
  Search* s = reinterpret_cast<Search*>(param);
  char cls[64];
  GetClassNameA(child, cls, sizeof cls);
  // The text as it stands, or as the first lines of a longer one (a summary
  // followed by the names it is about).
  std::string shown = WindowText(child);
  if (lstrcmpiA(cls, "Static") == 0 &&
      (shown == s->text || (shown.size() > s->text.size() && shown.compare(0, s->text.size(), s->text) == 0 &&
                            (shown[s->text.size()] == '\r' || shown[s->text.size()] == '\n')))) {
    s->wantText = false;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK MatchTopLevel(HWND w, LPARAM param) {
  Search* s = reinterpret_cast<Search*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  if (pid != Process.dwProcessId || !IsWindowVisible(w)) return TRUE;
  if (WindowText(w) != s->caption) return TRUE;
  if (s->wantText) {
    Search inner = *s;
    EnumChildWindows(w, StaticHasText, reinterpret_cast<LPARAM>(&inner));
    if (inner.wantText) return TRUE;
  }
  s->found = w;
  return FALSE;
}

// For a failed "message" step: what the windows of that caption do show.
BOOL CALLBACK TellStatic(HWND child, LPARAM) {
  char cls[64];
  GetClassNameA(child, cls, sizeof cls);
  if (lstrcmpiA(cls, "Static") == 0) {
    std::string t = WindowText(child);
    std::printf("  static: %zu characters: \"%s\"\n", t.size(), t.substr(0, 80).c_str());
  }
  return TRUE;
}

BOOL CALLBACK TellTopLevel(HWND w, LPARAM param) {
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  if (pid == Process.dwProcessId && IsWindowVisible(w) && WindowText(w) == *reinterpret_cast<std::string*>(param))
    EnumChildWindows(w, TellStatic, 0);
  return TRUE;
}

void TellStaticTexts(std::string caption) { EnumWindows(TellTopLevel, reinterpret_cast<LPARAM>(&caption)); }

HWND FindVisible(const std::string& caption, const std::string* text) {
  Search s{caption, text ? *text : std::string(), text != nullptr, nullptr};
  EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

bool ProgramEnded() { return WaitForSingleObject(Process.hProcess, 0) == WAIT_OBJECT_0; }

// For "silent": the first visible window or dialog class window of the program.
BOOL CALLBACK AnyWindow(HWND w, LPARAM param) {
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  char cls[64];
  GetClassNameA(w, cls, sizeof cls);
  if (pid != Process.dwProcessId || (!IsWindowVisible(w) && std::strcmp(cls, "#32770") != 0)) return TRUE;
  *reinterpret_cast<std::string*>(param) = std::string(cls) + " \"" + WindowText(w) + "\"";
  return FALSE;
}

bool HasControl(HWND w, int id, const char* wantClass) {
  HWND c = GetDlgItem(w, id);
  char cls[64];
  return c != nullptr && GetClassNameA(c, cls, sizeof cls) && lstrcmpiA(cls, wantClass) == 0;
}

// A visible message box of the program: a top-level window with an OK button
// and the static text control that MessageBox gives the id 0xFFFF (on Windows
// and in Wine; the progress dialog's labels have that id too, but no OK).
BOOL CALLBACK MatchMessageBox(HWND w, LPARAM param) {
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  if (pid != Process.dwProcessId || !IsWindowVisible(w)) return TRUE;
  if (!HasControl(w, 0xFFFF, "Static") || !HasControl(w, IDOK, "Button")) return TRUE;
  std::vector<HWND>* found = reinterpret_cast<std::vector<HWND>*>(param);
  found->push_back(w);
  return TRUE;
}

// For a failed "answer" step: the captions of the program's visible windows.
BOOL CALLBACK TellCaption(HWND w, LPARAM) {
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  if (pid == Process.dwProcessId && IsWindowVisible(w)) std::printf("  window: \"%s\"\n", WideText(w).c_str());
  return TRUE;
}

// The "answer" step: each message box printed and answered with OK, once,
// until the program ends.
void AnswerUntilEnd(DWORD want) {
  std::vector<HWND> answered;
  DWORD last = GetTickCount();
  while (!ProgramEnded()) {
    std::vector<HWND> boxes;
    EnumWindows(MatchMessageBox, reinterpret_cast<LPARAM>(&boxes));
    for (HWND box : boxes) {
      bool seen = false;
      for (HWND a : answered) seen = seen || a == box;
      if (seen) continue;
      std::string text = WideText(GetDlgItem(box, 0xFFFF)), shown;
      for (size_t k = 0; k < text.size(); ++k) {
        if (text[k] == '\r') continue;
        shown += text[k] == '\n' ? std::string(" | ") : std::string(1, text[k]);
      }
      std::printf("message: %s: %s\n", WideText(box).c_str(), shown.c_str());
      std::fflush(stdout);
      PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
      answered.push_back(box);
      last = GetTickCount();
    }
    // A handle may be reused by a later box once the answered one is gone.
    for (size_t k = 0; k < answered.size();)
      if (IsWindow(answered[k])) ++k;
      else answered.erase(answered.begin() + k);
    if (GetTickCount() - last > WaitLimit) {
      EnumWindows(TellCaption, 0);
      Fail("the program did not end");
    }
    Sleep(30);
  }
  DWORD code = 0;
  GetExitCodeProcess(Process.hProcess, &code);
  std::printf("exit: %lu\n", static_cast<unsigned long>(code));
  if (code != want) Fail("exit code " + std::to_string(code) + ", not " + std::to_string(want));
}

HWND WaitFor(const std::string& caption, const std::string* text) {
  DWORD start = GetTickCount();
  for (;;) {
    if (HWND w = FindVisible(caption, text)) return w;
    if (ProgramEnded()) {
      DWORD code = 0;
      GetExitCodeProcess(Process.hProcess, &code);
      Fail("the program ended (code " + std::to_string(code) + ") before showing \"" + caption + "\"" +
           (text ? " with text \"" + *text + "\"" : std::string()));
    }
    if (GetTickCount() - start > WaitLimit) {
      if (text) TellStaticTexts(caption);
      Fail("no window \"" + caption + "\"" + (text ? " with text \"" + *text + "\"" : std::string()));
    }
    Sleep(30);
  }
}

HWND Control(int id) {
  if (Current == nullptr) Fail("no current window");
  HWND c = GetDlgItem(Current, id);
  if (c == nullptr) Fail("no control " + std::to_string(id));
  return c;
}

// Waits until the program has handled every message sent to it so far.
void Settle() {
  DWORD_PTR result;
  if (Current != nullptr) SendMessageTimeoutA(Current, WM_NULL, 0, 0, SMTO_NORMAL, 2000, &result);
}

void SaveShot(const std::string& file) {
  RECT r;
  GetWindowRect(Current, &r);
  int w = r.right - r.left, h = r.bottom - r.top;
  SetForegroundWindow(Current);
  RedrawWindow(Current, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
  Sleep(300);
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  SelectObject(mem, old);
  BITMAPINFOHEADER bi{};
  bi.biSize = sizeof bi;
  bi.biWidth = w;
  bi.biHeight = h;
  bi.biPlanes = 1;
  bi.biBitCount = 24;
  bi.biCompression = BI_RGB;
  int stride = ((w * 3 + 3) / 4) * 4;
  std::vector<char> pixels(static_cast<size_t>(stride) * h);
  GetDIBits(mem, bmp, 0, h, pixels.data(), reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS);
  BITMAPFILEHEADER bf{};
  bf.bfType = 0x4D42;
  bf.bfOffBits = sizeof bf + sizeof bi;
  bf.bfSize = bf.bfOffBits + static_cast<DWORD>(pixels.size());
  FILE* f = std::fopen(file.c_str(), "wb");
  if (f == nullptr) Fail("cannot write " + file);
  std::fwrite(&bf, sizeof bf, 1, f);
  std::fwrite(&bi, sizeof bi, 1, f);
  std::fwrite(pixels.data(), 1, pixels.size(), f);
  std::fclose(f);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
}

// A child window's rectangle in the client coordinates of the current window.
RECT ClientRectOf(HWND child) {
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, Current, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

std::string RectText(const RECT& r) {
  return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" + std::to_string(r.right) + "," +
         std::to_string(r.bottom) + ")";
}

// The current window's own controls: its direct children, visible or not.
std::vector<HWND> Children() {
  std::vector<HWND> all;
  for (HWND c = GetWindow(Current, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) all.push_back(c);
  return all;
}

bool IsGroupBox(HWND c) {
  char cls[64];
  GetClassNameA(c, cls, sizeof cls);
  return lstrcmpiA(cls, "Button") == 0 && (GetWindowLongA(c, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
}

// The colours of the progress bars.
const COLORREF BarDone = RGB(0, 0, 128), BarRemaining = RGB(240, 251, 255), BarShadow = RGB(128, 128, 128);

std::string Hex(COLORREF c) {
  char text[16];
  std::snprintf(text, sizeof text, "%02x%02x%02x", GetRValue(c), GetGValue(c), GetBValue(c));
  return text;
}

// A pixel of the current window's client area, read from the screen.
COLORREF ClientPixel(int x, int y) {
  POINT p{x, y};
  ClientToScreen(Current, &p);
  HDC screen = GetDC(nullptr);
  COLORREF c = GetPixel(screen, p.x, p.y);
  ReleaseDC(nullptr, screen);
  return c;
}

void ExpectPixel(const char* what, int x, int y, COLORREF want, bool equal = true) {
  COLORREF got = ClientPixel(x, y);
  if ((got == want) != equal)
    Fail(std::string(what) + " at " + std::to_string(x) + "," + std::to_string(y) + " is " + Hex(got) +
         (equal ? ", not " : ", which it must not be: ") + Hex(want));
}

// The screen's DPI (LogPixels under Wine) and a length given in pixels at
// 96 DPI at that DPI, as the program scales the bars' offsets.
int ScreenDpi() {
  HDC screen = GetDC(nullptr);
  int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi;
}

int Scaled(int pixelsAt96) { return pixelsAt96 * ScreenDpi() / 96; }

// No visible control of the current window other than its group boxes
// overlaps r, the place of the thing that what names.
void ExpectClear(const char* what, const RECT& r) {
  for (HWND c : Children()) {
    RECT overlap, place = ClientRectOf(c);
    if (IsWindowVisible(c) && !IsGroupBox(c) && IntersectRect(&overlap, &r, &place))
      Fail(std::string(what) + " " + RectText(r) + " overlaps control " + std::to_string(GetDlgCtrlID(c)) + " \"" +
           WindowText(c) + "\" " + RectText(place));
  }
}

// One bar: the shadow, 3 pixels at 96 DPI, right and down, the done part up
// to x and the remaining part from x + 1. The column at x is painted by
// neither, so it shows what an earlier paint left there; it is not checked.
// Rows near the bottom are read, where no label of the dialog lies over the
// bar. The bar with its shadow must lie clear of every control.
void CheckBar(const char* what, const RECT& r, int percent) {
  int shadow = Scaled(3);
  int x = r.left + (r.right - r.left) * percent / 100, y = r.bottom - 2;
  if (x > r.left) {
    ExpectPixel("done part", r.left, y, BarDone);
    ExpectPixel("done part", x - 1, y, BarDone);
  }
  if (x + 1 < r.right) {
    ExpectPixel("remaining part", x + 1, y, BarRemaining);
    ExpectPixel("remaining part", r.right - 1, y, BarRemaining);
  }
  ExpectPixel("shadow right", r.right + 1, y, BarShadow);
  ExpectPixel("shadow below", r.left + shadow + 1, r.bottom + 1, BarShadow);
  ExpectPixel("beyond the shadow", r.right + shadow, y, BarShadow, false);
  ExpectClear(what, RECT{r.left, r.top, r.right + shadow, r.bottom + shadow});
}

// The entry bar at the place of control 903 moved up and left by the
// shadow's offset, the two lines under it (11 pixels below it at 96 DPI,
// black, then white), and the total bar 55 pixels lower at 96 DPI; every
// offset grows with the DPI.
void CheckBars(int entry, int total) {
  RECT bar = ClientRectOf(Control(903));
  int shadow = Scaled(3), lines = bar.bottom - shadow + Scaled(11);
  OffsetRect(&bar, -shadow, -shadow);
  CheckBar("the entry bar", bar, entry);
  for (int x : {bar.left + 4, bar.right - 1}) {
    ExpectPixel("first line under the entry bar", x, lines, RGB(0, 0, 0));
    ExpectPixel("second line under the entry bar", x, lines + 1, RGB(255, 255, 255));
  }
  ExpectClear("the lines under the entry bar", RECT{bar.left, lines, bar.right, lines + 2});
  OffsetRect(&bar, 0, Scaled(55));
  CheckBar("the total bar", bar, total);
}

void CheckLayout() {
  RECT client;
  GetClientRect(Current, &client);
  std::vector<HWND> shown;
  for (HWND c : Children())
    if (IsWindowVisible(c)) shown.push_back(c);
  for (size_t a = 0; a < shown.size(); ++a) {
    RECT ra = ClientRectOf(shown[a]), inside;
    std::string name = "control " + std::to_string(GetDlgCtrlID(shown[a])) + " \"" + WindowText(shown[a]) + "\" " +
                       RectText(ra);
    if (!IntersectRect(&inside, &ra, &client) || !EqualRect(&inside, &ra))
      Fail(name + " reaches out of the client area " + RectText(client));
    for (size_t b = a + 1; b < shown.size(); ++b) {
      RECT rb = ClientRectOf(shown[b]), overlap;
      if (!IntersectRect(&overlap, &ra, &rb)) continue;
      // A group box frames the controls inside it.
      if ((IsGroupBox(shown[a]) && EqualRect(&overlap, &rb)) || (IsGroupBox(shown[b]) && EqualRect(&overlap, &ra)))
        continue;
      Fail(name + " overlaps control " + std::to_string(GetDlgCtrlID(shown[b])) + " \"" + WindowText(shown[b]) +
           "\" " + RectText(rb));
    }
  }
}

// The font that the program's templates name, as the dialog manager makes it.
HFONT TemplateFont() {
  LOGFONTA font{};
  font.lfHeight = -MulDiv(9, ScreenDpi(), 72);
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfQuality = PROOF_QUALITY;
  lstrcpyA(font.lfFaceName, "Arial");
  return CreateFontIndirectA(&font);
}

void CheckTextsFit() {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HFONT font = TemplateFont();
  HGDIOBJ old = SelectObject(dc, font);
  for (HWND c : Children()) {
    std::string text = WindowText(c);
    if (!IsWindowVisible(c) || text.empty()) continue;
    char cls[64];
    GetClassNameA(c, cls, sizeof cls);
    LONG style = GetWindowLongA(c, GWL_STYLE);
    int room = 0;  // what the control's own drawing takes beside the text
    bool prefix = true;
    if (lstrcmpiA(cls, "Static") == 0) {
      LONG type = style & SS_TYPEMASK;
      if (type > SS_RIGHT && type != SS_SIMPLE && type != SS_LEFTNOWORDWRAP) continue;  // pictures and frames
      prefix = (style & SS_NOPREFIX) == 0;
    } else if (lstrcmpiA(cls, "Button") == 0) {
      LONG type = style & BS_TYPEMASK;
      if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) room = 2 * GetSystemMetrics(SM_CXEDGE) + 2;
      else if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX) room = GetSystemMetrics(SM_CXMENUCHECK) + 4;
      else continue;
    } else {
      continue;
    }
    if (prefix) {  // "&&" shows one "&", a single one underlines the next letter
      std::string shown;
      for (size_t k = 0; k < text.size(); ++k) {
        if (text[k] == '&' && ++k == text.size()) break;
        shown += text[k];
      }
      text = shown;
    }
    SIZE extent;
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    RECT inside;
    GetClientRect(c, &inside);
    if (extent.cx + room > inside.right || extent.cy > inside.bottom)
      Fail("the text of control " + std::to_string(GetDlgCtrlID(c)) + ", \"" + text + "\", takes " +
           std::to_string(extent.cx) + "x" + std::to_string(extent.cy) + " pixels" +
           (room ? " and " + std::to_string(room) + " beside it" : std::string()) + " in a control of " +
           std::to_string(inside.right) + "x" + std::to_string(inside.bottom));
  }
  SelectObject(dc, old);
  DeleteObject(font);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
}

// The pixels of a w x h picture, rows top first, as 0x00RRGGBB words.
std::vector<DWORD> Pixels(HDC dc, HBITMAP bitmap, int w, int h) {
  BITMAPINFOHEADER bi{};
  bi.biSize = sizeof bi;
  bi.biWidth = w;
  bi.biHeight = -h;
  bi.biPlanes = 1;
  bi.biBitCount = 32;
  bi.biCompression = BI_RGB;
  std::vector<DWORD> pixels(static_cast<size_t>(w) * h);
  GetDIBits(dc, bitmap, 0, h, pixels.data(), reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS);
  for (DWORD& p : pixels) p &= 0xFFFFFF;
  return pixels;
}

// The icon is drawn by sfxdrive itself on the dialog's background colour and
// looked for, pixel for pixel, in the current window's client area as the
// screen shows it: an icon that a control clips is not found whole.
void CheckIcons(const std::string& name, const std::vector<int>& beside) {
  SHFILEINFOA info{};
  if (!SHGetFileInfoA(name.c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                      SHGFI_ICON | SHGFI_LARGEICON | SHGFI_USEFILEATTRIBUTES) ||
      info.hIcon == nullptr)
    Fail("the shell has no icon for " + name);
  int w = GetSystemMetrics(SM_CXICON), h = GetSystemMetrics(SM_CYICON);
  RECT client;
  GetClientRect(Current, &client);
  POINT origin{0, 0};
  ClientToScreen(Current, &origin);
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP iconBitmap = CreateCompatibleBitmap(screen, w, h);
  HGDIOBJ old = SelectObject(dc, iconBitmap);
  RECT all{0, 0, w, h};
  FillRect(dc, &all, GetSysColorBrush(COLOR_3DFACE));
  DrawIcon(dc, 0, 0, info.hIcon);
  DestroyIcon(info.hIcon);
  int cw = client.right, ch = client.bottom;
  HBITMAP clientBitmap = CreateCompatibleBitmap(screen, cw, ch);
  SelectObject(dc, clientBitmap);
  BitBlt(dc, 0, 0, cw, ch, screen, origin.x, origin.y, SRCCOPY);
  SelectObject(dc, old);
  std::vector<DWORD> icon = Pixels(dc, iconBitmap, w, h), shown = Pixels(dc, clientBitmap, cw, ch);
  DeleteObject(iconBitmap);
  DeleteObject(clientBitmap);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);

  std::vector<RECT> found;
  for (int y = 0; y + h <= ch; ++y)
    for (int x = 0; x + w <= cw; ++x) {
      bool same = true;
      for (int j = 0; same && j < h; ++j)
        same = std::memcmp(&shown[static_cast<size_t>(y + j) * cw + x], &icon[static_cast<size_t>(j) * w],
                           w * sizeof(DWORD)) == 0;
      if (same) found.push_back(RECT{x, y, x + w, y + h});
    }
  std::printf("  %zu whole icons of %dx%d for %s\n", found.size(), w, h, name.c_str());
  if (found.size() != beside.size())
    Fail(std::to_string(found.size()) + " whole icons for " + name + ", not " + std::to_string(beside.size()));
  for (const RECT& r : found) ExpectClear(("the icon for " + name).c_str(), r);
  for (int id : beside) {
    RECT text = ClientRectOf(Control(id));
    int level = 0;
    for (const RECT& r : found) level += r.right <= text.left && r.top < text.bottom && text.top < r.bottom;
    if (level != 1)
      Fail(std::to_string(level) + " icons for " + name + " beside control " + std::to_string(id) + " " +
           RectText(text));
  }
}

BOOL CALLBACK FindTreeView(HWND child, LPARAM param) {
  char cls[64];
  GetClassNameA(child, cls, sizeof cls);
  if (lstrcmpiA(cls, WC_TREEVIEWA) != 0) return TRUE;
  *reinterpret_cast<HWND*>(param) = child;
  return FALSE;
}

HWND TreeView() {
  if (Current == nullptr) Fail("no current window");
  HWND tree = nullptr;
  EnumChildWindows(Current, FindTreeView, reinterpret_cast<LPARAM>(&tree));
  if (tree == nullptr) Fail("the current window has no tree view");
  return tree;
}

HTREEITEM NextItem(HWND tree, HTREEITEM item, WPARAM relation) {
  return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

// Reads the texts of a tree view in the program's process. TVM_GETITEMA takes
// the address of a TVITEMA and of its text buffer, which must both lie in
// that process; the handles of the other tree messages need no such care.
class TreeTexts {
 public:
  explicit TreeTexts(HWND tree) : tree_(tree) {
    remote_ = static_cast<char*>(
        VirtualAllocEx(Process.hProcess, nullptr, sizeof(TVITEMA) + TextSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (remote_ == nullptr) Fail("no memory in the program (error " + std::to_string(GetLastError()) + ")");
  }
  ~TreeTexts() { VirtualFreeEx(Process.hProcess, remote_, 0, MEM_RELEASE); }
  TreeTexts(const TreeTexts&) = delete;
  TreeTexts& operator=(const TreeTexts&) = delete;

  std::string Text(HTREEITEM item) {
    TVITEMA tv{};
    tv.mask = TVIF_HANDLE | TVIF_TEXT | TVIF_STATE;
    tv.stateMask = TVIS_EXPANDED | TVIS_SELECTED;
    tv.hItem = item;
    tv.pszText = remote_ + sizeof tv;
    tv.cchTextMax = TextSize;
    char text[TextSize] = {};
    SIZE_T done = 0;
    if (!WriteProcessMemory(Process.hProcess, remote_, &tv, sizeof tv, &done) ||
        !WriteProcessMemory(Process.hProcess, tv.pszText, text, 1, &done))
      Fail("cannot write into the program (error " + std::to_string(GetLastError()) + ")");
    if (!SendMessageA(tree_, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(remote_))) Fail("TVM_GETITEMA failed");
    // The control may point pszText at its own copy instead of filling ours.
    if (!ReadProcessMemory(Process.hProcess, remote_, &tv, sizeof tv, &done) || tv.pszText == nullptr ||
        !ReadProcessMemory(Process.hProcess, tv.pszText, text, TextSize - 1, &done))
      Fail("cannot read from the program (error " + std::to_string(GetLastError()) + ")");
    state_ = tv.state;
    return text;
  }
  // The state of the item read last.
  UINT State() const { return state_; }

 private:
  enum { TextSize = 520 };
  HWND tree_;
  char* remote_;
  UINT state_ = 0;
};

void ShowTree(HWND tree, TreeTexts& texts, HTREEITEM item, int level) {
  for (; item != nullptr; item = NextItem(tree, item, TVGN_NEXT)) {
    std::string text = texts.Text(item);
    UINT state = texts.State();
    std::printf("  %*s\"%s\"%s%s\n", level * 2, "", text.c_str(), state & TVIS_EXPANDED ? " expanded" : "",
                state & TVIS_SELECTED ? " selected" : "");
    ShowTree(tree, texts, NextItem(tree, item, TVGN_CHILD), level + 1);
  }
}

void SelectInTree(const std::string& path) {
  HWND tree = TreeView();
  TreeTexts texts(tree);
  HTREEITEM parent = nullptr, item = NextItem(tree, nullptr, TVGN_ROOT);
  std::string::size_type start = 0;
  for (;;) {
    std::string::size_type end = path.find('|', start);
    std::string want = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
    std::string seen;
    while (item != nullptr && lstrcmpiA(texts.Text(item).c_str(), want.c_str()) != 0) {
      seen += " \"" + texts.Text(item) + "\"";
      item = NextItem(tree, item, TVGN_NEXT);
    }
    if (item == nullptr)
      Fail("no tree item \"" + want + "\"" + (parent ? " below \"" + texts.Text(parent) + "\"" : std::string()) +
           "; there are:" + (seen.empty() ? std::string(" none") : seen));
    if (end == std::string::npos) break;
    // Expanding fills in the children of an item not expanded before.
    SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
    parent = item;
    item = NextItem(tree, item, TVGN_CHILD);
    start = end + 1;
  }
  if (!SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item)))
    Fail("cannot select \"" + path + "\"");
  SendMessageA(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
  if (NextItem(tree, nullptr, TVGN_CARET) != item) Fail("\"" + path + "\" is not the selected item");
  // The focus, as a click on the item would give it: only a focused tree
  // view shows its selection. The dialog sets it in its own thread.
  SendMessageA(GetParent(tree), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(tree), TRUE);
}

// Wine's mount manager reads a drive's label once, when the drive is
// defined, and keeps it. Defining the drive again through the manager's own
// control code (the one winecfg uses) points it at FOLDER and reads the label
// file there, as a disk change would.
struct WineUnixDrive {
  ULONG size, type, fsType;
  DWORD serial;
  ULONGLONG unixDev;
  WCHAR letter;
  USHORT mountPointOffset, deviceOffset, labelOffset;
};
const DWORD DefineUnixDrive = CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);

void InsertDisk(const std::string& letter, const std::string& folder) {
  std::vector<char> input(sizeof(WineUnixDrive) + folder.size() + 1);
  WineUnixDrive* drive = reinterpret_cast<WineUnixDrive*>(input.data());
  drive->size = static_cast<ULONG>(input.size());
  drive->type = DRIVE_REMOVABLE;
  drive->letter = letter.empty() ? 0 : static_cast<WCHAR>(std::tolower(static_cast<unsigned char>(letter[0])));
  drive->mountPointOffset = sizeof(WineUnixDrive);
  std::memcpy(input.data() + sizeof(WineUnixDrive), folder.c_str(), folder.size() + 1);
  HANDLE manager = CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (manager == INVALID_HANDLE_VALUE) Fail("no mount manager (error " + std::to_string(GetLastError()) + ")");
  DWORD returned = 0;
  BOOL ok = DeviceIoControl(manager, DefineUnixDrive, input.data(), static_cast<DWORD>(input.size()), nullptr, 0,
                            &returned, nullptr);
  DWORD error = GetLastError();
  CloseHandle(manager);
  if (!ok) Fail("cannot put drive " + letter + " on " + folder + " (error " + std::to_string(error) + ")");
}

}  // namespace

int main(int argc, char** argv) {
  // Rectangles, positions and pictures in the screen's own pixels at any
  // DPI, as the program driven, which is DPI-aware, reckons them.
  SetProcessDPIAware();
  char limit[16];
  if (GetEnvironmentVariableA("SFXDRIVE_TIMEOUT", limit, sizeof limit) - 1 < sizeof limit - 1) WaitLimit = std::atoi(limit);
  int i = 1;
  HANDLE held = INVALID_HANDLE_VALUE;
  std::vector<HANDLE> kept;  // files the step "keep" opened
  const char* hold = nullptr;
  while (i + 2 < argc && std::strcmp(argv[i], "--disk") == 0) {
    InsertDisk(argv[i + 1], argv[i + 2]);
    i += 3;
  }
  if (i + 1 < argc && std::strcmp(argv[i], "--hold") == 0) {
    hold = argv[i + 1];
    i += 2;
  }
  const char* args = nullptr;
  if (i + 1 < argc && std::strcmp(argv[i], "--args") == 0) {
    args = argv[i + 1];
    i += 2;
  }
  if (i >= argc) {
    std::printf("usage: sfxdrive [--disk LETTER FOLDER]... [--hold PATH] [--args TEXT] PROGRAM STEP...\n");
    return 2;
  }
  std::string command = std::string("\"") + argv[i] + "\"";
  if (args != nullptr) command += std::string(" ") + args;
  STARTUPINFOA si{};
  si.cb = sizeof si;
  if (!CreateProcessA(argv[i], &command[0], nullptr, nullptr, FALSE, hold ? CREATE_SUSPENDED : 0, nullptr,
                      nullptr, &si, &Process))
    Fail(std::string("cannot start ") + argv[i] + " (error " + std::to_string(GetLastError()) + ")");
  if (hold != nullptr) {
    held = CreateFileA(hold, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (held == INVALID_HANDLE_VALUE) Fail(std::string("cannot hold ") + hold + " (error " + std::to_string(GetLastError()) + ")");
    ResumeThread(Process.hThread);
  }
  WaitForInputIdle(Process.hProcess, 5000);
  ++i;

  auto need = [&](int n) {
    if (i + n >= argc) Fail(std::string("step ") + argv[i] + " needs " + std::to_string(n) + " arguments");
  };
  for (; i < argc; ++i) {
    std::string step = argv[i];
    std::printf("step: %s\n", step.c_str());
    std::fflush(stdout);
    if (step == "window") {
      need(1);
      std::string caption = argv[++i];
      Current = WaitFor(caption, nullptr);
      Settle();
    } else if (step == "message") {
      need(2);
      std::string text = argv[++i], caption = argv[++i];
      Current = WaitFor(caption, &text);
      Settle();
    } else if (step == "absent") {
      need(2);
      std::string caption = argv[++i];
      DWORD ms = std::strtoul(argv[++i], nullptr, 10), start = GetTickCount();
      while (GetTickCount() - start < ms) {
        if (FindVisible(caption, nullptr)) Fail("window \"" + caption + "\" is shown");
        if (ProgramEnded()) break;
        Sleep(20);
      }
    } else if (step == "gone") {
      DWORD start = GetTickCount();
      while (Current != nullptr && IsWindow(Current) && IsWindowVisible(Current)) {
        if (GetTickCount() - start > WaitLimit) Fail("the window is still shown");
        Sleep(30);
      }
    } else if (step == "caption") {
      need(1);
      std::string want = argv[++i], got = WindowText(Current);
      if (got != want) Fail("caption is \"" + got + "\", not \"" + want + "\"");
    } else if (step == "text") {
      need(2);
      int id = std::atoi(argv[++i]);
      std::string want = argv[++i], got = WindowText(Control(id));
      if (got != want) Fail("control " + std::to_string(id) + " shows \"" + got + "\", not \"" + want + "\"");
    } else if (step == "wtext") {
      need(2);
      int id = std::atoi(argv[++i]);
      std::string want = argv[++i], got = WideTextHex(Control(id));
      if (got != want) Fail("control " + std::to_string(id) + " shows UTF-8 " + got + ", not " + want);
    } else if (step == "settext") {
      need(2);
      int id = std::atoi(argv[++i]);
      SendMessageA(Control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[++i]));
    } else if (step == "wsettext") {
      need(2);
      int id = std::atoi(argv[++i]);
      std::vector<uint8_t> utf8 = BytesOfHex(argv[++i]);
      utf8.push_back(0);
      std::vector<wchar_t> wide(utf8.size());
      if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, reinterpret_cast<const char*>(utf8.data()), -1,
                              wide.data(), static_cast<int>(wide.size())) <= 0)
        Fail("wsettext: the bytes are no UTF-8");
      SendMessageW(Control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.data()));
    } else if (step == "click") {
      need(1);
      PostMessageA(Control(std::atoi(argv[++i])), BM_CLICK, 0, 0);
    } else if (step == "check") {
      need(2);
      int id = std::atoi(argv[++i]);
      int on = std::atoi(argv[++i]);
      HWND c = Control(id);
      SendMessageA(c, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
      PostMessageA(Current, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(c));
      Settle();
    } else if (step == "masked") {
      need(2);
      int id = std::atoi(argv[++i]);
      int want = std::atoi(argv[++i]);
      int got = SendMessageA(Control(id), EM_GETPASSWORDCHAR, 0, 0) != 0;
      if (got != want) Fail("control " + std::to_string(id) + " is " + (want ? "not " : "") + "masked");
    } else if (step == "checked" || step == "visible" || step == "enabled") {
      need(2);
      int id = std::atoi(argv[++i]);
      int want = std::atoi(argv[++i]);
      HWND c = id == 0 ? Current : Control(id);
      auto state = [&]() -> int {
        return step == "checked"   ? SendMessageA(c, BM_GETCHECK, 0, 0) == BST_CHECKED
               : step == "visible" ? (GetWindowLongA(c, GWL_STYLE) & WS_VISIBLE) != 0
                                   : IsWindowEnabled(c) != 0;
      };
      // The program may be a moment behind the step before (a message box
      // closed, and the dialog's controls enabled again after it).
      DWORD start = GetTickCount();
      while (state() != want) {
        if (GetTickCount() - start > WaitLimit) Fail("control " + std::to_string(id) + " is " + (want ? "not " : "") + step);
        Sleep(20);
      }
    } else if (step == "answers") {
      need(1);
      DWORD ms = std::strtoul(argv[++i], nullptr, 10);
      DWORD_PTR result = 0;
      if (Current == nullptr) Fail("no current window");
      if (SendMessageTimeoutA(Current, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, ms, &result) == 0)
        Fail("the window did not answer within " + std::to_string(ms) + " ms (error " + std::to_string(GetLastError()) +
             ")");
    } else if (step == "key") {
      need(1);
      WPARAM vk = std::strtoul(argv[++i], nullptr, 0);
      HWND target = Current;
      GUITHREADINFO gi{};
      gi.cbSize = sizeof gi;
      if (GetGUIThreadInfo(Process.dwThreadId, &gi) && gi.hwndFocus != nullptr) target = gi.hwndFocus;
      PostMessageA(target, WM_KEYDOWN, vk, 1);
      PostMessageA(target, WM_KEYUP, vk, 0xC0000001);
    } else if (step == "close") {
      PostMessageA(Current, WM_SYSCOMMAND, SC_CLOSE, 0);
    } else if (step == "exists") {
      need(2);
      std::string path = argv[++i];
      int want = std::atoi(argv[++i]);
      int got = GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
      if (got != want) Fail(path + (want ? " does not exist" : " exists"));
    } else if (step == "version") {
      need(3);
      std::string path = argv[++i], key = argv[++i], want = argv[++i];
      DWORD ignored = 0, size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
      std::vector<char> block(size + 1);
      if (size == 0 || !GetFileVersionInfoA(path.c_str(), 0, size, block.data())) Fail(path + " has no version resource");
      void* value = nullptr;
      UINT length = 0;
      std::string got;
      if (key == "FIXED") {
        if (VerQueryValueA(block.data(), "\\", &value, &length) && length >= sizeof(VS_FIXEDFILEINFO)) {
          const VS_FIXEDFILEINFO* f = static_cast<const VS_FIXEDFILEINFO*>(value);
          got = std::to_string(HIWORD(f->dwFileVersionMS)) + "." + std::to_string(LOWORD(f->dwFileVersionMS)) + "." +
                std::to_string(HIWORD(f->dwFileVersionLS)) + "." + std::to_string(LOWORD(f->dwFileVersionLS));
        }
      } else if (VerQueryValueA(block.data(), ("\\StringFileInfo\\040904B0\\" + key).c_str(), &value, &length)) {
        got = static_cast<const char*>(value);
      }
      if (got != want) Fail(path + ": " + key + " is \"" + got + "\", not \"" + want + "\"");
    } else if (step == "move") {
      need(2);
      int x = std::atoi(argv[++i]), y = std::atoi(argv[++i]);
      SetWindowPos(Current, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      Settle();
    } else if (step == "bars") {
      need(2);
      int entry = std::atoi(argv[++i]), total = std::atoi(argv[++i]);
      Settle();
      Sleep(300);  // let the uncovered parts be painted
      CheckBars(entry, total);
    } else if (step == "treeselect") {
      need(1);
      SelectInTree(argv[++i]);
      Settle();
    } else if (step == "treeshow") {
      HWND tree = TreeView();
      TreeTexts texts(tree);
      ShowTree(tree, texts, NextItem(tree, nullptr, TVGN_ROOT), 0);
    } else if (step == "layout") {
      Settle();
      CheckLayout();
    } else if (step == "fits") {
      Settle();
      CheckTextsFit();
    } else if (step == "icon") {
      need(2);
      std::string name = argv[++i];
      std::vector<int> beside;
      while (i + 1 < argc && std::isdigit(static_cast<unsigned char>(argv[i + 1][0]))) beside.push_back(std::atoi(argv[++i]));
      Settle();
      Sleep(300);  // let the dialog and its controls paint
      CheckIcons(name, beside);
    } else if (step == "rects") {
      for (HWND c : Children()) {
        char cls[64];
        GetClassNameA(c, cls, sizeof cls);
        std::printf("  %5d %-10s %s%s \"%s\"\n", GetDlgCtrlID(c), cls, RectText(ClientRectOf(c)).c_str(),
                    IsWindowVisible(c) ? "" : " hidden", WindowText(c).substr(0, 60).c_str());
      }
    } else if (step == "shot") {
      need(1);
      SaveShot(argv[++i]);
    } else if (step == "sleep") {
      need(1);
      Sleep(std::strtoul(argv[++i], nullptr, 10));
    } else if (step == "timeout") {
      need(1);
      WaitLimit = std::strtoul(argv[++i], nullptr, 10);
    } else if (step == "answer") {
      need(1);
      AnswerUntilEnd(std::strtoul(argv[++i], nullptr, 10));
    } else if (step == "silent") {
      need(1);
      DWORD want = std::strtoul(argv[++i], nullptr, 10), code = 0;
      DWORD start = GetTickCount();
      for (;;) {
        bool ended = ProgramEnded();
        std::string seen;
        EnumWindows(AnyWindow, reinterpret_cast<LPARAM>(&seen));
        if (!seen.empty()) Fail("a silent run shows the window " + seen);
        if (ended) break;
        if (GetTickCount() - start > WaitLimit) Fail("the program did not end");
        Sleep(5);
      }
      GetExitCodeProcess(Process.hProcess, &code);
      if (code != want) Fail("exit code " + std::to_string(code) + ", not " + std::to_string(want));
    } else if (step == "exit") {
      need(1);
      DWORD want = std::strtoul(argv[++i], nullptr, 10), code = 0;
      if (WaitForSingleObject(Process.hProcess, WaitLimit) != WAIT_OBJECT_0) Fail("the program did not end");
      GetExitCodeProcess(Process.hProcess, &code);
      if (code != want) Fail("exit code " + std::to_string(code) + ", not " + std::to_string(want));
    } else if (step == "write" || step == "rename" || step == "delete" || step == "appears" || step == "running" ||
               step == "disk" || step == "label" || step == "keep") {
      if (step == "write") {
        need(2);
        std::string path = argv[++i], text = argv[++i];
        HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        bool ok = f != INVALID_HANDLE_VALUE && WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                  written == text.size();
        DWORD error = GetLastError();
        if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
        if (!ok) Fail("cannot write " + path + " (error " + std::to_string(error) + ")");
      } else if (step == "rename") {
        need(2);
        std::string from = argv[++i], to = argv[++i];
        if (!MoveFileA(from.c_str(), to.c_str()))
          Fail("cannot rename " + from + " to " + to + " (error " + std::to_string(GetLastError()) + ")");
      } else if (step == "delete") {
        need(1);
        std::string path = argv[++i];
        if (!DeleteFileA(path.c_str())) Fail("cannot delete " + path + " (error " + std::to_string(GetLastError()) + ")");
      } else if (step == "keep") {
        need(1);
        std::string path = argv[++i];
        HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (f == INVALID_HANDLE_VALUE) Fail("cannot keep " + path + " open (error " + std::to_string(GetLastError()) + ")");
        kept.push_back(f);
      } else if (step == "appears") {
        need(1);
        std::string path = argv[++i];
        DWORD start = GetTickCount();
        while (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
          if (GetTickCount() - start > WaitLimit) Fail(path + " did not appear");
          Sleep(30);
        }
      } else if (step == "disk") {
        need(2);
        std::string letter = argv[++i], folder = argv[++i];
        InsertDisk(letter, folder);
      } else if (step == "label") {
        need(2);
        std::string root = argv[++i], want = argv[++i];
        char label[MAX_PATH + 1] = "";
        if (!GetVolumeInformationA(root.c_str(), label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0))
          label[0] = 0;
        if (want != label) Fail(root + " is labelled \"" + label + "\", not \"" + want + "\"");
      } else if (ProgramEnded()) {  // running
        DWORD code = 0;
        GetExitCodeProcess(Process.hProcess, &code);
        Fail("the program has ended (code " + std::to_string(code) + ")");
      }
    } else {
      Fail("unknown step " + step);
    }
  }
  if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
  for (HANDLE f : kept) CloseHandle(f);
  std::printf("PASS\n");
  return 0;
}

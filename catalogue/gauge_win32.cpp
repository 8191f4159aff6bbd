// The gauge window: class XferWindow, registered for each gauge and gone with it. Nothing
// processes messages while a load or save runs, so the gauge draws itself directly each time
// its percentage changes.
#include "catalogue/gauge_win32.h"

#include "catalogue/gauge.h"
#include "platform/unique_handle_win32.h"

namespace {

const char kClassName[] = "XferWindow";
const char kInitialCaption[] = "gauge";  // replaced by the caller right after opening

// Layout units to pixels, with fixed bases (10 across, 15 down) rather than a font's.
int PixelsX(int units) { return units * 10 / 4; }
int PixelsY(int units) { return units * 15 / 8; }

const int kWidth = PixelsX(140);          // 350
const int kHeight = PixelsY(40);          // 75, asked for at creation
const int kTrackHeight = PixelsY(45);     // 84, the size the window answers to

struct GaugeWindowState {
  HINSTANCE instance = nullptr;  // taken from the first parent, then kept
  HWND window = nullptr;
  HBRUSH background = nullptr;   // the class background, freed with the class
};
GaugeWindowState g_win;

void ForgetClass() {
  UnregisterClassA(kClassName, g_win.instance);
  if (g_win.background) DeleteObject(g_win.background);
  g_win.background = nullptr;
}

// Paints the frame with its caption and the client area at once: no message loop runs while
// the gauge is up, so a window left to WM_PAINT would stay a grey box captioned "gauge".
void PaintNow() {
  RedrawWindow(g_win.window, nullptr, nullptr,
               RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ERASENOW);
}

bool OpenGaugeWindow(WindowRef parentRef) {
  HWND parent = static_cast<HWND>(parentRef);
  if (!g_win.instance && parent) {
    g_win.instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE));
  }
  if (!g_win.instance) g_win.instance = GetModuleHandleA(nullptr);

  g_win.background = CreateSolidBrush(RGB(192, 192, 192));
  WNDCLASSA wc = {};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = GaugeProc;
  wc.hInstance = g_win.instance;
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.hbrBackground = g_win.background;
  wc.lpszClassName = kClassName;
  if (!RegisterClassA(&wc)) {
    DeleteObject(g_win.background);
    g_win.background = nullptr;
    return false;
  }

  RECT r;
  GetWindowRect(parent ? parent : GetDesktopWindow(), &r);
  int x = (r.left + r.right - kWidth) / 2;
  int y = (r.top + r.bottom - kHeight) / 2;
  g_win.window = CreateWindowExA(0, kClassName, kInitialCaption, WS_VISIBLE | WS_CAPTION, x, y,
                                 kWidth, kHeight, parent, nullptr, g_win.instance, nullptr);
  if (!g_win.window) {
    MessageBeep(0xFFFF);
    // Left registered, the class would make every later gauge fail to register.
    ForgetClass();
    return false;
  }
  PaintNow();
  return true;
}

void SetTitle(const char* title) {
  SetWindowTextA(g_win.window, title);
  PaintNow();
}

void Repaint(int32_t percent) {
  HDC dc = GetDC(g_win.window);
  if (dc) {
    PaintGauge(dc, percent);
    ReleaseDC(g_win.window, dc);
  }
  Sleep(0);  // no message loop runs meanwhile: let other processes have the processor
}

void CloseGaugeWindow() {
  DestroyWindow(g_win.window);
  g_win.window = nullptr;
  ForgetClass();
}

const GaugeBackend kWindowBackend = {OpenGaugeWindow, SetTitle, Repaint, CloseGaugeWindow};

}  // namespace

void InstallGaugeWindow() { SetGaugeBackend(&kWindowBackend); }

HWND GaugeWindow() { return g_win.window; }

void PaintGauge(HDC dc, int percent) {
  UniquePen dark(CreatePen(PS_SOLID, 1, RGB(128, 128, 128)));
  UniquePen light(CreatePen(PS_SOLID, 1, RGB(224, 224, 224)));
  {
    Selected white(dc, GetStockObject(WHITE_BRUSH));
    Rectangle(dc, PixelsX(20), PixelsY(10), PixelsX(122), PixelsY(20));
  }
  RECT bar = {PixelsX(21), PixelsY(11), PixelsX(21 + percent), PixelsY(19)};
  FillRect(dc, &bar, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));

  char text[16];
  wsprintfA(text, "%d%%", percent);
  RECT box = {PixelsX(21), PixelsY(11), PixelsX(121), PixelsY(19)};
  SetBkMode(dc, TRANSPARENT);
  // Without DT_SINGLELINE the text stays at the top of the box, centred across.
  DrawTextA(dc, text, -1, &box, DT_CENTER | DT_VCENTER);
  SetBkMode(dc, OPAQUE);

  Selected pen(dc, light.get());
  MoveToEx(dc, PixelsX(18), PixelsY(22), nullptr);
  LineTo(dc, PixelsX(18), PixelsY(8));
  LineTo(dc, PixelsX(124), PixelsY(8));
  SelectObject(dc, dark.get());
  LineTo(dc, PixelsX(124), PixelsY(22));
  LineTo(dc, PixelsX(18), PixelsY(22));
}

LRESULT CALLBACK GaugeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      PaintGauge(dc, GaugePercent());
      EndPaint(window, &ps);
      return 0;
    }
    case WM_GETMINMAXINFO: {
      MINMAXINFO* mm = reinterpret_cast<MINMAXINFO*>(lParam);
      mm->ptMaxSize.x = mm->ptMinTrackSize.x = mm->ptMaxTrackSize.x = kWidth;
      mm->ptMaxSize.y = mm->ptMinTrackSize.y = mm->ptMaxTrackSize.y = kTrackHeight;
      break;
    }
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

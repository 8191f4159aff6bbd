#include "app/layout_win32.h"

#include <commctrl.h>

#include "app/layout.h"
#include "platform/unique_handle_win32.h"
#include "resources/resource.h"
#include "resources/text_helpers_win32.h"

namespace {

FontState g_fonts = {0, nullptr, nullptr};
FontFactory g_factory = nullptr;

HFONT MakeFont(int pixelHeight) {
  if (g_factory) return g_factory(pixelHeight);
  return CreateFontA(pixelHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, "MS Sans Serif");
}

void ReleaseFonts() {
  if (g_fonts.textFont) DeleteObject(g_fonts.textFont);
  if (g_fonts.listFont) DeleteObject(g_fonts.listFont);
  g_fonts.textFont = nullptr;
  g_fonts.listFont = nullptr;
}

int ScreenDpi(HWND window) {
  HDC dc = GetDC(window);
  const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
  if (dc) ReleaseDC(window, dc);
  return dpi;
}

// Wide enough for the whole toolbar, as far as the screen's work area allows, measured on the
// toolbar itself: its buttons, their pictures and the frame depend on the system.
int32_t MeasuredStartWidth(HWND window) {
  HWND toolbar = GetDlgItem(window, IDC_TOOLBAR);
  const LRESULT count = toolbar ? SendMessageA(toolbar, TB_BUTTONCOUNT, 0, 0) : 0;
  RECT last = {};
  if (count <= 0 || !SendMessageA(toolbar, TB_GETITEMRECT, count - 1, reinterpret_cast<LPARAM>(&last))) {
    return MinTrackSize.width;
  }
  // From the toolbar's left edge, where the layout places it, to the last button's right edge.
  RECT bar;
  GetWindowRect(toolbar, &bar);
  POINT end = {last.right, 0};
  ClientToScreen(toolbar, &end);
  const int32_t toolbarWidth = end.x - bar.left;
  RECT outer, client;
  GetWindowRect(window, &outer);
  GetClientRect(window, &client);
  const int32_t frameWidth = (outer.right - outer.left) - (client.right - client.left);
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof monitor;
  int32_t maxWidth = GetSystemMetrics(SM_CXMAXIMIZED);
  if (GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor)) {
    maxWidth = monitor.rcWork.right - kStartX;
  }
  return StartWidth(toolbarWidth, frameWidth, maxWidth);
}

}  // namespace

void LayoutControls(HWND window, bool initialPlacement) {
  if (initialPlacement) {
    // The frame is measured at the minimum size, then the window takes its starting width.
    MoveWindow(window, kStartX, kStartY, MinTrackSize.width, MinTrackSize.height, FALSE);
    MoveWindow(window, kStartX, kStartY, MeasuredStartWidth(window), MinTrackSize.height, FALSE);
  }
  RECT outer;
  GetWindowRect(window, &outer);
  const int32_t w = outer.right - outer.left, h = outer.bottom - outer.top;
  for (int i = 0; i < kLayoutRowCount; ++i) {
    const LayoutRow& row = LayoutTable[i];
    const PlacedRect r = PlaceRow(row, w, h);
    MoveWindow(GetDlgItem(window, row.id), r.x, r.y, r.width, r.height, TRUE);
    if (i == kTextPaneRow) {
      SetWindowPos(GetDlgItem(window, IDC_TOOLBAR), nullptr, r.x, 0, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
    }
  }
  InvalidateRect(window, nullptr, FALSE);
}

int SetFontStep(HWND window, int delta) {
  const int next = NextFontStep(g_fonts.step, delta);
  if (next < 0) return -1;
  if (!window) {
    ReleaseFonts();
    return 0;
  }
  const int dpi = ScreenDpi(window);
  // The new fonts are made before the old ones go: should either fail, the controls keep
  // drawing with fonts that still exist.
  UniqueFont text(MakeFont(-MulDiv(TextFontPoints(next), dpi, 72)));
  UniqueFont list(MakeFont(-MulDiv(ListFontPoints(next), dpi, 72)));
  if (!text.get() || !list.get()) {
    ShowStringMessage(window, IDS_CAPTION, IDS_FONT_ERROR, 0, MB_OK);
    return -1;
  }
  for (const LayoutRow& row : LayoutTable) {
    HFONT font = row.fontClass == kFontText ? text.get()
                 : row.fontClass == kFontList ? list.get()
                                              : nullptr;
    if (font) SendMessageA(GetDlgItem(window, row.id), WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  ReleaseFonts();
  g_fonts.textFont = text.release();
  g_fonts.listFont = list.release();
  InvalidateRect(window, nullptr, FALSE);
  g_fonts.step = next;
  return 0;
}

const FontState& CurrentFonts() { return g_fonts; }

void ResetFontState() {
  ReleaseFonts();
  g_fonts.step = 0;
}

void SetFontFactoryForTests(FontFactory factory) { g_factory = factory; }

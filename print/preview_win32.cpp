#include "print/preview_win32.h"

#include <algorithm>

#include "resources/resource.h"
#include "resources/strings.h"

namespace {

using UniqueBitmap = Unique<HBITMAP, DeleteObject>;

constexpr char kViewClass[] = "SaucelinsPreviewPage";
constexpr int kGap = 12;  // grey around the page, in screen pixels

// Everything the open preview keeps. One preview at a time: it is modal.
struct PreviewState {
  PreviewRequest* request = nullptr;
  PageDevice device = {};
  UniqueFont font;
  std::vector<UniqueEnhMetaFile> pages;
  int current = 0;
  bool actualSize = false;  // 100 %: the page at its real size, scrolled; else fitted
  int scrollX = 0, scrollY = 0;
};

PreviewState* g_preview = nullptr;

HWND Item(HWND dialog, int id) { return GetDlgItem(dialog, id); }

// The page's size on the screen at 100 %: its printed size in inches at the screen's pixels.
SIZE ActualPageSize(HWND view, const PreviewState& s) {
  WindowDC screen(view);
  const int dpi = screen.get() ? GetDeviceCaps(screen.get(), LOGPIXELSX) : 96;
  return {MulDiv(s.device.width, dpi, s.device.dpi), MulDiv(s.device.height, dpi, s.device.dpi)};
}

// Where the page goes in the view's client area, scrolled.
RECT PageRect(HWND view, const PreviewState& s) {
  RECT client;
  GetClientRect(view, &client);
  const int cw = client.right - 2 * kGap, ch = client.bottom - 2 * kGap;
  SIZE size;
  if (s.actualSize) {
    size = ActualPageSize(view, s);
  } else {
    // As large as the window lets it be, in the page's own proportions.
    size.cx = std::max(1, cw);
    size.cy = MulDiv(size.cx, s.device.height, s.device.width);
    if (size.cy > ch) {
      size.cy = std::max(1, ch);
      size.cx = MulDiv(size.cy, s.device.width, s.device.height);
    }
  }
  RECT r;
  r.left = size.cx < cw ? kGap + (cw - size.cx) / 2 : kGap - s.scrollX;
  r.top = size.cy < ch ? kGap + (ch - size.cy) / 2 : kGap - s.scrollY;
  r.right = r.left + size.cx;
  r.bottom = r.top + size.cy;
  return r;
}

void UpdateScrollBars(HWND view, PreviewState& s) {
  RECT client;
  GetClientRect(view, &client);
  const SIZE size = s.actualSize ? ActualPageSize(view, s) : SIZE{0, 0};
  const int extentX = s.actualSize ? size.cx + 2 * kGap : 0;
  const int extentY = s.actualSize ? size.cy + 2 * kGap : 0;
  s.scrollX = std::max(0, std::min(s.scrollX, extentX - static_cast<int>(client.right)));
  s.scrollY = std::max(0, std::min(s.scrollY, extentY - static_cast<int>(client.bottom)));
  SCROLLINFO si = {};
  si.cbSize = sizeof si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMax = std::max(0, extentX - 1);
  si.nPage = static_cast<UINT>(client.right);
  si.nPos = s.scrollX;
  SetScrollInfo(view, SB_HORZ, &si, TRUE);
  si.nMax = std::max(0, extentY - 1);
  si.nPage = static_cast<UINT>(client.bottom);
  si.nPos = s.scrollY;
  SetScrollInfo(view, SB_VERT, &si, TRUE);
}

void PaintView(HWND view) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(view, &ps);
  RECT client;
  GetClientRect(view, &client);
  // Drawn off screen first, so that paging and scrolling do not flicker.
  UniqueDc memory(CreateCompatibleDC(dc));
  UniqueBitmap bitmap(
      CreateCompatibleBitmap(dc, std::max(1L, client.right), std::max(1L, client.bottom)));
  const bool offScreen = memory.get() && bitmap.get();
  HDC target = offScreen ? memory.get() : dc;
  {
    Selected canvas(offScreen ? memory.get() : dc, offScreen ? bitmap.get() : nullptr);
    FillRect(target, &client, GetSysColorBrush(COLOR_APPWORKSPACE));
    if (PreviewState* s = g_preview) {
      const RECT page = PageRect(view, *s);
      RECT shadow = {page.left + 4, page.top + 4, page.right + 4, page.bottom + 4};
      FillRect(target, &shadow, static_cast<HBRUSH>(GetStockObject(DKGRAY_BRUSH)));
      FillRect(target, &page, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
      FrameRect(target, &page, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
      if (s->current < static_cast<int>(s->pages.size())) {
        const int saved = SaveDC(target);
        IntersectClipRect(target, page.left, page.top, page.right, page.bottom);
        PlayEnhMetaFile(target, s->pages[s->current].get(), &page);
        RestoreDC(target, saved);
      }
    }
    if (offScreen) BitBlt(dc, 0, 0, client.right, client.bottom, memory.get(), 0, 0, SRCCOPY);
  }
  EndPaint(view, &ps);
}

void Scroll(HWND view, int bar, int code, int thumb) {
  PreviewState* s = g_preview;
  if (!s || !s->actualSize) return;
  RECT client;
  GetClientRect(view, &client);
  int& pos = bar == SB_HORZ ? s->scrollX : s->scrollY;
  const int pageStep = bar == SB_HORZ ? client.right : client.bottom;
  switch (code) {
    case SB_LINEUP: pos -= 20; break;
    case SB_LINEDOWN: pos += 20; break;
    case SB_PAGEUP: pos -= pageStep; break;
    case SB_PAGEDOWN: pos += pageStep; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: pos = thumb; break;
    case SB_TOP: pos = 0; break;
    case SB_BOTTOM: pos = 1 << 20; break;
    default: return;
  }
  UpdateScrollBars(view, *s);
  InvalidateRect(view, nullptr, FALSE);
}

// Page Up and Page Down turn the pages, as the buttons do; the arrows scroll the page.
void OnKey(HWND view, UINT key) {
  switch (key) {
    case VK_PRIOR:
      PostMessageA(GetParent(view), WM_COMMAND, IDC_PREVIEW_PREVIOUS, 0);
      break;
    case VK_NEXT:
      PostMessageA(GetParent(view), WM_COMMAND, IDC_PREVIEW_NEXT, 0);
      break;
    case VK_UP:
    case VK_DOWN:
      Scroll(view, SB_VERT, key == VK_UP ? SB_LINEUP : SB_LINEDOWN, 0);
      break;
    case VK_LEFT:
    case VK_RIGHT:
      Scroll(view, SB_HORZ, key == VK_LEFT ? SB_LINEUP : SB_LINEDOWN, 0);
      break;
    default:
      break;
  }
}

LRESULT CALLBACK ViewProc(HWND view, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      PaintView(view);
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the paint covers everything
    case WM_SIZE:
      if (g_preview) UpdateScrollBars(view, *g_preview);
      InvalidateRect(view, nullptr, FALSE);
      return 0;
    case WM_HSCROLL:
      Scroll(view, SB_HORZ, LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_VSCROLL:
      Scroll(view, SB_VERT, LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_MOUSEWHEEL:
      Scroll(view, SB_VERT, GET_WHEEL_DELTA_WPARAM(wParam) > 0 ? SB_LINEUP : SB_LINEDOWN, 0);
      return 0;
    case WM_LBUTTONDOWN:
      SetFocus(view);  // for the wheel and the keys
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS;
    case WM_KEYDOWN:
      OnKey(view, static_cast<UINT>(wParam));
      return 0;
    default:
      return DefWindowProcA(view, message, wParam, lParam);
  }
}

bool RegisterViewClass(HINSTANCE instance) {
  WNDCLASSA wc = {};
  if (GetClassInfoA(instance, kViewClass, &wc)) return true;
  wc.lpfnWndProc = ViewProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.lpszClassName = kViewClass;
  return RegisterClassA(&wc) != 0;
}

// "Page n sur m", the paging buttons, the zoom buttons.
void ShowPlace(HWND dialog, PreviewState& s) {
  const int count = static_cast<int>(s.pages.size());
  char format[128], text[160];
  LoadText(IDS_PREVIEW_PAGE, format, sizeof format);
  wsprintfA(text, format, count ? s.current + 1 : 0, count);
  SetDlgItemTextA(dialog, IDC_PREVIEW_PAGE, text);
  EnableWindow(Item(dialog, IDC_PREVIEW_PREVIOUS), s.current > 0);
  EnableWindow(Item(dialog, IDC_PREVIEW_NEXT), s.current + 1 < count);
  CheckRadioButton(dialog, IDC_PREVIEW_FIT, IDC_PREVIEW_ACTUAL,
                   s.actualSize ? IDC_PREVIEW_ACTUAL : IDC_PREVIEW_FIT);
  HWND view = Item(dialog, IDC_PREVIEW_VIEW);
  UpdateScrollBars(view, s);
  InvalidateRect(view, nullptr, FALSE);
}

// Lays the pages out again, with or without the memo.
void MakePages(PreviewState& s) {
  const PreviewRequest& r = *s.request;
  const bool memo = r.withMemo && !r.textWithMemo.empty();
  s.pages = RecordRecipePages(s.device.reference, s.device.width, s.device.height, s.font.get(),
                              r.title.c_str(), memo ? r.textWithMemo : r.text);
  s.current = std::min(s.current, std::max(0, static_cast<int>(s.pages.size()) - 1));
}

// The buttons stay in their row at the top; the page takes the rest of the window.
void PlaceView(HWND dialog) {
  RECT client, row;
  GetClientRect(dialog, &client);
  GetWindowRect(Item(dialog, IDCANCEL), &row);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&row), 2);
  const int top = row.bottom + 6;
  MoveWindow(Item(dialog, IDC_PREVIEW_VIEW), 0, top, client.right,
             std::max(0, static_cast<int>(client.bottom) - top), TRUE);
}

void OnInit(HWND dialog, PreviewState& s) {
  char format[128], caption[400];
  LoadText(IDS_PREVIEW_CAPTION, format, sizeof format);
  wsprintfA(caption, format, s.request->title.substr(0, 255).c_str());
  SetWindowTextA(dialog, caption);
  const bool hasMemo = !s.request->textWithMemo.empty();
  EnableWindow(Item(dialog, IDC_PREVIEW_MEMO), hasMemo);
  CheckDlgButton(dialog, IDC_PREVIEW_MEMO, hasMemo && s.request->withMemo ? BST_CHECKED : BST_UNCHECKED);
  // As large as the screen lets it be, for a page to be read.
  RECT work;
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  // Never narrower than the template, whose width the row of buttons needs.
  RECT templateRect;
  GetWindowRect(dialog, &templateRect);
  const int height = (work.bottom - work.top) * 9 / 10;
  const int width = std::min(static_cast<int>(work.right - work.left),
                             std::max(static_cast<int>(templateRect.right - templateRect.left),
                                      height * 4 / 5));
  SetWindowPos(dialog, nullptr, work.left + (work.right - work.left - width) / 2,
               work.top + (work.bottom - work.top - height) / 2, width, height, SWP_NOZORDER);
  PlaceView(dialog);
  ShowPlace(dialog, s);
}

void OnCommand(HWND dialog, PreviewState& s, int id) {
  switch (id) {
    case IDC_PREVIEW_PREVIOUS:
      if (s.current > 0) --s.current;
      s.scrollY = 0;
      break;
    case IDC_PREVIEW_NEXT:
      if (s.current + 1 < static_cast<int>(s.pages.size())) ++s.current;
      s.scrollY = 0;
      break;
    case IDC_PREVIEW_FIT:
      s.actualSize = false;
      break;
    case IDC_PREVIEW_ACTUAL:
      s.actualSize = true;
      break;
    case IDC_PREVIEW_MEMO:
      s.request->withMemo = IsDlgButtonChecked(dialog, IDC_PREVIEW_MEMO) == BST_CHECKED;
      MakePages(s);
      break;
    case IDC_PREVIEW_PRINT:
      EndDialog(dialog, IDOK);
      return;
    case IDCANCEL:
      EndDialog(dialog, IDCANCEL);
      return;
    default:
      return;
  }
  ShowPlace(dialog, s);
}

INT_PTR CALLBACK PreviewProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  PreviewState* s = g_preview;
  switch (message) {
    case WM_INITDIALOG:
      if (s) OnInit(dialog, *s);
      return TRUE;
    case WM_COMMAND:
      if (s) OnCommand(dialog, *s, LOWORD(wParam));
      return TRUE;
    case WM_SIZE:
      PlaceView(dialog);
      return TRUE;
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
      info->ptMinTrackSize.x = 420;
      info->ptMinTrackSize.y = 300;
      return TRUE;
    }
    default:
      return FALSE;
  }
}

}  // namespace

INT_PTR RunPrintPreview(HWND owner, PreviewRequest* request) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  if (g_preview || !RegisterViewClass(instance)) return IDCANCEL;
  PreviewState state;
  state.request = request;
  if (!OpenPageDevice(&state.device)) return IDCANCEL;
  state.font = UniqueFont(CreatePrintFont(request->fontControl, state.device.dpi));
  MakePages(state);
  g_preview = &state;
  const INT_PTR result =
      DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_PREVIEW), owner, PreviewProc, 0);
  g_preview = nullptr;
  state.pages.clear();
  ClosePageDevice(&state.device);
  return result == IDOK ? IDOK : IDCANCEL;
}

const std::vector<UniqueEnhMetaFile>* PreviewPagesForTesting() {
  return g_preview ? &g_preview->pages : nullptr;
}

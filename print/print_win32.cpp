#include "print/print_win32.h"

#include <commdlg.h>

#include <cstring>

#include "platform/unique_handle_win32.h"
#include "print/page_layout.h"
#include "print/wrap.h"
#include "resources/resource.h"
#include "resources/strings.h"

namespace {

// A recipe is at most 16,384 bytes; the pane holds nothing longer.
constexpr int kTextCapacity = 16385;

// Everything a print job shares with the abort procedure and the progress box. There is one
// job at a time: the printer choice outlives the jobs, the rest is per job.
struct PrintState {
  PRINTDLGA setup;            // the printer chosen last (settings and names), for the dialog
  HWND box;                   // the progress box, while it is on screen
  bool busy;                  // a job is running (its abort procedure dispatches messages)
  bool cancelled;             // the user cancelled the running job from the box
  const char* output;         // tests: file the job goes to instead of the printer's port
  char text[kTextCapacity];   // the body, cut into lines in place
};

PrintState g_print = {};

// Destroys the progress box at the end of the job, unless Cancel already did.
class BoxGuard {
 public:
  BoxGuard() = default;
  ~BoxGuard() {
    if (g_print.box) DestroyWindow(g_print.box);
    g_print.box = nullptr;
  }
  BoxGuard(const BoxGuard&) = delete;
  BoxGuard& operator=(const BoxGuard&) = delete;
};

class BusyGuard {
 public:
  BusyGuard() {
    g_print.busy = true;
    g_print.cancelled = false;
  }
  ~BusyGuard() { g_print.busy = false; }
  BusyGuard(const BusyGuard&) = delete;
  BusyGuard& operator=(const BusyGuard&) = delete;
};

// The text pane prints at the size it has on screen: its font is scaled by the ratio of the
// printer's and the screen's horizontal resolutions (used for the height too). *created gets
// the font made for the printer, if one was made.
HFONT ChoosePrintFont(HWND control, HDC printer, HFONT* created) {
  *created = nullptr;
  HFONT screenFont = control ? reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0))
                             : nullptr;
  if (!screenFont) return static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
  HDC screen = GetDC(control);
  if (screen) {
    LOGFONTA lf;
    const int screenDpi = GetDeviceCaps(screen, LOGPIXELSX);
    if (screenDpi > 0 && GetObjectA(screenFont, sizeof lf, &lf) == sizeof lf) {
      lf.lfWidth = 0;
      lf.lfHeight = lf.lfHeight * GetDeviceCaps(printer, LOGPIXELSX) / screenDpi;
      *created = CreateFontIndirectA(&lf);
    }
    ReleaseDC(control, screen);
  }
  return *created ? *created : screenFont;
}

// The rules, the title and the credit line that every page carries.
void DrawPageFrame(HDC dc, const PageLayout& page, const char* title, const char* footer) {
  MoveToEx(dc, page.ruleLeft, page.headerRuleY, nullptr);
  LineTo(dc, page.ruleRight, page.headerRuleY);

  SetTextAlign(dc, TA_CENTER | TA_TOP);
  RECT clip = {page.clipLeft, page.clipTop, page.clipRight, page.clipBottom};
  ExtTextOutA(dc, page.titleX, page.titleY, ETO_CLIPPED, &clip, title,
              static_cast<UINT>(std::strlen(title)), nullptr);

  MoveToEx(dc, page.ruleLeft, page.footerRuleY, nullptr);
  LineTo(dc, page.ruleRight, page.footerRuleY);

  SetTextAlign(dc, TA_LEFT | TA_TOP);
  TextOutA(dc, page.ruleLeft, page.footerTextY, footer, static_cast<int>(std::strlen(footer)));
}

// A job on the printer, page by page.
struct PrinterJob {
  HFONT font;
  bool pageOpen;   // StartPage succeeded and EndPage is still due
  bool abandoned;  // the job was thrown away (AbortDoc): no EndDoc
  bool failed;     // a page could not be started, and not because the user cancelled
};

void Abandon(HDC dc, PrinterJob* job) {
  AbortDoc(dc);
  job->abandoned = true;
  job->failed = !g_print.cancelled;
}

// Between two pages: the box gets its chance to cancel, as it would from inside the printing
// system, which does not call the abort procedure at every page everywhere.
bool NextPrinterPage(HDC dc, void* context) {
  auto* job = static_cast<PrinterJob*>(context);
  job->pageOpen = false;
  if (EndPage(dc) <= 0 || !PrintAbortProc(dc, 0) || StartPage(dc) <= 0) {
    Abandon(dc, job);
    return false;
  }
  job->pageOpen = true;
  // Some drivers reset the device context at each page.
  SelectObject(dc, job->font);
  return true;
}

}  // namespace

int MeasureText(const char* text, int count, void* dc) {
  SIZE size = {0, 0};
  if (!GetTextExtentPoint32A(static_cast<HDC>(dc), text, count, &size)) return 0;
  return size.cx;
}

int DrawRecipePages(HDC dc, int width, int height, const char* title, char* text,
                    NextPageFn nextPage, void* context) {
  SIZE bb = {0, 0};
  GetTextExtentPoint32A(dc, "BB", 2, &bb);
  const PageLayout page = ComputePageLayout(width, height, bb.cy);
  char footer[1024];
  LoadText(IDS_FOOTER, footer, sizeof footer);
  if (!title) title = "";

  DrawPageFrame(dc, page, title, footer);
  int pages = 1;
  int y = page.bodyTop;
  char* line = text;
  while (char* rest = WrapLine(line, MeasureText, page.bodyWidth, dc)) {
    if (!BodyLineFits(page, y)) {
      if (!nextPage || !nextPage(dc, context)) break;
      ++pages;
      DrawPageFrame(dc, page, title, footer);
      y = page.bodyTop;
    }
    TextOutA(dc, page.margin, y, line, static_cast<int>(std::strlen(line)));
    y += page.pitch;
    line = rest;
  }
  return pages;
}

int InitPrintDefaults(HWND owner) {
  PRINTDLGA& setup = g_print.setup;
  // A second main window starts over from the default printer.
  if (setup.hDevMode) GlobalFree(setup.hDevMode);
  if (setup.hDevNames) GlobalFree(setup.hDevNames);
  setup = PRINTDLGA{};
  setup.lStructSize = sizeof setup;
  setup.hwndOwner = owner;
  setup.Flags = PD_RETURNDEFAULT;
  if (!PrintDlgA(&setup)) {
    setup.hDevMode = nullptr;
    setup.hDevNames = nullptr;
  }
  setup.hDC = nullptr;
  return 1;
}

int PrintRecipe(HWND owner, int textControlId, const char* title) {
  if (g_print.busy) {
    // Asked again while a job spools: the box that is up already answers for it.
    if (g_print.box) SetActiveWindow(g_print.box);
    return 0;
  }
  BusyGuard busy;

  PRINTDLGA& setup = g_print.setup;
  setup.lStructSize = sizeof setup;
  setup.hwndOwner = owner;
  setup.hDC = nullptr;
  setup.Flags = PD_RETURNDC;
  if (!PrintDlgA(&setup)) {
    // Closing the dialog is the user's choice; only a dialog that failed is worth a message.
    return CommDlgExtendedError() == 0 ? 0 : IDS_PRINT_DIALOG;
  }
  UniqueDc printer(setup.hDC);
  setup.hDC = nullptr;
  HDC dc = printer.get();

  g_print.box = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PRINTING),
                                   owner, PrintProgressBox, 0);
  if (!g_print.box) return IDS_PRINT_BOX;
  BoxGuard box;
  ShowWindow(g_print.box, SW_SHOW);
  UpdateWindow(g_print.box);

  if (SetAbortProc(dc, PrintAbortProc) <= 0) return IDS_PRINT_ABORT;

  HFONT createdFont;
  HFONT font = ChoosePrintFont(GetDlgItem(owner, textControlId), dc, &createdFont);
  UniqueFont created(createdFont);
  Selected selected(dc, font);

  char docName[64];
  LoadText(IDS_CAPTION, docName, sizeof docName);  // jobs carry the program's name
  DOCINFOA doc = {};
  doc.cbSize = sizeof doc;
  doc.lpszDocName = docName;
  doc.lpszOutput = g_print.output;
  if (StartDocA(dc, &doc) <= 0) return g_print.cancelled ? 0 : IDS_PRINT_FAILED;
  if (StartPage(dc) <= 0) {
    AbortDoc(dc);
    return g_print.cancelled ? 0 : IDS_PRINT_FAILED;
  }
  SelectObject(dc, font);

  if (g_print.box) {
    ShowWindow(g_print.box, SW_SHOW);
    UpdateWindow(g_print.box);
  }

  PrinterJob job = {font, true, false, false};
  GetDlgItemTextA(owner, textControlId, g_print.text, sizeof g_print.text);
  DrawRecipePages(dc, GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTRES), title,
                  g_print.text, NextPrinterPage, &job);
  if (job.pageOpen) EndPage(dc);
  if (!job.abandoned) EndDoc(dc);
  return job.failed ? IDS_PRINT_FAILED : 0;
}

INT_PTR CALLBACK PrintProgressBox(HWND box, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      if (HGLOBAL names = g_print.setup.hDevNames) {
        if (auto* dn = static_cast<DEVNAMES*>(GlobalLock(names))) {
          const char* base = reinterpret_cast<const char*>(dn);
          SetDlgItemTextA(box, IDC_PRINT_DEVICE, base + dn->wDeviceOffset);
          SetDlgItemTextA(box, IDC_PRINT_PORT, base + dn->wOutputOffset);
          GlobalUnlock(names);
        }
      }
      char caption[260] = "";
      GetWindowTextA(GetWindow(box, GW_OWNER), caption, sizeof caption);
      SetDlgItemTextA(box, IDC_PRINT_DOCUMENT, caption);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL) {
        PostMessageA(GetWindow(box, GW_OWNER), WMU_CANCEL_PRINT, 0, 0);
        DestroyWindow(box);
      }
      return TRUE;
    case WM_DESTROY:
      if (g_print.box == box) g_print.box = nullptr;
      return FALSE;
    default:
      return FALSE;
  }
}

BOOL CALLBACK PrintAbortProc(HDC, int) {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WMU_CANCEL_PRINT) {
      g_print.cancelled = true;
      return FALSE;
    }
    if (msg.message == WM_QUIT) {
      // Not ours to take: leave it for the loop that is waiting for it.
      PostQuitMessage(static_cast<int>(msg.wParam));
      return TRUE;
    }
    if (g_print.box && IsDialogMessageA(g_print.box, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return TRUE;
}

void SetPrintOutputForTesting(const char* path) { g_print.output = path; }

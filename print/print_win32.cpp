#include "print/print_win32.h"

#include <commdlg.h>

#include <cstring>

#include "platform/unique_handle_win32.h"
#include "print/page_layout.h"
#include "print/wrap.h"
#include "resources/resource.h"
#include "resources/strings.h"

namespace {

// Everything a print job shares with the abort procedure and the progress box. There is one
// job at a time: the printer choice outlives the jobs, the rest is per job.
struct PrintState {
  PRINTDLGA setup;            // the printer chosen last (settings and names), for the dialog
  HWND box;                   // the progress box, while it is on screen
  bool busy;                  // a job is running (its abort procedure dispatches messages)
  bool cancelled;             // the running job was cancelled, from the box or by the program
  const char* output;         // tests: file the job goes to instead of the printer's port
  std::vector<UniqueEnhMetaFile>* capture;  // tests: where the job records its pages
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

// Pages recorded one metafile each, against a reference device whose pixels they are drawn
// in; the frame says how large those pixels are, so that playing a page back keeps its shape.
class PageRecorder {
 public:
  PageRecorder(HDC reference, int width, int height, HFONT font,
               std::vector<UniqueEnhMetaFile>* pages)
      : reference_(reference), font_(font), pages_(pages) {
    const int mmWide = GetDeviceCaps(reference, HORZSIZE);
    const int mmHigh = GetDeviceCaps(reference, VERTSIZE);
    const int pxWide = GetDeviceCaps(reference, HORZRES);
    const int pxHigh = GetDeviceCaps(reference, VERTRES);
    frame_.left = 0;
    frame_.top = 0;
    frame_.right = pxWide > 0 ? MulDiv(width, mmWide * 100, pxWide) : width;
    frame_.bottom = pxHigh > 0 ? MulDiv(height, mmHigh * 100, pxHigh) : height;
  }
  ~PageRecorder() { End(); }
  PageRecorder(const PageRecorder&) = delete;
  PageRecorder& operator=(const PageRecorder&) = delete;

  // A fresh page, in the printing font; null when no metafile can be made.
  HDC Begin() {
    End();
    current_ = CreateEnhMetaFileA(reference_, nullptr, &frame_, nullptr);
    if (current_) SelectObject(current_, font_);
    return current_;
  }
  // Closes the page being drawn and keeps it.
  void End() {
    if (!current_) return;
    HENHMETAFILE page = CloseEnhMetaFile(current_);
    current_ = nullptr;
    if (page) pages_->emplace_back(page);
  }

 private:
  HDC reference_;
  HFONT font_;
  std::vector<UniqueEnhMetaFile>* pages_;
  RECT frame_ = {};
  HDC current_ = nullptr;
};

HDC NextRecordedPage(HDC, void* context) { return static_cast<PageRecorder*>(context)->Begin(); }

// A job on the printer, page by page.
struct PrinterJob {
  HDC printer;
  HFONT font;
  PageRecorder* recorder;  // tests: pages go into metafiles instead
  bool pageOpen;           // StartPage succeeded and EndPage is still due
  bool abandoned;          // the job was thrown away (AbortDoc): no EndDoc
  bool failed;             // a page could not be started, and not because of a cancel
};

void Abandon(PrinterJob* job) {
  if (job->abandoned) return;
  AbortDoc(job->printer);
  job->abandoned = true;
  job->pageOpen = false;
  job->failed = !g_print.cancelled;
}

// Between two pages: the box gets its chance to cancel, as it would from inside the printing
// system, which does not call the abort procedure at every page everywhere.
HDC NextPrinterPage(HDC dc, void* context) {
  auto* job = static_cast<PrinterJob*>(context);
  if (job->recorder) job->recorder->End();
  job->pageOpen = false;
  if (EndPage(job->printer) <= 0 || !PrintAbortProc(job->printer, 0) ||
      StartPage(job->printer) <= 0) {
    Abandon(job);
    return nullptr;
  }
  job->pageOpen = true;
  if (job->recorder) return job->recorder->Begin();
  // Some drivers reset the device context at each page.
  SelectObject(dc, job->font);
  return dc;
}

// Scales a font's height from the screen's resolution to `dpi`.
HFONT ScaledCopy(HFONT screenFont, HWND control, int dpi) {
  LOGFONTA lf = {};
  if (GetObjectA(screenFont, sizeof lf, &lf) != sizeof lf) return nullptr;
  WindowDC screen(control);
  const int screenDpi = screen.get() ? GetDeviceCaps(screen.get(), LOGPIXELSX) : 0;
  if (screenDpi > 0) {
    lf.lfWidth = 0;
    lf.lfHeight = lf.lfHeight * dpi / screenDpi;
  }
  return CreateFontIndirectA(&lf);
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
  for (const PlacedLine& line : LayOutBody(page, text, MeasureText, dc)) {
    if (line.page + 1 > pages) {
      HDC next = nextPage ? nextPage(dc, context) : nullptr;
      if (!next) break;
      dc = next;
      ++pages;
      DrawPageFrame(dc, page, title, footer);
    }
    TextOutA(dc, page.margin, line.y, line.text, static_cast<int>(std::strlen(line.text)));
  }
  return pages;
}

HFONT CreatePrintFont(HWND textControl, int dpi) {
  HFONT screenFont =
      textControl ? reinterpret_cast<HFONT>(SendMessageA(textControl, WM_GETFONT, 0, 0)) : nullptr;
  if (screenFont) {
    if (HFONT font = ScaledCopy(screenFont, textControl, dpi)) return font;
  }
  // The stock font at its native size; a copy, so that the job owns whatever it prints with.
  LOGFONTA lf = {};
  if (GetObjectA(GetStockObject(SYSTEM_FONT), sizeof lf, &lf) != sizeof lf) return nullptr;
  return CreateFontIndirectA(&lf);
}

bool OpenPageDevice(PageDevice* device) {
  device->printer.reset();
  device->reference = nullptr;
  const PRINTDLGA& setup = g_print.setup;
  if (setup.hDevNames) {
    if (auto* names = static_cast<DEVNAMES*>(GlobalLock(setup.hDevNames))) {
      const char* base = reinterpret_cast<const char*>(names);
      auto* mode = setup.hDevMode ? static_cast<DEVMODEA*>(GlobalLock(setup.hDevMode)) : nullptr;
      device->printer = UniqueDc(CreateICA(base + names->wDriverOffset,
                                           base + names->wDeviceOffset,
                                           base + names->wOutputOffset, mode));
      if (mode) GlobalUnlock(setup.hDevMode);
      GlobalUnlock(setup.hDevNames);
    }
  }
  if (HDC printer = device->printer.get()) {
    device->reference = printer;
    device->width = GetDeviceCaps(printer, HORZRES);
    device->height = GetDeviceCaps(printer, VERTRES);
    device->dpi = GetDeviceCaps(printer, LOGPIXELSX);
    if (device->width > 0 && device->height > 0 && device->dpi > 0) return true;
    device->printer.reset();
  }
  device->reference = GetDC(nullptr);
  device->width = 2480;
  device->height = 3508;
  device->dpi = 300;
  return device->reference != nullptr;
}

void ClosePageDevice(PageDevice* device) {
  if (!device->printer.get() && device->reference) ReleaseDC(nullptr, device->reference);
  device->printer.reset();
  device->reference = nullptr;
}

std::vector<UniqueEnhMetaFile> RecordRecipePages(HDC reference, int width, int height,
                                                 HFONT font, const char* title,
                                                 const std::string& text) {
  std::vector<UniqueEnhMetaFile> pages;
  std::vector<char> body(text.begin(), text.end());
  body.push_back('\0');
  PageRecorder recorder(reference, width, height, font, &pages);
  if (HDC dc = recorder.Begin())
    DrawRecipePages(dc, width, height, title, body.data(), NextRecordedPage, &recorder);
  recorder.End();
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

int PrintRecipe(HWND owner, int fontControlId, const char* title, const char* text) {
  if (g_print.busy) {
    // Asked again while a job spools: the box that is up already answers for it.
    if (g_print.box) SetActiveWindow(g_print.box);
    return 0;
  }
  BusyGuard busy;
  // The job's own copies: while pages go out, messages run, and whatever the caller's
  // pointers lead to (the recipe table, the text pane) may change or be released.
  const std::string ownTitle = title ? title : "";
  std::vector<char> body;
  if (text) body.assign(text, text + std::strlen(text));
  body.push_back('\0');

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
  // The owner may have gone while the dialog was up.
  if (g_print.cancelled) return 0;

  g_print.box = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PRINTING),
                                   owner, PrintProgressBox, 0);
  if (!g_print.box) return IDS_PRINT_BOX;
  BoxGuard box;
  ShowWindow(g_print.box, SW_SHOW);
  UpdateWindow(g_print.box);

  if (SetAbortProc(dc, PrintAbortProc) <= 0) return IDS_PRINT_ABORT;

  UniqueFont font(CreatePrintFont(GetDlgItem(owner, fontControlId), GetDeviceCaps(dc, LOGPIXELSX)));
  Selected selected(dc, font.get());

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
  SelectObject(dc, font.get());

  if (g_print.box) {
    ShowWindow(g_print.box, SW_SHOW);
    UpdateWindow(g_print.box);
  }

  const int width = GetDeviceCaps(dc, HORZRES);
  const int height = GetDeviceCaps(dc, VERTRES);
  std::vector<UniqueEnhMetaFile> unused;
  PageRecorder recorder(dc, width, height, font.get(), g_print.capture ? g_print.capture : &unused);
  PrinterJob job = {dc, font.get(), g_print.capture ? &recorder : nullptr, true, false, false};
  HDC first = job.recorder ? recorder.Begin() : dc;
  if (first) DrawRecipePages(first, width, height, ownTitle.c_str(), body.data(), NextPrinterPage, &job);
  recorder.End();
  if (g_print.cancelled) Abandon(&job);
  if (job.pageOpen) EndPage(dc);
  if (!job.abandoned) EndDoc(dc);
  return job.failed ? IDS_PRINT_FAILED : 0;
}

bool PrintJobRunning() { return g_print.busy; }

void CancelPrintJob() {
  if (!g_print.busy) return;
  g_print.cancelled = true;
  if (g_print.box) DestroyWindow(g_print.box);
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
  while (!g_print.cancelled && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
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
  // A message just dispatched may have cancelled the job (the program is quitting).
  return g_print.cancelled ? FALSE : TRUE;
}

void SetPrintOutputForTesting(const char* path) { g_print.output = path; }

void SetPrintCaptureForTesting(std::vector<UniqueEnhMetaFile>* pages) { g_print.capture = pages; }

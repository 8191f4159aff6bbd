// Printing under Wine: the pages drawn into enhanced metafiles and read back record by record,
// and real jobs on the prefix's print-to-file PostScript printer, with the print dialog and
// the progress box driven from a thread timer.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/file_bytes_test.h"
#include "print/file_printer_win32.h"
#include "print/metafile_pages_wintest.h"
#include "print/print_win32.h"
#include "resources/resource.h"
#include "resources/strings.h"

namespace {

using namespace metafile_pages;

HDC MarkNextPage(HDC dc, void* context) {
  ++*static_cast<int*>(context);
  GdiComment(dc, sizeof kPageMark, reinterpret_cast<const BYTE*>(kPageMark));
  return dc;
}

// A font whose "BB" is `cy` pixels high on the screen, the metafiles' reference device.
HFONT FontOfHeight(int cy) {
  const char* faces[] = {"Arial", "Liberation Serif", "DejaVu Sans", "Liberation Mono"};
  HDC screen = GetDC(nullptr);
  HFONT found = nullptr;
  for (const char* face : faces) {
    for (int h = -cy - 10; h <= cy + 10 && !found; ++h) {
      HFONT f = CreateFontA(h, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, face);
      HGDIOBJ old = SelectObject(screen, f);
      SIZE size{};
      GetTextExtentPoint32A(screen, "BB", 2, &size);
      SelectObject(screen, old);
      if (size.cy == cy)
        found = f;
      else
        DeleteObject(f);
    }
  }
  ReleaseDC(nullptr, screen);
  return found;
}

// Draws `text` under `title` on pages of 2400 x 3150 pixels (A4 at 300 dpi) and reads them back.
struct Drawn {
  std::vector<Page> pages;
  int drawnPages = 0;
  int breaks = 0;
};

Drawn DrawOnMetafile(HFONT font, const char* title, std::string text) {
  RECT frame = {0, 0, 20320, 26670};  // 0.01 mm
  HDC dc = CreateEnhMetaFileA(nullptr, nullptr, &frame, nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  Drawn d;
  text.push_back('\0');
  d.drawnPages = DrawRecipePages(dc, 2400, 3150, title, &text[0], MarkNextPage, &d.breaks);
  SelectObject(dc, old);
  HENHMETAFILE emf = CloseEnhMetaFile(dc);
  d.pages = Read(emf);
  DeleteEnhMetaFile(emf);
  return d;
}

std::string Footer() {
  char buf[256];
  LoadText(IDS_FOOTER, buf, sizeof buf);
  return buf;
}

// The parts of a page: the texts at the title's and the footer's places, and the body lines.
struct Parts {
  std::vector<Text> titles, footers, body;
};

Parts Split(const Page& page) {
  Parts p;
  for (const Text& t : page.texts) {
    if (t.at.y == 62 && (t.align & TA_CENTER) == TA_CENTER)
      p.titles.push_back(t);
    else if (t.at.y == 3026)
      p.footers.push_back(t);
    else
      p.body.push_back(t);
  }
  return p;
}

void ExpectFrame(const Page& page, const char* title) {
  ASSERT_EQ(page.rules.size(), 2u);
  EXPECT_EQ(page.rules[0].from.x, 160);
  EXPECT_EQ(page.rules[0].from.y, 124);
  EXPECT_EQ(page.rules[0].to.x, 2240);
  EXPECT_EQ(page.rules[0].to.y, 124);
  EXPECT_EQ(page.rules[1].from.x, 160);
  EXPECT_EQ(page.rules[1].from.y, 2964);
  EXPECT_EQ(page.rules[1].to.x, 2240);
  EXPECT_EQ(page.rules[1].to.y, 2964);
  Parts parts = Split(page);
  ASSERT_EQ(parts.titles.size(), 1u);
  const Text& t = parts.titles[0];
  EXPECT_EQ(t.s, title);
  EXPECT_EQ(t.at.x, 1120);
  EXPECT_EQ(t.align & (TA_CENTER | TA_BOTTOM | TA_BASELINE), UINT(TA_CENTER | TA_TOP));
  EXPECT_TRUE(t.options & ETO_CLIPPED);
  EXPECT_EQ(t.clip.left, 160);
  EXPECT_EQ(t.clip.top, 62);
  EXPECT_EQ(t.clip.right, 2080);
  EXPECT_EQ(t.clip.bottom, 124);
  ASSERT_EQ(parts.footers.size(), 1u);
  EXPECT_EQ(parts.footers[0].s, Footer());
  EXPECT_EQ(parts.footers[0].at.x, 160);
  EXPECT_EQ(parts.footers[0].align & (TA_CENTER | TA_BOTTOM | TA_BASELINE), UINT(TA_LEFT | TA_TOP));
}

class PrintPages : public ::testing::Test {
 protected:
  void SetUp() override {
    font_ = FontOfHeight(50);
    ASSERT_NE(font_, nullptr) << "no font with a 50-pixel \"BB\"";
  }
  void TearDown() override { DeleteObject(font_); }
  int Width(const std::string& s) {
    HDC screen = GetDC(nullptr);
    HGDIOBJ old = SelectObject(screen, font_);
    SIZE size{};
    GetTextExtentPoint32A(screen, s.data(), static_cast<int>(s.size()), &size);
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);
    return size.cx;
  }
  HFONT font_ = nullptr;
};

TEST_F(PrintPages, OnePageFollowsTheWorkedExample) {
  const char title[] = "Tarte aux pommes";
  Drawn d = DrawOnMetafile(font_, title,
                           "Pour 6 personnes.\r\n\r\n   Peler les pommes,\tles couper.\r\nCuire.");
  EXPECT_EQ(d.drawnPages, 1);
  EXPECT_EQ(d.breaks, 0);
  ASSERT_EQ(d.pages.size(), 1u);
  ExpectFrame(d.pages[0], title);
  // Body lines at 248, 310, 372, ...; the empty line advances y and may or may not be recorded.
  std::vector<Text> body;
  for (const Text& t : Split(d.pages[0]).body)
    if (!t.s.empty()) body.push_back(t);
  ASSERT_EQ(body.size(), 3u);
  EXPECT_EQ(body[0].s, "Pour 6 personnes.");
  EXPECT_EQ(body[0].at.y, 248);
  EXPECT_EQ(body[1].s, "   Peler les pommes,\tles couper.");
  EXPECT_EQ(body[1].at.y, 372);
  EXPECT_EQ(body[2].s, "Cuire.");
  EXPECT_EQ(body[2].at.y, 434);
  for (const Text& t : body) {
    EXPECT_EQ(t.at.x, 160);
    EXPECT_EQ(t.align & (TA_CENTER | TA_BOTTOM | TA_BASELINE), UINT(TA_LEFT | TA_TOP));
  }
}

TEST_F(PrintPages, EmptyTextAndLongTitle) {
  std::string title(300, 'W');
  Drawn d = DrawOnMetafile(font_, title.c_str(), "");
  ASSERT_EQ(d.pages.size(), 1u);
  // The title is drawn whole and clipped by the device; the rules still span the page.
  ExpectFrame(d.pages[0], title.c_str());
  EXPECT_GT(Width(title), 2080 - 160);
  EXPECT_TRUE(Split(d.pages[0]).body.empty());
}

// Paragraphs of ordinary words, each ending in "fin.".
std::string LongRecipe(size_t bytes) {
  const char* words[] = {"Ajouter", "le", "sel,", "le", "poivre", "et", "la", "farine;",
                         "remuer", "doucement", "pendant", "cinq", "minutes", "\xE0", "feu", "vif."};
  std::string text;
  unsigned n = 0;
  while (text.size() < bytes) {
    text += words[n % 16];
    ++n;
    text += (n % 37 == 0) ? " fin.\r\n" : (n % 101 == 0 ? " fin.\r\n\r\n" : " ");
  }
  text.resize(bytes - 5);
  return text + " fin.";
}

std::string Letters(const std::string& s) {
  std::string out;
  for (char c : s)
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') out += c;
  return out;
}

TEST_F(PrintPages, LongTextGoesOnOverPagesWithTheSameFrame) {
  const std::string text = LongRecipe(16384);
  const char title[] = "Sauce longue";
  Drawn d = DrawOnMetafile(font_, title, text);
  ASSERT_GE(d.drawnPages, 4);
  EXPECT_EQ(d.breaks + 1, d.drawnPages);
  ASSERT_EQ(static_cast<int>(d.pages.size()), d.drawnPages);
  std::string printed;
  for (size_t i = 0; i < d.pages.size(); ++i) {
    SCOPED_TRACE("page " + std::to_string(i + 1));
    ExpectFrame(d.pages[i], title);
    std::vector<Text> body = Split(d.pages[i]).body;
    ASSERT_FALSE(body.empty());
    EXPECT_EQ(body.front().at.y, 248);
    // Full pages hold 43 lines, 248 to 2852; no line ever reaches the footer rule.
    if (i + 1 < d.pages.size()) {
      EXPECT_EQ(body.size(), 43u);
    }
    for (size_t k = 0; k < body.size(); ++k) {
      EXPECT_EQ(body[k].at.y, 248 + 62 * static_cast<int>(k));
      EXPECT_LE(body[k].at.y + 62, 2964);
      printed += body[k].s;
      // Every line stays inside the margins, the last of a paragraph too.
      std::string s = body[k].s;
      while (!s.empty() && s.back() == ' ') s.pop_back();
      EXPECT_LT(Width(s), 2080) << body[k].s;
    }
  }
  EXPECT_EQ(Letters(printed), Letters(text));
}

// ---- Real jobs on the print-to-file printer ----

// The window that prints: a caption, and the text pane with its screen font.
class Owner {
 public:
  Owner() {
    static bool registered = false;
    if (!registered) {
      WNDCLASSA wc = {};
      wc.lpfnWndProc = Proc;
      wc.hInstance = GetModuleHandleA(nullptr);
      wc.lpszClassName = "SaucelinsPrintTest";
      RegisterClassA(&wc);
      registered = true;
    }
    hwnd_ = CreateWindowExA(0, "SaucelinsPrintTest", "Recettes de test", WS_OVERLAPPEDWINDOW,
                            10, 10, 400, 300, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    edit_ = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_READONLY,
                            0, 0, 300, 200, hwnd_, reinterpret_cast<HMENU>(IDC_RECIPE_TEXT),
                            GetModuleHandleA(nullptr), nullptr);
    SendMessageA(edit_, EM_LIMITTEXT, 0, 0);
    ShowWindow(hwnd_, SW_SHOW);
  }
  ~Owner() {
    DestroyWindow(hwnd_);
    if (font_) DeleteObject(font_);
  }
  HWND hwnd() const { return hwnd_; }
  void SetText(const std::string& text) { SetWindowTextA(edit_, text.c_str()); }
  // The pane's screen font; 0 leaves the pane without one.
  void SetFont(int height) {
    HFONT f = height ? CreateFontA(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0,
                                   "Arial")
                     : nullptr;
    SendMessageA(edit_, WM_SETFONT, reinterpret_cast<WPARAM>(f), FALSE);
    if (font_) DeleteObject(font_);
    font_ = f;
  }
  HFONT font() const { return font_; }
  HWND edit() const { return edit_; }

  // Runs in the job's message pumping: posted to the owner once the print dialog is closed.
  static std::function<void()> onPumped;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_APP) {
      if (onPumped) onPumped();
      return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
  }
  HWND hwnd_;
  HWND edit_;
  HFONT font_ = nullptr;
};
std::function<void()> Owner::onPumped;

BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
  char cls[16] = {};
  GetClassNameA(window, cls, sizeof cls);
  if (std::strcmp(cls, "#32770") == 0 && IsWindowVisible(window) && IsWindowEnabled(window) &&
      !GetDlgItem(window, IDC_PRINT_DEVICE)) {
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK FindBoxProc(HWND window, LPARAM found) {
  if (GetDlgItem(window, IDC_PRINT_DEVICE)) {
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  return TRUE;
}

HWND FindBox() {
  HWND box = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindBoxProc, reinterpret_cast<LPARAM>(&box));
  return box;
}

std::string ItemText(HWND dialog, int id) {
  HWND item = GetDlgItem(dialog, id);
  std::string text(static_cast<size_t>(GetWindowTextLengthA(item)) + 1, '\0');
  text.resize(static_cast<size_t>(GetWindowTextA(item, &text[0], static_cast<int>(text.size()))));
  return text;
}

// Answers the print dialog from a thread timer: presses `button` once the dialog can be
// used, then posts WM_APP to the owner, which the job's abort procedure will dispatch.
// A watchdog closes every dialog left after ten seconds.
struct DialogDriver {
  static int button;
  static HWND owner;
  static bool pressed;
  static bool timedOut;
  static DWORD deadline;

  static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD) {
    if (static_cast<LONG>(GetTickCount() - deadline) > 0) {
      timedOut = true;
      KillTimer(nullptr, id);
      HWND dlg = nullptr;
      EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&dlg));
      if (dlg) EndDialog(dlg, IDCANCEL);
      return;
    }
    if (pressed) return;
    HWND dlg = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&dlg));
    if (!dlg) return;
    pressed = true;
    PostMessageA(dlg, WM_COMMAND, button, 0);
    PostMessageA(owner, WM_APP, 0, 0);
  }

  // Runs PrintRecipe on the pane's text with the dialog answered by `pressButton`.
  static int Print(HWND ownerWindow, int pressButton, const char* title) {
    const std::string text = ItemText(ownerWindow, IDC_RECIPE_TEXT);
    return Print(ownerWindow, pressButton, title, text.c_str());
  }
  static int Print(HWND ownerWindow, int pressButton, const char* title, const char* text) {
    button = pressButton;
    owner = ownerWindow;
    pressed = false;
    timedOut = false;
    deadline = GetTickCount() + 10000;
    UINT_PTR timer = SetTimer(nullptr, 0, 20, Tick);
    int result = PrintRecipe(ownerWindow, IDC_RECIPE_TEXT, title, text);
    KillTimer(nullptr, timer);
    // Nothing of the job may linger, whatever happened.
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    return result;
  }
};
int DialogDriver::button;
HWND DialogDriver::owner;
bool DialogDriver::pressed;
bool DialogDriver::timedOut;
DWORD DialogDriver::deadline;

using testfiles::Slurp;

// "%%Page:" lines of a PostScript file, and the "%%Pages:" total it announces (-1: none).
struct PsPages {
  int pageLines = 0;
  int announced = -1;
};

PsPages CountPages(const std::string& ps) {
  PsPages p;
  std::istringstream in(ps);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("%%Page:", 0) == 0) ++p.pageLines;
    int n;
    if (std::sscanf(line.c_str(), "%%%%Pages: %d", &n) == 1) p.announced = n;
  }
  return p;
}

// How many pages the job needs for `lines` unwrapped lines, from the printer's own page size
// and the height of "BB" in the font the pane's font becomes on paper.
int ExpectedPages(HWND pane, HFONT screenFont, int lines) {
  HDC printer = CreateDCA(nullptr, file_printer::kPrinterName, nullptr, nullptr);
  if (!printer) return -1;
  HFONT created = nullptr;
  HGDIOBJ font = GetStockObject(SYSTEM_FONT);
  if (screenFont) {
    LOGFONTA lf;
    GetObjectA(screenFont, sizeof lf, &lf);
    HDC screen = GetDC(pane);
    lf.lfHeight = lf.lfHeight * GetDeviceCaps(printer, LOGPIXELSX) / GetDeviceCaps(screen, LOGPIXELSX);
    lf.lfWidth = 0;
    ReleaseDC(pane, screen);
    font = created = CreateFontIndirectA(&lf);
  }
  HGDIOBJ old = SelectObject(printer, font);
  SIZE bb{};
  GetTextExtentPoint32A(printer, "BB", 2, &bb);
  const int h = GetDeviceCaps(printer, VERTRES);
  SelectObject(printer, old);
  if (created) DeleteObject(created);
  DeleteDC(printer);
  const int pitch = bb.cy + bb.cy / 4;
  // Lines from 4L while they end above the footer rule at H - 3L; at least one a page.
  int perPage = (h - 3 * pitch - 4 * pitch) / pitch;
  if (perPage < 1) perPage = 1;
  return (lines + perPage - 1) / perPage;
}

// Short lines that never wrap: the page count depends on the font height only.
std::string NumberedLines(int count) {
  std::string text;
  for (int i = 1; i <= count; ++i) text += "Ligne " + std::to_string(i) + "\r\n";
  return text;
}

class PrintJob : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const char* step = "";
    DWORD error = file_printer::EnsureFilePrinter(&step);
    ASSERT_EQ(error, 0u) << step;
  }
  void SetUp() override {
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    output_ = std::string(dir) + "saucelins-print-test.ps";
    DeleteFileA(output_.c_str());
    SetPrintOutputForTesting(output_.c_str());
    InitPrintDefaults(owner_.hwnd());
  }
  void TearDown() override {
    Owner::onPumped = nullptr;
    SetPrintOutputForTesting(nullptr);
    DeleteFileA(output_.c_str());
    EXPECT_EQ(FindBox(), nullptr) << "the progress box outlived its job";
    EXPECT_FALSE(DialogDriver::timedOut) << "a dialog had to be closed by the watchdog";
  }
  Owner owner_;
  std::string output_;
};

TEST_F(PrintJob, PrintsEveryPageWithTheScreenFontScaled) {
  const int lines = 150;
  owner_.SetText(NumberedLines(lines));
  struct Size {
    int screenHeight;
    int pages;
  } sizes[] = {{-16, 0}, {-32, 0}, {0, 0}};
  for (Size& size : sizes) {
    SCOPED_TRACE("screen font height " + std::to_string(size.screenHeight));
    owner_.SetFont(size.screenHeight);
    const int expected = ExpectedPages(owner_.edit(), owner_.font(), lines);
    ASSERT_GT(expected, 0);
    std::string device, port, document;
    Owner::onPumped = [&] {
      HWND box = FindBox();
      ASSERT_NE(box, nullptr);
      device = ItemText(box, IDC_PRINT_DEVICE);
      port = ItemText(box, IDC_PRINT_PORT);
      document = ItemText(box, IDC_PRINT_DOCUMENT);
    };
    DeleteFileA(output_.c_str());
    ASSERT_EQ(DialogDriver::Print(owner_.hwnd(), IDOK, "Tarte"), 0);
    EXPECT_EQ(device, file_printer::kPrinterName);
    EXPECT_EQ(port, "FILE:");
    EXPECT_EQ(document, "Recettes de test");
    PsPages ps = CountPages(Slurp(output_));
    EXPECT_EQ(ps.pageLines, expected);
    EXPECT_EQ(ps.announced, expected);
    size.pages = ps.pageLines;
  }
  // Twice the screen height, about twice the lines' height on paper; the stock system font is
  // printed at its own size, small at 300 dpi.
  EXPECT_GT(sizes[1].pages, sizes[0].pages);
  EXPECT_LT(sizes[2].pages, sizes[1].pages);
}

TEST_F(PrintJob, ClosingThePrintDialogShowsNothing) {
  owner_.SetText("Texte");
  EXPECT_EQ(DialogDriver::Print(owner_.hwnd(), IDCANCEL, "Tarte"), 0);
  EXPECT_TRUE(DialogDriver::pressed);
  EXPECT_EQ(GetFileAttributesA(output_.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(PrintJob, CancelFromTheBoxAbandonsTheJobSilently) {
  owner_.SetFont(-16);
  owner_.SetText(NumberedLines(200));
  // The Cancel button, pressed as soon as the job first dispatches messages.
  Owner::onPumped = [] {
    HWND box = FindBox();
    ASSERT_NE(box, nullptr);
    PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
  };
  EXPECT_EQ(DialogDriver::Print(owner_.hwnd(), IDOK, "Tarte"), 0);
  EXPECT_EQ(CountPages(Slurp(output_)).pageLines, 0);
}

void CALLBACK CancelFromBox(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  if (HWND box = FindBox()) PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
}

// Few lines a page, many pages: a job long enough for a timer to fire between two pages.
TEST_F(PrintJob, CancelBetweenPagesStopsTheJob) {
  owner_.SetFont(-48);
  owner_.SetText(NumberedLines(400));
  const int full = ExpectedPages(owner_.edit(), owner_.font(), 400);
  ASSERT_GT(full, 20);
  static UINT_PTR timer;
  Owner::onPumped = [] {
    timer = SetTimer(nullptr, 0, 10, CancelFromBox);
  };
  DWORD start = GetTickCount();
  EXPECT_EQ(DialogDriver::Print(owner_.hwnd(), IDOK, "Tarte"), 0);
  const DWORD elapsed = GetTickCount() - start;
  KillTimer(nullptr, timer);
  const int printed = CountPages(Slurp(output_)).pageLines;
  std::printf("[          ] job of %d pages cancelled after %lu ms with %d pages out\n", full,
              static_cast<unsigned long>(elapsed), printed);
  EXPECT_LT(printed, full);
}

TEST_F(PrintJob, SecondPrintDuringAJobDoesNothing) {
  owner_.SetText(NumberedLines(10));
  int nested = -1;
  Owner::onPumped = [&] { nested = PrintRecipe(owner_.hwnd(), IDC_RECIPE_TEXT, "Autre", "Texte"); };
  EXPECT_EQ(DialogDriver::Print(owner_.hwnd(), IDOK, "Tarte"), 0);
  EXPECT_EQ(nested, 0);
  EXPECT_EQ(CountPages(Slurp(output_)).pageLines, 1);
}

// While pages go out, messages run: what the job was given may be changed or released by
// then, and must not reach the paper.
TEST_F(PrintJob, JobPrintsItsOwnCopiesOfTitleAndText) {
  owner_.SetFont(-48);
  std::string title = "Tarte aux pommes";
  std::string text = NumberedLines(120);
  std::vector<UniqueEnhMetaFile> pages;
  SetPrintCaptureForTesting(&pages);
  Owner::onPumped = [&] {
    title.assign(title.size(), 'X');
    text.assign(text.size(), 'Y');
  };
  EXPECT_EQ(DialogDriver::Print(owner_.hwnd(), IDOK, &title[0], &text[0]), 0);
  SetPrintCaptureForTesting(nullptr);
  ASSERT_GT(pages.size(), 2u);
  EXPECT_EQ(CountPages(Slurp(output_)).pageLines, static_cast<int>(pages.size()));
  std::vector<std::string> body;
  for (size_t i = 0; i < pages.size(); ++i) {
    std::vector<Page> read = Read(pages[i].get());
    ASSERT_EQ(read.size(), 1u);
    ASSERT_FALSE(read[0].texts.empty());
    EXPECT_EQ(read[0].texts[0].s, "Tarte aux pommes") << "page " << i + 1;
    for (const std::string& line : BodyLines(read[0])) body.push_back(line);
  }
  ASSERT_EQ(body.size(), 120u);
  for (size_t i = 0; i < body.size(); ++i) EXPECT_EQ(body[i], "Ligne " + std::to_string(i + 1));
}

TEST_F(PrintJob, CancelPrintJobAbandonsTheJobAtItsNextChance) {
  owner_.SetFont(-48);
  owner_.SetText(NumberedLines(400));
  std::vector<UniqueEnhMetaFile> pages;
  SetPrintCaptureForTesting(&pages);
  bool running = false;
  Owner::onPumped = [&] {
    running = PrintJobRunning();
    CancelPrintJob();
  };
  EXPECT_EQ(DialogDriver::Print(owner_.hwnd(), IDOK, "Tarte"), 0);
  SetPrintCaptureForTesting(nullptr);
  EXPECT_TRUE(running);
  EXPECT_FALSE(PrintJobRunning());
  EXPECT_LE(pages.size(), 1u);
  EXPECT_EQ(CountPages(Slurp(output_)).pageLines, 0);
}

TEST_F(PrintJob, WithoutPrinterTheDialogFailureIsReportedAndPagesAreA4) {
  // With no printer at all the dialog cannot open: that is worth a message.
  DWORD needed = 0, count = 0;
  EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 4, nullptr, 0, &needed, &count);
  std::vector<BYTE> buf(needed + 1);
  ASSERT_TRUE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 4, buf.data(), needed, &needed, &count));
  if (count != 1) GTEST_SKIP() << "this machine has other printers";
  char name[sizeof file_printer::kPrinterName];
  std::memcpy(name, file_printer::kPrinterName, sizeof name);
  PRINTER_DEFAULTSA admin = {nullptr, nullptr, PRINTER_ALL_ACCESS};
  HANDLE printer = nullptr;
  ASSERT_TRUE(OpenPrinterA(name, &printer, &admin));
  ASSERT_TRUE(DeletePrinter(printer));
  ClosePrinter(printer);

  owner_.SetText("Texte");
  InitPrintDefaults(owner_.hwnd());
  // The preview lays pages out on an A4 page at 300 dpi, measured on the screen.
  PageDevice device;
  const bool opened = OpenPageDevice(&device);
  const bool onPrinter = device.printer.get() != nullptr;
  const int width = device.width, height = device.height, dpi = device.dpi;
  ClosePageDevice(&device);
  const int result = DialogDriver::Print(owner_.hwnd(), IDCANCEL, "Tarte");
  const char* step = "";
  ASSERT_EQ(file_printer::EnsureFilePrinter(&step), 0u) << step;
  EXPECT_EQ(result, IDS_PRINT_DIALOG);
  EXPECT_EQ(GetFileAttributesA(output_.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(opened);
  EXPECT_FALSE(onPrinter);
  EXPECT_EQ(width, 2480);
  EXPECT_EQ(height, 3508);
  EXPECT_EQ(dpi, 300);
}

}  // namespace

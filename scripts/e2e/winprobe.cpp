// winprobe: how the end-to-end tests read the running program. It finds the program's
// top-level windows and asks their controls what they hold (counts, texts, selections, states,
// where an item lies on the screen), with the controls' own messages, and prints the answers
// in UTF-8. The tests then click and type with xdotool at places read here, so nothing they
// check or aim at depends on the fonts of the machine.
//
// Queries come one per line on standard input, words separated by TABs, or as one query on the
// command line (one word per argument). Each answer is a line "ok N" followed by N lines, or
// one line "err REASON". A window is named by its handle as `find` prints it; a control by its
// id in that window, or "-" for the window itself.
//
//   find TITLE [CLASS]        visible top-level windows with exactly this title (newest first)
//   find-class CLASS          visible top-level windows of this class
//   windows                   every visible top-level window: handle, class, title
//   children W                every child window: id, class, visible (1/0), first text line
//   alive W                   1 while the window exists and is visible, else 0
//   text W C                  the window text, one line per line (CR LF cut at LF, CR dropped)
//   rect W C                  the screen rectangle: x y width height
//   visible W C / enabled W C 1 or 0
//   style W C                 the style bits, in hex
//   check W C                 a button's check state (0, 1, 2)
//   defid W                   the dialog's default button id (0 when none)
//   focus W                   the id of the control with the keyboard focus in W's thread
//   lb-count|lb-sel|lb-items|lb-height W C     list box: count, selection, texts, item height
//   lb-point W C INDEX        the screen point at the middle of a visible list box item
//   cb-items|cb-sel W C       combo box: texts, selection
//   tab-sel W C / tab-point W C INDEX          tab control: selection, a tab's middle
//   tv-count W C              tree view: the number of items
//   tv-sel W C                the path of the selected item, labels joined by "/"
//   tv-children W C [PATH]    the labels under PATH (under no item: the roots)
//   tv-point W C PATH         the middle of a visible item's label
//   tv-editing W C            1 while a label is being edited, then its text
//   lv-count|lv-items W C     list view: count, first-column texts
//   lv-point W C INDEX        the middle of a visible list view item
//   tb-enabled W C COMMAND    toolbar: 1 when the button of that command is enabled
//   tb-point W C COMMAND      the middle of that button
//   edit-metrics W C          multi-line edit: line pitch, width of the first visible line
//                             (both in pixels) and the number of lines
//
// Common controls take pointers only in their own process, so their structures are written
// into a buffer inside the program (VirtualAllocEx) and read back. Messages below WM_USER
// (list boxes, combo boxes, edits) are carried across processes by the system.
#include <windows.h>
#include <commctrl.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/unique_handle_win32.h"

namespace {

using Lines = std::vector<std::string>;
using Words = std::vector<std::wstring>;
using UniqueProcess = Unique<HANDLE, CloseHandle>;

// A program busy for longer than this gives no answer; the tests poll again.
constexpr UINT kAnswerTimeoutMs = 10000;

struct Answer {
  bool ok = true;
  Lines lines;
};

Answer Error(const std::string& why) {
  Answer a;
  a.ok = false;
  a.lines.push_back(why);
  return a;
}

Answer One(const std::string& line) {
  Answer a;
  a.lines.push_back(line);
  return a;
}

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                    0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr,
                      nullptr);
  return out;
}

std::wstring Wide(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
  return out;
}

std::string Number(long long n) { return std::to_string(n); }

std::string HandleText(HWND w) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%llx",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(w)));
  return text;
}

// Multi-line text as lines: cut at LF, CRs dropped.
Lines SplitLines(const std::wstring& text) {
  Lines lines(1);
  std::wstring line;
  for (wchar_t c : text) {
    if (c == L'\n') {
      lines.back() = Utf8(line);
      lines.emplace_back();
      line.clear();
    } else if (c != L'\r') {
      line += c;
    }
  }
  lines.back() = Utf8(line);
  return lines;
}

bool Send(HWND w, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  DWORD_PTR r = 0;
  if (!SendMessageTimeoutW(w, message, wParam, lParam, SMTO_ABORTIFHUNG, kAnswerTimeoutMs, &r)) {
    return false;
  }
  if (result) *result = static_cast<LRESULT>(r);
  return true;
}

// A window's text as its own procedure gives it (GetWindowText would not ask a control of
// another process).
bool TextOf(HWND w, std::wstring* text) {
  LRESULT len = 0;
  if (!Send(w, WM_GETTEXTLENGTH, 0, 0, &len) || len < 0) return false;
  text->assign(static_cast<size_t>(len) + 1, L'\0');
  if (!Send(w, WM_GETTEXT, static_cast<WPARAM>(len + 1), reinterpret_cast<LPARAM>(&(*text)[0]), &len)) {
    return false;
  }
  text->resize(static_cast<size_t>(len));
  return true;
}

bool ParseInt(const std::wstring& word, long long* out) {
  if (word.empty()) return false;
  wchar_t* end = nullptr;
  const long long v = std::wcstoll(word.c_str(), &end, 0);
  if (*end != L'\0') return false;
  *out = v;
  return true;
}

// ---- a buffer inside the program, for the common controls' structures -----------------

class RemoteBuffer {
 public:
  static constexpr SIZE_T kSize = 64 * 1024;

  explicit RemoteBuffer(HWND w) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    process_ = UniqueProcess(OpenProcess(
        PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION, FALSE,
        pid));
    if (process_.get()) {
      base_ = static_cast<char*>(
          VirtualAllocEx(process_.get(), nullptr, kSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    }
  }
  ~RemoteBuffer() {
    if (base_) VirtualFreeEx(process_.get(), base_, 0, MEM_RELEASE);
  }
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;

  bool usable() const { return base_ != nullptr; }
  char* at(SIZE_T offset) const { return base_ + offset; }
  LPARAM address(SIZE_T offset) const { return reinterpret_cast<LPARAM>(base_ + offset); }

  bool Write(SIZE_T offset, const void* data, SIZE_T size) {
    SIZE_T done = 0;
    return WriteProcessMemory(process_.get(), base_ + offset, data, size, &done) && done == size;
  }
  bool Read(SIZE_T offset, void* data, SIZE_T size) {
    SIZE_T done = 0;
    return ReadProcessMemory(process_.get(), base_ + offset, data, size, &done) && done == size;
  }

 private:
  UniqueProcess process_;
  char* base_ = nullptr;
};

// One buffer per program, kept for the helper's life.
RemoteBuffer* BufferFor(HWND w) {
  static std::map<DWORD, std::unique_ptr<RemoteBuffer>> buffers;
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  std::unique_ptr<RemoteBuffer>& b = buffers[pid];
  if (!b || !b->usable()) b.reset(new RemoteBuffer(w));
  return b->usable() ? b.get() : nullptr;
}

// Where structures and texts go in the buffer.
constexpr SIZE_T kStructAt = 0;
constexpr SIZE_T kTextAt = 1024;
constexpr int kTextChars = 4096;

// Sends a message whose lParam points at a structure: the structure goes over, the control
// fills it in, and it comes back.
template <typename T>
bool SendRemote(HWND control, UINT message, WPARAM wParam, T* data, LRESULT* result) {
  RemoteBuffer* b = BufferFor(control);
  if (!b || !b->Write(kStructAt, data, sizeof *data)) return false;
  if (!Send(control, message, wParam, b->address(kStructAt), result)) return false;
  return b->Read(kStructAt, data, sizeof *data);
}

std::wstring RemoteText(HWND control) {
  RemoteBuffer* b = BufferFor(control);
  std::wstring text(kTextChars, L'\0');
  if (!b || !b->Read(kTextAt, &text[0], kTextChars * sizeof(wchar_t))) return std::wstring();
  text.resize(wcsnlen(text.c_str(), kTextChars));
  return text;
}

// ---- naming windows and controls --------------------------------------------------------

struct Target {
  HWND window = nullptr;
  HWND control = nullptr;
  std::string error;
};

// words[at] names a window, words[at + 1] (when wanted) a control of it.
Target Resolve(const Words& words, size_t at, bool wantControl) {
  Target t;
  long long handle = 0;
  if (words.size() <= at || !ParseInt(words[at], &handle)) {
    t.error = "no window handle";
    return t;
  }
  t.window = reinterpret_cast<HWND>(static_cast<intptr_t>(handle));
  if (!IsWindow(t.window)) {
    t.error = "no window " + Utf8(words[at]);
    return t;
  }
  t.control = t.window;
  if (!wantControl) return t;
  if (words.size() <= at + 1) {
    t.error = "no control id";
    return t;
  }
  if (words[at + 1] == L"-") return t;
  long long id = 0;
  if (!ParseInt(words[at + 1], &id)) {
    t.error = "bad control id";
    return t;
  }
  t.control = GetDlgItem(t.window, static_cast<int>(id));
  if (!t.control) t.error = "no control " + Number(id);
  return t;
}

std::wstring ClassOf(HWND w) {
  wchar_t name[256] = {};
  GetClassNameW(w, name, 256);
  return name;
}

std::wstring TitleOf(HWND w) {
  std::wstring text(1024, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(w, &text[0], 1024)));
  return text;
}

struct FindWanted {
  const std::wstring* title;
  const std::wstring* className;
  Lines* found;
};

BOOL CALLBACK CollectWindow(HWND w, LPARAM lParam) {
  FindWanted* f = reinterpret_cast<FindWanted*>(lParam);
  if (!IsWindowVisible(w)) return TRUE;
  if (f->className && ClassOf(w) != *f->className) return TRUE;
  if (f->title && TitleOf(w) != *f->title) return TRUE;
  if (!f->title && !f->className) {
    f->found->push_back(HandleText(w) + "\t" + Utf8(ClassOf(w)) + "\t" + Utf8(TitleOf(w)));
  } else {
    f->found->push_back(HandleText(w));
  }
  return TRUE;
}

BOOL CALLBACK CollectChild(HWND w, LPARAM lParam) {
  Lines* lines = reinterpret_cast<Lines*>(lParam);
  std::wstring whole;
  TextOf(w, &whole);
  const Lines text = SplitLines(whole);
  lines->push_back(Number(GetDlgCtrlID(w)) + "\t" + Utf8(ClassOf(w)) + "\t" +
                   (IsWindowVisible(w) ? "1" : "0") + "\t" + text[0]);
  return TRUE;
}

Answer FindWindows(const std::wstring* title, const std::wstring* className) {
  Answer a;
  FindWanted f = {title, className, &a.lines};
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&f));
  return a;
}

// The middle of a rectangle given in a control's client coordinates, on the screen.
Answer ScreenPoint(HWND control, RECT r) {
  RECT client = {};
  GetClientRect(control, &client);
  POINT p = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  if (p.x < client.left || p.x >= client.right || p.y < client.top || p.y >= client.bottom) {
    return Error("the item is not in view");
  }
  MapWindowPoints(control, nullptr, &p, 1);
  return One(Number(p.x) + " " + Number(p.y));
}

Answer Value(HWND control, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  LRESULT r = 0;
  if (!Send(control, message, wParam, lParam, &r)) return Error("no answer");
  return One(Number(r));
}

// ---- list boxes and combo boxes ----------------------------------------------------------

Answer ListTexts(HWND control, UINT countMessage, UINT lengthMessage, UINT textMessage) {
  LRESULT n = 0;
  if (!Send(control, countMessage, 0, 0, &n) || n < 0) return Error("no answer");
  Answer a;
  for (LRESULT i = 0; i < n; ++i) {
    LRESULT len = 0;
    if (!Send(control, lengthMessage, i, 0, &len) || len < 0) return Error("no answer");
    std::wstring text(static_cast<size_t>(len) + 1, L'\0');
    if (!Send(control, textMessage, i, reinterpret_cast<LPARAM>(&text[0]), &len) || len < 0) {
      return Error("no answer");
    }
    text.resize(static_cast<size_t>(len));
    a.lines.push_back(Utf8(text));
  }
  return a;
}

Answer ListPoint(HWND control, long long index) {
  RECT r = {};
  LRESULT ok = 0;
  if (!Send(control, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r), &ok) ||
      ok == LB_ERR) {
    return Error("no item " + Number(index));
  }
  return ScreenPoint(control, r);
}

// ---- tree views ---------------------------------------------------------------------------

HTREEITEM Next(HWND tree, UINT how, HTREEITEM item) {
  LRESULT r = 0;
  if (!Send(tree, TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(item), &r)) return nullptr;
  return reinterpret_cast<HTREEITEM>(r);
}

bool ItemLabel(HWND tree, HTREEITEM item, std::wstring* label) {
  RemoteBuffer* b = BufferFor(tree);
  if (!b) return false;
  TVITEMW tv = {};
  tv.mask = TVIF_TEXT | TVIF_HANDLE;
  tv.hItem = item;
  tv.pszText = reinterpret_cast<LPWSTR>(b->at(kTextAt));
  tv.cchTextMax = kTextChars;
  const wchar_t nothing = L'\0';
  if (!b->Write(kTextAt, &nothing, sizeof nothing)) return false;
  LRESULT ok = 0;
  if (!SendRemote(tree, TVM_GETITEMW, 0, &tv, &ok) || !ok) return false;
  *label = RemoteText(tree);
  return true;
}

// The item at a path of labels joined by "/", from the roots; null for an empty path.
bool FindItem(HWND tree, const std::wstring& path, HTREEITEM* found) {
  HTREEITEM parent = nullptr;
  size_t start = 0;
  while (start < path.size()) {
    size_t end = path.find(L'/', start);
    if (end == std::wstring::npos) end = path.size();
    const std::wstring want = path.substr(start, end - start);
    HTREEITEM item = parent ? Next(tree, TVGN_CHILD, parent) : Next(tree, TVGN_ROOT, nullptr);
    for (; item; item = Next(tree, TVGN_NEXT, item)) {
      std::wstring label;
      if (!ItemLabel(tree, item, &label)) return false;
      if (label == want) break;
    }
    if (!item) return false;
    parent = item;
    start = end + 1;
  }
  *found = parent;
  return true;
}

Answer TreeSelection(HWND tree) {
  std::vector<std::wstring> labels;
  for (HTREEITEM item = Next(tree, TVGN_CARET, nullptr); item; item = Next(tree, TVGN_PARENT, item)) {
    std::wstring label;
    if (!ItemLabel(tree, item, &label)) return Error("no answer");
    labels.insert(labels.begin(), label);
  }
  std::wstring path;
  for (const std::wstring& l : labels) path += (path.empty() ? L"" : L"/") + l;
  return One(Utf8(path));
}

Answer TreeChildren(HWND tree, const std::wstring& path) {
  HTREEITEM parent = nullptr;
  if (!FindItem(tree, path, &parent)) return Error("no item " + Utf8(path));
  Answer a;
  HTREEITEM item = parent ? Next(tree, TVGN_CHILD, parent) : Next(tree, TVGN_ROOT, nullptr);
  for (; item; item = Next(tree, TVGN_NEXT, item)) {
    std::wstring label;
    if (!ItemLabel(tree, item, &label)) return Error("no answer");
    a.lines.push_back(Utf8(label));
  }
  return a;
}

Answer TreePoint(HWND tree, const std::wstring& path) {
  HTREEITEM item = nullptr;
  if (!FindItem(tree, path, &item) || !item) return Error("no item " + Utf8(path));
  // TVM_GETITEMRECT takes the item in the rectangle's place; TRUE asks for the label only.
  RECT r = {};
  std::memcpy(&r, &item, sizeof item);
  LRESULT ok = 0;
  if (!SendRemote(tree, TVM_GETITEMRECT, TRUE, &r, &ok) || !ok) return Error("the item is not in view");
  return ScreenPoint(tree, r);
}

Answer TreeEditing(HWND tree) {
  LRESULT edit = 0;
  if (!Send(tree, TVM_GETEDITCONTROL, 0, 0, &edit)) return Error("no answer");
  if (!edit) return One("0");
  std::wstring text;
  if (!TextOf(reinterpret_cast<HWND>(edit), &text)) return Error("no answer");
  Answer a = One("1");
  a.lines.push_back(Utf8(text));
  return a;
}

// ---- list views, tabs, toolbars ------------------------------------------------------------

Answer ListViewTexts(HWND list) {
  LRESULT n = 0;
  if (!Send(list, LVM_GETITEMCOUNT, 0, 0, &n)) return Error("no answer");
  RemoteBuffer* b = BufferFor(list);
  if (!b) return Error("cannot reach the program's memory");
  Answer a;
  for (LRESULT i = 0; i < n; ++i) {
    LVITEMW item = {};
    item.iSubItem = 0;
    item.pszText = reinterpret_cast<LPWSTR>(b->at(kTextAt));
    item.cchTextMax = kTextChars;
    LRESULT len = 0;
    if (!SendRemote(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(i), &item, &len)) return Error("no answer");
    std::wstring text = RemoteText(list);
    text.resize(static_cast<size_t>(len));
    a.lines.push_back(Utf8(text));
  }
  return a;
}

// The screen point of the rectangle `message` fills in for `which` (an item, a tab, a button),
// starting from `r`; `what` names the part in the error when there is none.
Answer RectPoint(HWND control, UINT message, long long which, RECT r, const char* what) {
  LRESULT ok = 0;
  if (!SendRemote(control, message, static_cast<WPARAM>(which), &r, &ok) || !ok) {
    return Error(std::string("no ") + what + " " + Number(which));
  }
  return ScreenPoint(control, r);
}

Answer ListViewPoint(HWND list, long long index) {
  RECT r = {};
  r.left = LVIR_LABEL;
  return RectPoint(list, LVM_GETITEMRECT, index, r, "item");
}

Answer TabPoint(HWND tabs, long long index) { return RectPoint(tabs, TCM_GETITEMRECT, index, {}, "tab"); }

Answer ToolbarPoint(HWND toolbar, long long command) {
  return RectPoint(toolbar, TB_GETRECT, command, {}, "button");
}

// ---- edits ---------------------------------------------------------------------------------

// A position from EM_POSFROMCHAR: client coordinates as two signed 16-bit halves.
POINT CharPosition(HWND edit, LRESULT index, bool* ok) {
  LRESULT r = 0;
  *ok = *ok && Send(edit, EM_POSFROMCHAR, static_cast<WPARAM>(index), 0, &r) && r != -1;
  POINT p = {static_cast<short>(LOWORD(r)), static_cast<short>(HIWORD(r))};
  return p;
}

Answer EditMetrics(HWND edit) {
  LRESULT first = 0, count = 0, start = 0, next = 0, length = 0;
  bool ok = Send(edit, EM_GETFIRSTVISIBLELINE, 0, 0, &first) &&
            Send(edit, EM_GETLINECOUNT, 0, 0, &count);
  if (!ok) return Error("no answer");
  if (count < first + 2) return Error("fewer than two lines in view");
  ok = Send(edit, EM_LINEINDEX, static_cast<WPARAM>(first), 0, &start) &&
       Send(edit, EM_LINEINDEX, static_cast<WPARAM>(first + 1), 0, &next) &&
       Send(edit, EM_LINELENGTH, static_cast<WPARAM>(start), 0, &length);
  if (!ok) return Error("no answer");
  const POINT top = CharPosition(edit, start, &ok);
  const POINT below = CharPosition(edit, next, &ok);
  // The left edge of the line's last letter: a wider font moves it further right.
  const POINT last = CharPosition(edit, start + (length > 0 ? length - 1 : 0), &ok);
  if (!ok) return Error("no answer");
  return One(Number(below.y - top.y) + " " + Number(last.x - top.x) + " " + Number(count));
}

// ---- the queries ---------------------------------------------------------------------------

Answer Run(const Words& w) {
  if (w.empty()) return Error("empty query");
  const std::wstring& q = w[0];
  if (q == L"find") {
    if (w.size() < 2) return Error("find needs a title");
    return FindWindows(&w[1], w.size() > 2 ? &w[2] : nullptr);
  }
  if (q == L"find-class") {
    if (w.size() < 2) return Error("find-class needs a class");
    return FindWindows(nullptr, &w[1]);
  }
  if (q == L"windows") return FindWindows(nullptr, nullptr);
  if (q == L"alive") {
    long long h = 0;
    if (w.size() < 2 || !ParseInt(w[1], &h)) return Error("no window handle");
    HWND window = reinterpret_cast<HWND>(static_cast<intptr_t>(h));
    return One(IsWindow(window) && IsWindowVisible(window) ? "1" : "0");
  }

  // Queries on a window only.
  if (q == L"defid" || q == L"focus" || q == L"children") {
    Target t = Resolve(w, 1, false);
    if (!t.error.empty()) return Error(t.error);
    if (q == L"children") {
      Answer a;
      EnumChildWindows(t.window, CollectChild, reinterpret_cast<LPARAM>(&a.lines));
      return a;
    }
    if (q == L"defid") {
      LRESULT r = 0;
      if (!Send(t.window, DM_GETDEFID, 0, 0, &r)) return Error("no answer");
      return One(Number(HIWORD(r) == DC_HASDEFID ? LOWORD(r) : 0));
    }
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(t.window, nullptr), &info)) return Error("no thread");
    return One(Number(info.hwndFocus ? GetDlgCtrlID(info.hwndFocus) : 0));
  }

  // Queries on a control (or on the window itself, named "-").
  Target t = Resolve(w, 1, true);
  if (!t.error.empty()) return Error(t.error);
  HWND c = t.control;
  long long arg = 0;
  const bool hasNumber = w.size() > 3 && ParseInt(w[3], &arg);
  const std::wstring text3 = w.size() > 3 ? w[3] : std::wstring();

  if (q == L"text") {
    std::wstring text;
    if (!TextOf(c, &text)) return Error("no answer");
    Answer a;
    a.lines = SplitLines(text);
    return a;
  }
  if (q == L"rect") {
    RECT r = {};
    GetWindowRect(c, &r);
    return One(Number(r.left) + " " + Number(r.top) + " " + Number(r.right - r.left) + " " +
               Number(r.bottom - r.top));
  }
  if (q == L"visible") return One(IsWindowVisible(c) ? "1" : "0");
  if (q == L"enabled") return One(IsWindowEnabled(c) ? "1" : "0");
  if (q == L"style") {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08lx", static_cast<unsigned long>(GetWindowLongW(c, GWL_STYLE)));
    return One(hex);
  }
  if (q == L"check") return Value(c, BM_GETCHECK);
  if (q == L"lb-count") return Value(c, LB_GETCOUNT);
  if (q == L"lb-sel") return Value(c, LB_GETCURSEL);
  if (q == L"lb-height") return Value(c, LB_GETITEMHEIGHT);
  if (q == L"lb-items") return ListTexts(c, LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT);
  if (q == L"lb-point") return hasNumber ? ListPoint(c, arg) : Error("lb-point needs an index");
  if (q == L"cb-items") return ListTexts(c, CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT);
  if (q == L"cb-sel") return Value(c, CB_GETCURSEL);
  if (q == L"tab-sel") return Value(c, TCM_GETCURSEL);
  if (q == L"tab-point") return hasNumber ? TabPoint(c, arg) : Error("tab-point needs an index");
  if (q == L"tv-count") return Value(c, TVM_GETCOUNT);
  if (q == L"tv-sel") return TreeSelection(c);
  if (q == L"tv-children") return TreeChildren(c, text3);
  if (q == L"tv-point") return TreePoint(c, text3);
  if (q == L"tv-editing") return TreeEditing(c);
  if (q == L"lv-count") return Value(c, LVM_GETITEMCOUNT);
  if (q == L"lv-items") return ListViewTexts(c);
  if (q == L"lv-point") return hasNumber ? ListViewPoint(c, arg) : Error("lv-point needs an index");
  if (q == L"tb-enabled") {
    if (!hasNumber) return Error("tb-enabled needs a command");
    LRESULT r = 0;
    if (!Send(c, TB_ISBUTTONENABLED, static_cast<WPARAM>(arg), 0, &r)) return Error("no answer");
    return One(r ? "1" : "0");
  }
  if (q == L"tb-point") return hasNumber ? ToolbarPoint(c, arg) : Error("tb-point needs a command");
  if (q == L"edit-metrics") return EditMetrics(c);
  return Error("unknown query " + Utf8(q));
}

void Print(const Answer& a) {
  std::string out = a.ok ? "ok " + Number(static_cast<long long>(a.lines.size())) + "\n" : "err ";
  if (a.ok) {
    for (const std::string& line : a.lines) out += line + "\n";
  } else {
    out += a.lines.empty() ? std::string() : a.lines[0];
    out += "\n";
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fflush(stdout);
}

Words SplitTabs(const std::string& line) {
  Words words;
  size_t start = 0;
  while (true) {
    const size_t tab = line.find('\t', start);
    words.push_back(Wide(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start)));
    if (tab == std::string::npos) break;
    start = tab + 1;
  }
  return words;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  if (argc > 1) {
    Words words(argv + 1, argv + argc);
    const Answer a = Run(words);
    Print(a);
    return a.ok ? 0 : 1;
  }
  std::string line;
  int c;
  while ((c = std::fgetc(stdin)) != EOF) {
    if (c != '\n') {
      line += static_cast<char>(c);
      continue;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    Print(Run(SplitTabs(line)));
    line.clear();
  }
  return 0;
}

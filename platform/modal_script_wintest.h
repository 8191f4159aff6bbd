// Drives modal windows from inside their own message loops, for the Wine tests, and reads
// them as a user sees them.
//
// A thread timer fires inside DialogBox's, MessageBox's and TrackPopupMenu's loops; at each
// tick the script plays its next step. Steps act mostly through posted messages, so the window
// handles them in its own loop and a later tick sees their effect. A watchdog ends every dialog
// and menu of the thread when the script has not closed them in time, so a window that will
// not close fails the test instead of hanging it.
#ifndef SAUCELINS_PLATFORM_MODAL_SCRIPT_WINTEST_H
#define SAUCELINS_PLATFORM_MODAL_SCRIPT_WINTEST_H

#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace wintest {

// ---- what the user sees ----

inline std::string Text(HWND window) {
  std::string text(static_cast<size_t>(GetWindowTextLengthA(window)) + 1, '\0');
  text.resize(static_cast<size_t>(GetWindowTextA(window, &text[0], static_cast<int>(text.size()))));
  return text;
}
inline std::string ItemText(HWND dialog, int id) { return Text(GetDlgItem(dialog, id)); }

// The label of a tree control's item, and the item `how` (TVGN_*) from `item`.
inline std::string TreeLabel(HWND tree, HTREEITEM item) {
  char buf[256] = {};
  TVITEMA tv = {};
  tv.mask = TVIF_TEXT;
  tv.hItem = item;
  tv.pszText = buf;
  tv.cchTextMax = sizeof buf;
  SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
  return buf;
}
inline HTREEITEM TreeNext(HWND tree, HTREEITEM item, UINT how) {
  return reinterpret_cast<HTREEITEM>(
      SendMessageA(tree, TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(item)));
}

// String `id` of the program's string table.
inline std::string Str(UINT id) {
  char buf[1024] = {};
  LoadStringA(GetModuleHandleA(nullptr), id, buf, sizeof buf);
  return buf;
}

struct WindowSearch {
  const char* windowClass;
  bool enabledOnly;
  HWND except;
  HWND found;
};
inline BOOL CALLBACK FindWindowOfSearch(HWND window, LPARAM search) {
  WindowSearch* s = reinterpret_cast<WindowSearch*>(search);
  char cls[16] = {};
  GetClassNameA(window, cls, sizeof cls);
  if (window != s->except && std::strcmp(cls, s->windowClass) == 0 && IsWindowVisible(window) &&
      (!s->enabledOnly || IsWindowEnabled(window))) {
    s->found = window;
    return FALSE;
  }
  return TRUE;
}
// The first visible window of this thread of class `windowClass` other than `except`.
inline HWND FindThreadWindow(const char* windowClass, bool enabledOnly, HWND except = nullptr) {
  WindowSearch search = {windowClass, enabledOnly, except, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), FindWindowOfSearch, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The visible, enabled dialog of this thread other than `except`, or null. A message box
// disables its owner while it is up, so this is the one the user can act on.
inline HWND DialogOtherThan(HWND except) { return FindThreadWindow("#32770", true, except); }
inline HWND TopDialog() { return DialogOtherThan(nullptr); }

// The visible popup menu of this thread, or null.
inline HWND OpenMenuWindow() { return FindThreadWindow("#32768", false); }

// Presses a key on an open popup menu, as the keyboard would: down, then up.
inline void PressOnMenu(HWND menuWindow, WPARAM key) {
  PostMessageA(menuWindow, WM_KEYDOWN, key, 0);
  PostMessageA(menuWindow, WM_KEYUP, key, 0xC0000001);
}

// Chooses item `pick` (from 0) of an open popup menu with the arrow keys and Enter; the
// first Down selects the first item.
inline void PickFromMenu(HWND menuWindow, int pick) {
  for (int i = 0; i <= pick; ++i) PressOnMenu(menuWindow, VK_DOWN);
  PressOnMenu(menuWindow, VK_RETURN);
}

// A message box as the user saw it.
struct SeenBox {
  std::string caption, text;
  bool seen = false;
  UINT buttons = 0;      // 0: OK only, otherwise bit 1 << id for each of Yes, No and Cancel
  HICON icon = nullptr;  // the system icon it shows, null for none
  int defaultButton = 0;  // the button Enter presses

  bool Exclamation() const { return icon && icon == LoadIcon(nullptr, IDI_EXCLAMATION); }
  bool Stop() const { return icon && icon == LoadIcon(nullptr, IDI_HAND); }

  void Read(HWND box) {
    seen = true;
    caption = Text(box);
    text = ItemText(box, 0xFFFF);
    buttons = 0;
    for (int id : {IDYES, IDNO, IDCANCEL})
      if (GetDlgItem(box, id)) buttons |= 1u << id;
    // Enter presses the focused push button, or else the dialog's default one.
    HWND focus = GetFocus();
    const LRESULT def = SendMessageA(box, DM_GETDEFID, 0, 0);
    if (focus && GetParent(focus) == box && (SendMessageA(focus, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON))
      defaultButton = GetDlgCtrlID(focus);
    else
      defaultButton = HIWORD(def) == DC_HASDEFID ? LOWORD(def) : 0;
    // The box's icon static shows the system's shared icon handle, or is hidden.
    HWND shown = GetDlgItem(box, 0x0440);
    icon = shown && IsWindowVisible(shown)
               ? reinterpret_cast<HICON>(SendMessageA(shown, STM_GETICON, 0, 0))
               : nullptr;
  }
  // For ModalScript::OnDialog: reads the box, then presses `button`.
  std::function<void(HWND)> Answer(int button = IDOK) {
    return [this, button](HWND box) {
      Read(box);
      PostMessageA(box, WM_COMMAND, button, 0);
    };
  }
};

// ---- what the user does ----

// A click as the button itself makes it: a check box toggles and notifies its dialog.
inline void Click(HWND dialog, int id) { PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

// A key press as the dialog's loop receives it, addressed to the focused control.
inline void Key(HWND dialog, WPARAM vk) {
  HWND target = GetFocus();
  if (!target || (target != dialog && !IsChild(dialog, target))) target = dialog;
  PostMessageA(target, WM_KEYDOWN, vk, 1);
  PostMessageA(target, WM_KEYUP, vk, 0xC0000001);
}

// Characters typed one by one into a control.
inline void Type(HWND control, const std::string& text) {
  for (unsigned char c : text) SendMessageA(control, WM_CHAR, c, 1);
}

// ---- the script ----

class ModalScript {
 public:
  // Runs once, at the next tick. It may open a nested modal loop (a message box), inside
  // which the next steps go on playing.
  ModalScript& Do(std::function<void()> action) {
    steps_.push_back({nullptr, std::move(action)});
    return *this;
  }
  // Tried at every tick until it returns true; ticks inside a loop it opens play nothing.
  ModalScript& Until(std::function<bool()> condition) {
    steps_.push_back({std::move(condition), nullptr});
    return *this;
  }
  // Waits for a dialog the user could act on, then runs once, as Do. A dialog shows itself
  // only once its loop first runs idle, and a message box disables the dialog below it
  // before it shows.
  ModalScript& Then(std::function<void()> action) {
    steps_.push_back({[] { return TopDialog() != nullptr; }, std::move(action)});
    return *this;
  }
  // Waits for a dialog the user could act on that is none of `except` (read when the step
  // is tried, so a window found by an earlier step can be named), and gives it to `use`.
  ModalScript& OnDialog(std::vector<HWND*> except, std::function<void(HWND)> use) {
    return Until([except, use] {
      HWND d = TopDialog();
      if (!d) return false;
      for (HWND* e : except)
        if (*e == d) return false;
      use(d);
      return true;
    });
  }

  // Runs `open`, which shows a modal window and returns once it has ended, while the steps
  // play. False when the watchdog had to end the windows.
  bool Run(const std::function<void()>& open, DWORD watchdogMs = 10000) {
    current_ = this;
    next_ = 0;
    timedOut_ = false;
    deadline_ = GetTickCount() + watchdogMs;
    UINT_PTR timer = SetTimer(nullptr, 0, 15, Tick);
    open();
    KillTimer(nullptr, timer);
    current_ = nullptr;
    return !timedOut_;
  }
  size_t Done() const { return next_; }
  size_t Steps() const { return steps_.size(); }
  bool Finished() const { return next_ == steps_.size(); }

 private:
  struct Step {
    std::function<bool()> condition;  // null: ready at once
    std::function<void()> action;     // null: the condition did the work
  };

  static BOOL CALLBACK EndEvery(HWND window, LPARAM) {
    char cls[16] = {};
    GetClassNameA(window, cls, sizeof cls);
    if (std::strcmp(cls, "#32770") == 0) EndDialog(window, -2);
    if (std::strcmp(cls, "#32768") == 0) EndMenu();
    return TRUE;
  }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    ModalScript* self = current_;
    if (!self) return;
    if (static_cast<LONG>(GetTickCount() - self->deadline_) > 0) {
      self->timedOut_ = true;
      EnumThreadWindows(GetCurrentThreadId(), EndEvery, 0);
      return;
    }
    if (self->trying_ || self->next_ >= self->steps_.size()) return;
    const Step& step = self->steps_[self->next_];
    if (step.condition) {
      self->trying_ = true;
      const bool ready = step.condition();
      self->trying_ = false;
      if (!ready) return;
    }
    // Moved on before the action runs: an action that opens a nested loop lets the following
    // ticks play the next steps inside it.
    ++self->next_;
    if (step.action) step.action();
  }

  std::vector<Step> steps_;
  size_t next_ = 0;
  bool timedOut_ = false, trying_ = false;
  DWORD deadline_ = 0;
  static inline ModalScript* current_ = nullptr;
};

}  // namespace wintest

#endif

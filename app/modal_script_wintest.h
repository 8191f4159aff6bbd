// Drives a modal dialog from inside its own message loop, for the Wine tests.
//
// A thread timer fires inside DialogBox's (and MessageBox's) loop; every tick on which a
// dialog is up plays the next step of a script. Steps act through posted messages, so the dialog handles them in its own
// loop, and the next tick sees their effect. A watchdog ends every dialog of the thread when
// the script has not closed them in time, so a dialog that refuses to close fails the test
// instead of hanging it.
#ifndef SAUCELINS_APP_MODAL_SCRIPT_WINTEST_H
#define SAUCELINS_APP_MODAL_SCRIPT_WINTEST_H

#include <windows.h>

#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

class ModalScript {
 public:
  using Step = std::function<void()>;

  ModalScript& Then(Step step) {
    steps_.push_back(std::move(step));
    return *this;
  }

  // Runs `open`, which shows a modal dialog and returns once it has ended, while the steps
  // play one per tick. Returns false when the watchdog had to end the dialogs.
  bool Run(const std::function<void()>& open, DWORD watchdogMs = 10000) {
    next_ = 0;
    timedOut_ = false;
    deadline_ = GetTickCount() + watchdogMs;
    current_ = this;
    UINT_PTR timer = SetTimer(nullptr, 0, 15, OnTick);
    open();
    KillTimer(nullptr, timer);
    current_ = nullptr;
    return !timedOut_;
  }

  size_t StepsRun() const { return next_; }

  // The visible, enabled dialog of this thread: the memo dialog, or the message box over it
  // (which disables its owner while it is up).
  static HWND TopDialog() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindTop, reinterpret_cast<LPARAM>(&found));
    return found;
  }

  static std::string Text(HWND window) {
    std::string text(static_cast<size_t>(GetWindowTextLengthA(window)) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(window, &text[0], static_cast<int>(text.size()))));
    return text;
  }
  static std::string ItemText(HWND dialog, int id) { return Text(GetDlgItem(dialog, id)); }

  // A click as the button itself makes it: the check box toggles and notifies its dialog.
  static void Click(HWND dialog, int id) { PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

  // A key press as the dialog's loop receives it, addressed to the focused control.
  static void Key(HWND dialog, WPARAM vk) {
    HWND target = GetFocus();
    if (!target || (target != dialog && !IsChild(dialog, target))) target = dialog;
    PostMessageA(target, WM_KEYDOWN, vk, 1);
    PostMessageA(target, WM_KEYUP, vk, 0xC0000001);
  }

  // Characters typed one by one into a control.
  static void Type(HWND control, const std::string& text) {
    for (unsigned char c : text) SendMessageA(control, WM_CHAR, c, 1);
  }

 private:
  static BOOL CALLBACK FindTop(HWND window, LPARAM found) {
    char cls[16] = {};
    GetClassNameA(window, cls, sizeof cls);
    if (std::strcmp(cls, "#32770") == 0 && IsWindowVisible(window) && IsWindowEnabled(window)) {
      *reinterpret_cast<HWND*>(found) = window;
      return FALSE;
    }
    return TRUE;
  }

  static BOOL CALLBACK EndEvery(HWND window, LPARAM) {
    char cls[16] = {};
    GetClassNameA(window, cls, sizeof cls);
    if (std::strcmp(cls, "#32770") == 0) EndDialog(window, -2);
    return TRUE;
  }

  static void CALLBACK OnTick(HWND, UINT, UINT_PTR, DWORD) {
    ModalScript* self = current_;
    if (!self) return;
    if (static_cast<LONG>(GetTickCount() - self->deadline_) > 0) {
      self->timedOut_ = true;
      EnumThreadWindows(GetCurrentThreadId(), EndEvery, 0);
      return;
    }
    // A dialog shows itself only once its loop first runs idle, and a message box opened by
    // a step disables the dialog below it before it shows: a step waits for a dialog the
    // user could act on.
    if (!TopDialog()) return;
    // Moved on before the step runs: a step that opens a nested loop (a message box) lets
    // the following ticks play the next steps inside it.
    if (self->next_ < self->steps_.size()) self->steps_[self->next_++]();
  }

  std::vector<Step> steps_;
  size_t next_ = 0;
  bool timedOut_ = false;
  DWORD deadline_ = 0;
  static inline ModalScript* current_ = nullptr;
};

#endif

// The system's wait cursor for as long as a scope runs (a scan of the whole table, a save);
// the cursor it replaced comes back afterwards.
#ifndef SAUCELINS_PLATFORM_WAIT_CURSOR_WIN32_H
#define SAUCELINS_PLATFORM_WAIT_CURSOR_WIN32_H

#include <windows.h>

class WaitCursor {
 public:
  WaitCursor() : previous_(SetCursor(LoadCursor(nullptr, IDC_WAIT))) {}
  ~WaitCursor() { SetCursor(previous_); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  HCURSOR previous_;
};

#endif

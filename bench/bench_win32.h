// What the benchmark programs that drive real windows under Wine share: a fine wall clock,
// the message pump between steps, a silent beep, and a fresh temporary folder to work in.
#ifndef SAUCELINS_BENCH_BENCH_WIN32_H
#define SAUCELINS_BENCH_BENCH_WIN32_H

#include <windows.h>

#include <cstdio>

#include "app/main_window_win32.h"
#include "resources/resource.h"

namespace bench {

// Wall clock in ms, from the performance counter.
inline double Now() {
  static const LARGE_INTEGER freq = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(freq.QuadPart);
}

// Handles every message waiting, with the dialog's own keyboard handling.
inline void Pump(HWND dialog) {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (IsDialogMessageA(dialog, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// Given to SetBeepForTests, so that a refused key does not beep through the run.
inline BOOL WINAPI Silent(UINT) { return TRUE; }

// The program's main window, modeless and shown; it starts loading the catalogue of the
// current folder on its own. Null, said on stderr, when it cannot be made.
inline HWND OpenMainWindow() {
  HWND window = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN), nullptr,
                                   MainWindowProc, 0);
  if (!window) {
    std::fprintf(stderr, "no main window (error %lu)\n", GetLastError());
    return nullptr;
  }
  ShowWindow(window, SW_SHOW);
  return window;
}

// Makes a fresh folder under the temporary folder, named from `prefix` (three characters
// used), and enters it. `dir` receives its path. False when it cannot be made or entered.
inline bool EnterTempFolder(const char* prefix, char (&dir)[MAX_PATH]) {
  char tmp[MAX_PATH];
  if (!GetTempPathA(MAX_PATH, tmp) || !GetTempFileNameA(tmp, prefix, 0, dir)) return false;
  DeleteFileA(dir);
  return CreateDirectoryA(dir, nullptr) && SetCurrentDirectoryA(dir);
}

// Goes back to the temporary folder and removes `dir`, made by EnterTempFolder and emptied.
inline void LeaveTempFolder(const char* dir) {
  char tmp[MAX_PATH];
  if (GetTempPathA(MAX_PATH, tmp)) SetCurrentDirectoryA(tmp);
  RemoveDirectoryA(dir);
}

}  // namespace bench

#endif

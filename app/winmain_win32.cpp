// Entry point: the program is its main window, at idle priority.
#include <windows.h>
#include <commctrl.h>

#include "app/main_window_win32.h"
#include "catalogue/gauge_win32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  SetPriorityClass(GetCurrentProcess(), IDLE_PRIORITY_CLASS);
  InitCommonControls();
  InstallGaugeWindow();
  RunMainWindow(instance);
  return 0;
}

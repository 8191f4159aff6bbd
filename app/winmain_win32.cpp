// Entry point: the program is its main window.
//
// It keeps the priority it was started with. At the idle class a window the user is looking
// at gets the processor only when nothing else wants it: beside one busy process (a build, a
// video) the load and every click wait for that process. A program at work on the user's
// behalf needs the normal class, which is what a start from the desktop gives it.
#include <windows.h>
#include <commctrl.h>

#include "app/main_window_win32.h"
#include "catalogue/gauge_win32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  InitCommonControls();
  InstallGaugeWindow();
  RunMainWindow(instance);
  return 0;
}

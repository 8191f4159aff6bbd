#include "app/zoom_win32.h"

#include "resources/resource.h"

INT_PTR CALLBACK ZoomDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      // The caller's text may be a buffer that the next recipe fetch overwrites: it is
      // copied into the control here and not looked at again.
      const char* text = reinterpret_cast<const char*>(lParam);
      SetDlgItemTextA(dialog, IDC_ZOOM_TEXT, text ? text : "");
      break;
    }
    case WM_COMMAND:
      // Only the OK button, Enter and Escape: IDOK or IDCANCEL with notification 0.
      if (wParam == IDOK || wParam == IDCANCEL) EndDialog(dialog, 0);
      break;
    case WM_CLOSE:
    case WM_DESTROY:
      EndDialog(dialog, 0);
      break;
    default:
      break;
  }
  return 0;
}

void RunZoomDialog(HWND owner, const char* text) {
  DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ZOOM), owner, ZoomDialog,
                  reinterpret_cast<LPARAM>(text));
}

#include "app/help_win32.h"

#include <string>

#include "resources/resource.h"

const char kHelpFileName[] = "SAUCELIN.HLP";

namespace {

// The help text is one string per topic, so that each stays a readable paragraph in the .rc.
std::string ProgramHelpText(HINSTANCE instance) {
  std::string text;
  for (UINT id = IDS_HELP_TEXT_FIRST; id <= IDS_HELP_TEXT_LAST; ++id) {
    char part[4096];
    const int n = LoadStringA(instance, id, part, sizeof part);
    if (n <= 0) continue;
    if (!text.empty()) text += "\r\n\r\n";
    text.append(part, static_cast<size_t>(n));
  }
  return text;
}

}  // namespace

INT_PTR CALLBACK ProgramHelpDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE));
      SetDlgItemTextA(dialog, IDC_HELP_TEXT, ProgramHelpText(instance).c_str());
      // With the focus on the text, the dialog manager would select all of it and scroll to
      // its end; the reader starts at the top.
      SetFocus(GetDlgItem(dialog, IDOK));
      return FALSE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(dialog, 0);
      return TRUE;
    case WM_CLOSE:
      EndDialog(dialog, 0);
      return TRUE;
    default:
      return FALSE;
  }
}

void ShowProgramHelp(HWND owner) {
  HINSTANCE instance = owner ? reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(owner, GWLP_HINSTANCE))
                             : GetModuleHandleA(nullptr);
  DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_HELP), owner, ProgramHelpDialog, 0);
}

void ShowHelpContents(HWND owner) {
  // WinHelp looks in the program's folder, the current folder and the system's folders;
  // SearchPath covers the same places. Without the file there is nothing the engine could
  // show, and asking it anyway would only put up its own error box.
  char found[MAX_PATH];
  if (SearchPathA(nullptr, kHelpFileName, nullptr, MAX_PATH, found, nullptr) != 0 &&
      WinHelpA(owner, kHelpFileName, HELP_CONTENTS, 0)) {
    return;
  }
  ShowProgramHelp(owner);
}

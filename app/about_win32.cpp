#include "app/about_win32.h"

#include "resources/resource.h"
#include "resources/strings.h"
#include "resources/text_helpers_win32.h"
#include "saucelins_version.h"

namespace {

// Room for the longest notice of the string table.
constexpr int kNoticeCap = 1024;

void SetItemText(HWND box, int controlId, unsigned stringId) {
  char text[kNoticeCap];
  LoadText(stringId, text, kNoticeCap);
  SetDlgItemTextA(box, controlId, text);
}

void OnInitDialog(HWND box) {
  SetItemTextFromString(box, IDC_ABOUT_BUILD, IDS_BUILD, reinterpret_cast<LPARAM>(BuildDateText()));
  SetItemTextFromString(box, IDC_ABOUT_PROGRAM, IDS_PROGRAM, 0);
  SetItemTextFromString(box, IDC_ABOUT_VERSION, IDS_VERSION,
                        reinterpret_cast<LPARAM>(SAUCELINS_VERSION));
  SetItemTextFromString(box, IDC_ABOUT_RECIPES, IDS_RECIPES_BY, 0);
  // Not formats: the notices are set as they are, whatever characters they hold.
  SetItemText(box, IDC_ABOUT_NOTICE, IDS_ABOUT_NOTICE);
  SetItemText(box, IDC_ABOUT_TERMS, IDS_ABOUT_TERMS);
}

}  // namespace

const char* BuildDateText() {
  // __DATE__ and __TIME__ of this file: "Jan 30 1998" and "14:40:55". The word between them
  // is French, so it comes from the string table with the rest of the program's texts.
  static char text[64];
  if (!text[0]) {
    char format[32];
    LoadText(IDS_BUILD_WHEN, format, sizeof format);
    wsprintfA(text, format, __DATE__, __TIME__);
  }
  return text;
}

INT_PTR CALLBACK AboutBox(HWND box, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog(box);
      break;
    case WM_COMMAND:
      // Only the OK button, Enter and Escape: IDOK or IDCANCEL with notification 0.
      if (wParam == IDOK || wParam == IDCANCEL) EndDialog(box, 0);
      break;
    case WM_CLOSE:
    case WM_DESTROY:
      EndDialog(box, 0);
      break;
    default:
      break;
  }
  return 0;
}

void RunAboutBox(HWND owner) {
  DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ABOUT), owner, AboutBox, 0);
}

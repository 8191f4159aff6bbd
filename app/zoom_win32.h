// The zoom dialog: one recipe's whole text in a large read-only box.
#ifndef SAUCELINS_APP_ZOOM_WIN32_H
#define SAUCELINS_APP_ZOOM_WIN32_H

#include <windows.h>

// Dialog procedure of template IDD_ZOOM; lParam of WM_INITDIALOG is the text to show.
INT_PTR CALLBACK ZoomDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Shows `text` modally over `owner`. The text is copied into the dialog as it opens, so it
// only has to stay valid until then (a recipe text buffer that the next fetch overwrites is
// fine).
void RunZoomDialog(HWND owner, const char* text);

#endif

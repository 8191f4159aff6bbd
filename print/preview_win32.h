// The print preview: a window that shows a recipe's pages as the printer will get them (drawn
// by the print job's own code, on the chosen printer's page, or on an A4 page at 300 dpi when
// there is no printer), a page at a time, fitted to the window or at their real size.
#ifndef SAUCELINS_PRINT_PREVIEW_WIN32_H
#define SAUCELINS_PRINT_PREVIEW_WIN32_H

#include <windows.h>

#include <string>
#include <vector>

#include "print/print_win32.h"

struct PreviewRequest {
  HWND fontControl;          // the text pane: its font, scaled, is the printing font
  std::string title;         // the header of every page
  std::string text;          // the recipe's text
  std::string textWithMemo;  // the same with its memo under the heading; empty: no memo
  bool withMemo;             // in: the option as it stands; out: as the user left it
};

// Runs the preview as a modal window (template IDD_PREVIEW) over `owner`. Returns IDOK when
// the user asked to print what it shows, IDCANCEL when the preview was closed.
INT_PTR RunPrintPreview(HWND owner, PreviewRequest* request);

// Tests: the pages of the preview that is open, null when none is.
const std::vector<UniqueEnhMetaFile>* PreviewPagesForTesting();

#endif

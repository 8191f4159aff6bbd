// Printing a recipe: the print dialog, the progress box with its Cancel button, and the pages
// (title in a header, the text wrapped to the page width, a credit line in a footer; as many
// pages as the text needs). The print preview draws its pages with the same code.
#ifndef SAUCELINS_PRINT_PRINT_WIN32_H
#define SAUCELINS_PRINT_PRINT_WIN32_H

#include <windows.h>

#include <string>
#include <vector>

#include "platform/unique_handle_win32.h"

using UniqueEnhMetaFile = Unique<HENHMETAFILE, DeleteEnhMetaFile>;

// Takes the default printer's settings, without showing anything, so that the first print
// dialog opens on it. Called once by the main window as it is created; with no printer the
// settings stay empty and the print dialog picks one itself. Returns 1.
int InitPrintDefaults(HWND owner);

// Lets the user pick a printer and prints `text` under the header `title`, in the font of
// control `fontControlId` of `owner` scaled to the printer. The job keeps its own copies of
// both, so the caller's memory may go while pages are sent. Returns 0 when the job went out,
// was cancelled, or the user closed the print dialog; otherwise the number of the string that
// tells what failed, for the caller to show. While pages are being sent the program's
// messages keep being dispatched; a second call during that time does nothing and returns 0.
int PrintRecipe(HWND owner, int fontControlId, const char* title, const char* text);

// Whether a job is sending pages (its abort procedure dispatches the program's messages).
bool PrintJobRunning();
// Abandons the running job, if any, at its next chance; the progress box goes at once. A
// window that releases what the program shows calls this first.
void CancelPrintJob();

// The progress box's dialog procedure (template IDD_PRINTING). Cancel (or closing the box)
// posts WMU_CANCEL_PRINT to the box's owner and destroys the box.
INT_PTR CALLBACK PrintProgressBox(HWND box, UINT message, WPARAM wParam, LPARAM lParam);

// The abort procedure of a print job: dispatches the pending messages of the thread and
// returns FALSE once the job is cancelled (WMU_CANCEL_PRINT, CancelPrintJob), TRUE to go on.
BOOL CALLBACK PrintAbortProc(HDC printer, int error);

// Width of the first `count` characters of `text` in the font selected into the HDC `dc`.
int MeasureText(const char* text, int count, void* dc);

// Ends the current page and starts the next one; returns the DC to draw that page on (the
// same one on a printer, a fresh one for pages recorded one by one), null to stop drawing.
typedef HDC (*NextPageFn)(HDC dc, void* context);

// Draws a recipe's pages onto `dc`, whose printable area is `width` x `height` pixels, in the
// font selected into it: header rule, `title`, footer rule and credit line on every page, the
// body wrapped below. `text` is cut into lines in place. When the next line would reach the
// footer rule, `nextPage` is called and the drawing goes on on the DC it returns. Returns the
// number of pages drawn on.
int DrawRecipePages(HDC dc, int width, int height, const char* title, char* text,
                    NextPageFn nextPage, void* context);

// The font `textControl` shows its text in, made for a device of `dpi` dots per inch: the
// text prints at the size it has on screen (the horizontal resolutions of the screen and the
// device set the scale, for the height too). Without a font of its own the control's text
// prints in a copy of the stock system font. Null only when no font can be made.
HFONT CreatePrintFont(HWND textControl, int dpi);

// The device pages are laid out for: the chosen printer (its page, its resolution), or, with
// no printer, an A4 page of 2480 x 3508 pixels at 300 dpi measured on the screen.
struct PageDevice {
  UniqueDc printer;  // an information context on the printer, null without one
  HDC reference;     // what text is measured on: the printer, or the screen
  int width, height, dpi;
};
bool OpenPageDevice(PageDevice* device);
void ClosePageDevice(PageDevice* device);

// Draws the pages of `text` under `title` into one metafile per page, against `reference`,
// exactly as the print job draws them on paper.
std::vector<UniqueEnhMetaFile> RecordRecipePages(HDC reference, int width, int height,
                                                 HFONT font, const char* title,
                                                 const std::string& text);

// Tests: send the next jobs into this file instead of the printer's port (null to stop).
void SetPrintOutputForTesting(const char* path);
// Tests: the next jobs also record every page they draw into `pages`, one metafile each,
// made against the printer (null to stop). The paper then stays blank.
void SetPrintCaptureForTesting(std::vector<UniqueEnhMetaFile>* pages);

#endif

// Printing the recipe on display: the print dialog, the progress box with its Cancel button,
// and the pages (title in a header, the text wrapped to the page width, a credit line in a
// footer; as many pages as the text needs).
#ifndef SAUCELINS_PRINT_PRINT_WIN32_H
#define SAUCELINS_PRINT_PRINT_WIN32_H

#include <windows.h>

// Takes the default printer's settings, without showing anything, so that the first print
// dialog opens on it. Called once by the main window as it is created; with no printer the
// settings stay empty and the print dialog picks one itself. Returns 1.
int InitPrintDefaults(HWND owner);

// Lets the user pick a printer and prints the text of control `textControlId` of `owner`
// under the header `title`. Returns 0 when the job went out, was cancelled from the progress
// box, or the user closed the print dialog; otherwise the number of the string that tells
// what failed, for the caller to show. While pages are being sent the program's messages keep
// being dispatched; a second call during that time does nothing and returns 0.
int PrintRecipe(HWND owner, int textControlId, const char* title);

// The progress box's dialog procedure (template IDD_PRINTING). Cancel (or closing the box)
// posts WMU_CANCEL_PRINT to the box's owner and destroys the box.
INT_PTR CALLBACK PrintProgressBox(HWND box, UINT message, WPARAM wParam, LPARAM lParam);

// The abort procedure of a print job: dispatches the pending messages of the thread and
// returns FALSE once WMU_CANCEL_PRINT is among them, TRUE to go on.
BOOL CALLBACK PrintAbortProc(HDC printer, int error);

// Width of the first `count` characters of `text` in the font selected into the HDC `dc`.
int MeasureText(const char* text, int count, void* dc);

// Ends the current page and starts the next one on `dc`; false stops the drawing.
typedef bool (*NextPageFn)(HDC dc, void* context);

// Draws a recipe's pages onto `dc`, whose printable area is `width` x `height` pixels, in the
// font selected into it: header rule, `title`, footer rule and credit line on every page, the
// body wrapped below. `text` is cut into lines in place. When the next line would reach the
// footer rule, `nextPage` is called and the drawing goes on on a fresh page. Returns the
// number of pages drawn on.
int DrawRecipePages(HDC dc, int width, int height, const char* title, char* text,
                    NextPageFn nextPage, void* context);

// Tests: send the next jobs into this file instead of the printer's port (null to stop).
void SetPrintOutputForTesting(const char* path);

#endif

// The memo dialog: shows the personal note attached to one recipe and lets the user write,
// change or delete it. It always opens read-only; the user switches to edit mode first.
#ifndef SAUCELINS_MEMO_MEMO_DIALOG_WIN32_H
#define SAUCELINS_MEMO_MEMO_DIALOG_WIN32_H

#include <windows.h>

struct RecipeEntry;

// A memo holds at most this many bytes, its terminating NUL included.
constexpr int kMemoTextCap = 2048;

// Dialog procedure of template IDD_MEMO; lParam of WM_INITDIALOG is the RecipeEntry.
INT_PTR CALLBACK MemoDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Runs the memo dialog modally for `entry`, which must outlive the dialog. The result carries
// no meaning; -1 when there is no entry (nothing is shown then).
INT_PTR RunMemoDialog(HWND owner, RecipeEntry* entry);

#endif

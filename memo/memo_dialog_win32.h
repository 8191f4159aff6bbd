// The memo dialog: shows the personal note attached to one recipe and lets the user write,
// change or delete it. Opened to read, it shows the memo read-only (it still scrolls, selects
// and copies) until the user switches to edit mode; opened to write, it starts in edit mode.
#ifndef SAUCELINS_MEMO_MEMO_DIALOG_WIN32_H
#define SAUCELINS_MEMO_MEMO_DIALOG_WIN32_H

#include <windows.h>

struct RecipeEntry;

// A memo holds at most this many bytes, its terminating NUL included.
constexpr int kMemoTextCap = 2048;

enum class MemoMode {
  Read,   // read-only until the user ticks the edit-mode box
  Write,  // in edit mode at once, the caret in the text (a memo being created)
};

// What WM_INITDIALOG's lParam points to.
struct MemoDialogParams {
  RecipeEntry* entry;
  MemoMode mode;
};

// Dialog procedure of template IDD_MEMO; lParam of WM_INITDIALOG is a MemoDialogParams.
INT_PTR CALLBACK MemoDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The mode of a command that offers a recipe's memo whether or not it has one ("Editer un
// Memo"): an existing memo opens to be read, a missing one ready for typing.
MemoMode MemoModeFor(const RecipeEntry* entry);

// Runs the memo dialog modally for `entry`, which must outlive the dialog. The result carries
// no meaning; -1 when there is no entry (nothing is shown then).
INT_PTR RunMemoDialog(HWND owner, RecipeEntry* entry, MemoMode mode = MemoMode::Read);

#endif

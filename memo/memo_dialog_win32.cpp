#include "memo/memo_dialog_win32.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "catalogue/recipe_table.h"
#include "platform/wait_cursor_win32.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "resources/text_helpers_win32.h"
#include "vlr/memo.h"

namespace {

constexpr int kCaptionCap = 256;

// The dialog is modal, so one state serves every opening: the recipe whose memo is shown and
// the text as read from or written to the store.
struct MemoDialogState {
  RecipeEntry* recipe;
  bool editing;  // edit mode: the text can be changed, and OK saves it
  bool hadMemo;  // the store held a memo with some text when the dialog read it
  char text[kMemoTextCap];
};
MemoDialogState Memo;

// Returns TRUE when the dialog manager is to give the focus to the first control.
BOOL OnInitDialog(HWND dialog, const MemoDialogParams* params) {
  RecipeEntry* entry = params ? params->entry : nullptr;
  Memo.recipe = entry;
  Memo.hadMemo = false;
  if (!entry) {
    EndDialog(dialog, -1);
    return TRUE;
  }
  Memo.editing = params->mode == MemoMode::Write;

  // snprintf rather than wsprintfA: a long title is cut at the caption's size instead of
  // running past it.
  char format[kCaptionCap];
  char caption[kCaptionCap];
  LoadText(IDS_MEMO_TITLE, format, kCaptionCap);
  std::snprintf(caption, sizeof caption, format, entry->title ? entry->title : "");
  SetWindowTextA(dialog, caption);

  HWND text = GetDlgItem(dialog, IDC_MEMO_TEXT);
  // Read-only rather than disabled: a long memo still scrolls, and its text can be selected
  // and copied.
  SendMessageA(text, EM_SETREADONLY, Memo.editing ? FALSE : TRUE, 0);
  // Typing stops where the store would cut the memo, so nothing typed is silently dropped.
  SendMessageA(text, EM_LIMITTEXT, kMemoTextCap - 1, 0);

  SendDlgItemMessageA(dialog, IDC_MEMO_EDIT, BM_SETCHECK, Memo.editing ? BST_CHECKED : BST_UNCHECKED, 0);
  SetItemTextFromString(dialog, IDC_MEMO_EDIT, IDS_EDIT_MODE, 0);

  // Read the memo once the dialog is on screen.
  PostMessageA(dialog, WMU_LOAD, 0, 0);
  if (!Memo.editing) return TRUE;
  SetFocus(text);
  return FALSE;
}

void OnLoad(HWND dialog) {
  std::memset(Memo.text, 0, sizeof Memo.text);
  int32_t length = kMemoTextCap;
  // No memo, no store or a file that is not a store: the memo is shown empty. A failed read
  // may have left part of a record behind, which must not be shown (nor saved back) as the
  // memo.
  if (ReadMemo(MemoStoreName, Memo.recipe->recipeId, Memo.text, &length) != 0) Memo.text[0] = '\0';
  // A record filling the whole buffer has no room left for its NUL.
  Memo.text[kMemoTextCap - 1] = '\0';
  Memo.hadMemo = Memo.text[0] != '\0';
  HWND text = GetDlgItem(dialog, IDC_MEMO_TEXT);
  SetWindowTextA(text, Memo.text);
  // In edit mode the caret waits after the text.
  if (Memo.editing) {
    const int end = GetWindowTextLengthA(text);
    SendMessageA(text, EM_SETSEL, static_cast<WPARAM>(end), end);
  }
}

void OnEditMode(HWND dialog) {
  // Edit mode is never left again while the dialog is open, whatever the check box shows.
  Memo.editing = true;
  SendDlgItemMessageA(dialog, IDC_MEMO_TEXT, EM_SETREADONLY, FALSE, 0);
}

// An emptied text deletes the memo: the user says so first, since the text is gone for good.
bool DeletionConfirmed(HWND dialog) {
  if (!Memo.hadMemo) return true;
  if (ShowStringMessage(dialog, IDS_CAPTION, IDS_MEMO_DELETE, 0,
                        MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES)
    return true;
  SetFocus(GetDlgItem(dialog, IDC_MEMO_TEXT));
  return false;
}

void OnOk(HWND dialog) {
  HWND text = GetDlgItem(dialog, IDC_MEMO_TEXT);
  if (Memo.editing) {
    GetWindowTextA(text, Memo.text, kMemoTextCap);
    if (Memo.text[0] == '\0' && !DeletionConfirmed(dialog)) return;
    int status;
    {
      WaitCursor wait;
      // No text deletes the memo; length 0 stores the text with its NUL.
      status = WriteMemo(MemoStoreName, Memo.recipe->recipeId,
                         Memo.text[0] ? Memo.text : nullptr, 0);
    }
    if (status != 0) {
      // Closing now would throw away what the user typed: the text stays in the dialog so
      // that it can be saved again or copied elsewhere.
      // Another program holding the store for longer than a save waits is told apart: it
      // passes, and the same OK then works.
      ShowStringMessage(dialog, IDS_CAPTION, status == kVlrBusy ? IDS_MEMO_BUSY : IDS_MEMO_NOT_SAVED,
                        0, MB_OK | MB_ICONEXCLAMATION);
      return;
    }
  }
  PostMessageA(dialog, WM_CLOSE, 0, 0);
}

void OnCommand(HWND dialog, int id) {
  switch (id) {
    case IDC_MEMO_EDIT:
      OnEditMode(dialog);
      break;
    case IDOK:
      OnOk(dialog);
      break;
    case IDCANCEL:
      PostMessageA(dialog, WM_CLOSE, 0, 0);
      break;
    default:
      break;
  }
}

}  // namespace

INT_PTR CALLBACK MemoDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  // TRUE for every message handled here: WMU_LOAD is also DM_SETDEFID, and the dialog
  // manager would take the default button from OK if it saw it.
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog(dialog, reinterpret_cast<const MemoDialogParams*>(lParam));
    case WMU_LOAD:
      if (Memo.recipe) OnLoad(dialog);
      return TRUE;
    case WM_COMMAND:
      if (Memo.recipe) OnCommand(dialog, LOWORD(wParam));
      return TRUE;
    case WM_CLOSE:
    case WM_DESTROY:
      EndDialog(dialog, static_cast<INT_PTR>(wParam));
      return TRUE;
    default:
      return FALSE;
  }
}

MemoMode MemoModeFor(const RecipeEntry* entry) {
  return entry && ReadMemo(MemoStoreName, entry->recipeId, nullptr, nullptr) == 0 ? MemoMode::Read
                                                                                 : MemoMode::Write;
}

INT_PTR RunMemoDialog(HWND owner, RecipeEntry* entry, MemoMode mode) {
  if (!entry) return -1;
  MemoDialogParams params = {entry, mode};
  return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MEMO), owner, MemoDialog,
                         reinterpret_cast<LPARAM>(&params));
}

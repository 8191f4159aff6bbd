#include "app/recipe_commands_win32.h"

#include <commdlg.h>

#include <cstring>

#include "catalogue/catalogue.h"
#include "memo/memo_dialog_win32.h"
#include "platform/unique_handle_win32.h"
#include "print/preview_win32.h"
#include "print/print_win32.h"
#include "print/recipe_export.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "resources/text_helpers_win32.h"
#include "vlr/memo.h"

namespace {

bool g_withMemo = false;
const char* g_saveNameForTesting = nullptr;

std::string Text(unsigned id) {
  char buf[1024];
  LoadText(id, buf, sizeof buf);
  return buf;
}

std::string MemoOf(const RecipeEntry* entry) {
  char buf[kMemoTextCap + 1] = {};
  int32_t length = kMemoTextCap;
  if (ReadMemo(MemoStoreName, entry->recipeId, buf, &length) != 0 || length <= 0) return "";
  return std::string(buf, static_cast<size_t>(length));
}

// The recipe's text, and the same with its memo; the second is empty when it has no memo.
struct RecipeTexts {
  std::string text, withMemo;
};

RecipeTexts TextsOf(const RecipeEntry* entry) {
  RecipeTexts t;
  t.text = FetchRecipeText(entry);
  const std::string memo = MemoOf(entry);
  if (!memo.empty()) {
    t.withMemo = WithMemo(t.text, memo, Text(IDS_MEMO_HEADING));
    if (t.withMemo == t.text) t.withMemo.clear();
  }
  return t;
}

void Report(HWND window, unsigned id, LPARAM value = 0) {
  ShowStringMessage(window, IDS_CAPTION, id, value, MB_OK | MB_ICONEXCLAMATION);
}

void PrintText(HWND window, const std::string& title, const std::string& text) {
  const int failure = PrintRecipe(window, IDC_RECIPE_TEXT, title.c_str(), text.c_str());
  if (failure != 0) ShowStringMessage(window, IDS_CAPTION, static_cast<UINT>(failure), 0, MB_OK);
}

using UniqueGlobal = Unique<HGLOBAL, GlobalFree>;

// A global memory block holding `size` bytes of `data`, for the clipboard.
UniqueGlobal GlobalCopy(const void* data, size_t size) {
  UniqueGlobal block(GlobalAlloc(GMEM_MOVEABLE, size));
  void* p = block.get() ? GlobalLock(block.get()) : nullptr;
  if (!p) return UniqueGlobal();
  std::memcpy(p, data, size);
  GlobalUnlock(block.get());
  return block;
}

bool PutOnClipboard(HWND window, const std::string& text) {
  const std::u16string wide = Cp1252ToUtf16(text);
  UniqueGlobal narrow = GlobalCopy(text.c_str(), text.size() + 1);
  UniqueGlobal unicode = GlobalCopy(wide.c_str(), (wide.size() + 1) * sizeof(char16_t));
  if (!narrow.get() || !unicode.get() || !OpenClipboard(window)) return false;
  bool done = false;
  if (EmptyClipboard()) {
    // Once given to the clipboard, a block is the clipboard's.
    if (SetClipboardData(CF_TEXT, narrow.get())) (void)narrow.release();
    if (SetClipboardData(CF_UNICODETEXT, unicode.get())) (void)unicode.release();
    done = !narrow.get() && !unicode.get();
  }
  CloseClipboard();
  return done;
}

// The save dialog, on a name made from the title. False when the user closed it.
bool AskSaveName(HWND window, const RecipeEntry* entry, char* path, size_t cap) {
  const std::string proposed = FileNameForTitle(entry->title ? entry->title : "");
  lstrcpynA(path, proposed.c_str(), static_cast<int>(cap));
  if (g_saveNameForTesting) {
    lstrcpynA(path, g_saveNameForTesting, static_cast<int>(cap));
    return true;
  }
  std::string filter = Text(IDS_SAVE_FILTER);
  for (char& c : filter)
    if (c == '|') c = '\0';
  const std::string title = Text(IDS_SAVE_DIALOG);
  OPENFILENAMEA ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = window;
  ofn.lpstrFilter = filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = path;
  ofn.nMaxFile = static_cast<DWORD>(cap);
  ofn.lpstrTitle = title.c_str();
  ofn.lpstrDefExt = "txt";
  // The catalogue is read from the working folder: the dialog must not move it.
  ofn.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY |
              OFN_NOCHANGEDIR;
  return GetSaveFileNameA(&ofn) != 0;
}

}  // namespace

bool RecipeWithMemo() { return g_withMemo; }
void SetRecipeWithMemo(bool withMemo) { g_withMemo = withMemo; }

std::string RecipeTextToExport(const RecipeEntry* entry, bool withMemo) {
  RecipeTexts t = TextsOf(entry);
  return withMemo && !t.withMemo.empty() ? t.withMemo : t.text;
}

void PreviewRecipeCommand(HWND window, const RecipeEntry* entry) {
  RecipeTexts t = TextsOf(entry);
  PreviewRequest request;
  request.fontControl = GetDlgItem(window, IDC_RECIPE_TEXT);
  request.title = entry->title ? entry->title : "";
  request.text = t.text;
  request.textWithMemo = t.withMemo;
  request.withMemo = g_withMemo;
  const INT_PTR choice = RunPrintPreview(window, &request);
  g_withMemo = request.withMemo;
  // Printed from the copies: what the preview showed is what goes out.
  if (choice == IDOK)
    PrintText(window, request.title,
              request.withMemo && !request.textWithMemo.empty() ? request.textWithMemo : request.text);
}

void PrintRecipeCommand(HWND window, const RecipeEntry* entry) {
  PrintText(window, entry->title ? entry->title : "", RecipeTextToExport(entry, g_withMemo));
}

void CopyRecipeCommand(HWND window, const RecipeEntry* entry) {
  if (!PutOnClipboard(window, ToCrLf(RecipeTextToExport(entry, g_withMemo))))
    Report(window, IDS_COPY_FAILED);
}

void SaveRecipeAsCommand(HWND window, const RecipeEntry* entry) {
  char path[MAX_PATH] = {};
  if (!AskSaveName(window, entry, path, sizeof path)) return;
  if (!SaveFileReplacing(path, ToCrLf(RecipeTextToExport(entry, g_withMemo))))
    Report(window, IDS_SAVE_FAILED, reinterpret_cast<LPARAM>(path));
}

int TrackRecipeMenu(HWND window, HWND list, LPARAM screenPoint, int* line) {
  *line = -1;
  POINT at = {static_cast<short>(LOWORD(screenPoint)), static_cast<short>(HIWORD(screenPoint))};
  if (at.x == -1 && at.y == -1) {
    // From the keyboard: the selected line, the menu at its left end.
    const LRESULT sel = SendMessageA(list, LB_GETCURSEL, 0, 0);
    if (sel == LB_ERR) return 0;
    RECT r;
    SendMessageA(list, LB_GETITEMRECT, sel, reinterpret_cast<LPARAM>(&r));
    at = {r.left + 8, r.bottom};
    ClientToScreen(list, &at);
    *line = static_cast<int>(sel);
  } else {
    POINT client = at;
    ScreenToClient(list, &client);
    const LRESULT hit =
        SendMessageA(list, LB_ITEMFROMPOINT, 0, MAKELPARAM(client.x, client.y));
    // The high word says the point lies below the last line.
    if (HIWORD(hit) != 0 || static_cast<int>(LOWORD(hit)) >=
                                static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0)))
      return 0;
    *line = LOWORD(hit);
  }
  UniqueMenu menu(LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_RECIPE_MENU)));
  HMENU popup = menu.get() ? GetSubMenu(menu.get(), 0) : nullptr;
  if (!popup) return 0;
  CheckMenuItem(popup, IDM_WITH_MEMO, MF_BYCOMMAND | (g_withMemo ? MF_CHECKED : MF_UNCHECKED));
  const int command = static_cast<int>(TrackPopupMenu(
      popup, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD, at.x, at.y, 0, window,
      nullptr));
  if (command == IDM_WITH_MEMO) {
    g_withMemo = !g_withMemo;
    return 0;
  }
  return command;
}

void SetSaveNameForTesting(const char* path) { g_saveNameForTesting = path; }

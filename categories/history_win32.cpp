#include "categories/history_win32.h"

#include <cstring>
#include <vector>

#include "categories/history.h"
#include "platform/wait_cursor_win32.h"

namespace {

// Set on the recipe list while its lines are in table order.
const char kTitleOrderProp[] = "SaucelinsTitleOrder";

// Lists the recipes of `category`. A list box that repaints after every added line takes
// minutes for a large catalogue, so painting is suspended while the lines go in.
uint32_t FillFrom(CategoryTree& tree, CategoryNode category, HWND list, EmptyListOp empty,
                  AddEntryOp add) {
  std::vector<RecipeEntry*> found;
  if (category) CollectRecipesIn(tree, category, found);
  const uint32_t n = static_cast<uint32_t>(found.size());

  const bool wasVisible = (GetWindowLongPtrA(list, GWL_STYLE) & WS_VISIBLE) != 0;
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  empty(list, n);
  for (RecipeEntry* entry : found) add(list, entry);
  SetPropA(list, kTitleOrderProp, reinterpret_cast<HANDLE>(1));
  SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  // Turning painting back on may show a hidden window; the tab decides what is visible.
  if (!wasVisible) ShowWindow(list, SW_HIDE);
  InvalidateRect(list, nullptr, TRUE);
  return n;
}

CategoryNode HistoryNode(HWND history, int index) {
  const LRESULT data = SendMessageA(history, CB_GETITEMDATA, index, 0);
  return data == CB_ERR ? nullptr : reinterpret_cast<CategoryNode>(data);
}

}  // namespace

void EmptyRecipeList(HWND list, uint32_t expected) {
  // Emptying a list box sends its owner one WM_DELETEITEM per line that has item data; for a
  // whole catalogue that costs more than the emptying itself, and nobody listens. Lines whose
  // data is cleared first go without a word.
  RemovePropA(list, kTitleOrderProp);
  const int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) SendMessageA(list, LB_SETITEMDATA, i, 0);
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  // Titles are short; 32 bytes each is a fair first guess and only a hint to the control.
  if (expected > 0) SendMessageA(list, LB_INITSTORAGE, expected, static_cast<LPARAM>(expected) * 32);
}

bool AppendRecipe(HWND list, RecipeEntry* entry) {
  const LRESULT index = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry->title));
  if (index == LB_ERR || index == LB_ERRSPACE) return false;
  SendMessageA(list, LB_SETITEMDATA, index, reinterpret_cast<LPARAM>(entry));
  return true;
}

bool RecipeListInTitleOrder(HWND list) { return GetPropA(list, kTitleOrderProp) != nullptr; }

void RememberCategory(HWND history, CategoryTree& tree, CategoryNode node) {
  if (!history || !node) return;
  // Trim first, so that the list holds at most 20 entries even when this node's entry exists.
  for (int i = static_cast<int>(SendMessageA(history, CB_GETCOUNT, 0, 0)) - 1;
       i >= kHistoryMax - 1; --i) {
    SendMessageA(history, CB_DELETESTRING, i, 0);
  }
  char text[256];
  std::strncpy(text, PathOfCategory(tree, node), sizeof text - 1);
  text[sizeof text - 1] = '\0';

  // The entry is found by its category, not by its text: "/desserts" and "/Desserts" are two
  // categories, and an entry chosen must lead back to the category it was made for.
  int found = -1;
  const int count = static_cast<int>(SendMessageA(history, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count && found < 0; ++i) {
    if (HistoryNode(history, i) == node) found = i;
  }
  if (found < 0) {
    const LRESULT at = SendMessageA(history, CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(text));
    if (at < 0) return;
    found = static_cast<int>(at);
    SendMessageA(history, CB_SETITEMDATA, found, reinterpret_cast<LPARAM>(node));
  }
  SendMessageA(history, CB_SETCURSEL, found, 0);
}

uint32_t ListFromHistory(HWND history, HWND list, CategoryTree& tree) {
  WaitCursor wait;
  const int sel = static_cast<int>(SendMessageA(history, CB_GETCURSEL, 0, 0));
  CategoryNode category = sel >= 0 ? HistoryNode(history, sel) : tree.Root();
  return FillFrom(tree, category, list, EmptyRecipeList, AppendRecipe);
}

uint32_t ListFromTree(CategoryTree& tree, HWND history, HWND list, EmptyListOp empty,
                      AddEntryOp add) {
  WaitCursor wait;
  CategoryNode category = tree.Selected();
  if (!category) category = tree.Root();
  RememberCategory(history, tree, category);
  return FillFrom(tree, category, list, empty, add);
}

int SyncTreeAndHistory(CategoryTree& tree, HWND history, int mode) {
  if (mode == 1) {
    CategoryNode node = tree.Selected();
    if (!node) node = tree.Root();
    RememberCategory(history, tree, node);
    return 1;
  }
  if (mode != 0) return 0;
  const int sel = static_cast<int>(SendMessageA(history, CB_GETCURSEL, 0, 0));
  CategoryNode node = sel >= 0 ? HistoryNode(history, sel) : tree.Root();
  if (node == tree.Selected()) return sel;
  if (!node) return 0;
  const bool selected = tree.Select(node);
  InvalidateRect(GetParent(history), nullptr, TRUE);
  return selected ? 1 : 0;
}

#include "categories/history_win32.h"

#include <cstring>
#include <iterator>
#include <map>
#include <vector>

#include "categories/history.h"
#include "platform/wait_cursor_win32.h"

namespace {

// What the lines of a recipe list stand for, kept beside the list box rather than in it: a
// list box given item data spends a message on each line to store it, and another on each
// line when it is emptied (one WM_DELETEITEM to its owner per line that has data), which for
// a whole catalogue costs about as much as the titles themselves. Only EmptyRecipeList and
// AppendRecipe change a list's lines, and they change the entries with them.
struct RecipeLines {
  std::vector<RecipeEntry*> entries;  // entries[i] is the recipe of line i
  bool titleOrder = false;            // the lines are in table (title) order
};

// One per list box that was ever filled; the main window has one, a test may make several.
std::map<HWND, RecipeLines>& AllRecipeLines() {
  static std::map<HWND, RecipeLines> lines;
  return lines;
}

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
  AllRecipeLines()[list].titleOrder = true;
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
  std::map<HWND, RecipeLines>& all = AllRecipeLines();
  // The lines of lists that are gone go too (a window handle may be given out again).
  for (auto it = all.begin(); it != all.end();) {
    it = it->first != list && !IsWindow(it->first) ? all.erase(it) : std::next(it);
  }
  RecipeLines& lines = all[list];
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  // An empty list gives its memory back; a list about to be filled sizes it once.
  std::vector<RecipeEntry*>().swap(lines.entries);
  lines.entries.reserve(expected);
  lines.titleOrder = false;
  // Titles are short; 32 bytes each is a fair first guess and only a hint to the control.
  if (expected > 0) SendMessageA(list, LB_INITSTORAGE, expected, static_cast<LPARAM>(expected) * 32);
}

bool AppendRecipe(HWND list, RecipeEntry* entry) {
  const LRESULT index = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry->title));
  if (index == LB_ERR || index == LB_ERRSPACE) return false;
  // The list is not sorted: the line went last, and so does its entry.
  AllRecipeLines()[list].entries.push_back(entry);
  return true;
}

RecipeEntry* RecipeOfLine(HWND list, long line) {
  const std::map<HWND, RecipeLines>& all = AllRecipeLines();
  const auto it = all.find(list);
  if (it == all.end() || line < 0 || static_cast<size_t>(line) >= it->second.entries.size())
    return nullptr;
  // A list box destroyed without being emptied leaves its entries here, and a new one may be
  // given its handle: only a line the list has stands for a recipe.
  if (line >= static_cast<long>(SendMessageA(list, LB_GETCOUNT, 0, 0))) return nullptr;
  return it->second.entries[static_cast<size_t>(line)];
}

bool RecipeListInTitleOrder(HWND list) {
  const std::map<HWND, RecipeLines>& all = AllRecipeLines();
  const auto it = all.find(list);
  return it != all.end() && it->second.titleOrder;
}

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

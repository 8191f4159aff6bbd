#include "editor/drag_drop_win32.h"

#include "app/zoom_win32.h"
#include "catalogue/catalogue.h"
#include "catalogue/recipe_table.h"
#include "editor/category_edits.h"
#include "editor/editor_state_win32.h"
#include "memo/memo_dialog_win32.h"
#include "platform/unique_handle_win32.h"
#include "resources/resource.h"
#include "resources/text_helpers_win32.h"

namespace {

const COLORREF kFrameColour = RGB(128, 128, 128);

HWND TreeControl(HWND dialog) { return GetDlgItem(dialog, IDC_EDITOR_TREE); }
HWND ListControl(HWND dialog) { return GetDlgItem(dialog, IDC_EDITOR_LIST); }

HTREEITEM ItemOf(CategoryNode node) {
  EditorState& s = Editor();
  return s.view && node ? s.view->ItemFromNode(node) : nullptr;
}

// The rectangle of the item's label text (not its whole row), in the tree's client area.
bool LabelRect(HWND tree, HTREEITEM item, RECT* rect) {
  if (!item) return false;
  *reinterpret_cast<HTREEITEM*>(rect) = item;
  return SendMessageA(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(rect)) != 0;
}

void FrameLabel(HDC dc, const RECT& rect) {
  UniquePen pen(CreatePen(PS_SOLID, 1, kFrameColour));
  Selected withPen(dc, pen.get());
  Selected hollow(dc, GetStockObject(NULL_BRUSH));
  Rectangle(dc, rect.left, rect.top, rect.right, rect.bottom);
}

void DrawFrame(HWND tree, CategoryNode node) {
  RECT rect;
  if (!LabelRect(tree, ItemOf(node), &rect)) return;
  WindowDC dc(tree);
  if (dc.get()) FrameLabel(dc.get(), rect);
}

// The control paints the label again, without the frame.
void EraseFrame(HWND tree, CategoryNode node) {
  RECT rect;
  if (LabelRect(tree, ItemOf(node), &rect)) InvalidateRect(tree, &rect, TRUE);
}

void ShowCursorOf(HCURSOR cursor) {
  EditorState& s = Editor();
  SetCursor(cursor ? cursor : s.normalCursor);
}

// The category whose row lies under `point` (dialog client coordinates), or null.
CategoryNode TreeNodeAt(HWND dialog, POINT point) {
  EditorState& s = Editor();
  HWND tree = TreeControl(dialog);
  TVHITTESTINFO hit = {};
  hit.pt = point;
  MapWindowPoints(dialog, tree, &hit.pt, 1);
  HTREEITEM item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  return item && s.view ? s.view->NodeFromItem(item) : nullptr;
}

// Where the message being handled was sent from, on the screen.
POINT MessagePoint() {
  const DWORD pos = GetMessagePos();
  POINT p = {static_cast<short>(LOWORD(pos)), static_cast<short>(HIWORD(pos))};
  return p;
}

HWND WindowUnder(HWND dialog, POINT point) {
  ClientToScreen(dialog, &point);
  return WindowFromPoint(point);
}

RecipeEntry* EntryAt(HWND list, int index) {
  if (index < 0) return nullptr;
  LVITEMA item = {};
  item.mask = LVIF_PARAM;
  item.iItem = index;
  if (!SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return nullptr;
  return reinterpret_cast<RecipeEntry*>(item.lParam);
}

int NextSelected(HWND list, int after) {
  return static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(after), LVNI_SELECTED));
}

// The drag is over: the normal cursor, no capture. `release` is false when another window
// already took the capture, which must not be taken from it.
void EndDrag(bool release) {
  EditorState& s = Editor();
  s.drag = DragState::None;
  SetCursor(s.normalCursor);
  if (release) ReleaseCapture();
}

// Shows the first popup of menu `menuId`, with the command `grayed` (0: none) not offered.
void TrackMenu(HWND dialog, int menuId, POINT screen, UINT grayed = 0) {
  HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE));
  UniqueMenu menu(LoadMenuA(instance, MAKEINTRESOURCEA(menuId)));
  HMENU popup = menu.get() ? GetSubMenu(menu.get(), 0) : nullptr;
  if (!popup) return;
  if (grayed) EnableMenuItem(popup, grayed, MF_BYCOMMAND | MF_GRAYED);
  TrackPopupMenu(popup, TPM_RIGHTBUTTON, screen.x, screen.y, 0, dialog, nullptr);
}

RecipeEntry* ContextEntry(HWND dialog) {
  EditorState& s = Editor();
  HWND list = ListControl(dialog);
  if (s.contextItem >= static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0))) return nullptr;
  return EntryAt(list, s.contextItem);
}

}  // namespace

void SetDropHighlight(HWND dialog, CategoryNode node) {
  EditorState& s = Editor();
  if (node == s.dropHighlight) return;
  HWND tree = TreeControl(dialog);
  CategoryNode old = s.dropHighlight;
  s.dropHighlight = node;
  if (old) EraseFrame(tree, old);
  if (node) DrawFrame(tree, node);
}

LRESULT OnTreeCustomDraw(HWND dialog, const NMTVCUSTOMDRAW* draw) {
  EditorState& s = Editor();
  switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      return s.dropHighlight ? CDRF_NOTIFYITEMDRAW : CDRF_DODEFAULT;
    case CDDS_ITEMPREPAINT:
      return reinterpret_cast<HTREEITEM>(draw->nmcd.dwItemSpec) == ItemOf(s.dropHighlight)
                 ? CDRF_NOTIFYPOSTPAINT
                 : CDRF_DODEFAULT;
    case CDDS_ITEMPOSTPAINT: {
      RECT rect;
      if (LabelRect(TreeControl(dialog), reinterpret_cast<HTREEITEM>(draw->nmcd.dwItemSpec), &rect))
        FrameLabel(draw->nmcd.hdc, rect);
      return CDRF_DODEFAULT;
    }
    default:
      return CDRF_DODEFAULT;
  }
}

// ---------------------------------------------------------------------------------------
// The drag

void BeginCategoryDrag(HWND dialog, HTREEITEM item) {
  EditorState& s = Editor();
  if (s.drag != DragState::None) return;
  // The dragged category is the selection: a drop moves the selection.
  if (!SendMessageA(TreeControl(dialog), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item))) return;
  ShowCursorOf(s.dropCursor.get());
  s.drag = DragState::Category;
  SetCapture(dialog);
}

void BeginRecipeDrag(HWND dialog) {
  EditorState& s = Editor();
  if (s.drag != DragState::None) return;
  ShowCursorOf(s.dropCursor.get());
  s.drag = DragState::Recipes;
  SetCapture(dialog);
}

void OnDragMouseMove(HWND dialog, POINT point) {
  EditorState& s = Editor();
  if (s.drag == DragState::None) {
    SetDropHighlight(dialog, nullptr);
    return;
  }
  HWND under = WindowUnder(dialog, point);
  HWND tree = TreeControl(dialog);
  if (under == ListControl(dialog)) {
    ShowCursorOf(s.drag == DragState::Recipes ? s.dropCursor.get() : s.noDropCursor.get());
    SetDropHighlight(dialog, nullptr);
    return;
  }
  if (under != tree) {
    ShowCursorOf(s.noDropCursor.get());
    SetDropHighlight(dialog, nullptr);
    return;
  }
  ShowCursorOf(s.dropCursor.get());
  CategoryNode node = TreeNodeAt(dialog, point);
  if (!node) return;  // empty tree space: the last frame stays
  // Showing the neighbours first scrolls the tree by itself near its top and bottom edges.
  HTREEITEM item = ItemOf(node);
  for (UINT neighbour : {static_cast<UINT>(TVGN_NEXTVISIBLE), static_cast<UINT>(TVGN_PREVIOUSVISIBLE)}) {
    HTREEITEM other = reinterpret_cast<HTREEITEM>(
        SendMessageA(tree, TVM_GETNEXTITEM, neighbour, reinterpret_cast<LPARAM>(item)));
    if (other) SendMessageA(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(other));
  }
  SendMessageA(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
  SetDropHighlight(dialog, node);
}

void OnDragDrop(HWND dialog, POINT point) {
  EditorState& s = Editor();
  SetDropHighlight(dialog, nullptr);
  if (s.drag == DragState::None) return;
  const DragState dragged = s.drag;
  CategoryNode target = WindowUnder(dialog, point) == TreeControl(dialog) ? TreeNodeAt(dialog, point) : nullptr;
  // The mouse is given back before the move: a message box of the move must get its clicks.
  EndDrag(true);
  if (!target) {
    s.beep(MB_ICONHAND);
    return;
  }
  if (dragged == DragState::Category)
    MoveCategory(dialog, target);
  else
    MoveRecipes(dialog, target);
  s.modified = true;
}

void CancelDrag(HWND dialog) {
  EditorState& s = Editor();
  if (s.drag == DragState::None) return;
  SetDropHighlight(dialog, nullptr);
  EndDrag(true);
}

void OnDragCaptureLost(HWND dialog, HWND newCapture) {
  EditorState& s = Editor();
  if (s.drag == DragState::None || newCapture == dialog) return;
  SetDropHighlight(dialog, nullptr);
  EndDrag(false);
}

// ---------------------------------------------------------------------------------------
// What a drop does

void MoveCategory(HWND dialog, CategoryNode target) {
  EditorState& s = Editor();
  CategoryNode moving = s.tree.Selected();
  if (!moving) {
    s.beep(MB_ICONHAND);
    return;
  }
  switch (CheckCategoryMove(s.tree, moving, target)) {
    case CategoryMove::Pointless:
      return;
    case CategoryMove::IntoItself:
      s.beep(MB_ICONHAND);
      return;
    case CategoryMove::LabelTaken:
      ShowStringMessage(dialog, IDS_CAPTION, IDS_MOVE_LABEL_TAKEN,
                        reinterpret_cast<LPARAM>(s.tree.Label(moving)), MB_OK | MB_ICONEXCLAMATION);
      return;
    case CategoryMove::Allowed:
      break;
  }
  // Every recipe of the table is looked at once.
  WaitCursor wait;
  ForgetSubtree(dialog, moving);
  if (!MoveCategoryTree(s.tree, moving, target)) s.beep(MB_ICONHAND);
  ShowCategoryRecipes(dialog);
}

void MoveRecipes(HWND dialog, CategoryNode target) {
  HWND list = ListControl(dialog);
  for (int i = NextSelected(list, -1); i != -1;) {
    RecipeEntry* entry = EntryAt(list, i);
    if (entry && entry->category != target) {
      SendMessageA(list, LVM_DELETEITEM, static_cast<WPARAM>(i), 0);
      entry->category = target;
      i = NextSelected(list, i - 1);  // position i now holds the item that followed
    } else {
      i = NextSelected(list, i);
    }
  }
  // The recipes that left are no longer counted.
  ShowRecipeCount(dialog, static_cast<uint32_t>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)));
}

// ---------------------------------------------------------------------------------------
// Context menus

void ShowTreeMenu(HWND dialog) {
  EditorState& s = Editor();
  const POINT screen = MessagePoint();
  POINT client = screen;
  ScreenToClient(dialog, &client);
  CategoryNode node = TreeNodeAt(dialog, client);
  if (!node) return;
  s.tree.Select(node);
  s.contextNode = node;
  // The root's label is never stored: renaming it is not offered.
  TrackMenu(dialog, IDR_TREE_MENU, screen, s.tree.Parent(node) ? 0 : IDM_RENAME_CATEGORY);
}

void ShowListMenu(HWND dialog) {
  EditorState& s = Editor();
  HWND list = ListControl(dialog);
  const POINT screen = MessagePoint();
  LVHITTESTINFO hit = {};
  hit.pt = screen;
  ScreenToClient(list, &hit.pt);
  const int index = static_cast<int>(SendMessageA(list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  if (index < 0) return;
  s.contextItem = index;
  TrackMenu(dialog, IDR_LIST_MENU, screen);
}

void ShowContextRecipe(HWND dialog) {
  RecipeEntry* entry = ContextEntry(dialog);
  if (entry) RunZoomDialog(dialog, FetchRecipeText(entry));
}

void EditContextMemo(HWND dialog) {
  RecipeEntry* entry = ContextEntry(dialog);
  // As the main window's command of the same name: a recipe without a memo opens ready for
  // typing one.
  if (entry) RunMemoDialog(dialog, entry, MemoModeFor(entry));
}

#include "editor/category_editor_win32.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/help_win32.h"
#include "catalogue/load_win32.h"
#include "catalogue/recipe_table.h"
#include "editor/drag_drop_win32.h"
#include "editor/editor_state_win32.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "resources/text_helpers_win32.h"

EditorState& Editor() {
  static EditorState state;
  return state;
}

namespace {

HWND TreeControl(HWND dialog) { return GetDlgItem(dialog, IDC_EDITOR_TREE); }
HWND ListControl(HWND dialog) { return GetDlgItem(dialog, IDC_EDITOR_LIST); }

HTREEITEM ItemOf(CategoryNode node) {
  EditorState& s = Editor();
  return s.view && node ? s.view->ItemFromNode(node) : nullptr;
}

// The answer to a notification, as a dialog procedure gives it.
INT_PTR Answer(HWND dialog, LRESULT result) {
  SetWindowLongPtrA(dialog, DWLP_MSGRESULT, result);
  return TRUE;
}

// ---------------------------------------------------------------------------------------
// Label editing

// Sits in front of the tree's label edit control: Return and Escape end the edit instead of
// reaching the dialog, where they would press a button or close the editor.
LRESULT CALLBACK LabelKeyFilter(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
  EditorState& s = Editor();
  WNDPROC own = s.labelEditProc;
  if (edit != s.labelEdit || !own) return DefWindowProcA(edit, message, wParam, lParam);
  switch (message) {
    case WM_GETDLGCODE:
      return CallWindowProcA(own, edit, message, wParam, lParam) | DLGC_WANTALLKEYS;
    case WM_CHAR:
      if (wParam == VK_ESCAPE || wParam == VK_RETURN) {
        SendMessageA(GetParent(edit), TVM_ENDEDITLABELNOW, wParam == VK_ESCAPE, 0);
        return 0;
      }
      break;
    case WM_NCDESTROY:
      // The control goes with the end of the edit; the next edit gets a new one.
      SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(own));
      s.labelEdit = nullptr;
      s.labelEditProc = nullptr;
      return CallWindowProcA(own, edit, message, wParam, lParam);
    default:
      break;
  }
  return CallWindowProcA(own, edit, message, wParam, lParam);
}

// Whether the label may be edited. The root's label is never stored (the next load gives it
// back its own), so renaming it is not offered.
bool OnBeginLabelEdit(HWND dialog, HTREEITEM item) {
  EditorState& s = Editor();
  CategoryNode node = s.view ? s.view->NodeFromItem(item) : nullptr;
  if (!node || !s.tree.Parent(node)) return false;
  CategoryLabel(s.tree, node, s.savedLabel, sizeof s.savedLabel);
  HWND edit = reinterpret_cast<HWND>(SendMessageA(TreeControl(dialog), TVM_GETEDITCONTROL, 0, 0));
  if (!edit || edit == s.labelEdit) return true;
  // A category's label keeps at most this many characters: the user sees where it stops.
  SendMessageA(edit, EM_LIMITTEXT, kCategoryLabelMax, 0);
  s.labelEdit = edit;
  s.labelEditProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LabelKeyFilter)));
  return true;
}

// The text of an ended edit as the tree reported it, in the program's code page.
const char* EditedText(const NMHDR* header, char* buf, int cap) {
  if (header->code == TVN_ENDLABELEDITA) return reinterpret_cast<const NMTVDISPINFOA*>(header)->item.pszText;
  const wchar_t* wide = reinterpret_cast<const NMTVDISPINFOW*>(header)->item.pszText;
  if (!wide) return nullptr;
  if (WideCharToMultiByte(CP_ACP, 0, wide, -1, buf, cap, nullptr, nullptr) == 0) buf[cap - 1] = '\0';
  return buf;
}

void OnEndLabelEdit(HWND dialog, const NMHDR* header) {
  EditorState& s = Editor();
  // NMTVDISPINFOA and NMTVDISPINFOW hold the item at the same place.
  HTREEITEM item = reinterpret_cast<const NMTVDISPINFOA*>(header)->item.hItem;
  char wide[kSavedLabelSize * 2];
  const char* text = EditedText(header, wide, sizeof wide);
  FinishLabelEdit(dialog, s.view ? s.view->NodeFromItem(item) : nullptr, text);
}

// The rename button acts on the selection: it is offered only where a rename can be kept.
void EnableRename(HWND dialog) {
  EditorState& s = Editor();
  CategoryNode node = s.tree.Selected();
  EnableWindow(GetDlgItem(dialog, IDC_EDITOR_RENAME), node && s.tree.Parent(node));
}

// ---------------------------------------------------------------------------------------
// Messages

void OnInitDialog(HWND dialog) {
  EditorState& s = Editor();
  s.dialog = dialog;
  s.modified = false;
  s.loaded = false;
  s.savedOnce = false;
  s.drag = DragState::None;
  s.dropHighlight = nullptr;
  s.contextNode = nullptr;
  s.contextItem = -1;
  s.savedLabel[0] = '\0';
  s.labelEdit = nullptr;
  s.labelEditProc = nullptr;
  s.unnamed = nullptr;
  s.retryNode = nullptr;
  if (!s.cursorsReady) {
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE));
    s.normalCursor = GetCursor();
    if (!s.normalCursor) s.normalCursor = LoadCursor(nullptr, IDC_ARROW);
    s.dropCursor = UniqueCursor(static_cast<HCURSOR>(
        LoadImageA(instance, MAKEINTRESOURCEA(IDCU_DROP), IMAGE_CURSOR, 0, 0, 0)));
    s.noDropCursor = UniqueCursor(static_cast<HCURSOR>(
        LoadImageA(instance, MAKEINTRESOURCEA(IDCU_NODROP), IMAGE_CURSOR, 0, 0, 0)));
    s.cursorsReady = true;
  }

  char title[256] = {};
  LoadStringA(reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE)), IDS_EDITOR_TITLE,
              title, sizeof title);
  SetWindowTextA(dialog, title);
  static const struct {
    int control;
    UINT text;
  } kButtons[] = {{IDC_EDITOR_SAVE, IDS_SAVE},      {IDC_EDITOR_HELP, IDS_HELP},
                  {IDC_QUIT, IDS_CLOSE},            {IDC_EDITOR_CREATE, IDS_CREATE},
                  {IDC_EDITOR_DESTROY, IDS_DESTROY}, {IDC_EDITOR_RENAME, IDS_RENAME}};
  for (const auto& b : kButtons) SetItemTextFromString(dialog, b.control, b.text, 0);

  // A new tree for this opening; the last opening's nodes go now that nothing names them.
  s.view.reset();
  s.tree.Clear();
  s.view = std::make_unique<TreeViewHolder>(s.tree, TreeControl(dialog));
  PostMessageA(dialog, WMU_LOAD, 0, 0);
}

void OnLoad(HWND dialog) {
  EditorState& s = Editor();
  // The modal loop shows the dialog only once its queue is empty, after this message: show
  // it now, so that the gauge and the load's messages come over an editor on screen.
  if (!IsWindowVisible(dialog)) {
    ShowWindow(dialog, SW_SHOW);
    UpdateWindow(dialog);
  }
  HWND list = ListControl(dialog);
  RECT r;
  GetWindowRect(list, &r);
  char title[64] = {};
  LoadStringA(reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE)), IDS_EDITOR_COLUMN,
              title, sizeof title);
  LVCOLUMNA column = {};
  column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
  column.fmt = LVCFMT_LEFT;
  column.cx = (r.right - r.left) - 20;
  column.pszText = title;
  SendMessageA(list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));

  ReleaseCatalogue();
  s.loaded = LoadCatalogue(dialog, s.tree) == 0;
  // The load selected the root while the table was still empty: list what is filed there.
  ShowCategoryRecipes(dialog);
  EnableRename(dialog);
}

// The index keeps only the paths of recipes, so a category without any is gone at the next
// load: the user is told which before the save, and may keep on editing instead.
bool EmptyCategoriesAccepted(HWND dialog) {
  EditorState& s = Editor();
  const std::vector<CategoryNode> empty = CategoriesWithoutRecipes(s.tree);
  if (empty.empty()) return true;
  // The paths, as many as the message has room for, then how many more.
  constexpr size_t kListRoom = 480;
  std::string list;
  size_t shown = 0;
  for (; shown < empty.size(); ++shown) {
    const char* path = PathOfCategory(s.tree, empty[shown]);
    if (shown > 0 && list.size() + std::strlen(path) + 2 > kListRoom) break;
    list.append(path, std::min<size_t>(std::strlen(path), kListRoom)).append("\r\n");
  }
  if (shown < empty.size()) {
    char format[64] = {}, more[80] = {};
    LoadText(IDS_EMPTY_MORE, format, sizeof format);
    std::snprintf(more, sizeof more, format, static_cast<int>(empty.size() - shown));
    list.append(more).append("\r\n");
  }
  return ShowStringMessage(dialog, IDS_CAPTION, IDS_EMPTY_NOT_SAVED, reinterpret_cast<LPARAM>(list.c_str()),
                           MB_YESNO | MB_ICONEXCLAMATION) == IDYES;
}

void Save(HWND dialog) {
  EditorState& s = Editor();
  if (!s.loaded) {
    // The table misses what the load could not read: writing it would lose those recipes.
    ShowStringMessage(dialog, IDS_CAPTION, IDS_SAVE_REFUSED, 0, MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  if (!EmptyCategoriesAccepted(dialog)) return;
  SaveOptions options;
  // The backup keeps the index as it was before this session's first save, with the comments
  // and the lines the load could not read, not what an earlier save of the session wrote.
  options.backup = s.savedOnce ? IndexBackup::Keep : IndexBackup::Refresh;
  // Another program (a second copy of this one, on a shared folder) may have saved the index
  // since it was loaded here: replacing it would silently drop what that program saved.
  options.guard = IndexGuard::Unchanged;
  CategoryNode unwritable = nullptr;
  switch (SaveIndexWith(s.tree, dialog, options, &unwritable)) {
    case SaveOutcome::Saved:
      s.modified = false;
      s.savedOnce = true;
      break;
    case SaveOutcome::PathUnwritable: {
      // Show the category in question, then say what is wrong with it.
      s.tree.Select(unwritable);
      char path[kCategoryPathMax + 1];
      std::snprintf(path, sizeof path, "%s", PathOfCategory(s.tree, unwritable));
      ShowStringMessage(dialog, IDS_CAPTION, IDS_SAVE_PATH, reinterpret_cast<LPARAM>(path),
                        MB_OK | MB_ICONEXCLAMATION);
      break;
    }
    case SaveOutcome::ChangedOnDisk:
      ShowStringMessage(dialog, IDS_CAPTION, IDS_SAVE_CHANGED, 0, MB_OK | MB_ICONEXCLAMATION);
      break;
    case SaveOutcome::Failed:
      ShowStringMessage(dialog, IDS_CAPTION, IDS_SAVE_ERROR, 0, MB_OK | MB_ICONEXCLAMATION);
      break;
  }
}

void OnCommand(HWND dialog, int id) {
  EditorState& s = Editor();
  switch (id) {
    case IDCANCEL:
    case IDC_QUIT:
      PostMessageA(dialog, WM_CLOSE, 0, 0);
      break;
    case IDC_EDITOR_HELP:
      ShowHelpContents(dialog);
      break;
    case IDC_EDITOR_SAVE:
      Save(dialog);
      break;
    case IDC_EDITOR_CREATE:
      s.contextNode = s.tree.Selected();
      [[fallthrough]];
    case IDM_NEW_CATEGORY:
      if (s.contextNode) s.tree.Select(s.contextNode);
      s.savedLabel[0] = '\0';
      s.modified = true;
      NewCategory(dialog, s.contextNode);
      break;
    case IDC_EDITOR_DESTROY:
      s.contextNode = s.tree.Selected();
      [[fallthrough]];
    case IDM_DELETE_CATEGORY:
      s.modified = true;
      DeleteCategory(dialog, s.contextNode, true);
      break;
    case IDC_EDITOR_RENAME:
      s.contextNode = s.tree.Selected();
      [[fallthrough]];
    case IDM_RENAME_CATEGORY:
      if (s.contextNode) s.tree.Select(s.contextNode);
      CategoryLabel(s.tree, s.contextNode, s.savedLabel, sizeof s.savedLabel);
      s.modified = true;
      RenameCategory(dialog, s.contextNode);
      break;
    case IDM_SHOW_RECIPE:
      ShowContextRecipe(dialog);
      break;
    case IDM_EDIT_MEMO:
      EditContextMemo(dialog);
      break;
    default:
      break;
  }
}

INT_PTR OnNotify(HWND dialog, NMHDR* header) {
  EditorState& s = Editor();
  if (header->idFrom == IDC_EDITOR_TREE) {
    switch (header->code) {
      case TVN_SELCHANGEDA:
      case TVN_SELCHANGEDW:
        if (s.view) s.view->HandleNotify(header);
        ShowCategoryRecipes(dialog);
        EnableRename(dialog);
        return 0;
      case TVN_ITEMEXPANDEDA:
      case TVN_ITEMEXPANDEDW:
        if (s.view) s.view->HandleNotify(header);
        return 0;
      case TVN_BEGINLABELEDITA:
      case TVN_BEGINLABELEDITW:
        // TRUE refuses the edit.
        return Answer(dialog, !OnBeginLabelEdit(dialog, reinterpret_cast<NMTVDISPINFOA*>(header)->item.hItem));
      case TVN_ENDLABELEDITA:
      case TVN_ENDLABELEDITW:
        OnEndLabelEdit(dialog, header);
        return Answer(dialog, FALSE);  // the label changes only through FinishLabelEdit
      case TVN_BEGINDRAGA:
      case TVN_BEGINDRAGW:
        BeginCategoryDrag(dialog, reinterpret_cast<NMTREEVIEWA*>(header)->itemNew.hItem);
        return 0;
      case NM_RCLICK:
        ShowTreeMenu(dialog);
        return Answer(dialog, TRUE);
      case NM_CUSTOMDRAW:
        return Answer(dialog, OnTreeCustomDraw(dialog, reinterpret_cast<NMTVCUSTOMDRAW*>(header)));
      default:
        return 0;
    }
  }
  if (header->idFrom == IDC_EDITOR_LIST) {
    switch (header->code) {
      case LVN_BEGINDRAG:
        BeginRecipeDrag(dialog);
        return 0;
      case NM_RCLICK:
        ShowListMenu(dialog);
        return Answer(dialog, TRUE);
      default:
        return 0;
    }
  }
  return 0;
}

void OnDropUnnamed(HWND dialog) {
  EditorState& s = Editor();
  CategoryNode node = s.unnamed;
  s.unnamed = nullptr;
  if (node) DeleteCategory(dialog, node, false);
}

void OnRetryLabel(HWND dialog) {
  EditorState& s = Editor();
  CategoryNode node = s.retryNode;
  s.retryNode = nullptr;
  if (!node) return;
  if (s.retryRefusal == LabelRefusal::TakenBySibling)
    ShowStringMessage(dialog, IDS_CAPTION, IDS_LABEL_TAKEN, reinterpret_cast<LPARAM>(s.retryText),
                      MB_OK | MB_ICONEXCLAMATION);
  else
    ShowStringMessage(dialog, IDS_CAPTION, IDS_LABEL_REFUSED, 0, MB_OK | MB_ICONEXCLAMATION);
  HWND tree = TreeControl(dialog);
  SetFocus(tree);
  SendMessageA(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(ItemOf(node)));
  HWND edit = reinterpret_cast<HWND>(SendMessageA(tree, TVM_EDITLABELA, 0, reinterpret_cast<LPARAM>(ItemOf(node))));
  if (!edit) {
    // A new category that cannot be edited again does not stay unnamed.
    if (s.tree.Label(node)[0] == '\0') DeleteCategory(dialog, node, false);
    return;
  }
  SetWindowTextA(edit, s.retryText);
  SendMessageA(edit, EM_SETSEL, 0, -1);
}

// The end of the editor, asked or not: the cursors go, the next opening loads them again.
void EndEditor(HWND dialog) {
  EditorState& s = Editor();
  CancelDrag(dialog);
  s.dropCursor.reset();
  s.noDropCursor.reset();
  s.normalCursor = nullptr;
  s.cursorsReady = false;
  EndDialog(dialog, 0);
}

void OnClose(HWND dialog) {
  EditorState& s = Editor();
  CancelDrag(dialog);
  if (s.modified &&
      // Cancel is the default: Enter must not throw the work away.
      ShowStringMessage(dialog, IDS_CAPTION, IDS_DISCARD, 0,
                        MB_YESNOCANCEL | MB_ICONEXCLAMATION | MB_DEFBUTTON3) != IDYES)
    return;
  EndEditor(dialog);
}

void OnDestroy(HWND dialog) {
  EditorState& s = Editor();
  EndEditor(dialog);
  // The tree control goes with the dialog; the nodes stay until the next opening.
  s.view.reset();
  s.unnamed = nullptr;
  s.retryNode = nullptr;
  s.dropHighlight = nullptr;
  s.contextNode = nullptr;
  s.dialog = nullptr;
}

POINT PointOf(LPARAM lParam) {
  POINT p = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  return p;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// The recipes of the selected category

void ShowRecipeCount(HWND dialog, uint32_t count) {
  SetItemTextFromString(dialog, IDC_EDITOR_STATUS, count <= 1 ? IDS_COUNT_SINGULAR : IDS_COUNT_PLURAL,
                        static_cast<LPARAM>(count));
}

void ShowCategoryRecipes(HWND dialog) {
  EditorState& s = Editor();
  WaitCursor wait;
  CategoryNode node = s.tree.Selected();
  if (!node) node = s.tree.Root();
  SetDropHighlight(dialog, node);

  HWND list = ListControl(dialog);
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
  RecipeEntry* entries = RecipeEntries();
  const uint32_t count = RecipeCount();
  uint32_t shown = 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (entries[i].category != node || !node) continue;
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = static_cast<int>(shown);
    item.pszText = entries[i].title;
    item.lParam = reinterpret_cast<LPARAM>(&entries[i]);
    if (SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)) >= 0) ++shown;
  }
  SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
  ShowRecipeCount(dialog, shown);
}

void ForgetSubtree(HWND dialog, CategoryNode node) {
  EditorState& s = Editor();
  if (!node) return;
  if (s.dropHighlight && IsInCategory(s.tree, node, s.dropHighlight)) SetDropHighlight(dialog, nullptr);
  if (s.contextNode && IsInCategory(s.tree, node, s.contextNode)) s.contextNode = nullptr;
  if (s.unnamed && IsInCategory(s.tree, node, s.unnamed)) s.unnamed = nullptr;
  if (s.retryNode && IsInCategory(s.tree, node, s.retryNode)) s.retryNode = nullptr;
}

// ---------------------------------------------------------------------------------------
// Commands on categories

void NewCategory(HWND dialog, CategoryNode parent) {
  EditorState& s = Editor();
  if (!parent) parent = s.tree.Selected();
  if (!parent) return;
  CategoryNode node = s.tree.Insert(parent, "", InsertAt::Last, true);
  if (!node) {
    s.beep(MB_ICONHAND);
    return;
  }
  // Showing the new node opens its ancestors.
  for (CategoryNode p = parent; p; p = s.tree.Parent(p)) s.tree.SetExpanded(p, true);
  HWND tree = TreeControl(dialog);
  HTREEITEM item = ItemOf(node);
  SetFocus(tree);
  SendMessageA(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
  if (!SendMessageA(tree, TVM_EDITLABELA, 0, reinterpret_cast<LPARAM>(item))) {
    // It could never be named: it does not stay with an empty label.
    ForgetSubtree(dialog, node);
    RemoveCategory(s.tree, node);
  }
}

void RenameCategory(HWND dialog, CategoryNode node) {
  EditorState& s = Editor();
  if (!node) node = s.tree.Selected();
  if (!node || !s.tree.Parent(node)) return;
  HWND tree = TreeControl(dialog);
  SetFocus(tree);
  SendMessageA(tree, TVM_EDITLABELA, 0, reinterpret_cast<LPARAM>(ItemOf(node)));
}

void DeleteCategory(HWND dialog, CategoryNode node, bool confirm) {
  EditorState& s = Editor();
  WaitCursor wait;
  if (!node) node = s.tree.Selected();
  if (!node || !s.tree.Parent(node)) {
    ShowStringMessage(dialog, IDS_CAPTION, IDS_CANNOT_DELETE, 0, MB_OK);
    return;
  }
  if (confirm && ShowStringMessage(dialog, IDS_CAPTION, IDS_CONFIRM_DELETE, 0, MB_YESNOCANCEL) != IDYES)
    return;
  ForgetSubtree(dialog, node);
  RemoveCategory(s.tree, node);
}

void FinishLabelEdit(HWND dialog, CategoryNode node, const char* text) {
  EditorState& s = Editor();
  if (!node) return;
  const LabelEditVerdict verdict = JudgeLabelEdit(s.tree, node, text, s.savedLabel);
  switch (verdict.outcome) {
    case LabelEditOutcome::Apply: {
      char before[kSavedLabelSize];
      CategoryLabel(s.tree, node, before, sizeof before);
      if (!SetCategoryLabel(s.tree, node, text)) {
        s.beep(MB_ICONHAND);
        break;
      }
      // An edit the user began by clicking the label counts as a change only if it made one.
      if (std::strcmp(s.tree.Label(node), before) != 0) s.modified = true;
      break;
    }
    case LabelEditOutcome::Restore:
      SetCategoryLabel(s.tree, node, s.savedLabel);
      break;
    case LabelEditOutcome::DropUnnamed:
      s.unnamed = node;
      s.modified = true;
      PostMessageA(dialog, kMsgDropUnnamed, 0, 0);
      break;
    case LabelEditOutcome::Refuse:
      // The node keeps its label (a new one stays unnamed) until the text is corrected.
      s.retryNode = node;
      s.retryRefusal = verdict.refusal;
      std::snprintf(s.retryText, sizeof s.retryText, "%s", text);
      PostMessageA(dialog, kMsgRetryLabel, 0, 0);
      break;
  }
}

void SetEditorBeepForTests(BOOL(WINAPI* beep)(UINT type)) { Editor().beep = beep ? beep : MessageBeep; }

INT_PTR CALLBACK CategoryEditorProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog(dialog);
      return TRUE;
    case WMU_LOAD:
      OnLoad(dialog);
      return TRUE;
    case kMsgDropUnnamed:
      OnDropUnnamed(dialog);
      return TRUE;
    case kMsgRetryLabel:
      OnRetryLabel(dialog);
      return TRUE;
    case WM_COMMAND:
      OnCommand(dialog, LOWORD(wParam));
      return TRUE;
    case WM_NOTIFY:
      return OnNotify(dialog, reinterpret_cast<NMHDR*>(lParam));
    case WM_MOUSEMOVE:
      OnDragMouseMove(dialog, PointOf(lParam));
      return TRUE;
    case WM_LBUTTONUP:
      OnDragDrop(dialog, PointOf(lParam));
      return TRUE;
    case WM_RBUTTONDOWN:
      CancelDrag(dialog);
      return TRUE;
    case WM_CAPTURECHANGED:
      OnDragCaptureLost(dialog, reinterpret_cast<HWND>(lParam));
      return TRUE;
    case WM_CLOSE:
      OnClose(dialog);
      return TRUE;
    case WM_DESTROY:
      OnDestroy(dialog);
      return TRUE;
    default:
      return FALSE;
  }
}

INT_PTR RunCategoryEditor(HWND owner) {
  DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_EDITOR), owner, CategoryEditorProc, 0);
  return 0;
}

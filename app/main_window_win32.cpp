#include "app/main_window_win32.h"

#include <commctrl.h>

#include <memory>

#include "app/about_win32.h"
#include "app/help_win32.h"
#include "app/layout.h"
#include "app/layout_win32.h"
#include "app/recipe_commands_win32.h"
#include "catalogue/catalogue.h"
#include "catalogue/load_win32.h"
#include "catalogue/recipe_table.h"
#include "categories/history_win32.h"
#include "categories/label_order.h"
#include "categories/tree_view_win32.h"
#include "editor/category_editor_win32.h"
#include "memo/memo_dialog_win32.h"
#include "print/print_win32.h"
#include "resources/resource.h"
#include "resources/text_helpers_win32.h"
#include "search/search_win32.h"
#include "vlr/memo.h"

namespace {

enum Tab { kRecipesTab = 0, kCategoriesTab = 1, kEditorTab = 2 };

// Everything the one main window keeps between messages.
struct MainWindowState {
  HWND window = nullptr;
  HICON icon = nullptr;
  HICON previousClassIcon = nullptr;
  // The tree's selection moved since the recipe list was last filled from it.
  bool categoryChanged = false;
  int previousTab = -1;
  // The close sequence has released the fonts, the catalogue and the icon.
  bool released = false;
  // The recipe whose text the pane holds (null: help text, an error, nothing): selecting the
  // same recipe again does not lay the text out again.
  const RecipeEntry* shown = nullptr;
  CategoryTree tree;
  std::unique_ptr<TreeViewHolder> treeView;
  // Tooltip texts are read by the toolbar after the notification returns.
  char tooltip[64] = {};
  wchar_t tooltipWide[64] = {};
};

MainWindowState& State() {
  static MainWindowState state;
  return state;
}

BeepFunction g_beep = nullptr;

HWND Item(HWND window, int id) { return GetDlgItem(window, id); }

HINSTANCE InstanceOf(HWND window) {
  return reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
}

void Beep(UINT type) {
  if (g_beep) {
    g_beep(type);
  } else {
    MessageBeep(type);
  }
}

void EnableMemoButtons(HWND window, bool read, bool create) {
  HWND toolbar = Item(window, IDC_TOOLBAR);
  SendMessageA(toolbar, TB_ENABLEBUTTON, IDM_READ_MEMO, MAKELPARAM(read ? TRUE : FALSE, 0));
  SendMessageA(toolbar, TB_ENABLEBUTTON, IDM_NEW_MEMO, MAKELPARAM(create ? TRUE : FALSE, 0));
}

// The entry of the recipe list's selected line, or null.
RecipeEntry* SelectedEntry(HWND window) {
  HWND list = Item(window, IDC_RECIPE_LIST);
  const LRESULT sel = SendMessageA(list, LB_GETCURSEL, 0, 0);
  return sel == LB_ERR ? nullptr : RecipeOfLine(list, static_cast<long>(sel));
}

void CreateToolbar(HWND window) {
  // Images 12 to 16 (preview, copy, save as, help, search) lie beyond the count of 8 that the
  // toolbar is told about; it cuts them out of the strip all the same.
  static const TBBUTTON kButtons[] = {
      {0, IDM_LARGER, TBSTATE_ENABLED, TBSTYLE_BUTTON, {}, 0, 0},
      {1, IDM_SMALLER, TBSTATE_ENABLED, TBSTYLE_BUTTON, {}, 0, 0},
      {0, 0, TBSTATE_ENABLED, TBSTYLE_SEP, {}, 0, 0},
      {3, IDM_READ_MEMO, 0, TBSTYLE_BUTTON, {}, 0, 0},
      {4, IDM_NEW_MEMO, 0, TBSTYLE_BUTTON, {}, 0, 0},
      {0, 0, TBSTATE_ENABLED, TBSTYLE_SEP, {}, 0, 0},
      {2, IDM_PRINT, TBSTATE_ENABLED, TBSTYLE_BUTTON, {}, 0, 0},
      {0, 0, TBSTATE_ENABLED, TBSTYLE_SEP, {}, 0, 0},
      {5, IDM_RECIPES_TAB, TBSTATE_ENABLED, TBSTYLE_BUTTON, {}, 0, 0},
      {6, IDM_CATEGORIES_TAB, TBSTATE_ENABLED, TBSTYLE_BUTTON, {}, 0, 0},
      {7, IDM_EDITOR, TBSTATE_ENABLED, TBSTYLE_BUTTON, {}, 0, 0},
      {0, 0, TBSTATE_ENABLED, TBSTYLE_SEP, {}, 0, 0},
      {15, IDM_HELP, TBSTATE_ENABLED, TBSTYLE_BUTTON, {}, 0, 0},
      // The window starts wide enough for these too; a window shrunk below that cuts them
      // first (Ctrl+F and F3 search at any size).
      {0, 0, TBSTATE_ENABLED, TBSTYLE_SEP, {}, 0, 0},
      {16, IDM_SEARCH, TBSTATE_ENABLED, TBSTYLE_BUTTON, {}, 0, 0},
      {0, 0, TBSTATE_ENABLED, TBSTYLE_SEP, {}, 0, 0},
      {12, IDM_PREVIEW, TBSTATE_ENABLED, TBSTYLE_BUTTON, {}, 0, 0},
      {13, IDM_COPY, TBSTATE_ENABLED, TBSTYLE_BUTTON, {}, 0, 0},
      {14, IDM_SAVE_AS, TBSTATE_ENABLED, TBSTYLE_BUTTON, {}, 0, 0},
  };
  CreateToolbarEx(window, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | TBSTYLE_TOOLTIPS,
                  IDC_TOOLBAR, 8, InstanceOf(window), IDB_TOOLBAR, kButtons,
                  static_cast<int>(sizeof kButtons / sizeof kButtons[0]), 0, 0, 0, 0,
                  sizeof(TBBUTTON));
}

void ApplyTab(HWND window);

void SetupTabs(HWND window) {
  HWND tabs = Item(window, IDC_TABS);
  const UINT texts[3] = {IDS_TAB_RECIPES, IDS_TAB_CATEGORIES, IDS_TAB_EDITOR};
  for (int i = 0; i < 3; ++i) {
    char text[128] = {};
    LoadStringA(InstanceOf(window), texts[i], text, sizeof text);
    TCITEMA item = {};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    SendMessageA(tabs, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
  }
  LayoutControls(window, true);
  SendMessageA(tabs, TCM_SETCURSEL, kCategoriesTab, 0);
  ApplyTab(window);
}

// Selecting a tab from the program sends no TCN_SELCHANGE, so the tab is applied here.
void ShowTab(HWND window, int tab) {
  SendMessageA(Item(window, IDC_TABS), TCM_SETCURSEL, tab, 0);
  ApplyTab(window);
}

void ApplyTab(HWND window) {
  MainWindowState& s = State();
  const int t = static_cast<int>(SendMessageA(Item(window, IDC_TABS), TCM_GETCURSEL, 0, 0));
  for (const LayoutRow& row : LayoutTable) {
    const bool visible = t >= 0 && (row.tabMask & (1 << t)) != 0;
    ShowWindow(Item(window, row.id), visible ? SW_SHOW : SW_HIDE);
  }
  EnableMemoButtons(window, false, false);
  HWND history = Item(window, IDC_HISTORY);
  switch (t) {
    case kRecipesTab:
      if (s.categoryChanged) {
        const uint32_t n = ListFromTree(s.tree, history, Item(window, IDC_RECIPE_LIST),
                                        EmptyRecipeList, AppendRecipe);
        SearchListReplaced();
        SetItemTextFromString(window, IDC_LISTED, IDS_LISTED, static_cast<LPARAM>(n));
      } else {
        // The same category: the list keeps its lines, selection and scroll position, and the
        // reader finds the recipe they left.
        ShowSelectedRecipe(window);
      }
      s.categoryChanged = false;
      break;
    case kCategoriesTab:
      SyncTreeAndHistory(s.tree, history, 0);
      SetItemTextFromString(window, IDC_RECIPE_TEXT, IDS_CATEGORY_HELP, 0);
      s.shown = nullptr;
      break;
    case kEditorTab:
      SyncTreeAndHistory(s.tree, history, s.previousTab == kCategoriesTab ? 1 : 0);
      break;
    default:
      break;
  }
  s.previousTab = t;
}

// ---- messages -------------------------------------------------------------------------

void OnInitDialog(HWND window) {
  MainWindowState& s = State();
  s.window = window;
  s.categoryChanged = false;
  s.previousTab = -1;
  s.released = false;
  s.shown = nullptr;
  ResetFontState();
  s.tree.SetView(nullptr);
  s.treeView.reset();
  s.tree.Clear();
  s.treeView.reset(new TreeViewHolder(s.tree, Item(window, IDC_TREE)));

  s.icon = static_cast<HICON>(LoadImageA(InstanceOf(window), MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON,
                                         0, 0, LR_DEFAULTSIZE));
  s.previousClassIcon = reinterpret_cast<HICON>(
      SetClassLongPtrA(window, GCLP_HICON, reinterpret_cast<LONG_PTR>(s.icon)));
  CreateToolbar(window);
  SetupTabs(window);
  InitPrintDefaults(window);
  InstallSearchKeys(window);
  PostMessageA(window, WMU_LOAD, 0, 0);
}

void OnLoad(HWND window) {
  // The window shows itself, painted, before a load that may take a while: the user sees the
  // program and the gauge over it at once rather than nothing.
  if (!IsWindowVisible(window)) ShowWindow(window, SW_SHOW);
  RedrawWindow(window, nullptr, nullptr,
               RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_ERASENOW);
  if (LoadCatalogue(window, State().tree) < 0) {
    PostMessageA(window, WM_CLOSE, 0, 0);
  } else {
    PostMessageA(window, WMU_LOADED, 0, 0);
  }
}

void OnLoaded(HWND window) {
  SetItemTextFromString(window, IDC_SEARCH_LABEL, IDS_SEARCH, 0);
  SetItemTextFromString(window, IDC_EDITOR_OPEN, IDS_EDITOR_BUTTON, 0);
  SetItemTextFromString(window, IDC_EDITOR_EXPLAIN, IDS_EDITOR_EXPLAIN, 0);
  SetItemTextFromString(window, IDC_ABOUT, IDS_ABOUT, 0);
  SetItemTextFromString(window, IDC_QUIT, IDS_QUIT, 0);
  char title[256] = {};
  LoadStringA(InstanceOf(window), IDS_MAIN_TITLE, title, sizeof title);
  SetWindowTextA(window, title);
  SetFocus(Item(window, IDC_TOTAL));
}

void OnReload(HWND window) {
  MainWindowState& s = State();
  ClearCategories(s.tree);
  // The lists stand for entries and nodes: they go before what they point to.
  EmptyRecipeList(Item(window, IDC_RECIPE_LIST), 0);
  SendMessageA(Item(window, IDC_HISTORY), CB_RESETCONTENT, 0, 0);
  EnableMemoButtons(window, false, false);
  ForgetSearchIndex();
  ReleaseCatalogue();
  s.shown = nullptr;
  PostMessageA(window, WMU_LOAD, 0, 0);
}

void OnNotify(HWND window, NMHDR* header) {
  MainWindowState& s = State();
  switch (header->code) {
    case TTN_NEEDTEXTA: {
      NMTTDISPINFOA* info = reinterpret_cast<NMTTDISPINFOA*>(header);
      s.tooltip[0] = '\0';
      LoadStringA(InstanceOf(window), static_cast<UINT>(header->idFrom), s.tooltip, sizeof s.tooltip);
      info->lpszText = s.tooltip;
      info->hinst = nullptr;
      return;
    }
    case TTN_NEEDTEXTW: {
      // A control that talks Unicode to its owner asks this way; the text is the same.
      NMTTDISPINFOW* info = reinterpret_cast<NMTTDISPINFOW*>(header);
      s.tooltipWide[0] = L'\0';
      LoadStringW(InstanceOf(window), static_cast<UINT>(header->idFrom), s.tooltipWide, 64);
      info->lpszText = s.tooltipWide;
      info->hinst = nullptr;
      return;
    }
    default:
      break;
  }
  switch (header->idFrom) {
    case IDC_TABS:
      if (header->code == static_cast<UINT>(TCN_SELCHANGE)) ApplyTab(window);
      break;
    case IDC_TREE:
      if (s.treeView) s.treeView->HandleNotify(header);
      if (TreeViewHolder::IsSelectionChange(header)) {
        s.categoryChanged = true;
      } else if (header->code == static_cast<UINT>(NM_DBLCLK)) {
        PostMessageA(window, WM_COMMAND, IDM_RECIPES_TAB, 0);
      }
      break;
    default:
      break;
  }
}

void Search(HWND window) {
  char text[128] = {};
  GetDlgItemTextA(window, IDC_SEARCH, text, sizeof text);
  if (text[0] == '\0') return;
  HWND list = Item(window, IDC_RECIPE_LIST);
  // A list filled from a category is in title order, and the titles that begin alike (accents
  // and case aside) lie together in it: the first one is found by halves. A list in another
  // order is read from the top. The list box's own prefix search compares only letter case.
  const long count = static_cast<long>(SendMessageA(list, LB_GETCOUNT, 0, 0));
  const auto titleAt = [list](long i) {
    const RecipeEntry* e = RecipeOfLine(list, i);
    return e ? static_cast<const char*>(e->title) : "";
  };
  long found = -1;
  if (RecipeListInTitleOrder(list)) {
    found = FirstWithFoldedPrefix(count, titleAt, text);
  } else {
    for (long i = 0; i < count && found < 0; ++i)
      if (HasFoldedPrefix(titleAt(i), text)) found = i;
  }
  if (found < 0) {
    Beep(MB_ICONASTERISK);
    return;
  }
  if (found == static_cast<long>(SendMessageA(list, LB_GETCURSEL, 0, 0))) return;
  SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(found), 0);
  SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_RECIPE_LIST, LBN_SELCHANGE),
               reinterpret_cast<LPARAM>(list));
}

void OpenMemo(HWND window, MemoMode mode) {
  // After a history pick the list has no selection: there is no recipe to attach a memo to.
  RecipeEntry* entry = SelectedEntry(window);
  if (!entry) return;
  RunMemoDialog(window, entry, mode);
  NoteMemoChanged(entry->recipeId);
  PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_RECIPE_LIST, LBN_SELCHANGE), 0);
}

// The commands that act on one recipe: from the toolbar on the selected one (with none,
// `nothing` says so), from the recipe list's menu on the line clicked.
struct RecipeCommand {
  int id;
  void (*run)(HWND, const RecipeEntry*);
  UINT nothing;
};
const RecipeCommand kRecipeCommands[] = {
    {IDM_PRINT, PrintRecipeCommand, IDS_PRINT_NOTHING},
    {IDM_PREVIEW, PreviewRecipeCommand, IDS_PRINT_NOTHING},
    {IDM_COPY, CopyRecipeCommand, IDS_SELECT_FIRST},
    {IDM_SAVE_AS, SaveRecipeAsCommand, IDS_SELECT_FIRST},
};

const RecipeCommand* FindRecipeCommand(int id) {
  for (const RecipeCommand& c : kRecipeCommands) {
    if (c.id == id) return &c;
  }
  return nullptr;
}

void OnSelectedRecipe(HWND window, const RecipeCommand& command) {
  RecipeEntry* entry = SelectedEntry(window);
  if (!entry) {
    ShowStringMessage(window, IDS_CAPTION, command.nothing, 0, MB_OK);
    return;
  }
  // The recipe's own text goes out: the pane may show something else (the category tab's help).
  command.run(window, entry);
}

// Selects line `line` of the recipe list and shows its recipe, as a click on it does.
void ShowLine(HWND window, int line) {
  HWND list = Item(window, IDC_RECIPE_LIST);
  SendMessageA(list, LB_SETCURSEL, line, 0);
  SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_RECIPE_LIST, LBN_SELCHANGE),
               reinterpret_cast<LPARAM>(list));
}

// A right click on the recipe list: the menu's commands act on the line clicked.
// False for the other controls, whose own menus are not the main window's business.
bool OnContextMenu(HWND window, HWND target, LPARAM point) {
  HWND list = Item(window, IDC_RECIPE_LIST);
  if (target != list) return false;
  int line = -1;
  const int command = TrackRecipeMenu(window, list, point, &line);
  if (command == 0 || line < 0) return true;
  const RecipeEntry* entry = RecipeOfLine(list, line);
  if (!entry) return true;
  switch (command) {
    case IDM_SHOW_RECIPE:
      ShowLine(window, line);
      break;
    case IDM_EDIT_MEMO:
      // The memo dialog works on the recipe on display, as the toolbar's memo buttons do.
      ShowLine(window, line);
      // An existing memo opens to be read, a new one to be written, as the two buttons do.
      OpenMemo(window, MemoModeFor(entry));
      break;
    default:
      if (const RecipeCommand* c = FindRecipeCommand(command)) c->run(window, entry);
      break;
  }
  return true;
}

void OnCommand(HWND window, int id, int code) {
  MainWindowState& s = State();
  switch (id) {
    case IDC_RECIPE_LIST:
      if (code == LBN_SELCHANGE) ShowSelectedRecipe(window);
      break;
    case IDC_SEARCH:
      if (code == EN_CHANGE) Search(window);
      break;
    case IDC_ABOUT:
      RunAboutBox(window);
      break;
    case IDC_HISTORY:
      if (code == CBN_SELCHANGE) {
        const uint32_t n = ListFromHistory(Item(window, IDC_HISTORY), Item(window, IDC_RECIPE_LIST), s.tree);
        SetItemTextFromString(window, IDC_LISTED, IDS_LISTED, static_cast<LPARAM>(n));
        SearchListReplaced();
        // The refilled list has no selection, so no memo command has a recipe to act on.
        EnableMemoButtons(window, false, false);
      }
      break;
    case IDC_EDITOR_OPEN:
      // The editor reloads the table the index points into.
      ForgetSearchIndex();
      RunCategoryEditor(window);
      PostMessageA(window, WMU_RELOAD, 0, 0);
      break;
    case IDC_QUIT:
      PostMessageA(window, WM_CLOSE, 0, 0);
      break;
    case IDM_LARGER:
      SetFontStep(window, +1);
      break;
    case IDM_SMALLER:
      SetFontStep(window, -1);
      break;
    case IDM_READ_MEMO:
      OpenMemo(window, MemoMode::Read);
      break;
    case IDM_NEW_MEMO:
      // A memo being created opens ready for typing.
      OpenMemo(window, MemoMode::Write);
      break;
    case IDM_CATEGORIES_TAB:
      ShowTab(window, kCategoriesTab);
      break;
    case IDM_EDITOR:
      ShowTab(window, kEditorTab);
      PostMessageA(window, WM_COMMAND, IDC_EDITOR_OPEN, 0);
      break;
    case IDM_RECIPES_TAB:
      ShowTab(window, kRecipesTab);
      break;
    case IDM_HELP:
      ShowHelpContents(window);
      break;
    case IDM_SEARCH:
      RunSearchCommand(window);
      break;
    default:
      if (const RecipeCommand* c = FindRecipeCommand(id)) OnSelectedRecipe(window, *c);
      // IDOK and IDCANCEL (Enter and Escape) land here too: they do not close the window.
      break;
  }
}

void OnClose(HWND window) {
  MainWindowState& s = State();
  // A job that is sending pages goes first: it may not outlive what it was started from.
  CancelPrintJob();
  if (!s.released) {
    s.released = true;
    SetFontStep(nullptr, 0);
    EmptyRecipeList(Item(window, IDC_RECIPE_LIST), 0);
    RemoveSearchKeys();
    ForgetSearchIndex();
    ReleaseCatalogue();
    // The dialog class is shared by every dialog of the process: give it its icon back
    // before this one goes.
    SetClassLongPtrA(window, GCLP_HICON, reinterpret_cast<LONG_PTR>(s.previousClassIcon));
    if (s.icon) DestroyIcon(s.icon);
    s.icon = nullptr;
  }
  EndDialog(window, 0);
}

void OnDestroy(HWND window) {
  OnClose(window);
  MainWindowState& s = State();
  // The tree control goes with the window; its nodes with it.
  s.tree.SetView(nullptr);
  s.treeView.reset();
  s.tree.Clear();
  s.window = nullptr;
}

void OnGetMinMaxInfo(MINMAXINFO* info) {
  info->ptMinTrackSize.x = MinTrackSize.width;
  info->ptMinTrackSize.y = MinTrackSize.height;
}

}  // namespace

bool ShowSelectedRecipe(HWND window) {
  RecipeEntry* entry = SelectedEntry(window);
  if (!entry) return false;
  MainWindowState& s = State();
  // The edit control lays a whole text out again on every change: only a new recipe pays it.
  if (entry != s.shown) {
    SetDlgItemTextA(window, IDC_RECIPE_TEXT, FetchRecipeText(entry));
    s.shown = entry;
  }
  ShowFirstSearchMatch(Item(window, IDC_RECIPE_TEXT));
  const bool hasMemo = ReadMemo(MemoStoreName, entry->recipeId, nullptr, nullptr) == 0;
  EnableMemoButtons(window, hasMemo, !hasMemo);
  return true;
}

INT_PTR CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // TRUE for every message handled here, so the dialog manager never acts on it as well
  // (WMU_LOAD is also DM_SETDEFID). WM_INITDIALOG's FALSE means the focus was set here.
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog(window);
      return FALSE;
    case WMU_LOAD:
      OnLoad(window);
      return TRUE;
    case WMU_LOADED:
      OnLoaded(window);
      return TRUE;
    case WMU_RELOAD:
      OnReload(window);
      return TRUE;
    case WM_NOTIFY:
      OnNotify(window, reinterpret_cast<NMHDR*>(lParam));
      SetWindowLongPtrA(window, DWLP_MSGRESULT, 0);
      return TRUE;
    case WM_COMMAND:
      OnCommand(window, LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_SIZE:
      LayoutControls(window, false);
      return TRUE;
    case WM_GETMINMAXINFO:
      OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam));
      return TRUE;
    case WM_CONTEXTMENU:
      return OnContextMenu(window, reinterpret_cast<HWND>(wParam), lParam) ? TRUE : FALSE;
    case WM_QUERYDRAGICON:
      return reinterpret_cast<INT_PTR>(State().icon);
    case WM_CLOSE:
      OnClose(window);
      return TRUE;
    case WM_DESTROY:
      OnDestroy(window);
      return TRUE;
    default:
      return FALSE;
  }
}

INT_PTR RunMainWindow(HINSTANCE instance) {
  return DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainWindowProc, 0);
}

CategoryTree& MainCategoryTree() { return State().tree; }

void SetBeepForTests(BeepFunction beep) { g_beep = beep; }

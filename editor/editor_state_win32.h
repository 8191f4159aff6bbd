// What the one category editor keeps between messages. The dialog is modal, so the process
// has at most one editor; its state lives here, shared by the dialog procedure
// (category_editor_win32.cpp) and the mouse work (drag_drop_win32.cpp).
#ifndef SAUCELINS_EDITOR_EDITOR_STATE_WIN32_H
#define SAUCELINS_EDITOR_EDITOR_STATE_WIN32_H

#include <windows.h>

#include <memory>

#include "categories/category_tree.h"
#include "categories/tree_view_win32.h"
#include "editor/category_edits.h"
#include "platform/unique_handle_win32.h"
#include "platform/wait_cursor_win32.h"

// Posted by the editor to itself when the user cancelled naming a category just created: the
// tree control is still busy with the item when it reports the end of the edit, so the node
// goes once that report is over.
constexpr UINT kMsgDropUnnamed = WM_APP + 1;
// Posted by the editor to itself when it refused an edited label: once the edit is over, the
// user is told why and edits the label again, starting from what he typed.
constexpr UINT kMsgRetryLabel = WM_APP + 2;

enum class DragState { None, Category, Recipes };

typedef BOOL(WINAPI* EditorBeepFunction)(UINT type);

struct EditorState {
  HWND dialog = nullptr;
  // The editor's own categories: the catalogue is loaded into them while the editor is open.
  // The nodes outlive the dialog until the next opening, since the recipe table still names
  // them until the main window reloads it.
  CategoryTree tree;
  std::unique_ptr<TreeViewHolder> view;

  bool modified = false;  // changed since loaded or last saved: closing asks
  bool loaded = false;    // the whole catalogue was loaded, so a save cannot lose recipes
  bool savedOnce = false;  // a save of this opening succeeded: the backup is kept from now on
  DragState drag = DragState::None;
  CategoryNode dropHighlight = nullptr;  // label framed in grey
  CategoryNode contextNode = nullptr;    // what commands 40001 to 40003 act on
  int contextItem = -1;                  // list item that commands 40004 and 40005 act on
  char savedLabel[kSavedLabelSize] = {};  // label of the node being edited, as it was
  HWND labelEdit = nullptr;              // the tree's label edit control, while subclassed
  WNDPROC labelEditProc = nullptr;       // and its own procedure
  CategoryNode unnamed = nullptr;        // a new category whose naming was cancelled
  CategoryNode retryNode = nullptr;      // a category whose edited label was refused
  LabelRefusal retryRefusal = LabelRefusal::None;  // and why
  char retryText[kSavedLabelSize] = {};  // and the text refused

  // Cursors: the normal one recorded at the first opening, the two drag cursors loaded then.
  bool cursorsReady = false;
  HCURSOR normalCursor = nullptr;
  UniqueCursor dropCursor;
  UniqueCursor noDropCursor;

  EditorBeepFunction beep = MessageBeep;
};

EditorState& Editor();

// The selected category's own recipes into the list, the count into the status line, the
// grey frame onto the selected label.
void ShowCategoryRecipes(HWND dialog);
// The status line for `count` recipes.
void ShowRecipeCount(HWND dialog, uint32_t count);
// Forgets every reference the editor holds to `node` or to a node below it, before that
// subtree is deleted.
void ForgetSubtree(HWND dialog, CategoryNode node);

#endif

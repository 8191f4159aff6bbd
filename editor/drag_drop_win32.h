// Re-filing with the mouse in the category editor: dragging recipes from the list, or a
// category of the tree, onto a category; the grey frame on the category under the cursor; the
// two context menus and the list's commands.
//
// While a drag is under way the editor holds the mouse capture, so every mouse message of the
// drag reaches the dialog, with a point in the dialog's client coordinates.
#ifndef SAUCELINS_EDITOR_DRAG_DROP_WIN32_H
#define SAUCELINS_EDITOR_DRAG_DROP_WIN32_H

#include <windows.h>
#include <commctrl.h>

#include "categories/category_tree.h"

// Start of a drag, from the tree's or the list's own drag notification.
void BeginCategoryDrag(HWND dialog, HTREEITEM item);
void BeginRecipeDrag(HWND dialog);
// WM_MOUSEMOVE, WM_LBUTTONUP and WM_RBUTTONDOWN of the dialog; `point` in its client area.
void OnDragMouseMove(HWND dialog, POINT point);
void OnDragDrop(HWND dialog, POINT point);
void CancelDrag(HWND dialog);
// WM_CAPTURECHANGED: another window took the mouse, the drag ends without a drop.
void OnDragCaptureLost(HWND dialog, HWND newCapture);

// What a drop onto `target` does: the tree's selected category becomes a child of the
// target, or the list's selected recipes are filed under it.
void MoveCategory(HWND dialog, CategoryNode target);
void MoveRecipes(HWND dialog, CategoryNode target);

// Frames `node`'s label in grey (null: no frame), erasing the frame it had before.
void SetDropHighlight(HWND dialog, CategoryNode node);
// NM_CUSTOMDRAW of the tree: the frame is drawn again whenever the control repaints the label.
LRESULT OnTreeCustomDraw(HWND dialog, const NMTVCUSTOMDRAW* draw);

// NM_RCLICK on the tree or the list: the context menu of what lies under the cursor.
void ShowTreeMenu(HWND dialog);
void ShowListMenu(HWND dialog);
// Commands 40004 and 40005 on the list item the menu was opened on.
void ShowContextRecipe(HWND dialog);
void EditContextMemo(HWND dialog);

#endif

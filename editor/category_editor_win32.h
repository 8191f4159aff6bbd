// The category editor: a modal dialog (template IDD_EDITOR) in which the user creates,
// renames, deletes and moves categories, re-files recipes by dragging them, and saves the
// result into the index file. It loads the catalogue a second time, into its own tree, so the
// main window must reload its own once the editor has closed.
#ifndef SAUCELINS_EDITOR_CATEGORY_EDITOR_WIN32_H
#define SAUCELINS_EDITOR_CATEGORY_EDITOR_WIN32_H

#include <windows.h>

#include "categories/category_tree.h"

// Dialog procedure of template IDD_EDITOR.
INT_PTR CALLBACK CategoryEditorProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Runs the editor modally over `owner`; returns 0 once it is closed.
INT_PTR RunCategoryEditor(HWND owner);

// The commands on categories. A null node stands for the tree's selection.
void NewCategory(HWND dialog, CategoryNode parent);
void RenameCategory(HWND dialog, CategoryNode node);
void DeleteCategory(HWND dialog, CategoryNode node, bool confirm);
// The end of a label edit: `text` is what the user typed, null when the edit was cancelled.
void FinishLabelEdit(HWND dialog, CategoryNode node, const char* text);

// Tests listen to the editor's beeps through this (null restores MessageBeep).
void SetEditorBeepForTests(BOOL(WINAPI* beep)(UINT type));

#endif

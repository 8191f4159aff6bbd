// The main window: a dialog (template 101) with three tabs over the category tree, the
// category history and the recipe list, the recipe text, a toolbar and the search field.
// There is one main window per process; it loads the catalogue once it is on screen.
#ifndef SAUCELINS_APP_MAIN_WINDOW_WIN32_H
#define SAUCELINS_APP_MAIN_WINDOW_WIN32_H

#include <windows.h>

#include "categories/category_tree.h"

// Dialog procedure of template IDD_MAIN. Also usable for a modeless main window
// (CreateDialogParamA), as the tests and the benchmark do.
INT_PTR CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Runs the main window modally until the user quits or the catalogue cannot be loaded.
INT_PTR RunMainWindow(HINSTANCE instance);

// The category tree shown by control 1019.
CategoryTree& MainCategoryTree();

// The text pane shows the selected recipe: its text, and exactly one of the two memo buttons
// enabled. False when the list has no selected recipe.
bool ShowSelectedRecipe(HWND window);

// Tests watch the beeps of the search field through this (null restores MessageBeep).
typedef BOOL(WINAPI* BeepFunction)(UINT type);
void SetBeepForTests(BeepFunction beep);

#endif

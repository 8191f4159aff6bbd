// What the main window does with one recipe besides showing it: preview it, print it, copy it
// to the clipboard, save it as a text file, each with its memo when the user asked for it; and
// the recipe list's context menu that offers these for the recipe clicked.
#ifndef SAUCELINS_APP_RECIPE_COMMANDS_WIN32_H
#define SAUCELINS_APP_RECIPE_COMMANDS_WIN32_H

#include <windows.h>

#include <string>

#include "catalogue/recipe_table.h"

// The option "with the memo": whether the memo goes after the recipe's text on paper, on the
// clipboard and in a saved file. Kept while the program runs.
bool RecipeWithMemo();
void SetRecipeWithMemo(bool withMemo);

// The text that leaves the program for `entry`: its text as the pane shows it (the read-error
// text when it cannot be read), and its memo under its heading when the option is on.
std::string RecipeTextToExport(const RecipeEntry* entry, bool withMemo);

// Each command acts on `entry` and reports its own failures in a message box over `window`,
// whose text pane (IDC_RECIPE_TEXT) gives the printing font.
void PreviewRecipeCommand(HWND window, const RecipeEntry* entry);
void PrintRecipeCommand(HWND window, const RecipeEntry* entry);
void CopyRecipeCommand(HWND window, const RecipeEntry* entry);
void SaveRecipeAsCommand(HWND window, const RecipeEntry* entry);

// Shows the recipe menu for the line of `list` under `screenPoint` (from WM_CONTEXTMENU; -1, -1
// for the keyboard, then the selected line). Returns the command chosen, 0 for none, and the
// line it is for in *line. The option item is handled here.
int TrackRecipeMenu(HWND window, HWND list, LPARAM screenPoint, int* line);

// Tests: the save dialog is skipped and the recipe saved under this name (null to stop).
void SetSaveNameForTesting(const char* path);

#endif

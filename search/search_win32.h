// The main window's search inside recipes: the command (toolbar, Ctrl+F, F3), its dialog, the
// recipe list filled with what was found, and the index kept in step with the catalogue.
#ifndef SAUCELINS_SEARCH_SEARCH_WIN32_H
#define SAUCELINS_SEARCH_SEARCH_WIN32_H

#include <windows.h>

#include <cstdint>
#include <string>

#include "search/search_index.h"

// The search command: builds the index when the catalogue has none yet (with the gauge for a
// large one), asks for the words in the search dialog and fills the recipe list of `window`
// with what was found, best first, showing the first recipe.
void RunSearchCommand(HWND window);

// Runs a search and puts its result in the recipe list, label 1013 and the text pane, as the
// dialog's OK does. Returns how many recipes were found; with none, the list is left alone.
uint32_t ShowSearchResults(HWND window, const std::string& text, unsigned scope);

// The recipe table is about to go (the category editor opens, or the catalogue is reloaded):
// the index is dropped and made again at the next search. Memos are read again with it.
void ForgetSearchIndex();
// The memo of recipe `id` was written: its words are read again from the store.
void NoteMemoChanged(uint32_t id);
// The recipe list now shows something else than search results.
void SearchListReplaced();
// The text pane shows the selected recipe: when the list shows search results, the first match
// in it is selected and scrolled to.
void ShowFirstSearchMatch(HWND textPane);

// Ctrl+F and F3 anywhere in `window` run the search command, from inside the dialog manager's
// own message loop. Removed by RemoveSearchKeys (or by the next install).
void InstallSearchKeys(HWND window);
void RemoveSearchKeys();

// The index the main window searches; for the tests and the benchmark.
search::SearchIndex& MainSearchIndex();
bool MainSearchIndexBuilt();

// The search dialog (template IDD_SEARCH) alone: `state` in, the words and places chosen out.
struct SearchDialogState {
  std::string text;
  unsigned scope = search::kInEverything;
  HWND owner = nullptr;  // the main window, whose list receives the result
};
INT_PTR CALLBACK SearchDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

#endif

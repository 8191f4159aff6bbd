// Choosing a category in the main window: the history of recent categories (a drop-down
// list whose entries carry their CategoryNode) and filling the recipe list from the tree or
// from the history.
#ifndef SAUCELINS_CATEGORIES_HISTORY_WIN32_H
#define SAUCELINS_CATEGORIES_HISTORY_WIN32_H

#include <windows.h>

#include <cstdint>

#include "catalogue/recipe_table.h"
#include "categories/category_tree.h"

// The two operations through which ListFromTree reaches the list. `expected` is the number of
// entries about to be added, so that the list can size its storage once.
typedef void (*EmptyListOp)(HWND list, uint32_t expected);
// Returns false when the list could not take the entry (the entry is counted anyway).
typedef bool (*AddEntryOp)(HWND list, RecipeEntry* entry);

// The list-box pair every fill of the recipe list goes through: empty (and pre-size) the list,
// append a title. The list box holds the titles only; the entry of each line is kept here, in
// step with the lines, and read with RecipeOfLine.
void EmptyRecipeList(HWND list, uint32_t expected);
bool AppendRecipe(HWND list, RecipeEntry* entry);
// The recipe of line `line` (counted from 0) of a list filled through the two above; null for
// a line it does not have.
RecipeEntry* RecipeOfLine(HWND list, long line);
// True when the list holds what ListFromTree or ListFromHistory put in it, in table (title)
// order; emptying it with EmptyRecipeList forgets that, since whoever fills it next may list
// recipes in another order.
bool RecipeListInTitleOrder(HWND list);

// Puts the node's path at the top of the history, or selects the entry already made for that
// node. The history never holds more than 20 entries.
void RememberCategory(HWND history, CategoryTree& tree, CategoryNode node);

// Fills the list with the recipes of the history's chosen category (the root when nothing is
// chosen). The tree's selection is not touched. Returns how many were listed.
uint32_t ListFromHistory(HWND history, HWND list, CategoryTree& tree);

// Records the tree's selected category (or the root) in the history, then fills the list with
// its recipes through the two operations. Returns how many were listed.
uint32_t ListFromTree(CategoryTree& tree, HWND history, HWND list, EmptyListOp empty,
                      AddEntryOp add);

// Mode 0: the tree selects the history's category (the root when the history has no
// selection); returns the history's selected index when the tree already showed it, else
// whether the selection was made. Mode 1: the tree's category goes on top of the history;
// returns 1. Other modes do nothing and return 0.
int SyncTreeAndHistory(CategoryTree& tree, HWND history, int mode);

#endif

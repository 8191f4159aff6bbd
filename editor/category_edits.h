// What the category editor does to the tree and the recipe table, apart from any window: the
// verdict on an edited label, and moving a category that has no sub-category.
#ifndef SAUCELINS_EDITOR_CATEGORY_EDITS_H
#define SAUCELINS_EDITOR_CATEGORY_EDITS_H

#include <cstdint>

#include "categories/category_tree.h"

// Capacity of the editor's copy of a label taken when editing begins (127 characters).
constexpr int kSavedLabelSize = 128;

// A label the index file can carry: no "/" (it would come back as two levels on the next
// load) and no control character (a TAB would split the line's columns, a line break the
// line itself).
bool IsStorableLabel(const char* text);

// What ending a label edit does to the node.
enum class LabelEditOutcome {
  Apply,        // the node takes the edited text
  Restore,      // the node keeps (gets back) savedLabel
  DropUnnamed,  // the node was created by the user and never named: it goes again
};
struct LabelEditVerdict {
  LabelEditOutcome outcome;
  bool refused;  // the text was not storable: the user is warned, the edit counts as cancelled
};
// `text` is null when the edit was cancelled. A text of spaces only counts as empty: the
// index reader drops spaces at the end of a line's path, so such a label could not come back.
// savedLabel is the label the node had when editing began, empty for a node never named.
LabelEditVerdict JudgeLabelEdit(const char* text, const char* savedLabel);

// Gives the category `node`, which must have no sub-category, its place under `target`: a new
// node with the same label is inserted in alphabetical position among the target's children
// (collapsed), the recipes filed under `node` are filed under it, and `node` is deleted. The
// new node is created first, so that a failure leaves the tree and every recipe as they were.
// Returns the new node, or null when it could not be created.
CategoryNode MoveLeafCategory(CategoryTree& tree, CategoryNode node, CategoryNode target);

// Files under `to` every recipe of the table filed under exactly `from`. Returns how many.
uint32_t RefileRecipes(CategoryNode from, CategoryNode to);

#endif

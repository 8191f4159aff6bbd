// What the category editor does to the tree and the recipe table, apart from any window: the
// verdict on an edited label, moving a category with everything below it, and the categories
// a save cannot keep.
#ifndef SAUCELINS_EDITOR_CATEGORY_EDITS_H
#define SAUCELINS_EDITOR_CATEGORY_EDITS_H

#include <cstdint>
#include <vector>

#include "categories/category_tree.h"

// Capacity of the editor's copy of a label taken when editing begins (127 characters).
constexpr int kSavedLabelSize = 128;

// A label the index file can carry: no "/" (it would come back as two levels on the next
// load) and no control character (a TAB would split the line's columns, a line break the
// line itself).
bool IsStorableLabel(const char* text);

// The child of `parent` other than `except` that the next load would take for a category
// labelled `label`: the same first 63 characters, byte for byte. Null when there is none.
CategoryNode SiblingLabelled(const CategoryTree& tree, CategoryNode parent, const char* label,
                             CategoryNode except);

// What ending a label edit does to the node.
enum class LabelEditOutcome {
  Apply,        // the node takes the edited text
  Restore,      // the node keeps (gets back) savedLabel
  DropUnnamed,  // the node was created by the user and never named: it goes again
  Refuse,       // the text cannot be kept: the user is told why and edits it again
};
enum class LabelRefusal {
  None,
  NotStorable,     // a "/" or a control character
  TakenBySibling,  // the next load would merge the node with a sibling of that label
};
struct LabelEditVerdict {
  LabelEditOutcome outcome;
  LabelRefusal refusal;
};
// The verdict on the edit of `node`'s label. `text` is null when the edit was cancelled. A
// text of spaces only counts as empty: the index reader drops spaces at the end of a line's
// path, so such a label could not come back. savedLabel is the label the node had when
// editing began, empty for a node never named.
LabelEditVerdict JudgeLabelEdit(const CategoryTree& tree, CategoryNode node, const char* text,
                                const char* savedLabel);

// Whether dropping `node` onto `target` can move it there.
enum class CategoryMove {
  Allowed,
  Pointless,     // onto itself or onto its own parent: nothing to do
  IntoItself,    // onto one of its own sub-categories, or the root moved anywhere
  LabelTaken,    // the target already has a sub-category of that label
};
CategoryMove CheckCategoryMove(const CategoryTree& tree, CategoryNode node, CategoryNode target);

// Gives the category `node` its place under `target`, with its sub-categories and the recipes
// filed anywhere below it: a copy of the subtree is made under the target (its top in
// alphabetical position, collapsed; below it the same order and the same open branches), every
// recipe follows its category into the copy, and the old subtree is deleted. The copy is made
// first, so that a failure leaves the tree and every recipe as they were. Returns the new
// node, or null when the move is not allowed or the copy could not be made.
CategoryNode MoveCategoryTree(CategoryTree& tree, CategoryNode node, CategoryNode target);

// Files under `to` every recipe of the table filed under exactly `from`. Returns how many.
uint32_t RefileRecipes(CategoryNode from, CategoryNode to);

// The categories that a save drops, since the index stores only the paths of recipes: every
// category below the root with no recipe filed in it or below it, given by its topmost such
// node, in display order. Empty too when memory ran out.
std::vector<CategoryNode> CategoriesWithoutRecipes(const CategoryTree& tree);

#endif

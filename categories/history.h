// The portable half of choosing a category: which recipes a category lists, and how the
// history of recent categories compares its texts.
#ifndef SAUCELINS_CATEGORIES_HISTORY_H
#define SAUCELINS_CATEGORIES_HISTORY_H

#include <cstdint>
#include <vector>

#include "catalogue/recipe_table.h"
#include "categories/category_tree.h"

// The history keeps at most this many categories.
constexpr int kHistoryMax = 20;

// Appends to `out`, in table order, every recipe filed in `category` or below it (exactly the
// entries for which IsInCategory holds). Returns how many were appended.
uint32_t CollectRecipesIn(CategoryTree& tree, CategoryNode category,
                          std::vector<RecipeEntry*>& out);

// Whole-text equality without regard to letter case, for Windows-1252 texts: "É" matches
// "é" and "Œ" matches "œ", but nothing else is treated as equal (no accent folding, no
// ignored punctuation).
bool SameTextIgnoringCase(const char* a, const char* b);
unsigned char FoldCase1252(unsigned char c);

#endif

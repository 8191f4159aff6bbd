// Loading the whole catalogue and fetching one recipe's text.
#ifndef SAUCELINS_CATALOGUE_CATALOGUE_H
#define SAUCELINS_CATALOGUE_CATALOGUE_H

#include <cstdint>

#include "catalogue/recipe_table.h"

constexpr uint32_t kRecipeTextCap = 16384;
// The one buffer every fetch returns; valid until the next fetch.
extern char RecipeTextBuffer[kRecipeTextCap + 1];

// Size of "Gourmix.Idx" in bytes, 0 when it cannot be opened.
long IndexFileSize();

// Outcome of a load without any window: which message the user must see.
enum class LoadOutcome { Loaded, NoIndex /* string 20 */, Empty /* string 21 */ };
// Measures the index, runs the gauge, parses into `tree`, leaves the gauge range at the
// recipe count. `count` receives the number of recipes.
LoadOutcome LoadCatalogueCore(WindowRef owner, CategoryTree& tree, uint32_t* count);

// The recipe's text, or the open-error (26) or read-error (27) text in its place.
const char* FetchRecipeText(const RecipeEntry* entry);

#endif

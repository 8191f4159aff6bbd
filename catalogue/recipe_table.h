// The process-wide table of recipes and the index file "Gourmix.Idx" it is read from and
// written to.
#ifndef SAUCELINS_CATALOGUE_RECIPE_TABLE_H
#define SAUCELINS_CATALOGUE_RECIPE_TABLE_H

#include <cstdint>

#include "categories/category_tree.h"
#include "catalogue/gauge.h"

// One line of the index file.
struct RecipeEntry {
  char* title;             // held by the table until ReleaseCatalogue
  uint32_t recipeId;       // column 1; also the key of the recipe's memo
  const char* dataFile;    // kSharedDataFile, or a copy held by the table
  uint32_t extraUnsigned;  // column 3, kept and written back unchanged
  uint32_t textStart;      // column 4
  uint32_t textEnd;        // column 5, just past the text
  int32_t extraSigned;     // column 8, kept and written back unchanged
  CategoryNode category;   // column 6, a node of the tree the table was loaded into
};

extern const char kSharedDataFile[];  // "Gourmix.Dat"
extern const char kIndexFileName[];   // "Gourmix.Idx"
extern const char kIndexBackupName[]; // "Gourmix.Bak": the index the last save replaced
extern const char kIndexLockName[];   // "Gourmix.Idx.lck": held by a save while it runs

// Reads the index into the empty table, resolving categories in `tree`. Returns the number of
// entries (at least 1), or 0 on failure or when no line gave an entry (the table stays empty).
uint32_t LoadIndex(CategoryTree& tree);
// Rewrites the index from the table (paths from `tree`), with the gauge over gaugeParent.
// 1 on success, 0 on failure; a failed save leaves the previous index as it was. The index it
// replaces becomes the backup; the index on disk is replaced whatever it holds.
int SaveIndex(CategoryTree& tree, WindowRef gaugeParent);

// What a save does with the backup "Gourmix.Bak".
enum class IndexBackup {
  Refresh,  // the index being replaced becomes the backup
  Keep,     // the backup stays as it is: a later save of one editing session keeps the index
            // as it was before the session's first save
};
// Whether a save may replace an index that another program changed.
enum class IndexGuard {
  None,
  Unchanged,  // only the bytes this process last loaded or saved are replaced
};
struct SaveOptions {
  IndexBackup backup = IndexBackup::Refresh;
  IndexGuard guard = IndexGuard::None;
};
enum class SaveOutcome {
  Saved,
  Failed,          // a file could not be read or written (string 19)
  PathUnwritable,  // a category's path would not name it again on reading; nothing written
  ChangedOnDisk,   // the index is no longer what was loaded; nothing written
};
// SaveIndex with options. For PathUnwritable, *unwritable (when given) receives the category.
// In every outcome but Saved the index and the backup are as they were.
SaveOutcome SaveIndexWith(CategoryTree& tree, WindowRef gaugeParent, const SaveOptions& options,
                          CategoryNode* unwritable);
// True when the path written for `category` reads back as that category: whole within the 255
// characters the reader takes of a path (a closing "/" after a last label ending in a space
// counted), with no empty label, no "/" at either end of a label, no TAB and no line feed.
bool CategoryPathWritable(CategoryTree& tree, CategoryNode category);
// Told about every line LoadIndex leaves out: its number (from 1) and why, as a short tag:
// "comment" ('!' or '#' first), "blank" (empty line), "fields" (fewer than 8 columns) or "nul"
// (a NUL byte in the line). Comments and blank lines are normal in an index; the others are
// recipes lost. One observer for the process; null stops the reports.
typedef void (*IndexLineObserver)(void* context, uint32_t lineNumber, const char* reason);
void SetIndexLineObserver(IndexLineObserver observer, void* context);

// Frees every entry; the table is empty afterwards. Always 1.
int ReleaseCatalogue();
RecipeEntry* RecipeEntries();
uint32_t RecipeCount();
uint32_t RecipeCapacity();

// The recipe list's order: alphabetical as the category tree orders labels (accents and case
// weighed after the letters, the ligature as "oe"), then by bytes. The table is in this order
// outside a save; the index file keeps byte order inside each category.
int CompareByTitle(const void* a, const void* b);
int CompareByCategory(const void* a, const void* b);

#endif

// Reading every recipe's text for search, in the order of the recipe bases rather than the
// table's, so that each base is read from start to end in large blocks instead of one seek
// and one small read per recipe.
#ifndef SAUCELINS_SEARCH_RECIPE_TEXTS_H
#define SAUCELINS_SEARCH_RECIPE_TEXTS_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "catalogue/recipe_table.h"

namespace search {

// The order in which ForEachRecipeText visits entries[0..count): by recipe base, then by start.
std::vector<uint32_t> FileOrder(const RecipeEntry* entries, uint32_t count);

// Calls fn(entryIndex, text, length) for every entry, in FileOrder. The text is what the text
// pane shows: the slice cut at 16,384 bytes and at its first NUL. When the slice cannot be read
// whole (the pane then shows an error text instead), text is null and length 0.
// `progress(done)` is called after every 1,024 entries when given.
template <typename Fn, typename Progress>
void ForEachRecipeText(const RecipeEntry* entries, uint32_t count, Fn fn, Progress progress);

// One slice, read alone as above into *out; false when it cannot be read whole.
bool ReadRecipeText(const RecipeEntry& entry, std::vector<char>* out);

// ---- implementation ----

class SliceReader {
 public:
  SliceReader();
  ~SliceReader();
  SliceReader(const SliceReader&) = delete;
  SliceReader& operator=(const SliceReader&) = delete;
  // The text of entry, or null when it cannot be read whole; valid until the next call.
  const char* Text(const RecipeEntry& entry, size_t* length);

 private:
  void Switch(const char* file);
  const char* file_ = nullptr;  // the base open now, by name
  void* stream_ = nullptr;      // its FILE*
  long size_ = -1;              // its size, -1 when unknown
  std::vector<char> window_;
  uint32_t windowStart_ = 0;
  size_t windowLength_ = 0;
};

template <typename Fn, typename Progress>
void ForEachRecipeText(const RecipeEntry* entries, uint32_t count, Fn fn, Progress progress) {
  const std::vector<uint32_t> order = FileOrder(entries, count);
  SliceReader reader;
  for (uint32_t k = 0; k < count; ++k) {
    size_t length = 0;
    const char* text = reader.Text(entries[order[k]], &length);
    fn(order[k], text, length);
    if ((k & 1023) == 1023) progress(k + 1);
  }
}

}  // namespace search

#endif

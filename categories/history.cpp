#include "categories/history.h"

uint32_t CollectRecipesIn(CategoryTree& tree, CategoryNode category,
                          std::vector<RecipeEntry*>& out) {
  RecipeEntry* entries = RecipeEntries();
  const uint32_t count = RecipeCount();
  uint32_t found = 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (IsInCategory(tree, category, entries[i].category)) {
      out.push_back(&entries[i]);
      ++found;
    }
  }
  return found;
}

unsigned char FoldCase1252(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
  // Latin-1 capitals A-grave .. THORN, except the multiplication sign.
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
  switch (c) {
    case 0x8A: return 0x9A;  // S caron
    case 0x8C: return 0x9C;  // OE ligature
    case 0x8E: return 0x9E;  // Z caron
    case 0x9F: return 0xFF;  // Y diaeresis
    default: return c;
  }
}

bool SameTextIgnoringCase(const char* a, const char* b) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(a);
  const unsigned char* q = reinterpret_cast<const unsigned char*>(b);
  for (;; ++p, ++q) {
    if (FoldCase1252(*p) != FoldCase1252(*q)) return false;
    if (*p == 0) return true;
  }
}

#include "editor/category_edits.h"

#include "catalogue/recipe_table.h"

bool IsStorableLabel(const char* text) {
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p)
    if (*p == '/' || *p < 32 || *p == 127) return false;
  return true;
}

namespace {

bool IsBlank(const char* text) {
  for (const char* p = text; *p; ++p)
    if (*p != ' ') return false;
  return true;
}

}  // namespace

LabelEditVerdict JudgeLabelEdit(const char* text, const char* savedLabel) {
  LabelEditVerdict v = {LabelEditOutcome::Apply, false};
  if (text && !IsBlank(text)) {
    if (IsStorableLabel(text)) return v;
    v.refused = true;
  }
  const bool named = savedLabel && savedLabel[0] != '\0';
  v.outcome = named ? LabelEditOutcome::Restore : LabelEditOutcome::DropUnnamed;
  return v;
}

uint32_t RefileRecipes(CategoryNode from, CategoryNode to) {
  RecipeEntry* entries = RecipeEntries();
  const uint32_t count = RecipeCount();
  uint32_t moved = 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (entries[i].category == from) {
      entries[i].category = to;
      ++moved;
    }
  }
  return moved;
}

CategoryNode MoveLeafCategory(CategoryTree& tree, CategoryNode node, CategoryNode target) {
  if (!node || !target || target == node || tree.FirstChild(node)) return nullptr;
  char label[kSavedLabelSize];
  CategoryLabel(tree, node, label, sizeof label);
  CategoryNode moved = InsertCategory(tree, target, label, 0);
  if (!moved) return nullptr;
  RefileRecipes(node, moved);
  tree.Delete(node);
  return moved;
}

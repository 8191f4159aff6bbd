#include "editor/category_edits.h"

#include <cstring>
#include <new>
#include <unordered_set>

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

// The length of the label as the tree keeps it and the next load compares it: its first 63
// characters.
size_t StoredLength(const char* label) {
  size_t n = 0;
  while (n < kCategoryLabelMax && label[n] != '\0') ++n;
  return n;
}

bool Below(const CategoryTree& tree, CategoryNode ancestor, CategoryNode node) {
  for (CategoryNode n = node; n; n = tree.Parent(n))
    if (n == ancestor) return true;
  return false;
}

// The node of the copy `copyTop` (of the subtree `top`) that stands where `node` stands.
CategoryNode Counterpart(const CategoryTree& tree, CategoryNode top, CategoryNode copyTop,
                         CategoryNode node) {
  if (node == top) return copyTop;
  CategoryNode parent = Counterpart(tree, top, copyTop, tree.Parent(node));
  CategoryNode c = tree.FirstChild(parent);
  for (CategoryNode n = tree.FirstChild(tree.Parent(node)); n != node; n = tree.NextSibling(n))
    c = tree.NextSibling(c);
  return c;
}

// Copies the subtree below `from` under `to`, child for child in the same order. False when a
// node could not be made; what was made stays, under `to`.
bool CopyChildren(CategoryTree& tree, CategoryNode from, CategoryNode to) {
  CategoryNode s = from, d = to;
  for (;;) {
    CategoryNode child = tree.FirstChild(s);
    if (child) {
      d = tree.Insert(d, tree.Label(child), InsertAt::Last, tree.IsExpanded(child));
      if (!d) return false;
      s = child;
      continue;
    }
    while (s != from && !tree.NextSibling(s)) {
      s = tree.Parent(s);
      d = tree.Parent(d);
    }
    if (s == from) return true;
    s = tree.NextSibling(s);
    d = tree.Insert(tree.Parent(d), tree.Label(s), InsertAt::Last, tree.IsExpanded(s));
    if (!d) return false;
  }
}

}  // namespace

CategoryNode SiblingLabelled(const CategoryTree& tree, CategoryNode parent, const char* label,
                             CategoryNode except) {
  if (!parent || !label) return nullptr;
  // Spaces count: the index keeps a label's last space (the save protects it), so "Tartes " and
  // "Tartes" come back as two categories.
  const size_t len = StoredLength(label);
  for (CategoryNode c = tree.FirstChild(parent); c; c = tree.NextSibling(c)) {
    if (c == except) continue;
    const char* other = tree.Label(c);
    if (StoredLength(other) == len && std::memcmp(other, label, len) == 0) return c;
  }
  return nullptr;
}

LabelEditVerdict JudgeLabelEdit(const CategoryTree& tree, CategoryNode node, const char* text,
                                const char* savedLabel) {
  if (text && !IsBlank(text)) {
    if (!IsStorableLabel(text)) return {LabelEditOutcome::Refuse, LabelRefusal::NotStorable};
    if (node && SiblingLabelled(tree, tree.Parent(node), text, node))
      return {LabelEditOutcome::Refuse, LabelRefusal::TakenBySibling};
    return {LabelEditOutcome::Apply, LabelRefusal::None};
  }
  const bool named = savedLabel && savedLabel[0] != '\0';
  return {named ? LabelEditOutcome::Restore : LabelEditOutcome::DropUnnamed, LabelRefusal::None};
}

CategoryMove CheckCategoryMove(const CategoryTree& tree, CategoryNode node, CategoryNode target) {
  if (!node || !target || target == node || target == tree.Parent(node)) return CategoryMove::Pointless;
  if (!tree.Parent(node) || Below(tree, node, target)) return CategoryMove::IntoItself;
  if (SiblingLabelled(tree, target, tree.Label(node), nullptr)) return CategoryMove::LabelTaken;
  return CategoryMove::Allowed;
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

CategoryNode MoveCategoryTree(CategoryTree& tree, CategoryNode node, CategoryNode target) {
  if (CheckCategoryMove(tree, node, target) != CategoryMove::Allowed) return nullptr;
  CategoryNode moved = InsertCategory(tree, target, tree.Label(node), 0);
  if (!moved) return nullptr;
  if (!CopyChildren(tree, node, moved)) {
    tree.Delete(moved);
    return nullptr;
  }
  // Nothing below can fail: the recipes follow their categories, then the old ones go.
  RecipeEntry* entries = RecipeEntries();
  const uint32_t count = RecipeCount();
  for (uint32_t i = 0; i < count; ++i)
    if (Below(tree, node, entries[i].category))
      entries[i].category = Counterpart(tree, node, moved, entries[i].category);
  tree.Delete(node);
  return moved;
}

std::vector<CategoryNode> CategoriesWithoutRecipes(const CategoryTree& tree) try {
  // Every category that holds a recipe, itself or below it.
  std::unordered_set<CategoryNode> used;
  const RecipeEntry* entries = RecipeEntries();
  const uint32_t count = RecipeCount();
  for (uint32_t i = 0; i < count; ++i)
    for (CategoryNode n = entries[i].category; n && used.insert(n).second;) n = tree.Parent(n);

  std::vector<CategoryNode> empty;
  CategoryNode root = tree.Root();
  if (!root) return empty;
  // Depth first, in display order, not going below a category found empty.
  CategoryNode n = tree.FirstChild(root);
  while (n) {
    CategoryNode next = nullptr;
    if (used.count(n)) {
      next = tree.FirstChild(n);
    } else {
      empty.push_back(n);
    }
    if (!next) {
      for (CategoryNode up = n; up && up != root; up = tree.Parent(up)) {
        next = tree.NextSibling(up);
        if (next) break;
      }
    }
    n = next;
  }
  return empty;
} catch (const std::bad_alloc&) {
  return {};
}

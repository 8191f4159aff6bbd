#include "categories/category_tree.h"

#include <cstring>
#include <new>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "catalogue/recipe_table.h"
#include "categories/label_order.h"
#include "platform/fileio.h"
#include "resources/strings.h"

// A node of the model. Its memory and its label come from the file layer's allocator, so tests
// can make any node creation fail.
struct CategoryNodeRec {
  const CategoryTree* owner;
  CategoryNodeRec* parent;  // the tree's holder of top-level nodes for a top-level node
  CategoryNodeRec* prev;
  CategoryNodeRec* next;
  std::vector<CategoryNodeRec*> children;  // in sibling order
  char* label;
  size_t labelLen;
  uint8_t* key;  // LabelSortKey of the label
  size_t keyLen;
  bool expanded;
  // The children are in sorted order, so a sorted insertion may search them by halves. Appended
  // and renamed nodes can break the order; the control then still inserts before the first
  // sibling that sorts after the new one, which a plain scan finds.
  bool ordered;
};

namespace {

typedef CategoryNodeRec Node;

constexpr int kRootStringId = 9;

PathCacheSlot g_pathCache[kPathCacheSlots];
size_t g_pathCacheLen[kPathCacheSlots];  // strlen of each slot's label
PathLookupStats g_pathStats;
char g_pathBuffer[256];

// Children by label, for every parent of one tree: the lookup of one path segment must not
// depend on how many siblings there are.
struct ChildKey {
  const Node* parent;
  std::string_view label;  // the label of `first` below
  bool operator==(const ChildKey& o) const { return parent == o.parent && label == o.label; }
};
struct ChildKeyHash {
  size_t operator()(const ChildKey& k) const {
    return std::hash<std::string_view>()(k.label) ^
           (reinterpret_cast<uintptr_t>(k.parent) * static_cast<size_t>(0x9e3779b97f4a7c15ULL));
  }
};
// Siblings may share a label (the editor allows it); the first in sibling order answers.
struct ChildEntry {
  Node* first;
  size_t count;
};
typedef std::unordered_map<ChildKey, ChildEntry, ChildKeyHash> ChildIndex;

size_t CutLength(const char* label) {
  size_t n = 0;
  while (n < kCategoryLabelMax && label[n] != '\0') ++n;
  return n;
}

// Sibling order: the platform's order, and between labels it finds equal ("Boeuf" and the
// same word with the ligature, or two equal labels) the order of their bytes, so that the
// order does not depend on the order of the index lines. Equal labels keep their arrival order.
int CompareSiblings(const Node* a, const Node* b) {
  const int c = CompareLabelKeys(a->key, a->keyLen, b->key, b->keyLen);
  if (c != 0) return c;
  const size_t n = a->labelLen < b->labelLen ? a->labelLen : b->labelLen;
  const int d = std::memcmp(a->label, b->label, n);
  if (d != 0) return d;
  return a->labelLen < b->labelLen ? -1 : (a->labelLen > b->labelLen ? 1 : 0);
}

// True when a comes before b among their siblings.
bool Precedes(const Node* a, const Node* b) {
  for (const Node* n = a->next; n; n = n->next)
    if (n == b) return true;
  return false;
}

void EmptySlot(int d) {
  g_pathCache[d].node = nullptr;
  g_pathCache[d].label[0] = '\0';
  g_pathCacheLen[d] = 0;
}

void ForgetCached(const Node* node) {
  for (int d = 0; d < kPathCacheSlots; ++d)
    if (g_pathCache[d].node == node) EmptySlot(d);
}

void EmptyPathCache() {
  for (int d = 0; d < kPathCacheSlots; ++d) EmptySlot(d);
}

// The label and key a node gets for `label`, from the file layer's allocator.
bool MakeLabel(const char* label, char** text, size_t* textLen, uint8_t** key, size_t* keyLen) {
  const size_t len = CutLength(label);
  uint8_t buf[LabelSortKeyCapacity(kCategoryLabelMax)];
  const size_t klen = LabelSortKey(label, len, buf);
  char* t = static_cast<char*>(fileio::Malloc(len + 1));
  if (!t) return false;
  uint8_t* k = static_cast<uint8_t*>(fileio::Malloc(klen));
  if (!k) {
    fileio::Free(t);
    return false;
  }
  std::memcpy(t, label, len);
  t[len] = '\0';
  std::memcpy(k, buf, klen);
  *text = t;
  *textLen = len;
  *key = k;
  *keyLen = klen;
  return true;
}

void FreeNode(Node* node) {
  fileio::Free(node->label);
  fileio::Free(node->key);
  node->~Node();
  fileio::Free(node);
}

}  // namespace

struct CategoryTree::Impl {
  explicit Impl(const CategoryTree* self) {
    top.owner = self;
    top.parent = top.prev = top.next = nullptr;
    top.label = nullptr;
    top.labelLen = 0;
    top.key = nullptr;
    top.keyLen = 0;
    top.expanded = true;
    top.ordered = true;
  }

  Node top;  // holds the top-level nodes; never handed out
  size_t count = 0;
  Node* selected = nullptr;
  CategoryTreeView* view = nullptr;
  std::function<void(CategoryNode)> listener;
  ChildIndex byLabel;

  Node* Holder(CategoryNode parent) { return parent ? parent : &top; }

  // Where the control would put `node` among the children of `parent`.
  size_t Position(const Node* parent, const Node* node, InsertAt where) const {
    const std::vector<Node*>& kids = parent->children;
    if (where == InsertAt::Last) return kids.size();
    if (parent->ordered) {
      size_t lo = 0, hi = kids.size();
      while (lo < hi) {
        const size_t mid = lo + (hi - lo) / 2;
        if (CompareSiblings(node, kids[mid]) < 0)
          hi = mid;
        else
          lo = mid + 1;
      }
      return lo;
    }
    for (size_t i = 0; i < kids.size(); ++i)
      if (CompareSiblings(node, kids[i]) < 0) return i;
    return kids.size();
  }

  // Files the node under the parent's index by label. False when memory ran out.
  bool Index(Node* node) {
    try {
      auto it = byLabel.find(ChildKey{node->parent, std::string_view(node->label, node->labelLen)});
      if (it == byLabel.end()) {
        byLabel.emplace(ChildKey{node->parent, std::string_view(node->label, node->labelLen)},
                        ChildEntry{node, 1});
        return true;
      }
      ++it->second.count;
      if (Precedes(node, it->second.first)) Rekey(it, node);
      return true;
    } catch (const std::bad_alloc&) {
      return false;
    }
  }

  // The entry's key points into its first node's label, so it moves with the first node.
  void Rekey(ChildIndex::iterator it, Node* first) {
    auto handle = byLabel.extract(it);
    handle.key().label = std::string_view(first->label, first->labelLen);
    handle.mapped().first = first;
    try {
      byLabel.insert(std::move(handle));  // it just shrank by one, so it should not grow
    } catch (const std::bad_alloc&) {
      // The label's nodes can no longer be found by it; a later path then makes a new one.
    }
  }

  void Unindex(Node* node) {
    auto it = byLabel.find(ChildKey{node->parent, std::string_view(node->label, node->labelLen)});
    if (it == byLabel.end()) return;
    if (--it->second.count == 0) {
      byLabel.erase(it);
      return;
    }
    if (it->second.first != node) return;
    for (Node* n = node->parent->children.front(); n; n = n->next) {
      if (n != node && n->labelLen == node->labelLen &&
          std::memcmp(n->label, node->label, node->labelLen) == 0) {
        Rekey(it, n);
        return;
      }
    }
  }

  // Puts the node at position i among the parent's children. False when memory ran out.
  bool Link(Node* parent, Node* node, size_t i) {
    std::vector<Node*>& kids = parent->children;
    try {
      kids.insert(kids.begin() + static_cast<std::ptrdiff_t>(i), node);
    } catch (const std::bad_alloc&) {
      return false;
    }
    node->parent = parent;
    node->prev = i > 0 ? kids[i - 1] : nullptr;
    node->next = i + 1 < kids.size() ? kids[i + 1] : nullptr;
    if (node->prev) node->prev->next = node;
    if (node->next) node->next->prev = node;
    if (!Index(node)) {
      Unlink(node, false);
      return false;
    }
    if (parent->ordered && ((node->prev && CompareSiblings(node->prev, node) > 0) ||
                            (node->next && CompareSiblings(node, node->next) > 0)))
      parent->ordered = false;
    return true;
  }

  void Unlink(Node* node, bool indexed) {
    if (indexed) Unindex(node);
    std::vector<Node*>& kids = node->parent->children;
    for (size_t i = 0; i < kids.size(); ++i) {
      if (kids[i] == node) {
        kids.erase(kids.begin() + static_cast<std::ptrdiff_t>(i));
        break;
      }
    }
    if (node->prev) node->prev->next = node->next;
    if (node->next) node->next->prev = node->prev;
    node->prev = node->next = nullptr;
    if (kids.empty()) node->parent->ordered = true;
  }

  // Frees the node and its subtree; the node is no longer linked into the tree. Walks the tree
  // itself rather than a list or the stack, since a path may nest deeper than either allows.
  void Free(Node* node, bool unindex) {
    Node* n = node;
    for (;;) {
      while (!n->children.empty()) n = n->children.back();
      const bool done = n == node;
      Node* up = n->parent;
      if (!done) {
        if (unindex) Unindex(n);
        up->children.pop_back();
        if (!up->children.empty()) up->children.back()->next = nullptr;
      }
      ForgetCached(n);
      FreeNode(n);
      --count;
      if (done) return;
      n = up;
    }
  }

  // The selection the control moves to when the selected node or one of its ancestors is
  // deleted: the next sibling, else the parent (not at the top level), else the previous one.
  Node* SelectionAfterDeleting(const Node* node) const {
    if (node->next) return node->next;
    if (node->parent != &top) return node->parent;
    return node->prev;
  }

  bool Contains(const Node* ancestor, const Node* node) const {
    for (const Node* n = node; n && n != &top; n = n->parent)
      if (n == ancestor) return true;
    return false;
  }

  // Selecting a node shows it: the control opens every collapsed ancestor.
  void RevealAncestors(Node* node) {
    for (Node* p = node ? node->parent : nullptr; p && p != &top; p = p->parent) p->expanded = true;
  }

  void Notify(Node* previous) {
    if (!view && listener && selected != previous) listener(selected);
  }
};

CategoryTree::CategoryTree() : impl_(new Impl(this)) {}

CategoryTree::~CategoryTree() {
  // The window that showed the tree may be gone already: the view is not told.
  impl_->view = nullptr;
  impl_->byLabel.clear();
  for (Node* n : impl_->top.children) impl_->Free(n, false);
  delete impl_;
}

void CategoryTree::SetView(CategoryTreeView* view) { impl_->view = view; }
CategoryTreeView* CategoryTree::View() const { return impl_->view; }
void CategoryTree::SetSelectionListener(std::function<void(CategoryNode)> listener) {
  impl_->listener = std::move(listener);
}

size_t CategoryTree::NodeCount() const { return impl_->count; }

CategoryNode CategoryTree::Root() const {
  return impl_->top.children.empty() ? nullptr : impl_->top.children.front();
}

CategoryNode CategoryTree::Parent(CategoryNode node) const {
  if (!node || node->parent == &impl_->top) return nullptr;
  return node->parent;
}

CategoryNode CategoryTree::FirstChild(CategoryNode node) const {
  if (!node || node->children.empty()) return nullptr;
  return node->children.front();
}

CategoryNode CategoryTree::NextSibling(CategoryNode node) const { return node ? node->next : nullptr; }
CategoryNode CategoryTree::PrevSibling(CategoryNode node) const { return node ? node->prev : nullptr; }
bool CategoryTree::IsExpanded(CategoryNode node) const { return node && node->expanded; }

void CategoryTree::SetExpanded(CategoryNode node, bool expanded) {
  if (node) node->expanded = expanded;
}

const char* CategoryTree::Label(CategoryNode node) const { return node ? node->label : ""; }

CategoryNode CategoryTree::FindChild(CategoryNode parent, const char* label, size_t len) const {
  const Node* holder = parent ? parent : &impl_->top;
  auto it = impl_->byLabel.find(ChildKey{holder, std::string_view(label, len)});
  return it == impl_->byLabel.end() ? nullptr : it->second.first;
}

CategoryNode CategoryTree::Selected() const { return impl_->selected; }

void CategoryTree::NoteSelection(CategoryNode node) { impl_->selected = node; }

CategoryNode CategoryTree::Insert(CategoryNode parent, const char* label, InsertAt where,
                                  bool expanded) {
  Node* holder = impl_->Holder(parent);
  void* mem = fileio::Malloc(sizeof(Node));
  if (!mem) return nullptr;
  Node* node = new (mem) Node();
  node->owner = this;
  node->parent = holder;
  node->expanded = expanded;
  node->ordered = true;
  if (!MakeLabel(label ? label : "", &node->label, &node->labelLen, &node->key, &node->keyLen)) {
    node->~Node();
    fileio::Free(mem);
    return nullptr;
  }
  const size_t at = impl_->Position(holder, node, where);
  if (!impl_->Link(holder, node, at)) {
    FreeNode(node);
    return nullptr;
  }
  ++impl_->count;
  if (impl_->view && !impl_->view->OnInsert(node, parent, node->prev, expanded)) {
    impl_->Unlink(node, true);
    FreeNode(node);
    --impl_->count;
    return nullptr;
  }
  return node;
}

bool CategoryTree::SetLabel(CategoryNode node, const char* label) {
  if (!node) return false;
  const char* text = label ? label : "";
  const size_t len = CutLength(text);
  if (len == node->labelLen && std::memcmp(node->label, text, len) == 0) {
    if (impl_->view) impl_->view->OnSetLabel(node);
    return true;
  }
  char* newLabel;
  size_t newLen;
  uint8_t* newKey;
  size_t newKeyLen;
  if (!MakeLabel(text, &newLabel, &newLen, &newKey, &newKeyLen)) return false;
  char* oldLabel = node->label;
  uint8_t* oldKey = node->key;
  const size_t oldLen = node->labelLen, oldKeyLen = node->keyLen;
  // File the new label before dropping the old one, so that running out of memory leaves the
  // node as it was.
  node->label = newLabel;
  node->labelLen = newLen;
  node->key = newKey;
  node->keyLen = newKeyLen;
  const bool indexed = impl_->Index(node);
  node->label = oldLabel;
  node->labelLen = oldLen;
  if (!indexed) {
    node->key = oldKey;
    node->keyLen = oldKeyLen;
    fileio::Free(newLabel);
    fileio::Free(newKey);
    return false;
  }
  impl_->Unindex(node);
  node->label = newLabel;
  node->labelLen = newLen;
  fileio::Free(oldLabel);
  fileio::Free(oldKey);
  Node* parent = node->parent;
  if (parent->ordered && ((node->prev && CompareSiblings(node->prev, node) > 0) ||
                          (node->next && CompareSiblings(node, node->next) > 0)))
    parent->ordered = false;
  // The cache names nodes by the label they were created with.
  ForgetCached(node);
  if (impl_->view) impl_->view->OnSetLabel(node);
  return true;
}

void CategoryTree::Delete(CategoryNode node) {
  if (!node) return;
  Node* previous = impl_->selected;
  if (previous && impl_->Contains(node, previous)) {
    Node* next = impl_->SelectionAfterDeleting(node);
    impl_->selected = next;
    impl_->RevealAncestors(next);
  }
  impl_->Unlink(node, true);
  // The control drops the items and picks its new selection while the model is already
  // consistent: its owner may look at the tree from the notification.
  if (impl_->view) impl_->view->OnDelete(node);
  impl_->Free(node, true);
  impl_->Notify(previous);
}

void CategoryTree::Clear() {
  // Emptying the control drops its selection without a notification; so does the model.
  impl_->selected = nullptr;
  if (impl_->view) impl_->view->OnClear();
  impl_->byLabel.clear();
  std::vector<Node*> tops;
  tops.swap(impl_->top.children);
  for (Node* n : tops) impl_->Free(n, false);
  impl_->top.ordered = true;
}

bool CategoryTree::Select(CategoryNode node) {
  Node* previous = impl_->selected;
  impl_->RevealAncestors(node);
  impl_->selected = node;
  if (impl_->view) impl_->view->OnSelect(node);
  impl_->Notify(previous);
  return true;
}

char* CategoryLabel(CategoryTree& tree, CategoryNode node, char* buf, size_t cap) {
  if (!buf || cap == 0) return buf;
  const char* label = tree.Label(node);
  size_t n = std::strlen(label);
  if (n > cap - 1) n = cap - 1;
  std::memcpy(buf, label, n);
  buf[n] = '\0';
  return buf;
}

bool SetCategoryLabel(CategoryTree& tree, CategoryNode node, const char* text) {
  return tree.SetLabel(node, text);
}

CategoryNode InsertCategory(CategoryTree& tree, CategoryNode parent, const char* label,
                            intptr_t /*itemData: nodes carry no data*/) {
  return tree.Insert(parent, label, InsertAt::Sorted, parent == nullptr);
}

void ClearCategories(CategoryTree& tree) { tree.Clear(); }

CategoryNode CategoryFromPath(CategoryTree& tree, const char* path) {
  if (tree.NodeCount() == 0) {
    char rootLabel[256];
    LoadText(kRootStringId, rootLabel, sizeof rootLabel);
    CategoryNode root = InsertCategory(tree, nullptr, rootLabel, 0);
    if (!root) return nullptr;
    tree.Select(root);
    EmptyPathCache();
  }
  CategoryNode current = tree.Root();
  const char* p = path ? path : "";
  // Older saves wrote the recipes filed at the root with the root's label as their path, no
  // "/" before it; every other path they wrote starts with "/". Read as a segment, that label
  // would file those recipes in a new category under the root.
  if (*p != '/' && *p != '\0' && std::strcmp(p, tree.Label(current)) == 0) return current;
  // A path text holds at most 255 characters, as PathOfCategory writes it; a longer one (a
  // damaged index line of thousands of "/a") is read as its first 255. That also keeps the
  // tree from growing so deep that the tree control, which frees its items recursively,
  // runs out of stack when it is cleared.
  const char* end = p;
  while (end - p < static_cast<std::ptrdiff_t>(sizeof g_pathBuffer - 1) && *end != '\0') ++end;
  for (int depth = 0;; ++depth) {
    while (p < end && *p == '/') ++p;
    if (p == end) return current;
    const char* start = p;
    while (p < end && *p != '/') ++p;
    // A longer segment stands for its first 63 characters, as a longer label is cut to them.
    size_t len = static_cast<size_t>(p - start);
    if (len > kCategoryLabelMax) len = kCategoryLabelMax;

    CategoryNode child = nullptr;
    if (depth < kPathCacheSlots) {
      const PathCacheSlot& slot = g_pathCache[depth];
      if (slot.node && g_pathCacheLen[depth] == len && std::memcmp(slot.label, start, len) == 0 &&
          tree.Parent(slot.node) == current && slot.node->owner == &tree)
        child = slot.node;
      if (child) ++g_pathStats.fromCache;
    }
    if (!child) {
      child = tree.FindChild(current, start, len);
      if (child) ++g_pathStats.fromChildren;
    }
    if (!child) {
      char segment[kCategoryLabelMax + 1];
      std::memcpy(segment, start, len);
      segment[len] = '\0';
      child = InsertCategory(tree, current, segment, 0);
      if (!child) return nullptr;
      ++g_pathStats.created;
      if (depth < kPathCacheSlots) {
        std::memcpy(g_pathCache[depth].label, segment, len + 1);
        g_pathCacheLen[depth] = len;
        g_pathCache[depth].node = child;
      }
    }
    current = child;
  }
}

const char* PathOfCategory(CategoryTree& tree, CategoryNode node) {
  char* out = g_pathBuffer;
  const size_t cap = sizeof g_pathBuffer - 1;
  out[0] = '\0';
  if (!node) return out;
  if (!tree.Parent(node)) {
    const char* label = tree.Label(node);
    size_t len = std::strlen(label);
    if (len > cap) len = cap;
    std::memcpy(out, label, len);
    out[len] = '\0';
    return out;
  }
  // Every level adds at least its "/", so only the top 255 levels can reach the text: keep the
  // last ones met on the way up, however deep the node lies.
  constexpr size_t kLevels = sizeof g_pathBuffer;
  CategoryNode chain[kLevels];
  size_t depth = 0;  // levels below the root
  for (CategoryNode n = node; tree.Parent(n); n = tree.Parent(n)) chain[depth++ % kLevels] = n;

  // The 255 characters are those of the text written to the index, which the reader takes
  // whole; the root's label is never part of it.
  size_t len = 0;
  for (size_t level = 1; level <= depth && level <= kLevels && len < cap; ++level) {
    out[len++] = '/';
    const char* label = tree.Label(chain[(depth - level) % kLevels]);
    size_t add = std::strlen(label);
    if (add > cap - len) add = cap - len;
    std::memcpy(out + len, label, add);
    len += add;
  }
  out[len] = '\0';
  return out;
}

size_t CategoryPathLength(CategoryTree& tree, CategoryNode node) {
  if (!node) return 0;
  if (!tree.Parent(node)) return std::strlen(tree.Label(node));
  size_t len = 0;
  for (CategoryNode n = node; tree.Parent(n); n = tree.Parent(n)) len += 1 + std::strlen(tree.Label(n));
  return len;
}

bool IsInCategory(CategoryTree& tree, CategoryNode category, CategoryNode node) {
  if (!node) return false;
  CategoryNode root = tree.Root();
  CategoryNode n = node;
  while (n != category && n != root) {
    CategoryNode up = tree.Parent(n);
    if (!up) break;
    n = up;
  }
  return n == category;
}

void RemoveCategory(CategoryTree& tree, CategoryNode node) {
  if (!node || !tree.Parent(node)) return;
  CategoryNode parent = tree.Parent(node);
  RecipeEntry* entries = RecipeEntries();
  const uint32_t count = RecipeCount();
  for (uint32_t i = 0; i < count; ++i)
    if (IsInCategory(tree, node, entries[i].category)) entries[i].category = parent;
  tree.Delete(node);
  tree.Select(parent);
}

const PathCacheSlot& PathCacheAt(int depth) {
  static const PathCacheSlot kNone = {{0}, nullptr};
  if (depth < 0 || depth >= kPathCacheSlots) return kNone;
  return g_pathCache[depth];
}

PathLookupStats& PathLookupCounters() { return g_pathStats; }

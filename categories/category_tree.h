// The category hierarchy: an ordered tree of labelled nodes with one root.
//
// The tree is a portable model; a tree control in a window is only a view of it
// (CategoryTreeView), so every lookup is answered here and the control is told about each
// change. Both holders, with or without a view, give the same answers.
#ifndef SAUCELINS_CATEGORIES_CATEGORY_TREE_H
#define SAUCELINS_CATEGORIES_CATEGORY_TREE_H

#include <cstddef>
#include <cstdint>
#include <functional>

struct CategoryNodeRec;

// Labels and path segments keep at most this many characters: a longer label is cut when it is
// set, and a longer segment of a path is read as its first 63 characters, so the path written
// for a node always leads back to that node.
constexpr size_t kCategoryLabelMax = 63;
// A path text keeps at most this many characters: the reader takes no more of a path, and
// PathOfCategory gives no more.
constexpr size_t kCategoryPathMax = 255;

// Names one node of one tree; null means no node. Valid until the node is removed.
typedef CategoryNodeRec* CategoryNode;

// Where InsertCategory puts a new node among its siblings.
enum class InsertAt {
  Sorted,  // alphabetical, without regard to case, as the tree control's TVI_SORT orders
  Last,    // after the last sibling (categories the user creates in the editor)
};

// A window's tree control showing a CategoryTree. The model calls these after changing itself.
class CategoryTreeView {
 public:
  virtual ~CategoryTreeView() = default;
  // `after` is the previous sibling, or null when the node is the first child (or top level).
  // Returns false when the control could not hold the node; the model then drops it.
  virtual bool OnInsert(CategoryNode node, CategoryNode parent, CategoryNode after,
                        bool expanded) = 0;
  virtual void OnDelete(CategoryNode node) = 0;  // the node and its whole subtree
  virtual void OnClear() = 0;
  virtual void OnSetLabel(CategoryNode node) = 0;
  // Select in the control; the control notifies its owner as for a user's click.
  virtual void OnSelect(CategoryNode node) = 0;
};

class CategoryTree {
 public:
  CategoryTree();
  ~CategoryTree();
  CategoryTree(const CategoryTree&) = delete;
  CategoryTree& operator=(const CategoryTree&) = delete;

  void SetView(CategoryTreeView* view);
  CategoryTreeView* View() const;
  // Called after every selection change when there is no view (a view's control notifies
  // its owner window instead).
  void SetSelectionListener(std::function<void(CategoryNode)> listener);

  size_t NodeCount() const;
  CategoryNode Root() const;
  CategoryNode Parent(CategoryNode node) const;
  CategoryNode FirstChild(CategoryNode node) const;
  CategoryNode NextSibling(CategoryNode node) const;
  CategoryNode PrevSibling(CategoryNode node) const;
  bool IsExpanded(CategoryNode node) const;
  void SetExpanded(CategoryNode node, bool expanded);  // the user opened or closed it
  const char* Label(CategoryNode node) const;
  // The first child of `parent` (null: the top level), in sibling order, whose label is the
  // `len` bytes at `label` (compared byte for byte). Null when there is none.
  CategoryNode FindChild(CategoryNode parent, const char* label, size_t len) const;
  CategoryNode Selected() const;
  // The view's control changed its selection by itself (a click, a deletion): record it
  // without telling the view again.
  void NoteSelection(CategoryNode node);

  // Primitives used by the free functions below.
  CategoryNode Insert(CategoryNode parent, const char* label, InsertAt where, bool expanded);
  bool SetLabel(CategoryNode node, const char* label);
  void Delete(CategoryNode node);
  void Clear();
  bool Select(CategoryNode node);

 private:
  struct Impl;
  Impl* impl_;
};

// Tree primitives under the program's names.
char* CategoryLabel(CategoryTree& tree, CategoryNode node, char* buf, size_t cap);
bool SetCategoryLabel(CategoryTree& tree, CategoryNode node, const char* text);
// parent null: a top-level node, created expanded; otherwise a child, created collapsed, in
// alphabetical position. Null on failure.
CategoryNode InsertCategory(CategoryTree& tree, CategoryNode parent, const char* label,
                            intptr_t itemData);
void ClearCategories(CategoryTree& tree);

// The node a category path names, creating what is missing (and the root in an empty tree).
// Null only when a node could not be created.
CategoryNode CategoryFromPath(CategoryTree& tree, const char* path);
// The written form of a node's path, in one buffer valid until the next call: the root's label
// for the root, otherwise "/" and the labels below the root joined by "/", cut to 255
// characters (what the index reader takes of a path).
const char* PathOfCategory(CategoryTree& tree, CategoryNode node);
// The length of that text before any cut: more than 255 means PathOfCategory cut it.
size_t CategoryPathLength(CategoryTree& tree, CategoryNode node);
// True when `node` is `category` or lies anywhere below it.
bool IsInCategory(CategoryTree& tree, CategoryNode category, CategoryNode node);
// Re-files the recipes of the node's subtree to its parent, deletes the subtree, selects the
// parent. The node is neither null nor the root.
void RemoveCategory(CategoryTree& tree, CategoryNode node);

// CategoryFromPath remembers, for each of the first five depths, the node it last created there,
// so that the consecutive lines of one category find their nodes without a lookup. One cache for
// the process, emptied when a root is created.
constexpr int kPathCacheSlots = 5;
struct PathCacheSlot {
  char label[kCategoryLabelMax + 1];
  CategoryNode node;
};
const PathCacheSlot& PathCacheAt(int depth);
// How CategoryFromPath found the segments it resolved (for tests and measurements).
struct PathLookupStats {
  uint64_t fromCache;     // the cache named the node
  uint64_t fromChildren;  // found among the children
  uint64_t created;       // created
};
PathLookupStats& PathLookupCounters();

#endif

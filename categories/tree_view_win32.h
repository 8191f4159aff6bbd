// A CategoryTree shown in a window's tree control (SysTreeView32).
//
// The model answers every question (lookups, order, paths); the control only mirrors it. Each
// node is inserted right after its previous sibling, so the control never scans siblings to
// sort, and labels are never read back from it.
#ifndef SAUCELINS_CATEGORIES_TREE_VIEW_WIN32_H
#define SAUCELINS_CATEGORIES_TREE_VIEW_WIN32_H

#include <windows.h>
#include <commctrl.h>

#include <unordered_map>

#include "categories/category_tree.h"

class TreeViewHolder : public CategoryTreeView {
 public:
  // Attaches to the tree (which must have no other view) and shows the nodes it already has.
  // Also makes the tree's sibling order follow the platform's collation in this thread.
  TreeViewHolder(CategoryTree& tree, HWND control);
  // Detaches from the tree; the control keeps its items (it may be destroyed already).
  ~TreeViewHolder() override;
  TreeViewHolder(const TreeViewHolder&) = delete;
  TreeViewHolder& operator=(const TreeViewHolder&) = delete;

  HWND Control() const { return control_; }

  // A load creates thousands of nodes. Shown one by one, each goes into a visible control that
  // lays out and repaints its siblings again: the time grows with the square of the width of
  // the tree. Between these two calls the control is not told about anything; the second one
  // gives it every node the model holds, in order, with its painting suspended, and then the
  // selection (which notifies the owner as a click does).
  void Detach();
  void Reattach();
  CategoryNode NodeFromItem(HTREEITEM item) const;
  HTREEITEM ItemFromNode(CategoryNode node) const;

  // For the owner's WM_NOTIFY: a selection change (TVN_SELCHANGEDA or TVN_SELCHANGEDW,
  // whichever the control sends) is recorded in the tree, and so is the user opening or
  // closing a node (TVN_ITEMEXPANDEDA/W). Returns the new selection for a selection change,
  // and null for anything else (other notifications, other controls).
  CategoryNode HandleNotify(const NMHDR* header);
  static bool IsSelectionChange(const NMHDR* header);

  bool OnInsert(CategoryNode node, CategoryNode parent, CategoryNode after, bool expanded) override;
  void OnDelete(CategoryNode node) override;
  void OnClear() override;
  void OnSetLabel(CategoryNode node) override;
  void OnSelect(CategoryNode node) override;

 private:
  void Forget(CategoryNode node);  // the node and its subtree
  void ShowAll();

  CategoryTree& tree_;
  HWND control_;
  std::unordered_map<CategoryNode, HTREEITEM> items_;
  std::unordered_map<HTREEITEM, CategoryNode> nodes_;
};

// Reads which collation the tree control's sorted insertion uses in this thread (the thread
// locale's: French reads accents from the end of words) and sets it for the category trees.
void AdoptPlatformLabelCollation();

#endif

#include "categories/tree_view_win32.h"

#include <new>

#include "categories/label_order.h"

void AdoptPlatformLabelCollation() {
  // Two words that differ only in their accents, one at each end: the default order puts the
  // first accent's word last, the French order (accents read from the end) puts it first.
  const int c = lstrcmpW(L"c\x00F4te", L"cot\x00E9");
  SetLabelCollation(c < 0 ? LabelCollation::ReverseDiacritics : LabelCollation::Default);
}

TreeViewHolder::TreeViewHolder(CategoryTree& tree, HWND control) : tree_(tree), control_(control) {
  AdoptPlatformLabelCollation();
  tree_.SetView(this);
  ShowAll();
}

void TreeViewHolder::ShowAll() {
  // Painting back on may show a hidden control; the window's tab decides what is visible.
  const bool wasVisible = (GetWindowLongPtrA(control_, GWL_STYLE) & WS_VISIBLE) != 0;
  SendMessageA(control_, WM_SETREDRAW, FALSE, 0);
  // Parents before children, each after its previous sibling.
  CategoryNode n = tree_.Root();
  while (n) {
    if (!ItemFromNode(n)) OnInsert(n, tree_.Parent(n), tree_.PrevSibling(n), tree_.IsExpanded(n));
    if (tree_.FirstChild(n)) {
      n = tree_.FirstChild(n);
      continue;
    }
    while (n && !tree_.NextSibling(n)) n = tree_.Parent(n);
    if (n) n = tree_.NextSibling(n);
  }
  SendMessageA(control_, WM_SETREDRAW, TRUE, 0);
  if (!wasVisible) ShowWindow(control_, SW_HIDE);
  InvalidateRect(control_, nullptr, TRUE);
  if (tree_.Selected()) OnSelect(tree_.Selected());
}

void TreeViewHolder::Detach() {
  if (tree_.View() == this) tree_.SetView(nullptr);
}

void TreeViewHolder::Reattach() {
  if (tree_.View() == this) return;
  tree_.SetView(this);
  ShowAll();
}

TreeViewHolder::~TreeViewHolder() {
  if (tree_.View() == this) tree_.SetView(nullptr);
}

CategoryNode TreeViewHolder::NodeFromItem(HTREEITEM item) const {
  auto it = nodes_.find(item);
  return it == nodes_.end() ? nullptr : it->second;
}

HTREEITEM TreeViewHolder::ItemFromNode(CategoryNode node) const {
  auto it = items_.find(node);
  return it == items_.end() ? nullptr : it->second;
}

bool TreeViewHolder::IsSelectionChange(const NMHDR* header) {
  return header && (header->code == TVN_SELCHANGEDA || header->code == TVN_SELCHANGEDW);
}

CategoryNode TreeViewHolder::HandleNotify(const NMHDR* header) {
  if (!header || header->hwndFrom != control_) return nullptr;
  // NMTREEVIEWA and NMTREEVIEWW differ only in the type of the text pointers, which are not
  // read here: the item handles lie at the same places.
  const NMTREEVIEWA* nm = reinterpret_cast<const NMTREEVIEWA*>(header);
  switch (header->code) {
    case TVN_SELCHANGEDA:
    case TVN_SELCHANGEDW: {
      CategoryNode node = NodeFromItem(nm->itemNew.hItem);
      tree_.NoteSelection(node);
      return node;
    }
    case TVN_ITEMEXPANDEDA:
    case TVN_ITEMEXPANDEDW: {
      CategoryNode node = NodeFromItem(nm->itemNew.hItem);
      if (node) {
        const LRESULT state =
            SendMessageA(control_, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(nm->itemNew.hItem),
                         TVIS_EXPANDED);
        tree_.SetExpanded(node, (state & TVIS_EXPANDED) != 0);
      }
      return nullptr;
    }
    default:
      return nullptr;
  }
}

bool TreeViewHolder::OnInsert(CategoryNode node, CategoryNode parent, CategoryNode after,
                              bool expanded) {
  TVINSERTSTRUCTA ins = {};
  ins.hParent = parent ? ItemFromNode(parent) : TVI_ROOT;
  ins.hInsertAfter = after ? ItemFromNode(after) : TVI_FIRST;
  if (!ins.hParent || !ins.hInsertAfter) return false;
  ins.item.mask = TVIF_TEXT | TVIF_STATE | TVIF_PARAM;
  ins.item.pszText = const_cast<char*>(tree_.Label(node));
  ins.item.state = expanded ? TVIS_EXPANDED : 0;
  ins.item.stateMask = TVIS_EXPANDED;
  ins.item.lParam = 0;
  HTREEITEM item = reinterpret_cast<HTREEITEM>(
      SendMessageA(control_, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&ins)));
  if (!item) return false;
  try {
    items_[node] = item;
    nodes_[item] = node;
  } catch (const std::bad_alloc&) {
    items_.erase(node);
    SendMessageA(control_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(item));
    return false;
  }
  return true;
}

void TreeViewHolder::Forget(CategoryNode node) {
  // The model has detached the node but its subtree is still linked below it.
  CategoryNode n = node;
  while (n) {
    auto it = items_.find(n);
    if (it != items_.end()) {
      nodes_.erase(it->second);
      items_.erase(it);
    }
    if (tree_.FirstChild(n)) {
      n = tree_.FirstChild(n);
      continue;
    }
    while (n != node && !tree_.NextSibling(n)) n = tree_.Parent(n);
    n = n == node ? nullptr : tree_.NextSibling(n);
  }
}

void TreeViewHolder::OnDelete(CategoryNode node) {
  HTREEITEM item = ItemFromNode(node);
  if (item) SendMessageA(control_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(item));
  Forget(node);
  // Deleting the selected item makes the control select another one by itself; the tree
  // follows even when the owner does not pass the notification on.
  HTREEITEM caret = reinterpret_cast<HTREEITEM>(
      SendMessageA(control_, TVM_GETNEXTITEM, TVGN_CARET, 0));
  tree_.NoteSelection(NodeFromItem(caret));
}

void TreeViewHolder::OnClear() {
  SendMessageA(control_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
  items_.clear();
  nodes_.clear();
}

void TreeViewHolder::OnSetLabel(CategoryNode node) {
  TVITEMA item = {};
  item.mask = TVIF_TEXT;
  item.hItem = ItemFromNode(node);
  item.pszText = const_cast<char*>(tree_.Label(node));
  if (item.hItem) SendMessageA(control_, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

void TreeViewHolder::OnSelect(CategoryNode node) {
  SendMessageA(control_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(ItemFromNode(node)));
}

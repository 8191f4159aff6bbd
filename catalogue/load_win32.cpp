#include "catalogue/load_win32.h"

#include "catalogue/catalogue.h"
#include "categories/tree_view_win32.h"
#include "resources/resource.h"
#include "resources/text_helpers_win32.h"

int LoadCatalogue(HWND owner, CategoryTree& tree) {
  uint32_t count = 0;
  // The tree is built in memory first and shown whole once the load is over.
  TreeViewHolder* view = dynamic_cast<TreeViewHolder*>(tree.View());
  if (view) view->Detach();
  const LoadOutcome outcome = LoadCatalogueCore(owner, tree, &count);
  if (view) view->Reattach();
  switch (outcome) {
    case LoadOutcome::NoIndex:
      ShowStringMessage(owner, IDS_CAPTION, IDS_NO_INDEX, 0, MB_OK | MB_ICONHAND);
      return -1;
    case LoadOutcome::Empty:
      ShowStringMessage(owner, IDS_CAPTION, IDS_INDEX_ERROR, 0, MB_OK | MB_ICONHAND);
      return -1;
    case LoadOutcome::Loaded:
      break;
  }
  SetItemTextFromString(owner, IDC_TOTAL, IDS_TOTAL, static_cast<LPARAM>(count));
  return 0;
}

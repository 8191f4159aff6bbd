#include "categories/tree_view_win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "catalogue/recipe_table.h"
#include "categories/label_order.h"
#include "platform/modal_script_wintest.h"
#include "platform/unique_handle_win32.h"

namespace {

using wintest::TreeLabel;
using wintest::TreeNext;

// The window that owns the tree control: passes the control's notifications to the holder
// and counts the selection notifications in each character format.
struct Owner {
  TreeViewHolder* holder = nullptr;
  int selChangedA = 0;
  int selChangedW = 0;
  std::vector<CategoryNode> heard;
};
Owner g_owner;

LRESULT OnNotify(const NMHDR* header) {
  if (header->code == TVN_SELCHANGEDA) ++g_owner.selChangedA;
  if (header->code == TVN_SELCHANGEDW) ++g_owner.selChangedW;
  if (g_owner.holder) {
    CategoryNode node = g_owner.holder->HandleNotify(header);
    if (TreeViewHolder::IsSelectionChange(header)) g_owner.heard.push_back(node);
  }
  return 0;
}

LRESULT CALLBACK OwnerProcA(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NOTIFY) return OnNotify(reinterpret_cast<const NMHDR*>(lp));
  return DefWindowProcA(hwnd, msg, wp, lp);
}

LRESULT CALLBACK OwnerProcW(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NOTIFY) return OnNotify(reinterpret_cast<const NMHDR*>(lp));
  return DefWindowProcW(hwnd, msg, wp, lp);
}

using Window = Unique<HWND, DestroyWindow>;

// Puts the thread locale and the tree's collation back as they were.
class ThreadLocale {
 public:
  explicit ThreadLocale(LCID lcid) : old_(GetThreadLocale()), collation_(CurrentLabelCollation()) {
    SetThreadLocale(lcid);
  }
  ~ThreadLocale() {
    SetThreadLocale(old_);
    SetLabelCollation(collation_);
  }

 private:
  LCID old_;
  LabelCollation collation_;
};

class TreeViewTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    InitCommonControls();
    WNDCLASSA a = {};
    a.lpfnWndProc = OwnerProcA;
    a.hInstance = GetModuleHandleA(nullptr);
    a.lpszClassName = "TreeOwnerA";
    RegisterClassA(&a);
    WNDCLASSW w = {};
    w.lpfnWndProc = OwnerProcW;
    w.hInstance = GetModuleHandleW(nullptr);
    w.lpszClassName = L"TreeOwnerW";
    RegisterClassW(&w);
  }
  void SetUp() override {
    g_owner = Owner();
    ReleaseCatalogue();  // RemoveCategory walks the recipe table
  }
  void TearDown() override { g_owner.holder = nullptr; }

  static HWND MakeOwner(bool unicode) {
    if (unicode)
      return CreateWindowExW(0, L"TreeOwnerW", L"Arbre", WS_POPUP, 0, 0, 320, 480, nullptr,
                             nullptr, GetModuleHandleW(nullptr), nullptr);
    return CreateWindowExA(0, "TreeOwnerA", "Arbre", WS_POPUP, 0, 0, 320, 480, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
  }
  static HWND MakeTree(HWND owner) {
    return CreateWindowExA(WS_EX_CLIENTEDGE, WC_TREEVIEWA, "",
                           WS_CHILD | WS_VISIBLE | TVS_HASLINES | TVS_HASBUTTONS |
                               TVS_LINESATROOT | TVS_SHOWSELALWAYS,
                           0, 0, 300, 460, owner, reinterpret_cast<HMENU>(1019),
                           GetModuleHandleA(nullptr), nullptr);
  }
};

bool ItemExpanded(HWND tv, HTREEITEM item) {
  return (SendMessageA(tv, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_EXPANDED) &
          TVIS_EXPANDED) != 0;
}

std::vector<std::string> ControlChildLabels(HWND tv, HTREEITEM parent) {
  std::vector<std::string> out;
  for (HTREEITEM i = TreeNext(tv, parent, TVGN_CHILD); i; i = TreeNext(tv, i, TVGN_NEXT))
    out.push_back(TreeLabel(tv, i));
  return out;
}

std::vector<std::string> ModelChildLabels(const CategoryTree& tree, CategoryNode parent) {
  std::vector<std::string> out;
  for (CategoryNode n = tree.FirstChild(parent); n; n = tree.NextSibling(n))
    out.push_back(tree.Label(n));
  return out;
}

// The control holds exactly the model: same items in the same order, same labels, same
// open/closed state, same selection, and the holder's maps agree.
void ExpectControlShowsModel(const CategoryTree& tree, const TreeViewHolder& holder) {
  HWND tv = holder.Control();
  size_t shown = 0;
  struct Level {
    CategoryNode node;
    HTREEITEM item;
  };
  std::vector<Level> pending{{tree.Root(), TreeNext(tv, nullptr, TVGN_ROOT)}};
  while (!pending.empty()) {
    Level l = pending.back();
    pending.pop_back();
    for (; l.node || l.item; l.node = tree.NextSibling(l.node), l.item = TreeNext(tv, l.item, TVGN_NEXT)) {
      ASSERT_NE(l.node, nullptr) << "the control has an extra item " << TreeLabel(tv, l.item);
      ASSERT_NE(l.item, nullptr) << "the control lacks " << tree.Label(l.node);
      ++shown;
      EXPECT_EQ(holder.ItemFromNode(l.node), l.item);
      EXPECT_EQ(holder.NodeFromItem(l.item), l.node);
      EXPECT_EQ(TreeLabel(tv, l.item), tree.Label(l.node));
      EXPECT_EQ(ItemExpanded(tv, l.item), tree.IsExpanded(l.node)) << tree.Label(l.node);
      pending.push_back({tree.FirstChild(l.node), TreeNext(tv, l.item, TVGN_CHILD)});
    }
  }
  EXPECT_EQ(shown, tree.NodeCount());
  EXPECT_EQ(static_cast<size_t>(SendMessageA(tv, TVM_GETCOUNT, 0, 0)), tree.NodeCount());
  EXPECT_EQ(TreeNext(tv, nullptr, TVGN_CARET), holder.ItemFromNode(tree.Selected()));
}

// What a tree shows, independent of node addresses: labels, open state and the selection.
void Draw(const CategoryTree& tree, CategoryNode first, int depth, std::string& out) {
  for (CategoryNode n = first; n; n = tree.NextSibling(n)) {
    out += std::string(depth * 2, ' ') + tree.Label(n) + (tree.IsExpanded(n) ? " +" : " -") +
           (tree.Selected() == n ? " *" : "") + "\n";
    Draw(tree, tree.FirstChild(n), depth + 1, out);
  }
}

std::string Picture(const CategoryTree& tree) {
  std::string out;
  Draw(tree, tree.Root(), 0, out);
  if (!tree.Selected()) out += "(no selection)\n";
  return out;
}

const char* const kPaths[] = {
    "/Desserts/Tartes",       "/Desserts/Tartes",         "/Desserts/G\xE2teaux",
    "/Entr\xE9" "es",         "/desserts",                "/\xC9pices/Poivres",
    "/\x8C" "ufs",            "/Oeufs/Brouill\xE9s",      "/Viandes/Divers",
    "/Poissons/Divers",       "/1/2/3/4/5/6/7",           "/cote",
    "/c\xF4t\xE9",            "/cot\xE9",                 "/c\xF4te",
    "/co-op",                 "/coop",                    "/Viandes/Boeuf",
    "/Viandes/B\x9C" "uf",    "/Viandes/Agneau/R\xF4tis", "/Desserts/Cr\xE8mes/Br\xFBl\xE9" "es",
};

// One editing session, by paths only, so that it runs the same on any tree. Returns the
// pictures of the tree after each step.
std::vector<std::string> RunSession(CategoryTree& tree) {
  std::vector<std::string> pictures;
  for (const char* p : kPaths) CategoryFromPath(tree, p);
  pictures.push_back(Picture(tree));

  tree.Select(CategoryFromPath(tree, "/1/2/3/4/5/6/7"));  // opens its six ancestors
  pictures.push_back(Picture(tree));
  tree.Delete(tree.Selected());  // the last child: its parent is selected
  pictures.push_back(Picture(tree));

  tree.Select(CategoryFromPath(tree, "/Desserts/Tartes"));
  SetCategoryLabel(tree, tree.Selected(), "Tartes fines");
  CategoryNode made = tree.Insert(CategoryFromPath(tree, "/Desserts"), "", InsertAt::Last, true);
  SetCategoryLabel(tree, made, "Nouvelle");
  pictures.push_back(Picture(tree));

  tree.Select(CategoryFromPath(tree, "/Viandes/Agneau/R\xF4tis"));
  RemoveCategory(tree, CategoryFromPath(tree, "/Viandes"));  // the root is selected
  pictures.push_back(Picture(tree));

  tree.Select(CategoryFromPath(tree, "/Oeufs/Brouill\xE9s"));
  tree.Delete(CategoryFromPath(tree, "/Oeufs"));  // its next sibling is selected
  pictures.push_back(Picture(tree));
  tree.Select(CategoryFromPath(tree, "/Poissons/Divers"));
  tree.Delete(CategoryFromPath(tree, "/Poissons"));  // the last child: the root is selected
  pictures.push_back(Picture(tree));

  // A sorted insertion among siblings that are no longer in order.
  CategoryNode desserts = CategoryFromPath(tree, "/Desserts");
  tree.Insert(desserts, "Abricots", InsertAt::Last, true);
  CategoryFromPath(tree, "/Desserts/Beignets");
  CategoryFromPath(tree, "/Desserts/Zestes");
  pictures.push_back(Picture(tree));

  tree.Select(nullptr);
  pictures.push_back(Picture(tree));
  ClearCategories(tree);
  pictures.push_back(Picture(tree));
  for (const char* p : kPaths) CategoryFromPath(tree, p);
  pictures.push_back(Picture(tree));
  return pictures;
}

TEST_F(TreeViewTest, TheControlShowsWhatTheModelAloneWouldHold) {
  for (bool unicodeOwner : {false, true}) {
    SCOPED_TRACE(unicodeOwner ? "Unicode owner" : "ANSI owner");
    Window owner(MakeOwner(unicodeOwner));
    Window control(MakeTree(owner.get()));
    ASSERT_NE(control.get(), nullptr);

    CategoryTree alone;
    std::vector<CategoryNode> aloneHeard;
    alone.SetSelectionListener([&](CategoryNode n) { aloneHeard.push_back(n); });
    const std::vector<std::string> expected = RunSession(alone);

    CategoryTree shown;
    TreeViewHolder holder(shown, control.get());
    g_owner.holder = &holder;
    for (const char* p : kPaths) CategoryFromPath(shown, p);
    ExpectControlShowsModel(shown, holder);
    ClearCategories(shown);
    g_owner = Owner();
    g_owner.holder = &holder;
    const std::vector<std::string> got = RunSession(shown);
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i], expected[i]) << "step " << i;
    ExpectControlShowsModel(shown, holder);

    // The control told its owner in the format it chose, and the holder understood it.
    const bool unicode = SendMessageA(control.get(), TVM_GETUNICODEFORMAT, 0, 0) != 0;
    EXPECT_EQ(unicode, unicodeOwner);
    EXPECT_GT(unicode ? g_owner.selChangedW : g_owner.selChangedA, 0);
    EXPECT_EQ(unicode ? g_owner.selChangedA : g_owner.selChangedW, 0);
    // The model without a control notified the same selections, in the same order.
    EXPECT_EQ(g_owner.heard.size(), aloneHeard.size());

    // A click in the control (the same message a click sends) reaches the model.
    CategoryNode epices = CategoryFromPath(shown, "/\xC9pices/Poivres");
    SendMessageA(control.get(), TVM_SELECTITEM, TVGN_CARET,
                 reinterpret_cast<LPARAM>(holder.ItemFromNode(epices)));
    EXPECT_EQ(shown.Selected(), epices);
    EXPECT_EQ(g_owner.heard.back(), epices);
    ExpectControlShowsModel(shown, holder);
    g_owner.holder = nullptr;
  }
}

TEST_F(TreeViewTest, TheModelFollowsTheControlsOwnChoiceAfterADeletion) {
  // Here the owner does not pass notifications on: the holder reads the control's choice.
  Window owner(MakeOwner(false));
  Window control(MakeTree(owner.get()));
  CategoryTree tree;
  TreeViewHolder holder(tree, control.get());
  CategoryNode leaf = CategoryFromPath(tree, "/A/B/C");
  CategoryFromPath(tree, "/A/D");
  CategoryFromPath(tree, "/E");
  SendMessageA(control.get(), TVM_SELECTITEM, TVGN_CARET,
               reinterpret_cast<LPARAM>(holder.ItemFromNode(leaf)));
  tree.NoteSelection(leaf);
  tree.Delete(CategoryFromPath(tree, "/A/B"));
  EXPECT_EQ(tree.Selected(), CategoryFromPath(tree, "/A/D"));
  tree.Delete(CategoryFromPath(tree, "/A"));
  EXPECT_EQ(tree.Selected(), CategoryFromPath(tree, "/E"));
  ExpectControlShowsModel(tree, holder);
}

TEST_F(TreeViewTest, AHolderShowsATreeBuiltBeforeIt) {
  Window owner(MakeOwner(false));
  Window control(MakeTree(owner.get()));
  CategoryTree tree;
  for (const char* p : kPaths) CategoryFromPath(tree, p);
  tree.Select(CategoryFromPath(tree, "/Desserts/Cr\xE8mes"));
  TreeViewHolder holder(tree, control.get());
  ExpectControlShowsModel(tree, holder);
}

// Labels meant to catch every rule of the comparison: accents, case, ligatures, hyphens,
// apostrophes, spaces, digits, symbols and Windows-1252's extra letters.
std::vector<std::string> SortingLabels(size_t randomCount) {
  std::vector<std::string> labels = {
      "Desserts", "desserts", "DESSERTS", "\xC9pices", "epices", "\xE9pices", "Epices",
      "cote", "c\xF4te", "cot\xE9", "c\xF4t\xE9", "C\xF4te", "Boeuf", "boeuf", "Agneau",
      "Oeufs", "\x8C" "ufs brouill\xE9s", "co-op", "coop", "co op", "l'\xE9t\xE9", "l\xE9t\xE9",
      "P\xE2tes", "p\xE2t\xE9s", "Pates", "A", "a", "\xC0", "\xE0", "Zeste", "\xDF", "ss",
      "1 Entr\xE9" "es", "10 Desserts", "2 Plats", "\xC6gir", "Stra\xDF" "e", "na\xEF" "ve",
      "\x8A" "ashlik", "\x9F" "onne", "\xD8rred", "\xA0" "espace", "(Divers)", "-Divers",
      "Divers", "_Divers", "#Divers", "\x93" "Divers\x94", "\x80 Euro", "\xB5", "\xBD"};
  std::mt19937 rng(20240611);
  const char pool[] = "aAbBcCeEiIoOsSuUzZ  --''\xE9\xC9\xE8\xEA\xF4\xE2\xE7\xC7\xEB\xEF\xFB\x9C\x8C"
                      "\xE6\xDF\x96\x97\xAD\xA0" "0123.,/()&";
  for (size_t i = 0; i < randomCount; ++i) {
    std::string s;
    const size_t len = 1 + rng() % 10;
    for (size_t k = 0; k < len; ++k) {
      const unsigned pick = rng() % 8;
      s += pick == 0 ? static_cast<char>(0x20 + rng() % 0xE0) : pool[rng() % (sizeof pool - 1)];
    }
    labels.push_back(s);
  }
  // Labels that the platform finds equal but that are not the same bytes are left out: the
  // control keeps them in arrival order, the tree in byte order (its chosen tie rule).
  std::vector<std::string> byKey = labels;
  std::sort(byKey.begin(), byKey.end(), [](const std::string& a, const std::string& b) {
    return CompareLabelsAsPlatform(a.c_str(), b.c_str()) < 0;
  });
  std::vector<std::string> tied;
  for (size_t i = 0; i + 1 < byKey.size(); ++i)
    if (CompareLabelsAsPlatform(byKey[i].c_str(), byKey[i + 1].c_str()) == 0 &&
        byKey[i] != byKey[i + 1]) {
      tied.push_back(byKey[i]);
      tied.push_back(byKey[i + 1]);
    }
  labels.erase(std::remove_if(labels.begin(), labels.end(),
                              [&](const std::string& s) {
                                return std::find(tied.begin(), tied.end(), s) != tied.end();
                              }),
               labels.end());
  return labels;
}

TEST_F(TreeViewTest, SortedOrderIsTheOrderTheControlGivesWithTviSort) {
  const std::vector<std::string> labels = SortingLabels(2500);
  ASSERT_GT(labels.size(), 2000u);
  struct Case {
    LCID lcid;
    LabelCollation collation;
  };
  for (const Case c : {Case{0x0409, LabelCollation::Default},
                       Case{0x040C, LabelCollation::ReverseDiacritics}}) {
    SCOPED_TRACE(c.lcid);
    ThreadLocale locale(c.lcid);
    AdoptPlatformLabelCollation();
    ASSERT_EQ(CurrentLabelCollation(), c.collation);

    Window owner(MakeOwner(false));
    Window sorted(MakeTree(owner.get()));
    TVINSERTSTRUCTA ins = {};
    ins.hParent = TVI_ROOT;
    ins.hInsertAfter = TVI_LAST;
    ins.item.mask = TVIF_TEXT;
    ins.item.pszText = const_cast<char*>("Racine");
    HTREEITEM top = reinterpret_cast<HTREEITEM>(
        SendMessageA(sorted.get(), TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&ins)));
    ins.hParent = top;
    ins.hInsertAfter = TVI_SORT;
    CategoryTree model;
    CategoryNode root = model.Insert(nullptr, "Racine", InsertAt::Sorted, true);
    for (const std::string& s : labels) {
      ins.item.pszText = const_cast<char*>(s.c_str());
      ASSERT_NE(SendMessageA(sorted.get(), TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&ins)), 0);
      ASSERT_NE(model.Insert(root, s.c_str(), InsertAt::Sorted, false), nullptr);
    }
    const std::vector<std::string> want = ControlChildLabels(sorted.get(), top);
    const std::vector<std::string> got = ModelChildLabels(model, root);
    ASSERT_EQ(got.size(), want.size());
    size_t differ = 0;
    for (size_t i = 0; i < got.size(); ++i)
      if (got[i] != want[i] && differ++ < 5) ADD_FAILURE() << i << ": " << got[i] << " / " << want[i];
    EXPECT_EQ(differ, 0u);
  }
}

TEST_F(TreeViewTest, EveryCharactersWeightsAreThePlatforms) {
  std::mt19937 rng(7);
  for (LCID lcid : {LCID(0x0409), LCID(0x040C)}) {
    ThreadLocale locale(lcid);
    AdoptPlatformLabelCollation();
    int wrongKeys = 0, wrongOrder = 0;
    for (int i = 0; i < 30000; ++i) {
      std::string s;
      if (i < 255) {
        s = std::string(1, static_cast<char>(i + 1));
      } else {
        const size_t len = rng() % 9;
        for (size_t k = 0; k < len; ++k) s += static_cast<char>(1 + rng() % 255);
      }
      wchar_t w[64];
      MultiByteToWideChar(1252, 0, s.c_str(), -1, w, 64);
      BYTE want[1024];
      const int n = LCMapStringW(lcid, LCMAP_SORTKEY, w, -1, reinterpret_cast<LPWSTR>(want), sizeof want);
      uint8_t got[LabelSortKeyCapacity(64)];
      const size_t m = LabelSortKey(s.data(), s.size(), got);
      if (n < 1 || static_cast<size_t>(n - 1) != m || std::memcmp(want, got, m) != 0) {
        if (wrongKeys++ < 5) ADD_FAILURE() << "key of " << s;
      }
      // And the comparison itself, as the control calls it.
      std::string t;
      for (size_t k = rng() % 6; k > 0; --k) t += static_cast<char>(1 + rng() % 255);
      wchar_t wt[64];
      MultiByteToWideChar(1252, 0, t.c_str(), -1, wt, 64);
      const int platform = lstrcmpW(w, wt);
      const int ours = CompareLabelsAsPlatform(s.c_str(), t.c_str());
      if ((platform > 0) != (ours > 0) || (platform < 0) != (ours < 0)) {
        if (wrongOrder++ < 5) ADD_FAILURE() << s << " / " << t;
      }
    }
    EXPECT_EQ(wrongKeys, 0) << "locale " << lcid;
    EXPECT_EQ(wrongOrder, 0) << "locale " << lcid;
  }
}

// 1,000 categories up to five levels deep, 100,000 recipes: the catalogue's largest size.
// The paths lie one after the other in one block, as the lines of an index file do.
struct Paths {
  std::string text;
  std::vector<size_t> starts;
  void Add(const std::string& p) {
    starts.push_back(text.size());
    text += p;
    text += '\0';
  }
};
struct Catalogue {
  std::vector<std::string> categories;
  Paths grouped;   // recipes in the order a save writes them
  Paths shuffled;  // the same in no order
};

Catalogue MakeCatalogue() {
  Catalogue c;
  std::mt19937 rng(42);
  const char* words[] = {"Desserts", "Entr\xE9" "es", "Viandes", "Poissons", "L\xE9gumes",
                         "Sauces", "P\xE2tisseries", "Boissons", "Soupes", "\xC9pices"};
  std::vector<int> depth;
  for (const char* w : words) {
    c.categories.push_back(std::string("/") + w);
    depth.push_back(1);
  }
  while (c.categories.size() < 1000) {
    const size_t parent = rng() % c.categories.size();
    if (depth[parent] >= 5) continue;
    c.categories.push_back(c.categories[parent] + "/Sous-cat\xE9gorie " +
                           std::to_string(c.categories.size()));
    depth.push_back(depth[parent] + 1);
  }
  std::vector<size_t> order;
  for (size_t i = 0; i < 100000; ++i) order.push_back(i * c.categories.size() / 100000);
  for (size_t i : order) c.grouped.Add(c.categories[i]);
  std::shuffle(order.begin(), order.end(), rng);
  for (size_t i : order) c.shuffled.Add(c.categories[i]);
  return c;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

TEST_F(TreeViewTest, MirroringACatalogueIntoTheControlTakesLittleTime) {
  const Catalogue cat = MakeCatalogue();
  // Siblings by the thousand: 5,000 categories under one parent, in no order. A visible control
  // lays its items out again at each insertion: that one stays hidden.
  Paths flat;
  for (int i = 0; i < 5000; ++i) flat.Add("/Tout/Cat\xE9gorie " + std::to_string(i * 7919 % 5000));
  struct Case {
    const char* name;
    const Paths& paths;
    size_t nodes;
    bool visible;
  };
  for (const Case& c : {Case{"1,000 categories / 100,000 paths, grouped", cat.grouped, 1001, true},
                        Case{"1,000 categories / 100,000 paths, shuffled", cat.shuffled, 1001, true},
                        Case{"5,000 sibling categories in no order", flat, 5002, false}}) {
    auto start = std::chrono::steady_clock::now();
    {
      CategoryTree alone;
      for (size_t at : c.paths.starts)
        ASSERT_NE(CategoryFromPath(alone, c.paths.text.c_str() + at), nullptr);
      EXPECT_EQ(alone.NodeCount(), c.nodes);
    }
    const double modelOnly = Seconds(start);

    Window owner(MakeOwner(false));
    if (c.visible) ShowWindow(owner.get(), SW_SHOWNA);
    Window control(MakeTree(owner.get()));
    CategoryTree tree;
    TreeViewHolder holder(tree, control.get());
    g_owner.holder = &holder;
    start = std::chrono::steady_clock::now();
    for (size_t at : c.paths.starts) ASSERT_NE(CategoryFromPath(tree, c.paths.text.c_str() + at), nullptr);
    const double mirrored = Seconds(start);
    ExpectControlShowsModel(tree, holder);
    std::printf("[ MEASURE  ] %s: model alone %.3f s, into the tree control %.3f s\n", c.name,
                modelOnly, mirrored);
    g_owner.holder = nullptr;
  }
}

}  // namespace

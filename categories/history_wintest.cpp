// The category history and the two ways of filling the recipe list, on real controls: a
// drop-down list and a list box in a window, and a category tree loaded from an index.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "catalogue/recipe_table.h"
#include "categories/category_tree.h"
#include "categories/history_win32.h"
#include "platform/temp_folder_wintest.h"

namespace {

using testfiles::Put;

std::string Line(int id, const std::string& title, const std::string& path) {
  return std::to_string(id) + "\t" + title + "\t0\t0\t0\t" + path + "\tGourmix.Dat\t0\r\n";
}

class History : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.Enter());
    HINSTANCE inst = GetModuleHandleA(nullptr);
    owner_ = CreateWindowExA(0, "STATIC", "owner", WS_POPUP, 0, 0, 400, 400, nullptr, nullptr, inst, nullptr);
    history_ = CreateWindowExA(0, "COMBOBOX", "", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST | WS_VSCROLL,
                               0, 0, 200, 200, owner_, reinterpret_cast<HMENU>(1017), inst, nullptr);
    list_ = CreateWindowExA(0, "LISTBOX", "", WS_CHILD | WS_VISIBLE | LBS_NOTIFY | WS_VSCROLL,
                            0, 30, 200, 200, owner_, reinterpret_cast<HMENU>(1000), inst, nullptr);
  }
  void TearDown() override {
    DestroyWindow(owner_);
    ReleaseCatalogue();
  }

  void Load(const std::string& index) {
    Put(kIndexFileName, index);
    ASSERT_GT(LoadIndex(tree_), 0u);
  }
  CategoryNode Node(const char* path) { return CategoryFromPath(tree_, path); }

  int HistoryCount() { return static_cast<int>(SendMessageA(history_, CB_GETCOUNT, 0, 0)); }
  int HistorySel() { return static_cast<int>(SendMessageA(history_, CB_GETCURSEL, 0, 0)); }
  std::string HistoryText(int i) {
    char buf[256] = {};
    SendMessageA(history_, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(buf));
    return buf;
  }
  CategoryNode HistoryNode(int i) {
    return reinterpret_cast<CategoryNode>(SendMessageA(history_, CB_GETITEMDATA, i, 0));
  }
  std::vector<std::string> Listed() {
    std::vector<std::string> out;
    const int n = static_cast<int>(SendMessageA(list_, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
      const RecipeEntry* e = RecipeOfLine(list_, i);
      char buf[256] = {};
      SendMessageA(list_, LB_GETTEXT, i, reinterpret_cast<LPARAM>(buf));
      EXPECT_TRUE(e && std::string(e->title) == buf) << "line " << i << " stands for its own recipe";
      out.push_back(buf);
    }
    return out;
  }

  testfiles::TempFolder folder_{"sah"};
  HWND owner_ = nullptr, history_ = nullptr, list_ = nullptr;
  CategoryTree tree_;
};

std::string ManyCategories(int n) {
  std::string index;
  for (int i = 1; i <= n; ++i) {
    char path[16];
    std::snprintf(path, sizeof path, "/C%02d", i);
    index += Line(i, std::string("Recette ") + path, path);
  }
  return index;
}

TEST_F(History, KeepsTwentyEntriesAndTrimsBeforeLookingForTheNode) {
  Load(ManyCategories(25));
  char path[16];
  for (int i = 1; i <= 20; ++i) {
    std::snprintf(path, sizeof path, "/C%02d", i);
    RememberCategory(history_, tree_, Node(path));
  }
  ASSERT_EQ(HistoryCount(), 20);
  EXPECT_EQ(HistoryText(0), "/C20");
  EXPECT_EQ(HistoryText(19), "/C01");

  // Already there: the 20th entry still goes first, and the old entry is selected in place.
  RememberCategory(history_, tree_, Node("/C05"));
  EXPECT_EQ(HistoryCount(), 19);
  EXPECT_EQ(HistorySel(), 15);
  EXPECT_EQ(HistoryText(15), "/C05");
  EXPECT_EQ(HistoryText(18), "/C02");

  RememberCategory(history_, tree_, Node("/C21"));
  ASSERT_EQ(HistoryCount(), 20);
  EXPECT_EQ(HistoryText(19), "/C02");
  // The 20th entry is dropped first, so it comes back at the top.
  RememberCategory(history_, tree_, Node("/C02"));
  EXPECT_EQ(HistoryCount(), 20);
  EXPECT_EQ(HistorySel(), 0);
  EXPECT_EQ(HistoryText(0), "/C02");
  EXPECT_EQ(HistoryNode(0), Node("/C02"));
  EXPECT_EQ(HistoryText(19), "/C03");
}

TEST_F(History, CategoriesDifferingOnlyInCaseKeepAnEntryEach) {
  Load(Line(1, "Tarte", "/Desserts") + Line(2, "Sorbet", "/desserts") + Line(3, "Soupe", "/Entr\xE9" "es") +
       Line(4, "Potage", "/ENTR\xC9" "ES"));
  CategoryNode upper = Node("/Desserts"), lower = Node("/desserts");
  ASSERT_NE(upper, lower);
  RememberCategory(history_, tree_, upper);
  RememberCategory(history_, tree_, lower);
  RememberCategory(history_, tree_, Node("/Entr\xE9" "es"));
  RememberCategory(history_, tree_, Node("/ENTR\xC9" "ES"));
  ASSERT_EQ(HistoryCount(), 4);
  EXPECT_EQ(HistoryText(2), "/desserts");
  EXPECT_EQ(HistoryNode(2), lower);

  // Choosing one of the two lists its own recipes and moves the tree to it, not to the other.
  RememberCategory(history_, tree_, lower);
  EXPECT_EQ(HistoryCount(), 4);
  EXPECT_EQ(HistorySel(), 2);
  EXPECT_EQ(ListFromHistory(history_, list_, tree_), 1u);
  EXPECT_EQ(Listed(), std::vector<std::string>{"Sorbet"});
  tree_.Select(upper);
  SyncTreeAndHistory(tree_, history_, 0);
  EXPECT_EQ(tree_.Selected(), lower);

  RememberCategory(history_, tree_, upper);
  EXPECT_EQ(HistorySel(), 3);
  EXPECT_EQ(HistoryNode(3), upper);
  EXPECT_EQ(ListFromHistory(history_, list_, tree_), 1u);
  EXPECT_EQ(Listed(), std::vector<std::string>{"Tarte"});
}

TEST_F(History, ListFromHistoryListsTheChosenCategoryOrEverything) {
  Load(Line(1, "Tarte aux pommes", "/Desserts/Tartes") + Line(2, "Flan", "/Desserts") +
       Line(3, "Soupe", "/Entr\xE9" "es") + Line(4, "Clafoutis", "/Desserts/G\xE2teaux"));
  CategoryNode before = tree_.Selected();
  // No selection in the history stands for the root.
  EXPECT_EQ(ListFromHistory(history_, list_, tree_), 4u);
  EXPECT_EQ(Listed(), (std::vector<std::string>{"Clafoutis", "Flan", "Soupe", "Tarte aux pommes"}));

  RememberCategory(history_, tree_, Node("/Desserts"));
  EXPECT_EQ(ListFromHistory(history_, list_, tree_), 3u);
  EXPECT_EQ(Listed(), (std::vector<std::string>{"Clafoutis", "Flan", "Tarte aux pommes"}));
  RememberCategory(history_, tree_, tree_.Root());
  EXPECT_EQ(HistoryText(0), "Toutes les recettes");
  EXPECT_EQ(ListFromHistory(history_, list_, tree_), 4u);
  EXPECT_EQ(tree_.Selected(), before) << "the tree keeps its selection";
}

int g_adds = 0;
void EmptyCounting(HWND list, uint32_t expected) {
  EmptyRecipeList(list, expected);
  g_adds = 0;
}
bool RefuseEveryOther(HWND list, RecipeEntry* entry) {
  if (g_adds++ % 2) return false;
  return AppendRecipe(list, entry);
}

TEST_F(History, ListFromTreeRemembersTheSelectionAndCountsEveryMember) {
  Load(Line(1, "Tarte", "/Desserts/Tartes") + Line(2, "Flan", "/Desserts") + Line(3, "Soupe", "/Entr\xE9" "es") +
       Line(4, "Sorbet", "/Desserts/Glaces"));
  tree_.Select(Node("/Desserts"));
  EXPECT_EQ(ListFromTree(tree_, history_, list_, EmptyRecipeList, AppendRecipe), 3u);
  EXPECT_EQ(Listed(), (std::vector<std::string>{"Flan", "Sorbet", "Tarte"}));
  EXPECT_EQ(HistoryText(HistorySel()), "/Desserts");

  // A refused line is still counted.
  EXPECT_EQ(ListFromTree(tree_, history_, list_, EmptyCounting, RefuseEveryOther), 3u);
  EXPECT_EQ(Listed().size(), 2u);
  EXPECT_EQ(HistoryCount(), 1);
}

TEST_F(History, SyncMovesTheTreeOrTheHistory) {
  Load(Line(1, "Tarte", "/Desserts") + Line(2, "Soupe", "/Entr\xE9" "es"));
  std::vector<CategoryNode> seen;
  tree_.SetSelectionListener([&](CategoryNode n) { seen.push_back(n); });
  CategoryNode desserts = Node("/Desserts"), entrees = Node("/Entr\xE9" "es");

  tree_.Select(desserts);
  seen.clear();
  // No history selection: the root.
  EXPECT_EQ(SyncTreeAndHistory(tree_, history_, 0), 1);
  EXPECT_EQ(tree_.Selected(), tree_.Root());
  EXPECT_EQ(seen.size(), 1u);
  // Already there: the history's index, nothing selected again.
  EXPECT_EQ(SyncTreeAndHistory(tree_, history_, 0), -1);
  EXPECT_EQ(seen.size(), 1u);

  RememberCategory(history_, tree_, entrees);
  RememberCategory(history_, tree_, desserts);
  SendMessageA(history_, CB_SETCURSEL, 1, 0);  // the user picks /Entrees
  EXPECT_EQ(SyncTreeAndHistory(tree_, history_, 0), 1);
  EXPECT_EQ(tree_.Selected(), entrees);
  EXPECT_EQ(SyncTreeAndHistory(tree_, history_, 0), 1) << "returns the history's index";

  // Mode 1: the history follows the tree.
  tree_.Select(desserts);
  EXPECT_NE(SyncTreeAndHistory(tree_, history_, 1), 0);
  EXPECT_EQ(HistoryNode(HistorySel()), desserts);
  EXPECT_EQ(HistoryCount(), 2);

  seen.clear();
  const int count = HistoryCount(), sel = HistorySel();
  EXPECT_EQ(SyncTreeAndHistory(tree_, history_, 2), 0);
  EXPECT_EQ(HistoryCount(), count);
  EXPECT_EQ(HistorySel(), sel);
  EXPECT_TRUE(seen.empty());
}

}  // namespace

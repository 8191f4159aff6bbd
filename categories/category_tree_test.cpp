#include "categories/category_tree.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "catalogue/recipe_table.h"
#include "categories/label_order.h"
#include "platform/fileio.h"
#include "platform/temp_folder_test.h"
#include "resources/strings.h"

namespace {

std::string RootLabel() {
  char buf[256];
  LoadText(9, buf, sizeof buf);
  return std::string(buf).substr(0, kCategoryLabelMax);
}

std::vector<std::string> ChildLabels(const CategoryTree& tree, CategoryNode parent) {
  std::vector<std::string> out;
  for (CategoryNode n = tree.FirstChild(parent); n; n = tree.NextSibling(n))
    out.push_back(tree.Label(n));
  return out;
}

// Walks the whole tree: links agree with each other, the count is right, and a lookup by label
// answers the first sibling with that label.
void ExpectWhole(const CategoryTree& tree) {
  size_t count = 0;
  std::vector<CategoryNode> pending;
  for (CategoryNode n = tree.Root(); n; n = tree.NextSibling(n)) pending.push_back(n);
  while (!pending.empty()) {
    CategoryNode n = pending.back();
    pending.pop_back();
    ++count;
    CategoryNode parent = tree.Parent(n);
    CategoryNode first = parent ? tree.FirstChild(parent) : tree.Root();
    CategoryNode same = nullptr;
    for (CategoryNode s = first; s; s = tree.NextSibling(s)) {
      if (tree.NextSibling(s)) {
        EXPECT_EQ(tree.PrevSibling(tree.NextSibling(s)), s);
      }
      if (!same && std::strcmp(tree.Label(s), tree.Label(n)) == 0) same = s;
    }
    EXPECT_EQ(tree.FindChild(parent, tree.Label(n), std::strlen(tree.Label(n))), same);
    for (CategoryNode c = tree.FirstChild(n); c; c = tree.NextSibling(c)) {
      EXPECT_EQ(tree.Parent(c), n);
      pending.push_back(c);
    }
  }
  EXPECT_EQ(count, tree.NodeCount());
}

void ResetStats() { PathLookupCounters() = PathLookupStats{0, 0, 0}; }

TEST(PathCacheTest, WorkedExampleOfFourIndexLines) {
  CategoryTree tree;
  ResetStats();
  const PathLookupStats& stats = PathLookupCounters();

  CategoryNode tartes = CategoryFromPath(tree, "/Desserts/Tartes");
  ASSERT_NE(tartes, nullptr);
  CategoryNode root = tree.Root();
  EXPECT_EQ(tree.Label(root), RootLabel());
  EXPECT_EQ(tree.Selected(), root);
  EXPECT_TRUE(tree.IsExpanded(root));
  CategoryNode desserts = tree.Parent(tartes);
  EXPECT_STREQ(tree.Label(desserts), "Desserts");
  EXPECT_FALSE(tree.IsExpanded(desserts));
  EXPECT_FALSE(tree.IsExpanded(tartes));
  EXPECT_STREQ(PathCacheAt(0).label, "Desserts");
  EXPECT_EQ(PathCacheAt(0).node, desserts);
  EXPECT_STREQ(PathCacheAt(1).label, "Tartes");
  EXPECT_EQ(PathCacheAt(1).node, tartes);
  EXPECT_EQ(PathCacheAt(2).node, nullptr);
  EXPECT_EQ(stats.created, 2u);

  // Line 2: both segments come from the cache, nothing is looked up or made.
  EXPECT_EQ(CategoryFromPath(tree, "/Desserts/Tartes"), tartes);
  EXPECT_EQ(stats.fromCache, 2u);
  EXPECT_EQ(stats.fromChildren, 0u);
  EXPECT_EQ(stats.created, 2u);

  // Line 3: Desserts from the cache; Gateaux is new, goes before Tartes and takes slot 1.
  CategoryNode gateaux = CategoryFromPath(tree, "/Desserts/G\xE2teaux");
  EXPECT_EQ(tree.Parent(gateaux), desserts);
  EXPECT_EQ(stats.fromCache, 3u);
  EXPECT_EQ(stats.created, 3u);
  EXPECT_EQ(ChildLabels(tree, desserts), (std::vector<std::string>{"G\xE2teaux", "Tartes"}));
  EXPECT_EQ(PathCacheAt(1).node, gateaux);
  EXPECT_STREQ(PathCacheAt(0).label, "Desserts");

  // Line 4: slot 0 holds Desserts, so the root's children are searched; Entrees is new.
  CategoryNode entrees = CategoryFromPath(tree, "/Entr\xE9" "es");
  EXPECT_EQ(tree.Parent(entrees), root);
  EXPECT_EQ(stats.created, 4u);
  EXPECT_EQ(PathCacheAt(0).node, entrees);
  EXPECT_EQ(PathCacheAt(1).node, gateaux);
  EXPECT_EQ(ChildLabels(tree, root), (std::vector<std::string>{"Desserts", "Entr\xE9" "es"}));
  EXPECT_EQ(tree.NodeCount(), 5u);

  // A segment found among the children leaves the cache as it was.
  EXPECT_EQ(CategoryFromPath(tree, "/Desserts"), desserts);
  EXPECT_EQ(stats.fromChildren, 1u);
  EXPECT_EQ(PathCacheAt(0).node, entrees);
  ExpectWhole(tree);
}

TEST(PathCacheTest, OnlyTheFirstFiveLevelsAreCached) {
  CategoryTree tree;
  const char* path = "/1/2/3/4/5/6/7";
  CategoryNode deep = CategoryFromPath(tree, path);
  ResetStats();
  EXPECT_EQ(CategoryFromPath(tree, path), deep);
  EXPECT_EQ(PathLookupCounters().fromCache, 5u);
  EXPECT_EQ(PathLookupCounters().fromChildren, 2u);
  EXPECT_STREQ(PathOfCategory(tree, deep), path);
}

TEST(PathCacheTest, ANewRootEmptiesTheCacheAndCachedNodesAreForgottenWhenTheyGo) {
  CategoryTree first;
  CategoryFromPath(first, "/A/B");
  CategoryTree second;
  CategoryFromPath(second, "/C");
  EXPECT_STREQ(PathCacheAt(0).label, "C");
  EXPECT_EQ(PathCacheAt(1).node, nullptr);

  // Removing or renaming a cached node must not leave the cache naming it.
  CategoryNode d = CategoryFromPath(second, "/D/E");
  second.Delete(second.Parent(d));
  EXPECT_EQ(PathCacheAt(0).node, nullptr);
  EXPECT_EQ(PathCacheAt(1).node, nullptr);
  CategoryNode again = CategoryFromPath(second, "/D/E");
  EXPECT_STREQ(PathOfCategory(second, again), "/D/E");
  ASSERT_TRUE(SetCategoryLabel(second, second.Parent(again), "F"));
  CategoryNode fresh = CategoryFromPath(second, "/D/E");
  EXPECT_NE(fresh, again);
  EXPECT_STREQ(PathOfCategory(second, fresh), "/D/E");
  ExpectWhole(second);
}

TEST(CategoryFromPathTest, RunsOfSlashesAreIgnored) {
  CategoryTree tree;
  CategoryNode root = CategoryFromPath(tree, "");
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root, tree.Root());
  for (const char* p : {"/", "///"}) EXPECT_EQ(CategoryFromPath(tree, p), root) << p;
  CategoryNode desserts = CategoryFromPath(tree, "Desserts");
  EXPECT_EQ(tree.Parent(desserts), root);
  for (const char* p : {"/Desserts", "/Desserts/", "//Desserts"}) EXPECT_EQ(CategoryFromPath(tree, p), desserts) << p;
  EXPECT_EQ(CategoryFromPath(tree, "Desserts//Tartes//"), CategoryFromPath(tree, "/Desserts/Tartes"));
  EXPECT_EQ(tree.NodeCount(), 3u);
}

TEST(CategoryFromPathTest, LabelsAreCaseSensitiveButShownInAlphabeticalOrder) {
  CategoryTree tree;
  CategoryNode upper = CategoryFromPath(tree, "/Desserts");
  CategoryNode lower = CategoryFromPath(tree, "/desserts");
  EXPECT_NE(upper, lower);
  CategoryFromPath(tree, "/cerise");
  CategoryFromPath(tree, "/Abricot");
  CategoryFromPath(tree, "/\xC9pices");
  CategoryFromPath(tree, "/Zeste");
  CategoryFromPath(tree, "/banane");
  // Small letters before capitals where the words are otherwise equal, as the control sorts.
  EXPECT_EQ(ChildLabels(tree, tree.Root()),
            (std::vector<std::string>{"Abricot", "banane", "cerise", "desserts", "Desserts",
                                      "\xC9pices", "Zeste"}));
  ExpectWhole(tree);
}

TEST(CategoryFromPathTest, SameLabelUnderTwoParentsGivesTwoNodes) {
  CategoryTree tree;
  CategoryNode viandes = CategoryFromPath(tree, "/Viandes/Divers");
  CategoryNode poissons = CategoryFromPath(tree, "/Poissons/Divers");
  EXPECT_NE(viandes, poissons);
  EXPECT_STREQ(tree.Label(tree.Parent(poissons)), "Poissons");
  EXPECT_EQ(CategoryFromPath(tree, "/Viandes/Divers"), viandes);
  EXPECT_EQ(tree.NodeCount(), 5u);
}

TEST(CategoryFromPathTest, EqualLabelsSortByTheirBytesWhateverTheOrderTheyCameIn) {
  // "Boeuf" and "B\x9Cuf" compare equal on the platform; their order must not depend on the
  // order of the index lines, which every save changes.
  for (int order = 0; order < 2; ++order) {
    CategoryTree tree;
    CategoryFromPath(tree, order ? "/B\x9C" "uf" : "/Boeuf");
    CategoryFromPath(tree, "/Agneau");
    CategoryFromPath(tree, order ? "/Boeuf" : "/B\x9C" "uf");
    CategoryFromPath(tree, "/Bouillons");
    EXPECT_EQ(ChildLabels(tree, tree.Root()),
              (std::vector<std::string>{"Agneau", "Boeuf", "B\x9C" "uf", "Bouillons"}));
  }
}

TEST(CategoryFromPathTest, LongSegmentsStandForTheirFirst63Characters) {
  CategoryTree tree;
  const std::string longSegment(100, 'x');
  const std::string cut(kCategoryLabelMax, 'x');
  CategoryNode node = CategoryFromPath(tree, ("/" + longSegment + "/Fin").c_str());
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(tree.Label(tree.Parent(node)), cut);
  // The same line again, with the cut form, or with another tail beyond 63, finds it again.
  EXPECT_EQ(CategoryFromPath(tree, ("/" + longSegment + "/Fin").c_str()), node);
  EXPECT_EQ(CategoryFromPath(tree, ("/" + cut + "/Fin").c_str()), node);
  EXPECT_EQ(CategoryFromPath(tree, ("/" + cut + "yyyy/Fin").c_str()), node);
  EXPECT_EQ(tree.NodeCount(), 3u);
  // What is written for it reads back to it.
  EXPECT_EQ(CategoryFromPath(tree, PathOfCategory(tree, node)), node);

  // Labels set by the editor follow the same rule.
  ASSERT_TRUE(SetCategoryLabel(tree, node, std::string(80, 'y').c_str()));
  EXPECT_EQ(tree.Label(node), std::string(kCategoryLabelMax, 'y'));
  CategoryNode made = InsertCategory(tree, tree.Root(), std::string(70, 'z').c_str(), 0);
  EXPECT_EQ(std::strlen(tree.Label(made)), kCategoryLabelMax);
  char buf[8];
  EXPECT_STREQ(CategoryLabel(tree, made, buf, sizeof buf), "zzzzzzz");
  ExpectWhole(tree);
}

TEST(CategoryFromPathTest, ANodeThatCannotBeMadeGivesNullAndLeavesTheTreeWhole) {
  {
    CategoryTree tree;
    fileio::fault::Arm(1);
    EXPECT_EQ(CategoryFromPath(tree, "/A"), nullptr);
    EXPECT_TRUE(fileio::fault::Fired());
    fileio::fault::Disarm();
    EXPECT_EQ(tree.NodeCount(), 0u);
  }
  int failures = 0;
  for (long k = 1;; ++k) {
    CategoryTree tree;
    ASSERT_NE(CategoryFromPath(tree, "/A/B"), nullptr);
    const size_t before = tree.NodeCount();
    fileio::fault::Arm(k);
    CategoryNode node = CategoryFromPath(tree, "/A/C/D/E");
    const bool fired = fileio::fault::Fired();
    fileio::fault::Disarm();
    if (!fired) {
      ASSERT_NE(node, nullptr);
      break;
    }
    ++failures;
    EXPECT_EQ(node, nullptr) << "failure at allocation " << k;
    ExpectWhole(tree);
    CategoryNode retry = CategoryFromPath(tree, "/A/C/D/E");
    ASSERT_NE(retry, nullptr);
    EXPECT_STREQ(PathOfCategory(tree, retry), "/A/C/D/E");
    EXPECT_EQ(tree.NodeCount(), before + 3);
    ExpectWhole(tree);
  }
  EXPECT_GE(failures, 3);  // node, label and key of each of the three new nodes
}

TEST(PathOfCategoryTest, RootGivesItsLabelAndOthersASlashPath) {
  CategoryTree tree;
  CategoryNode tartes = CategoryFromPath(tree, "/Desserts/Tartes");
  EXPECT_EQ(PathOfCategory(tree, tree.Root()), RootLabel());
  EXPECT_STREQ(PathOfCategory(tree, tree.Parent(tartes)), "/Desserts");
  EXPECT_STREQ(PathOfCategory(tree, tartes), "/Desserts/Tartes");

  // A "/" in a label is written as it is and reads back as two levels.
  ASSERT_TRUE(SetCategoryLabel(tree, tartes, "Tartes/Tourtes"));
  const std::string written = PathOfCategory(tree, tartes);
  EXPECT_EQ(written, "/Desserts/Tartes/Tourtes");
  CategoryNode back = CategoryFromPath(tree, written.c_str());
  EXPECT_STREQ(tree.Label(back), "Tourtes");
  EXPECT_STREQ(tree.Label(tree.Parent(back)), "Tartes");

  // A root renamed with a "/" in it stays out of its children's paths.
  ASSERT_TRUE(SetCategoryLabel(tree, tree.Root(), "Mes/recettes"));
  EXPECT_STREQ(PathOfCategory(tree, tree.Root()), "Mes/recettes");
  EXPECT_STREQ(PathOfCategory(tree, tree.Parent(tartes)), "/Desserts");
}

TEST(PathOfCategoryTest, TheWrittenTextIsCutAt255CharactersWhateverTheRootsLabel) {
  CategoryTree tree;
  std::string path;
  for (char c = 'a'; c <= 'e'; ++c) path += "/" + std::string(60, c);  // 305 characters
  CategoryNode deep = CategoryFromPath(tree, path.c_str());
  // The path text is read up to its first 255 characters: the fifth level keeps 10.
  EXPECT_STREQ(tree.Label(deep), std::string(10, 'e').c_str());
  EXPECT_EQ(PathOfCategory(tree, deep), path.substr(0, 255));
  EXPECT_EQ(CategoryPathLength(tree, deep), 255u);

  // The root's label, short or long, takes nothing from its children's 255 characters.
  for (const char* root : {"r", "Un nom de racine bien plus long que d'habitude"}) {
    ASSERT_TRUE(SetCategoryLabel(tree, tree.Root(), root));
    EXPECT_EQ(PathOfCategory(tree, deep), path.substr(0, 255));
  }
  EXPECT_STREQ(PathOfCategory(tree, tree.Root()), "Un nom de racine bien plus long que d'habitude");

  // Longer labels: the text is cut at 255, possibly right after a "/", and the length says by
  // how much.
  CategoryNode d4 = tree.Parent(deep);
  ASSERT_TRUE(SetCategoryLabel(tree, d4, std::string(63, 'd').c_str()));
  EXPECT_EQ(CategoryPathLength(tree, deep), 258u);
  std::string cut = PathOfCategory(tree, deep);
  EXPECT_EQ(cut.size(), 255u);
  EXPECT_EQ(cut.substr(cut.size() - 9), "d/eeeeeee");  // 3 * 61 + 64 = 247, then "/" and 7
  // Three levels of 63 and one of 61 take 254 characters: the fifth level adds its "/" only.
  CategoryNode d1 = tree.Parent(tree.Parent(tree.Parent(d4)));
  ASSERT_TRUE(SetCategoryLabel(tree, d1, std::string(63, 'a').c_str()));
  ASSERT_TRUE(SetCategoryLabel(tree, tree.FirstChild(d1), std::string(63, 'b').c_str()));
  ASSERT_TRUE(SetCategoryLabel(tree, tree.Parent(d4), std::string(63, 'c').c_str()));
  ASSERT_TRUE(SetCategoryLabel(tree, d4, std::string(61, 'd').c_str()));
  cut = PathOfCategory(tree, deep);
  EXPECT_EQ(cut.size(), 255u);
  EXPECT_EQ(cut.substr(cut.size() - 2), "d/");
  EXPECT_EQ(CategoryPathLength(tree, tree.Root()), std::strlen(tree.Label(tree.Root())));
}

TEST(IsInCategoryTest, NodesAreInThemselvesTheirAncestorsAndTheRoot) {
  CategoryTree tree;
  CategoryNode tartes = CategoryFromPath(tree, "/Desserts/Tartes");
  CategoryNode desserts = tree.Parent(tartes);
  CategoryNode entrees = CategoryFromPath(tree, "/Entr\xE9" "es");
  CategoryNode root = tree.Root();
  EXPECT_TRUE(IsInCategory(tree, root, tartes));
  EXPECT_TRUE(IsInCategory(tree, root, root));
  EXPECT_TRUE(IsInCategory(tree, tartes, tartes));
  EXPECT_TRUE(IsInCategory(tree, desserts, tartes));
  EXPECT_FALSE(IsInCategory(tree, tartes, desserts));
  EXPECT_FALSE(IsInCategory(tree, entrees, tartes));
  EXPECT_FALSE(IsInCategory(tree, desserts, root));
  EXPECT_FALSE(IsInCategory(tree, desserts, nullptr));
}

TEST(SiblingOrderTest, SortedInsertionGoesBeforeTheFirstSiblingThatSortsAfterIt) {
  CategoryTree tree;
  CategoryNode root = tree.Insert(nullptr, "Racine", InsertAt::Sorted, true);
  tree.Insert(root, "Brioches", InsertAt::Sorted, false);
  tree.Insert(root, "Zestes", InsertAt::Last, true);
  tree.Insert(root, "Abricots", InsertAt::Last, true);
  EXPECT_EQ(ChildLabels(tree, root), (std::vector<std::string>{"Brioches", "Zestes", "Abricots"}));
  // As the control's sorted insertion scans: before the first sibling that sorts after it.
  tree.Insert(root, "Cakes", InsertAt::Sorted, false);
  tree.Insert(root, "Amandes", InsertAt::Sorted, false);
  EXPECT_EQ(ChildLabels(tree, root),
            (std::vector<std::string>{"Amandes", "Brioches", "Cakes", "Zestes", "Abricots"}));
  // A rename keeps the node in place, and lookups follow the new label.
  CategoryNode cakes = tree.FindChild(root, "Cakes", 5);
  ASSERT_TRUE(SetCategoryLabel(tree, cakes, "Yaourts"));
  EXPECT_EQ(tree.FindChild(root, "Cakes", 5), nullptr);
  EXPECT_EQ(tree.FindChild(root, "Yaourts", 7), cakes);
  tree.Insert(root, "Beignets", InsertAt::Sorted, false);
  EXPECT_EQ(ChildLabels(tree, root)[1], "Beignets");
  ExpectWhole(tree);
}

TEST(SiblingOrderTest, LookupAnswersTheFirstOfSiblingsWithOneLabel) {
  CategoryTree tree;
  CategoryNode root = tree.Insert(nullptr, "Racine", InsertAt::Sorted, true);
  CategoryNode first = tree.Insert(root, "Divers", InsertAt::Sorted, false);
  CategoryNode second = tree.Insert(root, "Divers", InsertAt::Last, true);
  CategoryNode other = tree.Insert(root, "Autres", InsertAt::Last, true);
  EXPECT_EQ(tree.FindChild(root, "Divers", 6), first);
  ASSERT_TRUE(SetCategoryLabel(tree, other, "Divers"));  // now the last of three
  EXPECT_EQ(tree.FindChild(root, "Divers", 6), first);
  tree.Delete(first);
  EXPECT_EQ(tree.FindChild(root, "Divers", 6), second);
  ASSERT_TRUE(SetCategoryLabel(tree, second, "Fin"));
  EXPECT_EQ(tree.FindChild(root, "Divers", 6), other);
  EXPECT_EQ(CategoryFromPath(tree, "/Divers"), other);
  ExpectWhole(tree);
}

TEST(SelectionTest, DeletingTheSelectionMovesItAsTheControlDoes) {
  CategoryTree tree;
  std::vector<CategoryNode> heard;
  tree.SetSelectionListener([&](CategoryNode n) { heard.push_back(n); });
  CategoryNode a = CategoryFromPath(tree, "/A");
  CategoryNode b = CategoryFromPath(tree, "/B");
  CategoryNode c = CategoryFromPath(tree, "/C");
  CategoryNode c1 = CategoryFromPath(tree, "/C/1/x");
  CategoryNode root = tree.Root();
  heard.clear();

  // Selecting opens the collapsed ancestors, as the control shows the item it selects.
  EXPECT_FALSE(tree.IsExpanded(c));
  ASSERT_TRUE(tree.Select(c1));
  EXPECT_TRUE(tree.IsExpanded(c));
  EXPECT_TRUE(tree.IsExpanded(tree.Parent(c1)));
  EXPECT_FALSE(tree.IsExpanded(c1));
  tree.Select(c1);  // no change, no notification
  EXPECT_EQ(heard, std::vector<CategoryNode>{c1});

  tree.Select(b);
  tree.Delete(b);  // the next sibling
  EXPECT_EQ(tree.Selected(), c);
  tree.Delete(tree.Parent(c1));  // not selected: the selection stays
  EXPECT_EQ(tree.Selected(), c);
  tree.Delete(c);  // no next sibling: the parent
  EXPECT_EQ(tree.Selected(), root);
  EXPECT_EQ(heard, (std::vector<CategoryNode>{c1, b, c, root}));

  // At the top level, without a next sibling: the previous one, else nothing.
  CategoryNode second = tree.Insert(nullptr, "Zz", InsertAt::Last, true);
  tree.Select(second);
  tree.Delete(second);
  EXPECT_EQ(tree.Selected(), root);
  tree.Select(a);
  tree.Delete(root);
  EXPECT_EQ(tree.Selected(), nullptr);
  EXPECT_EQ(tree.NodeCount(), 0u);
}

// A view that checks what the model tells it against the model itself at that moment.
class CheckingView : public CategoryTreeView {
 public:
  explicit CheckingView(CategoryTree& tree) : tree_(tree) {}
  bool OnInsert(CategoryNode node, CategoryNode parent, CategoryNode after, bool expanded) override {
    EXPECT_EQ(parent, tree_.Parent(node));
    EXPECT_EQ(after, tree_.PrevSibling(node));
    EXPECT_EQ(expanded, tree_.IsExpanded(node));
    ++shown;
    return shown != refuse;
  }
  void OnDelete(CategoryNode node) override {
    EXPECT_EQ(tree_.FindChild(tree_.Parent(node), tree_.Label(node), std::strlen(tree_.Label(node))),
              nullptr);  // already out of the model's lookups
    --shown;  // only leaves are deleted below
  }
  void OnClear() override { shown = 0; }
  void OnSetLabel(CategoryNode) override { ++relabelled; }
  void OnSelect(CategoryNode node) override { selected = node; }

  int shown = 0, refuse = -1, relabelled = 0;
  CategoryNode selected = nullptr;

 private:
  CategoryTree& tree_;
};

TEST(ViewTest, TheViewHearsEveryChangeAndCanRefuseANode) {
  ReleaseCatalogue();  // RemoveCategory below walks the recipe table
  CategoryTree tree;
  CheckingView view(tree);
  tree.SetView(&view);
  std::vector<CategoryNode> heard;
  tree.SetSelectionListener([&](CategoryNode n) { heard.push_back(n); });
  for (const char* p : {"/Desserts/Tartes", "/Entr\xE9" "es", "/Desserts/G\xE2teaux", "/Abats"})
    ASSERT_NE(CategoryFromPath(tree, p), nullptr);
  EXPECT_EQ(view.shown, 6);
  EXPECT_EQ(view.selected, tree.Root());
  SetCategoryLabel(tree, CategoryFromPath(tree, "/Abats"), "Abattis");
  EXPECT_EQ(view.relabelled, 1);
  RemoveCategory(tree, CategoryFromPath(tree, "/Desserts/Tartes"));
  EXPECT_EQ(view.shown, 5);
  EXPECT_EQ(view.selected, CategoryFromPath(tree, "/Desserts"));
  EXPECT_TRUE(heard.empty());  // the view's control notifies its owner, not the model

  // A node the control cannot hold is not kept.
  view.refuse = view.shown + 1;
  EXPECT_EQ(CategoryFromPath(tree, "/Poissons/Divers"), nullptr);
  EXPECT_EQ(tree.NodeCount(), 5u);
  EXPECT_EQ(tree.FindChild(tree.Root(), "Poissons", 8), nullptr);
  ExpectWhole(tree);

  ClearCategories(tree);
  EXPECT_EQ(view.shown, 0);
  EXPECT_EQ(tree.NodeCount(), 0u);
  EXPECT_EQ(tree.Selected(), nullptr);
}

// RemoveCategory re-files the recipes of the table, which only an index file fills.
class RemoveCategoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.Enter());
    ReleaseCatalogue();
  }
  void TearDown() override { ReleaseCatalogue(); }
  void WriteIndex(const std::vector<std::pair<std::string, std::string>>& recipes) {
    FILE* f = std::fopen(kIndexFileName, "wb");
    ASSERT_NE(f, nullptr);
    unsigned id = 0;
    for (const auto& r : recipes) {
      ++id;
      std::fprintf(f, "%u\t%s\t0\t%u\t%u\t%s\tGourmix.Dat\t0\r\n", id, r.first.c_str(), id * 10,
                   id * 10 + 5, r.second.c_str());
    }
    std::fclose(f);
  }
  std::string PathOf(CategoryTree& tree, const char* title) {
    for (uint32_t i = 0; i < RecipeCount(); ++i)
      if (std::strcmp(RecipeEntries()[i].title, title) == 0)
        return PathOfCategory(tree, RecipeEntries()[i].category);
    return "?";
  }
  testfiles::TempFolder folder_{"saucelins-tree"};
};

TEST_F(RemoveCategoryTest, RecipesOfAllLevelsGoToTheParentWhichIsSelected) {
  WriteIndex({{"Tarte", "/Desserts/Tartes"},
              {"Tarte fine", "/Desserts/Tartes/Fines"},
              {"Tarte fine aux pommes", "/Desserts/Tartes/Fines/Pommes"},
              {"Flan", "/Desserts"},
              {"Cake", "/Desserts/Cakes"},
              {"Soupe", "/Potages"}});
  CategoryTree tree;
  ASSERT_EQ(LoadIndex(tree), 6u);
  CategoryNode tartes = CategoryFromPath(tree, "/Desserts/Tartes");
  CategoryNode desserts = tree.Parent(tartes);
  const size_t count = tree.NodeCount();
  tree.Select(CategoryFromPath(tree, "/Desserts/Tartes/Fines"));

  RemoveCategory(tree, tartes);
  EXPECT_EQ(tree.NodeCount(), count - 3);
  EXPECT_EQ(tree.Selected(), desserts);
  EXPECT_EQ(ChildLabels(tree, desserts), std::vector<std::string>{"Cakes"});
  for (const char* title : {"Tarte", "Tarte fine", "Tarte fine aux pommes", "Flan"})
    EXPECT_EQ(PathOf(tree, title), "/Desserts") << title;
  EXPECT_EQ(PathOf(tree, "Cake"), "/Desserts/Cakes");
  EXPECT_EQ(PathOf(tree, "Soupe"), "/Potages");
  ExpectWhole(tree);
}

}  // namespace

#include "editor/category_edits.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/recipe_table.h"
#include "platform/fileio.h"
#include "platform/temp_folder_test.h"

namespace {

// The edits work on the recipe table, which only an index file fills.
class CategoryEditsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.Enter());
    ReleaseCatalogue();
    FILE* f = std::fopen(kIndexFileName, "wb");
    ASSERT_NE(f, nullptr);
    const std::vector<std::pair<const char*, const char*>> recipes = {
        {"Tarte aux pommes", "/Desserts/Tartes"}, {"Tarte au citron", "/Desserts/Tartes"},
        {"Flan", "/Desserts"},                    {"Pot-au-feu", "/Plats/Viandes/Boeuf"},
        {"Blanquette", "/Plats/Viandes/Veau"},    {"Omelette", "/Plats"},
        {"Soupe", "/Potages"}};
    unsigned id = 100;
    for (const auto& r : recipes) {
      ++id;
      std::fprintf(f, "%u\t%s\t0\t%u\t%u\t%s\tGourmix.Dat\t0\r\n", id, r.first, id, id + 1, r.second);
    }
    std::fclose(f);
    ASSERT_EQ(LoadIndex(tree_), recipes.size());
  }
  void TearDown() override {
    fileio::fault::Disarm();
    ReleaseCatalogue();
  }
  CategoryNode At(const char* path) { return CategoryFromPath(tree_, path); }
  std::string PathOf(const char* title) {
    for (uint32_t i = 0; i < RecipeCount(); ++i)
      if (std::string(RecipeEntries()[i].title) == title)
        return PathOfCategory(tree_, RecipeEntries()[i].category);
    return "?";
  }
  std::vector<std::string> Children(CategoryNode n) {
    std::vector<std::string> out;
    for (CategoryNode c = tree_.FirstChild(n); c; c = tree_.NextSibling(c)) out.push_back(tree_.Label(c));
    return out;
  }
  // Every path of the tree, depth first, with the recipes filed there.
  std::string Shape() {
    std::string out;
    for (CategoryNode n = tree_.Root(); n;) {
      out += PathOfCategory(tree_, n);
      for (uint32_t i = 0; i < RecipeCount(); ++i)
        if (RecipeEntries()[i].category == n) out += std::string(" [") + RecipeEntries()[i].title + "]";
      out += "\n";
      CategoryNode next = tree_.FirstChild(n);
      for (CategoryNode up = n; !next && up; up = tree_.Parent(up)) next = tree_.NextSibling(up);
      n = next;
    }
    return out;
  }

  CategoryTree tree_;
  testfiles::TempFolder folder_{"saucelins-edits"};
};

// ---- label edits ----

TEST_F(CategoryEditsTest, LabelsThatComeBackFromTheIndexAsTheirOwnCategoryAreApplied) {
  CategoryNode tartes = At("/Desserts/Tartes");
  for (const char* text : {"Tourtes", "G\xE2teaux", " Entr\xE9" "es", "a", "Plats du jour  x",
                           "tartes" /* another case is another label */, "Tartes" /* its own */}) {
    SCOPED_TRACE(text);
    for (const char* saved : {"Tartes", ""}) {
      const LabelEditVerdict v = JudgeLabelEdit(tree_, tartes, text, saved);
      EXPECT_EQ(v.outcome, LabelEditOutcome::Apply);
      EXPECT_EQ(v.refusal, LabelRefusal::None);
    }
  }
}

TEST_F(CategoryEditsTest, CancelledEmptyAndRefusedLabelsRestoreDropOrAskAgain) {
  // A new category next to Tartes, and Tartes itself being renamed.
  CategoryNode desserts = At("/Desserts");
  CategoryNode fresh = tree_.Insert(desserts, "", InsertAt::Last, true);
  CategoryNode tartes = At("/Desserts/Tartes");
  ASSERT_NE(fresh, nullptr);
  ASSERT_NE(At("/Desserts/Cr\xE8mes"), nullptr);
  const std::string long63 = std::string(63, 'c');
  const std::string long63e = long63 + "e";
  ASSERT_NE(tree_.Insert(desserts, (long63 + "d").c_str(), InsertAt::Last, false), nullptr);
  struct Case {
    const char* text;
    LabelRefusal refusal;  // None: the edit ends without a label
  };
  const Case cases[] = {
      {nullptr, LabelRefusal::None},  // Escape
      {"", LabelRefusal::None},       // confirmed empty
      {"   ", LabelRefusal::None},    // the index reader would drop the spaces
      {"Plats/Viandes", LabelRefusal::NotStorable},  // would come back as two levels
      {"/", LabelRefusal::NotStorable},
      {"Tab\there", LabelRefusal::NotStorable},  // would split the index line
      {"Deux\r\nlignes", LabelRefusal::NotStorable},
      // Labels the next load would merge with a sibling's.
      {"Cr\xE8mes", LabelRefusal::TakenBySibling},
      {long63e.c_str(), LabelRefusal::TakenBySibling},  // the same first 63 characters
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text ? c.text : "(cancelled)");
    const bool refused = c.refusal != LabelRefusal::None;
    LabelEditVerdict named = JudgeLabelEdit(tree_, tartes, c.text, "Tartes");
    EXPECT_EQ(named.outcome, refused ? LabelEditOutcome::Refuse : LabelEditOutcome::Restore);
    EXPECT_EQ(named.refusal, c.refusal);
    LabelEditVerdict unnamed = JudgeLabelEdit(tree_, fresh, c.text, "");
    EXPECT_EQ(unnamed.outcome, refused ? LabelEditOutcome::Refuse : LabelEditOutcome::DropUnnamed);
    EXPECT_EQ(unnamed.refusal, c.refusal);
  }
  // A label used under another parent is no sibling's; a space or a case makes another label,
  // which the index keeps apart.
  for (const char* other : {"Viandes", "Cr\xE8mes ", "cr\xE8mes"})
    EXPECT_EQ(JudgeLabelEdit(tree_, tartes, other, "Tartes").outcome, LabelEditOutcome::Apply) << other;
}

// ---- moves ----

TEST_F(CategoryEditsTest, ALeafTakesItsRecipesToItsSortedPlace) {
  CategoryNode tartes = At("/Desserts/Tartes");
  CategoryNode plats = At("/Plats");
  const size_t nodes = tree_.NodeCount();

  CategoryNode moved = MoveCategoryTree(tree_, tartes, plats);
  ASSERT_NE(moved, nullptr);
  EXPECT_EQ(tree_.Parent(moved), plats);
  EXPECT_FALSE(tree_.IsExpanded(moved));
  EXPECT_EQ(Children(plats), (std::vector<std::string>{"Tartes", "Viandes"}));
  EXPECT_TRUE(Children(At("/Desserts")).empty());
  EXPECT_EQ(tree_.NodeCount(), nodes);
  EXPECT_EQ(PathOf("Tarte aux pommes"), "/Plats/Tartes");
  EXPECT_EQ(PathOf("Tarte au citron"), "/Plats/Tartes");
  EXPECT_EQ(PathOf("Flan"), "/Desserts");
  EXPECT_EQ(PathOf("Omelette"), "/Plats");
}

TEST_F(CategoryEditsTest, ACategoryMovesWithEverythingBelowIt) {
  CategoryNode viandes = At("/Plats/Viandes");
  CategoryNode desserts = At("/Desserts");
  // A branch the user made and opened, in the order he made it, holding no recipe.
  CategoryNode veau = At("/Plats/Viandes/Veau");
  CategoryNode agneau = tree_.Insert(viandes, "Agneau", InsertAt::Last, true);
  ASSERT_NE(agneau, nullptr);
  ASSERT_NE(tree_.Insert(agneau, "Gigot", InsertAt::Last, false), nullptr);
  tree_.SetExpanded(veau, true);
  const size_t nodes = tree_.NodeCount();

  CategoryNode moved = MoveCategoryTree(tree_, viandes, desserts);
  ASSERT_NE(moved, nullptr);
  EXPECT_EQ(tree_.NodeCount(), nodes);
  EXPECT_EQ(Children(desserts), (std::vector<std::string>{"Tartes", "Viandes"}));
  EXPECT_EQ(Children(moved), (std::vector<std::string>{"Boeuf", "Veau", "Agneau"}));
  EXPECT_FALSE(tree_.IsExpanded(moved));
  EXPECT_TRUE(tree_.IsExpanded(At("/Desserts/Viandes/Veau")));
  EXPECT_TRUE(tree_.IsExpanded(At("/Desserts/Viandes/Agneau")));
  EXPECT_EQ(Children(At("/Desserts/Viandes/Agneau")), std::vector<std::string>{"Gigot"});
  EXPECT_EQ(Children(At("/Plats")), std::vector<std::string>{});
  EXPECT_EQ(PathOf("Pot-au-feu"), "/Desserts/Viandes/Boeuf");
  EXPECT_EQ(PathOf("Blanquette"), "/Desserts/Viandes/Veau");
  EXPECT_EQ(PathOf("Omelette"), "/Plats");
  EXPECT_EQ(PathOf("Tarte au citron"), "/Desserts/Tartes");
}

TEST_F(CategoryEditsTest, AMoveIntoItselfOntoASameLabelOrGoingNowhereIsNotMade) {
  // A second Viandes elsewhere, the target of a move that would merge the two.
  ASSERT_NE(At("/Potages/Viandes"), nullptr);
  struct Case {
    const char *node, *target;
    CategoryMove check;
  };
  const Case cases[] = {
      {"/Plats/Viandes", "/Plats/Viandes", CategoryMove::Pointless},
      {"/Plats/Viandes", "/Plats", CategoryMove::Pointless},
      {"/Plats", "/Plats/Viandes/Boeuf", CategoryMove::IntoItself},
      {"/Plats", "/Plats/Viandes", CategoryMove::IntoItself},
      {"", "/Plats", CategoryMove::IntoItself},  // the root
      {"/Plats/Viandes", "/Potages", CategoryMove::LabelTaken},
      {"/Plats/Viandes", "/Desserts", CategoryMove::Allowed},
  };
  const std::string before = Shape();
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.node) + " onto " + c.target);
    EXPECT_EQ(CheckCategoryMove(tree_, At(c.node), At(c.target)), c.check);
    if (c.check != CategoryMove::Allowed) {
      EXPECT_EQ(MoveCategoryTree(tree_, At(c.node), At(c.target)), nullptr);
      EXPECT_EQ(Shape(), before);
    }
  }
}

TEST_F(CategoryEditsTest, AFailedMoveLeavesTheTreeAndTheRecipesAsTheyWere) {
  CategoryNode plats = At("/Plats");
  CategoryNode potages = At("/Potages");
  const std::string before = Shape();
  // Every allocation the copy makes, in turn, until the move goes through.
  int failures = 0;
  bool fired = true;
  for (long failAt = 1; fired && failAt < 100; ++failAt) {
    SCOPED_TRACE(failAt);
    fileio::fault::ResetCount();
    fileio::fault::Arm(failAt);
    CategoryNode moved = MoveCategoryTree(tree_, plats, potages);
    fired = fileio::fault::Fired();
    fileio::fault::Disarm();
    if (!fired) {
      ASSERT_NE(moved, nullptr);
      EXPECT_EQ(PathOf("Pot-au-feu"), "/Potages/Plats/Viandes/Boeuf");
      EXPECT_EQ(PathOf("Omelette"), "/Potages/Plats");
      break;
    }
    ++failures;
    EXPECT_EQ(moved, nullptr);
    EXPECT_EQ(Shape(), before);
  }
  EXPECT_FALSE(fired);
  EXPECT_GE(failures, 9);  // three allocations for each of the four nodes, the last one's at least
}

// ---- save ----

TEST_F(CategoryEditsTest, TheCategoriesASaveDropsAreTheTopmostWithoutARecipe) {
  EXPECT_TRUE(CategoriesWithoutRecipes(tree_).empty());
  // Potages emptied; a new branch under Desserts; an empty leaf beside a full one.
  for (uint32_t i = 0; i < RecipeCount(); ++i)
    if (std::string(RecipeEntries()[i].title) == "Soupe") RecipeEntries()[i].category = tree_.Root();
  CategoryNode cremes = tree_.Insert(At("/Desserts"), "Cr\xE8mes", InsertAt::Last, true);
  ASSERT_NE(tree_.Insert(cremes, "Flans", InsertAt::Last, true), nullptr);
  ASSERT_NE(At("/Plats/Viandes/Agneau"), nullptr);
  std::vector<std::string> paths;
  for (CategoryNode n : CategoriesWithoutRecipes(tree_)) paths.push_back(PathOfCategory(tree_, n));
  EXPECT_EQ(paths, (std::vector<std::string>{"/Desserts/Cr\xE8mes", "/Plats/Viandes/Agneau", "/Potages"}));
}

}  // namespace

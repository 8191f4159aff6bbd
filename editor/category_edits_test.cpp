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

TEST(JudgeLabelEdit, TextsThatComeBackFromTheIndexAreApplied) {
  for (const char* text : {"Tartes", "G\xE2teaux", " Entr\xE9" "es", "a", "Plats du jour  x"}) {
    SCOPED_TRACE(text);
    const LabelEditVerdict v = JudgeLabelEdit(text, "Ancien");
    EXPECT_EQ(v.outcome, LabelEditOutcome::Apply);
    EXPECT_FALSE(v.refused);
    EXPECT_EQ(JudgeLabelEdit(text, "").outcome, LabelEditOutcome::Apply);
  }
}

TEST(JudgeLabelEdit, CancelledEmptyAndRefusedTextsRestoreOrDropTheUnnamedNode) {
  struct Case {
    const char* text;
    bool refused;
  };
  const Case cases[] = {
      {nullptr, false},           // Escape
      {"", false},                // confirmed empty
      {"   ", false},             // the index reader would drop the spaces
      {"Plats/Viandes", true},    // would come back as two levels
      {"/", true},
      {"Tab\there", true},        // would split the index line
      {"Deux\r\nlignes", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text ? c.text : "(cancelled)");
    LabelEditVerdict named = JudgeLabelEdit(c.text, "Desserts");
    EXPECT_EQ(named.outcome, LabelEditOutcome::Restore);
    EXPECT_EQ(named.refused, c.refused);
    LabelEditVerdict fresh = JudgeLabelEdit(c.text, "");
    EXPECT_EQ(fresh.outcome, LabelEditOutcome::DropUnnamed);
    EXPECT_EQ(fresh.refused, c.refused);
  }
}

// The moves work on the recipe table, which only an index file fills.
class MoveLeafCategoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.Enter());
    ReleaseCatalogue();
    FILE* f = std::fopen(kIndexFileName, "wb");
    ASSERT_NE(f, nullptr);
    const std::vector<std::pair<const char*, const char*>> recipes = {
        {"Tarte aux pommes", "/Desserts/Tartes"}, {"Tarte au citron", "/Desserts/Tartes"},
        {"Flan", "/Desserts"},                    {"Pot-au-feu", "/Plats/Viandes/Boeuf"},
        {"Omelette", "/Plats"},                   {"Soupe", "/Potages"}};
    unsigned id = 100;
    for (const auto& r : recipes) {
      ++id;
      std::fprintf(f, "%u\t%s\t0\t%u\t%u\t%s\tGourmix.Dat\t0\r\n", id, r.first, id, id + 1, r.second);
    }
    std::fclose(f);
    ASSERT_EQ(LoadIndex(tree_), 6u);
  }
  void TearDown() override {
    fileio::fault::Disarm();
    ReleaseCatalogue();
  }
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

  CategoryTree tree_;
  testfiles::TempFolder folder_{"saucelins-edits"};
};

TEST_F(MoveLeafCategoryTest, TheRecipesFollowTheCategoryToItsSortedPlace) {
  CategoryNode tartes = CategoryFromPath(tree_, "/Desserts/Tartes");
  CategoryNode plats = CategoryFromPath(tree_, "/Plats");
  const size_t nodes = tree_.NodeCount();

  CategoryNode moved = MoveLeafCategory(tree_, tartes, plats);
  ASSERT_NE(moved, nullptr);
  EXPECT_EQ(tree_.Parent(moved), plats);
  EXPECT_FALSE(tree_.IsExpanded(moved));
  EXPECT_EQ(Children(plats), (std::vector<std::string>{"Tartes", "Viandes"}));
  EXPECT_TRUE(Children(CategoryFromPath(tree_, "/Desserts")).empty());
  EXPECT_EQ(tree_.NodeCount(), nodes);
  EXPECT_EQ(PathOf("Tarte aux pommes"), "/Plats/Tartes");
  EXPECT_EQ(PathOf("Tarte au citron"), "/Plats/Tartes");
  EXPECT_EQ(PathOf("Flan"), "/Desserts");
  EXPECT_EQ(PathOf("Omelette"), "/Plats");
}

TEST_F(MoveLeafCategoryTest, AFailedCreationLeavesTheTreeAndTheRecipesAsTheyWere) {
  CategoryNode tartes = CategoryFromPath(tree_, "/Desserts/Tartes");
  CategoryNode potages = CategoryFromPath(tree_, "/Potages");
  const size_t nodes = tree_.NodeCount();
  // Every allocation a node creation makes, in turn.
  int failures = 0;
  for (long failAt = 1; failAt <= 4; ++failAt) {
    SCOPED_TRACE(failAt);
    fileio::fault::ResetCount();
    fileio::fault::Arm(failAt);
    CategoryNode moved = MoveLeafCategory(tree_, tartes, potages);
    const bool fired = fileio::fault::Fired();
    fileio::fault::Disarm();
    if (!fired) {
      // Past the last allocation: the move went through; put it back for the next round.
      ASSERT_NE(moved, nullptr);
      tartes = MoveLeafCategory(tree_, moved, CategoryFromPath(tree_, "/Desserts"));
      ASSERT_NE(tartes, nullptr);
      continue;
    }
    ++failures;
    EXPECT_EQ(moved, nullptr);
    EXPECT_EQ(tree_.NodeCount(), nodes);
    EXPECT_EQ(tree_.Parent(tartes), CategoryFromPath(tree_, "/Desserts"));
    EXPECT_TRUE(Children(potages).empty());
    EXPECT_EQ(PathOf("Tarte aux pommes"), "/Desserts/Tartes");
    EXPECT_EQ(PathOf("Tarte au citron"), "/Desserts/Tartes");
  }
  EXPECT_GE(failures, 3);  // the node, its label and its sort key
}

TEST_F(MoveLeafCategoryTest, ACategoryWithSubCategoriesOrOntoItselfIsNotMoved) {
  CategoryNode viandes = CategoryFromPath(tree_, "/Plats/Viandes");
  CategoryNode potages = CategoryFromPath(tree_, "/Potages");
  EXPECT_EQ(MoveLeafCategory(tree_, viandes, potages), nullptr);
  EXPECT_EQ(MoveLeafCategory(tree_, potages, potages), nullptr);
  EXPECT_EQ(tree_.Parent(viandes), CategoryFromPath(tree_, "/Plats"));
  EXPECT_EQ(PathOf("Pot-au-feu"), "/Plats/Viandes/Boeuf");
  EXPECT_EQ(PathOf("Soupe"), "/Potages");
}

}  // namespace

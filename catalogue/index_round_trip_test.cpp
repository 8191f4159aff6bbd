// Index contents that once went wrong: a save that did not read back as the same catalogue
// (found by the index fuzz target), a path that grew a tree too deep for the tree control.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "catalogue/recipe_table.h"
#include "platform/temp_folder_test.h"

namespace {

using namespace testfiles;

std::string Line(const std::string& id, const std::string& path) {
  return id + "\tRecette " + id + "\t0\t0\t10\t" + path + "\tGourmix.Dat\t0\r\n";
}

class IndexRoundTrip : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(folder_.Enter()); }
  void TearDown() override { ReleaseCatalogue(); }
  uint32_t Load(const std::string& index) {
    ReleaseCatalogue();
    tree_.reset(new CategoryTree);
    Put(kIndexFileName, index);
    return LoadIndex(*tree_);
  }
  // Each recipe's category, as the labels from below the root down, uncut, by recipe number.
  std::map<uint32_t, std::string> Paths() {
    std::map<uint32_t, std::string> paths;
    for (uint32_t i = 0; i < RecipeCount(); ++i) {
      std::string path;
      for (CategoryNode n = RecipeEntries()[i].category; tree_->Parent(n); n = tree_->Parent(n))
        path = "/" + std::string(tree_->Label(n)) + path;
      paths[RecipeEntries()[i].recipeId] = path;
    }
    return paths;
  }
  TempFolder folder_{"index_round_trip"};
  std::unique_ptr<CategoryTree> tree_{new CategoryTree};
};

TEST_F(IndexRoundTrip, ALabelEndingInASpaceComesBackWhole) {
  // A closing "/" keeps the space: the column's trailing spaces are trimmed on reading.
  ASSERT_EQ(Load(Line("1", "/Tartes /") + Line("2", "/ /") + Line("3", "/Tartes") +
                 Line("4", "/ /Sous")),
            4u);
  const std::map<uint32_t, std::string> before = Paths();
  EXPECT_EQ(before.at(1), "/Tartes ");
  EXPECT_EQ(before.at(2), "/ ");
  const size_t nodes = tree_->NodeCount();
  ASSERT_EQ(SaveIndex(*tree_, nullptr), 1);
  const std::string saved = Slurp(kIndexFileName);
  EXPECT_NE(saved.find("\t/Tartes /\t"), std::string::npos) << saved;
  EXPECT_NE(saved.find("\t/ /\t"), std::string::npos) << saved;

  ASSERT_EQ(Load(saved), 4u);
  EXPECT_EQ(Paths(), before);
  EXPECT_EQ(tree_->NodeCount(), nodes);
  ASSERT_EQ(SaveIndex(*tree_, nullptr), 1);
  EXPECT_EQ(Slurp(kIndexFileName), saved);
}

TEST_F(IndexRoundTrip, ACategoryRenamedWithATrailingSpaceKeepsItsRecipes) {
  ASSERT_EQ(Load(Line("1", "/Desserts") + Line("2", "/Plats")), 2u);
  CategoryNode desserts = RecipeEntries()[0].category;
  ASSERT_TRUE(SetCategoryLabel(*tree_, desserts, "Desserts "));
  ASSERT_EQ(SaveIndex(*tree_, nullptr), 1);
  ASSERT_EQ(Load(Slurp(kIndexFileName)), 2u);
  EXPECT_EQ(Paths().at(1), "/Desserts ");
  EXPECT_EQ(tree_->NodeCount(), 3u);  // the root, "Desserts " and "Plats": nothing split off
}

TEST_F(IndexRoundTrip, APathTextIsReadUpToItsFirst255Characters) {
  // 20,000 levels on one line: read as its first 255 characters, 127 levels and a half.
  std::string deep;
  for (int i = 0; i < 20000; ++i) deep += "/a";
  std::string fits = "/" + std::string(63, 'b') + "/" + std::string(63, 'c') + "/" +
                     std::string(63, 'd') + "/" + std::string(62, 'e');  // exactly 255
  ASSERT_EQ(Load(Line("1", deep) + Line("2", fits) + Line("3", fits + "/f")), 3u);
  const std::map<uint32_t, std::string> paths = Paths();
  std::string cut;
  for (int i = 0; i < 127; ++i) cut += "/a";
  EXPECT_EQ(paths.at(1), cut);  // the 255th character is the "/" before the 128th "a"
  EXPECT_EQ(paths.at(2), fits);
  EXPECT_EQ(paths.at(3), fits);
  EXPECT_EQ(tree_->NodeCount(), 1u + 127u + 4u);
}

}  // namespace

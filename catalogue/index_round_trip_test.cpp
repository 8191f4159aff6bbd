// Index contents that once went wrong: a save that did not read back as the same catalogue
// (found by the index fuzz target, or a path near the length limit), a path that grew a tree
// too deep for the tree control, the root as older saves wrote it.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "catalogue/recipe_table.h"
#include "resources/strings.h"
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

TEST_F(IndexRoundTrip, PathsUpTo255CharactersKeepTheirRecipesThroughASave) {
  // Four levels of 60 characters are 244: the root's label must not count against them.
  for (size_t length : {236u, 237u, 244u, 254u, 255u}) {
    SCOPED_TRACE(length);
    std::string path;
    for (char c = 'a'; path.size() + 61 <= length; ++c) path += "/" + std::string(60, c);
    if (path.size() < length) path += "/" + std::string(length - path.size() - 1, 'z');
    ASSERT_EQ(path.size(), length);
    ASSERT_EQ(Load(Line("1", path) + Line("2", "/Court")), 2u);
    ASSERT_EQ(Paths().at(1), path);
    ASSERT_EQ(SaveIndex(*tree_, nullptr), 1);
    ASSERT_EQ(Load(Slurp(kIndexFileName)), 2u);
    EXPECT_EQ(Paths().at(1), path);
    EXPECT_EQ(tree_->NodeCount(), 2u + (length + 60) / 61);
  }
}

TEST_F(IndexRoundTrip, ASaveThatWouldMoveRecipesWritesNothingAndNamesTheCategory) {
  const std::string label61(61, 'l');  // four levels of it and their "/" take 248 characters
  const std::string deep = "/" + label61 + "/" + label61 + "/" + label61 + "/" + label61;
  struct Case {
    const char* name;
    std::string path;                       // of recipe 1 in the index
    std::function<void(CategoryNode)> edit;  // what the editor did to its category
  } cases[] = {
      // Without its leading "/" the path text takes one more character when written.
      {"255 characters read without a leading slash",
       std::string(deep.substr(1)) + "/" + std::string(255 - deep.size(), 'x'), nullptr},
      {"renamed past 255 characters", deep + "/court",
       [this](CategoryNode c) { SetCategoryLabel(*tree_, c, "un nom plus long"); }},
      // 255 characters, and the closing "/" that keeps the space makes 256.
      {"a last label ending in a space at 255 characters", deep + "/" + std::string(6, 'e'),
       [this](CategoryNode c) { SetCategoryLabel(*tree_, c, "eeeee "); }},
      {"an empty label", "/Desserts", [this](CategoryNode c) { SetCategoryLabel(*tree_, c, ""); }},
      {"a label ending in a slash", "/Desserts",
       [this](CategoryNode c) { SetCategoryLabel(*tree_, c, "Desserts/"); }},
      {"a label holding a TAB", "/Desserts",
       [this](CategoryNode c) { SetCategoryLabel(*tree_, c, "Des\tserts"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string index = Line("2", "/Autre") + Line("1", c.path);
    ASSERT_EQ(Load(index), 2u);
    Put(kIndexBackupName, "sauvegarde");
    CategoryNode category = nullptr;
    for (uint32_t i = 0; i < RecipeCount(); ++i)
      if (RecipeEntries()[i].recipeId == 1) category = RecipeEntries()[i].category;
    if (c.edit) {
      EXPECT_TRUE(CategoryPathWritable(*tree_, category));
      c.edit(category);
    }
    EXPECT_FALSE(CategoryPathWritable(*tree_, category));
    CategoryNode named = nullptr;
    EXPECT_EQ(SaveIndexWith(*tree_, nullptr, SaveOptions(), &named), SaveOutcome::PathUnwritable);
    EXPECT_EQ(named, category);
    EXPECT_EQ(SaveIndex(*tree_, nullptr), 0);
    EXPECT_EQ(Slurp(kIndexFileName), index);
    EXPECT_EQ(Slurp(kIndexBackupName), "sauvegarde");
  }
}

TEST_F(IndexRoundTrip, TheRootsLabelWithoutASlashIsTheRoot) {
  char label[256];
  LoadText(9, label, sizeof label);
  const std::string root = label;
  ASSERT_EQ(Load(Line("1", root) + Line("2", "/" + root) + Line("3", "toutes les recettes") +
                 Line("4", root + "/Desserts") + Line("5", "/")),
            5u);
  const std::map<uint32_t, std::string> paths = Paths();
  EXPECT_EQ(paths.at(1), "");  // older saves wrote the root's recipes so
  EXPECT_EQ(paths.at(5), "");
  // Anything else is a category of that name, as it always was.
  EXPECT_EQ(paths.at(2), "/" + root);
  EXPECT_EQ(paths.at(3), "/toutes les recettes");
  EXPECT_EQ(paths.at(4), "/" + root + "/Desserts");
  ASSERT_EQ(SaveIndex(*tree_, nullptr), 1);
  ASSERT_EQ(Load(Slurp(kIndexFileName)), 5u);
  EXPECT_EQ(Paths(), paths);
}

}  // namespace

// The bundled sample catalogue (sample/ in the source tree) read by the program's own loader:
// every recipe must come back whole, and the sample must keep covering what the program has
// to show (nested and root categories, a second recipe base, accents, a long recipe).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "catalogue/catalogue.h"
#include "catalogue/gauge.h"
#include "catalogue/recipe_table.h"
#include "categories/category_tree.h"
#include "platform/temp_folder_test.h"

namespace {

using namespace testfiles;

// This file lives in catalogue/; the sample is beside that folder.
std::string SampleFolder() {
  std::string here = __FILE__;
  here.resize(here.rfind('/'));  // .../catalogue
  here.resize(here.rfind('/'));  // the source tree
  return here + "/sample/";
}

class SampleCatalogueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The repository's files are copied, never used in place: nothing may change them.
    ASSERT_FALSE(folder_.Path().empty());
    const std::string cmd = "cp '" + SampleFolder() + "'*.Dat '" + SampleFolder() +
                            "Gourmix.Idx' '" + folder_.Path() + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    ASSERT_TRUE(folder_.Enter());
    SetGaugeBackend(nullptr);
  }
  void TearDown() override { ReleaseCatalogue(); }
  TempFolder folder_{"sample_catalogue_test"};
};

TEST_F(SampleCatalogueTest, EveryRecipeLoadsAndReadsBackWhole) {
  const std::string index = Slurp("Gourmix.Idx");
  size_t lines = 0;
  for (char c : index) lines += c == '\n';

  CategoryTree tree;
  uint32_t count = 0;
  ASSERT_EQ(LoadCatalogueCore(nullptr, tree, &count), LoadOutcome::Loaded);
  EXPECT_EQ(count, lines);  // no line of the sample is skipped
  EXPECT_GE(count, 40u);

  std::set<std::string> files;
  std::set<uint32_t> ids;
  size_t atRoot = 0, deepest = 0, longest = 0, accented = 0;
  for (uint32_t i = 0; i < RecipeCount(); ++i) {
    const RecipeEntry& e = RecipeEntries()[i];
    SCOPED_TRACE(e.title);
    EXPECT_TRUE(ids.insert(e.recipeId).second);
    files.insert(e.dataFile);
    const std::string text = FetchRecipeText(&e);
    // Whole: exactly the slice, no NUL inside it, and not one of the error texts.
    EXPECT_EQ(text.size(), e.textEnd - e.textStart);
    EXPECT_EQ(text.compare(0, std::strlen(e.title) + 2, std::string(e.title) + "\r\n"), 0);
    EXPECT_NE(text.find("Ingr\351dients"), std::string::npos);
    EXPECT_NE(text.find("Pr\351paration"), std::string::npos);
    if (text.size() > longest) longest = text.size();
    for (char c : text) accented += static_cast<unsigned char>(c) >= 0x80;

    if (e.category == tree.Root()) ++atRoot;
    size_t depth = 0;
    for (CategoryNode n = e.category; n != tree.Root(); n = tree.Parent(n)) ++depth;
    if (depth > deepest) deepest = depth;
  }
  EXPECT_GT(longest, 8192u);
  EXPECT_LE(longest, static_cast<size_t>(kRecipeTextCap));
  EXPECT_GT(accented, 0u);
  EXPECT_GE(atRoot, 1u);
  EXPECT_GE(deepest, 3u);
  EXPECT_EQ(files.count(std::string(kSharedDataFile)), 1u);
  EXPECT_GE(files.size(), 2u);  // a second recipe base is named by some lines
  EXPECT_GE(tree.NodeCount(), 13u);  // the root and at least 12 categories
}

}  // namespace

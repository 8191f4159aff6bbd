// Loading outcomes and the limits of a recipe text fetch, on real files in a temp folder.
#include "catalogue/catalogue.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

#include "platform/temp_folder_test.h"

namespace {

using namespace testfiles;

int g_opens = 0;
bool FakeOpen(WindowRef) { ++g_opens; return true; }
void FakeTitle(const char*) {}
void FakePaint(int32_t) {}
void FakeClose() {}
const GaugeBackend kFakeGauge = {FakeOpen, FakeTitle, FakePaint, FakeClose};

class CatalogueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.Enter());
    g_opens = 0;
    SetGaugeBackend(&kFakeGauge);
  }
  void TearDown() override {
    ReleaseCatalogue();
    SetGaugeBackend(nullptr);
  }
  RecipeEntry Entry(const char* file, uint32_t start, uint32_t end) {
    RecipeEntry e{};
    e.title = title_;
    e.dataFile = file;
    e.textStart = start;
    e.textEnd = end;
    return e;
  }
  TempFolder folder_{"catalogue_test"};
  char title_[16] = "Tarte";
};

const char kOpenError[] = "Recette Tarte\r\nErreur \xE0 l'ouverture du fichier Absent.Dat.";
const char kReadError[] = "Recette Tarte\r\nErreur de lecture du fichier Gourmix.Dat.";

TEST_F(CatalogueTest, FetchReturnsWholeSlicesUpToTheCapAndCutsLongerOnes) {
  std::string data(20000, 'x');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>('a' + i % 26);
  Put("Gourmix.Dat", data);

  RecipeEntry small = Entry("Gourmix.Dat", 10, 20);
  EXPECT_EQ(std::string(FetchRecipeText(&small)), data.substr(10, 10));

  RecipeEntry exact = Entry("Gourmix.Dat", 100, 100 + 16384);
  EXPECT_EQ(std::string(FetchRecipeText(&exact)), data.substr(100, 16384));

  RecipeEntry longer = Entry("Gourmix.Dat", 100, 100 + 16385);
  EXPECT_EQ(std::string(FetchRecipeText(&longer)), data.substr(100, 16384));

  // An end before the start is no length at all: the other recipes that follow in the base
  // are never shown under this title.
  RecipeEntry reversed = Entry("Gourmix.Dat", 50, 10);
  EXPECT_STREQ(FetchRecipeText(&reversed), kReadError);
}

TEST_F(CatalogueTest, FetchNeverReturnsAPartialRecipe) {
  Put("Gourmix.Dat", std::string(1000, 'r'));
  struct Case { uint32_t start, end; } cases[] = {
      {500, 500},              // empty slice
      {900, 1100},             // runs past the end of the file
      {2000, 2100},            // starts past the end
      {0xFFFFFF00u, 0xFFFFFFF0u},  // an offset no file of ours has
      {600, 100},              // reversed
      {1, 0},                  // reversed by one byte
  };
  for (const Case& c : cases) {
    RecipeEntry e = Entry("Gourmix.Dat", c.start, c.end);
    EXPECT_STREQ(FetchRecipeText(&e), kReadError) << c.start << ".." << c.end;
  }
}

TEST_F(CatalogueTest, FetchNamesTheRecipeAndFileWhenTheBaseCannotBeOpened) {
  RecipeEntry e = Entry("Absent.Dat", 0, 10);
  EXPECT_STREQ(FetchRecipeText(&e), kOpenError);
  // A folder in place of the base is never read as a recipe.
  ASSERT_EQ(mkdir("Dossier.Dat", 0755), 0);
  RecipeEntry folder = Entry("Dossier.Dat", 0, 10);
  std::string text = FetchRecipeText(&folder);
  EXPECT_EQ(text.rfind("Recette Tarte\r\nErreur ", 0), 0u) << text;
}

TEST_F(CatalogueTest, NulInsideASliceEndsTheText) {
  Put("Gourmix.Dat", std::string("abc\0def", 7));
  RecipeEntry e = Entry("Gourmix.Dat", 0, 7);
  EXPECT_STREQ(FetchRecipeText(&e), "abc");
}

TEST_F(CatalogueTest, EmptyOrMissingIndexIsNoIndexAndCommentsOnlyIsEmpty) {
  CategoryTree tree;
  uint32_t n = 99;
  EXPECT_EQ(LoadCatalogueCore(nullptr, tree, &n), LoadOutcome::NoIndex);
  EXPECT_EQ(n, 0u);
  Put("Gourmix.Idx", "");
  EXPECT_EQ(LoadCatalogueCore(nullptr, tree, &n), LoadOutcome::NoIndex);
  Put("Gourmix.Idx", "# rien\r\n! toujours rien\r\n\r\n");
  EXPECT_EQ(LoadCatalogueCore(nullptr, tree, &n), LoadOutcome::Empty);
  Put("Gourmix.Idx", "n'importe quoi\r\n\t\t\t\r\nencore\tdu\tbruit\r\n");
  EXPECT_EQ(LoadCatalogueCore(nullptr, tree, &n), LoadOutcome::Empty);
  EXPECT_EQ(RecipeCount(), 0u);
  EXPECT_EQ(g_opens, 0);
}

// Builds an index of exactly `size` bytes whose last line holds a recipe.
std::string IndexOfSize(size_t size) {
  std::string line = "1\tTitre\t0\t0\t10\t/Cat\tGourmix.Dat\t0\r\n";
  std::string comment = "#";
  std::string body;
  while (body.size() + line.size() + 200 < size) body += line;
  size_t pad = size - body.size() - line.size() - 2;  // "#" ... "\r\n"
  body += comment + std::string(pad - 1, 'x') + "\r\n";
  body += line;
  return body;
}

TEST_F(CatalogueTest, GaugeOpensFromFiftyThousandBytesAndKeepsTheCountForTheSave) {
  CategoryTree tree;
  uint32_t n = 0;
  std::string below = IndexOfSize(49999);
  ASSERT_EQ(below.size(), 49999u);
  Put("Gourmix.Idx", below);
  ASSERT_EQ(LoadCatalogueCore(nullptr, tree, &n), LoadOutcome::Loaded);
  EXPECT_EQ(g_opens, 0);
  EXPECT_EQ(GaugeRange(), static_cast<int32_t>(n));
  EXPECT_FALSE(GaugeIsOpen());

  ReleaseCatalogue();
  CategoryTree tree2;
  std::string at = IndexOfSize(50000);
  ASSERT_EQ(at.size(), 50000u);
  Put("Gourmix.Idx", at);
  ASSERT_EQ(LoadCatalogueCore(nullptr, tree2, &n), LoadOutcome::Loaded);
  EXPECT_EQ(g_opens, 1);
  EXPECT_FALSE(GaugeIsOpen());
  EXPECT_EQ(GaugeRange(), static_cast<int32_t>(n));
  EXPECT_EQ(RecipeCount(), n);
}

}  // namespace

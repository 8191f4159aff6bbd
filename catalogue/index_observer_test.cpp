// The lines the index reader leaves out, as told to the line observer: `check` in the
// command-line tool lists them, so their numbers and reasons must match the file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalogue/recipe_table.h"
#include "categories/category_tree.h"
#include "platform/temp_folder_test.h"

namespace {

using namespace testfiles;
using namespace std::string_literals;

struct Skip {
  uint32_t line;
  std::string reason;
  bool operator==(const Skip& o) const { return line == o.line && reason == o.reason; }
};

void Record(void* context, uint32_t line, const char* reason) {
  static_cast<std::vector<Skip>*>(context)->push_back({line, reason});
}

class IndexObserverTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(folder_.Enter()); }
  void TearDown() override {
    SetIndexLineObserver(nullptr, nullptr);
    ReleaseCatalogue();
  }
  std::vector<Skip> Load(const std::string& index, uint32_t* count) {
    Put("Gourmix.Idx", index);
    std::vector<Skip> skips;
    SetIndexLineObserver(Record, &skips);
    CategoryTree tree;
    *count = LoadIndex(tree);
    return skips;
  }
  TempFolder folder_{"index_observer_test"};
};

const char kGood[] = "7\tTarte\t0\t0\t10\t/Desserts\tGourmix.Dat\t0";

TEST_F(IndexObserverTest, EachSkippedLineIsToldWithItsNumberAndReason) {
  uint32_t count = 0;
  std::vector<Skip> skips = Load(std::string("# catalogue\r\n") + kGood + "\r\n" +
                                     "\r\n"
                                     "!note\n" +
                                     "8\tSept\t0\t0\t10\t/Desserts\tGourmix.Dat\r\n"  // 7 fields
                                     "\n" +
                                     "9\tNeuf\t0\t0\t10\t/D\tGourmix.Dat\t0\tmore\r\n" +  // kept
                                     "10\t\t0\t0\t10\t/D\tGourmix.Dat\t0\r\n" +  // no title: 7
                                     "garbage without tabs\r\n" + kGood,  // last line, no line end
                                 &count);
  EXPECT_EQ(count, 3u);
  std::vector<Skip> expected = {{1, "comment"}, {3, "blank"},  {4, "comment"}, {5, "fields"},
                                {6, "blank"},   {8, "fields"}, {9, "fields"}};
  EXPECT_EQ(skips, expected);
}

TEST_F(IndexObserverTest, ALineHoldingANulByteIsSkippedWherever) {
  // In the title, in a number, in the path, in the last column: no part of the line is kept.
  const std::string lines[] = {
      "1\tTar\0te\t0\t0\t10\t/D\tGourmix.Dat\t0\r\n"s,
      "\0" "2\tTarte\t0\t0\t10\t/D\tGourmix.Dat\t0\r\n"s,
      "3\tTarte\t0\t0\t10\t/D\0/E\tGourmix.Dat\t0\r\n"s,
      "4\tTarte\t0\t0\t10\t/D\tGourmix.Dat\t0\0"s,
  };
  for (const std::string& line : lines) {
    ASSERT_NE(line.find('\0'), std::string::npos);
    ASSERT_EQ(line.find('\0'), line.rfind('\0')) << "one NUL per case";
  }
  uint32_t count = 0;
  std::vector<Skip> skips =
      Load(std::string(kGood) + "\r\n" + lines[0] + lines[1] + lines[2] + lines[3], &count);
  EXPECT_EQ(count, 1u);
  std::vector<Skip> expected = {{2, "nul"}, {3, "nul"}, {4, "nul"}, {5, "nul"}};
  EXPECT_EQ(skips, expected);
  EXPECT_EQ(RecipeEntries()[0].recipeId, 7u);
}

TEST_F(IndexObserverTest, AFileWithNothingButCommentsReportsEveryLineAndLoadsNothing) {
  uint32_t count = 1;
  std::vector<Skip> skips = Load("!a\r\n#b\r\n\r\n", &count);
  EXPECT_EQ(count, 0u);
  std::vector<Skip> expected = {{1, "comment"}, {2, "comment"}, {3, "blank"}};
  EXPECT_EQ(skips, expected);
}

TEST_F(IndexObserverTest, NoObserverNoCallsAndTheLoadIsUnchanged) {
  uint32_t count = 0;
  std::vector<Skip> skips = Load(std::string(kGood) + "\r\n#x\r\n", &count);
  ASSERT_EQ(skips.size(), 1u);
  SetIndexLineObserver(nullptr, nullptr);
  ReleaseCatalogue();
  CategoryTree tree;
  EXPECT_EQ(LoadIndex(tree), 1u);
  EXPECT_EQ(skips.size(), 1u);  // the second load told nobody
}

}  // namespace

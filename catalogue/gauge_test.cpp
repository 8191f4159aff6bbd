// When the gauge exists and when it repaints, checked through a recording backend.
#include "catalogue/gauge.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "catalogue/recipe_table.h"
#include "platform/fileio.h"
#include "platform/temp_folder_test.h"
#include "resources/resource.h"
#include "resources/strings.h"

namespace {

struct Recorded {
  int opens = 0;
  int closes = 0;
  std::vector<std::string> titles;
  std::vector<int32_t> paints;
};
Recorded g_rec;

const GaugeBackend kRecorder = {
    [](WindowRef) {
      ++g_rec.opens;
      return true;
    },
    [](const char* t) { g_rec.titles.push_back(t); },
    [](int32_t p) { g_rec.paints.push_back(p); },
    [] { ++g_rec.closes; },
};

class GaugeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_rec = Recorded();
    CloseGauge();
    SetGaugeBackend(&kRecorder);
    g_rec = Recorded();
  }
  void TearDown() override {
    CloseGauge();
    SetGaugeBackend(nullptr);
    SetGaugeRange(0);
  }
};

TEST_F(GaugeTest, OpensOnlyFromTheThresholdAndOnlyOnce) {
  SetGaugeRange(49999);
  OpenGauge(nullptr, 50000);
  EXPECT_FALSE(GaugeIsOpen());
  SetGaugeTitle("x");
  SetGaugePosition(40000);
  CloseGauge();
  EXPECT_EQ(g_rec.opens, 0);
  EXPECT_TRUE(g_rec.titles.empty());
  EXPECT_TRUE(g_rec.paints.empty());
  EXPECT_EQ(g_rec.closes, 0);

  SetGaugeRange(50000);
  OpenGauge(nullptr, 50000);
  ASSERT_TRUE(GaugeIsOpen());
  SetGaugePosition(25000);
  OpenGauge(nullptr, 0);  // a second open changes nothing
  EXPECT_EQ(g_rec.opens, 1);
  EXPECT_EQ(GaugePercent(), 50);
  CloseGauge();
  EXPECT_FALSE(GaugeIsOpen());
  EXPECT_EQ(g_rec.closes, 1);
  EXPECT_EQ(GaugeRange(), 50000);  // the range outlives the gauge

  // A negative range is below any threshold that is not.
  SetGaugeRange(-5);
  OpenGauge(nullptr, 0);
  EXPECT_FALSE(GaugeIsOpen());
}

TEST_F(GaugeTest, RepaintsOncePerPercentageInSixtyFourBitsAndNeverWithoutARange) {
  SetGaugeRange(1000);
  OpenGauge(nullptr, 0);
  for (int v = 0; v <= 1000; ++v) SetGaugePosition(v);
  SetGaugePosition(1000);
  ASSERT_EQ(g_rec.paints.size(), 100u);  // 1 to 100: the gauge starts at 0
  for (int i = 0; i < 100; ++i) EXPECT_EQ(g_rec.paints[i], i + 1);
  EXPECT_EQ(GaugePaintCount(), 100);
  CloseGauge();

  // 30,000,000 * 100 does not fit 32 bits.
  SetGaugeRange(40000000);
  OpenGauge(nullptr, 50000);
  SetGaugePosition(30000000);
  EXPECT_EQ(GaugePercent(), 75);
  SetGaugePosition(39999999);
  EXPECT_EQ(GaugePercent(), 99);
  CloseGauge();

  g_rec.paints.clear();
  SetGaugeRange(0);
  OpenGauge(nullptr, 0);
  ASSERT_TRUE(GaugeIsOpen());
  SetGaugePosition(5);
  EXPECT_TRUE(g_rec.paints.empty());
}

TEST_F(GaugeTest, NextPositionIsTheFirstThatShowsAnotherPercentage) {
  EXPECT_EQ(GaugeNextPosition(), INT64_MAX);  // no gauge: nothing to report
  for (int32_t range : {1, 3, 7, 99, 100, 101, 1000, 12345, 40000000}) {
    SetGaugeRange(range);
    OpenGauge(nullptr, 0);
    int32_t shown = GaugePercent();
    for (int64_t next = GaugeNextPosition(); shown < 100; next = GaugeNextPosition()) {
      ASSERT_GT(next, 0) << range;
      SetGaugePosition(next - 1);
      ASSERT_EQ(GaugePercent(), shown) << range << " at " << next - 1;
      SetGaugePosition(next);
      ASSERT_GT(GaugePercent(), shown) << range << " at " << next;
      shown = GaugePercent();
    }
    CloseGauge();
  }
  SetGaugeRange(0);
  OpenGauge(nullptr, 0);
  EXPECT_EQ(GaugeNextPosition(), 0);
}

class SaveGaugeTest : public GaugeTest {
 protected:
  void SetUp() override {
    GaugeTest::SetUp();
    ASSERT_TRUE(folder_.Enter());
  }
  void TearDown() override {
    ReleaseCatalogue();
    GaugeTest::TearDown();
  }
  // Loads n recipes and leaves the range at n, as the catalogue load does.
  void LoadRecipes(CategoryTree& tree, int n) {
    std::ofstream out(kIndexFileName, std::ios::binary);
    for (int i = 0; i < n; ++i) out << i << "\tR" << i << "\t0\t0\t1\t/C\tGourmix.Dat\t0\r\n";
    out.close();
    ReleaseCatalogue();
    ASSERT_EQ(LoadIndex(tree), static_cast<uint32_t>(n));
    SetGaugeRange(n);
  }
  testfiles::TempFolder folder_{"gauge_test"};
};

TEST_F(SaveGaugeTest, SaveShowsTheGaugeFromFiveHundredRecipesAndEndsBelowAHundred) {
  CategoryTree small;
  LoadRecipes(small, 499);
  ASSERT_EQ(SaveIndex(small, nullptr), 1);
  EXPECT_EQ(g_rec.opens, 0);

  CategoryTree tree;
  LoadRecipes(tree, 500);
  ASSERT_EQ(SaveIndex(tree, nullptr), 1);
  EXPECT_EQ(g_rec.opens, 1);
  EXPECT_EQ(g_rec.closes, 1);
  char title[128];
  LoadText(IDS_GAUGE_SAVE, title, sizeof title);
  ASSERT_EQ(g_rec.titles.size(), 1u);
  EXPECT_EQ(g_rec.titles[0], title);
  ASSERT_EQ(g_rec.paints.size(), 99u);
  EXPECT_EQ(g_rec.paints.back(), 99);
  EXPECT_FALSE(GaugeIsOpen());

  // A save that fails closes its gauge too.
  fileio::fault::Arm(1);
  EXPECT_EQ(SaveIndex(tree, nullptr), 0);
  fileio::fault::Disarm();
  EXPECT_EQ(g_rec.opens, 2);
  EXPECT_EQ(g_rec.closes, 2);
}

}  // namespace

#include "print/page_layout.h"

#include <gtest/gtest.h>

namespace {

TEST(PageLayout, WorkedExampleA4At300Dpi) {
  PageLayout p = ComputePageLayout(2400, 3150, 50);
  EXPECT_EQ(p.pitch, 62);
  EXPECT_EQ(p.margin, 160);
  EXPECT_EQ(p.ruleLeft, 160);
  EXPECT_EQ(p.ruleRight, 2240);
  EXPECT_EQ(p.headerRuleY, 124);
  EXPECT_EQ(p.titleX, 1120);
  EXPECT_EQ(p.titleY, 62);
  EXPECT_EQ(p.clipLeft, 160);
  EXPECT_EQ(p.clipTop, 62);
  EXPECT_EQ(p.clipRight, 2080);
  EXPECT_EQ(p.clipBottom, 124);
  EXPECT_EQ(p.footerRuleY, 2964);
  EXPECT_EQ(p.footerTextY, 3026);
  EXPECT_EQ(p.bodyTop, 248);
  EXPECT_EQ(p.bodyWidth, 2080);
}

TEST(PageLayout, DegenerateFontStillMovesDown) {
  EXPECT_EQ(ComputePageLayout(100, 100, 3).pitch, 3);
  EXPECT_EQ(ComputePageLayout(100, 100, 0).pitch, 1);
}

TEST(PageLayout, BodyStopsAboveTheFooterRule) {
  PageLayout p = ComputePageLayout(2400, 3150, 50);
  int lines = 0;
  for (int y = p.bodyTop; BodyLineFits(p, y); y += p.pitch) ++lines;
  // Lines at 248, 310, ..., 2852: the 44th, at 2914, would end at 2976, past the rule at 2964.
  EXPECT_EQ(lines, 43);
  EXPECT_TRUE(BodyLineFits(p, 2852));
  EXPECT_FALSE(BodyLineFits(p, 2914));
  EXPECT_TRUE(BodyLineFits(p, 2964 - 62));
  EXPECT_FALSE(BodyLineFits(p, 2964 - 61));
}

TEST(PageLayout, TinyPageStillTakesOneLine) {
  // A font so big that its rules cross: the first line goes anyway, the second does not.
  PageLayout p = ComputePageLayout(300, 400, 60);
  ASSERT_LT(p.footerRuleY, p.bodyTop + p.pitch);
  EXPECT_TRUE(BodyLineFits(p, p.bodyTop));
  EXPECT_FALSE(BodyLineFits(p, p.bodyTop + p.pitch));
}

}  // namespace

#include "print/page_layout.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

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

namespace {

// A fixed-pitch device: 25 pixels a character, so 83 characters fit in 2080.
int FixedMeasure(const char*, int count, void*) { return count * 25; }

std::vector<PlacedLine> Place(std::string* text) {
  return LayOutBody(ComputePageLayout(2400, 3150, 50), &(*text)[0], FixedMeasure, nullptr);
}

TEST(PageLayout, ShortRecipeTakesOnePageFromTheBodyTop) {
  std::string text = "Omelette\r\n\r\nTrois oeufs, du sel.\r\nBattre, cuire.";
  const std::vector<PlacedLine> lines = Place(&text);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(PageCount(lines), 1);
  const char* expected[] = {"Omelette", "", "Trois oeufs, du sel.", "Battre, cuire."};
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i].page, 0);
    EXPECT_EQ(lines[i].y, 248 + 62 * static_cast<int>(i));
    EXPECT_STREQ(lines[i].text, expected[i]);
  }
  std::string empty;
  EXPECT_EQ(PageCount(Place(&empty)), 1);
}

TEST(PageLayout, LongRecipeBreaksEvery43LinesAndLosesNothing) {
  // 16 KiB of words: lines of at most 83 characters, wrapped, 43 to a page.
  std::string text;
  for (int n = 0; text.size() < 16384; ++n) text += (n % 50 == 49) ? "fin.\r\n" : "farine ";
  text.resize(16384);
  std::string original = text;
  const std::vector<PlacedLine> lines = Place(&text);
  ASSERT_GT(lines.size(), 200u);
  EXPECT_EQ(PageCount(lines), static_cast<int>((lines.size() + 42) / 43));
  std::string letters;
  for (size_t i = 0; i < lines.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(lines[i].page, static_cast<int>(i / 43));
    EXPECT_EQ(lines[i].y, 248 + 62 * static_cast<int>(i % 43));
    EXPECT_LT(std::strlen(lines[i].text) * 25, 2080u) << lines[i].text;
    for (const char* p = lines[i].text; *p; ++p)
      if (*p != ' ') letters += *p;
  }
  std::string expected;
  for (char c : original)
    if (c != ' ' && c != '\r' && c != '\n') expected += c;
  EXPECT_EQ(letters, expected);
}

}  // namespace

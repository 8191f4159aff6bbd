#include "app/layout.h"

#include <gtest/gtest.h>

#include <set>

namespace {

PlacedRect At(int id, int w, int h) {
  const LayoutRow* row = FindLayoutRow(id);
  EXPECT_NE(row, nullptr) << id;
  return row ? PlaceRow(*row, w, h) : PlacedRect{};
}

void ExpectRect(const PlacedRect& r, int x, int y, int w, int h, int id) {
  EXPECT_EQ(r.x, x) << "control " << id;
  EXPECT_EQ(r.y, y) << "control " << id;
  EXPECT_EQ(r.width, w) << "control " << id;
  EXPECT_EQ(r.height, h) << "control " << id;
}

TEST(Layout, MinimumSizeGivesEveryBaseRectangle) {
  for (const LayoutRow& row : LayoutTable) {
    ExpectRect(PlaceRow(row, 489, 265), row.x, row.y, row.width, row.height, row.id);
  }
  // The toolbar goes to the text pane's x.
  EXPECT_EQ(PlaceRow(LayoutTable[kTextPaneRow], 489, 265).x, 235);
  EXPECT_EQ(LayoutTable[kTextPaneRow].id, 1001);
}

TEST(Layout, WiderAndTallerWindow) {
  const int w = 489 + 100, h = 265 + 50;
  // Left pane: a fifth of the width, all of the height.
  for (int id : {1018, 1017, 1000, 1019, 1025}) {
    const LayoutRow& row = *FindLayoutRow(id);
    ExpectRect(At(id, w, h), row.x, row.y, row.width + 20, row.height + 50, id);
  }
  ExpectRect(At(1001, w, h), 255, 33, 320, 224, 1001);
  // Bottom row moves down only.
  for (int id : {1012, 1013, 1011, 1004}) {
    const LayoutRow& row = *FindLayoutRow(id);
    ExpectRect(At(id, w, h), row.x, row.y + 50, row.width, row.height, id);
  }
  ExpectRect(At(1005, w, h), 460, 260, 55, 24, 1005);
  ExpectRect(At(1031, w, h), 520, 260, 55, 24, 1031);
  ExpectRect(At(1024, w, h), 25, 210, 67, 35, 1024);
}

TEST(Layout, RemaindersAreDropped) {
  // 70 * 2 / 100 = 1 and 70 * 8 / 100 = 5: the pane ends a pixel short of the window's edge.
  ExpectRect(At(1001, 489 + 7, 265), 236, 33, 245, 174, 1001);
  ExpectRect(At(1018, 489 + 7, 265), 5, 5, 221, 199, 1018);
  ExpectRect(At(1024, 489 + 7, 265), 15, 160, 67, 35, 1024);
  // Heights follow whole pixels: 30 * 10 / 100 = 3.
  ExpectRect(At(1001, 489, 265 + 3), 235, 33, 240, 177, 1001);
}

TEST(Layout, StartWidthFitsTheToolbarWithinTheScreen) {
  struct Case {
    int32_t toolbar, frame, max, width;
  } const cases[] = {
      {246, 8, 2000, 489},  // ends on the client area's last pixel at the minimum
      {247, 8, 2000, 490},  // a pixel more: the pane moves right by nothing at first
      // 144 pixels of growth move the toolbar 28 to the right: 263 + 362 = 633 - 8.
      {362, 8, 2000, 633},
      {362, 16, 2000, 643},
      {362, 8, 600, 600},  // as wide as the screen allows
      {362, 8, 300, 489},  // never below the minimum
      {0, 8, 2000, 489},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(StartWidth(c.toolbar, c.frame, c.max), c.width)
        << c.toolbar << " " << c.frame << " " << c.max;
  }
}

TEST(Layout, TabMasksMatchTheVisibleControlsOfEachTab) {
  const std::set<int> expected[3] = {
      {1018, 1017, 1000, 1001, 1012, 1013, 1011, 1004, 1005, 1031},
      {1018, 1019, 1001, 1012, 1005, 1031},
      {1018, 1025, 1024, 1001, 1012, 1005, 1031},
  };
  for (int tab = 0; tab < 3; ++tab) {
    std::set<int> shown;
    for (const LayoutRow& row : LayoutTable) {
      if (row.tabMask & (1 << tab)) shown.insert(row.id);
    }
    EXPECT_EQ(shown, expected[tab]) << "tab " << tab;
  }
}

TEST(Layout, FontClassesAndStepLimits) {
  std::set<int> text, list;
  for (const LayoutRow& row : LayoutTable) {
    if (row.fontClass == kFontText) text.insert(row.id);
    if (row.fontClass == kFontList) list.insert(row.id);
  }
  EXPECT_EQ(text, (std::set<int>{1001}));
  EXPECT_EQ(list, (std::set<int>{1018, 1017, 1000, 1019, 1025}));

  EXPECT_EQ(NextFontStep(0, -1), -1);
  EXPECT_EQ(NextFontStep(4, +1), -1);
  EXPECT_EQ(NextFontStep(0, +1), 1);
  EXPECT_EQ(NextFontStep(4, -1), 3);
  EXPECT_EQ(NextFontStep(2, 0), 2);
  EXPECT_EQ(NextFontStep(0, 0x7fffffff), -1);
}

}  // namespace

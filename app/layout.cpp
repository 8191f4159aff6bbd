#include "app/layout.h"

// Rows in the order the window places them; the toolbar follows the text pane (row 7).
const LayoutRow LayoutTable[kLayoutRowCount] = {
    // id  font  x    y    w    h   rx  ry  rw  rh  tabs
    {1018, 2, 5, 5, 220, 199, 0, 0, 2, 10, 7},     // tab control
    {1017, 2, 10, 30, 210, 97, 0, 0, 2, 10, 1},    // category history
    {1000, 2, 10, 55, 210, 130, 0, 0, 2, 10, 1},   // recipe list
    {1019, 2, 10, 35, 210, 150, 0, 0, 2, 10, 2},   // category tree
    {1025, 2, 10, 30, 210, 120, 0, 0, 2, 10, 4},   // editor explanation
    {1024, 0, 15, 160, 67, 35, 1, 10, 0, 0, 4},    // editor button
    {1001, 1, 235, 33, 240, 174, 2, 0, 8, 10, 7},  // recipe text pane
    {1012, 0, 5, 208, 105, 15, 0, 10, 0, 0, 7},    // total count
    {1013, 0, 5, 223, 105, 15, 0, 10, 0, 0, 1},    // listed count
    {1011, 0, 130, 215, 60, 20, 0, 10, 0, 0, 1},   // search label
    {1004, 0, 195, 210, 100, 20, 0, 10, 0, 0, 1},  // search field
    {1005, 0, 360, 210, 55, 24, 10, 10, 0, 0, 7},  // About
    {1031, 0, 420, 210, 55, 24, 10, 10, 0, 0, 7},  // Quit
};

PlacedRect PlaceRow(const LayoutRow& row, int32_t outerWidth, int32_t outerHeight) {
  // Growth in hundredths of a tenth, so that ratio/100 below is "tenths of the growth";
  // the multiplication comes first and the remainder is dropped, as the window always did.
  const int32_t gx = 10 * (outerWidth - MinTrackSize.width);
  const int32_t gy = 10 * (outerHeight - MinTrackSize.height);
  PlacedRect r;
  r.x = row.x + (gx * row.ratioX) / 100;
  r.y = row.y + (gy * row.ratioY) / 100;
  r.width = row.width + (gx * row.ratioWidth) / 100;
  r.height = row.height + (gy * row.ratioHeight) / 100;
  return r;
}

int32_t StartWidth(int32_t toolbarWidth, int32_t frameWidth, int32_t maxWidth) {
  // The text pane, and the toolbar with it, moves right by a fifth of the growth: the width
  // is found by trying each in turn, which also keeps the layout's rounding.
  const LayoutRow& pane = LayoutTable[kTextPaneRow];
  int32_t width = MinTrackSize.width;
  while (width < maxWidth &&
         PlaceRow(pane, width, MinTrackSize.height).x + toolbarWidth > width - frameWidth) {
    ++width;
  }
  return width;
}

const LayoutRow* FindLayoutRow(int32_t controlId) {
  for (const LayoutRow& row : LayoutTable) {
    if (row.id == controlId) return &row;
  }
  return nullptr;
}

namespace {
const int kTextPoints[kFontStepCount] = {8, 10, 12, 14, 18};
const int kListPoints[kFontStepCount] = {8, 8, 10, 10, 12};

bool StepValid(int step) { return step >= 0 && step < kFontStepCount; }
}  // namespace

int TextFontPoints(int step) { return StepValid(step) ? kTextPoints[step] : 0; }
int ListFontPoints(int step) { return StepValid(step) ? kListPoints[step] : 0; }

int NextFontStep(int step, int delta) {
  const long next = static_cast<long>(step) + delta;
  return (next >= 0 && next < kFontStepCount) ? static_cast<int>(next) : -1;
}

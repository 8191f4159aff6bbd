// Where the main window's controls go for a given window size, and the sizes of its two
// scalable fonts. Portable: the window code (layout_win32.cpp) only applies the numbers.
#ifndef SAUCELINS_APP_LAYOUT_H
#define SAUCELINS_APP_LAYOUT_H

#include <cstdint>

// One managed control. The base rectangle is in client pixels at the minimum window size;
// the ratios, in tenths, say how much of the window's growth each coordinate follows.
struct LayoutRow {
  int32_t id;
  int32_t fontClass;  // kFontDialog, kFontText or kFontList
  int32_t x, y, width, height;
  int32_t ratioX, ratioY, ratioWidth, ratioHeight;
  int32_t tabMask;  // bit t: visible on tab t
};
static_assert(sizeof(LayoutRow) == 11 * sizeof(int32_t), "eleven integers per row");

enum : int32_t {
  kFontDialog = 0,  // keeps the dialog template's font
  kFontText = 1,    // the recipe text pane
  kFontList = 2,    // tabs, history, recipe list, tree, editor explanation
};

constexpr int kLayoutRowCount = 13;
extern const LayoutRow LayoutTable[kLayoutRowCount];
// The row of the recipe text pane: the toolbar is placed right after it, at its x.
constexpr int kTextPaneRow = 6;

// Smallest outer size of the main window; the window starts this tall, and at least this wide.
struct OuterSize {
  int32_t width, height;
};
constexpr OuterSize MinTrackSize = {489, 265};
constexpr int32_t kStartX = 50, kStartY = 40;

// The outer width the window starts at: the narrowest, from the minimum up, at which a toolbar
// whose buttons take `toolbarWidth` pixels, placed at the text pane's x, ends inside a client
// area `frameWidth` pixels narrower than the window. Never wider than `maxWidth` (the room on
// the screen), unless that is below the minimum.
int32_t StartWidth(int32_t toolbarWidth, int32_t frameWidth, int32_t maxWidth);

struct PlacedRect {
  int32_t x, y, width, height;
};
// The control's rectangle for a window whose outer size is outerWidth x outerHeight.
PlacedRect PlaceRow(const LayoutRow& row, int32_t outerWidth, int32_t outerHeight);

const LayoutRow* FindLayoutRow(int32_t controlId);

// Font steps 0 to 4; sizes in points.
constexpr int kFontStepCount = 5;
int TextFontPoints(int step);
int ListFontPoints(int step);
// The step that `delta` leads to, or -1 when it falls outside 0..4.
int NextFontStep(int step, int delta);

#endif

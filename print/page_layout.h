// Where things go on a printed recipe page, in device pixels from the top-left corner of the
// printable area. Everything follows from the page size and the height of the printing font.
#ifndef SAUCELINS_PRINT_PAGE_LAYOUT_H
#define SAUCELINS_PRINT_PAGE_LAYOUT_H

#include <vector>

#include "print/wrap.h"

struct PageLayout {
  int width;         // W, printable width
  int height;        // H, printable height
  int pitch;         // L, distance between two lines: text height plus a quarter
  int margin;        // M, left and right margin: W / 15
  int ruleLeft;      // both rules run from M ...
  int ruleRight;     // ... to W - M
  int headerRuleY;   // 2L
  int titleX;        // the title is centred on (M + (W - 2M)) / 2 ...
  int titleY;        // ... with its top at L,
  int clipLeft;      // clipped to M ...
  int clipTop;       // L ...
  int clipRight;     // W - 2M (not W - M: the title sits M / 2 left of the page centre) ...
  int clipBottom;    // 2L
  int footerRuleY;   // H - 3L
  int footerTextY;   // H - 2L, the credit line's top, at x = M
  int bodyTop;       // 4L, the first body line's top, at x = M
  int bodyWidth;     // W - 2M: a wrapped line is narrower than this
};

// The layout of a page `width` x `height` pixels printed with a font whose "BB" is
// `textHeight` pixels high. A degenerate font height still gives a pitch of one pixel.
PageLayout ComputePageLayout(int width, int height, int textHeight);

// Whether a body line whose top is at `y` may go on the page: its whole pitch must stay above
// the footer rule. The first line of a page always goes, so a page too small for even one
// line still moves the text on.
bool BodyLineFits(const PageLayout& page, int y);

// One line of the body as it goes on paper: the page it is on (0 for the first), the top of
// the line, and its text, which points into the buffer given to LayOutBody.
struct PlacedLine {
  int page;
  int y;
  const char* text;
};

// Wraps `text` in place (see WrapLine) to the page's body width, measured with `measure` on
// `dc`, and places the lines page after page: from the top of the body down to the footer
// rule, then on at the top of the next page.
std::vector<PlacedLine> LayOutBody(const PageLayout& page, char* text, MeasureTextFn measure,
                                   void* dc);

// How many pages the placed lines take: the last line's page, plus one; one for no line.
int PageCount(const std::vector<PlacedLine>& lines);

#endif

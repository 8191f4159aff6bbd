#include "print/page_layout.h"

PageLayout ComputePageLayout(int width, int height, int textHeight) {
  PageLayout p{};
  p.width = width;
  p.height = height;
  p.pitch = textHeight + textHeight / 4;
  if (p.pitch < 1) p.pitch = 1;
  const int l = p.pitch;
  p.margin = width / 15;
  p.ruleLeft = p.margin;
  p.ruleRight = width - p.margin;
  p.headerRuleY = 2 * l;
  p.clipLeft = p.margin;
  p.clipTop = l;
  p.clipRight = width - 2 * p.margin;
  p.clipBottom = 2 * l;
  p.titleX = (p.clipLeft + p.clipRight) / 2;
  p.titleY = l;
  p.footerRuleY = height - 3 * l;
  p.footerTextY = height - 2 * l;
  p.bodyTop = 4 * l;
  p.bodyWidth = width - 2 * p.margin;
  return p;
}

bool BodyLineFits(const PageLayout& page, int y) {
  return y <= page.bodyTop || y + page.pitch <= page.footerRuleY;
}

std::vector<PlacedLine> LayOutBody(const PageLayout& page, char* text, MeasureTextFn measure,
                                   void* dc) {
  std::vector<PlacedLine> lines;
  int sheet = 0;
  int y = page.bodyTop;
  char* line = text;
  while (char* rest = WrapLine(line, measure, page.bodyWidth, dc)) {
    if (!BodyLineFits(page, y)) {
      ++sheet;
      y = page.bodyTop;
    }
    lines.push_back({sheet, y, line});
    y += page.pitch;
    line = rest;
  }
  return lines;
}

int PageCount(const std::vector<PlacedLine>& lines) {
  return lines.empty() ? 1 : lines.back().page + 1;
}

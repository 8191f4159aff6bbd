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

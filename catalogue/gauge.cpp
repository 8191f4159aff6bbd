// Progress gauge state. The window itself is a backend the program installs; this side decides
// when a gauge exists and when it must be repainted, so the rules hold with or without a screen.
#include "catalogue/gauge.h"

namespace {

struct GaugeState {
  int32_t range = 0;      // the value that counts as 100 %; survives CloseGauge
  bool open = false;
  int32_t percent = 0;    // the last percentage drawn
  long paints = 0;
  const GaugeBackend* backend = nullptr;
};
GaugeState g_gauge;

}  // namespace

void SetGaugeBackend(const GaugeBackend* backend) { g_gauge.backend = backend; }

void SetGaugeRange(int32_t range) { g_gauge.range = range; }
int32_t GaugeRange() { return g_gauge.range; }

void OpenGauge(WindowRef parent, int32_t threshold) {
  if (g_gauge.open || g_gauge.range < threshold) return;
  // The window is created before the state says "open": a gauge that could not be made
  // leaves every later call a no-op, and the work it was meant to show goes on.
  if (g_gauge.backend && !g_gauge.backend->open(parent)) return;
  g_gauge.open = true;
  g_gauge.percent = 0;
  g_gauge.paints = 0;
}

void SetGaugeTitle(const char* title) {
  if (!g_gauge.open) return;
  if (g_gauge.backend) g_gauge.backend->setTitle(title);
}

void SetGaugePosition(int64_t value) {
  if (g_gauge.range == 0 || !g_gauge.open) return;
  // 64-bit: an index of more than 21,474,836 bytes times 100 overflows 32 bits.
  int32_t p = static_cast<int32_t>(value * 100 / g_gauge.range);
  if (p == g_gauge.percent) return;
  g_gauge.percent = p;
  ++g_gauge.paints;
  if (g_gauge.backend) g_gauge.backend->paint(p);
}

int64_t GaugeNextPosition() {
  if (!g_gauge.open) return INT64_MAX;
  if (g_gauge.range <= 0) return 0;
  // The smallest value whose value * 100 / range is above the percentage drawn.
  return ((g_gauge.percent + int64_t{1}) * g_gauge.range + 99) / 100;
}

void CloseGauge() {
  if (!g_gauge.open) return;
  g_gauge.open = false;
  if (g_gauge.backend) g_gauge.backend->close();
}

bool GaugeIsOpen() { return g_gauge.open; }
int32_t GaugePercent() { return g_gauge.percent; }
long GaugePaintCount() { return g_gauge.paints; }

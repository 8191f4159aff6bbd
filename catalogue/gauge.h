// The progress gauge shown while a large index is read or written. The state and the
// percentage arithmetic are portable; the window (class XferWindow) is the Win32 backend,
// installed by the program. Without a backend nothing is drawn but the state still moves,
// so tests can check it.
#ifndef SAUCELINS_CATALOGUE_GAUGE_H
#define SAUCELINS_CATALOGUE_GAUGE_H

#include <cstdint>

typedef void* WindowRef;  // an HWND, opaque to the portable core

void SetGaugeRange(int32_t range);
int32_t GaugeRange();
// Opens a gauge over `parent` unless one is open or the range is below the threshold.
void OpenGauge(WindowRef parent, int32_t threshold);
void SetGaugeTitle(const char* title);
// Records value * 100 / range and repaints when that percentage changed.
void SetGaugePosition(int64_t value);
// The first position from which SetGaugePosition shows another percentage, for positions that
// only grow: work that reports every step need report only from there. INT64_MAX when no gauge
// is open (nothing to show), 0 (every step) when the range is not positive.
int64_t GaugeNextPosition();
void CloseGauge();

bool GaugeIsOpen();
int32_t GaugePercent();
long GaugePaintCount();  // direct repaints since the gauge opened

// The window side. open returns false when no window could be made (work goes on without).
struct GaugeBackend {
  bool (*open)(WindowRef parent);
  void (*setTitle)(const char* title);
  void (*paint)(int32_t percent);
  void (*close)();
};
void SetGaugeBackend(const GaugeBackend* backend);

#endif

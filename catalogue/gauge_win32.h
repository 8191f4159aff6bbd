// The progress gauge as a window of class XferWindow.
#ifndef SAUCELINS_CATALOGUE_GAUGE_WIN32_H
#define SAUCELINS_CATALOGUE_GAUGE_WIN32_H

#include <windows.h>

// Makes every later gauge a real window; the program calls it once at start-up.
void InstallGaugeWindow();

// Draws the gauge at `percent` into a device context of the gauge's client area.
void PaintGauge(HDC dc, int percent);
LRESULT CALLBACK GaugeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The open gauge's window, null when none is open.
HWND GaugeWindow();

#endif

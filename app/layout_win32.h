// The main window's layout and its five text sizes, applied to the real controls.
#ifndef SAUCELINS_APP_LAYOUT_WIN32_H
#define SAUCELINS_APP_LAYOUT_WIN32_H

#include <windows.h>

// Places every control of the layout table, and the toolbar beside the text pane, for the
// window's current outer size. With initialPlacement the window first gets its starting
// position and its minimum size.
void LayoutControls(HWND window, bool initialPlacement);

// Changes the text size by `delta` steps. With no window it only releases the two fonts.
// 0 when the step changed (or the fonts were released); -1 when the step would leave 0..4 or
// a font could not be made (the user is told; the controls keep their current fonts).
int SetFontStep(HWND window, int delta);

// The font state, one per process (the main window is the only user).
struct FontState {
  int step;       // 0..4
  HFONT textFont;  // the recipe text pane's, or none
  HFONT listFont;  // the lists', tabs' and tree's, or none
};
const FontState& CurrentFonts();
// Forgets the step (back to 0) and releases the fonts; for a new main window.
void ResetFontState();

// Tests replace font creation to exercise the failure path. Null restores CreateFontA.
typedef HFONT (*FontFactory)(int pixelHeight);
void SetFontFactoryForTests(FontFactory factory);

#endif

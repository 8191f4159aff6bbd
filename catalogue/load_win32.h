// The catalogue load as a window runs it: the gauge over the window, the error boxes, the
// total in control 1012.
#ifndef SAUCELINS_CATALOGUE_LOAD_WIN32_H
#define SAUCELINS_CATALOGUE_LOAD_WIN32_H

#include <windows.h>

#include "categories/category_tree.h"

// 0 when the catalogue is loaded into `tree`; -1 when nothing usable was loaded, after the
// user was told (string 20 or 21, stop icon).
int LoadCatalogue(HWND owner, CategoryTree& tree);

#endif

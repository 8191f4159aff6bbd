// The two ways the program puts a string resource on screen, each with at most one value
// substituted (wsprintf "%d" or "%s"; a text without a conversion ignores the value).
#ifndef SAUCELINS_RESOURCES_TEXT_HELPERS_WIN32_H
#define SAUCELINS_RESOURCES_TEXT_HELPERS_WIN32_H

#include <windows.h>

// Longest text either helper produces, terminator included: wsprintfA's own limit.
const int kStringTextSize = 1024;
// Longest message box caption, terminator included.
const int kStringCaptionSize = 128;

// Sets control `controlId` of `window` to string `stringId` formatted with `value`. A string
// that is not in the table leaves the control empty and returns FALSE. A value used for "%s"
// must point to a NUL-terminated text (LPARAM keeps a 64-bit pointer whole).
BOOL SetItemTextFromString(HWND window, int controlId, UINT stringId, LPARAM value);

// MessageBoxA(owner, text, caption, style) with the caption string `captionId` (up to 127
// characters) and the text string `textId` formatted with `value`. A missing string shows as
// an empty text. Returns what MessageBoxA returns.
int ShowStringMessage(HWND owner, UINT captionId, UINT textId, LPARAM value, UINT style);

#endif

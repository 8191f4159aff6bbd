// The about box: the program's credits, version, build date and distribution notices.
#ifndef SAUCELINS_APP_ABOUT_WIN32_H
#define SAUCELINS_APP_ABOUT_WIN32_H

#include <windows.h>

// Dialog procedure of template IDD_ABOUT.
INT_PTR CALLBACK AboutBox(HWND box, UINT message, WPARAM wParam, LPARAM lParam);

// The build date and time as the compiler wrote them, for example "Jan 30 1998 à 14:40:55"
// (Windows-1252). The text is made once and lives as long as the program.
const char* BuildDateText();

// Shows the about box modally over `owner`.
void RunAboutBox(HWND owner);

#endif

// Help. The program names the help file SAUCELIN.HLP and asks the system's help engine for
// its contents page; current systems have no engine for that format, and the program ships
// no such file, so the program's own help window stands in.
#ifndef SAUCELINS_APP_HELP_WIN32_H
#define SAUCELINS_APP_HELP_WIN32_H

#include <windows.h>

extern const char kHelpFileName[];  // "SAUCELIN.HLP"

// The contents page of the help file when the help engine can show it, otherwise the
// program's own help. Used by the main window's help command and the editor's Help button.
void ShowHelpContents(HWND owner);

// The program's own help, modal over `owner`: the tabs, the search, text sizes, memos,
// printing and the category editor.
void ShowProgramHelp(HWND owner);

// Dialog procedure of the program's help window.
INT_PTR CALLBACK ProgramHelpDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

#endif

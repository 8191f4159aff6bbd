// What the Wine tests of the whole program share: the real main window, made modeless from its
// template so that a test can act between its own checks, and the messages a user's actions
// produce.
#ifndef SAUCELINS_APP_MAIN_WINDOW_WINTEST_H
#define SAUCELINS_APP_MAIN_WINDOW_WINTEST_H

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/main_window_win32.h"
#include "catalogue/recipe_table.h"
#include "categories/history_win32.h"
#include "platform/modal_script_wintest.h"
#include "resources/resource.h"

// Runs what is waiting in this thread's queue, through `dialog`'s keyboard handling if given.
inline void PumpMessages(HWND dialog) {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (dialog && IsDialogMessageA(dialog, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

class MainWindowTest : public ::testing::Test {
 protected:
  // A modeless main window, pumped until it has loaded the catalogue (it sets its title then).
  void Open() {
    window_ = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN), nullptr,
                                 MainWindowProc, 0);
    ASSERT_NE(window_, nullptr);
    ShowWindow(window_, SW_SHOW);
    const std::string loaded = wintest::Str(IDS_MAIN_TITLE);
    for (DWORD start = GetTickCount(); GetTickCount() - start < 5000; Sleep(5)) {
      PumpMessages(window_);
      if (wintest::Text(window_) == loaded) break;
    }
    ASSERT_EQ(wintest::Text(window_), loaded) << "the catalogue was not loaded";
  }
  // Runs the program as the user starts it on a catalogue it cannot show: it tells why in a
  // message box, answered with OK, then ends. Returns the box.
  wintest::SeenBox RunExpectingTheEnd(DWORD watchdogMs) {
    wintest::SeenBox box;
    wintest::ModalScript script;
    // The main window is up but disabled under the box; the box is the enabled dialog.
    script.Until([&] {
      HWND d = wintest::TopDialog();
      if (!d || wintest::ItemText(d, 0xFFFF).empty()) return false;
      box.Answer()(d);
      return true;
    });
    INT_PTR result = -1;
    const bool ended =
        script.Run([&] { result = RunMainWindow(GetModuleHandleA(nullptr)); }, watchdogMs);
    EXPECT_TRUE(ended && script.Finished());
    EXPECT_EQ(result, 0);
    EXPECT_EQ(RecipeCount(), 0u);
    return box;
  }

  // Destroys the window, if one was opened, and lets its last messages run.
  void Close() {
    if (window_) DestroyWindow(window_);
    window_ = nullptr;
    PumpMessages(nullptr);
  }

  void Pump() { PumpMessages(window_); }
  HWND Item(int id) { return GetDlgItem(window_, id); }
  void Command(int id, int code = 0, LPARAM l = 0) {
    SendMessageA(window_, WM_COMMAND, MAKEWPARAM(id, code), l);
    Pump();
  }
  bool Enabled(int command) {
    return SendMessageA(Item(IDC_TOOLBAR), TB_ISBUTTONENABLED, command, 0) != 0;
  }
  std::string Text(int id) { return wintest::ItemText(window_, id); }
  // The titles of the recipe list, top to bottom. Each line must stand for the recipe it
  // shows: the commands act on the recipe of a line, not on its text.
  std::vector<std::string> Listed() {
    std::vector<std::string> out;
    HWND list = Item(IDC_RECIPE_LIST);
    const int n = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
      char buf[256] = {};
      SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(buf));
      const RecipeEntry* e = RecipeOfLine(list, i);
      EXPECT_TRUE(e && std::string(e->title) == buf) << "line " << i << ": " << buf;
      out.push_back(buf);
    }
    return out;
  }
  // A click on a title of the recipe list: the list box selects it, then tells the window.
  void ClickRecipe(const std::string& title) {
    HWND list = Item(IDC_RECIPE_LIST);
    const LRESULT i = SendMessageA(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                   reinterpret_cast<LPARAM>(title.c_str()));
    ASSERT_NE(i, LB_ERR) << title;
    SendMessageA(list, LB_SETCURSEL, i, 0);
    Command(IDC_RECIPE_LIST, LBN_SELCHANGE, reinterpret_cast<LPARAM>(list));
  }

  HWND window_ = nullptr;
};

#endif

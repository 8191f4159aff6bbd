// The load as the windows run it: which box the user sees for each bad index, and the total.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "catalogue/catalogue.h"
#include "catalogue/load_win32.h"
#include "platform/temp_folder_wintest.h"
#include "resources/resource.h"

namespace {

struct SeenBox {
  int count = 0;
  std::string caption, text;
  bool stopIcon = false;
};
SeenBox g_box;

BOOL CALLBACK FindBox(HWND w, LPARAM) {
  char cls[32] = {};
  GetClassNameA(w, cls, sizeof cls);
  if (std::string(cls) != "#32770" || !IsWindowVisible(w)) return TRUE;
  char buf[1024] = {};
  GetWindowTextA(w, buf, sizeof buf);
  g_box.caption = buf;
  GetDlgItemTextA(w, 0xFFFF, buf, sizeof buf);
  g_box.text = buf;
  // The icon static shows the system's stop icon, the same shared handle LoadIcon gives.
  HWND icon = GetDlgItem(w, 0x0440);
  HICON shown = icon ? reinterpret_cast<HICON>(SendMessageA(icon, STM_GETICON, 0, 0)) : nullptr;
  g_box.stopIcon = shown && shown == LoadIcon(nullptr, IDI_HAND);
  ++g_box.count;
  SendMessageA(w, WM_COMMAND, IDOK, 0);
  return FALSE;
}

void CALLBACK CloseBoxes(HWND, UINT, UINT_PTR, DWORD) {
  EnumThreadWindows(GetCurrentThreadId(), FindBox, 0);
}

using testfiles::Put;

class LoadWin : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.Enter());
    g_box = SeenBox();
    owner_ = CreateWindowExA(0, "STATIC", "owner", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    // Control 1012 of the owner receives the total.
    total_ = CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 100, 20, owner_,
                             reinterpret_cast<HMENU>(IDC_TOTAL), GetModuleHandleA(nullptr), nullptr);
    timer_ = SetTimer(nullptr, 0, 30, CloseBoxes);
  }
  void TearDown() override {
    KillTimer(nullptr, timer_);
    DestroyWindow(owner_);
    ReleaseCatalogue();
  }
  testfiles::TempFolder folder_{"sal"};
  HWND owner_ = nullptr, total_ = nullptr;
  UINT_PTR timer_ = 0;
};

TEST_F(LoadWin, MissingOrEmptyIndexShowsMessage20WithTheStopIcon) {
  CategoryTree tree;
  EXPECT_EQ(LoadCatalogue(owner_, tree), -1);
  EXPECT_EQ(g_box.count, 1);
  EXPECT_EQ(g_box.caption, "Saucelins");
  EXPECT_EQ(g_box.text, "Fichier Gourmix.Idx absent du r\xE9pertoire courant");
  EXPECT_TRUE(g_box.stopIcon);

  Put("Gourmix.Idx", "");
  g_box = SeenBox();
  EXPECT_EQ(LoadCatalogue(owner_, tree), -1);
  EXPECT_EQ(g_box.text, "Fichier Gourmix.Idx absent du r\xE9pertoire courant");
}

TEST_F(LoadWin, IndexWithoutRecipesShowsMessage21) {
  Put("Gourmix.Idx", "# commentaire\r\ndu bruit sans tabulation\r\n");
  CategoryTree tree;
  EXPECT_EQ(LoadCatalogue(owner_, tree), -1);
  EXPECT_EQ(g_box.count, 1);
  EXPECT_EQ(g_box.text, "Erreur d'ouverture Gourmix.idx ou Pb m\xE9moire\n");
  EXPECT_TRUE(g_box.stopIcon);
  EXPECT_EQ(RecipeCount(), 0u);
}

TEST_F(LoadWin, LoadedCatalogueShowsItsTotalAndNoBox) {
  Put("Gourmix.Dat", "Tarte\r\nSoupe\r\n");
  Put("Gourmix.Idx",
      "1\tTarte\t0\t0\t7\t/Desserts\tGourmix.Dat\t0\r\n"
      "2\tSoupe\t0\t7\t14\t/Entr\xE9" "es\tGourmix.Dat\t0\r\n");
  CategoryTree tree;
  EXPECT_EQ(LoadCatalogue(owner_, tree), 0);
  EXPECT_EQ(g_box.count, 0);
  char buf[64] = {};
  GetWindowTextA(total_, buf, sizeof buf);
  EXPECT_STREQ(buf, "2 Recettes");
  ASSERT_EQ(RecipeCount(), 2u);
  EXPECT_STREQ(FetchRecipeText(&RecipeEntries()[0]), "Soupe\r\n");
}

}  // namespace

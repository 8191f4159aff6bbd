// The load as the windows run it: which box the user sees for each bad index, and the total.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "catalogue/catalogue.h"
#include "catalogue/load_win32.h"
#include "platform/modal_script_wintest.h"
#include "platform/temp_folder_wintest.h"
#include "resources/resource.h"

namespace {

// The last box the load showed, and how many it showed.
struct SeenBoxes : wintest::SeenBox {
  int count = 0;
};
SeenBoxes g_box;

void CALLBACK CloseBoxes(HWND, UINT, UINT_PTR, DWORD) {
  HWND box = wintest::FindThreadWindow("#32770", false);
  if (!box) return;
  g_box.Read(box);
  ++g_box.count;
  SendMessageA(box, WM_COMMAND, IDOK, 0);
}

using testfiles::Put;

class LoadWin : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.Enter());
    g_box = SeenBoxes();
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
  EXPECT_TRUE(g_box.Stop());

  Put("Gourmix.Idx", "");
  g_box = SeenBoxes();
  EXPECT_EQ(LoadCatalogue(owner_, tree), -1);
  EXPECT_EQ(g_box.text, "Fichier Gourmix.Idx absent du r\xE9pertoire courant");
}

TEST_F(LoadWin, IndexWithoutRecipesShowsMessage21) {
  Put("Gourmix.Idx", "# commentaire\r\ndu bruit sans tabulation\r\n");
  CategoryTree tree;
  EXPECT_EQ(LoadCatalogue(owner_, tree), -1);
  EXPECT_EQ(g_box.count, 1);
  EXPECT_EQ(g_box.text, "Erreur d'ouverture Gourmix.idx ou Pb m\xE9moire\n");
  EXPECT_TRUE(g_box.Stop());
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

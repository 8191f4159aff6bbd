// Search inside recipes in the real main window under Wine: the command and its dialog, the
// recipe list filled with what was found, the first match selected in the text pane, and the
// index kept in step with memos and with the catalogue reloaded after the category editor.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/main_window_wintest.h"
#include "catalogue/gauge.h"
#include "catalogue/recipe_table.h"
#include "platform/file_bytes_test.h"
#include "platform/modal_script_wintest.h"
#include "platform/temp_folder_wintest.h"
#include "resources/resource.h"
#include "search/search_win32.h"

namespace {

namespace S = wintest;
using wintest::ModalScript;

constexpr DWORD kWatchdogMs = 5000;

struct Recipe {
  uint32_t id;
  std::string title;
  std::string text;
};

// Windows-1252 bytes, as the index and the recipe base hold them.
const std::vector<Recipe> kRecipes = {
    {201, "Flamiche aux poireaux", "Flamiche\r\n\r\n3 poireaux, 20 cl de cr\xE8me fra\xEE" "che.\r\n"},
    {202, "Potage Parmentier", "Potage\r\n\r\nPommes de terre, 2 poireaux.\r\nMixez.\r\n"},
    {203, "Tarte aux pommes", "Tarte\r\n\r\nP\xE2te bris\xE9" "e, pommes, sucre.\r\n"},
    {204, "Velout\xE9 de potiron", "Velout\xE9\r\n\r\nPotiron, CR\xC8ME, sel.\r\n"},
};

void WriteCatalogue(const std::vector<Recipe>& recipes) {
  std::string index, data;
  for (const Recipe& r : recipes) {
    const size_t start = data.size();
    data += r.text;
    index += std::to_string(r.id) + "\t" + r.title + "\t0\t" + std::to_string(start) + "\t" +
             std::to_string(data.size()) + "\t/Plats\tGourmix.Dat\t0\r\n";
  }
  testfiles::Put("Gourmix.Dat", data);
  testfiles::Put("Gourmix.Idx", index);
}

class SearchWindow : public MainWindowTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.Enter());
    WriteCatalogue(kRecipes);
    Open();
  }
  void TearDown() override {
    Close();
    ReleaseCatalogue();
  }
  // The text selected in the text pane.
  std::string PaneSelection() {
    DWORD start = 0, end = 0;
    SendMessageA(Item(IDC_RECIPE_TEXT), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    return Text(IDC_RECIPE_TEXT).substr(start, end - start);
  }
  // Runs `command` with `use` acting in the dialog it opens; false when the watchdog ended it.
  bool WithDialog(std::function<void()> command, std::function<void(HWND)> use) {
    ModalScript script;
    script.OnDialog({&window_}, use);
    const bool ended = script.Run(command, kWatchdogMs);
    Pump();
    return ended && script.Finished();
  }
  bool Search(std::function<void(HWND)> use) {
    return WithDialog([this] { Command(IDM_SEARCH); }, use);
  }
  // Types `words` with only the places in `scope` ticked and presses OK.
  static std::function<void(HWND)> Ask(const std::string& words, unsigned scope) {
    return [words, scope](HWND d) {
      SetDlgItemTextA(d, IDC_SEARCH_WORDS, words.c_str());
      const std::pair<int, unsigned> places[] = {{IDC_SEARCH_IN_TITLES, search::kInTitles},
                                                 {IDC_SEARCH_IN_TEXTS, search::kInTexts},
                                                 {IDC_SEARCH_IN_MEMOS, search::kInMemos}};
      for (const auto& [id, place] : places)
        CheckDlgButton(d, id, (scope & place) ? BST_CHECKED : BST_UNCHECKED);
      S::Click(d, IDOK);
    };
  }

  testfiles::TempFolder folder_{"sws"};
};

TEST_F(SearchWindow, FoundRecipesFillTheListBestFirstAndTheFirstMatchIsSelected) {
  EXPECT_EQ(S::Str(IDM_SEARCH), "Rechercher dans les recettes (Ctrl+F)");
  // The button shows whole once the window is wider than at its start.
  SetWindowPos(window_, nullptr, 0, 0, 900, 500, SWP_NOMOVE | SWP_NOZORDER);
  Pump();
  RECT button = {}, client = {};
  SendMessageA(Item(IDC_TOOLBAR), TB_GETRECT, IDM_SEARCH, reinterpret_cast<LPARAM>(&button));
  MapWindowPoints(Item(IDC_TOOLBAR), window_, reinterpret_cast<POINT*>(&button), 2);
  GetClientRect(window_, &client);
  EXPECT_GT(button.right, button.left);
  EXPECT_LE(button.right, client.right);

  ASSERT_TRUE(Search(Ask("POIREAU", search::kInEverything)));
  EXPECT_EQ(SendMessageA(Item(IDC_TABS), TCM_GETCURSEL, 0, 0), 0);  // the recipe list's tab
  EXPECT_EQ(Listed(), (std::vector<std::string>{"Flamiche aux poireaux", "Potage Parmentier"}));
  EXPECT_EQ(Text(IDC_LISTED), "2 recettes trouv\xE9" "es");
  EXPECT_EQ(SendMessageA(Item(IDC_RECIPE_LIST), LB_GETCURSEL, 0, 0), 0);
  EXPECT_EQ(Text(IDC_RECIPE_TEXT), kRecipes[0].text);
  EXPECT_EQ(PaneSelection(), "poireaux");
  // Another line of the result: its own first match.
  ClickRecipe("Potage Parmentier");
  EXPECT_EQ(PaneSelection(), "poireaux");

  // A phrase, accents and case folded, in the texts only.
  ASSERT_TRUE(Search(Ask("\"creme fraiche\"", search::kInTexts)));
  EXPECT_EQ(Listed(), std::vector<std::string>{"Flamiche aux poireaux"});
  EXPECT_EQ(Text(IDC_LISTED), "1 recette trouv\xE9" "e");
  EXPECT_EQ(PaneSelection(), "cr\xE8me fra\xEE" "che");

  // Titles only: nothing is selected in a text that was not searched.
  ASSERT_TRUE(Search(Ask("potiron", search::kInTitles)));
  EXPECT_EQ(Listed(), std::vector<std::string>{"Velout\xE9 de potiron"});
  EXPECT_EQ(PaneSelection(), "");
}

TEST_F(SearchWindow, NothingFoundKeepsTheDialogOpenWithCloseWordsAndTheListAsItWas) {
  ASSERT_TRUE(Search(Ask("pommes", search::kInEverything)));
  const std::vector<std::string> before = Listed();
  const struct {
    const char* words;
    bool noPlace;
    std::string status;
  } kTries[] = {
      {"poiraux", false, "Aucune recette trouv\xE9" "e. Vouliez-vous dire : poireaux ?"},
      {" ' - ", false, S::Str(IDS_SEARCH_NO_WORD)},
      {"pommes", true, S::Str(IDS_SEARCH_NO_SCOPE)},
  };
  ASSERT_TRUE(Search([&](HWND d) {
    EXPECT_EQ(S::ItemText(d, IDC_SEARCH_WORDS), "pommes");  // the last words
    for (const auto& t : kTries) {
      SetDlgItemTextA(d, IDC_SEARCH_WORDS, t.words);
      if (t.noPlace)
        for (int id : {IDC_SEARCH_IN_TITLES, IDC_SEARCH_IN_TEXTS, IDC_SEARCH_IN_MEMOS})
          CheckDlgButton(d, id, BST_UNCHECKED);
      SendMessageA(d, WM_COMMAND, IDOK, 0);
      EXPECT_EQ(S::ItemText(d, IDC_SEARCH_STATUS), t.status) << t.words;
    }
    S::Click(d, IDCANCEL);
  }));
  EXPECT_EQ(Listed(), before);
}

TEST_F(SearchWindow, F3OpensTheSearchFromTheDialogsOwnLoop) {
  bool opened = false;
  ASSERT_TRUE(WithDialog(
      [this] {
        // What the dialog manager's loop does with a key press before it dispatches it.
        MSG msg = {Item(IDC_RECIPE_LIST), WM_KEYDOWN, VK_F3, 1, GetTickCount(), {0, 0}};
        CallMsgFilterA(&msg, MSGF_DIALOGBOX);
      },
      [&](HWND d) {
        opened = GetDlgItem(d, IDC_SEARCH_WORDS) != nullptr;
        S::Click(d, IDCANCEL);
      }));
  EXPECT_TRUE(opened);
}

TEST_F(SearchWindow, ASavedMemoIsFoundAtOnce) {
  ASSERT_TRUE(Search(Ask("tarte", search::kInTitles)));
  ASSERT_EQ(Listed(), std::vector<std::string>{"Tarte aux pommes"});
  // Edit mode, a text, OK: as the user saves a memo from the toolbar.
  ASSERT_TRUE(WithDialog([this] { Command(IDM_NEW_MEMO); }, [](HWND d) {
    if (IsDlgButtonChecked(d, IDC_MEMO_EDIT) != BST_CHECKED)
      SendDlgItemMessageA(d, IDC_MEMO_EDIT, BM_CLICK, 0, 0);
    SetDlgItemTextA(d, IDC_MEMO_TEXT, "Avec de la cannelle de Ceylan");
    S::Click(d, IDOK);
  }));
  EXPECT_EQ(ShowSearchResults(window_, "ceylan", search::kInMemos), 1u);
  EXPECT_EQ(Listed(), std::vector<std::string>{"Tarte aux pommes"});
}

// What the gauge was asked to show during a search.
struct GaugeSeen {
  int opened = 0;
  std::string title;
  int32_t percent = -1;
};
GaugeSeen g_gauge;
const GaugeBackend kGaugeRecorder = {
    [](WindowRef) { return ++g_gauge.opened, true; },
    [](const char* title) { g_gauge.title = title; },
    [](int32_t percent) { g_gauge.percent = percent; },
    [] {},
};

// The first search indexes the recipes, under a gauge when they are many.
TEST_F(SearchWindow, IndexingManyRecipesShowsTheGauge) {
  std::vector<Recipe> many;
  for (uint32_t i = 0; i < 6000; ++i) {
    many.push_back({1000 + i, "Recette " + std::to_string(i), "Poireaux et potiron.\r\n"});
  }
  const struct {
    const std::vector<Recipe>* recipes;
    uint32_t found;
    int opened;
    const char* title;
    int32_t percent;
  } kCases[] = {{&kRecipes, 1, 0, "", -1}, {&many, 6000, 1, "Indexation des recettes", 100}};
  for (const auto& c : kCases) {
    Close();
    ReleaseCatalogue();
    WriteCatalogue(*c.recipes);
    Open();
    g_gauge = GaugeSeen{};
    SetGaugeBackend(&kGaugeRecorder);
    EXPECT_EQ(ShowSearchResults(window_, "potiron", search::kInEverything), c.found);
    SetGaugeBackend(nullptr);
    EXPECT_EQ(g_gauge.opened, c.opened) << c.recipes->size();
    EXPECT_EQ(g_gauge.title, c.title);
    EXPECT_EQ(g_gauge.percent, c.percent);
  }
}

TEST_F(SearchWindow, TheEditorsReloadBringsANewIndex) {
  EXPECT_EQ(ShowSearchResults(window_, "potiron", search::kInEverything), 1u);
  // While the editor is open the catalogue changes on disk; closing the editor reloads it.
  ASSERT_TRUE(WithDialog([this] { Command(IDC_EDITOR_OPEN); }, [](HWND d) {
    std::vector<Recipe> more = kRecipes;
    more.push_back({205, "Far breton", "Far\r\n\r\nPruneaux, lait, potiron confit.\r\n"});
    WriteCatalogue(more);
    S::Click(d, IDC_QUIT);
  }));
  for (DWORD start = GetTickCount(); GetTickCount() - start < 3000 && RecipeCount() != 5; Sleep(5))
    Pump();
  ASSERT_EQ(RecipeCount(), 5u);
  EXPECT_EQ(ShowSearchResults(window_, "potiron", search::kInEverything), 2u);
  EXPECT_EQ(Listed(), (std::vector<std::string>{"Velout\xE9 de potiron", "Far breton"}));
  EXPECT_EQ(ShowSearchResults(window_, "pruneaux", search::kInTexts), 1u);
}

}  // namespace

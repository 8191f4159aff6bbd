// The main window under Wine: the real dialog from template 101 on a small catalogue written
// into a temporary folder, driven with the messages a user's actions produce, checked through
// its controls.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/help_win32.h"
#include "app/layout.h"
#include "app/layout_win32.h"
#include "app/main_window_win32.h"
#include "app/main_window_wintest.h"
#include "catalogue/recipe_table.h"
#include "catalogue/small_catalogue_test.h"
#include "categories/history_win32.h"
#include "platform/modal_script_wintest.h"
#include "platform/temp_folder_wintest.h"
#include "resources/resource.h"
#include "vlr/memo.h"

namespace {

namespace S = wintest;
using testfiles::Recipe;
using testfiles::TextOf;
using testfiles::WriteCatalogue;
using wintest::ModalScript;
using wintest::SeenBox;
using wintest::Str;

// A dialog that will not close fails a test after this long.
constexpr DWORD kWatchdogMs = 5000;

// Windows-1252 bytes, as the index and the recipe base hold them.
const Recipe kRecipes[] = {
    {101, "Tarte aux pommes", "/Desserts/Tartes"},
    {102, "tarte au citron", "/Desserts/Tartes"},
    {103, "G\xE2teau basque", "/Desserts/G\xE2teaux"},
    {104, "Boeuf bourguignon", "/Plats/Viandes"},
    {105, "Soupe \xE0 l'oignon", "/Entr\xE9" "es"},
    {106, "Omelette", "/Plats"},
};
// The list shows the titles in alphabetical order, accents and case aside.
const std::vector<std::string> kAllTitles = {"Boeuf bourguignon", "G\xE2teau basque", "Omelette",
                                             "Soupe \xE0 l'oignon", "tarte au citron", "Tarte aux pommes"};

std::vector<Recipe> Catalogue() { return std::vector<Recipe>(std::begin(kRecipes), std::end(kRecipes)); }

std::vector<UINT> g_beeps;
BOOL WINAPI RecordBeep(UINT type) {
  g_beeps.push_back(type);
  return TRUE;
}

class MainWindow : public MainWindowTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.Enter());
    g_beeps.clear();
    SetBeepForTests(RecordBeep);
  }
  void TearDown() override {
    Close();
    SetBeepForTests(nullptr);
    SetFontFactoryForTests(nullptr);
    ReleaseCatalogue();
    const bool onlyTheCatalogue =
        folder_.RemoveExpecting({"Gourmix.Idx", "Gourmix.Idx.lck", "Gourmix.Dat", "Gourmix.mem",
                                 "Gourmix.mem.lck", "Gourmix.Bak"});
    EXPECT_TRUE(onlyTheCatalogue) << "a file was left in " << folder_.Path();
  }

  void OpenSample() {
    WriteCatalogue(Catalogue());
    Open();
  }
  // Pumps until `done`, for at most five seconds.
  void PumpUntil(const std::function<bool()>& done) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < 5000 && !done(); Sleep(5)) Pump();
  }
  void Search(const char* typed) {
    SetDlgItemTextA(window_, IDC_SEARCH, typed);
    Pump();
  }
  // The memo commands the toolbar offers: "read", "new", "" for neither.
  std::string MemoCommands() {
    return std::string(Enabled(IDM_READ_MEMO) ? "read" : "") + (Enabled(IDM_NEW_MEMO) ? "new" : "");
  }

  // Waits for a reload to show `total`: it empties both lists and puts the tree back at its root.
  void ExpectReloaded(const std::string& total) {
    PumpUntil([&] { return Text(IDC_TOTAL) == total; });
    EXPECT_EQ(Text(IDC_TOTAL), total);
    EXPECT_TRUE(Listed().empty());
    EXPECT_TRUE(History().empty());
    EXPECT_EQ(TreeSelection(), TreeNext(nullptr, TVGN_ROOT));
    EXPECT_EQ(TreeLabel(TreeSelection()), "Toutes les recettes");
    EXPECT_EQ(MemoCommands(), "");
  }

  // A click on a tab: the control changes its selection, then tells the window.
  void ClickTab(int tab) {
    SendMessageA(Item(IDC_TABS), TCM_SETCURSEL, tab, 0);
    NMHDR h = {Item(IDC_TABS), IDC_TABS, static_cast<UINT>(TCN_SELCHANGE)};
    SendMessageA(window_, WM_NOTIFY, IDC_TABS, reinterpret_cast<LPARAM>(&h));
    Pump();
  }
  int Tab() { return static_cast<int>(SendMessageA(Item(IDC_TABS), TCM_GETCURSEL, 0, 0)); }

  std::string TreeLabel(HTREEITEM item) { return S::TreeLabel(Item(IDC_TREE), item); }
  HTREEITEM TreeNext(HTREEITEM item, UINT how) { return S::TreeNext(Item(IDC_TREE), item, how); }
  HTREEITEM TreeSelection() { return TreeNext(nullptr, TVGN_CARET); }
  // Labels from the root down, as the user clicks through the control.
  void ClickTree(const std::vector<std::string>& labels) {
    HTREEITEM item = TreeNext(nullptr, TVGN_ROOT);
    for (const std::string& label : labels) {
      item = TreeNext(item, TVGN_CHILD);
      while (item && TreeLabel(item) != label) item = TreeNext(item, TVGN_NEXT);
      ASSERT_NE(item, nullptr) << label;
    }
    SendMessageA(Item(IDC_TREE), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    Pump();
  }

  int ListSel() { return static_cast<int>(SendMessageA(Item(IDC_RECIPE_LIST), LB_GETCURSEL, 0, 0)); }
  std::vector<std::string> History() {
    std::vector<std::string> out;
    const int n = static_cast<int>(SendMessageA(Item(IDC_HISTORY), CB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
      char buf[256] = {};
      SendMessageA(Item(IDC_HISTORY), CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(buf));
      out.push_back(buf);
    }
    return out;
  }
  RECT ClientRect(HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&r), 2);
    return r;
  }
  void ExpectPlaced(int id, int x, int y, int w, int h) {
    RECT r = ClientRect(Item(id));
    // A drop-down list is as high as its selection field, and the control rounds the height
    // given for its list to whole lines: only its place and width can be checked.
    if (id == IDC_HISTORY) r.bottom = r.top + h;
    EXPECT_EQ(r.left, x) << "control " << id;
    EXPECT_EQ(r.top, y) << "control " << id;
    EXPECT_EQ(r.right - r.left, w) << "control " << id;
    EXPECT_EQ(r.bottom - r.top, h) << "control " << id;
  }

  testfiles::TempFolder folder_{"sam"};
};

TEST_F(MainWindow, StartsOnTheCategoryTabWithTheRootSelectedAndTheTotalShown) {
  OpenSample();
  EXPECT_EQ(Tab(), 1);
  EXPECT_EQ(Text(IDC_RECIPE_TEXT), Str(IDS_CATEGORY_HELP));
  EXPECT_EQ(Text(IDC_TOTAL), "6 Recettes");
  HTREEITEM root = TreeNext(nullptr, TVGN_ROOT);
  EXPECT_EQ(TreeSelection(), root);
  EXPECT_EQ(TreeLabel(root), "Toutes les recettes");
  EXPECT_EQ(MainCategoryTree().Selected(), MainCategoryTree().Root());

  // Texts set once the catalogue is there; the focus rests on the total.
  EXPECT_EQ(Text(IDC_SEARCH_LABEL), "Rechercher");
  EXPECT_EQ(Text(IDC_EDITOR_OPEN), "&Edition des cat\xE9gories");
  EXPECT_EQ(Text(IDC_EDITOR_EXPLAIN), Str(IDS_EDITOR_EXPLAIN));
  EXPECT_EQ(Text(IDC_ABOUT), "&A Propos");
  EXPECT_EQ(Text(IDC_QUIT), "&Quitter");
  EXPECT_EQ(GetFocus(), Item(IDC_TOTAL));

  // The category tab shows the tree and hides the recipe list's controls.
  for (int id : {IDC_TABS, IDC_TREE, IDC_RECIPE_TEXT, IDC_TOTAL, IDC_ABOUT, IDC_QUIT})
    EXPECT_TRUE(IsWindowVisible(Item(id))) << id;
  for (int id : {IDC_HISTORY, IDC_RECIPE_LIST, IDC_EDITOR_EXPLAIN, IDC_EDITOR_OPEN, IDC_LISTED,
                 IDC_SEARCH_LABEL, IDC_SEARCH})
    EXPECT_FALSE(IsWindowVisible(Item(id))) << id;
  EXPECT_TRUE(Listed().empty());
  EXPECT_TRUE(History().empty());

  // Toolbar: 19 entries, memo buttons off, the rest on.
  EXPECT_EQ(SendMessageA(Item(IDC_TOOLBAR), TB_BUTTONCOUNT, 0, 0), 19);
  EXPECT_EQ(MemoCommands(), "");
  for (int cmd : {IDM_LARGER, IDM_SMALLER, IDM_PRINT, IDM_PREVIEW, IDM_COPY, IDM_SAVE_AS,
                  IDM_RECIPES_TAB, IDM_CATEGORIES_TAB, IDM_EDITOR, IDM_SEARCH, IDM_HELP})
    EXPECT_TRUE(Enabled(cmd)) << cmd;
  HICON icon = reinterpret_cast<HICON>(SendMessageA(window_, WM_QUERYDRAGICON, 0, 0));
  EXPECT_NE(icon, nullptr);
  EXPECT_EQ(reinterpret_cast<HICON>(GetClassLongPtrA(window_, GCLP_HICON)), icon);
}

TEST_F(MainWindow, RecipeTabFillsFromTheTreeOnlyWhenItsSelectionMoved) {
  OpenSample();
  // The load selected the root: the first visit lists everything and records the root.
  ClickTab(0);
  EXPECT_EQ(Listed(), kAllTitles);
  EXPECT_EQ(Text(IDC_LISTED), "6 dans s\xE9lection");
  EXPECT_EQ(History(), std::vector<std::string>{"Toutes les recettes"});
  EXPECT_TRUE(IsWindowVisible(Item(IDC_RECIPE_LIST)));
  EXPECT_FALSE(IsWindowVisible(Item(IDC_TREE)));

  // Back and forth without touching the tree: the list (and its selection) stays, and the
  // recipe is shown again.
  ClickRecipe("Omelette");
  ClickTab(1);
  EXPECT_EQ(Text(IDC_RECIPE_TEXT), Str(IDS_CATEGORY_HELP));
  ClickTab(0);
  EXPECT_EQ(ListSel(), 2);
  EXPECT_EQ(Text(IDC_RECIPE_TEXT), TextOf("Omelette"));

  // A new category in the tree: the recipes of it and of its sub-categories.
  ClickTab(1);
  ClickTree({"Desserts"});
  ClickTab(0);
  EXPECT_EQ(Listed(), (std::vector<std::string>{"G\xE2teau basque", "tarte au citron", "Tarte aux pommes"}));
  EXPECT_EQ(Text(IDC_LISTED), "3 dans s\xE9lection");
  EXPECT_EQ(History(), (std::vector<std::string>{"/Desserts", "Toutes les recettes"}));

  // A double click in the tree shows the recipe tab, refilled from the new selection.
  Command(IDM_CATEGORIES_TAB);
  EXPECT_EQ(Tab(), 1);
  ClickTree({"Plats", "Viandes"});
  NMHDR dbl = {Item(IDC_TREE), IDC_TREE, static_cast<UINT>(NM_DBLCLK)};
  SendMessageA(window_, WM_NOTIFY, IDC_TREE, reinterpret_cast<LPARAM>(&dbl));
  Pump();
  EXPECT_EQ(Tab(), 0);
  EXPECT_EQ(Listed(), std::vector<std::string>{"Boeuf bourguignon"});
  EXPECT_EQ(History()[0], "/Plats/Viandes");
}

TEST_F(MainWindow, HistoryPickListsWithoutSelectionAndTheTreeFollowsOnTheCategoryTab) {
  OpenSample();
  ClickTab(0);
  ClickTab(1);
  ClickTree({"Desserts"});
  ClickTab(0);  // history: /Desserts, root
  ClickRecipe("Tarte aux pommes");
  const std::string shown = Text(IDC_RECIPE_TEXT);
  ASSERT_TRUE(Enabled(IDM_NEW_MEMO));

  SendMessageA(Item(IDC_HISTORY), CB_SETCURSEL, 1, 0);
  Command(IDC_HISTORY, CBN_SELCHANGE, reinterpret_cast<LPARAM>(Item(IDC_HISTORY)));
  EXPECT_EQ(Listed(), kAllTitles);
  EXPECT_EQ(ListSel(), -1);
  EXPECT_EQ(Text(IDC_LISTED), "6 dans s\xE9lection");
  EXPECT_EQ(Text(IDC_RECIPE_TEXT), shown);
  // No recipe is selected any more, so neither memo command has one to act on.
  EXPECT_EQ(MemoCommands(), "");
  for (int cmd : {IDM_NEW_MEMO, IDM_READ_MEMO}) {
    bool opened = false;
    ModalScript script;
    script.OnDialog({&window_}, [&](HWND d) {
      opened = true;
      PostMessageA(d, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_TRUE(script.Run([&] { Command(cmd); }, 2000));
    EXPECT_FALSE(opened) << "a dialog opened with no recipe selected, command " << cmd;
  }

  // The tree kept /Desserts until the category tab is shown.
  EXPECT_STREQ(MainCategoryTree().Label(MainCategoryTree().Selected()), "Desserts");
  ClickRecipe("Omelette");
  ClickTab(1);
  EXPECT_EQ(TreeSelection(), TreeNext(nullptr, TVGN_ROOT));
  // That moved the tree as a click would: the recipe tab refills (the selection goes) and
  // records the root again.
  ClickTab(0);
  EXPECT_EQ(ListSel(), -1);
  EXPECT_EQ(History(), (std::vector<std::string>{"/Desserts", "Toutes les recettes"}));
  EXPECT_EQ(SendMessageA(Item(IDC_HISTORY), CB_GETCURSEL, 0, 0), 1);
}

TEST_F(MainWindow, ExactlyOneMemoButtonFollowsTheSelectedRecipe) {
  WriteCatalogue(Catalogue());
  ASSERT_EQ(WriteMemo(MemoStoreName, 104, "Servir avec des p\xE2tes fra\xEE" "ches", 0), 0);
  Open();
  Command(IDM_RECIPES_TAB);
  EXPECT_EQ(Tab(), 0);
  EXPECT_EQ(MemoCommands(), "");

  ClickRecipe("Omelette");
  EXPECT_EQ(Text(IDC_RECIPE_TEXT), TextOf("Omelette"));
  EXPECT_EQ(MemoCommands(), "new");

  ClickRecipe("Boeuf bourguignon");
  EXPECT_EQ(Text(IDC_RECIPE_TEXT), TextOf("Boeuf bourguignon"));
  EXPECT_EQ(MemoCommands(), "read");

  // Away from the list, neither command has a recipe; back on it, the recipe left selected
  // is shown again with its memo command.
  Command(IDM_CATEGORIES_TAB);
  EXPECT_EQ(MemoCommands(), "");
  Command(IDM_RECIPES_TAB);
  EXPECT_EQ(ListSel(), 0);
  EXPECT_EQ(Text(IDC_RECIPE_TEXT), TextOf("Boeuf bourguignon"));
  EXPECT_EQ(MemoCommands(), "read");

  // The memo command opens the memo dialog on the selected recipe; closing it probes again.
  // Read, it is read-only; created, it is ready for typing.
  std::string caption;
  int readOnly = -1;
  auto openMemo = [&](int command) {
    readOnly = -1;
    ModalScript script;
    script.OnDialog({&window_}, [&](HWND memo) {
      caption = S::Text(memo);
      readOnly = (GetWindowLongA(GetDlgItem(memo, IDC_MEMO_TEXT), GWL_STYLE) & ES_READONLY) != 0;
      S::Click(memo, IDCANCEL);
    });
    EXPECT_TRUE(script.Run([&] { Command(command); }, kWatchdogMs)) << command;
    Pump();
  };
  openMemo(IDM_READ_MEMO);
  EXPECT_EQ(caption, "M\xE9mo de la recette Boeuf bourguignon");
  EXPECT_EQ(readOnly, 1);
  EXPECT_EQ(MemoCommands(), "read");
  ClickRecipe("Omelette");
  openMemo(IDM_NEW_MEMO);
  EXPECT_EQ(readOnly, 0);

  // A memo that appears in the store shows at the next selection.
  ASSERT_EQ(WriteMemo(MemoStoreName, 106, "Trois oeufs", 0), 0);
  ClickRecipe("Omelette");
  EXPECT_EQ(MemoCommands(), "read");
}

TEST_F(MainWindow, SearchSelectsTheFirstTitleIgnoringAccentsAndCaseAndBeepsOnNoMatch) {
  OpenSample();
  Command(IDM_RECIPES_TAB);
  // Accents and the ligature fold as the list's order folds them; a shorter text keeps the
  // line it still matches.
  const struct {
    const char* typed;
    int line;
  } kTyped[] = {{"TARTE AUX", 5}, {"tarte a", 4}, {"soupe a l'o", 3},
                {"B\x9C" "u", 0},    {"GATEAU", 1},  {"g\xE2", 1}};
  for (const auto& t : kTyped) {
    Search(t.typed);
    EXPECT_EQ(ListSel(), t.line) << t.typed;
    EXPECT_EQ(Text(IDC_RECIPE_TEXT), TextOf(kAllTitles[t.line].c_str())) << t.typed;
    EXPECT_EQ(MemoCommands(), "new") << t.typed;
  }
  EXPECT_TRUE(g_beeps.empty());

  Search("g\xE2z");
  EXPECT_EQ(g_beeps, std::vector<UINT>{MB_ICONASTERISK});
  EXPECT_EQ(ListSel(), 1);
  EXPECT_EQ(Text(IDC_RECIPE_TEXT), TextOf("G\xE2teau basque"));

  // Emptying the field changes nothing and does not beep.
  Search("");
  EXPECT_EQ(g_beeps.size(), 1u);
  EXPECT_EQ(ListSel(), 1);
}

TEST_F(MainWindow, ComingBackToTheSameCategoryKeepsTheReadersPlace) {
  // Enough recipes for the list to scroll.
  std::vector<std::string> titles;
  for (int i = 0; i < 300; ++i) titles.push_back("Recette " + std::to_string(1000 + i));
  std::vector<Recipe> recipes;
  for (int i = 0; i < 300; ++i) recipes.push_back({static_cast<uint32_t>(i + 1), titles[i].c_str(), "/Plats"});
  WriteCatalogue(recipes);
  Open();
  ClickTab(0);
  HWND list = Item(IDC_RECIPE_LIST);
  ClickRecipe("Recette 1250");
  SendMessageA(list, LB_SETTOPINDEX, 240, 0);
  const LRESULT top = SendMessageA(list, LB_GETTOPINDEX, 0, 0);
  ASSERT_GT(top, 200);

  ClickTab(1);
  EXPECT_EQ(Text(IDC_RECIPE_TEXT), Str(IDS_CATEGORY_HELP));
  ClickTab(0);
  EXPECT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 300);
  EXPECT_EQ(ListSel(), 250);
  EXPECT_EQ(SendMessageA(list, LB_GETTOPINDEX, 0, 0), top);
  EXPECT_EQ(Text(IDC_RECIPE_TEXT), TextOf("Recette 1250"));
  EXPECT_TRUE(Enabled(IDM_NEW_MEMO));

  // The same through the toolbar's tab commands.
  Command(IDM_CATEGORIES_TAB);
  Command(IDM_RECIPES_TAB);
  EXPECT_EQ(ListSel(), 250);
  EXPECT_EQ(SendMessageA(list, LB_GETTOPINDEX, 0, 0), top);
  EXPECT_EQ(Text(IDC_RECIPE_TEXT), TextOf("Recette 1250"));
}

TEST_F(MainWindow, SearchInAListInAnotherOrderFindsTheFirstLineFromTheTop) {
  OpenSample();
  ClickTab(0);
  // Another command may fill the list in an order of its own: here, the titles backwards.
  HWND list = Item(IDC_RECIPE_LIST);
  EmptyRecipeList(list, RecipeCount());
  for (uint32_t i = RecipeCount(); i-- > 0;) AppendRecipe(list, &RecipeEntries()[i]);
  ASSERT_EQ(Listed(), std::vector<std::string>(kAllTitles.rbegin(), kAllTitles.rend()));
  Search("TARTE");
  EXPECT_EQ(ListSel(), 0);  // "Tarte aux pommes", first from the top
  Search("gateau");
  EXPECT_EQ(ListSel(), 4);
  EXPECT_EQ(Text(IDC_RECIPE_TEXT), TextOf("G\xE2teau basque"));
  EXPECT_TRUE(g_beeps.empty());
  Search("gateaux");
  EXPECT_EQ(g_beeps, std::vector<UINT>{MB_ICONASTERISK});
}

TEST_F(MainWindow, ARecipeAlreadyShownIsNotSetAgain) {
  OpenSample();
  Command(IDM_RECIPES_TAB);
  Search("om");
  ASSERT_EQ(Text(IDC_RECIPE_TEXT), TextOf("Omelette"));
  // A mark in the pane tells whether the next keystrokes set it again.
  SetDlgItemTextA(window_, IDC_RECIPE_TEXT, "marque");
  Search("ome");
  ClickRecipe("Omelette");
  EXPECT_EQ(Text(IDC_RECIPE_TEXT), "marque");
  Search("s");
  EXPECT_EQ(Text(IDC_RECIPE_TEXT), TextOf("Soupe \xE0 l'oignon"));
}

// What the load saw of the window: it reports a skipped comment line from inside the load.
struct SeenAtLoad {
  HWND window = nullptr;
  bool called = false, visible = false, painted = false;
};
void NoteWindowAtLoad(void* context, uint32_t, const char*) {
  SeenAtLoad* seen = static_cast<SeenAtLoad*>(context);
  seen->called = true;
  seen->visible = IsWindowVisible(seen->window) != FALSE;
  // Nothing left to paint in the window or in its controls.
  seen->painted = !GetUpdateRect(seen->window, nullptr, FALSE);
  for (HWND c = GetWindow(seen->window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    if (IsWindowVisible(c) && GetUpdateRect(c, nullptr, FALSE)) seen->painted = false;
}

TEST_F(MainWindow, TheWindowIsShownAndPaintedBeforeTheLoad) {
  WriteCatalogue(Catalogue());
  testfiles::Put("Gourmix.Idx", "# mes recettes\r\n" + testfiles::Slurp("Gourmix.Idx"));
  SeenAtLoad seen;
  SetIndexLineObserver(NoteWindowAtLoad, &seen);
  // Created as the program's modal loop creates it: hidden until that loop shows it.
  window_ = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN), nullptr,
                               MainWindowProc, 0);
  ASSERT_NE(window_, nullptr);
  seen.window = window_;
  PumpUntil([&] { return seen.called; });
  SetIndexLineObserver(nullptr, nullptr);
  ASSERT_TRUE(seen.called);
  EXPECT_TRUE(seen.visible);
  EXPECT_TRUE(seen.painted);
}

TEST_F(MainWindow, ReloadAfterTheEditorEmptiesListsAndReadsTheIndexAgain) {
  OpenSample();
  Command(IDM_RECIPES_TAB);
  ClickRecipe("Omelette");
  ClickTab(1);
  ClickTree({"Plats"});
  ClickTab(2);
  ASSERT_EQ(History().size(), 2u);

  std::vector<Recipe> more = Catalogue();
  more.push_back({107, "Cr\xEApes", "/Desserts"});
  WriteCatalogue(more);
  PostMessageA(window_, WMU_RELOAD, 0, 0);
  ExpectReloaded("7 Recettes");
  EXPECT_EQ(Tab(), 2);

  Command(IDM_RECIPES_TAB);
  EXPECT_EQ(Listed().size(), 7u);
  EXPECT_EQ(Listed()[1], "Cr\xEApes");
  EXPECT_EQ(History(), std::vector<std::string>{"Toutes les recettes"});
}

TEST_F(MainWindow, EditorCommandOpensTheEditorOnItsTabThenReloads) {
  OpenSample();
  Command(IDM_RECIPES_TAB);
  ASSERT_EQ(Listed().size(), 6u);
  SetDlgItemTextA(window_, IDC_TOTAL, "");
  std::string title;
  int tabWhileOpen = -1;
  ModalScript script;
  script.OnDialog({&window_}, [&](HWND editor) {
    title = S::Text(editor);
    tabWhileOpen = Tab();
    PostMessageA(editor, WM_COMMAND, IDC_QUIT, 0);
  });
  EXPECT_TRUE(script.Run([&] { Command(IDM_EDITOR); }, kWatchdogMs));
  EXPECT_EQ(title, Str(IDS_EDITOR_TITLE));
  EXPECT_EQ(tabWhileOpen, 2);
  ExpectReloaded("6 Recettes");
  Command(IDM_RECIPES_TAB);
  EXPECT_EQ(Listed(), kAllTitles);
}

TEST_F(MainWindow, HelpOpensTheProgramsOwnHelpWhenThereIsNoHelpFile) {
  OpenSample();
  std::string caption, text;
  ModalScript script;
  script.OnDialog({&window_}, [&](HWND help) {
    caption = S::Text(help);
    text = S::ItemText(help, IDC_HELP_TEXT);
    S::Key(help, VK_ESCAPE);
  });
  EXPECT_TRUE(script.Run([&] { Command(IDM_HELP); }, kWatchdogMs));
  EXPECT_EQ(caption, "Aide de Saucelins");
  for (UINT id = IDS_HELP_TEXT_FIRST; id <= IDS_HELP_TEXT_LAST; ++id) {
    const std::string part = Str(id);
    ASSERT_FALSE(part.empty()) << id;
    EXPECT_NE(text.find(part), std::string::npos) << id;
  }
  for (const char* topic : {"ONGLETS", "RECHERCHE", "M\xC9MOS", "IMPRESSION", "\xC9" "DITEUR DE CAT\xC9GORIES"})
    EXPECT_NE(text.find(topic), std::string::npos) << topic;
}

TEST_F(MainWindow, TooltipsAreTheStringsNumberedLikeTheCommands) {
  OpenSample();
  std::vector<UINT> commands = {IDM_PREVIEW, IDM_COPY, IDM_SAVE_AS};
  for (UINT cmd = IDM_LARGER; cmd <= IDM_HELP; ++cmd) commands.push_back(cmd);
  for (UINT cmd : commands) {
    NMTTDISPINFOA info = {};
    info.hdr.hwndFrom = reinterpret_cast<HWND>(SendMessageA(Item(IDC_TOOLBAR), TB_GETTOOLTIPS, 0, 0));
    info.hdr.idFrom = cmd;
    info.hdr.code = TTN_NEEDTEXTA;
    SendMessageA(window_, WM_NOTIFY, cmd, reinterpret_cast<LPARAM>(&info));
    ASSERT_NE(info.lpszText, nullptr);
    EXPECT_EQ(std::string(info.lpszText), Str(cmd)) << cmd;
    EXPECT_FALSE(std::string(info.lpszText).empty()) << cmd;
  }
}

TEST_F(MainWindow, LayoutFollowsTheWindowSizeFromTheMinimum) {
  OpenSample();
  RECT outer;
  GetWindowRect(window_, &outer);
  EXPECT_EQ(outer.left, 50);
  EXPECT_EQ(outer.top, 40);
  EXPECT_GE(outer.right - outer.left, 489);
  EXPECT_EQ(outer.bottom - outer.top, 265);
  // The user may still shrink it to the minimum, where every control has its base rectangle.
  SetWindowPos(window_, nullptr, 0, 0, 489, 265, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  Pump();
  GetWindowRect(window_, &outer);
  EXPECT_EQ(outer.right - outer.left, 489);
  for (const LayoutRow& row : LayoutTable) ExpectPlaced(row.id, row.x, row.y, row.width, row.height);
  RECT bar = ClientRect(Item(IDC_TOOLBAR));
  EXPECT_EQ(bar.left, 235);
  EXPECT_EQ(bar.top, 0);

  SetWindowPos(window_, nullptr, 0, 0, 489 + 100, 265 + 50, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  Pump();
  ExpectPlaced(IDC_RECIPE_TEXT, 255, 33, 320, 224);
  ExpectPlaced(IDC_TABS, 5, 5, 240, 249);
  ExpectPlaced(IDC_RECIPE_LIST, 10, 55, 230, 180);
  ExpectPlaced(IDC_TOTAL, 5, 258, 105, 15);
  ExpectPlaced(IDC_SEARCH, 195, 260, 100, 20);
  ExpectPlaced(IDC_EDITOR_OPEN, 25, 210, 67, 35);
  ExpectPlaced(IDC_ABOUT, 460, 260, 55, 24);
  ExpectPlaced(IDC_QUIT, 520, 260, 55, 24);
  bar = ClientRect(Item(IDC_TOOLBAR));
  EXPECT_EQ(bar.left, 255);
  EXPECT_EQ(bar.top, 0);

  SetWindowPos(window_, nullptr, 0, 0, 489 + 7, 265, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  Pump();
  ExpectPlaced(IDC_RECIPE_TEXT, 236, 33, 245, 174);

  MINMAXINFO mm = {};
  mm.ptMaxTrackSize = {1234, 987};
  EXPECT_EQ(SendMessageA(window_, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mm)), 0);
  EXPECT_EQ(mm.ptMinTrackSize.x, 489);
  EXPECT_EQ(mm.ptMinTrackSize.y, 265);
  EXPECT_EQ(mm.ptMaxTrackSize.x, 1234);
  EXPECT_EQ(mm.ptMaxTrackSize.y, 987);
}

TEST_F(MainWindow, EveryToolbarButtonShowsWholeAtTheStartingSize) {
  OpenSample();
  HWND bar = Item(IDC_TOOLBAR);
  RECT client, barRect;
  GetClientRect(window_, &client);
  GetClientRect(bar, &barRect);
  MapWindowPoints(bar, window_, reinterpret_cast<POINT*>(&barRect), 2);
  const int count = static_cast<int>(SendMessageA(bar, TB_BUTTONCOUNT, 0, 0));
  int buttons = 0;
  for (int i = 0; i < count; ++i) {
    TBBUTTON button = {};
    ASSERT_TRUE(SendMessageA(bar, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button)));
    if (button.fsStyle & TBSTYLE_SEP) continue;
    ++buttons;
    RECT r = {};
    ASSERT_TRUE(SendMessageA(bar, TB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&r)));
    MapWindowPoints(bar, window_, reinterpret_cast<POINT*>(&r), 2);
    // Inside the window's client area, and inside the toolbar, which clips its own buttons.
    EXPECT_GE(r.left, client.left) << button.idCommand;
    EXPECT_LE(r.right, client.right) << button.idCommand;
    EXPECT_LE(r.bottom, client.bottom) << button.idCommand;
    EXPECT_GE(r.left, barRect.left) << button.idCommand;
    EXPECT_LE(r.right, barRect.right) << button.idCommand;
    EXPECT_LE(r.bottom, barRect.bottom) << button.idCommand;
  }
  EXPECT_EQ(buttons, 13);
  // No wider than needed: one pixel less and the last button would be cut.
  RECT outer;
  GetWindowRect(window_, &outer);
  SetWindowPos(window_, nullptr, 0, 0, outer.right - outer.left - 1, outer.bottom - outer.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  Pump();
  GetClientRect(window_, &client);
  RECT last = {};
  SendMessageA(bar, TB_GETITEMRECT, count - 1, reinterpret_cast<LPARAM>(&last));
  MapWindowPoints(bar, window_, reinterpret_cast<POINT*>(&last), 2);
  EXPECT_GT(last.right, client.right);
}

LOGFONTA FontOf(HWND control) {
  LOGFONTA lf = {};
  HFONT f = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
  GetObjectA(f, sizeof lf, &lf);
  return lf;
}

int g_fontsMade = 0;
HFONT FailSecondFont(int height) {
  if (++g_fontsMade == 2) return nullptr;
  return CreateFontA(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "MS Sans Serif");
}

TEST_F(MainWindow, TextSizesStopAtBothEndsAndAFailedFontKeepsTheOldOnes) {
  OpenSample();
  HDC dc = GetDC(window_);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(window_, dc);
  auto font = [&](int id) { return SendMessageA(Item(id), WM_GETFONT, 0, 0); };
  const LRESULT dialogFont = font(IDC_QUIT);

  Command(IDM_SMALLER);
  EXPECT_EQ(CurrentFonts().step, 0);
  EXPECT_EQ(font(IDC_RECIPE_TEXT), dialogFont);
  EXPECT_EQ(font(IDC_RECIPE_LIST), dialogFont);

  for (int i = 0; i < 4; ++i) Command(IDM_LARGER);
  EXPECT_EQ(CurrentFonts().step, 4);
  EXPECT_EQ(FontOf(Item(IDC_RECIPE_TEXT)).lfHeight, -MulDiv(18, dpi, 72));
  EXPECT_STREQ(FontOf(Item(IDC_RECIPE_TEXT)).lfFaceName, "MS Sans Serif");
  EXPECT_EQ(FontOf(Item(IDC_RECIPE_TEXT)).lfWeight, 400);
  for (int id : {IDC_TABS, IDC_HISTORY, IDC_RECIPE_LIST, IDC_TREE, IDC_EDITOR_EXPLAIN})
    EXPECT_EQ(FontOf(Item(id)).lfHeight, -MulDiv(12, dpi, 72)) << id;
  for (int id : {IDC_QUIT, IDC_ABOUT, IDC_SEARCH, IDC_TOTAL, IDC_LISTED, IDC_SEARCH_LABEL, IDC_EDITOR_OPEN})
    EXPECT_EQ(font(id), dialogFont) << id;

  const LRESULT big = font(IDC_RECIPE_TEXT);
  Command(IDM_LARGER);
  EXPECT_EQ(CurrentFonts().step, 4);
  EXPECT_EQ(font(IDC_RECIPE_TEXT), big);

  // One font cannot be made: message 41, same step, and the controls still draw with fonts
  // that exist.
  g_fontsMade = 0;
  SetFontFactoryForTests(FailSecondFont);
  SeenBox box;
  ModalScript script;
  script.OnDialog({&window_}, box.Answer());
  EXPECT_TRUE(script.Run([&] { Command(IDM_SMALLER); }, kWatchdogMs));
  EXPECT_EQ(box.text, "Impossible de cr\xE9" "er une nouvelle police");
  EXPECT_EQ(CurrentFonts().step, 4);
  EXPECT_EQ(font(IDC_RECIPE_TEXT), big);
  EXPECT_EQ(FontOf(Item(IDC_RECIPE_TEXT)).lfHeight, -MulDiv(18, dpi, 72)) << "the font was released";
  SetFontFactoryForTests(nullptr);

  for (int i = 0; i < 4; ++i) Command(IDM_SMALLER);
  EXPECT_EQ(CurrentFonts().step, 0);
  EXPECT_NE(font(IDC_RECIPE_TEXT), dialogFont);
  EXPECT_EQ(FontOf(Item(IDC_RECIPE_TEXT)).lfHeight, -MulDiv(8, dpi, 72));
}

// ---- the window as the program runs it: modal, ended only by Quit, close or a failed load

TEST_F(MainWindow, EscapeAndEnterDoNotCloseQuitDoes) {
  WriteCatalogue(Catalogue());
  HWND main = nullptr;
  bool openAfterKeys = false;
  const std::string loaded = Str(IDS_MAIN_TITLE);
  ModalScript script;
  script.Until([&] {
          main = S::TopDialog();
          return main && S::Text(main) == loaded;
        })
      .Do([&] { S::Key(main, VK_ESCAPE); })
      .Do([&] { S::Key(main, VK_RETURN); })
      .Do([&] { PostMessageA(main, WM_COMMAND, IDCANCEL, 0); })
      .Do([&] { PostMessageA(main, WM_COMMAND, IDOK, 0); })
      .Do([&] { openAfterKeys = IsWindow(main) && IsWindowVisible(main); })
      .Do([&] { S::Click(main, IDC_QUIT); });
  INT_PTR result = -1;
  EXPECT_TRUE(
      script.Run([&] { result = RunMainWindow(GetModuleHandleA(nullptr)); }, kWatchdogMs));
  EXPECT_TRUE(openAfterKeys);
  EXPECT_EQ(script.Done(), script.Steps());
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(IsWindow(main));
  EXPECT_EQ(RecipeCount(), 0u) << "closing releases the catalogue";
}

TEST_F(MainWindow, MissingIndexIsReportedThenTheWindowCloses) {
  const SeenBox box = RunExpectingTheEnd(kWatchdogMs);
  EXPECT_EQ(box.caption, "Saucelins");
  EXPECT_EQ(box.text, "Fichier Gourmix.Idx absent du r\xE9pertoire courant");
}

}  // namespace

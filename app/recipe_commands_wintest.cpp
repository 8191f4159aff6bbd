// What the main window does with one recipe besides showing it: preview it, print it (under
// Wine on the prefix's print-to-file printer, the pages recorded as metafiles and read back),
// copy it to the clipboard, save it in a file, from the toolbar or the recipe list's menu.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "app/main_window_wintest.h"
#include "app/recipe_commands_win32.h"
#include "catalogue/small_catalogue_test.h"
#include "platform/file_bytes_test.h"
#include "platform/modal_script_wintest.h"
#include "platform/temp_folder_wintest.h"
#include "print/file_printer_win32.h"
#include "print/metafile_pages_wintest.h"
#include "print/preview_win32.h"
#include "print/print_win32.h"
#include "resources/resource.h"
#include "vlr/memo.h"

namespace {

using testfiles::Recipe;
using testfiles::TextOf;
using wintest::ModalScript;
using wintest::Str;

constexpr DWORD kWatchdogMs = 10000;

const Recipe kRecipes[] = {
    {201, "Omelette", "/Plats"},
    {202, "Tarte aux pommes", "/Desserts"},
    {204, "G\xE2teau \xE0 l'orange: \"express\"", "/Desserts"},
};

// Lines short enough never to wrap, many enough for several pages.
std::string NumberedLines(int count) {
  std::string text;
  for (int i = 1; i <= count; ++i) text += "Ligne " + std::to_string(i) + "\r\n";
  return text;
}

// The text's lines as the page prints them: every line that is not empty.
std::vector<std::string> NonEmptyLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find_first_of("\r\n", at);
    if (end == std::string::npos) end = text.size();
    if (end > at) lines.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return lines;
}

// The body lines, and the drawing records page by page, of pages the printer or the preview got.
std::vector<std::string> BodyOf(const std::vector<UniqueEnhMetaFile>& pages) {
  std::vector<std::string> body;
  for (const UniqueEnhMetaFile& page : pages)
    for (const metafile_pages::Page& p : metafile_pages::Read(page.get()))
      for (const std::string& line : metafile_pages::BodyLines(p)) body.push_back(line);
  return body;
}
std::vector<std::vector<std::string>> RecordsOf(const std::vector<UniqueEnhMetaFile>& pages) {
  std::vector<std::vector<std::string>> records;
  for (const UniqueEnhMetaFile& page : pages) records.push_back(metafile_pages::Records(page.get()));
  return records;
}
const std::vector<UniqueEnhMetaFile>& Previewed() {
  static const std::vector<UniqueEnhMetaFile> none;
  const std::vector<UniqueEnhMetaFile>* pages = PreviewPagesForTesting();
  return pages ? *pages : none;
}

template <class Char>
std::basic_string<Char> Clipboard(UINT format) {
  std::basic_string<Char> text;
  if (!OpenClipboard(nullptr)) return text;
  if (HANDLE h = GetClipboardData(format)) {
    if (const Char* p = static_cast<const Char*>(GlobalLock(h))) text = p;
    GlobalUnlock(h);
  }
  CloseClipboard();
  return text;
}
std::string ClipboardText() { return Clipboard<char>(CF_TEXT); }
void EmptyTheClipboard() {
  if (OpenClipboard(nullptr)) {
    EmptyClipboard();
    CloseClipboard();
  }
}

class RecipeCommands : public MainWindowTest {
 protected:
  static void SetUpTestSuite() {
    const char* step = "";
    ASSERT_EQ(file_printer::EnsureFilePrinter(&step), 0u) << step;
  }
  void SetUp() override {
    ASSERT_TRUE(folder_.Enter());
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    output_ = std::string(dir) + "saucelins-commands-test.ps";
    DeleteFileA(output_.c_str());
    SetPrintOutputForTesting(output_.c_str());
    SetPrintCaptureForTesting(&pages_);
  }
  void TearDown() override {
    Close();
    SetSaveNameForTesting(nullptr);
    SetRecipeWithMemo(false);
    SetPrintCaptureForTesting(nullptr);
    SetPrintOutputForTesting(nullptr);
    DeleteFileA(output_.c_str());
    ReleaseCatalogue();
  }

  // The catalogue of kRecipes, with `longText` as the text of one more recipe, "Sauce longue",
  // and a last one, "Sauce perdue", whose text lies past the end of the base.
  void WriteCatalogueWith(const std::string& longText) {
    std::string index, data;
    auto add = [&](int id, const std::string& title, const std::string& path, size_t start,
                   size_t end) {
      index += std::to_string(id) + "\t" + title + "\t0\t" + std::to_string(start) + "\t" +
               std::to_string(end) + "\t" + path + "\tGourmix.Dat\t0\r\n";
    };
    for (const Recipe& r : kRecipes) {
      const size_t start = data.size();
      data += TextOf(r.title);
      add(r.id, r.title, r.path, start, data.size());
    }
    const size_t start = data.size();
    data += longText;
    add(203, "Sauce longue", "/Sauces", start, data.size());
    add(205, "Sauce perdue", "/Sauces", data.size() + 100, data.size() + 200);
    testfiles::Put("Gourmix.Dat", data);
    testfiles::Put("Gourmix.Idx", index);
  }

  // Opens the catalogue on the recipe list tab with `title` selected.
  void OpenOn(const std::string& title) {
    Open();
    Command(IDM_RECIPES_TAB);
    ClickRecipe(title);
  }

  // Runs `command`, answers the print dialog with OK, and runs `duringJob` right after.
  void PrintWith(int command, std::function<void()> duringJob = nullptr) {
    ModalScript script;
    script.OnDialog({&window_}, [&](HWND dialog) {
      PostMessageA(dialog, WM_COMMAND, IDOK, 0);
      if (duringJob) duringJob();
    });
    EXPECT_TRUE(script.Run([&] { Command(command); }, kWatchdogMs));
    EXPECT_FALSE(PrintJobRunning());
  }

  // Opens the preview, gives it to `first`, then at a later tick to `then`, and closes it.
  void InPreview(std::function<void(HWND)> first, std::function<void(HWND)> then) {
    HWND preview = nullptr;
    ModalScript script;
    script.OnDialog({&window_}, [&](HWND d) {
      preview = d;
      first(d);
    });
    script.Do([&] {
      then(preview);
      PostMessageA(preview, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_TRUE(script.Run([&] { Command(IDM_PREVIEW); }, kWatchdogMs));
    EXPECT_TRUE(script.Finished());
  }

  testfiles::TempFolder folder_{"cmd"};
  std::string output_;
  std::vector<UniqueEnhMetaFile> pages_;
};

TEST_F(RecipeCommands, PrintOnTheCategoryTabPrintsTheSelectedRecipe) {
  WriteCatalogueWith(NumberedLines(3));
  OpenOn("Omelette");
  Command(IDM_CATEGORIES_TAB);
  ASSERT_EQ(wintest::ItemText(window_, IDC_RECIPE_TEXT), Str(IDS_CATEGORY_HELP));
  PrintWith(IDM_PRINT);
  ASSERT_EQ(pages_.size(), 1u);
  EXPECT_EQ(BodyOf(pages_), NonEmptyLines(TextOf("Omelette")));
}

TEST_F(RecipeCommands, QuittingDuringAJobCancelsItFirst) {
  WriteCatalogueWith(NumberedLines(400));
  OpenOn("Sauce longue");
  PrintWith(IDM_PRINT);
  const size_t full = pages_.size();
  ASSERT_GT(full, 3u);
  EXPECT_EQ(BodyOf(pages_), NonEmptyLines(NumberedLines(400)));

  pages_.clear();
  // Quit, as the user's click on the button reaches the window while pages go out.
  PrintWith(IDM_PRINT, [&] { PostMessageA(window_, WM_COMMAND, IDC_QUIT, 0); });
  EXPECT_LT(pages_.size(), full);
  EXPECT_EQ(RecipeCount(), 0u) << "the window did not quit";
}

TEST_F(RecipeCommands, HelpOnPrintingDoesNotPromiseOnePage) {
  const std::string help = Str(IDS_HELP_PRINT);
  EXPECT_EQ(help.find("sur une page"), std::string::npos) << help;
  EXPECT_NE(help.find("autant de pages"), std::string::npos) << help;
}

// A recipe of exactly 16 KiB, in paragraphs of ordinary words.
std::string LongRecipe() {
  const char* words[] = {"Ajouter", "le", "sel,", "le", "poivre", "et", "la", "farine;",
                         "remuer", "doucement", "pendant", "cinq", "minutes", "\xE0", "feu", "vif."};
  std::string text;
  for (unsigned n = 0; text.size() < 16384; ++n)
    text += std::string(words[n % 16]) + (n % 41 == 40 ? "\r\n\r\n" : " ");
  text.resize(16384);
  return text;
}

std::string Letters(const std::string& s) {
  std::string out;
  for (char c : s)
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') out += c;
  return out;
}

TEST_F(RecipeCommands, PreviewShowsThePagesThePrintJobDraws) {
  const std::string text = LongRecipe();
  WriteCatalogueWith(text);
  OpenOn("Sauce longue");
  std::vector<std::vector<std::string>> previewed;
  std::vector<std::string> labels, previewedBody;
  bool previousAtFirst = true, nextAtLast = true;
  HWND preview = nullptr;
  ModalScript script;
  script.OnDialog({&window_}, [&](HWND d) {
    preview = d;
    previewed = RecordsOf(Previewed());
    previewedBody = BodyOf(Previewed());
    labels.push_back(wintest::ItemText(d, IDC_PREVIEW_PAGE));
    previousAtFirst = IsWindowEnabled(GetDlgItem(d, IDC_PREVIEW_PREVIOUS));
    // To the last page: once with Page Down on the page itself, then with the button.
    PostMessageA(GetDlgItem(d, IDC_PREVIEW_VIEW), WM_KEYDOWN, VK_NEXT, 0);
    for (size_t i = 2; i < previewed.size(); ++i) PostMessageA(d, WM_COMMAND, IDC_PREVIEW_NEXT, 0);
  });
  script.Do([&] {
    labels.push_back(wintest::ItemText(preview, IDC_PREVIEW_PAGE));
    nextAtLast = IsWindowEnabled(GetDlgItem(preview, IDC_PREVIEW_NEXT));
    PostMessageA(preview, WM_COMMAND, IDC_PREVIEW_PRINT, 0);
  });
  script.OnDialog({&window_, &preview}, [&](HWND d) { PostMessageA(d, WM_COMMAND, IDOK, 0); });
  EXPECT_TRUE(script.Run([&] { Command(IDM_PREVIEW); }, kWatchdogMs));
  EXPECT_TRUE(script.Finished());

  // Page for page, record for record, what the printer got is what the preview showed.
  ASSERT_GE(previewed.size(), 2u);
  const std::vector<std::vector<std::string>> printed = RecordsOf(pages_);
  ASSERT_EQ(printed.size(), previewed.size());
  for (size_t i = 0; i < printed.size(); ++i)
    EXPECT_TRUE(printed[i] == previewed[i]) << "page " << i + 1;
  const std::string count = std::to_string(previewed.size());
  EXPECT_EQ(labels, (std::vector<std::string>{"Page 1 sur " + count, "Page " + count + " sur " + count}));
  EXPECT_FALSE(previousAtFirst);
  EXPECT_FALSE(nextAtLast);
  // Full pages but the last, every letter of the recipe once, in order.
  std::vector<size_t> perPage;
  for (const UniqueEnhMetaFile& page : pages_)
    perPage.push_back(metafile_pages::Read(page.get())[0].texts.size() - 2);  // title, footer
  for (size_t i = 1; i + 1 < perPage.size(); ++i) EXPECT_EQ(perPage[i], perPage[0]) << i;
  EXPECT_LE(perPage.back(), perPage[0]);
  std::string letters;
  for (const std::string& line : previewedBody) letters += Letters(line);
  EXPECT_EQ(letters, Letters(text));
}

TEST_F(RecipeCommands, OnePagePreviewFitsTheWindowOrShowsTheRealSize) {
  WriteCatalogueWith(NumberedLines(3));
  OpenOn("Omelette");
  std::string label;
  std::vector<std::string> body;
  bool previous = true, next = true;
  int fittedRange = -1, actualRange = -1;
  auto verticalRange = [](HWND preview) {
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE;
    if (!GetScrollInfo(GetDlgItem(preview, IDC_PREVIEW_VIEW), SB_VERT, &si)) return 0;
    return std::max(0, si.nMax + 1 - static_cast<int>(si.nPage));
  };
  InPreview(
      [&](HWND d) {
        label = wintest::ItemText(d, IDC_PREVIEW_PAGE);
        body = BodyOf(Previewed());
        previous = IsWindowEnabled(GetDlgItem(d, IDC_PREVIEW_PREVIOUS));
        next = IsWindowEnabled(GetDlgItem(d, IDC_PREVIEW_NEXT));
        fittedRange = verticalRange(d);
        wintest::Click(d, IDC_PREVIEW_ACTUAL);
      },
      [&](HWND d) { actualRange = verticalRange(d); });
  EXPECT_EQ(label, "Page 1 sur 1");
  EXPECT_EQ(body, NonEmptyLines(TextOf("Omelette")));
  EXPECT_FALSE(previous);
  EXPECT_FALSE(next);
  // Fitted, the page needs no scrolling; at its real size, an A4 page is taller than the window.
  EXPECT_EQ(fittedRange, 0);
  EXPECT_GT(actualRange, 0);
  EXPECT_TRUE(pages_.empty());
}

TEST_F(RecipeCommands, MemoGoesWithTheRecipeWhenAsked) {
  WriteCatalogueWith(NumberedLines(3));
  ASSERT_EQ(WriteMemo(MemoStoreName, 201, "Sans beurre.\r\nServir chaud.", 0), 0);
  OpenOn("Omelette");
  std::vector<std::string> without, with;
  bool memoEnabled = false;
  InPreview(
      [&](HWND d) {
        without = BodyOf(Previewed());
        memoEnabled = IsWindowEnabled(GetDlgItem(d, IDC_PREVIEW_MEMO));
        wintest::Click(d, IDC_PREVIEW_MEMO);
      },
      [&](HWND) { with = BodyOf(Previewed()); });
  const std::vector<std::string> recipe = NonEmptyLines(TextOf("Omelette"));
  std::vector<std::string> expected = recipe;
  for (const char* line : {"M\xE9mo :", "Sans beurre.", "Servir chaud."}) expected.push_back(line);
  EXPECT_TRUE(memoEnabled);
  EXPECT_EQ(without, recipe);
  EXPECT_EQ(with, expected);

  // The choice made in the preview holds for printing, copying and saving.
  EXPECT_TRUE(RecipeWithMemo());
  PrintWith(IDM_PRINT);
  EXPECT_EQ(BodyOf(pages_), expected);
  Command(IDM_COPY);
  EXPECT_EQ(ClipboardText(), TextOf("Omelette") + "\r\nM\xE9mo :\r\nSans beurre.\r\nServir chaud.");
  SetRecipeWithMemo(false);
  Command(IDM_COPY);
  EXPECT_EQ(ClipboardText(), TextOf("Omelette"));
}

TEST_F(RecipeCommands, CopyPutsTextAndUnicodeTextOnTheClipboard) {
  WriteCatalogueWith("Sauce\nsur deux lignes\n");
  OpenOn("G\xE2teau \xE0 l'orange: \"express\"");
  EmptyTheClipboard();
  Command(IDM_COPY);
  EXPECT_EQ(ClipboardText(), TextOf("G\xE2teau \xE0 l'orange: \"express\""));
  EXPECT_EQ(Clipboard<wchar_t>(CF_UNICODETEXT),
            L"G\u00E2teau \u00E0 l'orange: \"express\"\r\n\r\nIngr\u00E9" L"dients : ...\r\n");
  // Line ends as a mail program wants them, whatever the base holds.
  ClickRecipe("Sauce longue");
  Command(IDM_COPY);
  EXPECT_EQ(ClipboardText(), "Sauce\r\nsur deux lignes\r\n");
  // A recipe that cannot be read copies what the pane shows in its place.
  ClickRecipe("Sauce perdue");
  const std::string shown = wintest::ItemText(window_, IDC_RECIPE_TEXT);
  ASSERT_NE(shown.find("Sauce perdue"), std::string::npos) << shown;
  Command(IDM_COPY);
  EXPECT_EQ(ClipboardText(), shown);
}

TEST_F(RecipeCommands, SaveAsWritesWindows1252WithCrLfOrSaysItFailed) {
  WriteCatalogueWith("Sauce\nsur deux lignes\n");
  ASSERT_EQ(WriteMemo(MemoStoreName, 203, "Bien \xE9paisse.", 0), 0);
  OpenOn("Sauce longue");
  const std::string path = folder_.Path() + "\\sauce.txt";
  SetSaveNameForTesting(path.c_str());
  SetRecipeWithMemo(true);
  Command(IDM_SAVE_AS);
  EXPECT_EQ(testfiles::Slurp(path), "Sauce\r\nsur deux lignes\r\n\r\nM\xE9mo :\r\nBien \xE9paisse.");

  // Into a folder that does not exist: a message, and no file at all.
  const std::string nowhere = folder_.Path() + "\\absent\\sauce.txt";
  SetSaveNameForTesting(nowhere.c_str());
  wintest::SeenBox box;
  ModalScript script;
  script.OnDialog({&window_}, box.Answer());
  EXPECT_TRUE(script.Run([&] { Command(IDM_SAVE_AS); }, kWatchdogMs));
  EXPECT_EQ(box.caption, "Saucelins");
  EXPECT_NE(box.text.find("n'a pas pu \xEAtre enregistr\xE9"), std::string::npos) << box.text;
  EXPECT_NE(box.text.find(nowhere), std::string::npos) << box.text;
  EXPECT_EQ(testfiles::FilesIn(folder_.Path()),
            (std::set<std::string>{"Gourmix.Dat", "Gourmix.Idx", "Gourmix.mem", "Gourmix.mem.lck",
                                   "sauce.txt"}));
}

TEST_F(RecipeCommands, SaveDialogProposesTheTitleAsAFileName) {
  WriteCatalogueWith("x");
  OpenOn("G\xE2teau \xE0 l'orange: \"express\"");
  std::string proposed;
  ModalScript script;
  script.OnDialog({&window_}, [&](HWND d) {
    // The name field: an edit box, or the combo box of the newer dialogs.
    for (int id : {0x47c, 0x480}) {
      if (HWND field = GetDlgItem(d, id)) {
        proposed = wintest::Text(field);
        if (!proposed.empty()) break;
      }
    }
    PostMessageA(d, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_TRUE(script.Run([&] { Command(IDM_SAVE_AS); }, kWatchdogMs));
  EXPECT_EQ(proposed, "G\xE2teau \xE0 l'orange_ _express_.txt");
  // The dialog leaves the working folder, where the catalogue is, as it was.
  EXPECT_EQ(testfiles::FilesHere().count("Gourmix.Idx"), 1u);
}

TEST_F(RecipeCommands, ListMenuActsOnTheRecipeClicked) {
  WriteCatalogueWith("Sauce\r\n");
  OpenOn("Omelette");
  HWND list = Item(IDC_RECIPE_LIST);
  // A right click on "Tarte aux pommes" while "Omelette" stays selected.
  const LRESULT line = SendMessageA(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                    reinterpret_cast<LPARAM>("Tarte aux pommes"));
  ASSERT_NE(line, LB_ERR);
  RECT r;
  SendMessageA(list, LB_GETITEMRECT, line, reinterpret_cast<LPARAM>(&r));
  POINT at = {r.left + 5, (r.top + r.bottom) / 2};
  ClientToScreen(list, &at);
  // Right-clicks, reads the menu, then picks its `pick`th item (0 the first; separators do not
  // count) with the keyboard; `answerPrint` says OK to the print dialog the item opens.
  std::vector<UINT> ids;
  std::vector<bool> checked;
  auto pickAfterRightClick = [&](int pick, bool answerPrint = false) {
    ModalScript script;
    script.Until([&] {
      HWND menuWindow = wintest::OpenMenuWindow();
      if (!menuWindow) return false;
      HMENU menu = reinterpret_cast<HMENU>(SendMessageA(menuWindow, MN_GETHMENU, 0, 0));
      ids.clear();
      checked.clear();
      for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        ids.push_back(GetMenuItemID(menu, i));
        checked.push_back((GetMenuState(menu, i, MF_BYPOSITION) & MF_CHECKED) != 0);
      }
      wintest::PickFromMenu(menuWindow, pick);
      return true;
    });
    if (answerPrint) script.OnDialog({&window_}, [](HWND d) { PostMessageA(d, WM_COMMAND, IDOK, 0); });
    EXPECT_TRUE(script.Run(
        [&] {
          SendMessageA(window_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), MAKELPARAM(at.x, at.y));
          Pump();
        },
        kWatchdogMs))
        << pick;
  };

  EmptyTheClipboard();
  pickAfterRightClick(3);  // Copier
  EXPECT_EQ(ids, (std::vector<UINT>{IDM_SHOW_RECIPE, IDM_PREVIEW, IDM_PRINT, IDM_COPY, IDM_SAVE_AS,
                                    IDM_EDIT_MEMO, 0, IDM_WITH_MEMO}));
  EXPECT_EQ(ClipboardText(), TextOf("Tarte aux pommes"));
  EXPECT_EQ(wintest::ItemText(window_, IDC_RECIPE_TEXT), TextOf("Omelette"));
  EXPECT_FALSE(checked.back());

  pickAfterRightClick(2, true);  // Imprimer...
  EXPECT_EQ(BodyOf(pages_), NonEmptyLines(TextOf("Tarte aux pommes")));

  pickAfterRightClick(6);  // Avec le memo (the separator is skipped): the option only
  EXPECT_TRUE(RecipeWithMemo());

  pickAfterRightClick(0);  // Afficher la recette
  EXPECT_TRUE(checked.back());
  EXPECT_EQ(wintest::ItemText(window_, IDC_RECIPE_TEXT), TextOf("Tarte aux pommes"));
  EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), line);
}

TEST_F(RecipeCommands, CommandsSayWhenNoRecipeIsSelected) {
  WriteCatalogueWith("x");
  Open();
  // Widened, the window shows the last button whole.
  SetWindowPos(window_, nullptr, 0, 0, 900, 500, SWP_NOMOVE | SWP_NOZORDER);
  Pump();
  RECT client, last = {};
  GetClientRect(window_, &client);
  ASSERT_TRUE(SendMessageA(Item(IDC_TOOLBAR), TB_GETRECT, IDM_SAVE_AS, reinterpret_cast<LPARAM>(&last)));
  MapWindowPoints(Item(IDC_TOOLBAR), window_, reinterpret_cast<POINT*>(&last), 2);
  EXPECT_LE(last.right, client.right);

  Command(IDM_RECIPES_TAB);
  for (UINT cmd : {IDM_PRINT, IDM_PREVIEW, IDM_COPY, IDM_SAVE_AS}) {
    wintest::SeenBox box;
    ModalScript script;
    script.OnDialog({&window_}, box.Answer());
    EXPECT_TRUE(script.Run([&] { Command(static_cast<int>(cmd)); }, kWatchdogMs));
    EXPECT_EQ(box.caption, "Saucelins") << cmd;
    const bool print = cmd == IDM_PRINT || cmd == IDM_PREVIEW;
    EXPECT_EQ(box.text, Str(print ? IDS_PRINT_NOTHING : IDS_SELECT_FIRST)) << cmd;
  }
}

}  // namespace

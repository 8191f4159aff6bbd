// What the main window does with one recipe besides showing it: print it, under Wine on the
// prefix's print-to-file printer, with the pages recorded as metafiles and read back.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/main_window_wintest.h"
#include "catalogue/small_catalogue_test.h"
#include "platform/file_bytes_test.h"
#include "platform/modal_script_wintest.h"
#include "platform/temp_folder_wintest.h"
#include "print/file_printer_win32.h"
#include "print/metafile_pages_wintest.h"
#include "print/print_win32.h"
#include "resources/resource.h"

namespace {

using testfiles::Recipe;
using testfiles::TextOf;
using wintest::ModalScript;
using wintest::Str;

constexpr DWORD kWatchdogMs = 10000;

const Recipe kRecipes[] = {
    {201, "Omelette", "/Plats"},
    {202, "Tarte aux pommes", "/Desserts"},
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
    SetPrintCaptureForTesting(nullptr);
    SetPrintOutputForTesting(nullptr);
    DeleteFileA(output_.c_str());
    ReleaseCatalogue();
  }

  // The catalogue of kRecipes, with `longText` as the text of one more recipe, "Sauce longue".
  void WriteCatalogueWith(const std::string& longText) {
    std::string index, data;
    for (const Recipe& r : kRecipes) {
      const size_t start = data.size();
      data += TextOf(r.title);
      index += std::to_string(r.id) + "\t" + r.title + "\t0\t" + std::to_string(start) + "\t" +
               std::to_string(data.size()) + "\t" + r.path + "\tGourmix.Dat\t0\r\n";
    }
    const size_t start = data.size();
    data += longText;
    index += "203\tSauce longue\t0\t" + std::to_string(start) + "\t" +
             std::to_string(data.size()) + "\t/Sauces\tGourmix.Dat\t0\r\n";
    testfiles::Put("Gourmix.Dat", data);
    testfiles::Put("Gourmix.Idx", index);
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

  std::vector<std::string> PrintedBody() {
    std::vector<std::string> body;
    for (const UniqueEnhMetaFile& page : pages_)
      for (const metafile_pages::Page& p : metafile_pages::Read(page.get()))
        for (const std::string& line : metafile_pages::BodyLines(p)) body.push_back(line);
    return body;
  }

  testfiles::TempFolder folder_{"cmd"};
  std::string output_;
  std::vector<UniqueEnhMetaFile> pages_;
};

TEST_F(RecipeCommands, PrintOnTheCategoryTabPrintsTheSelectedRecipe) {
  WriteCatalogueWith(NumberedLines(3));
  Open();
  Command(IDM_RECIPES_TAB);
  ClickRecipe("Omelette");
  Command(IDM_CATEGORIES_TAB);
  ASSERT_EQ(wintest::ItemText(window_, IDC_RECIPE_TEXT), Str(IDS_CATEGORY_HELP));
  PrintWith(IDM_PRINT);
  ASSERT_EQ(pages_.size(), 1u);
  EXPECT_EQ(PrintedBody(), NonEmptyLines(TextOf("Omelette")));
}

TEST_F(RecipeCommands, QuittingDuringAJobCancelsItFirst) {
  WriteCatalogueWith(NumberedLines(400));
  Open();
  Command(IDM_RECIPES_TAB);
  ClickRecipe("Sauce longue");
  PrintWith(IDM_PRINT);
  const size_t full = pages_.size();
  ASSERT_GT(full, 3u);
  EXPECT_EQ(PrintedBody(), NonEmptyLines(NumberedLines(400)));

  pages_.clear();
  // Quit, as the user's click on the button reaches the window while pages go out.
  PrintWith(IDM_PRINT, [&] { PostMessageA(window_, WM_COMMAND, IDC_QUIT, 0); });
  EXPECT_LT(pages_.size(), full);
  EXPECT_EQ(RecipeCount(), 0u) << "the window did not quit";
}

TEST_F(RecipeCommands, HelpOnPrintingDoesNotPromiseOnePage) {
  const std::string help = Str(IDS_HELP_PRINT);
  ASSERT_FALSE(help.empty());
  EXPECT_EQ(help.find("sur une page"), std::string::npos) << help;
  EXPECT_NE(help.find("autant de pages"), std::string::npos) << help;
}

}  // namespace

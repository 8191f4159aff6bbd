// The about box and the zoom dialog under Wine, run modally and driven through their own
// message loops.
#include <windows.h>

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <functional>
#include <string>

#include "app/about_win32.h"
#include "app/zoom_win32.h"
#include "catalogue/catalogue.h"
#include "platform/modal_script_wintest.h"
#include "platform/temp_folder_wintest.h"
#include "resources/resource.h"
#include "saucelins_version.h"

namespace {

namespace S = wintest;
using wintest::ModalScript;

// "Jan 30 1998 \xE0 14:40:55": the month and day as the compiler writes them (a day below 10
// has a space before it), the word, then the time.
bool IsBuildDate(const std::string& s) {
  static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const std::string form = "Mmm dD YYYY \xE0 hh:mm:ss";
  if (s.size() != form.size()) return false;
  bool month = false;
  for (const char* m : months) month = month || s.compare(0, 3, m) == 0;
  if (!month) return false;
  for (size_t i = 3; i < form.size(); ++i) {
    const char f = form[i];
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (f == 'D' || f == 'Y' || f == 'h' || f == 'm' || f == 's') {
      if (!std::isdigit(c)) return false;
    } else if (f == 'd') {
      if (c != ' ' && (c < '1' || c > '3')) return false;
    } else if (s[i] != f) {
      return false;
    }
  }
  return true;
}

TEST(AboutBoxWin, ShowsCreditsVersionBuildDateAndNotices) {
  std::string caption, program, version, recipes, build, notice, terms;
  bool stillOpen = false;
  ModalScript script;
  script
      .Then([&] {
        HWND d = S::TopDialog();
        ASSERT_NE(d, nullptr);
        caption = S::Text(d);
        program = S::ItemText(d, IDC_ABOUT_PROGRAM);
        version = S::ItemText(d, IDC_ABOUT_VERSION);
        recipes = S::ItemText(d, IDC_ABOUT_RECIPES);
        build = S::ItemText(d, IDC_ABOUT_BUILD);
        notice = S::ItemText(d, IDC_ABOUT_NOTICE);
        terms = S::ItemText(d, IDC_ABOUT_TERMS);
        // Commands other than a plain OK or Cancel leave the box open.
        SendMessageA(d, WM_COMMAND, MAKEWPARAM(IDOK, 1), 0);
        SendMessageA(d, WM_COMMAND, MAKEWPARAM(IDC_ABOUT_NOTICE, EN_SETFOCUS),
                     reinterpret_cast<LPARAM>(GetDlgItem(d, IDC_ABOUT_NOTICE)));
      })
      .Then([&] {
        HWND d = S::TopDialog();
        stillOpen = d != nullptr;
        if (d) S::Click(d, IDOK);
      });
  EXPECT_TRUE(script.Run([] { RunAboutBox(nullptr); }));
  EXPECT_EQ(script.Done(), 2u);
  EXPECT_TRUE(stillOpen);

  EXPECT_EQ(caption, "A Propos de Saucelins et des recettes");
  EXPECT_EQ(program, "Programme Saucelins par T.Brenner");
  EXPECT_EQ(version, "Version " SAUCELINS_VERSION);
  EXPECT_EQ(recipes, "Recettes de Armand FERRUS");
  const std::string label = "Date de Cr\xE9" "ation: ";
  ASSERT_EQ(build.compare(0, label.size(), label), 0) << build;
  EXPECT_TRUE(IsBuildDate(build.substr(label.size()))) << build;
  EXPECT_EQ(build.substr(label.size()), BuildDateText());
  // The two notices are whole paragraphs, shown as the string table holds them.
  char expected[1024];
  LoadStringA(GetModuleHandleA(nullptr), IDS_ABOUT_NOTICE, expected, sizeof expected);
  EXPECT_EQ(notice, expected);
  EXPECT_GT(notice.size(), 100u);
  EXPECT_NE(notice.find("Saucelins"), std::string::npos);
  LoadStringA(GetModuleHandleA(nullptr), IDS_ABOUT_TERMS, expected, sizeof expected);
  EXPECT_EQ(terms, expected);
  EXPECT_GT(terms.size(), 100u);
}

struct Way {
  const char* name;
  std::function<void(HWND)> close;
};

const Way kWays[] = {
    {"OK button", [](HWND d) { S::Click(d, IDOK); }},
    {"Enter", [](HWND d) { S::Key(d, VK_RETURN); }},
    {"Escape", [](HWND d) { S::Key(d, VK_ESCAPE); }},
    {"close box", [](HWND d) { PostMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    {"WM_CLOSE", [](HWND d) { PostMessageA(d, WM_CLOSE, 0, 0); }},
};

void ExpectEveryWayCloses(const std::function<void()>& open) {
  for (const Way& way : kWays) {
    SCOPED_TRACE(way.name);
    ModalScript script;
    script
        .Then([&] {
          HWND d = S::TopDialog();
          ASSERT_NE(d, nullptr);
          way.close(d);
        })
        .Then([] { ADD_FAILURE() << "still open"; });
    EXPECT_TRUE(script.Run(open));
    EXPECT_EQ(script.Done(), 1u);
  }
}

TEST(AboutBoxWin, EnterEscapeOkAndCloseBoxCloseIt) {
  ExpectEveryWayCloses([] { RunAboutBox(nullptr); });
}

TEST(ZoomDialogWin, EnterEscapeOkAndCloseBoxCloseIt) {
  ExpectEveryWayCloses([] { RunZoomDialog(nullptr, "Une recette"); });
}

class ZoomDialogFiles : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(folder_.Enter()); }

  // The text the zoom shows for `entry`, read from its control while it is open.
  std::string Zoomed(const RecipeEntry& entry, std::string* fetched) {
    const char* text = FetchRecipeText(&entry);
    *fetched = text;
    std::string shown;
    ModalScript script;
    script.Then([&] {
      HWND d = S::TopDialog();
      ASSERT_NE(d, nullptr);
      // The dialog keeps its own copy: the next fetch may overwrite the buffer.
      std::memset(RecipeTextBuffer, 'X', 10);
      shown = S::ItemText(d, IDC_ZOOM_TEXT);
      EXPECT_TRUE(GetWindowLongA(GetDlgItem(d, IDC_ZOOM_TEXT), GWL_STYLE) & ES_READONLY);
      S::Click(d, IDOK);
    });
    EXPECT_TRUE(script.Run([&] { RunZoomDialog(nullptr, text); }));
    return shown;
  }

  testfiles::TempFolder folder_{"szo"};
};

TEST_F(ZoomDialogFiles, ShowsTheRecipeTextWhole) {
  std::string body = "Ingr\xE9" "dients :\r\n- 4 \x9C" "ufs\r\n";
  while (body.size() < 12000) body += "M\xE9langer doucement, puis laisser reposer.\r\n";
  testfiles::Put("Gourmix.Dat", "avant" + body);

  char title[] = "Far breton";
  RecipeEntry entry{};
  entry.title = title;
  entry.recipeId = 1042;
  entry.dataFile = "Gourmix.Dat";
  entry.textStart = 5;
  entry.textEnd = static_cast<uint32_t>(5 + body.size());
  std::string fetched;
  EXPECT_EQ(Zoomed(entry, &fetched), body);
  EXPECT_EQ(fetched, body);
}

TEST_F(ZoomDialogFiles, RecipeWhoseFileIsMissingShowsTheOpenErrorText) {
  char title[] = "Aligot";
  RecipeEntry entry{};
  entry.title = title;
  entry.recipeId = 1036;
  entry.dataFile = "Absent.Dat";
  entry.textStart = 0;
  entry.textEnd = 100;
  std::string fetched;
  const std::string shown = Zoomed(entry, &fetched);
  EXPECT_EQ(shown, fetched);
  EXPECT_EQ(shown.compare(0, 8, "Recette "), 0) << shown;
  EXPECT_NE(shown.find("\r\nErreur \xE0 l'ouverture du fichier Absent.Dat."), std::string::npos)
      << shown;
}

}  // namespace

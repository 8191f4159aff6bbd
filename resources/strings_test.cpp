// The portable copy of the string table must hold the executable's bytes: Windows-1252, the
// resource script's escapes resolved, cut like LoadStringA.
#include "resources/strings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "resources/resource.h"

namespace {

std::string Text(unsigned id, int cap = 4096) {
  char buf[4096];
  int n = LoadText(id, buf, cap);
  EXPECT_EQ(std::strlen(buf), static_cast<size_t>(n));
  return std::string(buf, n);
}

TEST(LoadText, KeepsAccentsAsSingleWindows1252Bytes) {
  EXPECT_EQ("Recettes \351crites par A. FERRUS. Prgm Saucelins Par T. Brenner", Text(IDS_MAIN_TITLE));
  EXPECT_EQ("Cat\351gories", Text(IDS_TAB_CATEGORIES));
  EXPECT_EQ("Erreur sur ouvertrure de la bo\356te de dialogue Impression", Text(IDS_PRINT_BOX));
  EXPECT_EQ("Augmente la taille des caract\350res", Text(IDM_LARGER));
}

TEST(LoadText, ResolvesQuotesAndLineBreaks) {
  std::string explain = Text(IDS_EDITOR_EXPLAIN);
  EXPECT_EQ(0u, explain.find("En cliquant sur le bouton \"Edition des cat\351gories\", vous"));
  EXPECT_NE(std::string::npos, explain.find("fen\352tre.\r\n\r\nDans la liste"));
  EXPECT_NE(std::string::npos, explain.find(" en utilsant le menu pop-up"));
  EXPECT_EQ('.', explain.back());
  // A lone line feed where the table has one.
  EXPECT_EQ("Erreur d'ouverture Gourmix.idx ou Pb m\351moire\n", Text(IDS_INDEX_ERROR));
  EXPECT_EQ(
      "La cat\351gorie que vous avez s\351lectionn\351e va-t-\352tre d\351truite.\r\nLes recettes seront "
      "visibles dans la cat\351gorie parente\r\nSouhaitez-vous continuer ?",
      Text(IDS_CONFIRM_DELETE));
}

TEST(LoadText, CutsToCapacityMinusOne) {
  EXPECT_EQ("Recette", Text(IDS_MAIN_TITLE, 8));
  EXPECT_EQ("Recettes \351", Text(IDS_MAIN_TITLE, 11));
  EXPECT_EQ("", Text(IDS_MAIN_TITLE, 1));
  char untouched[4] = "abc";
  EXPECT_EQ(0, LoadText(IDS_MAIN_TITLE, untouched, 0));
  EXPECT_STREQ("abc", untouched);
  EXPECT_EQ(0, LoadText(IDS_MAIN_TITLE, nullptr, 10));
}

TEST(LoadText, MissingStringsGiveAnEmptyText) {
  for (unsigned id : {0u, 8u, 37u, 51u, 40015u, 40020u, 65535u}) {
    char buf[8] = "old";
    EXPECT_EQ(0, LoadText(id, buf, sizeof buf)) << id;
    EXPECT_STREQ("", buf) << id;
  }
}

}  // namespace

#include "categories/history.h"

#include <gtest/gtest.h>

namespace {

TEST(HistoryText, EqualIgnoringLetterCaseOnly) {
  EXPECT_TRUE(SameTextIgnoringCase("/Desserts/Tartes", "/desserts/TARTES"));
  // Windows-1252 capitals and small letters: E acute, A grave, OE ligature, Y diaeresis.
  EXPECT_TRUE(SameTextIgnoringCase("/Entr\xC9" "es/\xC0 l'\x8C" "uf \x9F", "/entr\xE9" "es/\xE0 l'\x9C" "uf \xFF"));
  EXPECT_TRUE(SameTextIgnoringCase("", ""));

  // Accents are letters of their own, and nothing is skipped or expanded.
  EXPECT_FALSE(SameTextIgnoringCase("/Entrees", "/Entr\xE9" "es"));
  EXPECT_FALSE(SameTextIgnoringCase("/Cr\xE8me-br\xFBl\xE9" "e", "/Cr\xE8mebr\xFBl\xE9" "e"));
  EXPECT_FALSE(SameTextIgnoringCase("/\x9C" "ufs", "/oeufs"));
  // A prefix is not the whole text.
  EXPECT_FALSE(SameTextIgnoringCase("/Desserts", "/Desserts/Tartes"));
  EXPECT_FALSE(SameTextIgnoringCase("/Desserts/Tartes", "/Desserts"));
  // The multiplication and division signs are not a letter pair.
  EXPECT_FALSE(SameTextIgnoringCase("\xD7", "\xF7"));
}

}  // namespace

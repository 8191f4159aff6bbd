#include "print/recipe_export.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/fileio.h"
#include "platform/temp_folder_test.h"

namespace {

using testfiles::FilesHere;
using testfiles::Put;
using testfiles::Slurp;

TEST(RecipeExport, MemoGoesUnderItsHeadingAfterAnEmptyLine) {
  struct Case {
    const char* text;
    std::string memo;
    const char* expected;
  } cases[] = {
      {"Tarte\r\n\r\nCuire.\r\n", "Moins de sucre", "Tarte\r\n\r\nCuire.\r\n\r\nM\xE9mo :\r\nMoins de sucre"},
      // A text without a final line end gets one before the empty line.
      {"Tarte", "Moins de sucre", "Tarte\r\n\r\nM\xE9mo :\r\nMoins de sucre"},
      // The store keeps a memo's NUL; it does not reach the page.
      {"Tarte\r\n", std::string("Sucre\0", 6), "Tarte\r\n\r\nM\xE9mo :\r\nSucre"},
      // No memo, or one of blanks only: the text alone.
      {"Tarte\r\n", "", "Tarte\r\n"},
      {"Tarte\r\n", " \r\n\t", "Tarte\r\n"},
      {"", "Sucre", "M\xE9mo :\r\nSucre"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(WithMemo(c.text, c.memo, "M\xE9mo :"), c.expected) << c.text << "|" << c.memo;
}

TEST(RecipeExport, LineEndsBecomeCrLfAndNulsGo) {
  EXPECT_EQ(ToCrLf("a\r\nb\nc\rd\r\n\r\n"), "a\r\nb\r\nc\r\nd\r\n\r\n");
  EXPECT_EQ(ToCrLf("\n\n"), "\r\n\r\n");
  EXPECT_EQ(ToCrLf("\r\r\n"), "\r\n\r\n");
  EXPECT_EQ(ToCrLf(std::string("a\0b\r", 4)), "ab\r\n");
  EXPECT_EQ(ToCrLf("cr\xE8me"), "cr\xE8me");
}

TEST(RecipeExport, Utf16OfWindows1252) {
  EXPECT_EQ(Cp1252ToUtf16("cr\xE8me br\xFBl\xE9" "e \x80 \x9C\x85"),
            u"cr\u00E8me br\u00FBl\u00E9e \u20AC \u0153\u2026");
  EXPECT_EQ(Cp1252ToUtf16(""), u"");
}

TEST(RecipeExport, FileNameFromTheTitle) {
  struct Case {
    std::string title;
    std::string name;
  } cases[] = {
      {"Tarte aux pommes", "Tarte aux pommes.txt"},
      {"Cr\xE8me br\xFBl\xE9" "e", "Cr\xE8me br\xFBl\xE9" "e.txt"},
      {"Sauce 1/2 sel: \"vite\" <ou> lent? *|\\", "Sauce 1_2 sel_ _vite_ _ou_ lent_ ___.txt"},
      {"Tab\there\r\n", "Tab_here__.txt"},
      {"Fin...  ", "Fin.txt"},
      {"  ", "Recette.txt"},
      {"", "Recette.txt"},
      {"...", "Recette.txt"},
      {"con", "con_.txt"},
      {"LPT1", "LPT1_.txt"},
      {"Nul.part", "Nul.part_.txt"},
      {"Console", "Console.txt"},
      {"COM10", "COM10.txt"},
      {std::string(300, 'a'), std::string(196, 'a') + ".txt"},
  };
  for (const Case& c : cases) EXPECT_EQ(FileNameForTitle(c.title), c.name) << c.title;
}

class SaveReplacing : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.Enter());
    fileio::fault::Disarm();
    fileio::fault::ResetCount();
  }
  void TearDown() override { fileio::fault::Disarm(); }
  testfiles::TempFolder folder_{"save_replacing"};
};

TEST_F(SaveReplacing, WritesNewAndReplacesOldFilesLeavingNothingElse) {
  ASSERT_TRUE(SaveFileReplacing("Tarte.txt", "Tarte\r\n\xE9t\xE9\r\n"));
  EXPECT_EQ(Slurp("Tarte.txt"), "Tarte\r\n\xE9t\xE9\r\n");
  Put("Tarte.txt.0.tmp", "someone else's");
  ASSERT_TRUE(SaveFileReplacing("Tarte.txt", "Nouvelle"));
  EXPECT_EQ(Slurp("Tarte.txt"), "Nouvelle");
  EXPECT_EQ(Slurp("Tarte.txt.0.tmp"), "someone else's");
  EXPECT_EQ(FilesHere(), (std::set<std::string>{"Tarte.txt", "Tarte.txt.0.tmp"}));
  ASSERT_TRUE(SaveFileReplacing("Vide.txt", ""));
  EXPECT_EQ(Slurp("Vide.txt"), "");
}

TEST_F(SaveReplacing, AnyFailedStepLeavesTheOldFileWholeAndNoTemporary) {
  const std::string big(100000, 'x');
  int failures = 0;
  for (long n = 1;; ++n) {
    Put("Tarte.txt", "ancienne");
    fileio::fault::ResetCount();
    fileio::fault::Arm(n);
    const bool saved = SaveFileReplacing("Tarte.txt", big);
    const bool fired = fileio::fault::Fired();
    fileio::fault::Disarm();
    if (!fired) {
      EXPECT_TRUE(saved);
      EXPECT_EQ(Slurp("Tarte.txt"), big);
      break;
    }
    ++failures;
    EXPECT_FALSE(saved) << "operation " << n << " failed, and the save said it was done";
    EXPECT_EQ(Slurp("Tarte.txt"), "ancienne") << "operation " << n;
    EXPECT_EQ(FilesHere(), std::set<std::string>{"Tarte.txt"}) << "operation " << n;
  }
  EXPECT_GE(failures, 4);  // open, write, flush, close, replace
}

TEST_F(SaveReplacing, RefusedFolderIsAFailure) {
  ASSERT_FALSE(SaveFileReplacing("missing-folder/Tarte.txt", "x"));
  EXPECT_TRUE(FilesHere().empty());
}

}  // namespace

#include "categories/label_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// Each list is in the order the platform's comparison gives (seen under Wine; the Wine tests
// compare every character's weights and random labels with the platform itself).
void ExpectAscending(const std::vector<std::string>& labels) {
  for (size_t i = 0; i + 1 < labels.size(); ++i) {
    EXPECT_LT(CompareLabelsAsPlatform(labels[i].c_str(), labels[i + 1].c_str()), 0)
        << labels[i] << " / " << labels[i + 1];
    EXPECT_GT(CompareLabelsAsPlatform(labels[i + 1].c_str(), labels[i].c_str()), 0)
        << labels[i + 1] << " / " << labels[i];
  }
}

class LabelOrderTest : public ::testing::Test {
 protected:
  void TearDown() override { SetLabelCollation(LabelCollation::Default); }
};

TEST_F(LabelOrderTest, LettersFirstThenAccentsThenCaseWithSmallLettersFirst) {
  ExpectAscending({"a", "A", "\xE0", "\xC0", "b"});
  ExpectAscending({"Abricot", "banane", "Banane", "cerise"});
  ExpectAscending({"desserts", "Desserts", "Desserts sucr\xE9s"});
  // Accented capitals sort with their letter, not after "z" as their codes would.
  ExpectAscending({"Dinde", "\xC9" "crevisses", "Entr\xE9" "es", "Figues", "Zestes"});
  ExpectAscending({"Et\xE9", "\xE9t\xE9", "\xC9t\xE9", "Etre"});
}

TEST_F(LabelOrderTest, LigaturesEqualTheirLettersAndHyphensWeighLast) {
  EXPECT_EQ(CompareLabelsAsPlatform("Boeuf", "B\x9C" "uf"), 0);
  EXPECT_EQ(CompareLabelsAsPlatform("OEufs", "\x8C" "ufs"), 0);
  EXPECT_EQ(CompareLabelsAsPlatform("ss", "\xDF"), 0);
  ExpectAscending({"ad", "\xE6", "af"});
  // A hyphen or an apostrophe counts only once the letters are equal, and earlier counts more.
  ExpectAscending({"coop", "co-op", "coop\xE9rative"});
  ExpectAscending({"ab", "ab-", "a-b"});
  ExpectAscending({"a b", "a-b", "ab-c"});
  // The soft hyphen weighs nothing at all.
  EXPECT_EQ(CompareLabelsAsPlatform("p\xE2te", "p\xE2\xADte"), 0);
}

TEST_F(LabelOrderTest, FrenchOrderReadsAccentsFromTheEnd) {
  ExpectAscending({"cote", "cot\xE9", "c\xF4te", "c\xF4t\xE9"});
  SetLabelCollation(LabelCollation::ReverseDiacritics);
  ExpectAscending({"cote", "c\xF4te", "cot\xE9", "c\xF4t\xE9"});
  // Letters and case are weighed as before.
  ExpectAscending({"Abricot", "banane", "Banane", "cerise"});
}

TEST_F(LabelOrderTest, KeysLookLikeThePlatformsSortKeys) {
  uint8_t key[LabelSortKeyCapacity(3)];
  // "A-b": letters a, b; no accents; case upper then lower; the hyphen after one letter.
  const uint8_t want[] = {0x0e, 0x02, 0x0e, 0x09, 1, 1, 0x12, 1, 1, 0xff, 0xfe, 0x82, 0x12};
  ASSERT_EQ(LabelSortKey("A-b", 3, key), sizeof want);
  EXPECT_EQ(std::vector<uint8_t>(key, key + sizeof want),
            std::vector<uint8_t>(want, want + sizeof want));
}

int Sign(int v) { return (v > 0) - (v < 0); }

std::vector<uint8_t> Folded(const std::string& s) {
  std::vector<uint8_t> key(LabelFoldedKeyCapacity(s.size()));
  key.resize(LabelFoldedKey(s.data(), s.size(), key.data()));
  return key;
}

TEST_F(LabelOrderTest, FoldedKeysOrderAsTheFirstLevelOfTheWholeOrder) {
  // Any two characters, each before a common letter: where the folded keys differ, they must
  // say what the whole comparison says.
  for (int c = 1; c < 256; ++c) {
    for (int d = 1; d < 256; ++d) {
      const std::string a = std::string(1, static_cast<char>(c)) + "a";
      const std::string b = std::string(1, static_cast<char>(d)) + "a";
      const std::vector<uint8_t> fa = Folded(a), fb = Folded(b);
      if (fa == fb) continue;
      const int folded = Sign(std::lexicographical_compare(fa.begin(), fa.end(), fb.begin(), fb.end()) ? -1 : 1);
      ASSERT_EQ(folded, Sign(CompareLabelsAsPlatform(a.c_str(), b.c_str()))) << c << " " << d;
    }
  }
  EXPECT_EQ(Folded("\xCEle"), Folded("ile"));
  EXPECT_EQ(Folded("\x8C" "ufs"), Folded("oeufs"));
  EXPECT_EQ(Folded("P\xE2tes-fra\xEE" "ches"), Folded("patesfraiches"));
}

TEST_F(LabelOrderTest, TitlesOrderAlphabeticallyThenByBytes) {
  const std::vector<std::string> ordered = {
      "abc", "Abc", "Boeuf", "B\x9C" "uf", "C\xE9leri r\xE9moulade", "Cr\xEApes", "Ete", "\xC9t\xE9",
      "\xCEle flottante", "Oeufs brouill\xE9s", "\x8C" "ufs en meurette", "Tarte au citron",
      "Tarte Tatin"};
  for (size_t i = 0; i < ordered.size(); ++i) {
    EXPECT_EQ(CompareTitles(ordered[i].c_str(), ordered[i].c_str()), 0);
    for (size_t j = i + 1; j < ordered.size(); ++j) {
      EXPECT_LT(CompareTitles(ordered[i].c_str(), ordered[j].c_str()), 0) << ordered[i] << " / " << ordered[j];
      EXPECT_GT(CompareTitles(ordered[j].c_str(), ordered[i].c_str()), 0) << ordered[j] << " / " << ordered[i];
    }
  }
}

TEST_F(LabelOrderTest, FoldedPrefixFindsTheFirstTitleInListOrder) {
  const std::vector<std::string> list = {
      "Aligot", "C\xE9leri r\xE9moulade", "Cr\xEApes", "Cr\xEApes Suzette", "\xCEle flottante",
      "Oeufs brouill\xE9s", "\x8C" "ufs en meurette", "P\xE2t\xE9 en cro\xFBte", "Tarte au citron",
      "Tarte Tatin"};
  const auto at = [&](long i) { return list[static_cast<size_t>(i)].c_str(); };
  struct Case {
    const char* typed;
    const char* found;  // null: no title begins so
  };
  const Case cases[] = {
      {"\xEEle", "\xCEle flottante"}, {"ile", "\xCEle flottante"}, {"ILE F", "\xCEle flottante"},
      {"\x9C", "Oeufs brouill\xE9s"}, {"oeufs e", "\x8C" "ufs en meurette"}, {"cre", "Cr\xEApes"},
      {"crepes s", "Cr\xEApes Suzette"}, {"c", "C\xE9leri r\xE9moulade"}, {"a", "Aligot"},
      {"pate", "P\xE2t\xE9 en cro\xFBte"}, {"tarte t", "Tarte Tatin"}, {"TARTE", "Tarte au citron"},
      {"x", nullptr}, {"tartes", nullptr}, {"aligots", nullptr}, {"0", nullptr},
  };
  for (const Case& c : cases) {
    const long i = FirstWithFoldedPrefix(static_cast<long>(list.size()), at, c.typed);
    if (!c.found) {
      EXPECT_EQ(i, -1) << c.typed;
    } else {
      ASSERT_GE(i, 0) << c.typed;
      EXPECT_EQ(list[static_cast<size_t>(i)], c.found) << c.typed;
    }
  }
  EXPECT_EQ(FirstWithFoldedPrefix(0, at, "a"), -1);
}

}  // namespace

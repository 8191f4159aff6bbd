#include "categories/label_order.h"

#include <gtest/gtest.h>

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

}  // namespace

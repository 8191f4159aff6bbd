// Windows-1252 <-> UTF-8 as saucelins-cli uses it for --utf8.
#include "app/cp1252.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Cp1252Test, EveryByteGoesToUtf8AndBackUnchanged) {
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  const std::string utf8 = Cp1252ToUtf8(all);
  std::string back;
  size_t bad = 99;
  ASSERT_TRUE(AppendCp1252FromUtf8(utf8.data(), utf8.size(), &back, &bad));
  EXPECT_EQ(back, all);
}

TEST(Cp1252Test, TheBytesAbove0x7FAreTheirCharacters) {
  EXPECT_EQ(Cp1252ToUtf8("\x80"), "\xE2\x82\xAC");          // euro sign
  EXPECT_EQ(Cp1252ToUtf8("\x8C\x9C"), "\xC5\x92\xC5\x93");  // OE and oe ligatures
  EXPECT_EQ(Cp1252ToUtf8("\x9F"), "\xC5\xB8");              // Y with diaeresis
  EXPECT_EQ(Cp1252ToUtf8("\x85"), "\xE2\x80\xA6");          // ellipsis
  EXPECT_EQ(Cp1252ToUtf8("\x81\x8D\x8F\x90\x9D"), "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D");
  EXPECT_EQ(Cp1252ToUtf8("\xA0\xE9\xFF"), "\xC2\xA0\xC3\xA9\xC3\xBF");
  EXPECT_EQ(UnicodeToCp1252(0x20AC), 0x80);
  EXPECT_EQ(UnicodeToCp1252(0x0153), 0x9C);
  EXPECT_EQ(UnicodeToCp1252(0x0080), -1);  // a C1 control Windows-1252 puts elsewhere
  EXPECT_EQ(UnicodeToCp1252(0x4E2D), -1);
}

TEST(Cp1252Test, WhatIsNotUtf8OrNotInTheCharacterSetIsRefusedWhereItStands) {
  struct Case {
    std::string text;
    size_t offset;
  } cases[] = {
      {"ab\xC3", 2},              // cut short
      {"a\xC0\xAF", 1},           // overlong "/"
      {"\xED\xA0\x80", 0},        // surrogate
      {"ok \xE4\xB8\xAD", 3},     // CJK: UTF-8, but no Windows-1252 byte
      {"\xC3\xA9\xFF", 2},        // a byte that never starts a sequence
      {"x\xF4\x90\x80\x80", 1},   // above U+10FFFF
      {"\xC3" "A", 0},            // lead byte without its continuation
  };
  for (const Case& c : cases) {
    std::string out;
    size_t bad = 99;
    EXPECT_FALSE(AppendCp1252FromUtf8(c.text.data(), c.text.size(), &out, &bad)) << c.offset;
    EXPECT_EQ(bad, c.offset);
  }
}

TEST(Cp1252Test, TheLimitStopsBeforeWhatLiesBeyondIsLookedAt) {
  const std::string text = "\xC5\x92uf \xE2\x82\xAC\xFF";  // a bad byte at the end
  std::string out;
  size_t bad = 0;
  EXPECT_TRUE(AppendCp1252FromUtf8(text.data(), text.size(), &out, &bad, 5));
  EXPECT_EQ(out, "\x8C" "uf \x80");
  out.clear();
  EXPECT_FALSE(AppendCp1252FromUtf8(text.data(), text.size(), &out, &bad, 6));
  EXPECT_EQ(bad, text.size() - 1);
}

}  // namespace

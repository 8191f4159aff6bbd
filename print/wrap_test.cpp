#include "print/wrap.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

// A fixed-pitch device: every character, TAB included, is `pitch` units wide.
struct FakeDevice {
  int pitch = 10;
  std::vector<std::string> measured;  // every prefix the wrapper asked about
};

int FakeMeasure(const char* text, int count, void* dc) {
  auto* dev = static_cast<FakeDevice*>(dc);
  dev->measured.emplace_back(text, count);
  return count * dev->pitch;
}

// Wraps the whole of `text` the way the page printer does and returns the lines.
std::vector<std::string> WrapAll(const std::string& text, int maxWidth, FakeDevice* dev) {
  std::vector<char> buf(text.begin(), text.end());
  buf.push_back('\0');
  char* const end = buf.data() + text.size();
  std::vector<std::string> lines;
  char* line = buf.data();
  for (size_t calls = 0;; ++calls) {
    EXPECT_LE(calls, text.size() + 1) << "no progress on: " << text;
    if (calls > text.size() + 1) break;
    char* rest = WrapLine(line, FakeMeasure, maxWidth, dev);
    if (rest == nullptr) break;
    EXPECT_GT(rest, line) << "no progress on: " << text;
    EXPECT_LE(rest, end) << "read past the end of: " << text;
    if (rest <= line || rest > end) break;
    lines.emplace_back(line);
    line = rest;
  }
  return lines;
}

std::vector<std::string> WrapAll(const std::string& text, int maxWidth) {
  FakeDevice dev;
  return WrapAll(text, maxWidth, &dev);
}

using Lines = std::vector<std::string>;

TEST(WrapLine, EmptyTextGivesNothing) {
  char empty[] = "";
  FakeDevice dev;
  EXPECT_EQ(WrapLine(empty, FakeMeasure, 100, &dev), nullptr);
  EXPECT_EQ(WrapLine(nullptr, FakeMeasure, 100, &dev), nullptr);
  EXPECT_TRUE(dev.measured.empty());
}

TEST(WrapLine, BreaksBeforeTheWordThatReachesTheWidth) {
  EXPECT_EQ(WrapAll("aaa bbb ccc ddd", 80), (Lines{"aaa bbb", "ccc ddd"}));
  // A line exactly as wide as the maximum is broken too.
  EXPECT_EQ(WrapAll("aaaa bbbb x", 90), (Lines{"aaaa", "bbbb x"}));
  EXPECT_EQ(WrapAll("aaaa bbbb x", 91), (Lines{"aaaa bbbb", "x"}));
  EXPECT_EQ(WrapAll("aaaa bbbb x", 111), (Lines{"aaaa bbbb x"}));
  // Of several blanks before a pushed-down word, all but one stay at the end of the line.
  EXPECT_EQ(WrapAll("aaaa   bbbb c", 70), (Lines{"aaaa  ", "bbbb c"}));
}

TEST(WrapLine, LastWordOfAParagraphOrTheTextIsMeasuredToo) {
  struct Case {
    const char* text;
    int width;
    Lines lines;
  } cases[] = {
      // The paragraph's last word would cross the margin: it goes down, whole.
      {"aaa bbb cccccc\r\nd", 80, {"aaa bbb", "cccccc", "d"}},
      {"aaa bbb cccccc\nd", 80, {"aaa bbb", "cccccc", "d"}},
      {"aaa bbb cccccc\rd", 80, {"aaa bbb", "cccccc", "d"}},
      // The text's last word likewise; exactly as wide as the maximum still breaks.
      {"aaa bbbb", 80, {"aaa", "bbbb"}},
      {"aaa bbbb", 81, {"aaa bbbb"}},
      // Too wide by itself, it keeps a line of its own.
      {"aaa bbbbbbbbbbbbbbbbbbbb", 50, {"aaa", "bbbbbbbbbbbbbbbbbbbb"}},
      {"aaa bbbbbbbbbbbbbbbbbbbb\r\nc", 50, {"aaa", "bbbbbbbbbbbbbbbbbbbb", "c"}},
      // Blanks at the end of a paragraph are not a word: nothing moves.
      {"aaa bb   \r\nc", 70, {"aaa bb   ", "c"}},
  };
  for (const Case& c : cases) EXPECT_EQ(WrapAll(c.text, c.width), c.lines) << c.text;
  FakeDevice dev;
  WrapAll("aaa bbb\r\ncc", 1000, &dev);
  EXPECT_EQ(dev.measured, (Lines{"aaa", "aaa bbb", "cc"}));
}

TEST(WrapLine, KeepsBlanksAndEmptyLines) {
  // Indentation survives, blanks at the end of a line stay in it, CR LF CR LF is an empty line.
  EXPECT_EQ(WrapAll("   Sel, poivre.\r\n\r\n  Servir   \r\nchaud.", 1000),
            (Lines{"   Sel, poivre.", "", "  Servir   ", "chaud."}));
  EXPECT_EQ(WrapAll("\r\n\r\n", 1000), (Lines{"", ""}));
  EXPECT_EQ(WrapAll("    ", 1000), (Lines{"    "}));
  EXPECT_EQ(WrapAll("a\nb\n", 1000), (Lines{"a", "b"}));
}

TEST(WrapLine, TabsAreOrdinaryCharacters) {
  FakeDevice dev;
  // "\tab\tcd" is six characters wide: it reaches 60 and cd goes down.
  EXPECT_EQ(WrapAll("\tab\tcd ef", 60, &dev), (Lines{"\tab", "cd ef"}));
  EXPECT_EQ(dev.measured[0], "\tab");
  EXPECT_EQ(dev.measured[1], "\tab\tcd");
}

TEST(WrapLine, TooWideWordGetsALineOfItsOwn) {
  EXPECT_EQ(WrapAll("abcdefghij klm", 50), (Lines{"abcdefghij", "klm"}));
  EXPECT_EQ(WrapAll("ab abcdefghij cd", 50), (Lines{"ab", "abcdefghij", "cd"}));
  // Two wide words in a row: each alone.
  EXPECT_EQ(WrapAll("abcdefghij klmnopqrst uv", 50), (Lines{"abcdefghij", "klmnopqrst", "uv"}));
  // Blanks after the wide word stay with it, up to the line end or the text end.
  EXPECT_EQ(WrapAll("abcdefghij   \r\nnext", 50), (Lines{"abcdefghij   ", "next"}));
  EXPECT_EQ(WrapAll("abcdefghij  ", 50), (Lines{"abcdefghij  "}));
  EXPECT_EQ(WrapAll("abcdefghij  z", 50), (Lines{"abcdefghij ", "z"}));
  // Indentation before a wide word becomes a line of blanks of its own, as for any word that
  // does not fit after the blanks.
  EXPECT_EQ(WrapAll("  abcdefghij cd", 50), (Lines{" ", "abcdefghij", "cd"}));
  // A device so narrow that no character fits still moves on, one word per line.
  EXPECT_EQ(WrapAll("a b c", 1), (Lines{"a", "b", "c"}));
}

TEST(WrapLine, LoneCarriageReturnEndsALine) {
  EXPECT_EQ(WrapAll("abc\rdef", 1000), (Lines{"abc", "def"}));
  EXPECT_EQ(WrapAll("abc\r\rdef", 1000), (Lines{"abc", "", "def"}));
  // At the end of the text the rest is the terminator itself, never beyond it.
  char text[] = "abc\r";
  FakeDevice dev;
  char* rest = WrapLine(text, FakeMeasure, 1000, &dev);
  EXPECT_EQ(rest, text + 4);
  EXPECT_STREQ(text, "abc");
  EXPECT_EQ(WrapLine(rest, FakeMeasure, 1000, &dev), nullptr);
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Letters that are neither blanks nor line ends, in their order.
std::string Letters(const std::string& s) {
  std::string out;
  for (char c : s)
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') out += c;
  return out;
}

TEST(WrapLine, RandomTextsLoseNoLetterAndRespectTheWidth) {
  std::mt19937 rng(12345);
  const char alphabet[] = "abcdefg      \t\t\r\n";
  for (int round = 0; round < 3000; ++round) {
    std::string text(rng() % 80, 'x');
    for (char& c : text) c = alphabet[rng() % (sizeof alphabet - 1)];
    const int maxWidth = 1 + static_cast<int>(rng() % 200);
    FakeDevice dev;
    Lines lines = WrapAll(text, maxWidth, &dev);
    std::string joined;
    for (const std::string& line : lines) {
      joined += line;
      // Every word of a line ends before the maximum, unless it is the line's first word
      // set alone.
      for (size_t i = 1; i <= line.size(); ++i) {
        if (IsBlank(line[i - 1]) || (i < line.size() && !IsBlank(line[i]))) continue;
        size_t start = i - 1;
        while (start > 0 && !IsBlank(line[start - 1])) --start;
        if (start == 0) continue;
        EXPECT_LT(static_cast<int>(i) * dev.pitch, maxWidth) << "line '" << line << "'";
      }
    }
    ASSERT_EQ(Letters(joined), Letters(text)) << "text '" << text << "' width " << maxWidth;
  }
}

}  // namespace

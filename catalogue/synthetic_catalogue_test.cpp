// The synthetic catalogues are read back here with a parser of their own, so that a fault in
// the generator cannot hide behind the same fault in the check.
#include "catalogue/synthetic_catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/gauge.h"
#include "catalogue/recipe_table.h"
#include "categories/category_tree.h"
#include "platform/temp_folder_test.h"

namespace {

using testfiles::Slurp;
using testfiles::TempFolder;

const size_t kTextCap = 16384;

struct IndexLine {
  std::string raw;  // without CR LF
  std::vector<std::string> fields;
};

bool IsDecimal(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

unsigned long long Number(const std::string& s) { return std::strtoull(s.c_str(), nullptr, 10); }

// Splits the index into lines, each of which must end with CR LF.
std::vector<IndexLine> Lines(const std::string& index) {
  std::vector<IndexLine> lines;
  size_t pos = 0;
  while (pos < index.size()) {
    const size_t lf = index.find('\n', pos);
    EXPECT_NE(lf, std::string::npos) << "last line without a line feed";
    if (lf == std::string::npos) break;
    EXPECT_TRUE(lf > pos && index[lf - 1] == '\r') << "line " << lines.size() + 1 << " lacks CR";
    IndexLine line;
    line.raw = index.substr(pos, lf - 1 - pos);
    size_t from = 0;
    for (;;) {
      const size_t tab = line.raw.find('\t', from);
      line.fields.push_back(line.raw.substr(from, tab == std::string::npos ? tab : tab - from));
      if (tab == std::string::npos) break;
      from = tab + 1;
    }
    lines.push_back(line);
    pos = lf + 1;
  }
  return lines;
}

std::string Generate(const SyntheticOptions& options, std::string* data,
                     SyntheticSummary* summary = nullptr) {
  std::string index;
  EXPECT_EQ(GenerateSyntheticCatalogue(options, &index, data, summary), SyntheticStatus::Ok);
  return index;
}

// Every category a path names, each level included: "/A/B" gives "/A" and "/A/B".
std::set<std::string> CategoriesNamed(const std::vector<IndexLine>& lines) {
  std::set<std::string> all;
  for (const IndexLine& l : lines) {
    const std::string& path = l.fields[5];
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
      all.insert(path.substr(0, slash));
    }
    all.insert(path);
  }
  return all;
}

size_t Depth(const std::string& path) { return std::count(path.begin(), path.end(), '/'); }

// Checks one catalogue the way the program will use it.
void CheckWellFormed(const std::string& index, const std::string& data, uint32_t recipes) {
  const std::vector<IndexLine> lines = Lines(index);
  EXPECT_EQ(lines.size(), recipes);
  std::set<unsigned long long> ids;
  std::vector<std::pair<unsigned long long, unsigned long long>> slices;
  bool accented = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    const IndexLine& l = lines[i];
    SCOPED_TRACE("index line " + std::to_string(i + 1) + ": " + l.raw);
    EXPECT_LE(l.raw.size() + 2, 511u);  // the reader cuts longer lines
    ASSERT_EQ(l.fields.size(), 8u);
    for (const std::string& f : l.fields) {
      EXPECT_FALSE(f.empty());  // an empty column would shift the next ones
      EXPECT_EQ(f.find_first_of("\r\n"), std::string::npos);
      EXPECT_TRUE(f.empty() || (f.front() != ' ' && f.back() != ' '));  // the reader trims them
    }
    EXPECT_TRUE(IsDecimal(l.fields[0]) && IsDecimal(l.fields[3]) && IsDecimal(l.fields[4]));
    EXPECT_EQ(l.fields[2], "0");
    EXPECT_EQ(l.fields[6], "Gourmix.Dat");
    EXPECT_EQ(l.fields[7], "0");
    EXPECT_TRUE(l.fields[1][0] != '!' && l.fields[1][0] != '#');  // would read as a comment
    EXPECT_TRUE(ids.insert(Number(l.fields[0])).second) << "id repeated";

    const unsigned long long start = Number(l.fields[3]);
    const unsigned long long end = Number(l.fields[4]);
    ASSERT_LT(start, end);
    ASSERT_LE(end, data.size());
    EXPECT_LE(end - start, kTextCap);
    slices.push_back({start, end});
    const std::string text = data.substr(start, end - start);
    EXPECT_EQ(text.compare(0, l.fields[1].size() + 4, l.fields[1] + "\r\n\r\n"), 0)
        << "slice does not start with its title line";
    EXPECT_NE(text.find("\r\nIngr\351dients (pour "), std::string::npos);
    EXPECT_NE(text.find("\r\nPr\351paration :\r\n"), std::string::npos);
    EXPECT_LT(text.find("Ingr\351dients"), text.find("Pr\351paration"));
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    for (size_t b = 0; b < text.size(); ++b) {
      const unsigned char c = static_cast<unsigned char>(text[b]);
      if (c == '\r') {
        EXPECT_EQ(text[b + 1], '\n') << "CR alone at " << b;
      }
      if (c == '\n') {
        EXPECT_EQ(text[b - 1], '\r') << "LF alone at " << b;
      }
      EXPECT_TRUE(c >= 0x20 || c == '\r' || c == '\n') << "control byte " << int(c);
      EXPECT_TRUE(c != 0x7F && c != 0x81 && c != 0x8D && c != 0x8F && c != 0x90 && c != 0x9D)
          << "byte " << int(c) << " has no Windows-1252 character";
      if (c >= 0x80) accented = true;
    }
    if (testing::Test::HasFatalFailure()) return;
  }
  EXPECT_TRUE(recipes == 0 || accented);
  if (!ids.empty()) {
    EXPECT_EQ(*ids.begin(), 1u);
    EXPECT_EQ(*ids.rbegin(), recipes);
  }
  // The slices cover the recipe base exactly, without gaps or overlaps.
  std::sort(slices.begin(), slices.end());
  unsigned long long at = 0;
  for (const auto& s : slices) {
    EXPECT_EQ(s.first, at);
    at = s.second;
  }
  EXPECT_EQ(at, data.size());
}

TEST(SyntheticCatalogue, SameSeedGivesTheSameBytesInMemoryAndOnDisk) {
  SyntheticOptions options;
  options.recipes = 3000;
  options.categories = 120;
  options.order = SyntheticOrder::Shuffled;
  options.seed = 42;
  std::string data1, data2;
  SyntheticSummary s1, s2;
  const std::string index1 = Generate(options, &data1, &s1);
  const std::string index2 = Generate(options, &data2, &s2);
  EXPECT_TRUE(index1 == index2);
  EXPECT_TRUE(data1 == data2);
  EXPECT_EQ(s1.indexBytes, index1.size());
  EXPECT_EQ(s1.dataBytes, data1.size());

  TempFolder folder("synthetic");
  ASSERT_FALSE(folder.Path().empty());
  SyntheticSummary written;
  ASSERT_EQ(WriteSyntheticCatalogue(options, folder.Path().c_str(), &written),
            SyntheticStatus::Ok);
  EXPECT_TRUE(Slurp(folder.Path() + "/Gourmix.Idx") == index1);
  EXPECT_TRUE(Slurp(folder.Path() + "/Gourmix.Dat") == data1);
  EXPECT_EQ(written.dataBytes, s1.dataBytes);

  // Large enough to go through the file stream in several blocks.
  options.recipes = 5000;
  options.order = SyntheticOrder::Grouped;
  std::string bigData;
  const std::string bigIndex = Generate(options, &bigData);
  ASSERT_GT(bigData.size(), 2u << 20);
  ASSERT_EQ(WriteSyntheticCatalogue(options, folder.Path().c_str(), nullptr), SyntheticStatus::Ok);
  EXPECT_TRUE(Slurp(folder.Path() + "/Gourmix.Idx") == bigIndex);
  EXPECT_TRUE(Slurp(folder.Path() + "/Gourmix.Dat") == bigData);

  options.recipes = 3000;
  options.order = SyntheticOrder::Shuffled;
  options.seed = 43;
  std::string data3;
  const std::string index3 = Generate(options, &data3);
  EXPECT_FALSE(index3 == index1);
  EXPECT_FALSE(data3 == data1);
}

TEST(SyntheticCatalogue, EveryLineNamesAWholeRecipeSliceInBothOrders) {
  for (SyntheticOrder order : {SyntheticOrder::Grouped, SyntheticOrder::Shuffled}) {
    SCOPED_TRACE(order == SyntheticOrder::Grouped ? "grouped" : "shuffled");
    SyntheticOptions options;
    options.recipes = 2500;
    options.categories = 300;
    options.maxDepth = 8;
    options.order = order;
    std::string data;
    SyntheticSummary summary;
    const std::string index = Generate(options, &data, &summary);
    CheckWellFormed(index, data, options.recipes);
    // A few hundred bytes per recipe, never near the text cap.
    EXPECT_GT(data.size() / options.recipes, 200u);
    EXPECT_LT(data.size() / options.recipes, 1500u);
    EXPECT_LT(summary.longestText, 3000u);
  }
}

TEST(SyntheticCatalogue, CategoriesKeepToTheRequestedCountAndDepth) {
  struct Case {
    uint32_t recipes, categories, depth;
  };
  const Case cases[] = {
      {3000, 1000, 5}, {500, 1, 5}, {200, 7, 1}, {1000, 50, 3},
      {2000, 300, 8},  {100, 3, 8}, {10, 40, 4},  // fewer recipes than categories
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.recipes) + " recipes, " + std::to_string(c.categories) +
                 " categories, depth " + std::to_string(c.depth));
    SyntheticOptions options;
    options.recipes = c.recipes;
    options.categories = c.categories;
    options.maxDepth = c.depth;
    options.seed = c.categories;
    std::string data;
    SyntheticSummary summary;
    const std::string index = Generate(options, &data, &summary);
    const std::vector<IndexLine> lines = Lines(index);
    ASSERT_EQ(lines.size(), c.recipes);
    for (const IndexLine& l : lines) ASSERT_EQ(l.fields.size(), 8u);

    const std::set<std::string> named = CategoriesNamed(lines);
    size_t deepest = 0;
    std::set<std::pair<std::string, std::string>> siblings;  // parent path, label folded
    for (const std::string& path : named) {
      SCOPED_TRACE(path);
      ASSERT_EQ(path[0], '/');
      EXPECT_LE(path.size(), 255u);
      EXPECT_EQ(path.find("//"), std::string::npos);
      EXPECT_NE(path.back(), '/');
      deepest = std::max(deepest, Depth(path));
      const size_t slash = path.rfind('/');
      std::string label = path.substr(slash + 1);
      EXPECT_GE(label.size(), 1u);
      EXPECT_LE(label.size(), 63u);
      // Labels that differ only in case would be a tie in the tree's sorted insert.
      for (char& ch : label) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
      EXPECT_TRUE(siblings.insert({path.substr(0, slash), label}).second) << "twin sibling";
    }
    if (c.recipes >= c.categories) {
      EXPECT_EQ(named.size(), c.categories);
      EXPECT_EQ(deepest, std::min(c.depth, c.categories));
    } else {
      EXPECT_LE(named.size(), c.categories);
      EXPECT_LE(deepest, c.depth);
    }
    EXPECT_EQ(summary.categories, named.size());
    EXPECT_EQ(summary.deepest, deepest);
  }
}

TEST(SyntheticCatalogue, GroupedKeepsCategoriesTogetherShuffledOnlyReordersTheLines) {
  SyntheticOptions options;
  options.recipes = 4000;
  options.categories = 200;
  std::string groupedData, shuffledData;
  const std::string grouped = Generate(options, &groupedData);
  options.order = SyntheticOrder::Shuffled;
  const std::string shuffled = Generate(options, &shuffledData);

  const std::vector<IndexLine> g = Lines(grouped);
  const std::vector<IndexLine> s = Lines(shuffled);
  ASSERT_EQ(g.size(), options.recipes);
  ASSERT_EQ(s.size(), options.recipes);

  // Grouped: each category is one run of lines, and the slices follow the file.
  std::set<std::string> finished;
  for (size_t i = 0; i < g.size(); ++i) {
    if (i > 0 && g[i].fields[5] != g[i - 1].fields[5]) {
      EXPECT_TRUE(finished.insert(g[i - 1].fields[5]).second) << g[i - 1].fields[5] << " split";
    }
    if (i > 0) {
      EXPECT_EQ(g[i].fields[3], g[i - 1].fields[4]);
    }
  }
  EXPECT_EQ(finished.count(g.back().fields[5]), 0u);

  // Shuffled: the same recipe base and the same lines, in another order, with categories
  // mixed (neighbouring lines rarely share a category).
  EXPECT_TRUE(groupedData == shuffledData);
  std::vector<std::string> a, b;
  for (const IndexLine& l : g) a.push_back(l.raw);
  for (const IndexLine& l : s) b.push_back(l.raw);
  EXPECT_NE(a, b);
  size_t sameAsPrevious = 0;
  for (size_t i = 1; i < s.size(); ++i) sameAsPrevious += s[i].fields[5] == s[i - 1].fields[5];
  EXPECT_LT(sameAsPrevious, s.size() / 20);
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  EXPECT_EQ(a, b);
}

TEST(SyntheticCatalogue, FiveHundredRecipesGiveAnIndexPastTheLoadGaugeThreshold) {
  SyntheticOptions options;
  options.recipes = 500;
  std::string data;
  const std::string index = Generate(options, &data);
  EXPECT_GE(index.size(), 50000u);
  CheckWellFormed(index, data, options.recipes);
}

TEST(SyntheticCatalogue, RefusesOptionsItCannotHonour) {
  std::string index = "x", data = "y";
  for (uint32_t depth : {0u, kSyntheticMaxDepth + 1}) {
    SyntheticOptions options;
    options.maxDepth = depth;
    EXPECT_NE(SyntheticOptionsProblem(options), nullptr);
    EXPECT_EQ(GenerateSyntheticCatalogue(options, &index, &data, nullptr),
              SyntheticStatus::BadOptions);
  }
  SyntheticOptions none;
  none.categories = 0;
  EXPECT_NE(SyntheticOptionsProblem(none), nullptr);
  EXPECT_EQ(WriteSyntheticCatalogue(none, "/tmp", nullptr), SyntheticStatus::BadOptions);

  SyntheticOptions small;
  small.recipes = 10;
  EXPECT_EQ(SyntheticOptionsProblem(small), nullptr);
  EXPECT_EQ(WriteSyntheticCatalogue(small, "/nonexistent/folder", nullptr),
            SyntheticStatus::CannotWrite);

  // No recipes: two empty files, which the program reports as an empty catalogue.
  small.recipes = 0;
  SyntheticSummary summary;
  EXPECT_EQ(GenerateSyntheticCatalogue(small, &index, &data, &summary), SyntheticStatus::Ok);
  EXPECT_TRUE(index.empty());
  EXPECT_TRUE(data.empty());
  EXPECT_EQ(summary.categories, 0u);
}

std::vector<std::string> SortedLines(const std::string& index) {
  std::vector<std::string> lines;
  for (const IndexLine& l : Lines(index)) lines.push_back(l.raw);
  std::sort(lines.begin(), lines.end());
  return lines;
}

// The program's own loader and writer on generated files: every line becomes an entry, every
// category a node, every slice a whole text, and a save writes the same lines back.
TEST(SyntheticCatalogue, TheProgramLoadsItAndSavesTheSameLines) {
  for (SyntheticOrder order : {SyntheticOrder::Grouped, SyntheticOrder::Shuffled}) {
    SCOPED_TRACE(order == SyntheticOrder::Grouped ? "grouped" : "shuffled");
    TempFolder folder("synthetic");
    ASSERT_FALSE(folder.Path().empty());
    SyntheticOptions options;
    options.recipes = 3000;
    options.categories = 400;
    options.maxDepth = 7;  // deeper than the loader's path cache
    options.order = order;
    SyntheticSummary summary;
    ASSERT_EQ(WriteSyntheticCatalogue(options, folder.Path().c_str(), &summary),
              SyntheticStatus::Ok);
    ASSERT_TRUE(folder.Enter());
    SetGaugeBackend(nullptr);

    CategoryTree tree;
    uint32_t count = 0;
    EXPECT_EQ(LoadCatalogueCore(nullptr, tree, &count), LoadOutcome::Loaded);
    EXPECT_EQ(count, options.recipes);
    EXPECT_EQ(tree.NodeCount(), summary.categories + 1u);  // and the root
    for (uint32_t i = 0; i < RecipeCount(); i += 97) {
      const RecipeEntry& e = RecipeEntries()[i];
      const std::string text = FetchRecipeText(&e);
      EXPECT_EQ(text.size(), e.textEnd - e.textStart) << e.title;
      EXPECT_EQ(text.compare(0, std::strlen(e.title) + 2, std::string(e.title) + "\r\n"), 0);
    }

    const std::string before = Slurp("Gourmix.Idx");
    EXPECT_EQ(SaveIndex(tree, nullptr), 1);
    EXPECT_EQ(SortedLines(Slurp("Gourmix.Idx")), SortedLines(before));
    ReleaseCatalogue();
  }
}

}  // namespace

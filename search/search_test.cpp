#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "catalogue/recipe_table.h"
#include "catalogue/synthetic_catalogue.h"
#include "platform/temp_folder_test.h"
#include "search/query.h"
#include "search/recipe_texts.h"
#include "search/search_index.h"
#include "search/words.h"
#include "vlr/memo.h"

namespace search {
namespace {

using testfiles::Put;
using testfiles::TempFolder;

// ---- words ----

TEST(SearchWords, FoldsEveryAccentedLetterAsTheTableSays) {
  const struct {
    const char* letters;
    const char* folded;
  } kCases[] = {
      {"\xC0\xC1\xC2\xC3\xC4\xC5\xE0\xE1\xE2\xE3\xE4\xE5", "aaaaaaaaaaaa"}, {"\xC6\xE6", "aeae"},
      {"\xC8\xC9\xCA\xCB\xE8\xE9\xEA\xEB", "eeeeeeee"}, {"\xC7\xE7", "cc"}, {"\xD1\xF1", "nn"},
      {"\xCC\xCD\xCE\xCF\xEC\xED\xEE\xEF", "iiiiiiii"}, {"\xDF", "ss"}, {"\x8A\x9A", "ss"},
      {"\xD2\xD3\xD4\xD5\xD6\xD8\xF2\xF3\xF4\xF5\xF6\xF8", "oooooooooooo"}, {"\x8C\x9C", "oeoe"},
      {"\xD9\xDA\xDB\xDC\xF9\xFA\xFB\xFC", "uuuuuuuu"}, {"\xDD\xFD\xFF\x9F", "yyyy"},
      {"\x8E\x9E", "zz"}, {"\xD0\xF0", "dd"}, {"\xDE\xFE", "thth"},
      {"ABCXYZabcxyz0189", "abcxyzabcxyz0189"}};
  for (const auto& c : kCases) {
    EXPECT_EQ(FoldWord(c.letters, std::strlen(c.letters)), c.folded) << c.folded;
    for (const char* p = c.letters; *p; ++p) EXPECT_TRUE(IsWordByte(*p)) << c.folded;
  }
}

TEST(SearchWords, SeparatorsSplitWords) {
  // Apostrophes (straight and curly), hyphens, the degree sign, the multiplication sign,
  // quotes, guillemets and the non-breaking space are not letters. Each word with its raw bytes.
  const std::string text = "L'\x9C" "uf-\xE0-la\x92" "coque n\xB0" "3 2\xD7" "4 \xAB" "cr\xE8me\xBB\xA0" "fra\xEE" "che!";
  std::vector<std::string> words;
  std::string folded;
  ForEachWord(text.data(), text.size(), folded, [&](const std::string& w, size_t s, size_t e) {
    words.push_back(w + "=" + text.substr(s, e - s));
    return true;
  });
  const std::vector<std::string> expected = {
      "l=L", "oeuf=\x9Cuf", "a=\xE0", "la=la", "coque=coque", "n=n", "3=3", "2=2", "4=4",
      "creme=cr\xE8me", "fraiche=fra\xEE\x63he"};
  EXPECT_EQ(words, expected);
}

// ---- queries ----

TEST(SearchQuery, WordsPhrasesAndOddInput) {
  const struct {
    std::string text;
    std::vector<std::vector<std::string>> terms;
  } kCases[] = {
      {"Poireaux  CR\xC8ME", {{"poireaux"}, {"creme"}}},
      {"tarte \"cr\xE8me fra\xEE" "che\" sel", {{"tarte"}, {"sel"}, {"creme", "fraiche"}}},
      {"\"au four", {{"au", "four"}}},           // a quote left open closes at the end
      {"\"four\"", {{"four"}}},                  // a phrase of one word is a word
      {"sel sel SEL \"a b\" \"A B\"", {{"sel"}, {"a", "b"}}},  // given twice, counted once
      {"", {}},
      {" - ' , ; \"\" \"  \" ...", {}},          // separators only
  };
  for (const auto& c : kCases) {
    std::vector<std::vector<std::string>> terms;
    for (const QueryTerm& t : ParseQuery(c.text).terms) terms.push_back(t.words);
    EXPECT_EQ(terms, c.terms) << c.text;
  }
}

TEST(SearchQuery, FirstMatchInAText) {
  const std::string text = "Tarte aux poireaux\r\n\r\nAjoutez la cr\xE8me fra\xEE" "che et les poireaux.";
  const struct {
    const char* query;
    const char* match;  // null: none
  } kCases[] = {{"creme poireau", "poireaux"},
                {"\"la creme fraiche\"", "la cr\xE8me fra\xEE\x63he"},
                {"\"creme poireaux\"", nullptr}};
  for (const auto& c : kCases) {
    size_t start = 0, length = 0;
    const bool found = FindFirstMatch(ParseQuery(c.query), text.data(), text.size(), &start, &length);
    EXPECT_EQ(found ? text.substr(start, length) : "<none>", c.match ? c.match : "<none>") << c.query;
  }
}

// ---- the index, on a small catalogue ----

struct Recipe {
  uint32_t id;
  std::string title;
  std::string text;  // "" for a slice that cannot be read
};
using Ids = std::vector<uint32_t>;
struct FindCase {
  const char* query;
  Ids ids;  // best first
  unsigned scope = kInEverything;
};

// A catalogue in a folder of its own: the entries in the order given (title order, as the table
// holds them) over one recipe base. Every search is run through the index and through the
// scan; both must say the same.
class SearchTest : public ::testing::Test {
 protected:
  void Make(const std::vector<Recipe>& recipes) {
    ASSERT_TRUE(folder_.Enter());
    std::string data;
    for (const Recipe& r : recipes) {
      titles_.push_back(r.title);
      RecipeEntry e{};
      e.recipeId = r.id;
      e.dataFile = "Gourmix.Dat";
      e.textStart = static_cast<uint32_t>(data.size());
      data += r.text;
      e.textEnd = static_cast<uint32_t>(data.size());
      if (r.text.empty()) e.textStart = 1u << 30, e.textEnd = e.textStart + 10;  // past the end
      entries_.push_back(e);
    }
    for (size_t i = 0; i < entries_.size(); ++i) entries_[i].title = &titles_[i][0];
    Put("Gourmix.Dat", data);
    index_.Build(entries_.data(), Count());
  }
  uint32_t Count() const { return static_cast<uint32_t>(entries_.size()); }
  // Recipe numbers found, best first.
  Ids Find(const std::string& query, unsigned scope = kInEverything) {
    const Query q = ParseQuery(query);
    Ids ids, scannedIds;
    for (const Hit& h : index_.Search(q, scope)) ids.push_back(entries_[h.entry].recipeId);
    for (const Hit& h : ScanSearch(entries_.data(), Count(), index_.memos(), q, scope)) {
      scannedIds.push_back(entries_[h.entry].recipeId);
    }
    EXPECT_EQ(ids, scannedIds) << "index and scan differ for " << query;
    return ids;
  }
  void ExpectFinds(const std::vector<FindCase>& cases) {
    for (const FindCase& c : cases) EXPECT_EQ(Find(c.query, c.scope), c.ids) << c.query << " in " << c.scope;
  }
  TempFolder folder_{"saucelins-search"};
  std::vector<std::string> titles_;
  std::vector<RecipeEntry> entries_;
  SearchIndex index_;
};

const unsigned kAll = kInEverything;

// The one-query scan passes over texts lacking a word without folding them; a letter that
// folds to two ends a prefix by its first half, or holds the pair itself. Words match by
// prefix, without case or accents, every term in one recipe.
TEST_F(SearchTest, WordsMatchByFoldedPrefix) {
  Make({{1, "Velout\xE9", "Le velout\xE9 de ma s\x9Cur, \xE0 la STRA\xDF" "E."},
        {2, "Soupe", "Une soupe sans rien."},
        {3, "Gratin de poireaux", "Poireaux, cr\xE8me, gruy\xE8re."},
        {4, "Poir\xE9" "e de lentilles", "Lentilles vertes et un poireau."},
        {5, "Tarte aux pommes", "P\xE2te bris\xE9" "e, pommes, CR\xC8ME FRA\xCE" "CHE."}});
  ExpectFinds({{"so", {2, 1}}, {"soe", {1}}, {"s\x8C", {1}}, {"soeur", {1}}, {"stras", {1}},
               {"strasse", {1}}, {"strasses", {}}, {"sa", {2}}, {"soeur sans", {}},
               {"velout soeur", {1}}, {"rien soupe", {2}}, {"poireau", {3, 4}}, {"POIREAUX", {3}},
               {"creme", {3, 5}}, {"cr\xC9ME fraiche", {5}}, {"pate", {5}}, {"", {}},
               {"poir", {3, 4}},  // both titles; then the shorter text weighs more
               {"reaux", {}},     // the start of a word, not any part of it
               {"poireaux lentilles", {}}});
}

TEST_F(SearchTest, PhrasesMatchConsecutiveWordsWithinOneField) {
  Make({{1, "Sauce au beurre blanc", "Beurre, \xE9" "chalotes, vin blanc."},
        {2, "Sauce blanche", "Du beurre, de la farine, du lait : beurre blanchi."},
        {3, "Sabl\xE9s au beurre", "Beurre. Blanc d'\x9C" "uf pour dorer."},
        {4, "Beurre", "Blanc de poulet."}});
  // 1 by its title; 2 by "beurre blanchi" (prefixes), 3 by "Beurre. Blanc" (words only), the
  // shorter text first; 4 not: a phrase does not run from the title into the text.
  ExpectFinds({{"\"beurre blanc\"", {1, 3, 2}}, {"\"blanc beurre\"", {}}, {"\"d oeuf\"", {3}},
               {"\"beurre blanc\"", {1}, kInTitles}, {"\"beurre blanc\"", {1, 3, 2}, kInTitles | kInTexts}});
}

// The index tells where a phrase stands in a text by its words' places modulo 256: texts of
// more words are read instead, and no phrase runs from a text's end round to its start.
TEST_F(SearchTest, PhrasesInTextsOfAboutTwoHundredAndFiftySixWords) {
  auto words = [](int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += "mot ";
    return s;
  };
  Make({{1, "Un", "blanc " + words(254) + "beurre"},         // 256 words
        {2, "Deux", "beurre " + words(256) + "blanc fin"},  // blanc 257 words after beurre
        {3, "Trois", words(280) + "beurre blanc"}});
  ExpectFinds({{"\"beurre blanc\"", {3}}, {"\"mot beurre\"", {1, 3}}, {"\"blanc mot\"", {1}},
               {"\"beurre mot\"", {2}}, {"\"blanc fin\"", {2}}});
}

TEST_F(SearchTest, ScopesLimitWhereTermsAreLookedFor) {
  Make({{1, "Tarte au citron", "Citrons, sucre, beurre."}, {2, "Cake", "Zeste de citron."},
        {3, "Flan", "Lait, sucre."}});
  index_.memos().Set(3, "Essayer avec du citron vert", 27);
  ExpectFinds({{"citron", {1}, kInTitles}, {"citron", {1, 2}, kInTexts}, {"citron", {3}, kInMemos},
               {"citron", {1, 3}, kInTitles | kInMemos}, {"citron", {1, 2, 3}}, {"citron", {}, 0},
               {"citron vert", {3}},   // both words in the memo
               {"sucre vert", {3}}});  // one in the text, one in the memo
}

TEST_F(SearchTest, RankTitlesFirstThenTextWeightThenTitleOrder) {
  Make({{1, "Agneau", "Navets. Navets, navets et encore des navets."}, {2, "Blanquette", "Un navet."},
        {3, "Canard aux navets", "Canard."}, {4, "Daube", "Un navet."},
        {5, "Entrec\xF4te", "Navet navet."}, {6, "Flan de navets", "Navets."}});
  // Titles first, then by the weight of the texts (BM25: more occurrences weigh more, longer
  // texts less), equal weights in title order.
  ExpectFinds({{"navet", {6, 3, 5, 1, 2, 4}}, {"navet", {5, 6, 1, 2, 4}, kInTexts}, {"navet", {3, 6}, kInTitles}});
}

// An unreadable text leaves the title and the memo; a memo saved replaces its words, outlives
// a rebuild of the recipes (the catalogue reloaded), and comes from the store, a damaged store
// leaving none.
TEST_F(SearchTest, MemosAndUnreadableTexts) {
  Make({{7, "Clafoutis", "Cerises."}, {8, "Far breton", "Pruneaux."},
        {1, "Potage Parmentier", ""}, {2, "Potage aux herbes", "Cerfeuil, oseille."}});
  index_.memos().Set(1, "oseille du jardin", 17);
  EXPECT_EQ(index_.Unreadable(), 1u);
  ExpectFinds({{"potage", {1, 2}},  // titles only, so table order
               {"oseille", {2, 1}}, {"jardin", {}, kInTitles | kInTexts}});
  index_.memos().Set(8, "Avec des raisins secs", 21);
  ExpectFinds({{"raisins", {8}}, {"secs", {8}}});
  index_.memos().Set(8, "Sans raisins, avec de la vanille", 32);
  ExpectFinds({{"raisins", {8}}, {"secs", {}}, {"vanille", {8}}});
  index_.memos().Set(8, "", 0);  // deleted
  EXPECT_EQ(Find("vanille"), (Ids{}));
  index_.memos().Set(7, "Ne pas d\xE9noyauter", 18);
  index_.Build(entries_.data(), Count());
  EXPECT_EQ(Find("denoyauter"), (Ids{7}));

  ASSERT_EQ(WriteMemo(MemoStoreName, 8, "Armagnac", 0), 0);
  ASSERT_EQ(index_.memos().Load(MemoStoreName), kVlrOk);
  EXPECT_EQ(Find("armagnac"), (Ids{8}));
  Put(MemoStoreName, "not a store at all, not even close");
  EXPECT_NE(index_.memos().Load(MemoStoreName), kVlrOk);
  ExpectFinds({{"armagnac", {}}, {"far", {8}}});
  std::remove(MemoStoreName);
  EXPECT_EQ(index_.memos().Load(MemoStoreName), kVlrOk);  // no store: no memos, no error
}

TEST_F(SearchTest, SuggestsCloseWordsWhenNothingIsFound) {
  Make({{1, "Gratin de poireaux", "Poireaux, cr\xE8me."},
        {2, "Tarte aux poires", "Poires, cr\xE8me."},
        {3, "Soupe", "Poivre."}});
  index_.memos().Set(3, "champignons \xC9minc\xE9s", 20);
  // Closest first, then the most used, then alphabetical; spelt in lower case with their
  // accents, from the texts or the memos.
  const struct {
    const char* query;
    unsigned scope;
    std::vector<std::string> words;
  } kCases[] = {{"poiraux", kAll, {"poireaux"}},  // "poires": 3 edits
                {"poirex", kAll, {"poires", "poireaux", "poivre"}}, {"cremmes", kAll, {"cr\xE8me"}},
                {"eminxes", kAll, {"\xE9minc\xE9s"}},
                {"chanpinions", kAll, {}}, {"champinons", kAll, {"champignons"}},  // the first: 3 edits
                {"champinons", kInTexts, {}},  // a memo word
                {"poire", kAll, {}}};          // found: nothing to suggest
  for (const auto& c : kCases) EXPECT_EQ(index_.Suggest(ParseQuery(c.query), c.scope, 5), c.words) << c.query;
}

TEST_F(SearchTest, LongQueriesAndEmptyCatalogues) {
  Make({{1, "Pain perdu", "Pain rassis, lait, \x9C" "ufs, sucre."}});
  std::string query;
  while (query.size() < 10000) query += "pain \"lait oeufs\" ";
  ExpectFinds({{query.c_str(), {1}}, {std::string(10000, 'x').c_str(), {}},
               {std::string(10000, '"').c_str(), {}}});
  SearchIndex empty;
  empty.Build(nullptr, 0);
  EXPECT_TRUE(empty.Search(ParseQuery("pain"), kInEverything).empty());
  EXPECT_TRUE(empty.Suggest(ParseQuery("pain"), kInEverything, 5).empty());
}

// ---- the index and the scan agree on a large made-up catalogue ----

TEST(SearchSynthetic, IndexAndScanGiveTheSameRanking) {
  TempFolder folder("saucelins-search");
  ASSERT_TRUE(folder.Enter());
  SyntheticOptions options;
  options.recipes = 3000, options.categories = 50, options.order = SyntheticOrder::Shuffled;
  ASSERT_EQ(WriteSyntheticCatalogue(options, ".", nullptr), SyntheticStatus::Ok);
  CategoryTree tree;
  ASSERT_EQ(LoadIndex(tree), options.recipes);
  struct Release { ~Release() { ReleaseCatalogue(); } } release;
  SearchIndex index;
  index.Build(RecipeEntries(), RecipeCount());
  EXPECT_EQ(index.Unreadable(), 0u);
  const char* kQueries[] = {"poireaux", "creme", "cr\xE8me fra\xEE\x63he", "\"faites revenir\"",
                            "tarte pommes", "\"au four\" sel", "n", "zzz", "gratin 12"};
  for (const char* q : kQueries) {
    for (unsigned scope = 1; scope <= kInEverything; ++scope) {
      const Query query = ParseQuery(q);
      const std::vector<Hit> a = index.Search(query, scope);
      const std::vector<Hit> b = ScanSearch(RecipeEntries(), RecipeCount(), index.memos(), query, scope);
      ASSERT_EQ(a.size(), b.size()) << q << " in " << scope;
      for (size_t i = 0; i < a.size(); ++i) {
        ASSERT_TRUE(a[i].entry == b[i].entry && a[i].titleTerms == b[i].titleTerms)
            << q << " in " << scope << " at " << i;
        ASSERT_DOUBLE_EQ(a[i].score, b[i].score);
      }
    }
  }
}

}  // namespace
}  // namespace search

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
  struct Case {
    const char* letters;
    const char* folded;
  };
  const Case kCases[] = {
      {"\xC0\xC1\xC2\xC3\xC4\xC5\xE0\xE1\xE2\xE3\xE4\xE5", "aaaaaaaaaaaa"},
      {"\xC6\xE6", "aeae"},
      {"\xC7\xE7", "cc"},
      {"\xC8\xC9\xCA\xCB\xE8\xE9\xEA\xEB", "eeeeeeee"},
      {"\xCC\xCD\xCE\xCF\xEC\xED\xEE\xEF", "iiiiiiii"},
      {"\xD1\xF1", "nn"},
      {"\xD2\xD3\xD4\xD5\xD6\xD8\xF2\xF3\xF4\xF5\xF6\xF8", "oooooooooooo"},
      {"\xD9\xDA\xDB\xDC\xF9\xFA\xFB\xFC", "uuuuuuuu"},
      {"\xDD\xFD\xFF\x9F", "yyyy"},
      {"\x8C\x9C", "oeoe"},
      {"\xDF", "ss"},
      {"\x8A\x9A", "ss"},
      {"\x8E\x9E", "zz"},
      {"\xD0\xF0", "dd"},
      {"\xDE\xFE", "thth"},
      {"ABCXYZabcxyz0189", "abcxyzabcxyz0189"},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(FoldWord(c.letters, std::strlen(c.letters)), c.folded) << c.folded;
    for (const char* p = c.letters; *p; ++p) EXPECT_TRUE(IsWordByte(*p)) << c.folded;
  }
}

TEST(SearchWords, SeparatorsSplitWords) {
  // Apostrophes (straight and curly), hyphens, the degree sign, the multiplication sign,
  // quotes, guillemets and the non-breaking space are not letters.
  const std::string text = "L'\x9C" "uf-\xE0-la\x92" "coque n\xB0" "3 2\xD7" "4 \xAB" "cr\xE8me\xBB\xA0" "fra\xEE" "che!";
  std::vector<std::string> words;
  std::vector<std::string> raw;
  std::string folded;
  ForEachWord(text.data(), text.size(), folded, [&](const std::string& w, size_t s, size_t e) {
    words.push_back(w);
    raw.push_back(text.substr(s, e - s));
    return true;
  });
  const std::vector<std::string> expected = {"l", "oeuf", "a",    "la",     "coque", "n",
                                             "3", "2",    "4",    "creme", "fraiche"};
  EXPECT_EQ(words, expected);
  EXPECT_EQ(raw[1], "\x9C" "uf");
  EXPECT_EQ(raw[9], "cr\xE8me");
}

// ---- queries ----

std::vector<std::vector<std::string>> Terms(const Query& q) {
  std::vector<std::vector<std::string>> out;
  for (const QueryTerm& t : q.terms) out.push_back(t.words);
  return out;
}

TEST(SearchQuery, WordsPhrasesAndOddInput) {
  struct Case {
    std::string text;
    std::vector<std::vector<std::string>> terms;
  };
  const std::vector<Case> kCases = {
      {"Poireaux  CR\xC8ME", {{"poireaux"}, {"creme"}}},
      {"tarte \"cr\xE8me fra\xEE" "che\" sel", {{"tarte"}, {"sel"}, {"creme", "fraiche"}}},
      {"\"au four", {{"au", "four"}}},           // a quote left open closes at the end
      {"\"four\"", {{"four"}}},                  // a phrase of one word is a word
      {"sel sel SEL \"a b\" \"A B\"", {{"sel"}, {"a", "b"}}},  // given twice, counted once
      {"", {}},
      {" - ' , ; \"\" \"  \" ...", {}},          // separators only
  };
  for (const Case& c : kCases) EXPECT_EQ(Terms(ParseQuery(c.text)), c.terms) << c.text;
}

TEST(SearchQuery, FirstMatchInAText) {
  const std::string text = "Tarte aux poireaux\r\n\r\nAjoutez la cr\xE8me fra\xEE" "che et les poireaux.";
  size_t start = 0, length = 0;
  ASSERT_TRUE(FindFirstMatch(ParseQuery("creme poireau"), text.data(), text.size(), &start, &length));
  EXPECT_EQ(text.substr(start, length), "poireaux");
  ASSERT_TRUE(FindFirstMatch(ParseQuery("\"la creme fraiche\""), text.data(), text.size(), &start,
                             &length));
  EXPECT_EQ(text.substr(start, length), "la cr\xE8me fra\xEE" "che");
  EXPECT_FALSE(FindFirstMatch(ParseQuery("\"creme poireaux\""), text.data(), text.size(), &start,
                              &length));
  EXPECT_EQ(CountMatches(ParseQuery("poir").terms[0], text.data(), text.size()), 2u);
}

// ---- the index, on a small catalogue ----

struct Recipe {
  uint32_t id;
  std::string title;
  std::string text;  // "" for a slice that cannot be read
};

// A catalogue in a folder of its own: the entries in the order given (title order, as the table
// holds them) over one recipe base.
class SmallCatalogue {
 public:
  explicit SmallCatalogue(const std::vector<Recipe>& recipes) {
    EXPECT_TRUE(folder_.Enter());
    std::string data;
    titles_.reserve(recipes.size());
    for (const Recipe& r : recipes) {
      titles_.push_back(r.title);
      RecipeEntry e{};
      e.recipeId = r.id;
      e.dataFile = "Gourmix.Dat";
      e.textStart = static_cast<uint32_t>(data.size());
      data += r.text;
      e.textEnd = static_cast<uint32_t>(data.size());
      if (r.text.empty()) {  // past the end of the base: the pane shows the read-error text
        e.textStart = 1u << 30;
        e.textEnd = e.textStart + 10;
      }
      entries_.push_back(e);
    }
    for (size_t i = 0; i < entries_.size(); ++i) entries_[i].title = &titles_[i][0];
    Put("Gourmix.Dat", data);
  }
  const RecipeEntry* Entries() const { return entries_.data(); }
  uint32_t Count() const { return static_cast<uint32_t>(entries_.size()); }

 private:
  TempFolder folder_{"saucelins-search"};
  std::vector<std::string> titles_;
  std::vector<RecipeEntry> entries_;
};

// Every search is run through the index and through the scan; both must say the same.
class SearchTest : public ::testing::Test {
 protected:
  void Make(const std::vector<Recipe>& recipes) {
    catalogue_ = std::make_unique<SmallCatalogue>(recipes);
    index_.Build(catalogue_->Entries(), catalogue_->Count());
  }
  // Recipe numbers found, best first.
  std::vector<uint32_t> Find(const std::string& query, unsigned scope = kInEverything) {
    const Query q = ParseQuery(query);
    const std::vector<Hit> hits = index_.Search(q, scope);
    const std::vector<Hit> scanned =
        ScanSearch(catalogue_->Entries(), catalogue_->Count(), index_.memos(), q, scope);
    std::vector<uint32_t> ids, scannedIds;
    for (const Hit& h : hits) ids.push_back(catalogue_->Entries()[h.entry].recipeId);
    for (const Hit& h : scanned) scannedIds.push_back(catalogue_->Entries()[h.entry].recipeId);
    EXPECT_EQ(ids, scannedIds) << "index and scan differ for " << query;
    return ids;
  }
  std::unique_ptr<SmallCatalogue> catalogue_;
  SearchIndex index_;
};

using Ids = std::vector<uint32_t>;

// The one-query scan passes over texts lacking a word without folding them; a letter that
// folds to two ends a prefix by its first half, or holds the pair itself.
TEST_F(SearchTest, PrefixesEndingInsideATwoLetterFold) {
  Make({{1, "Velout\xE9", "Le velout\xE9 de ma s\x9Cur, \xE0 la STRA\xDF" "E."},
        {2, "Soupe", "Une soupe sans rien."}});
  EXPECT_EQ(Find("so"), (Ids{2, 1}));
  EXPECT_EQ(Find("soe"), (Ids{1}));
  EXPECT_EQ(Find("s\x8C"), (Ids{1}));
  EXPECT_EQ(Find("soeur"), (Ids{1}));
  EXPECT_EQ(Find("stras"), (Ids{1}));
  EXPECT_EQ(Find("strasse"), (Ids{1}));
  EXPECT_EQ(Find("strasses"), (Ids{}));
  EXPECT_EQ(Find("sa"), (Ids{2}));
  EXPECT_EQ(Find("soeur sans"), (Ids{}));
  EXPECT_EQ(Find("velout soeur"), (Ids{1}));
  EXPECT_EQ(Find("rien soupe"), (Ids{2}));
}

TEST_F(SearchTest, WordsMatchByPrefixWithoutCaseOrAccents) {
  Make({{1, "Gratin de poireaux", "Poireaux, cr\xE8me, gruy\xE8re."},
        {2, "Poir\xE9" "e de lentilles", "Lentilles vertes et un poireau."},
        {3, "Tarte aux pommes", "P\xE2te bris\xE9" "e, pommes, CR\xC8ME FRA\xCE" "CHE."}});
  EXPECT_EQ(Find("poireau"), (Ids{1, 2}));
  EXPECT_EQ(Find("POIREAUX"), (Ids{1}));
  EXPECT_EQ(Find("creme"), (Ids{1, 3}));
  EXPECT_EQ(Find("cr\xC9ME fraiche"), (Ids{3}));
  EXPECT_EQ(Find("poir"), (Ids{1, 2}));  // both titles; then the shorter text weighs more
  EXPECT_EQ(Find("pate"), (Ids{3}));
  EXPECT_EQ(Find("reaux"), (Ids{}));     // the start of a word, not any part of it
  EXPECT_EQ(Find("poireaux lentilles"), (Ids{}));  // every term, in one recipe
  EXPECT_EQ(Find(""), (Ids{}));
  EXPECT_EQ(Find("' - ,"), (Ids{}));
}

TEST_F(SearchTest, PhrasesMatchConsecutiveWordsWithinOneField) {
  Make({{1, "Sauce au beurre blanc", "Beurre, \xE9" "chalotes, vin blanc."},
        {2, "Sauce blanche", "Du beurre, de la farine, du lait : beurre blanchi."},
        {3, "Sabl\xE9s au beurre", "Beurre. Blanc d'\x9C" "uf pour dorer."},
        {4, "Beurre", "Blanc de poulet."}});
  // 1 by its title; 2 by "beurre blanchi" (prefixes), 3 by "Beurre. Blanc" (words only), the
  // shorter text first.
  EXPECT_EQ(Find("\"beurre blanc\""), (Ids{1, 3, 2}));
  EXPECT_EQ(Find("\"blanc beurre\""), (Ids{}));
  EXPECT_EQ(Find("\"beurre blanc\"", kInTitles), (Ids{1}));
  // Title "Beurre" then text "Blanc ...": a phrase does not run from one field into the next.
  EXPECT_EQ(Find("\"beurre blanc\"", kInTitles | kInTexts), (Ids{1, 3, 2}));
  EXPECT_EQ(Find("\"d oeuf\""), (Ids{3}));
}

TEST_F(SearchTest, ScopesLimitWhereTermsAreLookedFor) {
  Make({{1, "Tarte au citron", "Citrons, sucre, beurre."},
        {2, "Cake", "Zeste de citron."},
        {3, "Flan", "Lait, sucre."}});
  index_.memos().Set(3, "Essayer avec du citron vert", 27);
  EXPECT_EQ(Find("citron", kInTitles), (Ids{1}));
  EXPECT_EQ(Find("citron", kInTexts), (Ids{1, 2}));
  EXPECT_EQ(Find("citron", kInMemos), (Ids{3}));
  EXPECT_EQ(Find("citron", kInTitles | kInMemos), (Ids{1, 3}));
  EXPECT_EQ(Find("citron"), (Ids{1, 2, 3}));
  EXPECT_EQ(Find("citron vert"), (Ids{3}));   // both words in the memo
  EXPECT_EQ(Find("sucre vert"), (Ids{3}));    // one in the text, one in the memo
  EXPECT_EQ(Find("citron", 0), (Ids{}));
}

TEST_F(SearchTest, RankTitlesFirstThenTextWeightThenTitleOrder) {
  Make({{1, "Agneau", "Navets. Navets, navets et encore des navets."},
        {2, "Blanquette", "Un navet."},
        {3, "Canard aux navets", "Canard."},
        {4, "Daube", "Un navet."},
        {5, "Entrec\xF4te", "Navet navet."},
        {6, "Flan de navets", "Navets."}});
  // Titles first, then by the weight of the texts (BM25: more occurrences weigh more, longer
  // texts less), equal weights in title order.
  EXPECT_EQ(Find("navet"), (Ids{6, 3, 5, 1, 2, 4}));
  EXPECT_EQ(Find("navet", kInTexts), (Ids{5, 6, 1, 2, 4}));
  EXPECT_EQ(Find("navet", kInTitles), (Ids{3, 6}));
}

TEST_F(SearchTest, UnreadableTextsAreStillFoundByTitleAndMemo) {
  Make({{1, "Potage Parmentier", ""}, {2, "Potage aux herbes", "Cerfeuil, oseille."}});
  index_.memos().Set(1, "oseille du jardin", 17);
  EXPECT_EQ(index_.Unreadable(), 1u);
  EXPECT_EQ(Find("potage"), (Ids{1, 2}));  // titles only, so table order
  EXPECT_EQ(Find("oseille"), (Ids{2, 1}));
  EXPECT_EQ(Find("jardin", kInTitles | kInTexts), (Ids{}));
}

TEST_F(SearchTest, AMemoSavedReplacesItsWords) {
  Make({{7, "Clafoutis", "Cerises."}, {8, "Far breton", "Pruneaux."}});
  index_.memos().Set(8, "Avec des raisins secs", 21);
  EXPECT_EQ(Find("raisins"), (Ids{8}));
  index_.memos().Set(8, "Sans raisins, avec de la vanille", 32);
  EXPECT_EQ(Find("raisins"), (Ids{8}));
  EXPECT_EQ(Find("secs"), (Ids{}));
  EXPECT_EQ(Find("vanille"), (Ids{8}));
  index_.memos().Set(8, "", 0);  // deleted
  EXPECT_EQ(Find("vanille"), (Ids{}));
  // The memos outlive a rebuild of the recipes (the catalogue reloaded).
  index_.memos().Set(7, "Ne pas d\xE9noyauter", 18);
  index_.Build(catalogue_->Entries(), catalogue_->Count());
  EXPECT_EQ(Find("denoyauter"), (Ids{7}));
}

TEST_F(SearchTest, MemosComeFromTheStoreAndADamagedStoreLeavesNone) {
  Make({{1, "Clafoutis", "Cerises."}, {2, "Far breton", "Pruneaux."}});
  ASSERT_EQ(WriteMemo(MemoStoreName, 2, "Armagnac", 0), 0);
  ASSERT_EQ(index_.memos().Load(MemoStoreName), kVlrOk);
  EXPECT_EQ(Find("armagnac"), (Ids{2}));
  Put(MemoStoreName, "not a store at all, not even close");
  EXPECT_NE(index_.memos().Load(MemoStoreName), kVlrOk);
  EXPECT_EQ(Find("armagnac"), (Ids{}));
  EXPECT_EQ(Find("far"), (Ids{2}));
  std::remove(MemoStoreName);
  EXPECT_EQ(index_.memos().Load(MemoStoreName), kVlrOk);  // no store: no memos, no error
}

TEST_F(SearchTest, SuggestsCloseWordsWhenNothingIsFound) {
  Make({{1, "Gratin de poireaux", "Poireaux, cr\xE8me."},
        {2, "Tarte aux poires", "Poires, cr\xE8me."},
        {3, "Soupe", "Poivre."}});
  index_.memos().Set(3, "champignons", 11);
  auto suggest = [this](const char* q, unsigned scope = kInEverything) {
    return index_.Suggest(ParseQuery(q), scope, 5);
  };
  // Closest first, then the most used, then alphabetical.
  EXPECT_EQ(suggest("poiraux"), (std::vector<std::string>{"poireaux"}));  // "poires": 3 edits
  EXPECT_EQ(suggest("poirex"), (std::vector<std::string>{"poires", "poireaux", "poivre"}));
  EXPECT_EQ(suggest("cremmes"), (std::vector<std::string>{"creme"}));
  EXPECT_EQ(suggest("chanpinions"), (std::vector<std::string>{}));   // three edits away
  EXPECT_EQ(suggest("champinons"), (std::vector<std::string>{"champignons"}));
  EXPECT_EQ(suggest("champinons", kInTexts), (std::vector<std::string>{}));  // a memo word
  EXPECT_EQ(suggest("poire"), (std::vector<std::string>{}));  // found: nothing to suggest
}

TEST_F(SearchTest, LongQueriesAndEmptyCatalogues) {
  Make({{1, "Pain perdu", "Pain rassis, lait, \x9C" "ufs, sucre."}});
  std::string query;
  while (query.size() < 10000) query += "pain \"lait oeufs\" ";
  EXPECT_EQ(Find(query), (Ids{1}));
  EXPECT_EQ(Find(std::string(10000, 'x')), (Ids{}));
  EXPECT_EQ(Find(std::string(10000, '"')), (Ids{}));
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
  options.recipes = 3000;
  options.categories = 50;
  options.order = SyntheticOrder::Shuffled;
  ASSERT_EQ(WriteSyntheticCatalogue(options, ".", nullptr), SyntheticStatus::Ok);
  CategoryTree tree;
  ASSERT_EQ(LoadIndex(tree), options.recipes);
  struct Release {
    ~Release() { ReleaseCatalogue(); }
  } release;
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
        ASSERT_EQ(a[i].entry, b[i].entry) << q << " in " << scope << " at " << i;
        ASSERT_EQ(a[i].titleTerms, b[i].titleTerms);
        ASSERT_DOUBLE_EQ(a[i].score, b[i].score);
      }
    }
  }
}

}  // namespace
}  // namespace search

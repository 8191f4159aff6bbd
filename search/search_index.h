// Search inside recipes: which recipes of the table hold every term of a query, in their
// titles, their texts or their memos, best first.
//
// Two ways to the same answer. SearchIndex reads every text once and then answers each query
// from an inverted index (the program, "search -"); ScanSearch reads the texts for one query
// and keeps no index (one query from the command line, where building an index would cost more
// than the search). Both rank alike: recipes with more terms in their titles first, then by
// BM25 over the texts, then in table (title) order.
#ifndef SAUCELINS_SEARCH_SEARCH_INDEX_H
#define SAUCELINS_SEARCH_SEARCH_INDEX_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "catalogue/recipe_table.h"
#include "search/query.h"
#include "vlr/vlr.h"

namespace search {

struct Hit {
  uint32_t entry;       // position in the table searched
  uint32_t titleTerms;  // terms found in the title (0 when titles are not searched)
  double score;         // BM25 of the text (0 when texts are not searched)
};

// Told how far a build went: done of total entries.
typedef void (*BuildProgress)(void* context, uint32_t done, uint32_t total);

// The memos of the recipes, by recipe number, as search reads them.
class MemoWords {
 public:
  // Replaces every memo by the store's. kVlrOk when the store was read, or when there is no
  // store (no memos); otherwise the store's error, with no memos kept.
  VlrStatus Load(const char* store);
  // The memo of recipe `id` becomes text[0..n) (up to its first NUL); n == 0 removes it.
  void Set(uint32_t id, const char* text, size_t n);
  void Clear();
  const std::string* Text(uint32_t id) const;
  // Recipe numbers whose memo has a word beginning with `prefix` (folded).
  void IdsWithPrefix(const std::string& prefix, std::set<uint32_t>* ids) const;
  const std::map<std::string, std::set<uint32_t>>& Words() const { return words_; }
  // A folded word as a suggestion shows it (see SearchIndex::Suggest).
  std::string Spelt(const std::string& word) const;
  size_t MemoryBytes() const;

 private:
  std::unordered_map<uint32_t, std::string> texts_;
  std::map<std::string, std::set<uint32_t>> words_;  // folded word -> recipe numbers
  std::map<std::string, std::string> spellings_;     // folded word -> as shown, when it differs
};

class SearchIndex {
 public:
  SearchIndex() = default;
  SearchIndex(const SearchIndex&) = delete;
  SearchIndex& operator=(const SearchIndex&) = delete;

  // Indexes entries[0..count) and their texts; the entries must stay as they are while the
  // index is used. Memos are kept apart (memos()) and survive a build.
  void Build(const RecipeEntry* entries, uint32_t count, BuildProgress progress = nullptr,
             void* context = nullptr);
  // Forgets the recipes (not the memos).
  void Clear();

  MemoWords& memos() { return memos_; }
  const MemoWords& memos() const { return memos_; }

  // Every recipe that matches every term, best first; scope is a combination of kInTitles,
  // kInTexts and kInMemos. An empty query finds nothing.
  std::vector<Hit> Search(const Query& query, unsigned scope) const;
  // Words of the catalogue (and of the memos when they are searched) that are at most two
  // edits away (folded) from a query word that matches nothing in scope, closest and most
  // common first; at most `most`. Each is spelt as first met with its accents, in lower case
  // ("cr\xE8me" for "Cr\xE8me", "creme" and "CR\xC8ME").
  std::vector<std::string> Suggest(const Query& query, unsigned scope, size_t most) const;

  uint32_t Count() const { return count_; }
  uint64_t TextBytes() const { return textBytes_; }
  uint32_t Unreadable() const { return unreadable_; }  // entries indexed without their text
  size_t VocabularySize() const { return vocabStart_.empty() ? 0 : vocabStart_.size() - 1; }
  // Bytes held by the index (vocabulary, postings, per-recipe arrays, query scratch, memos).
  size_t MemoryBytes() const;

 private:
  std::string Word(size_t i) const {
    return std::string(vocab_.data() + vocabStart_[i], vocabStart_[i + 1] - vocabStart_[i]);
  }
  // Vocabulary positions [*lo, *hi) of the words that begin with prefix.
  void Range(const std::string& prefix, size_t* lo, size_t* hi) const;
  // Calls fn(ordinal) for every recipe whose memo has a word beginning with `prefix`.
  template <typename Fn>
  void ForEachMemoHolding(const std::string& prefix, Fn fn) const {
    std::set<uint32_t> ids;
    memos_.IdsWithPrefix(prefix, &ids);
    for (uint32_t id : ids) {
      auto it = std::lower_bound(byId_.begin(), byId_.end(), std::make_pair(id, 0u));
      for (; it != byId_.end() && it->first == id; ++it) fn(it->second);
    }
  }
  // Accumulates the postings of every word beginning with `prefix`: see search_index.cpp.
  uint32_t Collect(const std::string& prefix, unsigned scope, uint32_t epoch, uint32_t* stamp,
                   uint8_t* mask, uint32_t* tf, std::vector<uint32_t>* touched) const;
  // The word of a phrase with the fewest postings (0 for a single word).
  size_t RarestWord(const QueryTerm& term) const;
  // Narrows the recipes of a phrase's rarest word (`lead`, collected with `epoch` into
  // `touched`) to the fields that hold every word of it, and counts into tf_ its occurrences
  // in the texts of those of `from` short enough to be told by their words' places, marked by
  // a non-zero tf2_. True when some text of `from` is too long for that and must be read.
  bool MatchPhrase(const QueryTerm& term, size_t lead, unsigned scope, uint32_t epoch,
                   const std::vector<uint32_t>& from, const std::vector<uint32_t>& touched) const;
  void MakeScratch() const;
  bool WordMatchesIn(const std::string& word, unsigned scope) const;
  std::string Spelt(size_t i) const;  // vocabulary word i as a suggestion shows it

  const RecipeEntry* entries_ = nullptr;
  uint32_t count_ = 0;
  uint64_t textBytes_ = 0;
  uint32_t unreadable_ = 0;
  uint64_t totalWords_ = 0;        // text words of every recipe
  std::vector<uint32_t> order_;    // ordinal -> entry; ordinals follow the recipe bases
  std::vector<uint16_t> length_;   // ordinal -> text words (at most 65535 counted)
  std::vector<std::pair<uint32_t, uint32_t>> byId_;  // (recipe number, ordinal), sorted
  std::vector<char> vocab_;        // the folded words, sorted, back to back
  std::vector<uint32_t> vocabStart_;
  // Per word and recipe: a posting (ordinal delta, tf, fields: see search_index.cpp), then
  // the place of each of its tf text words (modulo 256), a byte each.
  std::vector<uint8_t> postings_;
  std::vector<uint32_t> postStart_;
  // The words whose suggestion shows accents: (vocabulary position, offset of its spelling in
  // spellings_, NUL-ended), by position.
  std::vector<std::pair<uint32_t, uint32_t>> spelt_;
  std::vector<char> spellings_;
  MemoWords memos_;
  // Per-ordinal query state, made on first use; an entry counts for the current term only
  // when its stamp is the term's epoch, so nothing is cleared between terms.
  mutable uint32_t epoch_ = 0;
  mutable std::vector<uint32_t> stamp_, stamp2_, tf_, tf2_, titleTerms_;
  mutable std::vector<uint8_t> mask_, mask2_;
  mutable std::vector<double> score_;
};

// The same answer as SearchIndex::Build followed by Search, reading the texts once for this
// one query.
std::vector<Hit> ScanSearch(const RecipeEntry* entries, uint32_t count, const MemoWords& memos,
                            const Query& query, unsigned scope);

// Orders hits best first.
void RankHits(std::vector<Hit>* hits);

}  // namespace search

#endif

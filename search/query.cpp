#include "search/query.h"

#include <cstdint>
#include <cstring>

#include "search/words.h"

namespace search {

Query ParseQuery(const char* text, size_t n) {
  Query query;
  std::string folded;
  size_t i = 0;
  while (i < n) {
    if (text[i] == '"') {
      size_t close = i + 1;
      while (close < n && text[close] != '"') ++close;
      QueryTerm phrase;
      ForEachWord(text + i + 1, close - i - 1, folded, [&](const std::string& w, size_t, size_t) {
        phrase.words.push_back(w);
        return true;
      });
      if (!phrase.words.empty()) query.terms.push_back(std::move(phrase));
      i = close < n ? close + 1 : n;
      continue;
    }
    size_t end = i;
    while (end < n && text[end] != '"') ++end;
    ForEachWord(text + i, end - i, folded, [&](const std::string& w, size_t, size_t) {
      query.terms.push_back(QueryTerm{{w}});
      return true;
    });
    i = end;
  }
  // A term given twice adds nothing; single words go first, so that the costlier phrases are
  // checked only on the recipes the words left.
  std::vector<QueryTerm> words, phrases;
  for (QueryTerm& t : query.terms) {
    std::vector<QueryTerm>& list = t.words.size() == 1 ? words : phrases;
    bool twice = false;
    for (const QueryTerm& u : list) twice = twice || u.words == t.words;
    if (!twice) list.push_back(std::move(t));
  }
  query.terms = std::move(words);
  for (QueryTerm& t : phrases) query.terms.push_back(std::move(t));
  return query;
}

namespace {

struct TextWord {
  std::string folded;
  size_t start;
  size_t end;
};

bool StartsWith(const std::string& word, const std::string& prefix) {
  return word.size() >= prefix.size() && std::memcmp(word.data(), prefix.data(), prefix.size()) == 0;
}

// Calls fn(start, end) for every match of `term` in the words, in order; fn returns false to
// stop.
template <typename Fn>
void ForEachMatch(const QueryTerm& term, const std::vector<TextWord>& words, Fn fn) {
  const size_t k = term.words.size();
  if (k == 0 || words.size() < k) return;
  for (size_t i = 0; i + k <= words.size(); ++i) {
    size_t j = 0;
    while (j < k && StartsWith(words[i + j].folded, term.words[j])) ++j;
    if (j == k && !fn(words[i].start, words[i + k - 1].end)) return;
  }
}

std::vector<TextWord> WordsOf(const char* text, size_t n) {
  std::vector<TextWord> words;
  std::string folded;
  ForEachWord(text, n, folded, [&](const std::string& w, size_t start, size_t end) {
    words.push_back(TextWord{w, start, end});
    return true;
  });
  return words;
}

}  // namespace

bool FindFirstMatch(const Query& query, const char* text, size_t n, size_t* start,
                    size_t* length) {
  const std::vector<TextWord> words = WordsOf(text, n);
  bool found = false;
  size_t bestStart = 0;
  size_t bestEnd = 0;
  for (const QueryTerm& term : query.terms) {
    ForEachMatch(term, words, [&](size_t s, size_t e) {
      if (!found || s < bestStart || (s == bestStart && e > bestEnd)) {
        found = true;
        bestStart = s;
        bestEnd = e;
      }
      return false;  // the first match of a term is its earliest
    });
  }
  if (found) {
    *start = bestStart;
    *length = bestEnd - bestStart;
  }
  return found;
}

}  // namespace search

// What the user typed, as search terms.
//
// Every word is a term; words between double quotes form one term, a phrase, which matches
// consecutive words. A query word matches any word that begins with it, folded. A closing
// quote left out closes at the end of the query.
#ifndef SAUCELINS_SEARCH_QUERY_H
#define SAUCELINS_SEARCH_QUERY_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace search {

struct QueryTerm {
  std::vector<std::string> words;  // folded; more than one: a phrase
};

struct Query {
  std::vector<QueryTerm> terms;  // empty when the text holds no word at all
};

// Parses Windows-1252 text.
Query ParseQuery(const char* text, size_t n);
inline Query ParseQuery(const std::string& text) { return ParseQuery(text.data(), text.size()); }

// Where a search looks; any combination.
enum : unsigned {
  kInTitles = 1,
  kInTexts = 2,
  kInMemos = 4,
  kInEverything = kInTitles | kInTexts | kInMemos,
};

// The first place in text[0..n) where a term of the query matches, by the same rules as the
// search: *start and *length receive the bytes of the whole match (a phrase's words and what
// lies between them). False when no term matches there.
bool FindFirstMatch(const Query& query, const char* text, size_t n, size_t* start,
                    size_t* length);

}  // namespace search

#endif

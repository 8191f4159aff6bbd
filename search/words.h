// Words of the recipes as search sees them, in Windows-1252.
//
// A word is a maximal run of letters and digits; everything else (spaces, punctuation, both
// apostrophes, hyphens, symbols) separates words. Words are compared folded: lower case,
// accents dropped, the ligatures spelt out (a-e for ae, o-e for oe, s-s for sharp s, t-h for
// thorn). Each letter folds to one or two plain characters, so a folded word is never more
// than twice as long as the word.
#ifndef SAUCELINS_SEARCH_WORDS_H
#define SAUCELINS_SEARCH_WORDS_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace search {

// For each byte: how many characters it folds to (0: not part of a word), and those
// characters.
struct FoldTable {
  uint8_t length[256];
  char folded[256][2];
};
extern const FoldTable kFoldTable;

inline bool IsWordByte(unsigned char b) { return kFoldTable.length[b] != 0; }

// The folded form of s[0..n): every word byte folded, every other byte left out. Meant for one
// word; separators inside are dropped, not kept.
std::string FoldWord(const char* s, size_t n);

// Calls fn(folded, start, end) for every word of s[0..n) in order: `folded` is the folded word
// (a reused buffer, valid during the call), [start, end) its bytes in s. fn returns false to
// stop early.
template <typename Fn>
void ForEachWord(const char* s, size_t n, std::string& folded, Fn fn) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(s);
  size_t i = 0;
  while (i < n) {
    while (i < n && kFoldTable.length[p[i]] == 0) ++i;
    if (i == n) break;
    const size_t start = i;
    folded.clear();
    for (; i < n && kFoldTable.length[p[i]] != 0; ++i) {
      folded.push_back(kFoldTable.folded[p[i]][0]);
      if (kFoldTable.length[p[i]] == 2) folded.push_back(kFoldTable.folded[p[i]][1]);
    }
    if (!fn(static_cast<const std::string&>(folded), start, i)) return;
  }
}

}  // namespace search

#endif

// The order of category labels among siblings.
//
// The tree control files an item inserted with TVI_SORT by comparing its label with the
// platform's linguistic comparison (lstrcmpW of the label converted from Windows-1252):
// letters first without regard to accents and case, then accents, then case (small letters
// first), hyphens and apostrophes only when all else is equal; "oe" and the ligature compare
// equal. The category tree must put nodes where the control would, with or without a control,
// so the comparison is computed here from the platform's own weights for the 255 characters.
#ifndef SAUCELINS_CATEGORIES_LABEL_ORDER_H
#define SAUCELINS_CATEGORIES_LABEL_ORDER_H

#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstring>

// Where two labels differ only in their accents, the default order weighs the accents from
// the start of the word and the French order from its end (cote, c\xF4te, cot\xE9, c\xF4t\xE9 in
// French order; the default one swaps the middle two). Which one the control uses depends on
// the user's locale, so the Win32 shell says which (SetLabelCollation).
enum class LabelCollation {
  Default,            // accents weighed from the start of the word
  ReverseDiacritics,  // accents weighed from the end of the word (French locale)
};

// Process-wide; set once at start-up, before any tree holds nodes.
void SetLabelCollation(LabelCollation collation);
LabelCollation CurrentLabelCollation();

// Largest key LabelSortKey writes for a label of `len` bytes.
constexpr size_t LabelSortKeyCapacity(size_t len) { return 8 * len + 4; }

// Writes the sort key of the first `len` bytes of `label` (Windows-1252) into `out`, which
// holds LabelSortKeyCapacity(len) bytes; returns its length. Keys compare with
// CompareLabelKeys exactly as the labels compare on the platform, and are laid out like the
// platform's own sort keys (LCMapString with LCMAP_SORTKEY, without the final zero).
size_t LabelSortKey(const char* label, size_t len, uint8_t* out);

// memcmp order, a key that is a prefix of the other first. Negative, zero or positive.
int CompareLabelKeys(const uint8_t* a, size_t alen, const uint8_t* b, size_t blen);

// The platform's comparison of two labels: negative, zero or positive. Zero for labels that
// differ only in what the platform ignores (e.g. "Boeuf" and the same word with the ligature).
int CompareLabelsAsPlatform(const char* a, const char* b);

// The first level of a label's order alone: one byte per letter, accents and case left out,
// a ligature as its two letters ("oe"), hyphens and apostrophes left out. Every byte is at
// least 1, and two labels' folded keys compare with memcmp (a prefix first) as their first
// level does. Writes at most LabelFoldedKeyCapacity(len) bytes; returns the length.
constexpr size_t LabelFoldedKeyCapacity(size_t len) { return 2 * len; }
size_t LabelFoldedKey(const char* label, size_t len, uint8_t* out);

// The order of recipe titles in the recipe list: the labels' order, and between titles it
// finds equal, the order of their bytes. Zero only for the same bytes.
int CompareTitles(const char* a, const char* b);

// True when `text` begins with `prefix` under the folding of LabelFoldedKey ("ile" and "\xCEle"
// both begin "\xCEle flottante", "oeufs" begins "\x8Cufs en meurette").
bool HasFoldedPrefix(const char* text, const char* prefix);

// The first of `count` titles, given in CompareTitles order by titleAt, that begins with
// `prefix` under that folding; -1 when none does. A binary search: titles with one folded
// beginning lie together in that order.
// The folded key of the start of a NUL-terminated text, up to `want` bytes: writes at most
// want + 1 bytes (a ligature at the end gives two) and returns how many; fewer than `want`
// only when the text ended.
size_t LabelFoldedHead(const char* text, size_t want, uint8_t* out);
// The folded key of a whole NUL-terminated text, as LabelFoldedHead without a limit: writes at
// most LabelFoldedKeyCapacity(strlen(text)) + 1 bytes.
size_t LabelFoldedText(const char* text, uint8_t* out);

template <typename TitleAt>
long FirstWithFoldedPrefix(long count, TitleAt titleAt, const char* prefix) {
  // Typed text: at most 127 characters are looked at.
  constexpr size_t kTyped = 127;
  uint8_t want[LabelFoldedKeyCapacity(kTyped)];
  const size_t plen = std::min(std::strlen(prefix), kTyped);
  const size_t wlen = LabelFoldedKey(prefix, plen, want);
  // The first title whose folded key is not below the prefix's; from there on every title
  // that begins with it follows.
  long lo = 0, hi = count;
  uint8_t key[LabelFoldedKeyCapacity(kTyped) + 1];
  while (lo < hi) {
    const long mid = lo + (hi - lo) / 2;
    const size_t klen = LabelFoldedHead(titleAt(mid), wlen, key);
    int c = std::memcmp(key, want, std::min(klen, wlen));
    if (c == 0 && klen < wlen) c = -1;
    if (c < 0)
      lo = mid + 1;
    else
      hi = mid;
  }
  if (lo < count && LabelFoldedHead(titleAt(lo), wlen, key) >= wlen &&
      std::memcmp(key, want, wlen) == 0)
    return lo;
  return -1;
}

#endif

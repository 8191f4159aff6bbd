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

#endif

// Large made-up catalogues for benchmarks and for the tests of the large-file paths.
//
// The output is what the program reads: an index in the format of "Gourmix.Idx" (8 TAB-separated
// columns, CR LF line ends) and one recipe base "Gourmix.Dat" whose slices are recipe texts in
// Windows-1252 (title line, ingredients, method, a line of notes in words drawn by Zipf's law
// from a lexicon of 4,000; CR LF line ends, a few hundred bytes each).
// Everything follows from the options and the seed: the same options give the same bytes on
// every platform (the generator has its own random numbers and never iterates a hash table).
#ifndef SAUCELINS_CATALOGUE_SYNTHETIC_CATALOGUE_H
#define SAUCELINS_CATALOGUE_SYNTHETIC_CATALOGUE_H

#include <cstdint>
#include <string>

enum class SyntheticOrder {
  Grouped,   // the recipes of one category on consecutive lines, as a save from the editor
  Shuffled,  // the same lines in random order: the path cache of the loader rarely helps
};

// Labels are short enough that a path of this many levels always fits the 255-character form.
constexpr uint32_t kSyntheticMaxDepth = 8;
constexpr uint32_t kSyntheticMaxCategories = 1000000;

struct SyntheticOptions {
  uint32_t recipes = 100000;
  // Categories below the root, the ones that hold other categories included. Every one of
  // them appears in the index as soon as there are at least as many recipes as categories.
  uint32_t categories = 1000;
  // Most levels below the root (1..kSyntheticMaxDepth); one branch is always this deep when
  // there are enough categories for it.
  uint32_t maxDepth = 5;
  // Categories made directly under the root before the rest of the tree grows at random (0:
  // no such start, the tree grows at random from the root). Labels of these are a word and a
  // number ("Desserts12"), so that hundreds of them stay distinct: a wide tree, as collections
  // gathered from many sources have. At most `categories`.
  uint32_t firstLevel = 0;
  SyntheticOrder order = SyntheticOrder::Grouped;
  uint64_t seed = 1;
};

enum class SyntheticStatus {
  Ok,
  BadOptions,   // depth or category count out of range
  TooLarge,     // the recipe base would pass 4 GiB, beyond what 32-bit offsets address
  CannotWrite,  // a file could not be created or written
};

struct SyntheticSummary {
  uint32_t recipes = 0;
  uint32_t categories = 0;   // categories the index names, counting every level of each path
  uint32_t deepest = 0;      // levels below the root of the deepest category used
  uint64_t indexBytes = 0;
  uint64_t dataBytes = 0;
  uint32_t longestText = 0;  // bytes of the longest recipe slice
};

// Null when the options can be generated, otherwise why not (for a command line's message).
const char* SyntheticOptionsProblem(const SyntheticOptions& options);

// Builds the catalogue in memory: `index` receives the index file's bytes and `data` those of
// the recipe base. `summary` may be null.
SyntheticStatus GenerateSyntheticCatalogue(const SyntheticOptions& options, std::string* index,
                                           std::string* data, SyntheticSummary* summary);

// Writes "Gourmix.Idx" and "Gourmix.Dat" into the existing folder `folder` (replacing files of
// those names), streaming, so catalogues larger than memory are fine. The bytes are those of
// GenerateSyntheticCatalogue. `summary` may be null.
SyntheticStatus WriteSyntheticCatalogue(const SyntheticOptions& options, const char* folder,
                                        SyntheticSummary* summary);

#endif

// What the two search benchmarks share (natively and under Wine): a catalogue written by the
// generator and loaded as the program loads it, the index built over it, the queries timed and
// the index's memory weighed against the recipe text it holds.
#ifndef SAUCELINS_BENCH_SEARCH_FIGURES_H
#define SAUCELINS_BENCH_SEARCH_FIGURES_H

#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_figures.h"
#include "catalogue/recipe_table.h"
#include "search/query.h"
#include "search/search_index.h"

namespace bench {

// Queries of every kind a user types: common and rare words, a prefix, two words, phrases, a
// notes word from the middle of the vocabulary, a word found nowhere.
inline std::vector<std::string> SearchQueries() {
  return {"poireaux", "cr\xE8me fra\xEE" "che", "\"faites revenir\"", "tarte pommes", "choc",
          "\"au four\" lardons", "gratin", "zzzzz"};
}

// Builds `index` over the loaded table `runs` times; prints and returns the median in ms.
inline double MeasureBuild(search::SearchIndex& index, int runs, const char* suffix,
                           const char* goal) {
  std::vector<double> times;
  for (int r = 0; r < runs; ++r) {
    index.Clear();
    ReturnFreedHeap();
    const auto t0 = Clock::now();
    index.Build(RecipeEntries(), RecipeCount());
    times.push_back(Ms(Clock::now() - t0));
  }
  const double median = Median(times);
  std::printf("index build: %.1f ms (median of %d), %zu words, %llu text bytes\n", median, runs,
              index.VocabularySize(), static_cast<unsigned long long>(index.TextBytes()));
  Figure((std::string("search: index build, titles and texts") + suffix).c_str(), RecipeCount(),
         times.size(), median, -1, goal);
  return median;
}

// Every query `runs` times; prints the median of all and the median of the slowest kind.
inline void MeasureQueries(const search::SearchIndex& index, int runs, const char* suffix) {
  std::vector<double> all;
  double slowest = 0;
  std::string slowestQuery;
  for (const std::string& q : SearchQueries()) {
    std::vector<double> times;
    size_t found = 0;
    for (int r = 0; r < runs; ++r) {
      const auto t0 = Clock::now();
      const search::Query query = search::ParseQuery(q);
      found = index.Search(query, search::kInEverything).size();
      times.push_back(Ms(Clock::now() - t0));
    }
    const double m = Median(times);
    std::printf("  query %-28s %8zu found  %8.3f ms\n", q.c_str(), found, m);
    all.insert(all.end(), times.begin(), times.end());
    if (m > slowest) {
      slowest = m;
      slowestQuery = q;
    }
  }
  Figure((std::string("search: one query after the build, all kinds") + suffix).c_str(),
         RecipeCount(), all.size(), Median(all), -1, "5");
  Figure((std::string("search: slowest kind of query (") + slowestQuery + ")" + suffix).c_str(),
         RecipeCount(), static_cast<size_t>(runs), slowest, -1, "5");
}

// The index's bytes per byte of recipe text: everything it holds, its query scratch included.
inline void MeasureMemory(search::SearchIndex& index, const char* suffix) {
  index.Search(search::ParseQuery("poireaux"), search::kInEverything);  // makes the scratch
  const double text = static_cast<double>(index.TextBytes());
  const double perByte = static_cast<double>(index.MemoryBytes()) / text;
  std::printf("index memory: %zu bytes for %.0f text bytes: %.3f per byte\n", index.MemoryBytes(),
              text, perByte);
  Figure((std::string("search: index memory per byte of recipe text") + suffix).c_str(),
         RecipeCount(), 1, perByte, -1, "0.5", "B/B");
}

}  // namespace bench

#endif

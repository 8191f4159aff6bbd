// Search inside recipes under Wine, in the real main window on a large catalogue: the index
// build, one query of each kind, the index's memory, and the time from the user's Enter in the
// search dialog to the recipe list filled (up to 1,000 recipes found) with the first one shown.
// Prints its figures, and the same as figure lines (bench/bench_figures.h).
//
// Usage: search_bench_win32 [--tiny] [--recipes N]   (under Wine: needs an X display)
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/main_window_win32.h"
#include "bench/bench_figures.h"
#include "bench/bench_win32.h"
#include "bench/search_figures.h"
#include "catalogue/recipe_table.h"
#include "catalogue/synthetic_catalogue.h"
#include "resources/resource.h"
#include "search/search_win32.h"

int main(int argc, char** argv) {
  const uint32_t recipes = bench::RecipesArg(argc, argv);
  SetPriorityClass(GetCurrentProcess(), NORMAL_PRIORITY_CLASS);
  InitCommonControls();
  SetBeepForTests(bench::Silent);
  char dir[MAX_PATH];
  if (!bench::EnterTempFolder("ssb", dir)) {
    std::fprintf(stderr, "cannot make a temporary folder\n");
    return 1;
  }
  SyntheticSummary summary;
  if (WriteSyntheticCatalogue(bench::LoadCatalogueOptions(recipes, SyntheticOrder::Grouped), ".",
                              &summary) != SyntheticStatus::Ok) {
    std::fprintf(stderr, "cannot write the catalogue in %s\n", dir);
    return 1;
  }
  HWND window = bench::OpenMainWindow();
  if (!window) return 1;
  const auto t0 = bench::Clock::now();
  while (RecipeCount() != recipes && bench::Ms(bench::Clock::now() - t0) < 120000) {
    bench::Pump(window);
    Sleep(1);
  }
  bench::Pump(window);
  if (RecipeCount() != recipes) {
    std::fprintf(stderr, "loaded %u recipes instead of %u\n", RecipeCount(), recipes);
    return 1;
  }

  // The engine alone, as natively: the same catalogue, the same queries.
  {
    search::SearchIndex index;
    bench::MeasureBuild(index, 3, " (Wine)", "4500");
    bench::MeasureQueries(index, 5, " (Wine)");
    bench::MeasureMemory(index, " (Wine)");
  }

  // Enter in the dialog: the search, the list filled, the first recipe shown with its match
  // selected. The window's own index is made by the first search, outside the timing.
  ShowSearchResults(window, "poireaux", search::kInEverything);
  bench::Pump(window);
  const char* const kQueries[] = {"tarte pommes", "poireaux", "gratin navets", "\"au four\" gratin"};
  std::vector<double> times;
  for (int run = 0; run < 5; ++run) {
    for (const char* q : kQueries) {
      const auto t = bench::Clock::now();
      const uint32_t found = ShowSearchResults(window, q, search::kInEverything);
      bench::Pump(window);
      times.push_back(bench::Ms(bench::Clock::now() - t));
      if (run == 0) std::printf("  Enter to list, %-24s %6u found %9.3f ms\n", q, found, times.back());
    }
  }
  bench::Figure("search: Enter to the recipe list filled, first recipe shown (Wine)", recipes,
                times.size(), bench::Median(times), -1, "100");
  DestroyWindow(window);
  bench::Pump(nullptr);
  ReleaseCatalogue();
  return 0;
}

// Search inside recipes at catalogue scale, natively: building the index over every title and
// text, one query of each kind after the build, and the index's memory per byte of text.
// Prints its figures, and the same as figure lines (bench/bench_figures.h); it checks nothing.
//
// Usage: search_bench [--tiny] [--recipes N]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "bench/bench_figures.h"
#include "bench/search_figures.h"
#include "catalogue/recipe_table.h"
#include "catalogue/synthetic_catalogue.h"

int main(int argc, char** argv) {
  const uint32_t recipes = bench::RecipesArg(argc, argv);
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("search_bench." + std::to_string(recipes));
  fs::remove_all(dir);
  fs::create_directories(dir);
  fs::current_path(dir);
  SyntheticSummary summary;
  if (WriteSyntheticCatalogue(bench::LoadCatalogueOptions(recipes, SyntheticOrder::Grouped), ".",
                              &summary) != SyntheticStatus::Ok) {
    std::fprintf(stderr, "cannot write the catalogue in %s\n", dir.c_str());
    return 1;
  }
  std::printf("Catalogue: %u recipes, recipe base %llu bytes\n", summary.recipes,
              static_cast<unsigned long long>(summary.dataBytes));
  CategoryTree tree;
  if (LoadIndex(tree) != recipes) {
    std::fprintf(stderr, "the catalogue did not load\n");
    return 1;
  }
  search::SearchIndex index;
  bench::MeasureBuild(index, 3, "", "1500");
  bench::MeasureQueries(index, 5, "");
  bench::MeasureMemory(index, "");
  index.Clear();
  ReleaseCatalogue();
  fs::current_path(fs::temp_directory_path());
  fs::remove_all(dir);
  return 0;
}

// Index load and save at catalogue scale, against the floor of reading the file and cutting it
// at TABs. Prints its figures, and the same as figure lines (bench/bench_figures.h); it checks
// nothing.
//
// Usage: load_bench [--tiny] [--recipes N]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "bench/bench_figures.h"
#include "catalogue/recipe_table.h"
#include "catalogue/synthetic_catalogue.h"

namespace {

using bench::Clock;
using bench::CpuMs;
using bench::Median;
using bench::Ms;

void WriteFile(const char* name, const std::string& bytes) {
  FILE* f = std::fopen(name, "wb");
  if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
    std::fprintf(stderr, "cannot write %s\n", name);
    std::exit(1);
  }
  std::fclose(f);
}

size_t HeapInUse() {
#if defined(__GLIBC__)
  struct mallinfo2 mi = mallinfo2();
  return mi.uordblks + mi.hblkhd;
#else
  return 0;
#endif
}

// Bytes the table itself holds: the array and the texts (titles, file names other than the
// shared one), which the table packs into blocks without per-text overhead.
size_t TableBytes() {
  size_t bytes = RecipeCapacity() * sizeof(RecipeEntry);
  for (uint32_t i = 0; i < RecipeCount(); ++i) {
    const RecipeEntry& e = RecipeEntries()[i];
    bytes += std::strlen(e.title) + 1;
    if (e.dataFile != kSharedDataFile) bytes += std::strlen(e.dataFile) + 1;
  }
  return bytes;
}

struct LoadFigures {
  double baselineMs, loadMs;        // wall clock
  double baselineCpuMs, loadCpuMs;  // processor time
  size_t fileBytes;
};

LoadFigures MeasureLoad(const std::string& index, uint32_t recipes, int runs) {
  WriteFile(kIndexFileName, index);
  std::vector<double> base, load, baseCpu, loadCpu;
  for (int i = 0; i < runs; ++i) {
    double c0 = CpuMs();
    auto t0 = Clock::now();
    volatile size_t fields = bench::ReadAndSplit(kIndexFileName);
    base.push_back(Ms(Clock::now() - t0));
    baseCpu.push_back(CpuMs() - c0);
    (void)fields;

    ReleaseCatalogue();
    std::unique_ptr<CategoryTree> tree(new CategoryTree);
    c0 = CpuMs();
    t0 = Clock::now();
    uint32_t n = LoadIndex(*tree);
    load.push_back(Ms(Clock::now() - t0));
    loadCpu.push_back(CpuMs() - c0);
    if (n != recipes) {
      std::fprintf(stderr, "loaded %u recipes, expected %u\n", n, recipes);
      std::exit(1);
    }
    ReleaseCatalogue();
  }
  return {Median(base), Median(load), Median(baseCpu), Median(loadCpu), index.size()};
}

// Growing an array of entries 10 at a time, as the load does, alone: the realloc cost.
void MeasureGrowth(uint32_t recipes) {
  for (int step : {10, 0}) {  // 0: doubling, for comparison
    auto t0 = Clock::now();
    void* p = nullptr;
    size_t cap = 0, moves = 0;
    for (uint32_t n = 0; n < recipes; ++n) {
      if (n == cap) {
        cap = step ? cap + static_cast<size_t>(step) : (cap ? cap * 2 : 10);
        void* q = std::realloc(p, cap * sizeof(RecipeEntry));
        if (!q) std::exit(1);
        if (q != p) ++moves;
        p = q;
        static_cast<RecipeEntry*>(p)[n].recipeId = n;  // touch, as a load writes each entry
      } else {
        static_cast<RecipeEntry*>(p)[n].recipeId = n;
      }
    }
    double ms = Ms(Clock::now() - t0);
    std::free(p);
    std::printf("  growth %-9s %8.2f ms, %zu block moves\n", step ? "by 10:" : "doubling:", ms,
                moves);
  }
}

}  // namespace

int main(int argc, char** argv) {
  uint32_t recipes = 100000;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--tiny")) {
      recipes = 2000;
    } else if (!std::strcmp(argv[i], "--recipes") && i + 1 < argc) {
      recipes = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
    }
  }
  const int runs = 5;
  const uint32_t categories = bench::LoadCatalogueOptions(recipes, SyntheticOrder::Grouped).categories;
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("load_bench." + std::to_string(std::rand()) +
                                              std::to_string(Clock::now().time_since_epoch().count()));
  fs::create_directories(dir);
  fs::path home = fs::current_path();
  fs::current_path(dir);

  std::printf("index load: %u recipes, %u categories, up to 5 levels; median of %d runs\n",
              recipes, categories, runs);
  double loadMs[3] = {0, 0, 0}, loadCpuMs[3] = {0, 0, 0};
  std::string grouped;
  static const char* const kOrders[3] = {"grouped", "shuffled", "wide shuffled"};
  for (int o = 0; o < 3; ++o) {
    const SyntheticOptions opt =
        o == 2 ? bench::WideCatalogueOptions(recipes)
               : bench::LoadCatalogueOptions(recipes, o == 0 ? SyntheticOrder::Grouped : SyntheticOrder::Shuffled);
    std::string index, data;
    SyntheticSummary sum;
    if (GenerateSyntheticCatalogue(opt, &index, &data, &sum) != SyntheticStatus::Ok) {
      std::fprintf(stderr, "generator failed\n");
      return 1;
    }
    LoadFigures f = MeasureLoad(index, recipes, runs);
    loadMs[o] = f.loadMs;
    loadCpuMs[o] = f.loadCpuMs;
    std::printf("%s: %zu bytes, %u categories named (%u first-level made)\n", kOrders[o],
                f.fileBytes, sum.categories, opt.firstLevel);
    std::printf("  wall: read+split %7.2f ms, LoadIndex %7.2f ms (%.2fx the floor)\n",
                f.baselineMs, f.loadMs, f.loadMs / f.baselineMs);
    std::printf("  cpu:  read+split %7.2f ms, LoadIndex %7.2f ms (%.2fx the floor)\n",
                f.baselineCpuMs, f.loadCpuMs, f.loadCpuMs / f.baselineCpuMs);
    // Within 5 times the floor at every size, and under 100 ms at catalogue scale.
    const char* goal = recipes >= 100000 ? "5x,100" : "5x";
    const std::string what = std::string("index load, headless, ") + kOrders[o];
    bench::Figure(what.c_str(), recipes, runs, f.loadMs, f.baselineMs, goal);
    bench::Figure((what + " (processor time)").c_str(), recipes, runs, f.loadCpuMs, f.baselineCpuMs, goal);
    if (o == 0) grouped = index;
  }
  std::printf("shuffled / grouped: %.2fx wall, %.2fx cpu\n", loadMs[1] / loadMs[0],
              loadCpuMs[1] / loadCpuMs[0]);
  bench::Figure("index load, headless, shuffled vs grouped", recipes, runs, loadMs[1], loadMs[0], "1.5x");
  bench::Figure("index load, headless, shuffled vs grouped (processor time)", recipes, runs,
                loadCpuMs[1], loadCpuMs[0], "1.5x");

  // Memory after a load of the grouped index.
  WriteFile(kIndexFileName, grouped);
  std::string().swap(grouped);  // so that the peak below is the load's, not the generator's
  ReleaseCatalogue();
  const bool peakIsLoads = bench::ResetResidentPeak();
  const bench::Resident residentBefore = bench::ResidentMemory();
  size_t before = HeapInUse();
  std::unique_ptr<CategoryTree> tree(new CategoryTree);
  LoadIndex(*tree);
  size_t after = HeapInUse();
  bench::ReturnFreedHeap();  // what the load keeps, not what it used on the way
  const bench::Resident residentAfter = bench::ResidentMemory();
  size_t table = TableBytes();
  std::printf("memory: table (array %u x %zu bytes, titles, names) %.1f bytes/recipe; "
              "%zu tree nodes",
              RecipeCapacity(), sizeof(RecipeEntry), double(table) / RecipeCount(),
              tree->NodeCount());
  if (after > before) {
    std::printf("; whole heap growth %.1f bytes/recipe (tree included)", double(after - before) / RecipeCount());
  }
  std::printf("\n");
  if (residentBefore.known && residentAfter.known) {
    std::printf("resident: %.1f MB peak%s, growth %.1f bytes/recipe\n", residentAfter.peak / 1048576.0,
                peakIsLoads ? " (since just before the load)" : " (whole process)",
                (residentAfter.now - residentBefore.now) / RecipeCount());
    bench::Figure("peak resident size after the load, headless", recipes, 1,
                  residentAfter.peak / 1048576.0, -1, "-", "MB");
    bench::Figure("resident growth per recipe, headless", recipes, 1,
                  (residentAfter.now - residentBefore.now) / RecipeCount(), -1, "-", "B/recipe");
  }
  bench::Figure("table bytes per recipe (array, titles, names)", recipes, 1,
                double(table) / RecipeCount(), -1, "-", "B/recipe");

  // Saving what was loaded: write, flush, back up the old index, replace.
  std::vector<double> save;
  for (int i = 0; i < runs; ++i) {
    auto t0 = Clock::now();
    if (SaveIndex(*tree, nullptr) != 1) {
      std::fprintf(stderr, "save failed\n");
      return 1;
    }
    save.push_back(Ms(Clock::now() - t0));
  }
  std::printf("SaveIndex: %.2f ms (with fsync of the new index and of the backup)\n", Median(save));
  bench::Figure("index save, SaveIndex, headless", recipes, runs, Median(save), -1, "-");
  ReleaseCatalogue();
  tree.reset();

  MeasureGrowth(recipes);

  fs::current_path(home);
  fs::remove_all(dir);
  return 0;
}

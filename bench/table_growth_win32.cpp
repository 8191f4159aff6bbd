// The recipe table's storage growth under the Windows heap: 10 entries at a time, as the load
// grows it, against doubling. Prints its figures; it checks nothing.
#include <chrono>
#include <cstdio>
#include <initializer_list>

#include "catalogue/recipe_table.h"
#include "platform/fileio.h"

int main() {
  using Clock = std::chrono::steady_clock;
  std::printf("table storage growth, %zu-byte entries\n", sizeof(RecipeEntry));
  for (unsigned n : {25000u, 50000u, 100000u, 200000u}) {
    for (bool doubling : {false, true}) {
      auto t0 = Clock::now();
      void* p = nullptr;
      size_t cap = 0, moves = 0;
      for (unsigned i = 0; i < n; ++i) {
        if (i == cap) {
          cap = doubling ? (cap ? cap * 2 : 10) : cap + 10;
          void* q = fileio::Realloc(p, cap * sizeof(RecipeEntry));
          if (!q) return 1;
          if (q != p) ++moves;
          p = q;
        }
        static_cast<RecipeEntry*>(p)[i].recipeId = i;
      }
      double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
      fileio::Free(p);
      std::printf("  %6u entries, %-9s %9.2f ms, %zu block moves\n", n,
                  doubling ? "doubling:" : "by 10:", ms, moves);
    }
  }
  return 0;
}

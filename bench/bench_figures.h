// What the benchmark programs share: the figure lines that scripts/bench.sh gathers from every
// program of one run into one table, the floor an index load is compared with, the catalogue
// the load benchmarks generate, and this process's processor time and resident memory.
//
// A figure line is TAB-separated, one per figure:
//   BENCH  name  size  runs  median  baseline  goal  unit
// `baseline` is the same measure of the reference, taken in the same process ("-": none).
// `goal` lists the bounds the median should stay under, joined by ",": "100" is in the
// figure's unit, "5x" is times the baseline; "-" for none.
#ifndef SAUCELINS_BENCH_BENCH_FIGURES_H
#define SAUCELINS_BENCH_BENCH_FIGURES_H

#ifdef _WIN32
#include <windows.h>
// Version 2 takes GetProcessMemoryInfo from kernel32, so no extra library is linked.
#define PSAPI_VERSION 2
#include <psapi.h>
#else
#include <time.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#endif

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "catalogue/synthetic_catalogue.h"

namespace bench {

using Clock = std::chrono::steady_clock;

inline double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

inline double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Processor time of this process, in ms. On a machine shared with other work the wall clock
// also counts the time others had the processor; this does not.
inline double CpuMs() {
#ifdef _WIN32
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
  ULARGE_INTEGER k, u;
  k.LowPart = kernel.dwLowDateTime;
  k.HighPart = kernel.dwHighDateTime;
  u.LowPart = user.dwLowDateTime;
  u.HighPart = user.dwHighDateTime;
  return static_cast<double>(k.QuadPart + u.QuadPart) / 10000.0;
#else
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1e6;
#endif
}

// The catalogue size a program runs on: 100,000 recipes, 2,000 with --tiny, or N with
// --recipes N (the last given wins).
inline uint32_t RecipesArg(int argc, char** argv, uint32_t whole = 100000) {
  uint32_t recipes = whole;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--tiny")) recipes = 2000;
    else if (!std::strcmp(argv[i], "--recipes") && i + 1 < argc)
      recipes = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
  }
  return recipes;
}

// One figure line; a negative baseline means there is none. Flushed at once, so the lines of
// a program that dies later are not lost.
inline void Figure(const char* name, uint64_t size, size_t runs, double median, double baseline,
                   const char* goal, const char* unit = "ms") {
  char base[32] = "-";
  if (baseline >= 0) std::snprintf(base, sizeof base, "%.4f", baseline);
  std::printf("BENCH\t%s\t%llu\t%zu\t%.4f\t%s\t%s\t%s\n", name,
              static_cast<unsigned long long>(size), runs, median, base, goal && *goal ? goal : "-",
              unit);
  std::fflush(stdout);
}

// The floor of every index load: read the whole file and find each TAB and line end, with no
// other work. Returns the number of fields. The buffer is not cleared before the file goes in
// (a std::vector would write it twice): the load does not clear its own either.
inline size_t ReadAndSplit(const char* name) {
  FILE* f = std::fopen(name, "rb");
  if (!f) return 0;
  std::fseek(f, 0, SEEK_END);
  long size = std::ftell(f);
  std::fseek(f, 0, SEEK_SET);
  const size_t want = static_cast<size_t>(size > 0 ? size : 0);
  std::unique_ptr<char[]> block(new char[want ? want : 1]);
  char* const data = block.get();
  size_t got = std::fread(data, 1, want, f);
  std::fclose(f);
  size_t fields = 0;
  const char* end = data + got;
  for (const char* p = data; p < end;) {
    const char* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
    const char* lineEnd = lf ? lf + 1 : end;
    for (const char* q = p; q < lineEnd;) {
      const char* tab = static_cast<const char*>(std::memchr(q, '\t', static_cast<size_t>(lineEnd - q)));
      ++fields;
      q = tab ? tab + 1 : lineEnd;
    }
    p = lineEnd;
  }
  return fields;
}

// The catalogue every load benchmark uses for a size, natively and under Wine alike: up to
// 1,000 categories (one for ten recipes below that), up to 5 levels deep.
inline SyntheticOptions LoadCatalogueOptions(uint32_t recipes, SyntheticOrder order) {
  SyntheticOptions o;
  o.recipes = recipes;
  o.categories = std::min<uint32_t>(1000, std::max<uint32_t>(10, recipes / 10));
  o.maxDepth = 5;
  o.order = order;
  return o;
}

// A wide tree, as collections gathered from many sources have: most of the categories are
// first-level ones ("Desserts12"), and the lines come in no order.
inline SyntheticOptions WideCatalogueOptions(uint32_t recipes) {
  SyntheticOptions o = LoadCatalogueOptions(recipes, SyntheticOrder::Shuffled);
  o.firstLevel = o.categories * 575 / 1000;
  return o;
}

// Resident memory of this process, in bytes: now and its peak (Linux VmRSS and VmHWM; Windows
// working set and peak working set, which Wine takes from the same numbers).
struct Resident {
  double now = 0, peak = 0;
  bool known = false;
};

inline Resident ResidentMemory() {
  Resident r;
#ifdef _WIN32
  PROCESS_MEMORY_COUNTERS pmc;
  std::memset(&pmc, 0, sizeof pmc);
  pmc.cb = sizeof pmc;
  if (GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc)) {
    r.now = static_cast<double>(pmc.WorkingSetSize);
    r.peak = static_cast<double>(pmc.PeakWorkingSetSize);
    r.known = true;
  }
#else
  FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return r;
  char line[256];
  int found = 0;
  while (std::fgets(line, sizeof line, f)) {
    unsigned long long kb = 0;
    if (std::sscanf(line, "VmRSS: %llu", &kb) == 1) {
      r.now = static_cast<double>(kb) * 1024;
      ++found;
    } else if (std::sscanf(line, "VmHWM: %llu", &kb) == 1) {
      r.peak = static_cast<double>(kb) * 1024;
      ++found;
    }
  }
  std::fclose(f);
  r.known = found == 2;
#endif
  return r;
}

// Hands the heap's free pages back to the system (glibc), so that the resident size is what
// is in use: a process that allocated and freed a lot keeps those pages otherwise, and a
// later allocation reuses them unseen.
inline void ReturnFreedHeap() {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}

// Starts the peak over from the present size, so that a peak read later belongs to what ran
// since (Linux: clear_refs). Hands freed heap back first. False where the platform keeps the
// peak of the whole process.
inline bool ResetResidentPeak() {
  ReturnFreedHeap();
#ifdef _WIN32
  return false;
#else
  FILE* f = std::fopen("/proc/self/clear_refs", "w");
  if (!f) return false;
  bool ok = std::fputs("5", f) >= 0;
  return std::fclose(f) == 0 && ok;
#endif
}

}  // namespace bench

#endif

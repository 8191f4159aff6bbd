// gencat: writes a large made-up catalogue (Gourmix.Idx and Gourmix.Dat) for benchmarks and
// for trying the program on big files.
//
//   gencat [--recipes N] [--categories N] [--depth N] [--wide N] [--order grouped|shuffled]
//          [--seed N] [--out FOLDER]
//
// The same options always give the same bytes. The folder is created when missing.
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "catalogue/synthetic_catalogue.h"

namespace {

void Usage(FILE* to) {
  std::fprintf(to,
               "usage: gencat [options]\n"
               "  --recipes N      number of recipes (default 100000)\n"
               "  --categories N   number of categories below the root (default 1000)\n"
               "  --depth N        most levels below the root, 1..%u (default 5)\n"
               "  --wide N         make N of the categories first-level ones (\"Desserts12\"):\n"
               "                   a wide tree (default 0: the tree grows at random)\n"
               "  --order ORDER    grouped (by category, as the editor saves) or shuffled\n"
               "                   (default grouped)\n"
               "  --seed N         seed of the generator (default 1)\n"
               "  --out FOLDER     where to write Gourmix.Idx and Gourmix.Dat (default .)\n",
               kSyntheticMaxDepth);
}

bool ParseNumber(const char* text, unsigned long long max, unsigned long long* value) {
  if (!text || *text < '0' || *text > '9') return false;
  char* end = nullptr;
  errno = 0;
  unsigned long long v = std::strtoull(text, &end, 10);
  if (errno != 0 || *end != '\0' || v > max) return false;
  *value = v;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  SyntheticOptions options;
  std::string out = ".";
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    std::string value;
    bool hasValue = false;
    const size_t eq = arg.find('=');
    if (arg.compare(0, 2, "--") == 0 && eq != std::string::npos) {
      value = arg.substr(eq + 1);
      arg.resize(eq);
      hasValue = true;
    }
    if (arg == "--help" || arg == "-h") {
      Usage(stdout);
      return 0;
    }
    if (!hasValue) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "gencat: %s needs a value\n", arg.c_str());
        Usage(stderr);
        return 2;
      }
      value = argv[++i];
    }
    unsigned long long n = 0;
    bool ok = true;
    if (arg == "--recipes") {
      ok = ParseNumber(value.c_str(), UINT32_MAX, &n);
      options.recipes = static_cast<uint32_t>(n);
    } else if (arg == "--categories") {
      ok = ParseNumber(value.c_str(), UINT32_MAX, &n);
      options.categories = static_cast<uint32_t>(n);
    } else if (arg == "--depth") {
      ok = ParseNumber(value.c_str(), UINT32_MAX, &n);
      options.maxDepth = static_cast<uint32_t>(n);
    } else if (arg == "--wide") {
      ok = ParseNumber(value.c_str(), UINT32_MAX, &n);
      options.firstLevel = static_cast<uint32_t>(n);
    } else if (arg == "--seed") {
      ok = ParseNumber(value.c_str(), UINT64_MAX, &n);
      options.seed = n;
    } else if (arg == "--order") {
      if (value == "grouped") {
        options.order = SyntheticOrder::Grouped;
      } else if (value == "shuffled") {
        options.order = SyntheticOrder::Shuffled;
      } else {
        ok = false;
      }
    } else if (arg == "--out") {
      out = value;
    } else {
      std::fprintf(stderr, "gencat: unknown option %s\n", arg.c_str());
      Usage(stderr);
      return 2;
    }
    if (!ok) {
      std::fprintf(stderr, "gencat: bad value for %s: %s\n", arg.c_str(), value.c_str());
      return 2;
    }
  }
  if (const char* problem = SyntheticOptionsProblem(options)) {
    std::fprintf(stderr, "gencat: %s\n", problem);
    return 2;
  }
  std::error_code ec;
  std::filesystem::create_directories(out, ec);
  if (ec) {
    std::fprintf(stderr, "gencat: cannot create %s: %s\n", out.c_str(), ec.message().c_str());
    return 1;
  }

  const auto start = std::chrono::steady_clock::now();
  SyntheticSummary summary;
  const SyntheticStatus status = WriteSyntheticCatalogue(options, out.c_str(), &summary);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  switch (status) {
    case SyntheticStatus::Ok:
      break;
    case SyntheticStatus::TooLarge:
      std::fprintf(stderr, "gencat: the recipe base would pass 4 GiB; use fewer recipes\n");
      return 1;
    case SyntheticStatus::CannotWrite:
      std::fprintf(stderr, "gencat: cannot write the catalogue into %s\n", out.c_str());
      return 1;
    case SyntheticStatus::BadOptions:
      std::fprintf(stderr, "gencat: bad options\n");
      return 2;
  }
  std::printf("gencat: %lu recipes, %lu categories (deepest %lu levels), %s order, seed %llu\n",
              static_cast<unsigned long>(summary.recipes),
              static_cast<unsigned long>(summary.categories),
              static_cast<unsigned long>(summary.deepest),
              options.order == SyntheticOrder::Grouped ? "grouped" : "shuffled",
              static_cast<unsigned long long>(options.seed));
  std::printf("gencat: %s: Gourmix.Idx %.0f bytes, Gourmix.Dat %.0f bytes, longest text %lu bytes\n",
              out.c_str(), static_cast<double>(summary.indexBytes),
              static_cast<double>(summary.dataBytes),
              static_cast<unsigned long>(summary.longestText));
  std::printf("gencat: generated and written in %.3f s\n", seconds);
  return 0;
}

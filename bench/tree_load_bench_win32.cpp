// Index load into the real tree control under Wine: the category tree mirrored into a
// SysTreeView32 styled as the main window's, against the floor of reading the file and cutting
// it at TABs in the same process; the same load into the portable tree alone; the catalogue
// load as the main window runs it (gauge shown); the category editor's save; and the memory
// a load of the largest catalogue keeps. Prints figure lines (bench/bench_figures.h).
//
// Usage: tree_load_bench_win32 [--tiny] [--runs N] [--recipes N]...   (needs an X display)
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_figures.h"
#include "catalogue/gauge_win32.h"
#include "catalogue/load_win32.h"
#include "catalogue/recipe_table.h"
#include "catalogue/synthetic_catalogue.h"
#include "categories/tree_view_win32.h"
#include "resources/resource.h"

namespace {

using bench::Clock;
using bench::Ms;

const char kOwnerClass[] = "SaucelinsBenchTreeOwner";
TreeViewHolder* g_holder = nullptr;

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NOTIFY && g_holder) g_holder->HandleNotify(reinterpret_cast<NMHDR*>(lParam));
  return DefWindowProcA(window, message, wParam, lParam);
}

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// A window on screen holding a tree control with the main window's styles, and the category
// tree mirrored into it. The table must be released before this goes: entries name its nodes.
class ShownTree {
 public:
  ShownTree() {
    owner_ = CreateWindowExA(0, kOwnerClass, "Saucelins", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                             420, 560, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    control_ = CreateWindowExA(WS_EX_CLIENTEDGE, WC_TREEVIEWA, "",
                               WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | TVS_HASBUTTONS |
                                   TVS_HASLINES | TVS_LINESATROOT | TVS_DISABLEDRAGDROP |
                                   TVS_SHOWSELALWAYS,
                               8, 8, 390, 500, owner_, reinterpret_cast<HMENU>(IDC_TREE),
                               GetModuleHandleA(nullptr), nullptr);
    if (!owner_ || !control_) {
      std::fprintf(stderr, "no tree control (error %lu)\n", GetLastError());
      std::exit(1);
    }
    holder_.reset(new TreeViewHolder(tree_, control_));
    g_holder = holder_.get();
    Pump();
  }
  ~ShownTree() {
    g_holder = nullptr;
    holder_.reset();
    DestroyWindow(owner_);
    Pump();
  }
  CategoryTree& Tree() { return tree_; }
  HWND Owner() const { return owner_; }
  // Until the control has painted what it was given.
  void Settle() {
    UpdateWindow(owner_);
    Pump();
  }

 private:
  HWND owner_ = nullptr, control_ = nullptr;
  CategoryTree tree_;
  std::unique_ptr<TreeViewHolder> holder_;
};

void Expect(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "FAILED: %s\n", what);
    std::exit(1);
  }
}

void Generate(const SyntheticOptions& options) {
  Expect(WriteSyntheticCatalogue(options, ".", nullptr) == SyntheticStatus::Ok,
         "the generator wrote the catalogue");
}

void Generate(uint32_t recipes, SyntheticOrder order) { Generate(bench::LoadCatalogueOptions(recipes, order)); }

// Wall time of one call, in ms.
double Timed(const std::function<void()>& f) {
  const Clock::time_point t0 = Clock::now();
  f();
  return Ms(Clock::now() - t0);
}

struct OrderFigures {
  double floor, shown, portable;
};

// `runs` rounds of: the floor, a load into the shown tree (until painted), a load into the
// portable tree. Returns the medians.
OrderFigures MeasureLoads(uint32_t recipes, int runs) {
  std::vector<double> floor, shown, portable;
  for (int i = 0; i < runs; ++i) {
    volatile size_t fields = 0;
    floor.push_back(Timed([&] { fields = bench::ReadAndSplit(kIndexFileName); }));
    Expect(fields >= 8ull * recipes, "the floor read every field");
    {
      ShownTree view;
      uint32_t n = 0;
      // As the program loads: into the model, then shown whole.
      shown.push_back(Timed([&] {
        g_holder->Detach();
        n = LoadIndex(view.Tree());
        g_holder->Reattach();
        view.Settle();
      }));
      Expect(n == recipes, "every recipe loaded into the tree control");
      ReleaseCatalogue();
    }
    {
      CategoryTree tree;
      uint32_t n = 0;
      portable.push_back(Timed([&] { n = LoadIndex(tree); }));
      Expect(n == recipes, "every recipe loaded into the portable tree");
      ReleaseCatalogue();
    }
  }
  return {bench::Median(floor), bench::Median(shown), bench::Median(portable)};
}

// Peak working set of the process once the catalogue is in the tree control, and what the
// load added per recipe. Runs first, before any larger allocation could set the peak.
void MeasureMemory(uint32_t recipes) {
  Generate(recipes, SyntheticOrder::Grouped);
  ShownTree view;
  const bench::Resident before = bench::ResidentMemory();
  Expect(LoadIndex(view.Tree()) == recipes, "memory load");
  view.Settle();
  const bench::Resident after = bench::ResidentMemory();
  ReleaseCatalogue();
  if (!before.known || !after.known) {
    std::fprintf(stderr, "no working-set figures from GetProcessMemoryInfo\n");
    return;
  }
  bench::Figure("peak working set after the load, tree view (Wine)", recipes, 1,
                after.peak / 1048576.0, -1, "-", "MB");
  bench::Figure("working-set growth per recipe, tree view (Wine)", recipes, 1,
                (after.now - before.now) / recipes, -1, "-", "B/recipe");
}

// The category editor's save, with the gauge over the window, of what was just loaded.
void MeasureSave(uint32_t recipes, int runs) {
  ShownTree view;
  Expect(LoadIndex(view.Tree()) == recipes, "load before saving");
  SetGaugeRange(static_cast<int32_t>(recipes));
  std::vector<double> save;
  for (int i = 0; i < runs; ++i) {
    int ok = 0;
    save.push_back(Timed([&] { ok = SaveIndex(view.Tree(), view.Owner()); }));
    Expect(ok == 1, "save");
  }
  ReleaseCatalogue();
  bench::Figure("index save, SaveIndex with the gauge (Wine)", recipes, save.size(),
                bench::Median(save), -1, "-");
}

// The whole load as the main window runs it: measure the file, gauge, parse, sort, total.
void MeasureWindowLoad(uint32_t recipes, int runs) {
  std::vector<double> load;
  for (int i = 0; i < runs; ++i) {
    ShownTree view;
    int rc = -1;
    load.push_back(Timed([&] {
      rc = LoadCatalogue(view.Owner(), view.Tree());
      view.Settle();
    }));
    Expect(rc == 0 && RecipeCount() == recipes, "catalogue load with the gauge");
    ReleaseCatalogue();
  }
  bench::Figure("catalogue load with the gauge, tree view (Wine)", recipes, load.size(),
                bench::Median(load), -1, "1000");
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<uint32_t> sizes;
  bool tiny = false;
  int runs = 5;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--tiny")) {
      tiny = true;
    } else if (!std::strcmp(argv[i], "--recipes") && i + 1 < argc) {
      sizes.push_back(static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10)));
    } else if (!std::strcmp(argv[i], "--runs") && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else {
      std::fprintf(stderr, "usage: %s [--tiny] [--runs N] [--recipes N]...\n", argv[0]);
      return 2;
    }
  }
  if (sizes.empty()) sizes = tiny ? std::vector<uint32_t>{200, 2000} : std::vector<uint32_t>{1000, 10000, 100000};
  if (tiny) runs = std::min(runs, 3);
  const uint32_t largest = *std::max_element(sizes.begin(), sizes.end());

  InitCommonControls();
  InstallGaugeWindow();
  WNDCLASSA wc = {};
  wc.lpfnWndProc = OwnerProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kOwnerClass;
  Expect(RegisterClassA(&wc) != 0, "owner window class");

  // A folder of its own, so the catalogue files of a run never meet anybody's.
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string folder = std::string(temp) + "saucelins-tree-bench-" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(folder.c_str(), nullptr);
  Expect(SetCurrentDirectoryA(folder.c_str()) != 0, "work folder");

  MeasureMemory(largest);
  for (uint32_t recipes : sizes) {
    const char* goal = "1000";
    OrderFigures by[3];
    for (int o = 0; o < 3; ++o) {
      if (o == 2) {
        Generate(bench::WideCatalogueOptions(recipes));
      } else {
        Generate(recipes, o ? SyntheticOrder::Shuffled : SyntheticOrder::Grouped);
      }
      by[o] = MeasureLoads(recipes, runs);
      static const char* const kOrders[3] = {"grouped", "shuffled", "wide shuffled"};
      const char* order = kOrders[o];
      const std::string shown = std::string("index load into the tree view (Wine), ") + order;
      const std::string portable = std::string("index load, portable tree (Wine), ") + order;
      bench::Figure(shown.c_str(), recipes, runs, by[o].shown, by[o].floor, goal);
      bench::Figure(portable.c_str(), recipes, runs, by[o].portable, by[o].floor, "-");
    }
    bench::Figure("index load into the tree view (Wine), shuffled vs grouped", recipes, runs,
                  by[1].shown, by[0].shown, "-");
    // A shuffled index is on disk now; the program always meets the grouped one after a save.
    if (recipes == largest) {
      Generate(recipes, SyntheticOrder::Grouped);
      MeasureWindowLoad(recipes, runs);
      MeasureSave(recipes, runs);
    }
  }

  for (const char* f : {kIndexFileName, kIndexBackupName, "Gourmix.Dat"}) DeleteFileA(f);
  SetCurrentDirectoryA(temp);
  RemoveDirectoryA(folder.c_str());
  return 0;
}

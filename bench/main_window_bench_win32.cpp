// Speed of browsing in the real main window on a large catalogue: filling the recipe list
// from the root, selecting a recipe (text fetch and memo probe against a store of 10,000
// memos), one keystroke in the search field, and showing the recipe list tab after the root
// was chosen in the tree. Prints its figures and the goal of each, and the same as figure
// lines (bench/bench_figures.h).
//
// Usage: main_window_bench_win32 [--tiny] [--recipes N]   (under Wine: needs an X display)
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/main_window_win32.h"
#include "bench/bench_figures.h"
#include "bench/bench_win32.h"
#include "catalogue/catalogue.h"
#include "catalogue/recipe_table.h"
#include "catalogue/synthetic_catalogue.h"
#include "categories/history_win32.h"
#include "resources/resource.h"
#include "vlr/memo.h"

namespace {

using bench::Now;
using bench::Pump;
using bench::Silent;

struct Stats {
  std::vector<double> ms;   // wall clock
  std::vector<double> cpu;  // this process's processor time
  void Measure(const std::function<void()>& f);
  // The process clock ticks coarsely, so its time is given as the mean over every sample.
  double Cpu() {
    double sum = 0;
    for (double c : cpu) sum += c;
    return cpu.empty() ? 0 : sum / static_cast<double>(cpu.size());
  }
  double Quantile(double q) {
    if (ms.empty()) return 0;
    std::sort(ms.begin(), ms.end());
    return ms[static_cast<size_t>(q * static_cast<double>(ms.size() - 1))];
  }
  double Max() { return ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end()); }
};

double Time(const std::function<void()>& f) {
  const double t0 = Now();
  f();
  return Now() - t0;
}

void Stats::Measure(const std::function<void()>& f) {
  const double c0 = bench::CpuMs(), t0 = Now();
  f();
  ms.push_back(Now() - t0);
  cpu.push_back(bench::CpuMs() - c0);
}

// Pseudo-random and repeatable, so two runs pick the same recipes.
uint32_t g_seed = 12345;
uint32_t Next(uint32_t below) {
  g_seed = g_seed * 1103515245u + 12345u;
  return (g_seed >> 8) % below;
}

void Line(const char* what, double wall, double cpu) {
  if (cpu >= 0) {
    std::printf("  %-58s %9.3f ms  cpu %8.1f ms\n", what, wall, cpu);
  } else {
    std::printf("  %-58s %9.3f ms\n", what, wall);
  }
}

uint32_t g_recipes = 0;  // the size every figure line gives

// `baseline` (ms, negative for none) is the floor the figure is compared with.
// `ratio` (0: none) bounds the figure at that many times the baseline as well.
int Report(const char* what, Stats& s, double goal, double baseline = -1, double ratio = 0) {
  const double median = s.Quantile(0.5);
  const bool ok = median < goal && (ratio == 0 || median < ratio * baseline);
  char goalText[48];
  if (ratio > 0) {
    std::snprintf(goalText, sizeof goalText, "%gx,%g", ratio, goal);
  } else {
    std::snprintf(goalText, sizeof goalText, "%g", goal);
  }
  bench::Figure((std::string(what) + " (Wine)").c_str(), g_recipes, s.ms.size(), median, baseline,
                goalText);
  std::printf("  %-58s %9.3f ms  cpu %8.1f ms  slowest %9.3f ms  (goal < %g ms) %s\n", what, median,
              s.Cpu(), s.Max(), goal, ok ? "ok" : "OVER");
  return ok ? 0 : 1;
}

// The floor of any fill of the recipe list: a bare list box with its styles given every title,
// painting suspended and storage sized first, and nothing else (no item data, no scan).
HWND BareListBox(HWND window) {
  return CreateWindowExA(0, "LISTBOX", "", WS_POPUP | WS_VISIBLE | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT |
                         WS_VSCROLL | WS_BORDER,
                         0, 0, 240, 320, window, nullptr, GetModuleHandleA(nullptr), nullptr);
}

void FillBare(HWND box, HWND window) {
  const RecipeEntry* entries = RecipeEntries();
  const uint32_t count = RecipeCount();
  SendMessageA(box, WM_SETREDRAW, FALSE, 0);
  SendMessageA(box, LB_RESETCONTENT, 0, 0);
  SendMessageA(box, LB_INITSTORAGE, count, static_cast<LPARAM>(count) * 32);
  for (uint32_t i = 0; i < count; ++i)
    SendMessageA(box, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entries[i].title));
  SendMessageA(box, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(box, nullptr, TRUE);
  Pump(window);
}

}  // namespace

int main(int argc, char** argv) {
  uint32_t recipes = 100000, memos = 10000;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--tiny")) {
      recipes = 2000;
      memos = 200;
    } else if (!std::strcmp(argv[i], "--recipes") && i + 1 < argc) {
      recipes = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
      memos = std::min<uint32_t>(10000, recipes);
    }
  }
  g_recipes = recipes;
  SetPriorityClass(GetCurrentProcess(), NORMAL_PRIORITY_CLASS);
  InitCommonControls();
  SetBeepForTests(Silent);

  char dir[MAX_PATH];
  if (!bench::EnterTempFolder("smb", dir)) {
    std::fprintf(stderr, "cannot make a temporary folder\n");
    return 1;
  }

  SyntheticOptions options;
  options.recipes = recipes;
  options.categories = std::max<uint32_t>(10, recipes / 100);
  SyntheticSummary summary;
  if (WriteSyntheticCatalogue(options, ".", &summary) != SyntheticStatus::Ok) {
    std::fprintf(stderr, "cannot write the catalogue in %s\n", dir);
    return 1;
  }
  std::printf("Catalogue: %u recipes, %u categories, depth %u, index %llu bytes\n", summary.recipes,
              summary.categories, summary.deepest, static_cast<unsigned long long>(summary.indexBytes));

  // The window as the program opens it, loading on its own once it is up.
  double t0 = Now();
  HWND window = bench::OpenMainWindow();
  if (!window) return 1;
  char title[256] = {}, loaded[256] = {};
  LoadStringA(GetModuleHandleA(nullptr), IDS_MAIN_TITLE, loaded, sizeof loaded);
  while (std::strcmp(title, loaded) != 0 && IsWindowVisible(window) && Now() - t0 < 120000) {
    Pump(window);
    GetWindowTextA(window, title, sizeof title);
    Sleep(1);
  }
  if (RecipeCount() != recipes) {
    std::fprintf(stderr, "loaded %u recipes instead of %u\n", RecipeCount(), recipes);
    return 1;
  }
  const double startup = Now() - t0;
  std::printf("Window created and catalogue loaded: %.0f ms\n", startup);
  bench::Figure("start-up in the process: main window shown, catalogue loaded, tree filled (Wine)",
                recipes, 1, startup, -1, "500");

  // The memo store: one recipe in ten has a memo, spread over the whole table.
  const double tm = Time([&] {
    RecipeEntry* e = RecipeEntries();
    for (uint32_t i = 0; i < memos; ++i) {
      const uint32_t k = static_cast<uint32_t>(static_cast<uint64_t>(i) * recipes / memos);
      WriteMemo(MemoStoreName, e[k].recipeId, "Un peu moins de sel, et servir bien chaud.", 0);
    }
  });
  std::printf("Memo store filled with %u memos: %.0f ms\n\n", memos, tm);

  HWND list = GetDlgItem(window, IDC_RECIPE_LIST);
  HWND history = GetDlgItem(window, IDC_HISTORY);
  HWND treeControl = GetDlgItem(window, IDC_TREE);
  CategoryTree& tree = MainCategoryTree();
  int over = 0;

  // Showing the recipe list tab after choosing the root: the tree first leaves the root so
  // that choosing it again is a change, then the tab refills the whole list.
  Stats tab;
  for (int run = 0; run < 5; ++run) {
    SendMessageA(window, WM_COMMAND, IDM_CATEGORIES_TAB, 0);
    Pump(window);
    HTREEITEM root = TreeView_GetRoot(treeControl);
    TreeView_SelectItem(treeControl, TreeView_GetChild(treeControl, root));
    TreeView_SelectItem(treeControl, root);
    Pump(window);
    tab.Measure([&] {
      SendMessageA(window, WM_COMMAND, IDM_RECIPES_TAB, 0);
      Pump(window);
    });
  }
  if (static_cast<uint32_t>(SendMessageA(list, LB_GETCOUNT, 0, 0)) != recipes) {
    std::fprintf(stderr, "the list does not hold every recipe\n");
    return 1;
  }

  // Filling the list from the root, by itself. The floor is measured in turn with the fills, so that a busy spell of the machine weighs
  // on both alike.
  Stats fillTree, fillHistory, floor;
  tree.Select(tree.Root());
  HWND bare = BareListBox(window);
  for (int run = 0; run < 5; ++run) {
    floor.Measure([&] { FillBare(bare, window); });
    fillTree.Measure([&] {
      ListFromTree(tree, history, list, EmptyRecipeList, AppendRecipe);
      Pump(window);
    });
    fillHistory.Measure([&] {
      ListFromHistory(history, list, tree);
      Pump(window);
    });
  }
  DestroyWindow(bare);
  Pump(window);

  // Selecting a recipe as a click does: the text and the memo probe.
  Stats select, fetchProbe, probe;
  RecipeEntry* entries = RecipeEntries();
  for (int i = 0, n = recipes >= 10000 ? 200 : 20; i < n; ++i) {
    const uint32_t k = Next(recipes);
    SendMessageA(list, LB_SETCURSEL, k, 0);
    Pump(window);
    select.Measure([&] {
      SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_RECIPE_LIST, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
      Pump(window);
    });
    fetchProbe.Measure([&] {
      FetchRecipeText(&entries[k]);
      ReadMemo(MemoStoreName, entries[k].recipeId, nullptr, nullptr);
    });
    probe.Measure([&] { ReadMemo(MemoStoreName, entries[k].recipeId, nullptr, nullptr); });
  }

  // The floor of a keystroke: a bare list box given every title finds the prefix with its own
  // search, and a bare edit control like the text pane (same styles, size and font) is given
  // the found recipe's text. Nothing else: no folding, no memo probe.
  HWND pane = GetDlgItem(window, IDC_RECIPE_TEXT);
  RECT paneRect;
  GetWindowRect(pane, &paneRect);
  HWND bareList = CreateWindowExA(0, "LISTBOX", "", WS_POPUP | WS_VISIBLE | LBS_NOTIFY |
                                  LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_BORDER,
                                  0, 0, 240, 320, window, nullptr, GetModuleHandleA(nullptr), nullptr);
  const DWORD paneStyle = static_cast<DWORD>(GetWindowLongPtrA(pane, GWL_STYLE));
  HWND bareEdit = CreateWindowExA(0, "EDIT", "", (paneStyle & ~WS_CHILD) | WS_POPUP | WS_VISIBLE,
                                  260, 0, paneRect.right - paneRect.left, paneRect.bottom - paneRect.top,
                                  window, nullptr, GetModuleHandleA(nullptr), nullptr);
  SendMessageA(bareEdit, WM_SETFONT, SendMessageA(pane, WM_GETFONT, 0, 0), TRUE);
  {
    const RecipeEntry* all = RecipeEntries();
    SendMessageA(bareList, WM_SETREDRAW, FALSE, 0);
    SendMessageA(bareList, LB_INITSTORAGE, RecipeCount(), static_cast<LPARAM>(RecipeCount()) * 32);
    for (uint32_t i = 0; i < RecipeCount(); ++i)
      SendMessageA(bareList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(all[i].title));
    SendMessageA(bareList, WM_SETREDRAW, TRUE, 0);
    Pump(window);
  }

  // Typing titles into the search field, one keystroke at a time, and a prefix no title has.
  Stats key, lookup, miss, keyFloor;
  // Each selection and keystroke repaints the text pane; --tiny runs fewer.
  const int titlesTyped = recipes >= 10000 ? 40 : 4;
  for (int i = 0; i < titlesTyped; ++i) {
    const std::string t = entries[Next(recipes)].title;
    for (size_t n = 1; n <= std::min<size_t>(t.size(), 12); ++n) {
      const std::string typed = t.substr(0, n);
      key.Measure([&] {
        SetDlgItemTextA(window, IDC_SEARCH, typed.c_str());
        Pump(window);
      });
      lookup.Measure([&] {
        SendMessageA(list, LB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(typed.c_str()));
      });
      keyFloor.Measure([&] {
        const LRESULT at = SendMessageA(bareList, LB_SELECTSTRING, static_cast<WPARAM>(-1),
                                        reinterpret_cast<LPARAM>(typed.c_str()));
        if (at >= 0) SetWindowTextA(bareEdit, FetchRecipeText(&entries[at]));
        Pump(window);
      });
    }
    miss.Measure([&] {
      SetDlgItemTextA(window, IDC_SEARCH, "~~~");
      Pump(window);
    });
  }
  Pump(window);
  DestroyWindow(bareList);
  DestroyWindow(bareEdit);
  Pump(window);

  std::printf("Figures, wall clock (median unless said), with this process's mean processor time:\n");
  const double listFloor = floor.Quantile(0.5);
  Line("floor: a bare list box given every title", listFloor, floor.Cpu());
  over += Report("fill the recipe list from the root", fillTree, 300, listFloor, 1.2);
  Line("  same, from the history's root entry", fillHistory.Quantile(0.5), fillHistory.Cpu());
  over += Report("select a recipe: text fetch + memo probe (10,000 memos)", fetchProbe, 5);
  Line("  of which the memo probe", probe.Quantile(0.5), probe.Cpu());
  Line("  whole selection, recipe text shown in the pane", select.Quantile(0.5), select.Cpu());
  Line("  whole selection, 99th percentile", select.Quantile(0.99), -1);
  Line("floor: bare LB_SELECTSTRING + bare edit SetWindowTextA", keyFloor.Quantile(0.5), keyFloor.Cpu());
  over += Report("one search keystroke, list selection and recipe shown", key, 20,
                 keyFloor.Quantile(0.5), 1.2);
  Line("  99th percentile", key.Quantile(0.99), -1);
  Line("  of which the list lookup (LB_SELECTSTRING)", lookup.Quantile(0.5), lookup.Cpu());
  Line("  keystroke with no match (beep)", miss.Quantile(0.5), miss.Cpu());
  over += Report("show the recipe list tab after choosing the root", tab, 500, listFloor);
  bench::Figure("fill the recipe list from the history's root entry (Wine)", recipes,
                fillHistory.ms.size(), fillHistory.Quantile(0.5), -1, "-");
  bench::Figure("select a recipe, whole: text shown in the pane (Wine)", recipes, select.ms.size(),
                select.Quantile(0.5), -1, "-");
  bench::Figure("search: the list lookup alone, LB_SELECTSTRING (Wine)", recipes, lookup.ms.size(),
                lookup.Quantile(0.5), -1, "-");
  std::printf("%s\n", over ? "Some figures are over their goal." : "Every figure is within its goal.");

  DestroyWindow(window);
  Pump(nullptr);
  for (const char* f : {"Gourmix.Idx", "Gourmix.Dat", "Gourmix.mem"}) DeleteFileA(f);
  bench::LeaveTempFolder(dir);
  return 0;
}

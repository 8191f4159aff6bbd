// What the user waits for, on the real program: from starting saucelins.exe to its main window
// shown with the catalogue loaded and the tree filled (the window takes its title then), and
// from the editor command to the category editor shown with its tree filled. Measured on a
// small catalogue (the floor: starting the program and Wine at all), on 100,000 recipes saved
// by the editor (grouped), and on 100,000 shuffled recipes in a wide tree (hundreds of
// first-level categories), each alone and with a processor-bound process running beside it.
// Prints its figures and the same as figure lines (bench/bench_figures.h).
//
// Usage: startup_bench_win32 [--tiny] [--recipes N]   (under Wine: needs an X display; finds
// saucelins.exe beside itself)
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_figures.h"
#include "bench/bench_win32.h"
#include "catalogue/synthetic_catalogue.h"
#include "resources/resource.h"

namespace {

using bench::Now;

std::string Text(UINT id) {
  char buf[256] = {};
  LoadStringA(GetModuleHandleA(nullptr), id, buf, sizeof buf);
  return buf;
}

struct Find {
  DWORD pid;
  std::string title;
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND w, LPARAM l) {
  Find* f = reinterpret_cast<Find*>(l);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  if (pid != f->pid) return TRUE;
  char title[256] = {};
  GetWindowTextA(w, title, sizeof title);
  if (f->title == title && IsWindowVisible(w)) {
    f->found = w;
    return FALSE;
  }
  return TRUE;
}

// The process's visible top-level window with that title, waiting up to `limitMs`.
HWND WaitForWindow(DWORD pid, const std::string& title, double limitMs) {
  const double t0 = Now();
  for (;;) {
    Find f = {pid, title, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&f));
    if (f.found) return f.found;
    if (Now() - t0 > limitMs) return nullptr;
    Sleep(1);
  }
}

struct Times {
  double window = -1;  // start to main window loaded
  double editor = -1;  // editor command to editor loaded
};

Times StartOnce(const std::string& exe, const std::string& folder) {
  Times t;
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  std::string cmd = "\"" + exe + "\"";
  const double t0 = Now();
  if (!CreateProcessA(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si,
                      &pi)) {
    std::fprintf(stderr, "cannot start %s (error %lu)\n", exe.c_str(), GetLastError());
    return t;
  }
  HWND main = WaitForWindow(pi.dwProcessId, Text(IDS_MAIN_TITLE), 60000);
  if (main) {
    t.window = Now() - t0;
    // The window processes messages again once it is loaded; the editor opens from its
    // button, loads into its own tree, and answers a question about that tree only when the
    // load is over.
    const double t1 = Now();
    PostMessageA(main, WM_COMMAND, IDC_EDITOR_OPEN, 0);
    HWND editor = WaitForWindow(pi.dwProcessId, Text(IDS_EDITOR_TITLE), 60000);
    for (DWORD_PTR count = 0; editor && count == 0 && Now() - t1 < 60000;) {
      if (!SendMessageTimeoutA(GetDlgItem(editor, IDC_EDITOR_TREE), TVM_GETCOUNT, 0, 0, SMTO_NORMAL,
                               60000, &count))
        break;
      if (count == 0) Sleep(1);
      else t.editor = Now() - t1;
    }
  }
  TerminateProcess(pi.hProcess, 0);
  WaitForSingleObject(pi.hProcess, 10000);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return t;
}

bool MakeCatalogue(const std::string& folder, const SyntheticOptions& o) {
  CreateDirectoryA(folder.c_str(), nullptr);
  SyntheticSummary sum;
  if (WriteSyntheticCatalogue(o, folder.c_str(), &sum) != SyntheticStatus::Ok) return false;
  std::printf("  %s: %u recipes, %u categories, index %llu bytes\n", folder.c_str(), sum.recipes,
              sum.categories, static_cast<unsigned long long>(sum.indexBytes));
  return true;
}

void RemoveCatalogue(const std::string& folder) {
  for (const char* f : {"Gourmix.Idx", "Gourmix.Dat", "Gourmix.mem", "Gourmix.Bak"})
    DeleteFileA((folder + "\\" + f).c_str());
  RemoveDirectoryA(folder.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  uint32_t recipes = 100000;
  int runs = 3;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--spin")) {
      // The processor-bound neighbour: an ordinary process that never waits.
      for (volatile uint64_t n = 0;; n = n + 1) {
      }
    }
    if (!std::strcmp(argv[i], "--tiny")) {
      recipes = 2000;
      runs = 1;
    } else if (!std::strcmp(argv[i], "--recipes") && i + 1 < argc) {
      recipes = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
    }
  }
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string dir = self;
  dir.resize(dir.find_last_of("\\/") + 1);
  const std::string exe = dir + "saucelins.exe";
  if (GetFileAttributesA(exe.c_str()) == INVALID_FILE_ATTRIBUTES) {
    std::fprintf(stderr, "no %s\n", exe.c_str());
    return 1;
  }

  char tmp[MAX_PATH];
  GetTempPathA(MAX_PATH, tmp);
  const std::string base = std::string(tmp) + "startup_bench." + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(base.c_str(), nullptr);

  struct Catalogue {
    const char* name;
    SyntheticOptions options;
  } catalogues[3];
  catalogues[0].name = "small";
  catalogues[0].options.recipes = 57;
  catalogues[0].options.categories = 20;
  catalogues[1].name = "grouped";
  catalogues[1].options = bench::LoadCatalogueOptions(recipes, SyntheticOrder::Grouped);
  catalogues[2].name = "wide shuffled";
  catalogues[2].options = bench::WideCatalogueOptions(recipes);
  std::printf("Catalogues:\n");
  for (Catalogue& c : catalogues) {
    if (!MakeCatalogue(base + "\\" + c.name, c.options)) {
      std::fprintf(stderr, "cannot write the catalogue %s\n", c.name);
      return 1;
    }
  }

  // A first start that nothing counts: Wine maps its libraries into the cache.
  StartOnce(exe, base + "\\small");

  Times median[2][3];
  for (int busy = 0; busy < 2; ++busy) {
    PROCESS_INFORMATION spinner = {};
    if (busy) {
      STARTUPINFOA si = {};
      si.cb = sizeof si;
      std::string cmd = std::string("\"") + self + "\" --spin";
      if (!CreateProcessA(self, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &spinner)) {
        std::fprintf(stderr, "cannot start the busy neighbour\n");
        return 1;
      }
      Sleep(200);
    }
    for (int c = 0; c < 3; ++c) {
      std::vector<double> window, editor;
      for (int r = 0; r < runs; ++r) {
        const Times t = StartOnce(exe, base + "\\" + catalogues[c].name);
        if (t.window < 0 || t.editor < 0) {
          std::fprintf(stderr, "the program did not show its %s on %s\n",
                       t.window < 0 ? "main window" : "editor", catalogues[c].name);
          return 1;
        }
        window.push_back(t.window);
        editor.push_back(t.editor);
      }
      median[busy][c].window = bench::Median(window);
      median[busy][c].editor = bench::Median(editor);
      std::printf("%-14s %s: start to main window %8.1f ms, editor opening %8.1f ms\n",
                  catalogues[c].name, busy ? "beside a busy process" : "alone                ",
                  median[busy][c].window, median[busy][c].editor);
    }
    if (busy) {
      TerminateProcess(spinner.hProcess, 0);
      WaitForSingleObject(spinner.hProcess, 10000);
      CloseHandle(spinner.hThread);
      CloseHandle(spinner.hProcess);
    }
  }

  const size_t n = static_cast<size_t>(runs);
  const double floor = median[0][0].window;
  bench::Figure("start-up, real program, to the loaded main window: small catalogue (Wine)", 57, n,
                floor, -1, "-");
  bench::Figure("start-up, real program, to the loaded main window: grouped (Wine)", recipes, n,
                median[0][1].window, floor, "500");
  bench::Figure("start-up, real program, to the loaded main window: wide shuffled (Wine)", recipes,
                n, median[0][2].window, floor, "500");
  bench::Figure("start-up, real program: wide shuffled, beside a busy process (Wine)", recipes, n,
                median[1][2].window, median[1][0].window, "1000");
  bench::Figure("editor opening, real program: small catalogue (Wine)", 57, n, median[0][0].editor,
                -1, "-");
  bench::Figure("editor opening, real program: wide shuffled (Wine)", recipes, n,
                median[0][2].editor, median[0][0].editor, "1000");
  bench::Figure("editor opening, real program: wide shuffled, beside a busy process (Wine)", recipes,
                n, median[1][2].editor, median[1][0].editor, "1000");

  for (Catalogue& c : catalogues) RemoveCatalogue(base + "\\" + c.name);
  RemoveDirectoryA(base.c_str());
  return 0;
}

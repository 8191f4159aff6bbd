// Every file and memory call of an index save fails in turn, in each situation a save meets:
// a first save, a save with and without a backup already there, recipes filed at the root, a
// catalogue large enough for the gauge and for several write blocks, an empty catalogue, and
// the temporary files a crash in an earlier save left behind. After each failure the index is
// the previous one byte for byte (or still absent), the backup is the previous backup or the
// previous index, nothing else is left, the table and the gauge are as before, and the same
// save then succeeds. And a save whose process is killed at any moment leaves the previous
// index or the new one, never a mix, and the next save cleans up after it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "catalogue/gauge.h"
#include "catalogue/recipe_table.h"
#include "platform/fileio.h"
#include "platform/temp_folder_test.h"

namespace {

using namespace testfiles;

const char kIndexTemp[] = "Gourmix.Tmp";
const char kBackupTemp[] = "Gourmix.Tbk";

bool Exists(const char* name) { return std::filesystem::exists(name); }

void RemoveAllHere() {
  for (auto& e : std::filesystem::directory_iterator(".")) std::filesystem::remove(e.path());
}

std::string Line(uint32_t id, const std::string& title, const std::string& path) {
  return std::to_string(id) + "\t" + title + "\t0\t" + std::to_string(id * 10) + "\t" +
         std::to_string(id * 10 + 9) + "\t" + path + "\tGourmix.Dat\t0\r\n";
}

// A gauge window that only counts what it is asked to do.
struct GaugeLog {
  int opened = 0, closed = 0, painted = 0;
};
GaugeLog g_gauge;
const GaugeBackend kRecordingGauge = {
    [](WindowRef) {
      ++g_gauge.opened;
      return true;
    },
    [](const char*) {},
    [](int32_t) { ++g_gauge.painted; },
    [] { ++g_gauge.closed; }};

struct Scenario {
  const char* name;
  std::string catalogue;  // what the table holds, as an index
  bool oldIndex;          // an index is on disk when the save starts
  bool oldBackup;         // and a backup from an earlier save
  bool staleTemps;        // an earlier save crashed and left its temporary files
  bool gauge;             // large enough for the save's gauge (500 recipes)
};

std::string ManyRecipes(uint32_t n, const char* prefix) {
  std::string index;
  for (uint32_t i = 0; i < n; ++i) {
    index += Line(1000 + i, std::string(prefix) + " num\xE9ro " + std::to_string((i * 37) % n),
                  "/Cat\xE9gorie " + std::to_string(i % 9) + "/Sous-cat\xE9gorie " +
                      std::to_string(i % 4));
  }
  return index;
}

class IndexSaveFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    fileio::fault::ResetCount();
    ASSERT_TRUE(folder_.Enter());
    SetGaugeBackend(nullptr);
    SetGaugeRange(0);
  }
  void TearDown() override {
    ReleaseCatalogue();
    fileio::fault::ResetCount();
    SetGaugeBackend(nullptr);
    SetGaugeRange(0);
  }

  // The table as list controls see it: where each entry lies and what it holds.
  struct Seen {
    const RecipeEntry* at;
    uint32_t id;
    CategoryNode category;
    std::string title;
  };
  std::vector<Seen> Table() {
    std::vector<Seen> seen;
    for (uint32_t i = 0; i < RecipeCount(); ++i) {
      const RecipeEntry& e = RecipeEntries()[i];
      seen.push_back({&e, e.recipeId, e.category, e.title});
    }
    return seen;
  }
  static bool Same(const std::vector<Seen>& a, const std::vector<Seen>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
      if (a[i].at != b[i].at || a[i].id != b[i].id || a[i].category != b[i].category ||
          a[i].title != b[i].title)
        return false;
    }
    return true;
  }

  TempFolder folder_{"index_save_faults"};
};

TEST_F(IndexSaveFaults, EveryFailingCallLeavesThePreviousIndexOrTheNewOne) {
  const std::string old = "# l'index d'avant\r\n" + Line(9, "Vieux", "/V") + "trop\tcourte\n";
  const std::string previousBackup = "la sauvegarde d'avant\r\n";
  const std::string small = Line(3, "Miel", "/A") + Line(2, "Abricot", "/A/Z") +
                            Line(4, "Brioche", "/B") + Line(1, "Zeste", "/B");
  const std::string atRoot = Line(7, "A la racine", "/") + Line(8, "Aussi", "") +
                             Line(5, "Tarte", "/Desserts") + Line(6, "Tarte", "/Desserts") +
                             Line(10, "Nom de la racine", "Toutes les recettes");
  const Scenario scenarios[] = {
      {"first save", small, false, false, false, false},
      {"index, no backup yet", small, true, false, false, false},
      {"index and backup", small, true, true, false, false},
      {"recipes at the root", atRoot, true, true, false, false},
      {"1200 recipes, gauge", ManyRecipes(1200, "Recette au nom assez long"), true, true, false, true},
      {"empty catalogue", "", true, true, false, false},
      {"after a crash", small, true, true, true, false},
  };
  long total = 0;
  for (const Scenario& s : scenarios) {
    SCOPED_TRACE(s.name);
    RemoveAllHere();
    ReleaseCatalogue();
    CategoryTree tree;
    Put(kIndexFileName, s.catalogue);
    const uint32_t count = s.catalogue.empty() ? 0 : LoadIndex(tree);
    ASSERT_EQ(count == 0, s.catalogue.empty());
    SetGaugeRange(static_cast<int32_t>(count));
    SetGaugeBackend(s.gauge ? &kRecordingGauge : nullptr);

    // What a save that goes through writes.
    ASSERT_EQ(SaveIndex(tree, nullptr), 1);
    const std::string expected = Slurp(kIndexFileName);
    if (s.gauge) {
      ASSERT_GT(expected.size(), 65536u) << "meant to take several write blocks";
    }
    const std::vector<Seen> table = Table();

    long injected = 0;
    for (long failAt = 1;; ++failAt) {
      SCOPED_TRACE(failAt);
      ASSERT_LT(failAt, 1000);
      RemoveAllHere();
      if (s.oldIndex) Put(kIndexFileName, old);
      if (s.oldBackup) Put(kIndexBackupName, previousBackup);
      if (s.staleTemps) {
        Put(kIndexTemp, "la moiti\xE9 d'un index\r\n1\tCoup");
        Put(kBackupTemp, std::string(70000, 'b'));
      }
      g_gauge = GaugeLog();

      fileio::fault::ResetCount();
      fileio::fault::Arm(failAt);
      const int r = SaveIndex(tree, nullptr);
      const bool fired = fileio::fault::Fired();
      fileio::fault::Disarm();

      // The table never moves and is in title order again; the gauge is closed.
      EXPECT_TRUE(Same(Table(), table));
      EXPECT_FALSE(GaugeIsOpen());
      EXPECT_EQ(g_gauge.opened, g_gauge.closed);
      if (s.gauge) { EXPECT_EQ(g_gauge.opened, 1); }

      std::set<std::string> files = FilesHere();
      if (r == 1) {
        EXPECT_EQ(Slurp(kIndexFileName), expected);
        if (s.oldIndex) { EXPECT_EQ(Slurp(kIndexBackupName), old); }
        std::set<std::string> want = {kIndexFileName, kIndexLockName};
        if (s.oldIndex || s.oldBackup) want.insert(kIndexBackupName);
        EXPECT_EQ(files, want) << "a save that succeeded left other files";
      } else {
        EXPECT_TRUE(fired) << "a save failed with no failing call";
        if (s.oldIndex) {
          EXPECT_EQ(Slurp(kIndexFileName), old) << "the previous index was changed";
        } else {
          EXPECT_FALSE(Exists(kIndexFileName)) << "a failed first save left an index";
        }
        if (s.oldBackup) {
          const std::string backup = Slurp(kIndexBackupName);
          EXPECT_TRUE(backup == previousBackup || backup == old) << "the backup was damaged";
        } else if (Exists(kIndexBackupName)) {
          EXPECT_EQ(Slurp(kIndexBackupName), old) << "a backup that is not the previous index";
        }
        // The temporary files of a failed save are gone; only a crash's may still be there.
        files.erase(kIndexFileName);
        files.erase(kIndexBackupName);
        files.erase(kIndexLockName);
        if (s.staleTemps) {
          files.erase(kIndexTemp);
          files.erase(kBackupTemp);
        }
        EXPECT_TRUE(files.empty()) << "a failed save left " << *files.begin();
      }
      if (!fired) {
        EXPECT_EQ(r, 1);
        break;
      }
      ++injected;
      // The disk is still fit for the same save.
      ASSERT_EQ(SaveIndex(tree, nullptr), 1);
      EXPECT_EQ(Slurp(kIndexFileName), expected);
    }
    // Allocations, the opens, writes, flushes and closes of both files, both replaces.
    EXPECT_GE(injected, s.oldIndex ? 12 : 6);
    std::printf("[ faults   ] %-24s %3ld failing calls checked\n", s.name, injected);
    total += injected;
  }
  std::printf("[ faults   ] index save total %ld failing calls checked\n", total);
}

TEST_F(IndexSaveFaults, AProcessKilledAnywhereInASaveLeavesThePreviousIndexOrTheNewOne) {
  const std::string old = ManyRecipes(3000, "Ancienne recette");
  const std::string previousBackup = "la sauvegarde d'avant\r\n";
  CategoryTree tree;
  Put(kIndexFileName, ManyRecipes(8000, "Nouvelle recette"));
  ASSERT_EQ(LoadIndex(tree), 8000u);
  ASSERT_EQ(SaveIndex(tree, nullptr), 1);
  const std::string expected = Slurp(kIndexFileName);

  // Saves in a child process, which the parent kills after `delay` (never, when negative).
  // Returns true when the child was killed before it ended.
  auto saveKilledAfter = [&](std::chrono::microseconds delay) {
    RemoveAllHere();
    Put(kIndexFileName, old);
    Put(kIndexBackupName, previousBackup);
    const pid_t child = fork();
    if (child == 0) _exit(SaveIndex(tree, nullptr) == 1 ? 0 : 1);
    if (delay.count() >= 0) {
      std::this_thread::sleep_for(delay);
      kill(child, SIGKILL);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (WIFEXITED(status)) { EXPECT_EQ(WEXITSTATUS(status), 0) << "the save failed"; }
    return WIFSIGNALED(status);
  };

  // The shortest of three whole saves; the kills are spread over a quarter more than that, so
  // that most land before the new index replaces the old one and some after.
  std::chrono::microseconds whole = std::chrono::microseconds::max();
  for (int i = 0; i < 3; ++i) {
    const auto start = std::chrono::steady_clock::now();
    ASSERT_FALSE(saveKilledAfter(std::chrono::microseconds(-1)));
    whole = std::min(whole, std::chrono::duration_cast<std::chrono::microseconds>(
                                std::chrono::steady_clock::now() - start));
    ASSERT_EQ(Slurp(kIndexFileName), expected);
  }

  // A busy machine can make the saves slower or faster than timed: while too few kills have
  // landed mid-save, more follow, earlier in the save.
  constexpr int kKills = 20;
  int midSave = 0, oldKept = 0, kills = 0;
  for (; kills < kKills || (midSave < kKills / 4 && kills < 4 * kKills); ++kills) {
    SCOPED_TRACE(kills);
    const auto delay = kills < kKills ? whole * 5 * kills / (4 * kKills)
                                      : whole * (kills % kKills) / (2 * kKills);
    if (saveKilledAfter(delay)) ++midSave;
    const std::string index = Slurp(kIndexFileName);
    const bool isOld = index == old;
    if (isOld) ++oldKept;
    EXPECT_TRUE(isOld || index == expected) << "the index is neither the old nor the new one";
    const std::string backup = Slurp(kIndexBackupName);
    EXPECT_TRUE(backup == previousBackup || backup == old) << "the backup was damaged";
    if (!isOld) {
      EXPECT_EQ(backup, old) << "the new index is in place without the old one's backup";
    }
    // What the killed save left behind goes with the next save.
    ASSERT_EQ(SaveIndex(tree, nullptr), 1);
    EXPECT_EQ(Slurp(kIndexFileName), expected);
    EXPECT_EQ(FilesHere(), (std::set<std::string>{kIndexFileName, kIndexBackupName, kIndexLockName}));
  }
  std::printf("[ crashes  ] index save of %zu bytes (%lld us) killed %d times, %d of them "
              "mid-save; the old index was left %d times, the new one %d times\n",
              expected.size(), static_cast<long long>(whole.count()), kills, midSave, oldKept,
              kills - oldKept);
  EXPECT_GE(midSave, kKills / 4) << "the kills came too late to test anything";
}

}  // namespace

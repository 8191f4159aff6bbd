// Telling whether another program saved the index since this one loaded it, and the backup of
// an editing session. The other program runs as a child process doing what a second copy of
// Saucelins, the command-line tool or a text editor does to the file.
#include "catalogue/index_stamp.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

#include <cstdio>
#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "catalogue/recipe_table.h"
#include "platform/fileio.h"
#include "platform/temp_folder_test.h"

namespace {

using namespace testfiles;

TEST(ContentHash, TheSameBytesHashAlikeHoweverTheyAreCutAndAnyChangeShows) {
  std::string bytes;
  // Not a whole number of 8-byte words: the last, partial one is hashed too.
  for (int i = 0; i < 1003; ++i) bytes += static_cast<char>(i * 7 + i / 13);
  const uint64_t whole = StampOfBytes(bytes.data(), bytes.size()).hash;
  for (size_t piece : {1u, 3u, 7u, 8u, 9u, 64u, 999u}) {
    ContentHash h;
    for (size_t at = 0; at < bytes.size(); at += piece)
      h.Add(bytes.data() + at, std::min(piece, bytes.size() - at));
    EXPECT_EQ(h.Digest(), whole) << "pieces of " << piece;
  }
  // A byte less or more, two bytes swapped, one bit anywhere.
  std::vector<std::string> changed = {bytes.substr(0, bytes.size() - 1), bytes + '\0', bytes};
  std::swap(changed.back()[10], changed.back()[11]);
  for (size_t at : {0u, 5u, 500u, 996u, 999u, 1002u}) {
    changed.push_back(bytes);
    changed.back()[at] ^= 1;
  }
  for (size_t i = 0; i < changed.size(); ++i)
    EXPECT_NE(StampOfBytes(changed[i].data(), changed[i].size()).hash, whole) << "change " << i;
}

std::string Line(uint32_t id, const std::string& title, const std::string& path) {
  return std::to_string(id) + "\t" + title + "\t0\t0\t10\t" + path + "\tGourmix.Dat\t0\r\n";
}

const std::string kIndex = "# les recettes de la maison\r\n" + Line(1, "Tarte", "/Desserts") +
                           Line(2, "Soupe", "/Entr\xE9" "es") + Line(3, "Pain", "/");

class GuardedSave : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.Enter());
    SetGaugeBackend(nullptr);
  }
  void TearDown() override { ReleaseCatalogue(); }

  // Runs `work` in a child process, as another program would, and waits for it.
  static void InAnotherProcess(const std::function<void()>& work) {
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
      // Failures recorded before the fork are not the child's.
      const auto* result = ::testing::UnitTest::GetInstance()->current_test_info()->result();
      const int before = result->total_part_count();
      work();
      _exit(result->total_part_count() == before ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the other program failed";
  }
  // The editor loads kIndex afresh and makes its own change: the recipe at the root goes to
  // "/Desserts".
  void LoadAndRefile() {
    ReleaseCatalogue();
    tree_.Clear();
    Put(kIndexFileName, kIndex);
    ASSERT_EQ(LoadIndex(tree_), 3u);
    CategoryNode desserts = CategoryFromPath(tree_, "/Desserts");
    for (uint32_t i = 0; i < RecipeCount(); ++i)
      if (RecipeEntries()[i].recipeId == 3) RecipeEntries()[i].category = desserts;
  }
  SaveOutcome SaveGuarded(IndexBackup backup = IndexBackup::Refresh) {
    SaveOptions o;
    o.backup = backup;
    o.guard = IndexGuard::Unchanged;
    return SaveIndexWith(tree_, nullptr, o, nullptr);
  }

  TempFolder folder_{"index_guard"};
  CategoryTree tree_;
};

TEST_F(GuardedSave, ASaveRefusesAnIndexAnotherProgramChangedAndLeavesItAsThatProgramLeftIt) {
  struct stat loadedAt;
  struct Case {
    const char* name;
    std::function<void()> other;
  } cases[] = {
      {"another copy of the program saved its own filing",
       [] {
         ReleaseCatalogue();
         CategoryTree theirs;
         ASSERT_EQ(LoadIndex(theirs), 3u);
         RecipeEntries()[0].category = CategoryFromPath(theirs, "/Autres");
         ASSERT_EQ(SaveIndex(theirs, nullptr), 1);
       }},
      // Same size, same modification time: only the bytes tell.
      {"one byte changed within the same second",
       [&loadedAt] {
         std::string bytes = Slurp(kIndexFileName);
         bytes[bytes.find("Tarte")] = 't';
         Put(kIndexFileName, bytes);
         struct utimbuf times = {loadedAt.st_atime, loadedAt.st_mtime};
         ASSERT_EQ(utime(kIndexFileName, &times), 0);
       }},
      {"a line added", [] { Put(kIndexFileName, Slurp(kIndexFileName) + Line(4, "Flan", "/")); }},
      {"the index removed", [] { ASSERT_EQ(std::remove(kIndexFileName), 0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_NO_FATAL_FAILURE(LoadAndRefile());
    Put(kIndexBackupName, "la sauvegarde d'avant");
    ASSERT_EQ(stat(kIndexFileName, &loadedAt), 0);
    InAnotherProcess(c.other);
    const std::string theirs = Slurp(kIndexFileName, "<missing>");
    const std::string backup = Slurp(kIndexBackupName);

    EXPECT_EQ(SaveGuarded(), SaveOutcome::ChangedOnDisk);
    EXPECT_EQ(Slurp(kIndexFileName, "<missing>"), theirs);
    EXPECT_EQ(Slurp(kIndexBackupName), backup);
    EXPECT_EQ(FilesHere().size(), theirs == "<missing>" ? 2u : 3u) << "a refused save left a file";
    // Nothing is lost on this side either: a save that does not guard still writes the table.
    ASSERT_EQ(SaveIndex(tree_, nullptr), 1);
    EXPECT_NE(Slurp(kIndexFileName).find("3\tPain\t0\t0\t10\t/Desserts\t"), std::string::npos);
  }
}

// Another program is in the middle of its save: ours waits for it to end, then finds its
// change rather than writing over it.
TEST_F(GuardedSave, ASaveWaitsForAnotherProgramsSaveToEnd) {
  ASSERT_NO_FATAL_FAILURE(LoadAndRefile());
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    fileio::FileLock lock;
    const bool locked = lock.Acquire(kIndexLockName, fileio::FileLock::kExclusive, 0) ==
                        fileio::FileLock::kLocked;
    if (write(ready[1], "x", 1) != 1 || !locked) _exit(1);
    usleep(300 * 1000);  // writing a large index
    Put(kIndexFileName, Slurp(kIndexFileName) + Line(4, "Flan", "/"));
    _exit(0);
  }
  char x;
  ASSERT_EQ(read(ready[0], &x, 1), 1);
  EXPECT_EQ(SaveGuarded(), SaveOutcome::ChangedOnDisk);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_NE(Slurp(kIndexFileName).find("\tFlan\t"), std::string::npos);
  close(ready[0]);
  close(ready[1]);
}

TEST_F(GuardedSave, TheSameBytesWrittenAgainAreNoChangeAndASessionsOwnSavesFollowEachOther) {
  ASSERT_NO_FATAL_FAILURE(LoadAndRefile());
  // Another program rewrote the file with the very bytes it held: nothing of its is lost.
  InAnotherProcess([] { Put(kIndexFileName, Slurp(kIndexFileName)); });
  ASSERT_EQ(SaveGuarded(), SaveOutcome::Saved);
  const std::string first = Slurp(kIndexFileName);
  EXPECT_EQ(Slurp(kIndexBackupName), kIndex);

  // The session's next save replaces what it wrote itself; the backup keeps the index as it
  // was before the first, comment included.
  RecipeEntries()[0].category = CategoryFromPath(tree_, "/Entr\xE9" "es");
  ASSERT_EQ(SaveGuarded(IndexBackup::Keep), SaveOutcome::Saved);
  const std::string second = Slurp(kIndexFileName);
  EXPECT_NE(second, first);
  EXPECT_EQ(Slurp(kIndexBackupName), kIndex);
  // After a save that kept the backup, one that refreshes it makes it the index it replaces.
  ASSERT_EQ(SaveGuarded(), SaveOutcome::Saved);
  EXPECT_EQ(Slurp(kIndexBackupName), second);
  EXPECT_EQ(FilesHere(), (std::set<std::string>{kIndexFileName, kIndexBackupName, kIndexLockName}));
}

}  // namespace

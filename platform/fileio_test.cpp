#include "platform/fileio.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>

#include "platform/temp_folder_test.h"

namespace {

using namespace testfiles;

class FileioTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.Enter());
    fileio::fault::ResetCount();
  }
  void TearDown() override { fileio::fault::ResetCount(); }
  TempFolder folder_{"fileio_test"};
};

TEST_F(FileioTest, ReplaceSwapsContentsAndRenameNoReplaceRefusesExistingTarget) {
  Put("old", "old bytes");
  Put("new", "new bytes");
  Put("other", "other");
  EXPECT_NE(fileio::RenameNoReplace("other", "old"), 0);
  EXPECT_EQ(Slurp("old"), "old bytes");
  EXPECT_TRUE(fileio::Exists("other"));

  ASSERT_EQ(fileio::ReplaceAtomically("new", "old"), 0);
  EXPECT_EQ(Slurp("old"), "new bytes");
  EXPECT_FALSE(fileio::Exists("new"));

  ASSERT_EQ(fileio::RenameNoReplace("other", "fresh"), 0);
  EXPECT_EQ(Slurp("fresh"), "other");
  EXPECT_FALSE(fileio::Exists("other"));
}

TEST_F(FileioTest, ArmedFaultFailsExactlyTheChosenOperationAndDoesNothing) {
  Put("a", "abc");
  fileio::fault::ResetCount();
  fileio::fault::Arm(2);
  FILE* f = fileio::Open("a", "rb");
  ASSERT_NE(f, nullptr);
  char buf[4] = {};
  EXPECT_EQ(fileio::Read(buf, 1, 3, f), 0u);  // the second operation fails
  EXPECT_TRUE(fileio::fault::Fired());
  EXPECT_EQ(fileio::Read(buf, 1, 3, f), 3u);  // and only that one
  EXPECT_EQ(std::string(buf, 3), "abc");
  EXPECT_EQ(fileio::Close(f), 0);
  EXPECT_EQ(fileio::fault::Count(), 4);

  fileio::fault::Arm(1);
  EXPECT_NE(fileio::ReplaceAtomically("a", "b"), 0);
  EXPECT_TRUE(fileio::Exists("a"));
  EXPECT_FALSE(fileio::Exists("b"));
  fileio::fault::Arm(1);
  EXPECT_EQ(fileio::Malloc(16), nullptr);
}

TEST_F(FileioTest, FailedOpenReportsAccessRefusedApartFromMissing) {
  EXPECT_EQ(fileio::Open("missing", "rb"), nullptr);
  EXPECT_EQ(fileio::LastOpenErrno(), ENOENT);
}

// A write that failed inside the stream's buffer (here: a stream opened for reading only) is
// reported by Close, even though the close itself had nothing left to write.
TEST_F(FileioTest, CloseReportsAWriteTheStreamDroppedEarlier) {
  Put("a", "abc");
  FILE* f = fileio::Open("a", "rb");
  ASSERT_NE(f, nullptr);
  fileio::Write("x", 1, 1, f);
  EXPECT_NE(fileio::Close(f), 0);
  f = fileio::Open("a", "rb");
  ASSERT_NE(f, nullptr);
  char buf[3];
  EXPECT_EQ(fileio::Read(buf, 1, 3, f), 3u);
  EXPECT_EQ(fileio::Close(f), 0);
  EXPECT_EQ(Slurp("a"), "abc");
}

TEST_F(FileioTest, CreateNewTakesOnlyAFreeName) {
  Put("taken", "keep me");
  EXPECT_EQ(fileio::CreateNew("taken"), nullptr);
  EXPECT_EQ(errno, EEXIST);
  EXPECT_EQ(Slurp("taken"), "keep me");
  FILE* f = fileio::CreateNew("free");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(fileio::Write("new", 1, 3, f), 3u);
  ASSERT_EQ(fileio::Seek(f, 0, SEEK_SET), 0);
  char buf[3];
  EXPECT_EQ(fileio::Read(buf, 1, 3, f), 3u) << "opened for reading too";
  EXPECT_EQ(fileio::Close(f), 0);
  EXPECT_EQ(Slurp("free"), "new");
}

// Another process holds the lock in `held` mode until the object goes.
class LockHolder {
 public:
  LockHolder(const char* name, fileio::FileLock::Mode held) {
    int ready[2], release[2];
    if (pipe(ready) != 0 || pipe(release) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(release[1]);  // or the read below would never see the end
      close(ready[0]);
      fileio::FileLock lock;
      char c = lock.Acquire(name, held, 0) == fileio::FileLock::kLocked ? 'y' : 'n';
      (void)!write(ready[1], &c, 1);
      (void)!read(release[0], &c, 1);  // until the parent closes its end
      _exit(0);
    }
    close(ready[1]);
    close(release[0]);
    release_ = release[1];
    char c = 'n';
    locked_ = read(ready[0], &c, 1) == 1 && c == 'y';
    close(ready[0]);
  }
  ~LockHolder() {
    if (release_ >= 0) close(release_);
    if (pid_ > 0) waitpid(pid_, nullptr, 0);
  }
  bool locked() const { return locked_; }

 private:
  pid_t pid_ = -1;
  int release_ = -1;
  bool locked_ = false;
};

TEST_F(FileioTest, LockIsSharedByReadersAndHeldByOneWriterBetweenProcesses) {
  using fileio::FileLock;
  FileLock lock;
  // A reader makes no lock file; a writer does.
  EXPECT_EQ(lock.Acquire("store.lck", FileLock::kShared, 0), FileLock::kUnavailable);
  EXPECT_FALSE(fileio::Exists("store.lck"));
  ASSERT_EQ(lock.Acquire("store.lck", FileLock::kExclusive, 0), FileLock::kLocked);
  lock.Release();
  EXPECT_TRUE(fileio::Exists("store.lck"));

  struct Case {
    FileLock::Mode held, wanted;
    FileLock::Result result;
  } cases[] = {
      {FileLock::kShared, FileLock::kShared, FileLock::kLocked},
      {FileLock::kShared, FileLock::kExclusive, FileLock::kBusy},
      {FileLock::kExclusive, FileLock::kShared, FileLock::kBusy},
      {FileLock::kExclusive, FileLock::kExclusive, FileLock::kBusy},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.held) + " held, " + std::to_string(c.wanted) + " wanted");
    LockHolder other("store.lck", c.held);
    ASSERT_TRUE(other.locked());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(lock.Acquire("store.lck", c.wanted, 300), c.result);
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (c.result == FileLock::kBusy) {
      EXPECT_GE(ms, 300);  // waited the whole time
      EXPECT_FALSE(lock.Held());
    } else {
      EXPECT_LT(ms, 250);
      EXPECT_TRUE(lock.Held());
    }
    lock.Release();
  }
  // Free again once the other process let go.
  EXPECT_EQ(lock.Acquire("store.lck", FileLock::kExclusive, 0), FileLock::kLocked);
}

}  // namespace

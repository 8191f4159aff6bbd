// The Windows file layer under Wine: replacing files the way the index and the memo store
// are saved.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/fileio.h"
#include "platform/temp_folder_wintest.h"

namespace {

using testfiles::Put;

std::string Slurp(const char* name) { return testfiles::Slurp(name, "<missing>"); }

class WinFileio : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(folder_.Enter()); }
  testfiles::TempFolder folder_{"sau"};
};

TEST_F(WinFileio, ReplaceOverwritesAndRenameNoReplaceRefuses) {
  Put("old", "old bytes");
  Put("new", "new bytes");
  Put("other", "other");
  EXPECT_NE(fileio::RenameNoReplace("other", "old"), 0);
  EXPECT_EQ(Slurp("old"), "old bytes");
  ASSERT_EQ(fileio::ReplaceAtomically("new", "old"), 0);
  EXPECT_EQ(Slurp("old"), "new bytes");
  EXPECT_EQ(Slurp("new"), "<missing>");
  ASSERT_EQ(fileio::RenameNoReplace("other", "fresh"), 0);
  EXPECT_EQ(Slurp("fresh"), "other");
}

TEST_F(WinFileio, ReplaceFailsWhileTargetIsHeldOpenAndKeepsBoth) {
  Put("old", "old bytes");
  Put("new", "new bytes");
  HANDLE h = CreateFileA("old", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_NE(fileio::ReplaceAtomically("new", "old"), 0);
  CloseHandle(h);
  EXPECT_EQ(Slurp("old"), "old bytes");
  EXPECT_EQ(Slurp("new"), "new bytes");
}

TEST_F(WinFileio, FlushCommitsAnOpenStream) {
  FILE* f = fileio::Open("new", "wb");
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(fileio::Write("xyz", 1, 3, f), 3u);
  EXPECT_EQ(fileio::Flush(f), 0);
  EXPECT_EQ(Slurp("new"), "xyz");
  EXPECT_EQ(fileio::Close(f), 0);
}

TEST_F(WinFileio, CreateNewRefusesATakenName) {
  Put("taken", "keep me");
  EXPECT_EQ(fileio::CreateNew("taken"), nullptr);
  EXPECT_EQ(Slurp("taken"), "keep me");
  FILE* f = fileio::CreateNew("free");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(fileio::Write("new", 1, 3, f), 3u);
  EXPECT_EQ(fileio::Close(f), 0);
  EXPECT_EQ(Slurp("free"), "new");
}

// LockFileEx holds against every other handle, in this process as in another one.
TEST_F(WinFileio, LockIsSharedByReadersAndHeldByOneWriter) {
  using fileio::FileLock;
  FileLock mine, other;
  // A reader makes no lock file; a writer does.
  EXPECT_EQ(mine.Acquire("store.lck", FileLock::kShared, 0), FileLock::kUnavailable);
  ASSERT_EQ(other.Acquire("store.lck", FileLock::kExclusive, 0), FileLock::kLocked);
  other.Release();
  ASSERT_EQ(other.Acquire("store.lck", FileLock::kShared, 0), FileLock::kLocked);
  EXPECT_EQ(mine.Acquire("store.lck", FileLock::kShared, 0), FileLock::kLocked);
  mine.Release();
  DWORD start = GetTickCount();
  EXPECT_EQ(mine.Acquire("store.lck", FileLock::kExclusive, 300), FileLock::kBusy);
  EXPECT_GE(GetTickCount() - start, 300u);
  EXPECT_FALSE(mine.Held());
  other.Release();
  ASSERT_EQ(other.Acquire("store.lck", FileLock::kExclusive, 0), FileLock::kLocked);
  EXPECT_EQ(mine.Acquire("store.lck", FileLock::kShared, 100), FileLock::kBusy);
  other.Release();
  EXPECT_EQ(mine.Acquire("store.lck", FileLock::kExclusive, 0), FileLock::kLocked);
}

}  // namespace

// The memo layer: which path each write takes, the exact files it leaves, and what survives
// when any file or memory call fails half-way.
#include "vlr/memo.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/fileio.h"
#include "vlr/store_fixture_test.h"
#include "vlr/vlr_format.h"

namespace {

using vlrtest::Bytes;
using vlrtest::EntryAt;
using vlrtest::I32At;
using vlrtest::Memo;
using vlrtest::ReadAll;
using vlrtest::SameMemos;
using vlrtest::U32At;
using vlrtest::WriteAll;

typedef std::map<uint32_t, std::string> Records;

class MemoTest : public vlrtest::StoreTest {
 protected:
  static ino_t Inode(const char* name) {
    struct stat st;
    return stat(name, &st) == 0 ? st.st_ino : 0;
  }
  static int TempFiles() {
    int n = 0;
    for (auto& e : std::filesystem::directory_iterator(".")) {
      std::string name = e.path().filename().string();
      if (name.rfind("vlr", 0) == 0 && e.path().extension() == ".tmp") ++n;
    }
    return n;
  }
  static Records Stored() {
    bool opened = false;
    Records r = vlrtest::StoredRecords(MemoStoreName, &opened);
    EXPECT_TRUE(opened);
    return r;
  }
};

void Append(Bytes* b, std::initializer_list<int> values) {
  for (int v : values) b->push_back(static_cast<uint8_t>(v));
}

void AppendUnused(Bytes* b, int entries) {
  for (int i = 0; i < entries; ++i) {
    Append(b, {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA,
               0x74, 0x00, 0xAA, 0xAA});
  }
}

// The first memo ever written, "abc" for recipe 7, written out by hand.
Bytes FirstMemoFile() {
  Bytes b;
  const char magic[] = "Memo Lrn";
  b.insert(b.end(), magic, magic + 9);
  Append(&b, {4, 4, 28, 16, 0, 0, 0});
  Append(&b, {0x32, 0x00, 0x00, 0x00, 0x3A, 0x00, 0x00, 0x00, 0x00, 0x80, 0x00, 0x00});
  const char ident[] = "@(#)vlr.c 0.912 Written by Tob";
  b.insert(b.end(), ident, ident + 30);
  Append(&b, {0x01, 0x00, 0x00, 0x00});
  Append(&b, {0x07, 0x00, 0x00, 0x00, 0x5E, 0x03, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00,
              0xF9, 0x00, 0xAA, 0xAA});
  AppendUnused(&b, 49);
  Append(&b, {'a', 'b', 'c', 0});
  return b;
}

std::string MemoText(uint32_t id) { return "memo number " + std::to_string(id); }

uint32_t SumOfLengths(uint32_t from, uint32_t to) {
  uint32_t sum = 0;
  for (uint32_t id = from; id <= to; ++id) sum += MemoText(id).size() + 1;
  return sum;
}

TEST_F(MemoTest, FirstMemoMakesTheStoreByteForByte) {
  ASSERT_EQ(WriteMemo(MemoStoreName, 7, "abc", 0), 0);
  EXPECT_EQ(ReadAll(MemoStoreName), FirstMemoFile());
  EXPECT_EQ(TempFiles(), 0);
}

TEST_F(MemoTest, ShorterMemoIsRewrittenInPlaceLongerOneRewritesTheStore) {
  ASSERT_EQ(WriteMemo(MemoStoreName, 7, "0123456789", 0), 0);
  const Bytes before = ReadAll(MemoStoreName);
  ASSERT_EQ(before.size(), 873u);
  const ino_t inode = Inode(MemoStoreName);

  ASSERT_EQ(WriteMemo(MemoStoreName, 7, "abcde", 0), 0);
  Bytes after = ReadAll(MemoStoreName);
  ASSERT_EQ(after.size(), before.size());
  EXPECT_EQ(Inode(MemoStoreName), inode);
  EXPECT_EQ(I32At(after, EntryAt(0) + 8), 6);
  EXPECT_EQ(std::memcmp(&after[862], "abcde\0" "6789\0", 11), 0) << "old tail left in the slot";
  for (size_t i = 0; i < after.size(); ++i) {
    bool entryLength = i >= EntryAt(0) + 8 && i < EntryAt(0) + 12;
    bool record = i >= 862 && i < 868;
    if (!entryLength && !record) {
      ASSERT_EQ(after[i], before[i]) << "byte " << i;
    }
  }

  // 8 characters need 9 bytes: more than the 6 the entry now holds.
  ASSERT_EQ(WriteMemo(MemoStoreName, 7, "abcdefgh", 0), 0);
  after = ReadAll(MemoStoreName);
  EXPECT_EQ(after.size(), 871u);
  EXPECT_NE(Inode(MemoStoreName), inode);
  EXPECT_EQ(U32At(after, EntryAt(0) + 4), 862u);
  EXPECT_EQ(I32At(after, EntryAt(0) + 8), 9);
  EXPECT_EQ(Stored(), (Records{{7, Memo("abcdefgh")}}));
}

// 49 memos fit the first directory region; the 50th fills it; the 51st makes a new file with
// room for 100.
TEST_F(MemoTest, DirectoryGrowsByRewritingWhenFull) {
  for (uint32_t id = 1; id <= 49; ++id) {
    ASSERT_EQ(WriteMemo(MemoStoreName, id, MemoText(id).c_str(), 0), 0) << id;
  }
  Bytes b = ReadAll(MemoStoreName);
  const ino_t inode = Inode(MemoStoreName);
  EXPECT_EQ(U32At(b, 58), 49u);
  EXPECT_EQ(b.size(), 862u + SumOfLengths(1, 49));
  EXPECT_EQ(U32At(b, EntryAt(0) + 4), 862u);
  EXPECT_EQ(std::memcmp(&b[EntryAt(49)], &FirstMemoFile()[EntryAt(1)], 16), 0) << "unused";

  ASSERT_EQ(WriteMemo(MemoStoreName, 50, MemoText(50).c_str(), 0), 0);
  b = ReadAll(MemoStoreName);
  EXPECT_EQ(Inode(MemoStoreName), inode) << "appended in place";
  EXPECT_EQ(U32At(b, 58), 50u);
  EXPECT_EQ(U32At(b, EntryAt(49)), 50u);
  EXPECT_EQ(U32At(b, EntryAt(49) + 4), 862u + SumOfLengths(1, 49));
  EXPECT_EQ(b[EntryAt(49) + 12], 0xF9);

  ASSERT_EQ(WriteMemo(MemoStoreName, 51, MemoText(51).c_str(), 0), 0);
  b = ReadAll(MemoStoreName);
  EXPECT_NE(Inode(MemoStoreName), inode);
  const uint32_t records = 62 + 100 * 16;
  EXPECT_EQ(U32At(b, 58), 51u);
  EXPECT_EQ(b.size(), records + SumOfLengths(1, 51));
  EXPECT_EQ(U32At(b, EntryAt(0) + 4), records);
  EXPECT_EQ(U32At(b, EntryAt(50)), 51u);
  for (uint32_t i = 51; i < 100; ++i) {
    EXPECT_EQ(std::memcmp(&b[EntryAt(i)], &FirstMemoFile()[EntryAt(1)], 16), 0) << i;
  }
  VlrStatus status;
  VlrFile* file = VlrOpen(MemoStoreName, "rb", &status);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->capacity, 100u);
  VlrClose(file);
  EXPECT_EQ(Stored().size(), 51u);
}

// The copy is sized for 51 but holds 50: its region has 100 entries, its directory 50, and
// the store is full again.
TEST_F(MemoTest, LongerReplacementInAFullStore) {
  for (uint32_t id = 1; id <= 50; ++id) {
    ASSERT_EQ(WriteMemo(MemoStoreName, id, MemoText(id).c_str(), 0), 0);
  }
  const std::string longer = MemoText(10) + " and much more";
  ASSERT_EQ(WriteMemo(MemoStoreName, 10, longer.c_str(), 0), 0);
  Bytes b = ReadAll(MemoStoreName);
  const uint32_t records = 62 + 100 * 16;
  EXPECT_EQ(U32At(b, 58), 50u);
  EXPECT_EQ(U32At(b, EntryAt(0) + 4), records);
  EXPECT_EQ(U32At(b, EntryAt(49)), 10u) << "the replacement goes last";
  EXPECT_EQ(b.size(), records + SumOfLengths(1, 50) + 14);
  for (uint32_t i = 50; i < 100; ++i) {
    EXPECT_EQ(std::memcmp(&b[EntryAt(i)], &FirstMemoFile()[EntryAt(1)], 16), 0) << i;
  }
  VlrStatus status;
  VlrFile* file = VlrOpen(MemoStoreName, "rb", &status);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->capacity, 50u);
  EXPECT_EQ(file->count, 50u);
  VlrClose(file);

  // Full: the next memo cannot be appended even though the file has room on disk.
  const ino_t inode = Inode(MemoStoreName);
  ASSERT_EQ(WriteMemo(MemoStoreName, 77, "new", 0), 0);
  EXPECT_NE(Inode(MemoStoreName), inode);
  Records expected;
  for (uint32_t id = 1; id <= 50; ++id) expected[id] = Memo(MemoText(id));
  expected[10] = Memo(longer);
  expected[77] = Memo("new");
  EXPECT_EQ(Stored(), expected);
}

TEST_F(MemoTest, DeletingRewritesTheStore) {
  // No store: an empty one is made, with the usual 50-entry region.
  ASSERT_EQ(WriteMemo(MemoStoreName, 5, nullptr, 0), 0);
  Bytes b = ReadAll(MemoStoreName);
  Bytes emptyStore = FirstMemoFile();
  emptyStore.resize(862);
  vlrtest::PutU32(&emptyStore, 58, 0);
  std::memcpy(&emptyStore[EntryAt(0)], &emptyStore[EntryAt(1)], 16);
  EXPECT_EQ(b, emptyStore);

  // A key that is not there: the same records again, in a new file.
  ASSERT_EQ(WriteMemo(MemoStoreName, 7, "abc", 0), 0);
  ino_t inode = Inode(MemoStoreName);
  ASSERT_EQ(WriteMemo(MemoStoreName, 99, nullptr, 0), 0);
  EXPECT_NE(Inode(MemoStoreName), inode);
  EXPECT_EQ(ReadAll(MemoStoreName), FirstMemoFile());

  // The last memo: count 0, and the store reopens with no directory at all.
  ASSERT_EQ(WriteMemo(MemoStoreName, 7, nullptr, 0), 0);
  EXPECT_EQ(ReadAll(MemoStoreName), emptyStore);
  VlrStatus status;
  VlrFile* file = VlrOpen(MemoStoreName, "rb", &status);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->count, 0u);
  EXPECT_EQ(file->capacity, 0u);
  VlrClose(file);
  // With no free entry the next memo is a rewrite, which gives the first-memo file again.
  inode = Inode(MemoStoreName);
  ASSERT_EQ(WriteMemo(MemoStoreName, 7, "abc", 0), 0);
  EXPECT_NE(Inode(MemoStoreName), inode);
  EXPECT_EQ(ReadAll(MemoStoreName), FirstMemoFile());

  // One memo out of three.
  ASSERT_EQ(WriteMemo(MemoStoreName, 8, "eight", 0), 0);
  ASSERT_EQ(WriteMemo(MemoStoreName, 9, "nine", 0), 0);
  ASSERT_EQ(WriteMemo(MemoStoreName, 8, nullptr, 0), 0);
  EXPECT_EQ(Stored(), (Records{{7, Memo("abc")}, {9, Memo("nine")}}));
  EXPECT_EQ(ReadAll(MemoStoreName).size(), 862u + 4 + 5);
  EXPECT_EQ(TempFiles(), 0);
}

TEST_F(MemoTest, ProbeAndReadResults) {
  EXPECT_EQ(ReadMemo(MemoStoreName, 1, nullptr, nullptr), kVlrOpenFailed);
  const std::string hundred(99, 'h');
  const std::string long3000(2999, 'L');
  ASSERT_EQ(WriteMemo(MemoStoreName, 1, hundred.c_str(), 0), 0);
  ASSERT_EQ(WriteMemo(MemoStoreName, 2, long3000.c_str(), 0), 0);
  EXPECT_EQ(ReadMemo(MemoStoreName, 1, nullptr, nullptr), 0);
  EXPECT_EQ(ReadMemo(MemoStoreName, 3, nullptr, nullptr), kVlrNotFound);
  int32_t probeLength = 0;
  EXPECT_EQ(ReadMemo(MemoStoreName, 2, nullptr, &probeLength), 0);
  EXPECT_EQ(probeLength, 0) << "a probe without room reads nothing";

  // The memo dialog's buffer is 2048 bytes; a guard after it must stay untouched.
  std::vector<char> buffer(2048 + 16, '#');
  int32_t length = 2048;
  EXPECT_EQ(ReadMemo(MemoStoreName, 1, buffer.data(), &length), 0);
  EXPECT_EQ(length, 100);
  EXPECT_EQ(std::string(buffer.data()), hundred);
  EXPECT_EQ(buffer[100], '#');

  std::fill(buffer.begin(), buffer.end(), '#');
  length = 2048;
  EXPECT_EQ(ReadMemo(MemoStoreName, 2, buffer.data(), &length), 0);
  EXPECT_EQ(length, 2048);
  EXPECT_EQ(std::string(buffer.data(), 2048), long3000.substr(0, 2048));
  EXPECT_EQ(buffer[2048], '#');

  length = 2048;
  EXPECT_EQ(ReadMemo(MemoStoreName, 3, buffer.data(), &length), kVlrNotFound);
  EXPECT_EQ(length, 2048) << "left alone when there is no memo";

  WriteAll("other.mem", Bytes(100, 'z'));
  EXPECT_EQ(ReadMemo("other.mem", 1, nullptr, nullptr), kVlrNotStore);
}

// Something that is not a store sits under the store's name: it is never overwritten, and
// the new memo stays in the temporary file.
TEST_F(MemoTest, ForeignFileUnderTheStoreNameIsKept) {
  const Bytes foreign = {'n', 'o', 't', ' ', 'a', ' ', 's', 't', 'o', 'r', 'e'};
  WriteAll(MemoStoreName, foreign);
  EXPECT_EQ(WriteMemo(MemoStoreName, 1, "text", 0), kVlrReplaceFailed);
  EXPECT_EQ(WriteMemo(MemoStoreName, 1, nullptr, 0), kVlrReplaceFailed);
  EXPECT_EQ(ReadAll(MemoStoreName), foreign);
  EXPECT_EQ(TempFiles(), 2);
  EXPECT_EQ(ReadMemo(MemoStoreName, 1, nullptr, nullptr), kVlrNotStore);
}

// A store the user made read-only for others, or for everyone, stays so once rewritten.
TEST_F(MemoTest, ReplacedStoreKeepsItsPermissions) {
  ASSERT_EQ(WriteMemo(MemoStoreName, 1, "one", 0), 0);
  std::string text = "one";
  for (mode_t mode : {0640, 0444, 0600}) {
    ASSERT_EQ(chmod(MemoStoreName, mode), 0);
    const ino_t inode = Inode(MemoStoreName);
    text += ", longer";
    int rc = WriteMemo(MemoStoreName, 1, text.c_str(), 0);
    if (rc != 0) continue;  // not root: a read-only store cannot be written at all
    struct stat st;
    ASSERT_EQ(stat(MemoStoreName, &st), 0);
    EXPECT_NE(st.st_ino, inode) << "rewritten, not changed in place";
    EXPECT_EQ(st.st_mode & 07777, mode);
  }
}

// Two programs started alike (here: two children of one process, whose generators start in
// the same state) draw different temporary names. Each leaves its copy under its temporary
// name beside a file that is not a store.
TEST_F(MemoTest, TwoProcessesDrawDifferentTemporaryNames) {
  std::vector<std::string> names;
  for (const char* sub : {"a", "b"}) {
    std::filesystem::create_directory(sub);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      int rc = chdir(sub);
      WriteAll(MemoStoreName, Bytes(10, 'z'));
      rc = rc == 0 ? WriteMemo(MemoStoreName, 1, "text", 0) : 0;
      _exit(rc == kVlrReplaceFailed ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    for (auto& e : std::filesystem::directory_iterator(sub)) {
      if (e.path().extension() == ".tmp") names.push_back(e.path().filename().string());
    }
  }
  ASSERT_EQ(names.size(), 2u);
  EXPECT_NE(names[0], names[1]);
}

TEST_F(MemoTest, FailedReplacementKeepsTheOldStoreAndDropsTheCopy) {
  ASSERT_EQ(WriteMemo(MemoStoreName, 1, "one", 0), 0);
  ASSERT_EQ(WriteMemo(MemoStoreName, 2, "two", 0), 0);
  const Bytes before = ReadAll(MemoStoreName);
  // Count the calls of a successful rewrite; the replacement is the last one.
  fileio::fault::ResetCount();
  ASSERT_EQ(WriteMemo(MemoStoreName, 1, "one, but longer", 0), 0);
  const long calls = fileio::fault::Count();
  WriteAll(MemoStoreName, before);

  fileio::fault::ResetCount();
  fileio::fault::Arm(calls);
  EXPECT_EQ(WriteMemo(MemoStoreName, 1, "one, but longer", 0), kVlrReplaceFailed);
  EXPECT_TRUE(fileio::fault::Fired());
  fileio::fault::Disarm();
  EXPECT_EQ(ReadAll(MemoStoreName), before);
  EXPECT_EQ(TempFiles(), 0);
}

// Every file and memory call of WriteMemo fails in turn, in each of its paths. After each
// failure the store holds all the memos as they were or all as they were meant to become,
// and the same write then succeeds.
struct FaultScenario {
  const char* name;
  std::vector<std::pair<uint32_t, std::string>> setup;
  uint32_t id;
  const char* text;  // null deletes
};

TEST_F(MemoTest, EveryFailingCallLeavesTheOldOrTheNewStore) {
  std::vector<std::pair<uint32_t, std::string>> two = {{1, "alpha alpha"}, {2, "beta"}};
  std::vector<std::pair<uint32_t, std::string>> fifty;
  for (uint32_t id = 1; id <= 50; ++id) fifty.push_back({id, MemoText(id)});
  const FaultScenario scenarios[] = {
      {"first store", {}, 7, "abc"},
      {"in place", two, 1, "short"},
      {"in place, same length", two, 2, "BETA"},
      {"append", two, 3, "gamma"},
      {"longer replacement", two, 2, "beta, now much longer"},
      {"full directory", fifty, 51, "one too many"},
      {"delete", two, 1, nullptr},
      {"delete the last memo", {{4, "four"}}, 4, nullptr},
      {"delete without a store", {}, 4, nullptr},
  };
  long total = 0;
  for (const FaultScenario& s : scenarios) {
    Records expected;
    for (const auto& m : s.setup) expected[m.first] = Memo(m.second);
    if (s.text) {
      expected[s.id] = Memo(s.text);
    } else {
      expected.erase(s.id);
    }
    const bool textOnly = std::string(s.name).rfind("in place", 0) == 0;
    long injected = 0;
    int tempsLeft = 0;
    // The store as the scenario starts from, made once: every write syncs.
    for (auto& e : std::filesystem::directory_iterator(".")) std::filesystem::remove(e.path());
    for (const auto& m : s.setup) ASSERT_EQ(WriteMemo(MemoStoreName, m.first, m.second.c_str(), 0), 0);
    const bool setupStore = vlrtest::FileExists(MemoStoreName);
    const Bytes setupBytes = setupStore ? ReadAll(MemoStoreName) : Bytes();
    for (long failAt = 1; failAt < 10000; ++failAt) {
      for (auto& e : std::filesystem::directory_iterator(".")) std::filesystem::remove(e.path());
      if (setupStore) WriteAll(MemoStoreName, setupBytes);
      const bool hadStore = vlrtest::FileExists(MemoStoreName);
      Records before;
      if (hadStore) before = Stored();

      fileio::fault::ResetCount();
      fileio::fault::Arm(failAt);
      const int rc = WriteMemo(MemoStoreName, s.id, s.text, 0);
      const bool fired = fileio::fault::Fired();
      fileio::fault::Disarm();

      bool opened = false;
      const Records now = vlrtest::StoredRecords(MemoStoreName, &opened);
      if (!fired) {
        EXPECT_EQ(rc, 0) << s.name;
        EXPECT_TRUE(opened) << s.name;
        EXPECT_EQ(now, expected) << s.name;
        EXPECT_EQ(TempFiles(), 0) << s.name;
        break;
      }
      ++injected;
      if (!opened) {
        // Only a store that did not exist may be missing, and only as the file.
        EXPECT_FALSE(hadStore) << s.name << ": store lost, failing call " << failAt;
        EXPECT_FALSE(vlrtest::FileExists(MemoStoreName)) << s.name << ": damaged, call " << failAt;
      }
      const bool asBefore = SameMemos(now, before, false);
      const bool asAfter = opened && SameMemos(now, expected, textOnly);
      EXPECT_TRUE(asBefore || asAfter) << s.name << ": mixed store, failing call " << failAt;
      if (rc == 0) {
        EXPECT_TRUE(asAfter) << s.name << ": success reported, call " << failAt;
      }
      // A temporary file that stays behind is a whole store, never a fragment.
      for (auto& e : std::filesystem::directory_iterator(".")) {
        if (e.path().extension() != ".tmp") continue;
        ++tempsLeft;
        bool tempOpened = false;
        vlrtest::StoredRecords(e.path().c_str(), &tempOpened);
        EXPECT_TRUE(tempOpened) << s.name << ": partial temporary file, call " << failAt;
        std::filesystem::remove(e.path());
      }
      // And the store still takes the same write.
      ASSERT_EQ(WriteMemo(MemoStoreName, s.id, s.text, 0), 0) << s.name << " after " << failAt;
      EXPECT_TRUE(SameMemos(vlrtest::StoredRecords(MemoStoreName, &opened), expected, false))
          << s.name << " after " << failAt;
    }
    EXPECT_GT(injected, 3) << s.name;
    std::printf("[ faults   ] %-24s %3ld failing calls checked, %d temporary files kept\n",
                s.name, injected, tempsLeft);
    total += injected;
  }
  std::printf("[ faults   ] total %ld failing calls checked\n", total);
}

}  // namespace

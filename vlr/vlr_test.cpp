// The store file itself: what a new store holds byte by byte, which headers open and with
// which code, and how damaged directories are kept from reaching memory or the caller.
#include "vlr/vlr.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <string>

#include "vlr/memo.h"
#include "vlr/store_fixture_test.h"
#include "vlr/vlr_format.h"

namespace {

using vlrtest::Bytes;
using vlrtest::EntryAt;
using vlrtest::I32At;
using vlrtest::PutU32;
using vlrtest::ReadAll;
using vlrtest::U32At;
using vlrtest::WriteAll;

class VlrStoreTest : public vlrtest::StoreTest {
 protected:
  // A valid 866-byte store: one memo "abc" under key 7.
  Bytes OneMemoStore() {
    EXPECT_EQ(WriteMemo("base.mem", 7, "abc", 0), 0);
    return ReadAll("base.mem");
  }
  VlrStatus OpenStatus(const Bytes& bytes, const char* mode = "rb") {
    WriteAll("case.mem", bytes);
    VlrStatus status = 12345;
    VlrFile* file = VlrOpen("case.mem", mode, &status);
    if (file) {
      EXPECT_EQ(status, kVlrOk);
      EXPECT_EQ(VlrClose(file), 0);
    } else {
      EXPECT_NE(status, kVlrOk);
    }
    return status;
  }
};

const uint8_t kUnusedEntry[16] = {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA,
                                  0xAA, 0xAA, 0xAA, 0xAA, 0x74, 0x00, 0xAA, 0xAA};

TEST(VlrCapacity, RoundsCountUpToTheGrowthUnit) {
  EXPECT_EQ(VlrCapacityFor(0, 50), 0u);
  EXPECT_EQ(VlrCapacityFor(1, 50), 50u);
  EXPECT_EQ(VlrCapacityFor(50, 50), 50u);
  EXPECT_EQ(VlrCapacityFor(51, 50), 100u);
  EXPECT_EQ(VlrCapacityFor(7, 1), 7u);
  // No 32-bit wrap for the largest counts.
  EXPECT_EQ(VlrCapacityFor(0xFFFFFFFFu, 65536), 0x100000000ull);
}

TEST_F(VlrStoreTest, FreshStoreIs862BytesOfUnusedEntries) {
  VlrStatus status = 777;
  VlrFile* file = VlrCreate("new.mem", 50, 1, &status);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(status, 777) << "success leaves the status alone";
  EXPECT_EQ(file->capacity, 50u);
  EXPECT_EQ(fileio::Tell(file->stream), 862) << "the first record lands after the directory";
  ASSERT_EQ(VlrClose(file), 0);

  Bytes b = ReadAll("new.mem");
  ASSERT_EQ(b.size(), 862u);
  EXPECT_EQ(std::memcmp(b.data(), "Memo Lrn\0", 9), 0);
  const uint8_t fixed[] = {4, 4, 28, 16, 0, 0, 0, 0x32, 0, 0, 0, 0x3A, 0, 0, 0, 0, 0x80, 0, 0};
  EXPECT_EQ(Bytes(b.begin() + 9, b.begin() + 28), Bytes(fixed, fixed + sizeof fixed));
  EXPECT_EQ(std::string(b.begin() + 28, b.begin() + 58), "@(#)vlr.c 0.912 Written by Tob");
  EXPECT_EQ(U32At(b, 58), 1u);
  for (uint32_t i = 0; i < 50; ++i) {
    EXPECT_EQ(std::memcmp(&b[EntryAt(i)], kUnusedEntry, 16), 0) << "entry " << i;
  }
}

TEST_F(VlrStoreTest, CreateWithNoRecordsAndOddGrowth) {
  VlrStatus status = 0;
  VlrFile* file = VlrCreate("zero.mem", 3, 0, &status);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->capacity, 0u);
  EXPECT_EQ(file->directory, nullptr);
  ASSERT_EQ(VlrClose(file), 0);
  EXPECT_EQ(ReadAll("zero.mem").size(), 62u);

  file = VlrOpen("zero.mem", "rb", &status);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->growth, 3u);
  EXPECT_EQ(file->count, 0u);
  EXPECT_EQ(file->capacity, 0u);
  EXPECT_EQ(VlrFind(file, 0), -1);
  VlrClose(file);

  EXPECT_EQ(VlrCreate("bad.mem", 0, 1, &status), nullptr);
  EXPECT_EQ(status, kVlrCreateFailed);
  EXPECT_FALSE(vlrtest::FileExists("bad.mem"));
}

// Single changes to a valid store, each with the code it must open with (as in a table of
// log corruptions: one damaged field at a time).
TEST_F(VlrStoreTest, HeaderDamageGivesTheExactCode) {
  const Bytes good = OneMemoStore();
  ASSERT_EQ(good.size(), 866u);
  struct Case {
    const char* what;
    std::function<void(Bytes*)> damage;
    VlrStatus expected;
  };
  const Case cases[] = {
      {"untouched", [](Bytes*) {}, kVlrOk},
      {"magic first letter", [](Bytes* b) { (*b)[0] = 'm'; }, kVlrNotStore},
      {"magic NUL", [](Bytes* b) { (*b)[8] = ' '; }, kVlrNotStore},
      {"size markers 8 4 28", [](Bytes* b) { (*b)[9] = 8; }, kVlrBadLayout},
      {"second marker", [](Bytes* b) { (*b)[10] = 2; }, kVlrBadLayout},
      {"header size 29", [](Bytes* b) { (*b)[11] = 29; }, kVlrBadLayout},
      {"maxRecord 32769", [](Bytes* b) { PutU32(b, 24, 32769); }, kVlrRecordTooLong},
      {"maxRecord 32768", [](Bytes* b) { PutU32(b, 24, 32768); }, kVlrOk},
      {"maxRecord negative", [](Bytes* b) { PutU32(b, 24, 0x80000000u); }, kVlrOk},
      {"magic checked before markers",
       [](Bytes* b) { (*b)[1] = 0; (*b)[9] = 8; }, kVlrNotStore},
      {"markers checked before maxRecord",
       [](Bytes* b) { (*b)[11] = 0; PutU32(b, 24, 99999); }, kVlrBadLayout},
      {"entry size byte ignored", [](Bytes* b) { (*b)[12] = 0xEE; }, kVlrOk},
      {"padding ignored", [](Bytes* b) { (*b)[13] = 1; (*b)[14] = 0xFF; (*b)[15] = 7; }, kVlrOk},
      {"identification ignored",
       [](Bytes* b) { for (int i = 28; i < 58; ++i) (*b)[i] = static_cast<uint8_t>(i * 37); },
       kVlrOk},
      {"growth 0", [](Bytes* b) { PutU32(b, 16, 0); }, kVlrNotStore},
      {"growth beyond the limit", [](Bytes* b) { PutU32(b, 16, vlr::kMaxGrowth + 1); },
       kVlrNotStore},
      {"growth 1", [](Bytes* b) { PutU32(b, 16, 1); }, kVlrOk},
      {"growth whose directory passes the end",
       [](Bytes* b) { PutU32(b, 16, vlr::kMaxGrowth); }, kVlrDirectoryIo},
      {"huge count", [](Bytes* b) { PutU32(b, 58, 0xFFFFFFFFu); }, kVlrDirectoryIo},
      {"count one unit too many", [](Bytes* b) { PutU32(b, 58, 51); }, kVlrDirectoryIo},
      {"count 0", [](Bytes* b) { PutU32(b, 58, 0); }, kVlrOk},
      {"directory offset past the end", [](Bytes* b) { PutU32(b, 20, 5000); }, kVlrNotStore},
      {"directory offset beyond 2 GB", [](Bytes* b) { PutU32(b, 20, 0xFFFFFFF0u); },
       kVlrNotStore},
      {"short header", [](Bytes* b) { b->resize(27); }, kVlrNotStore},
      {"empty file", [](Bytes* b) { b->clear(); }, kVlrNotStore},
      {"no count", [](Bytes* b) { b->resize(60); }, kVlrNotStore},
      {"directory cut short", [](Bytes* b) { b->resize(861); }, kVlrDirectoryIo},
      {"records cut off", [](Bytes* b) { b->resize(862); }, kVlrOk},
  };
  for (const Case& c : cases) {
    Bytes b = good;
    c.damage(&b);
    EXPECT_EQ(OpenStatus(b), c.expected) << c.what;
  }
}

TEST_F(VlrStoreTest, HugeCountIsRefusedBeforeAnyAllocation) {
  Bytes b = OneMemoStore();
  PutU32(&b, 58, 0x7FFFFFFFu);
  WriteAll("case.mem", b);
  // Had the count been believed, a directory allocation (and its read) would be among the
  // calls: calloc, open, header read, seek, tell, seek, count read, close are all there is.
  fileio::fault::ResetCount();
  VlrStatus status;
  EXPECT_EQ(VlrOpen("case.mem", "rb", &status), nullptr);
  EXPECT_EQ(status, kVlrDirectoryIo);
  EXPECT_EQ(fileio::fault::Count(), 8);
}

TEST_F(VlrStoreTest, OpenReportsMissingAndRefusedFiles) {
  VlrStatus status = 0;
  EXPECT_EQ(VlrOpen("absent.mem", "rb", &status), nullptr);
  EXPECT_EQ(status, kVlrOpenFailed);
  EXPECT_EQ(ReadMemo(MemoStoreName, 1, nullptr, nullptr), kVlrOpenFailed);

  WriteAll("locked.mem", OneMemoStore());
  WriteAll("readonly.mem", OneMemoStore());
  ASSERT_EQ(chmod("locked.mem", 0), 0);
  ASSERT_EQ(chmod("readonly.mem", 0444), 0);

  // The check, run as whoever cannot bypass permissions. Exit code = failed step.
  auto check = []() -> int {
    VlrStatus s = 0;
    if (VlrOpen("locked.mem", "rb", &s) != nullptr || s != kVlrAccessDenied) return 1;
    VlrFile* f = VlrOpen("readonly.mem", "rb", &s);
    if (!f || s != kVlrOk) return 2;
    VlrClose(f);
    if (VlrOpen("readonly.mem", "rb+", &s) != nullptr || s != kVlrAccessDenied) return 3;
    return 0;
  };
  if (geteuid() != 0) {
    EXPECT_EQ(check(), 0);
    return;
  }
  // root opens anything: drop to an unprivileged user in a child process.
  ASSERT_EQ(chmod(".", 0755), 0);
  fflush(nullptr);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0 || geteuid() == 0) _exit(77);
    _exit(check());
  }
  int wstatus = 0;
  ASSERT_EQ(waitpid(child, &wstatus, 0), child);
  ASSERT_TRUE(WIFEXITED(wstatus));
  if (WEXITSTATUS(wstatus) == 77) GTEST_SKIP() << "running as root and cannot drop privileges";
  EXPECT_EQ(WEXITSTATUS(wstatus), 0) << "failed step";
}

// A damaged entry must never put bytes into the caller's buffer, nor read outside the file.
TEST_F(VlrStoreTest, DamagedEntriesTransferNothing) {
  const Bytes good = OneMemoStore();
  struct Case {
    const char* what;
    std::function<void(Bytes*)> damage;
    VlrStatus expected;
  };
  const Case cases[] = {
      {"sound", [](Bytes*) {}, kVlrOk},
      {"negative length", [](Bytes* b) { PutU32(b, EntryAt(0) + 8, 0xFFFFFFFEu); }, kVlrRecordRead},
      {"offset past the end", [](Bytes* b) { PutU32(b, EntryAt(0) + 4, 900); }, kVlrRecordRead},
      {"one byte past the end", [](Bytes* b) { PutU32(b, EntryAt(0) + 8, 5); }, kVlrRecordRead},
      {"offset near 4 GB", [](Bytes* b) { PutU32(b, EntryAt(0) + 4, 0xFFFFFFFFu); },
       kVlrRecordRead},
      {"ends exactly at the end", [](Bytes* b) { PutU32(b, EntryAt(0) + 4, 863); PutU32(b, EntryAt(0) + 8, 3); },
       kVlrOk},
  };
  for (const Case& c : cases) {
    Bytes b = good;
    c.damage(&b);
    WriteAll("case.mem", b);
    char buffer[64];
    std::memset(buffer, '#', sizeof buffer);
    int32_t length = sizeof buffer;
    EXPECT_EQ(ReadMemo("case.mem", 7, buffer, &length), c.expected) << c.what;
    EXPECT_EQ(ReadMemo("case.mem", 7, nullptr, nullptr), c.expected) << c.what << " (probe)";
    if (c.expected == kVlrOk) continue;
    EXPECT_EQ(length, 0) << c.what;
    for (char ch : buffer) ASSERT_EQ(ch, '#') << c.what;
  }
}

// An entry that points into the directory must not be written over in place: the store is
// rewritten instead, and the rewrite leaves the damaged entry behind.
TEST_F(VlrStoreTest, DamagedEntryIsNeverWrittenOverInPlace) {
  ASSERT_EQ(WriteMemo("s.mem", 7, "abcdefghij", 0), 0);
  ASSERT_EQ(WriteMemo("s.mem", 8, "eight", 0), 0);
  Bytes b = ReadAll("s.mem");
  PutU32(&b, EntryAt(0) + 4, EntryAt(1));  // record 7 "lies" over entry 1
  WriteAll("s.mem", b);
  ASSERT_EQ(WriteMemo("s.mem", 7, "xy", 0), 0);
  bool opened = false;
  auto records = vlrtest::StoredRecords("s.mem", &opened);
  ASSERT_TRUE(opened);
  EXPECT_EQ(records, (std::map<uint32_t, std::string>{{7, vlrtest::Memo("xy")},
                                                       {8, vlrtest::Memo("eight")}}));

  VlrStatus status;
  VlrFile* file = VlrOpen("s.mem", "rb", &status);
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(VlrCanUpdateInPlace(file, 0));
  EXPECT_TRUE(VlrCanUpdateInPlace(file, -1));
  EXPECT_FALSE(VlrCanUpdateInPlace(file, 2)) << "beyond count";
  file->directory[0].offset = 20;  // over the header
  EXPECT_FALSE(VlrCanUpdateInPlace(file, 0));
  file->directory[0].offset = 2000;  // past the end
  EXPECT_FALSE(VlrCanUpdateInPlace(file, 0));
  file->dirOffset = 40;  // a directory over the identification text takes no append
  EXPECT_FALSE(VlrCanUpdateInPlace(file, -1));
  VlrClose(file);
}

TEST_F(VlrStoreTest, FindSkipsEntriesNotInUseAndReadsByIndex) {
  ASSERT_EQ(WriteMemo("s.mem", 10, "ten", 0), 0);
  ASSERT_EQ(WriteMemo("s.mem", 20, "twenty", 0), 0);
  ASSERT_EQ(WriteMemo("s.mem", 30, "thirty", 0), 0);
  Bytes b = ReadAll("s.mem");
  // Entry 0 keeps its key but loses bit 0; entry 3 (beyond count) is given key 30 and bit 0.
  b[EntryAt(0) + 12] &= 0xFE;
  PutU32(&b, EntryAt(3), 30);
  b[EntryAt(3) + 12] |= 1;
  PutU32(&b, EntryAt(1), 30);  // now two entries in use carry 30: the first one wins
  WriteAll("s.mem", b);

  VlrStatus status;
  VlrFile* file = VlrOpen("s.mem", "rb", &status);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(VlrFind(file, 10), -1);
  EXPECT_EQ(VlrFind(file, 30), 1);
  EXPECT_EQ(VlrFind(file, 20), -1);

  char data[16] = {0};
  VlrRecord record = {999, data, sizeof data};
  EXPECT_EQ(VlrRead(file, &record, 2), kVlrOk);
  EXPECT_EQ(record.key, 30u);
  EXPECT_EQ(record.length, 7);
  EXPECT_STREQ(data, "thirty");
  // By index the entry is read whatever its flag (the copy checks the flag itself).
  record = {0, data, 4};
  EXPECT_EQ(VlrRead(file, &record, 0), kVlrOk);
  EXPECT_EQ(record.key, 10u);
  EXPECT_EQ(record.length, 4);
  record = {0, data, 4};
  EXPECT_EQ(VlrRead(file, &record, 3), kVlrNotFound) << "index beyond count";
  EXPECT_EQ(VlrRead(file, &record, -2), kVlrNotFound);
  record = {12345, data, 4};
  EXPECT_EQ(VlrRead(file, &record, -1), kVlrNotFound);
  EXPECT_EQ(record.length, 4) << "an absent key leaves the record alone";
  VlrClose(file);
}

TEST_F(VlrStoreTest, WritesAreCutToMaxRecord) {
  std::string big(40000, 'x');
  VlrStatus status;
  VlrFile* file = VlrCreate("big.mem", 50, 1, &status);
  ASSERT_NE(file, nullptr);
  VlrRecord record = {5, &big[0], static_cast<int32_t>(big.size())};
  EXPECT_EQ(VlrWrite(file, &record, -1, true), kVlrOk);
  EXPECT_EQ(record.length, 32768) << "the caller sees the cut";
  ASSERT_EQ(VlrClose(file), 0);
  EXPECT_EQ(ReadAll("big.mem").size(), 862u + 32768u);

  // A store whose header allows only 10 bytes keeps 10, wherever the write goes.
  ASSERT_EQ(WriteMemo("small.mem", 1, "a", 0), 0);
  Bytes b = ReadAll("small.mem");
  PutU32(&b, 24, 10);
  WriteAll("small.mem", b);
  ASSERT_EQ(WriteMemo("small.mem", 2, "0123456789abcdef", 0), 0);  // appended
  char buffer[64];
  int32_t length = sizeof buffer;
  EXPECT_EQ(ReadMemo("small.mem", 2, buffer, &length), 0);
  EXPECT_EQ(std::string(buffer, length), "0123456789");

  file = VlrOpen("small.mem", "rb+", &status);
  ASSERT_NE(file, nullptr);
  record = {3, buffer, -5};
  EXPECT_EQ(VlrWrite(file, &record, -1, false), kVlrWriteFailed) << "negative length";
  EXPECT_EQ(file->count, 2u) << "a refused write changes nothing";
  record = {3, nullptr, 4};
  EXPECT_EQ(VlrWrite(file, &record, -1, false), kVlrWriteFailed) << "no bytes to write";
  record = {3, buffer, 4};
  EXPECT_EQ(VlrWrite(file, &record, 50, false), kVlrDirectoryIo) << "index outside";
  VlrClose(file);
}

TEST_F(VlrStoreTest, CopyHonoursItsOptions) {
  ASSERT_EQ(WriteMemo("old.mem", 1, "one", 0), 0);
  ASSERT_EQ(WriteMemo("old.mem", 2, "two", 0), 0);
  const Bytes before = ReadAll("old.mem");

  uint32_t absent = 99;
  EXPECT_EQ(VlrCopy("new.mem", "old.mem", &absent, nullptr, true, true), kVlrNotFound);
  EXPECT_FALSE(vlrtest::FileExists("new.mem")) << "a failed copy leaves no new file";
  EXPECT_EQ(VlrCopy("new.mem", "missing.mem", nullptr, nullptr, false, false), kVlrOpenFailed);
  EXPECT_FALSE(vlrtest::FileExists("new.mem"));

  uint32_t drop = 1;
  char text[] = "three";
  VlrRecord add = {3, text, 6};
  EXPECT_EQ(VlrCopy("new.mem", "old.mem", &drop, &add, false, true), 0);
  EXPECT_EQ(ReadAll("old.mem"), before) << "the old file is only read";
  bool opened = false;
  auto records = vlrtest::StoredRecords("new.mem", &opened);
  ASSERT_TRUE(opened);
  EXPECT_EQ(records, (std::map<uint32_t, std::string>{{2, vlrtest::Memo("two")},
                                                       {3, vlrtest::Memo("three")}}));
  // Compacted: records back to back after the 50-entry region, in directory order.
  Bytes b = ReadAll("new.mem");
  EXPECT_EQ(U32At(b, EntryAt(0)), 2u);
  EXPECT_EQ(U32At(b, EntryAt(0) + 4), 862u);
  EXPECT_EQ(U32At(b, EntryAt(1) + 4), 866u);
  EXPECT_EQ(I32At(b, EntryAt(1) + 8), 6);
  EXPECT_EQ(b.size(), 872u);

  EXPECT_EQ(VlrCopy("fresh.mem", "missing.mem", nullptr, &add, true, false), 1);
  records = vlrtest::StoredRecords("fresh.mem", &opened);
  EXPECT_EQ(records.size(), 1u);
}

// The rewrite never truncates a file that already bears the temporary name it drew.
TEST_F(VlrStoreTest, TemporaryNameInUseIsSkipped) {
  ASSERT_EQ(WriteMemo(MemoStoreName, 1, "first", 0), 0);
  std::srand(4242);
  char taken[32];
  std::snprintf(taken, sizeof taken, "vlr%u.tmp", static_cast<unsigned>(std::rand() & 0xFFFF));
  const Bytes precious = {'k', 'e', 'e', 'p', '\n'};
  WriteAll(taken, precious);

  std::srand(4242);  // the rewrite draws the same first name
  ASSERT_EQ(WriteMemo(MemoStoreName, 1, "a longer first memo", 0), 0);
  EXPECT_EQ(ReadAll(taken), precious);
  char buffer[64];
  int32_t length = sizeof buffer;
  EXPECT_EQ(ReadMemo(MemoStoreName, 1, buffer, &length), 0);
  EXPECT_STREQ(buffer, "a longer first memo");
  int temps = 0;
  for (auto& e : std::filesystem::directory_iterator(".")) {
    if (e.path().extension() == ".tmp") ++temps;
  }
  EXPECT_EQ(temps, 1) << "only the file that was there before";
}

}  // namespace

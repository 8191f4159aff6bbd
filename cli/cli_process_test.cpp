// saucelins-cli as a program of its own, as a script or a second user runs it: every system
// call that writes (write, fsync, rename, link, unlink, close) failing in turn under the
// preloaded fault shim, the order in which its writes reach the disk, and two of them working
// on one folder at once.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "app/cp1252.h"
#include "platform/fileio.h"
#include "platform/temp_folder_test.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "vlr/memo.h"
#include "vlr/store_fixture_test.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

using testfiles::Put;
using testfiles::Slurp;
using vlrtest::EntryAt;
using vlrtest::Memo;
using vlrtest::SameMemos;

typedef std::map<uint32_t, std::string> Records;
typedef std::vector<std::string> Args;

// The tool and the shim are built beside this test program (a bare name when that place is
// unknown, under an emulator: the tool then does not start and the tests say so).
fs::path BuiltHere(const char* name) {
  std::error_code error;
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  return error ? fs::path(name) : self.parent_path() / name;
}

std::string MemoText(uint32_t id) { return "memo number " + std::to_string(id); }

std::string Utf8Text(unsigned id) {
  char buf[512];
  LoadText(id, buf, sizeof buf);
  return Cp1252ToUtf8(buf);
}

struct Outcome { int code; std::string err; double seconds; };

// Runs saucelins-cli -C dir args..., with `env` added to this program's environment; its
// standard output and error go to files of `logs`.
Outcome RunTool(const fs::path& dir, const fs::path& logs, Args args, const Args& env = {}) {
  args.insert(args.begin(), {BuiltHere("saucelins-cli").string(), "-C", dir.string()});
  Args vars(env);
  for (char** e = environ; *e; ++e) vars.push_back(*e);
  std::vector<char*> argv, envp;
  for (std::string& a : args) argv.push_back(&a[0]);
  for (std::string& v : vars) envp.push_back(&v[0]);
  argv.push_back(nullptr);
  envp.push_back(nullptr);

  const std::string out = (logs / "out").string(), err = (logs / "err").string();
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid;
  Outcome o = {-1, "", 0};
  if (posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), envp.data()) == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    o.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  posix_spawn_file_actions_destroy(&files);
  o.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  o.err = Slurp(err);
  return o;
}

class CliProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(logs_.Path().empty());
    // Before entering the folder: the sample's path may be relative to the build folder.
    const fs::path sample = fs::path(__FILE__).parent_path().parent_path() / "sample";
    for (const char* name : {"Gourmix.Idx", "Gourmix.Dat", "Desserts.Dat"}) fs::copy_file(sample / name, dir_ / name);
    ASSERT_TRUE(folder_.Enter());
    std::istringstream index(Slurp("Gourmix.Idx"));
    for (std::string line; std::getline(index, line);) ids_.push_back(std::stoul(line));
    ASSERT_GE(ids_.size(), 51u);
    // A 32-bit build run under a user-mode emulator cannot start a program of its own, and a
    // static one takes no preloaded library.
    if (Run({"--version"}).code != 0) GTEST_SKIP() << "saucelins-cli cannot be started here";
    shimLoads_ = Run({"--version"}, ShimEnv()).code == 0 && fs::exists(logs_.Path() + "/report");
  }

  Outcome Run(const Args& args, const Args& env = {}) {
    return RunTool(dir_, logs_.Path(), args, env);
  }

  // Every file of the folder, by name, to put the folder back as it was between runs.
  std::map<std::string, std::string> Snapshot() {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::directory_iterator(dir_)) {
      files[e.path().filename().string()] = Slurp(e.path().string());
    }
    return files;
  }
  void Restore(const std::map<std::string, std::string>& files) {
    for (const auto& e : fs::directory_iterator(dir_)) fs::remove(e.path());
    for (const auto& f : files) Put(f.first, f.second);
  }

  // How many calls of each kind a run makes, and whether the armed failure happened.
  std::map<std::string, long> ShimReport() {
    std::map<std::string, long> counts;
    std::istringstream in(Slurp(logs_.Path() + "/report"));
    std::string kind;
    for (long n; in >> kind >> n;) counts[kind] = n;
    return counts;
  }
  Args ShimEnv(const std::string& fail = "") {
    Args env = {"LD_PRELOAD=" + BuiltHere("libfault_shim.so").string(),
                "FAULT_SHIM_REPORT=" + logs_.Path() + "/report"};
    if (!fail.empty()) env.push_back("FAULT_SHIM_FAIL=" + fail);
    return env;
  }

  // Runs the command under the shim, which must succeed, and gives the lines of its trace.
  std::vector<std::string> Traced(const Args& args) {
    const std::string trace = logs_.Path() + "/trace";
    fs::remove(trace);
    Args env = ShimEnv();
    env.push_back("FAULT_SHIM_TRACE=" + trace);
    EXPECT_EQ(Run(args, env).code, 0);
    std::istringstream in(Slurp(trace));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  // Runs the command once under the shim to count its calls, checks that run with `check`,
  // then once more for every call of every kind, failing that call, each time from the folder
  // as it was.
  void ForEachFailingCall(const Args& args, const std::function<void(const Outcome&)>& check) {
    const auto pristine = Snapshot();
    const Outcome clean = Run(args, ShimEnv());
    EXPECT_EQ(clean.code, 0) << clean.err;
    check(clean);
    const std::map<std::string, long> counts = ShimReport();
    long failing = 0;
    for (const char* kind : {"write", "sync", "rename", "link", "unlink", "close"}) {
      const long calls = counts.count(kind) ? counts.at(kind) : 0;
      for (long n = 1; n <= calls; ++n) {
        SCOPED_TRACE(std::string(kind) + " call " + std::to_string(n));
        Restore(pristine);
        const Outcome o = Run(args, ShimEnv(std::string(kind) + ":" + std::to_string(n)));
        EXPECT_EQ(ShimReport()["fired"], 1) << "the run made fewer calls than the clean one";
        EXPECT_TRUE(o.code == 0 || !o.err.empty()) << "a failure must be said";
        check(o);
        ++failing;
      }
    }
    EXPECT_GT(failing, 5) << "too few calls seen to fail";
  }

  testfiles::TempFolder folder_{"cli_process"};
  testfiles::TempFolder logs_{"cli_process_logs"};
  const fs::path dir_ = folder_.Path();
  std::vector<uint32_t> ids_;  // the sample's recipe numbers, in index order
  bool shimLoads_ = false;     // whether the fault shim can be preloaded into the tool
};

TEST_F(CliProcessTest, EveryFailingSystemCallOfAMemoCommandLeavesTheOldOrTheNewStore) {
  if (!shimLoads_) GTEST_SKIP() << "the fault shim cannot be preloaded here";
  const std::string longer = MemoText(ids_[1]) + ", now a good deal longer";
  const struct {
    const char* name;
    size_t memosBefore;  // the first n recipes have MemoText memos
    uint32_t id;
    const char* text;  // memo set to text, or deleted when null
    bool inPlace;
  } scenarios[] = {{"first memo", 0, ids_[0], "abc", false}, {"add", 2, ids_[2], "gamma", false},
                   {"replace in place", 2, ids_[0], "short", true},
                   {"replace longer", 2, ids_[1], longer.c_str(), false},
                   {"delete", 2, ids_[0], nullptr, false},
                   {"add to a full directory", 50, ids_[50], "one too many", false}};
  for (const auto& s : scenarios) {
    SCOPED_TRACE(s.name);
    for (const auto& e : fs::directory_iterator(dir_)) {
      if (e.path().filename().string().rfind("Gourmix.mem", 0) == 0) fs::remove(e.path());
    }
    for (size_t i = 0; i < s.memosBefore; ++i) {
      ASSERT_EQ(WriteMemo(MemoStoreName, ids_[i], MemoText(ids_[i]).c_str(), 0), 0);
    }
    const bool hadStore = vlrtest::FileExists(MemoStoreName);
    bool opened = false;
    const Records before = hadStore ? vlrtest::StoredRecords(MemoStoreName, &opened) : Records();
    Records expected = before;
    if (s.text) expected[s.id] = Memo(s.text);
    else expected.erase(s.id);

    Args args = {"memo", s.text ? "set" : "delete", std::to_string(s.id)};
    if (s.text) args.push_back(s.text);
    ForEachFailingCall(args, [&](const Outcome& o) {
      const Records now = vlrtest::StoredRecords(MemoStoreName, &opened);
      if (!opened) {
        // Only a store that was not there may be missing, and then not even as a fragment.
        EXPECT_FALSE(hadStore) << "store lost";
        EXPECT_FALSE(vlrtest::FileExists(MemoStoreName)) << "store unreadable";
      }
      const bool asAfter = opened && SameMemos(now, expected, s.inPlace);
      EXPECT_TRUE(SameMemos(now, before, false) || asAfter) << "neither the old memos nor the new";
      EXPECT_TRUE(o.code != 0 || (opened && now == expected)) << "success reported, memo not stored";
      // A temporary file left behind holds a whole store.
      for (const auto& e : fs::directory_iterator(dir_)) {
        if (e.path().extension() != ".tmp") continue;
        bool whole = false;
        vlrtest::StoredRecords(e.path().c_str(), &whole);
        EXPECT_TRUE(whole) << "partial temporary file " << e.path();
        std::error_code error;
        EXPECT_FALSE(fs::equivalent(e.path(), MemoStoreName, error)) << "second name of the store " << e.path();
      }
    });
  }
}

TEST_F(CliProcessTest, EveryFailingSystemCallOfAResaveLeavesTheOldOrTheNewIndex) {
  if (!shimLoads_) GTEST_SKIP() << "the fault shim cannot be preloaded here";
  // A comment line that a save drops, so that the old and the new index differ.
  Put("Gourmix.Idx", "# notes de l'auteur\r\n" + Slurp("Gourmix.Idx"));
  ASSERT_EQ(WriteMemo(MemoStoreName, ids_[0], "abc", 0), 0);
  const std::string oldIndex = Slurp("Gourmix.Idx");
  const std::string memos = Slurp(MemoStoreName);

  ASSERT_EQ(Run({"list"}).code, 0);
  const std::string listed = Slurp(logs_.Path() + "/out");
  std::string newIndex;
  ForEachFailingCall({"resave"}, [&](const Outcome& o) {
    const std::string index = Slurp("Gourmix.Idx", "<missing>");
    if (newIndex.empty()) {  // the run without a fault
      newIndex = index;
      ASSERT_NE(newIndex, oldIndex);
    }
    EXPECT_TRUE(index == oldIndex || index == newIndex) << "index neither old nor new";
    EXPECT_TRUE(o.code != 0 || index == newIndex) << "success reported, index not saved";
    EXPECT_EQ(Slurp(MemoStoreName), memos);
    ASSERT_EQ(Run({"list"}).code, 0);
    EXPECT_EQ(Slurp(logs_.Path() + "/out"), listed) << "the catalogue reads differently";
  });
}

// The order of the writes as they reach the disk: a record is synced before the directory
// entry that describes it is written, so a power cut leaves the entry old or new, never a new
// length over old bytes.
TEST_F(CliProcessTest, RecordReachesTheDiskBeforeItsEntry) {
  if (!shimLoads_) GTEST_SKIP() << "the fault shim cannot be preloaded here";
  ASSERT_EQ(WriteMemo(MemoStoreName, ids_[0], MemoText(ids_[0]).c_str(), 0), 0);
  const struct {
    const char* name;
    uint32_t id;
    const char* text;
    uint32_t entry;
  } cases[] = {{"in place", ids_[0], "short", 0}, {"append", ids_[1], "new memo", 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // The store's writes and syncs, in order: the record's write, a sync, the entry's write
    // (with or after the count's), a sync.
    std::vector<std::string> merged;  // runs of one kind counted once
    for (const std::string& line : Traced({"memo", "set", std::to_string(c.id), c.text})) {
      std::istringstream fields(line);
      std::string what, name;
      long long offset = 0, length = 0;
      fields >> what >> name >> offset >> length;
      if (name != MemoStoreName) continue;
      const bool directory = offset < static_cast<long long>(EntryAt(c.entry)) + 16 && offset + length > 58;
      const char* e = what == "sync" ? "sync" : directory ? "directory" : "record";
      if (merged.empty() || merged.back() != e) merged.push_back(e);
    }
    EXPECT_EQ(merged, (std::vector<std::string>{"record", "sync", "directory", "sync"}));
  }
}

// A rename or a link lasts only once the folder that holds the names is on disk: each is
// followed by a sync of the folder before the next one, and before the command ends.
TEST_F(CliProcessTest, TheFolderIsSyncedAfterEveryRenameOrLink) {
  if (!shimLoads_) GTEST_SKIP() << "the fault shim cannot be preloaded here";
  const std::string id = std::to_string(ids_[0]);
  // The first memo is linked into place, the rewrite and the resave (index and backup) renamed.
  for (const Args& args : {Args{"memo", "set", id, "abc"}, {"memo", "delete", id}, {"resave"}}) {
    SCOPED_TRACE(args[0] + " " + args.back());
    std::vector<std::string> renames;
    bool unsynced = false;
    for (const std::string& line : Traced(args)) {
      if (line.rfind("rename ", 0) == 0 || line.rfind("link ", 0) == 0) {
        EXPECT_FALSE(unsynced) << "before " << line;
        unsynced = true;
        renames.push_back(line);
      }
      if (line == "sync .") unsynced = false;
    }
    EXPECT_EQ(renames.size(), args[0] == "resave" ? 2u : 1u);
    EXPECT_FALSE(unsynced) << "after " << renames.back();
  }
}

// ---- two programs on one folder ----

TEST_F(CliProcessTest, AWriterWaitsAboutTwoSecondsForAHeldStoreThenSaysSo) {
  ASSERT_EQ(WriteMemo(MemoStoreName, ids_[0], "abc", 0), 0);
  const std::string id = std::to_string(ids_[0]);
  const std::string store = Slurp(MemoStoreName);
  const std::string lockName = std::string(MemoStoreName) + kMemoLockSuffix;
  const std::string busy = Utf8Text(IDS_MEMO_BUSY);
  for (fileio::FileLock::Mode held : {fileio::FileLock::kExclusive, fileio::FileLock::kShared}) {
    SCOPED_TRACE(held == fileio::FileLock::kShared ? "a reader holds it" : "a writer holds it");
    fileio::FileLock lock;
    ASSERT_EQ(lock.Acquire(lockName.c_str(), held, 0), fileio::FileLock::kLocked);
    for (const Args& write : {Args{"memo", "set", id, "a"}, {"memo", "delete", id}}) {
      const Outcome o = Run(write);
      EXPECT_EQ(o.code, 1);
      EXPECT_EQ(o.err, busy + "\n");
      EXPECT_TRUE(o.seconds >= 1.9 && o.seconds < 8.0) << o.seconds << " s";
      EXPECT_EQ(Slurp(MemoStoreName), store);
    }
    // Readers share the store with a reader only.
    const Outcome read = Run({"memo", "get", id});
    const bool shared = held == fileio::FileLock::kShared;
    EXPECT_EQ(read.code, shared ? 0 : 1) << read.err;
    EXPECT_TRUE(shared ? read.seconds < 1.5 : read.err.find(Utf8Text(IDS_CLI_VLR_901)) != std::string::npos)
        << read.seconds << " s: " << read.err;
  }
  // Let go, and the same write goes through at once.
  const Outcome o = Run({"memo", "set", std::to_string(ids_[1]), "another memo"});
  EXPECT_EQ(o.code, 0) << o.err;
  EXPECT_LT(o.seconds, 1.5);
}

// Two tools writing memos of different recipes at once: appends, rewrites of a full
// directory and replacements in place, interleaved as the system pleases. Not one is lost.
TEST_F(CliProcessTest, TwoToolsWritingAtOnceLoseNoMemo) {
  const size_t recipes = 50;  // the 50th fills the first directory, the next ones rewrite
  const char* const rounds[] = {"r1 ", "second round, longer than the first, for ", "r3 "};
  auto text = [&](int round, uint32_t id) { return rounds[round] + std::to_string(id); };
  testfiles::TempFolder logsA{"cli_process_a"}, logsB{"cli_process_b"};
  const std::string logs[2] = {logsA.Path(), logsB.Path()};
  pid_t children[2];
  for (int side = 0; side < 2; ++side) {
    children[side] = fork();
    ASSERT_GE(children[side], 0);
    if (children[side] == 0) {
      int failures = 0;
      for (int round = 0; round < 3; ++round) {
        for (size_t i = static_cast<size_t>(side); i < recipes; i += 2) {
          const std::string id = std::to_string(ids_[i]);
          failures += RunTool(dir_, logs[side], {"memo", "set", id, text(round, ids_[i])}).code != 0;
        }
      }
      std::_Exit(failures > 100 ? 100 : failures);
    }
  }
  int failures = 0;
  for (pid_t child : children) {
    int status = 0;
    waitpid(child, &status, 0);
    failures += WIFEXITED(status) ? WEXITSTATUS(status) : 1000;
  }
  EXPECT_EQ(failures, 0) << "writes reported as failed";
  bool opened = false;
  const Records stored = vlrtest::StoredRecords(MemoStoreName, &opened);
  ASSERT_TRUE(opened);
  Records expected;  // the last round of every recipe
  for (size_t i = 0; i < recipes; ++i) expected[ids_[i]] = Memo(text(2, ids_[i]));
  EXPECT_TRUE(SameMemos(stored, expected, true)) << "memos lost";
}

}  // namespace

// Arbitrary bytes as the memo store: opening them, reading every entry and writing a memo
// must never crash or read out of bounds, and a write reported as done must read back.
//
// Run from a scratch copy of the corpus (libFuzzer adds new inputs to the first folder):
//   cp -r fuzz/corpus/vlr /tmp/vlr_corpus
//   build/fuzz/vlr_store_fuzz -max_total_time=30 -artifact_prefix=$PWD/ /tmp/vlr_corpus
// The target works inside a private temporary folder (the store's temporary files are
// made in the current directory), hence the absolute artifact prefix.
//
// Seeds (fuzz/corpus/vlr) are stores written by WriteMemo: one memo, an in-place shrink, an
// emptied store, 51 memos (100-entry region), a full store after a longer replacement, a
// growth unit of 3, a header allowing 4-byte records, a 3000-byte memo.
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "vlr/memo.h"
#include "vlr/vlr.h"

namespace {

constexpr int32_t kDialogBuffer = 2048;  // what the memo dialog reads into
constexpr uint32_t kMaxKeysChecked = 256;

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "vlr_store_fuzz: %s\n", what);
    std::abort();
  }
}

void Store(const uint8_t* data, size_t size) {
  FILE* f = std::fopen(MemoStoreName, "wb");
  Check(f != nullptr, "cannot write the input");
  if (size > 0) Check(std::fwrite(data, 1, size, f) == size, "short input write");
  std::fclose(f);
}

void ClearFolder() {
  std::error_code ignored;
  for (auto& e : std::filesystem::directory_iterator(".", ignored)) {
    std::filesystem::remove(e.path(), ignored);
  }
}

// Reads every entry by index and every key by key; returns the keys in use.
std::vector<uint32_t> ReadEverything() {
  std::vector<uint32_t> keys;
  VlrStatus status = 0;
  VlrFile* file = VlrOpen(MemoStoreName, "rb", &status);
  Check((file != nullptr) == (status == kVlrOk), "open status and handle disagree");
  if (!file) return keys;
  Check(file->count <= file->capacity, "count beyond the directory");
  char buffer[kDialogBuffer];
  for (uint32_t i = 0; i < file->count; ++i) {
    VlrRecord record = {0, buffer, kDialogBuffer};
    VlrStatus st = VlrRead(file, &record, static_cast<int32_t>(i));
    Check(record.length >= 0 && record.length <= kDialogBuffer, "read length out of range");
    if (st == kVlrOk && (file->directory[i].flags & 1) && keys.size() < kMaxKeysChecked) {
      keys.push_back(record.key);
    }
  }
  VlrClose(file);
  for (uint32_t key : keys) {
    int32_t length = kDialogBuffer;
    int st = ReadMemo(MemoStoreName, key, buffer, &length);
    Check(st != kVlrOk || (length >= 0 && length <= kDialogBuffer), "memo length out of range");
    Check(ReadMemo(MemoStoreName, key, nullptr, nullptr) == st || st != kVlrOk,
          "probe and read disagree");
  }
  return keys;
}

}  // namespace

// libFuzzer ends without running exit handlers, so each run's folder is named after its
// process and the folders of processes that are gone are cleared at the next start.
std::string WorkFolder(const std::filesystem::path& base) {
  std::error_code ignored;
  const std::string prefix = "vlr_store_fuzz_";
  for (auto& e : std::filesystem::directory_iterator(base, ignored)) {
    std::string name = e.path().filename().string();
    if (name.rfind(prefix, 0) != 0) continue;
    long pid = std::strtol(name.c_str() + prefix.size(), nullptr, 10);
    if (pid > 0 && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
      std::filesystem::remove_all(e.path(), ignored);
    }
  }
  std::filesystem::path folder = base / (prefix + std::to_string(getpid()));
  std::filesystem::remove_all(folder, ignored);
  if (!std::filesystem::create_directory(folder, ignored)) return std::string();
  return folder.string();
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // rand() drives the temporary names; unseeded as in the program.
  // In memory when possible: every rewrite flushes to disk, which would set the pace.
  std::string folder = WorkFolder("/dev/shm");
  if (folder.empty()) folder = WorkFolder("/tmp");
  Check(!folder.empty(), "no temporary folder");
  Check(chdir(folder.c_str()) == 0, "cannot enter the temporary folder");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ClearFolder();
  Store(data, size);
  std::vector<uint32_t> keys = ReadEverything();

  // One write on the same bytes: the last input byte picks what kind.
  const uint8_t pick = size > 0 ? data[size - 1] : 0;
  const uint32_t existing = keys.empty() ? 7 : keys[pick % keys.size()];
  std::string text;
  uint32_t key = existing;
  switch (pick & 3) {
    case 0: text = "x"; break;                          // fits in place when the key exists
    case 1: text = std::string(300, 'L'); break;        // longer: a rewrite
    case 2: key = 0xFEEDF00Du; text = "new"; break;     // append or rewrite
    case 3: break;                                      // delete
  }
  int rc = WriteMemo(MemoStoreName, key, text.empty() ? nullptr : text.c_str(), 0);
  Check(rc <= 0, "write status out of range");
  if (rc == kVlrOk) {
    char buffer[kDialogBuffer];
    int32_t length = kDialogBuffer;
    int st = ReadMemo(MemoStoreName, key, buffer, &length);
    if (text.empty()) {
      Check(st == kVlrNotFound, "deleted memo still there");
    } else {
      Check(st == kVlrOk, "written memo cannot be read");
      // A store whose header allows shorter records keeps the memo cut to that length.
      Check(length >= 0 && length <= static_cast<int32_t>(text.size() + 1) &&
                std::memcmp(buffer, text.c_str(), length) == 0,
            "written memo reads back different");
    }
    ReadEverything();
  }
  return 0;
}

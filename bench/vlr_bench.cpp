// Memo store speed with 10,000 memos, and what an in-place replacement really writes.
//
// Prints: the time to fill the store one memo at a time, the medians of the probe the main
// window runs on every selection (goal: under 1 ms), of an in-place replacement, an append
// and a rewrite, and the bytes an in-place replacement writes, checked two ways: the
// process's write() byte count (/proc/self/io) and a comparison of the file before and after.
// The same figures also go out as figure lines (bench/bench_figures.h). Exit status 1 when a
// check fails.
//
// Usage: vlr_bench [--tiny]   (--tiny: 500 memos, to check that it runs)
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench/bench_figures.h"
#include "vlr/memo.h"
#include "vlr/vlr.h"
#include "vlr/vlr_format.h"

namespace {

uint32_t kMemos = 10000;  // 500 with --tiny
typedef std::chrono::steady_clock Clock;

double Micros(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::micro>(b - a).count();
}

struct Stats {
  std::vector<double> samples;
  void Add(double us) { samples.push_back(us); }
  double Quantile(double q) {
    if (samples.empty()) return 0;
    std::sort(samples.begin(), samples.end());
    return samples[static_cast<size_t>(q * (samples.size() - 1))];
  }
  void Print(const char* what) {
    std::printf("%-44s median %9.1f us   p90 %9.1f us   max %9.1f us   (%zu runs)\n", what,
                Quantile(0.5), Quantile(0.9), Quantile(1.0), samples.size());
  }
  // The median as a figure line, in ms, the store's memo count as the size.
  void Figure(const char* what, const char* goal = "-") {
    bench::Figure(what, kMemos, samples.size(), Quantile(0.5) / 1000.0, -1, goal);
  }
};

// Bytes handed to write() and read() by this process so far.
bool IoCounters(long long* written, long long* read) {
  std::ifstream in("/proc/self/io");
  std::string key;
  long long value;
  bool haveW = false, haveR = false;
  while (in >> key >> value) {
    if (key == "wchar:") { *written = value; haveW = true; }
    if (key == "rchar:") { *read = value; haveR = true; }
  }
  return haveW && haveR;
}

std::vector<uint8_t> ReadAll(const char* name) {
  std::ifstream in(name, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A memo of 40 to 240 characters, different for every id and version.
std::string MemoText(uint32_t id, int version) {
  std::string text = "Memo " + std::to_string(id) + " v" + std::to_string(version) + ": ";
  size_t length = 40 + (id * 2654435761u >> 8) % 200;
  while (text.size() < length) text += "a pinch of salt, ";
  text.resize(length);
  return text;
}

int failures = 0;
void Expect(bool ok, const char* what) {
  if (!ok) {
    std::printf("CHECK FAILED: %s\n", what);
    ++failures;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--tiny") == 0) kMemos = 500;
  char folder[] = "/tmp/vlr_bench_XXXXXX";
  if (!mkdtemp(folder) || chdir(folder) != 0) {
    std::perror("temporary folder");
    return 1;
  }
  std::printf("memo store benchmark, %u memos, in %s\n", kMemos, folder);
  const char* store = MemoStoreName;

  // Fill one memo at a time, as a user would: each 50th memo finds the directory full and
  // rewrites the store, the others are appended.
  Stats append, growRewrite;
  auto fillStart = Clock::now();
  for (uint32_t id = 1; id <= kMemos; ++id) {
    std::string text = MemoText(id, 0);
    auto t0 = Clock::now();
    int rc = WriteMemo(store, id, text.c_str(), 0);
    auto t1 = Clock::now();
    if (rc != 0) {
      std::printf("WriteMemo(%u) failed: %d\n", id, rc);
      return 1;
    }
    if (id > kMemos - kMemos / 10) ((id - 1) % 50 == 0 ? growRewrite : append).Add(Micros(t0, t1));
  }
  auto fillEnd = Clock::now();
  std::printf("filling %u memos one by one %17s %9.2f s (%u rewrites, %u appends)\n", kMemos, "",
              Micros(fillStart, fillEnd) / 1e6, kMemos / 50, kMemos - kMemos / 50);
  std::printf("store size %zu bytes\n", ReadAll(store).size());
  append.Print("append (last tenth of the fill)");
  growRewrite.Print("rewrite, directory full (same stores)");
  append.Figure("memo append, directory with room (last tenth of the fill)");
  growRewrite.Figure("memo store rewrite, directory full (last tenth of the fill)");

  // The probe of the main window: open, find, close.
  Stats probe, probeMissing, dialogRead;
  long long w0 = 0, r0 = 0, w1 = 0, r1 = 0;
  bool haveIo = IoCounters(&w0, &r0);
  for (int i = 0; i < 2000; ++i) {
    uint32_t id = 1 + static_cast<uint32_t>(std::rand()) % kMemos;
    auto t0 = Clock::now();
    int rc = ReadMemo(store, id, nullptr, nullptr);
    probe.Add(Micros(t0, Clock::now()));
    Expect(rc == 0, "probe of an existing memo");
  }
  haveIo = haveIo && IoCounters(&w1, &r1);
  for (int i = 0; i < 500; ++i) {
    auto t0 = Clock::now();
    int rc = ReadMemo(store, kMemos + 1 + i, nullptr, nullptr);
    probeMissing.Add(Micros(t0, Clock::now()));
    Expect(rc == kVlrNotFound, "probe of a missing memo");
  }
  for (int i = 0; i < 500; ++i) {
    uint32_t id = 1 + static_cast<uint32_t>(std::rand()) % kMemos;
    char buffer[2048];
    int32_t length = sizeof buffer;
    auto t0 = Clock::now();
    int rc = ReadMemo(store, id, buffer, &length);
    dialogRead.Add(Micros(t0, Clock::now()));
    Expect(rc == 0 && std::string(buffer) == MemoText(id, 0), "memo read back");
  }
  probe.Print("probe, memo present (goal < 1000 us)");
  probeMissing.Print("probe, memo absent (whole directory scanned)");
  dialogRead.Print("read into the dialog's 2048-byte buffer");
  probe.Figure("memo probe (open, find, close), memo present", "1");
  probeMissing.Figure("memo probe, memo absent");
  dialogRead.Figure("memo read into the dialog's buffer");
  Expect(probe.Quantile(0.5) < 1000.0, "probe median under 1 ms");
  if (haveIo) {
    std::printf("%-44s %lld bytes read per probe (header 28 + count 4 + %u entries x 16 = %u)\n",
                "probe reads", (r1 - r0) / 2000, kMemos, 32 + 16 * kMemos);
    std::printf("%-44s (the stream reads whole 4 KB blocks around the directory)\n", "");
  }

  // In place: a replacement no longer than the old memo.
  Stats inPlace;
  for (int i = 0; i < 300; ++i) {
    uint32_t id = 1 + static_cast<uint32_t>(std::rand()) % kMemos;
    char suffix[8];
    std::snprintf(suffix, sizeof suffix, "%03d", i);
    std::string text = MemoText(id, 0).substr(0, 30) + suffix;  // always 34 bytes: it fits
    auto t0 = Clock::now();
    int rc = WriteMemo(store, id, text.c_str(), 0);
    inPlace.Add(Micros(t0, Clock::now()));
    Expect(rc == 0, "in-place replacement");
  }
  inPlace.Print("in-place replacement");
  inPlace.Figure("memo replacement in place");

  // What one in-place replacement writes: the record, the count and one entry, nothing else.
  {
    const uint32_t id = std::min<uint32_t>(4321, kMemos / 2);
    VlrStatus status;
    VlrFile* file = VlrOpen(store, "rb", &status);
    int32_t index = file ? VlrFind(file, id) : -1;
    Expect(index >= 0, "memo to replace present");
    if (index < 0) return 1;
    const VlrEntry entry = file->directory[index];
    VlrClose(file);
    const std::string text = "tiny";  // 5 bytes with its NUL, shorter than any memo here
    const std::vector<uint8_t> before = ReadAll(store);
    long long wb = 0, rb = 0, wa = 0, ra = 0;
    bool io = IoCounters(&wb, &rb);
    int rc = WriteMemo(store, id, text.c_str(), 0);
    io = io && IoCounters(&wa, &ra);
    const std::vector<uint8_t> after = ReadAll(store);
    Expect(rc == 0, "replacement in place");
    Expect(before.size() == after.size(), "file size unchanged");
    const size_t entryAt = vlr::kDirOffset + vlr::kCountSize + vlr::kEntrySize * static_cast<size_t>(index);
    size_t differing = 0, outside = 0;
    for (size_t i = 0; i < std::min(before.size(), after.size()); ++i) {
      if (before[i] == after[i]) continue;
      ++differing;
      bool inRecord = i >= entry.offset && i < entry.offset + text.size() + 1;
      bool inCount = i >= vlr::kDirOffset && i < vlr::kDirOffset + vlr::kCountSize;
      bool inEntry = i >= entryAt && i < entryAt + vlr::kEntrySize;
      if (!inRecord && !inCount && !inEntry) ++outside;
    }
    std::printf("%-44s %zu bytes differ, %zu outside record/count/entry\n",
                "in-place replacement, file compared", differing, outside);
    Expect(outside == 0, "only the record, the count and the entry change");
    if (io) {
      std::printf("%-44s %lld bytes written (record %zu + count 4 + entry 16 = %zu)\n",
                  "in-place replacement, write() bytes", wa - wb, text.size() + 1,
                  text.size() + 1 + 4 + 16);
      bench::Figure("bytes written by a replacement in place (floor: record, count, entry)", kMemos, 1,
                    static_cast<double>(wa - wb), static_cast<double>(text.size() + 1 + 4 + 16), "-", "B");
      Expect(wa - wb == static_cast<long long>(text.size() + 1 + 4 + 16),
             "exactly the record, the count and one entry written");
    }
  }

  // Rewrites of the full store: a longer replacement, a deletion.
  Stats longer, deletion;
  for (int i = 0; i < 10; ++i) {
    uint32_t id = 1 + static_cast<uint32_t>(std::rand()) % kMemos;
    std::string text = MemoText(id, 1) + std::string(300, '+');
    auto t0 = Clock::now();
    int rc = WriteMemo(store, id, text.c_str(), 0);
    longer.Add(Micros(t0, Clock::now()));
    Expect(rc == 0, "longer replacement");
  }
  for (int i = 0; i < 10; ++i) {
    auto t0 = Clock::now();
    int rc = WriteMemo(store, 100 + i, nullptr, 0);
    deletion.Add(Micros(t0, Clock::now()));
    Expect(rc == 0, "deletion");
  }
  longer.Print("rewrite, longer replacement (whole store)");
  deletion.Print("rewrite, deletion");
  longer.Figure("memo store rewrite, longer replacement");
  deletion.Figure("memo store rewrite, deletion");
  Expect(ReadMemo(store, 105, nullptr, nullptr) == kVlrNotFound, "deleted memo gone");

  std::error_code ignored;
  std::filesystem::current_path("/", ignored);
  std::filesystem::remove_all(folder, ignored);
  std::printf("%s\n", failures == 0 ? "all checks passed" : "SOME CHECKS FAILED");
  return failures == 0 ? 0 : 1;
}

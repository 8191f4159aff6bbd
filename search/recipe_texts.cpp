#include "search/recipe_texts.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "catalogue/catalogue.h"
#include "platform/fileio.h"

namespace search {
namespace {

// Large enough for many recipes per read, small enough not to matter next to the index.
constexpr size_t kWindow = 1 << 20;

// The slice FetchRecipeText would read: its length, or 0 when the fetch would fail before
// reading (an empty slice, or a start no long can reach).
uint32_t SliceLength(const RecipeEntry& e) {
  uint32_t length = e.textEnd - e.textStart;
  if (length >= kRecipeTextCap) length = kRecipeTextCap;
  if (e.textStart > 0x7FFFFFFFu) return 0;
  return length;
}

const char* Name(const RecipeEntry& e) { return e.dataFile ? e.dataFile : ""; }

}  // namespace

std::vector<uint32_t> FileOrder(const RecipeEntry* entries, uint32_t count) {
  std::vector<uint32_t> order(count);
  for (uint32_t i = 0; i < count; ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [entries](uint32_t a, uint32_t b) {
    const RecipeEntry& x = entries[a];
    const RecipeEntry& y = entries[b];
    if (x.dataFile != y.dataFile) {
      int c = std::strcmp(Name(x), Name(y));
      if (c != 0) return c < 0;
    }
    return x.textStart < y.textStart;
  });
  return order;
}

SliceReader::SliceReader() : window_(kWindow) {}

SliceReader::~SliceReader() {
  if (stream_) fileio::Close(static_cast<FILE*>(stream_));
}

void SliceReader::Switch(const char* file) {
  if (stream_) fileio::Close(static_cast<FILE*>(stream_));
  file_ = file;
  stream_ = fileio::Open(file, "rb");
  size_ = -1;
  windowLength_ = 0;
  if (!stream_) return;
  FILE* f = static_cast<FILE*>(stream_);
  if (fileio::Seek(f, 0, SEEK_END) == 0) size_ = fileio::Tell(f);
}

const char* SliceReader::Text(const RecipeEntry& entry, size_t* length) {
  *length = 0;
  const char* name = Name(entry);
  if (!file_ || (file_ != name && std::strcmp(file_, name) != 0)) Switch(name);
  const uint32_t n = SliceLength(entry);
  if (!stream_ || size_ < 0 || n == 0) return nullptr;
  const uint64_t end = static_cast<uint64_t>(entry.textStart) + n;
  if (end > static_cast<uint64_t>(size_)) return nullptr;  // runs past the end: not whole
  if (entry.textStart < windowStart_ || end > windowStart_ + static_cast<uint64_t>(windowLength_)) {
    FILE* f = static_cast<FILE*>(stream_);
    windowLength_ = 0;
    if (fileio::Seek(f, static_cast<long>(entry.textStart), SEEK_SET) != 0) return nullptr;
    const uint64_t left = static_cast<uint64_t>(size_) - entry.textStart;
    const size_t want = static_cast<size_t>(std::min<uint64_t>(left, kWindow));
    const size_t got = fileio::Read(window_.data(), 1, want, f);
    windowStart_ = entry.textStart;
    windowLength_ = got;
    if (got < n) return nullptr;
  }
  const char* text = window_.data() + (entry.textStart - windowStart_);
  const void* nul = std::memchr(text, '\0', n);
  *length = nul ? static_cast<size_t>(static_cast<const char*>(nul) - text) : n;
  return text;
}

bool ReadRecipeText(const RecipeEntry& entry, std::vector<char>* out) {
  out->clear();
  const uint32_t n = SliceLength(entry);
  if (n == 0) return false;
  FILE* f = fileio::Open(Name(entry), "rb");
  if (!f) return false;
  out->resize(n);
  bool ok = fileio::Seek(f, static_cast<long>(entry.textStart), SEEK_SET) == 0 &&
            fileio::Read(out->data(), 1, n, f) == n;
  fileio::Close(f);
  if (!ok) {
    out->clear();
    return false;
  }
  const void* nul = std::memchr(out->data(), '\0', n);
  if (nul) out->resize(static_cast<size_t>(static_cast<const char*>(nul) - out->data()));
  return true;
}

}  // namespace search

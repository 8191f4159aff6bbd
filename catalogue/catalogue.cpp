// Loading the catalogue without any window, and reading one recipe's text from its base.
#include "catalogue/catalogue.h"

#include <cstdio>
#include <cstring>

#include "platform/fileio.h"
#include "resources/resource.h"
#include "resources/strings.h"

char RecipeTextBuffer[kRecipeTextCap + 1];

namespace {
// A file that is opened must be closed on every way out.
class FileCloser {
 public:
  explicit FileCloser(FILE* f) : f_(f) {}
  ~FileCloser() {
    if (f_) fileio::Close(f_);
  }
  FileCloser(const FileCloser&) = delete;
  FileCloser& operator=(const FileCloser&) = delete;

 private:
  FILE* f_;
};

// Puts string `id` (two %s: the title, then the file name) into the text buffer.
const char* ErrorText(unsigned id, const RecipeEntry* entry) {
  char format[128];
  LoadText(id, format, sizeof format);
  // Our own two-%s formats only: any other conversion is dropped rather than trusted.
  const char* args[2] = {entry->title ? entry->title : "", entry->dataFile ? entry->dataFile : ""};
  int used = 0;
  size_t out = 0;
  const size_t cap = sizeof RecipeTextBuffer - 1;
  for (const char* p = format; *p && out < cap; ++p) {
    if (p[0] == '%' && p[1] == 's') {
      const char* a = used < 2 ? args[used] : "";
      ++used;
      ++p;
      size_t n = std::strlen(a);
      if (n > cap - out) n = cap - out;
      std::memcpy(RecipeTextBuffer + out, a, n);
      out += n;
    } else if (p[0] == '%' && p[1] == '%') {
      RecipeTextBuffer[out++] = '%';
      ++p;
    } else {
      RecipeTextBuffer[out++] = *p;
    }
  }
  RecipeTextBuffer[out] = '\0';
  return RecipeTextBuffer;
}
}  // namespace

long IndexFileSize() {
  FILE* f = fileio::Open(kIndexFileName, "r");
  if (!f) return 0;
  FileCloser closer(f);
  if (fileio::Seek(f, 0, SEEK_END) != 0) return 0;
  long size = fileio::Tell(f);
  return size < 0 ? 0 : size;
}

LoadOutcome LoadCatalogueCore(WindowRef owner, CategoryTree& tree, uint32_t* count) {
  if (count) *count = 0;
  long size = IndexFileSize();
  if (size == 0) return LoadOutcome::NoIndex;

  // The gauge counts in 32 bits; an index that large would not load anyway.
  SetGaugeRange(size > 0x7FFFFFFFL ? 0x7FFFFFFF : static_cast<int32_t>(size));
  OpenGauge(owner, 50000);
  char title[128];
  LoadText(IDS_GAUGE_LOAD, title, sizeof title);
  SetGaugeTitle(title);

  uint32_t n = LoadIndex(tree);

  CloseGauge();
  // A later save shows its gauge against the number of recipes.
  SetGaugeRange(static_cast<int32_t>(n));
  if (count) *count = n;
  return n == 0 ? LoadOutcome::Empty : LoadOutcome::Loaded;
}

const char* FetchRecipeText(const RecipeEntry* entry) {
  uint32_t length = entry->textEnd - entry->textStart;
  if (length >= kRecipeTextCap) length = kRecipeTextCap;

  FILE* f = fileio::Open(entry->dataFile, "rb");
  if (!f) return ErrorText(IDS_OPEN_ERROR, entry);

  bool ok = false;
  {
    FileCloser closer(f);
    // A start beyond what a long can address cannot be a real slice: it is a read error. So is
    // an end before the start: taken as a length it would show the recipes that follow in the
    // base under this one's title.
    if (entry->textStart <= 0x7FFFFFFFu && entry->textEnd >= entry->textStart && length > 0 &&
        fileio::Seek(f, static_cast<long>(entry->textStart), SEEK_SET) == 0) {
      ok = fileio::Read(RecipeTextBuffer, 1, length, f) == length;
    }
  }
  if (!ok) return ErrorText(IDS_READ_ERROR, entry);
  RecipeTextBuffer[length] = '\0';
  return RecipeTextBuffer;
}

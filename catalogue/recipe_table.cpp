// The recipe table and the index file.
//
// The index is read in one block and split in memory, so a line is never cut whatever its
// length, and the gauge follows the file's own byte offsets. A save writes a complete new index
// beside the old one and swaps it in only once it is on disk; the index it replaces is kept as
// the backup.
#include "catalogue/recipe_table.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <functional>
#include <new>
#include <string_view>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "catalogue/index_stamp.h"
#include "categories/label_order.h"
#include "platform/fileio.h"
#include "resources/resource.h"
#include "resources/strings.h"

const char kSharedDataFile[] = "Gourmix.Dat";
const char kIndexFileName[] = "Gourmix.Idx";
const char kIndexBackupName[] = "Gourmix.Bak";
const char kIndexLockName[] = "Gourmix.Idx.lck";

namespace {

const char kIndexTempName[] = "Gourmix.Tmp";   // the new index while it is written
const char kBackupTempName[] = "Gourmix.Tbk";  // the copy of the old index while it is made

constexpr uint32_t kGrowth = 10;  // entries added each time the table is full
constexpr int kFields = 8;        // columns a line needs; later ones are ignored
constexpr int32_t kSaveGaugeThreshold = 500;
constexpr size_t kIoBlock = 64 * 1024;
// A save waits this long for another program's save to end (one of 100,000 recipes takes
// about a fifth of a second).
constexpr int kSaveLockWaitMs = 5000;

// Titles and file names of one load live in large blocks released together: one allocation per
// 64 KiB of text rather than one per recipe, and no heap overhead per text.
struct TextBlock {
  TextBlock* next;
  size_t used;
  size_t cap;
  char* bytes() { return reinterpret_cast<char*>(this + 1); }
};
constexpr size_t kTextBlock = 64 * 1024 - sizeof(TextBlock) - 64;

struct Table {
  RecipeEntry* entries = nullptr;
  uint32_t count = 0;
  uint32_t capacity = 0;        // the count rounded up to a multiple of kGrowth
  uint32_t allocated = 0;       // entries the array really holds while a load runs
  TextBlock* texts = nullptr;  // newest first
  size_t titleBytes = 0;       // of every title, terminators aside
};
Table g_table;

// The index as this process last read or wrote it: a guarded save replaces only that.
IndexStamp g_indexStamp;

IndexLineObserver g_lineObserver = nullptr;
void* g_lineObserverContext = nullptr;

// A copy of [s, s + n) as a C string, kept until the table is released; null when out of memory.
char* StoreText(Table& t, const char* s, size_t n) {
  TextBlock* b = t.texts;
  if (!b || b->cap - b->used < n + 1) {
    size_t cap = n + 1 > kTextBlock ? n + 1 : kTextBlock;
    b = static_cast<TextBlock*>(fileio::Malloc(sizeof(TextBlock) + cap));
    if (!b) return nullptr;
    b->next = t.texts;
    b->used = 0;
    b->cap = cap;
    t.texts = b;
  }
  char* d = b->bytes() + b->used;
  std::memcpy(d, s, n);
  d[n] = '\0';
  b->used += n + 1;
  return d;
}

void FreeTable(Table& t) {
  fileio::Free(t.entries);
  for (TextBlock* b = t.texts; b;) {
    TextBlock* next = b->next;
    fileio::Free(b);
    b = next;
  }
  t = Table();
}

bool IsCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// How many of the eight bytes in w (the first in the low byte) are digits before the first
// that is not. Each byte of `bad` is zero where the byte is a digit: high half 3, and still 3
// once 6 is added to the low half. A carry out of a byte only reaches the bytes after it,
// which are past the first one that is not a digit anyway.
uint32_t LeadingDigits(uint64_t w) {
  const uint64_t kHigh = 0xF0F0F0F0F0F0F0F0ull;
  const uint64_t bad = ((w & kHigh) | (((w + 0x0606060606060606ull) & kHigh) >> 4)) ^ 0x3333333333333333ull;
  return bad ? static_cast<uint32_t>(__builtin_ctzll(bad)) / 8 : 8;
}

// The value of eight digits, the first in the low byte of w.
uint32_t EightDigits(uint64_t w) {
  w -= 0x3030303030303030ull;
  w = w * 10 + (w >> 8);  // pairs of digits
  return static_cast<uint32_t>(((w & 0x000000FF000000FFull) * (100 + (1000000ull << 32)) +
                                ((w >> 16) & 0x000000FF000000FFull) * (1 + (10000ull << 32))) >> 32);
}

// Skips white space and reads an optional sign; returns the magnitude of the digits that
// follow, saturated just above 32 bits. The bytes up to p + 8 can be read whatever `end`.
uint64_t ReadMagnitude(const char* p, const char* end, bool* negative) {
  *negative = false;
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  // A lone digit, as the columns kept unchanged mostly hold, needs nothing more.
  if (p < end && digit(p[0]) && (end - p == 1 || !digit(p[1]))) {
    return static_cast<unsigned>(p[0] - '0');
  }
  if (p < end && !digit(*p)) {
    while (p < end && IsCSpace(*p)) ++p;
    if (p < end && (*p == '+' || *p == '-')) *negative = *p++ == '-';
  }
  uint64_t v = 0;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  // The first eight digits at once: no loop whose length changes from one number to the next.
  uint64_t w;
  std::memcpy(&w, p, sizeof w);
  const uint32_t digits =
      std::min<uint32_t>(LeadingDigits(w), static_cast<uint32_t>(std::min<ptrdiff_t>(end - p, 8)));
  if (digits == 0) return 0;
  // Put them last, behind zeros.
  if (digits < 8) w = (w << (8 * (8 - digits))) | (0x3030303030303030ull >> (8 * digits));
  v = EightDigits(w);
  p += digits;
#endif
  for (; p < end && *p >= '0' && *p <= '9'; ++p) {
    if (v <= 0xFFFFFFFFull) v = v * 10 + static_cast<unsigned>(*p - '0');
  }
  return v;
}

// Unsigned columns read as a 32-bit strtoul would: "-1" is kept as 4294967295, so the value
// goes back to the file as the writer printed it.
uint32_t ToUnsigned(const char* p, const char* end) {
  bool negative;
  uint64_t v = ReadMagnitude(p, end, &negative);
  if (v > 0xFFFFFFFFull) return 0xFFFFFFFFu;
  return negative ? static_cast<uint32_t>(0u - static_cast<uint32_t>(v)) : static_cast<uint32_t>(v);
}

int32_t ToSigned(const char* p, const char* end) {
  bool negative;
  uint64_t v = ReadMagnitude(p, end, &negative);
  if (negative) return v >= 0x80000000ull ? INT32_MIN : -static_cast<int32_t>(v);
  return v > 0x7FFFFFFFull ? INT32_MAX : static_cast<int32_t>(v);
}

struct Field {
  char* begin;
  char* end;
};

// Bytes of the index read past its end by the line scan: the buffer holds that many NUL bytes
// after the file.
constexpr size_t kScanPadding = 16;

// Bit i set for each of the 16 bytes at p that is a TAB, a line feed or a NUL.
uint32_t SeparatorBits(const char* p) {
#if defined(__SSE2__)
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\t')),
                                                 _mm_cmpeq_epi8(v, _mm_set1_epi8('\n'))),
                                    _mm_cmpeq_epi8(v, _mm_setzero_si128()));
  return static_cast<uint32_t>(_mm_movemask_epi8(hit));
#else
  // Eight bytes at a time: the top bit of each byte of `zero` is set where x has a zero byte,
  // exactly (no carry crosses from one byte to the next).
  const uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
  const auto zero = [kLow7](uint64_t x) { return ~(((x & kLow7) + kLow7) | x | kLow7); };
  uint32_t bits = 0;
  for (int half = 0; half < 2; ++half) {
    uint64_t w = 0;
    for (int i = 7; i >= 0; --i) w = (w << 8) | static_cast<unsigned char>(p[8 * half + i]);
    uint64_t hit = zero(w ^ 0x0909090909090909ull) | zero(w ^ 0x0A0A0A0A0A0A0A0Aull) | zero(w);
    // The top bits gathered into one byte, byte i's bit at i.
    const uint32_t packed = static_cast<uint32_t>((((hit >> 7) & 0x0101010101010101ull) * 0x0102040810204080ull) >> 56);
    bits |= packed << (8 * half);
  }
  return bits;
#endif
}

int LowestBit(uint32_t bits) { return __builtin_ctz(bits); }

// One line of the index, found and split in one pass over its bytes. The fields are the first
// eight runs of bytes between runs of TABs (leading TABs ignored, so no field is ever empty);
// the line end stays in the last field, as the line reader always kept it: "...\t\n" still
// has a field after its last TAB. The buffer holds kScanPadding NUL bytes after `end`.
struct ScannedLine {
  Field fields[kFields];
  int count = 0;     // fields found, up to eight
  bool nul = false;  // a NUL byte in the line
  char* next;        // the start of the next line, or `end`
};

void ScanLine(char* line, char* end, ScannedLine* out) {
  char* fieldStart = line;  // just past the last separator
  int n = 0;
  bool nul = false;
  for (char* chunk = line;; chunk += 16) {
    for (uint32_t bits = SeparatorBits(chunk); bits != 0; bits &= bits - 1) {
      char* p = chunk + LowestBit(bits);
      const char c = p < end ? *p : '\n';
      if (c == '\t') {
        if (p != fieldStart && n < kFields) out->fields[n++] = Field{fieldStart, p};
        fieldStart = p + 1;
        continue;
      }
      if (c == '\0') {
        nul = true;
        continue;
      }
      // The line feed, kept in the last field, or the end of the index.
      char* next = p < end ? p + 1 : end;
      if (next != fieldStart && n < kFields) out->fields[n++] = Field{fieldStart, next};
      out->count = n;
      out->nul = nul;
      out->next = next;
      return;
    }
  }
}

void TrimSpaces(Field* f) {
  if (*f->begin != ' ' && f->end[-1] != ' ') return;  // as the writer prints them (never empty)
  while (f->begin < f->end && *f->begin == ' ') ++f->begin;
  while (f->end > f->begin && f->end[-1] == ' ') --f->end;
}

bool IsSharedDataFile(const Field& f) {
  size_t n = sizeof kSharedDataFile - 1;
  if (static_cast<size_t>(f.end - f.begin) != n) return false;
  if (std::memcmp(f.begin, kSharedDataFile, n) == 0) return true;  // as the writer spells it
  for (size_t i = 0; i < n; ++i) {
    char a = f.begin[i], b = kSharedDataFile[i];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
    if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
    if (a != b) return false;
  }
  return true;
}

// Reads the whole file; null when it cannot be opened or read. *size receives its length and
// the block holds kScanPadding NUL bytes after it.
char* ReadWholeFile(const char* name, size_t* size) {
  FILE* f = fileio::Open(name, "rb");
  if (!f) return nullptr;
  char* buf = nullptr;
  long len = -1;
  if (fileio::Seek(f, 0, SEEK_END) == 0) len = fileio::Tell(f);
  if (len >= 0 && fileio::Seek(f, 0, SEEK_SET) == 0) {
    buf = static_cast<char*>(fileio::Malloc(static_cast<size_t>(len) + kScanPadding));
    if (buf && fileio::Read(buf, 1, static_cast<size_t>(len), f) != static_cast<size_t>(len)) {
      fileio::Free(buf);
      buf = nullptr;
    }
  }
  fileio::Close(f);
  if (buf) {
    std::memset(buf + len, 0, kScanPadding);
    *size = static_cast<size_t>(len);
  }
  return buf;
}

enum class LineResult { Skipped, Stored, OutOfMemory };

// The nodes of the paths met so far in one load. An index of 100,000 lines names a few
// hundred categories: each distinct path text is resolved in the tree once, and every later
// line with the same text costs one hash of it (nothing at all when the line before had it,
// as in an index the editor saved).
class PathLookup {
 public:
  explicit PathLookup(CategoryTree& tree) : tree_(tree) {}
  CategoryNode Find(const char* path, size_t len) {
    const std::string_view text(path, len);
    if (last_ && text == lastText_) return last_;
    const size_t hash = HashOf(path, len);
    Slot* slot = usable_ ? Lookup(text, hash) : nullptr;
    CategoryNode node = slot && slot->node ? slot->node : CategoryFromPath(tree_, path);
    if (!node) return nullptr;
    if (slot && !slot->node && Keep(path, len)) {
      *slot = Slot{hash, texts_.size() - len, len, node};
      if (++used_ * 2 > slots_.size()) Grow();
    }
    last_ = node;
    lastText_ = text;
    return node;
  }

 private:
  // Eight bytes at a time; paths are short and a probe compares the texts anyway.
  static size_t HashOf(const char* s, size_t n) {
    uint64_t h = 0x9E3779B97F4A7C15ull ^ n;
    for (; n >= 8; s += 8, n -= 8) {
      uint64_t w;
      std::memcpy(&w, s, sizeof w);
      h = (h ^ w) * 0xFF51AFD7ED558CCDull;
      h ^= h >> 32;
    }
    uint64_t w = 0;
    std::memcpy(&w, s, n);
    h = (h ^ w) * 0xC4CEB9FE1A85EC53ull;
    return static_cast<size_t>(h ^ (h >> 29));
  }

  // Open addressing over a power-of-two table, never more than half full.
  struct Slot {
    size_t hash;
    size_t text;  // in texts_
    size_t len;
    CategoryNode node;  // null: free
  };

  // A copy of each path text the table holds, side by side: comparing with it reads a few
  // kilobytes that stay in the cache rather than the line, anywhere in the file, that named
  // the path first.
  bool Keep(const char* path, size_t len) {
    try {
      texts_.insert(texts_.end(), path, path + len);
    } catch (const std::bad_alloc&) {
      usable_ = false;
      return false;
    }
    return true;
  }

  // The slot that holds `text`, or the free one where it goes; null when out of memory.
  Slot* Lookup(std::string_view text, size_t hash) {
    if (slots_.empty() && !Grow()) return nullptr;
    const size_t mask = slots_.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
      Slot& s = slots_[i];
      if (!s.node ||
          (s.hash == hash && s.len == text.size() && std::memcmp(&texts_[s.text], text.data(), s.len) == 0))
        return &s;
    }
  }

  bool Grow() {
    std::vector<Slot> old;
    old.swap(slots_);
    try {
      slots_.assign(old.empty() ? 1024 : old.size() * 2, Slot{0, 0, 0, nullptr});
    } catch (const std::bad_alloc&) {
      usable_ = false;  // every later path goes to the tree, which answers the same
      slots_.clear();
      return false;
    }
    const size_t mask = slots_.size() - 1;
    for (const Slot& s : old) {
      if (!s.node) continue;
      size_t i = s.hash & mask;
      while (slots_[i].node) i = (i + 1) & mask;
      slots_[i] = s;
    }
    return true;
  }

  CategoryTree& tree_;
  std::vector<Slot> slots_;
  std::vector<char> texts_;
  size_t used_ = 0;
  bool usable_ = true;
  CategoryNode last_ = nullptr;
  std::string_view lastText_;
};

// Turns one line into the next entry, growing the table by kGrowth when it is full. A skipped
// line gets its reason in *skipped.
LineResult StoreLine(PathLookup& paths, char* line, ScannedLine& scanned, Table& t,
                     const char** skipped) {
  if (*line == '!' || *line == '#') {
    *skipped = "comment";
    return LineResult::Skipped;
  }
  if (*line == '\r' || *line == '\n') {
    *skipped = "blank";
    return LineResult::Skipped;
  }
  // A NUL byte cuts the text columns short and turns a number into 0: what is left of the line
  // would be a wrong recipe, and a save would write it back as if it were right.
  if (scanned.nul) {
    *skipped = "nul";
    return LineResult::Skipped;
  }
  Field* f = scanned.fields;
  if (scanned.count < kFields) {
    *skipped = "fields";
    return LineResult::Skipped;
  }
  // The text columns lose their spaces at both ends; a number is read past the spaces before
  // it and up to the first byte that is no digit, which a space after it is.
  TrimSpaces(&f[1]);
  TrimSpaces(&f[5]);
  TrimSpaces(&f[6]);

  if (t.count == t.allocated) {
    // Past the first guess, by half again each time: a few copies whatever the size.
    const uint32_t more = std::max<uint32_t>(kGrowth, t.count / 2);
    if (t.count > UINT32_MAX - more) return LineResult::OutOfMemory;
    void* grown = fileio::Realloc(t.entries, (static_cast<size_t>(t.count) + more) * sizeof(RecipeEntry));
    if (!grown) return LineResult::OutOfMemory;
    t.entries = static_cast<RecipeEntry*>(grown);
    t.allocated = t.count + more;
  }
  if (t.count % kGrowth == 0) t.capacity = t.count + kGrowth;
  RecipeEntry e;
  e.title = StoreText(t, f[1].begin, static_cast<size_t>(f[1].end - f[1].begin));
  if (!e.title) return LineResult::OutOfMemory;
  t.titleBytes += static_cast<size_t>(f[1].end - f[1].begin);
  e.dataFile = IsSharedDataFile(f[6])
                   ? kSharedDataFile
                   : StoreText(t, f[6].begin, static_cast<size_t>(f[6].end - f[6].begin));
  if (!e.dataFile) return LineResult::OutOfMemory;
  // Two more fields follow the path, so a TAB lies after it and ending it in place never
  // touches another field.
  *f[5].end = '\0';
  e.category = paths.Find(f[5].begin, static_cast<size_t>(f[5].end - f[5].begin));
  if (!e.category) return LineResult::OutOfMemory;
  e.recipeId = ToUnsigned(f[0].begin, f[0].end);
  e.extraUnsigned = ToUnsigned(f[2].begin, f[2].end);
  e.textStart = ToUnsigned(f[3].begin, f[3].end);
  e.textEnd = ToUnsigned(f[4].begin, f[4].end);
  e.extraSigned = ToSigned(f[7].begin, f[7].end);
  t.entries[t.count++] = e;
  return LineResult::Stored;
}

bool TitleLess(const RecipeEntry& a, const RecipeEntry& b) { return CompareByTitle(&a, &b) < 0; }

// A title's folded key (LabelFoldedKey), the first level of its order. Eight bytes of it sit
// in the key itself as a big-endian number (zero after the end: every folded byte is at least
// 1), so sorting seldom reads the rest, scattered over memory. They start at a byte the keys
// being sorted together all share: a group that shares its first 8 bytes ("Fricass\xE9e de
// courgettes ...") loads its next 8 once, not one scattered read per byte. Sixteen bytes a key
// move about faster than the fewer loads of longer heads save.
constexpr uint32_t kHeadBytes = 8;
struct TitleKey {
  uint64_t head;    // folded bytes [base, base + 8) of the sort that holds it
  uint32_t folded;  // where the whole folded key starts in the pool
  uint32_t index;   // place in file order, which breaks the last ties: equal titles keep it
};

uint64_t BigEndian64(const unsigned char* p) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  uint64_t v;  // one load and a byte swap on the machines the program runs on
  std::memcpy(&v, p, sizeof v);
  return __builtin_bswap64(v);
#else
  return uint64_t(p[0]) << 56 | uint64_t(p[1]) << 48 | uint64_t(p[2]) << 40 | uint64_t(p[3]) << 32 |
         uint64_t(p[4]) << 24 | uint64_t(p[5]) << 16 | uint64_t(p[6]) << 8 | uint64_t(p[7]);
#endif
}

// The first `bytes` bytes of a big-endian word, the others zero.
uint64_t KeepFirst(uint64_t word, uint32_t bytes) {
  return bytes >= 8 ? word : bytes == 0 ? 0 : word & ~(~uint64_t(0) >> (8 * bytes));
}

// How many bytes of a big-endian word come before its first zero byte: 8 when none is zero.
// The top bit of each byte of `zero` is set exactly where w has a zero byte.
uint32_t BytesBeforeZero(uint64_t w) {
  const uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
  const uint64_t zero = ~(((w & kLow7) + kLow7) | w | kLow7);
  return zero ? static_cast<uint32_t>(__builtin_clzll(zero)) / 8 : 8;
}

// The head of a key from byte `base` of its folded key, in the pool at `folded` and closed
// by a zero byte; `base` is at most the key's length.
void LoadHead(TitleKey& k, const uint8_t* folded, uint32_t base) {
  const uint64_t word = BigEndian64(folded + base);
  k.head = KeepFirst(word, BytesBeforeZero(word));
}

// Byte `i` of the head, counted from its base.
unsigned HeadByte(const TitleKey& k, uint32_t i) { return (k.head >> (56 - 8 * i)) & 0xFF; }

// The last byte of the head: zero when the key ended within it.
bool EndsInHead(const TitleKey& k) { return (k.head & 0xFF) == 0; }

// How many bytes of their heads all of a[0, n) share, 8 when they are the same.
uint32_t SharedHeadBytes(const TitleKey* a, size_t n) {
  uint64_t differ = 0;
  for (size_t i = 1; i < n; ++i) differ |= a[i].head ^ a[0].head;
  return differ ? static_cast<uint32_t>(__builtin_clzll(differ)) / 8 : kHeadBytes;
}

// Most significant byte first radix sort of the folded keys. The bytes a group of titles
// shares ("Tarte aux ...") are stepped over in one pass per 8, and a group is spread only at
// the first byte where its titles differ. Titles whose folded keys are equal are few; they
// are ordered by the whole order (accents, case, punctuation, then bytes).
class TitleSorter {
 public:
  // The folded keys lie in `pool`, each closed by a zero byte, with kHeadBytes bytes to spare
  // after the last; `spare` holds as many keys as a sort is given.
  TitleSorter(const RecipeEntry* entries, const uint8_t* pool, TitleKey* spare)
      : entries_(entries), pool_(pool), spare_(spare) {}

  // For keys that share their first `base` folded bytes and hold the next ones in their heads.
  bool Less(const TitleKey& a, const TitleKey& b, uint32_t base) const {
    if (a.head != b.head) return a.head < b.head;
    // The same head: without a zero in it both keys go on past it.
    if (!EndsInHead(a)) {
      const int c = std::strcmp(reinterpret_cast<const char*>(pool_ + a.folded + base + kHeadBytes),
                                reinterpret_cast<const char*>(pool_ + b.folded + base + kHeadBytes));
      if (c != 0) return c < 0;
    }
    const int c = CompareTitles(entries_[a.index].title, entries_[b.index].title);
    if (c != 0) return c < 0;
    return a.index < b.index;
  }

  // Sorts keys that agree on their first `depth` folded bytes; their heads start at `base`.
  void Sort(TitleKey* a, size_t n, uint32_t depth, uint32_t base) {
    while (n > 1) {
      if (depth == base + kHeadBytes) {
        LoadHeads(a, n, depth);
        base = depth;
      }
      const uint32_t shared = SharedHeadBytes(a, n);
      if (shared == kHeadBytes) {
        // The same head. With a zero in it every folded key ended there: all equal, the rest
        // decides.
        if (EndsInHead(a[0])) {
          SortSmall(a, n, base);
          return;
        }
        depth = base + kHeadBytes;
        continue;
      }
      depth = base + shared;
      if (n < kSmallGroup) {
        SortSmall(a, n, depth, base);
        return;
      }
      // Spread on the byte at `depth`, over the values that occur only; every bucket but the
      // largest is sorted by a call, the largest by the loop, so the calls nest no deeper
      // than halving allows.
      const uint32_t at = depth - base;
      unsigned lo = 255, hi = 0;
      for (size_t i = 0; i < n; ++i) {
        const unsigned b = HeadByte(a[i], at);
        ++count_[b];
        lo = std::min(lo, b);
        hi = std::max(hi, b);
      }
      uint32_t start[257];  // bucket b is [start[b], start[b + 1]), for lo <= b <= hi
      uint32_t sum = 0;
      unsigned largest = lo;
      for (unsigned b = lo; b <= hi; ++b) {
        if (count_[b] > count_[largest]) largest = b;
        start[b] = sum;
        sum += count_[b];
        count_[b] = start[b];  // from here on, where the next key of the bucket goes
      }
      start[hi + 1] = sum;
      for (size_t i = 0; i < n; ++i) spare_[count_[HeadByte(a[i], at)]++] = a[i];
      std::memcpy(a, spare_, n * sizeof(TitleKey));
      for (unsigned b = lo; b <= hi; ++b) count_[b] = 0;
      for (unsigned b = lo; b <= hi; ++b) {
        const uint32_t m = start[b + 1] - start[b];
        if (b == largest || m < 2) continue;
        if (b == 0) {
          SortSmall(a, m, base);  // keys that ended: equal folded keys
        } else {
          Sort(a + start[b], m, depth + 1, base);
        }
      }
      n = start[largest + 1] - start[largest];
      a += start[largest];
      if (largest == 0) {
        SortSmall(a, n, base);
        return;
      }
      ++depth;
    }
  }

 private:
  static constexpr size_t kSmallGroup = 32;

  void SortSmall(TitleKey* a, size_t n, uint32_t base) {
    if (n < 2) return;
    std::sort(a, a + n, [this, base](const TitleKey& x, const TitleKey& y) { return Less(x, y, base); });
  }

  // A small group that first differs at `depth`: its heads are loaded from there when half of
  // them is spent on what the group shares, so that most comparisons end inside them.
  void SortSmall(TitleKey* a, size_t n, uint32_t depth, uint32_t base) {
    if (depth - base >= kHeadBytes / 2) {
      LoadHeads(a, n, depth);
      base = depth;
    }
    SortSmall(a, n, base);
  }

  // The heads from byte `base` on. The keys lie in the pool in file order, far from the order
  // they are in by now: each is asked for a few keys ahead.
  void LoadHeads(TitleKey* a, size_t n, uint32_t base) {
    constexpr size_t kAhead = 8;
    for (size_t i = 0; i < n; ++i) {
      if (i + kAhead < n) __builtin_prefetch(pool_ + a[i + kAhead].folded + base);
      LoadHead(a[i], pool_ + a[i].folded, base);
    }
  }

  const RecipeEntry* entries_;
  const uint8_t* pool_;
  TitleKey* spare_;
  uint32_t count_[256] = {};  // all zero between spreads
};

// Puts the entries in the order of the recipe list (CompareTitles), equal titles in file order.
void SortByTitle(Table& t) {
  size_t n = t.count;
  if (n < 2) return;
  TitleKey* keys = static_cast<TitleKey*>(fileio::Malloc(n * 2 * sizeof(TitleKey)));
  // Every folded key (LabelFoldedKeyCapacity of its title) and its closing zero, then the
  // bytes a last head reads; places in the pool are 32-bit.
  const uint64_t poolBytes = 2 * uint64_t(t.titleBytes) + n + kHeadBytes;
  const bool fits = poolBytes < UINT32_MAX;
  uint8_t* pool = fits ? static_cast<uint8_t*>(fileio::Malloc(static_cast<size_t>(poolBytes))) : nullptr;
  if (!keys || !pool) {
    fileio::Free(keys);
    fileio::Free(pool);
    // Slower, but needs no memory of its own.
    std::stable_sort(t.entries, t.entries + n, TitleLess);
    return;
  }
  uint32_t at = 0;
  for (uint32_t i = 0; i < n; ++i) {
    TitleKey& k = keys[i];
    k.folded = at;
    k.index = i;
    at += static_cast<uint32_t>(LabelFoldedText(t.entries[i].title, pool + at));
    pool[at++] = 0;
  }
  std::memset(pool + at, 0, kHeadBytes);
  for (uint32_t i = 0; i < n; ++i) LoadHead(keys[i], pool + keys[i].folded, 0);
  TitleSorter(t.entries, pool, keys + n).Sort(keys, n, 0, 0);
  fileio::Free(pool);

  RecipeEntry* sorted =
      static_cast<RecipeEntry*>(fileio::Malloc((t.capacity ? t.capacity : 1) * sizeof(RecipeEntry)));
  if (sorted) {
    for (size_t i = 0; i < n; ++i) {
      if (i + 8 < n) __builtin_prefetch(&t.entries[keys[i + 8].index]);
      sorted[i] = t.entries[keys[i].index];
    }
    fileio::Free(t.entries);
    t.entries = sorted;
    t.allocated = t.capacity;
  } else {
    // In place: position i receives the entry now at keys[i].index. Each cycle of that
    // permutation is followed once; a visited position is marked by pointing at itself.
    for (uint32_t i = 0; i < n; ++i) {
      if (keys[i].index == i) continue;
      RecipeEntry held = t.entries[i];
      uint32_t j = i;
      for (;;) {
        uint32_t from = keys[j].index;
        keys[j].index = j;
        if (from == i) {
          t.entries[j] = held;
          break;
        }
        t.entries[j] = t.entries[from];
        j = from;
      }
    }
  }
  fileio::Free(keys);
}

// ---- writing ----

// Collects the index's bytes and hands them to the file in large blocks.
class BlockWriter {
 public:
  BlockWriter(FILE* f, char* buf) : f_(f), buf_(buf) {}
  void Put(const char* s, size_t n) {
    if (n > kIoBlock - used_) {
      Drain();
      if (n >= kIoBlock) {
        hash_.Add(s, n);
        if (!failed_ && fileio::Write(s, 1, n, f_) != n) failed_ = true;
        return;
      }
    }
    std::memcpy(buf_ + used_, s, n);
    used_ += n;
  }
  void Put(const char* s) { Put(s, std::strlen(s)); }
  void PutUnsigned(uint32_t v) {
    char digits[10];
    int n = 0;
    do {
      digits[n++] = static_cast<char>('0' + v % 10);
      v /= 10;
    } while (v != 0);
    char out[10];
    for (int i = 0; i < n; ++i) out[i] = digits[n - 1 - i];
    Put(out, static_cast<size_t>(n));
  }
  void PutSigned(int32_t v) {
    if (v < 0) {
      Put("-", 1);
      PutUnsigned(0u - static_cast<uint32_t>(v));
    } else {
      PutUnsigned(static_cast<uint32_t>(v));
    }
  }
  // A text column that is empty (a title made only of spaces, say) would read back as a
  // doubled TAB and shift the line's columns, losing the recipe; one space reads back as
  // the same empty text.
  void PutText(const char* s) {
    if (*s == '\0') Put(" ", 1);
    else Put(s);
  }
  bool Drain() {
    hash_.Add(buf_, used_);
    if (used_ != 0 && !failed_ && fileio::Write(buf_, 1, used_, f_) != used_) failed_ = true;
    used_ = 0;
    return !failed_;
  }
  bool Failed() const { return failed_; }
  // The stamp of every byte put so far, once drained.
  IndexStamp Stamp() const {
    IndexStamp s;
    s.known = s.present = true;
    s.size = hash_.Size();
    s.hash = hash_.Digest();
    return s;
  }

 private:
  FILE* f_;
  char* buf_;
  size_t used_ = 0;
  bool failed_ = false;
  ContentHash hash_;
};

struct NodeRank {
  CategoryNode node;
  uint32_t rank;
};
struct WriteKey {
  uint32_t rank;   // the category's place in the tree; unknown categories last
  uint32_t index;  // the entry's place in the table
};

CategoryNode NextInTreeOrder(CategoryTree& tree, CategoryNode n) {
  if (CategoryNode c = tree.FirstChild(n)) return c;
  for (; n; n = tree.Parent(n)) {
    if (CategoryNode s = tree.NextSibling(n)) return s;
  }
  return nullptr;
}

// The order in which the entries are written: grouped by category, the groups in the tree's
// order from the root down, byte order of the titles inside a group. Entries are sorted through this array
// only; the table itself never moves, since list controls hold pointers to its entries. The
// order does not depend on where nodes lie in memory, so saving what was loaded from a saved
// index gives the same bytes.
WriteKey* WriteOrder(CategoryTree& tree, const Table& t) {
  WriteKey* keys = static_cast<WriteKey*>(fileio::Malloc((t.count ? t.count : 1) * sizeof(WriteKey)));
  if (!keys) return nullptr;
  size_t nodes = tree.NodeCount();
  NodeRank* ranks = static_cast<NodeRank*>(fileio::Malloc((nodes ? nodes : 1) * sizeof(NodeRank)));
  if (!ranks) {
    fileio::Free(keys);
    return nullptr;
  }
  size_t ranked = 0;
  for (CategoryNode n = tree.Root(); n && ranked < nodes; n = NextInTreeOrder(tree, n)) {
    ranks[ranked].node = n;
    ranks[ranked].rank = static_cast<uint32_t>(ranked);
    ++ranked;
  }
  std::less<CategoryNode> before;
  std::sort(ranks, ranks + ranked,
            [&](const NodeRank& a, const NodeRank& b) { return before(a.node, b.node); });
  for (uint32_t i = 0; i < t.count; ++i) {
    CategoryNode c = t.entries[i].category;
    const NodeRank* r = std::lower_bound(
        ranks, ranks + ranked, c, [&](const NodeRank& a, CategoryNode b) { return before(a.node, b); });
    keys[i].rank = (r != ranks + ranked && r->node == c) ? r->rank : UINT32_MAX;
    keys[i].index = i;
  }
  fileio::Free(ranks);
  // Inside a group the titles go in the order of their bytes, equal ones in table order: the
  // order the index has always been written in, whatever order the list shows.
  const RecipeEntry* e = t.entries;
  std::sort(keys, keys + t.count, [e](const WriteKey& a, const WriteKey& b) {
    if (a.rank != b.rank) return a.rank < b.rank;
    const int c = std::strcmp(e[a.index].title, e[b.index].title);
    return c != 0 ? c < 0 : a.index < b.index;
  });
  return keys;
}

// The first category of the table, in write order, whose path would not read back whole; null
// when there is none. Entries come grouped by category, so each is looked at once.
CategoryNode FirstUnwritable(CategoryTree& tree, const Table& t, const WriteKey* order) {
  CategoryNode checked = nullptr;
  for (uint32_t i = 0; i < t.count; ++i) {
    const CategoryNode c = t.entries[order[i].index].category;
    if (order[i].rank == UINT32_MAX || c == checked) continue;
    if (!CategoryPathWritable(tree, c)) return c;
    checked = c;
  }
  return nullptr;
}

// Writes the table into `name`; true once the file is whole on disk and closed. *stamp receives
// the stamp of what was written.
bool WriteIndexFile(CategoryTree& tree, const Table& t, const WriteKey* order, char* block,
                    const char* name, IndexStamp* stamp) {
  FILE* f = fileio::Open(name, "wb");
  if (!f) return false;
  BlockWriter w(f, block);
  CategoryNode root = tree.Root();
  for (uint32_t i = 0; i < t.count && !w.Failed(); ++i) {
    const RecipeEntry& e = t.entries[order[i].index];
    // The root is written as "/", which reads back as the root. Its label (what the path
    // text of the root gives) would come back as a new category under the root. A category
    // not found in the tree goes to the root too rather than being followed.
    const char* path = (e.category == root || order[i].rank == UINT32_MAX)
                           ? "/"
                           : PathOfCategory(tree, e.category);
    w.PutUnsigned(e.recipeId);
    w.Put("\t", 1);
    w.PutText(e.title);
    w.Put("\t", 1);
    w.PutUnsigned(e.extraUnsigned);
    w.Put("\t", 1);
    w.PutUnsigned(e.textStart);
    w.Put("\t", 1);
    w.PutUnsigned(e.textEnd);
    w.Put("\t", 1);
    w.PutText(path);
    // The reader trims spaces off the column: a last label ending in a space ("Tartes ")
    // would come back as another category ("Tartes"), or as the root for a label of spaces.
    // A closing "/" keeps the label whole and reads back as the same category.
    const size_t pathLen = std::strlen(path);
    if (pathLen > 0 && path[pathLen - 1] == ' ') w.Put("/", 1);
    w.Put("\t", 1);
    w.PutText(e.dataFile);
    w.Put("\t", 1);
    w.PutSigned(e.extraSigned);
    // CR LF written as bytes: the same file from every build.
    w.Put("\r\n", 2);
    SetGaugePosition(i);
  }
  bool ok = w.Drain();
  if (ok && fileio::Flush(f) != 0) ok = false;
  if (fileio::Close(f) != 0) ok = false;
  *stamp = w.Stamp();
  return ok;
}

// Copies the index as it stands into the backup. The copy is made beside it and swapped in
// whole, so the previous backup survives a failed copy; the index itself is only read.
bool BackUpIndex(char* block) {
  if (!fileio::Exists(kIndexFileName)) return true;  // first save: nothing to keep
  FILE* in = fileio::Open(kIndexFileName, "rb");
  if (!in) return false;
  FILE* out = fileio::Open(kBackupTempName, "wb");
  if (!out) {
    fileio::Close(in);
    return false;
  }
  bool ok = true;
  for (;;) {
    size_t n = fileio::Read(block, 1, kIoBlock, in);
    if (n != 0 && fileio::Write(block, 1, n, out) != n) {
      ok = false;
      break;
    }
    if (n < kIoBlock) {
      // A short read is the end of the file only if the stream says so.
      if (!std::feof(in) || std::ferror(in)) ok = false;
      break;
    }
  }
  if (fileio::Close(in) != 0) ok = false;
  if (ok && fileio::Flush(out) != 0) ok = false;
  if (fileio::Close(out) != 0) ok = false;
  if (ok && fileio::ReplaceAtomically(kBackupTempName, kIndexBackupName) != 0) ok = false;
  if (!ok) fileio::Remove(kBackupTempName);
  return ok;
}

SaveOutcome SaveTable(CategoryTree& tree, const Table& t, const SaveOptions& options,
                      CategoryNode* unwritable) {
  WriteKey* order = WriteOrder(tree, t);
  if (!order) return SaveOutcome::Failed;
  // A path that would come back cut, or as another category, would move its recipes: nothing
  // is written then, whatever else the table holds.
  if (CategoryNode bad = FirstUnwritable(tree, t, order)) {
    fileio::Free(order);
    if (unwritable) *unwritable = bad;
    return SaveOutcome::PathUnwritable;
  }
  // Two programs saving at once would write the same temporary file, and each could look for
  // the other's change before it landed: saves take turns on a lock beside the index. Where
  // no lock can be taken (a read-only folder, a share without locks) the save goes on alone.
  fileio::FileLock lock;
  if (lock.Acquire(kIndexLockName, fileio::FileLock::kExclusive, kSaveLockWaitMs) ==
      fileio::FileLock::kBusy) {
    fileio::Free(order);
    return SaveOutcome::Failed;
  }
  char* block = static_cast<char*>(fileio::Malloc(kIoBlock));
  SaveOutcome outcome = block ? SaveOutcome::Saved : SaveOutcome::Failed;
  IndexStamp written;
  if (block) {
    if (!WriteIndexFile(tree, t, order, block, kIndexTempName, &written)) {
      outcome = SaveOutcome::Failed;
    } else if (options.guard == IndexGuard::Unchanged) {
      // Looked at once the new index is ready, just before it goes in; another program's save
      // cannot come in between, and any other writer has only the moment of the rename.
      IndexStamp now;
      if (!StampOfFile(kIndexFileName, &now)) outcome = SaveOutcome::Failed;
      else if (now != g_indexStamp) outcome = SaveOutcome::ChangedOnDisk;
    }
    if (outcome == SaveOutcome::Saved &&
        ((options.backup == IndexBackup::Refresh && !BackUpIndex(block)) ||
         fileio::ReplaceAtomically(kIndexTempName, kIndexFileName) != 0))
      outcome = SaveOutcome::Failed;
    if (outcome != SaveOutcome::Saved) fileio::Remove(kIndexTempName);
  }
  if (outcome == SaveOutcome::Saved) g_indexStamp = written;
  fileio::Free(block);
  fileio::Free(order);
  return outcome;
}

}  // namespace

uint32_t LoadIndex(CategoryTree& tree) {
  ReleaseCatalogue();  // the table is empty before a load; make sure of it
  size_t size = 0;
  char* text = ReadWholeFile(kIndexFileName, &size);
  g_indexStamp = text ? StampOfBytes(text, size) : IndexStamp();
  if (!text) return 0;

  // Built aside and published only when whole: a failed load leaves the table empty.
  Table t;
  char* end = text + size;
  // Growing 10 entries at a time copies the whole array each time on heaps that do not grow
  // blocks in place (Windows: 0.7 s of a 100,000-recipe load). The array is sized once for
  // the lines the file likely holds (a recipe line takes more than 32 bytes), grown by half
  // when that was too few, and cut back to the capacity afterwards.
  {
    const size_t guess = size / 32 + kGrowth;
    const uint32_t reserve = static_cast<uint32_t>(std::min<size_t>(guess, UINT32_MAX / 2) / kGrowth * kGrowth);
    t.entries = static_cast<RecipeEntry*>(fileio::Malloc(static_cast<size_t>(reserve) * sizeof(RecipeEntry)));
    if (t.entries) t.allocated = reserve;
  }
  uint32_t lineNumber = 0;
  // The gauge moves by whole percents: a position before the next one would show nothing new,
  // and working the percentage out for every line is a 64-bit division each.
  int64_t gaugeNext = GaugeNextPosition();
  PathLookup paths(tree);
  for (char* line = text; line < end;) {
    ScannedLine scanned;
    ScanLine(line, end, &scanned);
    char* const next = scanned.next;
    ++lineNumber;
    const char* skipped = nullptr;
    LineResult r = StoreLine(paths, line, scanned, t, &skipped);
    if (r == LineResult::Skipped && g_lineObserver) {
      g_lineObserver(g_lineObserverContext, lineNumber, skipped);
    }
    if (r == LineResult::OutOfMemory) {
      FreeTable(t);
      fileio::Free(text);
      return 0;
    }
    if (r == LineResult::Stored && next - text >= gaugeNext) {
      SetGaugePosition(next - text);
      gaugeNext = GaugeNextPosition();
    }
    line = next;
  }
  fileio::Free(text);
  if (t.count == 0) {
    FreeTable(t);  // an empty table holds no array
    return 0;
  }

  SortByTitle(t);
  if (t.allocated > t.capacity) {
    // The reserve was larger than the lines that made entries; shrinking never fails the load.
    void* cut = fileio::Realloc(t.entries, (t.capacity ? t.capacity : 1) * sizeof(RecipeEntry));
    if (cut) t.entries = static_cast<RecipeEntry*>(cut);
  }
  t.allocated = t.capacity;
  g_table = t;
  return t.count;
}

int SaveIndex(CategoryTree& tree, WindowRef gaugeParent) {
  return SaveIndexWith(tree, gaugeParent, SaveOptions(), nullptr) == SaveOutcome::Saved ? 1 : 0;
}

SaveOutcome SaveIndexWith(CategoryTree& tree, WindowRef gaugeParent, const SaveOptions& options,
                          CategoryNode* unwritable) {
  if (unwritable) *unwritable = nullptr;
  OpenGauge(gaugeParent, kSaveGaugeThreshold);
  char title[128];
  LoadText(IDS_GAUGE_SAVE, title, sizeof title);
  SetGaugeTitle(title);
  const SaveOutcome outcome = SaveTable(tree, g_table, options, unwritable);
  CloseGauge();
  return outcome;
}

bool CategoryPathWritable(CategoryTree& tree, CategoryNode category) {
  if (!category || !tree.Parent(category)) return true;  // the root is written "/"
  const char* path = PathOfCategory(tree, category);
  const size_t len = std::strlen(path);
  if (CategoryPathLength(tree, category) != len) return false;  // cut
  // The writer closes a path that ends in a space with "/", since the reader trims spaces.
  if (len + (path[len - 1] == ' ' ? 1 : 0) > kCategoryPathMax) return false;
  // An empty label, or a "/" that starts or ends one, reads back as fewer levels.
  if (path[len - 1] == '/' || std::strstr(path, "//")) return false;
  // A TAB would split the line's columns, a line feed the line itself (a CR alone is read as
  // any other character).
  return std::strpbrk(path, "\t\n") == nullptr;
}

void SetIndexLineObserver(IndexLineObserver observer, void* context) {
  g_lineObserver = observer;
  g_lineObserverContext = context;
}

int ReleaseCatalogue() {
  FreeTable(g_table);
  return 1;
}

RecipeEntry* RecipeEntries() { return g_table.entries; }
uint32_t RecipeCount() { return g_table.count; }
uint32_t RecipeCapacity() { return g_table.capacity; }

int CompareByTitle(const void* a, const void* b) {
  return CompareTitles(static_cast<const RecipeEntry*>(a)->title,
                       static_cast<const RecipeEntry*>(b)->title);
}

int CompareByCategory(const void* a, const void* b) {
  std::less<CategoryNode> before;
  CategoryNode x = static_cast<const RecipeEntry*>(a)->category;
  CategoryNode y = static_cast<const RecipeEntry*>(b)->category;
  return before(x, y) ? -1 : before(y, x) ? 1 : 0;
}

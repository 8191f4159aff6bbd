#include "search/search_index.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "platform/fileio.h"
#include "search/recipe_texts.h"
#include "search/words.h"
#include "vlr/memo.h"
#include "vlr/vlr_format.h"

namespace search {
namespace {

// The fields of a posting share their bits with the scope: title 1, text 2, memo 4.
constexpr uint8_t kTitleBit = kInTitles;
constexpr uint8_t kTextBit = kInTexts;
constexpr uint8_t kMemoBit = kInMemos;

constexpr uint32_t kMostCountedWords = 65535;

// The postings keep each text word's place modulo 256, a byte: in texts of at most that many
// words, the places tell where a phrase stands; longer texts are read.
constexpr uint32_t kPositionedWords = 256;

void PutVarint(std::vector<uint8_t>* out, uint32_t v) {
  while (v >= 0x80) {
    out->push_back(static_cast<uint8_t>(v | 0x80));
    v >>= 7;
  }
  out->push_back(static_cast<uint8_t>(v));
}

inline uint32_t GetVarint(const uint8_t*& p) {
  uint32_t v = *p & 0x7F;
  for (int shift = 7; *p++ & 0x80; shift += 7) v |= static_cast<uint32_t>(*p & 0x7F) << shift;
  return v;
}

// A posting: the recipe's ordinal less the previous posting's (at least 1), how many text
// words are the word (tf) and the fields that hold it (never none). Most postings are of common
// words, close together and few per text: those take one byte, (delta - 1) << 5 | tf << 2 |
// fields; the others a zero byte, then the delta and tf << 2 | fields as varints.
void PutPosting(std::vector<uint8_t>* out, uint32_t delta, uint32_t tf, uint8_t fields) {
  if (delta <= 8 && tf <= 7) {
    out->push_back(static_cast<uint8_t>((delta - 1) << 5 | tf << 2 | fields));
    return;
  }
  out->push_back(0);
  PutVarint(out, delta);
  PutVarint(out, tf << 2 | fields);
}

struct Posting {
  uint32_t delta, tf;
  uint8_t fields;
};

inline Posting GetPosting(const uint8_t*& p) {
  const uint32_t b = *p++;
  if (b != 0) return Posting{(b >> 5) + 1, (b >> 2) & 7, static_cast<uint8_t>(b & 3)};
  const uint32_t delta = GetVarint(p);
  const uint32_t v = GetVarint(p);
  return Posting{delta, v >> 2, static_cast<uint8_t>(v & 3)};
}

// The bits set in v (without a call into the compiler's library where the processor has no
// instruction for it).
inline uint32_t Ones(uint64_t v) {
  v = v - ((v >> 1) & 0x5555555555555555ull);
  v = (v & 0x3333333333333333ull) + ((v >> 2) & 0x3333333333333333ull);
  v = (v + (v >> 4)) & 0x0F0F0F0F0F0F0F0Full;
  return static_cast<uint32_t>((v * 0x0101010101010101ull) >> 56);
}

inline bool HasPrefix(const char* word, size_t n, const std::string& prefix) {
  return n >= prefix.size() && std::memcmp(word, prefix.data(), prefix.size()) == 0;
}

// BM25: a term's weight, from n, the recipes whose text holds it, of total recipes.
double Idf(uint32_t n, uint32_t total) { return std::log(1.0 + (total - n + 0.5) / (n + 0.5)); }

// One term's share of a recipe's score: its weight, tf occurrences in a text of `words` words
// when the texts have `average` words.
double Bm25(double idf, uint32_t tf, uint32_t words, double average) {
  constexpr double k1 = 1.2;
  constexpr double b = 0.75;
  const double norm = k1 * (1.0 - b + b * words / average);
  return idf * tf * (k1 + 1.0) / (tf + norm);
}

double AverageWords(uint64_t totalWords, uint32_t count) {
  return count == 0 || totalWords == 0 ? 1.0 : static_cast<double>(totalWords) / count;
}

// Interns folded words during a build: an open-addressing table over the words' bytes.
class Interner {
 public:
  Interner() : slots_(1 << 14, 0) {}
  uint32_t Id(const std::string& w) {
    const uint32_t h = Hash(w);
    size_t mask = slots_.size() - 1;
    for (size_t i = h & mask;; i = (i + 1) & mask) {
      const uint32_t slot = slots_[i];
      if (slot == 0) {
        const uint32_t id = static_cast<uint32_t>(start_.size());
        start_.push_back(static_cast<uint32_t>(chars_.size()));
        length_.push_back(static_cast<uint32_t>(w.size()));
        hash_.push_back(h);
        chars_.insert(chars_.end(), w.begin(), w.end());
        slots_[i] = id + 1;
        if (start_.size() * 2 > slots_.size()) Grow();
        return id;
      }
      const uint32_t id = slot - 1;
      if (hash_[id] == h && length_[id] == w.size() &&
          std::memcmp(chars_.data() + start_[id], w.data(), w.size()) == 0) {
        return id;
      }
    }
  }
  size_t Size() const { return start_.size(); }
  const char* Chars(uint32_t id) const { return chars_.data() + start_[id]; }
  uint32_t Length(uint32_t id) const { return length_[id]; }

 private:
  static uint32_t Hash(const std::string& w) {
    uint32_t h = 2166136261u;
    for (unsigned char c : w) h = (h ^ c) * 16777619u;
    return h;
  }
  void Grow() {
    std::vector<uint32_t> bigger(slots_.size() * 2, 0);
    const size_t mask = bigger.size() - 1;
    for (uint32_t id = 0; id < start_.size(); ++id) {
      size_t i = hash_[id] & mask;
      while (bigger[i] != 0) i = (i + 1) & mask;
      bigger[i] = id + 1;
    }
    slots_.swap(bigger);
  }
  std::vector<uint32_t> slots_;
  std::vector<uint32_t> start_, length_, hash_;
  std::vector<char> chars_;
};

// A word as a suggestion shows it: its letters in lower case, accents kept. Empty when that
// is the folded word itself (no accent, no ligature), which is then shown.
std::string Spelling(const char* raw, size_t n, const std::string& folded) {
  std::string lower(raw, n);
  bool plain = n == folded.size();
  for (char& ch : lower) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) ch = static_cast<char>(c + 0x20);
    else if (c == 0x8A || c == 0x8C || c == 0x8E) ch = static_cast<char>(c + 0x10);  // S, OE, Z caron
    else if (c == 0x9F) ch = static_cast<char>(0xFF);                               // Y diaeresis
    plain = plain && (static_cast<unsigned char>(ch) < 0x80);
  }
  return plain ? std::string() : lower;
}

inline bool HasHighByte(const char* s, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (static_cast<unsigned char>(s[i]) >= 0x80) return true;
  }
  return false;
}

template <typename T>
size_t Bytes(const std::vector<T>& v) {
  return v.capacity() * sizeof(T);
}

}  // namespace

// ---- memos ----

VlrStatus MemoWords::Load(const char* store) {
  Clear();
  // Read as any memo operation reads: never while another program is writing the store.
  fileio::FileLock lock;
  VlrStatus status = LockMemoStore(store, false, &lock);
  if (status != kVlrOk) return status;
  VlrFile* file = VlrOpen(store, "rb", &status);
  if (!file) return status == kVlrOpenFailed && !fileio::Exists(store) ? kVlrOk : status;
  std::vector<char> buffer(static_cast<size_t>(vlr::kMaxRecordLimit));
  const uint32_t end = file->count < file->capacity ? file->count : file->capacity;
  for (uint32_t i = 0; i < end && status == kVlrOk; ++i) {
    const VlrEntry& entry = file->directory[i];
    if (!(entry.flags & vlr::kFlagInUse) || texts_.count(entry.key)) continue;
    if (!VlrEntryInFile(file, i)) continue;  // a damaged entry: nothing there to search
    VlrRecord record = {0, buffer.data(), vlr::kMaxRecordLimit};
    status = VlrRead(file, &record, static_cast<int32_t>(i));
    if (status == kVlrOk) Set(entry.key, buffer.data(), static_cast<size_t>(record.length));
  }
  VlrClose(file);
  if (status != kVlrOk) Clear();
  return status;
}

void MemoWords::Set(uint32_t id, const char* text, size_t n) {
  std::string folded;
  auto old = texts_.find(id);
  if (old != texts_.end()) {
    ForEachWord(old->second.data(), old->second.size(), folded,
                [&](const std::string& w, size_t, size_t) {
                  auto it = words_.find(w);
                  if (it != words_.end()) {
                    it->second.erase(id);
                    if (it->second.empty()) {
                      words_.erase(it);
                      spellings_.erase(w);
                    }
                  }
                  return true;
                });
    texts_.erase(old);
  }
  if (text) {
    const void* nul = std::memchr(text, '\0', n);
    if (nul) n = static_cast<size_t>(static_cast<const char*>(nul) - text);
  }
  if (!text || n == 0) return;
  const std::string& stored = texts_[id] = std::string(text, n);
  ForEachWord(stored.data(), stored.size(), folded, [&](const std::string& w, size_t a, size_t b) {
    words_[w].insert(id);
    if (HasHighByte(stored.data() + a, b - a) && !spellings_.count(w)) {
      std::string spelt = Spelling(stored.data() + a, b - a, w);
      if (!spelt.empty()) spellings_[w] = spelt;
    }
    return true;
  });
}

void MemoWords::Clear() {
  texts_.clear();
  words_.clear();
  spellings_.clear();
}

std::string MemoWords::Spelt(const std::string& word) const {
  auto it = spellings_.find(word);
  return it == spellings_.end() ? word : it->second;
}

const std::string* MemoWords::Text(uint32_t id) const {
  auto it = texts_.find(id);
  return it == texts_.end() ? nullptr : &it->second;
}

void MemoWords::IdsWithPrefix(const std::string& prefix, std::set<uint32_t>* ids) const {
  for (auto it = words_.lower_bound(prefix); it != words_.end(); ++it) {
    if (!HasPrefix(it->first.data(), it->first.size(), prefix)) break;
    ids->insert(it->second.begin(), it->second.end());
  }
}

size_t MemoWords::MemoryBytes() const {
  size_t bytes = 0;
  // Node and bucket overheads of the standard containers, roughly.
  for (const auto& [id, text] : texts_) bytes += 48 + text.capacity();
  for (const auto& [word, ids] : words_) bytes += 64 + word.capacity() + 40 * ids.size();
  for (const auto& [word, spelt] : spellings_) bytes += 64 + word.capacity() + spelt.capacity();
  return bytes;
}

// ---- folded texts ----

namespace {


// A text folded in one pass: each word folded, a NUL before every word and after the last, so
// that "a word begins with p" is "the bytes hold NUL p".
struct FoldedText {
  std::vector<char> bytes;
  size_t size = 0;
  uint32_t words = 0;
  // Without a branch per byte: every byte writes its two folded characters (two NULs for a
  // separator) and the output moves on by the letter's length, or for a separator by one when
  // it ends a word (keeping one NUL) and by none otherwise.
  void Fill(const char* s, size_t n) {
    if (bytes.size() < 2 * n + 3) bytes.resize(2 * n + 3);
    char* out = bytes.data();
    *out++ = '\0';
    uint32_t starts = 0;
    uint32_t inWord = 0;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(s);
    for (size_t i = 0; i < n; ++i) {
      const unsigned char b = p[i];
      const uint32_t len = kFoldTable.length[b];
      const uint32_t isWord = len != 0;
      out[0] = kFoldTable.folded[b][0];
      out[1] = kFoldTable.folded[b][1];
      out += isWord ? len : inWord;
      starts += isWord & (inWord ^ 1u);
      inWord = isWord;
    }
    if (inWord) *out++ = '\0';
    words = starts;
    size = static_cast<size_t>(out - bytes.data());
  }
  // needle: NUL and the folded prefix (at least one letter); from: a NUL of the bytes.
  const char* Find(const std::string& needle, const char* from) const {
    // The first letter is rarer than the NULs: look for it, then check around it.
    const char* end = bytes.data() + size;
    const size_t rest = needle.size() - 1;
    for (const char* at = from + 1; at + rest <= end;) {
      at = static_cast<const char*>(std::memchr(at, needle[1], static_cast<size_t>(end - at)));
      if (!at || at + rest > end) return nullptr;
      if (at[-1] == '\0' && std::memcmp(at, needle.data() + 1, rest) == 0) return at - 1;
      ++at;
    }
    return nullptr;
  }
  bool Holds(const std::string& needle) const { return Find(needle, bytes.data()) != nullptr; }
  // Places where the words begin with needles[0], needles[1]... in a row.
  uint32_t CountPhrase(const std::vector<std::string>& needles) const {
    uint32_t c = 0;
    const char* end = bytes.data() + size;
    for (const char* at = bytes.data(); (at = Find(needles[0], at)) != nullptr;) {
      const char* word = at;  // the NUL before a word
      size_t j = 0;
      while (j < needles.size()) {
        const std::string& n = needles[j];
        if (static_cast<size_t>(end - word) < n.size() ||
            std::memcmp(word, n.data(), n.size()) != 0) {
          break;
        }
        ++j;
        if (j == needles.size()) break;
        word = static_cast<const char*>(std::memchr(word + 1, '\0', static_cast<size_t>(end - word - 1)));
        if (!word) break;
      }
      c += j == needles.size() ? 1 : 0;
      // On to the next word.
      at = static_cast<const char*>(std::memchr(at + 1, '\0', static_cast<size_t>(end - at - 1)));
      if (!at) break;
    }
    return c;
  }
  uint32_t CountWords(const std::string& needle) const {
    uint32_t c = 0;
    for (const char* at = bytes.data(); (at = Find(needle, at)) != nullptr; at += needle.size()) ++c;
    return c;
  }
};

}  // namespace

// ---- the index ----

void SearchIndex::Clear() {
  entries_ = nullptr;
  count_ = 0;
  textBytes_ = 0;
  unreadable_ = 0;
  totalWords_ = 0;
  order_ = {};
  length_ = {};
  byId_ = {};
  vocab_ = {};
  vocabStart_ = {};
  postings_ = {};
  postStart_ = {};
  spelt_ = {};
  spellings_ = {};
  stamp_ = {};
  stamp2_ = {};
  tf_ = {};
  tf2_ = {};
  titleTerms_ = {};
  mask_ = {};
  mask2_ = {};
  score_ = {};
  epoch_ = 0;
}

void SearchIndex::Build(const RecipeEntry* entries, uint32_t count, BuildProgress progress,
                        void* context) {
  Clear();
  entries_ = entries;
  count_ = count;
  order_.reserve(count);
  length_.reserve(count);

  // Postings grow per word while the recipes go by in ordinal order, so the ordinal deltas
  // are never negative; words are sorted once at the end.
  Interner words;
  std::vector<std::vector<uint8_t>> lists;
  std::vector<uint32_t> last;   // per word: ordinal + 1 of its latest posting
  std::vector<uint32_t> seen;   // per word: ordinal + 1 of the recipe that holds it now
  std::vector<uint32_t> tf;
  std::vector<uint8_t> fields;
  std::vector<uint32_t> touched;
  std::string folded;
  // The text positions of the recipe going by, chained per word in text order.
  constexpr uint32_t kNone = ~0u;
  std::vector<uint32_t> firstAt, lastAt;  // per word
  std::vector<uint32_t> nextAt;           // per position
  std::vector<uint8_t> positionAt;

  // Per word: how a suggestion shows it, from its first occurrence with a letter beyond ASCII.
  std::vector<std::string> spelt;
  auto note = [&](const std::string& w, const char* raw, size_t rawSize, uint8_t field,
                  uint32_t ordinal, uint32_t position) {
    const uint32_t id = words.Id(w);
    if (id == lists.size()) {
      spelt.emplace_back();
      lists.emplace_back();
      last.push_back(0);
      seen.push_back(0);
      tf.push_back(0);
      fields.push_back(0);
      firstAt.push_back(kNone);
      lastAt.push_back(kNone);
    }
    if (seen[id] != ordinal + 1) {
      seen[id] = ordinal + 1;
      tf[id] = 0;
      fields[id] = 0;
      firstAt[id] = kNone;
      touched.push_back(id);
    }
    fields[id] |= field;
    if (spelt[id].empty() && HasHighByte(raw, rawSize)) spelt[id] = Spelling(raw, rawSize, w);
    if (field != kTextBit) return;
    ++tf[id];
    const uint32_t at = static_cast<uint32_t>(positionAt.size());
    positionAt.push_back(static_cast<uint8_t>(position));
    nextAt.push_back(kNone);
    if (firstAt[id] == kNone) firstAt[id] = at;
    else nextAt[lastAt[id]] = at;
    lastAt[id] = at;
  };

  ForEachRecipeText(
      entries, count,
      [&](uint32_t entry, const char* text, size_t n) {
        const uint32_t ordinal = static_cast<uint32_t>(order_.size());
        order_.push_back(entry);
        touched.clear();
        positionAt.clear();
        nextAt.clear();
        const char* title = entries[entry].title ? entries[entry].title : "";
        ForEachWord(title, std::strlen(title), folded, [&](const std::string& w, size_t a, size_t b) {
          note(w, title + a, b - a, kTitleBit, ordinal, 0);
          return true;
        });
        uint32_t textWords = 0;
        if (text) {
          textBytes_ += n;
          ForEachWord(text, n, folded, [&](const std::string& w, size_t a, size_t b) {
            note(w, text + a, b - a, kTextBit, ordinal, textWords);
            ++textWords;
            return true;
          });
        } else {
          ++unreadable_;
        }
        if (textWords > kMostCountedWords) textWords = kMostCountedWords;
        length_.push_back(static_cast<uint16_t>(textWords));
        totalWords_ += textWords;
        for (uint32_t id : touched) {
          std::vector<uint8_t>& list = lists[id];
          PutPosting(&list, ordinal + 1 - last[id], tf[id], fields[id]);
          for (uint32_t at = firstAt[id]; at != kNone; at = nextAt[at]) list.push_back(positionAt[at]);
          last[id] = ordinal + 1;
        }
      },
      [&](uint32_t done) {
        if (progress) progress(context, done, count);
      });
  if (progress) progress(context, count, count);

  // Sorted vocabulary, postings in the same order, one block each.
  std::vector<uint32_t> sorted(words.Size());
  for (uint32_t i = 0; i < sorted.size(); ++i) sorted[i] = i;
  std::sort(sorted.begin(), sorted.end(), [&words](uint32_t a, uint32_t b) {
    const size_t la = words.Length(a), lb = words.Length(b);
    const int c = std::memcmp(words.Chars(a), words.Chars(b), std::min(la, lb));
    return c != 0 ? c < 0 : la < lb;
  });
  size_t vocabBytes = 0, postingBytes = 0;
  for (uint32_t id : sorted) {
    vocabBytes += words.Length(id);
    postingBytes += lists[id].size();
  }
  vocab_.reserve(vocabBytes);
  postings_.reserve(postingBytes);
  vocabStart_.reserve(sorted.size() + 1);
  postStart_.reserve(sorted.size() + 1);
  for (uint32_t id : sorted) {
    if (!spelt[id].empty()) {
      spelt_.emplace_back(static_cast<uint32_t>(vocabStart_.size()), static_cast<uint32_t>(spellings_.size()));
      spellings_.insert(spellings_.end(), spelt[id].begin(), spelt[id].end());
      spellings_.push_back('\0');
    }
    vocabStart_.push_back(static_cast<uint32_t>(vocab_.size()));
    postStart_.push_back(static_cast<uint32_t>(postings_.size()));
    vocab_.insert(vocab_.end(), words.Chars(id), words.Chars(id) + words.Length(id));
    postings_.insert(postings_.end(), lists[id].begin(), lists[id].end());
    std::vector<uint8_t>().swap(lists[id]);
  }
  vocabStart_.push_back(static_cast<uint32_t>(vocab_.size()));
  postStart_.push_back(static_cast<uint32_t>(postings_.size()));

  byId_.reserve(count);
  for (uint32_t ordinal = 0; ordinal < count; ++ordinal) {
    byId_.emplace_back(entries[order_[ordinal]].recipeId, ordinal);
  }
  std::sort(byId_.begin(), byId_.end());
}

void SearchIndex::Range(const std::string& prefix, size_t* lo, size_t* hi) const {
  const size_t n = VocabularySize();
  auto less = [this](size_t i, const std::string& p) {
    const size_t len = vocabStart_[i + 1] - vocabStart_[i];
    const int c = std::memcmp(vocab_.data() + vocabStart_[i], p.data(), std::min(len, p.size()));
    return c != 0 ? c < 0 : len < p.size();
  };
  size_t a = 0, b = n;
  while (a < b) {  // first word not below prefix
    const size_t m = a + (b - a) / 2;
    if (less(m, prefix)) a = m + 1;
    else b = m;
  }
  *lo = a;
  size_t c = a;
  b = n;
  while (c < b) {  // first word past those beginning with prefix
    const size_t m = c + (b - c) / 2;
    const size_t len = vocabStart_[m + 1] - vocabStart_[m];
    if (HasPrefix(vocab_.data() + vocabStart_[m], len, prefix)) c = m + 1;
    else b = m;
  }
  *hi = c;
}

// For every recipe that has a word beginning with prefix in a field of scope: stamp = epoch,
// mask = its fields holding such a word, tf = how many text words begin with prefix; each
// recipe goes once into touched. Returns how many recipes have one in their text.
uint32_t SearchIndex::Collect(const std::string& prefix, unsigned scope, uint32_t epoch,
                              uint32_t* stamp, uint8_t* mask, uint32_t* tf,
                              std::vector<uint32_t>* touched) const {
  uint32_t inText = 0;
  auto mark = [&](uint32_t ordinal, uint8_t fields, uint32_t count) {
    if (stamp[ordinal] != epoch) {
      stamp[ordinal] = epoch;
      mask[ordinal] = 0;
      tf[ordinal] = 0;
      touched->push_back(ordinal);
    }
    if ((fields & kTextBit) && !(mask[ordinal] & kTextBit)) ++inText;
    mask[ordinal] |= fields;
    tf[ordinal] += count;
  };
  const uint8_t wanted = static_cast<uint8_t>(scope & (kTitleBit | kTextBit));
  if (wanted) {
    size_t lo, hi;
    Range(prefix, &lo, &hi);
    for (size_t w = lo; w < hi; ++w) {
      const uint8_t* p = postings_.data() + postStart_[w];
      const uint8_t* end = postings_.data() + postStart_[w + 1];
      uint32_t ordinal1 = 0;  // ordinal + 1
      while (p < end) {
        const Posting posting = GetPosting(p);
        ordinal1 += posting.delta;
        p += posting.tf;  // the places
        const uint8_t fields = posting.fields & wanted;
        if (fields) mark(ordinal1 - 1, fields, (fields & kTextBit) ? posting.tf : 0);
      }
    }
  }
  if (scope & kMemoBit) ForEachMemoHolding(prefix, [&](uint32_t o) { mark(o, kMemoBit, 0); });
  return inText;
}

std::vector<Hit> SearchIndex::Search(const Query& query, unsigned scope) const {
  std::vector<Hit> hits;
  scope &= kInEverything;
  if (query.terms.empty() || count_ == 0 || scope == 0) return hits;
  MakeScratch();
  const double average = AverageWords(totalWords_, count_);
  std::vector<uint32_t> candidates;
  std::vector<uint32_t> touched;
  SliceReader reader;
  FoldedText folded, small;  // a text; a title or a memo
  for (size_t k = 0; k < query.terms.size(); ++k) {
    const QueryTerm& term = query.terms[k];
    const uint32_t epoch = ++epoch_;
    touched.clear();
    // A phrase's candidates come from its rarest word, by the size of its postings.
    const size_t lead = RarestWord(term);
    uint32_t inText =
        Collect(term.words[lead], scope, epoch, stamp_.data(), mask_.data(), tf_.data(), &touched);
    const bool phrase = term.words.size() > 1;
    std::vector<std::string> needles;
    for (const std::string& w : term.words) needles.push_back('\0' + w);
    const std::vector<uint32_t>& from = k == 0 ? touched : candidates;
    bool anyRead = false;  // a candidate's text must be read: it is too long for the places
    if (phrase) {
      // A candidate keeps the fields that hold every word of the phrase; where the words
      // stand in its text is told by their places, or by the text itself when it is long.
      anyRead = MatchPhrase(term, lead, scope, epoch, from, touched);
      inText = 0;
      for (uint32_t o : touched) inText += (mask_[o] & kTextBit) ? 1 : 0;
      // Ordinals follow the recipe bases: in their order, the texts are read front to back.
      if (anyRead) std::sort(k == 0 ? touched.begin() : candidates.begin(), k == 0 ? touched.end() : candidates.end());
    }
    // Phrases are checked on the words themselves, only for recipes still in the running: in
    // a short text on the words' positions, in a longer one on its words.
    auto matches = [&](uint32_t o) {
      if (stamp_[o] != epoch || !(mask_[o] & scope)) return false;
      if (!phrase) return true;
      const RecipeEntry& e = entries_[order_[o]];
      uint8_t found = 0;
      if ((mask_[o] & kTitleBit) && e.title) {
        small.Fill(e.title, std::strlen(e.title));
        if (small.CountPhrase(needles)) found |= kTitleBit;
      }
      size_t n = 0;
      const bool positioned = tf2_[o] != 0;  // see MatchPhrase
      const char* text = (mask_[o] & kTextBit) && !positioned ? reader.Text(e, &n) : nullptr;
      if (positioned && tf_[o]) found |= kTextBit;
      if (text) {
        folded.Fill(text, n);
        tf_[o] = folded.CountPhrase(needles);
        if (tf_[o]) found |= kTextBit;
      }
      if (mask_[o] & kMemoBit) {
        const std::string* memo = memos_.Text(e.recipeId);
        if (memo) {
          small.Fill(memo->data(), memo->size());
          if (small.CountPhrase(needles)) found |= kMemoBit;
        }
      }
      mask_[o] = found;
      return found != 0;
    };
    const double idf = Idf(inText, count_);
    std::vector<uint32_t> next;
    for (uint32_t o : from) {
      if (!matches(o)) continue;
      if (k == 0) {
        titleTerms_[o] = 0;
        score_[o] = 0;
      }
      if (mask_[o] & kTitleBit) ++titleTerms_[o];
      if (mask_[o] & kTextBit) score_[o] += Bm25(idf, tf_[o], length_[o], average);
      next.push_back(o);
    }
    candidates.swap(next);
    if (candidates.empty()) return hits;
  }
  hits.reserve(candidates.size());
  for (uint32_t o : candidates) hits.push_back(Hit{order_[o], titleTerms_[o], score_[o]});
  RankHits(&hits);
  return hits;
}

size_t SearchIndex::RarestWord(const QueryTerm& term) const {
  size_t rarest = 0;
  size_t least = ~size_t{0};
  for (size_t j = 0; j < term.words.size() && term.words.size() > 1; ++j) {
    size_t lo, hi;
    Range(term.words[j], &lo, &hi);
    const size_t bytes = postStart_[hi] - postStart_[lo];
    if (bytes < least) least = bytes, rarest = j;
  }
  return rarest;
}

bool SearchIndex::MatchPhrase(const QueryTerm& term, size_t lead, unsigned scope, uint32_t epoch,
                              const std::vector<uint32_t>& from,
                              const std::vector<uint32_t>& touched) const {
  // Per text told by its places, a bit per word place: where the phrase can still begin
  // (word j of the phrase at place p lets it begin at p - j), in as many 64-bit words as the
  // text needs. tf2_ holds where its bits start + 1, 0 for the other recipes.
  for (uint32_t o : touched) tf2_[o] = 0;
  uint32_t words = 0;
  bool anyRead = false;
  if (scope & kTextBit) {
    for (uint32_t o : from) {
      if (stamp_[o] != epoch || !(mask_[o] & kTextBit)) continue;
      if (length_[o] <= kPositionedWords) {
        tf2_[o] = words + 1;
        words += (length_[o] + 63u) / 64u;
      } else {
        anyRead = true;
      }
    }
  }
  std::vector<uint64_t> begins(words, ~uint64_t{0}), here(words);
  const uint8_t wanted = static_cast<uint8_t>(scope & (kTitleBit | kTextBit));
  for (size_t j = 0; j < term.words.size(); ++j) {
    // One pass over the word's postings: the fields that hold it (but for the word the
    // candidates came from, already known), and its places in the slotted texts.
    const bool other = j != lead;
    const uint32_t e2 = ++epoch_;
    std::fill(here.begin(), here.end(), 0);
    size_t lo = 0, hi = 0;
    if (wanted) Range(term.words[j], &lo, &hi);
    for (size_t w = lo; w < hi; ++w) {
      const uint8_t* p = postings_.data() + postStart_[w];
      const uint8_t* end = postings_.data() + postStart_[w + 1];
      uint32_t ordinal1 = 0;
      while (p < end) {
        const Posting posting = GetPosting(p);
        ordinal1 += posting.delta;
        const uint32_t o = ordinal1 - 1;
        if (stamp_[o] == epoch) {
          if (other) {
            if (stamp2_[o] != e2) stamp2_[o] = e2, mask2_[o] = 0;
            mask2_[o] |= posting.fields & wanted;
          }
          if (posting.tf != 0 && tf2_[o] != 0) {
            uint64_t* b = here.data() + (tf2_[o] - 1);
            for (uint32_t i = 0; i < posting.tf; ++i) {
              if (p[i] < j) continue;
              const uint32_t begin = p[i] - static_cast<uint32_t>(j);
              b[begin >> 6] |= uint64_t{1} << (begin & 63);
            }
          }
        }
        p += posting.tf;
      }
    }
    for (size_t i = 0; i < begins.size(); ++i) begins[i] &= here[i];
    if (!other) continue;
    if (scope & kMemoBit) {
      ForEachMemoHolding(term.words[j], [&](uint32_t o) {
        if (stamp_[o] != epoch) return;
        if (stamp2_[o] != e2) stamp2_[o] = e2, mask2_[o] = 0;
        mask2_[o] |= kMemoBit;
      });
    }
    for (uint32_t o : touched) mask_[o] &= stamp2_[o] == e2 ? mask2_[o] : 0;
  }
  for (uint32_t o : from) {
    if (stamp_[o] != epoch || tf2_[o] == 0) continue;
    const uint64_t* b = begins.data() + (tf2_[o] - 1);
    uint32_t c = 0;
    for (size_t i = 0, n = (length_[o] + 63u) / 64u; i < n; ++i) c += Ones(b[i]);
    tf_[o] = c;
  }
  return anyRead;
}

void SearchIndex::MakeScratch() const {
  if (stamp_.size() == count_) return;
  stamp_.assign(count_, 0);
  stamp2_.assign(count_, 0);
  tf_.assign(count_, 0);
  tf2_.assign(count_, 0);
  titleTerms_.assign(count_, 0);
  mask_.assign(count_, 0);
  mask2_.assign(count_, 0);
  score_.assign(count_, 0);
}

void RankHits(std::vector<Hit>* hits) {
  // Sorted as 128-bit integers, byte by byte from the lowest (a radix sort: tens of thousands
  // of hits in a fraction of what comparisons take): title terms (most first), score (highest
  // first: the bits of a double that is not negative order as the double does), entry. The
  // key holds all three, so the hits come back from it.
  struct Key {
    uint64_t low, high;
    unsigned Byte(unsigned d) const {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
      return reinterpret_cast<const unsigned char*>(this)[d];  // low's bytes, then high's
#else
      return static_cast<unsigned>((d < 8 ? low >> (8 * d) : high >> (8 * (d - 8))) & 0xFF);
#endif
    }
  };
  std::vector<Key> keys(hits->size()), other(hits->size());
  for (size_t i = 0; i < keys.size(); ++i) {
    const Hit& h = (*hits)[i];
    uint64_t bits;
    const double score = h.score > 0 ? h.score : 0.0;
    std::memcpy(&bits, &score, sizeof bits);
    bits = ~bits;
    keys[i].high = static_cast<uint64_t>(~h.titleTerms) << 32 | bits >> 32;
    keys[i].low = bits << 32 | h.entry;
  }
  std::vector<uint32_t> counts(16 * 256, 0);
  // Only the bytes that differ between keys are sorted on.
  Key differ = {0, 0};
  for (const Key& k : keys) {
    differ.low |= k.low ^ keys[0].low;
    differ.high |= k.high ^ keys[0].high;
  }
  unsigned digits[16], n = 0;
  for (unsigned d = 0; d < 16; ++d) {
    if (differ.Byte(d) != 0) digits[n++] = d;
  }
  for (const Key& k : keys) {
    for (unsigned i = 0; i < n; ++i) ++counts[(digits[i] << 8) + k.Byte(digits[i])];
  }
  for (unsigned i = 0; i < n; ++i) {
    const unsigned d = digits[i];
    uint32_t* count = counts.data() + d * 256;
    uint32_t at = 0;
    for (unsigned b = 0; b < 256; ++b) {
      const uint32_t c = count[b];
      count[b] = at;
      at += c;
    }
    for (const Key& k : keys) other[count[k.Byte(d)]++] = k;
    keys.swap(other);
  }
  for (size_t i = 0; i < keys.size(); ++i) {
    uint64_t bits = ~(keys[i].high << 32 | keys[i].low >> 32);
    Hit& h = (*hits)[i];
    std::memcpy(&h.score, &bits, sizeof bits);
    h.titleTerms = ~static_cast<uint32_t>(keys[i].high >> 32);
    h.entry = static_cast<uint32_t>(keys[i].low);
  }
}

size_t SearchIndex::MemoryBytes() const {
  return Bytes(order_) + Bytes(length_) + Bytes(byId_) + Bytes(vocab_) + Bytes(vocabStart_) +
         Bytes(postings_) + Bytes(postStart_) + Bytes(stamp_) + Bytes(stamp2_) + Bytes(tf_) + Bytes(tf2_) +
         Bytes(titleTerms_) + Bytes(mask_) + Bytes(mask2_) + Bytes(score_) + Bytes(spelt_) +
         Bytes(spellings_) +
         memos_.MemoryBytes();
}

// ---- suggestions ----

namespace {

// Levenshtein distance of a and b when it is at most `most`, otherwise most + 1.
size_t BoundedDistance(const char* a, size_t na, const char* b, size_t nb, size_t most) {
  if ((na > nb ? na - nb : nb - na) > most) return most + 1;
  std::vector<size_t> row(nb + 1), prev(nb + 1);
  for (size_t j = 0; j <= nb; ++j) prev[j] = j;
  for (size_t i = 1; i <= na; ++i) {
    row[0] = i;
    size_t best = row[0];
    for (size_t j = 1; j <= nb; ++j) {
      const size_t sub = prev[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1);
      row[j] = std::min({sub, prev[j] + 1, row[j - 1] + 1});
      best = std::min(best, row[j]);
    }
    if (best > most) return most + 1;
    row.swap(prev);
  }
  return std::min(prev[nb], most + 1);
}

}  // namespace

std::string SearchIndex::Spelt(size_t i) const {
  auto it = std::lower_bound(spelt_.begin(), spelt_.end(), std::make_pair(static_cast<uint32_t>(i), 0u));
  if (it == spelt_.end() || it->first != i) return Word(i);
  return std::string(spellings_.data() + it->second);
}

bool SearchIndex::WordMatchesIn(const std::string& word, unsigned scope) const {
  const uint32_t epoch = ++epoch_;
  std::vector<uint32_t> touched;
  Collect(word, scope, epoch, stamp_.data(), mask_.data(), tf_.data(), &touched);
  return !touched.empty();
}

std::vector<std::string> SearchIndex::Suggest(const Query& query, unsigned scope,
                                              size_t most) const {
  struct Candidate {
    size_t distance;
    size_t recipes;
    std::string word;
    std::string shown;
  };
  std::vector<Candidate> found;
  scope &= kInEverything;
  if (scope == 0 || count_ == 0) return {};
  MakeScratch();
  constexpr size_t kMostEdits = 2;
  for (const QueryTerm& term : query.terms) {
    for (const std::string& q : term.words) {
      if (WordMatchesIn(q, scope)) continue;
      auto consider = [&](const char* w, size_t n, auto spell) {
        const size_t d = BoundedDistance(q.data(), q.size(), w, n, kMostEdits);
        // A word of which no letter is kept is no correction ("a" for "zut").
        if (d > kMostEdits || d >= n) return;
        std::string word(w, n);
        for (const Candidate& c : found) {
          if (c.word == word) return;
        }
        const uint32_t epoch = ++epoch_;
        std::vector<uint32_t> touched;
        Collect(word, scope, epoch, stamp_.data(), mask_.data(), tf_.data(), &touched);
        if (!touched.empty()) found.push_back(Candidate{d, touched.size(), word, spell(word)});
      };
      if (scope & (kTitleBit | kTextBit)) {
        for (size_t i = 0; i < VocabularySize(); ++i) {
          consider(vocab_.data() + vocabStart_[i], vocabStart_[i + 1] - vocabStart_[i],
                   [this, i](const std::string&) { return Spelt(i); });
        }
      }
      if (scope & kMemoBit) {
        for (const auto& [w, ids] : memos_.Words()) {
          consider(w.data(), w.size(), [this](const std::string& word) { return memos_.Spelt(word); });
        }
      }
    }
  }
  std::sort(found.begin(), found.end(), [](const Candidate& a, const Candidate& b) {
    if (a.distance != b.distance) return a.distance < b.distance;
    if (a.recipes != b.recipes) return a.recipes > b.recipes;
    return a.word < b.word;
  });
  std::vector<std::string> words;
  for (size_t i = 0; i < found.size() && i < most; ++i) words.push_back(found[i].shown);
  return words;
}

// ---- one query without an index ----

namespace {

// Tells, on the raw bytes of a text, whether a word of it begins with a folded word, without
// folding the text. Each folded letter of the word stands for the few raw bytes that fold to
// it alone; a byte that folds to two letters can only end the prefix, as its first letter,
// since a word holding one of those two-letter pairs is not looked up this way (Usable()).
class RawPrefix {
 public:
  explicit RawPrefix(const std::string& word) : size_(word.size()) {
    for (size_t j = 0; j + 1 < word.size(); ++j) {
      const char a = word[j], b = word[j + 1];
      if ((a == 'a' && b == 'e') || (a == 'o' && b == 'e') || (a == 's' && b == 's') ||
          (a == 't' && b == 'h')) {
        return;
      }
    }
    if (size_ == 0) return;
    classes_.assign(size_ * 256, 0);
    for (size_t j = 0; j < size_; ++j) {
      for (unsigned c = 0; c < 256; ++c) {
        const uint8_t len = kFoldTable.length[c];
        const bool first = len != 0 && kFoldTable.folded[c][0] == word[j];
        if (first && (len == 1 || j + 1 == size_)) classes_[j * 256 + c] = 1;
      }
    }
    for (unsigned c = 0; c < 256; ++c) {
      kind_[c] = static_cast<uint8_t>((kFoldTable.length[c] != 0 ? 1 : 0) | classes_[c] << 1);
    }
    usable_ = true;
  }
  bool Usable() const { return usable_; }
  // Whether a word of s[0..n) begins with the word; when not, `words` is set to the number of
  // words of s.
  bool Holds(const char* s, size_t n, uint32_t* words) const {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(s);
    uint32_t starts = 0;
    uint32_t inWord = 0;
    for (size_t i = 0; i < n; ++i) {
      const uint32_t kind = kind_[p[i]];
      const uint32_t isWord = kind & 1u;
      const uint32_t start = isWord & (inWord ^ 1u);
      starts += start;
      inWord = isWord;
      if ((kind & (start << 1)) && i + size_ <= n) {
        size_t j = 1;
        while (j < size_ && classes_[j * 256 + p[i + j]]) ++j;
        if (j == size_) return true;
      }
    }
    *words = starts;
    return false;
  }

 private:
  size_t size_;
  bool usable_ = false;
  std::vector<uint8_t> classes_;  // [position * 256 + byte]: the byte can stand there
  uint8_t kind_[256] = {};        // 1: a word byte; 2: it can begin the word
};

}  // namespace



std::vector<Hit> ScanSearch(const RecipeEntry* entries, uint32_t count, const MemoWords& memos,
                            const Query& query, unsigned scope) {
  std::vector<Hit> hits;
  scope &= kInEverything;
  if (query.terms.empty() || count == 0 || scope == 0) return hits;
  const size_t terms = query.terms.size();
  std::vector<std::vector<std::string>> needles(terms);
  for (size_t k = 0; k < terms; ++k) {
    for (const std::string& w : query.terms[k].words) needles[k].push_back('\0' + w);
  }
  struct Found {
    uint32_t entry;
    uint32_t titleTerms;
    uint32_t words;
    std::vector<uint32_t> tf;  // per term; 0 when the text does not hold it
  };
  std::vector<Found> found;
  std::vector<uint32_t> inText(terms, 0);
  uint64_t totalWords = 0;
  FoldedText folded;
  FoldedText title, memo;
  std::vector<uint8_t> every(terms);
  std::vector<uint32_t> tf(terms);

  // A text that lacks a word of every term cannot count for any term: it is not folded, and
  // only its words are counted. One word per term is enough to tell.
  std::vector<RawPrefix> rejecters;
  for (size_t k = 0; k < terms; ++k) {
    for (const std::string& w : query.terms[k].words) {
      RawPrefix r(w);
      if (r.Usable()) {
        rejecters.push_back(std::move(r));
        break;
      }
    }
  }
  if (rejecters.size() != terms) rejecters.clear();

  ForEachRecipeText(
      entries, count,
      [&](uint32_t entry, const char* s, size_t n) {
        if (!s) n = 0;
        uint32_t counted = 0;
        bool lacking = !rejecters.empty();
        for (const RawPrefix& r : rejecters) {
          if (r.Holds(s, n, &counted)) {
            lacking = false;
            break;
          }
        }
        if (!lacking) folded.Fill(s ? s : "", n);
        const uint32_t words = std::min<uint32_t>(lacking ? counted : folded.words, kMostCountedWords);
        totalWords += words;
        // Recipes whose text holds every word of a term, for the term's weight.
        for (size_t k = 0; k < terms; ++k) {
          bool all = !lacking;
          for (const std::string& needle : needles[k]) all = all && folded.Holds(needle);
          every[k] = all;
          if (all) ++inText[k];
        }
        const RecipeEntry& e = entries[entry];
        bool titleFilled = false, memoFilled = false;
        const std::string* m = (scope & kMemoBit) ? memos.Text(e.recipeId) : nullptr;
        // Folded text holds a field's words: "in it" is what the index's postings say.
        auto holds = [&](const FoldedText& f, size_t k) {
          return query.terms[k].words.size() == 1 ? f.Holds(needles[k][0])
                                                  : f.CountPhrase(needles[k]) > 0;
        };
        uint32_t titleTerms = 0;
        for (size_t k = 0; k < terms; ++k) {
          const QueryTerm& term = query.terms[k];
          tf[k] = 0;
          if ((scope & kTextBit) && every[k]) {
            tf[k] = term.words.size() == 1 ? folded.CountWords(needles[k][0])
                                            : folded.CountPhrase(needles[k]);
          }
          bool inTitle = false;
          if (scope & kTitleBit) {
            if (!titleFilled) title.Fill(e.title ? e.title : "", e.title ? std::strlen(e.title) : 0);
            titleFilled = true;
            inTitle = holds(title, k);
          }
          bool inMemo = false;
          if (m && !inTitle && tf[k] == 0) {
            if (!memoFilled) memo.Fill(m->data(), m->size());
            memoFilled = true;
            inMemo = holds(memo, k);
          }
          if (!inTitle && tf[k] == 0 && !inMemo) return;
          titleTerms += inTitle ? 1 : 0;
        }
        found.push_back(Found{entry, titleTerms, words, tf});
      },
      [](uint32_t) {});

  const double average = AverageWords(totalWords, count);
  hits.reserve(found.size());
  std::vector<double> idf(terms);
  for (size_t k = 0; k < terms; ++k) idf[k] = Idf(inText[k], count);
  for (const Found& f : found) {
    double score = 0;
    for (size_t k = 0; k < terms; ++k) {
      if (f.tf[k]) score += Bm25(idf[k], f.tf[k], f.words, average);
    }
    hits.push_back(Hit{f.entry, f.titleTerms, score});
  }
  RankHits(&hits);
  return hits;
}

}  // namespace search

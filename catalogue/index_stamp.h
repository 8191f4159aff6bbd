// What the index file held when this process last read or wrote it, so that a save can tell
// whether another program has replaced it since. Two stamps are equal when the bytes are: the
// size and a 64-bit hash of the whole content. A modification time would add nothing once the
// bytes are compared, and it misses a rewrite within its resolution (two seconds on FAT).
#ifndef SAUCELINS_CATALOGUE_INDEX_STAMP_H
#define SAUCELINS_CATALOGUE_INDEX_STAMP_H

#include <cstddef>
#include <cstdint>

struct IndexStamp {
  bool known = false;    // false: nothing was read or written, so nothing can be compared
  bool present = false;  // the file existed
  uint64_t size = 0;
  uint64_t hash = 0;
  bool operator==(const IndexStamp& o) const {
    return known && o.known && present == o.present && size == o.size && hash == o.hash;
  }
  bool operator!=(const IndexStamp& o) const { return !(*this == o); }
};

// A hash of a byte stream fed in pieces of any size; the same bytes give the same hash however
// they are cut.
class ContentHash {
 public:
  void Add(const void* bytes, size_t n);
  uint64_t Digest() const;
  uint64_t Size() const { return size_; }

 private:
  void Mix(uint64_t word);
  // Four chains, word i going to chain i % 4: a load hashes the whole index, and one chain
  // waits for each step of the last.
  uint64_t state_[4] = {0x6a09e667f3bcc908ull, 0xbb67ae8584caa73bull, 0x3c6ef372fe94f82bull,
                        0xa54ff53a5f1d36f1ull};
  uint64_t words_ = 0;
  uint64_t size_ = 0;
  unsigned char tail_[8] = {};
  size_t tailLen_ = 0;
};

IndexStamp StampOfBytes(const void* bytes, size_t n);
// The stamp of the file `name` as it is now: known and absent when it does not exist. False
// when it exists but cannot be read whole.
bool StampOfFile(const char* name, IndexStamp* stamp);

#endif

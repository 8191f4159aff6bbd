#include "catalogue/index_stamp.h"

#include <cstdio>
#include <cstring>

#include "platform/fileio.h"

namespace {

constexpr uint64_t kMul1 = 0x87c37b91114253d5ull;
constexpr uint64_t kMul2 = 0x4cf5ad432745937full;

uint64_t RotateLeft(uint64_t v, int n) { return (v << n) | (v >> (64 - n)); }

// The last mixing step of a 64-bit MurmurHash3: every input bit reaches every output bit.
uint64_t Finish(uint64_t h) {
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdull;
  h ^= h >> 33;
  h *= 0xc4ceb9fe1a85ec53ull;
  h ^= h >> 33;
  return h;
}

uint64_t LittleEndian64(const unsigned char* p) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  uint64_t v;  // one load on the machines the program runs on
  std::memcpy(&v, p, sizeof v);
  return v;
#else
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  return v;
#endif
}

}  // namespace

void ContentHash::Mix(uint64_t word) {
  word *= kMul1;
  word = RotateLeft(word, 31);
  word *= kMul2;
  uint64_t& state = state_[words_++ & 3];
  state ^= word;
  state = RotateLeft(state, 27) * 5 + 0x52dce729;
}

void ContentHash::Add(const void* bytes, size_t n) {
  const unsigned char* p = static_cast<const unsigned char*>(bytes);
  size_ += n;
  if (tailLen_ > 0) {
    while (n > 0 && tailLen_ < 8) {
      tail_[tailLen_++] = *p++;
      --n;
    }
    if (tailLen_ < 8) return;
    Mix(LittleEndian64(tail_));
    tailLen_ = 0;
  }
  while (n >= 8 && (words_ & 3) != 0) {
    Mix(LittleEndian64(p));
    n -= 8;
    p += 8;
  }
  if (n >= 32) {
    // The four chains in registers, one step of each per 32 bytes.
    uint64_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
    const auto step = [](uint64_t& state, uint64_t word) {
      word *= kMul1;
      word = RotateLeft(word, 31);
      word *= kMul2;
      state ^= word;
      state = RotateLeft(state, 27) * 5 + 0x52dce729;
    };
    for (; n >= 32; n -= 32, p += 32) {
      step(a, LittleEndian64(p));
      step(b, LittleEndian64(p + 8));
      step(c, LittleEndian64(p + 16));
      step(d, LittleEndian64(p + 24));
      words_ += 4;
    }
    state_[0] = a;
    state_[1] = b;
    state_[2] = c;
    state_[3] = d;
  }
  for (; n >= 8; n -= 8, p += 8) Mix(LittleEndian64(p));
  std::memcpy(tail_, p, n);
  tailLen_ = n;
}

uint64_t ContentHash::Digest() const {
  unsigned char last[8] = {};
  std::memcpy(last, tail_, tailLen_);
  uint64_t h = state_[0];
  for (int i = 1; i < 4; ++i) h = (RotateLeft(h, 27) * 5 + 0x52dce729) ^ Finish(state_[i]);
  h ^= tailLen_ ? LittleEndian64(last) * kMul2 : 0;
  return Finish(h ^ size_);
}

IndexStamp StampOfBytes(const void* bytes, size_t n) {
  ContentHash hash;
  hash.Add(bytes, n);
  IndexStamp s;
  s.known = true;
  s.present = true;
  s.size = n;
  s.hash = hash.Digest();
  return s;
}

bool StampOfFile(const char* name, IndexStamp* stamp) {
  *stamp = IndexStamp();
  FILE* f = fileio::Open(name, "rb");
  if (!f) {
    if (fileio::Exists(name)) return false;
    stamp->known = true;
    return true;
  }
  ContentHash hash;
  char block[16 * 1024];
  bool ok = true;
  for (;;) {
    const size_t n = fileio::Read(block, 1, sizeof block, f);
    hash.Add(block, n);
    if (n < sizeof block) {
      ok = std::feof(f) && !std::ferror(f);
      break;
    }
  }
  if (fileio::Close(f) != 0) ok = false;
  if (!ok) return false;
  stamp->known = true;
  stamp->present = true;
  stamp->size = hash.Size();
  stamp->hash = hash.Digest();
  return true;
}

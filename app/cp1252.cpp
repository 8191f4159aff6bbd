#include "app/cp1252.h"

namespace {

// Characters of bytes 0x80..0x9F; the unassigned ones keep their own value.
const uint16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Decodes the sequence at s[i]; advances i past it. -1 when it is not well-formed UTF-8
// (overlong forms, surrogates and values above U+10FFFF included).
int64_t NextCodePoint(const unsigned char* s, size_t n, size_t* i) {
  unsigned char b = s[*i];
  int extra = b < 0x80           ? 0
              : (b & 0xE0) == 0xC0 ? 1
              : (b & 0xF0) == 0xE0 ? 2
              : (b & 0xF8) == 0xF0 ? 3
                                   : -1;
  if (extra < 0 || static_cast<size_t>(extra) >= n - *i) return -1;
  uint32_t cp = extra == 0 ? b : (b & (0x3Fu >> extra));
  for (int k = 1; k <= extra; ++k) {
    unsigned char c = s[*i + k];
    if ((c & 0xC0) != 0x80) return -1;
    cp = (cp << 6) | (c & 0x3F);
  }
  static const uint32_t kMin[4] = {0, 0x80, 0x800, 0x10000};
  if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return -1;
  *i += static_cast<size_t>(extra) + 1;
  return cp;
}

}  // namespace

uint32_t Cp1252ToUnicode(unsigned char byte) {
  return byte >= 0x80 && byte <= 0x9F ? kHigh[byte - 0x80] : byte;
}

int UnicodeToCp1252(uint32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  for (int i = 0; i < 32; ++i) {
    if (kHigh[i] == cp) return 0x80 + i;
  }
  return -1;
}

void AppendUtf8FromCp1252(const char* s, size_t n, std::string* out) {
  for (size_t i = 0; i < n; ++i) {
    uint32_t cp = Cp1252ToUnicode(static_cast<unsigned char>(s[i]));
    if (cp < 0x80) {
      out->push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
}

std::string Cp1252ToUtf8(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  AppendUtf8FromCp1252(s.data(), s.size(), &out);
  return out;
}

bool AppendCp1252FromUtf8(const char* s, size_t n, std::string* out, size_t* badOffset,
                          size_t limit) {
  const unsigned char* u = reinterpret_cast<const unsigned char*>(s);
  for (size_t i = 0, produced = 0; i < n && produced < limit; ++produced) {
    size_t at = i;
    int64_t cp = NextCodePoint(u, n, &i);
    int byte = cp < 0 ? -1 : UnicodeToCp1252(static_cast<uint32_t>(cp));
    if (byte < 0) {
      if (badOffset) *badOffset = at;
      return false;
    }
    out->push_back(static_cast<char>(byte));
  }
  return true;
}

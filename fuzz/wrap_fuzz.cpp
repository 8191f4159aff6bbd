// Word wrapping of arbitrary texts at arbitrary widths, measured by a fake device: wrapping
// a whole text always ends, every line consumes at least one character, nothing is read or
// written past the text's terminator, every line is a piece of the text cut at a line end or
// a blank, and a word is pushed down exactly when the line with it would be too wide.
//
// Input: bytes 0-1 the maximum width (signed), byte 2 the kind of device, then the text (up to
// its first NUL). Devices: fixed pitch (possibly 0), a width per character, widths that do not
// grow with the text (a broken driver), and extreme values.
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_folder.h"
#include "print/wrap.h"

namespace {

constexpr char kTarget[] = "wrap_fuzz";

void Check(bool ok, const char* what) { fuzzfolder::Check(ok, kTarget, what); }

struct Device {
  uint8_t kind;
  const char* lineStart = nullptr;  // where the current call's line begins
  const char* terminator = nullptr;
  bool fromWrapper = true;  // calls made by WrapLine are checked; the checker's are not
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsLineEnd(char c) { return c == '\0' || c == '\n' || c == '\r'; }

int Measure(const char* text, int count, void* dc) {
  Device* d = static_cast<Device*>(dc);
  if (d->fromWrapper) {
    Check(text == d->lineStart, "measured text does not start at the line");
    Check(count >= 1 && count <= d->terminator - text, "measured past the text");
    Check(std::memchr(text, '\0', static_cast<size_t>(count)) == nullptr, "measured across a NUL");
    Check(IsBlank(text[count]) || IsLineEnd(text[count]), "measured a piece that is not whole words");
  }
  const uint8_t k = d->kind;
  switch (k & 3) {
    case 0:  // fixed pitch, 0 .. 63 units
      return count * (k >> 2);
    case 1: {  // one width per character, some of them 0
      int w = 0;
      for (int i = 0; i < count; ++i) w += (static_cast<uint8_t>(text[i]) * 7 + (k >> 2)) % 13;
      return w;
    }
    case 2: {  // a hash of the text: longer is not wider
      uint32_t h = 2166136261u ^ k;
      for (int i = 0; i < count; ++i) h = (h ^ static_cast<uint8_t>(text[i])) * 16777619u;
      return static_cast<int>(h % 2001) - 1000;
    }
    default:  // extremes
      switch ((k >> 2) & 3) {
        case 0: return INT_MAX;
        case 1: return INT_MIN;
        case 2: return static_cast<int>(std::min<int64_t>(int64_t(count) * 100000000, INT_MAX));
        default: return count & 1 ? INT_MAX : INT_MIN;
      }
  }
}

// Checks one line cut from the original text at `offset`, `length` characters long, ended by
// the original character `cut`; `rest` is the offset WrapLine returned.
void CheckLine(const std::string& text, size_t offset, size_t length, size_t rest, int maxWidth,
               Device* dev) {
  const char cut = text.c_str()[offset + length];
  Check(IsLineEnd(cut) || IsBlank(cut), "line not cut at a line end or a blank");
  if (cut == '\0') Check(rest == text.size(), "end of text not returned at the terminator");
  if (cut == '\n') Check(rest == offset + length + 1, "line feed not consumed alone");
  if (cut == '\r') {
    const bool pair = text.c_str()[offset + length + 1] == '\n';
    Check(rest == offset + length + (pair ? 2 : 1), "CR (LF) not consumed as one line end");
  }
  for (size_t i = offset; i < offset + length; ++i) {
    Check(!IsLineEnd(text[i]), "line runs over a line end");
  }

  // Where each word of the line ends: every word is measured, the last one of a paragraph too.
  const char* line = text.c_str() + offset;
  dev->fromWrapper = false;
  auto width = [&](size_t end) { return Measure(line, static_cast<int>(end), dev); };
  std::vector<size_t> measuredEnds;
  size_t i = 0;
  while (i < length) {
    while (i < length && IsBlank(line[i])) ++i;
    if (i == length) break;
    while (i < length && !IsBlank(line[i])) ++i;
    measuredEnds.push_back(i);
  }
  const bool wideFirstWord = !measuredEnds.empty() && !IsBlank(line[0]) &&
                             width(measuredEnds[0]) >= maxWidth;
  if (wideFirstWord) {
    Check(measuredEnds.size() == 1, "a too wide first word was not left alone on its line");
  } else {
    for (size_t end : measuredEnds) Check(width(end) < maxWidth, "line wider than the maximum");
    if (IsBlank(cut)) {
      // The pushed-down word made the line too wide.
      size_t end = length + 1;
      while (!IsLineEnd(line[end]) && !IsBlank(line[end])) ++end;
      Check(end > length + 1, "a blank cut without a word after it");
      Check(width(end) >= maxWidth, "a word was pushed down that fitted");
    }
  }
  if (IsBlank(cut)) Check(rest == offset + length + 1, "pushed-down word does not start the rest");
  dev->fromWrapper = true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const int maxWidth = static_cast<int16_t>(data[0] | data[1] << 8);
  Device dev;
  dev.kind = data[2];
  std::string text(reinterpret_cast<const char*>(data + 3), size - 3);
  text.resize(std::strlen(text.c_str()));

  // Exactly the text and its terminator, so a read past it is caught.
  char* buf = static_cast<char*>(std::malloc(text.size() + 1));
  std::memcpy(buf, text.c_str(), text.size() + 1);
  dev.terminator = buf + text.size();

  std::vector<size_t> cuts;
  char* line = buf;
  for (size_t calls = 0;; ++calls) {
    Check(calls <= text.size(), "wrapping does not end");
    dev.lineStart = line;
    char* rest = WrapLine(line, Measure, maxWidth, &dev);
    if (rest == nullptr) {
      Check(*line == '\0', "text left unwrapped");
      break;
    }
    Check(rest > line, "a line consumed nothing");
    Check(rest <= dev.terminator, "rest begins past the terminator");
    const size_t offset = static_cast<size_t>(line - buf);
    const size_t length = std::strlen(line);
    Check(offset + length <= text.size(), "line runs past the text");
    Check(text.compare(offset, length, line) == 0, "line is not a piece of the text");
    CheckLine(text, offset, length, static_cast<size_t>(rest - buf), maxWidth, &dev);
    if (offset + length < text.size()) cuts.push_back(offset + length);
    line = rest;
  }
  // Only the cuts were written: every other byte is the text's own.
  std::string expected = text;
  for (size_t c : cuts) expected[c] = '\0';
  Check(std::memcmp(buf, expected.data(), text.size() + 1) == 0, "wrapping changed the text");
  std::free(buf);
  return 0;
}

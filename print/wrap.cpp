#include "print/wrap.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool EndsWord(char c) { return c == '\0' || c == '\n' || c == '\r' || IsBlank(c); }

}  // namespace

char* WrapLine(char* text, MeasureTextFn measure, int maxWidth, void* dc) {
  if (text == nullptr || *text == '\0') return nullptr;
  char* p = text;
  // Set once the line's first word turned out too wide by itself: the line then ends before
  // the next word, whatever its width.
  bool full = false;
  for (;;) {
    while (IsBlank(*p)) ++p;
    char* word = p;
    if (full && *p != '\0' && *p != '\n' && *p != '\r') {
      word[-1] = '\0';  // a blank: at least one was skipped after the wide word
      return word;
    }
    while (!EndsWord(*p)) ++p;
    // Every word is measured, the last of a paragraph or of the text too: a word that does
    // not fit goes down to the next line, where a word is never cut.
    if (!full && p > word && measure(text, static_cast<int>(p - text), dc) >= maxWidth) {
      // When the word already opens this line, cutting before it would hand the same text
      // back again, so it keeps the line to itself instead.
      if (word > text) {
        word[-1] = '\0';
        return word;
      }
      full = true;
    }
    switch (*p) {
      case '\0':
        return p;
      case '\n':
        *p = '\0';
        return p + 1;
      case '\r':
        // Usually the first half of CR LF; a lone CR ends the line just as well.
        *p = '\0';
        return p[1] == '\n' ? p + 2 : p + 1;
      default:
        break;
    }
  }
}

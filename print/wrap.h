// Word wrapping of a recipe's text for the printed page.
//
// The text is cut into lines in place: each call ends the next line with a NUL and tells where
// the rest begins, so a whole recipe is wrapped in its own buffer without allocating.
#ifndef SAUCELINS_PRINT_WRAP_H
#define SAUCELINS_PRINT_WRAP_H

// Width, in device units, of the first `count` characters of `text` on the device `dc`.
typedef int (*MeasureTextFn)(const char* text, int count, void* dc);

// Cuts the next line off the NUL-terminated `text`, in place, and returns where the rest
// begins; returns null when `text` is empty. A line ends at LF, CR LF or a lone CR, or before
// the word that would make it at least `maxWidth` wide. Blanks (space, TAB) are ordinary
// characters: leading blanks stay on the line, and blanks before a pushed-down word stay at the
// end of the line above (one of them becomes the NUL). Every word is measured, the last one of
// a paragraph too, so no line but a single word that is too wide by itself (it gets a line of
// its own) reaches `maxWidth`. Every call that returns non-null consumes at
// least one character, and the result never lies past the text's terminator.
char* WrapLine(char* text, MeasureTextFn measure, int maxWidth, void* dc);

#endif

// A recipe's text as it leaves the program: with its memo under a heading, on the clipboard
// (Windows-1252 and UTF-16), in a text file (Windows-1252, CR LF, like the recipe base).
#ifndef SAUCELINS_PRINT_RECIPE_EXPORT_H
#define SAUCELINS_PRINT_RECIPE_EXPORT_H

#include <string>

// `text`, then, when `memo` holds more than blanks and line ends, an empty line, `heading` on
// a line of its own and the memo. The memo's own trailing NUL, if any, is left out.
std::string WithMemo(const std::string& text, const std::string& memo, const std::string& heading);

// Every line end (CR LF, a lone LF, a lone CR) made CR LF; NUL bytes, which end a text for the
// controls and the clipboard, are dropped.
std::string ToCrLf(const std::string& text);

// The UTF-16 form of a Windows-1252 text.
std::u16string Cp1252ToUtf16(const std::string& text);

// A file name for the recipe `title`: the characters Windows refuses in a name (control
// characters and \ / : * ? " < > |) become '_', blanks and dots at the end go, a name Windows
// keeps for a device (CON, NUL, COM1...) gets a '_', and ".txt" follows. A title that leaves
// nothing gives "Recette.txt". The name stays within 200 characters.
std::string FileNameForTitle(const std::string& title);

// Writes `bytes` into `path` so that `path` ends up holding either all of them or what it held
// before: a temporary file beside it is written, flushed and put in its place, and removed
// when anything fails. False when the file could not be written.
bool SaveFileReplacing(const std::string& path, const std::string& bytes);

#endif

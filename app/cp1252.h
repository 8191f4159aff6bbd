// Windows-1252 <-> UTF-8, for texts that leave or enter through a UTF-8 terminal or script.
//
// Every byte has a character: the five bytes Windows-1252 leaves unassigned (0x81, 0x8D, 0x8F,
// 0x90, 0x9D) stand for the control characters of the same value, as Windows' own conversion
// has it, so any byte string goes to UTF-8 and back unchanged.
#ifndef SAUCELINS_APP_CP1252_H
#define SAUCELINS_APP_CP1252_H

#include <cstddef>
#include <cstdint>
#include <string>

// The Unicode character of one Windows-1252 byte.
uint32_t Cp1252ToUnicode(unsigned char byte);
// The Windows-1252 byte of a character, or -1 when the character set has none.
int UnicodeToCp1252(uint32_t codePoint);

// Appends the UTF-8 form of n Windows-1252 bytes to out.
void AppendUtf8FromCp1252(const char* s, size_t n, std::string* out);
std::string Cp1252ToUtf8(const std::string& s);

// Appends the Windows-1252 form of n bytes of UTF-8 to out, stopping once out has grown by
// `limit` bytes (what lies beyond is not looked at). False when a sequence before that point is
// not UTF-8 or names a character Windows-1252 lacks; *badOffset then receives its offset.
bool AppendCp1252FromUtf8(const char* s, size_t n, std::string* out, size_t* badOffset,
                          size_t limit = SIZE_MAX);

#endif

#include "search/words.h"

namespace search {
namespace {

constexpr FoldTable MakeTable() {
  FoldTable t{};
  auto one = [&t](unsigned b, char c) {
    t.length[b] = 1;
    t.folded[b][0] = c;
    t.folded[b][1] = 0;
  };
  auto two = [&t](unsigned b, char c, char d) {
    t.length[b] = 2;
    t.folded[b][0] = c;
    t.folded[b][1] = d;
  };
  for (unsigned c = '0'; c <= '9'; ++c) one(c, static_cast<char>(c));
  for (unsigned c = 'a'; c <= 'z'; ++c) one(c, static_cast<char>(c));
  for (unsigned c = 'A'; c <= 'Z'; ++c) one(c, static_cast<char>(c - 'A' + 'a'));
  // Windows-1252 letters outside the Latin-1 block.
  one(0x83, '\x83');  // f with hook: a letter with no plainer form
  one(0x8A, 's');     // S caron
  two(0x8C, 'o', 'e');  // OE
  one(0x8E, 'z');     // Z caron
  one(0x9A, 's');
  two(0x9C, 'o', 'e');
  one(0x9E, 'z');
  one(0x9F, 'y');     // Y diaeresis
  // Letters of the Latin-1 signs block, kept as they are.
  one(0xAA, '\xAA');  // feminine ordinal
  one(0xB5, '\xB5');  // micro sign
  one(0xBA, '\xBA');  // masculine ordinal
  // Capitals 0xC0..0xDE and small letters 0xDF..0xFF; 0xD7 and 0xF7 are the multiplication
  // and division signs.
  for (unsigned base : {0xC0u, 0xE0u}) {
    for (unsigned k = 0; k <= 5; ++k) one(base + k, 'a');
    two(base + 6, 'a', 'e');
    one(base + 7, 'c');
    for (unsigned k = 8; k <= 11; ++k) one(base + k, 'e');
    for (unsigned k = 12; k <= 15; ++k) one(base + k, 'i');
    one(base + 16, 'd');  // eth
    one(base + 17, 'n');
    for (unsigned k = 18; k <= 22; ++k) one(base + k, 'o');
    one(base + 24, 'o');  // o stroke
    for (unsigned k = 25; k <= 28; ++k) one(base + k, 'u');
    one(base + 29, 'y');
    two(base + 30, 't', 'h');  // thorn
  }
  two(0xDF, 's', 's');  // sharp s
  one(0xFF, 'y');
  return t;
}

}  // namespace

constexpr FoldTable kFoldTable = MakeTable();

std::string FoldWord(const char* s, size_t n) {
  std::string out;
  out.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    const unsigned char b = static_cast<unsigned char>(s[i]);
    if (kFoldTable.length[b] >= 1) out.push_back(kFoldTable.folded[b][0]);
    if (kFoldTable.length[b] == 2) out.push_back(kFoldTable.folded[b][1]);
  }
  return out;
}

}  // namespace search

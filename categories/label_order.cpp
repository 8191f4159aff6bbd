#include "categories/label_order.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

enum CharKind : uint8_t {
  kIgnorable,    // weighs nothing at all (soft hyphen)
  kPunctuation,  // weighs only where everything else is equal, by its position
  kWeighted,     // one or two letters' worth of weights (ligatures expand to two)
};

// One weighted element: script and letter (the first level, two bytes), accent, case.
struct Element {
  uint8_t script, primary, diacritic, caseWeight;
};

struct CharWeights {
  CharKind kind;
  uint8_t count;
  // kPunctuation keeps its weight in elements[0].primary and its case and accent byte in
  // elements[0].caseWeight.
  Element elements[2];
};

// The platform's weights for every Windows-1252 code, read from its sort keys (one character
// at a time, with LCMapString), in code order. The tests under Wine check them again.
const CharWeights kWeights[256] = {
    {kIgnorable, 0, {{0, 0, 0, 0}, {0, 0, 0, 0}}},  // 00
    {kPunctuation, 1, {{0, 0x03, 0, 0x12}, {0, 0, 0, 0}}},  // 01 U+0001
    {kPunctuation, 1, {{0, 0x04, 0, 0x12}, {0, 0, 0, 0}}},  // 02 U+0002
    {kPunctuation, 1, {{0, 0x05, 0, 0x12}, {0, 0, 0, 0}}},  // 03 U+0003
    {kPunctuation, 1, {{0, 0x06, 0, 0x12}, {0, 0, 0, 0}}},  // 04 U+0004
    {kPunctuation, 1, {{0, 0x07, 0, 0x12}, {0, 0, 0, 0}}},  // 05 U+0005
    {kPunctuation, 1, {{0, 0x08, 0, 0x12}, {0, 0, 0, 0}}},  // 06 U+0006
    {kPunctuation, 1, {{0, 0x09, 0, 0x12}, {0, 0, 0, 0}}},  // 07 U+0007
    {kPunctuation, 1, {{0, 0x0a, 0, 0x12}, {0, 0, 0, 0}}},  // 08 U+0008
    {kWeighted, 1, {{0x07, 0x05, 0x02, 0x02}, {0, 0, 0, 0}}},  // 09 U+0009
    {kWeighted, 1, {{0x07, 0x06, 0x02, 0x02}, {0, 0, 0, 0}}},  // 0A U+000A
    {kWeighted, 1, {{0x07, 0x07, 0x02, 0x02}, {0, 0, 0, 0}}},  // 0B U+000B
    {kWeighted, 1, {{0x07, 0x08, 0x02, 0x02}, {0, 0, 0, 0}}},  // 0C U+000C
    {kWeighted, 1, {{0x07, 0x09, 0x02, 0x02}, {0, 0, 0, 0}}},  // 0D U+000D
    {kPunctuation, 1, {{0, 0x0b, 0, 0x12}, {0, 0, 0, 0}}},  // 0E U+000E
    {kPunctuation, 1, {{0, 0x0c, 0, 0x12}, {0, 0, 0, 0}}},  // 0F U+000F
    {kPunctuation, 1, {{0, 0x0d, 0, 0x12}, {0, 0, 0, 0}}},  // 10 U+0010
    {kPunctuation, 1, {{0, 0x0e, 0, 0x12}, {0, 0, 0, 0}}},  // 11 U+0011
    {kPunctuation, 1, {{0, 0x0f, 0, 0x12}, {0, 0, 0, 0}}},  // 12 U+0012
    {kPunctuation, 1, {{0, 0x10, 0, 0x12}, {0, 0, 0, 0}}},  // 13 U+0013
    {kPunctuation, 1, {{0, 0x11, 0, 0x12}, {0, 0, 0, 0}}},  // 14 U+0014
    {kPunctuation, 1, {{0, 0x12, 0, 0x12}, {0, 0, 0, 0}}},  // 15 U+0015
    {kPunctuation, 1, {{0, 0x13, 0, 0x12}, {0, 0, 0, 0}}},  // 16 U+0016
    {kPunctuation, 1, {{0, 0x14, 0, 0x12}, {0, 0, 0, 0}}},  // 17 U+0017
    {kPunctuation, 1, {{0, 0x15, 0, 0x12}, {0, 0, 0, 0}}},  // 18 U+0018
    {kPunctuation, 1, {{0, 0x16, 0, 0x12}, {0, 0, 0, 0}}},  // 19 U+0019
    {kPunctuation, 1, {{0, 0x17, 0, 0x12}, {0, 0, 0, 0}}},  // 1A U+001A
    {kPunctuation, 1, {{0, 0x18, 0, 0x12}, {0, 0, 0, 0}}},  // 1B U+001B
    {kPunctuation, 1, {{0, 0x19, 0, 0x12}, {0, 0, 0, 0}}},  // 1C U+001C
    {kPunctuation, 1, {{0, 0x1a, 0, 0x12}, {0, 0, 0, 0}}},  // 1D U+001D
    {kPunctuation, 1, {{0, 0x1b, 0, 0x12}, {0, 0, 0, 0}}},  // 1E U+001E
    {kPunctuation, 1, {{0, 0x1c, 0, 0x12}, {0, 0, 0, 0}}},  // 1F U+001F
    {kWeighted, 1, {{0x07, 0x02, 0x02, 0x02}, {0, 0, 0, 0}}},  // 20 U+0020
    {kWeighted, 1, {{0x07, 0x1c, 0x02, 0x02}, {0, 0, 0, 0}}},  // 21 U+0021
    {kWeighted, 1, {{0x07, 0x1d, 0x02, 0x02}, {0, 0, 0, 0}}},  // 22 U+0022
    {kWeighted, 1, {{0x07, 0x1f, 0x02, 0x02}, {0, 0, 0, 0}}},  // 23 U+0023
    {kWeighted, 1, {{0x07, 0x21, 0x02, 0x02}, {0, 0, 0, 0}}},  // 24 U+0024
    {kWeighted, 1, {{0x07, 0x23, 0x02, 0x02}, {0, 0, 0, 0}}},  // 25 U+0025
    {kWeighted, 1, {{0x07, 0x25, 0x02, 0x02}, {0, 0, 0, 0}}},  // 26 U+0026
    {kPunctuation, 1, {{0, 0x80, 0, 0x12}, {0, 0, 0, 0}}},  // 27 U+0027
    {kWeighted, 1, {{0x07, 0x27, 0x02, 0x02}, {0, 0, 0, 0}}},  // 28 U+0028
    {kWeighted, 1, {{0x07, 0x2a, 0x02, 0x02}, {0, 0, 0, 0}}},  // 29 U+0029
    {kWeighted, 1, {{0x07, 0x2d, 0x02, 0x02}, {0, 0, 0, 0}}},  // 2A U+002A
    {kWeighted, 1, {{0x08, 0x03, 0x02, 0x02}, {0, 0, 0, 0}}},  // 2B U+002B
    {kWeighted, 1, {{0x07, 0x2f, 0x02, 0x02}, {0, 0, 0, 0}}},  // 2C U+002C
    {kPunctuation, 1, {{0, 0x82, 0, 0x12}, {0, 0, 0, 0}}},  // 2D U+002D
    {kWeighted, 1, {{0x07, 0x33, 0x02, 0x02}, {0, 0, 0, 0}}},  // 2E U+002E
    {kWeighted, 1, {{0x07, 0x35, 0x02, 0x02}, {0, 0, 0, 0}}},  // 2F U+002F
    {kWeighted, 1, {{0x0d, 0x03, 0x02, 0x02}, {0, 0, 0, 0}}},  // 30 U+0030
    {kWeighted, 1, {{0x0d, 0x1a, 0x02, 0x02}, {0, 0, 0, 0}}},  // 31 U+0031
    {kWeighted, 1, {{0x0d, 0x1c, 0x02, 0x02}, {0, 0, 0, 0}}},  // 32 U+0032
    {kWeighted, 1, {{0x0d, 0x1e, 0x02, 0x02}, {0, 0, 0, 0}}},  // 33 U+0033
    {kWeighted, 1, {{0x0d, 0x20, 0x02, 0x02}, {0, 0, 0, 0}}},  // 34 U+0034
    {kWeighted, 1, {{0x0d, 0x22, 0x02, 0x02}, {0, 0, 0, 0}}},  // 35 U+0035
    {kWeighted, 1, {{0x0d, 0x24, 0x02, 0x02}, {0, 0, 0, 0}}},  // 36 U+0036
    {kWeighted, 1, {{0x0d, 0x26, 0x02, 0x02}, {0, 0, 0, 0}}},  // 37 U+0037
    {kWeighted, 1, {{0x0d, 0x28, 0x02, 0x02}, {0, 0, 0, 0}}},  // 38 U+0038
    {kWeighted, 1, {{0x0d, 0x2a, 0x02, 0x02}, {0, 0, 0, 0}}},  // 39 U+0039
    {kWeighted, 1, {{0x07, 0x37, 0x02, 0x02}, {0, 0, 0, 0}}},  // 3A U+003A
    {kWeighted, 1, {{0x07, 0x3a, 0x02, 0x02}, {0, 0, 0, 0}}},  // 3B U+003B
    {kWeighted, 1, {{0x08, 0x0e, 0x02, 0x02}, {0, 0, 0, 0}}},  // 3C U+003C
    {kWeighted, 1, {{0x08, 0x12, 0x02, 0x02}, {0, 0, 0, 0}}},  // 3D U+003D
    {kWeighted, 1, {{0x08, 0x14, 0x02, 0x02}, {0, 0, 0, 0}}},  // 3E U+003E
    {kWeighted, 1, {{0x07, 0x3c, 0x02, 0x02}, {0, 0, 0, 0}}},  // 3F U+003F
    {kWeighted, 1, {{0x07, 0x3e, 0x02, 0x02}, {0, 0, 0, 0}}},  // 40 U+0040
    {kWeighted, 1, {{0x0e, 0x02, 0x02, 0x12}, {0, 0, 0, 0}}},  // 41 U+0041
    {kWeighted, 1, {{0x0e, 0x09, 0x02, 0x12}, {0, 0, 0, 0}}},  // 42 U+0042
    {kWeighted, 1, {{0x0e, 0x0a, 0x02, 0x12}, {0, 0, 0, 0}}},  // 43 U+0043
    {kWeighted, 1, {{0x0e, 0x1a, 0x02, 0x12}, {0, 0, 0, 0}}},  // 44 U+0044
    {kWeighted, 1, {{0x0e, 0x21, 0x02, 0x12}, {0, 0, 0, 0}}},  // 45 U+0045
    {kWeighted, 1, {{0x0e, 0x23, 0x02, 0x12}, {0, 0, 0, 0}}},  // 46 U+0046
    {kWeighted, 1, {{0x0e, 0x25, 0x02, 0x12}, {0, 0, 0, 0}}},  // 47 U+0047
    {kWeighted, 1, {{0x0e, 0x2c, 0x02, 0x12}, {0, 0, 0, 0}}},  // 48 U+0048
    {kWeighted, 1, {{0x0e, 0x32, 0x02, 0x12}, {0, 0, 0, 0}}},  // 49 U+0049
    {kWeighted, 1, {{0x0e, 0x35, 0x02, 0x12}, {0, 0, 0, 0}}},  // 4A U+004A
    {kWeighted, 1, {{0x0e, 0x36, 0x02, 0x12}, {0, 0, 0, 0}}},  // 4B U+004B
    {kWeighted, 1, {{0x0e, 0x48, 0x02, 0x12}, {0, 0, 0, 0}}},  // 4C U+004C
    {kWeighted, 1, {{0x0e, 0x51, 0x02, 0x12}, {0, 0, 0, 0}}},  // 4D U+004D
    {kWeighted, 1, {{0x0e, 0x70, 0x02, 0x12}, {0, 0, 0, 0}}},  // 4E U+004E
    {kWeighted, 1, {{0x0e, 0x7c, 0x02, 0x12}, {0, 0, 0, 0}}},  // 4F U+004F
    {kWeighted, 1, {{0x0e, 0x7e, 0x02, 0x12}, {0, 0, 0, 0}}},  // 50 U+0050
    {kWeighted, 1, {{0x0e, 0x89, 0x02, 0x12}, {0, 0, 0, 0}}},  // 51 U+0051
    {kWeighted, 1, {{0x0e, 0x8a, 0x02, 0x12}, {0, 0, 0, 0}}},  // 52 U+0052
    {kWeighted, 1, {{0x0e, 0x91, 0x02, 0x12}, {0, 0, 0, 0}}},  // 53 U+0053
    {kWeighted, 1, {{0x0e, 0x99, 0x02, 0x12}, {0, 0, 0, 0}}},  // 54 U+0054
    {kWeighted, 1, {{0x0e, 0x9f, 0x02, 0x12}, {0, 0, 0, 0}}},  // 55 U+0055
    {kWeighted, 1, {{0x0e, 0xa2, 0x02, 0x12}, {0, 0, 0, 0}}},  // 56 U+0056
    {kWeighted, 1, {{0x0e, 0xa4, 0x02, 0x12}, {0, 0, 0, 0}}},  // 57 U+0057
    {kWeighted, 1, {{0x0e, 0xa6, 0x02, 0x12}, {0, 0, 0, 0}}},  // 58 U+0058
    {kWeighted, 1, {{0x0e, 0xa7, 0x02, 0x12}, {0, 0, 0, 0}}},  // 59 U+0059
    {kWeighted, 1, {{0x0e, 0xa9, 0x02, 0x12}, {0, 0, 0, 0}}},  // 5A U+005A
    {kWeighted, 1, {{0x07, 0x3f, 0x02, 0x02}, {0, 0, 0, 0}}},  // 5B U+005B
    {kWeighted, 1, {{0x07, 0x41, 0x02, 0x02}, {0, 0, 0, 0}}},  // 5C U+005C
    {kWeighted, 1, {{0x07, 0x42, 0x02, 0x02}, {0, 0, 0, 0}}},  // 5D U+005D
    {kWeighted, 1, {{0x07, 0x43, 0x02, 0x02}, {0, 0, 0, 0}}},  // 5E U+005E
    {kWeighted, 1, {{0x07, 0x44, 0x02, 0x02}, {0, 0, 0, 0}}},  // 5F U+005F
    {kWeighted, 1, {{0x07, 0x48, 0x02, 0x02}, {0, 0, 0, 0}}},  // 60 U+0060
    {kWeighted, 1, {{0x0e, 0x02, 0x02, 0x02}, {0, 0, 0, 0}}},  // 61 U+0061
    {kWeighted, 1, {{0x0e, 0x09, 0x02, 0x02}, {0, 0, 0, 0}}},  // 62 U+0062
    {kWeighted, 1, {{0x0e, 0x0a, 0x02, 0x02}, {0, 0, 0, 0}}},  // 63 U+0063
    {kWeighted, 1, {{0x0e, 0x1a, 0x02, 0x02}, {0, 0, 0, 0}}},  // 64 U+0064
    {kWeighted, 1, {{0x0e, 0x21, 0x02, 0x02}, {0, 0, 0, 0}}},  // 65 U+0065
    {kWeighted, 1, {{0x0e, 0x23, 0x02, 0x02}, {0, 0, 0, 0}}},  // 66 U+0066
    {kWeighted, 1, {{0x0e, 0x25, 0x02, 0x02}, {0, 0, 0, 0}}},  // 67 U+0067
    {kWeighted, 1, {{0x0e, 0x2c, 0x02, 0x02}, {0, 0, 0, 0}}},  // 68 U+0068
    {kWeighted, 1, {{0x0e, 0x32, 0x02, 0x02}, {0, 0, 0, 0}}},  // 69 U+0069
    {kWeighted, 1, {{0x0e, 0x35, 0x02, 0x02}, {0, 0, 0, 0}}},  // 6A U+006A
    {kWeighted, 1, {{0x0e, 0x36, 0x02, 0x02}, {0, 0, 0, 0}}},  // 6B U+006B
    {kWeighted, 1, {{0x0e, 0x48, 0x02, 0x02}, {0, 0, 0, 0}}},  // 6C U+006C
    {kWeighted, 1, {{0x0e, 0x51, 0x02, 0x02}, {0, 0, 0, 0}}},  // 6D U+006D
    {kWeighted, 1, {{0x0e, 0x70, 0x02, 0x02}, {0, 0, 0, 0}}},  // 6E U+006E
    {kWeighted, 1, {{0x0e, 0x7c, 0x02, 0x02}, {0, 0, 0, 0}}},  // 6F U+006F
    {kWeighted, 1, {{0x0e, 0x7e, 0x02, 0x02}, {0, 0, 0, 0}}},  // 70 U+0070
    {kWeighted, 1, {{0x0e, 0x89, 0x02, 0x02}, {0, 0, 0, 0}}},  // 71 U+0071
    {kWeighted, 1, {{0x0e, 0x8a, 0x02, 0x02}, {0, 0, 0, 0}}},  // 72 U+0072
    {kWeighted, 1, {{0x0e, 0x91, 0x02, 0x02}, {0, 0, 0, 0}}},  // 73 U+0073
    {kWeighted, 1, {{0x0e, 0x99, 0x02, 0x02}, {0, 0, 0, 0}}},  // 74 U+0074
    {kWeighted, 1, {{0x0e, 0x9f, 0x02, 0x02}, {0, 0, 0, 0}}},  // 75 U+0075
    {kWeighted, 1, {{0x0e, 0xa2, 0x02, 0x02}, {0, 0, 0, 0}}},  // 76 U+0076
    {kWeighted, 1, {{0x0e, 0xa4, 0x02, 0x02}, {0, 0, 0, 0}}},  // 77 U+0077
    {kWeighted, 1, {{0x0e, 0xa6, 0x02, 0x02}, {0, 0, 0, 0}}},  // 78 U+0078
    {kWeighted, 1, {{0x0e, 0xa7, 0x02, 0x02}, {0, 0, 0, 0}}},  // 79 U+0079
    {kWeighted, 1, {{0x0e, 0xa9, 0x02, 0x02}, {0, 0, 0, 0}}},  // 7A U+007A
    {kWeighted, 1, {{0x07, 0x4a, 0x02, 0x02}, {0, 0, 0, 0}}},  // 7B U+007B
    {kWeighted, 1, {{0x07, 0x4c, 0x02, 0x02}, {0, 0, 0, 0}}},  // 7C U+007C
    {kWeighted, 1, {{0x07, 0x4e, 0x02, 0x02}, {0, 0, 0, 0}}},  // 7D U+007D
    {kWeighted, 1, {{0x07, 0x50, 0x02, 0x02}, {0, 0, 0, 0}}},  // 7E U+007E
    {kPunctuation, 1, {{0, 0x1d, 0, 0x12}, {0, 0, 0, 0}}},  // 7F U+007F
    {kWeighted, 1, {{0x07, 0xa9, 0x02, 0x02}, {0, 0, 0, 0}}},  // 80 U+20AC
    {kWeighted, 1, {{0x0c, 0xfa, 0x1e, 0x02}, {0, 0, 0, 0}}},  // 81 U+0081
    {kWeighted, 1, {{0x07, 0x7b, 0x02, 0x02}, {0, 0, 0, 0}}},  // 82 U+201A
    {kWeighted, 1, {{0x0e, 0x23, 0x43, 0x02}, {0, 0, 0, 0}}},  // 83 U+0192
    {kWeighted, 1, {{0x07, 0x7f, 0x02, 0x02}, {0, 0, 0, 0}}},  // 84 U+201E
    {kWeighted, 1, {{0x0a, 0x10, 0x02, 0x02}, {0, 0, 0, 0}}},  // 85 U+2026
    {kWeighted, 1, {{0x0b, 0x25, 0x02, 0x02}, {0, 0, 0, 0}}},  // 86 U+2020
    {kWeighted, 1, {{0x0b, 0x26, 0x02, 0x02}, {0, 0, 0, 0}}},  // 87 U+2021
    {kWeighted, 1, {{0x07, 0x43, 0x02, 0x02}, {0, 0, 0, 0}}},  // 88 U+02C6
    {kWeighted, 1, {{0x0b, 0x2c, 0x0c, 0x02}, {0, 0, 0, 0}}},  // 89 U+2030
    {kWeighted, 1, {{0x0e, 0x91, 0x14, 0x12}, {0, 0, 0, 0}}},  // 8A U+0160
    {kWeighted, 1, {{0x07, 0x88, 0x02, 0x02}, {0, 0, 0, 0}}},  // 8B U+2039
    {kWeighted, 2, {{0x0e, 0x7c, 0x02, 0x12}, {0x0e, 0x21, 0x02, 0x12}}},  // 8C U+0152
    {kWeighted, 1, {{0x0c, 0xfa, 0x2a, 0x02}, {0, 0, 0, 0}}},  // 8D U+008D
    {kWeighted, 1, {{0x0e, 0xa9, 0x14, 0x12}, {0, 0, 0, 0}}},  // 8E U+017D
    {kWeighted, 1, {{0x0c, 0xfa, 0x2c, 0x02}, {0, 0, 0, 0}}},  // 8F U+008F
    {kWeighted, 1, {{0x0c, 0xfa, 0x2d, 0x02}, {0, 0, 0, 0}}},  // 90 U+0090
    {kWeighted, 1, {{0x07, 0x79, 0x02, 0x02}, {0, 0, 0, 0}}},  // 91 U+2018
    {kWeighted, 1, {{0x07, 0x7a, 0x02, 0x02}, {0, 0, 0, 0}}},  // 92 U+2019
    {kWeighted, 1, {{0x07, 0x7d, 0x02, 0x02}, {0, 0, 0, 0}}},  // 93 U+201C
    {kWeighted, 1, {{0x07, 0x7e, 0x02, 0x02}, {0, 0, 0, 0}}},  // 94 U+201D
    {kWeighted, 1, {{0x0b, 0x27, 0x02, 0x02}, {0, 0, 0, 0}}},  // 95 U+2022
    {kPunctuation, 1, {{0, 0x89, 0, 0x12}, {0, 0, 0, 0}}},  // 96 U+2013
    {kPunctuation, 1, {{0, 0x90, 0, 0x12}, {0, 0, 0, 0}}},  // 97 U+2014
    {kWeighted, 1, {{0x07, 0x5d, 0x02, 0x02}, {0, 0, 0, 0}}},  // 98 U+02DC
    {kWeighted, 1, {{0x0e, 0x9c, 0x02, 0x12}, {0, 0, 0, 0}}},  // 99 U+2122
    {kWeighted, 1, {{0x0e, 0x91, 0x14, 0x02}, {0, 0, 0, 0}}},  // 9A U+0161
    {kWeighted, 1, {{0x07, 0x89, 0x02, 0x02}, {0, 0, 0, 0}}},  // 9B U+203A
    {kWeighted, 2, {{0x0e, 0x7c, 0x02, 0x02}, {0x0e, 0x21, 0x02, 0x02}}},  // 9C U+0153
    {kWeighted, 1, {{0x0c, 0xfa, 0x3a, 0x02}, {0, 0, 0, 0}}},  // 9D U+009D
    {kWeighted, 1, {{0x0e, 0xa9, 0x14, 0x02}, {0, 0, 0, 0}}},  // 9E U+017E
    {kWeighted, 1, {{0x0e, 0xa7, 0x13, 0x12}, {0, 0, 0, 0}}},  // 9F U+0178
    {kWeighted, 1, {{0x07, 0x04, 0x02, 0x02}, {0, 0, 0, 0}}},  // A0 U+00A0
    {kWeighted, 1, {{0x07, 0x51, 0x02, 0x02}, {0, 0, 0, 0}}},  // A1 U+00A1
    {kWeighted, 1, {{0x07, 0x97, 0x02, 0x02}, {0, 0, 0, 0}}},  // A2 U+00A2
    {kWeighted, 1, {{0x07, 0x98, 0x02, 0x02}, {0, 0, 0, 0}}},  // A3 U+00A3
    {kWeighted, 1, {{0x07, 0x99, 0x02, 0x02}, {0, 0, 0, 0}}},  // A4 U+00A4
    {kWeighted, 1, {{0x07, 0x9a, 0x02, 0x02}, {0, 0, 0, 0}}},  // A5 U+00A5
    {kWeighted, 1, {{0x07, 0x52, 0x02, 0x02}, {0, 0, 0, 0}}},  // A6 U+00A6
    {kWeighted, 1, {{0x0a, 0x06, 0x02, 0x02}, {0, 0, 0, 0}}},  // A7 U+00A7
    {kWeighted, 1, {{0x07, 0x53, 0x02, 0x02}, {0, 0, 0, 0}}},  // A8 U+00A8
    {kWeighted, 1, {{0x0a, 0x07, 0x02, 0x02}, {0, 0, 0, 0}}},  // A9 U+00A9
    {kWeighted, 1, {{0x0e, 0x02, 0x03, 0x0e}, {0, 0, 0, 0}}},  // AA U+00AA
    {kWeighted, 1, {{0x08, 0x18, 0x02, 0x02}, {0, 0, 0, 0}}},  // AB U+00AB
    {kWeighted, 1, {{0x0a, 0x08, 0x02, 0x02}, {0, 0, 0, 0}}},  // AC U+00AC
    {kIgnorable, 0, {{0, 0, 0, 0}, {0, 0, 0, 0}}},  // AD U+00AD
    {kWeighted, 1, {{0x0a, 0x09, 0x02, 0x02}, {0, 0, 0, 0}}},  // AE U+00AE
    {kWeighted, 1, {{0x07, 0x54, 0x02, 0x02}, {0, 0, 0, 0}}},  // AF U+00AF
    {kWeighted, 1, {{0x0a, 0x0a, 0x02, 0x02}, {0, 0, 0, 0}}},  // B0 U+00B0
    {kWeighted, 1, {{0x08, 0x17, 0x02, 0x02}, {0, 0, 0, 0}}},  // B1 U+00B1
    {kWeighted, 1, {{0x0d, 0x1c, 0x02, 0x0e}, {0, 0, 0, 0}}},  // B2 U+00B2
    {kWeighted, 1, {{0x0d, 0x1e, 0x02, 0x0e}, {0, 0, 0, 0}}},  // B3 U+00B3
    {kWeighted, 1, {{0x07, 0x55, 0x02, 0x02}, {0, 0, 0, 0}}},  // B4 U+00B4
    {kWeighted, 1, {{0x0a, 0x0b, 0x02, 0x02}, {0, 0, 0, 0}}},  // B5 U+00B5
    {kWeighted, 1, {{0x0a, 0x0c, 0x02, 0x02}, {0, 0, 0, 0}}},  // B6 U+00B6
    {kWeighted, 1, {{0x0a, 0x0d, 0x02, 0x02}, {0, 0, 0, 0}}},  // B7 U+00B7
    {kWeighted, 1, {{0x07, 0x56, 0x02, 0x02}, {0, 0, 0, 0}}},  // B8 U+00B8
    {kWeighted, 1, {{0x0d, 0x1a, 0x02, 0x0e}, {0, 0, 0, 0}}},  // B9 U+00B9
    {kWeighted, 1, {{0x0e, 0x7c, 0x03, 0x0e}, {0, 0, 0, 0}}},  // BA U+00BA
    {kWeighted, 1, {{0x08, 0x1a, 0x02, 0x02}, {0, 0, 0, 0}}},  // BB U+00BB
    {kWeighted, 1, {{0x0d, 0x0d, 0x02, 0x02}, {0, 0, 0, 0}}},  // BC U+00BC
    {kWeighted, 1, {{0x0d, 0x11, 0x02, 0x02}, {0, 0, 0, 0}}},  // BD U+00BD
    {kWeighted, 1, {{0x0d, 0x15, 0x02, 0x02}, {0, 0, 0, 0}}},  // BE U+00BE
    {kWeighted, 1, {{0x07, 0x57, 0x02, 0x02}, {0, 0, 0, 0}}},  // BF U+00BF
    {kWeighted, 1, {{0x0e, 0x02, 0x0f, 0x12}, {0, 0, 0, 0}}},  // C0 U+00C0
    {kWeighted, 1, {{0x0e, 0x02, 0x0e, 0x12}, {0, 0, 0, 0}}},  // C1 U+00C1
    {kWeighted, 1, {{0x0e, 0x02, 0x12, 0x12}, {0, 0, 0, 0}}},  // C2 U+00C2
    {kWeighted, 1, {{0x0e, 0x02, 0x19, 0x12}, {0, 0, 0, 0}}},  // C3 U+00C3
    {kWeighted, 1, {{0x0e, 0x02, 0x13, 0x12}, {0, 0, 0, 0}}},  // C4 U+00C4
    {kWeighted, 1, {{0x0e, 0x02, 0x1a, 0x12}, {0, 0, 0, 0}}},  // C5 U+00C5
    {kWeighted, 2, {{0x0e, 0x02, 0x02, 0x12}, {0x0e, 0x21, 0x02, 0x12}}},  // C6 U+00C6
    {kWeighted, 1, {{0x0e, 0x0a, 0x1c, 0x12}, {0, 0, 0, 0}}},  // C7 U+00C7
    {kWeighted, 1, {{0x0e, 0x21, 0x0f, 0x12}, {0, 0, 0, 0}}},  // C8 U+00C8
    {kWeighted, 1, {{0x0e, 0x21, 0x0e, 0x12}, {0, 0, 0, 0}}},  // C9 U+00C9
    {kWeighted, 1, {{0x0e, 0x21, 0x12, 0x12}, {0, 0, 0, 0}}},  // CA U+00CA
    {kWeighted, 1, {{0x0e, 0x21, 0x13, 0x12}, {0, 0, 0, 0}}},  // CB U+00CB
    {kWeighted, 1, {{0x0e, 0x32, 0x0f, 0x12}, {0, 0, 0, 0}}},  // CC U+00CC
    {kWeighted, 1, {{0x0e, 0x32, 0x0e, 0x12}, {0, 0, 0, 0}}},  // CD U+00CD
    {kWeighted, 1, {{0x0e, 0x32, 0x12, 0x12}, {0, 0, 0, 0}}},  // CE U+00CE
    {kWeighted, 1, {{0x0e, 0x32, 0x13, 0x12}, {0, 0, 0, 0}}},  // CF U+00CF
    {kWeighted, 1, {{0x0e, 0x1a, 0x68, 0x12}, {0, 0, 0, 0}}},  // D0 U+00D0
    {kWeighted, 1, {{0x0e, 0x70, 0x19, 0x12}, {0, 0, 0, 0}}},  // D1 U+00D1
    {kWeighted, 1, {{0x0e, 0x7c, 0x0f, 0x12}, {0, 0, 0, 0}}},  // D2 U+00D2
    {kWeighted, 1, {{0x0e, 0x7c, 0x0e, 0x12}, {0, 0, 0, 0}}},  // D3 U+00D3
    {kWeighted, 1, {{0x0e, 0x7c, 0x12, 0x12}, {0, 0, 0, 0}}},  // D4 U+00D4
    {kWeighted, 1, {{0x0e, 0x7c, 0x19, 0x12}, {0, 0, 0, 0}}},  // D5 U+00D5
    {kWeighted, 1, {{0x0e, 0x7c, 0x13, 0x12}, {0, 0, 0, 0}}},  // D6 U+00D6
    {kWeighted, 1, {{0x08, 0x1c, 0x02, 0x02}, {0, 0, 0, 0}}},  // D7 U+00D7
    {kWeighted, 1, {{0x0e, 0x7c, 0x21, 0x12}, {0, 0, 0, 0}}},  // D8 U+00D8
    {kWeighted, 1, {{0x0e, 0x9f, 0x0f, 0x12}, {0, 0, 0, 0}}},  // D9 U+00D9
    {kWeighted, 1, {{0x0e, 0x9f, 0x0e, 0x12}, {0, 0, 0, 0}}},  // DA U+00DA
    {kWeighted, 1, {{0x0e, 0x9f, 0x12, 0x12}, {0, 0, 0, 0}}},  // DB U+00DB
    {kWeighted, 1, {{0x0e, 0x9f, 0x13, 0x12}, {0, 0, 0, 0}}},  // DC U+00DC
    {kWeighted, 1, {{0x0e, 0xa7, 0x0e, 0x12}, {0, 0, 0, 0}}},  // DD U+00DD
    {kWeighted, 2, {{0x0e, 0x99, 0x02, 0x12}, {0x0e, 0x2c, 0x02, 0x12}}},  // DE U+00DE
    {kWeighted, 2, {{0x0e, 0x91, 0x02, 0x02}, {0x0e, 0x91, 0x02, 0x02}}},  // DF U+00DF
    {kWeighted, 1, {{0x0e, 0x02, 0x0f, 0x02}, {0, 0, 0, 0}}},  // E0 U+00E0
    {kWeighted, 1, {{0x0e, 0x02, 0x0e, 0x02}, {0, 0, 0, 0}}},  // E1 U+00E1
    {kWeighted, 1, {{0x0e, 0x02, 0x12, 0x02}, {0, 0, 0, 0}}},  // E2 U+00E2
    {kWeighted, 1, {{0x0e, 0x02, 0x19, 0x02}, {0, 0, 0, 0}}},  // E3 U+00E3
    {kWeighted, 1, {{0x0e, 0x02, 0x13, 0x02}, {0, 0, 0, 0}}},  // E4 U+00E4
    {kWeighted, 1, {{0x0e, 0x02, 0x1a, 0x02}, {0, 0, 0, 0}}},  // E5 U+00E5
    {kWeighted, 2, {{0x0e, 0x02, 0x02, 0x02}, {0x0e, 0x21, 0x02, 0x02}}},  // E6 U+00E6
    {kWeighted, 1, {{0x0e, 0x0a, 0x1c, 0x02}, {0, 0, 0, 0}}},  // E7 U+00E7
    {kWeighted, 1, {{0x0e, 0x21, 0x0f, 0x02}, {0, 0, 0, 0}}},  // E8 U+00E8
    {kWeighted, 1, {{0x0e, 0x21, 0x0e, 0x02}, {0, 0, 0, 0}}},  // E9 U+00E9
    {kWeighted, 1, {{0x0e, 0x21, 0x12, 0x02}, {0, 0, 0, 0}}},  // EA U+00EA
    {kWeighted, 1, {{0x0e, 0x21, 0x13, 0x02}, {0, 0, 0, 0}}},  // EB U+00EB
    {kWeighted, 1, {{0x0e, 0x32, 0x0f, 0x02}, {0, 0, 0, 0}}},  // EC U+00EC
    {kWeighted, 1, {{0x0e, 0x32, 0x0e, 0x02}, {0, 0, 0, 0}}},  // ED U+00ED
    {kWeighted, 1, {{0x0e, 0x32, 0x12, 0x02}, {0, 0, 0, 0}}},  // EE U+00EE
    {kWeighted, 1, {{0x0e, 0x32, 0x13, 0x02}, {0, 0, 0, 0}}},  // EF U+00EF
    {kWeighted, 1, {{0x0e, 0x1a, 0x68, 0x02}, {0, 0, 0, 0}}},  // F0 U+00F0
    {kWeighted, 1, {{0x0e, 0x70, 0x19, 0x02}, {0, 0, 0, 0}}},  // F1 U+00F1
    {kWeighted, 1, {{0x0e, 0x7c, 0x0f, 0x02}, {0, 0, 0, 0}}},  // F2 U+00F2
    {kWeighted, 1, {{0x0e, 0x7c, 0x0e, 0x02}, {0, 0, 0, 0}}},  // F3 U+00F3
    {kWeighted, 1, {{0x0e, 0x7c, 0x12, 0x02}, {0, 0, 0, 0}}},  // F4 U+00F4
    {kWeighted, 1, {{0x0e, 0x7c, 0x19, 0x02}, {0, 0, 0, 0}}},  // F5 U+00F5
    {kWeighted, 1, {{0x0e, 0x7c, 0x13, 0x02}, {0, 0, 0, 0}}},  // F6 U+00F6
    {kWeighted, 1, {{0x08, 0x1d, 0x02, 0x02}, {0, 0, 0, 0}}},  // F7 U+00F7
    {kWeighted, 1, {{0x0e, 0x7c, 0x21, 0x02}, {0, 0, 0, 0}}},  // F8 U+00F8
    {kWeighted, 1, {{0x0e, 0x9f, 0x0f, 0x02}, {0, 0, 0, 0}}},  // F9 U+00F9
    {kWeighted, 1, {{0x0e, 0x9f, 0x0e, 0x02}, {0, 0, 0, 0}}},  // FA U+00FA
    {kWeighted, 1, {{0x0e, 0x9f, 0x12, 0x02}, {0, 0, 0, 0}}},  // FB U+00FB
    {kWeighted, 1, {{0x0e, 0x9f, 0x13, 0x02}, {0, 0, 0, 0}}},  // FC U+00FC
    {kWeighted, 1, {{0x0e, 0xa7, 0x0e, 0x02}, {0, 0, 0, 0}}},  // FD U+00FD
    {kWeighted, 2, {{0x0e, 0x99, 0x02, 0x02}, {0x0e, 0x2c, 0x02, 0x02}}},  // FE U+00FE
    {kWeighted, 1, {{0x0e, 0xa7, 0x13, 0x02}, {0, 0, 0, 0}}},  // FF U+00FF
};

LabelCollation g_collation = LabelCollation::Default;

// The letters' first-level weights (script and letter) ranked from 1, in their order: one
// byte per letter that keeps the order of the two-byte weights.
struct FoldTable {
  uint8_t count[256];
  uint8_t rank[256][2];
  // The same side by side, the bytes a character folds to (the second one 0 unless a
  // ligature's) as they are written: one entry per character read.
  struct Fold {
    uint8_t bytes[2];
    uint8_t count;
    uint8_t unused;
  } fold[256];
  FoldTable() {
    std::vector<uint16_t> weights;
    for (int c = 0; c < 256; ++c) {
      const CharWeights& w = kWeights[c];
      if (w.kind != kWeighted) continue;
      for (int e = 0; e < w.count; ++e)
        weights.push_back(static_cast<uint16_t>(w.elements[e].script << 8 | w.elements[e].primary));
    }
    std::sort(weights.begin(), weights.end());
    weights.erase(std::unique(weights.begin(), weights.end()), weights.end());
    for (int c = 0; c < 256; ++c) {
      const CharWeights& w = kWeights[c];
      count[c] = w.kind == kWeighted ? w.count : 0;
      for (int e = 0; e < count[c]; ++e) {
        const uint16_t v = static_cast<uint16_t>(w.elements[e].script << 8 | w.elements[e].primary);
        rank[c][e] = static_cast<uint8_t>(
            1 + (std::lower_bound(weights.begin(), weights.end(), v) - weights.begin()));
      }
      fold[c] = Fold{{static_cast<uint8_t>(count[c] ? rank[c][0] : 0),
                      static_cast<uint8_t>(count[c] == 2 ? rank[c][1] : 0)},
                     count[c], 0};
    }
  }
};

const FoldTable& Folding() {
  static const FoldTable table;
  return table;
}

}  // namespace

void SetLabelCollation(LabelCollation collation) { g_collation = collation; }
LabelCollation CurrentLabelCollation() { return g_collation; }

size_t LabelSortKey(const char* label, size_t len, uint8_t* out) {
  const uint8_t* text = reinterpret_cast<const uint8_t*>(label);
  // The key holds four levels one after the other, each closed by 0x01 (lower than any
  // weight, so a level that is a prefix of the other's sorts first): letters, accents, case,
  // an empty level the platform keeps for East Asian scripts, then the punctuation.
  size_t n = 0;
  for (size_t i = 0; i < len; ++i) {
    const CharWeights& w = kWeights[text[i]];
    if (w.kind != kWeighted) continue;
    for (int e = 0; e < w.count; ++e) {
      out[n++] = w.elements[e].script;
      out[n++] = w.elements[e].primary;
    }
  }
  out[n++] = 1;

  const size_t accents = n;
  for (size_t i = 0; i < len; ++i) {
    const CharWeights& w = kWeights[text[i]];
    if (w.kind != kWeighted) continue;
    for (int e = 0; e < w.count; ++e) out[n++] = w.elements[e].diacritic;
  }
  if (g_collation == LabelCollation::ReverseDiacritics) {
    for (size_t a = accents, b = n; a + 1 < b; ++a, --b) {
      const uint8_t t = out[a];
      out[a] = out[b - 1];
      out[b - 1] = t;
    }
  }
  // Plain weights (2) at the end of a level say nothing: "a" and "a" followed by nothing
  // accented must compare on the next level.
  while (n > accents && out[n - 1] <= 2) --n;
  out[n++] = 1;

  const size_t cases = n;
  for (size_t i = 0; i < len; ++i) {
    const CharWeights& w = kWeights[text[i]];
    if (w.kind != kWeighted) continue;
    for (int e = 0; e < w.count; ++e) out[n++] = w.elements[e].caseWeight;
  }
  while (n > cases && out[n - 1] <= 2) --n;
  out[n++] = 1;
  out[n++] = 1;

  // A punctuation mark is weighed with its place, counted in letters before it; the earlier
  // it stands, the later the label sorts.
  size_t letters = 0;
  for (size_t i = 0; i < len; ++i) {
    const CharWeights& w = kWeights[text[i]];
    if (w.kind == kWeighted) {
      letters += w.count;
    } else if (w.kind == kPunctuation) {
      const uint16_t place = static_cast<uint16_t>(-static_cast<int>(letters) - 1);
      out[n++] = static_cast<uint8_t>(place >> 8);
      out[n++] = static_cast<uint8_t>(place & 0xff);
      out[n++] = w.elements[0].primary;
      out[n++] = w.elements[0].caseWeight;
    }
  }
  return n;
}

int CompareLabelKeys(const uint8_t* a, size_t alen, const uint8_t* b, size_t blen) {
  const int c = std::memcmp(a, b, alen < blen ? alen : blen);
  if (c != 0) return c;
  return alen < blen ? -1 : (alen > blen ? 1 : 0);
}

int CompareLabelsAsPlatform(const char* a, const char* b) {
  const size_t alen = std::strlen(a);
  const size_t blen = std::strlen(b);
  uint8_t small[2][LabelSortKeyCapacity(64)];
  std::vector<uint8_t> big[2];
  uint8_t* ka = small[0];
  uint8_t* kb = small[1];
  if (alen > 64) {
    big[0].resize(LabelSortKeyCapacity(alen));
    ka = big[0].data();
  }
  if (blen > 64) {
    big[1].resize(LabelSortKeyCapacity(blen));
    kb = big[1].data();
  }
  const size_t na = LabelSortKey(a, alen, ka);
  const size_t nb = LabelSortKey(b, blen, kb);
  return CompareLabelKeys(ka, na, kb, nb);
}

size_t LabelFoldedKey(const char* label, size_t len, uint8_t* out) {
  const FoldTable& f = Folding();
  const uint8_t* text = reinterpret_cast<const uint8_t*>(label);
  size_t n = 0;
  for (size_t i = 0; i < len; ++i) {
    const uint8_t c = text[i];
    if (f.count[c] == 0) continue;
    out[n++] = f.rank[c][0];
    if (f.count[c] == 2) out[n++] = f.rank[c][1];
  }
  return n;
}

int CompareTitles(const char* a, const char* b) {
  const int c = CompareLabelsAsPlatform(a, b);
  if (c != 0) return c;
  // strcmp compares as unsigned char.
  return std::strcmp(a, b);
}

size_t LabelFoldedHead(const char* text, size_t want, uint8_t* out) {
  const FoldTable& f = Folding();
  size_t n = 0;
  // Both bytes are written whatever the count: the spare byte is overwritten by the next letter
  // or lies past the key, within the want + 1 bytes the caller provides.
  for (const uint8_t* p = reinterpret_cast<const uint8_t*>(text); *p && n < want; ++p) {
    std::memcpy(out + n, f.fold[*p].bytes, 2);
    n += f.fold[*p].count;
  }
  return n;
}

size_t LabelFoldedText(const char* text, uint8_t* out) {
  const FoldTable::Fold* fold = Folding().fold;
  size_t n = 0;
  for (const uint8_t* p = reinterpret_cast<const uint8_t*>(text); *p; ++p) {
    const FoldTable::Fold f = fold[*p];  // read before the store, which could alias the text
    std::memcpy(out + n, f.bytes, 2);     // the spare byte as above
    n += f.count;
  }
  return n;
}

bool HasFoldedPrefix(const char* text, const char* prefix) {
  const size_t plen = std::strlen(prefix);
  std::vector<uint8_t> want(LabelFoldedKeyCapacity(plen) + 1), head(LabelFoldedKeyCapacity(plen) + 2);
  const size_t wlen = LabelFoldedKey(prefix, plen, want.data());
  return LabelFoldedHead(text, wlen, head.data()) >= wlen &&
         std::memcmp(head.data(), want.data(), wlen) == 0;
}

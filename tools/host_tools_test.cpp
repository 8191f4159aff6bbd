// The two build-time generators: what they write, and that they stop the build rather than
// write something wrong.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <sys/wait.h>

#include "platform/temp_folder_test.h"

namespace {

std::string HostTool(const char* name) {
  const char* bin = std::getenv("SAUCELINS_BIN");
  return std::string(bin ? bin : ".") + "/host/" + name;
}

class HostToolTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(folder_.Path().empty()); }

  std::string Path(const std::string& name) const { return folder_.Path() + "/" + name; }

  void Write(const std::string& name, const std::string& text) const {
    testfiles::Put(Path(name), text);
  }

  std::string Read(const std::string& name) const { return testfiles::Slurp(Path(name)); }

  bool Exists(const std::string& name) const { return std::ifstream(Path(name)).good(); }

  // Runs a tool; returns its exit status.
  int Run(const char* tool, const std::string& in, const std::string& out) const {
    std::string command = "'" + HostTool(tool) + "' '" + Path(in) + "' '" + Path(out) + "' 2>/dev/null";
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  testfiles::TempFolder folder_{"saucelins_host"};
};

// ---- host_rcstrings -----------------------------------------------------------------------

TEST_F(HostToolTest, StringTableIsWindows1252WithEscapesResolved) {
  Write("ids.h", "#define IDS_FIRST 7\n#  define IDS_SECOND (0x10)  // sixteen\n");
  Write("app.rc",
        "#pragma code_page(65001)\n"
        "#include \"ids.h\"\n"
        "// \"a quoted comment\" is not a string\n"
        "STRINGTABLE\nBEGIN\n"
        "  IDS_FIRST  \"caf\xC3\xA9 \"\"x\"\" \\\"y\\\" a\\r\\nb\\n \xE2\x82\xAC \xC5\x93\"\n"
        "  IDS_SECOND, \"joined \" \"parts\"\n"
        "  3          \"/* not a comment */\"\n"
        "END\n");
  ASSERT_EQ(0, Run("host_rcstrings", "app.rc", "table.inc"));
  std::string table = Read("table.inc");
  EXPECT_NE(std::string::npos, table.find("{3, \"/* not a comment */\"},\n{7, "));
  EXPECT_NE(std::string::npos,
            table.find("{7, \"caf\\351 \\042x\\042 \\042y\\042 a\\015\\012b\\012 \\200 \\234\"},"));
  EXPECT_NE(std::string::npos, table.find("{16, \"joined parts\"},"));
}

TEST_F(HostToolTest, StringTableRefusesWhatItCannotTranslate) {
  const char* bad[] = {
      "STRINGTABLE\nBEGIN\n 1 \"omega \xCE\xA9\"\nEND\n",        // no Windows-1252 form
      "STRINGTABLE\nBEGIN\n 1 \"a\"\n 1 \"b\"\nEND\n",           // same id twice
      "STRINGTABLE\nBEGIN\n IDS_NOWHERE \"a\"\nEND\n",           // unknown macro
      "STRINGTABLE\nBEGIN\n 1 \"broken \xC3\"\nEND\n",           // malformed UTF-8
      "STRINGTABLE\nBEGIN\n 1 \"octal \\351\"\nEND\n",           // code-page-dependent escape
      "STRINGTABLE\nBEGIN\n 1 \"open\nEND\n",                    // unterminated string
      "// no table at all\n",
  };
  for (const char* rc : bad) {
    Write("bad.rc", rc);
    EXPECT_NE(0, Run("host_rcstrings", "bad.rc", "bad.inc")) << rc;
    EXPECT_FALSE(Exists("bad.inc")) << rc;
  }
}

// ---- host_pixmap --------------------------------------------------------------------------

unsigned U16(const std::string& s, size_t at) {
  return static_cast<unsigned char>(s[at]) | static_cast<unsigned char>(s[at + 1]) << 8;
}
unsigned U32(const std::string& s, size_t at) { return U16(s, at) | U16(s, at + 2) << 16; }

TEST_F(HostToolTest, BitmapRowsArePaddedAndStoredBottomUp) {
  Write("map.txt",
        "# strip.bmp\nkind bmp 3 2\ncolour . silver\ncolour r red\ncolour w white\n"
        "tile 0 0\nr..\n..w\n");
  ASSERT_EQ(0, Run("host_pixmap", "map.txt", "strip.bmp"));
  std::string bmp = Read("strip.bmp");
  ASSERT_EQ(14u + 40 + 64 + 2 * 4, bmp.size());  // rows of 3 pixels padded to 4 bytes
  EXPECT_EQ("BM", bmp.substr(0, 2));
  EXPECT_EQ(bmp.size(), U32(bmp, 2));
  EXPECT_EQ(3u, U32(bmp, 18));
  EXPECT_EQ(2u, U32(bmp, 22));
  EXPECT_EQ(4u, U16(bmp, 28));
  size_t bits = U32(bmp, 10);
  // Bottom row first: "..w" is silver (7), silver, white (15); then "r.." is red (9).
  EXPECT_EQ('\x77', bmp[bits]);
  EXPECT_EQ('\xF0', bmp[bits + 1]);
  EXPECT_EQ('\x97', bmp[bits + 4]);
  EXPECT_EQ('\x70', bmp[bits + 5]);
}

TEST_F(HostToolTest, CursorCarriesItsHotSpotAndMask) {
  std::string map = "# arrow.cur\nkind cur 32 32 5 7\ncolour . transparent\ncolour k black\ncolour w white\ntile 0 0\n";
  map += "kw" + std::string(30, '.') + "\n";
  Write("map.txt", map);
  ASSERT_EQ(0, Run("host_pixmap", "map.txt", "arrow.cur"));
  std::string cur = Read("arrow.cur");
  EXPECT_EQ(2u, U16(cur, 2));  // a cursor directory
  EXPECT_EQ(5u, U16(cur, 10));
  EXPECT_EQ(7u, U16(cur, 12));
  size_t dib = U32(cur, 18);
  EXPECT_EQ(64u, U32(cur, dib + 8));  // colour and mask rows
  EXPECT_EQ(1u, U16(cur, dib + 14));
  size_t xorBits = dib + 40 + 8, andBits = xorBits + 32 * 4;
  // Top row is stored last: black then white, the rest transparent.
  EXPECT_EQ('\x40', cur[xorBits + 31 * 4]);
  EXPECT_EQ('\x3F', cur[andBits + 31 * 4]);
  EXPECT_EQ('\xFF', cur[andBits + 30 * 4]);  // the rows below: transparent
}

TEST_F(HostToolTest, PixelMapErrorsStopTheBuild) {
  const char* bad[] = {
      "# other.ico\nkind ico 2 1\ncolour . black\ntile 0 0\n..\n",             // names another file
      "# out.ico\nkind ico 2 1\ncolour . black\ntile 0 0\n.x\n",               // unknown pixel
      "# out.ico\nkind ico 2 1\ncolour . orange\ntile 0 0\n..\n",              // not a palette colour
      "# out.ico\nkind ico 2 1\ncolour . black\ntile 1 0\n..\n",               // runs off the image
      "# out.ico\nkind ico 2 1\ncolour . black\ntile 0 0\n..\n..\n",           // too many rows
  };
  for (const char* map : bad) {
    Write("map.txt", map);
    EXPECT_NE(0, Run("host_pixmap", "map.txt", "out.ico")) << map;
  }
  Write("map.txt", "# out.cur\nkind cur 2 1 0 0\ncolour . red\ntile 0 0\n..\n");
  EXPECT_NE(0, Run("host_pixmap", "map.txt", "out.cur")) << "a cursor has no colours";
}

}  // namespace

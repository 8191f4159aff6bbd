// Turns a text pixel map (resources/art/*.txt) into the .bmp, .ico or .cur file that the
// resource compiler embeds. The maps stay readable in a review; this tool is the only place
// that knows the binary layouts.
//
// Map syntax, one item per line:
//   # comment                    (the first line names the output file: "# toolbar.bmp")
//   kind bmp W H                 16-colour bitmap, W x H pixels
//   kind ico W H                 16-colour icon with a transparency mask
//   kind cur W H HX HY           monochrome cursor with its hot spot
//   colour C NAME                pixel character C stands for colour NAME
//   background C                 colour of every pixel no tile covers (default: first colour)
//   tile X Y [label]             the rows below are drawn with their top-left corner at X, Y
//   <row>                        a line without spaces: one row of the current tile
// Colour names: the sixteen of the standard Windows palette (black maroon green olive navy
// purple teal silver grey red lime yellow blue fuchsia aqua white); icons also know
// "transparent"; cursors know only black, white, transparent and inverted.
//
// Usage: host_pixmap <map.txt> <output file>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct PaletteColour {
  const char* name;
  uint8_t r, g, b;
};

// Index order is the order of the default 16-colour Windows palette.
const PaletteColour kVga[16] = {
    {"black", 0, 0, 0},        {"maroon", 128, 0, 0},   {"green", 0, 128, 0},
    {"olive", 128, 128, 0},    {"navy", 0, 0, 128},     {"purple", 128, 0, 128},
    {"teal", 0, 128, 128},     {"silver", 192, 192, 192}, {"grey", 128, 128, 128},
    {"red", 255, 0, 0},        {"lime", 0, 255, 0},     {"yellow", 255, 255, 0},
    {"blue", 0, 0, 255},       {"fuchsia", 255, 0, 255}, {"aqua", 0, 255, 255},
    {"white", 255, 255, 255}};

// Pseudo-colours beyond the palette.
const int kTransparent = 16;
const int kInverted = 17;

enum class Kind { kNone, kBmp, kIco, kCur };

struct Image {
  Kind kind = Kind::kNone;
  int width = 0, height = 0;
  int hotX = 0, hotY = 0;
  std::vector<int> pixels;  // colour index per pixel, row 0 at the top
};

class Bytes {
 public:
  void U8(unsigned v) { data_.push_back(static_cast<char>(v & 0xFF)); }
  void U16(unsigned v) { U8(v); U8(v >> 8); }
  void U32(uint32_t v) { U16(v & 0xFFFF); U16(v >> 16); }
  void Append(const Bytes& other) { data_ += other.data_; }
  size_t size() const { return data_.size(); }
  const std::string& data() const { return data_; }

 private:
  std::string data_;
};

bool Fail(const std::string& where, const std::string& what) {
  std::fprintf(stderr, "%s: %s\n", where.c_str(), what.c_str());
  return false;
}

int ColourByName(const std::string& name, Kind kind) {
  if (name == "transparent") return (kind == Kind::kIco || kind == Kind::kCur) ? kTransparent : -1;
  if (name == "inverted") return kind == Kind::kCur ? kInverted : -1;
  for (int i = 0; i < 16; ++i) {
    if (name == kVga[i].name) {
      if (kind == Kind::kCur && i != 0 && i != 15) return -1;
      return i;
    }
  }
  return -1;
}

bool ParseMap(const std::string& path, Image& image) {
  std::ifstream in(path);
  if (!in) return Fail(path, "cannot open");
  std::map<char, int> palette;
  int background = -1;
  bool inTile = false;
  int tileX = 0, tileY = 0, tileWidth = 0, row = 0;
  std::string line;
  int lineNo = 0;
  while (std::getline(in, line)) {
    ++lineNo;
    std::string where = path + ":" + std::to_string(lineNo);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    if (line.find(' ') == std::string::npos) {
      if (!inTile) return Fail(where, "pixel row outside a tile");
      if (row == 0) tileWidth = static_cast<int>(line.size());
      if (static_cast<int>(line.size()) != tileWidth) return Fail(where, "row width differs from the tile's first row");
      if (tileX + tileWidth > image.width || tileY + row >= image.height) return Fail(where, "tile runs off the image");
      for (int x = 0; x < tileWidth; ++x) {
        auto it = palette.find(line[x]);
        if (it == palette.end()) return Fail(where, std::string("unknown pixel character '") + line[x] + "'");
        image.pixels[(tileY + row) * image.width + tileX + x] = it->second;
      }
      ++row;
      continue;
    }
    std::istringstream words(line);
    std::string keyword;
    words >> keyword;
    if (keyword == "kind") {
      std::string k;
      words >> k >> image.width >> image.height;
      if (k == "bmp") image.kind = Kind::kBmp;
      else if (k == "ico") image.kind = Kind::kIco;
      else if (k == "cur") { image.kind = Kind::kCur; words >> image.hotX >> image.hotY; }
      else return Fail(where, "unknown kind " + k);
      if (!words || image.width <= 0 || image.height <= 0 || image.width > 4096 || image.height > 4096)
        return Fail(where, "bad size");
      if (image.kind != Kind::kBmp && (image.width > 255 || image.height > 255))
        return Fail(where, "icons and cursors are at most 255 pixels wide and high");
      if (image.hotX < 0 || image.hotY < 0 || image.hotX >= image.width || image.hotY >= image.height)
        return Fail(where, "hot spot outside the cursor");
      image.pixels.assign(static_cast<size_t>(image.width) * image.height, -1);
    } else if (keyword == "colour") {
      std::string c, name;
      words >> c >> name;
      if (image.kind == Kind::kNone) return Fail(where, "colour before kind");
      if (c.size() != 1) return Fail(where, "a colour is named by one character");
      int index = ColourByName(name, image.kind);
      if (index < 0) return Fail(where, "colour " + name + " is not available for this kind of image");
      palette[c[0]] = index;
      if (background < 0) background = index;
    } else if (keyword == "background") {
      std::string c;
      words >> c;
      auto it = palette.find(c.empty() ? 0 : c[0]);
      if (c.size() != 1 || it == palette.end()) return Fail(where, "background names an unknown character");
      background = it->second;
    } else if (keyword == "tile") {
      if (image.kind == Kind::kNone) return Fail(where, "tile before kind");
      words >> tileX >> tileY;
      if (!words || tileX < 0 || tileY < 0) return Fail(where, "bad tile position");
      inTile = true;
      row = 0;
    } else {
      return Fail(where, "unknown line: " + line);
    }
  }
  if (image.kind == Kind::kNone) return Fail(path, "no kind line");
  if (background < 0) return Fail(path, "no colours");
  for (int& p : image.pixels)
    if (p < 0) p = background;
  return true;
}

// Rows of packed pixels, bottom row first, each padded to 4 bytes: the DIB layout shared by
// .bmp, .ico and .cur.
Bytes PackRows(const Image& image, int bits, int (*value)(int)) {
  Bytes out;
  int stride = ((image.width * bits + 31) / 32) * 4;
  for (int y = image.height - 1; y >= 0; --y) {
    std::vector<uint8_t> rowBytes(stride, 0);
    for (int x = 0; x < image.width; ++x) {
      int v = value(image.pixels[y * image.width + x]);
      int bit = x * bits;
      rowBytes[bit / 8] |= static_cast<uint8_t>(v << (8 - bits - bit % 8));
    }
    for (uint8_t b : rowBytes) out.U8(b);
  }
  return out;
}

void InfoHeader(Bytes& out, int width, int height, int bits, uint32_t imageSize, int colours) {
  out.U32(40);
  out.U32(width);
  out.U32(height);
  out.U16(1);
  out.U16(bits);
  out.U32(0);  // BI_RGB
  out.U32(imageSize);
  out.U32(0);
  out.U32(0);
  out.U32(colours);
  out.U32(0);
}

void Vga16(Bytes& out) {
  for (const PaletteColour& c : kVga) {
    out.U8(c.b);
    out.U8(c.g);
    out.U8(c.r);
    out.U8(0);
  }
}

Bytes MakeBmp(const Image& image) {
  Bytes bits = PackRows(image, 4, [](int p) { return p; });
  Bytes info;
  InfoHeader(info, image.width, image.height, 4, static_cast<uint32_t>(bits.size()), 16);
  Vga16(info);
  Bytes out;
  out.U8('B');
  out.U8('M');
  out.U32(static_cast<uint32_t>(14 + info.size() + bits.size()));
  out.U32(0);
  out.U32(static_cast<uint32_t>(14 + info.size()));
  out.Append(info);
  out.Append(bits);
  return out;
}

// An icon or cursor file holding one image: directory, then the DIB whose height counts the
// colour rows and the mask rows together.
Bytes MakeIconFile(const Image& image) {
  bool cursor = image.kind == Kind::kCur;
  Bytes colour = cursor
      ? PackRows(image, 1, [](int p) { return (p == 15 || p == kInverted) ? 1 : 0; })
      : PackRows(image, 4, [](int p) { return p == kTransparent ? 0 : p; });
  Bytes mask = PackRows(image, 1, [](int p) { return (p == kTransparent || p == kInverted) ? 1 : 0; });
  Bytes dib;
  int bits = cursor ? 1 : 4;
  int colours = cursor ? 2 : 16;
  InfoHeader(dib, image.width, image.height * 2, bits, static_cast<uint32_t>(colour.size() + mask.size()), colours);
  if (cursor) {
    dib.U32(0x00000000);
    dib.U32(0x00FFFFFF);
  } else {
    Vga16(dib);
  }
  dib.Append(colour);
  dib.Append(mask);

  Bytes out;
  out.U16(0);
  out.U16(cursor ? 2 : 1);
  out.U16(1);
  out.U8(image.width & 0xFF);
  out.U8(image.height & 0xFF);
  out.U8(cursor ? 0 : 16);  // colour count; 0 for a monochrome cursor, as the system writes it
  out.U8(0);
  out.U16(cursor ? image.hotX : 1);  // planes for an icon, hot spot x for a cursor
  out.U16(cursor ? image.hotY : 4);  // bit count for an icon, hot spot y for a cursor
  out.U32(static_cast<uint32_t>(dib.size()));
  out.U32(6 + 16);
  out.Append(dib);
  return out;
}

std::string BaseName(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FirstLineName(const std::string& mapPath) {
  std::ifstream in(mapPath);
  std::string first;
  std::getline(in, first);
  std::istringstream words(first);
  std::string hash, name;
  words >> hash >> name;
  return hash == "#" ? name : std::string();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: host_pixmap <map.txt> <output file>\n");
    return 2;
  }
  std::string mapPath = argv[1], outPath = argv[2];
  std::string named = FirstLineName(mapPath);
  if (named != BaseName(outPath)) {
    std::fprintf(stderr, "%s: first line names \"%s\", output is %s\n", mapPath.c_str(), named.c_str(),
                 outPath.c_str());
    return 1;
  }
  Image image;
  if (!ParseMap(mapPath, image)) return 1;
  Bytes out = image.kind == Kind::kBmp ? MakeBmp(image) : MakeIconFile(image);
  std::ofstream file(outPath, std::ios::binary | std::ios::trunc);
  file.write(out.data().data(), static_cast<std::streamsize>(out.size()));
  file.close();
  if (!file) {
    std::fprintf(stderr, "%s: cannot write\n", outPath.c_str());
    std::remove(outPath.c_str());
    return 1;
  }
  return 0;
}

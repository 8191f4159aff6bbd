// Arbitrary bytes as the index "Gourmix.Idx": the load must keep exactly the lines a plain
// reading of the format keeps, and load -> save -> load must give back the same recipes and the
// same categories; a second save must write the same bytes as the first.
//
// What the format cannot carry back, and is therefore not asked of it:
// - comments, blank lines and lines of fewer than 8 columns are dropped by the first load;
//   columns after the eighth are never written;
// - a file name spelling "Gourmix.Dat" in any case and followed by NUL bytes comes back as
//   the shared name, spelled "Gourmix.Dat";
// - spaces around a column, a category path's empty segments, the part of a segment past
//   63 characters (the label keeps the first 63) and the part of a path text past 255
//   characters are dropped when reading; a line holding a NUL byte is dropped whole; a path
//   that is the root's label with no "/" before it names the root;
// - numbers come back as their value: "+12abc" is written as 12;
// - a path whose written text would pass 255 characters (one read without its leading "/")
//   cannot be written whole: the save must then fail and leave the index as it was, since no
//   save may move a recipe to another category.
//
// Seeds (fuzz/corpus/index): the sample catalogue's index, 60 recipes over nested categories,
// and short files of the odd cases (comments, shifted columns, numbers out of range, deep and
// long paths, spaces around labels, NUL bytes, CR inside columns).
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "catalogue/recipe_table.h"
#include "categories/category_tree.h"
#include "fuzz/fuzz_folder.h"
#include "platform/fileio.h"
#include "resources/strings.h"

namespace {

constexpr char kTarget[] = "index_fuzz";
constexpr size_t kPathTextCap = 255;  // the most of a path text the reader takes

void Check(bool ok, const char* what) { fuzzfolder::Check(ok, kTarget, what); }

struct Recipe {
  uint32_t id, extraUnsigned, start, end;
  int32_t extraSigned;
  std::string title, dataFile, path;
  bool shared;  // dataFile is the program's shared constant
  auto Tie() const {
    return std::tie(id, title, extraUnsigned, start, end, path, dataFile, extraSigned, shared);
  }
  bool operator<(const Recipe& o) const { return Tie() < o.Tie(); }
  bool operator==(const Recipe& o) const { return Tie() == o.Tie(); }
};

// ---- the format read the plain way: one line at a time, one column at a time ----

std::string UpToNul(const std::string& s) { return s.substr(0, s.find('\0')); }

bool IsCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The digits after optional white space and sign, as a 32-bit strtoul / strtol reads them.
void ReadNumber(const std::string& s, uint32_t* asUnsigned, int32_t* asSigned) {
  size_t i = 0;
  while (i < s.size() && IsCSpace(s[i])) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  uint64_t v = 0;
  bool huge = false;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
    v = v * 10 + static_cast<unsigned>(s[i] - '0');
    if (v > 0xFFFFFFFFull) {
      huge = true;
      v = 0x100000000ull;
    }
  }
  if (huge) *asUnsigned = 0xFFFFFFFFu;
  else *asUnsigned = negative ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v);
  if (negative) *asSigned = v >= 0x80000000ull ? INT32_MIN : -static_cast<int32_t>(v);
  else *asSigned = v > 0x7FFFFFFFull ? INT32_MAX : static_cast<int32_t>(v);
}

uint32_t Unsigned(const std::string& s) {
  uint32_t u;
  int32_t i;
  ReadNumber(s, &u, &i);
  return u;
}

int32_t Signed(const std::string& s) {
  uint32_t u;
  int32_t i;
  ReadNumber(s, &u, &i);
  return i;
}

std::string TrimSpaces(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && s[b] == ' ') ++b;
  while (e > b && s[e - 1] == ' ') --e;
  return s.substr(b, e - b);
}

std::string RootLabel();

// "/a//b/" -> "/a/b", each segment cut to the label length; "" for the root. Only the first
// 255 characters of the text count.
std::string NormalPath(const std::string& text) {
  std::string out;
  size_t i = 0;
  if (text == RootLabel()) return out;
  const std::string p = UpToNul(text).substr(0, kPathTextCap);
  while (i < p.size()) {
    while (i < p.size() && p[i] == '/') ++i;
    if (i == p.size()) break;
    size_t j = p.find('/', i);
    if (j == std::string::npos) j = p.size();
    out += "/" + p.substr(i, std::min(j - i, kCategoryLabelMax));
    i = j;
  }
  return out;
}

bool IsSharedName(const std::string& s) {
  static const char kShared[] = "gourmix.dat";
  if (s.size() != sizeof kShared - 1) return false;
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kShared[i]) return false;
  }
  return true;
}

std::vector<Recipe> PlainReading(const std::string& file) {
  std::vector<Recipe> out;
  for (size_t pos = 0; pos < file.size();) {
    size_t lf = file.find('\n', pos);
    size_t next = lf == std::string::npos ? file.size() : lf + 1;
    const std::string line = file.substr(pos, next - pos);
    pos = next;
    if (std::strchr("!#\r\n", line[0]) && line[0] != '\0') continue;
    if (line.find('\0') != std::string::npos) continue;
    std::vector<std::string> f;
    for (size_t i = 0; f.size() < 8;) {
      while (i < line.size() && line[i] == '\t') ++i;
      if (i == line.size()) break;
      size_t t = line.find('\t', i);
      if (t == std::string::npos) t = line.size();
      f.push_back(line.substr(i, t - i));
      i = t;
    }
    if (f.size() < 8) continue;
    for (size_t k = 1; k < 8; ++k) f[k] = TrimSpaces(f[k]);
    Recipe r;
    r.id = Unsigned(f[0]);
    r.title = UpToNul(f[1]);
    r.extraUnsigned = Unsigned(f[2]);
    r.start = Unsigned(f[3]);
    r.end = Unsigned(f[4]);
    r.path = NormalPath(f[5]);
    r.shared = IsSharedName(f[6]);
    r.dataFile = r.shared ? "Gourmix.Dat" : UpToNul(f[6]);
    r.extraSigned = Signed(f[7]);
    out.push_back(r);
  }
  return out;
}

// ---- what the program holds ----

// Labels below the root joined by "/", uncut; "" for the root.
std::string FullPath(CategoryTree& tree, CategoryNode node) {
  std::string path;
  for (CategoryNode n = node; n && tree.Parent(n); n = tree.Parent(n)) {
    path = "/" + std::string(tree.Label(n)) + path;
  }
  return path;
}

std::set<std::string> NodePaths(CategoryTree& tree) {
  std::set<std::string> paths;
  std::vector<std::pair<CategoryNode, std::string>> todo;
  if (tree.Root()) todo.push_back({tree.Root(), ""});
  while (!todo.empty()) {
    const auto [n, path] = todo.back();
    todo.pop_back();
    Check(paths.insert(path).second, "two categories with the same path");
    for (CategoryNode c = tree.FirstChild(n); c; c = tree.NextSibling(c)) {
      todo.push_back({c, path + "/" + tree.Label(c)});
    }
  }
  Check(paths.size() == tree.NodeCount(), "tree holds nodes that cannot be reached");
  return paths;
}

std::vector<Recipe> Table(CategoryTree& tree) {
  std::vector<Recipe> out;
  const RecipeEntry* e = RecipeEntries();
  const uint32_t n = RecipeCount();
  Check(n <= RecipeCapacity() && RecipeCapacity() % 10 == 0 && RecipeCapacity() - n < 10,
        "table storage not grown ten entries at a time");
  for (uint32_t i = 0; i < n; ++i) {
    if (i > 0) Check(CompareByTitle(&e[i - 1], &e[i]) <= 0, "table not in title order");
    Check(e[i].category != nullptr, "recipe without a category");
    Recipe r;
    r.id = e[i].recipeId;
    r.title = e[i].title;
    r.extraUnsigned = e[i].extraUnsigned;
    r.start = e[i].textStart;
    r.end = e[i].textEnd;
    r.extraSigned = e[i].extraSigned;
    r.dataFile = e[i].dataFile;
    r.shared = e[i].dataFile == kSharedDataFile;
    r.path = FullPath(tree, e[i].category);
    out.push_back(r);
  }
  return out;
}

std::string RootLabel() {
  char label[256];
  LoadText(9, label, sizeof label);
  return label;
}

// Each line of a save is one recipe: eight non-empty columns and CR LF.
void CheckWrittenLines(const std::string& bytes, size_t recipes) {
  size_t lines = 0;
  for (size_t pos = 0; pos < bytes.size(); ++lines) {
    size_t end = bytes.find("\r\n", pos);
    Check(end != std::string::npos, "saved index does not end with CR LF");
    const std::string line = bytes.substr(pos, end - pos);
    Check(line.find('\n') == std::string::npos, "line feed inside a saved line");
    size_t tabs = 0;
    for (size_t i = 0; i < line.size(); ++i) {
      if (line[i] != '\t') continue;
      ++tabs;
      Check(i > 0 && i + 1 < line.size() && line[i + 1] != '\t', "empty column in a saved line");
    }
    Check(tabs == 7, "saved line without exactly eight columns");
    pos = end + 2;
  }
  Check(lines == recipes, "saved index has not one line per recipe");
}

// What a recipe must keep through save and load. A text column cut by a NUL byte may end in
// spaces, which the next load trims; "GOURMIX.DAT" followed by NUL bytes is a name of its own
// that reads back as the shared one, "Gourmix.Dat": the same file either way.
void RoundTripForm(Recipe* r) {
  while (!r->title.empty() && r->title.back() == ' ') r->title.pop_back();
  while (!r->dataFile.empty() && r->dataFile.back() == ' ') r->dataFile.pop_back();
  if (IsSharedName(r->dataFile)) r->dataFile = "Gourmix.Dat";
  r->shared = false;
}

void RemoveFiles() {
  for (const char* name : {kIndexFileName, kIndexBackupName, "Gourmix.Tmp", "Gourmix.Tbk"}) {
    std::remove(name);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  return fuzzfolder::Initialize(argc, argv, kTarget);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  RemoveFiles();
  const std::string input(reinterpret_cast<const char*>(data), size);
  fuzzfolder::PutFile(kIndexFileName, data, size);

  std::vector<Recipe> expected = PlainReading(input);
  CategoryTree first;
  const uint32_t loaded = LoadIndex(first);
  Check(loaded == expected.size(), "load kept another number of lines than the format says");
  if (loaded == 0) {
    Check(RecipeCount() == 0 && RecipeEntries() == nullptr, "failed load left a table");
    return 0;
  }
  std::vector<Recipe> held = Table(first);
  std::sort(expected.begin(), expected.end());
  std::vector<Recipe> sortedHeld = held;
  std::sort(sortedHeld.begin(), sortedHeld.end());
  Check(sortedHeld == expected, "loaded recipes differ from the lines of the file");

  // The tree holds exactly the categories the paths name, with every level on the way.
  std::set<std::string> paths = {""};
  for (const Recipe& r : expected) {
    for (size_t cut = r.path.find('/', 1); cut != std::string::npos; cut = r.path.find('/', cut + 1)) {
      paths.insert(r.path.substr(0, cut));
    }
    paths.insert(r.path);
  }
  const std::set<std::string> firstNodes = NodePaths(first);
  Check(firstNodes == paths, "tree categories differ from the paths of the file");

  // A path comes back whole when its written text, with the "/" that closes a last label
  // ending in a space, fits the 255 characters the reader takes.
  bool everyPathFits = true;
  for (const Recipe& r : held) {
    const size_t written = r.path.size() + (!r.path.empty() && r.path.back() == ' ' ? 1 : 0);
    if (written > kPathTextCap) everyPathFits = false;
  }
  if (!everyPathFits) {
    Check(SaveIndex(first, nullptr) == 0, "a save wrote a path that comes back cut");
    Check(fuzzfolder::FileBytes(kIndexFileName) == input, "a refused save changed the index");
    Check(!fileio::Exists(kIndexBackupName), "a refused save made a backup");
    Check(RecipeCount() == loaded, "a refused save changed the table");
    ReleaseCatalogue();
    return 0;
  }

  Check(SaveIndex(first, nullptr) == 1, "save failed");
  Check(RecipeCount() == loaded, "save changed the table");
  const std::string saved = fuzzfolder::FileBytes(kIndexFileName);
  Check(fuzzfolder::FileBytes(kIndexBackupName) == input, "backup is not the index it replaced");
  CheckWrittenLines(saved, loaded);

  bool textsKept = true;
  std::multiset<Recipe> before;
  for (Recipe r : held) {
    const Recipe original = r;
    RoundTripForm(&r);
    if (r.title != original.title || r.dataFile != original.dataFile) textsKept = false;
    before.insert(r);
  }

  ReleaseCatalogue();
  CategoryTree second;
  Check(LoadIndex(second) == loaded, "saved index loads another number of recipes");
  std::multiset<Recipe> again;
  for (Recipe r : Table(second)) {
    RoundTripForm(&r);
    again.insert(r);
  }
  Check(again == before, "recipes changed, or changed category, through save and load");
  Check(NodePaths(second) == firstNodes, "categories changed through save and load");
  Check(SaveIndex(second, nullptr) == 1, "second save failed");
  if (textsKept) {
    Check(fuzzfolder::FileBytes(kIndexFileName) == saved, "second save wrote other bytes");
  }
  ReleaseCatalogue();
  return 0;
}

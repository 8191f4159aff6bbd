// saucelins-cli's commands. Everything goes through the program's own code: the catalogue is
// loaded as the main window loads it, saved as the category editor saves it, recipe texts come
// from the fetch the text pane uses, and memos from the memo layer and the record store.
#include "cli/cli.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#ifdef _WIN32
#include <direct.h>
#else
#include <unistd.h>
#endif

#include "app/cp1252.h"
#include "catalogue/catalogue.h"
#include "catalogue/recipe_table.h"
#include "categories/category_tree.h"
#include "platform/fileio.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "search/query.h"
#include "search/search_index.h"
#include "vlr/memo.h"
#include "vlr/vlr.h"
#include "vlr/vlr_format.h"
#include "saucelins_version.h"

namespace {

// The memo dialog's limit: 2047 characters and the NUL.
constexpr size_t kMemoChars = 2047;
// What "memo set ID -" reads at most; far beyond what a memo keeps, even in UTF-8 with
// every line end doubled.
constexpr size_t kStdinCap = 64 * 1024;
constexpr int kLongestText = 4096;  // the help is the longest string

enum class Encoding { Cp1252, Utf8 };

#ifdef _WIN32
constexpr Encoding kConsole = Encoding::Cp1252;
#else
constexpr Encoding kConsole = Encoding::Utf8;
#endif

// One of the program's strings, without the line end some of them carry.
std::string Text(unsigned id) {
  char buf[kLongestText];
  LoadText(id, buf, sizeof buf);
  std::string s = buf;
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
  return s;
}

// A Windows-1252 text in the given encoding.
std::string In(Encoding e, const std::string& cp1252) {
  return e == Encoding::Utf8 ? Cp1252ToUtf8(cp1252) : cp1252;
}

// Puts the values, in order, in place of the conversions of a string-table format ("%s",
// "%u", "%d"; "%%" is a percent sign). The values are text already, so a format can never make
// the program read an argument that is not there.
std::string Fill(const std::string& format, std::initializer_list<std::string> values) {
  std::string out;
  auto next = values.begin();
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%' || i + 1 == format.size()) {
      out.push_back(format[i]);
      continue;
    }
    char c = format[++i];
    if (c == '%') {
      out.push_back('%');
    } else if (c == 's' || c == 'u' || c == 'd') {
      if (next != values.end()) out += *next++;
    } else {
      out.push_back('%');
      out.push_back(c);
    }
  }
  return out;
}

std::string Number(uint64_t v) { return std::to_string(v); }
std::string Signed(int64_t v) { return std::to_string(v); }

// Decimal digits only, at most 4294967295: recipe numbers as the index writes them.
bool ParseRecipeId(const char* text, uint32_t* id) {
  if (!*text) return false;
  uint64_t v = 0;
  for (const char* p = text; *p; ++p) {
    if (*p < '0' || *p > '9') return false;
    v = v * 10 + static_cast<unsigned>(*p - '0');
    if (v > 0xFFFFFFFFull) return false;
  }
  *id = static_cast<uint32_t>(v);
  return true;
}

void Put(FILE* f, const std::string& s) {
  if (!s.empty()) std::fwrite(s.data(), 1, s.size(), f);
}

// Changes the current directory for the run and puts the first one back at the end.
class DirectoryKeeper {
 public:
  DirectoryKeeper() {
#ifdef _WIN32
    saved_ = _getcwd(nullptr, 0);
#else
    saved_ = getcwd(nullptr, 0);
#endif
  }
  ~DirectoryKeeper() {
    if (saved_ && changed_) Change(saved_);
    std::free(saved_);
  }
  DirectoryKeeper(const DirectoryKeeper&) = delete;
  DirectoryKeeper& operator=(const DirectoryKeeper&) = delete;
  bool Enter(const char* dir) {
    if (!saved_) return false;  // could not be put back
    changed_ = true;
    return Change(dir);
  }

 private:
  static bool Change(const char* dir) {
#ifdef _WIN32
    return _chdir(dir) == 0;
#else
    return chdir(dir) == 0;
#endif
  }
  char* saved_ = nullptr;
  bool changed_ = false;
};

// The recipe table is process-wide: whatever a command loaded is released when it ends.
struct TableRelease {
  ~TableRelease() { ReleaseCatalogue(); }
};

class Cli {
 public:
  Cli(FILE* out, FILE* err, FILE* in) : out_(out), err_(err), in_(in) {}
  int Run(int argc, char** argv);

 private:
  Encoding OutEncoding() const { return utf8_ ? Encoding::Utf8 : Encoding::Cp1252; }
  // A catalogue text (Windows-1252) ready for `out`.
  std::string Data(const std::string& cp1252) const { return In(OutEncoding(), cp1252); }
  // A message line on `err`; values from the catalogue must be passed through Console().
  void Say(unsigned id, std::initializer_list<std::string> values = {}) {
    Put(err_, Fill(In(kConsole, Text(id)), values) + "\n");
  }
  static std::string Console(const std::string& cp1252) { return In(kConsole, cp1252); }
  // A line of the report on `out`, in the output encoding.
  void Report(unsigned id, std::initializer_list<std::string> values) {
    Put(out_, Fill(Data(Text(id)), values) + "\n");
  }
  static std::string Meaning(int status);
  void SayStatus(int status) { Say(IDS_CLI_STATUS, {Signed(status), Console(Meaning(status))}); }
  // A memo write that failed: the memo dialog's words when another program holds the store.
  void SayNotWritten(int status) {
    if (status == kVlrBusy) Say(IDS_MEMO_BUSY);
    else SayStatus(status);
  }

  bool Load(CategoryTree& tree);
  bool TakeRecipeId(char** args, int n, int at, uint32_t* id, int* rc);
  bool NoMore(char** args, int n, int at, int* rc);

  int List(char** args, int n);
  int Tree(char** args, int n);
  int Show(char** args, int n);
  int Resave(char** args, int n);
  int Check(char** args, int n);
  int Memo(char** args, int n);
  int MemoGet(uint32_t id);
  int MemoSet(uint32_t id, const char* text);
  int MemoDelete(uint32_t id);
  int MemoList();
  int Search(char** args, int n);
  bool TakeQuery(const std::string& raw, search::Query* query);
  // Prints the hits as `list` prints recipes; tells err when there are none.
  void PrintHits(const std::vector<search::Hit>& hits, CategoryTree& tree);
  void SayNothingFound(const std::string& raw, const search::SearchIndex& index,
                       const search::Query& query, unsigned scope);

  // check's parts; each returns the number of problems it reported.
  unsigned CheckRecipeText(const RecipeEntry& e);
  unsigned CheckPaths(CategoryTree& tree);
  unsigned CheckDuplicates();
  unsigned CheckMemoStore(bool indexLoaded);

  FILE* out_;
  FILE* err_;
  FILE* in_;
  bool utf8_ = false;
};

std::string Cli::Meaning(int status) {
  if (status <= kVlrBadLayout && status >= kVlrOpenFailed) {
    return Text(static_cast<unsigned>(IDS_CLI_VLR_FIRST + (kVlrBadLayout - status)));
  }
  if (status == kVlrBusy) return Text(IDS_CLI_VLR_901);
  return Text(IDS_CLI_VLR_OTHER);
}

bool Cli::Load(CategoryTree& tree) {
  uint32_t count = 0;
  switch (LoadCatalogueCore(nullptr, tree, &count)) {
    case LoadOutcome::Loaded:
      return true;
    case LoadOutcome::NoIndex:
      Say(IDS_NO_INDEX);
      return false;
    case LoadOutcome::Empty:
      Say(IDS_INDEX_ERROR);
      return false;
  }
  return false;
}

// Reads args[at] as a recipe number; otherwise says what is wrong and sets *rc.
bool Cli::TakeRecipeId(char** args, int n, int at, uint32_t* id, int* rc) {
  if (at >= n) {
    Say(IDS_CLI_MISSING_ARG, {args[at - 1]});
    *rc = kCliUsage;
    return false;
  }
  if (!ParseRecipeId(args[at], id)) {
    Say(IDS_CLI_BAD_NUMBER, {args[at]});
    *rc = kCliUsage;
    return false;
  }
  return true;
}

bool Cli::NoMore(char** args, int n, int at, int* rc) {
  if (at >= n) return true;
  Say(IDS_CLI_EXTRA_ARG, {args[at]});
  *rc = kCliUsage;
  return false;
}

int Cli::Run(int argc, char** argv) {
  DirectoryKeeper directory;
  int i = 1;
  for (; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "-C") {
      if (i + 1 >= argc) {
        Say(IDS_CLI_MISSING_ARG, {a});
        return kCliUsage;
      }
      if (!directory.Enter(argv[++i])) {
        Say(IDS_CLI_BAD_DIR, {argv[i]});
        return kCliUsage;
      }
    } else if (a == "--utf8") {
      utf8_ = true;
    } else if (a == "--help" || a == "-h") {
      Put(out_, In(kConsole, Text(IDS_CLI_HELP)) + "\n");
      return kCliOk;
    } else if (a == "--version") {
      const std::string version = Fill(Text(IDS_VERSION), {SAUCELINS_VERSION});
      Put(out_, Fill(In(kConsole, Text(IDS_CLI_VERSION)), {Console(version)}) + "\n");
      return kCliOk;
    } else if (a.size() > 1 && a[0] == '-') {
      Say(IDS_CLI_UNKNOWN_OPTION, {a});
      return kCliUsage;
    } else {
      break;
    }
  }
  if (i >= argc) {
    Say(IDS_CLI_NO_COMMAND);
    return kCliUsage;
  }

  const std::string command = argv[i];
  char** args = argv + i;  // args[0] is the command
  const int n = argc - i;
  TableRelease release;
  int rc;
  if (command == "list") rc = List(args, n);
  else if (command == "tree") rc = Tree(args, n);
  else if (command == "show") rc = Show(args, n);
  else if (command == "resave") rc = Resave(args, n);
  else if (command == "check") rc = Check(args, n);
  else if (command == "memo") rc = Memo(args, n);
  else if (command == "search") rc = Search(args, n);
  else {
    Say(IDS_CLI_UNKNOWN_COMMAND, {command});
    return kCliUsage;
  }
  // A report cut short (a full disk, a closed pipe) must not pass for a whole one.
  if (std::fflush(out_) != 0 || std::ferror(out_)) {
    Say(IDS_CLI_WRITE_ERROR);
    if (rc == kCliOk) rc = kCliFailed;
  }
  return rc;
}

// One line of `list`: number, title, category path.
std::string ListLine(const RecipeEntry& e, CategoryTree& tree, Encoding encoding) {
  return Number(e.recipeId) + "\t" + In(encoding, e.title) + "\t" +
         In(encoding, PathOfCategory(tree, e.category)) + "\n";
}

int Cli::List(char** args, int n) {
  int rc = kCliOk;
  if (!NoMore(args, n, 1, &rc)) return rc;
  CategoryTree tree;
  if (!Load(tree)) return kCliFailed;
  // A list is piped into other tools, so it must cost no more than sorting the index does:
  // the lines are put together in one buffer handed out in large blocks, and each category's
  // path text is made (and converted) once, however many recipes it holds.
  constexpr size_t kBlock = 1 << 20;
  std::unordered_map<CategoryNode, std::string> paths;
  std::string out;
  out.reserve(kBlock + 1024);
  const RecipeEntry* e = RecipeEntries();
  for (uint32_t i = 0; i < RecipeCount(); ++i) {
    char digits[10];
    int d = 0;
    for (uint32_t v = e[i].recipeId; d == 0 || v != 0; v /= 10) digits[d++] = static_cast<char>('0' + v % 10);
    while (d > 0) out.push_back(digits[--d]);
    out.push_back('\t');
    if (utf8_) {
      out += Data(e[i].title);
    } else {
      out += e[i].title;
    }
    out.push_back('\t');
    std::string& path = paths[e[i].category];
    if (path.empty()) path = Data(PathOfCategory(tree, e[i].category));
    out += path;
    out.push_back('\n');
    if (out.size() >= kBlock) {
      Put(out_, out);
      out.clear();
    }
  }
  Put(out_, out);
  return kCliOk;
}

int Cli::Tree(char** args, int n) {
  int rc = kCliOk;
  int at = 1;
  bool counts = false;
  if (at < n && std::strcmp(args[at], "--counts") == 0) {
    counts = true;
    ++at;
  }
  if (!NoMore(args, n, at, &rc)) return rc;
  CategoryTree tree;
  if (!Load(tree)) return kCliFailed;

  std::unordered_map<CategoryNode, uint32_t> filed;
  if (counts) {
    for (uint32_t i = 0; i < RecipeCount(); ++i) ++filed[RecipeEntries()[i].category];
  }
  // Depth first, in sibling order: the order the tree control shows.
  size_t depth = 0;
  for (CategoryNode node = tree.Root(); node;) {
    std::string line(2 * depth, ' ');
    line += Data(tree.Label(node));
    if (counts) line += "\t" + Number(filed[node]);
    Put(out_, line + "\n");
    if (CategoryNode child = tree.FirstChild(node)) {
      node = child;
      ++depth;
      continue;
    }
    while (node && !tree.NextSibling(node)) {
      node = tree.Parent(node);
      --depth;
    }
    if (node) node = tree.NextSibling(node);
  }
  return kCliOk;
}

int Cli::Show(char** args, int n) {
  int rc = kCliOk;
  uint32_t id;
  if (!TakeRecipeId(args, n, 1, &id, &rc) || !NoMore(args, n, 2, &rc)) return rc;
  CategoryTree tree;
  if (!Load(tree)) return kCliFailed;
  // Table order is title order, so the first match is the one the recipe list shows first.
  for (uint32_t i = 0; i < RecipeCount(); ++i) {
    if (RecipeEntries()[i].recipeId == id) {
      Put(out_, Data(FetchRecipeText(&RecipeEntries()[i])));
      return kCliOk;
    }
  }
  Say(IDS_CLI_NO_RECIPE, {Number(id)});
  return kCliFailed;
}

int Cli::Resave(char** args, int n) {
  int rc = kCliOk;
  if (!NoMore(args, n, 1, &rc)) return rc;
  CategoryTree tree;
  if (!Load(tree)) return kCliFailed;
  SaveOptions options;
  options.guard = IndexGuard::Unchanged;
  CategoryNode unwritable = nullptr;
  switch (SaveIndexWith(tree, nullptr, options, &unwritable)) {
    case SaveOutcome::Saved:
      return kCliOk;
    case SaveOutcome::PathUnwritable:
      Say(IDS_CLI_SAVE_PATH, {Console(PathOfCategory(tree, unwritable))});
      return kCliFailed;
    case SaveOutcome::ChangedOnDisk:
      Say(IDS_CLI_SAVE_CHANGED);
      return kCliFailed;
    case SaveOutcome::Failed:
      break;
  }
  Say(IDS_SAVE_ERROR);
  return kCliFailed;
}

// ---- search ----

// "titles,texts,memos" in any order and number; 0 when a part is unknown or the list is empty.
unsigned ParseScope(const std::string& list) {
  unsigned scope = 0;
  size_t at = 0;
  while (at <= list.size()) {
    size_t comma = list.find(',', at);
    if (comma == std::string::npos) comma = list.size();
    const std::string part = list.substr(at, comma - at);
    if (part == "titles") scope |= search::kInTitles;
    else if (part == "texts") scope |= search::kInTexts;
    else if (part == "memos") scope |= search::kInMemos;
    else return 0;
    at = comma + 1;
  }
  return scope;
}

// Reads a query in the input encoding; false (and err told) when it holds no word or is not
// UTF-8 that Windows-1252 can hold.
bool Cli::TakeQuery(const std::string& raw, search::Query* query) {
  std::string text;
  if (utf8_) {
    size_t bad = 0;
    if (!AppendCp1252FromUtf8(raw.data(), raw.size(), &text, &bad)) {
      Say(IDS_CLI_SEARCH_BAD_UTF8, {Number(bad)});
      return false;
    }
  } else {
    text = raw;
  }
  *query = search::ParseQuery(text);
  if (query->terms.empty()) {
    Say(IDS_CLI_SEARCH_NO_WORD, {utf8_ ? raw : Console(raw)});
    return false;
  }
  return true;
}

void Cli::PrintHits(const std::vector<search::Hit>& hits, CategoryTree& tree) {
  std::string block;
  for (const search::Hit& h : hits) {
    block += ListLine(RecipeEntries()[h.entry], tree, OutEncoding());
    if (block.size() >= 1 << 16) {
      Put(out_, block);
      block.clear();
    }
  }
  Put(out_, block);
}

void Cli::SayNothingFound(const std::string& raw, const search::SearchIndex& index,
                          const search::Query& query, unsigned scope) {
  Say(IDS_CLI_SEARCH_NONE, {utf8_ ? raw : Console(raw)});
  const std::vector<std::string> words = index.Suggest(query, scope, 5);
  if (words.empty()) return;
  std::string list;
  for (const std::string& w : words) list += (list.empty() ? "" : ", ") + Console(w);
  Say(IDS_CLI_SEARCH_SUGGEST, {list});
}

// search [--in titles,texts,memos] QUERY... | -
int Cli::Search(char** args, int n) {
  unsigned scope = search::kInEverything;
  int at = 1;
  if (at < n && std::strcmp(args[at], "--in") == 0) {
    if (at + 1 >= n) {
      Say(IDS_CLI_MISSING_ARG, {args[at]});
      return kCliUsage;
    }
    scope = ParseScope(args[at + 1]);
    if (scope == 0) {
      Say(IDS_CLI_SEARCH_BAD_SCOPE, {Console(args[at + 1])});
      return kCliUsage;
    }
    at += 2;
  }
  if (at >= n) {
    Say(IDS_CLI_MISSING_ARG, {args[at - 1]});
    return kCliUsage;
  }
  const bool fromInput = std::strcmp(args[at], "-") == 0;
  if (fromInput && at + 1 < n) {
    Say(IDS_CLI_EXTRA_ARG, {args[at + 1]});
    return kCliUsage;
  }
  // The words of the command line are one query, as a search field would hold them.
  std::string raw;
  search::Query query;
  if (!fromInput) {
    for (int i = at; i < n; ++i) raw += (raw.empty() ? "" : " ") + std::string(args[i]);
    if (!TakeQuery(raw, &query)) return kCliUsage;
  }

  CategoryTree tree;
  if (!Load(tree)) return kCliFailed;
  search::SearchIndex index;
  if (scope & search::kInMemos) {
    const VlrStatus status = index.memos().Load(MemoStoreName);
    if (status != kVlrOk) Say(IDS_CLI_SEARCH_NO_MEMOS, {Signed(status), Console(Meaning(status))});
  }

  if (!fromInput) {
    // One query: reading the texts once for it costs less than building an index.
    const std::vector<search::Hit> hits =
        search::ScanSearch(RecipeEntries(), RecipeCount(), index.memos(), query, scope);
    PrintHits(hits, tree);
    if (!hits.empty()) return kCliOk;
    index.Build(RecipeEntries(), RecipeCount());  // for the suggestions
    SayNothingFound(raw, index, query, scope);
    return kCliFailed;
  }

  index.Build(RecipeEntries(), RecipeCount());
  bool anyFound = false;
  std::string line;
  for (int c; (c = std::fgetc(in_)) != EOF || !line.empty();) {
    if (c != EOF && c != '\n') {
      line.push_back(static_cast<char>(c));
      continue;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<search::Hit> hits;
    if (!line.empty() && TakeQuery(line, &query)) {
      hits = index.Search(query, scope);
      if (hits.empty()) SayNothingFound(line, index, query, scope);
    }
    PrintHits(hits, tree);
    Put(out_, "\n");
    anyFound = anyFound || !hits.empty();
    line.clear();
    if (c == EOF) break;
  }
  if (std::ferror(in_)) {
    Say(IDS_CLI_SEARCH_STDIN);
    return kCliFailed;
  }
  return anyFound ? kCliOk : kCliFailed;
}

// ---- check ----

struct SkippedLine {
  uint32_t line;
  std::string reason;
};

void NoteSkippedLine(void* context, uint32_t line, const char* reason) {
  static_cast<std::vector<SkippedLine>*>(context)->push_back({line, reason});
}

// Size of a recipe base, or -1 when it cannot be measured.
long FileSize(const char* name) {
  FILE* f = fileio::Open(name, "rb");
  if (!f) return -1;
  long size = fileio::Seek(f, 0, SEEK_END) == 0 ? fileio::Tell(f) : -1;
  fileio::Close(f);
  return size;
}

// The error text FetchRecipeText puts in place of the recipe for string `id`.
std::string FetchErrorText(unsigned id, const RecipeEntry& e) {
  char format[128];
  LoadText(id, format, sizeof format);
  return Fill(format, {e.title, e.dataFile}).substr(0, kRecipeTextCap);
}

unsigned Cli::CheckRecipeText(const RecipeEntry& e) {
  const std::string id = Number(e.recipeId);
  const std::string title = Data(e.title);
  const std::string file = Data(e.dataFile);
  // The fetch is the program's own; what it returned tells which of its outcomes it was.
  const std::string text = FetchRecipeText(&e);
  if (text == FetchErrorText(IDS_OPEN_ERROR, e)) {
    Report(IDS_CLI_CHECK_OPEN, {id, title, file});
    return 1;
  }
  if (text == FetchErrorText(IDS_READ_ERROR, e)) {
    long size = FileSize(e.dataFile);
    if (e.textEnd == e.textStart) {
      Report(IDS_CLI_CHECK_EMPTY, {id, title, Number(e.textStart), file});
    } else if (e.textEnd < e.textStart) {
      Report(IDS_CLI_CHECK_INVERTED, {id, title, Number(e.textEnd), Number(e.textStart)});
    } else if (size >= 0 && e.textEnd > static_cast<unsigned long>(size)) {
      Report(IDS_CLI_CHECK_PAST_END,
             {id, title, Number(e.textStart), Number(e.textEnd), file, Number(size)});
    } else {
      Report(IDS_CLI_CHECK_READ, {id, title, file});
    }
    return 1;
  }
  // Read, but not as the index means it.
  const uint32_t length = e.textEnd - e.textStart;
  const uint32_t shown = length < kRecipeTextCap ? length : kRecipeTextCap;
  if (text.size() < shown) {
    Report(IDS_CLI_CHECK_NUL, {id, title, Number(text.size())});
    return 1;
  }
  if (length > kRecipeTextCap) {
    Report(IDS_CLI_CHECK_CUT, {id, title, Number(length)});
    return 1;
  }
  return 0;
}

// Categories whose path a save could not write so that it reads back as the same category
// (from a path written without its leading "/", say): every save of the catalogue is refused.
unsigned Cli::CheckPaths(CategoryTree& tree) {
  std::set<CategoryNode> seen;
  unsigned problems = 0;
  for (uint32_t i = 0; i < RecipeCount(); ++i) {
    const CategoryNode c = RecipeEntries()[i].category;
    if (!seen.insert(c).second || CategoryPathWritable(tree, c)) continue;
    Report(IDS_CLI_CHECK_PATH, {Data(PathOfCategory(tree, c))});
    ++problems;
  }
  return problems;
}

unsigned Cli::CheckDuplicates() {
  std::map<uint32_t, std::vector<const RecipeEntry*>> byId;
  for (uint32_t i = 0; i < RecipeCount(); ++i) {
    byId[RecipeEntries()[i].recipeId].push_back(&RecipeEntries()[i]);
  }
  unsigned problems = 0;
  const std::string quoted = Data(Text(IDS_CLI_QUOTED));
  for (const auto& [id, entries] : byId) {
    if (entries.size() < 2) continue;
    std::string titles;
    for (const RecipeEntry* e : entries) {
      if (!titles.empty()) titles += ", ";
      titles += Fill(quoted, {Data(e->title)});
    }
    Report(IDS_CLI_CHECK_DUPLICATE, {Number(id), Number(entries.size()), titles});
    ++problems;
  }
  return problems;
}

unsigned Cli::CheckMemoStore(bool indexLoaded) {
  fileio::FileLock lock;
  VlrStatus status = LockMemoStore(MemoStoreName, false, &lock);
  VlrFile* store = status == kVlrOk ? VlrOpen(MemoStoreName, "rb", &status) : nullptr;
  if (!store) {
    if (status == kVlrOpenFailed && !fileio::Exists(MemoStoreName)) {
      Report(IDS_CLI_CHECK_NO_STORE, {});
      return 0;
    }
    Report(IDS_CLI_CHECK_STORE_BAD, {Signed(status), Data(Meaning(status))});
    return 1;
  }
  std::set<uint32_t> recipes;
  for (uint32_t i = 0; i < RecipeCount(); ++i) recipes.insert(RecipeEntries()[i].recipeId);

  const uint32_t end = store->count < store->capacity ? store->count : store->capacity;
  std::map<uint32_t, uint32_t> seen;  // key -> entries in use with it
  std::vector<uint32_t> order;        // keys in directory order, once each
  for (uint32_t i = 0; i < end; ++i) {
    const VlrEntry& entry = store->directory[i];
    if (!(entry.flags & vlr::kFlagInUse)) continue;
    if (seen[entry.key]++ == 0) order.push_back(entry.key);
  }
  Report(IDS_CLI_CHECK_STORE,
         {Number(store->count), Number(store->capacity), Number(order.size())});

  unsigned problems = 0;
  std::vector<char> buffer(static_cast<size_t>(vlr::kMaxRecordLimit));
  for (uint32_t i = 0; i < end; ++i) {
    const VlrEntry& entry = store->directory[i];
    if (!(entry.flags & vlr::kFlagInUse)) continue;
    if (!VlrEntryInFile(store, i)) {
      Report(IDS_CLI_CHECK_MEMO_OUTSIDE,
             {Number(entry.key), Number(entry.offset), Signed(entry.length), Number(store->size)});
      ++problems;
      continue;
    }
    VlrRecord record = {0, buffer.data(), vlr::kMaxRecordLimit};
    VlrStatus read = VlrRead(store, &record, static_cast<int32_t>(i));
    if (read != kVlrOk) {
      Report(IDS_CLI_CHECK_MEMO_BAD, {Number(entry.key), Signed(read), Data(Meaning(read))});
      ++problems;
    }
  }
  for (uint32_t key : order) {
    if (seen[key] > 1) {
      Report(IDS_CLI_CHECK_MEMO_TWICE, {Number(key), Number(seen[key])});
      ++problems;
    }
    // Without an index every memo would look orphaned; the missing index is reported already.
    if (indexLoaded && !recipes.count(key)) {
      Report(IDS_CLI_CHECK_ORPHAN, {Number(key)});
      ++problems;
    }
  }
  VlrClose(store);
  return problems;
}

int Cli::Check(char** args, int n) {
  int rc = kCliOk;
  if (!NoMore(args, n, 1, &rc)) return rc;
  unsigned problems = 0;

  std::vector<SkippedLine> skipped;
  CategoryTree tree;
  SetIndexLineObserver(NoteSkippedLine, &skipped);
  uint32_t count = 0;
  LoadOutcome outcome = LoadCatalogueCore(nullptr, tree, &count);
  SetIndexLineObserver(nullptr, nullptr);

  if (outcome == LoadOutcome::NoIndex) {
    Put(out_, Data(Text(IDS_NO_INDEX)) + "\n");
    ++problems;
  } else {
    if (outcome == LoadOutcome::Empty) {
      Put(out_, Data(Text(IDS_INDEX_ERROR)) + "\n");
      ++problems;
    } else {
      Report(IDS_CLI_CHECK_RECIPES, {Number(count)});
    }
    for (const SkippedLine& s : skipped) {
      if (s.reason == "comment") {
        Report(IDS_CLI_CHECK_COMMENT, {Number(s.line)});
      } else if (s.reason == "blank") {
        Report(IDS_CLI_CHECK_BLANK, {Number(s.line)});
      } else {
        if (s.reason == "fields") Report(IDS_CLI_CHECK_FIELDS, {Number(s.line)});
        else if (s.reason == "nul") Report(IDS_CLI_CHECK_NUL_LINE, {Number(s.line)});
        else Report(IDS_CLI_CHECK_SKIPPED, {Number(s.line), s.reason});
        ++problems;
      }
    }
  }
  for (uint32_t i = 0; i < RecipeCount(); ++i) problems += CheckRecipeText(RecipeEntries()[i]);
  problems += CheckPaths(tree);
  problems += CheckDuplicates();
  problems += CheckMemoStore(outcome == LoadOutcome::Loaded);

  if (problems == 0) {
    Report(IDS_CLI_CHECK_SOUND, {});
    return kCliOk;
  }
  Report(IDS_CLI_CHECK_PROBLEMS, {Number(problems)});
  return kCliFailed;
}

// ---- memos ----

int Cli::Memo(char** args, int n) {
  int rc = kCliOk;
  if (n < 2) {
    Say(IDS_CLI_MISSING_ARG, {args[0]});
    return kCliUsage;
  }
  const std::string sub = args[1];
  uint32_t id = 0;
  if (sub == "list") {
    if (!NoMore(args, n, 2, &rc)) return rc;
    return MemoList();
  }
  if (sub == "get" || sub == "delete") {
    if (!TakeRecipeId(args, n, 2, &id, &rc) || !NoMore(args, n, 3, &rc)) return rc;
    return sub == "get" ? MemoGet(id) : MemoDelete(id);
  }
  if (sub == "set") {
    if (!TakeRecipeId(args, n, 2, &id, &rc)) return rc;
    if (n < 4) {
      Say(IDS_CLI_MISSING_ARG, {args[2]});
      return kCliUsage;
    }
    if (!NoMore(args, n, 4, &rc)) return rc;
    return MemoSet(id, args[3]);
  }
  Say(IDS_CLI_UNKNOWN_COMMAND, {std::string(args[0]) + " " + sub});
  return kCliUsage;
}

int Cli::MemoGet(uint32_t id) {
  std::vector<char> buffer(static_cast<size_t>(vlr::kMaxRecordLimit));
  int32_t length = vlr::kMaxRecordLimit;
  int status = ReadMemo(MemoStoreName, id, buffer.data(), &length);
  if (status != kVlrOk) {
    SayStatus(status);
    return kCliFailed;
  }
  // The text ends at its NUL, as the memo dialog shows it.
  size_t n = 0;
  while (n < static_cast<size_t>(length) && buffer[n] != '\0') ++n;
  Put(out_, Data(std::string(buffer.data(), n)));
  return kCliOk;
}

// Whether the store may be written: it exists and is sound (0: the memo is there, -896: it is
// not), or it does not exist at all. A damaged store is reported and left alone: the memo
// layer would write a new store beside it under a temporary name.
bool StoreWritable(int probe) {
  return probe == kVlrOk || probe == kVlrNotFound ||
         (probe == kVlrOpenFailed && !fileio::Exists(MemoStoreName));
}

int Cli::MemoSet(uint32_t id, const char* text) {
  // The program only writes memos of recipes it lists; a memo of no recipe is a fault that
  // check reports.
  {
    CategoryTree tree;
    if (!Load(tree)) return kCliFailed;
    bool known = false;
    for (uint32_t i = 0; i < RecipeCount() && !known; ++i) {
      known = RecipeEntries()[i].recipeId == id;
    }
    if (!known) {
      Say(IDS_CLI_NO_RECIPE, {Number(id)});
      return kCliFailed;
    }
  }

  std::string raw;
  if (std::strcmp(text, "-") == 0) {
    std::vector<char> block(kStdinCap);
    size_t got = std::fread(block.data(), 1, block.size(), in_);
    if (std::ferror(in_)) {
      Say(IDS_CLI_STDIN_ERROR);
      return kCliFailed;
    }
    raw.assign(block.data(), got);
  } else {
    raw = text;
  }
  // The memo is a C string: it ends at the first NUL.
  raw.resize(std::strlen(raw.c_str()));

  std::string memo;
  if (utf8_) {
    size_t bad = 0;
    // Each character may become two bytes once its line end is doubled: twice the memo's
    // length is enough to know whether it must be cut.
    if (!AppendCp1252FromUtf8(raw.data(), raw.size(), &memo, &bad, 2 * kMemoChars + 2)) {
      Say(IDS_CLI_BAD_TEXT, {Number(bad)});
      return kCliFailed;
    }
  } else {
    memo = raw;
  }
  // The memo dialog's edit control ends lines with CR LF: a lone LF (a Unix text) would show
  // as one long line in the program.
  std::string lines;
  for (size_t i = 0; i < memo.size(); ++i) {
    if (memo[i] == '\n' && (i == 0 || memo[i - 1] != '\r')) lines.push_back('\r');
    lines.push_back(memo[i]);
  }
  if (lines.size() > kMemoChars) {
    lines.resize(kMemoChars);
    Say(IDS_CLI_MEMO_CUT);
  }

  int probe = ReadMemo(MemoStoreName, id, nullptr, nullptr);
  if (!StoreWritable(probe)) {
    SayNotWritten(probe);
    return kCliFailed;
  }
  int status;
  if (lines.empty()) {
    // An emptied memo is deleted, as the memo dialog does; with no memo there is nothing to do.
    status = probe == kVlrOk ? WriteMemo(MemoStoreName, id, nullptr, 0) : kVlrOk;
  } else {
    status = WriteMemo(MemoStoreName, id, lines.c_str(), 0);
  }
  if (status != kVlrOk) {
    SayNotWritten(status);
    return kCliFailed;
  }
  return kCliOk;
}

int Cli::MemoDelete(uint32_t id) {
  // Deleting what is not there would still rewrite the store (or create an empty one).
  int probe = ReadMemo(MemoStoreName, id, nullptr, nullptr);
  if (probe != kVlrOk) {
    SayNotWritten(probe);
    return kCliFailed;
  }
  int status = WriteMemo(MemoStoreName, id, nullptr, 0);
  if (status != kVlrOk) {
    SayNotWritten(status);
    return kCliFailed;
  }
  return kCliOk;
}

int Cli::MemoList() {
  fileio::FileLock lock;
  VlrStatus status = LockMemoStore(MemoStoreName, false, &lock);
  VlrFile* store = status == kVlrOk ? VlrOpen(MemoStoreName, "rb", &status) : nullptr;
  if (!store) {
    // No store yet: no memos, as the program sees it.
    if (status == kVlrOpenFailed && !fileio::Exists(MemoStoreName)) return kCliOk;
    SayStatus(status);
    return kCliFailed;
  }
  const uint32_t end = store->count < store->capacity ? store->count : store->capacity;
  for (uint32_t i = 0; i < end; ++i) {
    const VlrEntry& entry = store->directory[i];
    if (!(entry.flags & vlr::kFlagInUse)) continue;
    Put(out_, Number(entry.key) + "\t" + Signed(entry.length) + "\n");
  }
  VlrClose(store);
  return kCliOk;
}

}  // namespace

int RunCli(int argc, char** argv, FILE* out, FILE* err, FILE* in) {
  return Cli(out, err, in).Run(argc, argv);
}

// Search on arbitrary queries and recipes: parsing any bytes gives terms of non-empty folded
// words, the first match found in a text lies inside it, and the index and the one-pass scan
// find the same recipes in the same order with the same scores.
//
// Input: byte 0 the places to look in, then the query up to the first NUL, then recipes
// separated by NULs, each a title line and its text (a memo after a second line end when
// byte 0 says so).
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "catalogue/recipe_table.h"
#include "fuzz/fuzz_folder.h"
#include "search/query.h"
#include "search/search_index.h"
#include "search/words.h"

namespace {

constexpr char kTarget[] = "search_fuzz";

void Check(bool ok, const char* what) { fuzzfolder::Check(ok, kTarget, what); }

std::vector<std::string> Split(const std::string& s, char by) {
  std::vector<std::string> parts;
  size_t at = 0;
  for (size_t next; (next = s.find(by, at)) != std::string::npos; at = next + 1) {
    parts.push_back(s.substr(at, next - at));
  }
  parts.push_back(s.substr(at));
  return parts;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  return fuzzfolder::Initialize(argc, argv, kTarget);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const unsigned scope = data[0] & search::kInEverything;
  const bool withMemos = (data[0] & 8) != 0;
  const std::vector<std::string> parts =
      Split(std::string(reinterpret_cast<const char*>(data + 1), size - 1), '\0');
  const search::Query query = search::ParseQuery(parts[0]);
  for (const search::QueryTerm& t : query.terms) {
    Check(!t.words.empty(), "a term without words");
    for (const std::string& w : t.words) {
      Check(!w.empty(), "an empty query word");
      Check(search::FoldWord(w.data(), w.size()) == w, "a query word not folded");
    }
  }
  if (parts.size() < 2 || parts.size() > 40) return 0;

  // The recipes, their texts back to back in one base.
  std::vector<std::string> titles;
  std::vector<RecipeEntry> entries;
  std::string base;
  search::MemoWords memos;
  for (size_t i = 1; i < parts.size(); ++i) {
    const std::vector<std::string> lines = Split(parts[i], '\n');
    titles.push_back(lines[0]);
    RecipeEntry e{};
    e.recipeId = static_cast<uint32_t>(i);
    e.dataFile = "Gourmix.Dat";
    e.textStart = static_cast<uint32_t>(base.size());
    if (lines.size() > 1) base += lines[1];
    e.textEnd = static_cast<uint32_t>(base.size());
    entries.push_back(e);
    if (withMemos && lines.size() > 2) memos.Set(e.recipeId, lines[2].data(), lines[2].size());

    size_t start = 0, length = 0;
    const std::string& text = lines.size() > 1 ? lines[1] : lines[0];
    if (search::FindFirstMatch(query, text.data(), text.size(), &start, &length)) {
      Check(length > 0 && start + length <= text.size(), "a match outside its text");
      Check(search::IsWordByte(static_cast<unsigned char>(text[start])), "a match not at a word");
    }
  }
  for (size_t i = 0; i < entries.size(); ++i) entries[i].title = &titles[i][0];
  fuzzfolder::PutFile("Gourmix.Dat", base.data(), base.size());

  search::SearchIndex index;
  index.Build(entries.data(), static_cast<uint32_t>(entries.size()));
  if (withMemos) {
    for (size_t i = 1; i < parts.size(); ++i) {
      const std::string* m = memos.Text(static_cast<uint32_t>(i));
      if (m) index.memos().Set(static_cast<uint32_t>(i), m->data(), m->size());
    }
  }
  const std::vector<search::Hit> a = index.Search(query, scope);
  const std::vector<search::Hit> b =
      search::ScanSearch(entries.data(), static_cast<uint32_t>(entries.size()), memos, query, scope);
  Check(a.size() == b.size(), "index and scan find different counts");
  for (size_t i = 0; i < a.size(); ++i) {
    Check(a[i].entry == b[i].entry, "index and scan rank differently");
    Check(a[i].titleTerms == b[i].titleTerms, "index and scan count title terms differently");
    Check(a[i].score == b[i].score, "index and scan score differently");
  }
  if (a.empty()) index.Suggest(query, scope, 5);
  return 0;
}

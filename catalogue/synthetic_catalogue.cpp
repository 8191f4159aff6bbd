#include "catalogue/synthetic_catalogue.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <utility>
#include <vector>

// The word lists are Windows-1252 bytes written as octal escapes (\351 is e acute): octal
// escapes stop after three digits, so a following letter is never swallowed.

namespace {

const char kDataFileName[] = "Gourmix.Dat";
const char kIndexName[] = "Gourmix.Idx";

// At most 14 bytes each, so that a label stays under 30 bytes and kSyntheticMaxDepth levels
// stay under the 255 characters of a written path.
const char* const kCategoryNouns[] = {
    "Entr\351es",    "Plats",        "Desserts",    "Soupes",       "Salades",
    "Viandes",       "Volailles",    "Poissons",    "Coquillages",  "L\351gumes",
    "G\342teaux",    "Tartes",       "Cr\350mes",   "Sauces",       "Pains",
    "Viennoiseries", "Confitures",   "Boissons",    "Gratins",      "Terrines",
    "P\342tes",      "Fromages",     "\214ufs",     "Cr\352pes",    "Biscuits",
    "Glaces",        "Potages",      "Rago\373ts",  "Farces",       "Beignets",
    "Compotes",      "Sorbets",      "Quiches",     "Tourtes",      "Brochettes",
    "Grillades",     "Marinades",    "Condiments",  "P\342tisseries", "Ap\351ritifs",
    "Gibier",        "Abats",        "Charcuterie", "Pur\351es",    "Flans",
    "Mousses",       "Chocolat",     "Fruits",      "Rillettes",    "Omelettes",
};
const char* const kCategoryQualifiers[] = {
    "du march\351",  "de f\352te",     "d'hiver",      "d'\351t\351",        "de printemps",
    "d'automne",     "rapides",        "familiales",   "r\351gionales",      "l\351g\350res",
    "de grand-m\350re", "du dimanche", "proven\347ales", "bretonnes",        "alsaciennes",
    "basques",       "normandes",      "lyonnaises",   "savoyardes",         "du Sud-Ouest",
    "de la mer",     "du jardin",      "\351conomiques", "festives",         "froides",
    "chaudes",       "v\351g\351tariennes", "sucr\351es", "sal\351es",       "anciennes",
};

const char* const kDishes[] = {
    "Tarte",       "Gratin",      "Velout\351",   "Soupe",        "Terrine",
    "Salade",      "Tourte",      "Blanquette",   "Fricass\351e", "Daube",
    "Civet",       "Po\352l\351e", "Compote",     "Clafoutis",    "Flan",
    "Mousse",      "Cr\350me",    "Galette",      "Quiche",       "Rago\373t",
    "Brochettes",  "Pav\351",     "Filet",        "R\364ti",      "Pur\351e",
    "Confit",      "Fondant",     "Charlotte",    "Feuillet\351", "Cassolette",
    "Tian",        "Gaufres",     "Beignets",     "Croustade",    "\311minc\351",
};
const char* const kTitleIngredients[] = {
    "aux poireaux",   "de courgettes",    "au fromage de ch\350vre", "\340 la tomate",
    "aux pommes",     "de saumon",        "au chou vert",            "aux champignons",
    "de canard",      "\340 l'ail doux",  "aux lentilles",           "de potiron",
    "aux noix",       "au citron",        "aux \351pinards",         "de c\351leri",
    "aux poires",     "de volaille",      "au jambon cru",           "aux cerises",
    "d'agneau",       "de cabillaud",     "aux amandes",             "\340 l'oseille",
    "aux marrons",    "de veau",          "au roquefort",            "aux framboises",
    "de lapin",       "aux petits pois",  "\340 la cr\350me",         "aux navets",
};
const char* const kTitleQualifiers[] = {
    "fondant",           "\340 l'ancienne",     "fa\347on grand-m\350re", "du jardin",
    "gratin\351",        "aux herbes",          "en cro\373te",           "au four",
    "express",           "\340 la proven\347ale", "du P\351rigord",       "\340 la normande",
    "caram\351lis\351",  "\351pic\351",         "au miel",                "du march\351",
};

struct Measure {
  const char* what;
  unsigned step;
  unsigned maxSteps;
};
const Measure kIngredients[] = {
    {"g de farine", 50, 10},            {"g de beurre", 10, 15},
    {"cl de cr\350me fra\356che", 5, 8}, {"\234ufs", 1, 6},
    {"g de sucre", 25, 8},              {"g de lardons", 50, 4},
    {"oignons", 1, 4},                  {"gousses d'ail", 1, 4},
    {"cl de lait", 10, 10},             {"g de gruy\350re r\342p\351", 25, 6},
    {"branches de c\351leri", 1, 3},    {"g de champignons", 50, 8},
    {"cl de vin blanc sec", 5, 6},      {"pommes de terre", 1, 8},
    {"g de poudre d'amande", 25, 6},    {"carottes", 1, 6},
    {"\351chalotes", 1, 4},             {"cuiller\351es d'huile d'olive", 1, 4},
    {"g de chocolat noir", 50, 5},      {"tomates m\373res", 1, 6},
};
const char* const kSeasonings[] = {
    "sel, poivre",  "sel, poivre, muscade",  "1 bouquet garni",  "thym, laurier",
    "1 pinc\351e de piment d'Espelette",   "quelques brins de persil plat",
    "1 gousse de vanille",                 "le zeste d'un citron",
};
const char* const kVerbs[] = {
    "Faites revenir", "M\351langez",      "Ajoutez",        "Versez",       "Laissez mijoter",
    "Faites cuire",   "Incorporez",       "\311mincez",     "Fouettez",     "R\351servez",
    "Nappez",         "Parsemez",         "Assaisonnez",    "Battez",       "\311gouttez",
    "Coupez",         "Hachez",           "Saupoudrez",     "Enfournez",    "Faites dorer",
};
const char* const kObjects[] = {
    "les l\351gumes",        "la viande",           "les oignons \351minc\351s",
    "le beurre",             "la cr\350me",         "les \351pices",
    "la farine",             "la p\342te",          "le bouillon",
    "les herbes hach\351es", "le poisson",          "les pommes de terre",
    "le fromage",            "les \234ufs battus",  "la sauce",
    "le sucre",
};
const char* const kComplements[] = {
    "\340 feu doux",
    "pendant 10 minutes",
    "dans une cocotte",
    "en remuant sans cesse",
    "jusqu'\340 ce que le m\351lange \351paississe",
    "\340 couvert",
    "dans un plat beurr\351",
    "sans faire bouillir",
    "au four \340 180 \260C",
    "\340 la spatule",
    "d\351licatement",
    "puis salez et poivrez",
    "pendant une heure",
    "jusqu'\340 coloration dor\351e",
    "sur un feu vif",
    "avant de servir bien chaud",
};
const char* const kTips[] = {
    "Conseil : se pr\351pare la veille et se r\351chauffe tr\350s bien.",
    "Conseil : servez avec une salade verte \340 l'huile de noix.",
    "Variante : remplacez la cr\350me par du fromage blanc pour une version l\351g\350re.",
    "Conseil : un vin blanc sec de Loire l'accompagne \340 merveille.",
};

// Syllables of the made-up words of the cooks' notes. Search needs what real recipes have: a
// vocabulary of thousands of words, a few of them everywhere and most of them rare.
const char* const kOnsets[] = {"b", "br", "c", "ch", "cr", "d", "f", "fl", "g", "gr", "j",
                               "l", "m", "n", "p", "pl", "r", "s", "t", "tr", "v"};
const char* const kVowels[] = {"a", "e", "i", "o", "u", "ou", "ai", "\351", "\350", "eau", "an", "on"};
const char* const kCodas[] = {"", "", "", "l", "r", "s", "n", "t"};
constexpr uint32_t kLexiconWords = 4000;

template <typename T, size_t N>
constexpr uint32_t CountOf(const T (&)[N]) {
  return static_cast<uint32_t>(N);
}

// splitmix64: tiny, fast, and the same sequence everywhere.
uint64_t Mix(uint64_t a, uint64_t b) {
  uint64_t z = a + 0x9E3779B97F4A7C15ull * (b + 1);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

class Rng {
 public:
  explicit Rng(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    state_ += 0x9E3779B97F4A7C15ull;
    uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform in [0, n), n > 0.
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>(((Next() >> 32) * n) >> 32); }
  template <size_t N>
  const char* Pick(const char* const (&list)[N]) {
    return list[Below(static_cast<uint32_t>(N))];
  }

 private:
  uint64_t state_;
};

// Independent streams drawn from the one seed.
enum Stream : uint64_t { kTreeStream = 1, kSpreadStream, kShuffleStream, kRecipeStream };

// Word k of the lexicon: two or three syllables drawn from k alone.
std::string LexiconWord(uint32_t k) {
  Rng rng(Mix(0x5EA4C4, k));
  std::string w;
  const uint32_t syllables = 2 + rng.Below(2);
  for (uint32_t s = 0; s < syllables; ++s) {
    w += rng.Pick(kOnsets);
    w += rng.Pick(kVowels);
  }
  w += rng.Pick(kCodas);
  return w;
}

// The lexicon and, for drawing from it by Zipf's law (word k weighs 1 / (k + 1)), the running
// sums of the weights.
struct Lexicon {
  std::vector<std::string> words;
  std::vector<double> cumulative;
  Lexicon() {
    double sum = 0;
    for (uint32_t k = 0; k < kLexiconWords; ++k) {
      words.push_back(LexiconWord(k));
      sum += 1.0 / (k + 1);
      cumulative.push_back(sum);
    }
  }
  const std::string& Draw(Rng& rng) const {
    const double u = static_cast<double>(rng.Next() >> 11) / 9007199254740992.0 * cumulative.back();
    const size_t k = static_cast<size_t>(
        std::upper_bound(cumulative.begin(), cumulative.end(), u) - cumulative.begin());
    return words[k < words.size() ? k : words.size() - 1];
  }
};

const Lexicon& TheLexicon() {
  static const Lexicon lexicon;
  return lexicon;
}

void AppendNumber(std::string* out, uint64_t value) {
  char digits[24];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (n > 0) out->push_back(digits[--n]);
}

// Collects bytes in memory, or passes them on to a file in large blocks.
class Sink {
 public:
  explicit Sink(std::string* memory) : memory_(memory), file_(nullptr) { memory_->clear(); }
  explicit Sink(FILE* file) : memory_(nullptr), file_(file) {}

  std::string& Buffer() { return memory_ ? *memory_ : buffer_; }
  // Call after appending to Buffer(); hands a full buffer to the file.
  void Appended() {
    if (file_ && buffer_.size() >= kBlock) Drain();
  }
  uint64_t Size() const { return drained_ + (memory_ ? memory_->size() : buffer_.size()); }
  // False when any write failed.
  bool Finish() {
    if (file_) Drain();
    return !failed_;
  }

 private:
  static constexpr size_t kBlock = 1 << 20;
  void Drain() {
    if (!buffer_.empty() && !failed_ &&
        std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) {
      failed_ = true;
    }
    drained_ += buffer_.size();
    buffer_.clear();
  }

  std::string* memory_;
  FILE* file_;
  std::string buffer_;
  uint64_t drained_ = 0;
  bool failed_ = false;
};

struct Category {
  int32_t parent;  // -1: a child of the root
  uint32_t depth;  // 1 for a child of the root
  std::string path;
};

// A random tree of `count` categories at most `maxDepth` levels deep, in creation order
// (a parent always comes before its children). Sibling labels are unique.
std::vector<Category> MakeCategories(uint32_t count, uint32_t maxDepth, uint32_t firstLevel,
                                     Rng& rng) {
  std::vector<Category> cats;
  cats.reserve(count);
  std::set<std::pair<int32_t, std::string>> taken;
  std::vector<int32_t> canHoldChildren = {-1};  // the root, then every node not yet at maxDepth
  const uint32_t chain = count < maxDepth ? count : maxDepth;
  // The wide start comes after the branch's first node, which is under the root too.
  const uint32_t wideEnd = firstLevel > 0 ? chain + firstLevel - (chain > 0 ? 1 : 0) : 0;
  for (uint32_t i = 0; i < count; ++i) {
    // The first nodes form one branch of full depth, so deep paths always exist.
    const bool wide = i >= chain && i < wideEnd;
    const int32_t parent =
        i < chain ? static_cast<int32_t>(i) - 1
                  : wide ? -1
                         : canHoldChildren[rng.Below(static_cast<uint32_t>(canHoldChildren.size()))];
    std::string label;
    for (int attempt = 0; attempt < 4 && !wide; ++attempt) {
      label = rng.Pick(kCategoryNouns);
      if (rng.Below(3) != 0) {
        label += ' ';
        label += rng.Pick(kCategoryQualifiers);
      }
      if (taken.count({parent, label}) == 0) break;
      label.clear();
    }
    if (wide) {
      label = rng.Pick(kCategoryNouns);
      AppendNumber(&label, i + 1);
    } else if (label.empty()) {  // a crowded parent: the node's number keeps the label unique
      label = rng.Pick(kCategoryNouns);
      label += ' ';
      AppendNumber(&label, i + 1);
    }
    taken.insert({parent, label});
    Category c;
    c.parent = parent;
    c.depth = parent < 0 ? 1 : cats[parent].depth + 1;
    c.path = parent < 0 ? std::string() : cats[parent].path;
    c.path += '/';
    c.path += label;
    if (c.depth < maxDepth) canHoldChildren.push_back(static_cast<int32_t>(i));
    cats.push_back(std::move(c));
  }
  return cats;
}

// How many recipes each category receives: one for each category without children first (so
// that every category shows up in the index), the rest spread at random.
std::vector<uint32_t> SpreadRecipes(const std::vector<Category>& cats, uint32_t recipes, Rng& rng) {
  const uint32_t n = static_cast<uint32_t>(cats.size());
  std::vector<bool> hasChild(n, false);
  for (const Category& c : cats) {
    if (c.parent >= 0) hasChild[c.parent] = true;
  }
  std::vector<uint32_t> counts(n, 0);
  uint32_t left = recipes;
  for (uint32_t i = 0; i < n && left > 0; ++i) {
    if (!hasChild[i]) {
      counts[i] = 1;
      --left;
    }
  }
  for (; left > 0; --left) ++counts[rng.Below(n)];
  return counts;
}

void MakeTitle(Rng& rng, uint32_t number, std::string* out) {
  out->clear();
  *out += rng.Pick(kDishes);
  *out += ' ';
  *out += rng.Pick(kTitleIngredients);
  if (rng.Below(2) == 0) {
    *out += ' ';
    *out += rng.Pick(kTitleQualifiers);
  }
  *out += " n\260 ";
  AppendNumber(out, number);
}

void AppendLine(std::string* out, const char* text) {
  *out += text;
  *out += "\r\n";
}

// Title line, ingredients, method, sometimes a tip: a few hundred bytes.
void AppendRecipeText(Rng& rng, const std::string& title, std::string* out) {
  *out += title;
  *out += "\r\n\r\n";
  *out += "Ingr\351dients (pour ";
  AppendNumber(out, 2 + 2 * rng.Below(4));
  *out += " personnes) :\r\n";
  const uint32_t ingredients = 3 + rng.Below(6);
  for (uint32_t i = 0; i < ingredients; ++i) {
    const Measure& m = kIngredients[rng.Below(CountOf(kIngredients))];
    *out += "- ";
    AppendNumber(out, m.step * (1 + rng.Below(m.maxSteps)));
    *out += ' ';
    AppendLine(out, m.what);
  }
  *out += "- ";
  AppendLine(out, rng.Pick(kSeasonings));
  *out += "\r\nPr\351paration :\r\n";
  const uint32_t steps = 3 + rng.Below(6);
  for (uint32_t s = 1; s <= steps; ++s) {
    AppendNumber(out, s);
    *out += ". ";
    *out += rng.Pick(kVerbs);
    *out += ' ';
    *out += rng.Pick(kObjects);
    *out += ' ';
    const uint32_t n = CountOf(kComplements);
    const uint32_t first = rng.Below(n);
    *out += kComplements[first];
    if (rng.Below(3) == 0) {  // a second complement, never the first one again
      *out += ", ";
      *out += kComplements[(first + 1 + rng.Below(n - 1)) % n];
    }
    *out += ".\r\n";
  }
  if (rng.Below(4) == 0) {
    *out += "\r\n";
    AppendLine(out, rng.Pick(kTips));
  }
  // The cook's own words, drawn last so that everything above stays as it was.
  *out += "\r\nNotes : ";
  const uint32_t words = 5 + rng.Below(16);
  for (uint32_t i = 0; i < words; ++i) {
    if (i > 0) *out += ' ';
    *out += TheLexicon().Draw(rng);
  }
  *out += ".\r\n";
}

SyntheticStatus Generate(const SyntheticOptions& options, Sink& index, Sink& data,
                         SyntheticSummary* summary) {
  if (SyntheticOptionsProblem(options)) return SyntheticStatus::BadOptions;

  Rng treeRng(Mix(options.seed, kTreeStream));
  const std::vector<Category> cats =
      MakeCategories(options.categories, options.maxDepth, options.firstLevel, treeRng);
  Rng spreadRng(Mix(options.seed, kSpreadStream));
  const std::vector<uint32_t> counts = SpreadRecipes(cats, options.recipes, spreadRng);

  // The recipe base holds the recipes grouped by category, in the categories' creation order;
  // recipe k (number k + 1) is the k-th slice. Slices are back to back, so slice k ends where
  // slice k + 1 starts.
  const uint32_t n = options.recipes;
  std::vector<uint32_t> categoryOf(n);
  std::vector<uint32_t> ends(n);
  const uint64_t recipeSeed = Mix(options.seed, kRecipeStream);
  std::string title;
  std::string& dat = data.Buffer();
  uint32_t longest = 0;
  uint32_t k = 0;
  for (uint32_t c = 0; c < counts.size(); ++c) {
    for (uint32_t j = 0; j < counts[c]; ++j, ++k) {
      categoryOf[k] = c;
      Rng rng(Mix(recipeSeed, k));
      MakeTitle(rng, k + 1, &title);
      const uint64_t start = data.Size();
      const size_t before = dat.size();
      AppendRecipeText(rng, title, &dat);
      const uint64_t end = start + (dat.size() - before);
      if (end > UINT32_MAX) return SyntheticStatus::TooLarge;
      ends[k] = static_cast<uint32_t>(end);
      if (end - start > longest) longest = static_cast<uint32_t>(end - start);
      data.Appended();
    }
  }

  std::vector<uint32_t> order(n);
  for (uint32_t i = 0; i < n; ++i) order[i] = i;
  if (options.order == SyntheticOrder::Shuffled) {
    Rng shuffleRng(Mix(options.seed, kShuffleStream));
    for (uint32_t i = n; i > 1; --i) std::swap(order[i - 1], order[shuffleRng.Below(i)]);
  }

  std::string& idx = index.Buffer();
  for (uint32_t r : order) {
    Rng rng(Mix(recipeSeed, r));
    MakeTitle(rng, r + 1, &title);  // the same draws as for the text: the same title
    AppendNumber(&idx, r + 1);
    idx += '\t';
    idx += title;
    idx += "\t0\t";
    AppendNumber(&idx, r == 0 ? 0 : ends[r - 1]);
    idx += '\t';
    AppendNumber(&idx, ends[r]);
    idx += '\t';
    idx += cats[categoryOf[r]].path;
    idx += '\t';
    idx += kDataFileName;
    idx += "\t0\r\n";
    index.Appended();
  }

  if (summary) {
    std::vector<bool> used(cats.size(), false);
    for (uint32_t c = 0; c < counts.size(); ++c) {
      for (int32_t p = counts[c] ? static_cast<int32_t>(c) : -1; p >= 0 && !used[p];
           p = cats[p].parent) {
        used[p] = true;
      }
    }
    *summary = SyntheticSummary();
    for (uint32_t c = 0; c < cats.size(); ++c) {
      if (!used[c]) continue;
      ++summary->categories;
      if (cats[c].depth > summary->deepest) summary->deepest = cats[c].depth;
    }
    summary->recipes = n;
    summary->indexBytes = index.Size();
    summary->dataBytes = data.Size();
    summary->longestText = longest;
  }
  return SyntheticStatus::Ok;
}

std::string InFolder(const char* folder, const char* name) {
  std::string path = folder;
  if (!path.empty() && path.back() != '/' && path.back() != '\\') path += '/';
  return path + name;
}

}  // namespace

const char* SyntheticOptionsProblem(const SyntheticOptions& options) {
  if (options.maxDepth < 1 || options.maxDepth > kSyntheticMaxDepth) {
    return "the depth must be between 1 and 8";
  }
  if (options.categories < 1 || options.categories > kSyntheticMaxCategories) {
    return "the number of categories must be between 1 and 1000000";
  }
  if (options.firstLevel > options.categories) {
    return "the first-level categories cannot outnumber the categories";
  }
  return nullptr;
}

SyntheticStatus GenerateSyntheticCatalogue(const SyntheticOptions& options, std::string* index,
                                           std::string* data, SyntheticSummary* summary) {
  Sink indexSink(index);
  Sink dataSink(data);
  return Generate(options, indexSink, dataSink, summary);
}

SyntheticStatus WriteSyntheticCatalogue(const SyntheticOptions& options, const char* folder,
                                        SyntheticSummary* summary) {
  if (SyntheticOptionsProblem(options)) return SyntheticStatus::BadOptions;
  // Binary streams: the CR LF pairs are already in the bytes.
  FILE* idx = std::fopen(InFolder(folder, kIndexName).c_str(), "wb");
  if (!idx) return SyntheticStatus::CannotWrite;
  FILE* dat = std::fopen(InFolder(folder, kDataFileName).c_str(), "wb");
  if (!dat) {
    std::fclose(idx);
    return SyntheticStatus::CannotWrite;
  }
  Sink indexSink(idx);
  Sink dataSink(dat);
  SyntheticStatus status = Generate(options, indexSink, dataSink, summary);
  const bool written = indexSink.Finish() && dataSink.Finish();
  bool closed = std::fclose(idx) == 0;
  closed = std::fclose(dat) == 0 && closed;
  if (status == SyntheticStatus::Ok && !(written && closed)) status = SyntheticStatus::CannotWrite;
  return status;
}

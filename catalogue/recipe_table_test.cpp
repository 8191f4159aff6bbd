// The index file read and written on real files, one temp folder per test.
#include "catalogue/recipe_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "categories/label_order.h"
#include "platform/fileio.h"
#include "platform/temp_folder_test.h"

namespace {

using namespace testfiles;

// One line as the writer prints it.
std::string Line(const std::string& id, const std::string& title, const std::string& path,
                 const std::string& file = "Gourmix.Dat", const std::string& extraSigned = "0",
                 const std::string& start = "10", const std::string& end = "20",
                 const std::string& extraUnsigned = "0") {
  return id + "\t" + title + "\t" + extraUnsigned + "\t" + start + "\t" + end + "\t" + path +
         "\t" + file + "\t" + extraSigned + "\r\n";
}

const RecipeEntry* FindId(uint32_t id) {
  for (uint32_t i = 0; i < RecipeCount(); ++i) {
    if (RecipeEntries()[i].recipeId == id) return &RecipeEntries()[i];
  }
  return nullptr;
}

std::vector<std::string> Titles() {
  std::vector<std::string> t;
  for (uint32_t i = 0; i < RecipeCount(); ++i) t.push_back(RecipeEntries()[i].title);
  return t;
}

// A tree control that refuses to hold more than `room` nodes, as one out of memory would.
class FullView : public CategoryTreeView {
 public:
  explicit FullView(int room) : room_(room) {}
  bool OnInsert(CategoryNode, CategoryNode, CategoryNode, bool) override { return room_-- > 0; }
  void OnDelete(CategoryNode) override {}
  void OnClear() override {}
  void OnSetLabel(CategoryNode) override {}
  void OnSelect(CategoryNode) override {}

 private:
  int room_;
};

class RecipeTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.Enter());
    fileio::fault::ResetCount();
    SetGaugeBackend(nullptr);
    SetGaugeRange(0);
  }
  void TearDown() override {
    ReleaseCatalogue();
    fileio::fault::ResetCount();
  }
  // Loads `index` into a fresh tree.
  uint32_t Load(const std::string& index) {
    ReleaseCatalogue();
    tree_.reset(new CategoryTree);
    Put(kIndexFileName, index);
    return LoadIndex(*tree_);
  }
  TempFolder folder_{"recipe_table_test"};
  std::unique_ptr<CategoryTree> tree_{new CategoryTree};
};

TEST_F(RecipeTableTest, LinesNeedEightFieldsAndRunsOfTabsAreOneSeparator) {
  std::string index =
      "# a comment\r\n"
      "! another\r\n"
      "\r\n"
      "\n" +
      Line("1", "Eight", "/D") +
      "2\tSeven\t0\t10\t20\t/D\tGourmix.Dat\r\n"       // one column short
      "3\tSevenAndTab\t0\t10\t20\t/D\tGourmix.Dat\t\n"  // the line feed is the 8th field
      "4\t\t0\t10\t20\t/D\tGourmix.Dat\t7\r\n"  // empty title: 7 fields
      "5\t\tShifted\t9\t11\t21\t31\t/E\tGourmix.Dat\r\n"     // shifted onto 8
      "\t\t6\tLeadingTabs\t0\t10\t20\t/D\tGourmix.Dat\t6\n"
      "7\tLast\t0\t10\t20\t/D\tGourmix.Dat\t-7";  // no line end at all
  ASSERT_EQ(Load(index), 5u);
  EXPECT_EQ(Titles(), (std::vector<std::string>{"Eight", "Last", "LeadingTabs", "SevenAndTab",
                                                "Shifted"}));
  EXPECT_EQ(FindId(3)->extraSigned, 0);
  EXPECT_EQ(FindId(6)->extraSigned, 6);
  EXPECT_EQ(FindId(7)->extraSigned, -7);
  const RecipeEntry* shifted = FindId(5);
  EXPECT_EQ(shifted->extraUnsigned, 9u);
  EXPECT_EQ(shifted->textStart, 11u);
  EXPECT_EQ(shifted->textEnd, 21u);
  EXPECT_STREQ(PathOfCategory(*tree_, shifted->category), "/31");
  EXPECT_STREQ(shifted->dataFile, "/E");
  EXPECT_EQ(shifted->extraSigned, 0);  // "Gourmix.Dat" read as a number
  EXPECT_EQ(FindId(2), nullptr);
  EXPECT_EQ(FindId(4), nullptr);
}

TEST_F(RecipeTableTest, ColumnsAreFoundWhereverTheSeparatorsFallInTheLine) {
  // Titles of 1 to 40 bytes put each TAB and line end of the line at every place of the blocks
  // the reader looks at; the same line follows with a NUL after its last column (left out),
  // with a run of TABs and extra columns (kept), and the index ends without a line end.
  std::string index;
  uint32_t expected = 0;
  for (int len = 1; len <= 40; ++len) {
    const std::string title(static_cast<size_t>(len), static_cast<char>('a' + len % 26));
    const std::string id = std::to_string(len);
    index += Line(id, title, "/D", "Gourmix.Dat", "-" + id, id, "9" + id);
    index += id + "\t" + title + "\t0\t1\t2\t/D\tGourmix.Dat\t5" + std::string(1, '\0') + "\r\n";
    index += std::to_string(1000 + len) + "\t\t\t" + title + "\t0\t1\t2\t/E\t\tAutre.Dat\t\t\t7\t8\t9\n";
    expected += 2;
  }
  index += "99\tDernier\t0\t1\t2\t/D\tGourmix.Dat\t3";
  ASSERT_EQ(Load(index), expected + 1);
  for (int len = 1; len <= 40; ++len) {
    const std::string title(static_cast<size_t>(len), static_cast<char>('a' + len % 26));
    const RecipeEntry* e = FindId(static_cast<uint32_t>(len));
    ASSERT_NE(e, nullptr) << len;
    EXPECT_EQ(e->title, title);
    EXPECT_EQ(e->extraSigned, -len);
    EXPECT_EQ(e->textStart, static_cast<uint32_t>(len));
    EXPECT_EQ(e->textEnd, std::stoul("9" + std::to_string(len)));
    EXPECT_STREQ(PathOfCategory(*tree_, e->category), "/D");
    const RecipeEntry* more = FindId(static_cast<uint32_t>(1000 + len));
    ASSERT_NE(more, nullptr) << len;
    EXPECT_EQ(more->title, title);
    EXPECT_STREQ(more->dataFile, "Autre.Dat");
    EXPECT_EQ(more->extraSigned, 7);
    EXPECT_STREQ(PathOfCategory(*tree_, more->category), "/E");
  }
  EXPECT_EQ(FindId(99)->extraSigned, 3);
}

TEST_F(RecipeTableTest, TextColumnsAreTrimmedAndTheSharedBaseNameIsOneConstant) {
  ASSERT_EQ(Load("  12\t  Tarte aux pommes  \t 3 \t 10 \t 20 \t  /Desserts  \t Autre.Dat \t -4 \r\n" +
                 Line("1", "A", "/D", "GOURMIX.DAT") + Line("2", "B", "/D", "gourmix.dat") +
                 Line("3", "C", "/D", "Gourmix.Dat2")),
            4u);
  const RecipeEntry& e = *FindId(12);
  EXPECT_STREQ(e.title, "Tarte aux pommes");
  EXPECT_EQ(e.extraUnsigned, 3u);
  EXPECT_STREQ(PathOfCategory(*tree_, e.category), "/Desserts");
  EXPECT_STREQ(e.dataFile, "Autre.Dat");
  EXPECT_EQ(e.extraSigned, -4);
  EXPECT_EQ(FindId(1)->dataFile, kSharedDataFile);
  EXPECT_EQ(FindId(2)->dataFile, kSharedDataFile);
  EXPECT_NE(FindId(3)->dataFile, kSharedDataFile);
  ASSERT_EQ(SaveIndex(*tree_, nullptr), 1);
  EXPECT_EQ(Slurp(kIndexFileName), Line("1", "A", "/D") + Line("2", "B", "/D") +
                                       Line("3", "C", "/D", "Gourmix.Dat2") +
                                       Line("12", "Tarte aux pommes", "/Desserts", "Autre.Dat",
                                            "-4", "10", "20", "3"));
}

TEST_F(RecipeTableTest, NumbersReadAsTheirColumnsTypeAndGoBackAsWritten) {
  struct Case {
    const char* text;
    uint32_t asUnsigned;
    int32_t asSigned;
    const char* unsignedOut;
    const char* signedOut;
  } cases[] = {
      {"-1", 4294967295u, -1, "4294967295", "-1"},
      {"4294967295", 4294967295u, 2147483647, "4294967295", "2147483647"},
      {"99999999999", 4294967295u, 2147483647, "4294967295", "2147483647"},
      {"-99999999999", 4294967295u, INT32_MIN, "4294967295", "-2147483648"},
      {"-2147483648", 2147483648u, INT32_MIN, "2147483648", "-2147483648"},
      {"+12abc", 12u, 12, "12", "12"},
      {"abc", 0u, 0, "0", "0"},
      {"-", 0u, 0, "0", "0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    ASSERT_EQ(Load(Line(c.text, "T", "/D", "Gourmix.Dat", c.text, c.text, c.text, c.text)), 1u);
    const RecipeEntry& e = RecipeEntries()[0];
    EXPECT_EQ(e.recipeId, c.asUnsigned);
    EXPECT_EQ(e.extraUnsigned, c.asUnsigned);
    EXPECT_EQ(e.textStart, c.asUnsigned);
    EXPECT_EQ(e.textEnd, c.asUnsigned);
    EXPECT_EQ(e.extraSigned, c.asSigned);
    ASSERT_EQ(SaveIndex(*tree_, nullptr), 1);
    const std::string u = c.unsignedOut;
    EXPECT_EQ(Slurp(kIndexFileName), Line(u, "T", "/D", "Gourmix.Dat", c.signedOut, u, u, u));
  }
}

TEST_F(RecipeTableTest, StorageGrowsTenEntriesAtATimeAndNoEntryLeavesNone) {
  EXPECT_EQ(LoadIndex(*tree_), 0u);  // no file
  EXPECT_EQ(Load("# only comments\r\n!\r\n\r\n\n"), 0u);
  EXPECT_EQ(RecipeEntries(), nullptr);
  EXPECT_EQ(RecipeCapacity(), 0u);
  std::string ten;
  for (int i = 0; i < 10; ++i) ten += Line(std::to_string(i), "R", "/D");
  ASSERT_EQ(Load(ten), 10u);
  EXPECT_EQ(RecipeCapacity(), 10u);
  ASSERT_EQ(Load(ten + Line("10", "R", "/D")), 11u);
  EXPECT_EQ(RecipeCapacity(), 20u);
}

TEST_F(RecipeTableTest, TitlesSortAlphabeticallyAndTheIndexKeepsByteOrder) {
  // Lines in file order; two "Tarte Tatin" that keep it among themselves.
  const std::string index =
      Line("1", "Tarte Tatin", "/D") + Line("2", "\x8C" "ufs en meurette", "/D") +
      Line("3", "Cr\xEApes", "/D") + Line("4", "\xCEle flottante", "/D") +
      Line("5", "C\xE9leri r\xE9moulade", "/D") + Line("6", "Tarte au citron", "/D") +
      Line("7", "abc", "/D") + Line("8", "Abc", "/D") + Line("9", "Tarte Tatin", "/D") +
      Line("10", "B\x9C" "uf", "/D") + Line("11", "Boeuf", "/D");
  ASSERT_EQ(Load(index), 11u);
  EXPECT_EQ(Titles(), (std::vector<std::string>{"abc", "Abc", "Boeuf", "B\x9C" "uf",
                                                 "C\xE9leri r\xE9moulade", "Cr\xEApes",
                                                 "\xCEle flottante", "\x8C" "ufs en meurette",
                                                 "Tarte au citron", "Tarte Tatin", "Tarte Tatin"}));
  EXPECT_EQ(RecipeEntries()[9].recipeId, 1u);
  EXPECT_EQ(RecipeEntries()[10].recipeId, 9u);

  // A save writes each category's titles in byte order, as it always did.
  ASSERT_EQ(SaveIndex(*tree_, nullptr), 1);
  EXPECT_EQ(Slurp(kIndexFileName),
            Line("8", "Abc", "/D") + Line("11", "Boeuf", "/D") + Line("10", "B\x9C" "uf", "/D") +
                Line("3", "Cr\xEApes", "/D") + Line("5", "C\xE9leri r\xE9moulade", "/D") +
                Line("1", "Tarte Tatin", "/D") + Line("9", "Tarte Tatin", "/D") +
                Line("6", "Tarte au citron", "/D") + Line("7", "abc", "/D") +
                Line("2", "\x8C" "ufs en meurette", "/D") + Line("4", "\xCEle flottante", "/D"));
}

TEST_F(RecipeTableTest, ManyTitlesSortAsOnePlainSortWouldSortThem) {
  // Enough titles, sharing long beginnings and differing in accents, case, hyphens and
  // ligatures only, for the sort to go many bytes deep; repeated titles keep file order.
  const char* const starts[] = {"Tarte ", "tarte ", "T\xE2rte ", "Tarte-", "TARTE "};
  const char* const middles[] = {"aux pommes ", "aux p\xF4mmes ", "au citron ", "\xE0 l'oignon ",
                                 "aux oeufs ", "aux \x9C\x75\x66s ", "Tatin "};
  const char* const ends[] = {"", "n\xB0 1", "N\xB0 1", "n\xB0 2", "fondante", "fondant\xE9"};
  std::string index;
  std::vector<std::pair<std::string, uint32_t>> lines;
  uint32_t id = 0;
  for (int round = 0; round < 2; ++round)
    for (const char* s : starts)
      for (const char* m : middles)
        for (const char* e : ends) {
          std::string title = std::string(s) + m + e;
          if (title.back() == ' ') title.pop_back();  // the reader trims it
          index += Line(std::to_string(++id), title, "/D");
          lines.emplace_back(title, id);
        }
  ASSERT_EQ(Load(index), id);
  std::stable_sort(lines.begin(), lines.end(), [](const auto& a, const auto& b) {
    return CompareTitles(a.first.c_str(), b.first.c_str()) < 0;
  });
  for (uint32_t i = 0; i < id; ++i) {
    ASSERT_EQ(RecipeEntries()[i].title, lines[i].first) << i;
    ASSERT_EQ(RecipeEntries()[i].recipeId, lines[i].second) << i;
  }
}

TEST_F(RecipeTableTest, TitlesSharingLongBeginningsSortAsOnePlainSortWouldSortThem) {
  // Groups of titles that share 0 to 60 letters and then end, or differ, on either side of
  // every place where the sort takes the next few letters it holds, ligatures across those
  // places, equal folded titles and equal titles: in the order of a plain stable sort.
  std::mt19937 random(12345);
  const char* const letters[] = {"a", "b", "e", "\xE9", "E", "o", "\x9C", "oe", "-", "'", " ", "z"};
  std::string index;
  std::vector<std::pair<std::string, uint32_t>> lines;
  uint32_t id = 0;
  for (size_t shared = 0; shared <= 60; shared += 3) {
    std::string beginning;
    while (beginning.size() < shared) beginning += letters[random() % 6];
    for (int i = 0; i < 40; ++i) {
      std::string title = beginning;
      const size_t more = random() % 20;
      for (size_t k = 0; k < more; ++k) title += letters[random() % (sizeof letters / sizeof *letters)];
      while (!title.empty() && title.back() == ' ') title.pop_back();  // the reader trims them
      if (title.empty() || title[0] == ' ') title.insert(0, "x");
      for (int copies = i % 7 == 0 ? 2 : 1; copies > 0; --copies) {
        index += Line(std::to_string(++id), title, "/D");
        lines.emplace_back(title, id);
      }
    }
  }
  std::shuffle(lines.begin(), lines.end(), random);
  index.clear();
  for (const auto& line : lines) index += Line(std::to_string(line.second), line.first, "/D");
  std::stable_sort(lines.begin(), lines.end(), [](const auto& a, const auto& b) {
    return CompareTitles(a.first.c_str(), b.first.c_str()) < 0;
  });
  ASSERT_EQ(Load(index), id);
  for (uint32_t i = 0; i < id; ++i) {
    ASSERT_EQ(RecipeEntries()[i].title, lines[i].first) << i;
    ASSERT_EQ(RecipeEntries()[i].recipeId, lines[i].second) << i;
  }
}

TEST_F(RecipeTableTest, SavedIndexLoadsBackAndSavesToTheSameBytes) {
  // Root recipes first, then the categories from the root down, titles in order inside each.
  std::string canonical =
      Line("7", "A la racine", "/") +
      Line("1", "Cake", "/Desserts", "Gourmix.Dat", "-1", "0", "4294967295", "4294967295") +
      Line("2", "Tarte", "/Desserts") + Line("3", "Tarte", "/Desserts") +
      Line("4", "Flan", "/Desserts/Cr\xE8mes", "Autre.Dat", "2147483647") +
      Line("5", "Soupe", "/Entr\xE9\x65s", "Gourmix.Dat", "-2147483648") +
      Line("6", std::string(700, 'x'), "/Entr\xE9\x65s/Froides");  // read whole, not cut at 511
  ASSERT_EQ(Load(canonical), 7u);
  EXPECT_EQ(std::string(FindId(6)->title), std::string(700, 'x'));
  size_t nodes = tree_->NodeCount();
  EXPECT_EQ(FindId(7)->category, tree_->Root());
  ASSERT_EQ(SaveIndex(*tree_, nullptr), 1);
  EXPECT_EQ(Slurp(kIndexFileName), canonical);

  // The root's recipes stay at the root load after load: no category named like the root.
  ASSERT_EQ(Load(Slurp(kIndexFileName)), 7u);
  EXPECT_EQ(tree_->NodeCount(), nodes);
  EXPECT_EQ(FindId(7)->category, tree_->Root());
  ASSERT_EQ(SaveIndex(*tree_, nullptr), 1);
  EXPECT_EQ(Slurp(kIndexFileName), canonical);
}

TEST_F(RecipeTableTest, SaveGroupsByCategoryInTreeOrderAndKeepsTheOldIndexAsBackup) {
  std::string old = "# ma liste\n" + Line("1", "Zeste", "/B") + Line("2", "Abricot", "/A/Z") +
                    "trop\tcourte\n" + Line("3", "Miel", "/A") + Line("4", "Brioche", "/B");
  ASSERT_EQ(Load(old), 4u);
  ASSERT_EQ(SaveIndex(*tree_, nullptr), 1);
  EXPECT_EQ(Slurp(kIndexFileName), Line("3", "Miel", "/A") + Line("2", "Abricot", "/A/Z") +
                                       Line("4", "Brioche", "/B") + Line("1", "Zeste", "/B"));
  EXPECT_EQ(Slurp(kIndexBackupName), old);
  EXPECT_EQ(FilesHere(), (std::set<std::string>{kIndexFileName, kIndexBackupName, kIndexLockName}));

  // An empty table makes an empty file; a first save, with no index yet, makes no backup.
  ReleaseCatalogue();
  ASSERT_EQ(unlink(kIndexFileName), 0);
  ASSERT_EQ(unlink(kIndexBackupName), 0);
  ASSERT_EQ(SaveIndex(*tree_, nullptr), 1);
  EXPECT_EQ(Slurp(kIndexFileName), "");
  EXPECT_EQ(FilesHere(), (std::set<std::string>{kIndexFileName, kIndexLockName}));
}

TEST_F(RecipeTableTest, EmptyTitleOrFileNameIsWrittenSoTheRecipeComesBack) {
  // Titles of spaces trim to nothing; an empty column would shift the line on the next load.
  ASSERT_EQ(Load("1\t   \t0\t10\t20\t/D\t \t0\r\n"), 1u);
  EXPECT_STREQ(RecipeEntries()[0].title, "");
  ASSERT_EQ(SaveIndex(*tree_, nullptr), 1);
  ASSERT_EQ(Load(Slurp(kIndexFileName)), 1u);
  EXPECT_STREQ(RecipeEntries()[0].title, "");
  EXPECT_STREQ(RecipeEntries()[0].dataFile, "");
  EXPECT_STREQ(PathOfCategory(*tree_, RecipeEntries()[0].category), "/D");
}

TEST_F(RecipeTableTest, EntriesKeepTheirAddressesAndRecipesThroughASave) {
  std::string index;
  // Many equal titles spread over categories: any move of entries would show.
  for (int i = 0; i < 60; ++i) {
    index += Line(std::to_string(100 + i), i % 3 ? "Tarte" : "Gratin",
                  "/C" + std::to_string((i * 7) % 5));
  }
  ASSERT_EQ(Load(index), 60u);
  struct Seen {
    const RecipeEntry* at;
    uint32_t id;
    CategoryNode category;
  };
  std::vector<Seen> before;
  for (uint32_t i = 0; i < RecipeCount(); ++i) {
    before.push_back({&RecipeEntries()[i], RecipeEntries()[i].recipeId, RecipeEntries()[i].category});
  }
  // The editor re-files in place between loads and saves.
  RecipeEntries()[5].category = tree_->Root();
  before[5].category = tree_->Root();
  ASSERT_EQ(SaveIndex(*tree_, nullptr), 1);
  ASSERT_EQ(RecipeCount(), before.size());
  for (uint32_t i = 0; i < RecipeCount(); ++i) {
    EXPECT_EQ(&RecipeEntries()[i], before[i].at);
    EXPECT_EQ(RecipeEntries()[i].recipeId, before[i].id) << i;
    EXPECT_EQ(RecipeEntries()[i].category, before[i].category) << i;
  }
}

TEST_F(RecipeTableTest, LoadFollowsTheFileWithTheGauge) {
  static std::vector<int32_t> painted;
  painted.clear();
  static const GaugeBackend recorder = {
      [](WindowRef) { return true; }, [](const char*) {},
      [](int32_t p) { painted.push_back(p); }, [] {}};
  SetGaugeBackend(&recorder);
  std::string index;
  for (int i = 0; i < 200; ++i) index += Line(std::to_string(i), "R", "/D");
  index += "# trailing comment\r\n";
  Put(kIndexFileName, index);
  SetGaugeRange(static_cast<int32_t>(index.size()));
  OpenGauge(nullptr, 0);
  ASSERT_EQ(LoadIndex(*tree_), 200u);
  CloseGauge();
  SetGaugeBackend(nullptr);
  // Byte offsets after each stored line: the last recipe ends 20 bytes before the file does.
  ASSERT_FALSE(painted.empty());
  EXPECT_EQ(painted.back(), static_cast<int32_t>((index.size() - 20) * 100 / index.size()));
  EXPECT_EQ(painted.size(), static_cast<size_t>(painted.back()));
}

TEST_F(RecipeTableTest, EveryFailedSaveLeavesTheIndexAsItWas) {
  std::string loaded;
  // Over 64 KiB, so the new index is written in more than one block.
  for (int i = 0; i < 2500; ++i) {
    loaded += Line(std::to_string(i), "Recette " + std::to_string(i), "/C" + std::to_string(i % 7),
                   "Autre.Dat");
  }
  ASSERT_EQ(Load(loaded), 2500u);
  ASSERT_EQ(SaveIndex(*tree_, nullptr), 1);
  const std::string expected = Slurp(kIndexFileName);
  ASSERT_GT(expected.size(), 65536u);

  const std::string old = "# commentaire\n" + Line("9", "Vieux", "/V");
  const std::string previousBackup = "sauvegarde d'avant";
  long failures = 0;
  for (long i = 1;; ++i) {
    SCOPED_TRACE(i);
    Put(kIndexFileName, old);
    Put(kIndexBackupName, previousBackup);
    fileio::fault::Arm(i);
    int r = SaveIndex(*tree_, nullptr);
    bool fired = fileio::fault::Fired();
    fileio::fault::Disarm();
    // Whatever failed, the index is whole, old or new, and the result says which.
    if (r == 1) {
      EXPECT_EQ(Slurp(kIndexFileName), expected);
      EXPECT_EQ(Slurp(kIndexBackupName), old);
    } else {
      ++failures;
      EXPECT_EQ(Slurp(kIndexFileName), old);
      std::string backup = Slurp(kIndexBackupName);
      EXPECT_TRUE(backup == previousBackup || backup == old);
    }
    EXPECT_EQ(FilesHere(), (std::set<std::string>{kIndexFileName, kIndexBackupName, kIndexLockName}));
    if (!fired) {
      EXPECT_EQ(r, 1);
      break;
    }
    ASSERT_LT(i, 100);
  }
  // Allocations, opens, both blocks, flushes, closes, the copy and both replaces.
  EXPECT_GE(failures, 16);
}

TEST_F(RecipeTableTest, FailedAllocationsDuringALoadLeaveTheTableEmpty) {
  std::string index;
  for (int i = 0; i < 25; ++i) {
    index += Line(std::to_string(i), "R" + std::to_string(i), "/C" + std::to_string(i % 4),
                  i % 2 ? "Gourmix.Dat" : "Autre.Dat");
  }
  Put(kIndexFileName, index);
  long failures = 0;
  for (long i = 1;; ++i) {
    SCOPED_TRACE(i);
    CategoryTree tree;
    fileio::fault::Arm(i);
    uint32_t n = LoadIndex(tree);
    bool fired = fileio::fault::Fired();
    fileio::fault::Disarm();
    if (n == 0) {
      ++failures;
      EXPECT_EQ(RecipeCount(), 0u);
      EXPECT_EQ(RecipeEntries(), nullptr);
    } else {
      EXPECT_EQ(n, 25u);
      EXPECT_EQ(RecipeCount(), 25u);
    }
    ReleaseCatalogue();
    if (!fired) {
      EXPECT_EQ(n, 25u);
      break;
    }
    ASSERT_LT(i, 1000);
  }
  // The reading of the file (6), every growth (3), the text block, the root and four categories.
  EXPECT_GE(failures, 6 + 3 + 1 + 5);
}

TEST_F(RecipeTableTest, ACategoryThatCannotBeMadeStopsTheLoad) {
  FullView view(3);  // the root and two categories
  tree_->SetView(&view);
  Put(kIndexFileName, Line("1", "A", "/Un") + Line("2", "B", "/Deux") + Line("3", "C", "/Trois") +
                          Line("4", "D", "/Un"));
  EXPECT_EQ(LoadIndex(*tree_), 0u);
  EXPECT_EQ(RecipeCount(), 0u);
  EXPECT_EQ(RecipeEntries(), nullptr);
  tree_->SetView(nullptr);
}

}  // namespace

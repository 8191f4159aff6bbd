// saucelins-cli end to end: every command run through RunCli on a copy of the sample catalogue
// and on damaged copies, checking what it prints, what it leaves on disk and its exit status.
#include "cli/cli.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app/cp1252.h"
#include "categories/label_order.h"
#include "platform/temp_folder_test.h"
#include "saucelins_version.h"

namespace fs = std::filesystem;

namespace {

using testfiles::Put;
using testfiles::Slurp;

// The sample catalogue sits beside this file's folder.
fs::path SampleFolder() { return fs::path(__FILE__).parent_path().parent_path() / "sample"; }

std::string ReadBack(FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string s;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
  std::fclose(f);
  return s;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}
bool HasLine(const std::string& text, const std::string& line) { return Has("\n" + text, "\n" + line + "\n"); }

struct Result {
  int code;
  std::string out;
  std::string err;
};

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(folder_.Path().empty());
    for (const char* name : {"Gourmix.Idx", "Gourmix.Dat", "Desserts.Dat"}) {
      fs::copy_file(SampleFolder() / name, dir_ / name);
    }
    index_ = Slurp(dir_ / "Gourmix.Idx");
  }

  // saucelins-cli -C <folder> args..., with `input` on standard input.
  Result Run(std::vector<std::string> args, const std::string& input = "", bool inFolder = true) {
    if (inFolder) args.insert(args.begin(), {"-C", dir_.string()});
    args.insert(args.begin(), "saucelins-cli");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    FILE* out = std::tmpfile();
    FILE* err = std::tmpfile();
    FILE* in = std::tmpfile();
    std::fwrite(input.data(), 1, input.size(), in);
    std::rewind(in);
    const fs::path before = fs::current_path();
    Result r;
    r.code = RunCli(static_cast<int>(args.size()), argv.data(), out, err, in);
    EXPECT_EQ(fs::current_path(), before);  // -C lasts for one run only
    std::fclose(in);
    r.out = ReadBack(out);
    r.err = ReadBack(err);
    return r;
  }
  std::string Slice(const char* file, size_t from, size_t to) {
    return Slurp(dir_ / file).substr(from, to - from);
  }
  std::vector<std::string> FilesHere() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) {
      names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  testfiles::TempFolder folder_{"cli_test"};
  const fs::path dir_ = folder_.Path();
  std::string index_;
};

// ---- browsing ----

TEST_F(CliTest, ListGivesEveryRecipeInTitleOrderWithItsCategoryAsTheHistoryShowsIt) {
  Result r = Run({"list"});
  ASSERT_EQ(r.code, kCliOk) << r.err;
  EXPECT_EQ(r.err, "");
  std::vector<std::string> lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 57u);
  std::vector<std::string> titles;
  for (const std::string& l : lines) {
    size_t a = l.find('\t'), b = l.find('\t', a + 1);
    ASSERT_NE(b, std::string::npos) << l;
    EXPECT_EQ(l.find('\t', b + 1), std::string::npos) << l;
    titles.push_back(l.substr(a + 1, b - a - 1));
  }
  // The recipe list's order: alphabetical, accents and case aside.
  EXPECT_TRUE(std::is_sorted(titles.begin(), titles.end(), [](const std::string& a, const std::string& b) {
    return CompareTitles(a.c_str(), b.c_str()) < 0;
  }));
  EXPECT_LT(std::find(titles.begin(), titles.end(), "C\xE9leri r\xE9moulade"),
            std::find(titles.begin(), titles.end(), "Cr\xEApes de la Chandeleur"));
  // The last one is filed at the root: the history shows the root's label.
  for (const char* line : {"1046\t\xCE" "le flottante\t/Desserts/Cr\xE8mes",
                           "1013\tB\x9Cuf bourguignon\t/Plats/Viandes/B\x9Cuf",
                           "1056\tCroque-monsieur\tToutes les recettes"})
    EXPECT_TRUE(HasLine(r.out, line)) << line;

  Result u = Run({"--utf8", "list"});
  ASSERT_EQ(u.code, kCliOk);
  EXPECT_EQ(u.out, Cp1252ToUtf8(r.out));
  EXPECT_TRUE(Has(u.out, "1013\tB\xC5\x93uf bourguignon\t/Plats/Viandes/B\xC5\x93uf\n"));
}

TEST_F(CliTest, TreeShowsTheRootFirstAndEachLevelIndentedWithTheRecipesFiledThere) {
  Result r = Run({"tree", "--counts"});
  ASSERT_EQ(r.code, kCliOk) << r.err;
  std::vector<std::string> lines = Lines(r.out);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "Toutes les recettes\t3");
  unsigned total = 0;
  size_t soupes = 0, entrees = 0, plats = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& l = lines[i];
    total += std::stoul(l.substr(l.rfind('\t') + 1));
    if (l == "  Entr\xE9" "es\t0") entrees = i;
    if (l == "    Soupes\t4") soupes = i;
    if (l == "  Plats\t0") plats = i;
  }
  EXPECT_EQ(total, 57u);
  ASSERT_NE(entrees, 0u);
  EXPECT_GT(soupes, entrees);  // a child follows its parent, before the parent's next sibling
  EXPECT_GT(plats, soupes);
  EXPECT_TRUE(HasLine(r.out, "      B\x9Cuf\t4"));
  EXPECT_TRUE(HasLine(r.out, "      Coquillages\t2"));

  Result plain = Run({"tree"});
  ASSERT_EQ(plain.code, kCliOk);
  std::vector<std::string> names = Lines(plain.out);
  ASSERT_EQ(names.size(), lines.size());
  for (size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(names[i], lines[i].substr(0, lines[i].rfind('\t')));
  }
}

TEST_F(CliTest, ShowGivesTheBytesTheTextPaneShowsOrTheErrorTextInTheirPlace) {
  Result r = Run({"show", "1001"});
  ASSERT_EQ(r.code, kCliOk) << r.err;
  EXPECT_EQ(r.out, Slice("Gourmix.Dat", 0, 1228));
  Result second = Run({"show", "1046"});  // in the second recipe base
  EXPECT_EQ(second.out, Slice("Desserts.Dat", 1720, 2937));
  Result u = Run({"--utf8", "show", "1046"});
  EXPECT_EQ(u.out, Cp1252ToUtf8(second.out));
  EXPECT_EQ(u.out.compare(0, 16, "\xC3\x8Ele flottante\r\n"), 0);

  Result none = Run({"show", "999"});
  EXPECT_EQ(none.code, kCliFailed);
  EXPECT_EQ(none.out, "");
  EXPECT_TRUE(Has(none.err, "999")) << none.err;

  fs::remove(dir_ / "Desserts.Dat");
  Result missing = Run({"show", "1044"});
  EXPECT_EQ(missing.code, kCliOk);
  EXPECT_EQ(missing.out,
            "Recette Cr\xE8me br\xFBl\xE9" "e\r\n"
            "Erreur \xE0 l'ouverture du fichier Desserts.Dat.");
}

TEST_F(CliTest, ShowTakesTheFirstRecipeInTitleOrderWhenANumberIsRepeated) {
  Put(dir_ / "Gourmix.Idx",
      index_ + "1001\tAaa premier\t0\t1228\t2063\t/Divers\tGourmix.Dat\t0\r\n");
  Result r = Run({"show", "1001"});
  ASSERT_EQ(r.code, kCliOk);
  EXPECT_EQ(r.out, Slice("Gourmix.Dat", 1228, 2063));
}

// ---- saving ----

TEST_F(CliTest, ResaveWritesTheIndexAsTheEditorSavesItAndKeepsTheOldOne) {
  Put(dir_ / "Gourmix.Idx", "# mes recettes\r\n\r\n" + index_);
  const std::string before = Run({"list"}).out;
  Result r = Run({"resave"});
  ASSERT_EQ(r.code, kCliOk) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(Slurp(dir_ / "Gourmix.Bak"), "# mes recettes\r\n\r\n" + index_);
  const std::string saved = Slurp(dir_ / "Gourmix.Idx");
  EXPECT_FALSE(Has(saved, "# mes recettes"));  // the editor's save keeps recipe lines only
  EXPECT_EQ(Lines(saved).size(), 57u);
  EXPECT_EQ(Run({"list"}).out, before);
  // Saving what a save wrote gives the same bytes.
  ASSERT_EQ(Run({"resave"}).code, kCliOk);
  EXPECT_EQ(Slurp(dir_ / "Gourmix.Idx"), saved);
}

TEST_F(CliTest, ResaveThatCannotWriteFailsAndLeavesTheIndex) {
  fs::create_directory(dir_ / "Gourmix.Tmp");  // where the new index would be written
  Result r = Run({"resave"});
  EXPECT_EQ(r.code, kCliFailed);
  EXPECT_TRUE(Has(r.err, "Erreur de Sauvegarde")) << r.err;
  EXPECT_EQ(Slurp(dir_ / "Gourmix.Idx"), index_);
}

// ---- check ----

TEST_F(CliTest, CheckFindsTheSampleSound) {
  Result r = Run({"check"});
  EXPECT_EQ(r.code, kCliOk) << r.out;
  EXPECT_EQ(r.out,
            "Gourmix.Idx : 57 recettes\n"
            "Gourmix.mem : absent, aucun m\xE9mo\n"
            "Aucun probl\xE8me.\n");
  // Comments and blank lines are skipped but are no fault.
  Put(dir_ / "Gourmix.Idx", "! export du 3 mai\r\n" + index_ + "\r\n");
  Result c = Run({"check"});
  EXPECT_EQ(c.code, kCliOk) << c.out;
  EXPECT_TRUE(Has(c.out, "Gourmix.Idx, ligne 1 : commentaire, ignor\xE9" "e\n"));
  EXPECT_TRUE(Has(c.out, "Gourmix.Idx, ligne 59 : ligne vide, ignor\xE9" "e\n"));
}

TEST_F(CliTest, CheckReportsSkippedLinesUnreadableTextsRepeatedNumbersAndADamagedStore) {
  std::string index = "# catalogue\r\n" + index_;
  index += "n'importe quoi\r\n";                                                  // line 59
  index += "2001\tSans fin\t0\t5\t10\t/Divers\tGourmix.Dat\r\n";                   // 7 columns
  index += "2002\tVide\t0\t500\t500\t/Divers\tGourmix.Dat\t0\r\n";
  index += "2003\tA l'envers\t0\t100\t50\t/Divers\tGourmix.Dat\t0\r\n";  // reads 16384 bytes
  index += "2004\tAilleurs\t0\t0\t10\t/Divers\tAbsent.Dat\t0\r\n";
  index += "1002\tDoublon\t0\t0\t10\t/Divers\tGourmix.Dat\t0\r\n";
  Put(dir_ / "Gourmix.Idx", index);
  fs::resize_file(dir_ / "Gourmix.Dat", 30000);
  std::string noise;
  srand(7);
  for (int i = 0; i < 3000; ++i) noise.push_back(static_cast<char>(rand()));
  Put(dir_ / "Gourmix.mem", noise);

  Result r = Run({"check"});
  EXPECT_EQ(r.code, kCliFailed);
  const std::string& o = r.out;
  for (const char* said :
       {"Gourmix.Idx : 61 recettes\n", "Gourmix.Idx, ligne 1 : commentaire, ignor\xE9" "e\n",
        "Gourmix.Idx, ligne 59 : moins de 8 colonnes, ligne ignor\xE9" "e et recette perdue\n",
        "Gourmix.Idx, ligne 60 : moins de 8 colonnes",
        "Recette 2002 \xAB Vide \xBB : texte vide (d\xE9" "but et fin \xE0 l'octet 500 du fichier Gourmix.Dat)\n",
        "Recette 2003 \xAB A l'envers \xBB : la fin du texte (octet 50) pr\xE9" "c\xE8" "de son d\xE9" "but (octet 100)\n",
        "Recette 2004 \xAB Ailleurs \xBB : le fichier Absent.Dat ne peut pas \xEAtre ouvert\n",
        "Recette 1028 \xAB Moules marini\xE8res \xBB : le texte (octets 29439 \xE0 30249) "
        "d\xE9passe la fin du fichier Gourmix.Dat (30000 octets)\n",
        "Num\xE9ro 1002 port\xE9 par 2 recettes : \xAB Doublon \xBB, \xAB Velout\xE9 de potiron \xBB\n",
        "Gourmix.mem : erreur -898 : "}) {
    EXPECT_TRUE(Has(o, said)) << said << "\nnot in:\n" << o;
  }
  EXPECT_FALSE(Has(o, "Recette 1027 "));  // ends before the cut
  // Two lost lines, empty, inverted, absent file, 26 recipes past the cut, one repeated
  // number, the store.
  EXPECT_EQ(Lines(o).back(), "Probl\xE8mes trouv\xE9s : 33.");

  Result u = Run({"--utf8", "check"});
  EXPECT_EQ(u.out, Cp1252ToUtf8(o));
}

TEST_F(CliTest, CheckReportsNulBytesAndPathsASaveCannotWriteWholeAndResaveRefusesThem) {
  // Without its leading "/", a path of 255 characters needs 256 when written again.
  const std::string label(60, 'x');
  const std::string path = label + "/" + label + "/" + label + "/" + label + "/" + std::string(11, 'y');
  ASSERT_EQ(path.size(), 255u);
  const std::string index = index_ + std::string("2001\tCr\xEApe\0s\t0\t0\t10\t/Divers\tGourmix.Dat\t0\r\n", 43) +
                            "2002\tLoin\t0\t0\t10\t" + path + "\tGourmix.Dat\t0\r\n";
  Put(dir_ / "Gourmix.Idx", index);
  Result r = Run({"check"});
  EXPECT_EQ(r.code, kCliFailed);
  EXPECT_TRUE(Has(r.out, "Gourmix.Idx : 58 recettes\n")) << r.out;
  EXPECT_TRUE(Has(r.out, "Gourmix.Idx, ligne 58 : octet nul dans la ligne, "
                         "ligne ignor\xE9" "e et recette perdue\n"));
  // The path as the program holds it, cut to the 255 characters a path keeps.
  const std::string shown = ("/" + path).substr(0, 255);
  EXPECT_TRUE(Has(r.out, "Cat\xE9gorie \xAB " + shown + " \xBB : son chemin ne peut pas \xEAtre "
                         "r\xE9\xE9" "crit tel quel dans Gourmix.Idx"));
  EXPECT_EQ(Lines(r.out).back(), "Probl\xE8mes trouv\xE9s : 2.");

  Result resave = Run({"resave"});
  EXPECT_EQ(resave.code, kCliFailed);
  EXPECT_TRUE(Has(resave.err, Cp1252ToUtf8(shown + " \xBB ne peut pas \xEAtre r\xE9\xE9" "crite"))) << resave.err;
  EXPECT_EQ(Slurp(dir_ / "Gourmix.Idx"), index);
  EXPECT_FALSE(fs::exists(dir_ / "Gourmix.Bak"));
}

TEST_F(CliTest, CheckReportsMemosOfNoRecipeAndUnreadableMemos) {
  ASSERT_EQ(Run({"memo", "set", "1001", "un"}).code, kCliOk);
  ASSERT_EQ(Run({"memo", "set", "1002", "deux"}).code, kCliOk);
  ASSERT_EQ(Run({"memo", "set", "1003", "trois"}).code, kCliOk);
  Result sound = Run({"check"});
  EXPECT_EQ(sound.code, kCliOk) << sound.out;
  EXPECT_TRUE(Has(sound.out,
                  "Gourmix.mem : valide, 3 entr\xE9" "es pour une capacit\xE9 de 50, 3 m\xE9mos\n"));

  // The recipe 1003 leaves the index; its memo stays behind.
  std::string index = index_;
  const size_t from = index.find("\n1003\t") + 1, to = index.find("\n1004\t") + 1;
  index.erase(from, to - from);
  Put(dir_ / "Gourmix.Idx", index);
  // The second entry's length (at 62 + 16 + 8) now runs past the end of the file.
  std::string store = Slurp(dir_ / "Gourmix.mem");
  store[62 + 16 + 8] = '\x00';
  store[62 + 16 + 9] = '\x10';
  Put(dir_ / "Gourmix.mem", store);

  Result r = Run({"check"});
  EXPECT_EQ(r.code, kCliFailed);
  EXPECT_TRUE(Has(r.out, "Gourmix.Idx : 56 recettes\n")) << r.out;
  EXPECT_TRUE(Has(r.out, "M\xE9mo 1002 : entr\xE9" "e endommag\xE9" "e (position 865, longueur 4096, "
                         "fichier de 876 octets), son texte est perdu ; la prochaine "
                         "r\xE9\xE9" "criture du fichier l'abandonnera\n")) << r.out;
  EXPECT_TRUE(Has(r.out, "M\xE9mo 1003 : aucune recette de ce num\xE9ro dans Gourmix.Idx\n"));
  EXPECT_EQ(Lines(r.out).back(), "Probl\xE8mes trouv\xE9s : 2.");

  // The damaged entry does not stand in the way of a rewrite: it is the only memo lost.
  ASSERT_EQ(Run({"memo", "delete", "1001"}).code, kCliOk);
  EXPECT_EQ(Run({"memo", "list"}).out, "1003\t6\n");
  EXPECT_EQ(Run({"memo", "set", "1002", "deux, encore"}).code, kCliOk);
  EXPECT_EQ(Run({"memo", "get", "1002"}).out, "deux, encore");
}

TEST_F(CliTest, CheckWithoutAnIndexSaysSoAndStillLooksAtTheStore) {
  fs::remove(dir_ / "Gourmix.Idx");
  Result r = Run({"check"});
  EXPECT_EQ(r.code, kCliFailed);
  EXPECT_EQ(r.out,
            "Fichier Gourmix.Idx absent du r\xE9pertoire courant\n"
            "Gourmix.mem : absent, aucun m\xE9mo\n"
            "Probl\xE8mes trouv\xE9s : 1.\n");
  Put(dir_ / "Gourmix.Idx", "# rien\r\n");
  Result empty = Run({"check"});
  EXPECT_EQ(empty.code, kCliFailed);
  EXPECT_TRUE(Has(empty.out, "Erreur d'ouverture Gourmix.idx ou Pb m\xE9moire\n")) << empty.out;
  EXPECT_TRUE(Has(empty.out, "ligne 1 : commentaire"));
}

// ---- memos ----

TEST_F(CliTest, MemoSetGetListDeleteRoundTrip) {
  EXPECT_EQ(Run({"memo", "list"}).out, "");  // no store yet: no memos
  ASSERT_EQ(Run({"memo", "set", "1001", "hello"}).code, kCliOk);
  ASSERT_EQ(Run({"memo", "set", "1044", "Cr\xE8me"}).code, kCliOk);
  Result get = Run({"memo", "get", "1001"});
  EXPECT_EQ(get.code, kCliOk);
  EXPECT_EQ(get.out, "hello");
  EXPECT_EQ(Run({"memo", "list"}).out, "1001\t6\n1044\t6\n");
  ASSERT_EQ(Run({"memo", "set", "1001", "a longer memo"}).code, kCliOk);  // store rewritten
  EXPECT_EQ(Run({"memo", "get", "1001"}).out, "a longer memo");
  EXPECT_EQ(Run({"memo", "list"}).out, "1044\t6\n1001\t14\n");

  ASSERT_EQ(Run({"memo", "delete", "1044"}).code, kCliOk);
  EXPECT_EQ(Run({"memo", "list"}).out, "1001\t14\n");
  Result gone = Run({"memo", "get", "1044"});
  EXPECT_EQ(gone.code, kCliFailed);
  EXPECT_EQ(gone.out, "");
  EXPECT_EQ(gone.err, "Erreur -896 : cette recette n'a pas de m\xC3\xA9mo.\n");  // UTF-8 here
  const std::string store = Slurp(dir_ / "Gourmix.mem");
  EXPECT_EQ(Run({"memo", "delete", "1044"}).code, kCliFailed);  // nothing to delete
  EXPECT_EQ(Slurp(dir_ / "Gourmix.mem"), store);

  // An emptied memo is deleted, as in the memo dialog.
  ASSERT_EQ(Run({"memo", "set", "1001", ""}).code, kCliOk);
  EXPECT_EQ(Run({"memo", "list"}).out, "");
  EXPECT_EQ(Run({"memo", "set", "1002", ""}).code, kCliOk);  // nothing there, nothing done
}

TEST_F(CliTest, MemoTextsComeFromStandardInputWithTheDialogsLineEndsAndLength) {
  ASSERT_EQ(Run({"memo", "set", "1001", "-"}, "ligne 1\nligne 2\r\nligne 3\n").code, kCliOk);
  EXPECT_EQ(Run({"memo", "get", "1001"}).out, "ligne 1\r\nligne 2\r\nligne 3\r\n");

  Result cut = Run({"memo", "set", "1002", "-"}, std::string(3000, 'x'));
  EXPECT_EQ(cut.code, kCliOk);
  EXPECT_TRUE(Has(cut.err, "2047")) << cut.err;
  EXPECT_EQ(Run({"memo", "get", "1002"}).out, std::string(2047, 'x'));
  EXPECT_TRUE(Has(Run({"memo", "list"}).out, "1002\t2048\n"));

  // The text ends at a NUL, like any C string the dialog would hand over.
  ASSERT_EQ(Run({"memo", "set", "1003", "-"}, std::string("avant\0apr\xE8s", 11)).code, kCliOk);
  EXPECT_EQ(Run({"memo", "get", "1003"}).out, "avant");
}

TEST_F(CliTest, Utf8MemosAreStoredAsWindows1252AndComeBackAsUtf8) {
  const std::string utf8 = "\xC5\x92uf \xC3\xA0 5 \xE2\x82\xAC";  // "OEuf a 5 euros" in UTF-8
  ASSERT_EQ(Run({"--utf8", "memo", "set", "1011", utf8}).code, kCliOk);
  EXPECT_EQ(Run({"memo", "get", "1011"}).out, "\x8Cuf \xE0 5 \x80");
  EXPECT_EQ(Run({"--utf8", "memo", "get", "1011"}).out, utf8);

  // A cut counts Windows-1252 characters, not UTF-8 bytes.
  std::string many;
  for (int i = 0; i < 2100; ++i) many += "\xC3\xA9";
  ASSERT_EQ(Run({"--utf8", "memo", "set", "1012", "-"}, many).code, kCliOk);
  EXPECT_EQ(Run({"memo", "get", "1012"}).out, std::string(2047, '\xE9'));

  for (const std::string& bad : {std::string("\xFF"), std::string("ok \xE4\xB8\xAD")}) {
    Result r = Run({"--utf8", "memo", "set", "1013", bad});
    EXPECT_EQ(r.code, kCliFailed);
    EXPECT_TRUE(Has(r.err, "Windows-1252")) << r.err;
  }
  EXPECT_FALSE(Has(Run({"memo", "list"}).out, "1013\t"));
}

TEST_F(CliTest, MemoCommandsRefuseToTouchADamagedStoreOrToWriteForNoRecipe) {
  Result unknown = Run({"memo", "set", "4242", "orphelin"});
  EXPECT_EQ(unknown.code, kCliFailed);
  EXPECT_TRUE(Has(unknown.err, "4242")) << unknown.err;
  EXPECT_FALSE(fs::exists(dir_ / "Gourmix.mem"));
  EXPECT_EQ(Run({"memo", "get", "1001"}).err,
            "Erreur -900 : le fichier de m\xC3\xA9mos ne peut pas \xC3\xAAtre ouvert "
            "(il n'existe pas ?).\n");

  const std::string noise(500, '\x5A');
  Put(dir_ / "Gourmix.mem", noise);
  const std::vector<std::string> files = FilesHere();
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"memo", "set", "1001", "x"}, {"memo", "delete", "1001"},
        {"memo", "get", "1001"}, {"memo", "list"}}) {
    Result r = Run(args);
    EXPECT_EQ(r.code, kCliFailed) << args[1];
    EXPECT_TRUE(Has(r.err, "Erreur -898 : ")) << r.err;
  }
  EXPECT_EQ(Slurp(dir_ / "Gourmix.mem"), noise);
  EXPECT_EQ(FilesHere(), files);  // no temporary store left beside it
}

// ---- the command line ----

TEST_F(CliTest, WrongCommandLinesAreRefusedWithAClearMessageAndStatus2) {
  struct Case {
    std::vector<std::string> args;
    const char* message;  // a part of the one line of the message, or "" for any line
  };
  const Case kCases[] = {
      {{}, ""},
      {{"frobnicate"}, "frobnicate"},
      {{"--bogus", "list"}, ""},
      {{"list", "extra"}, ""},
      {{"list", "--utf8"}, ""},
      {{"tree", "--counts", "x"}, ""},
      {{"show"}, ""},
      {{"show", "12x"}, ""},
      {{"show", "-1"}, ""},
      {{"show", "+5"}, ""},
      {{"show", ""}, ""},
      {{"show", "4294967296"}, ""},
      {{"show", "1001", "1002"}, ""},
      {{"memo"}, ""},
      {{"memo", "frob"}, ""},
      {{"memo", "get"}, ""},
      {{"memo", "set", "1001"}, ""},
      {{"memo", "set", "abc", "x"}, ""},
      {{"memo", "delete", "1001", "x"}, ""},
      {{"memo", "list", "x"}, ""},
      {{"search"}, "Il manque un argument apr\xC3\xA8s search"},
      {{"search", "--in", "titles"}, "Il manque un argument apr\xC3\xA8s titles"},
      {{"search", "--in"}, "Il manque un argument apr\xC3\xA8s --in"},
      {{"search", "--in", "titles,recipes", "x"}, "\xC2\xAB titles,recipes \xC2\xBB"},
      {{"search", "--in", "", "x"}, "Valeur incorrecte pour --in"},
      {{"search", " - ' "}, "ne contient aucun mot"},
      {{"search", ""}, "ne contient aucun mot"},
      {{"search", "-", "x"}, "Argument en trop : x"},
  };
  for (const Case& c : kCases) {
    std::string shown;
    for (const std::string& a : c.args) shown += a + " ";
    Result r = Run(c.args);
    EXPECT_EQ(r.code, kCliUsage) << shown;
    EXPECT_EQ(r.out, "") << shown;
    EXPECT_EQ(Lines(r.err).size(), 1u) << shown << r.err;
    EXPECT_TRUE(Has(r.err, c.message)) << shown << r.err;
  }
  EXPECT_EQ(Run({"show", "12x"}).err,
            "Num\xC3\xA9ro de recette incorrect : \xC2\xAB 12x \xC2\xBB. "
            "Il faut un nombre entier de 0 \xC3\xA0 4294967295, en chiffres seulement.\n");
  EXPECT_EQ(Run({"show", "4294967295"}).code, kCliFailed);  // a number, but no such recipe
  std::string huge;  // a long query is no usage fault
  while (huge.size() < 10000) huge += "tarte \"aux pommes\" ";
  EXPECT_EQ(Run({"search", huge}).code, kCliOk);

  Result nowhere = Run({"-C", "/nonexistent/folder", "list"}, "", false);
  EXPECT_EQ(nowhere.code, kCliUsage);
  EXPECT_TRUE(Has(nowhere.err, "/nonexistent/folder"));
}

TEST_F(CliTest, HelpVersionAndAFolderWithoutCatalogue) {
  Result help = Run({"--help"}, "", false);
  EXPECT_EQ(help.code, kCliOk);
  for (const char* word : {"list", "tree [--counts]", "show NUM\xC3\x89RO", "resave", "check",
                           "memo set", "search [--in LIEUX] MOTS", "--utf8", "-C DOSSIER"}) {
    EXPECT_TRUE(Has(help.out, word)) << word;
  }
  Result version = Run({"--version"}, "", false);
  EXPECT_EQ(version.code, kCliOk);
  EXPECT_EQ(version.out, "saucelins-cli, Version " SAUCELINS_VERSION "\n");

  fs::remove(dir_ / "Gourmix.Idx");
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"list"}, {"tree"}, {"resave"}, {"search", "aligot"}}) {
    Result r = Run(args);
    EXPECT_EQ(r.code, kCliFailed) << args[0];
    EXPECT_EQ(r.err, "Fichier Gourmix.Idx absent du r\xC3\xA9pertoire courant\n");
  }
  EXPECT_FALSE(fs::exists(dir_ / "Gourmix.Idx"));  // resave made nothing up
}

// ---- search ----

TEST_F(CliTest, SearchPrintsRecipesAsListDoesBestFirstAndExitsByWhatItFound) {
  const std::vector<std::string> listed = Lines(Run({"list"}).out);
  auto listLine = [&listed](const std::string& id) {
    for (const std::string& l : listed) {
      if (l.compare(0, id.size() + 1, id + "\t") == 0) return l;
    }
    return std::string();
  };
  Result r = Run({"search", "POIREAU"});
  ASSERT_EQ(r.code, kCliOk) << r.err;
  std::vector<std::string> lines = Lines(r.out);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], listLine("1009"));  // "Flamiche aux poireaux": its title holds the word
  for (const std::string& l : lines) EXPECT_NE(std::find(listed.begin(), listed.end(), l), listed.end()) << l;

  // The words of the command line form one query; a phrase is quoted.
  EXPECT_EQ(Lines(Run({"search", "tarte", "pommes"}).out).at(0), listLine("1037"));
  EXPECT_EQ(Run({"search", "\"tarte aux pommes\""}).out, listLine("1037") + "\n");
  EXPECT_EQ(Run({"search", "--in", "titles", "tarte"}).out,
            listLine("1039") + "\n" + listLine("1037") + "\n" + listLine("1038") + "\n");

  Result none = Run({"search", "poiraux"});
  EXPECT_EQ(none.code, kCliFailed);
  EXPECT_EQ(none.out, "");
  EXPECT_EQ(Lines(none.err), (std::vector<std::string>{
                                 "Aucune recette trouv\xC3\xA9" "e pour \xC2\xAB poiraux \xC2\xBB.",
                                 "Vouliez-vous dire : poireaux, poireau, coraux ?"}));
  EXPECT_EQ(Run({"search", "zqxjw"}).err,
            "Aucune recette trouv\xC3\xA9" "e pour \xC2\xAB zqxjw \xC2\xBB.\n");  // nothing close
}

TEST_F(CliTest, SearchReadsQueriesFromStandardInputAndInUtf8) {
  Result many = Run({"search", "-"}, "tarte pommes\r\n\nzqxjw\npoireau\n - \n\"aux pommes");
  EXPECT_EQ(many.code, kCliOk);
  const std::string apples = Run({"search", "tarte", "pommes"}).out;
  const std::string leeks = Run({"search", "poireau"}).out;
  const std::string phrase = Run({"search", "\"aux pommes"}).out;
  EXPECT_EQ(many.out, apples + "\n" + "\n" + "\n" + leeks + "\n" + "\n" + phrase + "\n");
  EXPECT_TRUE(Has(many.err, "zqxjw"));
  EXPECT_EQ(Run({"search", "-"}, "zqxjw\n").code, kCliFailed);  // nothing found at all

  Result utf8 = Run({"--utf8", "search", "cr\xC3\xA8me", "fra\xC3\xAE" "che"});
  ASSERT_EQ(utf8.code, kCliOk) << utf8.err;
  EXPECT_EQ(utf8.out, Cp1252ToUtf8(Run({"search", "creme", "fraiche"}).out));
  EXPECT_EQ(Run({"--utf8", "search", "\xC3"}).code, kCliUsage);  // not UTF-8
}

TEST_F(CliTest, SearchFindsMemosAndCopesWithMissingOrDamagedFiles) {
  ASSERT_EQ(Run({"memo", "set", "1036", "La recette de grand-tante Odette"}).code, kCliOk);
  const std::string aligot = Lines(Run({"search", "--in", "titles", "aligot"}).out).at(0);
  EXPECT_EQ(Run({"search", "--in", "memos", "odette"}).out, aligot + "\n");
  EXPECT_EQ(Run({"search", "--in", "titles,texts", "odette"}).code, kCliFailed);

  // Without the recipe base, titles and memos are still searched.
  fs::remove(dir_ / "Gourmix.Dat");
  EXPECT_EQ(Run({"search", "odette"}).out, aligot + "\n");
  EXPECT_EQ(Run({"search", "aligot"}).out, aligot + "\n");

  // A damaged memo store is said once, and the search goes on without memos.
  Put((dir_ / "Gourmix.mem").string(), "garbage, not a record store");
  Result damaged = Run({"search", "aligot"});
  EXPECT_EQ(damaged.code, kCliOk);
  EXPECT_EQ(damaged.out, aligot + "\n");
  EXPECT_TRUE(Has(damaged.err, "les m\xC3\xA9mos n'ont pas pu \xC3\xAAtre lus")) << damaged.err;
}

}  // namespace

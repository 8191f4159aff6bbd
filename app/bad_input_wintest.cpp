// The whole program on damaged or protected catalogue folders, under Wine: the real main window
// (and the memo dialog it opens) in a folder with no index, an index of garbage, a recipe base
// shorter than its slices, a memo store of random bytes, a read-only memo store and a read-only
// folder. The program tells the user and goes on (or ends, when there is no catalogue), and no
// file it could not read or was not allowed to change is written.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "app/main_window_win32.h"
#include "app/main_window_wintest.h"
#include "catalogue/recipe_table.h"
#include "platform/modal_script_wintest.h"
#include "platform/temp_folder_wintest.h"
#include "resources/resource.h"
#include "vlr/memo.h"

namespace {

namespace S = wintest;
using wintest::ModalScript;
using wintest::SeenBox;
using wintest::Str;

// A dialog that will not close fails a test after this long.
constexpr DWORD kWatchdogMs = 8000;

// String `id` with the two %s of the recipe texts filled in.
std::string Format(UINT id, const std::string& title, const std::string& file) {
  char buf[1024];
  std::snprintf(buf, sizeof buf, Str(id).c_str(), title.c_str(), file.c_str());
  return buf;
}

using testfiles::Put;
using testfiles::Slurp;

// Every file of a folder with its bytes: what the program must leave as it found it.
std::map<std::string, std::string> Folder(const std::string& dir = ".") {
  std::map<std::string, std::string> files;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return files;
  do {
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    files[fd.cFileName] = Slurp(dir + "\\" + fd.cFileName);
  } while (FindNextFileA(h, &fd));
  FindClose(h);
  return files;
}

std::string RandomBytes(size_t n, unsigned seed, bool tabs) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (char& c : s) {
    c = static_cast<char>(rng() & 0xFF);
    if (!tabs && c == '\t') c = ' ';
  }
  return s;
}

struct Recipe {
  uint32_t id;
  const char* title;
  const char* file;
};
const Recipe kRecipes[] = {
    {101, "Tarte aux pommes", "Gourmix.Dat"},
    {102, "Boeuf bourguignon", "Gourmix.Dat"},
    {103, "G\xE2teau basque", "Gourmix.Dat"},
    {104, "Omelette", "Gourmix.Dat"},
    {105, "Flan", "Absent.Dat"},
};

std::string TextOf(const Recipe& r) {
  return std::string(r.title) + "\r\n\r\nIngr\xE9" "dients : ...\r\n" + std::string(200, '.') + "\r\n";
}

// Writes the index and a recipe base holding every text back to back, cut to `baseSize`
// bytes when that is given. Returns the byte ranges.
std::map<uint32_t, std::string> WriteCatalogue(size_t baseSize = std::string::npos) {
  std::string index, data;
  std::map<uint32_t, std::string> texts;
  for (const Recipe& r : kRecipes) {
    const size_t start = data.size();
    data += TextOf(r);
    texts[r.id] = TextOf(r);
    index += std::to_string(r.id) + "\t" + r.title + "\t0\t" + std::to_string(start) + "\t" +
             std::to_string(data.size()) + "\t/Plats\t" + r.file + "\t0\r\n";
  }
  Put("Gourmix.Idx", index);
  Put("Gourmix.Dat", data.substr(0, baseSize));
  return texts;
}

// ---- protecting files as Windows does ----
//
// Wine keeps the read-only attribute as the Unix file mode, which does not stop a process
// running as root (as these tests do here): opening for writing, replacing and deleting all go
// through. Under Wine the file is therefore also made immutable (chattr +i) through Wine's Unix
// side, which makes the file system refuse those changes, as Windows refuses them for a
// read-only file. A folder is protected the same way, with every file in it (a read-only
// medium or share): no file can be created, changed, replaced or deleted there.

typedef char*(CDECL* UnixFileNameFn)(LPCWSTR);

std::string UnixName(const std::string& path) {
  // Through void*: the export's true type is known only by its name.
  static UnixFileNameFn fn = reinterpret_cast<UnixFileNameFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (!fn) return std::string();
  char full[MAX_PATH];
  GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
  wchar_t wide[MAX_PATH];
  MultiByteToWideChar(CP_ACP, 0, full, -1, wide, MAX_PATH);
  char* unix = fn(wide);
  if (!unix) return std::string();
  std::string out = unix;
  HeapFree(GetProcessHeap(), 0, unix);
  return out;
}

// Starts chattr (`flag` "+i" or "-i") on `path` through Wine's Unix side. Wine starts a Unix
// program without a process to wait for: the caller polls for its effect.
bool Chattr(const std::string& path, const char* flag) {
  const std::string unix = UnixName(path);
  if (unix.empty()) return false;
  std::string line = std::string("/usr/bin/chattr ") + flag + " \"" + unix + "\"";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi;
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return false;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return true;
}

bool WaitFor(const std::function<bool()>& done) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < 5000; Sleep(20))
    if (done()) return true;
  return done();
}

bool Writable(const std::string& file) {
  HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

bool CanCreateIn(const std::string& dir) {
  const std::string probe = dir + "\\probe.tmp";
  HANDLE h = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  DeleteFileA(probe.c_str());
  return true;
}

// Read-only `file`: true once writing to it is refused.
bool ProtectFile(const std::string& file) {
  SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY);
  // Windows, or Wine as an ordinary user: the attribute holds for opening; under Wine a
  // replace would still go through, so go on to the file system's own protection there.
  if (!Writable(file) && UnixName(file).empty()) return true;
  return Chattr(file, "+i") && WaitFor([&] { return !Writable(file); });
}

void UnprotectFile(const std::string& file) {
  if (Chattr(file, "-i")) {
    WaitFor([&] {
      SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
      return Writable(file);
    });
  }
  SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// A folder whose files can be read but where nothing can be created, changed or removed.
bool ProtectFolder(const std::string& dir) {
  for (const auto& f : Folder(dir))
    if (!ProtectFile(dir + "\\" + f.first)) return false;
  return Chattr(dir, "+i") && WaitFor([&] { return !CanCreateIn(dir); });
}

void UnprotectFolder(const std::string& dir) {
  if (Chattr(dir, "-i")) WaitFor([&] { return CanCreateIn(dir); });
  for (const auto& f : Folder(dir)) UnprotectFile(dir + "\\" + f.first);
}

class BadInput : public MainWindowTest {
 protected:
  void SetUp() override {
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    // A fixed name: a run that died with the folder protected is cleared by the next one.
    dir_ = std::string(tmp) + "saucelins_bad_input";
    Clear();
    ASSERT_TRUE(CreateDirectoryA(dir_.c_str(), nullptr));
    ASSERT_TRUE(SetCurrentDirectoryA(dir_.c_str()));
  }
  void TearDown() override {
    Close();
    ReleaseCatalogue();
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    SetCurrentDirectoryA(tmp);
    Clear();
    EXPECT_EQ(GetFileAttributesA(dir_.c_str()), INVALID_FILE_ATTRIBUTES) << "cannot remove " << dir_;
  }
  void Clear() {
    if (GetFileAttributesA(dir_.c_str()) == INVALID_FILE_ATTRIBUTES) return;
    if (!CanCreateIn(dir_)) UnprotectFolder(dir_);
    for (const auto& f : Folder(dir_)) {
      const std::string path = dir_ + "\\" + f.first;
      if (!DeleteFileA(path.c_str())) {
        UnprotectFile(path);
        DeleteFileA(path.c_str());
      }
    }
    RemoveDirectoryA(dir_.c_str());
  }

  // The main window on its recipe tab, once its catalogue is loaded.
  void Open() {
    MainWindowTest::Open();
    if (HasFatalFailure()) return;
    Command(IDM_RECIPES_TAB);
  }

  std::string PaneText() { return S::ItemText(window_, IDC_RECIPE_TEXT); }

  struct MemoAttempt {
    bool ran = false;
    std::string shownBefore;  // the memo as the dialog read it
    SeenBox box;              // the box the save showed, if any
    std::string keptText;     // what the dialog held after the box
  };
  // Opens the memo dialog with `command`, switches to edit mode, types `text` and presses OK;
  // a box that comes up is answered, and the dialog is then cancelled.
  MemoAttempt TryToSaveMemo(int command, const std::string& text) {
    MemoAttempt a;
    HWND memo = nullptr;
    ModalScript steps;
    steps.OnDialog({&window_}, [&](HWND d) {
           memo = d;
           a.shownBefore = S::ItemText(d, IDC_MEMO_TEXT);
           S::Click(d, IDC_MEMO_EDIT);
         })
        .Do([&] { SetDlgItemTextA(memo, IDC_MEMO_TEXT, text.c_str()); })
        .Do([&] { S::Click(memo, IDOK); })
        .OnDialog({&window_, &memo}, a.box.Answer())
        .Until([&] {
          if (S::TopDialog() != memo) return false;
          a.keptText = S::ItemText(memo, IDC_MEMO_TEXT);
          PostMessageA(memo, WM_COMMAND, IDCANCEL, 0);
          return true;
        });
    a.ran = steps.Run([&] { Command(command); }, kWatchdogMs) && steps.Finished();
    EXPECT_TRUE(a.ran) << "the memo dialog did not go as scripted";
    return a;
  }

  std::string dir_;
};

TEST_F(BadInput, NoIndexAnEmptyOneOrGarbageEndsTheProgramAfterItsMessage) {
  struct Case {
    const char* name;
    bool present;
    std::string index;
    UINT message;
  };
  const Case kCases[] = {
      {"no index", false, "", IDS_NO_INDEX},
      {"empty index", true, "", IDS_NO_INDEX},
      // Without a TAB no line can be a recipe; 60 KB also brings up the gauge.
      {"random bytes", true, RandomBytes(60000, 11, false), IDS_INDEX_ERROR},
      {"no line of eight columns", true,
       "# Mes recettes\r\n!\r\n\r\n101\tTarte\t0\t0\t10\r\nune ligne sans colonnes\r\n\t\t\t\t\t\t\t\r\n",
       IDS_INDEX_ERROR},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    if (c.present) Put("Gourmix.Idx", c.index);
    const auto before = Folder();
    const SeenBox box = RunExpectingTheEnd(kWatchdogMs);
    EXPECT_EQ(box.caption, "Saucelins");
    EXPECT_EQ(box.text, Str(c.message));
    EXPECT_TRUE(box.Stop());
    EXPECT_EQ(Folder(), before) << "a file was written";
  }
}

TEST_F(BadInput, RecipeBaseShorterThanItsSlicesShowsTheReadErrorInThePane) {
  // The base ends in the middle of the third recipe (in file order).
  const auto whole = WriteCatalogue();
  const size_t cut = TextOf(kRecipes[0]).size() + TextOf(kRecipes[1]).size() + 30;
  Put("Gourmix.Dat", Slurp("Gourmix.Dat").substr(0, cut));
  const auto before = Folder();
  Open();

  ClickRecipe("Tarte aux pommes");
  EXPECT_EQ(PaneText(), whole.at(101));
  ClickRecipe("G\xE2teau basque");  // cut: the error text, not the part that is there
  EXPECT_EQ(PaneText(), Format(IDS_READ_ERROR, "G\xE2teau basque", "Gourmix.Dat"));
  EXPECT_TRUE(Enabled(IDM_NEW_MEMO));
  ClickRecipe("Omelette");  // wholly past the end
  EXPECT_EQ(PaneText(), Format(IDS_READ_ERROR, "Omelette", "Gourmix.Dat"));
  ClickRecipe("Flan");  // its base is missing
  EXPECT_EQ(PaneText(), Format(IDS_OPEN_ERROR, "Flan", "Absent.Dat"));
  ClickRecipe("Boeuf bourguignon");
  EXPECT_EQ(PaneText(), whole.at(102));
  EXPECT_TRUE(IsWindow(window_));
  EXPECT_EQ(Folder(), before);
}

TEST_F(BadInput, MemoStoreOfRandomBytesIsNeverOverwritten) {
  WriteCatalogue();
  const std::string foreign = RandomBytes(3000, 5, true);
  Put("Gourmix.mem", foreign);
  Open();
  ClickRecipe("Omelette");
  // Not a store: no memo, so only "new memo" is offered.
  EXPECT_FALSE(Enabled(IDM_READ_MEMO));
  EXPECT_TRUE(Enabled(IDM_NEW_MEMO));

  const MemoAttempt a = TryToSaveMemo(IDM_NEW_MEMO, "Trois oeufs");
  EXPECT_EQ(a.shownBefore, "");
  EXPECT_EQ(a.box.caption, "Saucelins");
  EXPECT_EQ(a.box.text, Str(IDS_MEMO_NOT_SAVED));
  EXPECT_EQ(a.keptText, "Trois oeufs") << "the typed text was lost";
  EXPECT_EQ(Slurp("Gourmix.mem"), foreign) << "the foreign file was written over";

  // The new store was written whole beside it, under its temporary name, for the user to
  // recover; nothing else appeared but the store's lock file, empty.
  int temporary = 0;
  const std::string lockName = std::string(MemoStoreName) + kMemoLockSuffix;
  for (const auto& f : Folder()) {
    if (f.first == "Gourmix.Idx" || f.first == "Gourmix.Dat" || f.first == "Gourmix.mem") continue;
    if (f.first == lockName) {
      EXPECT_EQ(f.second, "");
      continue;
    }
    EXPECT_EQ(f.first.rfind("vlr", 0), 0u) << f.first;
    char memo[64] = {};
    int32_t length = sizeof memo;
    EXPECT_EQ(ReadMemo(f.first.c_str(), 104, memo, &length), 0) << f.first;
    EXPECT_STREQ(memo, "Trois oeufs");
    ++temporary;
  }
  EXPECT_EQ(temporary, 1);
  ClickRecipe("Omelette");
  EXPECT_FALSE(Enabled(IDM_READ_MEMO));
  EXPECT_TRUE(Enabled(IDM_NEW_MEMO));
}

TEST_F(BadInput, ReadOnlyMemoStoreIsReadButNeverRewritten) {
  WriteCatalogue();
  ASSERT_EQ(WriteMemo(MemoStoreName, 104, "Servir chaude", 0), 0);
  if (!ProtectFile(MemoStoreName)) GTEST_SKIP() << "no way to make a file read-only here";
  const auto before = Folder();
  Open();
  ClickRecipe("Omelette");
  EXPECT_TRUE(Enabled(IDM_READ_MEMO));
  EXPECT_FALSE(Enabled(IDM_NEW_MEMO));

  // A longer memo (a rewrite), then a memo for a recipe that has none (an append).
  const MemoAttempt a = TryToSaveMemo(IDM_READ_MEMO, "Servir chaude, avec une salade verte");
  EXPECT_EQ(a.shownBefore, "Servir chaude");
  EXPECT_EQ(a.box.text, Str(IDS_MEMO_NOT_SAVED));
  EXPECT_EQ(a.keptText, "Servir chaude, avec une salade verte");
  ClickRecipe("Tarte aux pommes");
  EXPECT_TRUE(Enabled(IDM_NEW_MEMO));
  EXPECT_EQ(TryToSaveMemo(IDM_NEW_MEMO, "Pommes reinettes").box.text, Str(IDS_MEMO_NOT_SAVED));

  EXPECT_EQ(Folder(), before) << "the store changed or a file was left";
  EXPECT_NE(GetFileAttributesA(MemoStoreName) & FILE_ATTRIBUTE_READONLY, 0u);
  ClickRecipe("Omelette");
  EXPECT_TRUE(Enabled(IDM_READ_MEMO));
}

TEST_F(BadInput, ReadOnlyFolderIsReadAndNothingIsWritten) {
  const auto whole = WriteCatalogue();
  ASSERT_EQ(WriteMemo(MemoStoreName, 104, "Servir chaude", 0), 0);
  if (!ProtectFolder(dir_)) {
    GTEST_SKIP() << "no way to make a folder read-only here (Wine as root ignores the "
                    "attribute, and chattr was not available)";
  }
  const auto before = Folder();
  Open();
  ClickRecipe("Tarte aux pommes");
  EXPECT_EQ(PaneText(), whole.at(101));
  EXPECT_TRUE(Enabled(IDM_NEW_MEMO));
  EXPECT_EQ(TryToSaveMemo(IDM_NEW_MEMO, "Pommes reinettes").box.text, Str(IDS_MEMO_NOT_SAVED));
  ClickRecipe("Omelette");
  EXPECT_TRUE(Enabled(IDM_READ_MEMO));
  // Shorter: written in place.
  EXPECT_EQ(TryToSaveMemo(IDM_READ_MEMO, "Sans").box.text, Str(IDS_MEMO_NOT_SAVED));
  // The category editor's save, as it runs it.
  EXPECT_EQ(SaveIndex(MainCategoryTree(), window_), 0);
  EXPECT_EQ(Folder(), before);
}

TEST_F(BadInput, APathOfTwentyThousandLevelsLoadsReloadsAndCloses) {
  // A 40 KB index line. The tree control frees its items recursively: a tree that deep
  // overflowed the stack when the catalogue was reloaded or the window closed.
  std::string path;
  for (int i = 0; i < 20000; ++i) path += "/a";
  Put("Gourmix.Dat", "Texte\r\n");
  Put("Gourmix.Idx", "1\tProfonde\t0\t0\t7\t" + path + "\tGourmix.Dat\t0\r\n" +
                         "2\tPlate\t0\t0\t7\t/P\tGourmix.Dat\t0\r\n");
  Open();
  ClickRecipe("Profonde");
  EXPECT_EQ(PaneText(), "Texte\r\n");
  SendMessageA(window_, WMU_RELOAD, 0, 0);
  for (DWORD start = GetTickCount(); GetTickCount() - start < 5000 && RecipeCount() != 2; Sleep(5))
    PumpMessages(window_);
  EXPECT_EQ(RecipeCount(), 2u);
  EXPECT_TRUE(DestroyWindow(window_));
  window_ = nullptr;
}

}  // namespace

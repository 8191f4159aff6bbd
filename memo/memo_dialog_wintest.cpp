// The memo dialog under Wine, driven as a person would through its real modal loop, against
// real store files in a folder of its own.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "catalogue/recipe_table.h"
#include "memo/memo_dialog_win32.h"
#include "platform/fileio.h"
#include "platform/modal_script_wintest.h"
#include "platform/temp_folder_wintest.h"
#include "resources/resource.h"
#include "vlr/memo.h"

namespace {

namespace S = wintest;
using wintest::ModalScript;
using wintest::SeenBox;

using testfiles::FilesHere;
using testfiles::Put;

std::string FileBytes(const char* name) { return testfiles::Slurp(name, "<missing>"); }

// The stored memo with its NUL, or "<status N>" when there is none.
std::string Stored(uint32_t id) {
  std::vector<char> buf(8192);
  int32_t length = static_cast<int32_t>(buf.size());
  int status = ReadMemo(MemoStoreName, id, buf.data(), &length);
  if (status != 0) return "<status " + std::to_string(status) + ">";
  return std::string(buf.data(), static_cast<size_t>(length));
}

std::string WithNul(const std::string& s) { return s + std::string(1, '\0'); }

// Script steps: edit mode, the whole text replaced by `text`, `beforeOk`, OK.
void EditAndOk(ModalScript& script, const std::string& text, std::function<void()> beforeOk = {}) {
  script.Then([] { S::Click(S::TopDialog(), IDC_MEMO_EDIT); }).Then([text, beforeOk] {
    SetDlgItemTextA(S::TopDialog(), IDC_MEMO_TEXT, text.c_str());
    if (beforeOk) beforeOk();
    S::Click(S::TopDialog(), IDOK);
  });
}

bool Ticked(HWND dialog) { return IsDlgButtonChecked(dialog, IDC_MEMO_EDIT) == BST_CHECKED; }

class MemoDialogWin : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(folder_.Enter()); }
  void TearDown() override { fileio::fault::Disarm(); }

  // A recipe as the catalogue would give it; it lives as long as the test.
  RecipeEntry& Entry(uint32_t id, const std::string& title) {
    titles_.push_back(title);
    RecipeEntry e{};
    e.recipeId = id;
    e.title = &titles_.back()[0];
    e.dataFile = "Gourmix.Dat";
    entries_.push_back(e);
    return entries_.back();
  }

  // Opens the dialog for `entry` and plays the script, which must play to its end unless
  // `partly`; a timeout fails the test.
  void Run(RecipeEntry& entry, ModalScript& script, MemoMode mode = MemoMode::Read,
           bool partly = false) {
    EXPECT_TRUE(script.Run([&] { result_ = RunMemoDialog(nullptr, &entry, mode); }))
        << "the dialog had to be ended by the watchdog";
    if (!partly) {
      EXPECT_TRUE(script.Finished()) << script.Done() << " of " << script.Steps() << " steps";
    }
  }

  // Opens the dialog for `entry`, lets `look` read it, then presses `button`.
  void Look(RecipeEntry& entry, std::function<void(HWND)> look, int button = IDCANCEL) {
    ModalScript script;
    script.Then([&] {
      look(S::TopDialog());
      S::Click(S::TopDialog(), button);
    });
    Run(entry, script);
  }

  void Save(RecipeEntry& entry, const std::string& text) {
    ModalScript script;
    EditAndOk(script, text);
    Run(entry, script);
  }

  testfiles::TempFolder folder_{"sme"};
  std::deque<std::string> titles_;
  std::deque<RecipeEntry> entries_;
  INT_PTR result_ = -3;
};

std::string Clipboard() {
  std::string out = "<none>";
  if (!OpenClipboard(nullptr)) return "<closed>";
  if (HANDLE data = GetClipboardData(CF_TEXT)) {
    if (const char* text = static_cast<const char*>(GlobalLock(data))) {
      out = text;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return out;
}

bool ReadOnly(HWND edit) { return (GetWindowLongA(edit, GWL_STYLE) & ES_READONLY) != 0; }

TEST_F(MemoDialogWin, OpensReadOnlyOnTheStoredMemoAndOkWithoutEditModeWritesNothing) {
  const std::string memo = "Premi\xE8re ligne\r\nseconde ligne";
  ASSERT_EQ(WriteMemo(MemoStoreName, 7, memo.c_str(), 0), 0);
  ASSERT_EQ(WriteMemo(MemoStoreName, 8, "autre", 0), 0);
  const std::string before = FileBytes(MemoStoreName);
  Look(Entry(7, "Soupe"), [&](HWND d) {
    EXPECT_TRUE(ReadOnly(GetDlgItem(d, IDC_MEMO_TEXT)));
    EXPECT_EQ(S::ItemText(d, IDC_MEMO_TEXT), memo);
    EXPECT_FALSE(Ticked(d));
    EXPECT_EQ(S::ItemText(d, IDC_MEMO_EDIT), "Mode &Edition");
    EXPECT_EQ(S::ItemText(d, IDCANCEL), "Annuler");
    // The load message (also DM_SETDEFID) must not have taken the default from OK: Enter saves.
    EXPECT_EQ(SendMessageA(d, DM_GETDEFID, 0, 0), MAKELRESULT(IDOK, DC_HASDEFID));
  }, IDOK);
  EXPECT_EQ(result_, 0);
  EXPECT_EQ(FileBytes(MemoStoreName), before);
}

TEST_F(MemoDialogWin, ALongMemoScrollsSelectsAndCopiesInReadModeButCannotBeChanged) {
  std::string memo;
  for (int i = 1; i <= 60; ++i) memo += "Ligne " + std::to_string(i) + "\r\n";
  memo += "fin";
  ASSERT_EQ(WriteMemo(MemoStoreName, 9, memo.c_str(), 0), 0);
  const std::string before = FileBytes(MemoStoreName);

  ModalScript script;
  script
      .Then([] {
        // The user can put the caret in the text and page down through it.
        SetFocus(GetDlgItem(S::TopDialog(), IDC_MEMO_TEXT));
        S::Key(S::TopDialog(), VK_NEXT);
      })
      .Then([&] {
        HWND d = S::TopDialog();
        HWND text = GetDlgItem(d, IDC_MEMO_TEXT);
        EXPECT_GT(SendMessageA(text, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
        SendMessageA(text, EM_SETSEL, 0, 7);
        SendMessageA(text, WM_COPY, 0, 0);
        EXPECT_EQ(Clipboard(), "Ligne 1");
        // Typed over, pasted into, cut from: the memo stays as stored.
        S::Type(text, "xyz");
        SendMessageA(text, WM_CUT, 0, 0);
        SendMessageA(text, WM_PASTE, 0, 0);
        EXPECT_EQ(S::Text(text), memo);
        S::Click(d, IDOK);
      });
  Run(Entry(9, "Bouillabaisse"), script);
  EXPECT_EQ(FileBytes(MemoStoreName), before);
}

TEST_F(MemoDialogWin, OpenedToWriteItStartsInEditModeWithTheCaretInTheText) {
  ASSERT_EQ(WriteMemo(MemoStoreName, 30, "existant", 0), 0);
  const std::pair<uint32_t, std::string> kCases[] = {{31, ""}, {30, "existant"}};
  for (const auto& [id, old] : kCases) {
    SCOPED_TRACE(old);
    ModalScript script;
    script.Then([] {
      HWND d = S::TopDialog();
      HWND text = GetDlgItem(d, IDC_MEMO_TEXT);
      EXPECT_FALSE(ReadOnly(text));
      EXPECT_TRUE(Ticked(d));
      EXPECT_EQ(GetFocus(), text);
      // Typed where the caret waits, after what was there.
      S::Type(text, " cerises");
      S::Click(d, IDOK);
    });
    Run(Entry(id, "Clafoutis"), script, MemoMode::Write);
    EXPECT_EQ(Stored(id), WithNul(old + " cerises"));
  }
}

TEST_F(MemoDialogWin, RecipeWithoutMemoOpensEmptyAndOkCreatesNoFile) {
  // No recipe at all: nothing opens.
  {
    ModalScript script;
    script.Then([] { ADD_FAILURE() << "a dialog opened"; });
    INT_PTR result = 0;
    EXPECT_TRUE(script.Run([&] { result = RunMemoDialog(nullptr, nullptr); }));
    EXPECT_EQ(result, -1);
  }

  Look(Entry(3, "Tarte"), [](HWND d) {
    EXPECT_TRUE(ReadOnly(GetDlgItem(d, IDC_MEMO_TEXT)));
    EXPECT_EQ(S::ItemText(d, IDC_MEMO_TEXT), "");
  }, IDOK);
  EXPECT_TRUE(FilesHere().empty());
}

TEST_F(MemoDialogWin, EditModeSavesAndReplaces) {
  ASSERT_EQ(WriteMemo(MemoStoreName, 8, "voisin", 0), 0);
  RecipeEntry& entry = Entry(12, "Cr\xE8me caramel");

  // A new memo, typed with a line break and accented letters.
  ModalScript typed;
  typed.Then([] { S::Click(S::TopDialog(), IDC_MEMO_EDIT); })
      .Then([] {
        HWND d = S::TopDialog();
        HWND text = GetDlgItem(d, IDC_MEMO_TEXT);
        EXPECT_FALSE(ReadOnly(text));
        EXPECT_TRUE(Ticked(d));
        S::Type(text, "cr\xE8me\rfra\xEE" "che");
        // A second click unticks the box but the text stays editable.
        S::Click(d, IDC_MEMO_EDIT);
      })
      .Then([] {
        HWND d = S::TopDialog();
        EXPECT_FALSE(Ticked(d));
        EXPECT_FALSE(ReadOnly(GetDlgItem(d, IDC_MEMO_TEXT)));
        S::Click(d, IDOK);
      });
  Run(entry, typed);
  EXPECT_EQ(Stored(12), WithNul("cr\xE8me\r\nfra\xEE" "che"));

  // Opened again, it shows what was saved; OK in edit mode with the text unchanged keeps it.
  const std::string before = FileBytes(MemoStoreName);
  ModalScript unchanged;
  unchanged
      .Then([] {
        EXPECT_EQ(S::ItemText(S::TopDialog(), IDC_MEMO_TEXT), "cr\xE8me\r\nfra\xEE" "che");
        S::Click(S::TopDialog(), IDC_MEMO_EDIT);
      })
      .Then([] { S::Click(S::TopDialog(), IDOK); });
  Run(entry, unchanged);
  EXPECT_EQ(FileBytes(MemoStoreName), before);

  // Replaced by a shorter text, then by a longer one.
  for (const std::string& replacement : {std::string("court"), std::string(300, 'L')}) {
    Save(entry, replacement);
    EXPECT_EQ(Stored(12), WithNul(replacement));
  }
}

// A step that waits for a message box over the memo dialog, reads it and presses `answer`.
std::function<bool()> Question(SeenBox* seen, int answer) {
  return [seen, answer] {
    HWND box = S::TopDialog();
    if (!box || !GetWindow(box, GW_OWNER)) return false;
    seen->Answer(answer)(box);
    return true;
  };
}

TEST_F(MemoDialogWin, AnEmptiedTextDeletesTheMemoOnlyOnceTheUserSaidSo) {
  ASSERT_EQ(WriteMemo(MemoStoreName, 8, "voisin", 0), 0);
  ASSERT_EQ(WriteMemo(MemoStoreName, 12, "\xC0 garder", 0), 0);
  const std::string before = FileBytes(MemoStoreName);
  RecipeEntry& entry = Entry(12, "Cr\xE8me caramel");

  // Asked with No as the default: No (or Enter) keeps the memo and the dialog; Yes deletes.
  SeenBox no, yes;
  std::string keptText = "<closed>";
  ModalScript script;
  EditAndOk(script, "");
  script.Until(Question(&no, IDNO))
      .Until([&] {
        HWND d = S::TopDialog();
        if (!d || GetWindow(d, GW_OWNER)) return false;  // the question is still up
        keptText = S::ItemText(d, IDC_MEMO_TEXT);
        EXPECT_EQ(FileBytes(MemoStoreName), before);
        S::Click(d, IDOK);
        return true;
      })
      .Until(Question(&yes, IDYES));
  Run(entry, script);
  EXPECT_EQ(no.caption, "Saucelins");
  EXPECT_EQ(no.text, S::Str(IDS_MEMO_DELETE));
  EXPECT_EQ(no.buttons, (1u << IDYES) | (1u << IDNO));
  EXPECT_EQ(no.defaultButton, IDNO);
  EXPECT_EQ(keptText, "");
  EXPECT_EQ(Stored(12), "<status -896>");
  EXPECT_EQ(Stored(8), WithNul("voisin"));

  // Without a memo there is nothing to lose: an empty OK asks nothing.
  Save(entry, "");
  EXPECT_EQ(Stored(12), "<status -896>");
  EXPECT_EQ(Stored(8), WithNul("voisin"));
}

TEST_F(MemoDialogWin, CancelEscapeAndCloseBoxDiscardTheEdit) {
  ASSERT_EQ(WriteMemo(MemoStoreName, 4, "original", 0), 0);
  const std::string before = FileBytes(MemoStoreName);
  RecipeEntry& entry = Entry(4, "Gratin");

  const struct {
    const char* name;
    std::function<void(HWND)> close;
  } kWays[] = {
      {"Cancel button", [](HWND d) { S::Click(d, IDCANCEL); }},
      {"Escape on the check box", [](HWND d) { S::Key(d, VK_ESCAPE); }},
      {"Escape in the text",
       [](HWND d) {
         SetFocus(GetDlgItem(d, IDC_MEMO_TEXT));
         S::Key(d, VK_ESCAPE);
       }},
      {"close box", [](HWND d) { PostMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0); }},
  };
  for (const auto& way : kWays) {
    SCOPED_TRACE(way.name);
    ModalScript script;
    script.Then([] { S::Click(S::TopDialog(), IDC_MEMO_EDIT); }).Then([&] {
      HWND d = S::TopDialog();
      HWND text = GetDlgItem(d, IDC_MEMO_TEXT);
      SendMessageA(text, EM_SETSEL, 8, 8);  // after "original"
      S::Type(text, " et modifi\xE9");
      EXPECT_EQ(S::Text(text), "original et modifi\xE9");
      way.close(d);
    });
    Run(entry, script);  // a dialog left open is ended by the watchdog, which fails
    EXPECT_EQ(FileBytes(MemoStoreName), before);
  }
}

TEST_F(MemoDialogWin, CaptionIsTheTitleAfterTheWordsOfString38) {
  const std::string prefix = "M\xE9mo de la recette ";
  const std::string longTitle(400, 't');
  const struct {
    std::string title, caption;
  } kCases[] = {
      {"Cr\xE8me br\xFBl\xE9" "e", prefix + "Cr\xE8me br\xFBl\xE9" "e"},
      {"100% %s %d", prefix + "100% %s %d"},
      {longTitle, (prefix + longTitle).substr(0, 255)},
  };
  for (const auto& c : kCases)
    Look(Entry(1, c.title), [&](HWND d) { EXPECT_EQ(S::Text(d), c.caption); });
}

TEST_F(MemoDialogWin, MemoIsKeptTo2047CharactersAndItsNul) {
  std::string typed;
  for (int i = 0; i < 3000; ++i) typed += static_cast<char>('a' + i % 26);

  // Pasted then typed key by key past the limit, and put in at once as a program would.
  // (Only the last thousand characters are typed: every key costs Wine a few milliseconds.)
  RecipeEntry& entry = Entry(20, "Long");
  for (bool byKeys : {true, false}) {
    SCOPED_TRACE(byKeys ? "typed" : "set");
    DeleteFileA(MemoStoreName);
    ModalScript script;
    EditAndOk(script, byKeys ? typed.substr(0, 2000) : typed, [&] {
      if (!byKeys) return;
      HWND text = GetDlgItem(S::TopDialog(), IDC_MEMO_TEXT);
      SendMessageA(text, EM_SETSEL, 2000, 2000);
      S::Type(text, typed.substr(2000));
      EXPECT_EQ(GetWindowTextLengthA(text), 2047);
    });
    Run(entry, script);
    EXPECT_EQ(Stored(20), WithNul(typed.substr(0, 2047)));
  }

  // A record of 2048 bytes or more without a NUL shows as its first 2047 characters.
  for (int32_t size : {2048, 3000}) {
    DeleteFileA(MemoStoreName);
    const std::string raw(static_cast<size_t>(size), 'z');
    ASSERT_EQ(WriteMemo(MemoStoreName, 21, raw.data(), size), 0);
    Look(Entry(21, "Plein"),
         [](HWND d) { EXPECT_EQ(S::ItemText(d, IDC_MEMO_TEXT), std::string(2047, 'z')); });
  }
}

// What the user sees after OK when the save failed: the message box, then the dialog still
// open with the text, ready to be saved again.
struct SaveOutcome {
  bool boxShown = false;
  std::string boxCaption, boxText;
  bool keptOpen = false;
  std::string keptText;
  bool keptEditable = false;
};

// Script: EditAndOk; on a failure box, note it, close it, note the dialog's state, then either
// press OK again (after `beforeRetry`) or cancel.
void SaveScript(ModalScript& script, const std::string& text, SaveOutcome& out,
                std::function<void()> beforeOk, std::function<void()> beforeRetry) {
  EditAndOk(script, text, beforeOk);
  script
      .Then([&out] {
        // Only reached while a dialog is still open: the memo dialog ends on a good save.
        HWND box = S::TopDialog();
        fileio::fault::Disarm();
        if (!GetWindow(box, GW_OWNER)) return;
        out.boxShown = true;
        out.boxCaption = S::Text(box);
        out.boxText = S::ItemText(box, 0xFFFF);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
      })
      .Then([&out, beforeRetry] {
        HWND d = S::TopDialog();
        out.keptOpen = true;
        out.keptText = S::ItemText(d, IDC_MEMO_TEXT);
        out.keptEditable = IsWindowEnabled(GetDlgItem(d, IDC_MEMO_TEXT));
        if (beforeRetry) beforeRetry();
        S::Click(d, beforeRetry ? IDOK : IDCANCEL);
      });
}

TEST_F(MemoDialogWin, FailedSaveSaysSoAndKeepsTheTextForAnotherTry) {
  // A folder where the store should be: the store cannot be written there.
  ASSERT_TRUE(CreateDirectoryA(MemoStoreName, nullptr));
  const std::string text = "\xC0 garder absolument\r\n2 carottes";
  SaveOutcome out;
  ModalScript script;
  SaveScript(script, text, out, nullptr, [] { RemoveDirectoryA(MemoStoreName); });
  Run(Entry(5, "Pot-au-feu"), script);

  EXPECT_EQ(out.boxCaption, "Saucelins");
  EXPECT_EQ(out.boxText,
            "Le m\xE9mo n'a pas pu \xEAtre enregistr\xE9.\r\n"
            "Votre texte est conserv\xE9 : vous pouvez r\xE9" "essayer ou le copier.");
  EXPECT_EQ(out.keptText, text);
  EXPECT_TRUE(out.keptEditable);
  // The second OK, with the way cleared, saved the kept text and closed the dialog.
  EXPECT_EQ(Stored(5), WithNul(text));
}

// Another program holds the store: the save waits a moment, says so in its own words, and
// keeps the text, which the next OK saves once the store is free.
TEST_F(MemoDialogWin, SaveWhileAnotherProgramHoldsTheStoreSaysSoAndKeepsTheText) {
  ASSERT_EQ(WriteMemo(MemoStoreName, 8, "voisin", 0), 0);
  const std::string before = FileBytes(MemoStoreName);
  // A lock taken through another handle holds against this process's own handles too.
  fileio::FileLock other;
  const std::string lockName = std::string(MemoStoreName) + kMemoLockSuffix;
  ASSERT_EQ(other.Acquire(lockName.c_str(), fileio::FileLock::kExclusive, 0),
            fileio::FileLock::kLocked);
  DWORD start = 0, waited = 0;
  std::string duringWait;
  SaveOutcome out;
  ModalScript script;
  SaveScript(script, "nouveau", out, [&] { start = GetTickCount(); }, [&] {
    waited = GetTickCount() - start;
    duringWait = FileBytes(MemoStoreName);
    other.Release();
  });
  Run(Entry(5, "Pot-au-feu"), script);

  EXPECT_EQ(out.boxText,
            "Le fichier de m\xE9mos est utilis\xE9 par un autre programme : le m\xE9mo n'a pas "
            "\xE9t\xE9 enregistr\xE9. R\xE9" "essayez dans un instant.");
  EXPECT_GE(waited, 1900u);
  EXPECT_EQ(duringWait, before);
  EXPECT_EQ(out.keptText, "nouveau");
  EXPECT_EQ(Stored(5), WithNul("nouveau"));
  EXPECT_EQ(Stored(8), WithNul("voisin"));
}

// Every file operation of a save fails in turn. Whatever fails, either the save went through
// and the dialog closed, or the user was told, the text is still there, and the store still
// holds every memo, whole.
TEST_F(MemoDialogWin, AFaultAtAnyFileOperationOfASaveIsReportedOrHarmless) {
  const std::string neighbour = WithNul("voisin intact");
  const std::string old = "ancien m\xE9mo de dix-huit";
  for (const std::string& fresh : {std::string("court"), std::string(200, 'n')}) {
    SCOPED_TRACE(fresh.size() < old.size() ? "rewritten in place" : "store rewritten");
    DeleteFileA(MemoStoreName);
    ASSERT_EQ(WriteMemo(MemoStoreName, 3, old.c_str(), 0), 0);
    ASSERT_EQ(WriteMemo(MemoStoreName, 4, neighbour.c_str(), 0), 0);
    const std::string pristine = FileBytes(MemoStoreName);
    RecipeEntry& entry = Entry(3, "Choucroute");

    int reported = 0;
    bool fired = true;
    long failAt = 1;
    for (; fired && failAt < 200; ++failAt) {
      SCOPED_TRACE("failing operation " + std::to_string(failAt));
      for (const std::string& n : FilesHere()) DeleteFileA(n.c_str());
      Put(MemoStoreName, pristine);
      SaveOutcome out;
      ModalScript script;
      SaveScript(script, fresh, out, [failAt] { fileio::fault::Arm(failAt); }, nullptr);
      Run(entry, script, MemoMode::Read, true);
      fired = fileio::fault::Fired();
      fileio::fault::Disarm();

      // What the dialog would show: a replacement written in place without its directory
      // entry keeps the old length, and the old text's tail lies unseen past the new NUL.
      const std::string stored = Stored(3);
      const std::string now = stored.substr(0, stored.find('\0') + 1);
      EXPECT_EQ(Stored(4), neighbour);
      if (out.boxShown) {
        ++reported;
        EXPECT_EQ(out.keptText, fresh);
        EXPECT_TRUE(now == WithNul(old) || now == WithNul(fresh)) << testing::PrintToString(stored);
      } else {
        EXPECT_FALSE(out.keptOpen);
        EXPECT_EQ(stored, WithNul(fresh));
      }
    }
    EXPECT_FALSE(fired) << "the save still had operations left after " << failAt;
    std::printf("%s: %ld file operations failed in turn, %d of them reported\n",
                fresh.size() < old.size() ? "in place" : "rewrite", failAt - 2, reported);
    EXPECT_GT(reported, 0);
  }
}

}  // namespace

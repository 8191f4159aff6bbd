// The category editor under Wine: the real dialog from template 106, run modally on a small
// catalogue in a temporary folder and driven from its own loop as a user would drive it:
// buttons, typed labels, Return and Escape, message boxes answered.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "catalogue/recipe_table.h"
#include "editor/editor_state_win32.h"
#include "editor/editor_fixture_wintest.h"
#include "resources/resource.h"

namespace {

using namespace editor_test;

std::string Count(int n) {
  char buf[128];
  wsprintfA(buf, Str(n <= 1 ? IDS_COUNT_SINGULAR : IDS_COUNT_PLURAL).c_str(), n);
  return buf;
}

class CategoryEditor : public EditorTest {
 protected:
  // A save the editor refuses: once `prepare` has run on the loaded catalogue, "Tartes" is
  // destroyed (confirmed) and the editor saves; the box that refuses is answered OK into
  // `refused`; `check` then looks at the editor, still open, and quitting it discards the
  // change (its box answered Yes into `discard`). Every step must run.
  void RunRefusedSave(const std::function<void()>& prepare, SeenBox* refused,
                      const std::function<void()>& check, SeenBox* discard) {
    SeenBox confirm;
    Script script;
    script.Until(Loaded)
        .Do([&prepare] {
          prepare();
          if (HasFatalFailure()) return;
          Select(Find({"Desserts", "Tartes"}));
          Command(IDC_EDITOR_DESTROY);
        })
        .Until(AnswerBox(&confirm, IDYES))
        .Until(NoOtherDialog())
        .Do([] { Command(IDC_EDITOR_SAVE); })
        .Until(AnswerBox(refused, IDOK))
        .Until(NoOtherDialog())
        .Do([&check] {
          check();
          Command(IDC_QUIT);
        })
        .Until(AnswerBox(discard, IDYES));
    RunToEnd(script);
  }
};

TEST_F(CategoryEditor, OpensOnTheRootWithItsOwnRecipesAndListsOnlyACategorysOwn) {
  WriteCatalogue(kCatalogue);
  Script script;
  script.Until(Loaded).Do([] {
    EXPECT_EQ(Text(Dialog()), "Cr\xE9" "ation des cat\xE9gories");
    EXPECT_EQ(ItemText(IDC_EDITOR_SAVE), "&Sauver");
    EXPECT_EQ(ItemText(IDC_EDITOR_HELP), "&Aide");
    EXPECT_EQ(ItemText(IDC_QUIT), "&Fermer");
    EXPECT_EQ(ItemText(IDC_EDITOR_CREATE), "&Nouvelle cat\xE9gorie");
    EXPECT_EQ(ItemText(IDC_EDITOR_DESTROY), "S&upprimer la cat\xE9gorie");
    EXPECT_EQ(ItemText(IDC_EDITOR_RENAME), "&Renommer la cat\xE9gorie");

    // One column, titled from the string table, as wide as the list minus 20 pixels.
    char title[32] = {};
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    column.pszText = title;
    column.cchTextMax = sizeof title;
    ASSERT_TRUE(SendMessageA(List(), LVM_GETCOLUMNA, 0, reinterpret_cast<LPARAM>(&column)));
    EXPECT_STREQ(title, "Recette");
    EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_LEFT);
    RECT r;
    GetWindowRect(List(), &r);
    EXPECT_EQ(column.cx, r.right - r.left - 20);
    EXPECT_FALSE(SendMessageA(List(), LVM_GETCOLUMNA, 1, reinterpret_cast<LPARAM>(&column)));

    // The root is selected and what is filed directly there is listed at once.
    EXPECT_EQ(Selection(), Root());
    EXPECT_EQ(Label(Root()), "Toutes les recettes");
    EXPECT_EQ(Children(Root()), (std::vector<std::string>{"Desserts", kEntrees, "Plats"}));
    EXPECT_EQ(Listed(), std::vector<std::string>{"Pain de campagne"});
    EXPECT_EQ(ItemText(IDC_EDITOR_STATUS), Count(1));

    // Only a category's own recipes, in title order; the count agrees in number.
    Select(Find({"Desserts", "Tartes"}));
    EXPECT_EQ(Listed(), (std::vector<std::string>{"Tarte au citron", "Tarte aux pommes", "Tarte tatin"}));
    EXPECT_EQ(ItemText(IDC_EDITOR_STATUS), "3 recettes dans cette cat\xE9gorie");
    Select(Find({"Plats", "Viandes"}));
    EXPECT_TRUE(Listed().empty());
    EXPECT_EQ(ItemText(IDC_EDITOR_STATUS), "0 recette dans cette cat\xE9gorie");
    Select(Find({"Desserts"}));
    EXPECT_EQ(Listed(), std::vector<std::string>{"G\xE2teau basque"});
    EXPECT_EQ(ItemText(IDC_EDITOR_STATUS), Count(1));
    Select(Root());
    EXPECT_EQ(Listed(), std::vector<std::string>{"Pain de campagne"});
    Command(IDC_QUIT);  // nothing changed: closes without asking
  });
  RunToEnd(script);
  EXPECT_EQ(editorResult_, 0);
}

TEST_F(CategoryEditor, CreateRenameAndDeleteWithRecipesAtEveryLevel) {
  WriteCatalogue(kCatalogue);
  SeenBox no, cancel, yes, root, discard;
  Script script;
  script.Until(Loaded)
      .Do(On({"Desserts"}, IDC_EDITOR_CREATE))
      .Until([] {
        if (!LabelEdit()) return false;
        // A new category starts with an empty label, appended after its last sibling.
        EXPECT_EQ(Text(LabelEdit()), "");
        Type("Cr\xE8mes");
        PressKey(VK_RETURN);
        return true;
      })
      .Until([] {
        if (LabelEdit()) return false;
        EXPECT_EQ(Children(Find({"Desserts"})), (std::vector<std::string>{"Tartes", "Cr\xE8mes"}));
        EXPECT_TRUE(Expanded(Find({"Desserts", "Cr\xE8mes"})));
        EXPECT_TRUE(Editor().modified);
        Select(Find({"Desserts", "Cr\xE8mes"}));
        Command(IDC_EDITOR_RENAME);
        return true;
      })
      .Until([] {
        if (!LabelEdit()) return false;
        EXPECT_EQ(Text(LabelEdit()), "Cr\xE8mes");
        Type("Cr\xE8mes et flans");
        PressKey(VK_RETURN);
        return true;
      })
      .Until([] {
        if (LabelEdit()) return false;
        EXPECT_EQ(Children(Find({"Desserts"})), (std::vector<std::string>{"Tartes", "Cr\xE8mes et flans"}));
        return true;
      });
  // Plats holds a recipe, and so do its grandchildren Boeuf and Veau: No and Cancel keep them.
  for (SeenBox* kept : {&no, &cancel}) {
    script.Do(On({"Plats"}, IDC_EDITOR_DESTROY))
        .Until(AnswerBox(kept, kept == &no ? IDNO : IDCANCEL))
        .Until(NoOtherDialog())
        .Do([] { EXPECT_NE(Find({"Plats", "Viandes", "Veau"}), nullptr); });
  }
  script.Do(On({"Plats"}, IDC_EDITOR_DESTROY))
      .Until(AnswerBox(&yes, IDYES))
      .Until(NoOtherDialog())
      .Do([] {
        EXPECT_EQ(Find({"Plats"}), nullptr);
        EXPECT_EQ(Children(Root()), (std::vector<std::string>{"Desserts", kEntrees}));
        // The parent is selected and lists the recipes of all three levels.
        EXPECT_EQ(Selection(), Root());
        EXPECT_EQ(Listed(), (std::vector<std::string>{"Blanquette", "Boeuf bourguignon", "Omelette",
                                                      "Pain de campagne"}));
        EXPECT_EQ(ItemText(IDC_EDITOR_STATUS), "4 recettes dans cette cat\xE9gorie");
        for (uint32_t i = 0; i < RecipeCount(); ++i) {
          const RecipeEntry& e = RecipeEntries()[i];
          if (e.recipeId >= 105 && e.recipeId <= 107) {
            EXPECT_EQ(e.category, Editor().tree.Root()) << e.title;
          }
        }
        Command(IDC_EDITOR_DESTROY);  // on the root
      })
      .Until(AnswerBox(&root, IDOK))
      .Until(NoOtherDialog())
      .Do([] { EXPECT_EQ(Label(Root()), "Toutes les recettes"); });
  QuitDiscarding(script, &discard);
  RunToEnd(script);

  EXPECT_EQ(no.caption, "Saucelins");
  EXPECT_EQ(no.text, Str(IDS_CONFIRM_DELETE));
  EXPECT_EQ(no.buttons, (1u << IDYES) | (1u << IDNO) | (1u << IDCANCEL));
  EXPECT_EQ(no.icon, nullptr);
  EXPECT_EQ(root.text, "Cet \xE9l\xE9ment ne peut pas \xEAtre d\xE9truit.");
  EXPECT_EQ(root.buttons, 0u);
  EXPECT_EQ(root.icon, nullptr);
  EXPECT_EQ(discard.text, "Abandonner les changements");
  EXPECT_EQ(discard.buttons, (1u << IDYES) | (1u << IDNO) | (1u << IDCANCEL));
  EXPECT_TRUE(discard.Exclamation());
  // Enter keeps the work.
  EXPECT_EQ(discard.defaultButton, IDCANCEL);
  EXPECT_TRUE(Beeps().empty());
}

TEST_F(CategoryEditor, ANewCategoryLeftUnnamedGoesAgainAndItsParentIsSelected) {
  WriteCatalogue(kCatalogue);
  // Each way of leaving the new label: typed text, then the key pressed (0: none).
  struct Way {
    const char* name;
    std::string text;
    WPARAM key;
  };
  const Way ways[] = {
      {"Escape with a text typed", "Potages", VK_ESCAPE},
      {"confirmed empty", "", VK_RETURN},
      {"spaces only, which would not come back from the index", "   ", VK_RETURN},
      {"the Escape character itself, as the key filter receives it", "\x1b", 0},
  };
  SeenBox discard;
  Script script;
  script.Until(Loaded);
  for (const Way& w : ways) {
    script.Do(On({kEntrees}, IDC_EDITOR_CREATE))
        .Until([&w] {
          if (!LabelEdit()) return false;
          Type(w.text);
          if (w.key) PressKey(w.key);
          return true;
        })
        .Until([&w] {
          if (!Children(Find({kEntrees})).empty() || LabelEdit()) return false;
          SCOPED_TRACE(w.name);
          EXPECT_EQ(Selection(), Find({kEntrees}));
          EXPECT_EQ(Listed(), std::vector<std::string>{"Soupe \xE0 l'oignon"});
          // Escape went to the label, not to the dialog: no question about the changes.
          EXPECT_EQ(DialogOtherThan(Dialog()), nullptr);
          EXPECT_TRUE(IsWindowVisible(Dialog()));
          return true;
        });
  }
  QuitDiscarding(script, &discard);
  RunToEnd(script);
  EXPECT_TRUE(Beeps().empty());
}

TEST_F(CategoryEditor, RenamingKeepsTheOldLabelForAnEmptyOrACancelledText) {
  WriteCatalogue(kCatalogue);
  SeenBox discard;
  Script script;
  script.Until(Loaded)
      .Do(On({"Desserts", "Tartes"}, IDC_EDITOR_RENAME))
      .Until([] {
        if (!LabelEdit()) return false;
        // The label edit wants Return and Escape for itself.
        EXPECT_TRUE(SendMessageA(LabelEdit(), WM_GETDLGCODE, VK_RETURN, 0) & DLGC_WANTALLKEYS);
        Type("");
        PressKey(VK_RETURN);
        return true;
      })
      .Until(NoLabelEdit)
      .Do([] { EXPECT_EQ(Children(Find({"Desserts"})), std::vector<std::string>{"Tartes"}); })
      .Do(On({"Desserts", "Tartes"}, IDC_EDITOR_RENAME))
      .Until(TypeLabel("Autre chose", VK_ESCAPE))
      .Until(NoLabelEdit)
      .Do([] {
        EXPECT_EQ(Children(Find({"Desserts"})), std::vector<std::string>{"Tartes"});
        // Escape stayed in the label: the dialog did not start closing.
        EXPECT_EQ(DialogOtherThan(Dialog()), nullptr);
      });
  QuitDiscarding(script, &discard);
  RunToEnd(script);
  EXPECT_TRUE(Beeps().empty());
}

std::string Formatted(UINT id, const char* value) {
  char buf[1024];
  wsprintfA(buf, Str(id).c_str(), value);
  return buf;
}

TEST_F(CategoryEditor, ARefusedLabelSaysWhyAndIsEditedAgainFromWhatWasTyped) {
  WriteCatalogue(kCatalogue);
  const std::string cremes = "Cr\xE8mes";
  struct Case {
    const char* name;
    std::function<void()> start;
    std::string typed;  // pasted when it holds a TAB, which typing cannot enter
    std::string message;
    std::vector<std::string> whileRefused;  // Desserts' children while the edit is back
    std::string fix;                        // typed then; empty: Escape
    std::vector<std::string> after;
  };
  const auto create = On({"Desserts"}, IDC_EDITOR_CREATE);
  const auto rename = On({"Desserts", cremes}, IDC_EDITOR_RENAME);
  const std::vector<Case> cases = {
      {"a / in a new label", create, cremes + "/Flans", Str(IDS_LABEL_REFUSED), {"Tartes", ""}, cremes,
       {"Tartes", cremes}},
      {"a new twin, then Escape", create, "Tartes", Formatted(IDS_LABEL_TAKEN, "Tartes"),
       {"Tartes", cremes, ""}, "", {"Tartes", cremes}},
      {"renamed as its sibling", rename, "Tartes", Formatted(IDS_LABEL_TAKEN, "Tartes"),
       {"Tartes", cremes}, "", {"Tartes", cremes}},
      {"renamed with a TAB", rename, cremes + "\tflans", Str(IDS_LABEL_REFUSED), {"Tartes", cremes},
       cremes + " et flans", {"Tartes", cremes + " et flans"}},
  };
  std::vector<SeenBox> boxes(cases.size());
  std::vector<std::string> retyped(cases.size());
  std::vector<std::vector<std::string>> siblings(cases.size());
  SeenBox discard;
  Script script;
  script.Until(Loaded);
  for (size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    script.Do(c.start)
        .Until([&c] {
          if (!LabelEdit()) return false;
          if (c.typed.find('\t') == std::string::npos) {
            Type(c.typed);
          } else {
            Paste(c.typed);
          }
          PressKey(VK_RETURN);
          return true;
        })
        .Until(AnswerBox(&boxes[i], IDOK))
        .Until([&, i] {
          if (!LabelEdit() || DialogOtherThan(Dialog())) return false;
          retyped[i] = Text(LabelEdit());
          siblings[i] = Children(Find({"Desserts"}));
          if (c.fix.empty()) {
            PressKey(VK_ESCAPE);
          } else {
            Type(c.fix);
            PressKey(VK_RETURN);
          }
          return true;
        })
        .Until([&c] { return !LabelEdit() && Children(Find({"Desserts"})) == c.after; });
  }
  QuitDiscarding(script, &discard);
  RunToEnd(script);
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].name);
    EXPECT_EQ(boxes[i].caption, "Saucelins");
    EXPECT_EQ(boxes[i].text, cases[i].message);
    EXPECT_TRUE(boxes[i].Exclamation());
    // The edit came back with what was typed; meanwhile the category kept its label, or stayed
    // unnamed when it was new.
    EXPECT_EQ(retyped[i], cases[i].typed);
    EXPECT_EQ(siblings[i], cases[i].whileRefused);
  }
  EXPECT_TRUE(Beeps().empty());
}

TEST_F(CategoryEditor, EveryLabelEditStopsAt63Characters) {
  WriteCatalogue(kCatalogue);
  struct Way {
    const char* name;
    std::function<void()> start;
    std::vector<std::string> parent;  // where the edited category is
  };
  const std::vector<Way> ways = {
      {"new category", On({"Plats"}, IDC_EDITOR_CREATE), {"Plats"}},
      {"rename button", On({"Desserts", "Tartes"}, IDC_EDITOR_RENAME), {"Desserts"}},
      {"click on the label", [] { ClickLabel({kEntrees}); }, {}},
  };
  const std::string typed = std::string(40, 'a') + std::string(40, 'b');
  std::vector<std::string> inEdit(ways.size()), kept(ways.size());
  SeenBox discard;
  Script script;
  script.Until(Loaded);
  for (size_t i = 0; i < ways.size(); ++i) {
    const char letter = static_cast<char>('p' + i);
    script.Do(ways[i].start)
        .Until([&, i, letter] {
          if (!LabelEdit()) return false;
          // A different last letter each time, so that no two become siblings of one label.
          Type(typed.substr(0, 62) + letter + typed.substr(63));
          inEdit[i] = Text(LabelEdit());
          PressKey(VK_RETURN);
          return true;
        })
        .Until([&, i] {
          if (LabelEdit()) return false;
          HTREEITEM parent = Find(ways[i].parent);
          for (const std::string& label : Children(parent))
            if (label.size() > 40) kept[i] = label;
          return true;
        });
  }
  QuitDiscarding(script, &discard);
  RunToEnd(script);
  for (size_t i = 0; i < ways.size(); ++i) {
    SCOPED_TRACE(ways[i].name);
    const std::string expected = typed.substr(0, 62) + static_cast<char>('p' + i);
    EXPECT_EQ(inEdit[i], expected);
    EXPECT_EQ(kept[i], expected);
  }
}

TEST_F(CategoryEditor, TheRootIsNotOfferedForRenaming) {
  WriteCatalogue(kCatalogue);
  auto renameEnabled = [] { return IsWindowEnabled(GetDlgItem(Dialog(), IDC_EDITOR_RENAME)) != FALSE; };
  HWND clickEdit = reinterpret_cast<HWND>(1);
  int ticks = 0;
  SeenBox discard;
  Script script;
  script.Until(Loaded)
      .Do([&] {
        EXPECT_FALSE(renameEnabled());  // at opening
        Select(Find({"Desserts"}));
        EXPECT_TRUE(renameEnabled());
        Select(Root());
        EXPECT_FALSE(renameEnabled());
        // Neither the command nor a click on its label starts an edit of the root.
        Command(IDC_EDITOR_RENAME);
        SetFocus(Tree());
        clickEdit = reinterpret_cast<HWND>(
            SendMessageA(Tree(), TVM_EDITLABELA, 0, reinterpret_cast<LPARAM>(Root())));
      })
      .Until([&] {
        EXPECT_EQ(LabelEdit(), nullptr);
        return ++ticks > 5;
      })
      .Do([] { EXPECT_EQ(Label(Root()), "Toutes les recettes"); });
  QuitDiscarding(script, &discard);
  RunToEnd(script);
  EXPECT_EQ(clickEdit, nullptr);
}

TEST_F(CategoryEditor, AnEditBegunByClickingTheLabelCountsOnlyWhenItChangesTheLabel) {
  WriteCatalogue(kCatalogue);
  const auto clickLabel = [] { ClickLabel({kEntrees}); };
  {
    Script script;
    script.Until(Loaded)
        .Do(clickLabel)
        .Until(TypeLabel(kEntrees))
        .Until([] {
          if (LabelEdit()) return false;
          EXPECT_FALSE(Editor().modified);
          Command(IDC_QUIT);  // closes without asking
          return true;
        });
    RunToEnd(script);
  }
  SeenBox no, cancel, yes;
  Script script;
  script.Until(Loaded)
      .Do(clickLabel)
      .Until(TypeLabel("Hors-d'oeuvre"))
      .Until([] {
        if (LabelEdit()) return false;
        EXPECT_EQ(Children(Root()), (std::vector<std::string>{"Desserts", "Hors-d'oeuvre", "Plats"}));
        EXPECT_TRUE(Editor().modified);
        return true;
      });
  // Every way of closing asks; No and Cancel leave the editor open.
  struct Close {
    UINT message;
    WPARAM command;  // IDCANCEL is the Escape key of the dialog
    SeenBox* box;
    int answer;
  };
  for (const Close& c : {Close{WM_COMMAND, IDC_QUIT, &no, IDNO}, Close{WM_COMMAND, IDCANCEL, &cancel, IDCANCEL},
                         Close{WM_CLOSE, 0, &yes, IDYES}}) {
    script.Do([c] { PostMessageA(Dialog(), c.message, c.command, 0); }).Until(AnswerBox(c.box, c.answer));
    if (c.answer != IDYES) script.Until(NoOtherDialog()).Do([] { EXPECT_TRUE(IsWindowVisible(Dialog())); });
  }
  RunToEnd(script);
  EXPECT_EQ(editorResult_, 0);
  EXPECT_EQ(no.text, "Abandonner les changements");
}

TEST_F(CategoryEditor, SaveWritesTheNewFilingKeepsABackupAndClosingAsksNothingAfterIt) {
  WriteCatalogue(kCatalogue);
  const std::string before = Slurp("Gourmix.Idx");
  SeenBox confirm, again;
  std::string saved;
  Script script;
  script.Until(Loaded)
      .Do(On({"Plats", "Viandes", "Veau"}, IDC_EDITOR_DESTROY))
      .Until(AnswerBox(&confirm, IDYES))
      .Until(NoOtherDialog())
      .Do([] {
        EXPECT_TRUE(Editor().modified);
        Command(IDC_EDITOR_SAVE);
      })
      .Until([&saved] {
        if (Editor().modified) return false;
        EXPECT_EQ(DialogOtherThan(Dialog()), nullptr);  // no message on success
        saved = Slurp("Gourmix.Idx");
        // A later command makes closing ask again.
        Select(Find({"Plats", "Viandes"}));
        Command(IDC_EDITOR_CREATE);
        return true;
      })
      .Until(TypeLabel("", VK_ESCAPE))
      .Until([] { return !LabelEdit() && Children(Find({"Plats", "Viandes"})).size() == 1; })
      .Do([] { Command(IDC_QUIT); })
      .Until(AnswerBox(&again, IDNO))
      .Until(NoOtherDialog())
      .Do([] { Command(IDC_EDITOR_SAVE); })
      .Until([] {
        if (Editor().modified) return false;
        Command(IDC_QUIT);
        return true;
      });
  RunToEnd(script);

  EXPECT_EQ(PathInIndex(saved, "Blanquette"), "/Plats/Viandes");
  EXPECT_EQ(PathInIndex(saved, "Boeuf bourguignon"), "/Plats/Viandes/Boeuf");
  EXPECT_EQ(PathInIndex(saved, "Pain de campagne"), "/");  // the root's own, read back there
  EXPECT_EQ(PathInIndex(saved, "Soupe \xE0 l'oignon"), "/" + kEntrees);
  EXPECT_EQ(Slurp("Gourmix.Idx"), saved);
  // The backup is the index as it was before the session's first save, not what that save wrote.
  EXPECT_EQ(Slurp("Gourmix.Bak"), before);
  EXPECT_NE(saved, before);

  // What was saved is what the next load reads.
  CategoryTree reread;
  ASSERT_EQ(LoadIndex(reread), kCatalogue.size());
  for (uint32_t i = 0; i < RecipeCount(); ++i)
    if (RecipeEntries()[i].recipeId == 106) {
      EXPECT_STREQ(PathOfCategory(reread, RecipeEntries()[i].category), "/Plats/Viandes");
    }
  ReleaseCatalogue();
}

TEST_F(CategoryEditor, SaveNamesTheCategoriesItCannotKeepAndMayBeLeftUndone) {
  WriteCatalogue(kCatalogue);
  const std::string before = Slurp("Gourmix.Idx");
  auto create = [](std::vector<std::string> parent, std::string label, Script& script) {
    script.Do(On(parent, IDC_EDITOR_CREATE)).Until(TypeLabel(label)).Until(NoLabelEdit);
  };
  SeenBox no, yes;
  std::string afterNo;
  Script script;
  script.Until(Loaded);
  // An empty branch, and an empty leaf beside a full one.
  create({"Desserts"}, "Cr\xE8mes", script);
  create({"Desserts", "Cr\xE8mes"}, "Flans", script);
  create({"Plats", "Viandes"}, "Agneau", script);
  script.Do([] { Command(IDC_EDITOR_SAVE); })
      .Until(AnswerBox(&no, IDNO))
      .Until(NoOtherDialog())
      .Do([&afterNo] {
        afterNo = Slurp("Gourmix.Idx");
        EXPECT_TRUE(Editor().modified);
        Command(IDC_EDITOR_SAVE);
      })
      .Until(AnswerBox(&yes, IDYES))
      .Until([] {
        if (Editor().modified) return false;
        Command(IDC_QUIT);
        return true;
      });
  RunToEnd(script);
  EXPECT_EQ(no.caption, "Saucelins");
  EXPECT_EQ(no.text, Formatted(IDS_EMPTY_NOT_SAVED, "/Desserts/Cr\xE8mes\r\n/Plats/Viandes/Agneau\r\n"));
  EXPECT_EQ(no.buttons, (1u << IDYES) | (1u << IDNO));
  EXPECT_TRUE(no.Exclamation());
  EXPECT_EQ(afterNo, before);
  EXPECT_EQ(yes.text, no.text);
  // Saved without them, as said.
  EXPECT_EQ(Slurp("Gourmix.Bak"), before);
  EXPECT_EQ(Slurp("Gourmix.Idx").find("Cr\xE8mes"), std::string::npos);
  EXPECT_EQ(Slurp("Gourmix.Idx").find("Agneau"), std::string::npos);
}

TEST_F(CategoryEditor, AFailedSaveKeepsTheIndexAndTheChangesAndSaysSo) {
  WriteCatalogue(kCatalogue);
  const std::string before = Slurp("Gourmix.Idx");
  // Another program holds the index open: it cannot be replaced.
  HANDLE held = INVALID_HANDLE_VALUE;
  SeenBox failed, discard;
  ASSERT_NO_FATAL_FAILURE(RunRefusedSave(
      [&held] {
        held = CreateFileA("Gourmix.Idx", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
      },
      &failed, [] { EXPECT_TRUE(Editor().modified); }, &discard));
  if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
  EXPECT_EQ(failed.caption, "Saucelins");
  EXPECT_EQ(failed.text, "Erreur de Sauvegarde");
  EXPECT_EQ(failed.buttons, 0u);
  EXPECT_TRUE(failed.Exclamation());
  EXPECT_EQ(Slurp("Gourmix.Idx"), before);
  EXPECT_EQ(GetFileAttributesA("Gourmix.Tmp"), INVALID_FILE_ATTRIBUTES);
}

// Runs the command-line tool built beside this test with `arguments`, in the working folder, as
// a second program working on the same catalogue. Returns its exit status, or -1.
int RunCliTool(const std::string& arguments) {
  char exe[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, exe, sizeof exe);
  std::string path = exe;
  path = path.substr(0, path.find_last_of("\\/") + 1) + "saucelins-cli.exe";
  std::string command = "\"" + path + "\" " + arguments;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(path.c_str(), &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                      nullptr, &startup, &process)) {
    ADD_FAILURE() << "cannot start " << path << ": error " << GetLastError();
    return -1;
  }
  DWORD status = static_cast<DWORD>(-1);
  if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0)
    GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(status);
}

TEST_F(CategoryEditor, SaveRefusesAnIndexAnotherProgramSavedSinceTheEditorLoadedIt) {
  WriteCatalogue(kCatalogue);
  // The other program's save drops the comment: the index it writes differs from this one.
  Put("Gourmix.Idx", "# nos recettes\r\n" + Slurp("Gourmix.Idx"));
  const std::string before = Slurp("Gourmix.Idx");
  std::string theirs;
  SeenBox changed, discard;
  ASSERT_NO_FATAL_FAILURE(RunRefusedSave(
      [&theirs, &before] {
        ASSERT_EQ(RunCliTool("resave"), 0);
        theirs = Slurp("Gourmix.Idx");
        EXPECT_NE(theirs, before);
      },
      &changed,
      [] {
        // The editor stays open with its changes, which closing would still ask about.
        EXPECT_TRUE(IsWindowVisible(Dialog()));
        EXPECT_TRUE(Editor().modified);
        EXPECT_EQ(Find({"Desserts", "Tartes"}), nullptr);
      },
      &discard));
  EXPECT_EQ(changed.caption, "Saucelins");
  EXPECT_EQ(changed.text, Str(IDS_SAVE_CHANGED));
  EXPECT_TRUE(changed.Exclamation());
  // What the other program saved is still there, and its backup too.
  EXPECT_EQ(Slurp("Gourmix.Idx"), theirs);
  EXPECT_EQ(Slurp("Gourmix.Bak"), before);
  EXPECT_EQ(GetFileAttributesA("Gourmix.Tmp"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(CategoryEditor, SaveRefusesAPathThatWouldNotComeBackWholeAndShowsTheCategory) {
  // Four levels of 60 characters: a fifth label of more than 10 passes 255 characters.
  const std::string label(60, 'n');
  const std::string deepPath = "/" + label + "/" + label + "/" + label + "/" + label + "/court";
  WriteCatalogue({{201, "Profonde", deepPath.c_str()}, {202, "Ailleurs", "/Desserts"}});
  const std::string before = Slurp("Gourmix.Idx");
  SeenBox refused, discard;
  Script script;
  script.Until(Loaded)
      .Do([&deepPath] {
        EditorState& s = Editor();
        CategoryNode deep = CategoryFromPath(s.tree, deepPath.c_str());
        ASSERT_TRUE(SetCategoryLabel(s.tree, deep, "un nom bien trop long"));
        s.modified = true;
        Select(Find({"Desserts"}));
        Command(IDC_EDITOR_SAVE);
      })
      .Until(AnswerBox(&refused, IDOK))
      .Until(NoOtherDialog())
      .Do([&label] {
        EXPECT_TRUE(Editor().modified);
        EXPECT_EQ(Selection(), Find({label, label, label, label, "un nom bien trop long"}));
        Command(IDC_QUIT);
      })
      .Until(AnswerBox(&discard, IDYES));
  RunToEnd(script);
  const std::string shown = (deepPath.substr(0, deepPath.size() - 5) + "un nom bien trop long").substr(0, 255);
  EXPECT_NE(refused.text.find("\xAB " + shown + " \xBB"), std::string::npos) << refused.text;
  EXPECT_TRUE(refused.Exclamation());
  EXPECT_EQ(Slurp("Gourmix.Idx"), before);
  EXPECT_EQ(GetFileAttributesA("Gourmix.Bak"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(CategoryEditor, AfterAFailedLoadSaveIsRefusedAndTheIndexIsLeftAlone) {
  struct Case {
    const char* name;
    const char* index;  // null: no index file at all
    UINT loadMessage;
  };
  const Case cases[] = {
      {"no index", nullptr, IDS_NO_INDEX},
      {"comments only", "# nothing but a comment\r\n! and another\r\n", IDS_INDEX_ERROR},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.index) Put("Gourmix.Idx", c.index);
    SeenBox load, refused;
    Script script;
    script.Until(Loaded)
        .Until(AnswerBox(&load, IDOK))
        .Until(NoOtherDialog())
        .Do([] {
          EXPECT_TRUE(IsWindowVisible(Dialog()));  // the editor stays open
          EXPECT_EQ(RecipeCount(), 0u);
          EXPECT_TRUE(Listed().empty());
          Command(IDC_EDITOR_SAVE);
        })
        .Until(AnswerBox(&refused, IDOK))
        .Until(NoOtherDialog())
        .Do([] { Command(IDC_QUIT); });
    RunToEnd(script);
    EXPECT_EQ(load.text, Str(c.loadMessage));
    EXPECT_EQ(refused.caption, "Saucelins");
    EXPECT_EQ(refused.text, Str(IDS_SAVE_REFUSED));
    EXPECT_TRUE(refused.Exclamation());
    if (c.index) {
      EXPECT_EQ(Slurp("Gourmix.Idx"), c.index);
    } else {
      EXPECT_EQ(GetFileAttributesA("Gourmix.Idx"), INVALID_FILE_ATTRIBUTES);
    }
    EXPECT_EQ(GetFileAttributesA("Gourmix.Bak"), INVALID_FILE_ATTRIBUTES);
    DeleteFileA("Gourmix.Idx");
  }
}

TEST_F(CategoryEditor, HelpOpensOverTheEditor) {
  WriteCatalogue(kCatalogue);
  std::string caption;
  Script script;
  script.Until(Loaded)
      .Do([] { Command(IDC_EDITOR_HELP); })
      .Until([&caption] {
        HWND help = DialogOtherThan(Dialog());
        if (!help) return false;
        caption = Text(help);
        EXPECT_EQ(GetWindow(help, GW_OWNER), Dialog());
        PostMessageA(help, WM_COMMAND, IDCANCEL, 0);
        return true;
      })
      .Until(NoOtherDialog())
      .Do([] { Command(IDC_QUIT); });
  RunToEnd(script);
  EXPECT_EQ(caption, "Aide de Saucelins");
}

}  // namespace

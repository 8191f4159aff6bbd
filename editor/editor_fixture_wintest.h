// What the category editor's Wine tests share: a small catalogue written into a temporary
// folder, a script played from a thread timer inside the editor's own modal loop, and the
// gestures of a user (clicks on real item rectangles, typed labels, menu choices).
#ifndef SAUCELINS_EDITOR_EDITOR_FIXTURE_WINTEST_H
#define SAUCELINS_EDITOR_EDITOR_FIXTURE_WINTEST_H

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "catalogue/recipe_table.h"
#include "catalogue/small_catalogue_test.h"
#include "editor/category_editor_win32.h"
#include "editor/editor_state_win32.h"
#include "platform/modal_script_wintest.h"
#include "platform/temp_folder_wintest.h"
#include "resources/resource.h"

namespace editor_test {

using Script = wintest::ModalScript;
using testfiles::Put;
using testfiles::Recipe;
using testfiles::Slurp;
using testfiles::TextOf;
using testfiles::WriteCatalogue;
using wintest::DialogOtherThan;
using wintest::OpenMenuWindow;
using wintest::SeenBox;
using wintest::Str;
using wintest::Text;

// The small catalogue most tests start from, in Windows-1252 bytes as the index holds them.
inline const std::vector<Recipe> kCatalogue = {
    {101, "Tarte aux pommes", "/Desserts/Tartes"},
    {102, "Tarte au citron", "/Desserts/Tartes"},
    {103, "Tarte tatin", "/Desserts/Tartes"},
    {104, "G\xE2teau basque", "/Desserts"},
    {105, "Boeuf bourguignon", "/Plats/Viandes/Boeuf"},
    {106, "Blanquette", "/Plats/Viandes/Veau"},
    {107, "Omelette", "/Plats"},
    {108, "Soupe \xE0 l'oignon", "/Entr\xE9" "es"},
    {109, "Pain de campagne", "/"},
};
inline const std::string kEntrees = "Entr\xE9" "es";

// The path each title is filed under in the index file on disk.
inline std::string PathInIndex(const std::string& index, const std::string& title) {
  size_t line = 0;
  while (line < index.size()) {
    size_t end = index.find('\n', line);
    if (end == std::string::npos) end = index.size();
    std::vector<std::string> cols;
    size_t p = line;
    for (size_t tab; (tab = index.find('\t', p)) < end; p = tab + 1) cols.push_back(index.substr(p, tab - p));
    cols.push_back(index.substr(p, end - p));
    if (cols.size() >= 6 && cols[1] == title) return cols[5];
    line = end + 1;
  }
  return "?";
}

inline std::vector<UINT>& Beeps() {
  static std::vector<UINT> beeps;
  return beeps;
}
inline BOOL WINAPI RecordBeep(UINT type) {
  Beeps().push_back(type);
  return TRUE;
}

// Runs each test in a fresh temporary folder with the editor's beeps recorded.
class EditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.Enter());
    Beeps().clear();
    SetEditorBeepForTests(RecordBeep);
  }
  void TearDown() override {
    SetEditorBeepForTests(nullptr);
    ReleaseCatalogue();
    const bool onlyTheCatalogue = folder_.RemoveExpecting(
        {"Gourmix.Idx", "Gourmix.Idx.lck", "Gourmix.Dat", "Gourmix.mem", "Gourmix.mem.lck", "Gourmix.Bak",
         "Gourmix.Tmp", "Gourmix.Tbk"});
    EXPECT_TRUE(onlyTheCatalogue) << "a file was left in " << folder_.Path();
  }

  // Runs the editor modally while the script plays; the script's first step waits for the
  // catalogue to be loaded (the list has its column). False when the watchdog had to act.
  bool RunEditor(Script& script, HWND owner = nullptr) {
    editorResult_ = -1;
    return script.Run([&] { editorResult_ = RunCategoryEditor(owner); });
  }
  static bool Loaded() {
    HWND d = Editor().dialog;
    if (!d || !IsWindowVisible(d)) return false;
    char buf[32] = {};
    LVCOLUMNA c = {};
    c.mask = LVCF_TEXT;
    c.pszText = buf;
    c.cchTextMax = sizeof buf;
    return SendMessageA(List(), LVM_GETCOLUMNA, 0, reinterpret_cast<LPARAM>(&c)) != 0;
  }

  static HWND Dialog() { return Editor().dialog; }
  static HWND Tree() { return GetDlgItem(Editor().dialog, IDC_EDITOR_TREE); }
  static HWND List() { return GetDlgItem(Editor().dialog, IDC_EDITOR_LIST); }
  static std::string ItemText(int id) { return Text(GetDlgItem(Editor().dialog, id)); }

  // A step that waits for a message box (or any dialog other than the editor), records it and
  // presses `answer`.
  static std::function<bool()> AnswerBox(SeenBox* seen, int answer) {
    return [seen, answer] {
      HWND box = DialogOtherThan(Editor().dialog);
      if (!box) return false;
      seen->Read(box);
      PostMessageA(box, WM_COMMAND, answer, 0);
      return true;
    };
  }
  // A step that goes on once no dialog other than the editor is up.
  static std::function<bool()> NoOtherDialog() {
    return [] { return DialogOtherThan(Editor().dialog) == nullptr; };
  }

  // The tree control's items.
  static std::string Label(HTREEITEM item) { return wintest::TreeLabel(Tree(), item); }
  static HTREEITEM Next(HTREEITEM item, UINT how) { return wintest::TreeNext(Tree(), item, how); }
  static HTREEITEM Root() { return Next(nullptr, TVGN_ROOT); }
  static HTREEITEM Selection() { return Next(nullptr, TVGN_CARET); }
  // The item reached from the root through these labels, or null.
  static HTREEITEM Find(const std::vector<std::string>& labels) {
    HTREEITEM item = Root();
    for (const std::string& label : labels) {
      item = Next(item, TVGN_CHILD);
      while (item && Label(item) != label) item = Next(item, TVGN_NEXT);
      if (!item) return nullptr;
    }
    return item;
  }
  static std::vector<std::string> Children(HTREEITEM item) {
    std::vector<std::string> out;
    for (HTREEITEM c = Next(item, TVGN_CHILD); c; c = Next(c, TVGN_NEXT)) out.push_back(Label(c));
    return out;
  }
  static bool Expanded(HTREEITEM item) {
    return (SendMessageA(Tree(), TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_EXPANDED) &
            TVIS_EXPANDED) != 0;
  }
  // A click on an item selects it (the control tells the editor).
  static void Select(HTREEITEM item) {
    ASSERT_NE(item, nullptr);
    SendMessageA(Tree(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
  }
  static RECT LabelRect(HTREEITEM item) {
    RECT r = {};
    std::memcpy(&r, &item, sizeof item);  // the message takes the item in the rectangle
    if (!SendMessageA(Tree(), TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&r)))
      ADD_FAILURE() << "item " << (item ? Label(item) : "(none)") << " is not shown";
    return r;
  }
  // The middle of an item's label, in the dialog's client coordinates.
  static POINT OnItem(HTREEITEM item) {
    const RECT r = LabelRect(item);
    POINT p = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    MapWindowPoints(Tree(), Dialog(), &p, 1);
    return p;
  }
  // A point of the control `id` outside any item, in the dialog's client coordinates.
  static POINT InControlBottom(int id) {
    HWND c = GetDlgItem(Dialog(), id);
    RECT r;
    GetClientRect(c, &r);
    POINT p = {r.left + 10, r.bottom - 6};
    MapWindowPoints(c, Dialog(), &p, 1);
    return p;
  }

  // The list view's items.
  static std::vector<std::string> Listed() {
    std::vector<std::string> out;
    const int n = static_cast<int>(SendMessageA(List(), LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
      char buf[256] = {};
      LVITEMA it = {};
      it.iSubItem = 0;
      it.pszText = buf;
      it.cchTextMax = sizeof buf;
      SendMessageA(List(), LVM_GETITEMTEXTA, i, reinterpret_cast<LPARAM>(&it));
      out.push_back(buf);
    }
    return out;
  }
  static int ListIndex(const std::string& title) {
    const std::vector<std::string> all = Listed();
    for (size_t i = 0; i < all.size(); ++i)
      if (all[i] == title) return static_cast<int>(i);
    return -1;
  }
  static void SelectRecipes(const std::vector<std::string>& titles) {
    LVITEMA none = {};
    none.stateMask = LVIS_SELECTED;
    SendMessageA(List(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
    for (const std::string& t : titles) {
      const int i = ListIndex(t);
      ASSERT_GE(i, 0) << t;
      LVITEMA it = {};
      it.stateMask = LVIS_SELECTED;
      it.state = LVIS_SELECTED;
      SendMessageA(List(), LVM_SETITEMSTATE, i, reinterpret_cast<LPARAM>(&it));
    }
  }
  static POINT OnRecipe(int index) {
    RECT r = {};
    r.left = LVIR_LABEL;
    SendMessageA(List(), LVM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&r));
    POINT p = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    MapWindowPoints(List(), Dialog(), &p, 1);
    return p;
  }

  // The drag notifications as the controls send them, in the format the tree talks.
  // A user sees what he drags or clicks: the item is scrolled into view first.
  static void Show(HTREEITEM item) { SendMessageA(Tree(), TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item)); }
  static void BeginTreeDrag(HTREEITEM item) {
    Show(item);
    NMTREEVIEWA nm = {};
    nm.hdr.hwndFrom = Tree();
    nm.hdr.idFrom = IDC_EDITOR_TREE;
    const bool wide = SendMessageA(Tree(), TVM_GETUNICODEFORMAT, 0, 0) != 0;
    nm.hdr.code = wide ? TVN_BEGINDRAGW : TVN_BEGINDRAGA;
    nm.action = 0;
    nm.itemNew.mask = TVIF_HANDLE | TVIF_PARAM;
    nm.itemNew.hItem = item;
    nm.ptDrag = OnItem(item);
    SendMessageA(Dialog(), WM_NOTIFY, IDC_EDITOR_TREE, reinterpret_cast<LPARAM>(&nm));
  }
  static void BeginListDrag(int index) {
    NMLISTVIEW nm = {};
    nm.hdr.hwndFrom = List();
    nm.hdr.idFrom = IDC_EDITOR_LIST;
    nm.hdr.code = LVN_BEGINDRAG;
    nm.iItem = index;
    nm.ptAction = OnRecipe(index);
    SendMessageA(Dialog(), WM_NOTIFY, IDC_EDITOR_LIST, reinterpret_cast<LPARAM>(&nm));
  }
  // Mouse messages of the drag, as the capture brings them to the dialog.
  static void Mouse(UINT message, POINT p, WPARAM keys = 0) {
    SendMessageA(Dialog(), message, keys, MAKELPARAM(p.x, p.y));
  }

  // Label editing: the tree's edit control while a label is edited.
  static HWND LabelEdit() {
    return reinterpret_cast<HWND>(SendMessageA(Tree(), TVM_GETEDITCONTROL, 0, 0));
  }
  static void Type(const std::string& text) {
    HWND edit = LabelEdit();
    ASSERT_NE(edit, nullptr);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    SendMessageA(edit, WM_CHAR, VK_BACK, 1);
    for (unsigned char c : text) SendMessageA(edit, WM_CHAR, c, 1);
  }
  // Text pasted over the whole label, as it stands (typing cannot enter a TAB).
  static void Paste(const std::string& text) {
    HWND edit = LabelEdit();
    ASSERT_NE(edit, nullptr);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    SendMessageA(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
  }
  // A key pressed while the label edit has the focus, through the dialog's own loop.
  static void PressKey(WPARAM vk) {
    HWND edit = LabelEdit();
    ASSERT_NE(edit, nullptr);
    PostMessageA(edit, WM_KEYDOWN, vk, 1);
    PostMessageA(edit, WM_KEYUP, vk, 0xC0000001);
  }
  // A step that waits for the label edit, types `text` over the label and presses `key`.
  static std::function<bool()> TypeLabel(const std::string& text, WPARAM key = VK_RETURN) {
    return [text, key] {
      if (!LabelEdit()) return false;
      Type(text);
      PressKey(key);
      return true;
    };
  }

  static void Command(int id) { PostMessageA(Dialog(), WM_COMMAND, id, 0); }
  // A step that selects the category at `path` and sends the command `id`.
  static std::function<void()> On(std::vector<std::string> path, int id) {
    return [path, id] {
      Select(Find(path));
      Command(id);
    };
  }
  // What a click on the selected category's label does: the control starts editing by itself.
  static void ClickLabel(const std::vector<std::string>& path) {
    Select(Find(path));
    SetFocus(Tree());
    SendMessageA(Tree(), TVM_EDITLABELA, 0, reinterpret_cast<LPARAM>(Find(path)));
  }
  static bool NoLabelEdit() { return LabelEdit() == nullptr; }
  // Closes the editor, its question about the changes answered Yes into `discard`.
  static void QuitDiscarding(Script& script, SeenBox* discard) {
    script.Do([] { Command(IDC_QUIT); }).Until(AnswerBox(discard, IDYES));
  }
  // Runs the editor on `script`, which must play to its last step.
  void RunToEnd(Script& script) {
    ASSERT_TRUE(RunEditor(script));
    EXPECT_EQ(script.Done(), script.Steps());
  }

  testfiles::TempFolder folder_{"sed"};
  INT_PTR editorResult_ = -1;
};

}  // namespace editor_test

#endif

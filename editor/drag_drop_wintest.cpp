// Dragging and the context menus of the category editor under Wine: the drag notifications
// the controls send, then the mouse messages the capture brings to the dialog, placed on the
// real rectangles of the items; right clicks made with the system's own mouse input.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/main_window_win32.h"
#include "catalogue/recipe_table.h"
#include "editor/editor_state_win32.h"
#include "editor/editor_fixture_wintest.h"
#include "resources/resource.h"
#include "vlr/memo.h"

namespace {

using namespace editor_test;

const std::vector<std::string> kTarts = {"Tarte au citron", "Tarte aux pommes", "Tarte tatin"};

CategoryNode NodeOf(HTREEITEM item) { return Editor().view->NodeFromItem(item); }

std::string PathOf(uint32_t recipeId) {
  for (uint32_t i = 0; i < RecipeCount(); ++i)
    if (RecipeEntries()[i].recipeId == recipeId) return PathOfCategory(Editor().tree, RecipeEntries()[i].category);
  return "?";
}

// The middle of a control that is neither the tree nor the list, in dialog coordinates.
POINT OnButton(int id) {
  HWND b = GetDlgItem(Editor().dialog, id);
  RECT r;
  GetClientRect(b, &r);
  POINT p = {r.right / 2, r.bottom / 2};
  MapWindowPoints(b, Editor().dialog, &p, 1);
  return p;
}

bool Dragging() { return Editor().drag != DragState::None; }
HCURSOR DropCursor() { return Editor().dropCursor.get(); }
HCURSOR NoDropCursor() { return Editor().noDropCursor.get(); }

std::string Formatted(UINT id, const char* value) {
  char buf[1024];
  wsprintfA(buf, Str(id).c_str(), value);
  return buf;
}

class DragDrop : public EditorTest {};

TEST_F(DragDrop, ThreeRecipesDroppedOnAnotherCategoryLeaveTheListAndAreFiledThere) {
  WriteCatalogue(kCatalogue);
  SeenBox discard;
  Script script;
  script.Until(Loaded)
      .Do([] {
        ASSERT_NE(DropCursor(), nullptr);
        ASSERT_NE(NoDropCursor(), nullptr);
        Select(Find({"Desserts", "Tartes"}));
        SelectRecipes(kTarts);
        BeginListDrag(0);
        EXPECT_EQ(Editor().drag, DragState::Recipes);
        EXPECT_EQ(GetCapture(), Dialog());
        EXPECT_EQ(GetCursor(), DropCursor());

        // Over the list the recipes could be dropped, so the cursor says so; the frame goes.
        Mouse(WM_MOUSEMOVE, OnRecipe(1));
        EXPECT_EQ(GetCursor(), DropCursor());
        EXPECT_EQ(Editor().dropHighlight, nullptr);
        // Outside both controls they could not.
        Mouse(WM_MOUSEMOVE, OnButton(IDC_EDITOR_SAVE));
        EXPECT_EQ(GetCursor(), NoDropCursor());
        // Over a category: the drop cursor and the category framed.
        HTREEITEM entrees = Find({kEntrees});
        Mouse(WM_MOUSEMOVE, OnItem(entrees));
        EXPECT_EQ(GetCursor(), DropCursor());
        EXPECT_EQ(Editor().dropHighlight, NodeOf(entrees));

        Mouse(WM_LBUTTONUP, OnItem(entrees));
        EXPECT_FALSE(Dragging());
        EXPECT_EQ(GetCapture(), nullptr);
        EXPECT_EQ(Editor().dropHighlight, nullptr);
        EXPECT_TRUE(Listed().empty());
        EXPECT_EQ(ItemText(IDC_EDITOR_STATUS), "0 recette dans cette cat\xE9gorie");
        EXPECT_TRUE(Editor().modified);
        for (uint32_t id : {101u, 102u, 103u}) EXPECT_EQ(PathOf(id), "/" + kEntrees) << id;
        EXPECT_EQ(PathOf(104), "/Desserts");

        Select(entrees);
        std::vector<std::string> there = kTarts;
        there.insert(there.begin() + 0, "Soupe \xE0 l'oignon");
        std::sort(there.begin(), there.end());
        EXPECT_EQ(Listed(), there);

        // Dropped on the category they are shown in, they stay.
        SelectRecipes({"Tarte tatin", "Soupe \xE0 l'oignon"});
        BeginListDrag(ListIndex("Tarte tatin"));
        Mouse(WM_MOUSEMOVE, OnItem(entrees));
        Mouse(WM_LBUTTONUP, OnItem(entrees));
        EXPECT_EQ(Listed(), there);
        // Released over the list itself, they stay too, and the user hears why.
        BeginListDrag(0);
        Mouse(WM_MOUSEMOVE, OnRecipe(0));
        Mouse(WM_LBUTTONUP, OnRecipe(0));
        EXPECT_EQ(Listed(), there);
        EXPECT_EQ(Beeps(), std::vector<UINT>{MB_ICONHAND});
        EXPECT_EQ(GetCapture(), nullptr);
        Command(IDC_QUIT);
      })
      .Until(AnswerBox(&discard, IDYES));
  ASSERT_TRUE(RunEditor(script));
  EXPECT_EQ(script.Done(), script.Steps());
}

TEST_F(DragDrop, ALeafCategoryDroppedElsewhereTakesItsRecipesToItsSortedPlace) {
  WriteCatalogue(kCatalogue);
  SeenBox discard;
  Script script;
  script.Until(Loaded)
      .Do([] {
        Select(Find({kEntrees}));
        HTREEITEM tartes = Find({"Desserts", "Tartes"});
        BeginTreeDrag(tartes);
        // The dragged category becomes the selection.
        EXPECT_EQ(Selection(), tartes);
        EXPECT_EQ(Editor().drag, DragState::Category);
        EXPECT_EQ(GetCapture(), Dialog());
        // A category cannot be dropped on the list.
        Mouse(WM_MOUSEMOVE, OnRecipe(0));
        EXPECT_EQ(GetCursor(), NoDropCursor());
        HTREEITEM plats = Find({"Plats"});
        Mouse(WM_MOUSEMOVE, OnItem(plats));
        EXPECT_EQ(GetCursor(), DropCursor());
        Mouse(WM_LBUTTONUP, OnItem(plats));

        EXPECT_EQ(Children(Find({"Plats"})), (std::vector<std::string>{"Tartes", "Viandes"}));
        EXPECT_FALSE(Expanded(Find({"Plats", "Tartes"})));
        EXPECT_TRUE(Children(Find({"Desserts"})).empty());
        EXPECT_EQ(GetCapture(), nullptr);
        EXPECT_TRUE(Editor().modified);
        // The selection went where the deletion left it, and the list follows it.
        EXPECT_EQ(Selection(), Find({"Desserts"}));
        EXPECT_EQ(Listed(), std::vector<std::string>{"G\xE2teau basque"});
        for (uint32_t id : {101u, 102u, 103u}) EXPECT_EQ(PathOf(id), "/Plats/Tartes") << id;
        Select(Find({"Plats", "Tartes"}));
        EXPECT_EQ(Listed(), kTarts);

        // Onto itself or onto its own parent nothing moves, and nothing beeps.
        HTREEITEM moved = Find({"Plats", "Tartes"});
        BeginTreeDrag(moved);
        Mouse(WM_LBUTTONUP, OnItem(moved));
        BeginTreeDrag(moved);
        Mouse(WM_LBUTTONUP, OnItem(Find({"Plats"})));
        EXPECT_EQ(Children(Find({"Plats"})), (std::vector<std::string>{"Tartes", "Viandes"}));
        EXPECT_EQ(Selection(), Find({"Plats", "Tartes"}));
        EXPECT_TRUE(Beeps().empty());
        Command(IDC_QUIT);
      })
      .Until(AnswerBox(&discard, IDYES));
  ASSERT_TRUE(RunEditor(script));
  EXPECT_EQ(script.Done(), script.Steps());
}

TEST_F(DragDrop, ACategoryMovesWithItsSubCategoriesAndAllTheirRecipes) {
  // A second Viandes, under Entrees: nothing may be moved beside it under the same label.
  const std::string terrinePath = "/" + kEntrees + "/Viandes";
  std::vector<Recipe> catalogue = kCatalogue;
  catalogue.push_back({110, "Terrine de campagne", terrinePath.c_str()});
  WriteCatalogue(catalogue);
  SeenBox taken, discard;
  bool capturedDuringBox = true;
  std::string saved;
  Script script;
  script.Until(Loaded)
      .Do([] {
        BeginTreeDrag(Find({"Plats"}));
        Mouse(WM_MOUSEMOVE, OnItem(Find({"Desserts"})));
        Mouse(WM_LBUTTONUP, OnItem(Find({"Desserts"})));
        EXPECT_EQ(Find({"Plats"}), nullptr);
        EXPECT_EQ(Children(Find({"Desserts"})), (std::vector<std::string>{"Plats", "Tartes"}));
        EXPECT_FALSE(Expanded(Find({"Desserts", "Plats"})));
        EXPECT_EQ(Children(Find({"Desserts", "Plats", "Viandes"})), (std::vector<std::string>{"Boeuf", "Veau"}));
        EXPECT_EQ(PathOf(105), "/Desserts/Plats/Viandes/Boeuf");
        EXPECT_EQ(PathOf(106), "/Desserts/Plats/Viandes/Veau");
        EXPECT_EQ(PathOf(107), "/Desserts/Plats");
        EXPECT_EQ(PathOf(104), "/Desserts");
        EXPECT_TRUE(Editor().modified);
        EXPECT_FALSE(Dragging());
        EXPECT_TRUE(Beeps().empty());
        Select(Find({"Desserts", "Plats", "Viandes", "Veau"}));
        EXPECT_EQ(Listed(), std::vector<std::string>{"Blanquette"});

        // Into one of its own sub-categories: a beep, and nothing moves.
        HTREEITEM viandes = Find({"Desserts", "Plats", "Viandes"});
        BeginTreeDrag(Find({"Desserts", "Plats"}));
        Mouse(WM_LBUTTONUP, OnItem(viandes));
        EXPECT_EQ(Beeps(), std::vector<UINT>{MB_ICONHAND});
        EXPECT_EQ(PathOf(105), "/Desserts/Plats/Viandes/Boeuf");

        // Beside a category of the same label: the user is told, nothing moves.
        BeginTreeDrag(viandes);
        Mouse(WM_LBUTTONUP, OnItem(Find({kEntrees})));  // the box opens inside the drop
      })
      .Until([&] {
        if (!DialogOtherThan(Dialog())) return false;
        capturedDuringBox = GetCapture() == Dialog();
        return AnswerBox(&taken, IDOK)();
      })
      .Until(NoOtherDialog())
      .Do([] {
        EXPECT_EQ(Children(Find({kEntrees})), std::vector<std::string>{"Viandes"});
        EXPECT_EQ(PathOf(105), "/Desserts/Plats/Viandes/Boeuf");
        EXPECT_EQ(PathOf(110), "/" + kEntrees + "/Viandes");
        Command(IDC_EDITOR_SAVE);
      })
      .Until([&saved] {
        if (Editor().modified) return false;
        saved = Slurp("Gourmix.Idx");
        Command(IDC_QUIT);
        return true;
      });
  ASSERT_TRUE(RunEditor(script));
  EXPECT_EQ(script.Done(), script.Steps());
  EXPECT_EQ(taken.caption, "Saucelins");
  EXPECT_EQ(taken.text, Formatted(IDS_MOVE_LABEL_TAKEN, "Viandes"));
  EXPECT_TRUE(taken.Exclamation());
  // The mouse was free while the box was up, so the box could be clicked.
  EXPECT_FALSE(capturedDuringBox);
  EXPECT_EQ(PathInIndex(saved, "Boeuf bourguignon"), "/Desserts/Plats/Viandes/Boeuf");
  EXPECT_EQ(PathInIndex(saved, "Omelette"), "/Desserts/Plats");
  EXPECT_EQ(PathInIndex(saved, "Terrine de campagne"), "/" + kEntrees + "/Viandes");
}

TEST_F(DragDrop, ADropOutsideTheTreeOrOnItsEmptySpaceBeepsAndMovesNothing) {
  WriteCatalogue(kCatalogue);
  Script script;
  script.Until(Loaded).Do([] {
    HTREEITEM tartes = Find({"Desserts", "Tartes"});
    BeginTreeDrag(tartes);
    Mouse(WM_MOUSEMOVE, OnItem(Find({"Plats"})));
    EXPECT_EQ(Editor().dropHighlight, NodeOf(Find({"Plats"})));
    Mouse(WM_MOUSEMOVE, OnButton(IDC_EDITOR_RENAME));
    EXPECT_EQ(GetCursor(), NoDropCursor());
    EXPECT_EQ(Editor().dropHighlight, nullptr);
    Mouse(WM_LBUTTONUP, OnButton(IDC_EDITOR_RENAME));
    EXPECT_EQ(Beeps(), std::vector<UINT>{MB_ICONHAND});
    EXPECT_FALSE(Dragging());
    EXPECT_EQ(GetCapture(), nullptr);

    // Below the last category: the frame stays where it was, and a release there beeps.
    BeginTreeDrag(tartes);
    Mouse(WM_MOUSEMOVE, OnItem(Find({"Plats"})));
    Mouse(WM_MOUSEMOVE, InControlBottom(IDC_EDITOR_TREE));
    EXPECT_EQ(GetCursor(), DropCursor());
    EXPECT_EQ(Editor().dropHighlight, NodeOf(Find({"Plats"})));
    Mouse(WM_LBUTTONUP, InControlBottom(IDC_EDITOR_TREE));
    EXPECT_EQ(Beeps().size(), 2u);
    EXPECT_EQ(Editor().dropHighlight, nullptr);

    EXPECT_EQ(Children(Find({"Desserts"})), std::vector<std::string>{"Tartes"});
    EXPECT_EQ(PathOf(101), "/Desserts/Tartes");
    EXPECT_FALSE(Editor().modified);  // closing asks nothing
    Command(IDC_QUIT);
  });
  ASSERT_TRUE(RunEditor(script));
  EXPECT_EQ(script.Done(), script.Steps());
}

TEST_F(DragDrop, TheRightButtonCancelsADragWithoutABeepOrAChange) {
  WriteCatalogue(kCatalogue);
  Script script;
  script.Until(Loaded).Do([] {
    Select(Find({"Desserts", "Tartes"}));
    SelectRecipes(kTarts);
    BeginListDrag(0);
    HTREEITEM plats = Find({"Plats"});
    Mouse(WM_MOUSEMOVE, OnItem(plats));
    EXPECT_EQ(Editor().dropHighlight, NodeOf(plats));
    Mouse(WM_RBUTTONDOWN, OnItem(plats), MK_RBUTTON);
    EXPECT_FALSE(Dragging());
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(Editor().dropHighlight, nullptr);
    // The release that follows drops nothing.
    Mouse(WM_LBUTTONUP, OnItem(plats));
    EXPECT_EQ(Listed(), kTarts);
    EXPECT_EQ(PathOf(101), "/Desserts/Tartes");
    EXPECT_TRUE(Beeps().empty());
    EXPECT_FALSE(Editor().modified);
    // Losing the mouse to another window also ends a drag.
    BeginListDrag(0);
    SetCapture(Tree());
    EXPECT_FALSE(Dragging());
    ReleaseCapture();
    Command(IDC_QUIT);
  });
  ASSERT_TRUE(RunEditor(script));
  EXPECT_EQ(script.Done(), script.Steps());
}

TEST_F(DragDrop, TheFrameIsGreyAroundTheLabelAndGoesAwayWithIt) {
  WriteCatalogue(kCatalogue);
  Script script;
  script.Until(Loaded).Do([] {
    HTREEITEM tartes = Find({"Desserts", "Tartes"});
    Select(tartes);
    UpdateWindow(Tree());  // the control repaints the selection: the frame must survive it
    const RECT r = LabelRect(tartes);
    HDC dc = GetDC(Tree());
    const int middle = (r.top + r.bottom) / 2;
    EXPECT_EQ(GetPixel(dc, r.left, middle), RGB(128, 128, 128));
    EXPECT_EQ(GetPixel(dc, r.right - 1, middle), RGB(128, 128, 128));
    EXPECT_EQ(GetPixel(dc, (r.left + r.right) / 2, r.top), RGB(128, 128, 128));
    EXPECT_EQ(GetPixel(dc, (r.left + r.right) / 2, r.bottom - 1), RGB(128, 128, 128));
    // Only the label: not the row to its right.
    EXPECT_NE(GetPixel(dc, r.right + 3, middle), RGB(128, 128, 128));
    // A mouse move over the dialog without a drag takes the frame away.
    Mouse(WM_MOUSEMOVE, OnButton(IDC_EDITOR_SAVE));
    UpdateWindow(Tree());
    EXPECT_NE(GetPixel(dc, r.left, middle), RGB(128, 128, 128));
    EXPECT_NE(GetPixel(dc, (r.left + r.right) / 2, r.top), RGB(128, 128, 128));
    ReleaseDC(Tree(), dc);
    Command(IDC_QUIT);
  });
  ASSERT_TRUE(RunEditor(script));
  EXPECT_EQ(script.Done(), script.Steps());
}

TEST_F(DragDrop, TheTreeScrollsWhenTheCursorNearsItsEdges) {
  std::vector<Recipe> many;
  std::vector<std::string> titles, paths;
  for (int i = 0; i < 40; ++i) {
    char title[32], path[32];
    wsprintfA(title, "Recette %02d", i);
    wsprintfA(path, "/Cat %02d", i);
    titles.push_back(title);
    paths.push_back(path);
  }
  for (int i = 0; i < 40; ++i) many.push_back({static_cast<uint32_t>(200 + i), titles[i].c_str(), paths[i].c_str()});
  WriteCatalogue(many);
  Script script;
  script.Until(Loaded).Do([] {
    HTREEITEM first = Next(nullptr, TVGN_FIRSTVISIBLE);
    ASSERT_EQ(first, Root());
    const int visible = static_cast<int>(SendMessageA(Tree(), TVM_GETVISIBLECOUNT, 0, 0));
    ASSERT_LT(visible, 41);  // the tree cannot show every category at once
    HTREEITEM last = first;
    for (int i = 1; i < visible; ++i) last = Next(last, TVGN_NEXTVISIBLE);
    Select(Find({"Cat 00"}));
    SelectRecipes({"Recette 00"});
    BeginListDrag(0);
    // Over the last whole row, the row after it comes into view.
    Mouse(WM_MOUSEMOVE, OnItem(last));
    EXPECT_EQ(Next(nullptr, TVGN_FIRSTVISIBLE), Next(first, TVGN_NEXTVISIBLE));
    EXPECT_EQ(Editor().dropHighlight, NodeOf(last));
    // Over the first row shown, the row before it comes back.
    HTREEITEM top = Next(nullptr, TVGN_FIRSTVISIBLE);
    Mouse(WM_MOUSEMOVE, OnItem(top));
    EXPECT_EQ(Next(nullptr, TVGN_FIRSTVISIBLE), first);
    EXPECT_EQ(Editor().dropHighlight, NodeOf(top));
    Mouse(WM_RBUTTONDOWN, OnItem(top), MK_RBUTTON);
    Command(IDC_QUIT);
  });
  ASSERT_TRUE(RunEditor(script));
  EXPECT_EQ(script.Done(), script.Steps());
}

// ---------------------------------------------------------------------------------------
// The system's own mouse input

// Moves the mouse (with the left button as it is) to a point of the dialog.
void MoveMouseTo(POINT p) {
  ClientToScreen(Editor().dialog, &p);
  INPUT in = {};
  in.type = INPUT_MOUSE;
  in.mi.dx = MulDiv(p.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
  in.mi.dy = MulDiv(p.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
  in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  SendInput(1, &in, sizeof in);
}

void LeftButton(bool down) {
  INPUT in = {};
  in.type = INPUT_MOUSE;
  in.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
  SendInput(1, &in, sizeof in);
}

// The whole gesture made with the mouse, through the controls' own drag detection: the
// controls start the drag, and the capture brings the rest to the editor.
TEST_F(DragDrop, ARealMouseDragFilesARecipeAndMovesACategory) {
  WriteCatalogue(kCatalogue);
  auto glide = [](std::function<POINT()> from, std::function<POINT()> to) {
    // A few steps between the two points, one per tick, as a hand would move.
    std::vector<std::function<void()>> moves;
    for (int i = 1; i <= 4; ++i)
      moves.push_back([from, to, i] {
        const POINT a = from(), b = to();
        MoveMouseTo({a.x + (b.x - a.x) * i / 4, a.y + (b.y - a.y) * i / 4});
      });
    return moves;
  };
  SeenBox discard;
  Script script;
  script.Until(Loaded).Do([] {
    Select(Find({"Desserts", "Tartes"}));
    MoveMouseTo(OnRecipe(ListIndex("Tarte tatin")));
  });
  script.Do([] { LeftButton(true); });
  auto tatin = [] { return OnRecipe(ListIndex("Tarte tatin")); };
  auto entrees = [] { return OnItem(Find({kEntrees})); };
  for (auto& m : glide(tatin, entrees)) script.Do(m);
  script.Until([] {
    EXPECT_EQ(Editor().drag, DragState::Recipes);
    EXPECT_EQ(GetCapture(), Dialog());
    return Editor().dropHighlight == NodeOf(Find({kEntrees}));
  });
  script.Do([] { LeftButton(false); });
  script.Until([] { return !Dragging(); }).Do([] {
    EXPECT_EQ(Listed(), (std::vector<std::string>{"Tarte au citron", "Tarte aux pommes"}));
    EXPECT_EQ(PathOf(103), "/" + kEntrees);
    EXPECT_EQ(GetCapture(), nullptr);
    Show(Find({"Desserts", "Tartes"}));
    MoveMouseTo(OnItem(Find({"Desserts", "Tartes"})));
  });
  script.Do([] { LeftButton(true); });
  auto tartes = [] { return OnItem(Find({"Desserts", "Tartes"})); };
  auto plats = [] { return OnItem(Find({"Plats"})); };
  for (auto& m : glide(tartes, plats)) script.Do(m);
  script.Until([] {
    EXPECT_EQ(Editor().drag, DragState::Category);
    return Editor().dropHighlight == NodeOf(Find({"Plats"}));
  });
  script.Do([] { LeftButton(false); });
  script.Until([] { return !Dragging(); }).Do([] {
    EXPECT_EQ(Children(Find({"Plats"})), (std::vector<std::string>{"Tartes", "Viandes"}));
    EXPECT_EQ(PathOf(101), "/Plats/Tartes");
    EXPECT_TRUE(Beeps().empty());
    Command(IDC_QUIT);
  });
  script.Until(AnswerBox(&discard, IDYES));
  ASSERT_TRUE(RunEditor(script)) << "stopped at step " << script.Done();
  EXPECT_EQ(script.Done(), script.Steps());
}

// ---------------------------------------------------------------------------------------
// Context menus

// A right click made with the system's mouse input at a point of the dialog.
void RightClick(POINT p) {
  ClientToScreen(Editor().dialog, &p);
  SetCursorPos(p.x, p.y);
  INPUT in[2] = {};
  in[0].type = INPUT_MOUSE;
  in[0].mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
  in[1].type = INPUT_MOUSE;
  in[1].mi.dwFlags = MOUSEEVENTF_RIGHTUP;
  SendInput(2, in, sizeof(INPUT));
}

struct SeenMenu {
  std::vector<UINT> ids;
  std::vector<std::string> texts;
  std::vector<bool> grayed;
};

// A step that waits for the popup menu, reads it and picks its item `pick` with the keyboard
// (-1: closes it with Escape).
std::function<bool()> PickFromMenu(SeenMenu* seen, int pick) {
  return [seen, pick] {
    HWND menuWindow = OpenMenuWindow();
    if (!menuWindow) return false;
    HMENU menu = reinterpret_cast<HMENU>(SendMessageA(menuWindow, MN_GETHMENU, 0, 0));
    seen->ids.clear();
    seen->texts.clear();
    seen->grayed.clear();
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
      char text[64] = {};
      GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
      seen->ids.push_back(GetMenuItemID(menu, i));
      seen->texts.push_back(text);
      seen->grayed.push_back((GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION) & MF_GRAYED) != 0);
    }
    if (pick < 0) {
      wintest::PressOnMenu(menuWindow, VK_ESCAPE);
    } else {
      wintest::PickFromMenu(menuWindow, pick);
    }
    return true;
  };
}

// A step that lets some ticks go by, then checks that no menu came up.
std::function<bool()> NoMenuAfterAWhile() {
  auto ticks = std::make_shared<int>(0);
  return [ticks] {
    EXPECT_EQ(OpenMenuWindow(), nullptr);
    return ++*ticks > 10;
  };
}

TEST_F(DragDrop, TheTreeMenuActsOnTheCategoryClicked) {
  WriteCatalogue(kCatalogue);
  SeenMenu rootMenu, menu, renameMenu, deleteMenu;
  SeenBox confirm, discard;
  Script script;
  script.Until(Loaded)
      .Do([] { RightClick(OnItem(Root())); })
      .Until(PickFromMenu(&rootMenu, -1))
      .Until([] { return OpenMenuWindow() == nullptr; })
      .Do([] { RightClick(OnItem(Find({kEntrees}))); })
      .Until(PickFromMenu(&menu, 0))  // Nouvelle categorie
      .Until([] {
        if (!LabelEdit()) return false;
        // The clicked category was selected and is the new one's parent.
        EXPECT_EQ(Children(Find({kEntrees})), std::vector<std::string>{""});
        Type("Salades");
        PressKey(VK_RETURN);
        return true;
      })
      .Until([] { return !LabelEdit() && Find({kEntrees, "Salades"}) != nullptr; })
      .Do([] {
        Show(Find({"Desserts", "Tartes"}));
        RightClick(OnItem(Find({"Desserts", "Tartes"})));
      })
      .Until(PickFromMenu(&renameMenu, 2))  // Renommer la categorie
      .Until([] {
        if (!LabelEdit()) return false;
        EXPECT_EQ(Selection(), Find({"Desserts", "Tartes"}));
        Type("Tartes sucr\xE9" "es");
        PressKey(VK_RETURN);
        return true;
      })
      .Until([] { return !LabelEdit() && Find({"Desserts", "Tartes sucr\xE9" "es"}) != nullptr; })
      .Do([] {
        Select(Root());
        RightClick(OnItem(Find({"Plats"})));
      })
      .Until(PickFromMenu(&deleteMenu, 1))  // Supprimer la categorie
      .Until(AnswerBox(&confirm, IDYES))
      .Until(NoOtherDialog())
      .Do([] {
        EXPECT_EQ(Find({"Plats"}), nullptr);
        EXPECT_EQ(PathOf(107), "Toutes les recettes");
        // On empty tree space no menu comes.
        RightClick(InControlBottom(IDC_EDITOR_TREE));
      })
      .Until(NoMenuAfterAWhile())
      .Do([] { Command(IDC_QUIT); })
      .Until(AnswerBox(&discard, IDYES));
  ASSERT_TRUE(RunEditor(script)) << "stopped at step " << script.Done();
  EXPECT_EQ(script.Done(), script.Steps());
  EXPECT_EQ(menu.ids, (std::vector<UINT>{IDM_NEW_CATEGORY, IDM_DELETE_CATEGORY, IDM_RENAME_CATEGORY}));
  EXPECT_EQ(menu.texts, (std::vector<std::string>{"Nouvelle cat\xE9gorie", "Supprimer la cat\xE9gorie",
                                                  "Renommer la cat\xE9gorie"}));
  EXPECT_EQ(menu.grayed, (std::vector<bool>{false, false, false}));
  // The root's label is never stored: renaming it is not offered.
  EXPECT_EQ(rootMenu.ids, menu.ids);
  EXPECT_EQ(rootMenu.grayed, (std::vector<bool>{false, false, true}));
  EXPECT_EQ(confirm.text, Str(IDS_CONFIRM_DELETE));
}

TEST_F(DragDrop, TheListMenuShowsTheRecipeOrItsMemo) {
  WriteCatalogue(kCatalogue);
  ASSERT_EQ(WriteMemo(MemoStoreName, 103, "Pommes reinettes", 0), 0);  // Tarte tatin
  SeenMenu menu, memoMenu;
  std::string zoomText;
  // The memo dialog as each recipe's memo opened: its caption, and whether it was read-only.
  std::vector<std::pair<std::string, bool>> memos;
  Script script;
  script.Until(Loaded)
      .Do([] {
        Select(Find({"Desserts", "Tartes"}));
        SelectRecipes({"Tarte au citron"});
        RightClick(OnRecipe(ListIndex("Tarte tatin")));
      })
      .Until(PickFromMenu(&menu, 0))  // Afficher Recette
      .Until([&zoomText] {
        HWND zoom = DialogOtherThan(Dialog());
        if (!zoom) return false;
        EXPECT_EQ(Text(zoom), "Zoom sur recette");
        zoomText = Text(GetDlgItem(zoom, IDC_ZOOM_TEXT));
        PostMessageA(zoom, WM_COMMAND, IDOK, 0);
        return true;
      })
      .Until(NoOtherDialog());
  for (const char* title : {"Tarte aux pommes", "Tarte tatin"}) {
    script.Do([title] { RightClick(OnRecipe(ListIndex(title))); })
        .Until(PickFromMenu(&memoMenu, 1))  // Editer un Memo
        .Until([&memos] {
          HWND memo = DialogOtherThan(Dialog());
          if (!memo) return false;
          const LONG style = GetWindowLongA(GetDlgItem(memo, IDC_MEMO_TEXT), GWL_STYLE);
          memos.emplace_back(Text(memo), (style & ES_READONLY) != 0);
          PostMessageA(memo, WM_COMMAND, IDCANCEL, 0);
          return true;
        })
        .Until(NoOtherDialog());
  }
  // On empty list space no menu comes.
  script.Do([] { RightClick(InControlBottom(IDC_EDITOR_LIST)); })
      .Until(NoMenuAfterAWhile())
      .Do([] {
        EXPECT_FALSE(Editor().modified);
        Command(IDC_QUIT);
      });
  ASSERT_TRUE(RunEditor(script));
  EXPECT_EQ(script.Done(), script.Steps());
  EXPECT_EQ(menu.ids, (std::vector<UINT>{IDM_SHOW_RECIPE, IDM_EDIT_MEMO}));
  EXPECT_EQ(menu.texts, (std::vector<std::string>{"Afficher Recette", "Editer un M\xE9mo"}));
  EXPECT_EQ(zoomText, TextOf("Tarte tatin"));
  // Without a memo, ready for typing one; with one, to be read first.
  EXPECT_EQ(memos, (std::vector<std::pair<std::string, bool>>{{"M\xE9mo de la recette Tarte aux pommes", false},
                                                              {"M\xE9mo de la recette Tarte tatin", true}}));
}

// ---------------------------------------------------------------------------------------
// With the main window

void PumpUntil(const std::function<bool()>& done) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < 5000 && !done();) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(5);
  }
}

std::string MainPathOf(uint32_t recipeId) {
  for (uint32_t i = 0; i < RecipeCount(); ++i)
    if (RecipeEntries()[i].recipeId == recipeId) return PathOfCategory(MainCategoryTree(), RecipeEntries()[i].category);
  return "?";
}

TEST_F(DragDrop, TheMainWindowShowsWhatWasSavedAndForgetsWhatWasNot) {
  WriteCatalogue(kCatalogue);
  HWND main = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN), nullptr,
                                 MainWindowProc, 0);
  ASSERT_NE(main, nullptr);
  ShowWindow(main, SW_SHOW);
  auto total = [main] { return Text(GetDlgItem(main, IDC_TOTAL)); };
  PumpUntil([&] { return total() == "9 Recettes"; });
  ASSERT_EQ(total(), "9 Recettes");

  Script saved;
  saved.Until(Loaded).Do([] {
    Select(Find({"Desserts", "Tartes"}));
    SelectRecipes({"Tarte au citron", "Tarte tatin"});
    BeginListDrag(0);
    Mouse(WM_MOUSEMOVE, OnItem(Find({kEntrees})));
    Mouse(WM_LBUTTONUP, OnItem(Find({kEntrees})));
    Show(Find({"Plats", "Viandes"}));
    BeginTreeDrag(Find({"Desserts", "Tartes"}));
    Mouse(WM_MOUSEMOVE, OnItem(Find({"Plats", "Viandes"})));
    Mouse(WM_LBUTTONUP, OnItem(Find({"Plats", "Viandes"})));
    Command(IDC_EDITOR_SAVE);
  }).Until([] {
    if (Editor().modified) return false;
    Command(IDC_QUIT);
    return true;
  });
  SetDlgItemTextA(main, IDC_TOTAL, "");
  ASSERT_TRUE(saved.Run([main] { SendMessageA(main, WM_COMMAND, IDC_EDITOR_OPEN, 0); }));
  EXPECT_EQ(saved.Done(), saved.Steps());
  PumpUntil([&] { return !total().empty(); });
  EXPECT_EQ(total(), "9 Recettes");
  // The main window's own tree, reloaded from the index the editor wrote.
  EXPECT_EQ(MainPathOf(101), "/Plats/Viandes/Tartes");
  EXPECT_EQ(MainPathOf(102), "/Entr\xE9" "es");
  EXPECT_EQ(MainPathOf(103), "/Entr\xE9" "es");
  EXPECT_EQ(MainPathOf(109), "Toutes les recettes");
  CategoryTree& tree = MainCategoryTree();
  EXPECT_EQ(tree.FirstChild(CategoryFromPath(tree, "/Desserts")), nullptr);
  const std::string index = Slurp("Gourmix.Idx");

  // Changes closed without saving leave no trace.
  SeenBox discard;
  Script unsaved;
  unsaved.Until(Loaded)
      .Do([] {
        BeginTreeDrag(Find({kEntrees}));
        Mouse(WM_LBUTTONUP, OnItem(Find({"Desserts"})));
        EXPECT_NE(Find({"Desserts", kEntrees}), nullptr);
        Command(IDC_QUIT);
      })
      .Until(AnswerBox(&discard, IDYES));
  SetDlgItemTextA(main, IDC_TOTAL, "");
  ASSERT_TRUE(unsaved.Run([main] { SendMessageA(main, WM_COMMAND, IDC_EDITOR_OPEN, 0); }));
  EXPECT_EQ(unsaved.Done(), unsaved.Steps());
  PumpUntil([&] { return !total().empty(); });
  EXPECT_EQ(MainPathOf(102), "/Entr\xE9" "es");
  EXPECT_EQ(Slurp("Gourmix.Idx"), index);
  DestroyWindow(main);
  PumpUntil([] { return true; });
}

}  // namespace

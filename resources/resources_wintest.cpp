// Reads the resources back from this test executable, which links the same compiled
// resource script as the program, and checks them as Windows sees them: string bytes in the
// ANSI code page, dialog templates as compiled and as created, menus, pictures, and the two
// text helpers on real windows and message boxes.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/modal_script_wintest.h"
#include "platform/unique_handle_win32.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "resources/text_helpers_win32.h"

namespace {

using wintest::Text;
using Window = Unique<HWND, DestroyWindow>;

HINSTANCE Module() { return GetModuleHandleA(nullptr); }

// ---- Strings -------------------------------------------------------------------------------

struct ExpectedString {
  unsigned id;
  const char* text;  // Windows-1252 bytes
};

const ExpectedString kStrings[] = {
    {1, "Programme Saucelins par T.Brenner"},
    {2, "Version %s"},
    {3, "Recettes de Armand FERRUS"},
    {4, "Recettes \351crites par A. FERRUS. Prgm Saucelins Par T. Brenner"},
    {5, "Rechercher"},
    {6, "%d Recettes"},
    {7, "Date de Cr\351ation: %s"},
    {9, "Toutes les recettes"},
    {10, "Cr\351ation des cat\351gories"},
    {11, "&Edition des cat\351gories"},
    {12,
     "En cliquant sur le bouton \"Edition des cat\351gories\", vous allez ouvrir une "
     "nouvelle fen\352tre.\r\n\r\nDans la liste de droite, vous pouvez s\351lectionner "
     "une liste de recettes et les faire glisser vers une cat\351gorie (liste de "
     "gauche).\r\n\r\nDe plus, vous pouvez cr\351er de nouvelles cat\351gories en "
     "utilsant le menu pop-up qui appara\356t en cliquant avec le bouton droit dans la "
     "fen\352tre cat\351gorie (liste de gauche).\r\n\r\nNOTE: Contrairement \340 la "
     "fen\352tre Recette, les recettes appartenant \340 une cat\351gorie fille ne sont "
     "pas list\351es dans la fen\352tre de droite."},
    {13, "Recettes"},
    {14, "Cat\351gories"},
    {15, "Editer cat\351gories"},
    {16, "%d recettes dans cette cat\351gorie"},
    {17, "Saucelins"},
    {18, "Abandonner les changements"},
    {19, "Erreur de Sauvegarde"},
    {20, "Fichier Gourmix.Idx absent du r\351pertoire courant"},
    {21, "Erreur d'ouverture Gourmix.idx ou Pb m\351moire\n"},
    {22, "&Aide"},
    {23, "&Quitter"},
    {24, "&Sauver"},
    {25, "&A Propos"},
    {26, "Recette %s\r\nErreur \340 l'ouverture du fichier %s."},
    {27, "Recette %s\r\nErreur de lecture du fichier %s."},
    {28, "&Renommer la cat\351gorie"},
    {29, "&Nouvelle cat\351gorie"},
    {30, "S&upprimer la cat\351gorie"},
    {31, "Lecture de la base des recettes"},
    {32, "Enregistrement de l'index"},
    {33,
     "Aide\r\n\r\nS\351lectionner une cat\351gorie, puis choisissez l'onglet \"Recette\" "
     "pour afficher la liste des recettes appartenant \340 cette cat\351gorie."},
    {34, "%d recette dans cette cat\351gorie"},
    {35,
     "La cat\351gorie que vous avez s\351lectionn\351e va-t-\352tre d\351truite.\r\nLes "
     "recettes seront visibles dans la cat\351gorie parente\r\nSouhaitez-vous continuer ?"},
    {36, "Cet \351l\351ment ne peut pas \352tre d\351truit."},
    {38, "M\351mo de la recette %s"},
    {40, "Mode &Edition"},
    {41, "Impossible de cr\351er une nouvelle police"},
    {48, "On ne peut d\351placer automatiquement une cat\351gorie poss\351dant des sous-cat\351gories."},
    {49, "%d dans s\351lection"},
    {50, "&Fermer"},
    {52, "S\351lectionnez d'abord une recette avant de l'imprimer."},
    {53, "Programme Saucelins par T. Brenner"},
    {40006, "Augmente la taille des caract\350res"},
    {40007, "Diminue la taille des caract\350res"},
    {40008, "Lecture du m\351mo associ\351 \340 une recette"},
    {40009, "Cr\351ation d'un m\351mo pour la recette"},
    {40010, "Imprime la recette"},
    {40011, "Choix des cat\351gories"},
    {40012, "Edition des cat\351gories"},
    {40013, "Liste des recettes"},
    {40014, "Aide"},
    {40016, "Erreur : Ouverture de la bo\356te de dialogue Impression"},
    {40017, "Erreur sur ouvertrure de la bo\356te de dialogue Impression"},
    {40018, "Erreur sur Ouverture de la bo\356te de dialogue Impression"},
    {40019, "Erreur Impression impossible"},
};

const char* Expected(unsigned id) {
  for (const ExpectedString& s : kStrings)
    if (s.id == id) return s.text;
  return "";
}

// Every string id the executable carries, read from its RT_STRING blocks (16 strings each).
BOOL CALLBACK CollectStringBlock(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR param) {
  auto* ids = reinterpret_cast<std::set<unsigned>*>(param);
  HRSRC found = FindResourceA(module, name, type);
  const WORD* p = static_cast<const WORD*>(LockResource(LoadResource(module, found)));
  unsigned first = (static_cast<unsigned>(reinterpret_cast<ULONG_PTR>(name)) - 1) * 16;
  for (unsigned i = 0; i < 16; ++i) {
    if (*p != 0) ids->insert(first + i);
    p += *p + 1;
  }
  return TRUE;
}

TEST(StringTable, EveryTextComesBackByteForByte) {
  for (const ExpectedString& s : kStrings) {
    char buf[2048];
    int n = LoadStringA(Module(), s.id, buf, sizeof buf);
    EXPECT_EQ(std::string(s.text), std::string(buf, n > 0 ? n : 0)) << "string " << s.id;
    char viaCore[2048];
    EXPECT_EQ(n, LoadText(s.id, viaCore, sizeof viaCore)) << "string " << s.id;
    EXPECT_STREQ(buf, viaCore) << "string " << s.id;
  }
}

TEST(StringTable, EveryStringIsReadableWindows1252) {
  std::set<unsigned> present;
  EnumResourceNamesA(Module(), MAKEINTRESOURCEA(6) /* RT_STRING */, CollectStringBlock,
                     reinterpret_cast<LONG_PTR>(&present));
  ASSERT_GE(present.size(), std::size(kStrings));
  // The program's other texts (about box, help) have free wording; they must still be
  // stored as text that the ANSI functions render right.
  for (unsigned id : present) {
    char buf[4096] = {};
    LoadStringA(Module(), id, buf, sizeof buf);
    // UTF-8 read as Windows-1252 turns an accented letter into "\xC3" and a second byte;
    // French never writes a capital A with tilde.
    EXPECT_EQ(nullptr, std::strchr(buf, '\xC3')) << "string " << id << ": " << buf;
  }
}

TEST(StringTable, CutsToTheBufferAndReportsMissingStrings) {
  char buf[16];
  std::memset(buf, 'x', sizeof buf);
  EXPECT_EQ(7, LoadText(IDS_MAIN_TITLE, buf, 8));
  EXPECT_STREQ("Recette", buf);
  // The cut may fall right after an accented letter: it stays one byte.
  EXPECT_EQ(10, LoadText(IDS_MAIN_TITLE, buf, 11));
  EXPECT_STREQ("Recettes \351", buf);
  EXPECT_EQ(0, LoadText(IDS_MAIN_TITLE, buf, 1));
  EXPECT_STREQ("", buf);
  for (unsigned missing : {0u, 8u, 37u, 39u, 51u, 40015u, 40020u}) {
    std::strcpy(buf, "old");
    EXPECT_EQ(0, LoadText(missing, buf, sizeof buf)) << missing;
    EXPECT_STREQ("", buf) << missing;
  }
}

// ---- Dialog templates ------------------------------------------------------------------------

std::string Narrow(const std::wstring& w) {
  if (w.empty()) return std::string();
  int n = WideCharToMultiByte(1252, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(1252, 0, w.data(), static_cast<int>(w.size()), &out[0], n, nullptr, nullptr);
  return out;
}

// Reads a "string or ordinal" field; an ordinal reads as "#123".
const WORD* ReadNameField(const WORD* p, std::string& out) {
  if (*p == 0xFFFF) {
    out = "#" + std::to_string(p[1]);
    return p + 2;
  }
  std::wstring w;
  while (*p) w += static_cast<wchar_t>(*p++);
  out = Narrow(w);
  return p + 1;
}

using Rect = std::array<int, 4>;  // x, y, cx, cy in dialog units

struct TemplateItem {
  DWORD style;
  Rect rect;
  WORD id;
  std::string cls, text;
};

struct DialogTemplate {
  DWORD style;
  Rect rect;
  std::string caption, face;
  WORD points = 0;
  std::vector<TemplateItem> items;
};

std::string ClassOf(const std::string& field) {
  static const std::map<std::string, std::string> atoms = {
      {"#128", "button"}, {"#129", "edit"}, {"#130", "static"},
      {"#131", "listbox"}, {"#132", "scrollbar"}, {"#133", "combobox"}};
  auto it = atoms.find(field);
  std::string name = it != atoms.end() ? it->second : field;
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

bool ReadTemplate(int id, DialogTemplate& out) {
  HRSRC found = FindResourceA(Module(), MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5) /* RT_DIALOG */);
  if (!found) return false;
  const BYTE* base = static_cast<const BYTE*>(LockResource(LoadResource(Module(), found)));
  const auto* header = reinterpret_cast<const DLGTEMPLATE*>(base);
  if (HIWORD(header->style) == 0xFFFF) return false;  // an extended template: not what we write
  out.style = header->style;
  out.rect = {header->x, header->y, header->cx, header->cy};
  const WORD* p = reinterpret_cast<const WORD*>(header + 1);
  std::string menu, cls;
  p = ReadNameField(p, menu);
  p = ReadNameField(p, cls);
  p = ReadNameField(p, out.caption);
  if (out.style & DS_SETFONT) {
    out.points = *p++;
    p = ReadNameField(p, out.face);
  }
  for (int i = 0; i < header->cdit; ++i) {
    p = reinterpret_cast<const WORD*>((reinterpret_cast<ULONG_PTR>(p) + 3) & ~ULONG_PTR(3));
    const auto* item = reinterpret_cast<const DLGITEMTEMPLATE*>(p);
    TemplateItem t;
    t.style = item->style;
    t.rect = {item->x, item->y, item->cx, item->cy};
    t.id = item->id;
    p = reinterpret_cast<const WORD*>(item + 1);
    p = ReadNameField(p, t.cls);
    t.cls = ClassOf(t.cls);
    p = ReadNameField(p, t.text);
    WORD extra = *p++;
    p = reinterpret_cast<const WORD*>(reinterpret_cast<const BYTE*>(p) + extra);
    out.items.push_back(t);
  }
  return true;
}

// What one control of a template must be. `mask` selects the style bits that matter and
// `bits` gives their values, so a bit in mask but not in bits must be clear.
struct ControlSpec {
  int id;
  const char* cls;
  const char* text;
  DWORD mask, bits;
  Rect rect;
};

struct DialogSpec {
  int id;
  const char* caption;
  DWORD style;
  Rect rect;
  const char* face;
  std::vector<ControlSpec> controls;
};

const DWORD kChild = WS_CHILD | WS_VISIBLE;
const DWORD kButtonType = BS_TYPEMASK;
const DWORD kStaticType = SS_TYPEMASK;
const DWORD kEditBox = ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL;
const DWORD kModal = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
const WORD kNoId = 0xFFFF;

const std::vector<DialogSpec>& Dialogs() {
  static const std::vector<DialogSpec> dialogs = {
      {IDD_MAIN, "SauSau",
       WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX,
       {50, 40, 278, 103}, "MS Sans Serif",
       {
           {IDC_TABS, "systabcontrol32", "Tab1", kChild | WS_TABSTOP, kChild | WS_TABSTOP, {1, 7, 139, 16}},
           // The history keeps the order of use: no sorting.
           {IDC_HISTORY, "combobox", "", kChild | 3 | CBS_SORT | WS_VSCROLL | WS_TABSTOP,
            kChild | CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, {7, 23, 131, 97}},
           {IDC_TREE, "systreeview32", "Tree1",
            kChild | WS_BORDER | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT |
                TVS_DISABLEDRAGDROP | TVS_SHOWSELALWAYS | TVS_EDITLABELS,
            kChild | WS_BORDER | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT |
                TVS_DISABLEDRAGDROP | TVS_SHOWSELALWAYS,
            {7, 38, 40, 26}},
           {IDC_EDITOR_EXPLAIN, "edit", "", kChild | kEditBox | WS_BORDER,
            kChild | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_BORDER, {48, 39, 40, 26}},
           // Lines stay in the order they were added: no sorting.
           {IDC_RECIPE_LIST, "listbox", "",
            kChild | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_SORT | WS_VSCROLL | WS_BORDER,
            kChild | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_BORDER, {87, 39, 40, 26}},
           {IDC_EDITOR_OPEN, "button", "(Edition)", kChild | kButtonType | BS_MULTILINE,
            kChild | BS_PUSHBUTTON | BS_MULTILINE, {7, 71, 57, 24}},
           {IDC_QUIT, "button", "&Quitter", kChild | kButtonType, kChild | BS_PUSHBUTTON, {211, 7, 50, 14}},
           {IDC_ABOUT, "button", "&A Propos", kChild | kButtonType, kChild | BS_PUSHBUTTON, {212, 25, 50, 14}},
           {IDC_SEARCH, "edit", "", kChild | ES_MULTILINE | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP,
            kChild | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, {143, 64, 59, 12}},
           {IDC_RECIPE_TEXT, "edit", "", kChild | kEditBox | WS_BORDER,
            kChild | ES_MULTILINE | ES_READONLY | WS_VSCROLL | WS_BORDER, {145, 22, 51, 18}},
           {IDC_SEARCH_LABEL, "static", "(Rechercher)", kChild | kStaticType, kChild | SS_LEFT, {143, 53, 38, 8}},
           {IDC_TOTAL, "static", "(Nombre total de recettes)", kChild | kStaticType, kChild | SS_LEFT,
            {143, 42, 98, 9}},
           {IDC_LISTED, "static", "(Nombre de recettes affich\351es)", kChild | kStaticType, kChild | SS_LEFT,
            {140, 78, 110, 9}},
       }},
      {IDD_ABOUT, "A Propos de Saucelins et des recettes", kModal, {50, -10, 195, 183}, "MS Sans Serif",
       {
           {IDOK, "button", "OK", kChild | kButtonType, kChild | BS_DEFPUSHBUTTON, {70, 162, 50, 14}},
           {IDC_ABOUT_NOTICE, "edit", "", kChild | kEditBox, kChild | ES_MULTILINE | ES_READONLY | WS_VSCROLL,
            {7, 32, 181, 55}},
           {IDC_ABOUT_TERMS, "edit", "", kChild | kEditBox, kChild | ES_MULTILINE | ES_READONLY | WS_VSCROLL,
            {7, 103, 181, 51}},
           {IDC_ABOUT_PROGRAM, "static", "(Program)", kChild | kStaticType, kChild | SS_CENTER, {38, 7, 150, 8}},
           {IDC_ABOUT_VERSION, "static", "(Version)", kChild | kStaticType, kChild | SS_CENTER, {38, 15, 150, 8}},
           {IDC_ABOUT_RECIPES, "static", "(Recette)", kChild | kStaticType, kChild | SS_CENTER, {7, 92, 181, 8}},
           {kNoId, "static", "#104", kChild | kStaticType, kChild | SS_ICON, {7, 7, 21, 20}},
           {IDC_ABOUT_BUILD, "static", "(Build)", kChild | kStaticType, kChild | SS_CENTER, {38, 23, 150, 8}},
           {kNoId, "button", "", kChild | kButtonType, kChild | BS_GROUPBOX, {0, 0, 194, 177}},
       }},
      {IDD_EDITOR, "(Edition)", kModal, {20, 0, 349, 181}, "MS Sans Serif",
       {
           // The editor drags nodes and renames them in place.
           {IDC_EDITOR_TREE, "systreeview32", "Tree1",
            kChild | WS_BORDER | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_EDITLABELS |
                TVS_SHOWSELALWAYS | TVS_DISABLEDRAGDROP,
            kChild | WS_BORDER | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_EDITLABELS |
                TVS_SHOWSELALWAYS,
            {7, 7, 130, 153}},
           // Several recipes at once, in table order.
           {IDC_EDITOR_LIST, "syslistview32", "List1",
            kChild | WS_BORDER | LVS_TYPEMASK | LVS_NOCOLUMNHEADER | LVS_NOSORTHEADER | LVS_SHOWSELALWAYS |
                LVS_SINGLESEL | LVS_SORTASCENDING | LVS_SORTDESCENDING,
            kChild | WS_BORDER | LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_NOSORTHEADER | LVS_SHOWSELALWAYS,
            {143, 7, 141, 153}},
           {IDC_EDITOR_SAVE, "button", "&Save", kChild | kButtonType, kChild | BS_PUSHBUTTON, {290, 19, 52, 18}},
           {IDC_EDITOR_HELP, "button", "&Help", kChild | kButtonType, kChild | BS_PUSHBUTTON, {290, 39, 52, 18}},
           {IDC_QUIT, "button", "Cancel", kChild | kButtonType, kChild | BS_PUSHBUTTON, {290, 59, 52, 18}},
           {IDC_EDITOR_CREATE, "button", "Create Node", kChild | kButtonType | BS_MULTILINE,
            kChild | BS_PUSHBUTTON | BS_MULTILINE, {290, 98, 52, 18}},
           {IDC_EDITOR_DESTROY, "button", "Destroy Node", kChild | kButtonType | BS_MULTILINE,
            kChild | BS_PUSHBUTTON | BS_MULTILINE, {290, 118, 52, 18}},
           {IDC_EDITOR_RENAME, "button", "Rename Node", kChild | kButtonType | BS_MULTILINE,
            kChild | BS_PUSHBUTTON | BS_MULTILINE, {290, 139, 52, 18}},
           {IDC_EDITOR_STATUS, "static", "Pas de recette dans la cat\351gorie s\351lectionn\351e",
            kChild | kStaticType, kChild | SS_LEFT, {7, 165, 335, 9}},
       }},
      {IDD_MEMO, "(m\351mo)", kModal, {20, 0, 206, 135}, "MS Sans Serif",
       {
           {IDOK, "button", "OK", kChild | kButtonType, kChild | BS_DEFPUSHBUTTON, {149, 7, 50, 14}},
           {IDCANCEL, "button", "Annuler", kChild | kButtonType, kChild | BS_PUSHBUTTON, {149, 24, 50, 14}},
           {IDC_MEMO_TEXT, "edit", "", kChild | kEditBox | WS_BORDER,
            kChild | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_VSCROLL | WS_BORDER, {7, 7, 137, 121}},
           {IDC_MEMO_EDIT, "button", "Edition", kChild | kButtonType | BS_MULTILINE,
            kChild | BS_AUTOCHECKBOX | BS_MULTILINE, {151, 46, 48, 21}},
       }},
      {IDD_ZOOM, "Zoom sur recette", kModal, {0, 0, 186, 141}, "MS Sans Serif",
       {
           {IDOK, "button", "OK", kChild | kButtonType, kChild | BS_DEFPUSHBUTTON, {65, 120, 50, 14}},
           {IDC_ZOOM_TEXT, "edit", "", kChild | kEditBox,
            kChild | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL, {7, 7, 172, 110}},
       }},
      {IDD_PRINTING, "Print", kModal, {56, 61, 128, 66}, "Helv",
       {
           {kNoId, "static", "Printing", kChild | kStaticType, kChild | SS_RIGHT, {2, 6, 44, 8}},
           {IDC_PRINT_DOCUMENT, "static", "", kChild | kStaticType, kChild | SS_LEFT, {51, 6, 78, 8}},
           {kNoId, "static", "on the", kChild | kStaticType, kChild | SS_RIGHT, {4, 20, 43, 8}},
           {IDC_PRINT_DEVICE, "static", "", kChild | kStaticType, kChild | SS_LEFT, {50, 21, 78, 8}},
           {IDC_PRINT_PORT, "static", "", kChild | kStaticType, kChild | SS_LEFT, {50, 31, 78, 8}},
           {IDCANCEL, "button", "Cancel", kChild | kButtonType, kChild | BS_DEFPUSHBUTTON, {75, 46, 47, 14}},
       }},
  };
  return dialogs;
}

TEST(DialogTemplates, MatchTheirLayoutAsCompiled) {
  for (const DialogSpec& d : Dialogs()) {
    SCOPED_TRACE("dialog " + std::to_string(d.id));
    DialogTemplate t;
    ASSERT_TRUE(ReadTemplate(d.id, t));
    EXPECT_EQ(d.caption, t.caption);
    EXPECT_EQ(d.style, t.style & d.style);
    EXPECT_EQ(0u, t.style & WS_VISIBLE);
    EXPECT_EQ(d.rect, t.rect);
    EXPECT_EQ(d.face, t.face);
    EXPECT_EQ(8, t.points);
    ASSERT_EQ(d.controls.size(), t.items.size());
    for (size_t i = 0; i < t.items.size(); ++i) {
      const ControlSpec& c = d.controls[i];
      const TemplateItem& item = t.items[i];
      SCOPED_TRACE("control " + std::to_string(i) + " id " + std::to_string(c.id));
      EXPECT_EQ(static_cast<WORD>(c.id), item.id);
      EXPECT_EQ(c.cls, item.cls);
      EXPECT_EQ(c.text, item.text);
      EXPECT_EQ(c.bits, item.style & c.mask) << std::hex << "style 0x" << item.style;
      EXPECT_EQ(c.rect, item.rect);
    }
  }
}

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

HWND CreateFromTemplate(int id) {
  InitCommonControls();
  return CreateDialogParamA(Module(), MAKEINTRESOURCEA(id), nullptr, PlainDialogProc, 0);
}

// Every template becomes a window here: a control whose class does not exist fails the whole
// dialog. With a dialog procedure that does nothing, where the controls land and what they say
// is the dialog manager's reading of the templates checked above.
TEST(DialogTemplates, EveryTemplateCreatesWithAllItsControls) {
  for (const DialogSpec& d : Dialogs()) {
    Window dialog(CreateFromTemplate(d.id));
    ASSERT_NE(nullptr, dialog.get()) << "dialog " << d.id << ": error " << GetLastError();
    int children = 0;
    for (HWND c = GetWindow(dialog.get(), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) ++children;
    EXPECT_EQ(static_cast<int>(d.controls.size()), children) << "dialog " << d.id;
  }
}

TEST(DialogTemplates, AboutBoxShowsTheProgramIcon) {
  Window about(CreateFromTemplate(IDD_ABOUT));
  ASSERT_NE(nullptr, about.get());
  HWND icon = nullptr;
  for (HWND c = GetWindow(about.get(), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    if ((GetWindowLongA(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) icon = c;
  ASSERT_NE(nullptr, icon);
  EXPECT_NE(0, SendMessageA(icon, STM_GETICON, 0, 0));
}

// ---- Menus -------------------------------------------------------------------------------------

struct MenuItemSpec {
  UINT id;
  const char* text;
};

void ExpectPopupMenu(int menuId, const char* popupName, const std::vector<MenuItemSpec>& items) {
  SCOPED_TRACE("menu " + std::to_string(menuId));
  HMENU menu = LoadMenuA(Module(), MAKEINTRESOURCEA(menuId));
  ASSERT_NE(nullptr, menu);
  EXPECT_EQ(1, GetMenuItemCount(menu));
  char name[128] = {};
  GetMenuStringA(menu, 0, name, sizeof name, MF_BYPOSITION);
  EXPECT_STREQ(popupName, name);
  HMENU popup = GetSubMenu(menu, 0);
  ASSERT_NE(nullptr, popup);
  ASSERT_EQ(static_cast<int>(items.size()), GetMenuItemCount(popup));
  for (size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(items[i].id, GetMenuItemID(popup, static_cast<int>(i)));
    char text[128] = {};
    GetMenuStringA(popup, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(items[i].text, text);
    EXPECT_EQ(0u, GetMenuState(popup, static_cast<UINT>(i), MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED));
  }
  DestroyMenu(menu);
}

TEST(Menus, ContextMenusHoldTheirCommands) {
  ExpectPopupMenu(IDR_TREE_MENU, "TreeViewPopUp",
                  {{IDM_NEW_CATEGORY, "Nouvelle cat\351gorie"},
                   {IDM_DELETE_CATEGORY, "Supprimer la cat\351gorie"},
                   {IDM_RENAME_CATEGORY, "Renommer la cat\351gorie"}});
  ExpectPopupMenu(IDR_LIST_MENU, "ListEx Menu",
                  {{IDM_SHOW_RECIPE, "Afficher Recette"}, {IDM_EDIT_MEMO, "Editer un M\351mo"}});
}

// ---- Pictures ----------------------------------------------------------------------------------

const BYTE* RawResource(int id, LPCSTR type, DWORD* size = nullptr) {
  HRSRC found = FindResourceA(Module(), MAKEINTRESOURCEA(id), type);
  if (!found) return nullptr;
  if (size) *size = SizeofResource(Module(), found);
  return static_cast<const BYTE*>(LockResource(LoadResource(Module(), found)));
}

// Palette index of pixel (x, y) of a bottom-up 4-bit DIB.
int Pixel4(const BITMAPINFOHEADER* info, int x, int y) {
  const BYTE* bits = reinterpret_cast<const BYTE*>(info) + info->biSize + 16 * sizeof(RGBQUAD);
  int stride = ((info->biWidth * 4 + 31) / 32) * 4;
  BYTE b = bits[(info->biHeight - 1 - y) * stride + x / 2];
  return x % 2 == 0 ? b >> 4 : b & 0x0F;
}

TEST(Pictures, ToolbarStripHasSixteenColoursAndTheButtonsImages) {
  const auto* info = reinterpret_cast<const BITMAPINFOHEADER*>(RawResource(IDB_TOOLBAR, MAKEINTRESOURCEA(2)));
  ASSERT_NE(nullptr, info);
  EXPECT_EQ(4, info->biBitCount);
  EXPECT_EQ(15, info->biHeight);
  // Whole 16-pixel images up to the search button's image 16.
  EXPECT_EQ(17 * 16, info->biWidth);
  const auto* palette = reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const BYTE*>(info) + info->biSize);
  // The toolbar turns the silver of the system palette into the button face.
  int silver = -1;
  for (int i = 0; i < 16; ++i)
    if (palette[i].rgbRed == 192 && palette[i].rgbGreen == 192 && palette[i].rgbBlue == 192) silver = i;
  ASSERT_GE(silver, 0);
  EXPECT_EQ(silver, Pixel4(info, 0, 0));
  for (int image : {0, 1, 2, 3, 4, 5, 6, 7, 15, 16}) {
    int drawn = 0;
    for (int y = 0; y < 15; ++y)
      for (int x = 0; x < 16; ++x) drawn += Pixel4(info, image * 16 + x, y) != silver;
    EXPECT_GT(drawn, 20) << "image " << image << " is nearly blank";
  }
}

TEST(Pictures, ToolbarGetsAnImageForEveryButton) {
  Window main(CreateFromTemplate(IDD_MAIN));
  ASSERT_NE(nullptr, main.get());
  TBBUTTON buttons[2] = {{0, IDM_LARGER, TBSTATE_ENABLED, 0, {}, 0, 0},
                         {15, IDM_HELP, TBSTATE_ENABLED, 0, {}, 0, 0}};
  HWND toolbar = CreateToolbarEx(main.get(), WS_CHILD | WS_VISIBLE | TBSTYLE_TOOLTIPS, IDC_TOOLBAR, 8, Module(),
                                 IDB_TOOLBAR, buttons, 2, 0, 0, 0, 0, sizeof(TBBUTTON));
  ASSERT_NE(nullptr, toolbar);
  HIMAGELIST images = reinterpret_cast<HIMAGELIST>(SendMessageA(toolbar, TB_GETIMAGELIST, 0, 0));
  ASSERT_NE(nullptr, images);
  // The help button draws image 15: the list must reach it.
  EXPECT_GE(ImageList_GetImageCount(images), 16);
  // Images are cut 16 pixels apart (their height is the toolbar's business: 15 or 16).
  int cx = 0, cy = 0;
  ImageList_GetIconSize(images, &cx, &cy);
  EXPECT_EQ(16, cx);
}

#pragma pack(push, 2)
// Directories of RT_GROUP_ICON and RT_GROUP_CURSOR resources (one entry each here).
struct IconEntry {
  BYTE width, height, colours, reserved;
  WORD planes, bitCount;
  DWORD bytes;
  WORD id;
};
struct CursorEntry {
  WORD width, height;  // the height counts the colour and the mask rows
  WORD planes, bitCount;
  DWORD bytes;
  WORD id;
};
template <typename Entry>
struct GroupDirectory {
  WORD reserved, type, count;
  Entry entries[1];
};
#pragma pack(pop)

TEST(Pictures, ProgramIconIs32PixelsIn16Colours) {
  const auto* group = reinterpret_cast<const GroupDirectory<IconEntry>*>(RawResource(IDI_APP, MAKEINTRESOURCEA(14)));
  ASSERT_NE(nullptr, group);
  ASSERT_EQ(1, group->count);
  EXPECT_EQ(32, group->entries[0].width);
  EXPECT_EQ(32, group->entries[0].height);
  EXPECT_EQ(16, group->entries[0].colours);
  EXPECT_EQ(4, group->entries[0].bitCount);

  Unique<HICON, DestroyIcon> icon(
      static_cast<HICON>(LoadImageA(Module(), MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON, 32, 32, 0)));
  EXPECT_NE(nullptr, icon.get());
}

TEST(Pictures, DragCursorsAreMonochromeWithTheHotSpotTopLeft) {
  for (int id : {IDCU_DROP, IDCU_NODROP}) {
    SCOPED_TRACE("cursor " + std::to_string(id));
    const auto* group = reinterpret_cast<const GroupDirectory<CursorEntry>*>(RawResource(id, MAKEINTRESOURCEA(12)));
    ASSERT_NE(nullptr, group);
    ASSERT_EQ(1, group->count);
    EXPECT_EQ(32, group->entries[0].width);
    EXPECT_EQ(64, group->entries[0].height);  // colour and mask rows together
    EXPECT_EQ(1, group->entries[0].bitCount);

    UniqueCursor cursor(
        static_cast<HCURSOR>(LoadImageA(Module(), MAKEINTRESOURCEA(id), IMAGE_CURSOR, 32, 32, 0)));
    ASSERT_NE(nullptr, cursor.get());
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(cursor.get(), &info));
    Unique<HBITMAP, DeleteObject> colour(info.hbmColor), mask(info.hbmMask);
    EXPECT_EQ(0u, info.xHotspot);
    EXPECT_EQ(0u, info.yHotspot);
    EXPECT_EQ(nullptr, colour.get());  // monochrome: all of it lives in the mask bitmap
  }
}

TEST(Pictures, DropCursorPointsWithAnOpaqueTip) {
  // The hot spot is where the user aims: on the drop cursor it must be a visible pixel.
  const auto* group = reinterpret_cast<const GroupDirectory<CursorEntry>*>(RawResource(IDCU_DROP, MAKEINTRESOURCEA(12)));
  ASSERT_NE(nullptr, group);
  const BYTE* raw = RawResource(group->entries[0].id, MAKEINTRESOURCEA(1));
  ASSERT_NE(nullptr, raw);
  const auto* dib = reinterpret_cast<const BITMAPINFOHEADER*>(raw + 4);
  int rows = dib->biHeight / 2, stride = 4;
  const BYTE* xorBits = raw + 4 + dib->biSize + 2 * sizeof(RGBQUAD);
  const BYTE* andBits = xorBits + rows * stride;
  // Top-left pixel: last row of the bottom-up bitmaps, most significant bit.
  EXPECT_EQ(0, andBits[(rows - 1) * stride] & 0x80) << "tip is transparent";
  EXPECT_EQ(0, xorBits[(rows - 1) * stride] & 0x80) << "tip is not black";
}

// ---- Text helpers ------------------------------------------------------------------------------

TEST(TextHelpers, SetItemTextFromStringFormatsOneValueAndKeepsAtMost1023Characters) {
  Window main(CreateFromTemplate(IDD_MAIN));
  ASSERT_NE(nullptr, main.get());
  ASSERT_EQ("(Rechercher)", wintest::ItemText(main.get(), IDC_SEARCH_LABEL));
  // "%s" takes a pointer: it must survive whole, high half included on 64-bit.
  static char date[] = "Jan 30 1998 \340 14:40:55";
  const std::string longValue(3000, 'x'), prefix = "Date de Cr\351ation: ";
  struct Case {
    int control;
    UINT string;
    LPARAM value;
    BOOL found;
    std::string shown;
  };
  const Case kCases[] = {
      {IDC_LISTED, IDS_LISTED, 42, TRUE, "42 dans s\351lection"},
      {IDC_LISTED, IDS_LISTED, -3, TRUE, "-3 dans s\351lection"},
      {IDC_LISTED, IDS_CATEGORY_HELP, 12345, TRUE, Expected(IDS_CATEGORY_HELP)},  // no conversion
      {IDC_LISTED, IDS_BUILD, reinterpret_cast<LPARAM>(date), TRUE, prefix + date},
      {IDC_LISTED, IDS_BUILD, reinterpret_cast<LPARAM>(longValue.c_str()), TRUE,
       prefix + std::string(1023 - prefix.size(), 'x')},
      {IDC_SEARCH_LABEL, 8, 0, FALSE, ""},  // a missing string empties the control
      {IDC_SEARCH_LABEL, IDS_SEARCH, 0, TRUE, "Rechercher"},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(c.found, SetItemTextFromString(main.get(), c.control, c.string, c.value)) << c.shown;
    EXPECT_EQ(c.shown, wintest::ItemText(main.get(), c.control));
  }
}

TEST(TextHelpers, ShowStringMessageShowsCaptionTextAndButtonsCutToTheirSizes) {
  const std::string longValue(3000, 'y'), prefix = "Date de Cr\351ation: ";
  struct Case {
    UINT caption, text;
    LPARAM value;
    UINT style;
    int answer;
    std::string shownCaption, shownText;
    UINT buttons;  // as wintest::SeenBox counts them: 0 for OK alone
  };
  const Case kCases[] = {
      {IDS_CAPTION, IDS_PRINT_NOTHING, 0, MB_YESNO | MB_ICONQUESTION, IDNO, "Saucelins",
       "S\351lectionnez d'abord une recette avant de l'imprimer.", 1u << IDYES | 1u << IDNO},
      {IDS_CAPTION, IDS_COUNT_PLURAL, 7, MB_OK, IDOK, "Saucelins", "7 recettes dans cette cat\351gorie", 0},
      // A caption longer than 127 characters is cut; the text stops at 1023.
      {IDS_EDITOR_EXPLAIN, IDS_BUILD, reinterpret_cast<LPARAM>(longValue.c_str()), MB_OK, IDOK,
       std::string(Expected(IDS_EDITOR_EXPLAIN)).substr(0, 127), prefix + std::string(1023 - prefix.size(), 'y'), 0},
      {IDS_CAPTION, 37, 0, MB_OK, IDOK, "Saucelins", "", 0},  // a missing text: an empty box
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.shownText.substr(0, 20));
    wintest::SeenBox seen;
    bool okButton = false;
    wintest::ModalScript script;
    script.OnDialog({}, [&](HWND box) {
      okButton = GetDlgItem(box, IDOK) != nullptr;
      seen.Answer(c.answer)(box);
    });
    int result = 0;
    EXPECT_TRUE(script.Run([&] { result = ShowStringMessage(nullptr, c.caption, c.text, c.value, c.style); }) &&
                script.Finished());
    EXPECT_EQ(c.answer, result);
    EXPECT_EQ(c.shownCaption, seen.caption);
    EXPECT_EQ(c.shownText, seen.text);
    EXPECT_EQ(c.buttons, seen.buttons);
    EXPECT_EQ(c.answer == IDOK, okButton);
  }
}

}  // namespace

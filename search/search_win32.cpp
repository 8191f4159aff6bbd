#include "search/search_win32.h"

#include <commctrl.h>

#include <vector>

#include "catalogue/gauge.h"
#include "catalogue/recipe_table.h"
#include "categories/history_win32.h"
#include "platform/unique_handle_win32.h"
#include "platform/wait_cursor_win32.h"
#include "resources/resource.h"
#include "resources/text_helpers_win32.h"
#include "search/query.h"
#include "vlr/memo.h"
#include "vlr/vlr_format.h"

namespace {

using UniqueHook = Unique<HHOOK, UnhookWindowsHookEx>;

// Index builds of at least this many recipes show the gauge.
constexpr int32_t kGaugeRecipes = 5000;
// What the dialog takes: a long query is fine, a novel is not needed.
constexpr int kQueryChars = 10000;

// Everything search keeps between commands.
struct SearchState {
  search::SearchIndex index;
  bool built = false;
  // The list shows the result of this query.
  bool listShowsResults = false;
  search::Query query;
  unsigned scope = search::kInEverything;
  // What the dialog shows when it opens again.
  std::string lastText;
  unsigned lastScope = search::kInEverything;
  HWND keysWindow = nullptr;
  HACCEL keys = nullptr;
  UniqueHook hook;
};

SearchState& State() {
  static SearchState state;
  return state;
}

HINSTANCE InstanceOf(HWND window) {
  return reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
}

void GaugeProgress(void*, uint32_t done, uint32_t) { SetGaugePosition(done); }

void ReadMemoWords(uint32_t id) {
  std::vector<char> buffer(static_cast<size_t>(vlr::kMaxRecordLimit));
  int32_t length = vlr::kMaxRecordLimit;
  const int status = ReadMemo(MemoStoreName, id, buffer.data(), &length);
  if (status == kVlrOk) {
    State().index.memos().Set(id, buffer.data(), static_cast<size_t>(length));
  } else if (status == kVlrNotFound || status == kVlrOpenFailed) {
    State().index.memos().Set(id, nullptr, 0);
  }
  // Any other failure keeps the words last read: the memo cannot be shown either.
}

void EnsureIndex(HWND window) {
  SearchState& s = State();
  if (s.built) return;
  WaitCursor wait;
  // A save of the catalogue shows its gauge against the range the load left: put it back.
  const int32_t savedRange = GaugeRange();
  SetGaugeRange(static_cast<int32_t>(RecipeCount()));
  OpenGauge(window, kGaugeRecipes);
  char title[128] = {};
  LoadStringA(InstanceOf(window), IDS_GAUGE_SEARCH, title, sizeof title);
  SetGaugeTitle(title);
  s.index.Build(RecipeEntries(), RecipeCount(), GaugeProgress, nullptr);
  CloseGauge();
  SetGaugeRange(savedRange);
  // A store that cannot be read leaves no memo words; titles and texts are still searched.
  s.index.memos().Load(MemoStoreName);
  s.built = true;
}

void FillList(HWND window, const std::vector<search::Hit>& hits) {
  HWND list = GetDlgItem(window, IDC_RECIPE_LIST);
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  EmptyRecipeList(list, static_cast<uint32_t>(hits.size()));
  RecipeEntry* entries = RecipeEntries();
  for (const search::Hit& h : hits) {
    if (!AppendRecipe(list, &entries[h.entry])) break;
  }
  SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
  const uint32_t n = static_cast<uint32_t>(hits.size());
  SetItemTextFromString(window, IDC_LISTED, n > 1 ? IDS_FOUND_PLURAL : IDS_FOUND_SINGULAR,
                        static_cast<LPARAM>(n));
}

// ---- the dialog ----

unsigned ScopeOf(HWND dialog) {
  unsigned scope = 0;
  if (IsDlgButtonChecked(dialog, IDC_SEARCH_IN_TITLES) == BST_CHECKED) scope |= search::kInTitles;
  if (IsDlgButtonChecked(dialog, IDC_SEARCH_IN_TEXTS) == BST_CHECKED) scope |= search::kInTexts;
  if (IsDlgButtonChecked(dialog, IDC_SEARCH_IN_MEMOS) == BST_CHECKED) scope |= search::kInMemos;
  return scope;
}

void OnSearchInit(HWND dialog, SearchDialogState* state) {
  SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
  HWND words = GetDlgItem(dialog, IDC_SEARCH_WORDS);
  SendMessageA(words, EM_LIMITTEXT, kQueryChars, 0);
  SetWindowTextA(words, state->text.c_str());
  CheckDlgButton(dialog, IDC_SEARCH_IN_TITLES, (state->scope & search::kInTitles) ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(dialog, IDC_SEARCH_IN_TEXTS, (state->scope & search::kInTexts) ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(dialog, IDC_SEARCH_IN_MEMOS, (state->scope & search::kInMemos) ? BST_CHECKED : BST_UNCHECKED);
  SetFocus(words);
  SendMessageA(words, EM_SETSEL, 0, -1);
}

void OnSearchOk(HWND dialog, SearchDialogState* state) {
  std::vector<char> text(kQueryChars + 1);
  GetDlgItemTextA(dialog, IDC_SEARCH_WORDS, text.data(), kQueryChars + 1);
  state->text = text.data();
  state->scope = ScopeOf(dialog);
  const search::Query query = search::ParseQuery(state->text);
  if (query.terms.empty()) {
    SetItemTextFromString(dialog, IDC_SEARCH_STATUS, IDS_SEARCH_NO_WORD, 0);
    return;
  }
  if (state->scope == 0) {
    SetItemTextFromString(dialog, IDC_SEARCH_STATUS, IDS_SEARCH_NO_SCOPE, 0);
    return;
  }
  if (ShowSearchResults(state->owner, state->text, state->scope) > 0) {
    EndDialog(dialog, IDOK);
    return;
  }
  // Nothing: say so in the dialog, which stays open for another try.
  const std::vector<std::string> words = State().index.Suggest(query, state->scope, 5);
  if (words.empty()) {
    SetItemTextFromString(dialog, IDC_SEARCH_STATUS, IDS_SEARCH_NONE, 0);
  } else {
    std::string list;
    for (const std::string& w : words) list += (list.empty() ? "" : ", ") + w;
    SetItemTextFromString(dialog, IDC_SEARCH_STATUS, IDS_SEARCH_SUGGEST,
                          reinterpret_cast<LPARAM>(list.c_str()));
  }
  MessageBeep(MB_ICONASTERISK);
}

LRESULT CALLBACK KeysHook(int code, WPARAM wParam, LPARAM lParam) {
  SearchState& s = State();
  MSG* msg = reinterpret_cast<MSG*>(lParam);
  if (code == MSGF_DIALOGBOX && s.keysWindow && s.keys && msg &&
      (msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN) &&
      (msg->hwnd == s.keysWindow || IsChild(s.keysWindow, msg->hwnd)) &&
      TranslateAcceleratorA(s.keysWindow, s.keys, msg)) {
    return TRUE;
  }
  return CallNextHookEx(s.hook.get(), code, wParam, lParam);
}

}  // namespace

INT_PTR CALLBACK SearchDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  SearchDialogState* state =
      reinterpret_cast<SearchDialogState*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      OnSearchInit(dialog, reinterpret_cast<SearchDialogState*>(lParam));
      return FALSE;  // the focus is on the words
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK && state) {
        OnSearchOk(dialog, state);
      } else if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
      }
      return TRUE;
    default:
      return FALSE;
  }
}

void RunSearchCommand(HWND window) {
  SearchState& s = State();
  if (RecipeCount() == 0) return;
  EnsureIndex(window);
  SearchDialogState state;
  state.text = s.lastText;
  state.scope = s.lastScope;
  state.owner = window;
  DialogBoxParamA(InstanceOf(window), MAKEINTRESOURCEA(IDD_SEARCH), window, SearchDialogProc,
                  reinterpret_cast<LPARAM>(&state));
  s.lastText = state.text;
  s.lastScope = state.scope == 0 ? search::kInEverything : state.scope;
}

uint32_t ShowSearchResults(HWND window, const std::string& text, unsigned scope) {
  SearchState& s = State();
  if (RecipeCount() == 0) return 0;
  EnsureIndex(window);
  const search::Query query = search::ParseQuery(text);
  const std::vector<search::Hit> hits = s.index.Search(query, scope);
  if (hits.empty()) return 0;
  // The list lives on the recipe tab; showing it may refill it from the tree first.
  SendMessageA(window, WM_COMMAND, IDM_RECIPES_TAB, 0);
  FillList(window, hits);
  s.listShowsResults = true;
  s.query = query;
  s.scope = scope;
  HWND list = GetDlgItem(window, IDC_RECIPE_LIST);
  SendMessageA(list, LB_SETCURSEL, 0, 0);
  SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_RECIPE_LIST, LBN_SELCHANGE),
               reinterpret_cast<LPARAM>(list));
  return static_cast<uint32_t>(hits.size());
}

void ForgetSearchIndex() {
  SearchState& s = State();
  s.index.Clear();
  s.index.memos().Clear();
  s.built = false;
  s.listShowsResults = false;
}

void NoteMemoChanged(uint32_t id) {
  if (State().built) ReadMemoWords(id);
}

void SearchListReplaced() { State().listShowsResults = false; }

void ShowFirstSearchMatch(HWND textPane) {
  const SearchState& s = State();
  if (!s.listShowsResults || !(s.scope & search::kInTexts)) return;
  std::vector<char> text(static_cast<size_t>(GetWindowTextLengthA(textPane)) + 1);
  const int n = GetWindowTextA(textPane, text.data(), static_cast<int>(text.size()));
  size_t start = 0, length = 0;
  if (n <= 0 || !search::FindFirstMatch(s.query, text.data(), static_cast<size_t>(n), &start, &length)) {
    return;
  }
  SendMessageA(textPane, EM_SETSEL, static_cast<WPARAM>(start), static_cast<LPARAM>(start + length));
  SendMessageA(textPane, EM_SCROLLCARET, 0, 0);
}

void InstallSearchKeys(HWND window) {
  RemoveSearchKeys();
  SearchState& s = State();
  s.keys = LoadAcceleratorsA(InstanceOf(window), MAKEINTRESOURCEA(IDR_SEARCH_KEYS));
  s.keysWindow = window;
  s.hook = UniqueHook(SetWindowsHookExA(WH_MSGFILTER, KeysHook, nullptr, GetCurrentThreadId()));
}

void RemoveSearchKeys() {
  SearchState& s = State();
  s.hook.reset();
  s.keysWindow = nullptr;
  s.keys = nullptr;  // resource accelerators are freed with the module
}

search::SearchIndex& MainSearchIndex() { return State().index; }
bool MainSearchIndexBuilt() { return State().built; }

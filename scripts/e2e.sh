#!/usr/bin/env bash
# End-to-end tests: the real saucelins.exe runs under wine64 on a virtual screen of its own, each
# scenario in a fresh copy of the sample catalogue, and is used only as a person can use it:
# the mouse and the keyboard (xdotool). What it shows is read from its controls by winprobe
# (counts, texts, selections, where an item lies), and what it writes from its files (directly
# and through saucelins-cli); a screenshot only shows that text was drawn. Prints "PASS name" or
# "FAIL name: reason" per scenario; exits non-zero when one failed. Needs the win64 build and
# the native saucelins-cli (scripts/test.sh makes both).
#
# Usage: scripts/e2e.sh [--update-screenshots] [scenario...]
#   scenarios: start browse textsize memo editor print badfolder (default: all)
#   --update-screenshots: also copy the README's screenshots into docs/
# Screenshots of every run go to $BUILD_ROOT/e2e-shots/, each scenario's traces to $BUILD_ROOT/e2e/.
set -u
. "$(dirname "$0")/common.sh"

ALL_SCENARIOS="start browse textsize memo editor print badfolder"
EXE=$BUILD_ROOT/win64/saucelins.exe
OUT=$BUILD_ROOT/e2e
SHOTS=$BUILD_ROOT/e2e-shots
SCREEN=1024x768x24
PROBE_EXE=$BUILD_ROOT/win64/winprobe.exe
CLI=$BUILD_ROOT/native/saucelins-cli
# A scenario takes under 15 s here; a stuck one is ended after this, and the whole run keeps
# within its budget (scenarios left when it is spent fail without running).
SCENARIO_TIMEOUT=${E2E_TIMEOUT:-120}
RUN_BUDGET=${E2E_BUDGET:-360}

UPDATE_SHOTS=0
SCENARIOS=()
for arg in "$@"; do
  case "$arg" in
    --update-screenshots) UPDATE_SHOTS=1 ;;
    -h|--help) sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    -*) echo "usage: $0 [--update-screenshots] [scenario...]" >&2; exit 2 ;;
    *)
      case " $ALL_SCENARIOS " in
        *" $arg "*) SCENARIOS+=("$arg") ;;
        *) echo "unknown scenario: $arg (known: $ALL_SCENARIOS)" >&2; exit 2 ;;
      esac ;;
  esac
done
[ ${#SCENARIOS[@]} -eq 0 ] && read -r -a SCENARIOS <<<"$ALL_SCENARIOS"

# ---- outside the virtual screen: check the build, prepare Wine, then start over inside one ----
if [ -z "${SAUCELINS_E2E_SCREEN:-}" ]; then
  for f in "$EXE" "$PROBE_EXE" "$CLI"; do
    if [ ! -f "$f" ]; then
      for s in "${SCENARIOS[@]}"; do echo "FAIL $s: no $f (build it with scripts/test.sh --only native --only win64)"; done
      exit 1
    fi
  done
  ensure_packages "$PKG_WINDOWS $PKG_E2E" || exit 1
  if ! wine_prefix "$BUILD_ROOT/win64" </dev/null >"$BUILD_ROOT/e2e-prefix.log" 2>&1; then
    why=$(grep -m1 'failed' "$BUILD_ROOT/e2e-prefix.log" || tail -1 "$BUILD_ROOT/e2e-prefix.log")
    for s in "${SCENARIOS[@]}"; do echo "FAIL $s: not run, $why"; done
    exit 1
  fi
  export SAUCELINS_E2E_SCREEN=1
  flags=()
  [ "$UPDATE_SHOTS" = 1 ] && flags+=(--update-screenshots)
  exec xvfb-run -a -s "-screen 0 $SCREEN -nolisten tcp -noreset" "$0" "${flags[@]}" "${SCENARIOS[@]}"
fi

# ---- inside the virtual screen ----
. "$SRC_DIR/scripts/e2e/lib.sh"
export WINEPREFIX=$BUILD_ROOT/win64/wineprefix

# The program's own texts, as the window reader gives them (UTF-8).
TITLE_MAIN="Recettes écrites par A. FERRUS. Prgm Saucelins Par T. Brenner"
TITLE_BOX="Saucelins"
TITLE_EDITOR="Création des catégories"
TITLE_PRINT="Print"
ROOT="Toutes les recettes"
HELP_TEXT="Aide

Sélectionner une catégorie, puis choisissez l'onglet \"Recette\" pour afficher la liste des recettes appartenant à cette catégorie."
DIALOG_CLASS="#32770"

# Controls and commands, by the names the program gives them.
for n in IDC_TABS IDC_HISTORY IDC_TREE IDC_RECIPE_LIST IDC_RECIPE_TEXT IDC_SEARCH IDC_SEARCH_LABEL \
         IDC_TOTAL IDC_LISTED IDC_QUIT IDC_TOOLBAR IDC_MEMO_TEXT IDC_MEMO_EDIT IDC_EDITOR_TREE \
         IDC_EDITOR_LIST IDC_EDITOR_SAVE IDC_EDITOR_CREATE IDC_EDITOR_STATUS IDM_LARGER IDM_SMALLER \
         IDM_READ_MEMO IDM_NEW_MEMO IDM_PRINT IDM_RECIPES_TAB IDM_CATEGORIES_TAB IDM_EDITOR \
         IDM_SEARCH IDM_HELP IDM_SAVE_AS; do
  v=$(rc_id "$n")
  [ -n "$v" ] || { echo "FAIL all: $n is not in resources/resource.h"; exit 1; }
  printf -v "$n" '%s' "$v"
done
IDOK=1
TAB_RECIPES=0
TAB_CATEGORIES=1

# Starts the program on a fresh copy of the sample catalogue and waits for its loaded window.
start_on_sample() {
  fresh_catalogue
  probe_start
  start_program "$SC_DIR/cat"
  wait_main_window
}

# Waits for the main window with its loaded title; sets MAIN.
wait_main_window() {
  # Once in a few dozen starts on a fresh prefix, Wine has shown no window at all (nothing on
  # screen, the process alive). That start is abandoned and made once more; the trace says so,
  # and a second failure fails the scenario.
  if ! MAIN=$(wait_window $LATER "$TITLE_MAIN" "$DIALOG_CLASS"); then
    note "no main window after $LATER s: ending that start and starting the program again"
    kill -KILL "$APP_PID" 2>/dev/null
    wait_until 10 program_ended
    start_program "$APP_DIR"
    MAIN=$(wait_window $LATER "$TITLE_MAIN" "$DIALOG_CLASS") ||
      fail "no main window with its title within $LATER s, twice"
  fi
  note "main window $MAIN"
}

# Quits through the Quit button, as a person would, and waits for the end.
quit_program() {
  click_control "$MAIN" "$IDC_QUIT"
  wait_until $SOON program_ended || fail "the program did not end after Quit"
}

# Clicks a toolbar button of the main window.
toolbar() {  # command
  wait_answer $SOON 1 tb-enabled "$MAIN" "$IDC_TOOLBAR" "$1" || fail "toolbar button $1 is not enabled"
  click_item tb-point "$MAIN" "$IDC_TOOLBAR" "$1"
}

# Chooses a category in the main window's tree (labels from the root, joined by "/").
choose_category() {  # path
  click_item tv-point "$MAIN" "$IDC_TREE" "$1"
  wait_answer $SOON "$1" tv-sel "$MAIN" "$IDC_TREE" || fail "clicking '$1' in the tree selected '$ANSWER'"
}

# The recipe list shows exactly these titles (in any order: the order is the list's own).
list_holds() {  # titles, one a line, C order
  ANSWER=$(sorted_answer lb-items "$MAIN" "$IDC_RECIPE_LIST") && [ "$ANSWER" = "$1" ]
}
wait_list() {  # seconds titles what
  wait_until "$1" list_holds "$2" ||
    fail "the recipe list does not hold $3: $(wc -l <<<"$ANSWER") lines ($(head -3 <<<"$ANSWER" | paste -sd,)...)"
}

# Clicks a recipe of the list by its title and waits for its text in the pane.
choose_recipe() {  # title
  local i id
  i=$(ask lb-items "$MAIN" "$IDC_RECIPE_LIST" | grep -nxF -- "$1" | head -1 | cut -d: -f1)
  [ -n "$i" ] || fail "'$1' is not in the recipe list"
  click_item lb-point "$MAIN" "$IDC_RECIPE_LIST" $((i - 1))
  wait_answer $SOON $((i - 1)) lb-sel "$MAIN" "$IDC_RECIPE_LIST" || fail "clicking '$1' selected line $ANSWER"
  id=$(recipe_id "$1")
  wait_answer $SOON "$(recipe_text "$id")" text "$MAIN" "$IDC_RECIPE_TEXT" ||
    fail "choosing '$1' does not show its text (the pane begins '$(head -1 <<<"$ANSWER")')"
}

# The pane has drawn text on the screen, wherever the fonts put it.
pane_painted() { greater "$(control_ink "$MAIN" "$IDC_RECIPE_TEXT")" 0.005; }

# ---------------------------------------------------------------------------------------
# Start: the main window appears at its place and size with string 4 as its title, on the
# category tab with the help text in the pane and the total count below.
scenario_start() {
  start_on_sample
  # At least the minimum size, wide enough for the whole toolbar and no wider than the screen.
  local x y w h
  read -r x y w h <<<"$(ask rect "$MAIN" -)"
  note "the window starts at x y w h $x $y $w $h"
  [ "$x $y $h" = "50 40 265" ] && [ "$w" -ge 489 ] && [ "$((x + w))" -le "${SCREEN%%x*}" ] ||
    fail "the window is at x y w h $x $y $w $h, not at 50 40, 265 high, from 489 wide to the screen's edge"
  local bx by id
  for id in $IDM_LARGER $IDM_SEARCH $IDM_HELP $IDM_SAVE_AS; do
    read -r bx by <<<"$(ask tb-point "$MAIN" "$IDC_TOOLBAR" "$id")"
    [ -n "$bx" ] && [ "$bx" -lt "$((x + w))" ] && [ "$by" -lt "$((y + h))" ] ||
      fail "toolbar button $id is not inside the window (its middle is at '$bx $by')"
  done
  wait_answer $SOON $TAB_CATEGORIES tab-sel "$MAIN" "$IDC_TABS" || fail "the current tab is $ANSWER, not the categories"
  # The tree holds every category, with the root alone at the top and its categories under it.
  local categories; categories=$(cli tree | wc -l)
  wait_answer $SOON "$categories" tv-count "$MAIN" "$IDC_TREE" || fail "the tree holds $ANSWER items, not $categories"
  answer_is "$ROOT" tv-children "$MAIN" "$IDC_TREE" || fail "the tree's top is '$ANSWER'"
  answer_is "$(cli tree | sed -n 's/^  \([^ ].*\)/\1/p')" tv-children "$MAIN" "$IDC_TREE" "$ROOT" ||
    fail "the root's categories are '$ANSWER'"
  answer_is "$ROOT" tv-sel "$MAIN" "$IDC_TREE" || fail "the tree's selection is '$ANSWER', not the root"
  # What the category tab shows and hides.
  local id
  for id in $IDC_TREE $IDC_RECIPE_TEXT $IDC_TOTAL; do
    answer_is 1 visible "$MAIN" "$id" || fail "control $id is hidden on the category tab"
  done
  for id in $IDC_HISTORY $IDC_RECIPE_LIST $IDC_SEARCH $IDC_SEARCH_LABEL $IDC_LISTED; do
    answer_is 0 visible "$MAIN" "$id" || fail "control $id shows on the category tab"
  done
  wait_answer $SOON "$HELP_TEXT" text "$MAIN" "$IDC_RECIPE_TEXT" || fail "the pane shows '$ANSWER', not the help text"
  wait_until $SOON pane_painted || fail "the help text is not drawn in the pane"
  local n; n=$(cli list | wc -l)
  answer_is "$n Recettes" text "$MAIN" "$IDC_TOTAL" || fail "the total count reads '$ANSWER', not '$n Recettes'"
  quit_program
}

# ---------------------------------------------------------------------------------------
# Browse: a category from the tree, the recipe list, a recipe's text, the search field, the
# history. Also takes the README's main-window picture.
scenario_browse() {
  start_on_sample
  local desserts sauces
  desserts=$(titles_under /Desserts); sauces=$(titles_under /Sauces)
  choose_category "$ROOT/Desserts"
  click_item tab-point "$MAIN" "$IDC_TABS" $TAB_RECIPES
  wait_answer $SOON $TAB_RECIPES tab-sel "$MAIN" "$IDC_TABS" || fail "clicking the recipe tab left tab $ANSWER current"
  wait_list $SOON "$desserts" "the $(wc -l <<<"$desserts") desserts"
  answer_is -1 lb-sel "$MAIN" "$IDC_RECIPE_LIST" || fail "line $ANSWER is selected before any is chosen"
  local count_desserts; count_desserts=$(ask text "$MAIN" "$IDC_LISTED")
  [ "$count_desserts" = "$(wc -l <<<"$desserts") dans sélection" ] || fail "the listed count reads '$count_desserts'"
  local first; first=$(ask lb-items "$MAIN" "$IDC_RECIPE_LIST" | head -1)
  answer_is "$(recipe_text "$(recipe_id "$first")")" text "$MAIN" "$IDC_RECIPE_TEXT" &&
    fail "the pane shows a recipe before one is chosen"
  choose_recipe "$first"

  # The search field: "tarte a" finds "Tarte au citron meringuée".
  click_control "$MAIN" "$IDC_SEARCH"
  wait_answer $SOON "$IDC_SEARCH" focus "$MAIN" || fail "clicking the search field gave the focus to $ANSWER"
  type_text "tarte a"
  wait_answer $SOON "tarte a" text "$MAIN" "$IDC_SEARCH" || fail "the search field holds '$ANSWER'"
  local found="Tarte au citron meringuée" i
  i=$(ask lb-items "$MAIN" "$IDC_RECIPE_LIST" | grep -nxF -- "$found" | cut -d: -f1)
  wait_answer $SOON $((i - 1)) lb-sel "$MAIN" "$IDC_RECIPE_LIST" || fail "typing 'tarte a' selected line $ANSWER, not '$found'"
  wait_answer $SOON "$(recipe_text "$(recipe_id "$found")")" text "$MAIN" "$IDC_RECIPE_TEXT" ||
    fail "the pane does not show '$found'"
  wait_until $SOON pane_painted || fail "the recipe found is not drawn"
  shot found
  keep_window_shot "$LAST_SHOT" "$MAIN" screenshot-main.png

  # The history: Sauces from the tree (toolbar to the categories and back), then Desserts again
  # from the drop-down, which lists the latest category first.
  toolbar "$IDM_CATEGORIES_TAB"
  wait_answer $SOON $TAB_CATEGORIES tab-sel "$MAIN" "$IDC_TABS" || fail "the categories button left tab $ANSWER current"
  choose_category "$ROOT/Sauces"
  toolbar "$IDM_RECIPES_TAB"
  wait_list $SOON "$sauces" "the $(wc -l <<<"$sauces") sauces"
  local count_sauces; count_sauces=$(ask text "$MAIN" "$IDC_LISTED")
  wait_answer $SOON "$(printf '/Sauces\n/Desserts')" cb-items "$MAIN" "$IDC_HISTORY" ||
    fail "the history lists '$ANSWER'"
  click_control "$MAIN" "$IDC_HISTORY"
  local drop; drop=$(wait_window $SOON "" ComboLBox) || fail "clicking the history opened no drop-down"
  click_item lb-point "$drop" - 1
  wait_answer $SOON 1 cb-sel "$MAIN" "$IDC_HISTORY" || fail "the history's selection is $ANSWER after choosing /Desserts"
  wait_list $SOON "$desserts" "the desserts again after choosing them in the history"
  answer_is "$count_desserts" text "$MAIN" "$IDC_LISTED" ||
    fail "the listed count reads '$ANSWER' (the desserts: '$count_desserts', the sauces: '$count_sauces')"
  quit_program
}

# ---------------------------------------------------------------------------------------
# Text size: larger twice, then smaller twice, from the toolbar; at the smallest size,
# smaller does nothing.
scenario_textsize() {
  start_on_sample
  local all; all=$(all_titles)
  toolbar "$IDM_RECIPES_TAB"
  wait_list $SOON "$all" "every recipe"
  choose_recipe Aligot
  # Pitch and width of the pane's lines, and the height of the list's lines.
  local p0 w0 p1 w1 p2 w2 h0 h2
  read -r p0 w0 _ <<<"$(ask edit-metrics "$MAIN" "$IDC_RECIPE_TEXT")"
  h0=$(ask lb-height "$MAIN" "$IDC_RECIPE_LIST")
  note "smallest: line pitch $p0, first line $w0 pixels, list line $h0"
  [ "${p0:-0}" -gt 0 ] || fail "the pane's lines cannot be measured"
  # Smaller at the smallest size, then larger: the text is one size up from the smallest.
  toolbar "$IDM_SMALLER"
  toolbar "$IDM_LARGER"
  wait_until $SOON pitch_above "$p0" || fail "larger text did not space the lines wider (still $p0 pixels)"
  read -r p1 w1 _ <<<"$ANSWER"
  toolbar "$IDM_LARGER"
  wait_until $SOON pitch_above "$p1" || fail "a second larger text did not space the lines wider (still $p1 pixels)"
  read -r p2 w2 _ <<<"$ANSWER"
  h2=$(ask lb-height "$MAIN" "$IDC_RECIPE_LIST")
  note "two sizes up: line pitch $p1 $p2, first line $w1 $w2 pixels, list line $h2"
  { [ "$w1" -gt "$w0" ] && [ "$w2" -gt "$w1" ]; } || fail "larger text did not widen the first line ($w0, $w1, $w2 pixels)"
  [ "$h2" -gt "$h0" ] || fail "two sizes up, the list's lines are $h2 pixels high, as before ($h0)"
  toolbar "$IDM_SMALLER"
  wait_until $SOON pitch_below "$p2" || fail "smaller text did not space the lines closer (still $p2 pixels)"
  [ "$ANSWER" = "$p1 $w1" ] || fail "one size down, the lines measure '$ANSWER', not '$p1 $w1' as on the way up"
  toolbar "$IDM_SMALLER"
  wait_until $SOON pitch_below "$p1" || fail "a second smaller text did not space the lines closer (still $p1 pixels)"
  [ "$ANSWER" = "$p0 $w0" ] || fail "back at the smallest size, the lines measure '$ANSWER', not '$p0 $w0'"
  answer_is "$h0" lb-height "$MAIN" "$IDC_RECIPE_LIST" || fail "back at the smallest size, the list's lines are $ANSWER pixels high, not $h0"
  # Every recipe is listed: the listed count is the total.
  local n; n=$(wc -l <<<"$all")
  answer_is "$n Recettes" text "$MAIN" "$IDC_TOTAL" || fail "the total count reads '$ANSWER'"
  answer_is "$n dans sélection" text "$MAIN" "$IDC_LISTED" || fail "with every recipe listed, the listed count reads '$ANSWER'"
  quit_program
}

# The pane's line pitch is above (below) a figure; ANSWER becomes "pitch width".
pitch_above() { pane_metrics && [ "$PITCH" -gt "$1" ]; }
pitch_below() { pane_metrics && [ "$PITCH" -lt "$1" ]; }
pane_metrics() {
  local w
  read -r PITCH w _ <<<"$(ask edit-metrics "$MAIN" "$IDC_RECIPE_TEXT")"
  ANSWER="$PITCH $w"
  [ -n "$w" ]
}

# ---------------------------------------------------------------------------------------
# Memo: created from the toolbar, read again, changed, deleted; the store on disk follows.
scenario_memo() {
  start_on_sample
  local store=$SC_DIR/cat/Gourmix.mem title="Aligot" id
  id=$(recipe_id "$title")
  toolbar "$IDM_RECIPES_TAB"
  wait_list $SOON "$(all_titles)" "every recipe"
  choose_recipe "$title"
  wait_until $SOON memo_buttons new || fail "with no memo, the create button is not the only one enabled ($ANSWER)"

  # Create.
  local text1="Servir avec une saucisse de Toulouse et une crème légère."
  open_memo "$IDM_NEW_MEMO" "$title"
  answer_is "" text "$MEMO" "$IDC_MEMO_TEXT" || fail "a new memo starts with '$ANSWER'"
  answer_is $IDOK defid "$MEMO" || fail "the memo dialog's default button is $ANSWER, not OK"
  write_memo "$text1"
  shot memo-typed
  keep_window_shot "$LAST_SHOT" "$MEMO" screenshot-memo.png
  close_memo
  [ "$(memo_on_disk "$store" "$id")" = "$(cp1252 "$text1")" ] || fail "the store does not hold the memo typed"
  [ "$(memo_count_on_disk "$store")" = 1 ] || fail "the store holds $(memo_count_on_disk "$store") memos, not 1"
  [ "$(cli memo get "$id" 2>&1)" = "$text1" ] || fail "saucelins-cli reads the memo as '$(cli memo get "$id" 2>&1)'"
  wait_until $SOON memo_buttons read || fail "with a memo, the read button is not the only one enabled ($ANSWER)"

  # Read it again and add a sentence.
  local text2="$text1 Bon appétit !"
  open_memo "$IDM_READ_MEMO" "$title"
  wait_answer $SOON "$text1" text "$MEMO" "$IDC_MEMO_TEXT" || fail "the memo dialog shows '$ANSWER', not the memo"
  edit_mode
  press ctrl+End
  type_text " Bon appétit !"
  wait_answer $SOON "$text2" text "$MEMO" "$IDC_MEMO_TEXT" || fail "the memo reads '$ANSWER' after typing"
  close_memo
  [ "$(memo_on_disk "$store" "$id")" = "$(cp1252 "$text2")" ] || fail "the store does not hold the changed memo"
  [ "$(cli memo get "$id" 2>&1)" = "$text2" ] || fail "saucelins-cli reads the memo as '$(cli memo get "$id" 2>&1)'"

  # Delete it: an emptied memo is no memo.
  open_memo "$IDM_READ_MEMO" "$title"
  wait_answer $SOON "$text2" text "$MEMO" "$IDC_MEMO_TEXT" || fail "the memo dialog shows '$ANSWER', not the memo"
  edit_mode
  press ctrl+Home ctrl+shift+End Delete
  wait_answer $SOON "" text "$MEMO" "$IDC_MEMO_TEXT" || fail "the memo still reads '$ANSWER' after deleting its text"
  # OK asks first; Yes deletes it.
  click_control "$MEMO" "$IDOK"
  local box; box=$(wait_window $SOON "$TITLE_BOX" "$DIALOG_CLASS") || fail "emptying the memo asked nothing"
  wait_until $SOON box_starts "$box" "Le texte du mémo est vide" || fail "the question reads '$ANSWER'"
  click_control "$box" 6  # IDYES
  wait_until $SOON window_gone "$MEMO" || fail "Yes did not close the memo dialog"
  memo_on_disk "$store" "$id" >/dev/null && fail "the emptied memo is still in the store"
  [ "$(memo_count_on_disk "$store")" = 0 ] || fail "the store still holds memos"
  ls "$SC_DIR"/cat/vlr*.tmp >/dev/null 2>&1 && fail "a temporary store file was left behind"
  cli memo get "$id" >/dev/null 2>&1 && fail "saucelins-cli still finds the memo"
  wait_until $SOON memo_buttons new || fail "after deleting, the create button is not the only one enabled ($ANSWER)"
  quit_program
}

# Opens the memo dialog from a toolbar button; sets MEMO.
open_memo() {  # command title
  toolbar "$1"
  MEMO=$(wait_window $SOON "Mémo de la recette $2" "$DIALOG_CLASS") ||
    fail "the memo button opened no memo dialog titled 'Mémo de la recette $2'"
}

# Puts the dialog in edit mode (a click on "Edition" when it is not) and the caret in the text.
edit_mode() {
  if ! answer_is 1 check "$MEMO" "$IDC_MEMO_EDIT"; then
    click_control "$MEMO" "$IDC_MEMO_EDIT"
    wait_answer $SOON 1 check "$MEMO" "$IDC_MEMO_EDIT" || fail "clicking Edition did not check it"
  fi
  wait_until $SOON memo_writable || fail "in edit mode, the memo text is read-only (style $ANSWER)"
  click_control "$MEMO" "$IDC_MEMO_TEXT"
  wait_answer $SOON "$IDC_MEMO_TEXT" focus "$MEMO" || fail "clicking the memo text gave the focus to $ANSWER"
}

memo_writable() {  # ES_READONLY is 0x800
  ANSWER=$(ask style "$MEMO" "$IDC_MEMO_TEXT") && [ $(( 0x$ANSWER & 0x800 )) = 0 ]
}

write_memo() {  # text
  edit_mode
  type_text "$1"
  wait_answer $SOON "$1" text "$MEMO" "$IDC_MEMO_TEXT" || fail "the memo reads '$ANSWER' after typing '$1'"
}

# OK closes the dialog; the store is written by then.
close_memo() {
  click_control "$MEMO" "$IDOK"
  wait_until $SOON window_gone "$MEMO" || fail "OK did not close the memo dialog"
}

# Which memo button is enabled: read|new.
memo_buttons() {
  local r n
  r=$(ask tb-enabled "$MAIN" "$IDC_TOOLBAR" "$IDM_READ_MEMO")
  n=$(ask tb-enabled "$MAIN" "$IDC_TOOLBAR" "$IDM_NEW_MEMO")
  ANSWER="read $r, new $n"
  case $1 in
    read) [ "$r$n" = 10 ] ;;
    new) [ "$r$n" = 01 ] ;;
  esac
}

# ---------------------------------------------------------------------------------------
# Editor: a new category, named; a recipe dragged into it; saved and closed. The main window
# then files the recipe there, and so does the index on disk. Takes the README's editor picture.
scenario_editor() {
  start_on_sample
  local idx=$SC_DIR/cat/Gourmix.Idx category="Préférées" title="Croque-monsieur" id
  id=$(recipe_id "$title")
  cp "$idx" "$SC_DIR/index-before"
  local own; own=$(titles_in "$ROOT")
  local categories; categories=$(cli tree | wc -l)
  toolbar "$IDM_EDITOR"
  EDITOR=$(wait_window $LATER "$TITLE_EDITOR" "$DIALOG_CLASS") || fail "the editor button opened no editor"
  # Every category, the root chosen, and the root's own recipes.
  wait_answer $SOON "$categories" tv-count "$EDITOR" "$IDC_EDITOR_TREE" || fail "the editor's tree holds $ANSWER items, not $categories"
  answer_is "$(cli tree | sed -n 's/^  \([^ ].*\)/\1/p')" tv-children "$EDITOR" "$IDC_EDITOR_TREE" "$ROOT" ||
    fail "the editor shows the root's categories as '$ANSWER'"
  wait_answer $SOON "$ROOT" tv-sel "$EDITOR" "$IDC_EDITOR_TREE" || fail "the editor starts on '$ANSWER', not the root"
  wait_until $SOON editor_lists "$own" || fail "the editor's list does not show the root's $(wc -l <<<"$own") recipes: '$ANSWER'"
  answer_is "$(wc -l <<<"$own") recettes dans cette catégorie" text "$EDITOR" "$IDC_EDITOR_STATUS" ||
    fail "the editor's status reads '$ANSWER'"

  # A new category under the root, named at once.
  click_control "$EDITOR" "$IDC_EDITOR_CREATE"
  wait_until $SOON label_editing || fail "Nouvelle catégorie did not open a label to name"
  type_text "$category"
  wait_until $SOON label_editing "$category" || fail "the new label reads '$ANSWER'"
  press Return
  wait_answer $SOON $((categories + 1)) tv-count "$EDITOR" "$IDC_EDITOR_TREE" || fail "the tree holds $ANSWER items after naming the category"
  wait_until $SOON point_found tv-point "$EDITOR" "$IDC_EDITOR_TREE" "$ROOT/$category" ||
    fail "'$category' is not under the root: $(ask tv-children "$EDITOR" "$IDC_EDITOR_TREE" "$ROOT" | paste -sd,)"

  # Drag the recipe onto it.
  local i from to
  i=$(ask lv-items "$EDITOR" "$IDC_EDITOR_LIST" | grep -nxF -- "$title" | cut -d: -f1)
  [ -n "$i" ] || fail "'$title' is not in the editor's list"
  from=$(ask lv-point "$EDITOR" "$IDC_EDITOR_LIST" $((i - 1))) || fail "'$title' is not in view"
  to=$(ask tv-point "$EDITOR" "$IDC_EDITOR_TREE" "$ROOT/$category") || fail "'$category' is not in view"
  drag "$from" "$to"
  wait_until $SOON editor_lists "$(grep -vxF -- "$title" <<<"$own")" ||
    fail "after dropping '$title' on '$category', the root lists '$ANSWER'"
  click_item tv-point "$EDITOR" "$IDC_EDITOR_TREE" "$ROOT/$category"
  wait_answer $SOON "$ROOT/$category" tv-sel "$EDITOR" "$IDC_EDITOR_TREE" || fail "clicking '$category' chose '$ANSWER'"
  wait_until $SOON editor_lists "$title" || fail "the new category lists '$ANSWER', not the recipe dropped on it"

  # Save: the index on disk files the recipe in the new category and nothing else changes.
  click_control "$EDITOR" "$IDC_EDITOR_SAVE"
  wait_until $LATER index_saved || fail "Save did not rewrite the index"
  shot editor
  keep_window_shot "$LAST_SHOT" "$EDITOR" screenshot-editor.png
  wait_until $SOON index_line_moved "$id" "/$(cp1252 "$category")" ||
    fail "the index files recipe $id as '$(grep -a "^$id"$'\t' "$idx" | cut -f6 | iconv -f CP1252 -t UTF-8)'"
  diff <(grep -av "^$id"$'\t' "$SC_DIR/index-before" | sort) <(grep -av "^$id"$'\t' "$idx" | sort) >"$SC_DIR/index.diff" ||
    fail "Save changed other lines of the index (see $SC_DIR/index.diff)"
  [ "$(cli list | awk -F'\t' -v i="$id" '$1 == i { print $3 }')" = "/$category" ] ||
    fail "saucelins-cli does not list recipe $id under /$category"

  # Close; the main window reloads, with the new category holding the one recipe.
  click_control "$EDITOR" "$IDC_QUIT"
  wait_until $SOON window_gone "$EDITOR" || fail "Fermer did not close the editor after a save"
  wait_until $LATER point_found tv-point "$MAIN" "$IDC_TREE" "$ROOT/$category" ||
    fail "the main window's tree has no '$category' after the editor closed"
  toolbar "$IDM_CATEGORIES_TAB"
  wait_answer $SOON $TAB_CATEGORIES tab-sel "$MAIN" "$IDC_TABS" || fail "the categories button left tab $ANSWER current"
  choose_category "$ROOT/$category"
  toolbar "$IDM_RECIPES_TAB"
  wait_list $SOON "$title" "the one recipe of the new category"
  choose_recipe "$title"
  quit_program
}

# The editor's list shows exactly these titles (C order).
editor_lists() {  # titles
  ANSWER=$(sorted_answer lv-items "$EDITOR" "$IDC_EDITOR_LIST") && [ "$ANSWER" = "$1" ]
}

# A label of the editor's tree is being edited (and holds the text, when one is given).
label_editing() {  # [text]
  local a; a=$(ask tv-editing "$EDITOR" "$IDC_EDITOR_TREE") || return 1
  ANSWER=$(sed -n 2p <<<"$a")
  [ "$(head -1 <<<"$a")" = 1 ] && { [ $# = 0 ] || [ "$ANSWER" = "$1" ]; }
}

index_saved() { ! cmp -s "$SC_DIR/index-before" "$SC_DIR/cat/Gourmix.Idx"; }
index_line_moved() {  # id path-in-cp1252
  [ "$(grep -a "^$1"$'\t' "$SC_DIR/cat/Gourmix.Idx" | cut -f6)" = "$2" ]
}

# ---------------------------------------------------------------------------------------
# Print: without a recipe, message 52; with one, a page to the file printer; a cancelled
# print dialog prints nothing and says nothing.
scenario_print() {
  start_on_sample
  local out="$SC_DIR/cat/FILE:" box
  # Nothing chosen yet.
  toolbar "$IDM_PRINT"
  box=$(wait_window $SOON "$TITLE_BOX" "$DIALOG_CLASS") || fail "printing with no recipe chosen shows no message"
  wait_until $SOON box_reads "$box" "Sélectionnez d'abord une recette avant de l'imprimer." ||
    fail "the message reads '$ANSWER'"
  press Return
  wait_until $SOON window_gone "$box" || fail "the message stays after Enter"

  toolbar "$IDM_RECIPES_TAB"
  wait_list $SOON "$(all_titles)" "every recipe"
  choose_recipe Aligot
  toolbar "$IDM_PRINT"
  box=$(wait_window $SOON "$TITLE_PRINT" "$DIALOG_CLASS") || fail "the print button opens no print dialog"
  shot print-dialog
  press Return
  # Wine's FILE: port writes the job into a file of that name in the current folder.
  wait_until $LATER test -s "$out" || fail "no PostScript file appeared (looked for $out)"
  wait_until $LATER ps_complete "$out" || fail "the PostScript file is not complete"
  wait_until $SOON only_main_window || fail "a window stays open after printing: $ANSWER"
  head -c 15 "$out" | grep -q '^%!PS-Adobe' || fail "the printed file is not PostScript"
  grep -aq '^%%Title: Saucelins' "$out" || fail "the job is not named Saucelins"
  [ "$(grep -ac '^%%Page: ' "$out")" = 1 ] || fail "the job does not have exactly one page"
  local sum; sum=$(md5sum <"$out")

  # Cancel the print dialog: nothing printed, nothing said.
  toolbar "$IDM_PRINT"
  box=$(wait_window $SOON "$TITLE_PRINT" "$DIALOG_CLASS") || fail "the print button opens no print dialog the second time"
  press Escape
  wait_until $SOON window_gone "$box" || fail "Escape did not close the print dialog"
  never_during 2 another_window || fail "a window shows after cancelling: $ANSWER"
  [ "$(md5sum <"$out")" = "$sum" ] || fail "cancelling the print dialog printed again"
  quit_program
}

ps_complete() { tail -c 200 "$1" | grep -aq '%%EOF'; }

# The text of a message box (its static text).
box_text() { ask children "$1" | awk -F'\t' 'tolower($2) == "static" && $4 != "" { print $4 }'; }
box_reads() { ANSWER=$(box_text "$1"); [ "$ANSWER" = "$2" ]; }
box_starts() { ANSWER=$(box_text "$1"); [ "${ANSWER#"$2"}" != "$ANSWER" ]; }

# The program shows no top-level window but its main window (ANSWER: the others).
only_main_window() { ! another_window; }
another_window() {
  ANSWER=$(ask windows | awk -F'\t' -v m="$MAIN" '$1 != m { printf "%s \"%s\" ", $2, $3 }')
  [ -n "$ANSWER" ]
}

# ---------------------------------------------------------------------------------------
# Bad folder: no index; message 20 in a box titled Saucelins, and the program ends after OK.
scenario_badfolder() {
  mkdir -p "$SC_DIR/empty"
  probe_start
  start_program "$SC_DIR/empty"
  local box; box=$(wait_window $LATER "$TITLE_BOX" "$DIALOG_CLASS") || fail "no message box titled Saucelins"
  wait_until $SOON box_reads "$box" "Fichier Gourmix.Idx absent du répertoire courant" ||
    fail "the message reads '$ANSWER'"
  no_window_titled "$TITLE_MAIN" || fail "a window shows the loaded title"
  shot message
  keep_window_shot "$LAST_SHOT" "$box" message-no-index.png
  press Return
  wait_until $SOON window_gone "$box" || fail "the message stays after Enter"
  wait_until $SOON program_ended || fail "the program did not end after the message"
}

# ---------------------------------------------------------------------------------------
# Runs one scenario in a subshell of its own (its own process group), with a time limit.
run_scenario() {  # name
  local name=$1 t0 t1 pid n
  SC_DIR=$OUT/$name
  rm -rf "$SC_DIR"; mkdir -p "$SC_DIR"
  local left=$(( START + RUN_BUDGET - $(date +%s) )) limit=$SCENARIO_TIMEOUT
  if [ $left -le 5 ]; then
    echo "FAIL $name: not run, the run's $RUN_BUDGET s are spent"
    FAILED=1
    return
  fi
  [ $left -lt $limit ] && limit=$left
  t0=$(date +%s%N)
  ( "scenario_$name" ) >"$SC_DIR/trace.log" 2>&1 &
  pid=$!
  n=$((limit * 10))
  while kill -0 "$pid" 2>/dev/null && [ $n -gt 0 ]; do sleep 0.1; n=$((n - 1)); done
  local rc=0
  if kill -0 "$pid" 2>/dev/null; then
    import -window root "$SC_DIR/at-timeout.png" 2>/dev/null
    kill -TERM -- -"$pid" 2>/dev/null || kill -TERM "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    echo "timed out after $limit s" >"$SC_DIR/reason"
    rc=1
  else
    wait "$pid" || rc=$?
  fi
  # The program must not outlive its scenario, whatever happened.
  local app; app=$(cat "$SC_DIR/program.pid" 2>/dev/null)
  if [ -n "$app" ] && kill -0 "$app" 2>/dev/null; then
    kill -TERM "$app" 2>/dev/null
    sleep 0.5
    kill -0 "$app" 2>/dev/null && kill -KILL "$app" 2>/dev/null
    [ $rc = 0 ] && { echo "the program was still running at the end" >"$SC_DIR/reason"; rc=1; }
  fi
  t1=$(date +%s%N)
  TIMES+=("$name $(( (t1 - t0) / 100000000 ))")
  if [ $rc = 0 ]; then
    echo "PASS $name"
  else
    echo "FAIL $name: $(head -1 "$SC_DIR/reason" 2>/dev/null || echo "ended with status $rc")"
    FAILED=1
  fi
}

set -m  # each scenario in a process group of its own, so a time-out ends all of it
mkdir -p "$OUT" "$SHOTS"
rm -f "$SHOTS"/*.png
START=$(date +%s)
# The virtual screen may take a moment to answer after xvfb-run has started it.
display_answers() { xdotool getdisplaygeometry >/dev/null 2>&1; }
wait_until 30 display_answers || echo "the virtual screen does not answer" >&2
# A French keyboard, as the program's users have: é and è are keys of their own. xdotool would
# otherwise type them by lending a spare key code the letter for a moment, and a loaded machine
# lets Wine read that key after the moment has passed (the letter is then lost). Set before
# Wine starts, so that its programs read this map.
# (The server runs with -noreset: without it, it goes back to its own map whenever its last
# client leaves, as setxkbmap and xkbcomp do here.)
setxkbmap -layout fr -print >"$OUT/keyboard.xkb" && xkbcomp -w0 "$OUT/keyboard.xkb" "$DISPLAY" 2>/dev/null
xkbcomp -w0 -xkb "$DISPLAY" - 2>/dev/null | grep -q eacute ||
  echo "the French keyboard could not be set: accented letters may be lost" >&2
# Wine's server and helpers start once, outside the scenarios' timings, away from our output.
# The server stays for the whole run: one started by a scenario's process would inherit that
# scenario's pipes to its window reader, and neither would then ever end.
wineserver -p </dev/null >/dev/null 2>&1
wineboot </dev/null >/dev/null 2>&1
FAILED=0
TIMES=()
for s in "${SCENARIOS[@]}"; do run_scenario "$s"; done

if [ "$UPDATE_SHOTS" = 1 ]; then
  # Only a run where everything passed shows the program as it should look.
  if [ $FAILED = 0 ]; then
    mkdir -p "$SRC_DIR/docs"
    for f in screenshot-main.png screenshot-editor.png screenshot-memo.png; do
      if [ -f "$SHOTS/$f" ]; then cp "$SHOTS/$f" "$SRC_DIR/docs/$f"; echo "updated docs/$f"; fi
    done
  else
    echo "docs/ screenshots left as they were: a scenario failed"
  fi
fi
# Every program has ended by now (the runner ends what a scenario left); so does Wine.
wineserver -k </dev/null >/dev/null 2>&1
printf 'e2e: %d scenarios in %d s (' "${#SCENARIOS[@]}" $(( $(date +%s) - START ))
printf '%s\n' "${TIMES[@]}" | awk '{ printf "%s%s %.1f s", (NR > 1 ? ", " : ""), $1, $2 / 10 } END { print ")" }'
exit $FAILED

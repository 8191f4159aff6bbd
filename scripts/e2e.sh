#!/usr/bin/env bash
# End-to-end tests: the real saucelins.exe runs under wine64 on a virtual screen of its own, each
# scenario in a fresh copy of the sample catalogue, and is used only as a person can use it:
# the mouse and the keyboard (xdotool) on what is on screen, screenshots (ImageMagick) to see
# what it shows, and the files it leaves on disk. Prints "PASS name" or "FAIL name: reason" per
# scenario; exits non-zero when one failed. Needs the win64 build (scripts/test.sh makes it).
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
# A scenario takes under 10 s here; a stuck one is ended after this, and the whole run keeps
# within its budget (scenarios left when it is spent fail without running).
SCENARIO_TIMEOUT=${E2E_TIMEOUT:-45}
RUN_BUDGET=${E2E_BUDGET:-240}

UPDATE_SHOTS=0
SCENARIOS=()
for arg in "$@"; do
  case "$arg" in
    --update-screenshots) UPDATE_SHOTS=1 ;;
    -h|--help) sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
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
  if [ ! -f "$EXE" ]; then
    for s in "${SCENARIOS[@]}"; do echo "FAIL $s: no program at $EXE (build it with scripts/test.sh)"; done
    exit 1
  fi
  ensure_packages "$PKG_WINDOWS $PKG_E2E" || exit 1
  wine_prefix "$BUILD_ROOT/win64" </dev/null >/dev/null 2>&1
  export SAUCELINS_E2E_SCREEN=1
  flags=()
  [ "$UPDATE_SHOTS" = 1 ] && flags+=(--update-screenshots)
  exec xvfb-run -a -s "-screen 0 $SCREEN -nolisten tcp" "$0" "${flags[@]}" "${SCENARIOS[@]}"
fi

# ---- inside the virtual screen ----
. "$SRC_DIR/scripts/e2e/lib.sh"
export WINEPREFIX=$BUILD_ROOT/win64/wineprefix
CLI=$BUILD_ROOT/native/saucelins-cli
[ -x "$CLI" ] || CLI=

# The program's own texts, as xdotool reads window titles (UTF-8).
TITLE_MAIN="Recettes écrites par A. FERRUS. Prgm Saucelins Par T. Brenner"
TITLE_BOX="Saucelins"
# Window searches match titles with plain ASCII patterns: xdotool matches a title as Wine
# gives it to X in Latin-1, where an accented letter is one byte.
MAIN_RE='Prgm Saucelins Par'
MEMO_RE='mo de la recette '

# Waits for the main window with its loaded title; sets MAIN.
wait_main_window() {
  # Once in a few dozen starts on a fresh prefix, Wine has shown no window at all after 15 s
  # (nothing on screen, the process alive). That start is abandoned and made once more; the
  # trace says so, and a second failure fails the scenario.
  if ! MAIN=$(wait_window "$MAIN_RE" 15); then
    note "no main window after 15 s: ending that start and starting the program again"
    kill -KILL "$APP_PID" 2>/dev/null
    sleep 0.5
    start_program "$APP_DIR"
    MAIN=$(wait_window "$MAIN_RE" 15) || fail "no main window with its title within 15 s, twice"
  fi
  # Let the first paint settle before anything is read off the screen.
  sleep 0.5
}

# A recipe is on show: the text pane holds many lines of text.
pane_has_text() {  # shot
  local starts
  starts=$(run_starts "$(row_profile "$1" "$(client_crop "$MAIN" "$RECT_TEXT_LINES" 3)")")
  [ "$(wc -w <<<"$starts")" -ge 6 ]
}

# ---------------------------------------------------------------------------------------
# Start: the main window appears at its place and size with string 4 as its title, on the
# category tab with the help text in the pane and the total count below.
scenario_start() {
  fresh_catalogue
  start_program "$SC_DIR/cat"
  wait_main_window
  local name; name=$(window_name "$MAIN")
  [ "$name" = "$TITLE_MAIN" ] || fail "title is '$name'"
  window_geometry "$MAIN"
  [ "$WX,$WY,$WW,$WH" = "50,40,489,265" ] || fail "window at $WX,$WY size ${WW}x$WH, not 50,40 489x265"
  wait_until 5 help_text_shown || fail "the text pane does not show the 5 lines of the help text"
  # The current tab's header stands two pixels higher than the others.
  local t0 t1 t2
  t0=$(column_top "$LAST_SHOT" $TAB_RECIPES_X); t1=$(column_top "$LAST_SHOT" $TAB_CATEGORIES_X)
  t2=$(column_top "$LAST_SHOT" $TAB_EDITOR_X)
  { [ "$t1" -lt "$t0" ] && [ "$t1" -lt "$t2" ]; } || fail "the category tab is not the current one (tab tops $t0 $t1 $t2)"
  # The tree shows its root on the first row; the list, search field and listed count are hidden.
  greater "$(ink "$LAST_SHOT" "$(client_crop "$MAIN" "30 $(( $(tree_row_y 0) - 6 )) 100 12")")" 0.02 ||
    fail "the category tree shows no root"
  greater "$(ink "$LAST_SHOT" "$(client_crop "$MAIN" "$RECT_SEARCH_LABEL")")" 0 &&
    fail "the search label shows on the category tab"
  greater "$(ink "$LAST_SHOT" "$(client_crop "$MAIN" "$RECT_LISTED")")" 0 &&
    fail "the listed count shows on the category tab"
  # The help text: a one-word line ("Aide"), an empty line, then a paragraph of four lines.
  local profile starts
  profile=$(row_profile "$LAST_SHOT" "$(client_crop "$MAIN" "$RECT_TEXT_LINES" 3)")
  read -r -a starts <<<"$(run_starts "$profile")"
  local gap1=$(( starts[1] - starts[0] )) gap2=$(( starts[2] - starts[1] ))
  [ $(( 2 * gap1 )) -ge $(( 3 * gap2 )) ] || fail "no empty line after the help text's first line ($profile)"
  local w; w=$(first_line_width "$LAST_SHOT")
  [ "$w" -lt 40 ] || fail "the help text's first line is $w pixels wide, too wide for 'Aide'"
  # The total count "57 Recettes".
  greater "$(ink "$LAST_SHOT" "$(client_crop "$MAIN" "$RECT_TOTAL")")" 0.03 || fail "no total count under the tabs"
  quit_program
}

# The help text has five lines in the pane at its starting size.
help_text_shown() {
  shot start
  [ "$(wc -w <<<"$(run_starts "$(row_profile "$LAST_SHOT" "$(client_crop "$MAIN" "$RECT_TEXT_LINES" 3)")")")" -eq 5 ]
}

# Width in pixels of the first line of text in the pane.
first_line_width() {  # shot
  local m; m=$(text_metrics "$1" "$(client_crop "$MAIN" "$RECT_TEXT_LINES" 3)")
  echo "${m#* }"
}

# Top row (client y) of the first non-background pixel of a tab header column.
column_top() {  # shot x
  local p; p=$(row_profile_light "$1" "$(client_crop "$MAIN" "$2 0 1 30")")
  p=${p%%#*}
  echo ${#p}
}

# Like row_profile, but marks any pixel darker than the dialog background (frames are light).
row_profile_light() {
  convert "$1" -crop "$2" +repage -colorspace gray -threshold 93% -negate -scale '1x!' \
    -depth 8 txt:- | tail -n +2 |
    awk '{ v = $2; gsub(/[()]/, "", v); split(v, a, ","); printf "%s", (a[1] + 0 > 0 ? "#" : ".") } END { print "" }'
}

# ---------------------------------------------------------------------------------------
# Browse: a category from the tree, the recipe list, a recipe's text, the search field, the
# history. Also takes the README's main-window picture.
scenario_browse() {
  fresh_catalogue
  start_program "$SC_DIR/cat"
  wait_main_window
  # Desserts, the second row of the tree, then the recipe list tab.
  click_client "$MAIN" 70 "$(tree_row_y 1)"
  sleep 0.3
  click_client "$MAIN" $TAB_RECIPES_X $TAB_Y
  wait_until 5 list_rows_filled 10 || fail "the recipe list does not show the 11 desserts"
  shot listed
  pane_has_text "$LAST_SHOT" && fail "the text pane shows a recipe before one is chosen"
  local listed=$LAST_SHOT
  # The first dessert.
  click_client "$MAIN" 60 "$(list_row_y 0)"
  wait_until 5 recipe_shown || fail "choosing a recipe shows no text"
  shot first-recipe
  row_selected "$LAST_SHOT" 0 || fail "the chosen line is not highlighted"
  local first=$LAST_SHOT
  # The search field: "tarte a" finds "Tarte au citron meringuée", the ninth dessert.
  local x y w h; read -r x y w h <<<"$RECT_SEARCH"
  click_client "$MAIN" $((x + w / 2)) $((y + h / 2))
  type_text "tarte a"
  wait_until 5 row_selected_now 8 || fail "typing 'tarte a' did not select 'Tarte au citron meringuée'"
  shot found
  [ "$(differing_pixels "$first" "$LAST_SHOT" "$(client_crop "$MAIN" "$RECT_TEXT_LINES" 3)")" -gt 500 ] ||
    fail "the text pane did not change to the recipe found"
  pane_has_text "$LAST_SHOT" || fail "the recipe found shows no text"
  keep_window_shot "$LAST_SHOT" "$MAIN" screenshot-main.png
  # The history: Sauces from the tree (toolbar to the categories and back), then Desserts again
  # from the drop-down.
  click_client "$MAIN" "$TB_CATEGORIES" $TB_Y
  sleep 0.3
  click_client "$MAIN" 70 "$(tree_row_y 5)"
  sleep 0.3
  click_client "$MAIN" "$TB_RECIPES" $TB_Y
  wait_until 5 list_rows_exactly 4 || fail "Sauces does not list its 4 recipes"
  shot sauces
  local sauces=$LAST_SHOT
  read -r x y w h <<<"$RECT_HISTORY"
  click_client "$MAIN" $((x + w - 8)) $((y + 10))
  sleep 0.5
  shot history-open
  # The drop-down lists the latest category first: /Sauces, then /Desserts.
  click_client "$MAIN" 60 $((y + 21 + 13 + 7))
  wait_until 5 list_rows_filled 10 || fail "choosing /Desserts in the history does not list the desserts again"
  shot from-history
  # The same list and count as when Desserts was first chosen in the tree.
  [ "$(differing_pixels "$listed" "$LAST_SHOT" "$(client_crop "$MAIN" "$RECT_LIST")")" = 0 ] ||
    fail "the history does not list the desserts as the tree did"
  [ "$(differing_pixels "$listed" "$LAST_SHOT" "$(client_crop "$MAIN" "$RECT_LISTED")")" = 0 ] ||
    fail "the listed count differs from the one of the desserts"
  [ "$(differing_pixels "$sauces" "$LAST_SHOT" "$(client_crop "$MAIN" "$RECT_LISTED")")" -gt 20 ] ||
    fail "the listed count did not change from the one of the sauces"
  quit_program
}

# How many of the recipe list's 10 visible rows hold a title.
list_rows_inked() {  # shot
  count_rows "$1" "$(client_crop "$MAIN" "14 55 150 130")" 8 13 10
}
list_rows_filled() { shot poll; [ "$(list_rows_inked "$LAST_SHOT")" -ge "$1" ]; }
list_rows_exactly() { shot poll; [ "$(list_rows_inked "$LAST_SHOT")" -eq "$1" ]; }
recipe_shown() { shot poll; pane_has_text "$LAST_SHOT"; }

# The highlight (coloured) lies on list row N.
row_selected() {  # shot row
  greater "$(saturation "$1" "$(client_crop "$MAIN" "14 $(( $(list_row_y "$2") - 3 )) 150 6")")" 0.5
}
row_selected_now() { shot poll; row_selected "$LAST_SHOT" "$1"; }

# ---------------------------------------------------------------------------------------
# Text size: larger twice, then smaller twice, from the toolbar.
scenario_textsize() {
  fresh_catalogue
  start_program "$SC_DIR/cat"
  wait_main_window
  click_client "$MAIN" "$TB_RECIPES" $TB_Y
  wait_until 5 list_rows_filled 10 || fail "the recipe list stays empty"
  click_client "$MAIN" 60 "$(list_row_y 0)"
  wait_until 5 recipe_shown || fail "choosing a recipe shows no text"
  sleep 0.3
  local crop; crop=$(client_crop "$MAIN" "$RECT_TEXT_LINES" 3)
  shot size0; local s0=$LAST_SHOT
  # At the smallest size, smaller does nothing.
  click_client "$MAIN" "$TB_SMALLER" $TB_Y
  sleep 0.5
  shot size0-again
  [ "$(differing_pixels "$s0" "$LAST_SHOT" "$crop")" = 0 ] || fail "smaller text at the smallest size changed the pane"
  local g0 g1 g2 g3 w0 w1 w2
  read -r g0 w0 <<<"$(text_metrics "$s0" "$crop")"
  click_client "$MAIN" "$TB_LARGER" $TB_Y
  wait_until 5 lines_wider_than "$g0" "$crop" || fail "larger text did not space the lines wider (still $g0 pixels)"
  read -r g1 w1 <<<"$(text_metrics "$LAST_SHOT" "$crop")"
  click_client "$MAIN" "$TB_LARGER" $TB_Y
  wait_until 5 lines_wider_than "$g1" "$crop" || fail "a second larger text did not space the lines wider (still $g1 pixels)"
  read -r g2 w2 <<<"$(text_metrics "$LAST_SHOT" "$crop")"
  note "line gap $g0 $g1 $g2, first line width $w0 $w1 $w2"
  { [ "$w1" -gt "$w0" ] && [ "$w2" -gt "$w1" ]; } || fail "larger text did not widen the first line ($w0, $w1, $w2 pixels)"
  click_client "$MAIN" "$TB_SMALLER" $TB_Y
  click_client "$MAIN" "$TB_SMALLER" $TB_Y
  wait_until 5 same_lines "$s0" "$crop" || {
    read -r g3 _ <<<"$(text_metrics "$LAST_SHOT" "$crop")"
    fail "smaller twice did not come back to the first lines (line gap $g3, first $g0)"
  }
  # Every recipe is listed: the listed count begins with the same number as the total.
  local total listed
  total=$(client_crop "$MAIN" "5 208 14 15"); listed=$(client_crop "$MAIN" "5 223 14 15")
  convert "$s0" -crop "$total" +repage "$SC_DIR/total.png"
  convert "$s0" -crop "$listed" +repage "$SC_DIR/listed.png"
  greater "$(ink "$SC_DIR/total.png" "14x15+0+0")" 0.05 || fail "no total count"
  [ "$(compare -metric AE "$SC_DIR/total.png" "$SC_DIR/listed.png" null: 2>&1)" = 0 ] ||
    fail "with every recipe listed, the listed count does not begin like the total count"
  quit_program
}

lines_wider_than() {  # gap crop
  shot poll
  local g; read -r g _ <<<"$(text_metrics "$LAST_SHOT" "$2")"
  [ "$g" -gt "$1" ]
}
same_lines() {  # shot crop
  shot poll
  [ "$(row_profile "$LAST_SHOT" "$2")" = "$(row_profile "$1" "$2")" ]
}

# "gap width": rows from the first line's top to the next line's top, and the first line's
# width in pixels.
text_metrics() {  # shot crop
  local starts cols first_h
  read -r -a starts <<<"$(run_starts "$(row_profile "$1" "$2")")"
  [ ${#starts[@]} -ge 2 ] || { echo "0 0"; return; }
  local geo=$2 w h x y
  w=${geo%%x*}; geo=${geo#*x}; h=${geo%%+*}; geo=${geo#*+}; x=${geo%%+*}; y=${geo#*+}
  first_h=$(( starts[1] - starts[0] ))
  cols=$(column_profile "$1" "${w}x${first_h}+${x}+$((y + starts[0]))")
  cols=${cols%"${cols##*#}"}
  echo "$(( starts[1] - starts[0] )) ${#cols}"
}

# ---------------------------------------------------------------------------------------
# Memo: created from the toolbar, read again, changed, deleted; the store on disk follows.
MEMO_TPL="206 135"
MEMO_OK="149 7 50 14"
MEMO_TEXT="7 7 137 121"
MEMO_EDIT="151 46 48 21"

scenario_memo() {
  fresh_catalogue
  local store=$SC_DIR/cat/Gourmix.mem id=1036 title="Aligot"
  start_program "$SC_DIR/cat"
  wait_main_window
  click_client "$MAIN" "$TB_RECIPES" $TB_Y
  wait_until 5 list_rows_filled 10 || fail "the recipe list stays empty"
  click_client "$MAIN" 60 "$(list_row_y 0)"
  wait_until 5 recipe_shown || fail "choosing a recipe shows no text"
  memo_buttons new || fail "with no memo, the create button is not the only one enabled"

  # Create.
  local text1="Servir avec une saucisse de Toulouse et une crème légère."
  open_memo "$TB_NEW_MEMO" "$title"
  memo_text_empty || fail "a new memo does not start empty"
  click_dialog_control $MEMO_EDIT
  click_dialog_control $MEMO_TEXT
  type_text "$text1"
  sleep 0.3
  shot memo-typed
  keep_window_shot "$LAST_SHOT" "$MEMO" screenshot-memo.png
  click_dialog_control $MEMO_OK
  wait_no_window "$MEMO_RE" 5 || fail "OK did not close the memo dialog"
  [ "$(memo_on_disk "$store" $id)" = "$(cp1252 "$text1")" ] || fail "the store does not hold the memo typed"
  [ "$(memo_count_on_disk "$store")" = 1 ] || fail "the store holds $(memo_count_on_disk "$store") memos, not 1"
  cli_memo_is $id "$text1"
  wait_until 3 memo_buttons read || fail "with a memo, the read button is not the only one enabled"

  # Read it again and add a sentence.
  local text2="$text1 Bon appétit !"
  open_memo "$TB_READ_MEMO" "$title"
  memo_text_empty && fail "the memo dialog does not show the memo"
  click_dialog_control $MEMO_EDIT
  click_dialog_control $MEMO_TEXT
  press ctrl+End
  type_text " Bon appétit !"
  click_dialog_control $MEMO_OK
  wait_no_window "$MEMO_RE" 5 || fail "OK did not close the memo dialog"
  [ "$(memo_on_disk "$store" $id)" = "$(cp1252 "$text2")" ] || fail "the store does not hold the changed memo"
  cli_memo_is $id "$text2"

  # Delete it: an emptied memo is no memo.
  open_memo "$TB_READ_MEMO" "$title"
  click_dialog_control $MEMO_EDIT
  click_dialog_control $MEMO_TEXT
  press ctrl+Home ctrl+shift+End Delete
  click_dialog_control $MEMO_OK
  wait_no_window "$MEMO_RE" 5 || fail "OK did not close the memo dialog"
  memo_on_disk "$store" $id >/dev/null && fail "the emptied memo is still in the store"
  [ "$(memo_count_on_disk "$store")" = 0 ] || fail "the store still holds memos"
  ls "$SC_DIR"/cat/vlr*.tmp >/dev/null 2>&1 && fail "a temporary store file was left behind"
  cli_memo_absent $id
  wait_until 3 memo_buttons new || fail "after deleting, the create button is not the only one enabled"
  quit_program
}

# Opens the memo dialog from a toolbar button; sets MEMO and the dialog's scale.
open_memo() {  # toolbar-x title
  click_client "$MAIN" "$1" $TB_Y
  MEMO=$(wait_window "$MEMO_RE" 5) || fail "the memo button opened no memo dialog"
  local name; name=$(window_name "$MEMO")
  [ "$name" = "Mémo de la recette $2" ] || fail "memo dialog titled '$name'"
  dialog_scale "$MEMO" $MEMO_TPL
  sleep 0.4
}

memo_text_empty() {
  shot memo
  local r; r=$(dialog_rect $MEMO_TEXT)
  local w h x y; read -r w h x y <<<"$r"
  # Inside the border, left of the scroll bar.
  ! greater "$(ink "$LAST_SHOT" "$((w - 24))x$((h - 8))+$((x + 4))+$((y + 4))" 85)" 0
}

# Which memo button is enabled: an enabled picture has colour, a disabled one is grey.
memo_buttons() {  # read|new
  shot buttons
  local r n
  r=$(saturation "$LAST_SHOT" "$(client_crop "$MAIN" "$((TB_READ_MEMO - 8)) 5 16 15")")
  n=$(saturation "$LAST_SHOT" "$(client_crop "$MAIN" "$((TB_NEW_MEMO - 8)) 5 16 15")")
  note "memo buttons: read $r, new $n"
  case $1 in
    read) greater "$r" 0.3 && ! greater "$n" 0.1 ;;
    new) greater "$n" 0.3 && ! greater "$r" 0.1 ;;
  esac
}

# The command-line tool of the native build, when there is one, reads the same memo.
cli_memo_is() {  # id text
  [ -n "$CLI" ] || return 0
  local got; got=$("$CLI" --utf8 -C "$SC_DIR/cat" memo get "$1" 2>&1)
  [ "$got" = "$2" ] || fail "saucelins-cli reads the memo as '$got'"
  note "saucelins-cli reads the same memo"
}
cli_memo_absent() {  # id
  [ -n "$CLI" ] || return 0
  "$CLI" -C "$SC_DIR/cat" memo get "$1" >/dev/null 2>&1 && fail "saucelins-cli still finds the memo"
  note "saucelins-cli finds no memo"
}

# ---------------------------------------------------------------------------------------
# Editor: a new category, named; a recipe dragged into it; saved and closed. The main window
# then files the recipe there, and so does the index on disk. Takes the README's editor picture.
EDITOR_TPL="349 181"
ED_SAVE="290 19 52 18"
ED_CLOSE="290 59 52 18"
ED_CREATE="290 98 52 18"
# Rows in client pixels of the editor: the tree's 16-pixel rows and the list's 13-pixel rows.
ed_tree_row_y() { echo $(( 20 + 16 * $1 )); }
ed_list_row_y() { echo $(( 18 + 13 * $1 )); }

scenario_editor() {
  fresh_catalogue
  local idx=$SC_DIR/cat/Gourmix.Idx category="Préférées" id=1056
  cp "$idx" "$SC_DIR/index-before"
  start_program "$SC_DIR/cat"
  wait_main_window
  click_client "$MAIN" "$TB_EDITOR" $TB_Y
  EDITOR=$(wait_window 'ation des cat' 10) || fail "the editor button opened no editor"
  local name; name=$(window_name "$EDITOR")
  [ "$name" = "Création des catégories" ] || fail "editor titled '$name'"
  dialog_scale "$EDITOR" $EDITOR_TPL
  # The root and its five categories; the root's own three recipes.
  wait_until 5 editor_tree_rows 6 || fail "the editor's tree does not show the root and its 5 categories"
  wait_until 5 editor_list_rows 3 || fail "the editor's list does not show the root's 3 recipes"

  # A new category under the root, named at once.
  click_dialog_control $ED_CREATE
  sleep 0.5
  type_text "$category"
  press Return
  wait_until 3 editor_tree_rows 7 || fail "the new category does not show in the tree"

  # Drag the first recipe of the list (Croque-monsieur) onto it, the last row of the tree.
  drag "$((DCX + 250))" "$((DCY + $(ed_list_row_y 0)))" "$((DCX + 75))" "$((DCY + $(ed_tree_row_y 6)))"
  wait_until 3 editor_list_rows 2 || fail "the dragged recipe is still listed under the root"
  editor_click 75 "$(ed_tree_row_y 6)"
  wait_until 3 editor_list_rows 1 || fail "the new category does not list the recipe dropped on it"

  # Save: the index on disk files the recipe in the new category and nothing else changes.
  click_dialog_control $ED_SAVE
  wait_until 5 index_saved || fail "Save did not rewrite the index"
  sleep 0.5
  shot editor
  keep_window_shot "$LAST_SHOT" "$EDITOR" screenshot-editor.png
  local line; line=$(grep -a "^$id"$'\t' "$idx")
  [ "$(cut -f6 <<<"$line")" = "/$(cp1252 "$category")" ] || fail "the index files recipe $id as '$(cut -f6 <<<"$line" | iconv -f CP1252 -t UTF-8)'"
  diff <(grep -av "^$id"$'\t' "$SC_DIR/index-before" | sort) <(grep -av "^$id"$'\t' "$idx" | sort) >"$SC_DIR/index.diff" ||
    fail "Save changed other lines of the index (see $SC_DIR/index.diff)"
  if [ -n "$CLI" ]; then
    line=$("$CLI" --utf8 -C "$SC_DIR/cat" list | grep "^$id"$'\t')
    [ "$(cut -f3 <<<"$line")" = "/$category" ] || fail "saucelins-cli lists recipe $id as '$line'"
    note "saucelins-cli lists the recipe under /$category"
  fi

  # Close; the main window reloads. Its fifth category is now the new one (before: Sauces,
  # with 4 recipes), holding the one recipe.
  click_dialog_control $ED_CLOSE
  wait_no_window 'ation des cat' 5 || fail "Fermer did not close the editor after a save"
  sleep 0.5
  click_client "$MAIN" "$TB_CATEGORIES" $TB_Y
  sleep 0.3
  click_client "$MAIN" 70 "$(tree_row_y 5)"
  sleep 0.3
  click_client "$MAIN" "$TB_RECIPES" $TB_Y
  wait_until 5 list_rows_exactly 1 || fail "the main window does not list one recipe under the new category"
  click_client "$MAIN" 60 "$(list_row_y 0)"
  wait_until 5 recipe_shown || fail "the recipe of the new category shows no text"
  quit_program
}

# Clicks at a point in client pixels of the editor (after dialog_scale).
editor_click() {  # x y
  xdotool mousemove --sync $((DCX + $1)) $((DCY + $2)) click 1
  park_mouse
}

# How many rows of the editor's tree (16 pixels) or list (13 pixels) show something.
editor_tree_rows() {
  shot poll
  [ "$(count_rows "$LAST_SHOT" "150x180+$((DCX + 30))+$((DCY + 12))" 8 16 10)" -eq "$1" ]
}
editor_list_rows() {
  shot poll
  [ "$(count_rows "$LAST_SHOT" "180x140+$((DCX + 222))+$((DCY + 12))" 6 13 10)" -eq "$1" ]
}
index_saved() { ! cmp -s "$SC_DIR/index-before" "$SC_DIR/cat/Gourmix.Idx"; }

# ---------------------------------------------------------------------------------------
# Print: without a recipe, message 52; with one, a page to the file printer; a cancelled
# print dialog prints nothing and says nothing.
scenario_print() {
  fresh_catalogue
  local out="$SC_DIR/cat/FILE:"
  start_program "$SC_DIR/cat"
  wait_main_window
  # Nothing chosen yet.
  click_client "$MAIN" "$TB_PRINT" $TB_Y
  wait_window "^$TITLE_BOX\$" 5 >/dev/null || fail "printing with no recipe chosen shows no message"
  sleep 0.3
  press Return
  wait_no_window "^$TITLE_BOX\$" 5 || fail "the message stays after Enter"

  click_client "$MAIN" "$TB_RECIPES" $TB_Y
  wait_until 5 list_rows_filled 10 || fail "the recipe list stays empty"
  click_client "$MAIN" 60 "$(list_row_y 0)"
  wait_until 5 recipe_shown || fail "choosing a recipe shows no text"
  click_client "$MAIN" "$TB_PRINT" $TB_Y
  wait_window '^Print$' 10 >/dev/null || fail "the print button opens no print dialog"
  shot print-dialog
  sleep 0.3
  press Return
  # Wine's FILE: port writes the job into a file of that name in the current folder.
  wait_until 15 test -s "$out" || fail "no PostScript file appeared (looked for $out)"
  wait_no_window '^Print$' 10 || fail "a print window stays open"
  wait_until 5 ps_complete "$out" || fail "the PostScript file is not complete"
  head -c 15 "$out" | grep -q '^%!PS-Adobe' || fail "the printed file is not PostScript"
  grep -aq '^%%Title: Saucelins' "$out" || fail "the job is not named Saucelins"
  [ "$(grep -ac '^%%Page: ' "$out")" = 1 ] || fail "the job does not have exactly one page"
  local sum; sum=$(md5sum <"$out")

  # Cancel the print dialog.
  click_client "$MAIN" "$TB_PRINT" $TB_Y
  wait_window '^Print$' 10 >/dev/null || fail "the print button opens no print dialog the second time"
  sleep 0.3
  press Escape
  wait_no_window '^Print$' 5 || fail "Escape did not close the print dialog"
  sleep 1.5
  local others; others=$(find_windows . | grep -vx "$MAIN" || true)
  [ -z "$others" ] || fail "a window shows after cancelling: $(window_name "${others%%$'\n'*}")"
  [ "$(md5sum <"$out")" = "$sum" ] || fail "cancelling the print dialog printed again"
  quit_program
}

ps_complete() { tail -c 200 "$1" | grep -aq '%%EOF'; }

# ---------------------------------------------------------------------------------------
# Bad folder: no index; message 20 in a box titled Saucelins, and the program ends after OK.
scenario_badfolder() {
  mkdir -p "$SC_DIR/empty"
  start_program "$SC_DIR/empty"
  local box; box=$(wait_window "^$TITLE_BOX\$" 30) || fail "no message box titled Saucelins"
  [ "$(window_name "$box")" = "$TITLE_BOX" ] || fail "message box titled '$(window_name "$box")'"
  [ -z "$(find_windows "$MAIN_RE")" ] || fail "the main window shows its loaded title"
  shot message
  keep_window_shot "$LAST_SHOT" "$box" message-no-index.png
  # The message is the only thing to read: its box is wider than a short text would make it.
  window_geometry "$box"
  [ "$WW" -gt 250 ] || fail "the message box is too narrow (${WW} pixels) for message 20"
  sleep 0.3
  press Return
  wait_no_window "^$TITLE_BOX\$" 5 || fail "the message stays after Enter"
  wait_program_end 10 || fail "the program did not end after the message"
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
for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
# Wine's server and helpers start once, outside the scenarios' timings, away from our output.
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
# Wine's server leaves once the last program has gone.
timeout 20 wineserver -w 2>/dev/null
printf 'e2e: %d scenarios in %d s (' "${#SCENARIOS[@]}" $(( $(date +%s) - START ))
printf '%s\n' "${TIMES[@]}" | awk '{ printf "%s%s %.1f s", (NR > 1 ? ", " : ""), $1, $2 / 10 } END { print ")" }'
exit $FAILED

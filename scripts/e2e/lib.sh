# Helpers of the end-to-end tests: starting the program, finding its windows, the mouse and the
# keyboard, and reading screenshots. Sourced by scripts/e2e.sh, inside its virtual screen.
# shellcheck shell=bash

# ---- failing ---------------------------------------------------------------------------

# Ends the current scenario (it runs in a subshell) with a reason; a screenshot is kept.
fail() {
  printf '%s\n' "$*" >"$SC_DIR/reason"
  import -window root "$SC_DIR/at-failure.png" 2>/dev/null
  exit 1
}

note() { printf '[%s] %s\n' "$(date +%T.%N | cut -c1-12)" "$*" >&2; }

# ---- the program -----------------------------------------------------------------------

# A fresh copy of the sample catalogue in $SC_DIR/cat (the repository's files stay untouched).
fresh_catalogue() {
  rm -rf "$SC_DIR/cat"
  mkdir -p "$SC_DIR/cat"
  cp "$SRC_DIR"/sample/*.Dat "$SRC_DIR"/sample/*.Idx "$SC_DIR/cat/"
}

# Starts the program in FOLDER; its process id goes into APP_PID (and a file, for the runner).
start_program() {  # folder
  APP_DIR=$1
  cd "$1" || fail "no folder $1"
  "$WINE64" "$EXE" </dev/null >>"$SC_DIR/program.log" 2>&1 &
  APP_PID=$!
  echo "$APP_PID" >"$SC_DIR/program.pid"
  cd "$SC_DIR" || true
  note "started the program (pid $APP_PID) in $1"
}

program_running() { kill -0 "$APP_PID" 2>/dev/null; }

# Waits for the program to end by itself.
wait_program_end() {  # seconds
  local n=$(( $1 * 10 ))
  while program_running && [ $n -gt 0 ]; do sleep 0.1; n=$((n - 1)); done
  ! program_running
}

# Quits through the Quit button, as a person would, and waits for the end.
quit_program() {
  click_client "$MAIN" 447 222
  wait_program_end 10 || fail "the program did not end after Quit"
}

# ---- windows ---------------------------------------------------------------------------

# Visible top-level windows whose title matches the (ASCII) regex, newest last.
find_windows() { xdotool search --onlyvisible --name "$1" 2>/dev/null; }

# Waits for a visible window whose title matches; prints its id.
wait_window() {  # regex seconds
  local n=$(( $2 * 10 )) w
  while [ $n -gt 0 ]; do
    w=$(find_windows "$1" | tail -1)
    if [ -n "$w" ]; then echo "$w"; return 0; fi
    sleep 0.1; n=$((n - 1))
  done
  note "no window matches '$1'; on screen: $(list_windows)"
  return 1
}

# The visible windows and their titles, for the traces.
list_windows() {
  local w
  for w in $(find_windows .); do printf '[%s "%s"] ' "$w" "$(window_name "$w")"; done
}

# Waits until no visible window has a title matching the regex.
wait_no_window() {  # regex seconds
  local n=$(( $2 * 10 ))
  while [ $n -gt 0 ]; do
    [ -z "$(find_windows "$1")" ] && return 0
    sleep 0.1; n=$((n - 1))
  done
  return 1
}

window_name() { xdotool getwindowname "$1" 2>/dev/null; }

# Sets WX WY WW WH: the window's outer rectangle on the screen.
window_geometry() {  # window
  local X Y WIDTH HEIGHT WINDOW SCREEN
  eval "$(xdotool getwindowgeometry --shell "$1" 2>/dev/null)"
  WX=${X:-0}; WY=${Y:-0}; WW=${WIDTH:-0}; WH=${HEIGHT:-0}
}

# Frames as Wine draws them here: a sizing frame is 4 pixels wide, a dialog frame 3; the
# caption and its bottom line take 19 pixels.
MAIN_FRAME=4
DIALOG_FRAME=3
CAPTION=19

# Sets CX CY: the screen position of the window's client area.
client_origin() {  # window frame
  window_geometry "$1"
  CX=$((WX + $2)); CY=$((WY + $2 + CAPTION))
}

# Clicks at a point given in client pixels of the main window (or a window with a sizing frame).
# The mouse then goes to a corner of the screen, so that no tooltip comes up over what is read.
click_client() {  # window x y [button]
  client_origin "$1" $MAIN_FRAME
  xdotool mousemove --sync $((CX + $2)) $((CY + $3)) click "${4:-1}"
  park_mouse
}

park_mouse() { xdotool mousemove --sync 1010 750; }

# A dialog's controls are laid out in dialog units; the scale comes from the dialog's real
# client size against its template size, so no font metric is assumed.
# Sets DCX DCY (client origin) and DSX DSY (pixels per 1000 dialog units).
dialog_scale() {  # window template-width template-height
  client_origin "$1" $DIALOG_FRAME
  DCX=$CX; DCY=$CY
  DSX=$(( (WW - 2 * DIALOG_FRAME) * 1000 / $2 ))
  DSY=$(( (WH - 2 * DIALOG_FRAME - CAPTION) * 1000 / $3 ))
}

# Clicks at the centre of a control given by its template rectangle (dialog units).
click_dialog_control() {  # x y w h [button]  (after dialog_scale)
  local px=$(( DCX + ($1 * 2 + $3) * DSX / 2000 ))
  local py=$(( DCY + ($2 * 2 + $4) * DSY / 2000 ))
  xdotool mousemove --sync "$px" "$py" click "${5:-1}"
  park_mouse
}

# The screen rectangle "W H X Y" of a control's template rectangle (after dialog_scale).
dialog_rect() {  # x y w h
  echo "$(( $3 * DSX / 1000 )) $(( $4 * DSY / 1000 )) $(( DCX + $1 * DSX / 1000 )) $(( DCY + $2 * DSY / 1000 ))"
}

# Drags with the left button, in small steps as a hand moves, from one screen point to another.
drag() {  # x0 y0 x1 y1
  local i
  xdotool mousemove --sync "$1" "$2"
  sleep 0.2
  xdotool mousedown 1
  sleep 0.2
  for i in 1 2 3 4 5 6 7 8 9 10; do
    xdotool mousemove --sync $(( $1 + ($3 - $1) * i / 10 )) $(( $2 + ($4 - $2) * i / 10 ))
    sleep 0.05
  done
  sleep 0.3
  xdotool mouseup 1
  park_mouse
}

# Types text. xdotool types a letter missing from the keyboard map (an accented one) by giving
# a spare key code that letter for the time of the key press; Wine reads the letter of a key
# when it translates the key's message, which must happen before the map is put back. So such
# letters go one at a time, held long enough.
type_text() {
  local LC_ALL=C.UTF-8 rest=$1 plain
  while [ -n "$rest" ]; do
    plain=${rest%%[^ -~]*}
    if [ -n "$plain" ]; then
      xdotool type --delay 30 -- "$plain"
      rest=${rest#"$plain"}
    fi
    [ -z "$rest" ] && break
    xdotool type --delay 300 -- "${rest:0:1}"
    rest=${rest:1}
  done
}
press() { xdotool key --delay 40 "$@"; }

# ---- the main window's layout (client pixels, at its starting size) -------------------

# Control rectangles "x y w h" from the layout table of the main window.
RECT_LIST="10 55 210 130"
RECT_TEXT="235 33 240 174"
# The text pane without its scroll bar, whose arrows would read as lines of text.
RECT_TEXT_LINES="235 33 221 174"
RECT_TOTAL="5 208 105 15"
RECT_LISTED="5 223 105 15"
RECT_SEARCH_LABEL="130 215 60 20"
RECT_SEARCH="195 210 100 20"
RECT_HISTORY="10 30 210 97"

# Toolbar buttons: 23 pixels wide, separators 8, from the text pane's left edge; the buttons
# are numbered without the separators, with the number of separators before each.
toolbar_x() {  # button separators-before
  echo $(( 235 + 11 + 23 * $1 + 8 * $2 ))
}
TB_Y=13
TB_LARGER=$(toolbar_x 0 0)
TB_SMALLER=$(toolbar_x 1 0)
TB_READ_MEMO=$(toolbar_x 2 1)
TB_NEW_MEMO=$(toolbar_x 3 1)
TB_PRINT=$(toolbar_x 4 2)
TB_RECIPES=$(toolbar_x 5 3)
TB_CATEGORIES=$(toolbar_x 6 3)
TB_EDITOR=$(toolbar_x 7 3)

# Tab headers: the texts decide their widths; these points lie inside each at 8 points.
TAB_RECIPES_X=30
TAB_CATEGORIES_X=93
TAB_EDITOR_X=170
TAB_Y=16

# Rows of the tree and of the recipe list (8-point lines of 16 and 13 pixels).
tree_row_y() { echo $(( 35 + 9 + 16 * $1 )); }
list_row_y() { echo $(( 55 + 2 + 13 * $1 + 6 )); }

# ---- screenshots ------------------------------------------------------------------------

shot() {  # name -> $SC_DIR/name.png
  import -window root "$SC_DIR/$1.png" 2>/dev/null || fail "screenshot $1 failed"
  LAST_SHOT=$SC_DIR/$1.png
}

# Crops a screenshot to a window and keeps it among the run's screenshots.
keep_window_shot() {  # shot window name
  window_geometry "$2"
  mkdir -p "$SHOTS"
  convert "$1" -crop "${WW}x${WH}+${WX}+${WY}" +repage "$SHOTS/$3" || fail "cropping $3 failed"
}

# A region of the main window's client area as convert's crop geometry.
client_crop() {  # window "x y w h" [inset]
  local x y w h i=${3:-0}
  read -r x y w h <<<"$2"
  client_origin "$1" $MAIN_FRAME
  echo "$((w - 2 * i))x$((h - 2 * i))+$((CX + x + i))+$((CY + y + i))"
}

# Share (0..1) of dark pixels (text, lines) in a region; with a higher threshold, grey text
# (a disabled control's) counts too.
ink() {  # shot crop-geometry [threshold%]
  convert "$1" -crop "$2" +repage -colorspace gray -threshold "${3:-50}%" -format '%[fx:1-mean]' info:
}

# Largest colour saturation (0..1) in a region: a highlight or an enabled toolbar picture has
# colour; grey text, disabled pictures and frames have none.
saturation() {  # shot crop-geometry
  convert "$1" -crop "$2" +repage -colorspace HSL -channel G -separate +channel \
    -format '%[fx:maxima]' info:
}

# One character per pixel row of a region: '#' when the row holds a dark pixel, '.' if not.
row_profile() {  # shot crop-geometry [threshold%]
  convert "$1" -crop "$2" +repage -colorspace gray -threshold "${3:-50}%" -negate -scale '1x!' \
    -depth 8 txt:- | tail -n +2 |
    awk '{ v = $2; gsub(/[()]/, "", v); split(v, a, ","); printf "%s", (a[1] + 0 > 0 ? "#" : ".") } END { print "" }'
}

# The same per pixel column.
column_profile() {  # shot crop-geometry
  convert "$1" -crop "$2" +repage -colorspace gray -threshold 50% -negate -scale 'x1!' \
    -depth 8 txt:- | tail -n +2 |
    awk '{ v = $2; gsub(/[()]/, "", v); split(v, a, ","); printf "%s", (a[1] + 0 > 0 ? "#" : ".") } END { print "" }'
}

# How many of N rows of text (centred at first + pitch * i from the region's top) hold
# anything but the white background: text, a highlight, a frame.
count_rows() {  # shot crop-geometry first-centre pitch n
  row_profile "$1" "$2" 85 |
    awk -v c="$3" -v p="$4" -v n="$5" '{ k = 0
      for (i = 0; i < n; i++) if (index(substr($0, c + p * i - 2, 6), "#")) k++
      print k }'
}

# Start rows of the runs of '#' in a profile, space-separated.
run_starts() {
  awk '{ n = length($0); prev = "."; out = "";
         for (i = 1; i <= n; i++) { c = substr($0, i, 1); if (c == "#" && prev != "#") out = out " " (i - 1); prev = c }
         print substr(out, 2) }' <<<"$1"
}

# Number of pixels that differ between the same region of two screenshots.
differing_pixels() {  # shot-a shot-b crop-geometry
  local a b
  a=$(mktemp --suffix=.png); b=$(mktemp --suffix=.png)
  convert "$1" -crop "$3" +repage "$a"; convert "$2" -crop "$3" +repage "$b"
  compare -metric AE "$a" "$b" null: 2>&1 | cut -d' ' -f1
  rm -f "$a" "$b"
}

# Floating-point comparison for the figures above.
greater() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a > b) }'; }

# Polls a condition (a command) until it holds or the seconds run out.
wait_until() {  # seconds command...
  local end=$(( $(date +%s%N) + $1 * 1000000000 )); shift
  while [ "$(date +%s%N)" -lt $end ]; do
    "$@" && return 0
    sleep 0.2
  done
  "$@"
}

# ---- the memo store on disk -------------------------------------------------------------

# Little-endian unsigned 32-bit number at a byte offset of a file.
u32_at() {  # file offset
  od -A n -t u4 -j "$2" -N 4 --endian=little "$1" | tr -d ' '
}

# The memo of a recipe as the store file holds it (bytes up to its NUL, Windows-1252), read
# straight from the file's directory; status 1 when the store holds no memo for the recipe.
memo_on_disk() {  # store recipe-id
  local f=$1 id=$2 dir count i e key off len flags
  [ -f "$f" ] || return 2
  [ "$(head -c 8 "$f")" = "Memo Lrn" ] || return 3
  dir=$(u32_at "$f" 20)
  count=$(u32_at "$f" "$dir")
  for ((i = 0; i < count; i++)); do
    e=$((dir + 4 + 16 * i))
    key=$(u32_at "$f" "$e"); off=$(u32_at "$f" $((e + 4)))
    len=$(u32_at "$f" $((e + 8))); flags=$(u32_at "$f" $((e + 12)))
    if [ "$key" = "$id" ] && [ $((flags & 1)) = 1 ]; then
      tail -c +$((off + 1)) "$f" | head -c "$len" | tr -d '\000'
      return 0
    fi
  done
  return 1
}

# Number of directory entries in use in the store.
memo_count_on_disk() {  # store
  local f=$1 dir count i n=0
  dir=$(u32_at "$f" 20)
  count=$(u32_at "$f" "$dir")
  for ((i = 0; i < count; i++)); do
    [ $(( $(u32_at "$f" $((dir + 4 + 16 * i + 12))) & 1 )) = 1 ] && n=$((n + 1))
  done
  echo "$n"
}

# Text as the program stores it.
cp1252() { printf '%s' "$1" | iconv -f UTF-8 -t CP1252; }

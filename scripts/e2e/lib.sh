# Helpers of the end-to-end tests: starting the program, asking its windows what they show
# (through winprobe), the mouse and the keyboard, screenshots, and the files it writes.
# Sourced by scripts/e2e.sh, inside its virtual screen.
# shellcheck shell=bash

# ImageMagick's own convert, by its package's path: a `convert` earlier on the PATH may be
# something else.
MAGICK_CONVERT=/usr/bin/convert

# ---- failing ---------------------------------------------------------------------------

# Ends the current scenario (it runs in a subshell) with a reason; a screenshot is kept.
fail() {
  printf '%s\n' "$*" >"$SC_DIR/reason"
  note "FAIL: $*"
  note "windows on screen: $(list_windows)"
  import -window root "$SC_DIR/at-failure.png" 2>/dev/null
  exit 1
}

note() { printf '[%s] %s\n' "$(date +%T.%N | cut -c1-12)" "$*" >&2; }

# ---- waiting ---------------------------------------------------------------------------

# Polls a condition (a command run in this shell) until it holds or the seconds run out; the
# condition is tried once more at the deadline.
wait_until() {  # seconds command...
  local end=$(( $(date +%s%N) + $1 * 1000000000 )); shift
  while [ "$(date +%s%N)" -lt $end ]; do
    "$@" && return 0
    sleep 0.1
  done
  "$@"
}

# Watches for a while that a condition never holds: what must not happen has had its chance.
never_during() {  # seconds command...
  local end=$(( $(date +%s%N) + $1 * 1000000000 )); shift
  while [ "$(date +%s%N)" -lt $end ]; do
    "$@" && return 1
    sleep 0.1
  done
  ! "$@"
}

# Deadlines: generous, so that a loaded machine passes; a condition that holds ends the wait.
SOON=20     # what follows a click or a key
LATER=40    # a start, a load, a print job

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
  # Without the reader's pipes: a process that kept them open would keep the reader waiting.
  "$WINE64" "$EXE" </dev/null >>"$SC_DIR/program.log" 2>&1 {PROBE_W}>&- {PROBE_R}<&- &
  APP_PID=$!
  echo "$APP_PID" >"$SC_DIR/program.pid"
  cd "$SC_DIR" || true
  note "started the program (pid $APP_PID) in $1"
}

program_running() { kill -0 "$APP_PID" 2>/dev/null; }
program_ended() { ! program_running; }

# ---- asking the program's windows (winprobe) --------------------------------------------

# Starts the scenario's reader: one winprobe process that answers queries through two pipes.
probe_start() {
  rm -f "$SC_DIR/probe.in" "$SC_DIR/probe.out"
  mkfifo "$SC_DIR/probe.in" "$SC_DIR/probe.out" || fail "cannot make the reader's pipes"
  "$WINE64" "$PROBE_EXE" <"$SC_DIR/probe.in" >"$SC_DIR/probe.out" 2>>"$SC_DIR/probe.log" &
  exec {PROBE_W}>"$SC_DIR/probe.in" {PROBE_R}<"$SC_DIR/probe.out"
}

# Asks one query (one word per argument); prints the answer's lines. Status 1 when the answer
# is an error (its reason goes to the trace), 2 when the reader gave no answer.
ask() {
  local IFS=$'\t' head line n i lines=()
  printf '%s\n' "$*" >&"$PROBE_W" || { note "the window reader has stopped"; return 2; }
  IFS= read -r -t 60 head <&"$PROBE_R" || { note "no answer from the window reader to: $*"; return 2; }
  case $head in
    "ok "*)
      # The whole answer is read before any of it is printed: a reader of the output that
      # stops early (head -1) must not leave lines in the pipe for the next query.
      n=${head#ok }
      for ((i = 0; i < n; i++)); do
        IFS= read -r -t 10 line <&"$PROBE_R" || { note "the window reader's answer stopped"; return 2; }
        lines+=("$line")
      done
      [ "$n" = 0 ] || printf '%s\n' "${lines[@]}" ;;
    *)
      note "$* -> ${head#err }"
      return 1 ;;
  esac
}

# The answer to a query is exactly the expected text (lines joined by newlines); the answer
# read last stays in ANSWER for the failure message.
answer_is() {  # expected query...
  local want=$1; shift
  ANSWER=$(ask "$@") || { ANSWER="(no answer)"; return 1; }
  [ "$ANSWER" = "$want" ]
}

# Polls a query until its answer is the expected one.
wait_answer() {  # seconds expected query...
  local s=$1; shift
  wait_until "$s" answer_is "$@"
}

# A query's answer as lines sorted in C order, to compare sets of names.
sorted_answer() { ask "$@" | LC_ALL=C sort; }

# Sets HANDLE to the newest visible top-level window with this exact title (and class).
window_found() {  # title [class]
  HANDLE=$(ask find "$@" | head -1)
  [ -n "$HANDLE" ]
}

# Waits for a window; prints its handle.
wait_window() {  # seconds title [class]
  local s=$1; shift
  wait_until "$s" window_found "$@" || return 1
  echo "$HANDLE"
}

window_gone() { answer_is 0 alive "$1"; }
no_window_titled() { [ -z "$(ask find "$@")" ]; }

# The visible windows and their titles, for the traces.
list_windows() {
  [ -n "${PROBE_W:-}" ] || return 0
  ask windows 2>/dev/null | awk -F'\t' '{ printf "[%s %s \"%s\"] ", $1, $2, $3 }'
}

# Ids of the program's resources, read from its resource header by name.
rc_id() {
  awk -v n="$1" '$1 == "#define" && $2 == n { print $3; exit }' "$SRC_DIR/resources/resource.h"
}

# ---- the mouse and the keyboard -----------------------------------------------------------

# Clicks at a screen point "x y"; the mouse then goes to a corner of the screen, so that no
# tooltip comes up over what is read next.
click_at() {  # "x y" [button]
  local x y
  read -r x y <<<"$1"
  [ -n "$y" ] || fail "no point to click at"
  xdotool mousemove --sync "$x" "$y" click "${2:-1}"
  park_mouse
}

park_mouse() { xdotool mousemove --sync 1010 750; }

# The point a query answers (an item's middle) once it is in view; sets POINT.
point_found() { POINT=$(ask "$@") && [ -n "$POINT" ]; }

# Clicks where a query says an item lies, waiting for it to be in view.
click_item() {  # query...
  wait_until $SOON point_found "$@" || fail "nowhere to click: $* ($(ask "$@" 2>&1))"
  click_at "$POINT"
}

# Clicks the middle of a control (or of the window, "-").
click_control() {  # window id
  local x y w h
  read -r x y w h <<<"$(ask rect "$1" "$2")"
  [ -n "$h" ] || fail "no control $2 to click"
  click_at "$((x + w / 2)) $((y + h / 2))"
}

# Drags with the left button, in small steps as a hand moves, from one screen point to another.
drag() {  # "x0 y0" "x1 y1"
  local i x0 y0 x1 y1
  read -r x0 y0 <<<"$1"; read -r x1 y1 <<<"$2"
  xdotool mousemove --sync "$x0" "$y0"
  sleep 0.2
  xdotool mousedown 1
  sleep 0.2
  for i in 1 2 3 4 5 6 7 8 9 10; do
    xdotool mousemove --sync $(( x0 + (x1 - x0) * i / 10 )) $(( y0 + (y1 - y0) * i / 10 ))
    sleep 0.05
  done
  sleep 0.3
  xdotool mouseup 1
  park_mouse
}

# Types text. Every letter must be a key (or a shifted key) of the French keyboard that
# scripts/e2e.sh sets: xdotool would type any other by lending a spare key code that letter for
# a moment, and under load Wine reads the key after the moment has passed.
type_text() { xdotool type --delay 30 -- "$1"; }
press() { xdotool key --delay 40 "$@"; }

# ---- screenshots --------------------------------------------------------------------------

shot() {  # name -> $SC_DIR/name.png
  import -window root "$SC_DIR/$1.png" 2>/dev/null || fail "screenshot $1 failed"
  LAST_SHOT=$SC_DIR/$1.png
}

# Crops a screenshot to a window and keeps it among the run's screenshots.
keep_window_shot() {  # shot window name
  local x y w h
  read -r x y w h <<<"$(ask rect "$2" -)"
  mkdir -p "$SHOTS"
  "$MAGICK_CONVERT" "$1" -crop "${w}x${h}+${x}+${y}" +repage "$SHOTS/$3" || fail "cropping $3 failed"
}

# Share (0..1) of dark pixels (text, lines) inside a control, its border left out: whether it
# has drawn text at all, wherever the fonts of the machine put it.
control_ink() {  # window id
  local x y w h
  read -r x y w h <<<"$(ask rect "$1" "$2")"
  shot ink
  "$MAGICK_CONVERT" "$LAST_SHOT" -crop "$((w - 8))x$((h - 8))+$((x + 4))+$((y + 4))" +repage -colorspace gray \
    -threshold 50% -format '%[fx:1-mean]' info:
}

# Floating-point comparison for the figures above.
greater() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a > b) }'; }

# ---- the files the program writes --------------------------------------------------------

# saucelins-cli of the native build on the scenario's catalogue, texts in UTF-8.
cli() { "$CLI" --utf8 -C "$SC_DIR/cat" "$@"; }

# Titles of the recipes filed under a category path (and below it), in C order.
titles_under() {  # path ("/Desserts"; the root is "Toutes les recettes")
  cli list | awk -F'\t' -v p="$1" '$3 == p || index($3, p "/") == 1 { print $2 }' | LC_ALL=C sort
}
all_titles() { cli list | cut -f2 | LC_ALL=C sort; }
titles_in() {  # path
  cli list | awk -F'\t' -v p="$1" '$3 == p { print $2 }' | LC_ALL=C sort
}
recipe_id() {  # title
  cli list | awk -F'\t' -v t="$1" '$2 == t { print $1; exit }'
}
# A recipe's text as the text pane holds it, line ends as LF.
recipe_text() {  # id
  cli show "$1" | tr -d '\r'
}

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

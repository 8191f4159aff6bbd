#!/usr/bin/env bash
# Runs every benchmark in one go and prints one table: what was measured, the size, the number
# of runs and their median, the baseline measured in the same run, the ratio (to the baseline,
# or to the goal when there is no baseline), the goal and whether the figure meets it.
# Builds what it needs (native and win64) under BUILD_ROOT; the benchmarks generate their
# catalogues with the synthetic catalogue generator.
#
# Usage: scripts/bench.sh [--tiny] [--last] [--markdown FILE]
#   --tiny           every benchmark at a tiny size, in seconds: checks that they all run
#   --last           prints the table of the last run again, runs nothing
#   --markdown FILE  also writes the table as Markdown
# Exits non-zero when a benchmark fails or gives no figures. A figure over its goal is shown
# as such ("MISSED"); it does not fail the command.
set -u
. "$(dirname "$0")/common.sh"

TINY=0
LAST=0
MARKDOWN=
while [ $# -gt 0 ]; do
  case "$1" in
    --tiny) TINY=1; shift ;;
    --last) LAST=1; shift ;;
    --markdown) MARKDOWN=$2; shift 2 ;;
    *) echo "usage: $0 [--tiny] [--last] [--markdown FILE]" >&2; exit 2 ;;
  esac
done

OUT=$BUILD_ROOT/bench
FAILED=0
fail() { echo "bench: $*" >&2; FAILED=1; }

# run LOG TIMEOUT COMMAND...: one benchmark, its output kept, its status noted.
run() {
  local log=$1 limit=$2; shift 2
  echo "== $(basename "$log" .log)" >&2
  timeout "$limit" "$@" </dev/null >"$OUT/$log" 2>&1
  echo "$log $?" >>"$OUT/status"
}

# microseconds COMMAND...: the wall clock of one run, its output discarded.
microseconds() {
  local t0 t1
  t0=$(date +%s%N)
  "$@" >/dev/null 2>&1 || return 1
  t1=$(date +%s%N)
  echo $(((t1 - t0) / 1000))
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# `saucelins-cli list` against sorting the same index on its title column with one thread: a
# list is piped into other tools, and should cost no more than that sort. N recipes, shuffled.
cli_list_bench() {
  local n=$1 dir=$OUT/cli-list-catalogue log=cli_list.log i t cli=() srt=()
  echo "== $log" >&2
  rm -rf "$dir"
  if ! "$BUILD_ROOT/native/gencat" --recipes "$n" --categories $((n / 100 > 10 ? n / 100 : 10)) \
       --order shuffled --out "$dir" >"$OUT/$log" 2>&1; then
    echo "$log 1" >>"$OUT/status"; return
  fi
  for i in 1 2 3 4 5; do
    t=$(microseconds "$BUILD_ROOT/native/saucelins-cli" -C "$dir" list) || { echo "$log 1" >>"$OUT/status"; return; }
    cli+=("$t")
    t=$(microseconds sort -t "$(printf '\t')" -k2,2 --parallel=1 "$dir/Gourmix.Idx") ||
      { echo "$log 1" >>"$OUT/status"; return; }
    srt+=("$t")
  done
  local mc ms
  mc=$(printf '%s\n' "${cli[@]}" | median)
  ms=$(printf '%s\n' "${srt[@]}" | median)
  printf 'BENCH\tsaucelins-cli list vs sort -t TAB -k2,2 --parallel=1 (LANG=%s)\t%s\t5\t%s\t%s\t1x\tms\n' \
    "${LANG:-C}" "$n" "$(awk -v v="$mc" 'BEGIN { printf "%.3f", v / 1000 }')" \
    "$(awk -v v="$ms" 'BEGIN { printf "%.3f", v / 1000 }')" >>"$OUT/$log"
  echo "$log 0" >>"$OUT/status"
  rm -rf "$dir"
}

# saucelins-cli search WORD (load, search, print) against grep -c -i WORD over the same recipe
# base, five runs each, in this run.
cli_search_bench() {
  local n=$1 word=poireaux dir=$OUT/cli-search-catalogue log=cli_search.log i t cli=() grp=()
  echo "== $log" >&2
  rm -rf "$dir"
  if ! "$BUILD_ROOT/native/gencat" --recipes "$n" --categories $((n / 100 > 10 ? n / 100 : 10)) \
       --out "$dir" >"$OUT/$log" 2>&1; then
    echo "$log 1" >>"$OUT/status"; return
  fi
  for i in 1 2 3 4 5; do
    t=$(microseconds "$BUILD_ROOT/native/saucelins-cli" -C "$dir" search "$word") ||
      { echo "$log 1" >>"$OUT/status"; return; }
    cli+=("$t")
    # grep's count goes to a file: with its output on /dev/null, GNU grep stops at the first
    # match instead of reading the whole base.
    t=$(microseconds sh -c 'grep -c -i "$1" "$2" >"$3"' sh "$word" "$dir/Gourmix.Dat" "$OUT/grep.count") ||
      { echo "$log 1" >>"$OUT/status"; return; }
    grp+=("$t")
  done
  printf 'BENCH\tsaucelins-cli search %s vs grep -c -i %s (LANG=%s)\t%s\t5\t%s\t%s\t3x\tms\n' \
    "$word" "$word" "${LANG:-C}" "$n" \
    "$(printf '%s\n' "${cli[@]}" | median | awk '{ printf "%.3f", $1 / 1000 }')" \
    "$(printf '%s\n' "${grp[@]}" | median | awk '{ printf "%.3f", $1 / 1000 }')" >>"$OUT/$log"
  echo "$log 0" >>"$OUT/status"
  rm -rf "$dir"
}

# Builds and runs every benchmark; leaves their logs, the status of each and figures.tsv in OUT.
run_benchmarks() {
  mkdir -p "$OUT"
  rm -f "$OUT"/*.log "$OUT/status" "$OUT/figures.tsv"
  echo "$TINY" >"$OUT/tiny"
  ensure_packages "$PKG_NATIVE $PKG_WINDOWS" || { FAILED=1; return; }

  # Only the benchmarks whose sources are there (a tree may not have them all yet).
  local f n s native=() windows=()
  for f in "$SRC_DIR"/bench/*.cpp; do
    n=$(basename "$f" .cpp)
    case "$n" in
      table_growth_win32) ;;  # a study of the heap, not a figure of the program
      *_win32) windows+=("$n") ;;
      *) native+=("$n") ;;
    esac
  done

  echo "== Building the benchmarks: ${native[*]} ${windows[*]}" >&2
  # Also what they measure from outside: the command-line tool and its catalogue generator,
  # and the program itself.
  BUILD_TARGETS="${native[*]} saucelins-cli gencat" configure_build native "" >&2 ||
    { fail "native build failed (log: $BUILD_ROOT/native.build.log)"; return; }
  BUILD_TARGETS="${windows[*]} saucelins" configure_build win64 toolchain-mingw-x86_64.cmake >&2 ||
    { fail "win64 build failed (log: $BUILD_ROOT/win64.build.log)"; return; }

  local sizes limit small=()
  if [ $TINY = 1 ]; then
    sizes=(tiny); limit=120; small=(--tiny)
  else
    sizes=(1000 10000 100000); limit=1800
  fi

  for n in "${native[@]}"; do
    case "$n" in
      load_bench)
        for s in "${sizes[@]}"; do
          if [ "$s" = tiny ]; then run load_bench-tiny.log "$limit" "$BUILD_ROOT/native/load_bench" --tiny
          else run "load_bench-$s.log" "$limit" "$BUILD_ROOT/native/load_bench" --recipes "$s"; fi
        done ;;
      *) run "$n.log" "$limit" "$BUILD_ROOT/native/$n" "${small[@]}" ;;
    esac
  done

  if [ $TINY = 1 ]; then cli_list_bench 2000; else cli_list_bench 100000; fi
  if [ $TINY = 1 ]; then cli_search_bench 2000; else cli_search_bench 100000; fi

  if [ ${#windows[@]} -gt 0 ]; then
    wine_prefix "$BUILD_ROOT/win64" >&2
    export WINEPREFIX=$BUILD_ROOT/win64/wineprefix OUT BUILD_ROOT
    export BENCH_LIMIT=$limit BENCH_ARGS="${small[*]}" BENCH_LIST="${windows[*]}"
    # One virtual screen and one Wine session for all of them; Wine's helpers start first so
    # that a lingering wineserver does not hold our pipes.
    xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
      wineboot </dev/null >/dev/null 2>&1
      for n in $BENCH_LIST; do
        echo "== $n (Wine)" >&2
        timeout "$BENCH_LIMIT" "$WINE64" "$BUILD_ROOT/win64/$n.exe" $BENCH_ARGS </dev/null >"$OUT/$n.log" 2>&1
        echo "$n.log $?" >>"$OUT/status"
      done
      wineserver -k' >&2
  fi

  # Every benchmark must have ended well and given at least one figure.
  local log rc
  while read -r log rc; do
    [ "$rc" = 0 ] || fail "$log: exit status $rc (log: $OUT/$log)"
    grep -q '^BENCH' "$OUT/$log" || fail "$log: no figures (log: $OUT/$log)"
  done <"$OUT/status"

  # The figure lines of every log, in the order they ran.
  while read -r log rc; do
    tr -d '\r' <"$OUT/$log" | grep '^BENCH'
  done <"$OUT/status" >"$OUT/figures.tsv"
}

format_table() {  # text|markdown
  awk -F'\t' -v style="$1" -v tiny="$TINY" '
    function num(v) {
      if (v >= 100) return sprintf("%.0f", v)
      if (v >= 10) return sprintf("%.1f", v)
      if (v >= 1) return sprintf("%.2f", v)
      return sprintf("%.3f", v)
    }
    function size(n,   s) {
      s = ""
      while (n >= 1000) { s = sprintf(",%03d", n % 1000) s; n = int(n / 1000) }
      return n s
    }
    function join(list, item) { return list (list == "" ? "" : ", ") item }
    function row(a, b, c, d, e, f, g, h) {
      if (style == "markdown") printf "| %s | %s | %s | %s | %s | %s | %s | %s |\n", a, b, c, d, e, f, g, h
      else printf "%-72s %9s %4s %12s %12s %12s %-22s %s\n", a, b, c, d, e, f, g, h
    }
    BEGIN {
      row("Measured", "Size", "Runs", "Median", "Baseline", "Ratio", "Goal", "Result")
      if (style == "markdown") print "|---|--:|--:|--:|--:|--:|---|---|"
    }
    {
      name = $2; n = $3; runs = $4; median = $5 + 0; base = $6; goal = $7; unit = $8
      ratio = "-"; goaltext = ""; result = ""; absgoal = 0
      if (base != "-" && base + 0 > 0) ratio = sprintf("%.2fx", median / base)
      if (goal != "-") {
        k = split(goal, terms, ",")
        missed = ""
        for (i = 1; i <= k; i++) {
          t = terms[i]
          if (t ~ /x$/) {
            lim = substr(t, 1, length(t) - 1) + 0
            goaltext = join(goaltext, "< " lim "x base")
            if (base == "-" || median >= lim * base) missed = join(missed, lim "x")
          } else {
            lim = t + 0
            goaltext = join(goaltext, "< " lim " " unit)
            if (median >= lim) missed = join(missed, lim " " unit)
            if (!absgoal) absgoal = lim
          }
        }
        result = missed == "" ? "ok" : "MISSED " missed
        if (ratio == "-" && absgoal > 0) ratio = sprintf("%.2f of goal", median / absgoal)
      }
      row(name, size(n), runs, num(median) " " unit, base == "-" ? "-" : num(base + 0) " " unit,
          ratio, goaltext == "" ? "-" : goaltext, result)
    }
    END {
      if (tiny == 1) print (style == "markdown" ? "\n" : "") \
        "(tiny sizes: a check that every benchmark runs; the goals are for the full sizes)"
    }
  ' "$OUT/figures.tsv"
}

if [ $LAST = 1 ]; then
  [ -f "$OUT/figures.tsv" ] || { echo "bench: no earlier run in $OUT" >&2; exit 1; }
  TINY=$(cat "$OUT/tiny" 2>/dev/null || echo 0)
else
  run_benchmarks
  [ -f "$OUT/figures.tsv" ] || { echo "SOME BENCHMARKS FAILED"; exit 1; }
fi
format_table text | tee "$OUT/table.txt"
format_table markdown >"$OUT/table.md"
[ -n "$MARKDOWN" ] && cp "$OUT/table.md" "$MARKDOWN"
echo
echo "Logs and the table: $OUT (figures.tsv, table.txt, table.md)"
if [ $FAILED != 0 ]; then echo "SOME BENCHMARKS FAILED"; exit 1; fi
exit 0

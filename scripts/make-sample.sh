#!/usr/bin/env bash
# Builds the bundled sample catalogue from its UTF-8 sources and checks the result.
#
#   scripts/make-sample.sh           rebuild sample/Gourmix.Idx and the sample/*.Dat files
#   scripts/make-sample.sh --check   only check the files that are in sample/
#
# Each sample/src/NNNN-name.txt holds one recipe: a header of "key: value" lines (id, title,
# category, file), an empty line, then the text (ingredients, then method). The recipe's text
# in its .Dat file is the title line, an empty line and that text, in Windows-1252 with CR LF
# line ends. Recipes go into the files in the order of their source names, back to back, and
# the index lists them in the same order; the output depends on nothing but the sources.
# Needs only bash, awk, od and iconv.
set -euo pipefail
export LC_ALL=C

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
SAMPLE=${SAMPLE_DIR:-$ROOT/sample}   # SAMPLE_DIR: check another copy
SRC=$SAMPLE/src
INDEX=Gourmix.Idx
TEXT_CAP=16384       # the longest text the program shows whole
SEGMENT_MAX=63       # longest category label the program keeps
PATH_MAX_LEN=255     # longest category path it writes back
LINE_MAX_LEN=510     # the reader cuts longer index lines (511 with the line feed)

die() { echo "make-sample: $*" >&2; exit 1; }

# header FILE KEY: the value of "KEY: value" in the header (the lines before the first empty one).
header() {
  awk -v k="$2" '
    { sub(/\r$/, "") }
    $0 == "" { exit }
    { i = index($0, ":"); if (i > 0 && substr($0, 1, i - 1) == k) {
        v = substr($0, i + 1); sub(/^ +/, "", v); sub(/ +$/, "", v); print v; exit } }' "$1"
}

# recipe_text FILE: the recipe as the .Dat holds it, still UTF-8: title, empty line, the body
# without its trailing empty lines, every line ended by CR LF.
recipe_text() {
  local title=$1 file=$2
  { printf '%s\n\n' "$title"; awk 'f { print; next } { sub(/\r$/, "") } $0 == "" { f = 1 }' "$file"; } |
    awk '{ sub(/\r$/, ""); line[NR] = $0; if ($0 !~ /^[ \t]*$/) last = NR }
         END { for (i = 1; i <= last; i++) printf "%s\r\n", line[i] }'
}

size_of() { wc -c < "$1" | tr -d ' '; }

build() {
  [ -d "$SRC" ] || die "no recipe sources in $SRC"
  out=$(mktemp -d)
  trap 'rm -rf "$out"' EXIT
  declare -A size=() seen_id=()
  local n=0 f id title category file text start end len seg
  local sources=()
  while IFS= read -r f; do sources+=("$f"); done < <(find "$SRC" -maxdepth 1 -name '*.txt' | sort)
  [ ${#sources[@]} -gt 0 ] || die "no recipe sources in $SRC"
  : > "$out/index.utf8"
  for f in "${sources[@]}"; do
    id=$(header "$f" id); title=$(header "$f" title)
    category=$(header "$f" category); file=$(header "$f" file)
    local where=${f#"$ROOT"/}
    [[ $id =~ ^[0-9]+$ ]] && [ "$id" -le 4294967295 ] || die "$where: bad id '$id'"
    [ -z "${seen_id[$id]:-}" ] || die "$where: id $id already used by ${seen_id[$id]}"
    seen_id[$id]=$where
    [ -n "$title" ] || die "$where: no title"
    [[ $category == /* ]] || die "$where: category must start with /"
    [[ $file =~ ^[A-Za-z0-9_-]+\.Dat$ ]] || die "$where: bad data file name '$file'"
    for s in "$title" "$category"; do
      [[ $s != *$'\t'* ]] || die "$where: a TAB would split the index line"
    done
    # Lengths count Windows-1252 bytes, as the program sees them.
    local cat1252; cat1252=$(printf '%s' "$category" | iconv -f UTF-8 -t CP1252) ||
      die "$where: category not representable in Windows-1252"
    [ ${#cat1252} -le $PATH_MAX_LEN ] || die "$where: category path longer than $PATH_MAX_LEN"
    IFS=/ read -ra segs <<< "${cat1252#/}"
    for seg in "${segs[@]}"; do
      [ ${#seg} -le $SEGMENT_MAX ] || die "$where: category label longer than $SEGMENT_MAX: $seg"
    done

    recipe_text "$title" "$f" | iconv -f UTF-8 -t CP1252 > "$out/text" ||
      die "$where: text not representable in Windows-1252"
    len=$(size_of "$out/text")
    [ "$len" -gt 0 ] && [ "$len" -le $TEXT_CAP ] || die "$where: text is $len bytes (1..$TEXT_CAP)"
    start=${size[$file]:-0}
    cat "$out/text" >> "$out/$file"
    end=$((start + len)); size[$file]=$end
    printf '%s\t%s\t0\t%s\t%s\t%s\t%s\t0\r\n' "$id" "$title" "$start" "$end" "$category" "$file" \
      >> "$out/index.utf8"
    n=$((n + 1))
  done
  iconv -f UTF-8 -t CP1252 "$out/index.utf8" > "$out/$INDEX"
  awk -v max=$LINE_MAX_LEN 'length($0) > max { print "line " NR " too long"; bad = 1 } END { exit bad }' \
    "$out/$INDEX" || die "index line over $LINE_MAX_LEN characters"

  # Swap the new files in only once everything was built.
  rm -f "$SAMPLE"/*.Dat "$SAMPLE/$INDEX"
  for file in "${!size[@]}"; do mv "$out/$file" "$SAMPLE/$file"; done
  mv "$out/$INDEX" "$SAMPLE/$INDEX"
  echo "make-sample: $n recipes written"
}

# bytes FILE: one lower-case hex byte per line.
bytes() { od -An -v -tx1 "$1" | tr -s ' ' '\n' | sed '/^$/d'; }

# check_bytes FILE ALLOW_TAB: CR LF line ends only, ends with CR LF, no control characters,
# no byte that Windows-1252 leaves undefined, and no UTF-8 left unconverted ("é" as C3 A9).
check_bytes() {
  bytes "$1" | awk -v name="$(basename "$1")" -v tab="$2" '
    function fail(msg) { printf "%s: byte %d: %s\n", name, NR - 1, msg; bad = 1; exit 1 }
    {
      b = $0
      if (prev == "0d" && b != "0a") fail("CR without LF")
      if (b == "0a" && prev != "0d") fail("LF without CR")
      if (b == "09" && !tab) fail("TAB in a recipe text")
      if (b < "20" && b != "0d" && b != "0a" && b != "09") fail("control byte " b)
      if (b == "7f" || b == "81" || b == "8d" || b == "8f" || b == "90" || b == "9d") fail("byte " b " undefined in Windows-1252")
      if (prev == "c3" && b >= "80" && b <= "bf") fail("UTF-8 sequence c3 " b)
      if (b == "e9") eacute++
      prev = b
    }
    END { if (bad) exit 1
          if (NR > 0 && prev != "0a") { printf "%s: does not end with CR LF\n", name; exit 1 }
          printf "%s: %d bytes, CR LF line ends, Windows-1252 (%d x e9)\n", name, NR, eacute }'
}

check() {
  local idx=$SAMPLE/$INDEX
  [ -f "$idx" ] || die "no $INDEX in $SAMPLE"
  check_bytes "$idx" 1 || die "$INDEX fails the byte check"
  local dat
  for dat in "$SAMPLE"/*.Dat; do check_bytes "$dat" 0 || die "$(basename "$dat") fails the byte check"; done

  # Every line: 8 fields, numbers where numbers belong, a slice inside its file that starts
  # with the title line. Per file, the slices must tile it exactly: no gap, no overlap.
  local lines=0 n id title x3 start end category file x8 rest first want
  declare -A ids=()
  : > "${TMPDIR:-/tmp}/make-sample.$$"
  local slices="${TMPDIR:-/tmp}/make-sample.$$"
  while IFS=$'\t' read -r id title x3 start end category file x8 rest; do
    lines=$((lines + 1))
    x8=${x8%$'\r'}
    [ -z "${rest:-}" ] && [ -n "$x8" ] || die "$INDEX line $lines: not 8 fields"
    [[ $id =~ ^[0-9]+$ && $x3 =~ ^[0-9]+$ && $start =~ ^[0-9]+$ && $end =~ ^[0-9]+$ && $x8 =~ ^-?[0-9]+$ ]] ||
      die "$INDEX line $lines: bad number"
    [ -z "${ids[$id]:-}" ] || die "$INDEX line $lines: id $id repeated"
    ids[$id]=1
    [[ $category == /* ]] || die "$INDEX line $lines: category '$category'"
    [ -f "$SAMPLE/$file" ] || die "$INDEX line $lines: no file $file"
    [ "$start" -lt "$end" ] && [ "$end" -le "$(size_of "$SAMPLE/$file")" ] ||
      die "$INDEX line $lines: slice $start..$end outside $file"
    [ $((end - start)) -le $TEXT_CAP ] || die "$INDEX line $lines: slice longer than $TEXT_CAP"
    want=$(printf '%s\r\n' "$title" | od -An -v -tx1)
    n=$(printf '%s\r\n' "$title" | wc -c)
    [ "$n" -le $((end - start)) ] || die "$INDEX line $lines: slice shorter than its title line"
    first=$(dd if="$SAMPLE/$file" iflag=skip_bytes,count_bytes skip="$start" count="$n" status=none | od -An -v -tx1)
    [ "$first" = "$want" ] || die "$INDEX line $lines: slice of $file does not start with '$title' CR LF"
    printf '%s %s %s\n' "$file" "$start" "$end" >> "$slices"
  done < "$idx"
  sort -k1,1 -k2,2n "$slices" | awk '
    $1 != f { if (f != "") print f, pos; f = $1; pos = 0 }
    { if ($2 != pos) { printf "%s: slice at %d, expected %d\n", $1, $2, pos; exit 1 } pos = $3 }
    END { if (f != "") print f, pos }' > "$slices.ends" || { rm -f "$slices"*; die "slices do not tile their file"; }
  while read -r file end; do
    [ "$end" -eq "$(size_of "$SAMPLE/$file")" ] || { rm -f "$slices"*; die "$file has bytes no recipe covers"; }
  done < "$slices.ends"
  rm -f "$slices"*
  echo "make-sample: check passed: $lines index lines, every slice starts with its title"
}

summary() {
  local idx=$SAMPLE/$INDEX
  echo "== Categories (recipes):"
  iconv -f CP1252 -t UTF-8 "$idx" | awk -F'\t' '{ n[$6]++ } END { for (c in n) printf "   %-34s %d\n", c, n[c] }' | sort
  echo "== Files:"
  for f in "$idx" "$SAMPLE"/*.Dat; do printf '   %-12s %7d bytes\n' "$(basename "$f")" "$(size_of "$f")"; done
  echo "== Largest recipes (bytes):"
  iconv -f CP1252 -t UTF-8 "$idx" | awk -F'\t' '{ printf "   %6d  %s (%s)\n", $5 - $4, $2, $7 }' | sort -rn | head -3
}

case "${1:-}" in
  --check) check ;;
  "") build; check; summary ;;
  *) die "usage: $0 [--check]" ;;
esac

#!/usr/bin/env bash
# Runs every libFuzzer target of the fuzz build, each for a bounded time, on a copy of its
# seed corpus (the repository's corpus is never written to).
#
#   scripts/fuzz.sh                   the long run: 300 s per target
#   scripts/fuzz.sh --seconds N       N seconds per target (the test command uses 20)
#   scripts/fuzz.sh ... index wrap    only the targets named (index_fuzz, wrap_fuzz)
#
# Uses the targets of the test command's build (build/asan) when they are there, otherwise
# makes a fuzz build of its own (build/fuzz). An input that makes a target report (crash,
# sanitizer report, failed check, or one input running longer than 10 s) is kept in
# $BUILD_ROOT/fuzz-artifacts/; the target replays it when given the file:
#   build/asan/index_fuzz build/fuzz-artifacts/index-crash-...
set -u
. "$(dirname "$0")/common.sh"
SECONDS_EACH=300
TARGETS=()
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) SECONDS_EACH=$2; shift 2 ;;
    -*) echo "usage: $0 [--seconds N] [target...]" >&2; exit 2 ;;
    *) TARGETS+=("${1%_fuzz}"); shift ;;
  esac
done
# The test command's sanitizer build holds the targets too; otherwise a build of their own.
dir=${FUZZ_BUILD_DIR:-}
if [ -z "$dir" ]; then
  dir=$BUILD_ROOT/fuzz
  ls "$BUILD_ROOT"/asan/*_fuzz >/dev/null 2>&1 && dir=$BUILD_ROOT/asan
fi
artifacts=$BUILD_ROOT/fuzz-artifacts
if ! ls "$dir"/*_fuzz >/dev/null 2>&1; then
  ensure_packages "$PKG_NATIVE $PKG_FUZZ" || exit 1
  configure_build fuzz "" -DSAUCELINS_FUZZ=ON -DSAUCELINS_SANITIZE=ON \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ || exit 1
  dir=$BUILD_ROOT/fuzz
fi
ls "$dir"/*_fuzz >/dev/null 2>&1 || { echo "no fuzz targets in $dir" >&2; exit 1; }
mkdir -p "$artifacts"
status=0
for exe in "$dir"/*_fuzz; do
  name=$(basename "$exe" _fuzz)
  if [ ${#TARGETS[@]} -gt 0 ] && ! printf '%s\n' "${TARGETS[@]}" | grep -qx "$name"; then
    continue
  fi
  seeds=$SRC_DIR/fuzz/corpus/$name
  [ -d "$seeds" ] || seeds=$SRC_DIR/fuzz/corpus/${name%%_*}
  work=$(mktemp -d)
  [ -d "$seeds" ] && cp -r "$seeds"/. "$work"/
  echo "fuzz target $name: ${SECONDS_EACH}s, seeds from ${seeds#$SRC_DIR/}"
  if ! (cd "$work" && "$exe" -max_total_time="$SECONDS_EACH" -timeout=10 -print_final_stats=1 \
          -artifact_prefix="$artifacts/$name-" "$work" >"$work.log" 2>&1); then
    echo "  REPORT from $name:"; tail -40 "$work.log"
    cp "$work.log" "$artifacts/$name.log"
    echo "  input kept in $artifacts (log: $artifacts/$name.log)"
    status=1
  else
    grep -E 'stat::number_of_executed_units|cov:' "$work.log" | tail -2 | sed 's/^/  /'
  fi
  rm -rf "$work" "$work.log"
done
exit $status

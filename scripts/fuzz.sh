#!/usr/bin/env bash
# Runs every libFuzzer target of the fuzz build, each for a bounded time, on a copy of its
# seed corpus (the repository's corpus is never written to).
# Usage: scripts/fuzz.sh [--seconds N]      (builds the fuzz build first when missing)
set -u
. "$(dirname "$0")/common.sh"
SECONDS_EACH=300
[ "${1:-}" = "--seconds" ] && SECONDS_EACH=$2
dir=$BUILD_ROOT/fuzz
if ! ls "$dir"/*_fuzz >/dev/null 2>&1; then
  ensure_packages "$PKG_NATIVE $PKG_FUZZ" || exit 1
  configure_build fuzz "" -DSAUCELINS_FUZZ=ON -DSAUCELINS_SANITIZE=ON \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ || exit 1
fi
status=0
for exe in "$dir"/*_fuzz; do
  name=$(basename "$exe" _fuzz)
  seeds=$SRC_DIR/fuzz/corpus/$name
  [ -d "$seeds" ] || seeds=$SRC_DIR/fuzz/corpus/${name%%_*}
  work=$(mktemp -d)
  [ -d "$seeds" ] && cp -r "$seeds"/. "$work"/
  echo "fuzz target $name: ${SECONDS_EACH}s, seeds from ${seeds#$SRC_DIR/}"
  if ! (cd "$work" && "$exe" -max_total_time="$SECONDS_EACH" -print_final_stats=1 "$work" >"$work.log" 2>&1); then
    echo "  REPORT from $name:"; tail -40 "$work.log"; status=1
  else
    grep -E 'stat::number_of_executed_units|cov:' "$work.log" | tail -2 | sed 's/^/  /'
  fi
  rm -rf "$work" "$work.log"
done
exit $status

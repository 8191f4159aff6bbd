#!/usr/bin/env bash
# Runs a Windows test program of a build under wine64, with the build's own prefix.
# Usage: wine-run.sh BUILD_DIR PROGRAM.exe [args...]   (needs an X display: run under xvfb-run)
#
# On a loaded machine Wine now and then fails to start a program at all: it exits at once,
# before the program printed anything. Such a run is tried once more, and says so; a program
# that started and then failed is never run again.
set -u
dir=$1; shift
export WINEPREFIX=$dir/wineprefix
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=C.UTF-8
if [ -z "${DISPLAY:-}" ]; then
  echo "wine-run.sh: no X display; run the tests under xvfb-run -a" >&2
  exit 2
fi
WINE64=/usr/lib/wine/wine64; [ -x "$WINE64" ] || WINE64=wine64
out=$(mktemp)
trap 'rm -f "$out"' EXIT
for attempt in 1 2; do
  "$WINE64" "$@" </dev/null 2>&1 | tee "$out"
  rc=${PIPESTATUS[0]}
  if [ $rc = 0 ] || [ -s "$out" ] || [ $attempt = 2 ]; then exit $rc; fi
  echo "wine-run.sh: $(basename "$1") exited with status $rc before printing anything; starting it once more" >&2
done

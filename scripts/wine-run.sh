#!/usr/bin/env bash
# Runs a Windows test program of a build under wine64, with the build's own prefix.
# Usage: wine-run.sh BUILD_DIR PROGRAM.exe [args...]   (needs an X display: run under xvfb-run)
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
exec "$WINE64" "$@" </dev/null
